#pragma once

#include "store/Result.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVector>

#include <functional>

namespace store {

// One Photos row: a value per field of photoFields(), in that order. Index 0 is the key ID,
// null for a row the store has not yet seen.
using PhotoValues = QVector<QVariant>;

// Position of a Photos field in photoFields(), matched without regard to case; -1 if none.
int photoFieldIndex(const QString &name);

// The photos of one book in the order they were stored.
Result<QVector<PhotoValues>> loadPhotos(const QSqlDatabase &db, qint64 bookId);
// The same, each row handed to `take` as it is read instead of kept; the values are valid
// during the call only.
Result<> readPhotos(const QSqlDatabase &db, qint64 bookId, const std::function<void(const PhotoValues &)> &take);

// Whether two values read from or written to the store hold the same thing: both null, equal
// numbers whatever their C++ type, or equal texts.
bool sameStoredValue(const QVariant &a, const QVariant &b);

// Number of Photos rows of one book.
Result<qint64> countPhotos(const QSqlDatabase &db, qint64 bookId);

// Writes single photo rows through statements prepared once and reused for every row.
// It opens no transaction: callers that write several rows wrap them in one.
class PhotoWriter final
{
public:
    explicit PhotoWriter(const QSqlDatabase &db);

    // Inserts every field but the key; gives the key the store assigned.
    Result<qint64> insert(const PhotoValues &values);
    // Rewrites every field but the key of the row values[0] names.
    Result<> update(const PhotoValues &values);
    Result<> remove(qint64 id);
    // update() and remove() fail with changedElsewhereMessage() when the row is not there.

private:
    QSqlDatabase m_db;
    QSqlQuery m_insert;
    QSqlQuery m_update;
    QSqlQuery m_remove;
};

} // namespace store
