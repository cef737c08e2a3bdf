#include "formbuilder.h"

#include "linewidget.h"
#include "pictures.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <vector>

namespace form {

namespace {

QFont fontFor(const Font& look, QFont font)
{
    if (look.family)
        font.setFamily(QString::fromUtf8(look.family));
    if (look.points > 0)
        font.setPointSizeF(look.points);
    font.setBold(look.style & Bold);
    font.setItalic(look.style & Italic);
    font.setUnderline(look.style & Underline);
    return font;
}

void setTextColour(QWidget* widget, QRgb colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, QColor::fromRgb(colour));
    palette.setColor(QPalette::Text, QColor::fromRgb(colour));
    palette.setColor(QPalette::ButtonText, QColor::fromRgb(colour));
    widget->setPalette(palette);
}

// The window font stands in for one that was narrower: a caption that would not fit its box is condensed
// until it does, so the box keeps its designed place and the whole text shows.
void fitText(QLabel* label)
{
    const int needed = label->fontMetrics().horizontalAdvance(label->text());
    const int room = label->contentsRect().width() - 2 * label->margin();
    if (needed <= room || needed == 0)
        return;
    QFont font = label->font();
    int stretch = 100 * room / needed;
    for (; stretch > 50; --stretch) {
        font.setStretch(stretch);
        if (QFontMetrics(font).horizontalAdvance(label->text()) <= room)
            break;
    }
    label->setFont(font);
}

bool takesFocus(Kind kind)
{
    return kind == Kind::Button || kind == Kind::TextBox;
}

} // namespace

Form::Form(QWidget* client, std::span<const Row> rows)
{
    for (const Row& row : rows) {
        QWidget* parent = row.parent ? container(QString::fromUtf8(row.parent)) : client;
        Q_ASSERT_X(parent, "form::Form", "a frame must come before the controls it holds");
        QWidget* control = create(row, parent ? parent : client);
        control->setObjectName(QString::fromUtf8(row.name));
        if (row.index >= 0)
            control->setProperty("index", row.index);
        if (row.font.family || row.font.points > 0 || row.font.style != Regular)
            control->setFont(fontFor(row.font, control->font()));
        if (row.color)
            setTextColour(control, row.color);
        if (row.kind == Kind::Label)
            fitText(static_cast<QLabel*>(control));
        if (!takesFocus(row.kind))
            control->setFocusPolicy(Qt::NoFocus);
        m_widgets.insert(key(control->objectName(), row.index), control);
    }
    orderTabs(rows);
}

QWidget* Form::widget(const QString& name, int index) const
{
    return m_widgets.value(key(name, index));
}

QWidget* Form::container(const QString& name) const
{
    // A frame may be the first element of a control array.
    QWidget* frame = widget(name);
    return frame ? frame : widget(name, 0);
}

QString Form::key(const QString& name, int index)
{
    return index < 0 ? name : QStringLiteral("%1(%2)").arg(name).arg(index);
}

QWidget* Form::create(const Row& row, QWidget* parent) const
{
    const QString text = QString::fromUtf8(row.text);
    const QRect place = row.rect.pixels();
    QWidget* control = nullptr;
    switch (row.kind) {
    case Kind::Label: {
        auto* label = new QLabel(text, parent);
        label->setAlignment(row.align | Qt::AlignTop);
        label->setTextFormat(Qt::PlainText);
        if (row.border)
            label->setFrameStyle(QFrame::Box | QFrame::Plain);
        if (row.fill != QPalette::NoRole) {
            label->setBackgroundRole(row.fill);
            label->setAutoFillBackground(true);
        }
        control = label;
        break;
    }
    case Kind::Frame:
        control = new QGroupBox(text, parent);
        break;
    case Kind::Button: {
        auto* button = new QPushButton(text, parent);
        button->setAutoDefault(true); // Enter presses the focused button, as on Windows
        control = button;
        break;
    }
    case Kind::TextBox:
        control = new QLineEdit(text, parent);
        break;
    case Kind::Picture: {
        auto* picture = new QLabel(parent);
        picture->setPixmap(pictures::render(QString::fromUtf8(row.picture), place.size()));
        picture->setAccessibleName(text);
        control = picture;
        break;
    }
    case Kind::Line: {
        const QPoint from(twips::toPixels(row.rect.left), twips::toPixels(row.rect.top));
        const QPoint to(twips::toPixels(row.rect.width), twips::toPixels(row.rect.height));
        auto* line = new LineWidget(from, to, QColor::fromRgb(row.color), parent);
        return line;
    }
    }
    control->setGeometry(place);
    return control;
}

void Form::orderTabs(std::span<const Row> rows)
{
    std::vector<std::pair<int, QWidget*>> order;
    for (const Row& row : rows) {
        if (takesFocus(row.kind) && row.tabIndex >= 0)
            order.emplace_back(row.tabIndex, widget(QString::fromUtf8(row.name), row.index));
    }
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1].second, order[i].second);
    m_first = order.empty() ? nullptr : order.front().second;
}

} // namespace form
