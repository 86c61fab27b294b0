#include "catalogue/CatalogueWindow.h"

#include "catalogue/BookGrid.h"
#include "catalogue/BookListModel.h"
#include "catalogue/CheckBoxDelegate.h"
#include "catalogue/FolderPicker.h"
#include "catalogue/PasswordDialog.h"
#include "catalogue/PathKeyFilter.h"
#include "common/Twips.h"
#include "editor/BookEditor.h"
#include "install/ImportWindow.h"
#include "store/ImageRoot.h"
#include "store/Settings.h"
#include "store/Store.h"
#include "store/StoreLocation.h"
#include "ui/CoolButton.h"
#include "ui/FittedFont.h"
#include "ui/FlatStyling.h"
#include "ui/Messages.h"
#include "ui/WindowKit.h"
#include "ui/WindowLayout.h"
#include "version.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

namespace catalogue {

namespace {

// Shows the label's tooltip, the whole text, shortened in the middle to the label's width once
// the label has one.
void fitStorePath(QLabel *label)
{
    const QString whole = label->toolTip();
    const int width = label->contentsRect().width();
    label->setText(label->testAttribute(Qt::WA_Resized) && width > 0
                       ? label->fontMetrics().elidedText(whole, Qt::ElideMiddle, width)
                       : whole);
}

} // namespace

CatalogueWindow::CatalogueWindow(AppContext context, QWidget *parent)
    : QWidget(parent)
    , m_context(std::move(context))
{
    setObjectName(QStringLiteral("frmManagePhotos"));
    buildWindow();
}

CatalogueWindow::~CatalogueWindow() = default;

void CatalogueWindow::buildWindow()
{
    setWindowTitle(QStringLiteral("Manage Photo Series Books"));

    lblBooksCaption = ui::makePanelCaption(this, QStringLiteral("Available Photo Series Books"), "lblBooksCaption");
    grdBooks = new BookGrid(this);
    grdBooks->setObjectName(QStringLiteral("grdBooks"));
    buildCommandButtons();
    buildImageLocationFrame();
    QLayout *filterRow = buildFilterRow();
    layOutWindow(filterRow);
    connectCommands();

    resize(ui::twips(550 + 850 + 2300 + 5500 + 900) + 220, 480);
}

void CatalogueWindow::buildCommandButtons()
{
    const QString editTip = QStringLiteral("Edit Selected Book");
    cmdAdd = ui::makeButton(this, "cmdAdd", QStringLiteral("Create a Book"), QStringLiteral("Create a New Book"));
    cmdEdit = ui::makeButton(this, "cmdEdit", QStringLiteral("Edit a Book"), editTip);
    cmdRemove =
        ui::makeButton(this, "cmdRemove", QStringLiteral("Delete a Book"), QStringLiteral("Delete the Selected Book"));
    cmdImport = ui::makeButton(this, "cmdImport", QStringLiteral("Import"), editTip);
    cmdExport = ui::makeButton(this, "cmdExport", QStringLiteral("Export..."),
                               QStringLiteral("Export the Selected Book to an Install File or CSV"));
    cmdPublish = ui::makeButton(this, "cmdPublish", QStringLiteral("Publish..."),
                                QStringLiteral("Publish the Selected Book as a Print-Ready PDF"));
    cmdMarkAll = ui::makeButton(this, "cmdMarkAll", QStringLiteral("Activate All"), editTip);
    cmdUnMarkAll = ui::makeButton(this, "cmdUnMarkAll", QStringLiteral("Deactivate All"), editTip);
    cmdClose = ui::makeButton(this, "cmdClose", QStringLiteral("Exit"), editTip);
}

void CatalogueWindow::buildImageLocationFrame()
{
    Frame1 = new QGroupBox(QStringLiteral(" Photo Image Location "), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Label2 = new QLabel(QStringLiteral("Photo Images Location"), Frame1);
    Label2->setObjectName(QStringLiteral("Label2"));
    txtPath = new QLineEdit(Frame1);
    txtPath->setObjectName(QStringLiteral("txtPath"));
    cmdBrowse = ui::makeButton(Frame1, "cmdBrowse", QStringLiteral("Set Location to Retrieve Images..."),
                               QStringLiteral("Set the Path for Orvane to Find Images"));

    auto *frameLayout = new QGridLayout(Frame1);
    frameLayout->addWidget(Label2, 0, 0);
    frameLayout->addWidget(txtPath, 1, 0);
    frameLayout->addWidget(cmdBrowse, 1, 1);
    frameLayout->setColumnStretch(0, 1);
}

QLayout *CatalogueWindow::buildFilterRow()
{
    txtFilter = new QLineEdit(this);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setPlaceholderText(QStringLiteral("Filter books"));
    txtFilter->setClearButtonEnabled(true);
    txtFilter->installEventFilter(this);
    lblFilterCount = new QLabel(this);
    lblFilterCount->setObjectName(QStringLiteral("lblFilterCount"));
    auto *filterRow = new QHBoxLayout;
    filterRow->addWidget(txtFilter, 1);
    filterRow->addWidget(lblFilterCount);
    return filterRow;
}

// The filter, the caption and the grid on the left, the command buttons on the right, the
// image location and the store's path below them.
void CatalogueWindow::layOutWindow(QLayout *filterRow)
{
    auto *gridColumn = new QVBoxLayout;
    gridColumn->setSpacing(0);
    gridColumn->addLayout(filterRow);
    gridColumn->addSpacing(4);
    gridColumn->addWidget(lblBooksCaption);
    gridColumn->addWidget(grdBooks, 1);

    auto *buttons = new QVBoxLayout;
    for (QWidget *b : {cmdAdd, cmdEdit, cmdRemove, cmdImport, cmdExport, cmdPublish, cmdMarkAll, cmdUnMarkAll})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);

    auto *top = new QHBoxLayout;
    top->addLayout(gridColumn, 1);
    top->addLayout(buttons);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(top, 1);
    outer->addWidget(Frame1);
    // Where the books are kept: the analysis program must be pointed at the same file.
    lblStorePath = new QLabel(this);
    lblStorePath->setObjectName(QStringLiteral("lblStorePath"));
    lblStorePath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long path or server address is shortened in its middle to the window's width, never
    // widening the window; the tooltip keeps it whole.
    lblStorePath->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblStorePath->installEventFilter(this);
    outer->addWidget(lblStorePath);
}

void CatalogueWindow::connectCommands()
{
    txtPath->installEventFilter(new PathKeyFilter(txtPath));
    connect(txtPath, &QLineEdit::textChanged, this, &CatalogueWindow::onPathChanged);
    connect(cmdBrowse, &QPushButton::clicked, this, &CatalogueWindow::onBrowse);
    connect(cmdClose, &QPushButton::clicked, this, &CatalogueWindow::onExit);
    connect(cmdEdit, &QPushButton::clicked, this, &CatalogueWindow::onEdit);
    connect(cmdAdd, &QPushButton::clicked, this, &CatalogueWindow::onCreate);
    connect(cmdRemove, &QPushButton::clicked, this, &CatalogueWindow::onRemove);
    connect(cmdMarkAll, &QPushButton::clicked, this, [this] { onMarkAll(true); });
    connect(cmdUnMarkAll, &QPushButton::clicked, this, [this] { onMarkAll(false); });
    connect(cmdImport, &QPushButton::clicked, this, &CatalogueWindow::onImport);
    connect(cmdExport, &QPushButton::clicked, this, &CatalogueWindow::onExport);
    connect(cmdPublish, &QPushButton::clicked, this, &CatalogueWindow::onPublish);
}

bool CatalogueWindow::load()
{
    ui::applyFlatStyling(this);

    m_store = std::make_unique<store::Store>(
        m_context.storeLocation.isEmpty() ? store::fileStoreLocation(m_context.programDir) : m_context.storeLocation);
    if (const auto opened = openAskingPassword(*m_store, m_context.password, this); !opened) {
        report(opened.error());
        return false;
    }

    // The folder is created for the user's images; a folder of the same name in other letter
    // case counts as present.
    const QString imagesDir = store::resolveImageRoot(m_context.programDir, QStringLiteral("PhotoImages"));
    if (!QFileInfo(imagesDir).isDir() && !QDir().mkpath(imagesDir)) {
        report(QStringLiteral("The folder %1 could not be created.").arg(QDir::toNativeSeparators(imagesDir)));
        return false;
    }

    setWindowTitle(QStringLiteral("Manage Photo Series Books - " PHOTOSERIES_VERSION_TEXT));

    m_imageRootValue = m_context.settings->photoDir(store::defaultImageRoot(m_context.isCdRom));
    if (txtPath->text() == m_imageRootValue)
        onPathChanged(m_imageRootValue);
    else
        txtPath->setText(m_imageRootValue);

    // Counting first lets the list be read once, with its counts already right. A store that
    // opened but fails here is damaged inside: say which file or library.
    const auto storeFault = [this](const QString &error) {
        report(m_store->fault(QStringLiteral("could not be read.\n%1").arg(error)).text);
        return false;
    };
    if (const auto counted = m_store->recount(); !counted)
        return storeFault(counted.error());
    showStoreLine(false);
    m_books = new BookListModel(*m_store, this);
    connect(m_books, &BookListModel::writeFailed, this, &CatalogueWindow::report);
    if (const auto listed = m_books->requery(); !listed)
        return storeFault(listed.error());
    setUpGrid();
    setUpFilterAndOrder();
    ui::restoreLayout(m_context.layout, this, grdBooks, columnFields());
    // The book list, not Exit, takes the keys at start-up.
    grdBooks->setFocus(Qt::OtherFocusReason);
    startWatching();
    return true;
}

void CatalogueWindow::setUpFilterAndOrder()
{
    // Opens sorted by label as the store lists the books; a click on a heading sorts by it.
    grdBooks->horizontalHeader()->setSortIndicator(BookListModel::BookLabel, Qt::AscendingOrder);
    grdBooks->setSortingEnabled(true);
    connect(grdBooks->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            [this](int column) { fitSortedHeading(column); });
    connect(txtFilter, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_books->setFilterText(text.trimmed());
        // A current book the filter hides is not one the user sees selected.
        if (!grdBooks->currentIndex().isValid())
            grdBooks->selectionModel()->clearSelection();
        showFilterCount();
    });
    connect(m_books, &QAbstractItemModel::modelReset, this, &CatalogueWindow::showFilterCount);
    connect(m_books, &BookListModel::refreshed, this, &CatalogueWindow::showFilterCount);
    showFilterCount();
}

