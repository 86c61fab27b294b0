#include "TestSupport.h"

#include "catalogue/CatalogueWindow.h"
#include "install/ImportWindow.h"
#include "library/BookImport.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <sqlite3.h>

using testing::ProgramDir;
using testing::ScriptedMessages;

namespace {

const QByteArray kHeader = "\"MC-1\",\"Mixed conifer\",\" 1998 \",\"Notes here\",0.26,1.1,3.1,6,9,20\r\n";
// The first field of a photo record is read and ignored: the header names the book.
const QByteArray kPhoto1 = "\"OLD-7\",\"Group A\",\"01\",1,2,3,4,5,6,7,8.5,0.3,\"P01.jpg\",\"D01.jpg\",\"MC\",\"LOP\","
                           "4.5,18.25,\"J\",\"SB02\",0.45,1.34,260,75\r\n";
// Empty optional texts, empty names, empty numbers.
const QByteArray kPhoto2 = "\"\",\"\",\"\",,,,,,,,,,\"\",\"\",\"\",\"\",,,\"\",\"\",,,,\r\n";

QByteArray header(const QByteArray &label, const QByteArray &date = "2011")
{
    return "\"" + label + "\",\"Description\",\"" + date + "\",\"\",0.26,1.1,3.1,6,9,20\r\n";
}

QByteArray photos(int count)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += "\"X\",\"G\",\"P" + QByteArray::number(i) +
               "\",1,2,3,4,5,6,7,8,9,\"a.jpg\",\"b.jpg\",\"MC\",\"LOP\","
               "1,2,\"J\",\"SB02\",1,2,3,4\n";
    return out;
}

// A stored value as the tests compare it, alike from either kind of store: NULL, a quoted
// text, or a number in its shortest exact form.
QString shown(const QVariant &value)
{
    if (value.isNull())
        return "NULL";
    if (value.typeId() == QMetaType::QString)
        return "'" + value.toString() + "'";
    return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
}

// Every row of a query, its values shown and joined by '|'.
QStringList rows(ProgramDir &dir, const QString &sql)
{
    QSqlQuery q(dir.store().db());
    if (!q.exec(sql))
        return {"query failed: " + q.lastError().text()};
    QStringList out;
    while (q.next()) {
        QStringList values;
        for (int i = 0; i < q.record().count(); ++i)
            values << shown(q.value(i));
        out << values.join('|');
    }
    return out;
}

// Everything in both tables and the change counter (the file store's triggers included), to
// show that a refused file changed nothing.
QString snapshot(ProgramDir &dir)
{
    QStringList all = rows(dir, "SELECT ID, BookLabel, NumOfPhotos FROM Books ORDER BY ID") +
                      rows(dir, "SELECT COUNT(*), SUM(ID), MIN(BookID), MAX(BookID) FROM Photos") +
                      rows(dir, "SELECT BookID, Version, PhotoCount FROM BookVersions ORDER BY BookID");
    if (!dir.onServer())
        all += rows(dir, "SELECT name, sql FROM sqlite_master WHERE type = 'trigger' ORDER BY name");
    return all.join(" / ");
}

int commits(void *counter)
{
    ++*static_cast<int *>(counter);
    return 0;
}

sqlite3 *handleOf(const QSqlDatabase &db)
{
    return *static_cast<sqlite3 *const *>(db.driver()->handle().constData());
}

class CancelAfter final : public library::ImportProgress
{
public:
    explicit CancelAfter(int call)
        : cancelAt(call)
    {
    }
    bool advance(qint64, qint64) override { return ++calls < cancelAt; }
    int cancelAt;
    int calls = 0;
};

struct Window
{
    explicit Window(ProgramDir &dir)
        : window(dir.store().db(), dir.path(), messages)
    {
        window.load();
    }
    QListWidget *files() { return window.findChild<QListWidget *>("filBook"); }
    QPushButton *open() { return window.findChild<QPushButton *>("cmdOpen"); }
    [[nodiscard]] bool select(const QStringList &names)
    {
        for (const QString &name : names) {
            const auto found = files()->findItems(name, Qt::MatchExactly);
            CHECK_COMPARE(found.size(), 1);
            found.first()->setSelected(true);
        }
        return true;
    }

    ScriptedMessages messages;
    install::ImportWindow window;
};

} // namespace

