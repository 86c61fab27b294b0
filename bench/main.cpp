// Measures the program's own code paths at library scale and prints one table.
//
//   photoseries-bench [--data DIR] [--runs N] [--smoke] [--only TEXT] [--pg URL]
//                     [--save-baseline FILE] [--baseline FILE]
//
// The data (a store of 10,000 books and 1,000,000 photos, one of them a book of 10,000 photos
// for the editor, install files of 5,000, 100,000 and 1,000,000 photos, and the 100,000 rows as
// CSV) is generated into DIR on the first run. The windows run on the offscreen platform.
// --smoke uses a tiny library and checks only that every measurement runs; --only runs the
// measurements whose name holds TEXT, with their baselines.
// --pg URL adds the rows of a team library on the PostgreSQL server at URL (any database there,
// postgresql://user@host:port/postgres; the password from PGPASSWORD or ~/.pgpass): the library
// is copied once into its database photoseries_bench and kept for later runs.
// --save-baseline FILE writes the medians of the run; --baseline FILE prints each row's ratio to
// the median recorded there and marks a row more than 20 % slower (or larger) as REGRESSED, which
// fails the run as a missed target does.

#include "BenchData.h"
#include "ProgramBench.h"
#include "PublishBench.h"
#include "ServerData.h"

#include "catalogue/BookListModel.h"
#include "catalogue/CatalogueWindow.h"
#include "editor/BookEditor.h"
#include "editor/BookEdits.h"
#include "editor/PhotoGrid.h"
#include "editor/PhotoTableModel.h"
#include "editor/PreviewPanel.h"
#include "library/BookExport.h"
#include "library/BookImport.h"
#include "library/BookList.h"
#include "library/BookSave.h"
#include "library/LibraryWatcher.h"
#include "store/BookRecord.h"
#include "store/ImageRoot.h"
#include "store/Store.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTextStream>
#include <QTimer>

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
    const auto outcome = library::importBookFile(store.db(), bks);
    if (!outcome.ok() || outcome->photos != expectedPhotos)
        bench::die(QStringLiteral("import of %1 failed: %2").arg(bks, outcome.error()));
    return outcome->bookId;
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
    const auto outcome = library::importBookFile(store.db(), bks);
    const double took = timer.seconds();
    if (!outcome.ok())
        bench::die(outcome.error());
    QTextStream(stdout) << resting << ' ' << bench::statusKilobytes("VmHWM") << ' ' << took << ' ' << outcome->photos
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

// Checks that a save stored the changed GroupLabel of photo `key`, then puts the original back,
// so that every run saves the same change.
void restoreChangedCell(const QSqlDatabase &db, qint64 key, const QString &changed, const QVariant &original,
                        const QString &what)
{
    QSqlQuery q(db);
    q.prepare("SELECT GroupLabel FROM Photos WHERE ID = ?");
    q.addBindValue(key);
    if (!q.exec() || !q.next() || q.value(0).toString() != changed)
        bench::die(what + " did not store the changed cell");
    q.prepare("UPDATE Photos SET GroupLabel = ? WHERE ID = ?");
    q.addBindValue(original);
    q.addBindValue(key);
    if (!q.exec())
        bench::die("the changed cell could not be restored");
}

// A program store on the server, open: every failure ends the benchmark.
std::unique_ptr<store::Store> openServerStore(const QString &url)
{
    auto opened = std::make_unique<store::Store>(url);
    if (const auto result = opened->open(); !result)
        bench::die(result.error());
    return opened;
}

// The server's import of the medium file, against psql's \copy of the same rows.
void addServerImports(std::vector<Measurement> &table, const bench::ServerDatabases &server,
                      const bench::DataFiles &files, const bench::Scale &scale, int runs, const QString &medium)
{
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
}

void addServerStartUp(std::vector<Measurement> &table, const bench::ServerDatabases &server, const bench::Scale &scale,
                      int runs)
{
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
}

