#include "placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace placement {

void centreOnScreen(QWidget* window)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->geometry().center() - window->rect().center());
}

} // namespace placement
