#include "store/StoreLocation.h"

#include <QDir>
#include <QSettings>

namespace store {

QString fileStoreLocation(const QString &programDir)
{
    return QDir(programDir).filePath(QStringLiteral("Photo3.mdb"));
}

QString configuredStoreLocation(const QString &programDir)
{
    const QSettings settings(QStringLiteral("photoseries"), QStringLiteral("photoseries"));
    return storeLocationFromSetting(programDir, settings.value(QStringLiteral("Store")).toString());
}

QString storeLocationFromSetting(const QString &programDir, const QString &setting)
{
    const QString trimmed = setting.trimmed();
    return trimmed.isEmpty() ? fileStoreLocation(programDir) : trimmed;
}

} // namespace store
