// The book editor's images: the preview panel beside the grid, the marks on image names whose
// file is missing, and image files added by drag and drop or with "Add Image...".

#include "editor/BookEditor.h"

#include "editor/ImageDecoding.h"
#include "editor/ImageFiles.h"
#include "editor/ImageFolder.h"
#include "editor/NewPhotoNames.h"
#include "editor/PhotoGrid.h"
#include "editor/PhotoTableModel.h"
#include "editor/PreviewPanel.h"
#include "store/ImageRoot.h"
#include "ui/CoolButton.h"
#include "ui/LayoutSettings.h"
#include "ui/Messages.h"
#include "ui/WindowKit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFutureWatcher>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QSplitter>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace editor {

QString askImageFile(QWidget *parent)
{
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Add an Image"), {},
                                        QStringLiteral("Images (*.jpg *.jpeg *.gif);;All files (*)"));
}

QSplitter *BookEditor::buildImageArea()
{
    fraPreview = new PreviewPanel(this);
    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("splPreview"));
    splitter->addWidget(grdPhotos);
    splitter->addWidget(fraPreview);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);

    cmdPreview = ui::makeButton(this, "cmdPreview", QStringLiteral("Show Images"),
                                QStringLiteral("Show or Hide the Photo and Data Plate Images (F9)"), ui::Hover::Plain);
    cmdAddImage = ui::makeButton(this, "cmdAddImage", QStringLiteral("Add Image..."),
                                 QStringLiteral("Copy an Image File into the Book's Folder for the Selected Photo"),
                                 ui::Hover::Plain);
    lblImages = new QLabel(this);
    lblImages->setObjectName(QStringLiteral("lblImages"));
    return splitter;
}

void BookEditor::setUpImages()
{
    m_splitter = findChild<QSplitter *>(QStringLiteral("splPreview"));
    // Hidden until the user shows it: the grid keeps its designed width.
    bool shown = false;
    if (m_context.layout) {
        m_splitter->restoreState(m_context.layout->value(objectName(), QStringLiteral("preview")).toByteArray());
        shown = m_context.layout->value(objectName(), QStringLiteral("previewShown"), false).toBool();
    }
    fraPreview->setVisible(shown);
    cmdPreview->setText(shown ? QStringLiteral("Hide Images") : QStringLiteral("Show Images"));
    connect(cmdPreview, &QPushButton::clicked, this, &BookEditor::togglePreview);
    auto *shortcut = new QShortcut(QKeySequence(Qt::Key_F9), this);
    connect(shortcut, &QShortcut::activated, this, &BookEditor::togglePreview);
    connect(cmdAddImage, &QPushButton::clicked, this, &BookEditor::onAddImage);
    connect(chkNoImages, &QCheckBox::toggled, this, &BookEditor::refreshImageFolder);
    connect(grdPhotos, &PhotoGrid::fileDropped, this, &BookEditor::onFileDropped);
    connect(m_photos, &PhotoTableModel::currentRowChanged, this, &BookEditor::updatePreview);
    connect(m_photos, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &from, const QModelIndex &to) {
        for (const char *field : {"PhotoPic", "DataPic"}) {
            const int column = m_photos->columnOf(QLatin1String(field));
            if (column >= from.column() && column <= to.column()) {
                showImageCount();
                if (m_photos->currentRow() >= from.row() && m_photos->currentRow() <= to.row())
                    updatePreview();
                return;
            }
        }
    });
    connect(m_photos, &QAbstractItemModel::rowsRemoved, this, &BookEditor::showImageCount);
    connect(m_photos, &QAbstractItemModel::rowsInserted, this, &BookEditor::showImageCount);
    m_folderListing = new QFutureWatcher<std::shared_ptr<const BookImageFolder>>(this);
    connect(m_folderListing, &QFutureWatcherBase::finished, this, [this] {
        // A listing that was under way when "No Images for this Book" was ticked counts no more.
        if (chkNoImages->isChecked())
            return;
        m_photos->setImageFolder(m_folderListing->result());
        showImageCount();
        updatePreview();
    });
    // Files added, removed or renamed in the book's folder while the editor is open show at
    // once: a burst of changes (a copy of many files) is listed once it has settled.
    m_folderWatcher = new QFileSystemWatcher(this);
    auto *settle = new QTimer(this);
    settle->setSingleShot(true);
    settle->setInterval(300);
    connect(m_folderWatcher, &QFileSystemWatcher::directoryChanged, settle, qOverload<>(&QTimer::start));
    connect(settle, &QTimer::timeout, this, &BookEditor::refreshImageFolder);
    refreshImageFolder();
}

