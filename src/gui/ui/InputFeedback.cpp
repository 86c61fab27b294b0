#include "ui/InputFeedback.h"

#include <QApplication>
#include <QToolTip>
#include <QWidget>

namespace ui {

void signalRefusedInput(QWidget *box, const QString &hint)
{
    QApplication::beep();
    // Under the box, where it hides neither the text nor the cursor.
    QToolTip::showText(box->mapToGlobal(QPoint(0, box->height())), hint, box);
}

} // namespace ui
