#include "editor/PreviewPanel.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QLabel>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace editor {

struct PreviewPanel::Slot
{
    QLabel *picture = nullptr;
    QLabel *warning = nullptr; // under the picture, shown when the file has a fault
    QString shownPath;         // what the slot is to show now
    QString runningPath;
    bool running = false;
    QFutureWatcher<DecodedImage> *watcher = nullptr;
};

namespace {

QLabel *pictureLabel(QWidget *parent, const char *name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumSize(160, 120);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    label->setWordWrap(true);
    label->setFrameShape(QFrame::StyledPanel);
    return label;
}

QString cacheKey(const QString &path, const QSize &bound)
{
    const QFileInfo info(path);
    return QStringLiteral("%1|%2x%3|%4|%5")
        .arg(path)
        .arg(bound.width())
        .arg(bound.height())
        .arg(info.size())
        .arg(info.lastModified().toMSecsSinceEpoch());
}

QLabel *warningLabel(QWidget *parent, const char *name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #b00000;"));
    label->hide();
    return label;
}

void showWarning(QLabel *label, const QString &text)
{
    label->setText(text);
    label->setVisible(!text.isEmpty());
}

} // namespace

PreviewPanel::PreviewPanel(QWidget *parent)
    : QWidget(parent)
    , m_photo(new Slot)
    , m_data(new Slot)
{
    setObjectName(QStringLiteral("fraPreview"));
    m_photo->picture = pictureLabel(this, "picPhoto");
    m_data->picture = pictureLabel(this, "picDataPlate");
    m_photo->warning = warningLabel(this, "lblPhotoWarning");
    m_data->warning = warningLabel(this, "lblDataPlateWarning");
    m_folderNote = new QLabel(this);
    m_folderNote->setObjectName(QStringLiteral("lblPreviewFolder"));
    m_folderNote->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("Photo"), this));
    layout->addWidget(m_photo->picture, 3);
    layout->addWidget(m_photo->warning);
    layout->addWidget(new QLabel(QStringLiteral("Data Plate"), this));
    layout->addWidget(m_data->picture, 2);
    layout->addWidget(m_data->warning);
    layout->addWidget(m_folderNote);
    for (Slot *slot : {m_photo, m_data}) {
        slot->watcher = new QFutureWatcher<DecodedImage>(this);
        connect(slot->watcher, &QFutureWatcherBase::finished, this, [this, slot] { finished(*slot); });
    }
}

PreviewPanel::~PreviewPanel()
{
    for (Slot *slot : {m_photo, m_data}) {
        slot->watcher->waitForFinished();
        delete slot;
    }
}

void PreviewPanel::showImages(const QString &photoPath, const QString &photoNote, const QString &dataPath,
                              const QString &dataNote, const QString &folderNote)
{
    m_folderNote->setText(folderNote);
    request(*m_photo, photoPath, photoNote);
    request(*m_data, dataPath, dataNote);
}

void PreviewPanel::clear(const QString &note)
{
    m_folderNote->setText(note);
    request(*m_photo, {}, {});
    request(*m_data, {}, {});
}

bool PreviewPanel::isLoading() const
{
    return m_photo->running || m_data->running;
}

void PreviewPanel::request(Slot &slot, const QString &path, const QString &note)
{
    slot.shownPath = path;
    if (path.isEmpty()) {
        showWarning(slot.warning, {});
        slot.picture->setPixmap({});
        slot.picture->setText(note);
        slot.picture->setToolTip({});
        emit shown();
        return;
    }
    slot.picture->setToolTip(path);
    if (const QImage *cached = m_cache.object(cacheKey(path, slot.picture->size()))) {
        slot.picture->setPixmap(QPixmap::fromImage(*cached));
        showWarning(slot.warning, cached->text(QLatin1String(kImageWarningKey)));
        emit shown();
        return;
    }
    // The decode running goes on; the latest request waits for it and replaces any other.
    if (!slot.running)
        start(slot);
}

void PreviewPanel::start(Slot &slot)
{
    slot.running = true;
    slot.runningPath = slot.shownPath;
    const QSize bound = slot.picture->size().expandedTo(QSize(160, 120));
    slot.watcher->setFuture(QtConcurrent::run([path = slot.runningPath, bound] { return decodePreview(path, bound); }));
}

void PreviewPanel::finished(Slot &slot)
{
    slot.running = false;
    const DecodedImage result = slot.watcher->result();
    if (!result.image.isNull())
        m_cache.insert(cacheKey(slot.runningPath, slot.picture->size()), new QImage(result.image));
    if (slot.runningPath != slot.shownPath) {
        if (!slot.shownPath.isEmpty())
            start(slot);
        return;
    }
    showWarning(slot.warning, result.image.text(QLatin1String(kImageWarningKey)));
    if (result.image.isNull()) {
        slot.picture->setPixmap({});
        slot.picture->setText(result.error);
    } else {
        slot.picture->setPixmap(QPixmap::fromImage(result.image));
    }
    emit shown();
}

} // namespace editor
