#include "TestSupport.h"

#include "store/BookList.h"
#include "store/BookRecord.h"
#include "store/ImageRoot.h"
#include "store/ProgramDir.h"
#include "store/Schema.h"
#include "store/YesNo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QUrl>

using testing::ProgramDir;

namespace {

// The schema as the program has made it since the first version: the exact CREATE statements
// (column order, types, collations, defaults and the spellings Breakinches1, BreakInches4 and
// builtby), the columns as SQLite reads them, and the indexes with their collations. A store
// made by a later version of the code must be exactly this, or a user's file would differ.
const char *const kBooksSql = R"(CREATE TABLE Books (
    ID INTEGER PRIMARY KEY,
    BookLabel TEXT COLLATE NOCASE,
    BookDescription TEXT COLLATE NOCASE,
    BookDate TEXT COLLATE NOCASE,
    BookNotes TEXT COLLATE NOCASE,
    builtby TEXT COLLATE NOCASE,
    Breakinches1 REAL,
    Breakinches2 REAL,
    Breakinches3 REAL,
    BreakInches4 REAL,
    BreakInches5 REAL,
    BreakInches6 REAL,
    Active INTEGER DEFAULT 0,
    Locked INTEGER DEFAULT 0,
    NumOfPhotos INTEGER DEFAULT 0
))";

const char *const kPhotosSql = R"(CREATE TABLE Photos (
    ID INTEGER PRIMARY KEY,
    BookID INTEGER,
    BookLabel TEXT COLLATE NOCASE,
    PhotoLabel TEXT COLLATE NOCASE,
    GroupLabel TEXT COLLATE NOCASE,
    TonsPerAcreBreak1 REAL,
    TonsPerAcreBreak2 REAL,
    TonsPerAcreBreak3 REAL,
    TonsPerAcreBreak4 REAL,
    TonsPerAcreBreak5 REAL,
    TonsPerAcreBreak6 REAL,
    TonsPerAcreBreak7 REAL,
    HerbTonsPerAcre REAL,
    WoodyTonsPerAcre REAL,
    AverageFuelbedDepth REAL,
    AverageDuffDepth REAL,
    VegType TEXT COLLATE NOCASE,
    Activity TEXT COLLATE NOCASE,
    FireBehaveFM TEXT COLLATE NOCASE,
    FireBehaveFM2 TEXT COLLATE NOCASE,
    DangerRatingFM TEXT COLLATE NOCASE,
    TreesPerAcre REAL,
    CanopyClosure REAL,
    PhotoPic TEXT COLLATE NOCASE,
    DataPic TEXT COLLATE NOCASE,
    Oto3FL REAL,
    TotalFL REAL
))";

// cid|name|type|notnull|dflt_value|pk, as PRAGMA table_info reports them.
const QStringList kBooksColumns{
    "0|ID|INTEGER|0||1",        "1|BookLabel|TEXT|0||0",    "2|BookDescription|TEXT|0||0", "3|BookDate|TEXT|0||0",
    "4|BookNotes|TEXT|0||0",    "5|builtby|TEXT|0||0",      "6|Breakinches1|REAL|0||0",    "7|Breakinches2|REAL|0||0",
    "8|Breakinches3|REAL|0||0", "9|BreakInches4|REAL|0||0", "10|BreakInches5|REAL|0||0",   "11|BreakInches6|REAL|0||0",
    "12|Active|INTEGER|0|0|0",  "13|Locked|INTEGER|0|0|0",  "14|NumOfPhotos|INTEGER|0|0|0"};
const QStringList kPhotosColumns{"0|ID|INTEGER|0||1",
                                 "1|BookID|INTEGER|0||0",
                                 "2|BookLabel|TEXT|0||0",
                                 "3|PhotoLabel|TEXT|0||0",
                                 "4|GroupLabel|TEXT|0||0",
                                 "5|TonsPerAcreBreak1|REAL|0||0",
                                 "6|TonsPerAcreBreak2|REAL|0||0",
                                 "7|TonsPerAcreBreak3|REAL|0||0",
                                 "8|TonsPerAcreBreak4|REAL|0||0",
                                 "9|TonsPerAcreBreak5|REAL|0||0",
                                 "10|TonsPerAcreBreak6|REAL|0||0",
                                 "11|TonsPerAcreBreak7|REAL|0||0",
                                 "12|HerbTonsPerAcre|REAL|0||0",
                                 "13|WoodyTonsPerAcre|REAL|0||0",
                                 "14|AverageFuelbedDepth|REAL|0||0",
                                 "15|AverageDuffDepth|REAL|0||0",
                                 "16|VegType|TEXT|0||0",
                                 "17|Activity|TEXT|0||0",
                                 "18|FireBehaveFM|TEXT|0||0",
                                 "19|FireBehaveFM2|TEXT|0||0",
                                 "20|DangerRatingFM|TEXT|0||0",
                                 "21|TreesPerAcre|REAL|0||0",
                                 "22|CanopyClosure|REAL|0||0",
                                 "23|PhotoPic|TEXT|0||0",
                                 "24|DataPic|TEXT|0||0",
                                 "25|Oto3FL|REAL|0||0",
                                 "26|TotalFL|REAL|0||0"};

