#pragma once

#include <QHash>
#include <QImage>
#include <QSize>
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
    QHash<QString, QString> m_byFoldedName; // case-folded name -> name on disk
};

// Images larger than this many pixels are not decoded: a preview of them would take too much
// memory.
constexpr qint64 kMaxPreviewPixels = 200'000'000;

struct DecodedImage
{
    QImage image;
    QString error; // why there is no image
};

// Reads an image scaled to fit `bound` (keeping its aspect ratio, never enlarged), turned as its
// EXIF orientation says. Decodes at the reduced size where the format allows (JPEG).
DecodedImage decodePreview(const QString &path, const QSize &bound);

// Why a file cannot be copied in under `name`, or an empty text: the name's extension must
// match the file's image format, since the analysis program goes by the extension.
QString imageFormatMismatch(const QString &source, const QString &name);

// Copies `source` into `folder` as `name` through a temporary file and a rename, never over an
// existing file. Empty text on success, else what failed.
QString copyImageInto(const QString &source, const QString &folder, const QString &name);

} // namespace editor
