#include "TestSupport.h"

#include "app/CommandLine.h"
#include "store/Schema.h"
#include "store/Store.h"
#include "store/StoreLocation.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <vector>

using testing::ProgramDir;

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

// The program run as a script would run it: no display, and no platform chosen for it.
Run photoseries(const QStringList &arguments,
                QProcessEnvironment environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(PHOTOSERIES_EXE), arguments);
    Run run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The options that name the test's store: its library folder, or its database on the server.
QStringList storeOptions(const ProgramDir &dir)
{
    return dir.onServer() ? QStringList{QStringLiteral("--store"), dir.storeLocation()}
                          : QStringList{QStringLiteral("--library"), dir.path()};
}

QString sample(const QString &name)
{
    return QStringLiteral(PHOTOSERIES_DATA_DIR "/Books/") + name;
}

QByteArray digest(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                          : QByteArray();
}

// Every row of both tables in key order, one text a row: NULL as such, numbers exactly, texts
// quoted. The same rows read from either kind of store give the same texts.
QStringList rowsOf(const QString &location)
{
    store::Store store(location);
    if (const auto opened = store.openReadOnly(); !opened)
        return {QStringLiteral("not opened: ") + opened.error()};
    QStringList rows;
    for (const auto &[table, fields] : {std::pair{"Books", store::bookFields()}, {"Photos", store::photoFields()}}) {
        QSqlQuery q(store.db());
        if (!q.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY ID").arg(fields.join(','), QLatin1String(table))))
            return {QStringLiteral("not read: ") + q.lastError().text()};
        while (q.next()) {
            QStringList values{QLatin1String(table)};
            for (int i = 0; i < fields.size(); ++i) {
                const QVariant v = q.value(i);
                // The server's driver gives a number that is not negative as unsigned.
                static const QList<int> numbers{QMetaType::Double, QMetaType::LongLong, QMetaType::ULongLong,
                                                QMetaType::Int};
                if (q.isNull(i))
                    values << QStringLiteral("NULL");
                else if (numbers.contains(v.typeId()))
                    values << QString::number(v.toDouble(), 'g', 17);
                else
                    values << QLatin1Char('"') + v.toString() + QLatin1Char('"');
            }
            rows << values.join(QLatin1Char('|'));
        }
    }
    return rows;
}

bool insertRow(const QSqlDatabase &db, const QString &table, const QVariantMap &fields)
{
    QSqlQuery q(db);
    CHECK(q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                        .arg(table, fields.keys().join(','), QStringList(fields.size(), "?").join(','))));
    for (const QVariant &value : fields)
        q.addBindValue(value);
    CHECK2(q.exec(), qPrintable(q.lastError().text()));
    return true;
}

// Copies the store of `writer` into `copy` in the middle of a change, journal and all, as a
// program that stopped while writing leaves it.
bool copyMidChange(ProgramDir &writer, ProgramDir &copy)
{
    const qint64 book = writer.addBook(QStringLiteral("Whole"));
    QSqlQuery q(writer.store().db());
    CHECK(q.exec("PRAGMA cache_size = 10"));
    CHECK(q.exec("BEGIN"));
    for (int i = 0; i < 2000; ++i)
        writer.addPhoto(book, {{"GroupLabel", QString(200, QLatin1Char('x'))}});
    for (const QString &name : {QStringLiteral("Photo3.mdb"), QStringLiteral("Photo3.mdb-journal")})
        CHECK(QFile::copy(writer.filePath(name), copy.filePath(name)));
    CHECK(q.exec("ROLLBACK"));
    return true;
}

} // namespace

class CommandLineTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void windowsOrCommand_data();
    void windowsOrCommand();
    void usageErrors_data();
    void usageErrors();
    void importThenList();
    void importRefusesWhatTheWindowRefuses();
    void checkReportsWithoutChanging();
    void readersWorkWhereImportIsRefused_data();
    void readersWorkWhereImportIsRefused();
    void exportFromAReadOnlyStore();
    void onlyImportCreatesTheStore();
    void readersWorkWhileAnotherProgramWrites();
    void readersRefuseAnUnfinishedChange();
    void importsOfOneLabelAtOnceMakeOneBook();
    void exportsWhileAnotherProgramChangesTheBook();
    void copyOnlyIntoAnEmptyStore();
    void copyThroughTheServerKeepsEveryValue();
    void replaceKeepsTheOldFileUntilTheCopyIsWhole();
    void serverCommandsNeverAskForAPassword();
};