// Every row of a query, its values joined by "|" (null as empty).
QStringList rowsOf(const QSqlDatabase &db, const QString &sql)
{
    QStringList rows;
    QSqlQuery q(db);
    if (!q.exec(sql)) {
        QTest::qFail(qPrintable(sql), __FILE__, __LINE__);
        return rows;
    }
    while (q.next()) {
        QStringList values;
        for (int i = 0; i < q.record().count(); ++i)
            values << (q.isNull(i) ? QString() : q.value(i).toString());
        rows << values.join(QLatin1Char('|'));
    }
    return rows;
}

} // namespace

class StoreTest : public QObject
{
    Q_OBJECT

private slots:
    void installedCopyKeepsItsLibraryInTheUsersFolder();
    void freshDirectoryGetsFullSchema();
    void newStoreHasExactlyTheFirstVersionsSchema();
    void textAndNamesCompareWithoutCase();
    void labelsCompareWithoutCaseInAStoreMadeElsewhere();
    void filesThatAreNotOurStoreAreLeftAlone_data();
    void filesThatAreNotOurStoreAreLeftAlone();
    void serverThatIsNotOursOrNotThereIsLeftAlone();
    void serverRoleThatMayOnlyReadAndWriteTheTablesIsEnough();
    void recountSetsEveryBooksCount();
    void changeCounterSeesEveryWriteToABook();
    void storeWithoutChangeCounterIsReadAndGetsOneWhenWritten();
    void removeBookTakesItsPhotosByKey();
    void activeWritesTouchTheRightRows();
    void severalBooksAreRemovedOrActivatedWhole();
    void yesNoReadsAnyNonZeroAsTrue();
    void defaultImageRootFollowsFirstCdRom_data();
    void defaultImageRootFollowsFirstCdRom();
    void relativeImageRootMatchesFolderCase();
};

void StoreTest::freshDirectoryGetsFullSchema()
{
    ProgramDir dir;
    QVERIFY(!QFile::exists(dir.storePath()));
    store::Store &s = dir.store();
    QCOMPARE(QFile::exists(dir.storePath()), !dir.onServer());
    QCOMPARE(dir.scalar(dir.onServer() ? "SELECT MAX(Version) FROM SchemaVersion" : "PRAGMA user_version").toInt(),
             store::kSchemaVersion);

    // The server folds the declared names to lower case; users still see the declared ones.
    const auto fieldsOf = [&](const QString &table) {
        QStringList names;
        const QSqlRecord record = s.db().record(dir.onServer() ? table.toLower() : table);
        for (int i = 0; i < record.count(); ++i)
            names << record.fieldName(i);
        return names;
    };
    const auto folded = [&](QStringList names) {
        if (dir.onServer())
            std::transform(names.begin(), names.end(), names.begin(), [](const QString &n) { return n.toLower(); });
        return names;
    };
    QCOMPARE(fieldsOf("Books"), folded(store::bookFields()));
    QCOMPARE(fieldsOf("Photos"), folded(store::photoFields()));
    // A book's photos are found through an index, not by reading every photo.
    QSqlQuery plan(s.db());
    if (dir.onServer()) {
        QVERIFY(plan.exec("SET enable_seqscan = off"));
        QVERIFY(plan.exec("EXPLAIN SELECT ID FROM Photos WHERE BookID = 1") && plan.next());
        QVERIFY2(plan.value(0).toString().contains("photosbybook"), qPrintable(plan.value(0).toString()));
        QVERIFY(plan.exec("SET enable_seqscan = on"));
    } else {
        QVERIFY(plan.exec("EXPLAIN QUERY PLAN SELECT ID FROM Photos WHERE BookID = 1") && plan.next());
        QVERIFY2(plan.value(3).toString().startsWith("SEARCH"), qPrintable(plan.value(3).toString()));
    }

    const qint64 id = dir.addBook(QVariantMap{{"BookLabel", "A"}});
    QCOMPARE(dir.scalar(QString("SELECT Active FROM Books WHERE ID = %1").arg(id)).toInt(), 0);
    QCOMPARE(dir.scalar(QString("SELECT Locked FROM Books WHERE ID = %1").arg(id)).toInt(), 0);
    QCOMPARE(dir.scalar(QString("SELECT NumOfPhotos FROM Books WHERE ID = %1").arg(id)).toInt(), 0);

    // Reopening an existing store keeps its rows.
    dir.closeStore();
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Books").toInt(), 1);
}