void CatalogueWindow::fitSortedHeading(int column)
{
    // The style draws the sort arrow in half the heading's height beside the label; a column too
    // narrow for both ("ctive" showed of "Active") widens, and the description gives way.
    QHeaderView *header = grdBooks->horizontalHeader();
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    const int height = std::max(header->height(), header->minimumHeight());
    int text = 0;
    for (const QString &line :
         m_books->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString().split(QLatin1Char('\n')))
        text = std::max(text, header->fontMetrics().horizontalAdvance(line));
    const int needed = text + 4 * margin + height / 2 + 1;
    if (grdBooks->columnWidth(column) < needed)
        grdBooks->setColumnWidth(column, needed);
}

QStringList CatalogueWindow::columnFields()
{
    return {QStringLiteral("Active"), QStringLiteral("Locked"), QStringLiteral("BookLabel"),
            QStringLiteral("BookDescription"), QStringLiteral("NumOfPhotos")};
}

void CatalogueWindow::showStoreLine(bool connectionLost)
{
    // The place of the library stays in the tooltip while the line tells of the lost connection.
    lblStorePath->setToolTip(QStringLiteral("Database: %1").arg(m_store->displayName()));
    if (connectionLost)
        lblStorePath->setText(QStringLiteral("Connection to the library lost; retrying"));
    else
        fitStorePath(lblStorePath);
}

