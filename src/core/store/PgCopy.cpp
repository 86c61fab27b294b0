#include "store/PgCopy.h"

#include "store/Store.h"

#include <QSqlDriver>
#include <QSqlError>

#include <libpq-fe.h>

#include <charconv>
#include <cmath>

namespace store {

namespace {

constexpr int kFlushBytes = 1 << 20;

PGconn *connectionOf(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    // Qt 6 names the handle's type after the struct behind libpq's typedef: "pg_conn*".
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

// Described as every other statement's failure, so that a table or row held by another user
// reads as "in use ... try again".
Failure PgCopy::serverFault(const void *result) const
{
    const auto *r = static_cast<const PGresult *>(result);
    const QString said = r ? QString::fromUtf8(PQresultErrorMessage(r)).trimmed() : QString();
    if (said.isEmpty())
        return copyFault("written");
    const QSqlError error(QString(), said, QSqlError::TransactionError,
                          QString::fromLatin1(PQresultErrorField(r, PG_DIAG_SQLSTATE)));
    return queryFailure(QStringLiteral("The %1 rows could not be written").arg(m_table), error);
}

Result<> PgCopy::begin()
{
    auto *conn = static_cast<PGconn *>(m_conn);
    if (!conn)
        return copyFault("written");
    const QByteArray sql =
        QStringLiteral("COPY %1 (%2) FROM STDIN").arg(m_table, m_fields.join(QLatin1Char(','))).toUtf8();
    PGresult *r = PQexec(conn, sql.constData());
    if (PQresultStatus(r) != PGRES_COPY_IN) {
        // A COPY that cannot start (the table is locked past lock_timeout, say) fails at once.
        const Failure failure = serverFault(r);
        PQclear(r);
        return failure;
    }
    PQclear(r);
    m_active = true;
    m_buffer.reserve(kFlushBytes + 4096);
    return done();
}

void PgCopy::appendText(QByteArray &line, QByteArrayView utf8)
{
    // Runs without a character that COPY reads specially go in one piece.
    const char *run = utf8.data();
    const char *const end = run + utf8.size();
    for (const char *p = run; p < end; ++p) {
        const char *escape = nullptr;
        switch (*p) {
        case '\\':
            escape = "\\\\";
            break;
        case '\t':
            escape = "\\t";
            break;
        case '\n':
            escape = "\\n";
            break;
        case '\r':
            escape = "\\r";
            break;
        default:
            continue;
        }
        line.append(run, p - run);
        line.append(escape, 2);
        run = p + 1;
    }
    line.append(run, end - run);
}

void PgCopy::appendNumber(QByteArray &line, double value)
{
    // std::to_chars without a precision gives the shortest form that reads back exactly; the
    // server reads it with strtod, exactly too.
    if (std::isnan(value)) {
        line += "NaN"; // never "-nan", which the server would refuse
        return;
    }
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    line.append(text, written.ptr - text);
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
        appendNumber(line, value.toDouble());
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
            serverError = serverFault(r).text;
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
