#pragma once

#include <QKeyEvent>
#include <QTableView>

namespace catalogue {

// grdBooks: a table view whose current row never follows a typed letter, so that a command
// such as Delete always acts on the book the user selected. Return or Enter asks to open the
// current book.
class BookGrid final : public QTableView
{
    Q_OBJECT

public:
    using QTableView::QTableView;

signals:
    void openRequested();

protected:
    void keyboardSearch(const QString &) override {}
    void keyPressEvent(QKeyEvent *event) override
    {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier &&
            currentIndex().isValid()) {
            // The row with the keyboard's frame is the one opened, selected or not (at start-up
            // the first row has the frame and nothing is selected).
            if (!selectionModel()->isRowSelected(currentIndex().row(), QModelIndex()))
                selectionModel()->select(currentIndex(),
                                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            emit openRequested();
            return;
        }
        QTableView::keyPressEvent(event);
    }
};

} // namespace catalogue
