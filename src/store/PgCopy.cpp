#include "store/PgCopy.h"

#include "store/Store.h"

#include <QLocale>
#include <QSqlDriver>
#include <QSqlError>

#include <libpq-fe.h>

namespace store {

namespace {

constexpr int kFlushBytes = 1 << 20;

PGconn *connectionOf(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    // Qt registers the handle under the name of libpq's struct (pg_conn*), which PGconn names.
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0))
        return nullptr;
    return *static_cast<PGconn *const *>(handle.constData());
}

} // namespace

PgCopy::PgCopy(const QSqlDatabase &db, const QString &table, const QStringList &fields)
    : m_db(db)
    , m_table(table)
    , m_fields(fields)
    , m_conn(connectionOf(db))
{
}

PgCopy::~PgCopy()
{
    // A COPY left open would keep the connection busy: end it as failed, so that the
    // transaction around it rolls back.
    if (m_active)
        PQputCopyEnd(static_cast<PGconn *>(m_conn), "abandoned");
    if (m_active)
        while (PGresult *r = PQgetResult(static_cast<PGconn *>(m_conn)))
            PQclear(r);
}

Failure PgCopy::copyFault(const char *what) const
{
    const QString reason = m_conn ? QString::fromUtf8(PQerrorMessage(static_cast<PGconn *>(m_conn))).trimmed()
                                  : QStringLiteral("the store is not open on a server");
    return fail(QStringLiteral("The %1 rows could not be %2: %3").arg(m_table, QLatin1String(what), reason));
}

Result<> PgCopy::begin()
{
    auto *conn = static_cast<PGconn *>(m_conn);
    if (!conn)
        return copyFault("written");
    const QByteArray sql =
        QStringLiteral("COPY %1 (%2) FROM STDIN").arg(m_table, m_fields.join(QLatin1Char(','))).toUtf8();
    PGresult *r = PQexec(conn, sql.constData());
    const bool started = PQresultStatus(r) == PGRES_COPY_IN;
    PQclear(r);
    if (!started)
        return copyFault("written");
    m_active = true;
    m_buffer.reserve(kFlushBytes + 4096);
    return done();
}

void PgCopy::appendText(QByteArray &line, const QByteArray &utf8)
{
    for (const char c : utf8) {
        switch (c) {
        case '\\':
            line += "\\\\";
            break;
        case '\t':
            line += "\\t";
            break;
        case '\n':
            line += "\\n";
            break;
        case '\r':
            line += "\\r";
            break;
        default:
            line += c;
        }
    }
}

void PgCopy::appendValue(QByteArray &line, const QVariant &value)
{
    if (value.isNull()) {
        appendNull(line);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        line += QByteArray::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
        return;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        line += QByteArray::number(value.toLongLong());
        return;
    default:
        appendText(line, value.toString().toUtf8());
    }
}

Result<> PgCopy::addRow(const QVector<QVariant> &values)
{
    QByteArray line;
    for (int i = 0; i < values.size(); ++i) {
        if (i > 0)
            line += '\t';
        appendValue(line, values.at(i));
    }
    return addRaw(line);
}

Result<> PgCopy::addRaw(const QByteArray &line)
{
    m_buffer += line;
    m_buffer += '\n';
    if (m_buffer.size() >= kFlushBytes)
        return flush();
    return done();
}

Result<> PgCopy::flush()
{
    if (m_buffer.isEmpty())
        return done();
    if (PQputCopyData(static_cast<PGconn *>(m_conn), m_buffer.constData(), int(m_buffer.size())) != 1)
        return copyFault("written");
    m_buffer.clear();
    return done();
}

Result<> PgCopy::finish()
{
    if (!m_active)
        return copyFault("written");
    auto *conn = static_cast<PGconn *>(m_conn);
    auto flushed = flush();
    m_active = false;
    if (PQputCopyEnd(conn, flushed ? nullptr : "failed") != 1)
        return copyFault("written");
    bool ok = flushed.ok();
    QString serverError;
    while (PGresult *r = PQgetResult(conn)) {
        if (PQresultStatus(r) != PGRES_COMMAND_OK) {
            ok = false;
            // Described as every other statement's failure, so a row held by another user
            // reads as "in use ... try again".
            const QSqlError error(QString(), QString::fromUtf8(PQresultErrorMessage(r)).trimmed(),
                                  QSqlError::TransactionError,
                                  QString::fromLatin1(PQresultErrorField(r, PG_DIAG_SQLSTATE)));
            serverError = describeError(QStringLiteral("The %1 rows could not be written").arg(m_table), error);
        }
        PQclear(r);
    }
    if (!flushed)
        return flushed;
    if (!ok)
        return fail(serverError);
    return done();
}

} // namespace store
