#include "library/Books.h"

#include "store/Store.h"
#include "store/YesNo.h"

#include <QSqlError>
#include <QSqlQuery>

namespace library {

namespace {

QString labelOrder(const QSqlDatabase &db)
{
    return store::dialect::labelOrder(store::backendOf(db), QStringLiteral("BookLabel"));
}

// Runs a statement and hands each row to `row`; the failure names `what`.
template <typename Row>
store::Result<> eachRow(const QSqlDatabase &db, const QString &sql, const QString &what, Row row)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(sql))
        return store::queryFailure(what, q.lastError());
    while (q.next())
        row(q);
    if (q.lastError().isValid())
        return store::queryFailure(what, q.lastError());
    return store::done();
}

store::Result<> checkIntegrity(const QSqlDatabase &db, CheckReport &report)
{
    const QString sql = store::dialect::integrityCheck(store::backendOf(db));
    if (sql.isEmpty())
        return store::done();
    report.integrityChecked = true;
    // A check that cannot run or stops midway is itself a finding about the file.
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(sql)) {
        report.integrityError = store::describeError(QStringLiteral("the check could not run"), q.lastError());
        return store::done();
    }
    while (q.next())
        report.integrity << q.value(0).toString();
    if (q.lastError().isValid())
        report.integrity << store::describeError(QStringLiteral("the check stopped"), q.lastError());
    return store::done();
}

store::Result<> checkOrphans(const QSqlDatabase &db, CheckReport &report)
{
    return eachRow(db,
                   QStringLiteral("SELECT BookID, COUNT(*) FROM Photos "
                                  "WHERE NOT EXISTS (SELECT 1 FROM Books WHERE Books.ID = Photos.BookID) "
                                  "GROUP BY BookID ORDER BY BookID"),
                   QStringLiteral("The photo rows could not be read"), [&](const QSqlQuery &q) {
                       report.orphans += q.value(1).toLongLong();
                       report.orphanBooks
                           << QStringLiteral("%1 (%2)")
                                  .arg(q.value(0).isNull() ? QStringLiteral("none") : q.value(0).toString())
                                  .arg(q.value(1).toLongLong());
                   });
}

store::Result<> checkCounts(const QSqlDatabase &db, CheckReport &report)
{
    return eachRow(db,
                   QStringLiteral("SELECT BookLabel, ID, NumOfPhotos, Actual FROM ("
                                  "SELECT BookLabel, ID, NumOfPhotos, "
                                  "(SELECT COUNT(*) FROM Photos WHERE Photos.BookID = Books.ID) AS Actual FROM Books) "
                                  "AS Counted WHERE NumOfPhotos IS DISTINCT FROM Actual ORDER BY %1, ID")
                       .arg(labelOrder(db)),
                   QStringLiteral("The photo counts could not be read"), [&](const QSqlQuery &q) {
                       report.staleCounts
                           << QStringLiteral("%1 (ID %2): %3 recorded, %4 photos")
                                  .arg(q.value(0).toString(), q.value(1).toString(),
                                       q.value(2).isNull() ? QStringLiteral("none") : q.value(2).toString(),
                                       q.value(3).toString());
                   });
}

// A label as both kinds of store compare it: ASCII capitals made small, every other character
// as it is.
QString labelFolded(QString label)
{
    for (QChar &c : label) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return label;
}

store::Result<> checkLabels(const QSqlDatabase &db, CheckReport &report)
{
    const QString key = store::dialect::labelKey(store::backendOf(db), QStringLiteral("BookLabel"));
    QString last;
    QStringList ids;
    QString shown;
    const auto flush = [&] {
        if (ids.size() > 1)
            report.duplicateLabels << QStringLiteral("%1 (IDs %2)").arg(shown, ids.join(QStringLiteral(", ")));
        ids.clear();
    };
    auto read = eachRow(db,
                        QStringLiteral("SELECT %1, BookLabel, ID FROM Books WHERE %1 IN "
                                       "(SELECT %1 FROM Books GROUP BY %1 HAVING COUNT(*) > 1) ORDER BY %2, ID")
                            .arg(key, labelOrder(db)),
                        QStringLiteral("The book labels could not be read"), [&](const QSqlQuery &q) {
                            // The store hands the label back as written, not folded.
                            const QString folded = labelFolded(q.value(0).toString());
                            if (folded != last || ids.isEmpty()) {
                                flush();
                                last = folded;
                                shown = q.value(1).toString();
                            }
                            ids << q.value(2).toString();
                        });
    flush();
    return read;
}

} // namespace

store::Result<QStringList> duplicateLabels(const QSqlDatabase &db)
{
    CheckReport report;
    if (auto read = checkLabels(db, report); !read)
        return read.failure();
    return report.duplicateLabels;
}

store::Result<QVector<BookSummary>> listBookSummaries(const QSqlDatabase &db)
{
    QVector<BookSummary> books;
    auto read = eachRow(db,
                        QStringLiteral("SELECT BookLabel, BookDescription, "
                                       "(SELECT COUNT(*) FROM Photos WHERE Photos.BookID = Books.ID), Active, Locked "
                                       "FROM Books ORDER BY %1, ID")
                            .arg(labelOrder(db)),
                        QStringLiteral("The book list could not be read"), [&](const QSqlQuery &q) {
                            books.push_back({q.value(0).toString(), q.value(1).toString(), q.value(2).toLongLong(),
                                             store::fromYesNo(q.value(3)), store::fromYesNo(q.value(4))});
                        });
    if (!read)
        return read.failure();
    return books;
}

store::Result<qint64> bookByLabel(const QSqlDatabase &db, const QString &label)
{
    const store::Backend backend = store::backendOf(db);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT ID FROM Books WHERE %1 = %2 ORDER BY ID")
                  .arg(store::dialect::labelKey(backend, QStringLiteral("BookLabel")),
                       store::dialect::labelKey(backend, QStringLiteral("?"))));
    q.addBindValue(label);
    if (!q.exec())
        return store::queryFailure(QStringLiteral("The books could not be read"), q.lastError());
    if (!q.next()) {
        if (q.lastError().isValid())
            return store::queryFailure(QStringLiteral("The books could not be read"), q.lastError());
        return store::fail(QStringLiteral("There is no book with the identifier \"%1\".").arg(label),
                           store::FailureKind::NotFound);
    }
    return q.value(0).toLongLong();
}

store::Result<CheckReport> checkLibrary(const QSqlDatabase &db)
{
    store::Transaction transaction(db);
    if (!transaction.begun())
        return transaction.begun().failure();
    if (auto snapshot = store::beginSnapshot(db); !snapshot)
        return snapshot.failure();
    CheckReport report;
    for (auto step : {checkIntegrity, checkOrphans, checkCounts, checkLabels}) {
        if (auto checked = step(db, report); !checked)
            return checked.failure();
    }
    return report;
}

} // namespace library
