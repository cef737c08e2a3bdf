#include "enterchain.h"

#include <QKeyEvent>
#include <QWidget>

namespace {

bool isEnter(const QKeyEvent& key, records::EnterKey reactsTo)
{
    switch (reactsTo) {
    case records::EnterKey::Character:
        return key.text() == QLatin1String("\r");
    case records::EnterKey::KeyDown:
        return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
    case records::EnterKey::None:
        break;
    }
    return false;
}

} // namespace

void EnterChain::link(QWidget* field, records::EnterKey reactsTo, QWidget* next)
{
    if (reactsTo == records::EnterKey::None || !next)
        return;
    m_links.insert(field, {reactsTo, next});
    field->installEventFilter(this);
}

bool EnterChain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto link = m_links.constFind(watched);
        if (link != m_links.cend() && link->next && isEnter(*static_cast<QKeyEvent*>(event), link->reactsTo))
            link->next->setFocus(Qt::OtherFocusReason);
    }
    return false; // the field still gets its keystroke
}