void BookEditor::saveImageLayout()
{
    if (!m_context.layout || !m_splitter)
        return;
    m_context.layout->setValue(objectName(), QStringLiteral("preview"), m_splitter->saveState());
    m_context.layout->setValue(objectName(), QStringLiteral("previewShown"), !fraPreview->isHidden());
}

QString BookEditor::imageRootPath() const
{
    return store::resolveImageRoot(m_context.programDir,
                                   m_context.imageRootText ? m_context.imageRootText() : QString());
}

QString BookEditor::bookImageFolderPath() const
{
    const QString identifier = m_book.label.toString();
    if (!BookImageFolder::isPlainName(identifier))
        return {};
    return store::resolveImageRoot(imageRootPath(), identifier);
}

void BookEditor::offerFolderRename(const QString &oldLabel)
{
    const FolderRename rename = folderToRename(imageRootPath(), oldLabel, m_book.label.toString());
    if (!rename.from.isEmpty() && m_context.messages->ask(renameQuestion(rename))) {
        if (const auto renamed = renameBookFolder(rename); !renamed)
            tell(renamed.error());
    }
    // The images are looked for under the new identifier from now on.
    refreshImageFolder();
}

void BookEditor::refreshImageFolder()
{
    if (chkNoImages->isChecked()) {
        m_photos->setImageFolder(nullptr);
        showImageCount();
        updatePreview();
        return;
    }
    // Listing a folder of thousands of files is left to another thread: the editor opens at once.
    m_folderListing->waitForFinished();
    const QString folder = bookImageFolderPath();
    // The folder itself, and the image root, where the folder may be made or renamed.
    if (const QStringList watched = m_folderWatcher->directories(); !watched.isEmpty())
        m_folderWatcher->removePaths(watched);
    for (const QString &path : {folder, QFileInfo(folder).path()}) {
        if (!folder.isEmpty() && QFileInfo(path).isDir())
            m_folderWatcher->addPath(path);
    }
    m_folderListing->setFuture(QtConcurrent::run(
        [folder]() -> std::shared_ptr<const BookImageFolder> { return std::make_shared<BookImageFolder>(folder); }));
}

void BookEditor::showImageCount()
{
    int named = 0;
    int missing = 0;
    m_photos->countImages(named, missing);
    lblImages->setText(m_photos->imageFolder() ? QStringLiteral("%1 of %2 image files missing").arg(missing).arg(named)
                                               : QString());
}

void BookEditor::togglePreview()
{
    const bool show = fraPreview->isHidden();
    fraPreview->setVisible(show);
    cmdPreview->setText(show ? QStringLiteral("Hide Images") : QStringLiteral("Show Images"));
    updatePreview();
}

