#include "ui/InputFeedback.h"

#include <QApplication>
#include <QToolTip>
#include <QWidget>

namespace ui {

void signalRefusedInput(QWidget *box, const QString &hint, const QRect &area)
{
    QApplication::beep();
    // Under the box, where it hides neither the text nor the cursor.
    const QRect under = area.isValid() ? area : box->rect();
    QToolTip::showText(box->mapToGlobal(under.bottomLeft() + QPoint(0, 1)), hint, box);
}

} // namespace ui
