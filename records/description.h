#pragma once

#include "formbuilder.h"
#include "twips.h"

#include <span>

// What one record window is made of. The behaviour is shared; each window gives only these tables.
namespace records {

// What makes an entry field pass the focus on.
enum class EnterKey {
    Character, // the character 13 arriving: Enter, or Ctrl+M
    KeyDown,   // the Enter key going down
    None,      // the field ends the chain
};

// A control bound to a column of the window's record source.
struct Field {
    const char* name;
    const char* column;
};

// One item of the Query submenu: the criteria are the prefix, the typed text as typed, and the closing.
struct SearchItem {
    const char* caption;
    const char* prefix;
    const char* closing;
};

struct ChainLink {
    const char* field;
    EnterKey reactsTo;
    const char* next = nullptr;
};

struct Description {
    const char* name;
    QSize client; // the client area, in twips
    Qt::WindowModality modality;
    std::span<const form::Row> controls;
    const char* source; // the record source and its navigation bar
    const char* table;
    twips::Rect sourceRect;
    std::span<const Field> fields; // entry fields, in the order the enable and disable sweeps take them
    std::span<const Field> labels; // display-only bound labels, disabled in every sweep
    const char* menuName;          // the first top-level menu
    const char* menuCaption;
    std::span<const SearchItem> searches;
    std::span<const ChainLink> chain;
};

} // namespace records
