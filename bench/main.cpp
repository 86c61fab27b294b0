// Measures the program's own code paths at library scale and prints one table.
//
//   photoseries-bench [--data DIR] [--runs N] [--smoke]
//
// The data (a store of 10,000 books and 1,000,000 photos, install files of 5,000, 100,000 and
// 1,000,000 photos, and the 100,000 rows as CSV) is generated into DIR on the first run.
// --smoke uses a tiny library and checks only that every measurement runs.

#include "BenchData.h"

#include "install/BookImport.h"
#include "store/BookList.h"
#include "store/Store.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>

#include <sqlite3.h>

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

    double median() const
    {
        std::vector<double> s = samples;
        std::sort(s.begin(), s.end());
        return s.empty() ? NAN : s.size() % 2 ? s[s.size() / 2] : (s[s.size() / 2 - 1] + s[s.size() / 2]) / 2;
    }
};

[[noreturn]] void die(const QString &what)
{
    QTextStream(stderr) << "photoseries-bench: " << what << "\n";
    std::exit(2);
}

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

double kbFromStatus(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return NAN;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toDouble();
    return NAN;
}

// A fresh program store with the program's own schema and nothing in it.
QString freshStore(const QString &path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
    store::Store created(path);
    return created.open();
}

double seconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

// The import of one file into an open store, checked: a benchmark of a failed import is worthless.
qint64 importChecked(store::Store &store, const QString &bks, int expectedPhotos)
{
    const install::ImportOutcome outcome = install::importBookFile(store.db(), bks);
    if (outcome.result != install::ImportOutcome::Result::Imported || outcome.photos != expectedPhotos)
        die(QStringLiteral("import of %1 failed: %2").arg(bks, outcome.message));
    return outcome.bookId;
}

