#include "catalogue/frmManagePhotos.h"
#include "catalogue/modPhotos.h"
#include "store/Settings.h"
#include "ui/LayoutSettings.h"
#include "ui/Messages.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    ui::BoxMessages messages;
    store::Settings settings;
    catalogue::AppContext context;
    context.programDir = QCoreApplication::applicationDirPath();
    context.messages = &messages;
    context.settings = &settings;
    ui::LayoutSettings layout;
    context.layout = &layout;

    const std::unique_ptr<catalogue::frmManagePhotos> catalogue = catalogue::modPhotos::Main(context);
    if (!catalogue)
        return 1;
    QObject::connect(catalogue.get(), &catalogue::frmManagePhotos::unloaded, &app, &QCoreApplication::quit);
    return app.exec();
}