// The PostgreSQL variant runs only the tests whose stores may be on the server.
void CommandLineTest::init()
{
    static const QStringList onServer{"importsOfOneLabelAtOnceMakeOneBook", "exportsWhileAnotherProgramChangesTheBook",
                                      "copyOnlyIntoAnEmptyStore", "copyThroughTheServerKeepsEveryValue",
                                      "serverCommandsNeverAskForAPassword"};
    if (testing::testingOnPostgres() && !onServer.contains(QLatin1String(QTest::currentTestFunction())))
        QSKIP("database files only: run by the plain variant");
}

void CommandLineTest::windowsOrCommand_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("headless");
    QTest::addColumn<QString>("library");
    QTest::newRow("nothing") << QStringList{} << false << "";
    QTest::newRow("Qt's options") << QStringList{"-platform", "offscreen", "-reverse"} << false << "";
    QTest::newRow("library") << QStringList{"--library", "lib", "-platform", "xcb"} << false << "lib";
    QTest::newRow("library=") << QStringList{"--library=lib"} << false << "lib";
    QTest::newRow("command after Qt's options") << QStringList{"-platform", "offscreen", "list"} << true << "";
    QTest::newRow("help") << QStringList{"--help"} << true << "";
    QTest::newRow("unknown option") << QStringList{"--frob"} << true << "";
    QTest::newRow("store") << QStringList{"--store", "postgresql://u@host/db"} << false << "";
    QTest::newRow("store and library") << QStringList{"--store=postgresql://u@host/db", "--library", "lib"} << true
                                       << "lib";
    QTest::newRow("store that is a folder") << QStringList{"--store", "lib"} << true << "";
}

void CommandLineTest::windowsOrCommand()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, headless);
    QFETCH(QString, library);
    const cli::Invocation invocation = cli::classify(QStringList{"photoseries"} + arguments);
    QCOMPARE(invocation.headless, headless);
    if (!headless)
        QCOMPARE(invocation.library, library);
}

void CommandLineTest::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::newRow("version") << QStringList{"--version"} << 0;
    QTest::newRow("help") << QStringList{"--help"} << 0;
    QTest::newRow("command help") << QStringList{"export", "--help"} << 0;
    QTest::newRow("unknown command") << QStringList{"frob"} << 2;
    QTest::newRow("unknown option") << QStringList{"list", "--frob"} << 2;
    QTest::newRow("import without files") << QStringList{"import"} << 2;
    QTest::newRow("export without file") << QStringList{"export", "MC-Demo"} << 2;
    QTest::newRow("export to other format") << QStringList{"export", "MC-Demo", "out.txt"} << 2;
    QTest::newRow("export all to install file") << QStringList{"export", "--all", "out.bks"} << 2;
    QTest::newRow("list with a word") << QStringList{"list", "MC-Demo"} << 2;
    QTest::newRow("library missing") << QStringList{"list", "--library", "/no/such/folder"} << 1;
    QTest::newRow("store and library") << QStringList{"list", "--store", "postgresql://u@host/db", "--library", "."}
                                       << 2;
    QTest::newRow("store that is a folder") << QStringList{"check", "--store", "."} << 2;
    QTest::newRow("windows on store and library")
        << QStringList{"--library", ".", "--store", "postgresql://u@host/db"} << 2;
    QTest::newRow("copy without target") << QStringList{"copy", "--from", "."} << 2;
    QTest::newRow("copy with library") << QStringList{"copy", "--from", ".", "--to", ".", "--library", "."} << 2;
    QTest::newRow("copy replacing a server")
        << QStringList{"copy", "--from", ".", "--to", "postgresql://u@127.0.0.1:1/db", "--replace"} << 2;
}

void CommandLineTest::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    const Run run = photoseries(arguments);
    QCOMPARE(run.status, status);
    // Help and version are results; everything else is a message.
    QCOMPARE(run.out.isEmpty(), status != 0);
    QCOMPARE(run.err.isEmpty(), status == 0);
}