void CatalogueWindow::showFilterCount()
{
    lblFilterCount->setText(QStringLiteral("%1 of %2 books").arg(m_books->rowCount()).arg(m_books->totalCount()));
}

bool CatalogueWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtFilter && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape && !txtFilter->text().isEmpty()) {
        txtFilter->clear();
        return true;
    }
    if (watched == lblStorePath && event->type() == QEvent::Resize && !(m_watcher && m_watcher->isConnectionLost()))
        fitStorePath(lblStorePath);
    return QWidget::eventFilter(watched, event);
}

void CatalogueWindow::setUpGrid()
{
    grdBooks->setModel(m_books);
    auto *checkBoxes = new CheckBoxDelegate(grdBooks);
    grdBooks->setItemDelegateForColumn(BookListModel::Active, checkBoxes);
    connect(checkBoxes, &CheckBoxDelegate::boxPressed, this, [this](const QModelIndex &index) {
        grdBooks->selectionModel()->setCurrentIndex(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    });
    grdBooks->setTabKeyNavigation(true);
    grdBooks->setSelectionBehavior(QAbstractItemView::SelectRows);
    // A click selects its row alone and never clears it; Ctrl and Shift add rows.
    grdBooks->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // A double click (not on the check box) or Return opens the book, as Edit does.
    connect(grdBooks, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.column() != BookListModel::Active)
            onEdit();
    });
    connect(static_cast<BookGrid *>(grdBooks), &BookGrid::openRequested, this, &CatalogueWindow::onEdit);
    grdBooks->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdBooks->setWordWrap(false);

    QHeaderView *header = grdBooks->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignCenter);
    // A selected row would otherwise draw every heading in bold, too wide for its column.
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    const int widths[] = {550, 850, 2300, 5500, 900};
    for (int c = 0; c < BookListModel::ColumnCount; ++c)
        grdBooks->setColumnWidth(c, ui::twips(widths[c]));
    // The description takes whatever width the window gains or loses beyond the other columns.
    header->setSectionResizeMode(BookListModel::BookDescription, QHeaderView::Stretch);
    // Headings in at most 8 points, smaller where a line would not fit its column ("Active",
    // "Number of"), and two lines high.
    QFont headingFont = header->font();
    headingFont.setPointSizeF(qMin(headingFont.pointSizeF(), 8.0));
    // Any column may be the sorted one: its heading keeps room for the sort arrow beside it
    // ("umber o" once showed of "Number of").
    const int headingMargins = 3 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) +
                               header->style()->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, header);
    for (int c = 0; c < BookListModel::ColumnCount; ++c) {
        const QStringList lines =
            m_books->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().split(QLatin1Char('\n'));
        headingFont = ui::fittedFont(headingFont, lines, grdBooks->columnWidth(c) - headingMargins);
    }
    header->setFont(headingFont);
    header->setMinimumHeight(2 * QFontMetrics(headingFont).height() + 8);
    // The owner word must be read whole in its narrow column.
    const int ownerWidth = ui::cellTextWidth(grdBooks, grdBooks->columnWidth(BookListModel::Locked));
    const QFont ownerFont =
        ui::fittedFont(grdBooks->font(), {QStringLiteral("OrvanePlus"), QStringLiteral("User")}, ownerWidth);
    grdBooks->setItemDelegateForColumn(BookListModel::Locked, new ui::FontDelegate(ownerFont, grdBooks));
    grdBooks->verticalHeader()->setDefaultSectionSize(grdBooks->fontMetrics().height() + 6);
}

