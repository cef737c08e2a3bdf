#pragma once

#include <QAbstractButton>

// One arrow button of the navigation bar: first and last carry a bar beside the arrow.
class NavigationButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class Direction { First, Previous, Next, Last };

    NavigationButton(Direction direction, QWidget* parent);

    Direction direction() const { return m_direction; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Direction m_direction;
};
