#pragma once

class QWidget;

namespace ui {

// Gives a window's input controls their flat, hot-tracked borders.
void applyFlatStyling(QWidget *window);

} // namespace ui
