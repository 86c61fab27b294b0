#pragma once

#include <QString>

namespace store {

// The program directory used when none is given: the folder that holds the executable, whose
// Photo3.mdb, code files and Books folder the program uses. The windows and the command line
// both take it from here. Needs the application object to exist.
QString defaultProgramDir();

} // namespace store