void CommandLineTest::importThenList()
{
    ProgramDir dir;
    const Run imported = photoseries({"import", "--library", dir.path(), sample("MC-Demo.bks"), sample("PP-Demo.bks")});
    QCOMPARE(imported.status, 0);
    QCOMPARE(imported.out.count(QLatin1String("Imported")), 2);
    // The library gets the shipped code files, which its editor reads.
    for (const char *name : {"Vegcodes.txt", "Actcodes.txt"})
        QVERIFY2(QFile::exists(dir.filePath(name)), name);
    // The recount after the imports leaves every count right.
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Books WHERE NumOfPhotos = "
                        "(SELECT COUNT(*) FROM Photos WHERE BookID = Books.ID)")
                 .toInt(),
             2);
    dir.addBook(QVariantMap{{"BookLabel", "a\"b"}, {"BookDescription", "x\ny"}, {"Locked", -1}, {"Active", -1}});
    dir.closeStore();

    const Run list = photoseries({"--library", dir.path(), "list"});
    QCOMPARE(list.status, 0);
    QCOMPARE(list.out, QStringLiteral("a\"b\tx y\t0\tyes\tOrvanePlus\n"
                                      "MC-Demo\tSierra mixed conifer with activity fuels\t5\tno\tUser\n"
                                      "PP-Demo\tPonderosa pine stands, eastern Cascades\t6\tno\tUser\n"));
    QVERIFY2(list.err.contains(QDir::toNativeSeparators(dir.storePath())), qPrintable(list.err));
    const Run csv = photoseries({"list", "--csv", "--library", dir.path()});
    QCOMPARE(csv.status, 0);
    QCOMPARE(csv.out, QStringLiteral("BookLabel,BookDescription,NumOfPhotos,Active,Owner\r\n"
                                     "\"a\"\"b\",\"x\ny\",0,1,OrvanePlus\r\n"
                                     "MC-Demo,Sierra mixed conifer with activity fuels,5,0,User\r\n"
                                     "PP-Demo,\"Ponderosa pine stands, eastern Cascades\",6,0,User\r\n"));
}

void CommandLineTest::importRefusesWhatTheWindowRefuses()
{
    ProgramDir dir;
    QVERIFY(dir.writeFile(QStringLiteral("broken.bks"), "\"no header\"\r\n"));
    QCOMPARE(photoseries({"import", "--library", dir.path(), sample("SB-Demo.bks")}).status, 0);
    // A file already imported and a broken one fail with the import's messages; the good file
    // between them is still imported.
    const Run run = photoseries({"import", "--library", dir.path(), sample("SB-Demo.bks"), sample("MC-Demo.bks"),
                                 dir.filePath(QStringLiteral("broken.bks"))});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QLatin1String("The Book SB-Demo is already imported")), qPrintable(run.err));
    QVERIFY2(run.err.contains(QLatin1String("broken.bks was not imported")), qPrintable(run.err));
    QCOMPARE(dir.column("SELECT BookLabel FROM Books ORDER BY BookLabel"), (QVariantList{"MC-Demo", "SB-Demo"}));
}

void CommandLineTest::checkReportsWithoutChanging()
{
    ProgramDir dir;
    const qint64 book = dir.addBook(QStringLiteral("Fine"));
    dir.addPhoto(book);
    QSqlQuery q(dir.store().db());
    QVERIFY(q.exec("UPDATE Books SET NumOfPhotos = 1"));
    dir.closeStore();
    const Run sound = photoseries({"check", "--library", dir.path()});
    QCOMPARE(sound.status, 0);
    QVERIFY2(!sound.out.isEmpty() && sound.err.isEmpty(), qPrintable(sound.err));

    // A stale count alone is a finding too.
    QVERIFY(QSqlQuery(dir.store().db()).exec("UPDATE Books SET NumOfPhotos = 5"));
    dir.closeStore();
    const Run staleOnly = photoseries({"check", "--library", dir.path()});
    QCOMPARE(staleOnly.status, 1);
    QVERIFY2(staleOnly.out.contains(QLatin1String("Photo rows without a book: none")), qPrintable(staleOnly.out));
    QVERIFY2(staleOnly.out.contains(QLatin1String("Fine (ID")), qPrintable(staleOnly.out));
    QVERIFY(QSqlQuery(dir.store().db()).exec("UPDATE Books SET NumOfPhotos = 1"));

    const qint64 stale = dir.addBook(QVariantMap{{"BookLabel", "Stale"}, {"NumOfPhotos", 7}});
    dir.addPhoto(stale + 100);
    dir.closeStore();
    const QByteArray before = digest(dir.storePath());
    const Run faulty = photoseries({"check", "--library", dir.path()});
    QCOMPARE(faulty.status, 1);
    QVERIFY2(faulty.out.contains(QLatin1String("Photo rows without a book: 1")), qPrintable(faulty.out));
    QVERIFY2(faulty.out.contains(QLatin1String("Stale (ID")), qPrintable(faulty.out));
    QCOMPARE(digest(dir.storePath()), before);
}

