#include "install/ImportWindow.h"

#include "common/Twips.h"
#include "library/BookImport.h"
#include "store/ImageRoot.h"
#include "ui/CoolButton.h"
#include "ui/FlatStyling.h"
#include "ui/FolderTree.h"
#include "ui/Messages.h"
#include "ui/WindowKit.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QListWidget>
#include <QProgressDialog>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <optional>

namespace install {

namespace {

// Progress of one big file; Cancel stops it (and the files after it).
class DialogProgress final : public library::ImportProgress
{
public:
    DialogProgress(QWidget *parent, const QString &path)
        : m_dialog(QStringLiteral("Importing %1").arg(QFileInfo(path).fileName()), QStringLiteral("Cancel"), 0, 1000,
                   parent)
    {
        m_dialog.setObjectName(QStringLiteral("prgImport"));
        m_dialog.setWindowTitle(ui::programTitle());
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(0);
        m_dialog.setAutoClose(false);
        m_dialog.setValue(0);
    }

    bool advance(qint64 bytesRead, qint64 bytesTotal) override
    {
        // A window-modal dialog handles pending events in setValue, Cancel included.
        m_dialog.setValue(bytesTotal > 0 ? int(bytesRead * 1000 / bytesTotal) : 1000);
        return !m_dialog.wasCanceled();
    }

private:
    QProgressDialog m_dialog;
};

} // namespace

ImportWindow::ImportWindow(const QSqlDatabase &db, QString programDir, ui::Messages &messages, QWidget *parent)
    : QDialog(parent)
    , m_db(db)
    , m_programDir(std::move(programDir))
    , m_messages(messages)
{
    setObjectName(QStringLiteral("frmBooksFile"));
    buildWindow();
}

void ImportWindow::buildWindow()
{
    setWindowTitle(QStringLiteral("Import Books"));
    setModal(true);

    drvBook = ui::makeDriveList(this, "drvBook");
    m_folders = ui::makeFolderModel(this);
    m_folders->setRootPath(QString());
    dirBooks = ui::makeFolderTree(this, "dirBooks", m_folders);
    filBook = new QListWidget(this);
    filBook->setObjectName(QStringLiteral("filBook"));
    filBook->setSelectionMode(QAbstractItemView::ExtendedSelection);
    cmdOpen = ui::makeButton(this, "cmdOpen", QStringLiteral("Import"));
    cmdCancel = ui::makeButton(this, "cmdCancel", QStringLiteral("Cancel"));

    layOutWindow();
    resize(ui::twips(6600), ui::twips(4200));
    connectLists();
    connect(cmdOpen, &QPushButton::clicked, this, &ImportWindow::onImport);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

// The drive list over the folder tree on the left, the folder's install files on the right.
void ImportWindow::layOutWindow()
{
    auto *lists = new QGridLayout;
    lists->addWidget(drvBook, 0, 0);
    lists->addWidget(dirBooks, 1, 0);
    lists->addWidget(filBook, 0, 1, 2, 1);
    lists->setColumnStretch(0, 1);
    lists->setColumnStretch(1, 1);
    lists->setRowStretch(1, 1);
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(lists, 1);
    outer->addLayout(ui::makeButtonRow({cmdOpen, cmdCancel}));
}

void ImportWindow::connectLists()
{
    // The folder model fills and sorts in the background: keep the chosen folder in sight while
    // it does, until the user moves in the tree.
    const auto follow = [this] {
        if (m_followFolder)
            showFolderInTree();
    };
    connect(m_folders, &QFileSystemModel::directoryLoaded, this, follow);
    connect(m_folders, &QFileSystemModel::layoutChanged, this, follow);
    connect(dirBooks->verticalScrollBar(), &QScrollBar::sliderPressed, this, [this] { m_followFolder = false; });
    connect(drvBook, qOverload<int>(&QComboBox::activated), this, &ImportWindow::onDriveChanged);
    connect(dirBooks, &QTreeView::clicked, this, &ImportWindow::onFolderActivated);
    connect(dirBooks, &QTreeView::activated, this, &ImportWindow::onFolderActivated);
    connect(filBook, &QListWidget::itemSelectionChanged, this, &ImportWindow::onSelectionChanged);
    connect(filBook, &QListWidget::itemDoubleClicked, this, &ImportWindow::onImport);
}

void ImportWindow::load()
{
    ui::applyFlatStyling(this);
    // A folder named "books" in any letter case counts as the Books folder.
    const QString books = store::resolveImageRoot(m_programDir, QStringLiteral("Books"));
    if (!QFileInfo(books).isDir() && !QDir().mkpath(books))
        m_messages.tell({QStringLiteral("The folder %1 could not be created.").arg(QDir::toNativeSeparators(books)),
                         ui::Icon::Exclamation});
    setFolder(QFileInfo(books).isDir() ? books : m_programDir);
    cmdOpen->setEnabled(true);
}

void ImportWindow::setFolder(const QString &path)
{
    const QDir dir(path);
    if (!dir.exists())
        return;
    m_folder = dir.absolutePath();
    filBook->clear();
    filBook->addItems(dir.entryList({QStringLiteral("*.bks")}, QDir::Files, QDir::Name | QDir::IgnoreCase));

    m_followFolder = true;
    showFolderInTree();
    QDir root(m_folder);
    while (root.cdUp()) {
    }
    const int drive = drvBook->findData(root.absolutePath());
    if (drive >= 0)
        drvBook->setCurrentIndex(drive);
}

void ImportWindow::showFolderInTree()
{
    const QModelIndex index = m_folders->index(m_folder);
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
        dirBooks->expand(parent);
    dirBooks->setCurrentIndex(index);
    dirBooks->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void ImportWindow::onDriveChanged(int index)
{
    // A drive that is not ready leaves the folder where it was.
    const QString root = drvBook->itemData(index).toString();
    if (QDir(root).isReadable())
        setFolder(root);
}

void ImportWindow::onFolderActivated(const QModelIndex &index)
{
    setFolder(m_folders->filePath(index));
    m_followFolder = false;
}

void ImportWindow::onSelectionChanged()
{
    cmdOpen->setEnabled(!filBook->selectedItems().isEmpty());
}

void ImportWindow::onImport()
{
    cmdOpen->setRestColours();
    const QDir dir(m_folder);
    for (int row = 0; row < filBook->count(); ++row) {
        const QListWidgetItem *item = filBook->item(row);
        if (item->isSelected() && !importOne(dir.filePath(item->text())))
            break;
    }
    accept();
}

bool ImportWindow::importOne(const QString &path)
{
    std::optional<DialogProgress> progress;
    if (QFileInfo(path).size() > kProgressFromBytes)
        progress.emplace(this, path);
    const auto imported = library::importBookFile(m_db, path, progress ? &*progress : nullptr);
    progress.reset();
    // A book already there is skipped with a plain note; a cancel stops the files after it too.
    if (!imported && !imported.is(store::FailureKind::Cancelled))
        m_messages.tell(
            {imported.error(), imported.is(store::FailureKind::Duplicate) ? ui::Icon::None : ui::Icon::Exclamation});
    return !imported.is(store::FailureKind::Cancelled);
}

} // namespace install
