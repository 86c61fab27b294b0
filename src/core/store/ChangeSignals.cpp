#include "store/ChangeSignals.h"

#include "store/Store.h"
#include "store/YesNo.h"

#include <QSqlError>
#include <QSqlQuery>

#include <utility>

namespace store {

namespace {

// The triggers run once per statement over the rows it changed (an import of 100,000 photos
// notifies its book once), each naming the IDs of the books whose rows or photos changed. A
// statement that changed more books than a reader would re-read one by one (Activate All) sends
// "*": every book. The server delivers a payload once per transaction, at its commit.
const char kNotify[] =
    R"sql(CREATE OR REPLACE FUNCTION photoseries_notify(books BIGINT[]) RETURNS void LANGUAGE plpgsql AS $$
BEGIN
    IF cardinality(books) > 64 THEN
        PERFORM pg_notify('photoseries_books', '*');
    ELSE
        PERFORM pg_notify('photoseries_books', b::text) FROM unnest(books) AS b WHERE b IS NOT NULL;
    END IF;
END
$$)sql";

// The trigger function of a table, naming the books by the table's column `key`.
QString tableNotify(const QString &function, const QString &key)
{
    return QStringLiteral(R"sql(CREATE OR REPLACE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP = 'INSERT' THEN
        PERFORM photoseries_notify(ARRAY(SELECT DISTINCT %2 FROM new_rows));
    ELSIF TG_OP = 'DELETE' THEN
        PERFORM photoseries_notify(ARRAY(SELECT DISTINCT %2 FROM old_rows));
    ELSE
        PERFORM photoseries_notify(ARRAY(SELECT %2 FROM old_rows UNION SELECT %2 FROM new_rows));
    END IF;
    RETURN NULL;
END
$$)sql")
        .arg(function, key);
}

// The functions, then the triggers: transition tables allow one event per trigger, so three
// triggers on each table.
QStringList notifyStatements()
{
    QStringList statements{QLatin1String(kNotify)};
    for (const auto &[table, key] : {std::pair{QStringLiteral("Books"), QStringLiteral("ID")},
                                     std::pair{QStringLiteral("Photos"), QStringLiteral("BookID")}}) {
        const QString function = QStringLiteral("photoseries_%1_notify").arg(table.toLower());
        statements << tableNotify(function, key);
        const struct
        {
            const char *event, *rows;
        } events[] = {{"INSERT", "NEW TABLE AS new_rows"},
                      {"DELETE", "OLD TABLE AS old_rows"},
                      {"UPDATE", "OLD TABLE AS old_rows NEW TABLE AS new_rows"}};
        for (const auto &e : events) {
            const QString name = QStringLiteral("%1_notify_%2").arg(table, QLatin1String(e.event)).toLower();
            statements << QStringLiteral("DROP TRIGGER IF EXISTS %1 ON %2").arg(name, table)
                       << QStringLiteral("CREATE TRIGGER %1 AFTER %2 ON %3 REFERENCING %4 FOR EACH STATEMENT "
                                         "EXECUTE FUNCTION %5()")
                              .arg(name, QLatin1String(e.event), table, QLatin1String(e.rows), function);
        }
    }
    return statements;
}

} // namespace

QString bookChangeChannel()
{
    return QStringLiteral("photoseries_books");
}

Result<> installChangeNotifications(const QSqlDatabase &db)
{
    if (backendOf(db) != Backend::Postgres)
        return done();
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT count(*) FROM pg_trigger WHERE NOT tgisinternal AND "
                               "(tgname LIKE 'books_notify_%' OR tgname LIKE 'photos_notify_%') AND "
                               "tgrelid IN (to_regclass('books'), to_regclass('photos'))")) ||
        !q.next())
        return queryFailure(QStringLiteral("The library's change notifications could not be read"), q.lastError());
    if (q.value(0).toInt() == 6)
        return done();
    q.finish();
    Transaction transaction(db);
    if (!transaction.begun())
        return transaction.begun();
    const QStringList statements = notifyStatements();
    for (const QString &sql : statements) {
        if (!q.exec(sql))
            return queryFailure(QStringLiteral("The library's change notifications could not be set up"),
                                q.lastError());
    }
    return transaction.commit();
}

Result<qint64> dataVersion(const QSqlDatabase &db)
{
    // Asked without waiting: while another program holds the file for a long write, the answer
    // can wait for the next tick, the user's typing cannot.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA busy_timeout")) || !q.next())
        return queryFailure(QStringLiteral("The store could not be read"), q.lastError());
    const int patience = q.value(0).toInt();
    if (!q.exec(QStringLiteral("PRAGMA busy_timeout = 0")))
        return queryFailure(QStringLiteral("The store could not be read"), q.lastError());
    const bool asked = q.exec(QStringLiteral("PRAGMA data_version")) && q.next();
    Result<qint64> version = asked ? Result<qint64>(q.value(0).toLongLong())
                                   : queryFailure(QStringLiteral("The store could not be read"), q.lastError());
    q.finish();
    (void)q.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(patience));
    return version;
}

bool reachable(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SELECT 1")) && q.next();
}

} // namespace store
