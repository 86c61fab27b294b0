#pragma once

#include <QString>
#include <QVariant>

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

} // namespace editor
