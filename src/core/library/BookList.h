#pragma once

#include "store/Result.h"

#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

// The catalogue's operations on the list of books: read it, set Active, delete books, and the
// label checks every write that adds or renames a book makes.
namespace library {

// One row of the catalogue's book list.
struct BookRow
{
    qint64 id = 0;
    bool active = false;
    bool locked = false;
    QString label;
    QString description;
    qint64 numOfPhotos = 0;
};

// Every Books row, ordered by BookLabel without regard to case.
store::Result<QVector<BookRow>> loadBookList(const QSqlDatabase &db);

// The rows of the given books, as loadBookList() reads them; a book not found has been deleted.
store::Result<QVector<BookRow>> loadBookRows(const QSqlDatabase &db, const QSet<qint64> &bookIds);

// Writes one book's Active field.
store::Result<> writeActive(const QSqlDatabase &db, qint64 bookId, bool active);

// Sets Active of every book, locked ones included, in one statement.
store::Result<> writeAllActive(const QSqlDatabase &db, bool active);

// Sets Active of the given books in one transaction. The number of books whose Active changed.
store::Result<int> writeActive(const QSqlDatabase &db, const QVector<qint64> &bookIds, bool active);

// Removes a book row and its photo rows (found by BookID) in one transaction.
store::Result<> removeBook(const QSqlDatabase &db, qint64 bookId);

// Removes the book rows and their photo rows in one transaction: all of them or none.
store::Result<> removeBooks(const QSqlDatabase &db, const QVector<qint64> &bookIds);

// IDs of the books whose label equals the given one, compared without regard to case.
// except, when not 0, is left out (a book compared with itself).
store::Result<QVector<qint64>> booksWithLabel(const QSqlDatabase &db, const QString &label, qint64 except);

// Inside a transaction that adds or renames a book, before booksWithLabel(): waits until no other
// program is writing that label, so that two of them adding it at once cannot both succeed.
store::Result<> lockLabel(const QSqlDatabase &db, const QString &label);

// The check a write that adds or renames a book makes after lockLabel(): fails with
// FailureKind::Duplicate, naming the label, when another book carries it.
store::Result<> refuseTakenLabel(const QSqlDatabase &db, const QString &label, qint64 except);

} // namespace library
