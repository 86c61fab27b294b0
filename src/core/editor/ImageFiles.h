#pragma once

#include "store/Result.h"

#include <QSet>
#include <QString>
#include <QStringList>

namespace editor {

// The image files of one book's folder, listed once: names are matched as the image root's
// folders are, so a name that differs only in letter case is found. A name that could reach
// outside the folder (a separator, "." or "..") is never looked up.
class BookImageFolder
{
public:
    BookImageFolder() = default;
    explicit BookImageFolder(const QString &folder);

    const QString &folder() const { return m_folder; }
    // The file a name stands for, or an empty text when there is none.
    QString find(const QString &name) const;
    // Where a name is looked for, for messages and tooltips ("" for a name that cannot be one).
    QString pathFor(const QString &name) const;
    static bool isPlainName(const QString &name);

    // A file's name, equal to another that differs from it only in letter case.
    struct AnyCaseName
    {
        QString name;
        bool operator==(const AnyCaseName &other) const { return name.compare(other.name, Qt::CaseInsensitive) == 0; }
    };

private:
    QString m_folder;
    // Each name on disk once, found by any of its spellings: one string per file (a folder of
    // 20,000 images kept a case-folded copy of each name as well).
    QSet<AnyCaseName> m_names;
};

size_t qHash(const BookImageFolder::AnyCaseName &key, size_t seed = 0) noexcept;

// Copies `source` into `folder` as `name` through a temporary file and a rename, never over an
// existing file. Fails with what went wrong: Invalid for a name that cannot be a file's, Duplicate
// for a file already there, Io for a copy that could not be made.
store::Result<> copyImageInto(const QString &source, const QString &folder, const QString &name);

} // namespace editor
