#pragma once

#include "store/BookList.h"

#include <QAbstractTableModel>

namespace store {
class Store;
}

namespace catalogue {

// The book list behind grdBooks: every book, ordered by label. Only Active can be changed;
// a tick is written to the store at once.
class BookListModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Active, Locked, BookLabel, BookDescription, NumOfPhotos, ColumnCount };

    explicit BookListModel(store::Store &store, QObject *parent = nullptr);

    // Re-reads every book from the store. Returns an empty text or what failed.
    QString requery();
    const store::BookRow &book(int row) const { return m_rows.at(row); }

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
    store::Store &m_store;
    QVector<store::BookRow> m_rows;
};

} // namespace catalogue