class InstallTest : public QObject
{
    Q_OBJECT

private slots:
    void importsBookAndPhotosWithTheirFields();
    void valuesComeBackExactly_data();
    void valuesComeBackExactly();
    void headerOnlyFileImportsBookWithoutPhotos();
    void shippedSampleBooksImport();
    void headerDate_data();
    void headerDate();
    void sameLabelIsRefused_data();
    void sameLabelIsRefused();
    void bookLabelIsTrimmedAndPhotoFieldsKeptAsWritten();
    void storeInUseIsReportedAsInUse_data();
    void storeInUseIsReportedAsInUse();
    void unusableLabelIsRefused_data();
    void unusableLabelIsRefused();
    void brokenFileLeavesStoreAsItWas_data();
    void brokenFileLeavesStoreAsItWas();
    void cancelRollsBackTheFile();

    void windowCreatesBooksFolder_data();
    void windowCreatesBooksFolder();
    void importButtonFollowsSelection();
    void importsSelectedFilesAndReportsDuplicate();
    void catalogueImportRecountsAfterwards();
    void progressCancelSkipsRemainingFiles();
};

void InstallTest::importsBookAndPhotosWithTheirFields()
{
    ProgramDir dir;
    QVERIFY(dir.writeFile("a.bks", kHeader + kPhoto1 + kPhoto2));
    int commitCount = 0;
    if (!dir.onServer())
        sqlite3_commit_hook(handleOf(dir.store().db()), commits, &commitCount);
    const auto outcome = library::importBookFile(dir.store().db(), dir.filePath("a.bks"));
    if (!dir.onServer()) {
        sqlite3_commit_hook(handleOf(dir.store().db()), nullptr, nullptr);
        QCOMPARE(commitCount, 1);
    }
    QCOMPARE(outcome.error(), QString());
    QCOMPARE(outcome->photos, 2);

    // Never written by an import: builtby, Active, Locked and NumOfPhotos keep the store's
    // defaults (no recount).
    QCOMPARE(rows(dir, "SELECT BookLabel, BookDescription, BookDate, BookNotes, Breakinches1, Breakinches2, "
                       "Breakinches3, BreakInches4, BreakInches5, BreakInches6, builtby, Active, Locked, NumOfPhotos "
                       "FROM Books"),
             QStringList{"'MC-1'|'Mixed conifer'|'1998'|'Notes here'|0.26|1.1|3.1|6|9|20|NULL|0|0|0"});

    const QString id = QString::number(outcome->bookId);
    QCOMPARE(rows(dir, "SELECT BookID, BookLabel, GroupLabel, PhotoLabel, TonsPerAcreBreak1, TonsPerAcreBreak2, "
                       "TonsPerAcreBreak3, TonsPerAcreBreak4, TonsPerAcreBreak5, TonsPerAcreBreak6, "
                       "TonsPerAcreBreak7, AverageFuelbedDepth, AverageDuffDepth, PhotoPic, DataPic, VegType, "
                       "Activity, Oto3FL, TotalFL, DangerRatingFM, FireBehaveFM, FireBehaveFM2, HerbTonsPerAcre, "
                       "WoodyTonsPerAcre, TreesPerAcre, CanopyClosure FROM Photos ORDER BY ID"),
             (QStringList{id + "|'MC-1'|'Group A'|'01'|1|2|3|4|5|6|7|8.5|0.3|'P01.jpg'|'D01.jpg'|'MC'|'LOP'|4.5|18.25|"
                               "'J'|'SB02'|NULL|0.45|1.34|260|75",
                          id + "|'MC-1'|''|''|0|0|0|0|0|0|0|0|0|NULL|NULL|NULL|NULL|0|0|NULL|NULL|NULL|0|0|0|0"}));
    // The change counter holds the imported photos, and still counts the next program's photo.
    const QString counter = "SELECT PhotoCount FROM BookVersions WHERE BookID = " + id;
    QCOMPARE(rows(dir, counter), QStringList{"2"});
    dir.addPhoto(outcome->bookId);
    QCOMPARE(rows(dir, counter), QStringList{"3"});
}

