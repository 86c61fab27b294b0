#include "catalogue/BookListModel.h"
#include "catalogue/CatalogueWindow.h"
#include "editor/BookEditor.h"
#include "store/Store.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QTableView>
#include <QTimer>

namespace catalogue {

namespace {

// A list that could not be read is tried again this much later, without a message: the bottom
// line tells of a lost connection, and a busy file frees itself.
constexpr int kRetryMs = 1000;
// A click on a check box is waited for before the list changes under it.
constexpr int kPressRetryMs = 100;

} // namespace

void CatalogueWindow::startWatching()
{
    m_watcher = new library::LibraryWatcher(*m_store, this);
    connect(m_watcher, &library::LibraryWatcher::changed, this, &CatalogueWindow::onLibraryChanged);
    connect(m_watcher, &library::LibraryWatcher::connectionLost, this, [this] { showStoreLine(true); });
    connect(m_watcher, &library::LibraryWatcher::connectionRestored, this, [this] { showStoreLine(false); });
    m_watcher->start();
}

void CatalogueWindow::onLibraryChanged(const library::LibraryChange &change)
{
    const bool waiting = !m_pendingChange.isEmpty();
    m_pendingChange.merge(change);
    if (!waiting)
        showPendingChanges();
}

bool CatalogueWindow::pressingOnGrid() const
{
    return QApplication::mouseButtons() != Qt::NoButton && grdBooks->viewport()->underMouse();
}

void CatalogueWindow::showPendingChanges()
{
    if (m_pendingChange.isEmpty() || m_unloaded)
        return;
    // A row must not change under a click, nor while a box over the window waits for an answer
    // about the rows as they were.
    if (pressingOnGrid() || QApplication::activeModalWidget()) {
        QTimer::singleShot(kPressRetryMs, this, &CatalogueWindow::showPendingChanges);
        return;
    }
    const QModelIndex current = grdBooks->currentIndex();
    const int currentRow = current.isValid() ? current.row() : -1;
    // Where the current row goes when its book is deleted: the book after it, else the one before.
    qint64 neighbour = 0;
    if (currentRow >= 0 && currentRow + 1 < m_books->rowCount())
        neighbour = m_books->book(currentRow + 1).id;
    else if (currentRow > 0)
        neighbour = m_books->book(currentRow - 1).id;
    const int topRow = grdBooks->rowAt(0);
    const qint64 topBook = topRow >= 0 ? m_books->book(topRow).id : 0;

    const library::LibraryChange change = std::exchange(m_pendingChange, {});
    if (const auto refreshed = m_books->refresh(change); !refreshed) {
        m_pendingChange.merge(change);
        QTimer::singleShot(kRetryMs, this, &CatalogueWindow::showPendingChanges);
        return;
    }
    if (currentRow >= 0 && !grdBooks->currentIndex().isValid() && neighbour != 0) {
        for (int row = 0; row < m_books->rowCount(); ++row) {
            if (m_books->book(row).id != neighbour)
                continue;
            const auto flags = grdBooks->selectionModel()->hasSelection()
                                   ? QItemSelectionModel::NoUpdate
                                   : QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
            grdBooks->selectionModel()->setCurrentIndex(m_books->index(row, BookListModel::BookLabel), flags);
            break;
        }
    }
    // The book at the top of the list stays there when books were added or removed above it.
    if (topBook != 0 && (grdBooks->rowAt(0) < 0 || m_books->book(grdBooks->rowAt(0)).id != topBook)) {
        for (int row = 0; row < m_books->rowCount(); ++row) {
            if (m_books->book(row).id == topBook) {
                grdBooks->scrollTo(m_books->index(row, BookListModel::BookLabel), QAbstractItemView::PositionAtTop);
                break;
            }
        }
    }
    if (m_editor && !m_editor->isNewBook() && change.concerns(m_editor->bookId()))
        m_editor->checkStoredBook();
}

} // namespace catalogue
