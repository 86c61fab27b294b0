#pragma once

#include "library/BookList.h"

#include <QAbstractTableModel>

namespace store {
class Store;
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

private:
    // Recomputes the rows shown, keeping the view's selection on the books that stay.
    void relayout();
    QVector<int> shownRows() const;

    store::Store &m_store;
    QVector<library::BookRow> m_rows; // as read, ordered by label
    QVector<int> m_shown;             // indexes into m_rows, in the order shown
    QString m_filter;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace catalogue
