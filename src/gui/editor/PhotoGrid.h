#pragma once

#include <QTableView>

namespace ui {
class Messages;
}

namespace editor {

class CodeDelegate;
class PhotoCellDelegate;
class PhotoTableModel;
enum class InputClass;

// grdPhotos: the view over the photo model. Three-line headings, a record selector per row,
// in-place editing; Tab and the arrow keys move from cell to cell and wrap to the next row,
// Enter moves to the cell on the right. The grid itself neither adds nor deletes rows.
class PhotoGrid final : public QTableView
{
    Q_OBJECT

public:
    explicit PhotoGrid(QWidget *parent = nullptr);

    // Binds the grid to the model and lays out the columns as the model's column table says.
    void setPhotoModel(PhotoTableModel *model);

    // The delegate of an input class (one per class, shared by its columns).
    PhotoCellDelegate *delegateFor(InputClass input) const;
    // Where refused cell commits are told.
    void setMessages(ui::Messages *messages);

    // Whether a cell editor is open.
    bool isEditing() const { return state() == QAbstractItemView::EditingState; }
    // Whether the user has typed into the cell editor that is open.
    bool hasTypedEdit() const;
    // Commits the cell being edited, if any, into the model and closes its editor. False when
    // the commit was refused: the cell stays in editing and the user is told why once control
    // is back in the event loop.
    bool commitPendingEdit();
    // Makes a row current (keeping the current column when it is visible).
    void setCurrentRow(int row);
    // Makes the row's first editable cell current, scrolls it into view and takes the focus.
    void focusRow(int row);

signals:
    // The button of a code cell was clicked.
    void cellButtonClicked(int row, int column);
    // A character was typed on a code cell whose pick list is closed.
    void codeTyped(int row, int column, const QString &text);
    // A cell's value was stored from its editor (edited: the user changed the text). The model
    // holds the value already, so follow-up work may change other cells of the row at once.
    void cellCommitted(int row, int column, bool edited);
    // A file was dropped onto a cell (from a file manager).
    void fileDropped(int row, int column, const QString &path);

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void keyPressEvent(QKeyEvent *event) override;
    // Typing never searches: a typed key must not move the current row.
    void keyboardSearch(const QString &) override {}
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void fitHeights();
    void fitFontToColumns();
    void widenForHeadings(int first, int last);
    int firstVisibleColumn() const;
    int lastVisibleColumn() const;
    QModelIndex nextCell(const QModelIndex &from) const;

    PhotoTableModel *m_model = nullptr;
    QVector<PhotoCellDelegate *> m_delegates; // by InputClass
};

} // namespace editor