void CatalogueWindow::onPathChanged(const QString &text)
{
    savePhotoDir(text);
    txtPath->setToolTip(m_imageRootValue);
}

void CatalogueWindow::savePhotoDir(const QString &path)
{
    const auto saved = m_context.settings->setPhotoDir(path);
    if (saved || m_settingsFaultReported)
        return;
    m_settingsFaultReported = true;
    m_context.messages->tell({saved.error(), ui::Icon::Exclamation});
}

void CatalogueWindow::onBrowse()
{
    FolderPicker picker(m_context.programDir, txtPath->text(), this);
    if (picker.exec() == QDialog::Accepted)
        txtPath->setText(picker.currentPath());
}

void CatalogueWindow::onExit()
{
    if (!txtPath->text().endsWith(QLatin1Char('/')))
        txtPath->setText(txtPath->text() + QLatin1Char('/'));
    savePhotoDir(txtPath->text());
    m_imageRootValue = txtPath->text();
    close();
}

void CatalogueWindow::onImport()
{
    cmdImport->setRestColours();
    const qint64 current = currentBookId();
    install::ImportWindow window(m_store->db(), m_context.programDir, *m_context.messages, this);
    window.load();
    window.exec();
    // The imports leave the photo counts to this one recount, which re-queries the list once.
    recount();
    selectBook(current);
}

void CatalogueWindow::requeryBooks()
{
    if (const auto listed = m_books->requery(); !listed)
        report(listed.error());
}

void CatalogueWindow::recount()
{
    if (const auto counted = m_store->recount(); !counted)
        report(counted.error());
    requeryBooks();
}

void CatalogueWindow::report(const QString &error)
{
    m_context.messages->tell({error, ui::Icon::Critical});
}

void CatalogueWindow::closeEvent(QCloseEvent *event)
{
    // An open editor closes first; when it stays open (the user kept its changes), so does
    // the catalogue.
    if (m_editor && !m_editor->close()) {
        event->ignore();
        return;
    }
    event->accept();
    if (m_unloaded)
        return;
    m_unloaded = true;
    if (m_books)
        ui::saveLayout(m_context.layout, this, grdBooks, columnFields());
    // Nothing asks the store once it is closed.
    delete m_watcher;
    m_watcher = nullptr;
    if (m_store)
        m_store->close();
    emit unloaded();
}

} // namespace catalogue
