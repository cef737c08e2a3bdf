#include "data.h"

#include "connection.h"
#include "dialogs.h"
#include "navigationbutton.h"
#include "recordset.h"
#include "schema.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>

#include <limits>

Data::Data(Dialogs& dialogs, QWidget* parent)
    : QWidget(parent)
    , m_dialogs(dialogs)
{
    buildBar();
}

Data::~Data()
{
    // Closing a window deletes it without saving; saving on the way out is unload's work.
    m_recordset.reset();
}

void Data::buildBar()
{
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    setAccessibleName(caption());
    // Each arrow is named in words, shown again as its tip, and has a key, its description, that clicks it from
    // anywhere in the bar's window: the bar itself stays out of the tab order.
    const auto addButton = [this, layout](NavigationButton::Direction direction, const char* name, const char* words,
                                          QKeyCombination key, Status (Recordset::*move)()) {
        auto* button = new NavigationButton(direction, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setAccessibleName(QString::fromLatin1(words));
        button->setToolTip(button->accessibleName());
        const QKeySequence keys(key);
        button->setAccessibleDescription(keys.toString(QKeySequence::NativeText));
        connect(button, &QAbstractButton::clicked, this, [this, button, move] { moveFromBar(button, move); });
        layout->addWidget(button);
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(button->autoRepeat());
        connect(shortcut, &QShortcut::activated, button, &QAbstractButton::click);
    };
    addButton(NavigationButton::Direction::First, "moveFirst", "First record", Qt::CTRL | Qt::Key_PageUp,
              &Recordset::moveFirst);
    addButton(NavigationButton::Direction::Previous, "movePrevious", "Previous record", Qt::Key_PageUp,
              &Recordset::movePrevious);
    auto* label = new QLabel(caption(), this);
    label->setObjectName(QStringLiteral("caption"));
    label->setIndent(4);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAutoFillBackground(true);
    label->setBackgroundRole(QPalette::Base);
    layout->addWidget(label, 1);
    addButton(NavigationButton::Direction::Next, "moveNext", "Next record", Qt::Key_PageDown, &Recordset::moveNext);
    addButton(NavigationButton::Direction::Last, "moveLast", "Last record", Qt::CTRL | Qt::Key_PageDown,
              &Recordset::moveLast);
}

Status Data::refresh()
{
    const schema::Table* table = schema::table(m_recordSource);
    if (!table)
        return Status::failure(QStringLiteral("Cannot open the register \"%1\": Velmora keeps no table \"%2\".")
                                   .arg(m_databaseName, m_recordSource));
    Expected<std::unique_ptr<Connection>> connection = Connection::open(m_databaseName);
    if (!connection)
        return connection.status();

    // The new record set fills the fields as it opens, so it takes the old one's place first.
    RecordBinding* binding = this;
    auto other = std::make_unique<Recordset>(std::move(connection.value()), *table, binding);
    std::swap(m_recordset, other);
    if (Status opened = m_recordset->open(); !opened) {
        std::swap(m_recordset, other);
        return opened;
    }
    return {};
}

Status Data::unload()
{
    if (!m_recordset)
        return {};
    if (Status closed = m_recordset->close(); !closed)
        return closed;
    m_recordset.reset();
    return {};
}

void Data::bind(QLineEdit* field, const QString& column)
{
    // A field holds whatever its column holds, however long.
    field->setMaxLength(std::numeric_limits<int>::max());
    const std::size_t index = m_bound.size();
    m_bound.push_back({field, column});
    connect(field, &QLineEdit::textChanged, this, [this, index] {
        if (!m_filling)
            m_bound[index].changed = true;
    });
}

void Data::bind(QLabel* field, const QString& column)
{
    m_bound.push_back({field, column});
}

bool Data::isChanged(const QLineEdit* field) const
{
    for (const Bound& bound : m_bound) {
        if (bound.field == field)
            return bound.changed;
    }
    return false;
}

void Data::moveFromBar(QAbstractButton* button, Status (Recordset::*move)())
{
    if (!m_recordset)
        return;
    if (Status moved = (m_recordset.get()->*move)(); !moved) {
        // A held arrow stops repeating: one refusal, one message.
        button->setDown(false);
        Q_EMIT moveRefused(moved.column());
        m_dialogs.showFailure(moved.message());
    }
}

void Data::notifyValidate(Action action, bool save)
{
    Q_EMIT validate(action, save);
}

QList<FieldInput> Data::changedFields() const
{
    QList<FieldInput> changed;
    for (const Bound& bound : m_bound) {
        if (const auto* edit = qobject_cast<const QLineEdit*>(bound.field.data()); edit && bound.changed)
            changed.append({bound.column, edit->text()});
    }
    return changed;
}

void Data::fill()
{
    m_filling = true;
    for (Bound& bound : m_bound) {
        const QString text = m_recordset ? m_recordset->text(bound.column) : QString();
        if (auto* edit = qobject_cast<QLineEdit*>(bound.field.data())) {
            edit->setText(text);
            edit->setCursorPosition(0);
        } else if (auto* label = qobject_cast<QLabel*>(bound.field.data())) {
            label->setText(text);
            // A screen reader names a display-only field by its caption and hears the value as its description.
            label->setAccessibleDescription(text);
        }
        bound.changed = false;
    }
    m_filling = false;
}

void Data::clearChanged()
{
    for (Bound& bound : m_bound)
        bound.changed = false;
}
