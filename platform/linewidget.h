#pragma once

#include <QColor>
#include <QWidget>

// A one-pixel line between two points of its parent, like a drawn line control.
class LineWidget : public QWidget {
    Q_OBJECT
public:
    LineWidget(QPoint from, QPoint to, QColor colour, QWidget* parent);

    QPoint from() const { return m_from; }
    QPoint to() const { return m_to; }
    QColor colour() const { return m_colour; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPoint m_from;
    QPoint m_to;
    QColor m_colour;
};