void InstallTest::valuesComeBackExactly_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("tab inside quotes") << QByteArray("\"a\tb\"") << "a\tb";
    QTest::newRow("backslashes") << QByteArray("\"C:\\x\\\\y\\\"") << "C:\\x\\\\y\\";
    QTest::newRow("text that reads as NULL in COPY") << QByteArray("\"\\N\"") << "\\N";
    QTest::newRow("end-of-data marker of COPY") << QByteArray("\"\\.\"") << "\\.";
    QTest::newRow("apostrophes and SQL") << QByteArray("\"O'Brien's'); DROP TABLE Photos; --\"")
                                         << "O'Brien's'); DROP TABLE Photos; --";
    QTest::newRow("UTF-8 letters") << QByteArray("\"Caf\xc3\xa9 \xc3\x98st \xe2\x82\xac \xf0\x9f\x8c\xb2\"")
                                   << QString::fromUtf8("Café Øst € 🌲");
    QTest::newRow("Windows-1252 letters")
        << QByteArray("\"Caf\xe9 \xd8st \x80 \x93q\x94\"") << QString::fromUtf8("Café Øst € “q”");
    QTest::newRow("unquoted with inner blanks") << QByteArray("  a  b\t ") << "a  b";
}

// Texts come back as the file has them (after the reader's decoding), whatever COPY or SQL
// treats specially; numbers come back as the very doubles the file writes.
void InstallTest::valuesComeBackExactly()
{
    QFETCH(QByteArray, field);
    QFETCH(QString, text);
    ProgramDir dir;
    const QByteArray numbers[] = {"0.1",
                                  "1e-7",
                                  "123456789.12345679",
                                  "2.2250738585072014e-308",
                                  "-0.30000000000000004",
                                  "1.7976931348623157e308"};
    QByteArray header = "\"Exact\"," + field + "," + field + "," + field + "," + numbers[0];
    for (int i = 1; i < 6; ++i)
        header += "," + numbers[i];
    QByteArray photo = "\"X\"," + field + "," + field;
    for (int i = 0; i < 9; ++i)
        photo += "," + numbers[i % 6];
    photo += "," + field + "," + field + "," + field + "," + field + ",1,2," + field + "," + field;
    for (int i = 0; i < 4; ++i)
        photo += "," + numbers[(i + 2) % 6];
    QVERIFY(dir.writeFile("x.bks", header + "\r\n" + photo + "\r\n"));
    const auto outcome = library::importBookFile(dir.store().db(), dir.filePath("x.bks"));
    QVERIFY2(outcome.ok(), qPrintable(outcome.error()));

    const QString date = library::bookDateFromHeader(text);
    QSqlQuery q(dir.store().db());
    QVERIFY(q.exec("SELECT BookDescription, BookDate, BookNotes, Breakinches1, Breakinches2, Breakinches3, "
                   "BreakInches4, BreakInches5, BreakInches6 FROM Books"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), text);
    QCOMPARE(q.value(1).toString(), date);
    QCOMPARE(q.value(2).toString(), text);
    // QCOMPARE of doubles allows a little difference; seventeen digits tell every double apart.
    const auto exact = [](double value) { return QString::number(value, 'g', 17); };
    for (int i = 0; i < 6; ++i)
        QCOMPARE(exact(q.value(3 + i).toDouble()), exact(numbers[i].toDouble()));
    QVERIFY(q.exec("SELECT GroupLabel, PhotoLabel, PhotoPic, DataPic, VegType, Activity, DangerRatingFM, "
                   "FireBehaveFM, TonsPerAcreBreak1, TonsPerAcreBreak2, TonsPerAcreBreak3, TonsPerAcreBreak4, "
                   "TonsPerAcreBreak5, TonsPerAcreBreak6, TonsPerAcreBreak7, AverageFuelbedDepth, AverageDuffDepth, "
                   "HerbTonsPerAcre, WoodyTonsPerAcre, TreesPerAcre, CanopyClosure FROM Photos"));
    QVERIFY(q.next());
    for (int i = 0; i < 8; ++i)
        QCOMPARE(q.value(i).toString(), text);
    for (int i = 0; i < 9; ++i)
        QCOMPARE(exact(q.value(8 + i).toDouble()), exact(numbers[i % 6].toDouble()));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(exact(q.value(17 + i).toDouble()), exact(numbers[(i + 2) % 6].toDouble()));
}

