#pragma once

#include "publish/BookContent.h"

#include <QPageSize>
#include <QString>
#include <QStringList>

#include <functional>

namespace publish {

struct PublishOptions
{
    QPageSize::PageSizeId pageSize = QPageSize::Letter;
    // Without images the book holds the data only: no photographs, no data plates.
    bool images = true;
    // The book's image folder (bookImageFolder()); empty when it has none.
    QString imageFolder;
    // Where the code files are read from.
    QString programDir;
};

// What a publish did. On failure or cancel `message` says why and the file at the path is as it
// was; `notes` name every image that was missing or could not be read (each got a placeholder).
struct PublishOutcome
{
    bool ok = false;
    bool cancelled = false;
    QString message;
    QStringList notes;
    int pages = 0;
    int photos = 0;
};

// Told how many of the book's pages are drawn, from the thread that draws them; answers false
// to stop the publish.
using PublishProgress = std::function<bool(int pagesDone, int pagesTotal)>;

// Writes the book as a PDF: a title page, a page per photo in the book's order, the summary
// table and chart, each page with the book's identifier and its page number. Images are decoded
// in parallel at their printed size (300 dots per inch). The file is written beside the path and
// renamed into place when complete, so a failed or cancelled publish leaves an earlier file whole.
// Needs a QGuiApplication (fonts); may run on any thread.
PublishOutcome publishBook(const BookContent &book, const PublishOptions &options, const QString &pdfPath,
                           const PublishProgress &progress = {});

// Reads a --page value ("letter" or "a4", letter case ignored); false for another.
bool pageSizeFromName(const QString &name, QPageSize::PageSizeId &size);

} // namespace publish
