#pragma once

#include "editor/ImageFiles.h"
#include "editor/PhotoColumns.h"
#include "store/Photos.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QSqlDatabase>
#include <QVariantMap>

#include <memory>

namespace editor {

// The photos of the book being edited, held in memory behind grdPhotos.
//
// Batch mode (an existing book): additions, changes and deletions stay pending in the model
// until writePending() sends them, inside the caller's transaction; dropping the model drops
// them. Immediate mode (a new book): a row is written when it is completed, that is when the
// current row moves off it or commitRow() is called, and a deletion reaches the store at once.
//
// Columns are the 22 grid columns; values are reached by field name, so every Photos field
// (BookID, BookLabel, ...) can be read and written, shown in the grid or not.
class PhotoTableModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum class WriteMode { Batch, Immediate };
    // True for an image name whose file is not in the book's folder; the grid shows it in red.
    static constexpr int MissingImageRole = Qt::UserRole + 1;

    // Pending rows as a save writes them: keys the store assigned to new rows, by row index.
    using AssignedKeys = QHash<int, qint64>;

    explicit PhotoTableModel(const QSqlDatabase &db, QObject *parent = nullptr);

    // Reads the photos of a book (batch mode unless told). Returns an empty text or what failed.
    store::Result<> load(qint64 bookId, WriteMode mode = WriteMode::Batch);
    // An empty set of photos in the given mode.
    void reset(WriteMode mode);
    WriteMode writeMode() const { return m_mode; }

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
    // Removes a row; in immediate mode a stored row is deleted from the store at once.
    // Returns an empty text or what failed (the row then stays).
    store::Result<> removePhoto(int row);
    // The row whose key the store knows, or 0 for a row not yet written.
    qint64 rowKey(int row) const;

    // The grid's current row, -1 for none. Moving off a row completes it (immediate mode).
    int currentRow() const { return m_currentRow; }
    void setCurrentRow(int row);
    // Completes a row: in immediate mode a pending row is written now, after any pending row
    // above it, so that rows reach the store in the grid's order. Empty text or what failed.
    store::Result<> commitRow(int row);

    // The book's image folder as last listed: PhotoPic and DataPic cells whose file is not in
    // it are marked, with the path looked for as their tooltip. None marks nothing.
    void setImageFolder(std::shared_ptr<const BookImageFolder> folder);
    const BookImageFolder *imageFolder() const { return m_imageFolder.get(); }
    // Image names of all rows, and how many of them have no file.
    void countImages(int &named, int &missing) const;

    bool hasPendingChanges() const;
    // Whether any row was added, removed or changed since the photos were loaded or reset, or
    // since markUnedited(); written rows of a new book count too.
    bool isEdited() const { return m_edited; }
    void markUnedited() { m_edited = false; }
    // Writes every pending addition, change and deletion through the writer, without
    // touching the rows held here: the caller commits its transaction, then calls
    // acceptWritten(), or rolls back and the model keeps everything pending.
    store::Result<> writePending(store::PhotoWriter &writer, AssignedKeys &keys) const;
    void acceptWritten(const AssignedKeys &keys);
    // Whether the store's photo rows of the book are exactly those this model read or last
    // wrote: none added, none removed, none changed by anyone else. `stored` is every row of
    // the book as the store holds it now.
    bool matchesStored(const QVector<store::PhotoValues> &stored) const;

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
    // A row could not be written in immediate mode; the text names what failed.
    void writeFailed(const QString &error);

private:
    enum class RowState { Stored, Changed, Added };
    struct Row
    {
        store::PhotoValues values;
        RowState state = RowState::Added;
    };

    bool setField(int row, int field, const QVariant &value);
    store::Result<> writeRow(int row);

    QSqlDatabase db() const;

    // By name: a handle held here would keep the shared connection from closing.
    QString m_connection;
    WriteMode m_mode = WriteMode::Batch;
    QVector<PhotoColumn> m_columns;
    QVector<int> m_columnField; // column -> index in store::photoFields()
    QVector<Row> m_rows;
    QVector<qint64> m_removedKeys; // stored rows deleted in batch mode
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
