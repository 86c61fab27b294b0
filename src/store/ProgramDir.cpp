#include "store/ProgramDir.h"

#include <QCoreApplication>

namespace store {

QString defaultProgramDir()
{
    return QCoreApplication::applicationDirPath();
}

} // namespace store
