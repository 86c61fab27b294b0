#include "editor/NewPhotoNames.h"

namespace editor {

QString fileTypeExtension(int fileTypeIndex)
{
    return fileTypeIndex == 0 ? QStringLiteral(".jpg") : QStringLiteral(".gif");
}

ImageNames imageNamesFor(const QString &label, const QString &extension)
{
    return {QLatin1Char('D') + label + extension, QLatin1Char('P') + label + extension};
}

QString carriedOverName(bool hasCurrentPhoto, const QVariant &currentGroupLabel)
{
    if (hasCurrentPhoto && !currentGroupLabel.isNull())
        return currentGroupLabel.toString();
    return QStringLiteral("New");
}

} // namespace editor
