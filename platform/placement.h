#pragma once

class QMainWindow;
class QPoint;
class QSize;
class QWidget;

namespace placement {

// Puts a top-level window in the middle of the primary screen.
void centreOnScreen(QWidget* window);
// Sizes a window so that its client area, under the menu bar, has the designed size.
void sizeClient(QMainWindow* window, QSize client);
// Puts a window's client area, under the menu bar, at a point of the screen.
void placeClient(QMainWindow* window, QPoint topLeft);

} // namespace placement
