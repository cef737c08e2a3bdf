#pragma once

#include "twips.h"

#include <QHash>
#include <QPalette>
#include <QRgb>
#include <QString>

#include <span>

class QWidget;

// A window's controls as one table of rows, turned into widgets placed in logical pixels.
namespace form {

enum class Kind { Label, Frame, Button, TextBox, Picture, Line };

enum FontStyle { Regular = 0, Bold = 1, Italic = 2, Underline = 4 };

struct Font {
    const char* family = nullptr; // the window's font when absent
    qreal points = 0;             // the window's size when 0
    int style = Regular;
};

struct Row {
    const char* name;
    Kind kind;
    const char* text = "";        // the caption; a picture's name for a screen reader
    twips::Rect rect{};           // left, top, width, height; for a line its two ends: x1, y1, x2, y2
    int tabIndex = -1;            // place in the tab order; only buttons and text boxes take the focus
    const char* parent = nullptr; // the frame the control sits in, placed relative to it
    int index = -1;               // element of a control array
    Font font{};
    Qt::Alignment align = Qt::AlignLeft;
    QRgb color = 0; // text or line colour; 0 keeps the style's
    const char* picture = nullptr;
    bool border = false;                         // a single-line border round a label
    QPalette::ColorRole fill = QPalette::NoRole; // a label's background, in that system colour
};

// The widgets built from a table, by name; elements of a control array carry the property "index".
class Form {
public:
    Form(QWidget* client, std::span<const Row> rows);

    QWidget* widget(const QString& name, int index = -1) const;
    template <typename T> T* get(const QString& name, int index = -1) const
    {
        return qobject_cast<T*>(widget(name, index));
    }
    // The focusable control with the lowest tab index.
    QWidget* firstInTabOrder() const { return m_first; }

private:
    QWidget* container(const QString& name) const;
    static QString key(const QString& name, int index);
    QWidget* create(const Row& row, QWidget* parent) const;
    void orderTabs(std::span<const Row> rows);

    QHash<QString, QWidget*> m_widgets;
    QWidget* m_first = nullptr;
};

} // namespace form
