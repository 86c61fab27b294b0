#include "app/CommandLine.h"

#include "app/Commands.h"
#include "app/PublishCommand.h"
#include "publish/BookPdf.h"
#include "store/ProgramDir.h"
#include "store/Store.h"
#include "store/StoreLocation.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace cli {

namespace {

const QString kLibrary = QStringLiteral("library");
const QString kStore = QStringLiteral("store");

// Qt's own options, which QGuiApplication and QApplication take from the command line. They
// mean nothing without a display, so the command line passes over them.
bool isQtOption(const QString &name, bool &takesValue)
{
    static const QStringList withValue{"platform",        "platformpluginpath",
                                       "platformtheme",   "plugin",
                                       "qwindowgeometry", "geometry",
                                       "qwindowicon",     "icon",
                                       "qwindowtitle",    "title",
                                       "display",         "name",
                                       "style",           "stylesheet",
                                       "session",         "fontengine"};
    static const QStringList flags{"reverse",     "nograb",      "dograb",       "sync",
                                   "widgetcount", "testability", "qmljsdebugger"};
    takesValue = withValue.contains(name);
    return takesValue || flags.contains(name);
}

// Splits "-name", "--name" and "--name=value" into name and inline value; false when the
// argument is no option.
bool splitOption(const QString &argument, QString &name, QString &value, bool &hasValue)
{
    if (argument.size() < 2 || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("--"))
        return false;
    name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
    const qsizetype equals = name.indexOf(QLatin1Char('='));
    hasValue = equals >= 0;
    value = hasValue ? name.mid(equals + 1) : QString();
    if (hasValue)
        name.truncate(equals);
    return true;
}

// The arguments without Qt's own options; the program name stays first.
QStringList withoutQtOptions(const QStringList &arguments)
{
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name, value;
        bool hasValue = false, takesValue = false;
        if (i > 0 && splitOption(arguments[i], name, value, hasValue) && isQtOption(name, takesValue)) {
            if (takesValue && !hasValue)
                ++i;
            continue;
        }
        kept << arguments[i];
    }
    return kept;
}

// Where the command word stands in arguments that hold no Qt options, or -1.
qsizetype commandIndex(const QStringList &arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--"))
            return i + 1 < arguments.size() ? i + 1 : -1;
        // Options that take the next argument as their value.
        if (argument == QLatin1String("--library") || argument == QLatin1String("--store") ||
            argument == QLatin1String("--from") || argument == QLatin1String("--to") ||
            argument == QLatin1String("--page") || argument == QLatin1String("--images")) {
            ++i;
            continue;
        }
        if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-"))
            return i;
    }
    return -1;
}

const char *const kCommands =
    "Commands:\n"
    "  import FILE.bks...       Import install files, each as a new book.\n"
    "  export LABEL FILE        Export one book as an install file (.bks) or CSV (.csv).\n"
    "  export --all FILE.csv    Export every book as CSV.\n"
    "  list [--csv]             List the books.\n"
    "  check                    Check the store; changes nothing.\n"
    "  publish LABEL FILE.pdf   Write one book as a print-ready PDF (--page letter|a4, --no-images).\n"
    "  copy --from A --to B     Copy every book and photo of store A into the empty store B\n"
    "                           (--replace: a new Photo3.mdb in place of B's).\n"
    "\n"
    "Each command but copy uses the store --store or --library names, else the one the setting\n"
    "Store names, else Photo3.mdb in the program directory. Without a command the catalogue\n"
    "window opens. \"COMMAND --help\" describes a command.";

int usageError(Console &console, const QString &message)
{
    console.err << message << "\n"
                << QStringLiteral("Try \"%1 --help\".")
                       .arg(QFileInfo(QCoreApplication::arguments().value(0, QStringLiteral("photoseries"))).fileName())
                << Qt::endl;
    return UsageError;
}

// Every command but copy, and the program itself, takes --library or --store, and --help.
void addCommonOptions(QCommandLineParser &parser)
{
    parser.addOption(QCommandLineOption(kLibrary,
                                        QStringLiteral("The program directory whose Photo3.mdb to use, instead of the "
                                                       "store the Store setting names (by default the program's "
                                                       "own Photo3.mdb)."),
                                        QStringLiteral("DIR")));
    parser.addOption(QCommandLineOption(
        kStore,
        QStringLiteral("The team library on a PostgreSQL server to use, postgresql://user@host:port/database "
                       "(default: the Store setting). The password comes from ~/.pgpass or PGPASSWORD."),
        QStringLiteral("URL")));
    parser.addHelpOption();
}

