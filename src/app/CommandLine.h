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
// (such as -platform offscreen) and --library DIR open the windows; anything else (a command
// word, --help, --version, an unknown option) is for the command line, which runs without a
// display.
struct Invocation
{
    bool headless = false;
    // The --library value as given; empty when none was given.
    QString library;
};
Invocation classify(const QStringList &arguments);

// The library folder to use: the one given (relative to the working folder), or else the
// program directory the windows use.
QString libraryDir(const QString &given);

// Runs the command the arguments give and returns its exit status. Needs a QCoreApplication.
int run(const QStringList &arguments, Console &console);

} // namespace cli
