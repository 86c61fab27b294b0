#include "library/LibraryCopy.h"

#include "library/Books.h"

#include "store/Dialect.h"
#include "store/PgCopy.h"
#include "store/Schema.h"
#include "store/Store.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVector>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace library {

using namespace store;

namespace {

struct Table
{
    QString name;
    QStringList fields;
};

// Books before photos, each in key order.
QVector<Table> tables()
{
    return {{QStringLiteral("Books"), bookFields()}, {QStringLiteral("Photos"), photoFields()}};
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

Result<> refuseUnlessEmpty(const Store &target)
{
    QSqlQuery q(target.db());
    for (const Table &table : tables()) {
        if (!q.exec(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(table.name)))
            return target.fault(describeError(QStringLiteral("could not be read"), q.lastError()));
        if (q.next())
            return target.fault(
                QStringLiteral("already holds %1: a library is copied only into an empty store. Nothing was changed.")
                    .arg(table.name == QLatin1String("Books") ? QStringLiteral("books") : QStringLiteral("photos")));
    }
    return done();
}

// Streams every row of one table of the source to `add`, a row at a time. A NULL reaches it as
// a null QVariant; every other value as the source's driver gives it.
template <typename Add> Result<qint64> streamTable(const Store &source, const Table &table, Add add)
{
    QSqlQuery read(source.db());
    read.setForwardOnly(true);
    const QString readFailed = QStringLiteral("The %1 of %2 could not be read").arg(table.name, source.displayName());
    if (!read.exec(
            QStringLiteral("SELECT %1 FROM %2 ORDER BY ID").arg(table.fields.join(QStringLiteral(", ")), table.name)))
        return queryFailure(readFailed, read.lastError());
    QVector<QVariant> values(table.fields.size());
    qint64 rows = 0;
    while (read.next()) {
        for (int i = 0; i < values.size(); ++i)
            values[i] = read.isNull(i) ? QVariant() : read.value(i);
        if (const auto added = add(values); !added)
            return added.failure();
        ++rows;
    }
    if (read.lastError().isValid())
        return queryFailure(readFailed, read.lastError());
    return rows;
}

// A server takes the rows with COPY: one round trip per megabyte instead of one per row.
Result<qint64> copyTableToServer(const Store &source, const Table &table, const Store &target)
{
    PgCopy copy(target.db(), table.name, table.fields);
    if (const auto begun = copy.begin(); !begun)
        return begun.failure();
    auto rows = streamTable(source, table, [&](const QVector<QVariant> &values) { return copy.addRow(values); });
    if (!rows)
        return rows;
    if (const auto finished = copy.finish(); !finished)
        return finished.failure();
    return rows;
}

// A database file takes the rows through one prepared statement that states every key.
Result<qint64> copyTableToFile(const Store &source, const Table &table, const Store &target)
{
    QSqlQuery insert(target.db());
    const QString marks = QStringList(table.fields.size(), QStringLiteral("?")).join(QLatin1Char(','));
    if (!insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(table.name, table.fields.join(QLatin1Char(',')), marks)))
        return fail(
            describeError(QStringLiteral("The %1 rows could not be written").arg(table.name), insert.lastError()));
    return streamTable(source, table, [&](const QVector<QVariant> &values) -> Result<> {
        for (int i = 0; i < values.size(); ++i)
            insert.bindValue(i, values[i]);
        if (!insert.exec())
            return queryFailure(
                QStringLiteral("The %1 row with ID %2 could not be written").arg(table.name, values[0].toString()),
                insert.lastError());
        return done();
    });
}

QString nextLockName()
{
    static QAtomicInt counter;
    return QStringLiteral("photoseries-replace-%1").arg(counter.fetchAndAddRelaxed(1));
}

void removeDatabaseFile(const QString &path)
{
    QFile::remove(path + QStringLiteral("-journal"));
    QFile::remove(path);
}

// A rename reaches the disk only with its folder.
void syncFolder(const QString &path)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

bool isBusy(const QSqlError &error)
{
    const int primary = error.nativeErrorCode().toInt() & 0xff;
    return primary == 5 || primary == 6; // SQLITE_BUSY, SQLITE_LOCKED
}

// Renames the finished copy over the old file. The old file is held exclusively meanwhile: a
// program writing to it finishes first (or the replacement gives up after the busy timeout and
// changes nothing), and the change a stopped program left unfinished in its journal is undone
// instead of being applied to the new file. A file that is not a database cannot be held and is
// replaced as it is.
Result<> putInPlace(const QString &copy, const QString &file)
{
    const QString connection = nextLockName();
    Result<> placed;
    {
        QSqlDatabase old;
        bool holding = false;
        if (QFileInfo::exists(file)) {
            old = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            old.setDatabaseName(file);
            old.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
            if (old.open()) {
                QSqlQuery q(old);
                holding = q.exec(QStringLiteral("BEGIN EXCLUSIVE"));
                if (!holding && isBusy(q.lastError()))
                    placed = queryFailure(
                        QStringLiteral("The database file %1 could not be replaced").arg(native(file)), q.lastError());
            }
        }
        if (placed) {
            // With the old file held, no journal beside it belongs to a change still going on.
            const QString journal = file + QStringLiteral("-journal");
            if (QFile::exists(journal) && !QFile::remove(journal)) {
                placed = fail(QStringLiteral("The database file %1 could not be replaced: its journal %2 cannot be "
                                             "removed.")
                                  .arg(native(file), native(journal)));
            } else if (std::rename(QFile::encodeName(copy).constData(), QFile::encodeName(file).constData()) != 0) {
                placed = fail(QStringLiteral("The database file %1 could not be replaced by %2: %3")
                                  .arg(native(file), native(copy), QString::fromLocal8Bit(std::strerror(errno))));
            } else {
                syncFolder(file);
            }
        }
        if (holding)
            old.rollback();
        old.close();
    }
    if (QSqlDatabase::contains(connection))
        QSqlDatabase::removeDatabase(connection);
    return placed;
}

// Builds the copy under the temporary name and renames it into place once complete.
Result<CopiedRows> replaceFile(Store &source, const QString &file)
{
    const QString copy = replacementPath(file);
    // What a copy that was stopped left behind; its journal would otherwise be applied to the
    // new file.
    removeDatabaseFile(copy);
    Result<CopiedRows> copied = [&]() -> Result<CopiedRows> {
        Store target(copy);
        if (const auto opened = target.open(); !opened)
            return opened.failure();
        return copyRows(source, target);
    }();
    source.close();
    if (copied) {
        if (const auto placed = putInPlace(copy, file); !placed)
            copied = placed.failure();
    }
    if (!copied)
        removeDatabaseFile(copy);
    return copied;
}

} // namespace

