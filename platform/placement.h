#pragma once

class QWidget;

namespace placement {

// Puts a top-level window in the middle of the primary screen.
void centreOnScreen(QWidget* window);

} // namespace placement
