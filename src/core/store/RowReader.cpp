#include "store/RowReader.h"

#include "store/Store.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

#include <sqlite3.h>

namespace store {

sqlite3 *sqliteHandle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

namespace {

// Whether UTF-8 bytes spell the text; only ASCII is compared, anything else counts as different.
bool sameAscii(const QString &text, const char *bytes, int size)
{
    if (text.size() != size)
        return false;
    const QChar *chars = text.constData();
    for (int i = 0; i < size; ++i) {
        const auto byte = uchar(bytes[i]);
        if (byte >= 0x80 || chars[i].unicode() != byte)
            return false;
    }
    return true;
}

} // namespace

RowReader::RowReader(const QSqlDatabase &db, QString what)
    : m_db(db)
    , m_what(std::move(what))
    , m_sqlite(sqliteHandle(db))
{
}

RowReader::~RowReader()
{
    sqlite3_finalize(m_stmt);
}

Failure RowReader::sqliteFailure() const
{
    return queryFailure(m_what, QString::fromUtf8(sqlite3_errmsg(m_sqlite)), sqlite3_extended_errcode(m_sqlite));
}

Result<> RowReader::exec(const QString &sql, const QVariantList &bound)
{
    m_failed = false;
    if (!m_sqlite) {
        m_query = std::make_unique<QSqlQuery>(m_db);
        m_query->setForwardOnly(true);
        if (!m_query->prepare(sql))
            return queryFailure(m_what, m_query->lastError());
        for (const QVariant &v : bound)
            m_query->addBindValue(v);
        if (!m_query->exec())
            return queryFailure(m_what, m_query->lastError());
        m_columns = m_query->record().count();
        return done();
    }
    sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(m_sqlite, text.constData(), int(text.size()), &m_stmt, nullptr) != SQLITE_OK)
        return sqliteFailure();
    for (int i = 0; i < bound.size(); ++i) {
        const QVariant &v = bound.at(i);
        int bindResult = SQLITE_OK;
        if (v.isNull()) {
            bindResult = sqlite3_bind_null(m_stmt, i + 1);
        } else if (v.typeId() == QMetaType::Double) {
            bindResult = sqlite3_bind_double(m_stmt, i + 1, v.toDouble());
        } else if (v.typeId() == QMetaType::QString) {
            const QByteArray utf8 = v.toString().toUtf8();
            bindResult = sqlite3_bind_text(m_stmt, i + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        } else {
            bindResult = sqlite3_bind_int64(m_stmt, i + 1, v.toLongLong());
        }
        if (bindResult != SQLITE_OK)
            return sqliteFailure();
    }
    m_columns = sqlite3_column_count(m_stmt);
    m_knownTexts.fill(KnownTexts(), m_columns);
    return done();
}

bool RowReader::next()
{
    if (m_sqlite)
        return nextSqlite();
    if (!m_query || !m_query->next())
        return false;
    m_row.reserve(m_columns);
    m_row.resize(m_columns);
    for (int i = 0; i < m_row.size(); ++i)
        m_row[i] = m_query->value(i);
    return true;
}

bool RowReader::nextSqlite()
{
    if (!m_stmt)
        return false;
    const int stepped = sqlite3_step(m_stmt);
    if (stepped != SQLITE_ROW) {
        m_failed = stepped != SQLITE_DONE;
        return false;
    }
    static const QVariant kNull{QMetaType::fromType<QString>()};
    // Exactly the row's size: growing an empty vector rounds its block up to a power of two.
    m_row.reserve(m_columns);
    m_row.resize(m_columns);
    for (int i = 0; i < m_row.size(); ++i) {
        switch (sqlite3_column_type(m_stmt, i)) {
        case SQLITE_INTEGER:
            m_row[i] = qint64(sqlite3_column_int64(m_stmt, i));
            break;
        case SQLITE_FLOAT:
            m_row[i] = sqlite3_column_double(m_stmt, i);
            break;
        case SQLITE_TEXT: {
            // SQLite wants the text asked for before its length.
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, i));
            m_row[i] = sharedText(m_knownTexts[i], text, sqlite3_column_bytes(m_stmt, i));
            continue;
        }
        case SQLITE_BLOB: {
            const auto *bytes = static_cast<const char *>(sqlite3_column_blob(m_stmt, i));
            m_row[i] = QByteArray(bytes, sqlite3_column_bytes(m_stmt, i));
            break;
        }
        default:
            m_row[i] = kNull;
            break;
        }
    }
    return true;
}

const QString &RowReader::sharedText(KnownTexts &known, const char *text, int size)
{
    // Texts that differ in length or in the first, middle or last byte mostly fall in
    // different places; one that finds another text in its place takes it over.
    const auto byte = [text](int i) { return size_t(uchar(text[i])); };
    size_t place = size_t(size);
    if (size > 0)
        place = place * 31 + byte(0) * 7 + byte(size / 2) * 3 + byte(size - 1);
    QString &kept = known.texts[place % KnownTexts::kSize];
    if (!sameAscii(kept, text, size) || (size == 0 && kept.isNull()))
        kept = QString::fromUtf8(text, size);
    return kept;
}

Result<> RowReader::status() const
{
    if (m_sqlite)
        return m_failed ? Result<>(sqliteFailure()) : done();
    if (m_query && m_query->lastError().isValid())
        return queryFailure(m_what, m_query->lastError());
    return done();
}

} // namespace store