void StoreTest::newStoreHasExactlyTheFirstVersionsSchema()
{
    ProgramDir dir;
    const QSqlDatabase db = dir.store().db();
    if (dir.onServer()) {
        // Numbers are eight-byte floats as in the file, keys 64-bit, texts case-blind.
        QStringList columns;
        for (const QString &row :
             rowsOf(db, "SELECT table_name, column_name, data_type, collation_name "
                        "FROM information_schema.columns WHERE table_schema = current_schema() "
                        "AND table_name IN ('books', 'photos') ORDER BY table_name, ordinal_position"))
            columns << row;
        QCOMPARE(columns.size(), int(store::bookFields().size() + store::photoFields().size()));
        QVERIFY(columns.contains("books|id|bigint|"));
        QVERIFY(columns.contains("books|booklabel|text|nocase"));
        QVERIFY(columns.contains("books|breakinches4|double precision|"));
        QVERIFY(columns.contains("photos|bookid|bigint|"));
        QVERIFY(columns.contains("photos|totalfl|double precision|"));
        QCOMPARE(rowsOf(db, "SELECT indexname FROM pg_indexes WHERE schemaname = current_schema() "
                            "AND indexname LIKE '%by%' ORDER BY indexname"),
                 QStringList({"booksbylabel", "photosbybook"}));
        // Labels are unique under the same rule as in a file: ASCII letters without regard to case.
        QCOMPARE(rowsOf(db, "SELECT indexdef FROM pg_indexes WHERE indexname = 'bookslabelunique'").size(), 1);
        return;
    }
    // The change counter is a table and triggers of its own (changeCounterSeesEveryWriteToABook).
    QCOMPARE(rowsOf(db, "SELECT type, name, tbl_name, sql FROM sqlite_master WHERE name NOT LIKE 'BookVersions%' "
                        "ORDER BY name"),
             QStringList({QStringLiteral("table|Books|Books|") + kBooksSql,
                          "index|BooksByLabel|Books|CREATE INDEX BooksByLabel ON Books(BookLabel)",
                          QStringLiteral("index|BooksLabelUnique|Books|CREATE UNIQUE INDEX BooksLabelUnique ON "
                                         "Books(BookLabel COLLATE NOCASE)"),
                          QStringLiteral("table|Photos|Photos|") + kPhotosSql,
                          "index|PhotosByBook|Photos|CREATE INDEX PhotosByBook ON Photos(BookID)"}));
    QCOMPARE(rowsOf(db, "PRAGMA table_info(Books)"), kBooksColumns);
    QCOMPARE(rowsOf(db, "PRAGMA table_info(Photos)"), kPhotosColumns);
    // seqno|cid|name|desc|collation|key: the label index orders without case, as the column does.
    QCOMPARE(rowsOf(db, "PRAGMA index_xinfo(BooksByLabel)"),
             QStringList({"0|1|BookLabel|0|NOCASE|1", "1|-1||0|BINARY|0"}));
    QCOMPARE(rowsOf(db, "PRAGMA index_xinfo(PhotosByBook)"),
             QStringList({"0|1|BookID|0|BINARY|1", "1|-1||0|BINARY|0"}));
    QCOMPARE(rowsOf(db, "PRAGMA user_version"), QStringList({"1"}));
}

