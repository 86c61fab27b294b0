#pragma once

#include "common/Message.h"
#include "store/ImageRoot.h"
#include "store/Result.h"

#include <QString>

#include <functional>

namespace editor {

// Whether the volume holding an existing path is an optical disc (CD or DVD file system).
// False where the platform cannot tell.
bool isOnOpticalDisc(const QString &path);
using VolumeQuery = std::function<bool(const QString &path)>;

// What the image-folder command works from: the image root as the catalogue's txtPath holds it
// at the press and the book identifier as typed.
struct BookFolderRequest
{
    QString programDir;
    QString rootText;
    QString identifier;
    store::DriveTypeQuery isCdRomDrive = store::noCdRomDrive;
    VolumeQuery isOpticalVolume = isOnOpticalDisc;
};

enum class BookFolderStep {
    Untitled,      // the identifier is still "Untitled"
    InvalidName,   // the identifier cannot name a folder inside the image root
    OnCdRom,       // the image root lies on a CD-ROM
    RootMissing,   // the image root is not a folder
    AskToCreate,   // the book folder is missing: ask, then create it
    AlreadyExists, // the book folder is there
};

struct BookFolderCheck
{
    BookFolderStep step;
    ui::Message message; // the refusal or report to show, or the question to ask
    QString folder;      // the book folder (AskToCreate and AlreadyExists)
};

// The checks of the image-folder command, in order, without touching the file system beyond
// reading it.
BookFolderCheck checkBookFolder(const BookFolderRequest &request);

// Creates the book folder inside its existing root; fails (Io) with the system's reason.
store::Result<> createBookFolder(const QString &folder);

// A book's image folder that a save renaming the book should rename with it.
struct FolderRename
{
    QString oldName; // the folder's name, the old identifier
    QString newName; // the new identifier
    QString from;    // the folder's path, which exists
    QString to;      // the path it moves to, where nothing is
};

// The folder to rename when a book's identifier changes from `oldLabel` to `newLabel` inside
// the image root: only when the old folder exists and nothing has the new name, so that a rename
// never merges two folders or replaces one. Empty `from` when there is nothing to ask.
FolderRename folderToRename(const QString &root, const QString &oldLabel, const QString &newLabel);

// The question asked before the rename.
ui::Message renameQuestion(const FolderRename &rename);

// Renames the folder; the system refuses when something appeared under the new name meanwhile,
// and then nothing moves. Fails (Io) naming both folders and the reason.
store::Result<> renameBookFolder(const FolderRename &rename);

// The whole command: runs the checks, shows the refusal or report, or asks and creates the
// folder on Yes, reporting a folder that could not be created. Returns the step reached.
BookFolderStep runBookFolderCommand(const BookFolderRequest &request, ui::Messages &messages);

} // namespace editor
