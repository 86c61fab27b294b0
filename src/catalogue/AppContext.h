#pragma once

#include "store/ImageRoot.h"

#include <QString>

namespace store {
class Settings;
}
namespace ui {
class Messages;
}

namespace catalogue {

// What the program hands its windows: the seams that tests replace.
struct AppContext
{
    QString programDir;
    ui::Messages *messages = nullptr;
    store::Settings *settings = nullptr;
    store::DriveTypeQuery isCdRom = store::noCdRomDrive;
};

} // namespace catalogue
