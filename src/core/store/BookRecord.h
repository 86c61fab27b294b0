#pragma once

#include "store/Result.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

namespace store {

// The header fields of one Books row as the book editor shows and saves them. A null value
// is a field the store holds no value for.
struct BookHeader
{
    qint64 id = 0;
    QVariant label;
    QVariant description;
    QVariant date;
    QVariant builtBy;
    QVariant breakInches4;
    QVariant breakInches5;
    QVariant breakInches6;
    // The book's change counter (dialect::changeCounter()) as read with the rest; null where the
    // store keeps none.
    QVariant version;
};

// Reads one book's header. A book that is not in the store fails with FailureKind::NotFound,
// and sets *missing.
Result<BookHeader> loadBookHeader(const QSqlDatabase &db, qint64 id, bool *missing = nullptr);

// The book's change counter; null when the store holds none for this book. Fails on a store
// without the counter: read it last in a snapshot, as the failed statement ends a server's
// transaction.
Result<QVariant> readBookVersion(const QSqlDatabase &db, qint64 id);

// Adds the row of a new book with its label, the fixed lower bounds 0.26, 1.1 and 3.1, not
// active, not locked; writeBookHeader() then fills in the rest. Gives the new book's key.
Result<qint64> addBook(const QSqlDatabase &db, const QString &label);

} // namespace store

namespace store {

// The header fields a save writes into the Books row.
struct HeaderFields
{
    QString label;
    QString description;
    QString date;
    QString builtBy;
    double breakInches4 = 0;
    double breakInches5 = 0;
    double breakInches6 = 0;
};

// These write one statement each and open no transaction: a save wraps them in its own.

// Takes the book's row for this transaction before anything of it is read: another save of the
// same book waits here until this one commits, and then sees what it wrote. (On the server a
// row lock; in the file the write lock, taken at once rather than midway.)
Result<> lockBookForSave(const QSqlDatabase &db, qint64 id);
Result<> writeBookHeader(const QSqlDatabase &db, qint64 id, const HeaderFields &fields);
// Gives every photo of the book the label (rows that carry it already are not rewritten).
Result<> relabelPhotos(const QSqlDatabase &db, qint64 bookId, const QString &label);
// An empty VegType or Activity of the book's photos becomes one blank; a null stays null.
Result<> blankEmptyCodes(const QSqlDatabase &db, qint64 bookId);

} // namespace store
