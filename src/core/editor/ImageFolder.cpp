#include "editor/ImageFolder.h"

#include "editor/ImageFiles.h"
#include "store/NameRules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>

namespace editor {

namespace {

const QString folderHeading = QStringLiteral("Folder to store book images");

ui::Message folderMessage(const QString &text, ui::Icon icon)
{
    return {folderHeading + QStringLiteral(": \n") + text, icon};
}

bool startsWithCdRomDrive(const QString &rootText, const store::DriveTypeQuery &isCdRomDrive)
{
    return rootText.size() >= 2 && rootText.at(1) == QLatin1Char(':') && rootText.at(0).isLetter() && isCdRomDrive &&
           isCdRomDrive(rootText.at(0).toUpper());
}

BookFolderCheck refusal(BookFolderStep step, const ui::Message &message)
{
    return {step, message, QString()};
}

ui::Message invalidName(const QString &id)
{
    return folderMessage(QStringLiteral("The book identity \"%1\" cannot be used as a folder name.").arg(id),
                         ui::Icon::Exclamation);
}

} // namespace

bool isOnOpticalDisc(const QString &path)
{
    const QStorageInfo volume(path);
    if (!volume.isValid())
        return false;
    const QByteArray type = volume.fileSystemType().toLower();
    return type == "iso9660" || type == "udf" || type == "cdfs" || type == "cd9660";
}

BookFolderCheck checkBookFolder(const BookFolderRequest &request)
{
    // The identifier as Save writes it, without surrounding blanks.
    const QString id = request.identifier.trimmed();
    if (store::isUntitled(id))
        return refusal(BookFolderStep::Untitled,
                       {QStringLiteral("Book Identity cannot be Untitled"), ui::Icon::Exclamation});
    if (!store::isUsableFolderName(id))
        return refusal(BookFolderStep::InvalidName, invalidName(id));

    const QString root = store::resolveImageRoot(request.programDir, request.rootText);
    const bool rootExists = QFileInfo(root).isDir();
    if (startsWithCdRomDrive(request.rootText, request.isCdRomDrive) ||
        (rootExists && request.isOpticalVolume && request.isOpticalVolume(root))) {
        return refusal(BookFolderStep::OnCdRom,
                       folderMessage(QStringLiteral("Cannot create a book folder on a CD ROM. Please check photo "
                                                    "images folder path."),
                                     ui::Icon::Critical));
    }
    // An empty root would put the book folder in the program directory.
    if (!rootExists || request.rootText.trimmed().isEmpty()) {
        return refusal(BookFolderStep::RootMissing,
                       folderMessage(QStringLiteral("The photo image folder does not exist. Please check photo "
                                                    "images folder path."),
                                     ui::Icon::Critical));
    }

    // A folder whose name differs only in letter case is the book's folder, as for every
    // other use of the image root.
    const QString folder = store::resolveImageRoot(root, id);
    if (QFileInfo(folder).absolutePath() != QDir::cleanPath(root))
        return refusal(BookFolderStep::InvalidName, invalidName(id));
    if (QFileInfo(folder).isDir()) {
        return {BookFolderStep::AlreadyExists,
                folderMessage(QStringLiteral("The folder for this book already exists"), ui::Icon::Information),
                folder};
    }
    return {BookFolderStep::AskToCreate,
            {QStringLiteral("The folder for the %1 book does not exist. Do you wish to create it?.").arg(id),
             ui::Icon::Question, folderHeading},
            folder};
}

store::Result<> createBookFolder(const QString &folder)
{
    std::error_code error;
    std::filesystem::create_directory(QFile::encodeName(folder).toStdString(), error);
    if (error)
        return store::fail(QString::fromStdString(error.message()), store::FailureKind::Io);
    return store::done();
}

FolderRename folderToRename(const QString &root, const QString &oldLabel, const QString &newLabel)
{
    if (oldLabel == newLabel || !BookImageFolder::isPlainName(oldLabel) || !BookImageFolder::isPlainName(newLabel) ||
        !QFileInfo(root).isDir())
        return {};
    const QDir dir(root);
    const QString from = dir.filePath(oldLabel);
    const QString to = dir.filePath(newLabel);
    // A name taken in any form (a file, a link, a folder) is never replaced.
    if (!QFileInfo(from).isDir() || QFileInfo(from).isSymLink() || QFileInfo::exists(to) || QFileInfo(to).isSymLink())
        return {};
    return {oldLabel, newLabel, from, to};
}

ui::Message renameQuestion(const FolderRename &rename)
{
    return {QStringLiteral("Rename the image folder \"%1\" to \"%2\"?").arg(rename.oldName, rename.newName),
            ui::Icon::Question};
}

store::Result<> renameBookFolder(const FolderRename &rename)
{
    // RENAME_NOREPLACE: a folder made under the new name since the question stays as it is.
    if (::renameat2(AT_FDCWD, QFile::encodeName(rename.from).constData(), AT_FDCWD,
                    QFile::encodeName(rename.to).constData(), RENAME_NOREPLACE) != 0)
        return store::fail(QStringLiteral("The image folder %1 could not be renamed to %2: %3. Nothing was moved.")
                               .arg(QDir::toNativeSeparators(rename.from), QDir::toNativeSeparators(rename.to),
                                    QString::fromLocal8Bit(std::strerror(errno))),
                           store::FailureKind::Io);
    return store::done();
}

BookFolderStep runBookFolderCommand(const BookFolderRequest &request, ui::Messages &messages)
{
    const BookFolderCheck check = checkBookFolder(request);
    if (check.step != BookFolderStep::AskToCreate) {
        messages.tell(check.message);
    } else if (messages.ask(check.message)) {
        if (const auto created = createBookFolder(check.folder); !created) {
            messages.tell(folderMessage(QStringLiteral("The folder %1 could not be created: %2.")
                                            .arg(QDir::toNativeSeparators(check.folder), created.error()),
                                        ui::Icon::Critical));
        }
    }
    return check.step;
}

} // namespace editor