void InstallTest::headerOnlyFileImportsBookWithoutPhotos()
{
    ProgramDir dir;
    QVERIFY(dir.writeFile("h.bks", header("Only", "") + "\r\n"));
    const auto outcome = library::importBookFile(dir.store().db(), dir.filePath("h.bks"));
    QVERIFY2(outcome.ok(), qPrintable(outcome.error()));
    QCOMPARE(rows(dir, "SELECT BookDescription, BookDate, BookNotes FROM Books WHERE BookLabel = 'Only'"),
             QStringList{"'Description'|NULL|NULL"});
    QCOMPARE(dir.scalar("SELECT count(*) FROM Photos"), QVariant(0));
    // An empty path is no file.
    QVERIFY(library::importBookFile(dir.store().db(), QString()).is(store::FailureKind::Io));
}

void InstallTest::shippedSampleBooksImport()
{
    ProgramDir dir;
    const QDir samples(PHOTOSERIES_DATA_DIR "/Books");
    const QStringList files = samples.entryList({"*.bks"}, QDir::Files);
    QVERIFY(!files.isEmpty());
    for (const QString &name : files) {
        const auto outcome = library::importBookFile(dir.store().db(), samples.filePath(name));
        QVERIFY2(outcome.ok(), qPrintable(outcome.error()));
        QVERIFY(outcome->photos > 0);
    }
}

void InstallTest::headerDate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored");
    QTest::newRow("year with blanks") << " 1998 "
                                      << "1998";
    QTest::newRow("month/day/year") << "06/15/1998"
                                    << "1998";
    QTest::newRow("m/d/yyyy") << "6/5/2003"
                              << "2003";
    QTest::newRow("year-month-day") << "1998-06-15"
                                    << "1998";
    QTest::newRow("other text keeps four characters") << " June 1998"
                                                      << "June";
    QTest::newRow("two-digit year") << "06/15/98"
                                    << "06/1";
    QTest::newRow("short") << "98"
                           << "98";
    QTest::newRow("blank is unset") << "   " << QString();
}

void InstallTest::headerDate()
{
    QFETCH(QString, text);
    QFETCH(QString, stored);
    QCOMPARE(library::bookDateFromHeader(text), stored);
    QCOMPARE(library::bookDateFromHeader(text).isNull(), stored.isNull());
}

void InstallTest::sameLabelIsRefused_data()
{
    QTest::addColumn<QByteArray>("second");
    QTest::newRow("same file") << QByteArray("MC-1");
    QTest::newRow("other letter case") << QByteArray("mc-1");
    QTest::newRow("blanks around") << QByteArray(" MC-1 ");
}

void InstallTest::sameLabelIsRefused()
{
    QFETCH(QByteArray, second);
    ProgramDir dir;
    QVERIFY(dir.writeFile("a.bks", kHeader + kPhoto1));
    QVERIFY(dir.writeFile("b.bks", header(second) + photos(3)));
    QCOMPARE(library::importBookFile(dir.store().db(), dir.filePath("a.bks")).error(), QString());
    const QString before = snapshot(dir);
    const auto outcome = library::importBookFile(dir.store().db(), dir.filePath("b.bks"));
    QVERIFY(outcome.is(store::FailureKind::Duplicate));
    QCOMPARE(outcome.error(), "The Book " + QString(second).trimmed() + " is already imported");
    QCOMPARE(snapshot(dir), before);
}

void InstallTest::bookLabelIsTrimmedAndPhotoFieldsKeptAsWritten()
{
    ProgramDir dir;
    QVERIFY(dir.writeFile(
        "t.bks", header("  MC-2 ") + "\"X\",\" G \",\"a/b:c\",1,2,3,4,5,6,7,8,9,\"x/y.jpg\",\" d.jpg\",\"MC\",\"LOP\","
                                     "1,2,\"J\",\"SB02\",1,2,3,4\n"));
    QCOMPARE(library::importBookFile(dir.store().db(), dir.filePath("t.bks")).error(), QString());
    QCOMPARE(dir.column("SELECT BookLabel FROM Books"), QVariantList{"MC-2"});
    QCOMPARE(dir.column("SELECT BookLabel || '|' || GroupLabel || '|' || PhotoLabel || '|' || PhotoPic || '|' || "
                        "DataPic FROM Photos"),
             QVariantList{"MC-2| G |a/b:c|x/y.jpg| d.jpg"});
}

