#include "PgTestSupport.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QUrl>

#include <optional>

using testing::PgDatabase;

namespace {

// Sets or removes an environment variable for one scope, then puts back what was there.
class EnvironmentOverride
{
public:
    EnvironmentOverride(const char *name, const std::optional<QByteArray> &value)
        : m_name(name)
        , m_old(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt)
    {
        set(value);
    }
    ~EnvironmentOverride() { set(m_old); }
    EnvironmentOverride(const EnvironmentOverride &) = delete;
    EnvironmentOverride &operator=(const EnvironmentOverride &) = delete;

private:
    void set(const std::optional<QByteArray> &value)
    {
        if (value)
            qputenv(m_name, *value);
        else
            qunsetenv(m_name);
    }

    const char *m_name;
    std::optional<QByteArray> m_old;
};

// The values of the first column of a query, or the error as the only value.
QStringList column(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery query(db);
    if (!query.exec(sql))
        return {QStringLiteral("error: ") + query.lastError().text()};
    QStringList out;
    while (query.next())
        out << query.value(0).toString();
    return out;
}

// The values of the first row of a query, or the error as the only value.
QStringList row(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery query(db);
    if (!query.exec(sql))
        return {QStringLiteral("error: ") + query.lastError().text()};
    QStringList out;
    if (query.next()) {
        for (int i = 0; i < query.record().count(); ++i)
            out << query.value(i).toString();
    }
    return out;
}

// Opens the URL under a connection name, returns the error text (empty when it opened) and
// removes the connection again.
QString connectionError(const QString &url)
{
    QString error;
    {
        const QSqlDatabase db = testing::openPgUrl(url, QStringLiteral("probe"));
        error = db.isOpen() ? QString() : db.lastError().text();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("probe"));
    return error;
}

} // namespace

// The test server that the PostgreSQL variants of the suites run on (tests/support/pg-server.sh
// and PgTestSupport): fresh databases per test, the case-blind collation the store needs, and
// the error texts by which the program tells a missing password from other connection failures.
class PgServerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void freshDatabasesAreEmptySeparateAndDropped();
    void nocaseCollationIgnoresLetterCase();
    void connectionFailuresSayWhy_data();
    void connectionFailuresSayWhy();
};

void PgServerTest::initTestCase()
{
    if (!testing::testingOnPostgres())
        QSKIP("checks the test server: runs as tst_pgserver_pg");
    QString error;
    QVERIFY2(!testing::pgServerUrl(&error).isEmpty(), qPrintable(error));
}

// Each test's database starts empty, sees nothing of another's, and is dropped at the end of the
// test even while a connection to it is still open (a test that failed half-way leaves one).
void PgServerTest::freshDatabasesAreEmptySeparateAndDropped()
{
    QStringList names;
    {
        PgDatabase first;
        QVERIFY2(first.isValid(), qPrintable(first.error()));
        PgDatabase second;
        QVERIFY2(second.isValid(), qPrintable(second.error()));
        names << first.name() << second.name();
        QVERIFY(first.name() != second.name());

        const QUrl url(first.url());
        QCOMPARE(url.scheme(), QStringLiteral("postgresql"));
        QCOMPARE(url.userName(), QStringLiteral("photoseries"));
        QCOMPARE(url.host(), QStringLiteral("127.0.0.1"));
        QCOMPARE(url.port(), QUrl(testing::pgServerUrl()).port());
        QCOMPARE(url.path(), QLatin1Char('/') + first.name());

        const QString countTables = QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = 'public'");
        QSqlDatabase db1 = testing::openPgUrl(first.url(), QStringLiteral("first"));
        QVERIFY2(db1.isOpen(), qPrintable(db1.lastError().text()));
        QCOMPARE(column(db1, QStringLiteral("SELECT current_database()")), QStringList{first.name()});
        QCOMPARE(column(db1, countTables), QStringList{"0"});
        QCOMPARE(column(db1, QStringLiteral("CREATE TABLE Books (BookID integer)")), QStringList{});

        QSqlDatabase db2 = testing::openPgUrl(second.url(), QStringLiteral("second"));
        QVERIFY2(db2.isOpen(), qPrintable(db2.lastError().text()));
        QCOMPARE(column(db2, countTables), QStringList{"0"});
    }
    QSqlDatabase::removeDatabase(QStringLiteral("first"));
    QSqlDatabase::removeDatabase(QStringLiteral("second"));

    {
        QSqlDatabase admin = testing::openPgUrl(testing::pgServerUrl(), QStringLiteral("admin"));
        QVERIFY2(admin.isOpen(), qPrintable(admin.lastError().text()));
        QCOMPARE(column(admin, QStringLiteral("SELECT count(*) FROM pg_database WHERE datname IN ('%1', '%2')")
                                   .arg(names[0], names[1])),
                 QStringList{"0"});
    }
    QSqlDatabase::removeDatabase(QStringLiteral("admin"));
}

