#include "editor/PhotoGrid.h"

#include "common/Twips.h"
#include "editor/GridRules.h"
#include "editor/PhotoDelegates.h"
#include "editor/PhotoTableModel.h"
#include "ui/FittedFont.h"
#include "ui/InputFeedback.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QStyle>

#include <algorithm>

namespace editor {

namespace {

// A key that types a character, rather than a shortcut or a navigation key.
bool typesCharacter(const QKeyEvent *event)
{
    if (event->text().isEmpty() || !event->text().at(0).isPrint())
        return false;
    return !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

} // namespace

PhotoGrid::PhotoGrid(QWidget *parent)
    : QTableView(parent)
{
    setObjectName(QStringLiteral("grdPhotos"));
    m_delegates = {new FileNameDelegate(this), new FreeTextDelegate(this), new UnsignedNumberDelegate(this),
                   new SignedNumberDelegate(this), new CodeDelegate(this)};
    auto *codes = static_cast<CodeDelegate *>(delegateFor(InputClass::Code));
    connect(codes, &CodeDelegate::buttonClicked, this,
            [this](const QModelIndex &index) { emit cellButtonClicked(index.row(), index.column()); });
    for (PhotoCellDelegate *delegate : m_delegates) {
        connect(delegate, &PhotoCellDelegate::cellCommitted, this, [this](const QModelIndex &index, bool edited) {
            emit cellCommitted(index.row(), index.column(), edited);
        });
    }

    setTabKeyNavigation(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                    QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    // Image files dropped onto a row are copied into the book's folder (BookEditor).
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);

    QHeaderView *header = horizontalHeader();
    header->setDefaultAlignment(Qt::AlignCenter);
    // The current column's heading in bold would no longer fit its designed width.
    header->setHighlightSections(false);
    header->setSectionsMovable(false);

    // Record selectors; fixed row heights keep a book of thousands of photos quick to show.
    QHeaderView *selectors = verticalHeader();
    selectors->setSectionResizeMode(QHeaderView::Fixed);
    selectors->setFixedWidth(18);
    selectors->setDefaultAlignment(Qt::AlignCenter);
    fitHeights();
}

void PhotoGrid::fitHeights()
{
    QHeaderView *header = horizontalHeader();
    header->setFixedHeight(3 * header->fontMetrics().lineSpacing() + 8);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
}

void PhotoGrid::fitFontToColumns()
{
    // One font for the whole grid, the largest in which a number of kReadableNumberLength
    // characters fits the narrowest number column.
    int narrowest = 0;
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const PhotoColumn &column = m_model->column(c);
        if (column.numeric && (narrowest == 0 || ui::twips(column.widthTwips) < narrowest))
            narrowest = ui::twips(column.widthTwips);
    }
    if (narrowest == 0)
        return;
    QStringList samples;
    for (char digit = '0'; digit <= '9'; ++digit)
        samples << QString(kReadableNumberLength, QLatin1Char(digit));
    setFont(ui::fittedFont(QWidget::font(), samples, ui::cellTextWidth(this, narrowest)));
    fitHeights();
}

void PhotoGrid::widenForHeadings(int first, int last)
{
    // A heading that a book's values make longer than its column was designed for (a size class
    // bound of three digits: "100.1\" +") widens its column rather than being cut. Columns only
    // widen here, so a width the user chose stays.
    const QHeaderView *header = horizontalHeader();
    const QFontMetrics metrics = header->fontMetrics();
    const int margins = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) + 2;
    for (int c = first; c <= last; ++c) {
        int needed = 0;
        const QStringList lines =
            m_model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().split(QLatin1Char('\n'));
        for (const QString &line : lines)
            needed = std::max(needed, metrics.horizontalAdvance(line) + margins);
        if (needed > columnWidth(c))
            setColumnWidth(c, needed);
    }
}

PhotoCellDelegate *PhotoGrid::delegateFor(InputClass input) const
{
    return m_delegates.at(int(input));
}