void StoreTest::textAndNamesCompareWithoutCase()
{
    ProgramDir dir;
    dir.addBook(QVariantMap{{"BookLabel", "beta"}});
    dir.addBook(QVariantMap{{"BookLabel", "Alpha"}});
    const qint64 gamma = dir.addBook(QVariantMap{{"BookLabel", "GAMMA"}});
    dir.addPhoto(gamma, {{"PhotoLabel", "p1"}});

    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM books WHERE booklabel = 'gamma'").toInt(), 1);
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Photos WHERE Bookid = (SELECT id FROM BOOKS WHERE BookLabel = 'Gamma')")
                 .toInt(),
             1);
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Photos WHERE PhotoLabel = 'P1'").toInt(), 1);

    const auto rows = store::loadBookList(dir.store().db());
    QCOMPARE(rows.error(), QString());
    QStringList labels;
    for (const auto &r : *rows)
        labels << r.label;
    QCOMPARE(labels, (QStringList{"Alpha", "beta", "GAMMA"}));

    QCOMPARE(*store::booksWithLabel(dir.store().db(), "gamma", 0), QVector<qint64>{gamma});
    QCOMPARE(*store::booksWithLabel(dir.store().db(), "gamma", gamma), QVector<qint64>{});
    // Labels with quotes are bound values, not SQL text.
    const auto quoted = store::booksWithLabel(dir.store().db(), "O'Brien \"x\"; DROP TABLE Books", 0);
    QCOMPARE(quoted.error(), QString());
    QVERIFY(quoted->isEmpty());
}

void StoreTest::labelsCompareWithoutCaseInAStoreMadeElsewhere()
{
    // Another tool made this file with plain text columns, without a case-blind collation.
    ProgramDir dir;
    if (dir.onServer())
        QSKIP("a store made by another tool is a file");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "elsewhere");
        db.setDatabaseName(dir.storePath());
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("CREATE TABLE Books (ID INTEGER PRIMARY KEY, BookLabel TEXT, BookDescription TEXT, "
                       "Active INTEGER, Locked INTEGER, NumOfPhotos INTEGER)"));
        QVERIFY(q.exec("CREATE TABLE Photos (ID INTEGER PRIMARY KEY, BookID INTEGER, BookLabel TEXT)"));
        QVERIFY(q.exec("INSERT INTO Books (BookLabel) VALUES ('beta'), ('Alpha'), ('GAMMA')"));
        db.close();
    }
    QSqlDatabase::removeDatabase("elsewhere");

    const auto rows = store::loadBookList(dir.store().db());
    QCOMPARE(rows.error(), QString());
    QStringList labels;
    for (const auto &r : *rows)
        labels << r.label;
    QCOMPARE(labels, (QStringList{"Alpha", "beta", "GAMMA"}));
    QCOMPARE(store::booksWithLabel(dir.store().db(), "gamma", 0)->size(), 1);
}

void StoreTest::filesThatAreNotOurStoreAreLeftAlone_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("sqlite");
    QTest::newRow("text file") << QByteArray("Standard Jet DB\0\0\0 not sqlite at all", 36) << false;
    QTest::newRow("truncated header") << QByteArray("SQLite format") << false;
    QTest::newRow("other database") << QByteArray() << true;
}

