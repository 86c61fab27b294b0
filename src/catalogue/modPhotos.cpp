#include "catalogue/modPhotos.h"

#include "catalogue/frmManagePhotos.h"

namespace catalogue::modPhotos {

std::unique_ptr<frmManagePhotos> Main(const AppContext &context)
{
    auto window = std::make_unique<frmManagePhotos>(context);
    if (!window->load())
        return nullptr;
    window->show();
    return window;
}

} // namespace catalogue::modPhotos
