#pragma once

#include "store/ImageRoot.h"

#include <QString>

#include <functional>

namespace store {
class Store;
}
namespace ui {
class LayoutSettings;
class Messages;
} // namespace ui

class QWidget;

namespace editor {

QString askImageFile(QWidget *parent);

// What the catalogue hands the book editor: the shared store, the message seam, the program
// directory (code files), and the image root as the catalogue's txtPath holds it now.
struct EditorContext
{
    store::Store *store = nullptr;
    ui::Messages *messages = nullptr;
    QString programDir;
    std::function<QString()> imageRootText;
    store::DriveTypeQuery isCdRom = store::noCdRomDrive;
    ui::LayoutSettings *layout = nullptr;
    // Asks for an image file to add to the book's folder; empty when cancelled.
    std::function<QString(QWidget *parent)> openImageFile = askImageFile;
};

} // namespace editor
