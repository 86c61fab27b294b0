// The catalogue's Publish... command: the selected book as a print-ready PDF.
#include "catalogue/BookListModel.h"
#include "catalogue/CatalogueWindow.h"
#include "library/BookList.h"
#include "publish/BookPdf.h"
#include "ui/CoolButton.h"
#include "ui/Messages.h"

#include <QDir>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QLineEdit>
#include <QProgressDialog>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>

namespace catalogue {

namespace {

// A report lists this many images that were missing or unreadable, then how many more.
constexpr int kListedNotes = 12;

// Publishes on another thread while a progress dialog with Cancel shows how far it has come; the
// window stays responsive and the catalogue takes no other command meanwhile.
publish::PublishOutcome publishWithProgress(QWidget *window, const publish::BookContent &book,
                                            const publish::PublishOptions &options, const QString &path)
{
    QProgressDialog progress(QStringLiteral("Publishing %1...").arg(book.header.label.toString()),
                             QStringLiteral("Cancel"), 0, 1, window);
    progress.setObjectName(QStringLiteral("dlgPublishProgress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoReset(false);
    std::atomic<int> done{0};
    std::atomic<int> total{1};
    std::atomic<bool> cancelled{false};
    QObject::connect(&progress, &QProgressDialog::canceled, [&cancelled] { cancelled = true; });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        progress.setMaximum(total);
        progress.setValue(done);
    });
    tick.start(100);

    QFutureWatcher<publish::PublishOutcome> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcher<publish::PublishOutcome>::finished, &loop, &QEventLoop::quit);
    window->setEnabled(false);
    watcher.setFuture(QtConcurrent::run([&book, &options, &path, &done, &total, &cancelled] {
        return publish::publishBook(book, options, path, [&](int pagesDone, int pagesTotal) {
            done = pagesDone;
            total = pagesTotal;
            return !cancelled;
        });
    }));
    loop.exec();
    window->setEnabled(true);
    return watcher.result();
}

} // namespace

void CatalogueWindow::onPublish()
{
    cmdPublish->setRestColours();
    const int row = selectedBookRow();
    if (row < 0)
        return;
    const library::BookRow book = m_books->book(row);
    const QDir programDir(m_context.programDir);
    const QString path =
        m_context.saveFileName(this, programDir.filePath(book.label + QStringLiteral(".pdf")), {"PDF (*.pdf)"});
    if (path.isEmpty())
        return;
    // The book as it is stored now, read in one snapshot.
    const auto content = publish::loadBookContent(*m_store, book.id);
    if (!content) {
        report(content.error());
        return;
    }
    publish::PublishOptions options;
    options.programDir = m_context.programDir;
    options.imageFolder =
        publish::bookImageFolder(m_context.programDir, txtPath->text(), content->header.label.toString());
    const publish::PublishOutcome outcome = publishWithProgress(this, *content, options, path);
    if (outcome.cancelled)
        return;
    if (!outcome.ok) {
        report(outcome.message);
        return;
    }
    QStringList lines{QStringLiteral("The book %1 was published to %2 (%3 pages).")
                          .arg(book.label, QDir::toNativeSeparators(path))
                          .arg(outcome.pages)};
    if (!outcome.notes.isEmpty()) {
        lines << QStringLiteral("Not everything could be shown:");
        lines << outcome.notes.mid(0, kListedNotes);
        if (outcome.notes.size() > kListedNotes)
            lines << QStringLiteral("and %1 more.").arg(outcome.notes.size() - kListedNotes);
    }
    m_context.messages->tell(
        {lines.join(QLatin1Char('\n')), outcome.notes.isEmpty() ? ui::Icon::Information : ui::Icon::Exclamation});
}

} // namespace catalogue
