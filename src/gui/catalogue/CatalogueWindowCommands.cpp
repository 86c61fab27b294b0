// The catalogue's commands on whole books: edit, create, delete, export, activate and deactivate all.
#include "catalogue/BookListModel.h"
#include "catalogue/CatalogueWindow.h"
#include "editor/BookEditor.h"
#include "library/BookExport.h"
#include "library/BookList.h"
#include "store/Store.h"
#include "ui/CoolButton.h"
#include "ui/Messages.h"

#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTableView>
#include <QTimer>

#include <algorithm>

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

QVector<library::BookRow> CatalogueWindow::selectedBooks()
{
    QModelIndexList rows = grdBooks->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QVector<library::BookRow> books;
    for (const QModelIndex &index : rows)
        books << m_books->book(index.row());
    if (books.isEmpty())
        m_context.messages->tell({QStringLiteral("Please select a book first")});
    return books;
}

void CatalogueWindow::onEdit()
{
    cmdEdit->setRestColours();
    const int row = selectedBookRow();
    if (row < 0)
        return;
    const library::BookRow &book = m_books->book(row);
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
    placeOverCatalogue(window);
    m_editor = window;
    // A save that leaves the editor open shows its values in the list at once.
    connect(window, &editor::BookEditor::bookSaved, this, [this] {
        const qint64 current = currentBookId();
        requeryBooks();
        selectBook(current);
        m_listJustRead = true;
        QTimer::singleShot(0, this, [this] { m_listJustRead = false; });
    });
    connect(window, &editor::BookEditor::unloaded, this, [this, window] {
        const qint64 id = window->bookId();
        window->deleteLater();
        onEditorUnloaded(id);
    });
    return window;
}

void CatalogueWindow::placeOverCatalogue(QWidget *window) const
{
    // Inside the screen's available area (its buttons were once off the bottom of the screen),
    // centred over the catalogue as far as that allows. Before the window is shown its frame is
    // unknown: room is kept for a usual one.
    const QScreen *screen = this->screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QSize frame(16, 40);
    window->resize(window->size().boundedTo(available.size() - frame));
    QRect placed(QPoint(), window->size() + frame);
    placed.moveCenter(frameGeometry().center());
    placed.moveLeft(qBound(available.left(), placed.left(), available.right() + 1 - placed.width()));
    placed.moveTop(qBound(available.top(), placed.top(), available.bottom() + 1 - placed.height()));
    window->move(placed.topLeft());
}

void CatalogueWindow::onEditorUnloaded(qint64 bookId)
{
    m_editor = nullptr;
    if (!m_listJustRead)
        requeryBooks();
    m_listJustRead = false;
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

QString askFolder(QWidget *parent, const QString &suggested)
{
    return QFileDialog::getExistingDirectory(parent, QStringLiteral("Export the Books to a Folder"), suggested);
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
    const QVector<library::BookRow> books = selectedBooks();
    if (books.size() > 1) {
        exportBooks(books);
        return;
    }
    if (books.isEmpty())
        return;
    // A locked book may be exported: an export changes nothing.
    const library::BookRow &book = books.first();
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

void CatalogueWindow::exportBooks(const QVector<library::BookRow> &books)
{
    const QString folder = m_context.exportFolder(this, QFileInfo(suggestedExportPath(QString())).path());
    if (folder.isEmpty())
        return;
    // A file already there is never replaced: two books may share a label, and the folder may
    // hold the user's own files.
    int exported = 0;
    QStringList problems;
    for (const library::BookRow &book : books) {
        const QString path = QDir(folder).filePath(book.label + QStringLiteral(".bks"));
        if (QFileInfo::exists(path)) {
            problems << QStringLiteral("%1: %2 exists already and was left as it is.")
                            .arg(book.label, QDir::toNativeSeparators(path));
            continue;
        }
        const auto outcome = library::exportBookFile(m_store->db(), book.id, path);
        if (outcome)
            ++exported;
        else
            problems << QStringLiteral("%1: %2").arg(book.label, outcome.error());
    }
    QStringList lines{QStringLiteral("%1 of %2 books were exported to %3.")
                          .arg(exported)
                          .arg(books.size())
                          .arg(QDir::toNativeSeparators(folder))};
    lines << problems;
    m_context.messages->tell(
        {lines.join(QLatin1Char('\n')), problems.isEmpty() ? ui::Icon::Information : ui::Icon::Exclamation});
}

void CatalogueWindow::onRemove()
{
    cmdRemove->setRestColours();
    const QVector<library::BookRow> books = selectedBooks();
    if (books.isEmpty())
        return;
    QVector<qint64> ids;
    QStringList labels;
    for (const library::BookRow &book : books) {
        if (book.locked) {
            m_context.messages->tell({QStringLiteral("Sorry, you cannot delete this book as it is owned by OrvanePlus"),
                                      ui::Icon::Exclamation});
            return;
        }
        ids << book.id;
        labels << book.label;
    }
    // Several books are named up to a screenful, then counted.
    constexpr int kNamed = 12;
    if (labels.size() > kNamed) {
        const qsizetype more = labels.size() - kNamed;
        labels = labels.mid(0, kNamed) << QStringLiteral("and %1 more").arg(more);
    }
    const QString question = books.size() == 1
                                 ? QStringLiteral("Do you want to remove the book? \n") + books.first().label
                                 : QStringLiteral("Do you want to remove these %1 books? \n").arg(books.size()) +
                                       labels.join(QLatin1Char('\n'));
    // The photos go with their books through their link to them, all in one transaction.
    bool removed = false;
    if (m_context.messages->ask({question, ui::Icon::Exclamation})) {
        const auto outcome = library::removeBooks(m_store->db(), ids);
        removed = outcome.ok();
        if (!removed)
            report(outcome.error());
    }
    requeryBooks();
    // A book that is still there stays the one the user had chosen.
    if (!removed)
        selectBook(books.first().id);
}

void CatalogueWindow::onMarkAll(bool active)
{
    // With a filter in effect the command acts on the books shown, and says how many it changed.
    const bool filtered = m_books->rowCount() < m_books->totalCount();
    QString changedText;
    if (filtered) {
        QVector<qint64> shown;
        for (int row = 0; row < m_books->rowCount(); ++row)
            shown << m_books->book(row).id;
        if (const auto changed = library::writeActive(m_store->db(), shown, active); changed)
            changedText =
                (active ? QStringLiteral(", %1 activated") : QStringLiteral(", %1 deactivated")).arg(*changed);
        else
            report(changed.error());
    } else if (const auto written = library::writeAllActive(m_store->db(), active); !written) {
        report(written.error());
    }
    requeryBooks();
    if (m_books->rowCount() > 0)
        selectBook(m_books->book(0).id);
    if (!changedText.isEmpty())
        lblFilterCount->setText(lblFilterCount->text() + changedText);
}

} // namespace catalogue
