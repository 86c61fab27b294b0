#include "editor/ImageFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>

#include <sys/stat.h>
#include <unistd.h>

namespace editor {

namespace {

// The mode a new file gets from the user's umask (read without changing it, so that no other
// thread ever sees a umask of 0).
mode_t newFileMode()
{
    mode_t mask = 022;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint read = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    mask = mode_t(read);
                break;
            }
        }
    }
    return 0666 & ~mask;
}

} // namespace

namespace {

// The names of the files in a folder (hidden ones included), in no order. The folder's entries
// say which are files: QDir asks the file system about each one and sorts them, which took
// almost all the time for a folder of 20,000 images.
QStringList fileNames(const QString &folder)
{
    QStringList names;
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        const bool file = entry->d_type == DT_REG || ((entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) &&
                                                      QFileInfo(QDir(folder).filePath(name)).isFile());
        if (file)
            names << name;
    }
    ::closedir(dir);
    return names;
}

} // namespace

size_t qHash(const BookImageFolder::AnyCaseName &key, size_t seed) noexcept
{
    // The case-folded characters, read as code points as the comparison reads them.
    size_t hash = seed;
    const QString &name = key.name;
    for (qsizetype i = 0; i < name.size(); ++i) {
        char32_t c = name.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(name.at(i).unicode(), name.at(i + 1).unicode());
            ++i;
        }
        hash = hash * 31 + QChar::toCaseFolded(c);
    }
    return hash;
}

BookImageFolder::BookImageFolder(const QString &folder)
    : m_folder(folder)
{
    const QStringList names = fileNames(folder);
    m_names.reserve(names.size());
    for (const QString &name : names) {
        // Of names that differ only in case, the one in lower case (case-folded) is kept, else
        // the first by name.
        const auto it = m_names.constFind({name});
        if (it == m_names.cend()) {
            m_names.insert({name});
        } else if (const QString &kept = it->name;
                   kept != kept.toCaseFolded() && (name == name.toCaseFolded() || name < kept)) {
            m_names.erase(it);
            m_names.insert({name});
        }
    }
}

bool BookImageFolder::isPlainName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

QString BookImageFolder::find(const QString &name) const
{
    if (!isPlainName(name) || m_folder.isEmpty())
        return {};
    const auto it = m_names.constFind({name});
    return it == m_names.cend() ? QString() : QDir(m_folder).filePath(it->name);
}

QString BookImageFolder::pathFor(const QString &name) const
{
    return isPlainName(name) ? QDir::toNativeSeparators(QDir(m_folder).filePath(name)) : QString();
}

store::Result<> copyImageInto(const QString &source, const QString &folder, const QString &name)
{
    if (!BookImageFolder::isPlainName(name))
        return store::fail(QStringLiteral("\"%1\" cannot name a file in the book's folder.").arg(name),
                           store::FailureKind::Invalid);
    const QString target = QDir(folder).filePath(name);
    if (!BookImageFolder(folder).find(name).isEmpty())
        return store::fail(
            QStringLiteral("The file %1 already exists; it is never replaced.").arg(QDir::toNativeSeparators(target)),
            store::FailureKind::Duplicate);
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return store::fail(
            QStringLiteral("%1 could not be read: %2").arg(QDir::toNativeSeparators(source), in.errorString()),
            store::FailureKind::Io);
    QTemporaryFile out(QDir(folder).filePath(QStringLiteral(".copy-XXXXXX")));
    if (!out.open())
        return store::fail(
            QStringLiteral("No file can be written in %1: %2").arg(QDir::toNativeSeparators(folder), out.errorString()),
            store::FailureKind::Io);
    while (!in.atEnd()) {
        const QByteArray block = in.read(1 << 20);
        if (block.isEmpty() && in.error() != QFileDevice::NoError)
            return store::fail(
                QStringLiteral("%1 could not be read: %2").arg(QDir::toNativeSeparators(source), in.errorString()),
                store::FailureKind::Io);
        if (out.write(block) != block.size())
            return store::fail(
                QStringLiteral("%1 could not be written: %2").arg(QDir::toNativeSeparators(target), out.errorString()),
                store::FailureKind::Io);
    }
    if (!out.flush())
        return store::fail(
            QStringLiteral("%1 could not be written: %2").arg(QDir::toNativeSeparators(target), out.errorString()),
            store::FailureKind::Io);
    // Readable as the folder's other files are: the temporary file was made for its owner alone.
    if (::fchmod(out.handle(), newFileMode()) != 0)
        return store::fail(QStringLiteral("%1 could not be written: %2")
                               .arg(QDir::toNativeSeparators(target), QString::fromLocal8Bit(std::strerror(errno))),
                           store::FailureKind::Io);
    // A hard link, unlike a rename, never replaces a file that appeared meanwhile.
    if (::link(QFile::encodeName(out.fileName()).constData(), QFile::encodeName(target).constData()) != 0)
        return store::fail(QStringLiteral("%1 could not be written: %2")
                               .arg(QDir::toNativeSeparators(target), QString::fromLocal8Bit(std::strerror(errno))),
                           store::FailureKind::Io);
    return store::done();
}

} // namespace editor
