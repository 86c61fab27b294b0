#pragma once

class QWidget;

namespace ui {

// Gives a window's input controls their flat, hot-tracked borders: combo boxes and editable
// text boxes get a FlatControl; read-only text boxes and those whose dynamic property "tag"
// is "skip" (any letter case) only lose their own frame. Labels are passed to a FlatControl,
// which leaves them as they are; other controls are left alone. A control styled before is not
// styled twice.
void applyFlatStyling(QWidget *window);

} // namespace ui
