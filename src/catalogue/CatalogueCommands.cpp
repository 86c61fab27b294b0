// The catalogue's commands on whole books: edit, create, delete, activate and deactivate all.
#include "catalogue/BookListModel.h"
#include "catalogue/frmManagePhotos.h"
#include "editor/frmBooks.h"
#include "store/BookList.h"
#include "store/Store.h"
#include "ui/CoolButton.h"
#include "ui/Messages.h"

#include <QEventLoop>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>

namespace catalogue {

editor::frmBooks *frmManagePhotos::editorWindow() const
{
    return m_editor;
}

int frmManagePhotos::selectedBookRow()
{
    // The grid's selected rows must not be empty; the command acts on the current row.
    const QModelIndex current = grdBooks->currentIndex();
    if (!grdBooks->selectionModel()->hasSelection() || !current.isValid()) {
        m_context.messages->tell({QStringLiteral("Please select a book first")});
        return -1;
    }
    return current.row();
}

void frmManagePhotos::onEdit()
{
    cmdEdit->setRestColours();
    const int row = selectedBookRow();
    if (row < 0)
        return;
    const store::BookRow &book = m_books->book(row);
    if (book.locked) {
        m_context.messages->tell(
            {QStringLiteral("Sorry, you cannot edit this book as it is owned by OrvanePlus"), ui::Icon::Exclamation});
        return;
    }
    editor::frmBooks *window = openEditor(false, book.id);
    if (!window)
        return;
    window->show();
    // The catalogue stays visible but takes no input until the editor has closed.
    setEnabled(false);
}

void frmManagePhotos::onCreate()
{
    editor::frmBooks *window = openEditor(true, 0);
    if (!window)
        return;
    window->setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    connect(window, &editor::frmBooks::unloaded, &loop, &QEventLoop::quit);
    window->show();
    loop.exec();
    recount();
}

editor::frmBooks *frmManagePhotos::openEditor(bool newBook, qint64 bookId)
{
    editor::EditorContext context;
    context.store = m_store.get();
    context.messages = m_context.messages;
    context.programDir = m_context.programDir;
    context.imageRootText = [this] { return txtPath->text(); };
    context.isCdRom = m_context.isCdRom;

    // A window of its own, without a parent: disabling the catalogue must not disable it.
    auto *window = new editor::frmBooks(std::move(context));
    window->setNewBook(newBook);
    window->setBookId(bookId);
    if (!window->load()) {
        delete window;
        requeryBooks();
        return nullptr;
    }
    m_editor = window;
    connect(window, &editor::frmBooks::unloaded, this, [this, window] {
        const qint64 id = window->bookId();
        window->deleteLater();
        onEditorUnloaded(id);
    });
    return window;
}

void frmManagePhotos::onEditorUnloaded(qint64 bookId)
{
    m_editor = nullptr;
    requeryBooks();
    selectBook(bookId);
    setEnabled(true);
}

void frmManagePhotos::selectBook(qint64 bookId)
{
    for (int row = 0; row < m_books->rowCount(); ++row) {
        if (m_books->book(row).id == bookId) {
            grdBooks->selectionModel()->setCurrentIndex(m_books->index(row, BookListModel::BookLabel),
                                                        QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
            return;
        }
    }
}

void frmManagePhotos::onRemove()
{
    cmdRemove->setRestColours();
    const int row = selectedBookRow();
    if (row < 0)
        return;
    const store::BookRow book = m_books->book(row);
    if (book.locked) {
        m_context.messages->tell({QStringLiteral("Sorry, you cannot delete this book as it is owned by OrvanePlus"),
                                  ui::Icon::Exclamation});
        return;
    }
    // The photos go with their book through their link to it, in one transaction.
    if (m_context.messages->ask({QStringLiteral("Do you want to remove the book? \n") + book.label,
                                 ui::Icon::Exclamation, QString()})) {
        if (const QString error = store::removeBook(m_store->db(), book.id); !error.isEmpty())
            report(error);
    }
    requeryBooks();
}

void frmManagePhotos::onMarkAll(bool active)
{
    if (const QString error = store::writeAllActive(m_store->db(), active); !error.isEmpty())
        report(error);
    requeryBooks();
    if (m_books->rowCount() > 0)
        grdBooks->selectionModel()->setCurrentIndex(m_books->index(0, BookListModel::BookLabel),
                                                    QItemSelectionModel::NoUpdate);
}

} // namespace catalogue
