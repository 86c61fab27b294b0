#include "store/ProgramDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace store {

namespace {

// The user's copy can be written (new codes are appended to the code files) even when the
// shipped file is read-only.
void copyWritable(const QString &from, const QString &to)
{
    if (QFile::copy(from, to))
        QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

} // namespace

QString chooseProgramDir(const QString &executableDir, const QString &sharedData, const QString &userData)
{
    const bool installed = QFileInfo(sharedData).isDir() || !QFileInfo(executableDir).isWritable();
    if (!installed)
        return executableDir;
    QDir().mkpath(userData);
    seedProgramDir(userData, sharedData);
    return userData;
}

void seedProgramDir(const QString &dir, const QString &sharedData)
{
    const QDir shipped(sharedData);
    const QDir target(dir);
    for (const QString &name : shipped.entryList({QStringLiteral("*.txt")}, QDir::Files)) {
        if (!target.exists(name))
            copyWritable(shipped.filePath(name), target.filePath(name));
    }
    const QDir books(shipped.filePath(QStringLiteral("Books")));
    if (!books.exists())
        return;
    target.mkpath(QStringLiteral("Books"));
    for (const QString &name : books.entryList({QStringLiteral("*.bks")}, QDir::Files)) {
        const QString copy = target.filePath(QStringLiteral("Books/") + name);
        if (!QFile::exists(copy))
            copyWritable(books.filePath(name), copy);
    }
}

QString shippedDataDir()
{
    const QString executableDir = QCoreApplication::applicationDirPath();
    const QString sharedData = QDir::cleanPath(executableDir + QStringLiteral("/../share/photoseries"));
    return QFileInfo(sharedData).isDir() ? sharedData : executableDir;
}

void seedCodeFiles(const QString &dir)
{
    const QDir shipped(shippedDataDir());
    const QDir target(dir);
    for (const QString &name : {QStringLiteral("Vegcodes.txt"), QStringLiteral("Actcodes.txt")}) {
        if (!target.exists(name) && shipped.exists(name))
            copyWritable(shipped.filePath(name), target.filePath(name));
    }
}

QString defaultProgramDir()
{
    const QString executableDir = QCoreApplication::applicationDirPath();
    const QString sharedData = QDir::cleanPath(executableDir + QStringLiteral("/../share/photoseries"));
    return chooseProgramDir(executableDir, sharedData,
                            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

Result<> requireLibraryFolder(const QString &dir)
{
    if (QFileInfo(dir).isDir())
        return done();
    return fail(QStringLiteral("The library folder %1 does not exist.").arg(QDir::toNativeSeparators(dir)),
                FailureKind::NotFound);
}

} // namespace store
