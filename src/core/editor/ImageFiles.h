#pragma once

#include "store/Result.h"

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

private:
    QString m_folder;
    // The names on disk in order without regard to case, one of each set that differs only in
    // case, found by a binary search: one string per file and nothing else (a hash of a
    // case-folded copy of each name took three times the room for a folder of 20,000 images).
    QStringList m_names;
};

// Copies `source` into `folder` as `name` through a temporary file and a rename, never over an
// existing file. Fails with what went wrong: Invalid for a name that cannot be a file's, Duplicate
// for a file already there, Io for a copy that could not be made.
store::Result<> copyImageInto(const QString &source, const QString &folder, const QString &name);

} // namespace editor
