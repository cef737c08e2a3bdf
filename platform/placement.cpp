#include "placement.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QWidget>

namespace placement {

void centreOnScreen(QWidget* window)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->geometry().center() - window->rect().center());
}

namespace {

int menuHeight(QMainWindow* window, int width)
{
    return window->menuBar()->heightForWidth(width);
}

} // namespace

void sizeClient(QMainWindow* window, QSize client)
{
    window->resize(client + QSize(0, menuHeight(window, client.width())));
}

void placeClient(QMainWindow* window, QPoint topLeft)
{
    // The window's own geometry, inside whatever frame the window system adds.
    window->setGeometry(QRect(topLeft - QPoint(0, menuHeight(window, window->width())), window->size()));
}

} // namespace placement
