#include "app/CommandLine.h"
#include "catalogue/CatalogueWindow.h"
#include "catalogue/Startup.h"
#include "store/ProgramDir.h"
#include "store/Settings.h"
#include "ui/LayoutSettings.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QTextStream>

#include <cstdio>
#include <memory>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // Names the user's data folder (~/.local/share/photoseries) of an installed copy.
    QCoreApplication::setApplicationName(QStringLiteral("photoseries"));
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const cli::Invocation invocation = cli::classify(arguments);

    // A command word runs without a display and without windows.
    if (invocation.headless) {
        // Publishing draws text, which needs the fonts of a QGuiApplication; without a display
        // it draws on the offscreen platform.
        if (invocation.drawsPages && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        const std::unique_ptr<QCoreApplication> app = invocation.drawsPages
                                                          ? std::make_unique<QGuiApplication>(argc, argv)
                                                          : std::make_unique<QCoreApplication>(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        cli::Console console{out, err, isatty(fileno(stderr)) != 0};
        return cli::run(invocation, console);
    }

    QApplication app(argc, argv);

    ui::BoxMessages messages;
    store::Settings settings;
    catalogue::AppContext context;
    context.programDir = cli::libraryDir(invocation.library);
    context.storeLocation = cli::storeLocation(invocation.store, invocation.library);
    context.messages = &messages;
    context.settings = &settings;
    ui::LayoutSettings layout;
    context.layout = &layout;
    if (const auto folder = store::requireLibraryFolder(context.programDir); !folder) {
        messages.tell({folder.error(), ui::Icon::Critical});
        return 1;
    }

    const std::unique_ptr<catalogue::CatalogueWindow> catalogue = catalogue::startCatalogue(context);
    if (!catalogue)
        return 1;
    QObject::connect(catalogue.get(), &catalogue::CatalogueWindow::unloaded, &app, &QCoreApplication::quit);
    return app.exec();
}
