#include "editor/PhotoDefaults.h"

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

FieldValues addedPhotoValues(bool copyName, const QString &carriedName, const QVariant &bookLabel,
                             const QVariant &bookId)
{
    FieldValues values;
    if (copyName)
        values.append({QStringLiteral("GroupLabel"), carriedName});
    values.append({QStringLiteral("BookLabel"), bookLabel});
    values.append({QStringLiteral("BookID"), bookId});
    for (int i = 1; i <= 7; ++i)
        values.append({QStringLiteral("TonsPerAcreBreak%1").arg(i), 0.0});
    values.append({QStringLiteral("AverageFuelbedDepth"), 0.0});
    values.append({QStringLiteral("AverageDuffDepth"), 0.0});
    values.append({QStringLiteral("HerbTonsPerAcre"), 0.0});
    values.append({QStringLiteral("WoodyTonsPerAcre"), 0.0});
    values.append({QStringLiteral("CanopyClosure"), 0.5});
    values.append({QStringLiteral("TreesPerAcre"), 1.0});
    return values;
}

} // namespace editor