void CommandLineTest::readersWorkWhereImportIsRefused_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QString>("says");
    QTest::newRow("read-only folder") << "read-only folder" << true << "read-only";
    QTest::newRow("read-only file") << "read-only file" << true << "read-only";
    QTest::newRow("not a database") << "not a database" << false << "not a photo-series database";
    QTest::newRow("cut off") << "cut off" << false << "cut off";
}

// A store that cannot be written is still listed, checked and exported; import refuses it with
// the start-up's message. A store that is not ours is refused by every command. None is written.
void CommandLineTest::readersWorkWhereImportIsRefused()
{
    QFETCH(QString, fault);
    QFETCH(bool, readable);
    QFETCH(QString, says);
    ProgramDir dir;
    dir.addBook(QStringLiteral("Only"));
    dir.closeStore();
    QFile file(dir.storePath());
    if (fault == QLatin1String("not a database")) {
        QVERIFY(dir.writeFile(QStringLiteral("Photo3.mdb"), QByteArray("BookLabel,PhotoLabel\n").repeated(50)));
    } else if (fault == QLatin1String("cut off")) {
        QVERIFY(file.resize(file.size() / 2));
    } else if (fault == QLatin1String("read-only file")) {
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::ReadGroup));
    }
    const QFile::Permissions folderWas = QFile(dir.path()).permissions();
    if (fault == QLatin1String("read-only folder"))
        QVERIFY(QFile(dir.path()).setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    const QByteArray before = digest(dir.storePath());

    const Run list = photoseries({"list", "--library", dir.path()});
    const Run check = photoseries({"check", "--library", dir.path()});
    const Run import = photoseries({"import", "--library", dir.path(), sample("MC-Demo.bks")});
    QFile(dir.path()).setPermissions(folderWas);

    QCOMPARE(list.status, readable ? 0 : 1);
    QCOMPARE(check.status, readable ? 0 : 1);
    if (readable)
        QCOMPARE(list.out, QStringLiteral("Only\tOnly description\t0\tno\tUser\n"));
    else
        QVERIFY2(list.err.contains(says), qPrintable(list.err));
    QCOMPARE(import.status, 1);
    QVERIFY2(import.err.contains(says), qPrintable(import.err));
    QCOMPARE(digest(dir.storePath()), before);
}