void PhotoGrid::focusRow(int row)
{
    if (!m_model || row < 0 || row >= m_model->rowCount())
        return;
    QModelIndex cell = m_model->index(row, firstVisibleColumn());
    for (int c = cell.column(); c < m_model->columnCount(); ++c) {
        const QModelIndex candidate = m_model->index(row, c);
        if (!isColumnHidden(c) && (candidate.flags() & Qt::ItemIsEditable)) {
            cell = candidate;
            break;
        }
    }
    setCurrentIndex(cell);
    scrollTo(cell);
    setFocus(Qt::OtherFocusReason);
}

bool PhotoGrid::hasTypedEdit() const
{
    if (!isEditing())
        return false;
    // The cell delegate marks its editor once the user edits its text.
    const auto editors = viewport()->findChildren<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly);
    return std::any_of(editors.begin(), editors.end(),
                       [](const QLineEdit *line) { return line->property("typed").toBool(); });
}

void PhotoGrid::setMessages(ui::Messages *messages)
{
    for (PhotoCellDelegate *delegate : m_delegates)
        delegate->setMessages(messages);
}

void PhotoGrid::setPhotoModel(PhotoTableModel *model)
{
    m_model = model;
    setModel(model);
    for (int c = 0; c < model->columnCount(); ++c) {
        const PhotoColumn &column = model->column(c);
        setItemDelegateForColumn(c, delegateFor(column.input));
        setColumnWidth(c, ui::twips(column.widthTwips));
        setColumnHidden(c, !column.visible);
    }
    fitFontToColumns();
    widenForHeadings(0, model->columnCount() - 1);
    connect(model, &QAbstractItemModel::headerDataChanged, this,
            [this](Qt::Orientation orientation, int first, int last) {
                if (orientation == Qt::Horizontal)
                    widenForHeadings(first, last);
            });
    connect(model, &PhotoTableModel::currentRowLost, this,
            [this] { m_model->setCurrentRow(currentIndex().isValid() ? currentIndex().row() : -1); });
    connect(model, &PhotoTableModel::columnVisibilityChanged, this,
            [this](int column, bool visible) { setColumnHidden(column, !visible); });
}

bool PhotoGrid::commitPendingEdit()
{
    if (state() != QAbstractItemView::EditingState)
        return true;
    QWidget *editor = indexWidget(currentIndex());
    if (!editor)
        return true;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return indexWidget(currentIndex()) != editor;
}

void PhotoGrid::setCurrentRow(int row)
{
    if (!m_model || row < 0 || row >= m_model->rowCount())
        return;
    int column = currentIndex().isValid() ? currentIndex().column() : firstVisibleColumn();
    if (isColumnHidden(column))
        column = firstVisibleColumn();
    setCurrentIndex(m_model->index(row, column));
}

int PhotoGrid::firstVisibleColumn() const
{
    for (int c = 0; m_model && c < m_model->columnCount(); ++c) {
        if (!isColumnHidden(c))
            return c;
    }
    return 0;
}

int PhotoGrid::lastVisibleColumn() const
{
    for (int c = m_model ? m_model->columnCount() - 1 : -1; c >= 0; --c) {
        if (!isColumnHidden(c))
            return c;
    }
    return 0;
}

QModelIndex PhotoGrid::nextCell(const QModelIndex &from) const
{
    if (from.column() == lastVisibleColumn()) {
        if (from.row() + 1 < m_model->rowCount())
            return m_model->index(from.row() + 1, firstVisibleColumn());
        return from;
    }
    for (int c = from.column() + 1; c < m_model->columnCount(); ++c) {
        if (!isColumnHidden(c))
            return m_model->index(from.row(), c);
    }
    return from;
}

QModelIndex PhotoGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex current = currentIndex();
    if (m_model && current.isValid()) {
        switch (cursorAction) {
        case MoveRight:
        case MoveNext:
            return nextCell(current);
        case MoveLeft:
        case MovePrevious:
            if (current.column() == firstVisibleColumn()) {
                if (current.row() > 0)
                    return m_model->index(current.row() - 1, lastVisibleColumn());
                return current;
            }
            break;
        default:
            break;
        }
    }
    return QTableView::moveCursor(cursorAction, modifiers);
}

