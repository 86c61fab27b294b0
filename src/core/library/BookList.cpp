#include "library/BookList.h"

#include "store/RowReader.h"
#include "store/Store.h"
#include "store/YesNo.h"

#include <QSqlError>
#include <QSqlQuery>

namespace library {

using store::Backend;
using store::backendOf;
using store::describeError;
using store::done;
using store::fail;
using store::FailureKind;
using store::fromYesNo;
using store::queryFailure;
using store::Result;
using store::RowReader;
using store::toYesNo;
using store::Transaction;
namespace dialect = store::dialect;

namespace {

// A row of ID, Active, Locked, BookLabel, BookDescription, NumOfPhotos, from a query or a reader.
template <typename Row> BookRow readRow(const Row &q)
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

Result<QVector<BookRow>> loadBookList(const QSqlDatabase &db)
{
    RowReader q(db, QStringLiteral("The book list could not be read"));
    // The collation is named here as well as in the schema: a store made by another tool may
    // declare its text columns without it.
    if (auto run = q.exec(QStringLiteral("SELECT ID, Active, Locked, BookLabel, BookDescription, NumOfPhotos "
                                         "FROM Books ORDER BY %1, ID")
                              .arg(dialect::labelOrder(backendOf(db), QStringLiteral("BookLabel"))));
        !run)
        return run.failure();
    QVector<BookRow> rows;
    while (q.next())
        rows.push_back(readRow(q));
    if (auto read = q.status(); !read)
        return read.failure();
    return rows;
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

Result<> writeActive(const QSqlDatabase &db, qint64 bookId, bool active)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("UPDATE Books SET Active = ? WHERE ID = ?"));
    q.addBindValue(toYesNo(active));
    q.addBindValue(bookId);
    if (!q.exec())
        return queryFailure(QStringLiteral("The book could not be updated"), q.lastError());
    return done();
}

Result<> writeAllActive(const QSqlDatabase &db, bool active)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("UPDATE Books SET Active = ?"));
    q.addBindValue(toYesNo(active));
    if (!q.exec())
        return queryFailure(QStringLiteral("The books could not be updated"), q.lastError());
    return done();
}

Result<int> writeActive(const QSqlDatabase &db, const QVector<qint64> &bookIds, bool active)
{
    Transaction transaction(db);
    if (!transaction.begun())
        return fail(transaction.begun().error());
    QSqlQuery q(db);
    // Only a book whose value differs counts as changed.
    q.prepare(QStringLiteral("UPDATE Books SET Active = ? WHERE ID = ? AND (Active IS NULL OR Active <> ?)"));
    int changed = 0;
    for (const qint64 id : bookIds) {
        q.addBindValue(toYesNo(active));
        q.addBindValue(id);
        q.addBindValue(toYesNo(active));
        if (!q.exec())
            return fail(describeError(QStringLiteral("The books could not be updated"), q.lastError()));
        changed += qMax(0, q.numRowsAffected());
    }
    if (const auto committed = transaction.commit(); !committed)
        return fail(committed.error());
    return changed;
}

Result<> removeBook(const QSqlDatabase &db, qint64 bookId)
{
    return removeBooks(db, {bookId});
}

Result<> removeBooks(const QSqlDatabase &db, const QVector<qint64> &bookIds)
{
    Transaction transaction(db);
    if (!transaction.begun())
        return transaction.begun();
    QSqlQuery photos(db);
    QSqlQuery books(db);
    photos.prepare(QStringLiteral("DELETE FROM Photos WHERE BookID = ?"));
    books.prepare(QStringLiteral("DELETE FROM Books WHERE ID = ?"));
    for (const qint64 id : bookIds) {
        for (QSqlQuery *q : {&photos, &books}) {
            q->addBindValue(id);
            if (!q->exec())
                return queryFailure(QStringLiteral("The book could not be deleted"), q->lastError());
        }
    }
    return transaction.commit();
}

Result<QVector<qint64>> booksWithLabel(const QSqlDatabase &db, const QString &label, qint64 except)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    const Backend backend = backendOf(db);
    q.prepare(QStringLiteral("SELECT ID FROM Books WHERE %1 = %2 AND ID <> ?")
                  .arg(dialect::labelKey(backend, QStringLiteral("BookLabel")),
                       dialect::labelKey(backend, QStringLiteral("?"))));
    q.addBindValue(label);
    q.addBindValue(except);
    if (!q.exec())
        return queryFailure(QStringLiteral("The book labels could not be read"), q.lastError());
    QVector<qint64> ids;
    while (q.next())
        ids.push_back(q.value(0).toLongLong());
    return ids;
}

Result<> lockLabel(const QSqlDatabase &db, const QString &label)
{
    QSqlQuery q(db);
    q.prepare(dialect::lockLabel(backendOf(db)));
    q.addBindValue(label);
    if (!q.exec())
        return queryFailure(QStringLiteral("The book labels could not be read"), q.lastError());
    return done();
}

Result<> refuseTakenLabel(const QSqlDatabase &db, const QString &label, qint64 except)
{
    const auto taken = booksWithLabel(db, label, except);
    if (!taken)
        return taken.failure();
    if (!taken->isEmpty())
        return fail(QStringLiteral("The book identifier \"%1\" is already in use by another book. Nothing was "
                                   "saved.")
                        .arg(label),
                    FailureKind::Duplicate);
    return done();
}

} // namespace library
