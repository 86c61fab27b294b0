#include "catalogue/PathKeyFilter.h"

#include <QKeyEvent>

namespace catalogue {

bool isRefusedPathCharacter(QChar c)
{
    return QStringLiteral("\\/:*?|<>,\"").contains(c);
}

bool PathKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent *>(event)->text();
        for (const QChar c : text) {
            if (isRefusedPathCharacter(c))
                return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace catalogue
