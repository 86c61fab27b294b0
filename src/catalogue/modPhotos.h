#pragma once

#include "catalogue/AppContext.h"

#include <memory>

namespace catalogue {

class frmManagePhotos;

namespace modPhotos {

// Start-up: loads the catalogue and shows it without waiting. Returns no window when the load
// failed; the user has then been told why, and the program ends.
std::unique_ptr<frmManagePhotos> Main(const AppContext &context);

} // namespace modPhotos
} // namespace catalogue