// What is wrong with the --store and --library given, or an empty text.
QString storeOptionsFault(const QCommandLineParser &parser)
{
    if (parser.isSet(kLibrary) && parser.isSet(kStore))
        return QStringLiteral("--store and --library cannot be given together: --store names a library on a "
                              "server, --library a program directory.");
    if (parser.isSet(kLibrary) && parser.value(kLibrary).isEmpty())
        return QStringLiteral("--library needs a folder.");
    if (parser.isSet(kStore) && !store::isServerLocation(parser.value(kStore)))
        return QStringLiteral("--store needs a server address, postgresql://user@host:port/database; for a "
                              "program directory give --library DIR.");
    return {};
}

// The store an end of a copy names: a server address as given, or a program directory's
// Photo3.mdb. False, the failure told, when the directory does not exist.
bool copyEnd(Console &console, const QString &given, QString &location)
{
    if (store::isServerLocation(given)) {
        location = given;
        return true;
    }
    const QString dir = libraryDir(given);
    if (const auto folder = store::requireLibraryFolder(dir); !folder) {
        console.err << folder.error() << Qt::endl;
        return false;
    }
    location = store::fileStoreLocation(dir);
    return true;
}

// A library folder that a command fills gets the shipped code files, which its editor reads.
void seedLibrary(const QString &location)
{
    if (!store::isServerLocation(location))
        store::seedCodeFiles(QFileInfo(location).absolutePath());
}

} // namespace

Invocation classify(const QStringList &arguments)
{
    Invocation invocation;
    bool library = false, storeGiven = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString name, value;
        bool hasValue = false, takesValue = false;
        const bool option = splitOption(arguments[i], name, value, hasValue);
        if (option && (name == kLibrary || name == kStore) && arguments[i].startsWith(QLatin1String("--"))) {
            if (!hasValue) {
                if (i + 1 >= arguments.size()) {
                    invocation.headless = true; // the parser says what is missing
                    break;
                }
                value = arguments[++i];
            }
            (name == kLibrary ? invocation.library : invocation.store) = value;
            (name == kLibrary ? library : storeGiven) = true;
        } else if (option && isQtOption(name, takesValue)) {
            if (takesValue && !hasValue)
                ++i;
        } else {
            // A command word, or an option of the command line rather than of the windows.
            invocation.headless = true;
        }
    }
    // The command line tells what is wrong with the two together, or with an address that is
    // none, without needing a display.
    if ((library && storeGiven) || (storeGiven && !store::isServerLocation(invocation.store)))
        invocation.headless = true;
    invocation.arguments = withoutQtOptions(arguments);
    invocation.commandAt = commandIndex(invocation.arguments);
    invocation.drawsPages =
        invocation.commandAt >= 0 && invocation.arguments.at(invocation.commandAt) == QLatin1String("publish");
    return invocation;
}

QString libraryDir(const QString &given)
{
    if (given.isEmpty())
        return store::defaultProgramDir();
    return QDir::cleanPath(QDir::current().absoluteFilePath(given));
}

QString storeLocation(const QString &storeUrl, const QString &library)
{
    if (!storeUrl.isEmpty())
        return storeUrl;
    if (!library.isEmpty())
        return store::fileStoreLocation(libraryDir(library));
    return store::configuredStoreLocation(libraryDir(QString()));
}

