#include "store/Photos.h"

#include "store/Schema.h"
#include "store/Store.h"

#include <QSqlError>

namespace store {

namespace {

QString fieldList()
{
    return photoFields().join(QStringLiteral(", "));
}

// Prepares a statement once; an empty text when it was prepared, else what failed.
QString prepareOnce(QSqlQuery &q, const QString &sql)
{
    if (!q.lastQuery().isEmpty())
        return {};
    if (!q.prepare(sql))
        return describeError(QStringLiteral("The photo rows could not be written"), q.lastError());
    return {};
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

bool loadPhotos(const QSqlDatabase &db, qint64 bookId, QVector<PhotoValues> &rows, QString &error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM Photos WHERE BookID = ? ORDER BY ID").arg(fieldList()));
    q.addBindValue(bookId);
    if (!q.exec()) {
        error = describeError(QStringLiteral("The photos of the book could not be read"), q.lastError());
        return false;
    }
    const int count = int(photoFields().size());
    rows.clear();
    while (q.next()) {
        PhotoValues values(count);
        for (int i = 0; i < count; ++i)
            values[i] = q.value(i);
        rows.push_back(std::move(values));
    }
    if (q.lastError().isValid()) {
        error = describeError(QStringLiteral("The photos of the book could not be read"), q.lastError());
        return false;
    }
    return true;
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

qint64 countPhotos(const QSqlDatabase &db, qint64 bookId, QString &error)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM Photos WHERE BookID = ?"));
    q.addBindValue(bookId);
    if (!q.exec() || !q.next()) {
        error = describeError(QStringLiteral("The photos of the book could not be counted"), q.lastError());
        return -1;
    }
    return q.value(0).toLongLong();
}

PhotoWriter::PhotoWriter(QSqlDatabase db)
    : m_db(std::move(db))
    , m_insert(m_db)
    , m_update(m_db)
    , m_remove(m_db)
{
}

QString PhotoWriter::insert(const PhotoValues &values, qint64 &newId)
{
    const QStringList fields = photoFields().mid(1);
    if (m_insert.lastQuery().isEmpty()) {
        const QString marks = QStringList(fields.size(), QStringLiteral("?")).join(QLatin1Char(','));
        const QString sql =
            QStringLiteral("INSERT INTO Photos (%1) VALUES (%2)").arg(fields.join(QLatin1Char(',')), marks);
        if (const QString error = prepareOnce(m_insert, sql); !error.isEmpty())
            return error;
    }
    for (int i = 1; i < values.size(); ++i)
        m_insert.bindValue(i - 1, values.at(i));
    if (!m_insert.exec())
        return describeError(QStringLiteral("A photo row could not be added"), m_insert.lastError());
    newId = m_insert.lastInsertId().toLongLong();
    return {};
}

QString PhotoWriter::update(const PhotoValues &values)
{
    const QStringList fields = photoFields().mid(1);
    if (m_update.lastQuery().isEmpty()) {
        QStringList sets;
        for (const QString &f : fields)
            sets << f + QStringLiteral(" = ?");
        const QString sql = QStringLiteral("UPDATE Photos SET %1 WHERE ID = ?").arg(sets.join(QLatin1Char(',')));
        if (const QString error = prepareOnce(m_update, sql); !error.isEmpty())
            return error;
    }
    for (int i = 1; i < values.size(); ++i)
        m_update.bindValue(i - 1, values.at(i));
    m_update.bindValue(int(fields.size()), values.at(0));
    if (!m_update.exec())
        return describeError(QStringLiteral("A photo row could not be written"), m_update.lastError());
    // Reaching no row would report an edit as saved that is gone.
    if (m_update.numRowsAffected() == 0)
        return changedElsewhereMessage();
    return {};
}

QString PhotoWriter::remove(qint64 id)
{
    if (const QString error = prepareOnce(m_remove, QStringLiteral("DELETE FROM Photos WHERE ID = ?"));
        !error.isEmpty())
        return error;
    m_remove.bindValue(0, id);
    if (!m_remove.exec())
        return describeError(QStringLiteral("A photo row could not be deleted"), m_remove.lastError());
    if (m_remove.numRowsAffected() == 0)
        return changedElsewhereMessage();
    return {};
}

} // namespace store
