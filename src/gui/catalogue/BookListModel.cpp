#include "catalogue/BookListModel.h"

#include "library/LibraryWatcher.h"
#include "store/ChangeSignals.h"
#include "store/Store.h"

#include <QColor>

namespace catalogue {

BookListModel::BookListModel(store::Store &store, QObject *parent)
    : QAbstractTableModel(parent)
    , m_store(store)
{
}

store::Result<> BookListModel::requery()
{
    auto rows = library::loadBookList(m_store.db());
    if (!rows)
        return rows.failure();
    beginResetModel();
    m_rows = std::move(*rows);
    m_shown = shownRows();
    endResetModel();
    return store::done();
}

QVector<int> BookListModel::shownRows() const
{
    QVector<int> shown;
    shown.reserve(m_rows.size());
    for (int i = 0; i < m_rows.size(); ++i) {
        const library::BookRow &b = m_rows.at(i);
        if (m_filter.isEmpty() || b.label.contains(m_filter, Qt::CaseInsensitive) ||
            b.description.contains(m_filter, Qt::CaseInsensitive))
            shown << i;
    }
    if (m_sortColumn < 0)
        return shown;
    // Each book's key is made once, not at every comparison: the list may hold thousands of books.
    QVector<QVariant> keys(m_rows.size());
    for (int i : shown) {
        const library::BookRow &b = m_rows.at(i);
        switch (m_sortColumn) {
        case Active:
            keys[i] = b.active;
            break;
        case Locked:
            keys[i] = b.locked;
            break;
        case BookDescription:
            keys[i] = b.description.toCaseFolded();
            break;
        case NumOfPhotos:
            keys[i] = b.numOfPhotos;
            break;
        default:
            keys[i] = b.label.toCaseFolded();
            break;
        }
    }
    const QPartialOrdering before =
        m_sortOrder == Qt::AscendingOrder ? QPartialOrdering::Less : QPartialOrdering::Greater;
    // Stable: books that compare equal keep the store's order, by label.
    std::stable_sort(shown.begin(), shown.end(),
                     [&](int a, int b) { return QVariant::compare(keys.at(a), keys.at(b)) == before; });
    return shown;
}

void BookListModel::relayout(const std::function<void()> &change)
{
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    QVector<qint64> ids;
    for (const QModelIndex &index : before)
        ids << (index.row() < m_shown.size() ? book(index.row()).id : -1);
    if (change)
        change();
    m_shown = shownRows();
    QHash<qint64, int> rowOf;
    for (int row = 0; row < m_shown.size(); ++row)
        rowOf.insert(book(row).id, row);
    QModelIndexList after;
    for (int i = 0; i < before.size(); ++i) {
        const int row = rowOf.value(ids.at(i), -1);
        after << (row < 0 ? QModelIndex() : index(row, before.at(i).column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

namespace {

bool sameRow(const library::BookRow &a, const library::BookRow &b)
{
    return a.id == b.id && a.active == b.active && a.locked == b.locked && a.label == b.label &&
           a.description == b.description && a.numOfPhotos == b.numOfPhotos;
}

// More books than this in one change are read with the whole list: one statement is then
// quicker than one per book.
constexpr int kBooksReadOneByOne = 64;

} // namespace

store::Result<> BookListModel::refresh(const library::LibraryChange &change)
{
    if (change.isEmpty())
        return store::done();
    if (change.everything || change.books.size() > kBooksReadOneByOne) {
        auto rows = library::loadBookList(m_store.db());
        if (!rows)
            return rows.failure();
        takeRows(std::move(*rows));
        emit refreshed();
        return store::done();
    }
    auto read = library::loadBookRows(m_store.db(), change.books);
    if (!read)
        return read.failure();
    QHash<qint64, int> indexOf;
    indexOf.reserve(m_rows.size());
    for (int i = 0; i < m_rows.size(); ++i)
        indexOf.insert(m_rows.at(i).id, i);
    QHash<qint64, library::BookRow> found;
    for (const library::BookRow &row : std::as_const(*read)) {
        const int at = indexOf.value(row.id, -1);
        // A new book, or one whose label changed, takes its place in the store's order.
        if (at < 0 || m_rows.at(at).label != row.label)
            return refresh({true, {}});
        found.insert(row.id, row);
    }
    QVector<library::BookRow> rows;
    rows.reserve(m_rows.size());
    for (const library::BookRow &row : std::as_const(m_rows)) {
        if (!change.books.contains(row.id))
            rows << row;
        else if (found.contains(row.id))
            rows << found.value(row.id);
        // else: deleted by the other program.
    }
    takeRows(std::move(rows));
    emit refreshed();
    return store::done();
}

bool BookListModel::movesRow(const library::BookRow &before, const library::BookRow &after) const
{
    // The filter reads the label and the description, and the label orders the store's list.
    if (before.label != after.label || before.description != after.description)
        return true;
    switch (m_sortColumn) {
    case Active:
        return before.active != after.active;
    case Locked:
        return before.locked != after.locked;
    case NumOfPhotos:
        return before.numOfPhotos != after.numOfPhotos;
    default:
        return false;
    }
}

bool BookListModel::takeChangedInPlace(QVector<library::BookRow> &rows)
{
    if (rows.size() != m_rows.size())
        return false;
    QVector<bool> changed(rows.size(), false);
    bool any = false;
    for (int i = 0; i < rows.size(); ++i) {
        const library::BookRow &before = m_rows.at(i);
        const library::BookRow &after = rows.at(i);
        if (before.id != after.id)
            return false;
        if (sameRow(before, after))
            continue;
        if (movesRow(before, after))
            return false;
        changed[i] = any = true;
    }
    m_rows = std::move(rows);
    for (int row = 0; any && row < m_shown.size(); ++row) {
        if (changed.at(m_shown.at(row)))
            emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    }
    return true;
}

void BookListModel::takeRows(QVector<library::BookRow> rows)
{
    // The usual change (a book activated or recounted elsewhere) neither shows, hides nor moves
    // a row: those rows are repainted, nothing is sorted again.
    if (takeChangedInPlace(rows))
        return;
    QVector<library::BookRow> before = std::exchange(m_rows, std::move(rows));
    QVector<int> shown = shownRows();
    bool sameShown = shown.size() == m_shown.size();
    for (int row = 0; sameShown && row < shown.size(); ++row)
        sameShown = m_rows.at(shown.at(row)).id == before.at(m_shown.at(row)).id;
    if (!sameShown) {
        // relayout() reads the persistent indexes' books from the rows as they were.
        std::swap(m_rows, before);
        relayout([&] { m_rows = std::move(before); });
        return;
    }
    const QVector<int> old = std::exchange(m_shown, std::move(shown));
    for (int row = 0; row < m_shown.size(); ++row) {
        if (!sameRow(m_rows.at(m_shown.at(row)), before.at(old.at(row))))
            emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    }
}

void BookListModel::setFilterText(const QString &text)
{
    if (text == m_filter)
        return;
    m_filter = text;
    relayout();
}

void BookListModel::sort(int column, Qt::SortOrder order)
{
    m_sortColumn = column;
    m_sortOrder = order;
    relayout();
}

int BookListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

int BookListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BookListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_shown.size())
        return {};
    const library::BookRow &b = book(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Locked:
            return b.locked ? QStringLiteral("OrvanePlus") : QStringLiteral("User");
        case BookLabel:
            return b.label;
        case BookDescription:
            return b.description;
        case NumOfPhotos:
            return b.numOfPhotos;
        default:
            return {};
        }
    case Qt::CheckStateRole:
        if (index.column() == Active)
            return b.active ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::BackgroundRole:
        if (index.column() == Active)
            return QColor(192, 255, 192);
        if (index.column() == Locked)
            return QColor(255, 255, 192);
        return {};
    case Qt::TextAlignmentRole:
        switch (index.column()) {
        case Active:
        case Locked:
            return int(Qt::AlignCenter);
        case NumOfPhotos:
            return int(Qt::AlignRight | Qt::AlignVCenter);
        default:
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        }
    default:
        return {};
    }
}

QVariant BookListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Active:
        return QStringLiteral("Active");
    case Locked:
        return QStringLiteral("Owner");
    case BookLabel:
        return QStringLiteral("Book\nName");
    case BookDescription:
        return QStringLiteral("Book\nDescription");
    case NumOfPhotos:
        return QStringLiteral("Number of\nPhotos");
    default:
        return {};
    }
}

Qt::ItemFlags BookListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == Active)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

bool BookListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != Active || role != Qt::CheckStateRole)
        return false;
    library::BookRow &b = m_rows[m_shown.at(index.row())];
    const bool active = value.toInt() == Qt::Checked;
    if (const auto written = library::writeActive(m_store.db(), b.id, active); !written) {
        emit writeFailed(written.error());
        return false;
    }
    b.active = active;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

} // namespace catalogue
