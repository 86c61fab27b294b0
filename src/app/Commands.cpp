#include "app/Commands.h"

#include "install/BookExport.h"
#include "install/BookImport.h"
#include "store/LibraryCopy.h"
#include "store/Store.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <QVector>

#include <optional>

namespace cli {

namespace {

// Files above this size get a progress bar, as in the import window.
constexpr qint64 kProgressFromBytes = qint64(512) * 1024;

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

int fail(Console &console, const QString &message)
{
    console.err << message << Qt::endl;
    return Failure;
}

// A query that fails on a store that opened is a damaged store, or a server that went away:
// said in the start-up's words.
int readFault(Console &console, const store::Store &store, const QString &what, const QSqlQuery &query)
{
    return fail(
        console,
        store.fault(QStringLiteral("could not be read.\n%1").arg(store::describeError(what, query.lastError()))).text);
}

// Opens the store; a server that wants a password it was not given is told that no password
// is asked for here.
bool opened(Console &console, store::Store &store, bool readOnly)
{
    const auto result = readOnly ? store.openReadOnly() : store.open();
    if (result)
        return true;
    console.err << result.error() << Qt::endl;
    if (store.needsPassword())
        console.err << "The command line does not ask for a password." << Qt::endl;
    return false;
}

// A bar on standard error, redrawn in place whenever the percentage moves.
class TerminalProgress final : public install::ImportProgress
{
public:
    TerminalProgress(QTextStream &err, QString name)
        : m_err(err)
        , m_name(std::move(name))
    {
    }
    ~TerminalProgress() override
    {
        if (m_percent >= 0)
            m_err << Qt::endl;
    }

    bool advance(qint64 bytesRead, qint64 bytesTotal) override
    {
        const int percent = bytesTotal > 0 ? int(qBound(qint64(0), bytesRead * 100 / bytesTotal, qint64(100))) : 100;
        if (percent == m_percent)
            return true;
        m_percent = percent;
        constexpr int kWidth = 30;
        const int filled = percent * kWidth / 100;
        m_err << '\r' << m_name << " [" << QString(filled, QLatin1Char('#'))
              << QString(kWidth - filled, QLatin1Char(' ')) << "] " << percent << '%' << Qt::flush;
        return true;
    }

private:
    QTextStream &m_err;
    QString m_name;
    int m_percent = -1;
};

QString bookLabel(const QSqlDatabase &db, qint64 bookId)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT BookLabel FROM Books WHERE ID = ?"));
    q.addBindValue(bookId);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

// RFC 4180: a field holding a comma, a quote or a line break is quoted, its quotes doubled.
QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// One line per book in the column form: tabs and line breaks inside a text would split it.
QString columnField(QString text)
{
    for (QChar &c : text)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    return text;
}

} // namespace

int importFiles(const QString &location, const QStringList &files, Console &console)
{
    store::Store store(location);
    if (!opened(console, store, false))
        return Failure;

    int notImported = 0;
    for (const QString &file : files) {
        std::optional<TerminalProgress> progress;
        if (console.errIsTerminal && QFileInfo(file).size() > kProgressFromBytes)
            progress.emplace(console.err, QFileInfo(file).fileName());
        const install::ImportOutcome outcome =
            install::importBookFile(store.db(), file, progress ? &*progress : nullptr);
        progress.reset();
        if (outcome.result == install::ImportOutcome::Result::Imported) {
            console.out << QStringLiteral("Imported %1: book %2, %3 photos")
                               .arg(native(file), bookLabel(store.db(), outcome.bookId))
                               .arg(outcome.photos)
                        << Qt::endl;
        } else {
            ++notImported;
            console.err << (outcome.message.isEmpty()
                                ? QStringLiteral("The install file %1 was not imported.").arg(native(file))
                                : outcome.message)
                        << Qt::endl;
        }
    }
    // The imports leave the photo counts to this one recount, as the import window does.
    if (const auto counted = store.recount(); !counted)
        return fail(console, counted.error());
    return notImported == 0 ? Success : Failure;
}

int exportBooks(const QString &location, const QString &bookLabel, const QString &file, Console &console)
{
    store::Store store(location);
    if (!opened(console, store, true))
        return Failure;

    qint64 bookId = 0;
    if (!bookLabel.isEmpty()) {
        QString error;
        bookId = install::bookByLabel(store.db(), bookLabel, error);
        if (bookId == 0)
            return fail(console, error);
    }
    const bool csv = QFileInfo(file).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
    const install::ExportOutcome outcome =
        csv ? install::exportCsv(store.db(), bookId, file) : install::exportBookFile(store.db(), bookId, file);
    if (!outcome.ok)
        return fail(console, outcome.message);
    for (const QString &note : outcome.notes)
        console.err << note << Qt::endl;
    console.out << QStringLiteral("Exported %1 photos to %2").arg(outcome.photos).arg(native(file)) << Qt::endl;
    return Success;
}

int listBooks(const QString &location, bool csv, Console &console)
{
    store::Store store(location);
    if (!opened(console, store, true))
        return Failure;

    // The photos are counted here rather than read from NumOfPhotos: a store that is only read
    // cannot have its counts brought up to date first, as the catalogue does at start-up.
    QSqlQuery q(store.db());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT BookLabel, BookDescription, "
                               "(SELECT COUNT(*) FROM Photos WHERE Photos.BookID = Books.ID), Active, Locked "
                               "FROM Books ORDER BY BookLabel, ID")))
        return readFault(console, store, QStringLiteral("The book list could not be read"), q);
    // Which store was read, for a user who is not sure where the program keeps its books.
    console.err << QStringLiteral("Store: %1").arg(store.displayName()) << Qt::endl;
    if (csv)
        console.out << "BookLabel,BookDescription,NumOfPhotos,Active,Owner\r\n";
    while (q.next()) {
        const bool active = q.value(3).toLongLong() != 0;
        // The owner as the catalogue shows it: a locked book belongs to the analysis program.
        const QString owner = q.value(4).toLongLong() != 0 ? QStringLiteral("OrvanePlus") : QStringLiteral("User");
        if (csv) {
            console.out << csvField(q.value(0).toString()) << ',' << csvField(q.value(1).toString()) << ','
                        << q.value(2).toLongLong() << ',' << (active ? 1 : 0) << ',' << owner << "\r\n";
        } else {
            console.out << columnField(q.value(0).toString()) << '\t' << columnField(q.value(1).toString()) << '\t'
                        << q.value(2).toLongLong() << '\t' << (active ? "yes" : "no") << '\t' << owner << '\n';
        }
    }
    if (q.lastError().isValid())
        return readFault(console, store, QStringLiteral("The book list could not be read"), q);
    console.out.flush();
    return Success;
}