// The store compares book labels and codes as the SQLite store's NOCASE does: an ICU collation
// at strength 2 (letters and accents count, letter case does not). Debian's server is built with
// ICU. Equality, a unique column and the order of a list all ignore letter case with it.
void PgServerTest::nocaseCollationIgnoresLetterCase()
{
    PgDatabase database;
    QVERIFY2(database.isValid(), qPrintable(database.error()));
    {
        QSqlDatabase db = testing::openPgUrl(database.url(), QStringLiteral("nocase"));
        QVERIFY2(db.isOpen(), qPrintable(db.lastError().text()));
        QCOMPARE(column(db, QStringLiteral("CREATE COLLATION nocase (provider = icu, locale = 'und-u-ks-level2', "
                                           "deterministic = false)")),
                 QStringList{});
        // The database's own collation tells the cases apart; nocase does not.
        QCOMPARE(row(db, QStringLiteral("SELECT 'MC-1' = 'mc-1' COLLATE nocase, 'MC-1' = 'MC-2' COLLATE nocase, "
                                        "'MC-1' = 'mc-1'")),
                 (QStringList{"true", "false", "false"}));

        QCOMPARE(column(db, QStringLiteral("CREATE TABLE Books (BookLabel text COLLATE nocase UNIQUE)")),
                 QStringList{});
        QCOMPARE(column(db, QStringLiteral("INSERT INTO Books VALUES ('mc-2'), ('MC-1'), ('b'), ('A')")),
                 QStringList{});
        const QStringList duplicate = column(db, QStringLiteral("INSERT INTO Books VALUES ('mc-1')"));
        QVERIFY2(duplicate.value(0).contains(QLatin1String("duplicate key")), qPrintable(duplicate.join(' ')));
        QCOMPARE(column(db, QStringLiteral("SELECT BookLabel FROM Books ORDER BY BookLabel")),
                 (QStringList{"A", "b", "MC-1", "mc-2"}));
        QCOMPARE(column(db, QStringLiteral("SELECT BookLabel FROM Books WHERE BookLabel = 'MC-2'")),
                 QStringList{"mc-2"});
    }
    QSqlDatabase::removeDatabase(QStringLiteral("nocase"));
}

// What QPSQL's lastError().text() says when a connection fails (Qt 6.4, libpq 15): libpq's
// message, then "QPSQL: Unable to connect" on a line of its own. With PORT the server's port:
//   no password:      connection to server at "127.0.0.1", port PORT failed: fe_sendauth: no password supplied
//   wrong password:   connection to server at "127.0.0.1", port PORT failed: FATAL:  password authentication
//                     failed for user "photoseries"
//   closed port:      connection to server at "127.0.0.1", port 1 failed: Connection refused
//                     (tab)Is the server running on that host and accepting TCP/IP connections?
//   no such database: connection to server at "127.0.0.1", port PORT failed: FATAL:  database "t_missing"
//                     does not exist
// The program asks for a password on "no password supplied" only; a wrong password is reported.
void PgServerTest::connectionFailuresSayWhy_data()
{
    QTest::addColumn<int>("port");           // 0: the test server's
    QTest::addColumn<QString>("database");   // empty: the test server's postgres database
    QTest::addColumn<bool>("passwordGiven"); // PGPASSWORD set
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("says");

    QTest::newRow("no password") << 0 << QString() << false << QString() << "fe_sendauth: no password supplied";
    QTest::newRow("wrong password") << 0 << QString() << true << "not-the-password"
                                    << "password authentication failed for user \"photoseries\"";
    // Port 1 (tcpmux) is closed on any machine the tests run on.
    QTest::newRow("closed port") << 1 << QString() << true << "photoseries-test"
                                 << "Connection refused";
    QTest::newRow("no such database") << 0 << "t_missing" << true << "photoseries-test"
                                      << "database \"t_missing\" does not exist";
}

void PgServerTest::connectionFailuresSayWhy()
{
    QFETCH(int, port);
    QFETCH(QString, database);
    QFETCH(bool, passwordGiven);
    QFETCH(QString, password);
    QFETCH(QString, says);

    QUrl url(testing::pgServerUrl());
    if (port != 0)
        url.setPort(port);
    if (!database.isEmpty())
        url.setPath(QLatin1Char('/') + database);
    QVERIFY(url.password().isEmpty());
    // libpq's password sources are the environment and the password file: the test decides both.
    const EnvironmentOverride passwordFile("PGPASSFILE", QByteArray("/nonexistent/pgpass"));
    const EnvironmentOverride passwordVariable("PGPASSWORD",
                                               passwordGiven ? std::optional(password.toUtf8()) : std::nullopt);

    const QString error = connectionError(url.toString());
    QVERIFY2(error.contains(says), qPrintable(error));
    QVERIFY2(error.contains(QLatin1String("QPSQL: Unable to connect")), qPrintable(error));
}

QTEST_GUILESS_MAIN(PgServerTest)
#include "tst_pgserver.moc"