void BookEditor::updatePreview()
{
    if (!fraPreview || fraPreview->isHidden())
        return;
    if (chkNoImages->isChecked())
        return fraPreview->clear(QStringLiteral("This book has no images."));
    const BookImageFolder *folder = m_photos->imageFolder();
    const int row = m_photos->currentRow();
    if (!folder || row < 0)
        return fraPreview->clear();
    QString paths[2];
    QString notes[2];
    const char *fields[] = {"PhotoPic", "DataPic"};
    for (int i = 0; i < 2; ++i) {
        const QString name = m_photos->value(row, QLatin1String(fields[i])).toString();
        paths[i] = folder->find(name);
        if (name.isEmpty())
            notes[i] = QStringLiteral("No image name");
        else if (paths[i].isEmpty())
            notes[i] = QStringLiteral("Missing: %1").arg(folder->pathFor(name));
    }
    QString folderNote;
    if (txtBookID->text().trimmed() != m_book.label.toString())
        folderNote = QStringLiteral("Images are read from the folder of the saved identifier \"%1\" until the book "
                                    "is saved.")
                         .arg(m_book.label.toString());
    fraPreview->showImages(paths[0], notes[0], paths[1], notes[1], folderNote);
}

void BookEditor::onAddImage()
{
    cmdAddImage->setRestColours();
    const int row = m_photos->currentRow();
    if (row < 0) {
        m_context.messages->tell({QStringLiteral("Select a photo first.")});
        return;
    }
    const QString path = m_context.openImageFile ? m_context.openImageFile(this) : QString();
    if (!path.isEmpty())
        addImageFile(row, QStringLiteral("PhotoPic"), path);
}

void BookEditor::onFileDropped(int row, int column, const QString &path)
{
    const bool dataPlate = column == m_photos->columnOf(QStringLiteral("DataPic"));
    addImageFile(row, dataPlate ? QStringLiteral("DataPic") : QStringLiteral("PhotoPic"), path);
}

void BookEditor::addImageFile(int row, const QString &field, const QString &source)
{
    const auto refuse = [this](const QString &text) { m_context.messages->tell({text, ui::Icon::Exclamation}); };
    if (chkNoImages->isChecked())
        return refuse(QStringLiteral("This book is marked as having no images."));
    QString name = m_photos->value(row, field).toString();
    if (name.isEmpty() && chkUseSuffix->isChecked()) {
        const ImageNames names = imageNamesFor(m_photos->value(row, QStringLiteral("PhotoLabel")).toString(),
                                               fileTypeExtension(cboFileType->currentIndex()));
        name = field == QLatin1String("DataPic") ? names.dataPic : names.photoPic;
    }
    if (name.isEmpty())
        return refuse(QStringLiteral("Give the photo an image name first."));
    if (const QString mismatch = imageFormatMismatch(source, name); !mismatch.isEmpty())
        return refuse(mismatch);

    // The book's folder, created first when missing, with the folder command's refusals.
    BookFolderRequest request;
    request.programDir = m_context.programDir;
    request.rootText = m_context.imageRootText ? m_context.imageRootText() : QString();
    request.identifier = m_book.label.toString();
    request.isCdRomDrive = m_context.isCdRom;
    const BookFolderCheck check = checkBookFolder(request);
    if (check.step != BookFolderStep::AskToCreate && check.step != BookFolderStep::AlreadyExists)
        return m_context.messages->tell(check.message);
    if (check.step == BookFolderStep::AskToCreate) {
        if (const auto created = createBookFolder(check.folder); !created)
            return tell(QStringLiteral("The folder %1 could not be created: %2.")
                            .arg(QDir::toNativeSeparators(check.folder), created.error()));
    }
    if (const auto copied = copyImageInto(source, check.folder, name); !copied)
        return refuse(copied.error());
    if (m_photos->value(row, field).toString().isEmpty())
        m_photos->setValue(row, field, name);
    m_folderListing->waitForFinished();
    m_photos->setImageFolder(std::make_shared<BookImageFolder>(check.folder));
    showImageCount();
    updatePreview();
    m_context.messages->tell({QStringLiteral("The image was copied to %1. The copy stays in the book's folder even "
                                             "if the changes to the book are cancelled.")
                                  .arg(QDir::toNativeSeparators(QDir(check.folder).filePath(name))),
                              ui::Icon::Information});
}

} // namespace editor
