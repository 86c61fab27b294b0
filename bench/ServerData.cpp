#include "ServerData.h"

#include "ProgramBench.h"

#include "store/Dialect.h"
#include "store/PgCopy.h"
#include "store/Schema.h"
#include "store/Store.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <QUrl>

#include <sqlite3.h>

namespace bench {

namespace {

QString withDatabase(const QString &url, const QString &database)
{
    QUrl address(url);
    address.setPath(QLatin1Char('/') + database);
    return address.toString();
}

QString databaseOf(const QString &url)
{
    return QUrl(url).path().mid(1);
}

// Every row of one table of the file library, streamed into the same table on the server with
// the keys as they are.
QString copyTable(sqlite3 *from, const QSqlDatabase &to, const QString &table, const QStringList &fields)
{
    const QByteArray sql = QStringLiteral("SELECT %1 FROM %2 ORDER BY ID").arg(fields.join(','), table).toUtf8();
    sqlite3_stmt *rows = nullptr;
    if (sqlite3_prepare_v2(from, sql.constData(), -1, &rows, nullptr) != SQLITE_OK)
        return QStringLiteral("the file library's %1 could not be read: %2").arg(table, sqlite3_errmsg(from));
    store::PgCopy copy(to, table, fields);
    if (const auto begun = copy.begin(); !begun) {
        sqlite3_finalize(rows);
        return begun.error();
    }
    QByteArray line;
    while (sqlite3_step(rows) == SQLITE_ROW) {
        line.clear();
        for (int i = 0; i < int(fields.size()); ++i) {
            if (i > 0)
                line += '\t';
            switch (sqlite3_column_type(rows, i)) {
            case SQLITE_NULL:
                store::PgCopy::appendNull(line);
                break;
            case SQLITE_INTEGER:
                line += QByteArray::number(sqlite3_column_int64(rows, i));
                break;
            case SQLITE_FLOAT:
                store::PgCopy::appendNumber(line, sqlite3_column_double(rows, i));
                break;
            default: {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(rows, i));
                store::PgCopy::appendText(line, QByteArrayView(text, sqlite3_column_bytes(rows, i)));
            }
            }
        }
        if (const auto added = copy.addRaw(line); !added) {
            sqlite3_finalize(rows);
            return added.error();
        }
    }
    sqlite3_finalize(rows);
    return copy.finish().error();
}

QString copyLibrary(const QString &file, const QString &url)
{
    store::Store library(url);
    if (const auto opened = library.open(); !opened)
        return opened.error();
    sqlite3 *from = nullptr;
    if (sqlite3_open_v2(file.toUtf8().constData(), &from, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(from);
        return QStringLiteral("%1 could not be opened").arg(file);
    }
    // A commit that is not waited for (the test server's synchronous_commit = off) leaves its
    // rows without the hint that they are committed until the log reaches the disk, and VACUUM
    // below would then not mark their pages all-visible: every count would read the table.
    QSqlQuery q(library.db());
    if (!q.exec(QStringLiteral("SET synchronous_commit = on")))
        return store::describeError(QStringLiteral("SET synchronous_commit"), q.lastError());
    QString error;
    {
        store::Transaction transaction(library.db());
        error = transaction.begun().error();
        if (error.isEmpty())
            error = copyTable(from, library.db(), QStringLiteral("Books"), store::bookFields());
        if (error.isEmpty())
            error = copyTable(from, library.db(), QStringLiteral("Photos"), store::photoFields());
        if (error.isEmpty())
            error = store::dialect::continueKeysAfterCopy(library.db()).error();
        if (error.isEmpty())
            error = transaction.commit().error();
    }
    sqlite3_close(from);
    if (!error.isEmpty())
        return error;
    // As a library in use is once autovacuum has been by: statistics for the planner, and the
    // visibility map that lets the counts read the index alone.
    if (!q.exec(QStringLiteral("VACUUM ANALYZE")))
        return store::describeError(QStringLiteral("VACUUM ANALYZE"), q.lastError());
    return {};
}

} // namespace

ServerDatabases::ServerDatabases(const QString &adminUrl)
    : admin(adminUrl)
    , library(withDatabase(adminUrl, QStringLiteral("photoseries_bench")))
    , scratch(withDatabase(adminUrl, QStringLiteral("photoseries_bench_scratch")))
{
}

QSqlDatabase openServerDatabase(const QString &url, const QString &connectionName)
{
    const QUrl address(url);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    db.setHostName(address.host());
    if (address.port() > 0)
        db.setPort(address.port());
    db.setUserName(address.userName());
    db.setDatabaseName(databaseOf(url));
    if (!db.open())
        die(QStringLiteral("%1 does not open: %2").arg(url, db.lastError().text()));
    return db;
}

void runOnServer(const QString &url, const QStringList &statements)
{
    const QString name = QStringLiteral("bench-statements");
    {
        QSqlDatabase db = openServerDatabase(url, name);
        QSqlQuery q(db);
        q.exec(QStringLiteral("SET client_min_messages = warning")); // no notice of what IF EXISTS skipped
        for (const QString &sql : statements)
            if (!q.exec(sql))
                die(QStringLiteral("%1 failed on %2: %3").arg(sql, url, q.lastError().text()));
    }
    QSqlDatabase::removeDatabase(name);
}

QString prepareServer(const ServerDatabases &server, const DataFiles &files, const Scale &scale)
{
    const QString stamp = QStringLiteral("photoseries benchmark library ") + scaleStamp(scale);
    const QString name = QStringLiteral("bench-admin");
    QString error;
    {
        QSqlDatabase admin = openServerDatabase(server.admin, name);
        QSqlQuery q(admin);
        const auto run = [&](const QString &sql) {
            if (error.isEmpty() && !q.exec(sql))
                error = store::describeError(sql, q.lastError());
        };
        q.prepare(QStringLiteral("SELECT datname, shobj_description(oid, 'pg_database') FROM pg_database "
                                 "WHERE datname IN (?, ?)"));
        q.addBindValue(databaseOf(server.library));
        q.addBindValue(databaseOf(server.scratch));
        if (!q.exec())
            return store::describeError(QStringLiteral("The server's databases could not be listed"), q.lastError());
        bool libraryReady = false, scratchThere = false;
        while (q.next()) {
            if (q.value(0).toString() == databaseOf(server.library))
                libraryReady = q.value(1).toString() == stamp;
            else
                scratchThere = true;
        }
        if (!scratchThere)
            run(QStringLiteral("CREATE DATABASE %1").arg(databaseOf(server.scratch)));
        if (!libraryReady) {
            QTextStream(stdout) << "Copying the library to " << server.library << "...\n";
            run(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(databaseOf(server.library)));
            run(QStringLiteral("CREATE DATABASE %1").arg(databaseOf(server.library)));
            if (error.isEmpty())
                error = copyLibrary(QDir(files.fullStore).filePath(QStringLiteral("Photo3.mdb")), server.library);
            // Recorded last: a copy that stopped halfway is made again on the next run. The
            // stamp is the benchmark's own text of digits; COMMENT takes no parameter.
            run(QStringLiteral("COMMENT ON DATABASE %1 IS '%2'").arg(databaseOf(server.library), stamp));
        }
    }
    QSqlDatabase::removeDatabase(name);
    return error;
}

void freshServerStore(const ServerDatabases &server)
{
    runOnServer(server.scratch, {QStringLiteral("DROP TABLE IF EXISTS Books, Photos, SchemaVersion, CopyBaseline"),
                                 QStringLiteral("DROP COLLATION IF EXISTS nocase")});
    store::Store created(server.scratch);
    if (const auto opened = created.open(); !opened)
        die(opened.error());
}

} // namespace bench