void InstallTest::storeInUseIsReportedAsInUse_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<QString>("lock");
    QTest::newRow("other program writing") << false << "BEGIN IMMEDIATE";
    QTest::newRow("other program committing") << false << "BEGIN EXCLUSIVE";
    // The book row waits for the Books table; the photo rows' COPY for the Photos table.
    QTest::newRow("other program holding the books") << true << "LOCK TABLE Books IN EXCLUSIVE MODE";
    QTest::newRow("other program holding the photos") << true << "LOCK TABLE Photos IN EXCLUSIVE MODE";
}

void InstallTest::storeInUseIsReportedAsInUse()
{
    QFETCH(bool, server);
    QFETCH(QString, lock);
    ProgramDir dir;
    if (server != dir.onServer())
        QSKIP("a lock of the other kind of store");
    dir.addBook("Kept");
    dir.closeStore();
    QVERIFY(dir.writeFile("a.bks", header("New") + photos(2)));
    store::Store s(dir.storeLocation(), 100);
    QCOMPARE(s.open().error(), QString());
    store::Result<library::ImportedBook> outcome = store::fail(QString());
    {
        QSqlDatabase other =
            server ? testing::openPgUrl(dir.storeLocation(), "other") : QSqlDatabase::addDatabase("QSQLITE", "other");
        if (!server) {
            other.setDatabaseName(dir.storePath());
            QVERIFY(other.open());
        }
        QVERIFY2(other.isOpen(), qPrintable(other.lastError().text()));
        QSqlQuery hold(other);
        QVERIFY(!server || hold.exec("BEGIN"));
        QVERIFY(hold.exec(lock));
        outcome = library::importBookFile(s.db(), dir.filePath("a.bks"));
        QVERIFY(hold.exec("ROLLBACK"));
        other.close();
    }
    QSqlDatabase::removeDatabase("other");
    QVERIFY(outcome.is(store::FailureKind::InUse));
    QVERIFY2(outcome.error().contains("in use by another program; nothing was changed"), qPrintable(outcome.error()));
    QVERIFY2(!outcome.error().contains("refused"), qPrintable(outcome.error()));
    QCOMPARE(dir.column("SELECT BookLabel FROM Books"), QVariantList{"Kept"});
    // The connection is fit for the next file.
    QCOMPARE(library::importBookFile(s.db(), dir.filePath("a.bks")).error(), QString());
}

void InstallTest::unusableLabelIsRefused_data()
{
    QTest::addColumn<QByteArray>("label");
    QTest::addColumn<QString>("reason");
    QTest::newRow("empty") << QByteArray("") << "its book label is empty";
    QTest::newRow("untitled") << QByteArray("uNTITLED") << "has not been named";
    QTest::newRow("dot") << QByteArray(".") << "cannot name a book folder";
    QTest::newRow("dot dot") << QByteArray("..") << "cannot name a book folder";
    QTest::newRow("slash") << QByteArray("../etc") << "a folder name cannot hold";
    QTest::newRow("backslash") << QByteArray("a\\b") << "a folder name cannot hold";
    QTest::newRow("colon") << QByteArray("C:x") << "a folder name cannot hold";
    QTest::newRow("comma") << QByteArray("a,b") << "a folder name cannot hold";
    QTest::newRow("delete character") << QByteArray("a\x7f") << "a folder name cannot hold";
    QTest::newRow("untitled with blanks") << QByteArray(" Untitled ") << "has not been named";
}

void InstallTest::unusableLabelIsRefused()
{
    QFETCH(QByteArray, label);
    QFETCH(QString, reason);
    ProgramDir dir;
    dir.addBook("Kept");
    QVERIFY(dir.writeFile("bad.bks", header(label) + photos(2)));
    const QString before = snapshot(dir);
    const auto outcome = library::importBookFile(dir.store().db(), dir.filePath("bad.bks"));
    QVERIFY(!outcome.ok());
    QVERIFY2(outcome.error().contains(QDir::toNativeSeparators(dir.filePath("bad.bks"))), qPrintable(outcome.error()));
    QVERIFY2(outcome.error().contains(reason), qPrintable(outcome.error()));
    QCOMPARE(snapshot(dir), before);
}

