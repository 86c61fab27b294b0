#include "store/NameRules.h"

namespace store {

bool isRefusedNameCharacter(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f || QStringLiteral("\\/:*?|<>,\"").contains(c);
}

bool holdsRefusedNameCharacter(const QString &name)
{
    for (const QChar c : name)
        if (isRefusedNameCharacter(c))
            return true;
    return false;
}

bool isUntitled(const QString &label)
{
    return label.compare(QLatin1String("Untitled"), Qt::CaseInsensitive) == 0;
}

bool isUsableFolderName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !holdsRefusedNameCharacter(name);
}

} // namespace store
