#pragma once

#include "editor/ImageFiles.h"
#include "editor/PhotoColumns.h"
#include "editor/PhotoRow.h"
#include "library/BookSave.h"
#include "store/Photos.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QVariantMap>

#include <memory>

namespace editor {

// A photo taken out of the book, with what it takes to put it back in its place.
struct RemovedPhoto
{
    int row = -1;
    store::PhotoValues values; // every field, the key included
};

// The photos of the book being edited, held in memory behind grdPhotos. It never reads or
// writes the store: additions, changes and deletions stay here until a save takes them as a
// change set (changes()) and reports back what it wrote (acceptSaved()); dropping the model
// drops them. A new book's photos are all additions until its first save.
//
// Columns are the 22 grid columns; values are reached by field name, so every Photos field
// (BookID, BookLabel, ...) can be read and written, shown in the grid or not.
class PhotoTableModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    // True for an image name whose file is not in the book's folder; the grid shows it in red.
    static constexpr int MissingImageRole = Qt::UserRole + 1;

    explicit PhotoTableModel(QObject *parent = nullptr);

    // The photos of a book as the store holds them (none for a new book): nothing is pending.
    void setRows(QVector<store::PhotoValues> rows);
    // The same, the rows already held compactly (as editor::loadInto reads them).
    void setCompactRows(QVector<PhotoRow> rows);

    // The values of a new photo of a book: zero loadings and depths, crown cover 0.5, one tree
    // per acre; the label and the codes stay empty.
    static QVariantMap defaultPhotoValues(qint64 bookId, const QVariant &bookLabel);

    // Columns.
    int columnOf(const QString &field) const; // case-insensitive; -1 if the grid has no such column
    const PhotoColumn &column(int column) const { return m_columns.at(column); }
    void setColumnHeading(int column, const QString &heading);
    void setColumnVisible(int column, bool visible);
    void setColumnLocked(int column, bool locked);

    // Rows.
    QVariant value(int row, const QString &field) const;
    // Sets a field of a row; false when the field is unknown or a number field gets a value
    // that is not a number (the row keeps its value).
    bool setValue(int row, const QString &field, const QVariant &value);
    // Appends a pending row (fields by name; the others stay null) and returns its index.
    int appendRow(const QVariantMap &values);
    // Removes a row; a stored one is deleted by the next save. Gives what restorePhoto needs.
    RemovedPhoto removePhoto(int row);
    // Puts a removed photo back in its place with every value. A stored photo whose deletion
    // is still pending is stored again (changed or not, as its values say); one whose deletion
    // a save has written comes back as a new photo.
    void restorePhoto(const RemovedPhoto &photo);
    // The row whose key the store knows, or 0 for a row not yet written.
    qint64 rowKey(int row) const;

    // The grid's current row, -1 for none.
    int currentRow() const { return m_currentRow; }
    void setCurrentRow(int row);

    // The book's image folder as last listed: PhotoPic and DataPic cells whose file is not in
    // it are marked, with the path looked for as their tooltip. None marks nothing.
    void setImageFolder(std::shared_ptr<const BookImageFolder> folder);
    const BookImageFolder *imageFolder() const { return m_imageFolder.get(); }
    // Image names of all rows, and how many of them have no file.
    void countImages(int &named, int &missing) const;

    bool hasPendingChanges() const;
    // Whether any row was added, removed or changed since the photos were set, or since
    // markUnedited().
    bool isEdited() const { return m_edited; }
    void markUnedited() { m_edited = false; }
    // Every pending addition (in row order), change and deletion, with the rows as last read or
    // saved, for the save's check that no other program changed them.
    // Without expected rows the change set leaves PhotoChanges::expected empty: a book read
    // with its change counter is checked by the counter alone, and the copy of every row is
    // not made.
    enum class ExpectedRows { Included, Omitted };
    library::PhotoChanges changes(ExpectedRows expected = ExpectedRows::Included) const;
    // After a save of changes() committed: the new rows take their keys and the book's key,
    // and nothing is pending.
    void acceptSaved(const library::SavedBook &saved);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    void columnVisibilityChanged(int column, bool visible);
    void currentRowChanged(int row);
    // Rows were removed: the view tells which row is current now (setCurrentRow).
    void currentRowLost();
    // The user's changes, for the editor's history: a field of a row changed (by setValue or
    // setData), a row was appended, a row was removed. restorePhoto and setRows tell nothing.
    void valueEdited(int row, const QString &field, const QVariant &before, const QVariant &after);
    void photoAppended(int row);
    void photoRemoved(const editor::RemovedPhoto &photo);

private:
    enum class RowState : quint8 { Stored, Changed, Added };

    bool setField(int row, int field, const QVariant &value);

    QVector<PhotoColumn> m_columns;
    QVector<int> m_columnField; // column -> index in store::photoFields()
    // The rows and, beside them, whether each is as stored, changed or added: a book's rows
    // come in as one vector (setRows) and stay in it.
    QVector<PhotoRow> m_rows;
    QVector<RowState> m_states;
    QVector<qint64> m_removedKeys; // stored rows deleted
    // The values the store holds for rows changed or deleted here since they were read or
    // written, by key; other stored rows hold in the store what they hold here.
    QHash<qint64, store::PhotoValues> m_base;
    int m_currentRow = -1;
    // While rows are removed or reset, the view's moves of its current row complete nothing.
    bool m_restructuring = false;
    bool m_edited = false;
    std::shared_ptr<const BookImageFolder> m_imageFolder;
    QVector<int> m_imageFields; // PhotoPic, DataPic in store::photoFields()
};

} // namespace editor