void InstallTest::brokenFileLeavesStoreAsItWas_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("where");
    const QByteArray good = header("Broken") + photos(5);
    QTest::newRow("last line cut short") << good + "\"X\",\"G\",\"P\",1,2\n"
                                         << "Line 7, field 6: the record ends";
    QTest::newRow("letter in a number") << good + photos(1).replace(",7,", ",7x,") << "Line 7, field 10: \"7x\"";
    QTest::newRow("quote in a quoted field") << good + "\"X\",\"G\"\"\",\"P\"\n"
                                             << "Line 7, field 2: a double quote";
    QTest::newRow("header cut short") << QByteArray("\"Broken\",\"D\"\n") << "Line 1, field 3";
    QTest::newRow("empty file") << QByteArray() << "holds no book header";
    // Far enough in that rows have already gone to the store.
    QTest::newRow("fault after a megabyte of rows") << header("Broken") + photos(20000) + "\"X\",\"G\"\n"
                                                    << "Line 20002, field 3: the record ends";
}

void InstallTest::brokenFileLeavesStoreAsItWas()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, where);
    ProgramDir dir;
    dir.addPhoto(dir.addBook("Kept"));
    QVERIFY(dir.writeFile("broken.bks", bytes));
    const QString before = snapshot(dir);
    const auto outcome = library::importBookFile(dir.store().db(), dir.filePath("broken.bks"));
    QVERIFY(!outcome.ok());
    QVERIFY2(outcome.error().contains(where), qPrintable(outcome.error()));
    QVERIFY(outcome.error().contains("broken.bks"));
    QCOMPARE(snapshot(dir), before);

    // A missing file is reported the same way.
    const auto missing = library::importBookFile(dir.store().db(), dir.filePath("none.bks"));
    QVERIFY(!missing.ok());
    QVERIFY(missing.error().contains("none.bks"));

    // The store takes the next file as usual.
    QVERIFY(dir.writeFile("good.bks", header("Good") + photos(3)));
    const auto next = library::importBookFile(dir.store().db(), dir.filePath("good.bks"));
    QVERIFY2(next.ok(), qPrintable(next.error()));
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Photos").toInt(), 4);
}

void InstallTest::cancelRollsBackTheFile()
{
    ProgramDir dir;
    dir.addPhoto(dir.addBook("Kept"));
    // Cancelled after more than a megabyte of rows, so that some have gone to the store.
    QVERIFY(dir.writeFile("big.bks", header("Big") + photos(10 * int(library::kProgressEvery))));
    const QString before = snapshot(dir);
    CancelAfter cancel(8);
    const auto outcome = library::importBookFile(dir.store().db(), dir.filePath("big.bks"), &cancel);
    QVERIFY(outcome.is(store::FailureKind::Cancelled));
    QCOMPARE(cancel.calls, 8);
    QCOMPARE(snapshot(dir), before);
    // The same file imports whole afterwards.
    QCOMPARE(library::importBookFile(dir.store().db(), dir.filePath("big.bks")).error(), QString());
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Photos").toInt(), 1 + 10 * int(library::kProgressEvery));
}

void InstallTest::windowCreatesBooksFolder_data()
{
    QTest::addColumn<QString>("existing");
    QTest::addColumn<QString>("folder");
    QTest::newRow("none") << QString() << "Books";
    QTest::newRow("lower case") << "books"
                                << "books";
}

void InstallTest::windowCreatesBooksFolder()
{
    QFETCH(QString, existing);
    QFETCH(QString, folder);
    ProgramDir dir;
    if (!existing.isEmpty())
        QVERIFY(QDir(dir.path()).mkdir(existing));
    Window w(dir);
    QCOMPARE(w.window.windowTitle(), QString("Import Books"));
    QCOMPARE(w.window.folder(), QDir(dir.path()).absoluteFilePath(folder));
    QVERIFY(QFileInfo(dir.filePath(folder)).isDir());
    QCOMPARE(QDir(dir.path()).entryList({"books"}, QDir::Dirs).size(), 1);
}

void InstallTest::importButtonFollowsSelection()
{
    ProgramDir dir;
    QDir(dir.path()).mkdir("Books");
    QVERIFY(dir.writeFile("Books/a.bks", header("A")));
    QVERIFY(dir.writeFile("Books/notes.txt", "x"));
    Window w(dir);
    QCOMPARE(w.files()->count(), 1);
    QVERIFY(w.open()->isEnabled());
    QVERIFY(w.select({"a.bks"}));
    QVERIFY(w.open()->isEnabled());
    w.files()->clearSelection();
    QVERIFY(!w.open()->isEnabled());
    // Pressing Import with nothing selected imports nothing but still closes.
    w.open()->setEnabled(true);
    w.open()->click();
    QCOMPARE(w.window.result(), int(QDialog::Accepted));
    QCOMPARE(dir.scalar("SELECT count(*) FROM Books"), QVariant(0));
}

