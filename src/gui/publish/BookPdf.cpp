#include "publish/BookPdf.h"

#include "editor/ImageDecoding.h"
#include "editor/ImageFiles.h"
#include "publish/PdfPages.h"

#include <QDir>
#include <QFileInfo>
#include <QFuture>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <deque>

namespace publish {

namespace {

// Print resolution: images are decoded at this many pixels per inch of their printed size.
constexpr int kDpi = 300;

// The two images of one photo page, and what the command's report says about them.
struct PhotoImages
{
    PageImage photo;
    PageImage plate;
    QStringList notes;
};

struct ImageRequest
{
    QString photoLabel;
    QString what; // "photo" or "data plate"
    QString name;
    QSize box;
};

PageImage decodeOne(const editor::BookImageFolder &folder, const ImageRequest &request, QStringList &notes)
{
    const QString name = request.name.trimmed();
    if (name.isEmpty())
        return {{}, QStringLiteral("No %1 file is named for this photo.").arg(request.what)};
    if (!editor::BookImageFolder::isPlainName(name)) {
        notes << QStringLiteral("Photo %1: the %2 file name %3 is not a plain file name; it was not looked up.")
                     .arg(request.photoLabel, request.what, name);
        return {{}, QStringLiteral("The %1 file name %2 is not a plain file name.").arg(request.what, name)};
    }
    const QString path = folder.find(name);
    if (path.isEmpty()) {
        const QString lookedFor = QDir::toNativeSeparators(folder.folder().isEmpty() ? name : folder.pathFor(name));
        notes << QStringLiteral("Photo %1: the %2 file %3 was not found.")
                     .arg(request.photoLabel, request.what, lookedFor);
        return {
            {},
            QStringLiteral("%1 file not found:\n%2")
                .arg(request.what == QLatin1String("photo") ? QStringLiteral("Photo") : QStringLiteral("Data plate"),
                     lookedFor)};
    }
    editor::DecodedImage decoded = editor::decodePreview(path, request.box);
    if (decoded.image.isNull()) {
        notes << QStringLiteral("Photo %1: the %2 file %3 could not be read. %4")
                     .arg(request.photoLabel, request.what, QDir::toNativeSeparators(path), decoded.error);
        return {{}, QStringLiteral("%1\n%2").arg(QDir::toNativeSeparators(path), decoded.error)};
    }
    // The page holds colour or grey pixels without transparency: written as JPEG, not as a
    // lossless image many times the size.
    if (decoded.image.hasAlphaChannel())
        decoded.image = decoded.image.convertToFormat(QImage::Format_RGB32);
    return {std::move(decoded.image), {}};
}

PhotoImages decodePhoto(const editor::BookImageFolder &folder, const ImageRequest &photo, const ImageRequest &plate)
{
    PhotoImages images;
    images.photo = decodeOne(folder, photo, images.notes);
    images.plate = decodeOne(folder, plate, images.notes);
    return images;
}

// Decodes the images of the photo pages ahead of the page being drawn, in parallel, at most a
// few photos ahead so that memory stays bounded however long the book.
class ImagePipeline final
{
public:
    ImagePipeline(const BookContent &book, const PublishOptions &options, const PageDrawer &pages)
        : m_book(book)
        , m_folder(options.imageFolder.isEmpty() ? editor::BookImageFolder()
                                                 : editor::BookImageFolder(options.imageFolder))
        , m_photoBox(pages.photoBox())
        , m_plateBox(pages.plateBox())
        , m_enabled(options.images)
    {
        m_pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
        m_ahead = m_pool.maxThreadCount() * 2;
    }
    ~ImagePipeline()
    {
        m_pool.clear();
        m_pool.waitForDone();
    }
    ImagePipeline(const ImagePipeline &) = delete;
    ImagePipeline &operator=(const ImagePipeline &) = delete;

    // The images of photo `index`; photos are taken in order.
    PhotoImages take(int index)
    {
        if (!m_enabled)
            return {};
        while (m_next < m_book.photos.size() && m_next < index + m_ahead)
            m_queue.push_back(start(int(m_next++)));
        QFuture<PhotoImages> front = m_queue.front();
        m_queue.pop_front();
        return front.result();
    }

private:
    QFuture<PhotoImages> start(int index)
    {
        const store::PhotoValues &values = m_book.photos.at(index);
        const QString label = photoValue(values, QStringLiteral("PhotoLabel")).toString();
        const ImageRequest photo{label, QStringLiteral("photo"),
                                 photoValue(values, QStringLiteral("PhotoPic")).toString(), m_photoBox};
        const ImageRequest plate{label, QStringLiteral("data plate"),
                                 photoValue(values, QStringLiteral("DataPic")).toString(), m_plateBox};
        return QtConcurrent::run(&m_pool,
                                 [folder = m_folder, photo, plate] { return decodePhoto(folder, photo, plate); });
    }

