#include "store/Photos.h"

#include "store/RowReader.h"
#include "store/Schema.h"
#include "store/Store.h"

#include <QSqlError>

namespace store {

namespace {

QString fieldList()
{
    return photoFields().join(QStringLiteral(", "));
}

// Prepares a statement the first time it is needed.
Result<> prepareOnce(QSqlQuery &q, const QString &sql)
{
    if (!q.lastQuery().isEmpty())
        return done();
    if (!q.prepare(sql))
        return queryFailure(QStringLiteral("The photo rows could not be written"), q.lastError());
    return done();
}

} // namespace

int photoFieldIndex(const QString &name)
{
    const QStringList &fields = photoFields();
    for (int i = 0; i < fields.size(); ++i) {
        if (fields.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

namespace {

Result<> runPhotoQuery(RowReader &q, qint64 bookId)
{
    return q.exec(QStringLiteral("SELECT %1 FROM Photos WHERE BookID = ? ORDER BY ID").arg(fieldList()), {bookId});
}

const char *const kPhotosUnread = "The photos of the book could not be read";

// While a whole book is read, the connection's page cache is kept small: every page passes
// through once, and a full cache (2 MB) of them would only add to the reader's peak memory.
// The pages it held before are dropped; the size it had comes back after.
class SmallPageCache final
{
public:
    explicit SmallPageCache(const QSqlDatabase &db)
        : m_query(db)
    {
        if (backendOf(db) != Backend::Sqlite || !m_query.exec(QStringLiteral("PRAGMA cache_size")) || !m_query.next())
            return;
        m_size = m_query.value(0);
        (void)m_query.exec(QStringLiteral("PRAGMA cache_size = -256"));
    }
    ~SmallPageCache()
    {
        if (m_size.isValid())
            (void)m_query.exec(QStringLiteral("PRAGMA cache_size = %1").arg(m_size.toLongLong()));
    }
    SmallPageCache(const SmallPageCache &) = delete;
    SmallPageCache &operator=(const SmallPageCache &) = delete;

private:
    QSqlQuery m_query;
    QVariant m_size;
};

} // namespace

Result<QVector<PhotoValues>> loadPhotos(const QSqlDatabase &db, qint64 bookId)
{
    RowReader q(db, QLatin1String(kPhotosUnread));
    if (auto run = runPhotoQuery(q, bookId); !run)
        return run.failure();
    QVector<PhotoValues> rows;
    while (q.next())
        rows.push_back(q.takeRow());
    if (auto read = q.status(); !read)
        return read.failure();
    return rows;
}

Result<> readPhotos(const QSqlDatabase &db, qint64 bookId, const std::function<void(const PhotoValues &)> &take)
{
    const SmallPageCache cache(db);
    RowReader q(db, QLatin1String(kPhotosUnread));
    if (auto run = runPhotoQuery(q, bookId); !run)
        return run;
    // The reader's row is read into again for the next one: no row is allocated.
    while (q.next())
        take(q.row());
    return q.status();
}

bool sameStoredValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    const auto isNumber = [](const QVariant &v) {
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
            return true;
        default:
            return false;
        }
    };
    if (isNumber(a) && isNumber(b))
        return a.toDouble() == b.toDouble();
    return a.toString() == b.toString();
}

Result<qint64> countPhotos(const QSqlDatabase &db, qint64 bookId)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM Photos WHERE BookID = ?"));
    q.addBindValue(bookId);
    if (!q.exec() || !q.next())
        return queryFailure(QStringLiteral("The photos of the book could not be counted"), q.lastError());
    return q.value(0).toLongLong();
}

PhotoWriter::PhotoWriter(const QSqlDatabase &db)
    : m_db(db)
    , m_insert(m_db)
    , m_update(m_db)
    , m_remove(m_db)
{
}

Result<qint64> PhotoWriter::insert(const PhotoValues &values)
{
    const QStringList fields = photoFields().mid(1);
    if (m_insert.lastQuery().isEmpty()) {
        const QString marks = QStringList(fields.size(), QStringLiteral("?")).join(QLatin1Char(','));
        const QString sql = QStringLiteral("INSERT INTO Photos (%1) VALUES (%2) RETURNING ID")
                                .arg(fields.join(QLatin1Char(',')), marks);
        if (auto prepared = prepareOnce(m_insert, sql); !prepared)
            return prepared.failure();
    }
    for (int i = 1; i < values.size(); ++i)
        m_insert.bindValue(i - 1, values.at(i));
    if (!m_insert.exec() || !m_insert.next())
        return queryFailure(QStringLiteral("A photo row could not be added"), m_insert.lastError());
    const qint64 id = m_insert.value(0).toLongLong();
    m_insert.finish();
    return id;
}

Result<> PhotoWriter::update(const PhotoValues &values)
{
    const QStringList fields = photoFields().mid(1);
    if (m_update.lastQuery().isEmpty()) {
        QStringList sets;
        for (const QString &f : fields)
            sets << f + QStringLiteral(" = ?");
        const QString sql = QStringLiteral("UPDATE Photos SET %1 WHERE ID = ?").arg(sets.join(QLatin1Char(',')));
        if (auto prepared = prepareOnce(m_update, sql); !prepared)
            return prepared;
    }
    for (int i = 1; i < values.size(); ++i)
        m_update.bindValue(i - 1, values.at(i));
    m_update.bindValue(int(fields.size()), values.at(0));
    if (!m_update.exec())
        return queryFailure(QStringLiteral("A photo row could not be written"), m_update.lastError());
    // Reaching no row would report an edit as saved that is gone.
    if (m_update.numRowsAffected() == 0)
        return changedElsewhere();
    return done();
}

Result<> PhotoWriter::remove(qint64 id)
{
    if (auto prepared = prepareOnce(m_remove, QStringLiteral("DELETE FROM Photos WHERE ID = ?")); !prepared)
        return prepared;
    m_remove.bindValue(0, id);
    if (!m_remove.exec())
        return queryFailure(QStringLiteral("A photo row could not be deleted"), m_remove.lastError());
    if (m_remove.numRowsAffected() == 0)
        return changedElsewhere();
    return done();
}

} // namespace store