// Another user changes one book of the library a catalogue shows: the user-interface thread's
// time from the server's notification to the list brought up to date.
void addServerLiveUpdate(std::vector<Measurement> &table, const bench::ServerDatabases &server,
                         const bench::Scale &scale, int runs)
{
    auto shown = std::shared_ptr<store::Store>(openServerStore(server.library));
    auto other = std::shared_ptr<store::Store>(openServerStore(server.library));
    auto list = std::make_shared<catalogue::BookListModel>(*shown);
    if (const auto listed = list->requery(); !listed)
        bench::die(listed.error());
    auto watcher = std::make_shared<library::LibraryWatcher>(*shown);
    watcher->start();
    Measurement &update = add(
        table,
        "server: list of " + withThousands(scale.books) + " books brought up to date after another user changed one",
        // The list and the watcher read through `shown`: the measurement keeps it open.
        "s", runs, [shown, other, list, watcher] {
            const int row = list->rowCount() / 2;
            const bool active = !list->book(row).active;
            library::LibraryChange change;
            QEventLoop told;
            const auto connection = QObject::connect(watcher.get(), &library::LibraryWatcher::changed,
                                                     [&](const library::LibraryChange &c) {
                                                         change = c;
                                                         told.quit();
                                                     });
            QTimer::singleShot(10000, &told, &QEventLoop::quit);
            QSqlQuery q(other->db());
            q.prepare("UPDATE Books SET Active = ? WHERE ID = ?");
            q.addBindValue(active ? -1 : 0);
            q.addBindValue(list->book(row).id);
            if (!q.exec())
                bench::die("another user's change failed");
            told.exec();
            QObject::disconnect(connection);
            if (change.isEmpty())
                bench::die("the catalogue was not told of another user's change");
            Stopwatch timer;
            if (const auto refreshed = list->refresh(change); !refreshed)
                bench::die(refreshed.error());
            const double took = timer.seconds();
            if (list->book(row).active != active)
                bench::die("the list does not show another user's change");
            return took;
        });
    update.maxValue = 0.05;
    update.headline = "server live update";
}

void addServerEditor(std::vector<Measurement> &table, const bench::ServerDatabases &server, const bench::Scale &scale,
                     int runs)
{
    // The editor's reads and its save, on a connection that stays open as the catalogue's does.
    auto library = std::shared_ptr<store::Store>(openServerStore(server.library));
    const QString editorBook = "the book of " + withThousands(scale.editorPhotos) + " photos";
    Measurement &open = add(table, "server: editor's reads of " + editorBook + " (header, photos)", "s", runs, [=] {
        Stopwatch timer;
        const auto header = store::loadBookHeader(library->db(), bench::kEditorBook);
        editor::PhotoTableModel photos;
        const auto loaded = editor::loadInto(library->db(), bench::kEditorBook, photos);
        const double took = timer.seconds();
        if (!header || !loaded || photos.rowCount() != scale.editorPhotos)
            bench::die("the editor's book did not load: " + header.error() + loaded.error());
        return took;
    });
    open.maxValue = 0.5;
    open.headline = "server editor";

    Measurement &save = add(table, "server: Save of that book after one changed cell, and the recount", "s", runs, [=] {
        const auto header = store::loadBookHeader(library->db(), bench::kEditorBook);
        editor::PhotoTableModel photos;
        if (!header || !editor::loadInto(library->db(), bench::kEditorBook, photos))
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
        if (const auto saved = editor::saveEdits(library->db(), *header, fields, photos); !saved)
            bench::die(saved.error());
        if (const auto counted = library->recount(); !counted)
            bench::die(counted.error());
        const double took = timer.seconds();
        restoreChangedCell(library->db(), key, changed, original, "the save");
        return took;
    });
    save.maxValue = 0.5;
    save.headline = "server save";
}

// The rows of a team library on a PostgreSQL server, with the same data as the file library.
void addServerRows(std::vector<Measurement> &table, const QString &url, const bench::DataFiles &files,
                   const bench::Scale &scale, int runs, const QString &medium)
{
    const bench::ServerDatabases server(url);
    if (const QString error = bench::prepareServer(server, files, scale); !error.isEmpty())
        bench::die(error);
    addServerImports(table, server, files, scale, runs, medium);
    addServerStartUp(table, server, scale, runs);
    addServerEditor(table, server, scale, runs);
    addServerLiveUpdate(table, server, scale, runs);
}

// What the measurements share: the generated data, the library store, and the program
// session the window measurements run in. It outlives every measurement's function.
struct Bench
{
    Bench(const QApplication &app, const bench::Scale &dataScale, int sampleRuns, const QString &dataDir)
        : programDir(app.applicationDirPath())
        , benchPath(app.applicationFilePath())
        , scale(dataScale)
        , runs(sampleRuns)
        , files(dataDir)
        , work(QDir(dataDir).filePath("work"))
        , settingsFile(QDir(work).filePath("settings.ini"))
        , editorBook("the book of " + withThousands(dataScale.editorPhotos) + " photos")
    {
    }

    // The catalogue on the library, started by the first measurement that needs it.
    bench::ProgramSession &catalogueSession();
    // The big book's images: every name has its file (hard links to one small JPEG), and the
    // second photo's is a 6000 x 4000 JPEG. Made once, in the image root the catalogue uses.
    void prepareImages();

    const QString programDir;
    const QString benchPath;
    const bench::Scale scale;
    const int runs;
    const bench::DataFiles files;
    const QString work;
    const QString settingsFile;
    const QString editorBook;
    std::shared_ptr<store::Store> library;
    std::unique_ptr<bench::ProgramSession> session;
    QString bigImage;
    std::vector<Measurement> table;
};