void StoreTest::filesThatAreNotOurStoreAreLeftAlone()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, sqlite);
    ProgramDir dir;
    if (sqlite) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "other");
        db.setDatabaseName(dir.storePath());
        QVERIFY(db.open());
        QSqlQuery(db).exec("CREATE TABLE Customers (Name TEXT)");
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("other");
    } else {
        QVERIFY(dir.writeFile("Photo3.mdb", bytes));
    }
    QFile file(dir.storePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    store::Store s(dir.storePath());
    const QString error = s.open().error();
    QVERIFY2(error.contains(QDir::toNativeSeparators(dir.storePath())), qPrintable(error));
    s.close();

    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

void StoreTest::serverThatIsNotOursOrNotThereIsLeftAlone()
{
    ProgramDir dir;
    if (!dir.onServer())
        QSKIP("a server store");
    const QUrl url(dir.storeLocation());
    {
        // Another program's table: the database is not ours, and nothing is created in it.
        QSqlDatabase other = testing::openPgUrl(dir.storeLocation(), "other");
        QVERIFY2(other.isOpen(), qPrintable(other.lastError().text()));
        QVERIFY(QSqlQuery(other).exec("CREATE TABLE Orders (ID INTEGER)"));
        store::Store s(dir.storeLocation());
        const auto opened = s.open();
        QVERIFY2(opened.error().contains("holds tables of another program"), qPrintable(opened.error()));
        QSqlQuery q(other);
        QVERIFY(q.exec("SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = current_schema()"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);
    }
    QSqlDatabase::removeDatabase("other");

    QUrl closed = url;
    closed.setPort(1);
    QUrl withPassword = url;
    withPassword.setPassword("secret");
    const struct
    {
        QUrl url;
        const char *said;
        bool asksPassword;
    } cases[] = {
        {closed, "cannot be reached", false},
        {withPassword, "is given with a password", false},
    };
    for (const auto &c : cases) {
        store::Store s(c.url.toString());
        const auto opened = s.open();
        QVERIFY2(opened.error().contains(c.said), qPrintable(opened.error()));
        QVERIFY(!opened.error().contains("secret"));
        QCOMPARE(opened.is(store::FailureKind::NeedsPassword), c.asksPassword);
    }
    store::Store refused(url.toString());
    refused.setPassword("wrong");
    const auto opened = refused.open();
    QVERIFY2(opened.error().contains("refused the login"), qPrintable(opened.error()));
    QVERIFY(opened.is(store::FailureKind::NeedsPassword));
}

void StoreTest::serverRoleThatMayOnlyReadAndWriteTheTablesIsEnough()
{
    ProgramDir dir;
    if (!dir.onServer())
        QSKIP("a server store");
    const qint64 book = dir.addBook("Shared");
    // The grants the README gives a team member's role.
    const QString role = QStringLiteral("crew_%1").arg(QCoreApplication::applicationPid());
    const QStringList grants{
        QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD 'crew-password'").arg(role),
        QStringLiteral("GRANT CONNECT ON DATABASE %1 TO %2").arg(QUrl(dir.storeLocation()).path().mid(1), role),
        QStringLiteral("GRANT USAGE ON SCHEMA public TO %1").arg(role),
        QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON Books, Photos TO %1").arg(role),
        QStringLiteral("GRANT USAGE, SELECT ON SEQUENCE books_id_seq, photos_id_seq TO %1").arg(role),
        QStringLiteral("GRANT SELECT ON SchemaVersion, BookVersions TO %1").arg(role)};
    QSqlQuery admin(dir.store().db());
    for (const QString &sql : grants)
        QVERIFY2(admin.exec(sql), qPrintable(admin.lastError().text()));
    {
        QUrl url(dir.storeLocation());
        url.setUserName(role);
        store::Store s(url.toString());
        s.setPassword("crew-password");
        QCOMPARE(s.open().error(), QString());
        const auto added = store::addBook(s.db(), QStringLiteral("Crew"));
        QCOMPARE(added.error(), QString());
        // Its writes raise the change counter, which it may read but not write itself.
        const auto version = store::readBookVersion(s.db(), *added);
        QCOMPARE(version.error(), QString());
        QVERIFY(!version->isNull());
        QCOMPARE(store::writeActive(s.db(), book, true).error(), QString());
        QCOMPARE(store::removeBook(s.db(), *added).error(), QString());
        QCOMPARE(s.recount().error(), QString());
        // It may not change the tables themselves.
        QVERIFY(!QSqlQuery(s.db()).exec("DROP TABLE Photos"));
    }
    QVERIFY(admin.exec(QStringLiteral("DROP OWNED BY %1").arg(role)));
    QVERIFY(admin.exec(QStringLiteral("DROP ROLE %1").arg(role)));
}

void StoreTest::recountSetsEveryBooksCount()
{
    ProgramDir dir;
    QCOMPARE(dir.store().recount().error(), QString()); // empty list
    const qint64 empty = dir.addBook(QVariantMap{{"BookLabel", "Empty"}, {"NumOfPhotos", 7}});
    const qint64 three = dir.addBook(QVariantMap{{"BookLabel", "Three"}});
    for (int i = 0; i < 3; ++i)
        dir.addPhoto(three);
    const qint64 uncounted = dir.addBook(QVariantMap{{"BookLabel", "Uncounted"}});
    dir.addPhoto(uncounted);
    dir.scalar(QString("UPDATE Books SET NumOfPhotos = NULL WHERE ID = %1").arg(uncounted));
    const qint64 right = dir.addBook(QVariantMap{{"BookLabel", "Right"}, {"NumOfPhotos", 2}});
    dir.addPhoto(right);
    dir.addPhoto(right);
    // The rows a statement rewrote: SQLite counts them; on the server a rewritten row gets a
    // new transaction id (xmin).
    const auto versions = [&] { return dir.column("SELECT CAST(xmin AS TEXT) FROM Books ORDER BY ID"); };
    const QVariantList before = dir.onServer() ? versions() : QVariantList();
    const auto rewritten = [&](const QVariantList &earlier) {
        if (!dir.onServer())
            return dir.scalar("SELECT changes()").toInt();
        const QVariantList now = versions();
        int count = 0;
        for (int i = 0; i < now.size(); ++i)
            count += now.at(i) != earlier.value(i) ? 1 : 0;
        return count;
    };
    QCOMPARE(dir.store().recount().error(), QString());
    // Only the three stale books were written.
    QCOMPARE(rewritten(before), 3);
    const QVariantList afterFirst = dir.onServer() ? versions() : QVariantList();
    QCOMPARE(dir.scalar(QString("SELECT NumOfPhotos FROM Books WHERE ID = %1").arg(empty)).toInt(), 0);
    QCOMPARE(dir.scalar(QString("SELECT NumOfPhotos FROM Books WHERE ID = %1").arg(three)).toInt(), 3);
    QCOMPARE(dir.scalar(QString("SELECT NumOfPhotos FROM Books WHERE ID = %1").arg(uncounted)).toInt(), 1);
    QCOMPARE(dir.scalar(QString("SELECT NumOfPhotos FROM Books WHERE ID = %1").arg(right)).toInt(), 2);
    QCOMPARE(dir.store().recount().error(), QString());
    QCOMPARE(rewritten(afterFirst), 0);
}

// Writes as another program makes them (plain statements, as a shell would): every one that
// changes what the editor shows of a book raises that book's counter, and only that book's.
void StoreTest::changeCounterSeesEveryWriteToABook()
{
    ProgramDir dir;
    const qint64 book = dir.addBook("A");
    const qint64 other = dir.addBook("B");
    dir.addPhoto(book, {{"PhotoLabel", "1"}});
    const auto version = [&](qint64 id) {
        const auto read = store::readBookVersion(dir.store().db(), id);
        return read ? read->toLongLong() : -1;
    };
    const QString a = QString::number(book);
    const struct
    {
        QString sql;
        bool raises;
    } writes[] = {
        {"INSERT INTO Photos (BookID, PhotoLabel) VALUES (" + a + ", '2')", true},
        {"UPDATE Photos SET GroupLabel = '' WHERE PhotoLabel = '2'", true},
        {"UPDATE Photos SET Oto3FL = 0 WHERE PhotoLabel = '1'", true},
        {"DELETE FROM Photos WHERE PhotoLabel = '2'", true},
        {"UPDATE Books SET BreakInches6 = 9 WHERE ID = " + a, true},
        {"UPDATE Books SET BookLabel = 'a' WHERE ID = " + a, true},
        // What the catalogue, the recount and other programs keep is not the book's content.
        {"UPDATE Books SET Active = -1, NumOfPhotos = 7, Locked = Locked WHERE ID = " + a, false},
        {"UPDATE Books SET NumOfPhotos = 0", false},
    };
    for (const auto &w : writes) {
        const qint64 before = version(book);
        const qint64 otherBefore = version(other);
        QVERIFY(before >= 0);
        QVERIFY2(QSqlQuery(dir.store().db()).exec(w.sql), qPrintable(w.sql));
        QVERIFY2((version(book) > before) == w.raises, qPrintable(w.sql));
        QCOMPARE(version(other), otherBefore);
    }
    // A deleted book's counter stays, raised, so that an editor holding it sees the change.
    const qint64 before = version(book);
    QVERIFY(QSqlQuery(dir.store().db()).exec("DELETE FROM Photos WHERE BookID = " + a));
    QVERIFY(QSqlQuery(dir.store().db()).exec("DELETE FROM Books WHERE ID = " + a));
    QVERIFY(version(book) > before);
    // Books and Photos keep exactly their columns: the counter lives in its own table.
    QCOMPARE(dir.store().db().record(dir.onServer() ? "books" : "Books").count(), int(store::bookFields().size()));
    QCOMPARE(dir.store().db().record(dir.onServer() ? "photos" : "Photos").count(), int(store::photoFields().size()));
}

void StoreTest::storeWithoutChangeCounterIsReadAndGetsOneWhenWritten()
{
    ProgramDir dir;
    const qint64 book = dir.addBook("A");
    dir.addPhoto(book);
    dir.dropChangeCounter();
    // The recount counts the photos itself.
    dir.scalar("UPDATE Books SET NumOfPhotos = 5");
    QCOMPARE(dir.store().recount().error(), QString());
    QCOMPARE(dir.scalar("SELECT NumOfPhotos FROM Books").toInt(), 1);
    const QString location = dir.storeLocation();
    dir.closeStore();
    {
        store::Store reader(location);
        QCOMPARE(reader.openReadOnly().error(), QString());
        QVERIFY(!store::readBookVersion(reader.db(), book));
        QCOMPARE(store::loadBookHeader(reader.db(), book).error(), QString());
    }
    // Opened for writing, the store gets the counter, the books already there included.
    store::Store writer(location);
    QCOMPARE(writer.open().error(), QString());
    const auto version = store::readBookVersion(writer.db(), book);
    QCOMPARE(version.error(), QString());
    QVERIFY(!version->isNull());
    QVERIFY(QSqlQuery(writer.db()).exec("DELETE FROM Photos"));
    QCOMPARE(store::readBookVersion(writer.db(), book)->toLongLong(), version->toLongLong() + 1);
}

void StoreTest::removeBookTakesItsPhotosByKey()
{
    ProgramDir dir;
    // Two unsaved books share the label "Untitled": removing one must not touch the other's photos.
    dir.allowEqualLabels();
    const qint64 first = dir.addBook(QVariantMap{{"BookLabel", "Untitled"}});
    const qint64 second = dir.addBook(QVariantMap{{"BookLabel", "Untitled"}});
    dir.addPhoto(first, {{"BookLabel", "Untitled"}});
    dir.addPhoto(second, {{"BookLabel", "Untitled"}});
    dir.addPhoto(second, {{"BookLabel", "Untitled"}});

    QCOMPARE(store::removeBook(dir.store().db(), first).error(), QString());
    QCOMPARE(dir.column("SELECT ID FROM Books"), QVariantList{second});
    QCOMPARE(dir.column("SELECT DISTINCT BookID FROM Photos"), QVariantList{second});
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Photos").toInt(), 2);
}

void StoreTest::activeWritesTouchTheRightRows()
{
    ProgramDir dir;
    const qint64 a = dir.addBook("A");
    const qint64 b = dir.addBook("B", /*locked*/ true);
    QCOMPARE(store::writeActive(dir.store().db(), a, true).error(), QString());
    QCOMPARE(dir.column("SELECT Active FROM Books ORDER BY ID"), (QVariantList{-1, 0}));
    QCOMPARE(store::writeAllActive(dir.store().db(), true).error(), QString());
    QCOMPARE(dir.column("SELECT Active FROM Books ORDER BY ID"), (QVariantList{-1, -1}));
    QCOMPARE(store::writeAllActive(dir.store().db(), false).error(), QString());
    QCOMPARE(dir.column("SELECT Active FROM Books ORDER BY ID"), (QVariantList{0, 0}));
    Q_UNUSED(b);
}

void StoreTest::severalBooksAreRemovedOrActivatedWhole()
{
    ProgramDir dir;
    const qint64 a = dir.addBook("A");
    const qint64 b = dir.addBook("B", false, true);
    const qint64 c = dir.addBook("C");
    for (qint64 book : {a, b, c})
        dir.addPhoto(book);
    // Only the books whose value changes are counted.
    const auto changed = store::writeActive(dir.store().db(), {a, b}, true);
    QCOMPARE(changed.error(), QString());
    QCOMPARE(*changed, 1);
    QCOMPARE(dir.column("SELECT Active FROM Books ORDER BY ID"), (QVariantList{-1, -1, 0}));

    QCOMPARE(store::removeBooks(dir.store().db(), {a, c}).error(), QString());
    QCOMPARE(dir.column("SELECT ID FROM Books"), QVariantList{b});
    QCOMPARE(dir.column("SELECT BookID FROM Photos"), QVariantList{b});
    if (dir.onServer())
        return;
    // A removal refused part way leaves every book as it was.
    const qint64 d = dir.addBook("D");
    QSqlQuery q(dir.store().db());
    QVERIFY(q.exec("CREATE TRIGGER keep BEFORE DELETE ON Books WHEN OLD.BookLabel = 'D' "
                   "BEGIN SELECT RAISE(ABORT, 'kept'); END"));
    QVERIFY(store::removeBooks(dir.store().db(), {b, d}).error().contains("kept"));
    QCOMPARE(dir.column("SELECT ID FROM Books ORDER BY ID"), (QVariantList{b, d}));
    QCOMPARE(dir.column("SELECT BookID FROM Photos"), QVariantList{b});
}

void StoreTest::yesNoReadsAnyNonZeroAsTrue()
{
    QVERIFY(store::fromYesNo(-1));
    QVERIFY(store::fromYesNo(1));
    QVERIFY(!store::fromYesNo(0));
    QVERIFY(!store::fromYesNo(QVariant()));
    QCOMPARE(store::toYesNo(true), -1);
    QCOMPARE(store::toYesNo(false), 0);
}

void StoreTest::defaultImageRootFollowsFirstCdRom_data()
{
    QTest::addColumn<QString>("cdDrives");
    QTest::addColumn<QString>("expected");
    QTest::newRow("none") << ""
                          << "photoimages/";
    QTest::newRow("D") << "D"
                       << "D:/photoimages/";
    QTest::newRow("E and F") << "EF"
                             << "E:/photoimages/";
}

void StoreTest::defaultImageRootFollowsFirstCdRom()
{
    QFETCH(QString, cdDrives);
    QFETCH(QString, expected);
    QCOMPARE(store::defaultImageRoot([&](QChar letter) { return cdDrives.contains(letter); }), expected);
    QCOMPARE(store::defaultImageRoot(store::noCdRomDrive), QString("photoimages/"));
}

void StoreTest::relativeImageRootMatchesFolderCase()
{
    ProgramDir dir;
    QVERIFY(QDir(dir.path()).mkpath("PhotoImages/Book One"));
    const QString root = QDir(dir.path()).filePath("PhotoImages");
    QCOMPARE(store::resolveImageRoot(dir.path(), "photoimages/"), root);
    QCOMPARE(store::resolveImageRoot(dir.path(), "PHOTOIMAGES/book one"), root + "/Book One");
    QCOMPARE(store::resolveImageRoot(dir.path(), root + "/"), root);
    // A folder that does not exist keeps its name as written.
    QCOMPARE(store::resolveImageRoot(dir.path(), "Missing/Deeper"), QDir(dir.path()).filePath("Missing/Deeper"));
}

void StoreTest::installedCopyKeepsItsLibraryInTheUsersFolder()
{
    ProgramDir dir;
    const QDir root(dir.path());
    QVERIFY(root.mkpath("prefix/bin") && root.mkpath("portable") && root.mkpath("prefix/share/photoseries/Books"));
    const QString shared = dir.filePath("prefix/share/photoseries");
    QVERIFY(dir.writeFile("prefix/share/photoseries/Vegcodes.txt", "\"ABC\",\"Shipped\"\r\n"));
    QVERIFY(dir.writeFile("prefix/share/photoseries/Books/MC-Demo.bks", "shipped sample"));
    const QString user = dir.filePath("home/.local/share/photoseries");

    // A build or a portable copy: beside the executable, nothing seeded.
    QCOMPARE(store::chooseProgramDir(dir.filePath("portable"), dir.filePath("portable/../share/photoseries"), user),
             dir.filePath("portable"));
    QVERIFY(!QFileInfo::exists(user));

    // Installed: the user's folder, created and seeded, and a file the user has is kept.
    QCOMPARE(store::chooseProgramDir(dir.filePath("prefix/bin"), shared, user), user);
    QFile mine(user + "/Vegcodes.txt");
    QVERIFY(mine.open(QIODevice::ReadOnly));
    QCOMPARE(mine.readAll(), QByteArray("\"ABC\",\"Shipped\"\r\n"));
    mine.close();
    QVERIFY(QFileInfo(user + "/Vegcodes.txt").isWritable());
    QVERIFY(QFileInfo::exists(user + "/Books/MC-Demo.bks"));
    QVERIFY(mine.open(QIODevice::WriteOnly | QIODevice::Append));
    mine.write("\"NEW\",\"Mine\"\r\n");
    mine.close();
    QCOMPARE(store::chooseProgramDir(dir.filePath("prefix/bin"), shared, user), user);
    QVERIFY(mine.open(QIODevice::ReadOnly));
    QVERIFY(mine.readAll().contains("Mine"));
}

QTEST_GUILESS_MAIN(StoreTest)
#include "tst_store.moc"
