#pragma once

#include "store/Result.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <QVector>

#include <array>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace store {

// The connection's own SQLite handle, for code that calls SQLite directly; null on a server.
sqlite3 *sqliteHandle(const QSqlDatabase &db);

// Reads the rows of one SELECT, forward only, on the connection and in the transaction the
// database is in. On a file it steps SQLite itself: Qt's driver has SQLite convert every text
// to UTF-16 and then copies each value twice, which made reading a book of 10,000 photos
// several times slower than the reading itself. A text equal to one read before in its column
// (the row above's, a code of a short list) mostly shares its string. Values come as the
// driver gives them: a whole number as qint64, others as double, texts as QString, and a null
// as a null QString. On a server it reads through QSqlQuery.
class RowReader final
{
public:
    // what: what is being read, for the failure ("The photos of the book could not be read").
    RowReader(const QSqlDatabase &db, QString what);
    ~RowReader();
    RowReader(const RowReader &) = delete;
    RowReader &operator=(const RowReader &) = delete;

    // Prepares and runs the statement with the values bound in order.
    Result<> exec(const QString &sql, const QVariantList &bound = {});
    // Moves to the next row: false at the end, or when reading failed (status() says which).
    bool next();
    const QVariant &value(int column) const { return m_row.at(column); }
    // The row's values, moved out: value() is not valid again until the next row.
    QVector<QVariant> takeRow() { return std::move(m_row); }
    // The row's values, valid until the next row.
    const QVector<QVariant> &row() const { return m_row; }
    int columns() const { return m_columns; }
    // After next() gave false: whether every row was read.
    Result<> status() const;

private:
    bool nextSqlite();
    Failure sqliteFailure() const;

    QSqlDatabase m_db;
    QString m_what;
    sqlite3 *m_sqlite = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
    std::unique_ptr<QSqlQuery> m_query;
    QVector<QVariant> m_row;
    int m_columns = 0;
    // Per column: texts read before, in places chosen by their length and a few of their
    // bytes, for the next equal text to share (a column of codes or of a few descriptions
    // holds each once).
    struct KnownTexts
    {
        static constexpr int kSize = 64;
        std::array<QString, kSize> texts;
    };
    const QString &sharedText(KnownTexts &known, const char *text, int size);
    QVector<KnownTexts> m_knownTexts;
    bool m_failed = false;
};

} // namespace store