int checkStore(const QString &location, Console &console)
{
    store::Store store(location);
    if (!opened(console, store, true))
        return Failure;

    int problems = 0;
    QSqlQuery q(store.db());
    q.setForwardOnly(true);

    // A server keeps its own structure sound; a database file is checked.
    if (const QString integrityCheck = store::dialect::integrityCheck(store.backend()); integrityCheck.isEmpty()) {
        console.out << "Integrity check: kept by the server\n";
    } else if (!q.exec(integrityCheck)) {
        ++problems;
        console.out << store::describeError(QStringLiteral("Integrity check: the check could not run"), q.lastError())
                    << '\n';
    } else {
        QStringList said;
        while (q.next())
            said << q.value(0).toString();
        if (q.lastError().isValid())
            said << store::describeError(QStringLiteral("the check stopped"), q.lastError());
        if (said == QStringList{QStringLiteral("ok")}) {
            console.out << "Integrity check: ok\n";
        } else {
            ++problems;
            console.out << "Integrity check: the file is damaged\n";
            for (const QString &line : said)
                console.out << "  " << line << '\n';
        }
    }

    // Rows whose BookID names no book (or is empty) are seen by no window.
    if (!q.exec(QStringLiteral("SELECT BookID, COUNT(*) FROM Photos "
                               "WHERE NOT EXISTS (SELECT 1 FROM Books WHERE Books.ID = Photos.BookID) "
                               "GROUP BY BookID ORDER BY BookID")))
        return readFault(console, store, QStringLiteral("The photo rows could not be read"), q);
    qint64 orphans = 0;
    QStringList orphanBooks;
    while (q.next()) {
        orphans += q.value(1).toLongLong();
        orphanBooks << QStringLiteral("%1 (%2)")
                           .arg(q.value(0).isNull() ? QStringLiteral("none") : q.value(0).toString())
                           .arg(q.value(1).toLongLong());
    }
    if (orphans == 0) {
        console.out << "Photo rows without a book: none\n";
    } else {
        ++problems;
        console.out << QStringLiteral("Photo rows without a book: %1, by the BookID they give: %2\n")
                           .arg(orphans)
                           .arg(orphanBooks.join(QStringLiteral(", ")));
    }

    if (!q.exec(QStringLiteral("SELECT BookLabel, ID, NumOfPhotos, Actual FROM ("
                               "SELECT BookLabel, ID, NumOfPhotos, "
                               "(SELECT COUNT(*) FROM Photos WHERE Photos.BookID = Books.ID) AS Actual FROM Books) "
                               "AS Counted WHERE NumOfPhotos IS DISTINCT FROM Actual ORDER BY BookLabel, ID")))
        return readFault(console, store, QStringLiteral("The photo counts could not be read"), q);
    QStringList stale;
    while (q.next())
        stale << QStringLiteral("  %1 (ID %2): %3 recorded, %4 photos")
                     .arg(q.value(0).toString(), q.value(1).toString(),
                          q.value(2).isNull() ? QStringLiteral("none") : q.value(2).toString(), q.value(3).toString());
    if (stale.isEmpty()) {
        console.out << "Stale photo counts: none\n";
    } else {
        ++problems;
        console.out << QStringLiteral("Stale photo counts: %1 (the catalogue corrects them when it starts)\n")
                           .arg(stale.size());
        for (const QString &line : stale)
            console.out << line << '\n';
    }
    console.out.flush();
    if (problems > 0)
        console.err
            << QStringLiteral("The store %1 has problems (see above); nothing was changed.").arg(store.displayName())
            << Qt::endl;
    return problems == 0 ? Success : Failure;
}

int copyStore(const QString &from, const QString &to, bool replace, Console &console)
{
    const auto copied = store::copyLibrary(from, to, replace ? store::CopyMode::Replace : store::CopyMode::IntoEmpty);
    if (!copied)
        return fail(console, copied.error());
    console.out << QStringLiteral("Copied %1 books and %2 photos from %3 to %4")
                       .arg(copied->books)
                       .arg(copied->photos)
                       .arg(store::Store(from).displayName(), store::Store(to).displayName())
                << Qt::endl;
    return Success;
}

} // namespace cli
