#include "linewidget.h"

#include <QPainter>

LineWidget::LineWidget(QPoint from, QPoint to, QColor colour, QWidget* parent)
    : QWidget(parent)
    , m_from(from)
    , m_to(to)
    , m_colour(colour)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(QRect(from, to).normalized());
}

void LineWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(QPen(m_colour, 1));
    painter.drawLine(m_from - pos(), m_to - pos());
}
