// The catalogue's commands on whole books: edit, create, delete, export, activate and deactivate all.
#include "catalogue/BookListModel.h"
#include "catalogue/CatalogueWindow.h"
#include "editor/BookEditor.h"
#include "library/BookExport.h"
#include "store/BookList.h"
#include "store/Store.h"
#include "ui/CoolButton.h"
#include "ui/Messages.h"

#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>

namespace catalogue {

editor::BookEditor *CatalogueWindow::editorWindow() const
{
    return m_editor;
}

int CatalogueWindow::selectedBookRow()
{
    // The command acts on the current row, and only while the user sees it selected: a second
    // click on a row takes its highlight away but leaves it current.
    const QModelIndex current = grdBooks->currentIndex();
    if (!current.isValid() || !grdBooks->selectionModel()->isRowSelected(current.row(), {})) {
        m_context.messages->tell({QStringLiteral("Please select a book first")});
        return -1;
    }
    return current.row();
}

void CatalogueWindow::onEdit()
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
    editor::BookEditor *window = openEditor(false, book.id);
    if (!window)
        return;
    window->show();
    // The catalogue stays visible but takes no input until the editor has closed.
    setEnabled(false);
}

void CatalogueWindow::onCreate()
{
    const qint64 current = currentBookId();
    editor::BookEditor *window = openEditor(true, 0);
    if (!window)
        return;
    window->setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    connect(window, &editor::BookEditor::unloaded, &loop, &QEventLoop::quit);
    window->show();
    loop.exec();
    // The editor's save recounted the photos already.
    selectBook(current);
}

editor::BookEditor *CatalogueWindow::openEditor(bool newBook, qint64 bookId)
{
    editor::EditorContext context;
    context.store = m_store.get();
    context.messages = m_context.messages;
    context.programDir = m_context.programDir;
    context.imageRootText = [this] { return txtPath->text(); };
    context.isCdRom = m_context.isCdRom;
    context.layout = m_context.layout;

    // A window of its own, without a parent: disabling the catalogue must not disable it.
    auto *window = new editor::BookEditor(std::move(context));
    window->setNewBook(newBook);
    window->setBookId(bookId);
    if (!window->load()) {
        delete window;
        requeryBooks();
        return nullptr;
    }
    m_editor = window;
    // A save that leaves the editor open shows its values in the list at once.
    connect(window, &editor::BookEditor::bookSaved, this, [this] {
        const qint64 current = currentBookId();
        requeryBooks();
        selectBook(current);
    });
    connect(window, &editor::BookEditor::unloaded, this, [this, window] {
        const qint64 id = window->bookId();
        window->deleteLater();
        onEditorUnloaded(id);
    });
    return window;
}

void CatalogueWindow::onEditorUnloaded(qint64 bookId)
{
    m_editor = nullptr;
    requeryBooks();
    selectBook(bookId);
    setEnabled(true);
}

qint64 CatalogueWindow::currentBookId() const
{
    const QModelIndex current = grdBooks->currentIndex();
    return current.isValid() ? m_books->book(current.row()).id : 0;
}

void CatalogueWindow::selectBook(qint64 bookId)
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

QString askSaveFileName(QWidget *parent, const QString &suggested, const QStringList &filters)
{
    QString chosenFilter;
    const QString joined = filters.join(QStringLiteral(";;"));
    const QString title =
        joined.contains(QLatin1String("*.pdf")) ? QStringLiteral("Publish a Book") : QStringLiteral("Export a Book");
    QString path = QFileDialog::getSaveFileName(parent, title, suggested, joined, &chosenFilter);
    // "Install file (*.bks)" gives ".bks".
    const qsizetype star = chosenFilter.indexOf(QLatin1String("*."));
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty() && star >= 0)
        path += chosenFilter.mid(star + 1).chopped(1);
    return path;
}

// The Books folder (where install files are kept) and the book's label as the file name; the
// program directory when there is no Books folder.
QString CatalogueWindow::suggestedExportPath(const QString &label) const
{
    const QDir programDir(m_context.programDir);
    const QDir books(programDir.filePath(QStringLiteral("Books")));
    return (books.exists() ? books : programDir).filePath(label + QStringLiteral(".bks"));
}

void CatalogueWindow::onExport()
{
    cmdExport->setRestColours();
    const int row = selectedBookRow();
    if (row < 0)
        return;
    // A locked book may be exported: an export changes nothing.
    const store::BookRow book = m_books->book(row);
    const QString path = m_context.saveFileName(
        this, suggestedExportPath(book.label), {QStringLiteral("Install file (*.bks)"), QStringLiteral("CSV (*.csv)")});
    if (path.isEmpty())
        return;
    const bool csv = path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
    const auto outcome =
        csv ? library::exportCsv(m_store->db(), book.id, path) : library::exportBookFile(m_store->db(), book.id, path);
    if (!outcome.ok()) {
        report(outcome.error());
        return;
    }
    QStringList lines{QStringLiteral("The book %1 was exported to %2 (%3 photos).")
                          .arg(book.label, QDir::toNativeSeparators(path))
                          .arg(outcome->photos)};
    lines << outcome->notes;
    m_context.messages->tell({lines.join(QLatin1Char('\n')), ui::Icon::Information});
}

void CatalogueWindow::onRemove()
{
    cmdRemove->setRestColours();
    const int row = selectedBookRow();
    if (row < 0)
        return;
    const store::BookRow book = m_books->book(row);
    if (book.locked) {
        m_context.messages->tell(
            {QStringLiteral("Sorry, you cannot delete this book as it is owned by OrvanePlus"), ui::Icon::Exclamation});
        return;
    }
    // The photos go with their book through their link to it, in one transaction.
    const bool remove = m_context.messages->ask(
        {QStringLiteral("Do you want to remove the book? \n") + book.label, ui::Icon::Exclamation, QString()});
    bool removed = false;
    if (remove) {
        const auto outcome = store::removeBook(m_store->db(), book.id);
        removed = outcome.ok();
        if (!removed)
            report(outcome.error());
    }
    requeryBooks();
    // A book that is still there stays the one the user had chosen.
    if (!removed)
        selectBook(book.id);
}

void CatalogueWindow::onMarkAll(bool active)
{
    if (const auto written = store::writeAllActive(m_store->db(), active); !written)
        report(written.error());
    requeryBooks();
    if (m_books->rowCount() > 0)
        selectBook(m_books->book(0).id);
}

} // namespace catalogue