namespace {

// The options of the command words.
struct CommandOptions
{
    const QCommandLineOption from{QStringLiteral("from"),
                                  QStringLiteral("The store to copy: a program directory or a server address."),
                                  QStringLiteral("SOURCE")};
    const QCommandLineOption to{
        QStringLiteral("to"),
        QStringLiteral("The store to copy into, which must hold no books: a program directory or a server address."),
        QStringLiteral("TARGET")};
    const QCommandLineOption replace{
        QStringLiteral("replace"),
        QStringLiteral("Replaces the Photo3.mdb of the TARGET program directory, books and all: the copy is built "
                       "beside it and renamed into place once complete. Not for a server.")};
    const QCommandLineOption csv{QStringLiteral("csv"), QStringLiteral("Writes CSV (RFC 4180) instead of columns.")};
    const QCommandLineOption all{QStringLiteral("all"), QStringLiteral("Exports every book (to a .csv file).")};
    const QCommandLineOption page{QStringLiteral("page"), QStringLiteral("The paper: letter (the default) or a4."),
                                  QStringLiteral("SIZE"), QStringLiteral("letter")};
    const QCommandLineOption noImages{QStringLiteral("no-images"),
                                      QStringLiteral("A data-only book: no photographs, no data plates.")};
    const QCommandLineOption images{
        QStringLiteral("images"),
        QStringLiteral("The image root whose folder named after the book holds its images (default: the image "
                       "location the catalogue shows)."),
        QStringLiteral("DIR")};
};

void describePublish(QCommandLineParser &command, const QString &word, const CommandOptions &options)
{
    command.setApplicationDescription(QStringLiteral(
        "Writes the book whose identifier is LABEL (letter case ignored) as a print-ready PDF: a title page, a "
        "page per photo with its photograph, data plate and values, and a summary table and chart. An image that "
        "is missing or cannot be read gets a placeholder and a line on standard error."));
    command.addOptions({options.page, options.noImages, options.images});
    command.addPositionalArgument(word, QStringLiteral("The command word."), word);
    command.addPositionalArgument(QStringLiteral("LABEL"), QStringLiteral("The book's identifier."));
    command.addPositionalArgument(QStringLiteral("FILE.pdf"), QStringLiteral("The PDF to write."));
}

// Without a command word: --help, --version, or what is missing.
int runWithoutCommand(const QStringList &arguments, Console &console)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Maintains photo-series books.\n\n") + QLatin1String(kCommands));
    addCommonOptions(parser);
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Displays version information."));
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do (see Commands)."),
                                 QStringLiteral("[command]"));
    if (!parser.parse(arguments))
        return usageError(console, parser.errorText());
    if (parser.isSet(version)) {
        console.out << QFileInfo(arguments.value(0)).fileName() << " " << PHOTOSERIES_VERSION_TEXT << Qt::endl;
        return Success;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        console.out << parser.helpText() << Qt::flush;
        return Success;
    }
    if (const QString fault = storeOptionsFault(parser); !fault.isEmpty())
        return usageError(console, fault);
    return usageError(console, QStringLiteral("No command given."));
}

// Sets up the parser of one command word; false for a word that is none.
bool describeCommand(QCommandLineParser &command, const QString &word, const CommandOptions &options)
{
    if (word == QLatin1String("copy"))
        command.addHelpOption(); // copy names both of its stores itself
    else
        addCommonOptions(command);
    if (word == QLatin1String("import")) {
        command.setApplicationDescription(QStringLiteral(
            "Imports each install file as a new book, each file whole or not at all, then recounts the photos."));
        command.addPositionalArgument(word, QStringLiteral("The command word."), word);
        command.addPositionalArgument(QStringLiteral("FILE.bks"), QStringLiteral("Install files to import."),
                                      QStringLiteral("FILE.bks..."));
    } else if (word == QLatin1String("export")) {
        command.setApplicationDescription(
            QStringLiteral("Exports the book whose identifier is LABEL (letter case ignored) as an install file "
                           "(FILE ends in .bks) or as CSV (FILE ends in .csv); with --all, every book as CSV."));
        command.addOption(options.all);
        command.addPositionalArgument(word, QStringLiteral("The command word."), word);
        command.addPositionalArgument(QStringLiteral("LABEL"), QStringLiteral("The book's identifier."),
                                      QStringLiteral("[LABEL | --all]"));
        command.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The file to write."));
    } else if (word == QLatin1String("list")) {
        command.setApplicationDescription(
            QStringLiteral("Lists the books: identifier, description, number of photos, active, owner."));
        command.addOption(options.csv);
        command.addPositionalArgument(word, QStringLiteral("The command word."), word);
    } else if (word == QLatin1String("check")) {
        command.setApplicationDescription(
            QStringLiteral("Checks the store: its integrity, photo rows without a book, and stale photo counts. "
                           "Reports what is wrong and changes nothing; the exit status is 1 when anything is."));
        command.addPositionalArgument(word, QStringLiteral("The command word."), word);
    } else if (word == QLatin1String("publish")) {
        describePublish(command, word, options);
    } else if (word == QLatin1String("copy")) {
        command.setApplicationDescription(QStringLiteral(
            "Copies every book and photo of SOURCE into TARGET, keeping every ID, whole or not at all. Each is a "
            "program directory (its Photo3.mdb) or a server address postgresql://user@host:port/database. "
            "TARGET must hold no books, unless it is a program directory and --replace is given. The password of "
            "a server comes from ~/.pgpass or PGPASSWORD."));
        command.addOptions({options.from, options.to, options.replace});
        command.addPositionalArgument(word, QStringLiteral("The command word."), word);
    } else {
        return false;
    }
    return true;
}

