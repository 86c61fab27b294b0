// Measures the program's own code paths at library scale and prints one table.
//
//   photoseries-bench [--data DIR] [--runs N] [--smoke] [--only TEXT] [--pg URL]
//
// The data (a store of 10,000 books and 1,000,000 photos, one of them a book of 10,000 photos
// for the editor, install files of 5,000, 100,000 and 1,000,000 photos, and the 100,000 rows as
// CSV) is generated into DIR on the first run. The windows run on the offscreen platform.
// --smoke uses a tiny library and checks only that every measurement runs; --only runs the
// measurements whose name holds TEXT, with their baselines.
// --pg URL adds the rows of a team library on the PostgreSQL server at URL (any database there,
// postgresql://user@host:port/postgres; the password from PGPASSWORD or ~/.pgpass): the library
// is copied once into its database photoseries_bench and kept for later runs.

#include "BenchData.h"
#include "ProgramBench.h"
#include "ServerData.h"

#include "catalogue/BookListModel.h"
#include "catalogue/CatalogueWindow.h"
#include "editor/BookEditor.h"
#include "editor/BookSave.h"
#include "editor/PhotoGrid.h"
#include "editor/PhotoTableModel.h"
#include "editor/PreviewPanel.h"
#include "install/BookExport.h"
#include "install/BookImport.h"
#include "store/BookList.h"
#include "store/BookRecord.h"
#include "store/ImageRoot.h"
#include "store/Store.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTextStream>

#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace {

// One row of the table. `once` takes one sample (seconds or megabytes) and does its own
// preparation outside what it measures; NaN means it could not be taken.
struct Measurement
{
    QString name;
    QString unit; // "s" or "MB"
    int runs = 1;
    std::function<double()> once;
    QString baseline;    // name of the measurement this one is compared with, same run
    double maxValue = 0; // target on the median; 0 = none
    double maxRatio = 0; // target on median / baseline median; 0 = none
    QString headline;    // short name for the last line; empty = not in it
    std::vector<double> samples;
    std::vector<double> cpu; // processor time of each sample, NaN where not taken

    double median() const { return medianOf(samples); }
    static double medianOf(std::vector<double> s)
    {
        s.erase(std::remove_if(s.begin(), s.end(), [](double v) { return std::isnan(v); }), s.end());
        std::sort(s.begin(), s.end());
        return s.empty() ? NAN : s.size() % 2 ? s[s.size() / 2] : (s[s.size() / 2 - 1] + s[s.size() / 2]) / 2;
    }
};

Measurement &add(std::vector<Measurement> &table, const QString &name, const QString &unit, int runs,
                 std::function<double()> once)
{
    table.emplace_back();
    Measurement &m = table.back();
    m.name = name;
    m.unit = unit;
    m.runs = runs;
    m.once = std::move(once);
    return m;
}

// A fresh program store with the program's own schema and nothing in it.
QString freshStore(const QString &path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
    store::Store created(path);
    return created.open().error();
}

// Processor time of the last sample taken with a Stopwatch, NaN when it had none.
double g_lastCpu = NAN;

double cpuSeconds()
{
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        for (const timeval &t : {usage.ru_utime, usage.ru_stime})
            total += double(t.tv_sec) + double(t.tv_usec) / 1e6;
    }
    return total;
}

// Wall-clock time of one sample, and beside it the processor time of this process and of the
// children it waited for: on a shared machine the two differ by the time spent waiting.
class Stopwatch
{
public:
    Stopwatch()
        : m_cpu(cpuSeconds())
    {
        m_wall.start();
    }
    double seconds()
    {
        const double wall = double(m_wall.nsecsElapsed()) / 1e9;
        g_lastCpu = cpuSeconds() - m_cpu;
        return wall;
    }

private:
    QElapsedTimer m_wall;
    double m_cpu;
};

// The import of one file into an open store, checked: a benchmark of a failed import is worthless.
qint64 importChecked(store::Store &store, const QString &bks, int expectedPhotos)
{
    const install::ImportOutcome outcome = install::importBookFile(store.db(), bks);
    if (outcome.result != install::ImportOutcome::Result::Imported || outcome.photos != expectedPhotos)
        bench::die(QStringLiteral("import of %1 failed: %2").arg(bks, outcome.message));
    return outcome.bookId;
}

