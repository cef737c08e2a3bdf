#include "navigationbutton.h"

#include <QPainter>
#include <QPolygon>
#include <QStyleOptionButton>

NavigationButton::NavigationButton(Direction direction, QWidget* parent)
    : QAbstractButton(parent)
    , m_direction(direction)
{
    setFocusPolicy(Qt::NoFocus); // the bar never takes the focus
    setAutoRepeat(direction == Direction::Previous || direction == Direction::Next);
}

QSize NavigationButton::sizeHint() const
{
    return QSize(18, 25);
}

void NavigationButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOptionButton bevel;
    bevel.initFrom(this);
    bevel.state |= isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
    style()->drawControl(QStyle::CE_PushButtonBevel, &bevel, &painter, this);

    // A filled triangle pointing the way, with a bar at its tip for first and last.
    const bool pointsLeft = m_direction == Direction::First || m_direction == Direction::Previous;
    const bool withBar = m_direction == Direction::First || m_direction == Direction::Last;
    const QPoint centre = rect().center() + (isDown() ? QPoint(1, 1) : QPoint());
    const int half = 4;
    const int toward = pointsLeft ? -1 : 1;
    const int tipX = centre.x() + toward * (half / 2) + (withBar ? -toward : 0);
    const QPolygon arrow{QPoint(tipX, centre.y()), QPoint(tipX - toward * half, centre.y() - half),
                         QPoint(tipX - toward * half, centre.y() + half)};
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(isEnabled() ? QPalette::ButtonText : QPalette::Mid));
    painter.drawPolygon(arrow);
    if (withBar)
        painter.drawRect(QRect(tipX + toward * 1, centre.y() - half, 1, 2 * half + 1));
}
