#pragma once

#include "store/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSqlDatabase>
#include <QVariant>
#include <QVector>

namespace store {

// Streams rows into a table of a server store with COPY ... FROM STDIN on the store's own
// connection, inside whatever transaction it has open: one round trip per megabyte or so
// instead of one per row. Values go as COPY's text format, so nothing is pasted into SQL.
class PgCopy final
{
public:
    // table and fields are the declared names (never user input).
    PgCopy(const QSqlDatabase &db, const QString &table, const QStringList &fields);
    ~PgCopy();
    PgCopy(const PgCopy &) = delete;
    PgCopy &operator=(const PgCopy &) = delete;

    // Starts the COPY. Rows may be added once it began.
    Result<> begin();
    // A null QVariant is written as NULL; numbers in their shortest exact form.
    Result<> addRow(const QVector<QVariant> &values);
    // Raw fields already in COPY text form (see escaped()), for callers that build them fast.
    Result<> addRaw(const QByteArray &line);
    // Sends what is buffered and ends the COPY; the rows are then part of the transaction.
    Result<> finish();

    // One value in COPY's text form.
    static void appendValue(QByteArray &line, const QVariant &value);
    static void appendText(QByteArray &line, QByteArrayView utf8);
    // The shortest text that reads back as exactly the same double.
    static void appendNumber(QByteArray &line, double value);
    static void appendNull(QByteArray &line) { line += "\\N"; }

private:
    Result<> flush();
    Failure copyFault(const char *what) const;
    Failure serverFault(const void *result) const;

    QSqlDatabase m_db;
    QString m_table;
    QStringList m_fields;
    void *m_conn = nullptr;
    QByteArray m_buffer;
    bool m_active = false;
};

} // namespace store
