#include "TestSupport.h"

#include "library/BookList.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using testing::ProgramDir;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A store holding a few books with photos, closed again.
[[nodiscard]] bool fillStore(ProgramDir &dir)
{
    CHECK(dir.store().db().transaction());
    for (int b = 0; b < 20; ++b) {
        const qint64 id = dir.addBook(QStringLiteral("Book %1").arg(b));
        for (int p = 0; p < 20; ++p)
            dir.addPhoto(id, {{"PhotoLabel", QString::number(p)}, {"GroupLabel", QString(200, QLatin1Char('x'))}});
    }
    CHECK(dir.store().db().commit());
    dir.closeStore();
    return true;
}

} // namespace

// Damaged, read-only and busy stores: each gets a message naming the file, and nothing is
// written to the file.
class StoreFaultsTest : public QObject
{
    Q_OBJECT

private slots:
    void damagedOrReadOnlyFileIsRefused_data();
    void damagedOrReadOnlyFileIsRefused();
    void busyStoreFailsWholeWithAMessage();
    void twoConnectionsShareTheStore();
};

void StoreFaultsTest::damagedOrReadOnlyFileIsRefused_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("says");
    QTest::newRow("truncated") << "truncated"
                               << "cut off";
    QTest::newRow("header only") << "header only"
                                 << "header";
    QTest::newRow("read-only file") << "read-only file"
                                    << "read-only";
    QTest::newRow("read-only folder") << "read-only folder"
                                      << "read-only";
}

void StoreFaultsTest::damagedOrReadOnlyFileIsRefused()
{
    QFETCH(QString, fault);
    QFETCH(QString, says);
    ProgramDir dir;
    QVERIFY(fillStore(dir));
    QFile file(dir.storePath());
    if (fault == "truncated") {
        QVERIFY(file.size() > qint64(3) * 4096);
        QVERIFY(file.resize(qint64(2) * 4096));
    } else if (fault == "header only") {
        QVERIFY(file.resize(50));
    } else if (fault == "read-only file") {
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::ReadGroup));
    } else {
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    }
    const QByteArray before = readAll(dir.storePath());

    store::Store s(dir.storePath());
    const QString error = s.open().error();
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY2(error.contains(QDir::toNativeSeparators(dir.storePath())), qPrintable(error));
    QVERIFY2(error.contains(says), qPrintable(error));
    s.close();
    QCOMPARE(readAll(dir.storePath()), before);
}

void StoreFaultsTest::busyStoreFailsWholeWithAMessage()
{
    ProgramDir dir;
    const qint64 book = dir.addBook("Held");
    dir.addPhoto(book);
    dir.closeStore();

    store::Store s(dir.storePath(), 100);
    QCOMPARE(s.open().error(), QString());

    // Another program holds the file for writing.
    {
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
        other.setDatabaseName(dir.storePath());
        QVERIFY(other.open());
        QSqlQuery hold(other);
        QVERIFY(hold.exec("BEGIN EXCLUSIVE"));

        const QString error = library::removeBook(s.db(), book).error();
        QVERIFY2(error.contains("in use by another program"), qPrintable(error));
        QVERIFY(!s.recount().ok());

        QVERIFY(hold.exec("ROLLBACK"));
        other.close();
    }
    QSqlDatabase::removeDatabase("other");

    // Nothing was half-done, and the store works again once the other program lets go.
    QSqlQuery q(s.db());
    QVERIFY(q.exec("SELECT (SELECT COUNT(*) FROM Books), (SELECT COUNT(*) FROM Photos)") && q.next());
    QCOMPARE(q.value(0).toInt(), 1);
    QCOMPARE(q.value(1).toInt(), 1);
    QCOMPARE(library::removeBook(s.db(), book).error(), QString());
}

void StoreFaultsTest::twoConnectionsShareTheStore()
{
    // Two copies of the program on one program directory both read and write.
    ProgramDir dir;
    dir.addBook("First");
    dir.closeStore();
    store::Store a(dir.storePath());
    store::Store b(dir.storePath());
    QCOMPARE(a.open().error(), QString());
    QCOMPARE(b.open().error(), QString());
    QCOMPARE(library::writeAllActive(a.db(), true).error(), QString());
    const auto rows = library::loadBookList(b.db());
    QCOMPARE(rows->size(), 1);
    QVERIFY(rows->first().active);
    QCOMPARE(library::writeAllActive(b.db(), false).error(), QString());
    QVERIFY(!library::loadBookList(a.db())->first().active);
}

QTEST_GUILESS_MAIN(StoreFaultsTest)
#include "tst_storefaults.moc"
