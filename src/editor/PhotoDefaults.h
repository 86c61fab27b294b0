#pragma once

#include <QPair>
#include <QString>
#include <QVariant>
#include <QVector>

namespace editor {

// Extension of the image files for the file type chosen in cboFileType: the first entry is
// JPEG, anything else GIF.
QString fileTypeExtension(int fileTypeIndex);

struct ImageNames
{
    QString dataPic;
    QString photoPic;
};

// "D" and "P" before the label exactly as typed (not trimmed), the extension after it.
ImageNames imageNamesFor(const QString &label, const QString &extension);

// The name a new photo takes over when chkCopyPhotoDesc is checked: the current photo's
// GroupLabel when a photo is current and its name is not null (an empty name stays empty),
// else "New".
QString carriedOverName(bool hasCurrentPhoto, const QVariant &currentGroupLabel);

using FieldValues = QVector<QPair<QString, QVariant>>;

// The fields a photo added with cmdAdd is given, in the order they are written: GroupLabel only
// when a name is carried over, then the book's stored label and key, the loadings and depths 0,
// CanopyClosure 0.5 and TreesPerAcre 1. Every other field stays empty.
FieldValues addedPhotoValues(bool copyName, const QString &carriedName, const QVariant &bookLabel,
                             const QVariant &bookId);

} // namespace editor