void PhotoGrid::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && state() != EditingState &&
        currentIndex().isValid()) {
        setCurrentIndex(nextCell(currentIndex()));
        event->accept();
        return;
    }
    // F4 or Alt+Down opens a code cell's pick list, as its button does, for keyboard users.
    const bool dropDown =
        event->key() == Qt::Key_F4 || (event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier));
    if (dropDown && state() != EditingState && currentIndex().isValid() && m_model &&
        m_model->column(currentIndex().column()).input == InputClass::Code) {
        emit cellButtonClicked(currentIndex().row(), currentIndex().column());
        event->accept();
        return;
    }
    // A typed character opens an editable cell's editor, where the column's keystroke filter
    // sees it; on a code cell it opens the pick list at the first code starting with it. A
    // character the filter refuses changes nothing but is signalled at the cell.
    if (typesCharacter(event) && state() != EditingState && currentIndex().isValid() && m_model) {
        const QModelIndex current = currentIndex();
        const InputClass input = m_model->column(current.column()).input;
        if (input == InputClass::Code) {
            emit codeTyped(current.row(), current.column(), event->text());
            event->accept();
            return;
        }
        if (!(current.flags() & Qt::ItemIsEditable)) {
            event->accept();
            return;
        }
        if (!acceptsCharacter(input, event->text().at(0))) {
            ui::signalRefusedInput(viewport(), acceptedInputHint(input), visualRect(current));
            event->accept();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

void PhotoGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_model)
        m_model->setCurrentRow(current.isValid() ? current.row() : -1);
}

void PhotoGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    // A refused commit keeps the cell in editing with the text entered; leaving it by a click
    // elsewhere brings the cursor back to it.
    if (hint != QAbstractItemDelegate::RevertModelCache) {
        for (PhotoCellDelegate *delegate : m_delegates) {
            const QPersistentModelIndex refused = delegate->refusedEdit(editor);
            if (!refused.isValid())
                continue;
            if (currentIndex() != refused) {
                QMetaObject::invokeMethod(
                    this,
                    [this, refused, editor = QPointer<QWidget>(editor)] {
                        if (refused.isValid())
                            setCurrentIndex(refused);
                        if (editor)
                            editor->setFocus();
                    },
                    Qt::QueuedConnection);
            }
            editor->setFocus();
            return;
        }
    }
    // Enter commits the cell and moves to the one on its right.
    const bool enter = hint == QAbstractItemDelegate::SubmitModelCache;
    QTableView::closeEditor(editor, enter ? QAbstractItemDelegate::NoHint : hint);
    if (enter && currentIndex().isValid())
        setCurrentIndex(nextCell(currentIndex()));
}

namespace {

QString droppedFile(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls() || mime->urls().size() != 1 || !mime->urls().first().isLocalFile())
        return {};
    return mime->urls().first().toLocalFile();
}

} // namespace

void PhotoGrid::dragEnterEvent(QDragEnterEvent *event)
{
    if (droppedFile(event->mimeData()).isEmpty())
        return event->ignore();
    event->acceptProposedAction();
}

void PhotoGrid::dragMoveEvent(QDragMoveEvent *event)
{
    if (droppedFile(event->mimeData()).isEmpty() || !indexAt(event->position().toPoint()).isValid())
        return event->ignore();
    event->acceptProposedAction();
}

void PhotoGrid::dropEvent(QDropEvent *event)
{
    const QString path = droppedFile(event->mimeData());
    const QModelIndex cell = indexAt(event->position().toPoint());
    if (path.isEmpty() || !cell.isValid())
        return event->ignore();
    event->acceptProposedAction();
    emit fileDropped(cell.row(), cell.column(), path);
}

} // namespace editor
