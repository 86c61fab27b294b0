#pragma once

#include "store/ImageRoot.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

namespace store {
class Settings;
}
namespace ui {
class LayoutSettings;
class Messages;
} // namespace ui

namespace catalogue {

// Asks where to save a file, starting from a suggested path: the chosen path, or an empty text
// when the user cancelled. The path gets the extension of the chosen filter when it has none.
using SaveFileQuery = std::function<QString(QWidget *parent, const QString &suggested, const QStringList &filters)>;
QString askSaveFileName(QWidget *parent, const QString &suggested, const QStringList &filters);

// Asks for a folder, starting from a suggested one: the chosen folder, or an empty text when the
// user cancelled.
using FolderQuery = std::function<QString(QWidget *parent, const QString &suggested)>;
QString askFolder(QWidget *parent, const QString &suggested);

// Asks for the password of a team library; the prompt names the user and the server. The typed
// password, or nothing when the user cancelled. The password is never stored.
using PasswordQuery = std::function<std::optional<QString>(QWidget *parent, const QString &prompt)>;
std::optional<QString> askPassword(QWidget *parent, const QString &prompt);

// What the program hands its windows: the seams that tests replace.
struct AppContext
{
    QString programDir;
    ui::Messages *messages = nullptr;
    store::Settings *settings = nullptr;
    store::DriveTypeQuery isCdRom = store::noCdRomDrive;
    SaveFileQuery saveFileName = askSaveFileName;
    // Where the windows remember their size, place and column widths; none remembers nothing.
    ui::LayoutSettings *layout = nullptr;
    // The store to open: the program directory's Photo3.mdb, or a team library's URL
    // (store::configuredStoreLocation). Empty means the program directory's database file.
    QString storeLocation = {};
    // Asked at start-up when the server wants a password that ~/.pgpass and PGPASSWORD lack.
    PasswordQuery password = askPassword;
    // Where an export of several books writes their files.
    FolderQuery exportFolder = askFolder;
};

} // namespace catalogue
