#include "app/PublishCommand.h"

#include "library/Books.h"
#include "publish/BookPdf.h"
#include "store/ImageRoot.h"
#include "store/Settings.h"
#include "store/Store.h"

#include <QDir>
#include <QTextStream>

#include <malloc.h>

namespace cli {

int publishBook(const PublishRequest &request, Console &console)
{
    // Qt's PDF writer takes and frees a 10 MB buffer for every page it compresses; glibc would
    // hand that memory back to the system and fault it in again each time, a third of the time
    // of a long data-only book. This process ends when the book is written, so it keeps it.
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    store::Store store(request.location);
    if (const auto opened = store.openReadOnly(); !opened) {
        console.err << opened.error() << Qt::endl;
        if (opened.is(store::FailureKind::NeedsPassword))
            console.err << "The command line does not ask for a password." << Qt::endl;
        return Failure;
    }
    const auto bookId = library::bookByLabel(store.db(), request.bookLabel);
    if (!bookId) {
        console.err << bookId.error() << Qt::endl;
        return Failure;
    }
    const auto book = publish::loadBookContent(store, *bookId);
    if (!book) {
        console.err << book.error() << Qt::endl;
        return Failure;
    }
    store.close();

    publish::PublishOptions options;
    options.pageSize = request.pageSize;
    options.images = request.images;
    options.programDir = request.programDir;
    const QString rootText = request.imageRoot.isEmpty()
                                 ? store::Settings().photoDir(store::defaultImageRoot(store::noCdRomDrive))
                                 : QDir::current().absoluteFilePath(request.imageRoot);
    options.imageFolder = publish::bookImageFolder(request.programDir, rootText, book->header.label.toString());
    const publish::PublishOutcome outcome = publish::publishBook(*book, options, request.file);
    for (const QString &note : outcome.notes)
        console.err << note << Qt::endl;
    if (!outcome.ok) {
        console.err << outcome.message << Qt::endl;
        return Failure;
    }
    console.out << QStringLiteral("Published %1 photos to %2 (%3 pages)")
                       .arg(outcome.photos)
                       .arg(QDir::toNativeSeparators(request.file))
                       .arg(outcome.pages)
                << Qt::endl;
    return Success;
}

} // namespace cli