// Export reads only: it works on a store in a read-only folder, and what it writes imports back.
void CommandLineTest::exportFromAReadOnlyStore()
{
    ProgramDir source;
    ProgramDir target;
    QCOMPARE(photoseries({"import", "--library", source.path(), sample("MC-Demo.bks"), sample("SB-Demo.bks")}).status,
             0);
    const QByteArray before = digest(source.storePath());
    const QFile::Permissions folderWas = QFile(source.path()).permissions();
    QVERIFY(QFile(source.path()).setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    const Run book = photoseries({"export", "mc-demo", target.filePath("mc.bks"), "--library", source.path()});
    const Run all = photoseries({"export", "--all", target.filePath("all.csv"), "--library", source.path()});
    const Run unknown = photoseries({"export", "XX-Demo", target.filePath("xx.csv"), "--library", source.path()});
    const Run listed = photoseries({"list", "--library", source.path()});
    QFile(source.path()).setPermissions(folderWas);

    QCOMPARE(book.status, 0);
    QVERIFY2(book.out.contains(QLatin1String("5 photos")), qPrintable(book.out));
    QCOMPARE(all.status, 0);
    QFile csv(target.filePath("all.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll().count('\n'), 1 + 5 + 4);
    QCOMPARE(unknown.status, 1);
    QVERIFY2(unknown.err.contains(QLatin1String("XX-Demo")), qPrintable(unknown.err));
    QVERIFY(!QFile::exists(target.filePath("xx.csv")));
    QCOMPARE(digest(source.storePath()), before);

    QCOMPARE(photoseries({"import", "--library", target.path(), target.filePath("mc.bks")}).status, 0);
    QCOMPARE(photoseries({"list", "--library", target.path()}).out, listed.out.section(QLatin1Char('\n'), 0, 0) + '\n');
}

// Only import sets up a new store, as the windows do at start-up; the readers create nothing.
void CommandLineTest::onlyImportCreatesTheStore()
{
    ProgramDir dir;
    const Run list = photoseries({"list", "--library", dir.path()});
    QCOMPARE(list.status, 1);
    QVERIFY2(list.err.contains(QLatin1String("does not exist")), qPrintable(list.err));
    QCOMPARE(photoseries({"check", "--library", dir.path()}).status, 1);
    QCOMPARE(photoseries({"export", "--all", "--library", dir.path(), dir.filePath("all.csv")}).status, 1);
    QVERIFY(QDir(dir.path()).isEmpty());
    QCOMPARE(photoseries({"import", "--library", dir.path(), sample("MC-Demo.bks")}).status, 0);
    QCOMPARE(photoseries({"list", "--library", dir.path()}).status, 0);
}

void CommandLineTest::readersWorkWhileAnotherProgramWrites()
{
    ProgramDir dir;
    dir.addBook(QStringLiteral("Held"));
    QSqlQuery q(dir.store().db());
    QVERIFY(q.exec("BEGIN IMMEDIATE"));
    QVERIFY(q.exec("UPDATE Books SET BookDescription = 'pending'"));
    const Run list = photoseries({"list", "--library", dir.path()});
    QVERIFY(q.exec("ROLLBACK"));
    QCOMPARE(list.status, 0);
    QCOMPARE(list.out, QStringLiteral("Held\tHeld description\t0\tno\tUser\n"));
}

// A copy taken while a change is being written holds a journal that nobody owns, as a program
// that stopped in the middle leaves it. The readers say so; an import undoes the change.
void CommandLineTest::readersRefuseAnUnfinishedChange()
{
    ProgramDir writer;
    ProgramDir copy;
    QVERIFY(copyMidChange(writer, copy));

    const Run list = photoseries({"list", "--library", copy.path()});
    QCOMPARE(list.status, 1);
    QVERIFY2(list.err.contains(QLatin1String("unfinished change")), qPrintable(list.err));
    QCOMPARE(photoseries({"import", "--library", copy.path(), sample("SB-Demo.bks")}).status, 0);
    QCOMPARE(photoseries({"list", "--library", copy.path()}).out.count(QLatin1Char('\n')), 2);
    const Run check = photoseries({"check", "--library", copy.path()});
    QVERIFY2(check.status == 0, qPrintable(check.out));
}

// A store that holds books is never a copy's target (without --replace): it stays as it was.
// Several programs import files that carry one label at the same moment: one book results, and
// every other import is refused as a duplicate, whatever order their transactions take.
void CommandLineTest::importsOfOneLabelAtOnceMakeOneBook()
{
    ProgramDir dir;
    dir.store(); // made before the imports start, so that none of them has to create it
    dir.closeStore();
    QFile sampleFile(sample("MC-Demo.bks"));
    QVERIFY(sampleFile.open(QIODevice::ReadOnly));
    const QByteArray bytes = sampleFile.readAll();
    std::vector<std::unique_ptr<QProcess>> imports;
    for (int i = 0; i < 4; ++i) {
        const QString file = dir.filePath(QStringLiteral("copy%1.bks").arg(i));
        QVERIFY(dir.writeFile(QFileInfo(file).fileName(), bytes));
        auto process = std::make_unique<QProcess>();
        process->start(QStringLiteral(PHOTOSERIES_EXE), QStringList{"import", file} + storeOptions(dir));
        imports.push_back(std::move(process));
    }
    int imported = 0;
    for (const auto &process : imports) {
        QVERIFY(process->waitForFinished(60000));
        const QString err = QString::fromUtf8(process->readAllStandardError());
        if (process->exitCode() == 0)
            ++imported;
        else
            QVERIFY2(err.contains(QLatin1String("The Book MC-Demo is already imported")), qPrintable(err));
    }
    QCOMPARE(imported, 1);
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Books").toInt(), 1);
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Photos").toInt(), 5);
}

// The export reads the book in one snapshot while another program keeps rewriting every photo
// in single transactions: an export that succeeds holds one state of the book throughout (and
// reads back); one that fails leaves no file. A text outside Windows-1252 is one of the states.
void CommandLineTest::exportsWhileAnotherProgramChangesTheBook()
{
    ProgramDir dir;
    const qint64 book = dir.addBook(QStringLiteral("Moving"));
    {
        store::Transaction adding(dir.store().db());
        for (int i = 1; i <= 400; ++i)
            dir.addPhoto(
                book,
                {{"BookLabel", "Moving"}, {"PhotoLabel", QString::number(i)}, {"VegType", "MC"}, {"Activity", "MC"}});
        QVERIFY(adding.commit());
    }
    dir.closeStore();
    const QStringList states{QStringLiteral("MC"), QStringLiteral("Q\"T"), QString::fromUtf8("\u03a91")};
    std::atomic<bool> stop = false;
    std::atomic<int> writes = 0;
    QThread *writer = QThread::create([&, location = dir.storeLocation()] {
        store::Store other(location);
        if (!other.open())
            return;
        for (int k = 1; !stop; ++k) {
            store::Transaction changing(other.db());
            QSqlQuery q(other.db());
            q.prepare(QStringLiteral("UPDATE Photos SET VegType = ?, Activity = ? WHERE BookID = ?"));
            q.addBindValue(states.at(k % states.size()));
            q.addBindValue(states.at(k % states.size()));
            q.addBindValue(book);
            if (changing.begun() && q.exec() && changing.commit())
                ++writes;
            QThread::yieldCurrentThread();
        }
    });
    writer->start();
    QVERIFY(QTest::qWaitFor([&] { return writes > 0; }, 30000));

    QTemporaryDir readBack;
    const int writesAtStart = writes;
    int exported = 0;
    for (int run = 0; run < 8; ++run) {
        const QString file = dir.filePath(QStringLiteral("moving%1.bks").arg(run));
        const Run exportRun = photoseries(QStringList{"export", "Moving", file} + storeOptions(dir));
        QVERIFY2(exportRun.status == 0 || !QFile::exists(file), qPrintable(exportRun.err));
        if (exportRun.status != 0)
            continue;
        ++exported;
        const QString library = readBack.filePath(QString::number(run));
        QVERIFY(QDir().mkpath(library));
        const Run imported = photoseries({"import", "--library", library, file});
        QVERIFY2(imported.status == 0, qPrintable(imported.err));
        store::Store copy(store::fileStoreLocation(library));
        QVERIFY(copy.openReadOnly());
        QSqlQuery q(copy.db());
        QVERIFY(q.exec("SELECT VegType, Activity, COUNT(*) FROM Photos GROUP BY VegType, Activity"));
        QVERIFY(q.next());
        QVERIFY2(states.contains(q.value(0).toString()) && q.value(0) == q.value(1), qPrintable(q.value(0).toString()));
        QCOMPARE(q.value(2).toInt(), 400);
        QVERIFY2(!q.next(), "the export mixed two states of the book");
    }
    QVERIFY2(writes > writesAtStart, "the book did not change while it was exported");
    stop = true;
    QVERIFY(writer->wait(60000));
    delete writer;
    QVERIFY2(exported > 0, "no export succeeded while the book changed");
}

void CommandLineTest::copyOnlyIntoAnEmptyStore()
{
    ProgramDir source;
    ProgramDir target;
    QCOMPARE(photoseries({"import", "--library", source.path(), sample("MC-Demo.bks")}).status, 0);
    target.addPhoto(target.addBook(QStringLiteral("Kept")));
    target.closeStore();
    const QString to = target.onServer() ? target.storeLocation() : target.path();
    const QStringList before = rowsOf(target.storeLocation());

    const Run run = photoseries({"copy", "--from", source.path(), "--to", to});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(QLatin1String("already holds books")), qPrintable(run.err));
    QCOMPARE(rowsOf(target.storeLocation()), before);

    // A source from before labels were unique, holding two books of one label, is refused by
    // name before anything is written: the target could not hold both.
    ProgramDir shared;
    shared.allowEqualLabels();
    shared.addBook(QStringLiteral("Pine"));
    shared.addBook(QStringLiteral("PINE"));
    shared.closeStore();
    ProgramDir empty;
    const Run refused = photoseries({"copy", "--from", shared.onServer() ? shared.storeLocation() : shared.path(),
                                     "--to", empty.onServer() ? empty.storeLocation() : empty.path()});
    QCOMPARE(refused.status, 1);
    QVERIFY2(refused.err.contains(QLatin1String("The books Pine (IDs ")) &&
                 refused.err.contains(QLatin1String("share a label")),
             qPrintable(refused.err));
    QVERIFY(!rowsOf(empty.storeLocation()).join('\n').contains(QLatin1String("Books|")));
}

// Database file to server and back: every row of both tables comes back with its ID and every
// value, NULLs and empty texts apart; the server hands out new keys above the copied ones.
void CommandLineTest::copyThroughTheServerKeepsEveryValue()
{
    if (!testing::testingOnPostgres())
        QSKIP("needs the test server: run by the PostgreSQL variant");
    ProgramDir source;
    ProgramDir server;
    ProgramDir back;
    QCOMPARE(photoseries({"import", "--library", source.path(), sample("MC-Demo.bks"), sample("PP-Demo.bks"),
                          sample("SB-Demo.bks")})
                 .status,
             0);
    {
        store::Store file(source.storePath());
        QVERIFY(file.open());
        const QSqlDatabase db = file.db();
        const QString awkward = QStringLiteral("O'Brien \"quoted\"\ttab\\back\nline\r\nÜñïcødé ✓ 日本");
        QVERIFY(insertRow(db, "Books",
                          {{"ID", 7},
                           {"BookLabel", awkward},
                           {"BookDescription", ""},
                           {"BookDate", QVariant()},
                           {"Breakinches1", 0.1},
                           {"Breakinches2", 1e-7},
                           {"BreakInches4", 12345.678},
                           {"BreakInches6", QVariant()},
                           {"Active", -1},
                           {"Locked", -1},
                           {"NumOfPhotos", QVariant()}}));
        QVERIFY(insertRow(db, "Books", {{"ID", 9}, {"BookLabel", "Gone"}}));
        QVERIFY(insertRow(db, "Photos",
                          {{"ID", 100},
                           {"BookID", 7},
                           {"PhotoLabel", awkward},
                           {"GroupLabel", ""},
                           {"TonsPerAcreBreak1", 0.1},
                           {"HerbTonsPerAcre", 1e-7},
                           {"TotalFL", 12345.678},
                           {"VegType", QVariant()},
                           {"PhotoPic", "\\N"},
                           {"DataPic", " "}}));
        QVERIFY(insertRow(db, "Photos", {{"ID", 102}, {"BookID", QVariant()}, {"PhotoLabel", "no book"}}));
        QVERIFY(insertRow(db, "Photos", {{"ID", 103}, {"BookID", 9}}));
        QSqlQuery q(db);
        QVERIFY(q.exec("DELETE FROM Books WHERE ID = 9"));
    }
    const QStringList original = rowsOf(source.storePath());
    QCOMPARE(original.size(), 3 + 1 + 15 + 3);

    const Run there = photoseries({"copy", "--from", source.path(), "--to", server.storeLocation()});
    QVERIFY2(there.status == 0, qPrintable(there.err));
    QVERIFY2(there.out.contains(QLatin1String("4 books and 18 photos")), qPrintable(there.out));
    QCOMPARE(rowsOf(server.storeLocation()), original);
    const Run listed = photoseries({"list", "--store", server.storeLocation()});
    QCOMPARE(listed.out, photoseries({"list", "--library", source.path()}).out);
    QVERIFY2(listed.err.contains(server.storeLocation()), qPrintable(listed.err));
    const Run checked = photoseries({"check", "--store", server.storeLocation()});
    QCOMPARE(checked.status, 1); // the photo rows without a book
    QVERIFY2(checked.out.contains(QLatin1String("Photo rows without a book: 2")), qPrintable(checked.out));

    const Run home = photoseries({"copy", "--from", server.storeLocation(), "--to", back.path()});
    QVERIFY2(home.status == 0, qPrintable(home.err));
    QCOMPARE(rowsOf(back.storePath()), original);
    QVERIFY(server.addBook(QStringLiteral("Next")) > 7);
    QVERIFY(server.addPhoto(7) > 103);
}

// --replace builds the new file beside the old one: a copy that fails leaves the old file as it
// was, and the journal of an unfinished change to the old file is not applied to the new one.
void CommandLineTest::replaceKeepsTheOldFileUntilTheCopyIsWhole()
{
    ProgramDir source;
    ProgramDir notAStore;
    ProgramDir target;
    QCOMPARE(photoseries({"import", "--library", source.path(), sample("MC-Demo.bks"), sample("PP-Demo.bks")}).status,
             0);
    QVERIFY(notAStore.writeFile(QStringLiteral("Photo3.mdb"), QByteArray("BookLabel,PhotoLabel\n").repeated(50)));
    QCOMPARE(photoseries({"import", "--library", target.path(), sample("SB-Demo.bks")}).status, 0);
    const QByteArray before = digest(target.storePath());

    for (const QString &from : {QStringLiteral("postgresql://nobody@127.0.0.1:1/none"), notAStore.path()}) {
        const Run failed = photoseries({"copy", "--from", from, "--to", target.path(), "--replace"});
        QCOMPARE(failed.status, 1);
        QVERIFY2(failed.err.contains(from), qPrintable(failed.err));
        QCOMPARE(digest(target.storePath()), before);
        // The store and the code files the import gave the library, nothing left behind.
        QCOMPARE(QDir(target.path()).entryList(QDir::Files),
                 (QStringList{"Actcodes.txt", "Photo3.mdb", "Vegcodes.txt"}));
    }

    ProgramDir writer;
    ProgramDir unfinished;
    QVERIFY(copyMidChange(writer, unfinished));
    // A copy that was stopped left its unfinished file, with a journal, under the temporary name.
    ProgramDir stopped;
    ProgramDir otherWriter;
    ProgramDir halfCopied;
    QCOMPARE(photoseries({"import", "--library", stopped.path(), sample("SB-Demo.bks")}).status, 0);
    QVERIFY(copyMidChange(otherWriter, halfCopied));
    for (const QString &suffix : {QString(), QStringLiteral("-journal")})
        QVERIFY(QFile::copy(halfCopied.filePath("Photo3.mdb" + suffix), stopped.filePath("Photo3.mdb.new" + suffix)));
    for (ProgramDir *dir : {&target, &unfinished, &stopped}) {
        const Run replaced = photoseries({"copy", "--from", source.path(), "--to", dir->path(), "--replace"});
        QVERIFY2(replaced.status == 0, qPrintable(replaced.err));
        QCOMPARE(rowsOf(dir->storePath()), rowsOf(source.storePath()));
        QCOMPARE(photoseries({"check", "--library", dir->path()}).status, 0);
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files), (QStringList{"Actcodes.txt", "Photo3.mdb", "Vegcodes.txt"}));
    }
}