bench::ProgramSession &Bench::catalogueSession()
{
    if (!session) {
        session = std::make_unique<bench::ProgramSession>(files.fullStore, settingsFile);
        session->start();
    }
    return *session;
}

void Bench::prepareImages()
{
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
}

// The sqlite3 shell's .import of the medium file's rows, into a fresh store whose table has the
// import's columns and index, as the baseline of the program's own import. Returns its name.
QString addShellImport(Bench &b)
{
    const QString sqliteShell = QStandardPaths::findExecutable("sqlite3");
    const QString shellStore = QDir(b.work).filePath("shell.db");
    const QString medium = withThousands(b.scale.mediumPhotos) + " photos";
    add(b.table, "import " + medium + ": sqlite3 shell .import of the rows as CSV", "s", b.runs,
        [&b, sqliteShell, shellStore] {
            if (sqliteShell.isEmpty())
                return double(NAN);
            QFile::remove(shellStore);
            sqlite3 *db = nullptr;
            sqlite3_open(shellStore.toUtf8().constData(), &db);
            const bool made =
                sqlite3_exec(db, b.files.mediumShellTable.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
            sqlite3_close(db);
            if (!made)
                bench::die("the shell's table could not be made");
            QProcess shell;
            Stopwatch timer;
            shell.start(sqliteShell, {"-csv", shellStore, ".import " + b.files.mediumCsv + " Photos"});
            shell.waitForFinished(-1);
            const double took = timer.seconds();
            if (shell.exitCode() != 0 || !shell.readAllStandardError().isEmpty())
                bench::die("the sqlite3 shell failed");
            return took;
        })
        .headline = "shell";
    return b.table.back().name;
}

// The medium file through the program's import, then through its command line as a script runs
// it: a process of its own that opens the store, imports, recounts and ends. The store is set
// up beforehand.
void addMediumImports(Bench &b, const QString &shellName)
{
    const QString medium = withThousands(b.scale.mediumPhotos) + " photos";
    const QString ownStore = QDir(b.work).filePath("Photo3.mdb");
    Measurement &own = add(b.table, "import " + medium + " (open store, import, close)", "s", b.runs, [&b, ownStore] {
        if (const QString error = freshStore(ownStore); !error.isEmpty())
            bench::die(error);
        Stopwatch timer;
        store::Store store(ownStore);
        if (const auto opened = store.open(); !opened)
            bench::die(opened.error());
        importChecked(store, b.files.mediumBks, b.scale.mediumPhotos);
        store.close();
        return timer.seconds();
    });
    own.baseline = shellName;
    own.maxRatio = 1.5;
    own.headline = "import " + medium;

    const QString commandLibrary = QDir(b.work).filePath("command-line");
    QDir().mkpath(commandLibrary);
    const QString program = QDir(b.programDir).filePath("photoseries");
    Measurement &command =
        add(b.table, "import " + medium + " on the command line (photoseries import)", "s", b.runs,
            [&b, commandLibrary, program] {
                const QString path = QDir(commandLibrary).filePath("Photo3.mdb");
                if (const QString error = freshStore(path); !error.isEmpty())
                    bench::die(error);
                QProcess child;
                QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
                environment.remove("QT_QPA_PLATFORM");
                environment.remove("DISPLAY");
                child.setProcessEnvironment(environment);
                Stopwatch timer;
                child.start(program, {"import", "--library", commandLibrary, b.files.mediumBks});
                child.waitForFinished(-1);
                const double took = timer.seconds();
                if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
                    bench::die("photoseries import failed: " + QString::fromLocal8Bit(child.readAllStandardError()));
                if (!child.readAllStandardOutput().contains(QByteArray::number(b.scale.mediumPhotos) + " photos"))
                    bench::die("photoseries import did not import every photo");
                return took;
            });
    command.baseline = shellName;
    command.maxRatio = 1.0;
    command.headline = "command line";
}

// The small file into the whole library; the book is removed again after each sample.
void addLibraryImport(Bench &b)
{
    b.library = std::make_shared<store::Store>(QDir(b.files.fullStore).filePath("Photo3.mdb"));
    if (const auto opened = b.library->open(); !opened)
        bench::die(opened.error());
    Measurement &small = add(b.table,
                             "import " + withThousands(b.scale.smallPhotos) + " photos into the library of " +
                                 withThousands(b.scale.storePhotos) + " photos",
                             "s", b.runs, [&b, library = b.library] {
                                 Stopwatch timer;
                                 const qint64 id = importChecked(*library, b.files.smallBks, b.scale.smallPhotos);
                                 const double took = timer.seconds();
                                 if (const auto removed = library::removeBook(library->db(), id); !removed)
                                     bench::die(removed.error());
                                 return took;
                             });
    small.maxValue = 0.25;
    small.headline = "into library";
}

// The large file in a process of its own, so that its peak memory is the import's.
void addLargeImport(Bench &b)
{
    struct Large
    {
        bool done = false;
        double megabytes = NAN, took = NAN;
    };
    auto large = std::make_shared<Large>();
    const auto runLarge = [&b, large] {
        if (large->done)
            return;
        large->done = true;
        const QString path = QDir(b.work).filePath("large.mdb");
        if (const QString error = freshStore(path); !error.isEmpty())
            bench::die(error);
        QProcess child;
        child.start(b.benchPath, {"--peak-import", path, b.files.largeBks});
        child.waitForFinished(-1);
        const QList<QByteArray> values = child.readAllStandardOutput().trimmed().split(' ');
        if (child.exitCode() != 0 || values.size() != 4)
            bench::die("the large import failed: " + QString::fromLocal8Bit(child.readAllStandardError()));
        large->megabytes = (values[1].toDouble() - values[0].toDouble()) / 1024.0;
        large->took = values[2].toDouble();
        QFile::remove(path);
    };
    const QString largeName = "import " + withThousands(b.scale.largePhotos) + " photos";
    add(b.table, largeName, "s", 1, [=] {
        runLarge();
        return large->took;
    });
    Measurement &peak = add(b.table, largeName + ": peak memory above resting", "MB", 1, [=] {
        runLarge();
        return large->megabytes;
    });
    peak.maxValue = 64;
    peak.headline = "import peak";
}

// The program on the library, with its real windows. Start-up: the catalogue loads (recount,
// book list), is shown and has painted its list; the window closes again after.
void addStartUp(Bench &b)
{
    const QString books = withThousands(b.scale.books) + " books";
    Measurement &startUp =
        add(b.table, "start-up: catalogue shown with " + books + " and their counts", "s", b.runs, [&b] {
            bench::ProgramSession session(b.files.fullStore, b.settingsFile);
            Stopwatch timer;
            session.start();
            const double took = timer.seconds();
            const catalogue::BookListModel &list = session.catalogue().bookList();
            qint64 photos = 0;
            for (int row = 0; row < list.rowCount(); ++row)
                photos += list.book(row).numOfPhotos;
            if (list.rowCount() != b.scale.books || photos != b.scale.storePhotos)
                bench::die(
                    QStringLiteral("the catalogue shows %1 books and %2 photos").arg(list.rowCount()).arg(photos));
            return took;
        });
    startUp.maxValue = 0.1;
    startUp.headline = "start-up";
}

// Another program changes one book while the catalogue shows the whole library: the time the
// user-interface thread spends to learn of it and bring the list up to date. The catalogue's
// watcher is asked at once instead of at its next tick.
void addLiveUpdate(Bench &b)
{
    const QString books = withThousands(b.scale.books) + " books";
    Measurement &update =
        add(b.table, "live update: list of " + books + " brought up to date after another program changed one", "s",
            b.runs, [&b] {
                catalogue::CatalogueWindow &window = b.catalogueSession().catalogue();
                const catalogue::BookListModel &list = window.bookList();
                const int row = list.rowCount() / 2;
                const bool active = !list.book(row).active;
                QSqlQuery q(b.library->db());
                q.prepare("UPDATE Books SET Active = ? WHERE ID = ?");
                q.addBindValue(active ? -1 : 0);
                q.addBindValue(list.book(row).id);
                if (!q.exec())
                    bench::die("the other program's change failed");
                Stopwatch timer;
                window.libraryWatcher()->checkNow();
                const double took = timer.seconds();
                if (list.book(row).active != active)
                    bench::die("the list does not show another program's change");
                return took;
            });
    update.maxValue = 0.05;
    update.headline = "live update";

    // The catalogue left alone, following the library: its processor time over a minute (a
    // second in the smoke run), in percent of one core.
    Measurement &idle =
        add(b.table, "idle: catalogue following the library of " + books + ", % of one core", "%", 1, [&b] {
            b.catalogueSession();
            const int seconds = b.scale.books >= 10000 ? 60 : 1;
            QEventLoop loop;
            QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
            const double before = cpuSeconds();
            loop.exec();
            return 100.0 * (cpuSeconds() - before) / seconds;
        });
    idle.maxValue = 1.0;
    idle.headline = "idle";
}

// The recount with every count stale, the most it ever has to write, against SQLite counting
// the photos of every book on its own connection. The recount leaves the counts right again.
void addRecount(Bench &b)
{
    const QByteArray libraryPath = b.library->path().toUtf8();
    add(b.table, "recount: SQLite alone, SELECT BookID, COUNT(*) ... GROUP BY BookID", "s", b.runs, [&b, libraryPath] {
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
        if (photos != b.scale.storePhotos)
            bench::die("SQLite counted " + QString::number(photos) + " photos");
        return took;
    }).headline = "SQLite count";
    const QString countName = b.table.back().name;
    Measurement &recount = add(b.table, "recount of every book's photo count (every count stale)", "s", b.runs, [&b] {
        QSqlQuery stale(b.library->db());
        if (!stale.exec("UPDATE Books SET NumOfPhotos = -1"))
            bench::die("the counts could not be made stale");
        Stopwatch timer;
        if (const auto counted = b.library->recount(); !counted)
            bench::die(counted.error());
        const double took = timer.seconds();
        QSqlQuery q(b.library->db());
        if (!q.exec("SELECT SUM(NumOfPhotos), MIN(NumOfPhotos) FROM Books") || !q.next() ||
            q.value(0).toLongLong() != b.scale.storePhotos || q.value(1).toLongLong() < 0)
            bench::die("the recount left wrong counts");
        return took;
    });
    recount.baseline = countName;
    recount.maxRatio = 0.7;
    recount.headline = "recount";
}

// The editor on the book of Scale::editorPhotos photos, opened from a catalogue that stays open
// for these measurements.
void addEditorOpen(Bench &b)
{
    Measurement &openEditor = add(b.table, "editor opened and shown on " + b.editorBook, "s", b.runs, [&b] {
        bench::ProgramSession &program = b.catalogueSession();
        Stopwatch timer;
        editor::BookEditor &window = program.openEditor(bench::kEditorBook);
        const double took = timer.seconds();
        // Every row is in the model: none waits to be fetched.
        if (window.photos().rowCount() != b.scale.editorPhotos || window.photos().canFetchMore({}))
            bench::die(QStringLiteral("the editor holds %1 photos").arg(window.photos().rowCount()));
        program.closeEditor("cmdCancel");
        return took;
    });
    openEditor.maxValue = 0.05;
    openEditor.headline = "editor";
}

void addSaveAndClose(Bench &b)
{
    Measurement &saveClose = add(b.table, "Save and Close of that book after one changed cell", "s", b.runs, [&b] {
        bench::ProgramSession &program = b.catalogueSession();
        editor::PhotoTableModel &photos = program.openEditor(bench::kEditorBook).photos();
        const int row = b.scale.editorPhotos / 2;
        const qint64 key = photos.rowKey(row);
        const QVariant original = photos.value(row, "GroupLabel");
        const QString changed = original.toString() + " (changed)";
        photos.setData(photos.index(row, photos.columnOf("GroupLabel")), changed, Qt::EditRole);
        Stopwatch timer;
        program.closeEditor("cmdSave");
        const double took = timer.seconds();
        program.expectNoMessages("Save and Close");
        // The change reached the store; the original goes back, so that every run saves the same change.
        restoreChangedCell(b.library->db(), key, changed, original, "Save and Close");
        return took;
    });
    saveClose.maxValue = 0.1;
    saveClose.headline = "save";
}

// Undo of Delete Photo in the middle of the big book, as Ctrl+Z does it: from the key's action to
// the grid painted with the photo back in its place.
void addUndoDelete(Bench &b)
{
    Measurement &undo = add(b.table, "undo of Delete Photo on " + b.editorBook, "s", b.runs, [&b] {
        bench::ProgramSession &program = b.catalogueSession();
        editor::BookEditor &window = program.openEditor(bench::kEditorBook);
        editor::PhotoTableModel &photos = window.photos();
        const int row = b.scale.editorPhotos / 2;
        const qint64 key = photos.rowKey(row);
        window.grid()->setCurrentRow(row);
        window.findChild<QPushButton *>("cmdDelete")->click();
        auto *action = window.findChild<QAction *>("actUndo");
        if (photos.rowCount() != b.scale.editorPhotos - 1 || !action || !action->isEnabled())
            bench::die("Delete Photo left nothing to undo");
        bench::waitPainted(window.grid()->viewport());
        Stopwatch timer;
        action->trigger();
        bench::waitPainted(window.grid()->viewport());
        const double took = timer.seconds();
        if (photos.rowCount() != b.scale.editorPhotos || photos.rowKey(row) != key || photos.hasPendingChanges())
            bench::die("the undone Delete Photo did not put the photo back");
        // Nothing to save after the undo: Cancel closes without a question.
        program.closeEditor("cmdCancel");
        program.expectNoMessages("the undo of Delete Photo");
        return took;
    });
    undo.maxValue = 0.05;
    undo.headline = "undo delete";
}

void addEditorWithImages(Bench &b)
{
    Measurement &openWithImages =
        add(b.table, "editor opened on " + b.editorBook + " with its image panel shown, every image there", "s", b.runs,
            [&b] {
                bench::ProgramSession &program = b.catalogueSession();
                b.prepareImages();
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
}

void addPreview(Bench &b)
{
    Measurement &preview =
        add(b.table, "preview of a 6000 x 4000 JPEG, from the row change to its paint", "s", b.runs, [&b] {
            bench::ProgramSession &program = b.catalogueSession();
            b.prepareImages();
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
            QFile touched(b.bigImage);
            touched.open(QIODevice::ReadWrite);
            touched.setFileTime(QDateTime::currentDateTime(), QFileDevice::FileModificationTime);
            touched.close();
            Stopwatch timer;
            window.grid()->setCurrentRow(1);
            waitFor(b.bigImage);
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
}

// Export of the big book; the file is written anew each run.
void addExports(Bench &b)
{
    for (const char *kind : {"install file", "CSV"}) {
        const bool csv = QByteArray(kind) == "CSV";
        Measurement &exported = add(
            b.table,
            "export of " + b.editorBook + " to " + (csv ? QStringLiteral("CSV") : QStringLiteral("an install file")),
            "s", b.runs, [&b, csv] {
                const QString path = QDir(b.work).filePath(csv ? "export.csv" : "export.bks");
                Stopwatch timer;
                const auto out = csv ? library::exportCsv(b.library->db(), bench::kEditorBook, path)
                                     : library::exportBookFile(b.library->db(), bench::kEditorBook, path);
                const double took = timer.seconds();
                if (!out.ok() || out->photos != b.scale.editorPhotos)
                    bench::die("the export failed: " + out.error());
                QFile::remove(path);
                return took;
            });
        exported.maxValue = 0.1;
        exported.headline = csv ? "export CSV" : "export bks";
    }
}

// The program in a process of its own: its peak with the catalogue and the editor on the big
// book open, scrolled to its last photo.
void addProgramPeak(Bench &b)
{
    Measurement &peakProgram = add(b.table, "peak memory: catalogue and editor on " + b.editorBook, "MB", 1, [&b] {
        QProcess child;
        child.start(b.benchPath,
                    {"--peak-program", b.files.fullStore, b.settingsFile, QString::number(bench::kEditorBook)});
        child.waitForFinished(-1);
        const QList<QByteArray> values = child.readAllStandardOutput().trimmed().split(' ');
        if (child.exitCode() != 0 || values.size() != 2 || values[1].toInt() != b.scale.editorPhotos)
            bench::die("the program's memory run failed: " + QString::fromLocal8Bit(child.readAllStandardError()));
        return values[0].toDouble() / 1024.0;
    });
    peakProgram.maxValue = 55;
    peakProgram.headline = "program peak";
}

// Publishing as a script runs it, each in a process of its own: the book of 100 photos with
// 24-megapixel images (its time, peak memory and file size), and the 10,000-photo book as data only.
void addPublish(Bench &b)
{
    const bool smoke = b.scale.editorPhotos < bench::Scale{}.editorPhotos;
    const QString program = QDir(b.programDir).filePath("photoseries");
    const auto data = std::make_shared<bench::PublishData>();
    const auto prepared = [&b, data, smoke] {
        if (data->label.isEmpty())
            *data = bench::preparePublishData(QDir(b.files.folder).filePath("publish"), b.programDir, smoke ? 5 : 100,
                                              smoke ? QSize(600, 400) : QSize(6000, 4000));
        return *data;
    };
    const QString pdf = QDir(b.work).filePath("published.pdf");
    const auto publish = [program, pdf, prepared] {
        const bench::PublishData book = prepared();
        const bench::ChildRun run = bench::runChild(
            program, {"publish", "--library", book.library, "--images", book.imageRoot, book.label, pdf});
        if (run.status != 0)
            bench::die("photoseries publish failed");
        return run;
    };
    Measurement &timed = add(b.table, "publish 100 photos, 6000 x 4000 photo and data plate each (photoseries publish)",
                             "s", b.runs, [publish] {
                                 Stopwatch timer;
                                 publish();
                                 return timer.seconds();
                             });
    timed.maxValue = 10;
    timed.headline = "publish";
    Measurement &peak =
        add(b.table, "publish 100 photos: peak memory", "MB", 1, [publish] { return publish().peakMB; });
    peak.maxValue = 300;
    peak.headline = "publish peak";
    Measurement &size = add(b.table, "publish 100 photos: size of the PDF", "MB", 1, [publish, pdf] {
        publish();
        return double(QFileInfo(pdf).size()) / (1024.0 * 1024.0);
    });
    size.maxValue = 60;
    size.headline = "PDF";

    Measurement &dataOnly =
        add(b.table, "publish " + b.editorBook + " as data only (photoseries publish --no-images)", "s", b.runs,
            [&b, program] {
                QSqlQuery q(b.library->db());
                q.prepare("SELECT BookLabel FROM Books WHERE ID = ?");
                q.addBindValue(bench::kEditorBook);
                if (!q.exec() || !q.next())
                    bench::die("the editor's book has no label");
                const QString pdf = QDir(b.work).filePath("data-only.pdf");
                Stopwatch timer;
                const bench::ChildRun run = bench::runChild(
                    program, {"publish", "--library", b.files.fullStore, "--no-images", q.value(0).toString(), pdf});
                const double took = timer.seconds();
                if (run.status != 0)
                    bench::die("photoseries publish --no-images failed");
                QFile::remove(pdf);
                return took;
            });
    dataOnly.maxValue = 5;
    dataOnly.headline = "publish data only";
}

// Only the measurements whose name holds the text, and their baselines.
void keepOnly(std::vector<Measurement> &table, const QString &text)
{
    QStringList kept;
    for (const Measurement &m : table)
        if (m.name.contains(text, Qt::CaseInsensitive))
            kept << m.name << m.baseline;
    table.erase(
        std::remove_if(table.begin(), table.end(), [&](const Measurement &m) { return !kept.contains(m.name); }),
        table.end());
}

// Samples round-robin, so that a measurement and its baseline see the same machine state.
void takeSamples(std::vector<Measurement> &table)
{
    const int most =
        std::max_element(table.begin(), table.end(), [](auto &a, auto &b) { return a.runs < b.runs; })->runs;
    for (int r = 0; r < most; ++r)
        for (Measurement &m : table)
            if (r < m.runs) {
                g_lastCpu = NAN;
                m.samples.push_back(m.once());
                m.cpu.push_back(g_lastCpu);
            }
}

// A row more than this much slower (or larger) than its recorded baseline has regressed.
constexpr double kRegressedAbove = 1.2;

// The medians of an earlier run, by measurement name: one row a line, "median<TAB>unit<TAB>name".
using Baseline = QHash<QString, double>;

bool saveBaseline(const QString &path, const std::vector<Measurement> &table)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out << "# photoseries-bench medians: median, unit, operation (tab-separated)\n";
    for (const Measurement &m : table) {
        if (!std::isnan(m.median()))
            out << QString::number(m.median(), 'g', 6) << '\t' << m.unit << '\t' << m.name << '\n';
    }
    out.flush();
    return file.error() == QFileDevice::NoError;
}

// The baseline in `path`, or the reason it cannot be read.
QString readBaseline(const QString &path, Baseline &baseline)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QStringLiteral("The baseline %1 cannot be read: %2").arg(path, file.errorString());
    int lineNumber = 0;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        ++lineNumber;
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char('\t'));
        bool ok = false;
        const double median = fields.value(0).toDouble(&ok);
        if (fields.size() != 3 || !ok)
            return QStringLiteral("The baseline %1 has a bad line %2: %3").arg(path).arg(lineNumber).arg(line);
        baseline.insert(fields.at(2), median);
    }
    return {};
}

// The target column of a row: "<= 0.1 s met", or empty when the row has none.
QString targetText(const Measurement &m, double ratio, bool &met)
{
    QString target;
    met = true;
    if (m.maxValue > 0) {
        target = QStringLiteral("<= %1 %2").arg(m.maxValue).arg(m.unit);
        met = m.median() <= m.maxValue;
    } else if (m.maxRatio > 0) {
        target = QStringLiteral("<= %1 x").arg(m.maxRatio);
        met = !std::isnan(ratio) ? ratio <= m.maxRatio : true;
    }
    if (!target.isEmpty())
        target += met ? QStringLiteral(" met") : QStringLiteral(" MISSED");
    return target;
}

// The baseline column of a row: its ratio to the recorded median, and whether it regressed.
QString baselineText(const Measurement &m, const Baseline *baseline, bool &regressed)
{
    regressed = false;
    if (!baseline)
        return {};
    const auto recorded = baseline->constFind(m.name);
    if (recorded == baseline->cend() || !(recorded.value() > 0) || std::isnan(m.median()))
        return QStringLiteral("  (no baseline)");
    const double ratio = m.median() / recorded.value();
    regressed = ratio > kRegressedAbove;
    return QStringLiteral("  %1 x baseline%2")
        .arg(ratio, 0, 'f', 2)
        .arg(regressed ? QStringLiteral(" REGRESSED") : QString());
}

QString tableLine(const Measurement &m, int nameWidth, double ratio, const QString &target)
{
    const auto [lo, hi] = std::minmax_element(m.samples.begin(), m.samples.end());
    const double cpu = Measurement::medianOf(m.cpu);
    const QString line = m.name.leftJustified(nameWidth) + QString::number(m.samples.size()).rightJustified(6) +
                         (number(*lo, m.unit) + ' ' + m.unit).rightJustified(10) +
                         (number(m.median(), m.unit) + ' ' + m.unit).rightJustified(10) +
                         (number(*hi, m.unit) + ' ' + m.unit).rightJustified(10) +
                         (std::isnan(cpu) ? QString() : number(cpu, m.unit) + ' ' + m.unit).rightJustified(8) +
                         (std::isnan(ratio) ? QString() : QString::number(ratio, 'f', 2) + " x").rightJustified(8) +
                         "  " + target;
    return line.trimmed();
}

// Prints the table and its headline; false when a target was missed or, against a baseline, a
// row regressed.
bool printTable(QTextStream &out, const std::vector<Measurement> &table, const Baseline *baseline)
{
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
        << "  runs       min    median       max     cpu   ratio  target" << (baseline ? "  against the baseline" : "")
        << "\n";
    bool allMet = true;
    int regressions = 0;
    QStringList headline;
    for (const Measurement &m : table) {
        const double median = m.median();
        const Measurement *base = m.baseline.isEmpty() ? nullptr : find(m.baseline);
        const double ratio = base ? median / base->median() : NAN;
        bool met = true;
        const QString target = targetText(m, ratio, met);
        bool regressed = false;
        const QString against = baselineText(m, baseline, regressed);
        allMet = allMet && met;
        regressions += regressed ? 1 : 0;
        out << tableLine(m, nameWidth, ratio, target) << against << "\n";
        if (!m.headline.isEmpty())
            headline << QStringLiteral("%1 %2 %3%4")
                            .arg(m.headline, number(median, m.unit), m.unit,
                                 std::isnan(ratio)
                                     ? QString()
                                     : QStringLiteral(" (%1 x %2)").arg(ratio, 0, 'f', 2).arg(base->headline));
    }
    out << "\nheadline: " << headline.join("; ") << "; " << (allMet ? "every target met" : "TARGET MISSED");
    if (baseline)
        out << "; "
            << (regressions == 0 ? QStringLiteral("none REGRESSED against the baseline")
                                 : QStringLiteral("%1 REGRESSED against the baseline").arg(regressions));
    out << "\n";
    return allMet && regressions == 0;
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
    const QCommandLineOption saveBaselineOption(
        "save-baseline", "Write the medians of this run to the file, as a baseline for later runs.", "file");
    const QCommandLineOption baselineOption(
        "baseline", "Compare each row with the medians in the file; a row more than 20 % slower is REGRESSED.", "file");
    parser.addOptions({dataOption, runsOption, smokeOption, onlyOption, pgOption, saveBaselineOption, baselineOption});
    parser.process(app);
    Baseline baseline;
    if (parser.isSet(baselineOption)) {
        if (const QString error = readBaseline(parser.value(baselineOption), baseline); !error.isEmpty())
            bench::die(error);
    }

    const bool smoke = parser.isSet(smokeOption);
    bench::Scale scale;
    if (smoke)
        scale = bench::Scale{20, 2000, 50, 500, 2000, 200};
    const int runs = smoke ? 1 : qMax(1, parser.value(runsOption).toInt());
    const QString dataDir = parser.isSet(dataOption)
                                ? parser.value(dataOption)
                                : QDir(app.applicationDirPath()).filePath(smoke ? "bench-smoke" : "benchdata");
    Bench b(app, scale, runs, dataDir);

    QTextStream out(stdout);
    out << "Data in " << QDir::toNativeSeparators(dataDir) << " (generated when missing)...\n";
    out.flush();
    if (const QString error = bench::generate(b.files, scale, app.applicationDirPath()); !error.isEmpty())
        bench::die(error);
    QDir().mkpath(b.work);

    addMediumImports(b, addShellImport(b));
    addLibraryImport(b);
    addLargeImport(b);
    addStartUp(b);
    addRecount(b);
    addLiveUpdate(b);
    addEditorOpen(b);
    addSaveAndClose(b);
    addUndoDelete(b);
    addEditorWithImages(b);
    addPreview(b);
    addExports(b);
    addProgramPeak(b);
    addPublish(b);
    if (parser.isSet(pgOption))
        addServerRows(b.table, parser.value(pgOption), b.files, scale, runs,
                      withThousands(scale.mediumPhotos) + " photos");
    if (parser.isSet(onlyOption))
        keepOnly(b.table, parser.value(onlyOption));
    takeSamples(b.table);
    b.session.reset();
    const bool good = printTable(out, b.table, parser.isSet(baselineOption) ? &baseline : nullptr);
    if (parser.isSet(saveBaselineOption)) {
        if (!saveBaseline(parser.value(saveBaselineOption), b.table))
            bench::die("The baseline " + parser.value(saveBaselineOption) + " could not be written");
        out << "Medians written to " << QDir::toNativeSeparators(parser.value(saveBaselineOption)) << "\n";
    }
    return good || smoke ? 0 : 1;
}
