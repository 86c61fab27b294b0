#pragma once

#include "catalogue/AppContext.h"

#include <memory>

namespace catalogue {

class CatalogueWindow;

// Start-up: loads the catalogue and shows it without waiting. Returns no window when the load
// failed; the user has then been told why, and the program ends.
std::unique_ptr<CatalogueWindow> startCatalogue(const AppContext &context);

} // namespace catalogue