// Without a password in the environment or ~/.pgpass, a command on a server ends with the
// store's message instead of asking. The store comes from the Store setting when no option
// names one.
void CommandLineTest::serverCommandsNeverAskForAPassword()
{
    if (!testing::testingOnPostgres())
        QSKIP("needs the test server: run by the PostgreSQL variant");
    ProgramDir library;
    library.addBook(QStringLiteral("Shared"));
    library.closeStore();
    ProgramDir home;
    QVERIFY(QDir(home.path()).mkpath("config/photoseries"));
    QVERIFY(home.writeFile(QStringLiteral("config/photoseries/photoseries.conf"),
                           "[General]\nStore=" + library.storeLocation().toUtf8() + "\n"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.remove(QStringLiteral("PGPASSFILE"));

    const Run withPassword = photoseries({"list"}, environment);
    QCOMPARE(withPassword.out, QStringLiteral("Shared\tShared description\t0\tno\tUser\n"));
    QVERIFY2(withPassword.err.contains(library.storeLocation()), qPrintable(withPassword.err));

    const QString password = environment.value(QStringLiteral("PGPASSWORD"));
    environment.remove(QStringLiteral("PGPASSWORD"));
    for (const QStringList &arguments :
         {QStringList{"list"}, QStringList{"copy", "--from", library.storeLocation(), "--to", home.path()}}) {
        const Run run = photoseries(arguments, environment);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(QLatin1String("asks for a password")), qPrintable(run.err));
        QVERIFY(!password.isEmpty() && !run.err.contains(password));
        QVERIFY(run.out.isEmpty());
    }
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
