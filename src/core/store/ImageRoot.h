#pragma once

#include <QString>

#include <functional>

namespace store {

// Answers whether the drive with this letter is a CD-ROM drive. The platform has no drive
// letters, so the program's own query says no to every letter; tests give their own.
using DriveTypeQuery = std::function<bool(QChar driveLetter)>;
bool noCdRomDrive(QChar driveLetter);

// "D:/" for the first CD-ROM drive from A to Z, or empty text when there is none.
QString firstCdRomRoot(const DriveTypeQuery &isCdRom);

// The image root used when the setting is absent: the first CD-ROM root + "photoimages/".
QString defaultImageRoot(const DriveTypeQuery &isCdRom);

// The folder an image root text names. A relative root is taken relative to the program
// directory; each folder name matches an existing folder whose name differs only in letter
// case. Folders that do not exist keep the name as written.
QString resolveImageRoot(const QString &programDir, const QString &rootText);

} // namespace store
