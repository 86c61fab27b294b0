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

// Reads an image scaled to fit `bound` (keeping its aspect ratio, never enlarged), turned as its
// EXIF orientation says. Decodes at the reduced size where the format allows (JPEG).
DecodedImage decodePreview(const QString &path, const QSize &bound);

// Why a file cannot be copied in under `name`, or an empty text: the name's extension must
// match the file's image format, since the analysis program goes by the extension.
QString imageFormatMismatch(const QString &source, const QString &name);

} // namespace editor