// Child process: imports one file into a fresh store and reports resting and peak memory.
int peakImport(const QString &storePath, const QString &bks)
{
    store::Store store(storePath);
    if (const auto opened = store.open(); !opened)
        bench::die(opened.error());
    const double resting = bench::statusKilobytes("VmRSS");
    // Start the peak afresh, so that it covers the import only.
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    clear.close();
    Stopwatch timer;
    const install::ImportOutcome outcome = install::importBookFile(store.db(), bks);
    const double took = timer.seconds();
    if (outcome.result != install::ImportOutcome::Result::Imported)
        bench::die(outcome.message);
    QTextStream(stdout) << resting << ' ' << bench::statusKilobytes("VmHWM") << ' ' << took << ' ' << outcome.photos
                        << "\n";
    return 0;
}

QString number(double value, const QString &unit)
{
    if (std::isnan(value))
        return QStringLiteral("-");
    return unit == QLatin1String("MB") ? QString::number(value, 'f', 1) : QString::number(value, 'f', 3);
}

QString withThousands(int n)
{
    QString digits = QString::number(n);
    for (int i = int(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(','));
    return digits;
}

// A program store on the server, open: every failure ends the benchmark.
std::unique_ptr<store::Store> openServerStore(const QString &url)
{
    auto opened = std::make_unique<store::Store>(url);
    if (const auto result = opened->open(); !result)
        bench::die(result.error());
    return opened;
}

// The rows of a team library on a PostgreSQL server, with the same data as the file library.
void addServerRows(std::vector<Measurement> &table, const QString &url, const bench::DataFiles &files,
                   const bench::Scale &scale, int runs, const QString &medium)
{
    const bench::ServerDatabases server(url);
    if (const QString error = bench::prepareServer(server, files, scale); !error.isEmpty())
        bench::die(error);
    QString psql = QStandardPaths::findExecutable("psql");
    if (psql.isEmpty())
        psql = QStandardPaths::findExecutable("psql", {"/usr/lib/postgresql/15/bin"});

    // psql's \copy of the same rows as the import writes, into a table like the store's
    // Photos (its key, index and collation), in a fresh store of the scratch database.
    const QString columns = "BookID, BookLabel, GroupLabel, PhotoLabel, TonsPerAcreBreak1, TonsPerAcreBreak2, "
                            "TonsPerAcreBreak3, TonsPerAcreBreak4, TonsPerAcreBreak5, TonsPerAcreBreak6, "
                            "TonsPerAcreBreak7, AverageFuelbedDepth, AverageDuffDepth, PhotoPic, DataPic, VegType, "
                            "Activity, Oto3FL, TotalFL, DangerRatingFM, FireBehaveFM, HerbTonsPerAcre, "
                            "WoodyTonsPerAcre, TreesPerAcre, CanopyClosure";
    add(table, "server: import " + medium + ": psql \\copy of the same rows", "s", runs, [=] {
        if (psql.isEmpty())
            return double(NAN);
        bench::freshServerStore(server);
        bench::runOnServer(server.scratch, {"CREATE TABLE CopyBaseline (LIKE Photos INCLUDING ALL)"});
        QProcess shell;
        Stopwatch timer;
        shell.start(psql, {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-d", server.scratch, "-c",
                           "\\copy CopyBaseline (" + columns + ") FROM '" + files.mediumCopyText + "'"});
        shell.waitForFinished(-1);
        const double took = timer.seconds();
        if (shell.exitCode() != 0 || !shell.readAllStandardError().isEmpty())
            bench::die("psql's \\copy failed");
        return took;
    }).headline = "psql";
    const QString psqlName = table.back().name;

    Measurement &import = add(table, "server: import " + medium + " (open store, import, close)", "s", runs, [=] {
        bench::freshServerStore(server);
        Stopwatch timer;
        store::Store store(server.scratch);
        if (const auto opened = store.open(); !opened)
            bench::die(opened.error());
        importChecked(store, files.mediumBks, scale.mediumPhotos);
        store.close();
        return timer.seconds();
    });
    import.baseline = psqlName;
    import.maxRatio = 1.5;
    import.headline = "server import";

    // Start-up as the catalogue does it: the store opens, the counts are checked (all right:
    // nothing is written), the book list is read.
    Measurement &startUp =
        add(table, "server: start-up: store opened, counts checked, " + withThousands(scale.books) + " books listed",
            "s", runs, [=] {
                Stopwatch timer;
                const auto library = openServerStore(server.library);
                if (const auto counted = library->recount(); !counted)
                    bench::die(counted.error());
                catalogue::BookListModel list(*library);
                if (const auto listed = list.requery(); !listed)
                    bench::die(listed.error());
                const double took = timer.seconds();
                if (list.rowCount() != scale.books)
                    bench::die(QStringLiteral("the server's library lists %1 books").arg(list.rowCount()));
                return took;
            });
    startUp.maxValue = 1.0;
    startUp.headline = "server start-up";

    // The editor's reads and its save, on a connection that stays open as the catalogue's does.
    auto library = std::shared_ptr<store::Store>(openServerStore(server.library));
    const QString editorBook = "the book of " + withThousands(scale.editorPhotos) + " photos";
    Measurement &open = add(table, "server: editor's reads of " + editorBook + " (header, photos)", "s", runs, [=] {
        Stopwatch timer;
        const auto header = store::loadBookHeader(library->db(), bench::kEditorBook);
        editor::PhotoTableModel photos(library->db());
        const auto loaded = photos.load(bench::kEditorBook);
        const double took = timer.seconds();
        if (!header || !loaded || photos.rowCount() != scale.editorPhotos)
            bench::die("the editor's book did not load: " + header.error() + loaded.error());
        return took;
    });
    open.maxValue = 0.5;
    open.headline = "server editor";

    Measurement &save = add(table, "server: Save of that book after one changed cell, and the recount", "s", runs, [=] {
        const auto header = store::loadBookHeader(library->db(), bench::kEditorBook);
        editor::PhotoTableModel photos(library->db());
        if (!header || !photos.load(bench::kEditorBook))
            bench::die("the editor's book did not load");
        const int row = scale.editorPhotos / 2;
        const qint64 key = photos.rowKey(row);
        const QVariant original = photos.value(row, "GroupLabel");
        const QString changed = original.toString() + " (changed)";
        photos.setValue(row, "GroupLabel", changed);
        store::HeaderFields fields;
        fields.label = header->label.toString();
        fields.description = header->description.toString();
        fields.date = header->date.toString();
        fields.builtBy = header->builtBy.toString();
        fields.breakInches4 = header->breakInches4.toDouble();
        fields.breakInches5 = header->breakInches5.toDouble();
        fields.breakInches6 = header->breakInches6.toDouble();
        Stopwatch timer;
        if (const auto saved = editor::saveBook(library->db(), *header, fields, photos); !saved)
            bench::die(saved.error());
        if (const auto counted = library->recount(); !counted)
            bench::die(counted.error());
        const double took = timer.seconds();
        QSqlQuery q(library->db());
        q.prepare("SELECT GroupLabel FROM Photos WHERE ID = ?");
        q.addBindValue(key);
        if (!q.exec() || !q.next() || q.value(0).toString() != changed)
            bench::die("the save did not store the changed cell");
        q.prepare("UPDATE Photos SET GroupLabel = ? WHERE ID = ?");
        q.addBindValue(original);
        q.addBindValue(key);
        if (!q.exec())
            bench::die("the changed cell could not be restored");
        return took;
    });
    save.maxValue = 0.5;
    save.headline = "server save";
}

} // namespace

