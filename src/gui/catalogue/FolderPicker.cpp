#include "catalogue/FolderPicker.h"

#include "store/ImageRoot.h"
#include "ui/CoolButton.h"
#include "ui/FlatStyling.h"
#include "ui/FolderTree.h"
#include "ui/WindowKit.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QTreeView>
#include <QVBoxLayout>

namespace catalogue {

namespace {

// The drive (file-system root) that holds the path: the longest root it starts with.
int driveIndexOf(const QComboBox *drives, const QString &path)
{
    int best = -1;
    for (int i = 0; i < drives->count(); ++i) {
        const QString root = drives->itemData(i).toString();
        if (path.startsWith(root, Qt::CaseInsensitive) &&
            (best < 0 || root.size() > drives->itemData(best).toString().size()))
            best = i;
    }
    return best;
}

void drawFolder(QPainter &p, int x, int y, bool open)
{
    const QColor edge(128, 128, 0);
    p.setPen(edge);
    p.setBrush(open ? QColor(255, 255, 255) : QColor(255, 255, 128));
    p.drawRect(x, y + 2, 13, 8);
    p.setBrush(QColor(255, 255, 128));
    p.drawRect(x, y, 5, 2);
}

} // namespace

FolderPicker::FolderPicker(const QString &programDir, const QString &rootText, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmDir"));
    buildWindow();
    load(startFolder(programDir, rootText));
}

QString FolderPicker::startFolder(const QString &programDir, const QString &rootText)
{
    const QString root = store::resolveImageRoot(programDir, rootText);
    return QFileInfo(root).isDir() ? root : QDir::homePath();
}

QString FolderPicker::hintText()
{
    return QStringLiteral("HINT: Select the folder that \n"
                          "contains the photo series folders \n"
                          "such as the example on the right.\n"
                          "The default name is PhotoImages.");
}

QPixmap FolderPicker::examplePicture()
{
    QPixmap picture(109, 78);
    picture.fill(Qt::white);
    QPainter p(&picture);
    QFont font = p.font();
    font.setPixelSize(9);
    p.setFont(font);

    const int rowHeight = 14;
    const int top = 4;
    // The parent folder, selected, then its four book folders on dotted branches.
    drawFolder(p, 4, top + 1, true);
    const QRect selected(21, top, 66, rowHeight - 2);
    p.fillRect(selected, QColor(0, 0, 128));
    p.setPen(Qt::white);
    p.drawText(selected.adjusted(2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("PhotoImages"));

    const QStringList books{QStringLiteral("Int-46"), QStringLiteral("Int-96"), QStringLiteral("Int-97"),
                            QStringLiteral("Int-98")};
    QPen branch(QColor(128, 128, 128), 1, Qt::DotLine);
    for (int i = 0; i < books.size(); ++i) {
        const int y = top + (i + 1) * rowHeight;
        p.setPen(branch);
        p.drawLine(10, y - rowHeight + 11, 10, y + 6);
        p.drawLine(10, y + 6, 17, y + 6);
        drawFolder(p, 18, y + 1, false);
        p.setPen(Qt::black);
        p.drawText(QRect(35, y, 70, rowHeight - 2), Qt::AlignVCenter | Qt::AlignLeft, books[i]);
    }
    p.setPen(QColor(128, 128, 128));
    p.setBrush(Qt::NoBrush);
    p.drawRect(picture.rect().adjusted(0, 0, -1, -1));
    return picture;
}

void FolderPicker::buildWindow()
{
    setWindowTitle(QStringLiteral("Select Photo Image Directory"));
    setModal(true);

    Label1 = new QLabel(QStringLiteral("Please select one of the following:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    buildFolderFrame();
    cmdOK = ui::makeButton(this, "cmdOK", QStringLiteral("OK"));
    cmdCancel = ui::makeButton(this, "cmdCancel", QStringLiteral("Cancel"));

    auto *outer = new QVBoxLayout(this);
    outer->addWidget(Label1);
    outer->addWidget(Frame2, 1);
    outer->addLayout(ui::makeButtonRow({cmdOK, cmdCancel}));

    followOpenedFolder();
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

// The drive list over the folder tree, the hint and the example picture beside them.
void FolderPicker::buildFolderFrame()
{
    Frame2 = new QGroupBox(QStringLiteral("  Select folder that contains photo images "), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    drvPhoto = ui::makeDriveList(Frame2, "drvPhoto");
    m_folders = ui::makeFolderModel(this);
    dirPhoto = ui::makeFolderTree(Frame2, "dirPhoto", m_folders);
    dirPhoto->setMinimumSize(240, 220);

    lblHint = new QLabel(Frame2);
    lblHint->setObjectName(QStringLiteral("lblHint"));
    Image1 = new QLabel(Frame2);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(examplePicture());
    Image1->setFixedSize(109, 78);

    auto *frameLayout = new QGridLayout(Frame2);
    frameLayout->addWidget(drvPhoto, 0, 0);
    frameLayout->addWidget(dirPhoto, 1, 0, 3, 1);
    frameLayout->addWidget(lblHint, 1, 1, Qt::AlignTop);
    frameLayout->addWidget(Image1, 2, 1, Qt::AlignTop | Qt::AlignHCenter);
    frameLayout->setRowStretch(3, 1);
}

void FolderPicker::followOpenedFolder()
{
    connect(dirPhoto->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &current) {
        if (current.isValid())
            m_path = QDir::cleanPath(m_folders->filePath(current));
    });
    // The model reads folders in the background: once the folders on the way to the opened
    // folder have arrived, show it again so that the tree unfolds down to it.
    connect(m_folders, &QFileSystemModel::directoryLoaded, this, [this](const QString &loaded) {
        if (m_path.startsWith(loaded))
            setCurrentPath(m_path);
    });
    // Sorting comes later still and moves rows: keep the opened folder in view.
    connect(m_folders, &QAbstractItemModel::layoutChanged, this,
            [this] { dirPhoto->scrollTo(dirPhoto->currentIndex(), QAbstractItemView::PositionAtCenter); });
}

void FolderPicker::load(const QString &startPath)
{
    ui::applyFlatStyling(this);
    lblHint->setText(hintText());
    // The drive list stands on the drive that holds the start folder; the drive change then
    // opens that folder.
    m_path = QDir::cleanPath(startPath);
    const int drive = driveIndexOf(drvPhoto, m_path);
    if (drive >= 0 && drive != drvPhoto->currentIndex())
        drvPhoto->setCurrentIndex(drive);
    onDriveChanged(drvPhoto->currentIndex());
    connect(drvPhoto, &QComboBox::currentIndexChanged, this, &FolderPicker::onDriveChanged);
}

void FolderPicker::onDriveChanged(int index)
{
    const QString drive = drvPhoto->itemData(index).toString();
    // A drive that is not ready (an empty disc drive) leaves the folder list as it was.
    if (drive.isEmpty() || !QDir(drive).isReadable())
        return;
    dirPhoto->setRootIndex(m_folders->setRootPath(drive));
    setCurrentPath(driveIndexOf(drvPhoto, m_path) == index ? m_path : drive);
}

void FolderPicker::setCurrentPath(const QString &path)
{
    m_path = QDir::cleanPath(path);
    const QModelIndex index = m_folders->index(m_path);
    if (index.isValid()) {
        dirPhoto->setCurrentIndex(index);
        dirPhoto->expand(index);
        dirPhoto->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
}

} // namespace catalogue
