#pragma once

#include <QString>

// Register text on a terminal. Whatever a register holds is printed through here, so that a value can never
// move the cursor, clear the screen, retitle the window, turn the text around it backwards or pass for lines
// of its own.
namespace terminaltext {

// The text with every character that acts on a terminal written as an escape: a line break as \n, a tab as \t,
// the other C0 controls, DEL and the C1 controls (U+0080 to U+009F) as \u001b or \u009b, and the marks that
// reorder text (U+061C, U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069) and the line and paragraph
// separators as \u202e and so on. Everything else is left as it is.
QString visible(const QString& text);

// The same in double quotes, a double quote or backslash inside written \" and \\.
QString quoted(const QString& text);

} // namespace terminaltext
