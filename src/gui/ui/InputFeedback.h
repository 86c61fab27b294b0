#pragma once

#include <QRect>

class QString;
class QWidget;

namespace ui {

// Tells the user that a typed or pasted character was refused, so that a key never vanishes
// without a sign: a short beep, and `hint` (what the box takes) in a tooltip under the box, or
// under `area` of it (a grid's cell) when one is given.
void signalRefusedInput(QWidget *box, const QString &hint, const QRect &area = {});

} // namespace ui
