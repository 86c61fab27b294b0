#include "catalogue/Startup.h"

#include "catalogue/CatalogueWindow.h"

namespace catalogue {

std::unique_ptr<CatalogueWindow> startCatalogue(const AppContext &context)
{
    auto window = std::make_unique<CatalogueWindow>(context);
    if (!window->load())
        return nullptr;
    window->show();
    return window;
}

} // namespace catalogue
