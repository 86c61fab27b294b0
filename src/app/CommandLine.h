#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace cli {

// Exit statuses of a command.
enum ExitStatus { Success = 0, Failure = 1, UsageError = 2 };

// Where a command writes: results to standard output, messages to standard error.
struct Console
{
    QTextStream &out;
    QTextStream &err;
    // A progress bar is drawn only on a terminal, never into a file or a pipe.
    bool errIsTerminal = false;
};

// What the arguments (program name first) ask for. Arguments that are only Qt's own options
// (such as -platform offscreen) and either --library DIR or --store URL open the windows;
// anything else (a command word, --help, --version, an unknown option, both --library and
// --store) is for the command line, which runs without a display.
struct Invocation
{
    bool headless = false;
    // The --library value as given; empty when none was given.
    QString library;
    // The --store value as given; empty when none was given.
    QString store;
    // The arguments without Qt's own options, the program name first, and where the command word
    // stands among them (-1 for none).
    QStringList arguments;
    qsizetype commandAt = -1;
    // The command draws pages (publish), which needs a QGuiApplication for its fonts rather than
    // a QCoreApplication.
    bool drawsPages = false;
};
Invocation classify(const QStringList &arguments);

// The library folder to use: the one given (relative to the working folder), or else the
// program directory the windows use.
QString libraryDir(const QString &given);

// The store to use: the --store address when given, else the Photo3.mdb of the --library folder
// when given, else the Store setting (store::configuredStoreLocation) of the program directory.
QString storeLocation(const QString &storeUrl, const QString &library);

// Runs the command of a headless invocation and returns its exit status. Needs a
// QCoreApplication.
int run(const Invocation &invocation, Console &console);

} // namespace cli
