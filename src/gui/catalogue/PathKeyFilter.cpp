#include "catalogue/PathKeyFilter.h"

#include "ui/InputFeedback.h"

#include <QKeyEvent>
#include <QWidget>

namespace catalogue {

bool isRefusedPathCharacter(QChar c)
{
    return QStringLiteral("\\:*?|<>,\"").contains(c);
}

bool PathKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent *>(event)->text();
        for (const QChar c : text) {
            if (isRefusedPathCharacter(c)) {
                if (auto *box = qobject_cast<QWidget *>(watched))
                    ui::signalRefusedInput(box, QStringLiteral("A folder path cannot hold \\ : * ? | < > , or \""));
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace catalogue