int main(int argc, char *argv[])
{
    // The windows are measured as they run everywhere, without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (app.arguments().size() == 4 && app.arguments().at(1) == QLatin1String("--peak-import"))
        return peakImport(app.arguments().at(2), app.arguments().at(3));
    if (app.arguments().size() == 5 && app.arguments().at(1) == QLatin1String("--peak-program"))
        return bench::peakProgram(app.arguments().at(2), app.arguments().at(3), app.arguments().at(4).toLongLong());

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption dataOption("data", "Folder of the generated data.", "dir");
    const QCommandLineOption runsOption("runs", "Samples per timing (default 5).", "n", "5");
    const QCommandLineOption smokeOption("smoke", "Tiny library: checks that every measurement runs.");
    const QCommandLineOption onlyOption("only", "Only the measurements whose name holds the text, and their baselines.",
                                        "text");
    const QCommandLineOption pgOption("pg", "Also measure a team library on the PostgreSQL server at this address.",
                                      "url");
    parser.addOptions({dataOption, runsOption, smokeOption, onlyOption, pgOption});
    parser.process(app);

    const bool smoke = parser.isSet(smokeOption);
    bench::Scale scale;
    if (smoke)
        scale = bench::Scale{20, 2000, 50, 500, 2000, 200};
    const int runs = smoke ? 1 : qMax(1, parser.value(runsOption).toInt());
    const QString dataDir = parser.isSet(dataOption)
                                ? parser.value(dataOption)
                                : QDir(app.applicationDirPath()).filePath(smoke ? "bench-smoke" : "benchdata");
    const bench::DataFiles files(dataDir);

    QTextStream out(stdout);
    out << "Data in " << QDir::toNativeSeparators(dataDir) << " (generated when missing)...\n";
    out.flush();
    if (const QString error = bench::generate(files, scale, app.applicationDirPath()); !error.isEmpty())
        bench::die(error);
    const QString work = QDir(dataDir).filePath("work");
    QDir().mkpath(work);

    const QString sqliteShell = QStandardPaths::findExecutable("sqlite3");
    std::vector<Measurement> table;
    const QString medium = withThousands(scale.mediumPhotos) + " photos";

    // The sqlite3 shell's .import of the medium file's rows, into a fresh store whose table
    // has the import's columns and index, as the baseline of the program's own import.
    const QString shellStore = QDir(work).filePath("shell.db");
    add(table, "import " + medium + ": sqlite3 shell .import of the rows as CSV", "s", runs, [&] {
        if (sqliteShell.isEmpty())
            return double(NAN);
        QFile::remove(shellStore);
        sqlite3 *db = nullptr;
        sqlite3_open(shellStore.toUtf8().constData(), &db);
        const bool made =
            sqlite3_exec(db, files.mediumShellTable.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(db);
        if (!made)
            bench::die("the shell's table could not be made");
        QProcess shell;
        Stopwatch timer;
        shell.start(sqliteShell, {"-csv", shellStore, ".import " + files.mediumCsv + " Photos"});
        shell.waitForFinished(-1);
        const double took = timer.seconds();
        if (shell.exitCode() != 0 || !shell.readAllStandardError().isEmpty())
            bench::die("the sqlite3 shell failed");
        return took;
    }).headline = "shell";

    const QString ownStore = QDir(work).filePath("Photo3.mdb");
    const QString shellName = table.back().name;
    Measurement &own = add(table, "import " + medium + " (open store, import, close)", "s", runs, [&] {
        if (const QString error = freshStore(ownStore); !error.isEmpty())
            bench::die(error);
        Stopwatch timer;
        store::Store store(ownStore);
        if (const auto opened = store.open(); !opened)
            bench::die(opened.error());
        importChecked(store, files.mediumBks, scale.mediumPhotos);
        store.close();
        return timer.seconds();
    });
    own.baseline = shellName;
    own.maxRatio = 1.5;
    own.headline = "import " + medium;

    // The same file through the program's command line, as a script runs it: a process of its
    // own that opens the store, imports, recounts and ends. The store is set up beforehand.
    const QString commandLibrary = QDir(work).filePath("command-line");
    QDir().mkpath(commandLibrary);
    const QString program = QDir(app.applicationDirPath()).filePath("photoseries");
    Measurement &command = add(table, "import " + medium + " on the command line (photoseries import)", "s", runs, [&] {
        const QString path = QDir(commandLibrary).filePath("Photo3.mdb");
        if (const QString error = freshStore(path); !error.isEmpty())
            bench::die(error);
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM");
        environment.remove("DISPLAY");
        child.setProcessEnvironment(environment);
        Stopwatch timer;
        child.start(program, {"import", "--library", commandLibrary, files.mediumBks});
        child.waitForFinished(-1);
        const double took = timer.seconds();
        if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
            bench::die("photoseries import failed: " + QString::fromLocal8Bit(child.readAllStandardError()));
        if (!child.readAllStandardOutput().contains(QByteArray::number(scale.mediumPhotos) + " photos"))
            bench::die("photoseries import did not import every photo");
        return took;
    });
    command.baseline = shellName;
    command.maxRatio = 1.0;
    command.headline = "command line";

    // The small file into the whole library; the book is removed again after each sample.
    auto library = std::make_shared<store::Store>(QDir(files.fullStore).filePath("Photo3.mdb"));
    if (const auto opened = library->open(); !opened)
        bench::die(opened.error());
    Measurement &small = add(table,
                             "import " + withThousands(scale.smallPhotos) + " photos into the library of " +
                                 withThousands(scale.storePhotos) + " photos",
                             "s", runs, [&, library] {
                                 Stopwatch timer;
                                 const qint64 id = importChecked(*library, files.smallBks, scale.smallPhotos);
                                 const double took = timer.seconds();
                                 if (const auto removed = store::removeBook(library->db(), id); !removed)
                                     bench::die(removed.error());
                                 return took;
                             });
    small.maxValue = 0.25;
    small.headline = "into library";

    // The large file in a process of its own, so that its peak memory is the import's.
    struct Large
    {
        bool done = false;
        double megabytes = NAN, took = NAN;
    };
    auto large = std::make_shared<Large>();
    const auto runLarge = [&, large] {
        if (large->done)
            return;
        large->done = true;
        const QString path = QDir(work).filePath("large.mdb");
        if (const QString error = freshStore(path); !error.isEmpty())
            bench::die(error);
        QProcess child;
        child.start(app.applicationFilePath(), {"--peak-import", path, files.largeBks});
        child.waitForFinished(-1);
        const QList<QByteArray> values = child.readAllStandardOutput().trimmed().split(' ');
        if (child.exitCode() != 0 || values.size() != 4)
            bench::die("the large import failed: " + QString::fromLocal8Bit(child.readAllStandardError()));
        large->megabytes = (values[1].toDouble() - values[0].toDouble()) / 1024.0;
        large->took = values[2].toDouble();
        QFile::remove(path);
    };
    const QString largeName = "import " + withThousands(scale.largePhotos) + " photos";
    add(table, largeName, "s", 1, [=] {
        runLarge();
        return large->took;
    });
    Measurement &peak = add(table, largeName + ": peak memory above resting", "MB", 1, [=] {
        runLarge();
        return large->megabytes;
    });
    peak.maxValue = 64;
    peak.headline = "import peak";

    // The program on the library, with its real windows. Start-up: the catalogue loads
    // (recount, book list), is shown and has painted its list; the window closes again after.
    const QString settingsFile = QDir(work).filePath("settings.ini");
    const QString books = withThousands(scale.books) + " books";
    Measurement &startUp = add(table, "start-up: catalogue shown with " + books + " and their counts", "s", runs, [&] {
        bench::ProgramSession session(files.fullStore, settingsFile);
        Stopwatch timer;
        session.start();
        const double took = timer.seconds();
        const catalogue::BookListModel &list = session.catalogue().bookList();
        qint64 photos = 0;
        for (int row = 0; row < list.rowCount(); ++row)
            photos += list.book(row).numOfPhotos;
        if (list.rowCount() != scale.books || photos != scale.storePhotos)
            bench::die(QStringLiteral("the catalogue shows %1 books and %2 photos").arg(list.rowCount()).arg(photos));
        return took;
    });
    startUp.maxValue = 1.0;
    startUp.headline = "start-up";

    // The recount with every count stale, the most it ever has to write, against SQLite
    // counting the photos of every book on its own connection. The recount leaves the counts
    // right again.
    const QByteArray libraryPath = library->path().toUtf8();
    const auto staleCounts = [library] {
        QSqlQuery q(library->db());
        if (!q.exec("UPDATE Books SET NumOfPhotos = -1"))
            bench::die("the counts could not be made stale");
    };
    add(table, "recount: SQLite alone, SELECT BookID, COUNT(*) ... GROUP BY BookID", "s", runs, [&] {
        sqlite3 *db = nullptr;
        sqlite3_stmt *count = nullptr;
        Stopwatch timer;
        sqlite3_open_v2(libraryPath.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_prepare_v2(db, "SELECT BookID, COUNT(*) FROM Photos GROUP BY BookID", -1, &count, nullptr);
        qint64 photos = 0;
        while (sqlite3_step(count) == SQLITE_ROW)
            photos += sqlite3_column_int64(count, 1);
        sqlite3_finalize(count);
        sqlite3_close(db);
        const double took = timer.seconds();
        if (photos != scale.storePhotos)
            bench::die("SQLite counted " + QString::number(photos) + " photos");
        return took;
    }).headline = "SQLite count";
    const QString countName = table.back().name;
    Measurement &recount = add(table, "recount of every book's photo count (every count stale)", "s", runs, [&] {
        staleCounts();
        Stopwatch timer;
        if (const auto counted = library->recount(); !counted)
            bench::die(counted.error());
        const double took = timer.seconds();
        QSqlQuery q(library->db());
        if (!q.exec("SELECT SUM(NumOfPhotos), MIN(NumOfPhotos) FROM Books") || !q.next() ||
            q.value(0).toLongLong() != scale.storePhotos || q.value(1).toLongLong() < 0)
            bench::die("the recount left wrong counts");
        return took;
    });
    recount.baseline = countName;
    recount.maxValue = 0.2;
    recount.headline = "recount";

    // The editor on the book of Scale::editorPhotos photos, opened from a catalogue that
    // stays open for these measurements.
    std::unique_ptr<bench::ProgramSession> session;
    const auto catalogueSession = [&]() -> bench::ProgramSession & {
        if (!session) {
            session = std::make_unique<bench::ProgramSession>(files.fullStore, settingsFile);
            session->start();
        }
        return *session;
    };
    const QString editorBook = "the book of " + withThousands(scale.editorPhotos) + " photos";
    Measurement &openEditor = add(table, "editor opened and shown on " + editorBook, "s", runs, [&] {
        bench::ProgramSession &program = catalogueSession();
        Stopwatch timer;
        editor::BookEditor &window = program.openEditor(bench::kEditorBook);
        const double took = timer.seconds();
        // Every row is in the model: none waits to be fetched.
        if (window.photos().rowCount() != scale.editorPhotos || window.photos().canFetchMore({}))
            bench::die(QStringLiteral("the editor holds %1 photos").arg(window.photos().rowCount()));
        program.closeEditor("cmdCancel");
        return took;
    });
    openEditor.maxValue = 0.5;
    openEditor.headline = "editor";

    Measurement &saveClose = add(table, "Save and Close of that book after one changed cell", "s", runs, [&] {
        bench::ProgramSession &program = catalogueSession();
        editor::PhotoTableModel &photos = program.openEditor(bench::kEditorBook).photos();
        const int row = scale.editorPhotos / 2;
        const qint64 key = photos.rowKey(row);
        const QVariant original = photos.value(row, "GroupLabel");
        const QString changed = original.toString() + " (changed)";
        photos.setData(photos.index(row, photos.columnOf("GroupLabel")), changed, Qt::EditRole);
        Stopwatch timer;
        program.closeEditor("cmdSave");
        const double took = timer.seconds();
        program.expectNoMessages("Save and Close");
        // The change reached the store; the original goes back, so that every run saves the same change.
        QSqlQuery q(library->db());
        q.prepare("SELECT GroupLabel FROM Photos WHERE ID = ?");
        q.addBindValue(key);
        if (!q.exec() || !q.next() || q.value(0).toString() != changed)
            bench::die("Save and Close did not store the changed cell");
        q.prepare("UPDATE Photos SET GroupLabel = ? WHERE ID = ?");
        q.addBindValue(original);
        q.addBindValue(key);
        if (!q.exec())
            bench::die("the changed cell could not be restored");
        return took;
    });
    saveClose.maxValue = 0.5;
    saveClose.headline = "save";

    // The big book's images: every name has its file (hard links to one small JPEG), and the
    // second photo's is a 6000 x 4000 JPEG. Made once, in the image root the catalogue uses.
    QString bigImage;
    const auto prepareImages = [&] {
        if (!bigImage.isEmpty())
            return;
        bench::ProgramSession &program = catalogueSession();
        const QString root =
            store::resolveImageRoot(files.fullStore, program.catalogue().findChild<QLineEdit *>("txtPath")->text());
        QSqlQuery q(library->db());
        q.prepare("SELECT BookLabel FROM Books WHERE ID = ?");
        q.addBindValue(bench::kEditorBook);
        if (!q.exec() || !q.next())
            bench::die("the editor's book has no label");
        const QString folder = QDir(root).filePath(q.value(0).toString());
        QDir().mkpath(folder);
        const QString small = QDir(work).filePath("small.jpg");
        QImage thumb(320, 240, QImage::Format_RGB32);
        thumb.fill(Qt::darkGreen);
        thumb.save(small, "JPEG");
        q.prepare("SELECT PhotoPic, DataPic FROM Photos WHERE BookID = ? ORDER BY ID");
        q.addBindValue(bench::kEditorBook);
        if (!q.exec())
            bench::die("the editor's photos could not be read");
        QStringList names;
        while (q.next())
            names << q.value(0).toString() << q.value(1).toString();
        for (const QString &name : names) {
            const QString path = QDir(folder).filePath(name);
            if (!name.isEmpty() && !QFile::exists(path) &&
                ::link(QFile::encodeName(small).constData(), QFile::encodeName(path).constData()) != 0)
                bench::die("the image files could not be made in " + folder);
        }
        bigImage = QDir(folder).filePath(names.value(2));
        QFile::remove(bigImage);
        QImage big(6000, 4000, QImage::Format_RGB32);
        for (int y = 0; y < big.height(); ++y)
            for (int x = 0; x < big.width(); x += 50)
                big.setPixel(x, y, qRgb(x % 256, y % 256, (x + y) % 256));
        if (!big.save(bigImage, "JPEG", 90))
            bench::die("the large image could not be written");
    };
    Measurement &openWithImages =
        add(table, "editor opened on " + editorBook + " with its image panel shown, every image there", "s", runs, [&] {
            bench::ProgramSession &program = catalogueSession();
            prepareImages();
            program.setImagePanelShown(true);
            Stopwatch timer;
            program.openEditor(bench::kEditorBook);
            const double took = timer.seconds();
            program.closeEditor("cmdCancel");
            program.setImagePanelShown(false);
            return took;
        });
    openWithImages.maxValue = 0.5;
    openWithImages.headline = "editor with images";
    Measurement &preview =
        add(table, "preview of a 6000 x 4000 JPEG, from the row change to its paint", "s", runs, [&] {
            bench::ProgramSession &program = catalogueSession();
            prepareImages();
            program.setImagePanelShown(true);
            editor::BookEditor &window = program.openEditor(bench::kEditorBook);
            auto *picture = window.findChild<QLabel *>("picPhoto");
            const auto waitFor = [&](const QString &path) {
                QElapsedTimer waited;
                waited.start();
                while (!(picture->toolTip() == path && !picture->pixmap().isNull()) && waited.elapsed() < 10000)
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            };
            auto *panel = window.findChild<editor::PreviewPanel *>("fraPreview");
            window.grid()->setCurrentRow(0);
            while (panel->isLoading())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            // A new modification time each run: the preview cache must not serve it.
            QFile touched(bigImage);
            touched.open(QIODevice::ReadWrite);
            touched.setFileTime(QDateTime::currentDateTime(), QFileDevice::FileModificationTime);
            touched.close();
            Stopwatch timer;
            window.grid()->setCurrentRow(1);
            waitFor(bigImage);
            if (picture->pixmap().isNull() || !picture->isVisible())
                bench::die("the large image was not shown: " + picture->text());
            // Its paint, if the event loop has not painted it yet.
            picture->repaint();
            const double took = timer.seconds();
            program.closeEditor("cmdCancel");
            program.setImagePanelShown(false);
            return took;
        });
    preview.maxValue = 0.15;
    preview.headline = "preview";

    // Export of the big book; the file is written anew each run.
    for (const char *kind : {"install file", "CSV"}) {
        const bool csv = QByteArray(kind) == "CSV";
        Measurement &exported =
            add(table,
                "export of " + editorBook + " to " + (csv ? QStringLiteral("CSV") : QStringLiteral("an install file")),
                "s", runs, [&, csv] {
                    const QString path = QDir(work).filePath(csv ? "export.csv" : "export.bks");
                    Stopwatch timer;
                    const install::ExportOutcome out =
                        csv ? install::exportCsv(library->db(), bench::kEditorBook, path)
                            : install::exportBookFile(library->db(), bench::kEditorBook, path);
                    const double took = timer.seconds();
                    if (!out.ok || out.photos != scale.editorPhotos)
                        bench::die("the export failed: " + out.message);
                    QFile::remove(path);
                    return took;
                });
        exported.maxValue = 0.2;
        exported.headline = csv ? "export CSV" : "export bks";
    }

    // The program in a process of its own: its peak with the catalogue and the editor on the
    // big book open, scrolled to its last photo.
    Measurement &peakProgram = add(table, "peak memory: catalogue and editor on " + editorBook, "MB", 1, [&] {
        QProcess child;
        child.start(app.applicationFilePath(),
                    {"--peak-program", files.fullStore, settingsFile, QString::number(bench::kEditorBook)});
        child.waitForFinished(-1);
        const QList<QByteArray> values = child.readAllStandardOutput().trimmed().split(' ');
        if (child.exitCode() != 0 || values.size() != 2 || values[1].toInt() != scale.editorPhotos)
            bench::die("the program's memory run failed: " + QString::fromLocal8Bit(child.readAllStandardError()));
        return values[0].toDouble() / 1024.0;
    });
    peakProgram.maxValue = 200;
    peakProgram.headline = "program peak";

    if (parser.isSet(pgOption))
        addServerRows(table, parser.value(pgOption), files, scale, runs, medium);

    if (parser.isSet(onlyOption)) {
        const QString text = parser.value(onlyOption);
        QStringList kept;
        for (const Measurement &m : table)
            if (m.name.contains(text, Qt::CaseInsensitive))
                kept << m.name << m.baseline;
        table.erase(
            std::remove_if(table.begin(), table.end(), [&](const Measurement &m) { return !kept.contains(m.name); }),
            table.end());
    }

    // Samples round-robin, so that a measurement and its baseline see the same machine state.
    const int most =
        std::max_element(table.begin(), table.end(), [](auto &a, auto &b) { return a.runs < b.runs; })->runs;
    for (int r = 0; r < most; ++r)
        for (Measurement &m : table)
            if (r < m.runs) {
                g_lastCpu = NAN;
                m.samples.push_back(m.once());
                m.cpu.push_back(g_lastCpu);
            }
    session.reset();

    const auto find = [&](const QString &name) -> const Measurement * {
        for (const Measurement &m : table)
            if (m.name == name)
                return &m;
        return nullptr;
    };
    int nameWidth = 9;
    for (const Measurement &m : table)
        nameWidth = qMax(nameWidth, int(m.name.size()));
    out << "\n"
        << QString("operation").leftJustified(nameWidth)
        << "  runs       min    median       max     cpu   ratio  target\n";
    bool allMet = true;
    QStringList headline;
    for (const Measurement &m : table) {
        const auto [lo, hi] = std::minmax_element(m.samples.begin(), m.samples.end());
        const double median = m.median();
        const double cpu = Measurement::medianOf(m.cpu);
        const Measurement *base = m.baseline.isEmpty() ? nullptr : find(m.baseline);
        const double ratio = base ? median / base->median() : NAN;
        QString target;
        bool met = true;
        if (m.maxValue > 0) {
            target = QStringLiteral("<= %1 %2").arg(m.maxValue).arg(m.unit);
            met = median <= m.maxValue;
        } else if (m.maxRatio > 0) {
            target = QStringLiteral("<= %1 x").arg(m.maxRatio);
            met = !std::isnan(ratio) ? ratio <= m.maxRatio : true;
        }
        if (!target.isEmpty())
            target += met ? QStringLiteral(" met") : QStringLiteral(" MISSED");
        allMet = allMet && met;
        const QString line = m.name.leftJustified(nameWidth) + QString::number(m.samples.size()).rightJustified(6) +
                             (number(*lo, m.unit) + ' ' + m.unit).rightJustified(10) +
                             (number(median, m.unit) + ' ' + m.unit).rightJustified(10) +
                             (number(*hi, m.unit) + ' ' + m.unit).rightJustified(10) +
                             (std::isnan(cpu) ? QString() : number(cpu, m.unit) + ' ' + m.unit).rightJustified(8) +
                             (std::isnan(ratio) ? QString() : QString::number(ratio, 'f', 2) + " x").rightJustified(8) +
                             "  " + target;
        out << line.trimmed() << "\n";
        if (!m.headline.isEmpty())
            headline << QStringLiteral("%1 %2 %3%4")
                            .arg(m.headline, number(median, m.unit), m.unit,
                                 std::isnan(ratio)
                                     ? QString()
                                     : QStringLiteral(" (%1 x %2)").arg(ratio, 0, 'f', 2).arg(base->headline));
    }
    out << "\nheadline: " << headline.join("; ") << "; " << (allMet ? "every target met" : "TARGET MISSED") << "\n";
    return smoke || allMet ? 0 : 1;
}
