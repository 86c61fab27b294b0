#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace editor {

// Images larger than this many pixels are not decoded: a preview of them would take too much
// memory.
constexpr qint64 kMaxPreviewPixels = 200'000'000;

struct DecodedImage
{
    QImage image;
    QString error; // why there is no image
};

// What is wrong with an image file that can still be shown, or an empty text: its content is
// another format than its extension says (the analysis program goes by the extension), or it
// is cut short. decodePreview keeps it in the image's text under kImageWarningKey.
QString imageFileWarning(const QString &path);
inline constexpr char kImageWarningKey[] = "photoseries-warning";

// Reads an image scaled to fit `bound` (keeping its aspect ratio, never enlarged), turned as its
// EXIF orientation says. Decodes at the reduced size where the format allows (JPEG).
DecodedImage decodePreview(const QString &path, const QSize &bound);

// Why a file cannot be copied in under `name`, or an empty text: the name's extension must
// match the file's image format, since the analysis program goes by the extension.
QString imageFormatMismatch(const QString &source, const QString &name);

} // namespace editor