void InstallTest::importsSelectedFilesAndReportsDuplicate()
{
    ProgramDir dir;
    dir.addBook("Dup");
    const QString elsewhere = dir.filePath("elsewhere");
    QDir().mkpath(elsewhere);
    QVERIFY(dir.writeFile("elsewhere/1.bks", header("One") + photos(2)));
    QVERIFY(dir.writeFile("elsewhere/2.bks", header("DUP") + photos(2)));
    QVERIFY(dir.writeFile("elsewhere/3.bks", header("Three") + photos(1)));
    QVERIFY(dir.writeFile("elsewhere/4.bks", header("Four")));
    Window w(dir);
    w.window.setFolder(elsewhere);
    QCOMPARE(w.files()->count(), 4);
    QVERIFY(w.select({"1.bks", "2.bks", "3.bks"}));
    w.open()->click();
    QCOMPARE(w.messages.texts(), QStringList{"The Book DUP is already imported"});
    QCOMPARE(w.messages.last().message.icon, ui::Icon::None);
    QCOMPARE(dir.column("SELECT BookLabel FROM Books ORDER BY BookLabel"), (QVariantList{"Dup", "One", "Three"}));
    QCOMPARE(dir.scalar("SELECT count(*) FROM Photos"), QVariant(3));
    QCOMPARE(w.window.result(), int(QDialog::Accepted));
}

void InstallTest::catalogueImportRecountsAfterwards()
{
    ProgramDir dir;
    QDir(dir.path()).mkdir("Books");
    QVERIFY(dir.writeFile("Books/a.bks", header("Alpha") + photos(4)));
    ScriptedMessages messages;
    catalogue::AppContext context{dir.path(), &messages, &dir.settings()};
    context.storeLocation = dir.storeLocation();
    catalogue::CatalogueWindow window(context);
    QVERIFY(window.load());
    bool seen = false;
    QTimer::singleShot(0, this, [&] {
        auto *files = qobject_cast<install::ImportWindow *>(QApplication::activeModalWidget());
        QVERIFY(files);
        seen = true;
        files->findChild<QListWidget *>("filBook")->item(0)->setSelected(true);
        emit files->findChild<QListWidget *>("filBook")->itemDoubleClicked(
            files->findChild<QListWidget *>("filBook")->item(0));
    });
    const QAbstractItemModel *grid = window.findChild<QTableView *>("grdBooks")->model();
    QSignalSpy requeries(grid, &QAbstractItemModel::modelReset);
    window.findChild<QPushButton *>("cmdImport")->click();
    QVERIFY(seen);
    QCOMPARE(messages.count(), 0);
    QCOMPARE(requeries.count(), 1); // one recount, one re-query
    QCOMPARE(grid->rowCount(), 1);
    QCOMPARE(dir.scalar("SELECT NumOfPhotos FROM Books WHERE BookLabel = 'Alpha'"), QVariant(4));
}

void InstallTest::progressCancelSkipsRemainingFiles()
{
    ProgramDir dir;
    QDir(dir.path()).mkdir("Books");
    QByteArray big = header("Big");
    while (big.size() <= install::ImportWindow::kProgressFromBytes)
        big += photos(int(library::kProgressEvery));
    QVERIFY(dir.writeFile("Books/a-big.bks", big));
    QVERIFY(dir.writeFile("Books/b-small.bks", header("Small") + photos(1)));
    Window w(dir);
    QVERIFY(w.select({"a-big.bks", "b-small.bks"}));
    // Cancel as soon as the progress dialog shows.
    bool cancelled = false;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&] {
        if (auto *progress = w.window.findChild<QProgressDialog *>("prgImport")) {
            progress->cancel();
            cancelled = true;
        }
    });
    timer.start(0);
    w.open()->click();
    QVERIFY(cancelled);
    QCOMPARE(dir.scalar("SELECT count(*) FROM Books"), QVariant(0));
    QCOMPARE(dir.scalar("SELECT count(*) FROM Photos"), QVariant(0));
    QCOMPARE(w.messages.count(), 0);
}

QTEST_MAIN(InstallTest)
#include "tst_install.moc"