int runCopy(const QCommandLineParser &command, const CommandOptions &options, Console &console)
{
    const QStringList words = command.positionalArguments();
    if (!words.isEmpty())
        return usageError(console, QStringLiteral("copy takes no file or label (\"%1\").").arg(words.first()));
    if (command.value(options.from).isEmpty() || command.value(options.to).isEmpty())
        return usageError(console, QStringLiteral("copy needs --from and --to, each a program directory or a "
                                                  "server address."));
    if (command.isSet(options.replace) && store::isServerLocation(command.value(options.to)))
        return usageError(console, QStringLiteral("--replace replaces the Photo3.mdb of a program directory; a "
                                                  "library on a server is never replaced. Copy into an empty "
                                                  "database instead."));
    QString source, target;
    if (!copyEnd(console, command.value(options.from), source) || !copyEnd(console, command.value(options.to), target))
        return Failure;
    seedLibrary(target);
    return copyStore(source, target, command.isSet(options.replace), console);
}

int runExport(const QString &location, const QCommandLineParser &command, const CommandOptions &options,
              Console &console)
{
    const QStringList words = command.positionalArguments();
    const bool everyBook = command.isSet(options.all);
    if (words.size() != (everyBook ? 1 : 2))
        return usageError(console, everyBook ? QStringLiteral("export --all needs one file.")
                                             : QStringLiteral("export needs a book's identifier and a file."));
    const QString &file = words.last();
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix != QLatin1String("bks") && suffix != QLatin1String("csv"))
        return usageError(console, QStringLiteral("The file %1 must end in .bks (install file) or .csv (CSV).")
                                       .arg(QDir::toNativeSeparators(file)));
    if (everyBook && suffix != QLatin1String("csv"))
        return usageError(console, QStringLiteral("export --all writes CSV: the file must end in .csv."));
    return exportBooks(location, everyBook ? QString() : words.first(), file, console);
}

int runPublish(const QString &location, const QCommandLineParser &command, const CommandOptions &options,
               Console &console)
{
    const QStringList words = command.positionalArguments();
    if (words.size() != 2)
        return usageError(console, QStringLiteral("publish needs a book's identifier and a PDF file."));
    PublishRequest request;
    if (!publish::pageSizeFromName(command.value(options.page), request.pageSize))
        return usageError(console,
                          QStringLiteral("--page is letter or a4, not \"%1\".").arg(command.value(options.page)));
    request.location = location;
    request.programDir = libraryDir(command.value(kLibrary));
    request.bookLabel = words.first();
    request.file = words.last();
    request.imageRoot = command.value(options.images);
    request.images = !command.isSet(options.noImages);
    return publishBook(request, console);
}

// A command word that works on one store: the store from --store, --library or the setting.
int runOnStore(const QString &word, const QCommandLineParser &command, const CommandOptions &options, Console &console)
{
    if (const QString fault = storeOptionsFault(command); !fault.isEmpty())
        return usageError(console, fault);
    const QString location = storeLocation(command.value(kStore), command.value(kLibrary));
    if (!store::isServerLocation(location)) {
        if (const auto folder = store::requireLibraryFolder(QFileInfo(location).absolutePath()); !folder) {
            console.err << folder.error() << Qt::endl;
            return Failure;
        }
    }
    const QStringList words = command.positionalArguments();
    if (word == QLatin1String("import")) {
        if (words.isEmpty())
            return usageError(console, QStringLiteral("import needs at least one install file."));
        seedLibrary(location);
        return importFiles(location, words, console);
    }
    if (word == QLatin1String("export"))
        return runExport(location, command, options, console);
    if (word == QLatin1String("publish"))
        return runPublish(location, command, options, console);
    if (!words.isEmpty())
        return usageError(console, QStringLiteral("%1 takes no file or label (\"%2\").").arg(word, words.first()));
    if (word == QLatin1String("list"))
        return listBooks(location, command.isSet(options.csv), console);
    return checkStore(location, console);
}

} // namespace

int run(const Invocation &invocation, Console &console)
{
    const QStringList &arguments = invocation.arguments;
    const qsizetype at = invocation.commandAt;
    if (at < 0)
        return runWithoutCommand(arguments, console);

    const QString &word = arguments.at(at);
    QStringList rest = arguments;
    rest.removeAt(at);
    const CommandOptions options;
    QCommandLineParser command;
    if (!describeCommand(command, word, options))
        return usageError(console, QStringLiteral("Unknown command \"%1\".").arg(word));
    if (!command.parse(rest))
        return usageError(console, command.errorText());
    if (command.isSet(QStringLiteral("help"))) {
        console.out << command.helpText() << Qt::flush;
        return Success;
    }
    if (word == QLatin1String("copy"))
        return runCopy(command, options, console);
    return runOnStore(word, command, options, console);
}

} // namespace cli
