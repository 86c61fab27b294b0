#include "app/Commands.h"

#include "library/BookExport.h"
#include "library/BookImport.h"
#include "library/Books.h"
#include "library/LibraryCopy.h"
#include "store/Store.h"

#include <QDir>
#include <QFileInfo>
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

// A read that fails on a store that opened is a damaged store, or a server that went away:
// said in the start-up's words.
int readFault(Console &console, const store::Store &store, const QString &error)
{
    return fail(console, store.fault(QStringLiteral("could not be read.\n%1").arg(error)).text);
}

// Opens the store; a server that wants a password it was not given is told that no password
// is asked for here.
bool opened(Console &console, store::Store &store, bool readOnly)
{
    const auto result = readOnly ? store.openReadOnly() : store.open();
    if (result)
        return true;
    console.err << result.error() << Qt::endl;
    if (result.is(store::FailureKind::NeedsPassword))
        console.err << "The command line does not ask for a password." << Qt::endl;
    return false;
}

// A bar on standard error, redrawn in place whenever the percentage moves.
class TerminalProgress final : public library::ImportProgress
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
        const auto imported = library::importBookFile(store.db(), file, progress ? &*progress : nullptr);
        progress.reset();
        if (imported) {
            console.out << QStringLiteral("Imported %1: book %2, %3 photos")
                               .arg(native(file), imported->label)
                               .arg(imported->photos)
                        << Qt::endl;
        } else {
            ++notImported;
            console.err << imported.error() << Qt::endl;
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
        const auto found = library::bookByLabel(store.db(), bookLabel);
        if (!found)
            return fail(console, found.error());
        bookId = *found;
    }
    const bool csv = QFileInfo(file).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
    const auto outcome =
        csv ? library::exportCsv(store.db(), bookId, file) : library::exportBookFile(store.db(), bookId, file);
    if (!outcome.ok())
        return fail(console, outcome.error());
    for (const QString &note : outcome->notes)
        console.err << note << Qt::endl;
    console.out << QStringLiteral("Exported %1 photos to %2").arg(outcome->photos).arg(native(file)) << Qt::endl;
    return Success;
}

int listBooks(const QString &location, bool csv, Console &console)
{
    store::Store store(location);
    if (!opened(console, store, true))
        return Failure;
    const auto books = library::listBookSummaries(store.db());
    if (!books)
        return readFault(console, store, books.error());
    // Which store was read, for a user who is not sure where the program keeps its books.
    console.err << QStringLiteral("Store: %1").arg(store.displayName()) << Qt::endl;
    if (csv)
        console.out << "BookLabel,BookDescription,NumOfPhotos,Active,Owner\r\n";
    for (const library::BookSummary &book : *books) {
        // The owner as the catalogue shows it: a locked book belongs to the analysis program.
        const QString owner = book.locked ? QStringLiteral("OrvanePlus") : QStringLiteral("User");
        if (csv) {
            console.out << csvField(book.label) << ',' << csvField(book.description) << ',' << book.photos << ','
                        << (book.active ? 1 : 0) << ',' << owner << "\r\n";
        } else {
            console.out << columnField(book.label) << '\t' << columnField(book.description) << '\t' << book.photos
                        << '\t' << (book.active ? "yes" : "no") << '\t' << owner << '\n';
        }
    }
    console.out.flush();
    return Success;
}

namespace {

// Prints one finding of check: "none" when the list is empty, else its lines. Counts a problem.
void report(Console &console, int &problems, const QString &heading, const QStringList &lines,
            const QString &summary = {})
{
    if (lines.isEmpty()) {
        console.out << heading << ": none\n";
        return;
    }
    ++problems;
    console.out << heading << ": " << (summary.isEmpty() ? QString::number(lines.size()) : summary) << '\n';
    for (const QString &line : lines)
        console.out << "  " << line << '\n';
}

void reportIntegrity(Console &console, int &problems, const library::CheckReport &found)
{
    if (!found.integrityChecked) {
        console.out << "Integrity check: kept by the server\n";
    } else if (!found.integrityError.isEmpty()) {
        ++problems;
        console.out << "Integrity check: " << found.integrityError << '\n';
    } else if (found.integrity == QStringList{QStringLiteral("ok")}) {
        console.out << "Integrity check: ok\n";
    } else {
        ++problems;
        console.out << "Integrity check: the file is damaged\n";
        for (const QString &line : found.integrity)
            console.out << "  " << line << '\n';
    }
}

} // namespace

int checkStore(const QString &location, Console &console)
{
    store::Store store(location);
    if (!opened(console, store, true))
        return Failure;
    const auto found = library::checkLibrary(store.db());
    if (!found)
        return readFault(console, store, found.error());

    int problems = 0;
    reportIntegrity(console, problems, *found);
    // Rows whose BookID names no book (or is empty) are seen by no window.
    if (found->orphans == 0) {
        console.out << "Photo rows without a book: none\n";
    } else {
        ++problems;
        console.out << QStringLiteral("Photo rows without a book: %1, by the BookID they give: %2\n")
                           .arg(found->orphans)
                           .arg(found->orphanBooks.join(QStringLiteral(", ")));
    }
    report(console, problems, QStringLiteral("Stale photo counts"), found->staleCounts,
           QStringLiteral("%1 (the catalogue corrects them when it starts)").arg(found->staleCounts.size()));
    report(console, problems, QStringLiteral("Books sharing one identifier"), found->duplicateLabels);
    console.out.flush();
    if (problems > 0)
        console.err
            << QStringLiteral("The store %1 has problems (see above); nothing was changed.").arg(store.displayName())
            << Qt::endl;
    return problems == 0 ? Success : Failure;
}

int copyStore(const QString &from, const QString &to, bool replace, Console &console)
{
    const auto copied =
        library::copyLibrary(from, to, replace ? library::CopyMode::Replace : library::CopyMode::IntoEmpty);
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
