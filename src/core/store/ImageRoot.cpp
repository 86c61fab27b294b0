#include "store/ImageRoot.h"

#include <QDir>
#include <QFileInfo>

namespace store {

bool noCdRomDrive(QChar)
{
    return false;
}

QString firstCdRomRoot(const DriveTypeQuery &isCdRom)
{
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if (isCdRom && isCdRom(QChar::fromLatin1(letter)))
            return QStringLiteral("%1:/").arg(QChar::fromLatin1(letter));
    }
    return {};
}

QString defaultImageRoot(const DriveTypeQuery &isCdRom)
{
    return firstCdRomRoot(isCdRom) + QStringLiteral("photoimages/");
}

QString resolveImageRoot(const QString &programDir, const QString &rootText)
{
    const QString text = QDir::fromNativeSeparators(rootText);
    QString path = QDir::isAbsolutePath(text) ? QDir::rootPath() : QDir(programDir).absolutePath();
    bool exists = true;
    for (const QString &name : text.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (name == QLatin1String(".")) {
            continue;
        } else if (name == QLatin1String("..")) {
            path = QFileInfo(path).path();
            continue;
        }
        QString match = name;
        if (exists && !QFileInfo::exists(QDir(path).filePath(name))) {
            const QStringList entries = QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
            for (const QString &entry : entries) {
                if (entry.compare(name, Qt::CaseInsensitive) == 0) {
                    match = entry;
                    break;
                }
            }
        }
        path = QDir(path).filePath(match);
        exists = exists && QFileInfo(path).isDir();
    }
    return QDir::cleanPath(path);
}

} // namespace store