// Child process: imports one file into a fresh store and reports resting and peak memory.
int peakImport(const QString &storePath, const QString &bks)
{
    store::Store store(storePath);
    if (const QString error = store.open(); !error.isEmpty())
        die(error);
    const double resting = kbFromStatus("VmRSS");
    // Start the peak afresh, so that it covers the import only.
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    clear.close();
    QElapsedTimer timer;
    timer.start();
    const install::ImportOutcome outcome = install::importBookFile(store.db(), bks);
    const double took = seconds(timer);
    if (outcome.result != install::ImportOutcome::Result::Imported)
        die(outcome.message);
    QTextStream(stdout) << resting << ' ' << kbFromStatus("VmHWM") << ' ' << took << ' ' << outcome.photos << "\n";
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

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (app.arguments().size() == 4 && app.arguments().at(1) == QLatin1String("--peak-import"))
        return peakImport(app.arguments().at(2), app.arguments().at(3));

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption dataOption("data", "Folder of the generated data.", "dir");
    const QCommandLineOption runsOption("runs", "Samples per timing (default 5).", "n", "5");
    const QCommandLineOption smokeOption("smoke", "Tiny library: checks that every measurement runs.");
    parser.addOptions({dataOption, runsOption, smokeOption});
    parser.process(app);

    const bool smoke = parser.isSet(smokeOption);
    bench::Scale scale;
    if (smoke)
        scale = bench::Scale{20, 2000, 50, 500, 2000};
    const int runs = smoke ? 1 : qMax(1, parser.value(runsOption).toInt());
    const QString dataDir = parser.isSet(dataOption)
                                ? parser.value(dataOption)
                                : QDir(app.applicationDirPath()).filePath(smoke ? "bench-smoke" : "benchdata");
    const bench::DataFiles files(dataDir);

    QTextStream out(stdout);
    out << "Data in " << QDir::toNativeSeparators(dataDir) << " (generated when missing)...\n";
    out.flush();
    if (const QString error = bench::generate(files, scale); !error.isEmpty())
        die(error);
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
            die("the shell's table could not be made");
        QProcess shell;
        QElapsedTimer timer;
        timer.start();
        shell.start(sqliteShell, {"-csv", shellStore, ".import " + files.mediumCsv + " Photos"});
        shell.waitForFinished(-1);
        const double took = seconds(timer);
        if (shell.exitCode() != 0 || !shell.readAllStandardError().isEmpty())
            die("the sqlite3 shell failed");
        return took;
    }).headline = "shell";

    const QString ownStore = QDir(work).filePath("Photo3.mdb");
    const QString shellName = table.back().name;
    Measurement &own = add(table, "import " + medium + " (open store, import, close)", "s", runs, [&] {
        if (const QString error = freshStore(ownStore); !error.isEmpty())
            die(error);
        QElapsedTimer timer;
        timer.start();
        store::Store store(ownStore);
        if (const QString error = store.open(); !error.isEmpty())
            die(error);
        importChecked(store, files.mediumBks, scale.mediumPhotos);
        store.close();
        return seconds(timer);
    });
    own.baseline = shellName;
    own.maxRatio = 1.5;
    own.headline = "import " + medium;

    // The small file into the whole library; the book is removed again after each sample.
    auto library = std::make_shared<store::Store>(QDir(files.fullStore).filePath("Photo3.mdb"));
    if (const QString error = library->open(); !error.isEmpty())
        die(error);
    Measurement &small = add(table,
                             "import " + withThousands(scale.smallPhotos) + " photos into the library of " +
                                 withThousands(scale.storePhotos) + " photos",
                             "s", runs, [&, library] {
                                 QElapsedTimer timer;
                                 timer.start();
                                 const qint64 id = importChecked(*library, files.smallBks, scale.smallPhotos);
                                 const double took = seconds(timer);
                                 if (const QString error = store::removeBook(library->db(), id); !error.isEmpty())
                                     die(error);
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
            die(error);
        QProcess child;
        child.start(app.applicationFilePath(), {"--peak-import", path, files.largeBks});
        child.waitForFinished(-1);
        const QList<QByteArray> values = child.readAllStandardOutput().trimmed().split(' ');
        if (child.exitCode() != 0 || values.size() != 4)
            die("the large import failed: " + QString::fromLocal8Bit(child.readAllStandardError()));
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
    peak.headline = "peak";

    // Samples round-robin, so that a measurement and its baseline see the same machine state.
    const int most =
        std::max_element(table.begin(), table.end(), [](auto &a, auto &b) { return a.runs < b.runs; })->runs;
    for (int r = 0; r < most; ++r)
        for (Measurement &m : table)
            if (r < m.runs)
                m.samples.push_back(m.once());

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
        << QString("operation").leftJustified(nameWidth) << "  runs       min    median       max   ratio  target\n";
    bool allMet = true;
    QStringList headline;
    for (const Measurement &m : table) {
        const auto [lo, hi] = std::minmax_element(m.samples.begin(), m.samples.end());
        const double median = m.median();
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
        out << m.name.leftJustified(nameWidth) << QString::number(m.samples.size()).rightJustified(6)
            << (number(*lo, m.unit) + ' ' + m.unit).rightJustified(10)
            << (number(median, m.unit) + ' ' + m.unit).rightJustified(10)
            << (number(*hi, m.unit) + ' ' + m.unit).rightJustified(10)
            << (std::isnan(ratio) ? QString() : QString::number(ratio, 'f', 2) + " x").rightJustified(8) << "  "
            << target << "\n";
        if (!m.headline.isEmpty())
            headline << QStringLiteral("%1 %2 %3%4")
                            .arg(m.headline, number(median, m.unit), m.unit,
                                 std::isnan(ratio) ? QString() : QStringLiteral(" (%1 x shell)").arg(ratio, 0, 'f', 2));
    }
    out << "\nheadline: " << headline.join("; ") << "; " << (allMet ? "every target met" : "TARGET MISSED") << "\n";
    return smoke || allMet ? 0 : 1;
}
