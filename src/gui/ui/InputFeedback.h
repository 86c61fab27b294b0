#pragma once

class QString;
class QWidget;

namespace ui {

// Tells the user that a typed or pasted character was refused, so that a key never vanishes
// without a sign: a short beep, and `hint` (what the box takes) in a tooltip at the box.
void signalRefusedInput(QWidget *box, const QString &hint);

} // namespace ui