    const BookContent &m_book;
    const editor::BookImageFolder m_folder;
    const QSize m_photoBox;
    const QSize m_plateBox;
    const bool m_enabled;
    QThreadPool m_pool;
    int m_ahead = 2;
    qsizetype m_next = 0;
    std::deque<QFuture<PhotoImages>> m_queue;
};

// Draws every page; false when the progress asked to stop.
bool drawPages(QPdfWriter &writer, const BookContent &book, const PublishOptions &options,
               const PublishProgress &progress, PublishOutcome &outcome)
{
    QPainter painter;
    if (!painter.begin(&writer)) {
        outcome.message = QStringLiteral("The PDF could not be started.");
        return false;
    }
    PageDrawer pages(painter, QSizeF(writer.width(), writer.height()), kDpi, book, options.images);
    const CodeDescriptions codes = readCodeDescriptions(options.programDir);
    outcome.notes << codes.faults;
    const int total = pages.totalPages();
    int done = 0;
    const auto next = [&] {
        ++done;
        if (done < total)
            writer.newPage();
        return !progress || progress(done, total);
    };
    pages.titlePage(QDate::currentDate());
    if (!next())
        return false;
    ImagePipeline images(book, options, pages);
    for (int i = 0; i < book.photos.size(); ++i) {
        PhotoImages decoded = images.take(i);
        outcome.notes << decoded.notes;
        pages.photoPage(i, decoded.photo, decoded.plate, codes);
        if (!next())
            return false;
    }
    for (int page = 0; page < pages.tablePages(); ++page) {
        pages.tablePage(page);
        if (!next())
            return false;
    }
    for (int page = 0; page < pages.chartPages(); ++page) {
        pages.chartPage(page);
        if (!next())
            return false;
    }
    outcome.pages = total;
    if (!painter.end()) {
        outcome.message = QStringLiteral("The PDF could not be completed.");
        return false;
    }
    return true;
}

} // namespace

PublishOutcome publishBook(const BookContent &book, const PublishOptions &options, const QString &pdfPath,
                           const PublishProgress &progress)
{
    PublishOutcome outcome;
    const QString shown = QDir::toNativeSeparators(pdfPath);
    // Written beside the target and renamed into place once complete: an earlier file stays
    // whole until then.
    QSaveFile file(pdfPath);
    if (!file.open(QIODevice::WriteOnly)) {
        outcome.message = QStringLiteral("The file %1 could not be written: %2").arg(shown, file.errorString());
        return outcome;
    }
    {
        QPdfWriter writer(&file);
        writer.setResolution(kDpi);
        writer.setPageSize(QPageSize(options.pageSize));
        writer.setPageMargins(QMarginsF(36, 36, 36, 36), QPageLayout::Point);
        writer.setTitle(QStringLiteral("%1 %2").arg(book.header.label.toString(), book.header.description.toString()));
        writer.setCreator(QStringLiteral("Photo Series Books"));
        const bool drawn = drawPages(writer, book, options, progress, outcome);
        if (!drawn) {
            file.cancelWriting();
            outcome.cancelled = outcome.message.isEmpty();
            if (outcome.cancelled)
                outcome.message = QStringLiteral("The publish was cancelled; %1 was not changed.").arg(shown);
            return outcome;
        }
    }
    if (!file.commit()) {
        outcome.message = QStringLiteral("The file %1 could not be written: %2").arg(shown, file.errorString());
        return outcome;
    }
    outcome.ok = true;
    outcome.photos = int(book.photos.size());
    return outcome;
}

bool pageSizeFromName(const QString &name, QPageSize::PageSizeId &size)
{
    if (name.compare(QLatin1String("letter"), Qt::CaseInsensitive) == 0)
        size = QPageSize::Letter;
    else if (name.compare(QLatin1String("a4"), Qt::CaseInsensitive) == 0)
        size = QPageSize::A4;
    else
        return false;
    return true;
}

} // namespace publish
