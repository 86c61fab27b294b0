#include "TestSupport.h"

#include "app/CommandLine.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>

using testing::ProgramDir;

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

// The program run as a script would run it: no display, and no platform chosen for it.
Run photoseries(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
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

} // namespace

class CommandLineTest : public QObject
{
    Q_OBJECT

private slots:
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
};

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
    const qint64 book = writer.addBook(QStringLiteral("Whole"));
    QSqlQuery q(writer.store().db());
    QVERIFY(q.exec("PRAGMA cache_size = 10"));
    QVERIFY(q.exec("BEGIN"));
    for (int i = 0; i < 2000; ++i)
        writer.addPhoto(book, {{"GroupLabel", QString(200, QLatin1Char('x'))}});
    for (const QString &name : {QStringLiteral("Photo3.mdb"), QStringLiteral("Photo3.mdb-journal")})
        QVERIFY(QFile::copy(writer.filePath(name), copy.filePath(name)));
    QVERIFY(q.exec("ROLLBACK"));

    const Run list = photoseries({"list", "--library", copy.path()});
    QCOMPARE(list.status, 1);
    QVERIFY2(list.err.contains(QLatin1String("unfinished change")), qPrintable(list.err));
    QCOMPARE(photoseries({"import", "--library", copy.path(), sample("SB-Demo.bks")}).status, 0);
    QCOMPARE(photoseries({"list", "--library", copy.path()}).out.count(QLatin1Char('\n')), 2);
    const Run check = photoseries({"check", "--library", copy.path()});
    QVERIFY2(check.status == 0, qPrintable(check.out));
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
