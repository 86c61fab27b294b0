#pragma once

#include "library/BookList.h"

#include <QAbstractTableModel>

#include <functional>

namespace store {
class Store;
}
namespace library {
struct LibraryChange;
}

namespace catalogue {

// The book list behind grdBooks: every book read from the store, of which it shows those that
// match the filter text, in the chosen order (by label until a column is chosen). Rows are the
// rows shown. Only Active can be changed; a tick is written to the store at once.
class BookListModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Active, Locked, BookLabel, BookDescription, NumOfPhotos, ColumnCount };

    explicit BookListModel(store::Store &store, QObject *parent = nullptr);

    // Re-reads every book from the store.
    store::Result<> requery();
    // Brings the list up to date after other programs changed books: re-reads only those books
    // where the change names them and none was added or renamed, else the whole list. Rows are
    // changed in place: the view keeps its current row, selection and scroll position on the
    // books that stay, and a book that is not shown costs nothing visible.
    store::Result<> refresh(const library::LibraryChange &change);
    const library::BookRow &book(int row) const { return m_rows.at(m_shown.at(row)); }
    int totalCount() const { return int(m_rows.size()); }

    // Shows only the books whose label or description holds the text, letter case ignored.
    void setFilterText(const QString &text);
    // Orders the rows shown by a column; the order holds across requeries.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

signals:
    // A change could not be written; the text names what failed.
    void writeFailed(const QString &error);
    // refresh() brought the list up to date (the number of books may have changed).
    void refreshed();

private:
    // Recomputes the rows shown after `change` (which may replace the rows), keeping the view's
    // selection on the books that stay.
    void relayout(const std::function<void()> &change = {});
    QVector<int> shownRows() const;
    // Takes the rows as read now: a change inside the rows shown repaints those rows, one that
    // adds, removes or moves a shown row lays the list out again.
    void takeRows(QVector<library::BookRow> rows);
    // Takes rows that hold the same books in the same order, when no change can show, hide or
    // move a row; else false, and the rows are left as they were.
    bool takeChangedInPlace(QVector<library::BookRow> &rows);
    // Whether the change of a book can show or hide its row or move it in the order shown.
    bool movesRow(const library::BookRow &before, const library::BookRow &after) const;

    store::Store &m_store;
    QVector<library::BookRow> m_rows; // as read, ordered by label
    QVector<int> m_shown;             // indexes into m_rows, in the order shown
    QString m_filter;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace catalogue
