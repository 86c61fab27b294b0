#include "editor/ImageDecoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <cmath>

namespace editor {

QString imageFileWarning(const QString &path)
{
    const QByteArray format = QImageReader::imageFormat(path).toLower();
    QString extension = QFileInfo(path).suffix().toLower();
    if (extension == QLatin1String("jpg"))
        extension = QStringLiteral("jpeg");
    if (!format.isEmpty() && extension != QLatin1String(format))
        return QStringLiteral("This file is a %1 image, but its name says %2.")
            .arg(QString::fromLatin1(format).toUpper(), QFileInfo(path).suffix().toUpper());
    // A whole JPEG ends with its end marker, a whole PNG with its IEND chunk.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 12 || !file.seek(file.size() - 12))
        return {};
    const QByteArray tail = file.read(12);
    const bool whole = format == "jpeg"  ? tail.contains(QByteArray("\xff\xd9", 2))
                       : format == "png" ? tail.mid(4, 4) == "IEND"
                                         : true;
    return whole ? QString() : QStringLiteral("This image file is cut short: part of the picture is missing.");
}

DecodedImage decodePreview(const QString &path, const QSize &bound)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return {{}, QStringLiteral("Not a readable image: %1").arg(reader.errorString())};
    QSize size = reader.size();
    if (size.isValid()) {
        if (qint64(size.width()) * size.height() > kMaxPreviewPixels)
            return {{},
                    QStringLiteral("The image is too large to preview (%1 x %2 pixels).")
                        .arg(size.width())
                        .arg(size.height())};
        // The orientation turns the stored size; the bound applies to what is shown.
        if (reader.transformation() & QImageIOHandler::TransformationRotate90)
            size.transpose();
        if (size.width() > bound.width() || size.height() > bound.height()) {
            // A JPEG decodes fastest straight to an eighth of its size (2/8 of a 6000 x 4000
            // image in a quarter of the time a read scaled to an arbitrary size takes): read at
            // the smallest such size that still covers the bound, and scale the rest below.
            const QSize scaled = size.scaled(bound, Qt::KeepAspectRatio);
            const double fraction =
                std::max(double(scaled.width()) / size.width(), double(scaled.height()) / size.height());
            const int eighths = std::clamp(int(std::ceil(8 * fraction)), 1, 8);
            QSize read((size.width() * eighths + 7) / 8, (size.height() * eighths + 7) / 8);
            if (reader.transformation() & QImageIOHandler::TransformationRotate90)
                read.transpose();
            reader.setScaledSize(read.expandedTo(QSize(1, 1)));
        }
    }
    QImage image = reader.read();
    if (image.isNull())
        return {{}, QStringLiteral("The image could not be read: %1").arg(reader.errorString())};
    if (image.width() > bound.width() || image.height() > bound.height())
        image = image.scaled(bound, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    image.setText(QLatin1String(kImageWarningKey), imageFileWarning(path));
    return {image, {}};
}

QString imageFormatMismatch(const QString &source, const QString &name)
{
    const QByteArray format = QImageReader::imageFormat(source).toLower();
    if (format.isEmpty())
        return QStringLiteral("%1 is not an image file this program can read.").arg(QDir::toNativeSeparators(source));
    QString extension = QFileInfo(name).suffix().toLower();
    if (extension == QLatin1String("jpg"))
        extension = QStringLiteral("jpeg");
    if (extension != QLatin1String(format))
        return QStringLiteral("%1 is a %2 image, but the name %3 calls for a %4 file.")
            .arg(QDir::toNativeSeparators(source), QString::fromLatin1(format.toUpper()), name,
                 QFileInfo(name).suffix().toUpper());
    return {};
}

} // namespace editor
