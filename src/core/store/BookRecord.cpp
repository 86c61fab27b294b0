#include "store/BookRecord.h"

#include "store/Store.h"
#include "store/YesNo.h"

#include <QSqlError>
#include <QSqlQuery>

namespace store {

Result<BookHeader> loadBookHeader(const QSqlDatabase &db, qint64 id, bool *missing)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT BookLabel, BookDescription, BookDate, builtby, BreakInches4, BreakInches5, "
                             "BreakInches6 FROM Books WHERE ID = ?"));
    q.addBindValue(id);
    if (!q.exec())
        return queryFailure(QStringLiteral("The book could not be read"), q.lastError());
    if (!q.next()) {
        // No row because the read failed (the file busy) is not a book that is gone.
        if (q.lastError().isValid())
            return queryFailure(QStringLiteral("The book could not be read"), q.lastError());
        if (missing)
            *missing = true;
        return fail(QStringLiteral("The book could not be read: it is no longer in the database."),
                    FailureKind::NotFound);
    }
    BookHeader header;
    header.id = id;
    header.label = q.value(0);
    header.description = q.value(1);
    header.date = q.value(2);
    header.builtBy = q.value(3);
    header.breakInches4 = q.value(4);
    header.breakInches5 = q.value(5);
    header.breakInches6 = q.value(6);
    return header;
}

Result<QVariant> readBookVersion(const QSqlDatabase &db, qint64 id)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT Version FROM BookVersions WHERE BookID = ?"));
    q.addBindValue(id);
    if (!q.exec())
        return queryFailure(QStringLiteral("The book's change counter could not be read"), q.lastError());
    if (!q.next()) {
        if (q.lastError().isValid())
            return queryFailure(QStringLiteral("The book's change counter could not be read"), q.lastError());
        return QVariant();
    }
    return QVariant(q.value(0).toLongLong());
}

Result<qint64> addBook(const QSqlDatabase &db, const QString &label)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO Books (BookLabel, Breakinches1, Breakinches2, Breakinches3, Active, Locked) "
                             "VALUES (?, ?, ?, ?, ?, ?) RETURNING ID"));
    for (const QVariant &v :
         {QVariant(label), QVariant(0.26), QVariant(1.1), QVariant(3.1), QVariant(kNo), QVariant(kNo)})
        q.addBindValue(v);
    if (!q.exec() || !q.next())
        return queryFailure(QStringLiteral("The new book could not be added to the database"), q.lastError());
    return q.value(0).toLongLong();
}

} // namespace store

namespace store {

Result<> lockBookForSave(const QSqlDatabase &db, qint64 id)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("UPDATE Books SET Locked = Locked WHERE ID = ?"));
    q.addBindValue(id);
    if (!q.exec())
        return queryFailure(QStringLiteral("The book could not be saved"), q.lastError());
    return done();
}

Result<> writeBookHeader(const QSqlDatabase &db, qint64 id, const HeaderFields &fields)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("UPDATE Books SET BookLabel = ?, BookDescription = ?, BookDate = ?, builtby = ?, "
                             "BreakInches4 = ?, BreakInches5 = ?, BreakInches6 = ? WHERE ID = ?"));
    for (const QVariant &v :
         {QVariant(fields.label), QVariant(fields.description), QVariant(fields.date), QVariant(fields.builtBy),
          QVariant(fields.breakInches4), QVariant(fields.breakInches5), QVariant(fields.breakInches6), QVariant(id)})
        q.addBindValue(v);
    if (!q.exec())
        return queryFailure(QStringLiteral("The book could not be saved"), q.lastError());
    if (q.numRowsAffected() != 1)
        return changedElsewhere();
    return done();
}

Result<> relabelPhotos(const QSqlDatabase &db, qint64 bookId, const QString &label)
{
    // Compared byte for byte: a label changed only in letter case must still reach every photo.
    QSqlQuery q(db);
    q.prepare(
        QStringLiteral("UPDATE Photos SET BookLabel = ? WHERE BookID = ? AND BookLabel COLLATE %1 IS DISTINCT FROM ?")
            .arg(dialect::exactCollation(backendOf(db))));
    q.addBindValue(label);
    q.addBindValue(bookId);
    q.addBindValue(label);
    if (!q.exec())
        return queryFailure(QStringLiteral("The photos could not be given the book's identifier"), q.lastError());
    return done();
}

Result<> blankEmptyCodes(const QSqlDatabase &db, qint64 bookId)
{
    QSqlQuery q(db);
    for (const char *sql : {"UPDATE Photos SET VegType = ' ' WHERE BookID = ? AND VegType = ''",
                            "UPDATE Photos SET Activity = ' ' WHERE BookID = ? AND Activity = ''"}) {
        q.prepare(QString::fromLatin1(sql));
        q.addBindValue(bookId);
        if (!q.exec())
            return queryFailure(QStringLiteral("The photos' codes could not be saved"), q.lastError());
    }
    return done();
}

} // namespace store
