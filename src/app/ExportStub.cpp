// TEMPORARY: stands in for the export until it lands; deleted before the branch is merged.
#include "install/BookExport.h"

#include <QSqlQuery>

namespace install {

ExportOutcome exportBookFile(const QSqlDatabase &, qint64, const QString &)
{
    return {false, QStringLiteral("Export is not built yet."), {}, 0};
}

ExportOutcome exportCsv(const QSqlDatabase &, qint64, const QString &)
{
    return {false, QStringLiteral("Export is not built yet."), {}, 0};
}

qint64 bookByLabel(const QSqlDatabase &db, const QString &label, QString &error)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT ID FROM Books WHERE BookLabel = ?"));
    q.addBindValue(label);
    if (q.exec() && q.next())
        return q.value(0).toLongLong();
    error = QStringLiteral("No book is labelled %1.").arg(label);
    return 0;
}

} // namespace install
