#include "store/ChangeSignals.h"

#include "store/Store.h"
#include "store/YesNo.h"

#include <QSqlError>
#include <QSqlQuery>

namespace store {

namespace {

// One function serves both triggers: a Books row names its own ID, a Photos row its BookID. An
// update that moves a photo to another book names both. The server sends a payload once per
// transaction, so a save of a thousand photos notifies its book once.
const char *const kNotifyFunction = R"sql(
CREATE OR REPLACE FUNCTION photoseries_book_changed() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
    old_book BIGINT;
    new_book BIGINT;
BEGIN
    IF TG_TABLE_NAME = 'books' THEN
        IF TG_OP <> 'INSERT' THEN old_book := OLD.ID; END IF;
        IF TG_OP <> 'DELETE' THEN new_book := NEW.ID; END IF;
    ELSE
        IF TG_OP <> 'INSERT' THEN old_book := OLD.BookID; END IF;
        IF TG_OP <> 'DELETE' THEN new_book := NEW.BookID; END IF;
    END IF;
    IF old_book IS NOT NULL THEN PERFORM pg_notify('photoseries_books', old_book::text); END IF;
    IF new_book IS NOT NULL AND new_book IS DISTINCT FROM old_book THEN
        PERFORM pg_notify('photoseries_books', new_book::text);
    END IF;
    RETURN NULL;
END
$$)sql";

BookRow readRow(const QSqlQuery &q)
{
    BookRow row;
    row.id = q.value(0).toLongLong();
    row.active = fromYesNo(q.value(1));
    row.locked = fromYesNo(q.value(2));
    row.label = q.value(3).toString();
    row.description = q.value(4).toString();
    row.numOfPhotos = q.value(5).toLongLong();
    return row;
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
    if (!q.exec(QStringLiteral("SELECT count(*) FROM pg_trigger WHERE NOT tgisinternal AND tgname IN "
                               "('books_changed', 'photos_changed') AND tgrelid IN "
                               "(to_regclass('books'), to_regclass('photos'))")) ||
        !q.next())
        return queryFailure(QStringLiteral("The library's change notifications could not be read"), q.lastError());
    if (q.value(0).toInt() == 2)
        return done();
    q.finish();
    Transaction transaction(db);
    if (!transaction.begun())
        return transaction.begun();
    const QString statements[] = {
        QLatin1String(kNotifyFunction),
        QStringLiteral("CREATE OR REPLACE TRIGGER books_changed AFTER INSERT OR UPDATE OR DELETE ON Books "
                       "FOR EACH ROW EXECUTE FUNCTION photoseries_book_changed()"),
        QStringLiteral("CREATE OR REPLACE TRIGGER photos_changed AFTER INSERT OR UPDATE OR DELETE ON Photos "
                       "FOR EACH ROW EXECUTE FUNCTION photoseries_book_changed()"),
    };
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
    const Result<qint64> version = asked ? Result<qint64>(q.value(0).toLongLong())
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

Result<QVector<BookRow>> loadBookRows(const QSqlDatabase &db, const QSet<qint64> &bookIds)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT ID, Active, Locked, BookLabel, BookDescription, NumOfPhotos "
                                  "FROM Books WHERE ID = ?")))
        return queryFailure(QStringLiteral("The book list could not be read"), q.lastError());
    QVector<BookRow> rows;
    for (const qint64 id : bookIds) {
        q.addBindValue(id);
        if (!q.exec())
            return queryFailure(QStringLiteral("The book list could not be read"), q.lastError());
        if (q.next())
            rows.push_back(readRow(q));
    }
    return rows;
}

} // namespace store