QString replacementPath(const QString &file)
{
    return file + QStringLiteral(".new");
}

Result<CopiedRows> copyRows(Store &source, Store &target)
{
    Transaction reading(source.db());
    if (!reading.begun())
        return reading.begun().failure();
    QSqlQuery q(source.db());
    for (const QString &sql : dialect::snapshotReads(source.backend())) {
        if (!q.exec(sql))
            return source.fault(describeError(QStringLiteral("could not be read"), q.lastError()));
    }
    // Every store holds one book per label (letter case ignored) once its unique index is in
    // place; a source made before that may hold two, which the copy would put into a store that
    // cannot hold them.
    const auto shared = duplicateLabels(source.db());
    if (!shared)
        return shared.failure();
    if (!shared->isEmpty())
        return fail(QStringLiteral("The books %1 share a label (letter case ignored), which the copy cannot hold. "
                                   "Give each its own label first. Nothing was changed.")
                        .arg(shared->join(QStringLiteral("; "))),
                    FailureKind::Duplicate);

    Transaction writing(target.db());
    if (!writing.begun())
        return writing.begun().failure();
    if (const auto empty = refuseUnlessEmpty(target); !empty)
        return empty.failure();
    const bool server = target.backend() == Backend::Postgres;
    QVector<qint64> counts;
    for (const Table &table : tables()) {
        const auto rows = server ? copyTableToServer(source, table, target) : copyTableToFile(source, table, target);
        if (!rows)
            return rows.failure();
        counts << *rows;
    }
    if (const auto keys = dialect::continueKeysAfterCopy(target.db()); !keys)
        return keys.failure();
    if (const auto committed = writing.commit(); !committed)
        return committed.failure();
    return CopiedRows{counts.value(0), counts.value(1)};
}

Result<CopiedRows> copyLibrary(const QString &from, const QString &to, CopyMode mode)
{
    Store source(from);
    if (const auto opened = source.openReadOnly(); !opened)
        return opened.failure();
    if (isServerLocation(to)) {
        Store target(to);
        if (mode == CopyMode::Replace)
            return target.fault(QStringLiteral("cannot be replaced whole: a team library holds the work of others. "
                                               "Copy only into an empty database. Nothing was changed."));
        if (const auto opened = target.open(); !opened)
            return opened.failure();
        return copyRows(source, target);
    }
    if (mode == CopyMode::IntoEmpty && QFileInfo::exists(to)) {
        Store target(to);
        if (const auto opened = target.open(); !opened)
            return opened.failure();
        return copyRows(source, target);
    }
    return replaceFile(source, to);
}

} // namespace library
