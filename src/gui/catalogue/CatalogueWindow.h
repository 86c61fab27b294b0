#pragma once

#include "catalogue/AppContext.h"
#include "library/LibraryWatcher.h"

#include <QPointer>
#include <QVector>
#include <QWidget>

#include <memory>

class QGroupBox;
class QLabel;
class QLayout;
class QLineEdit;
class QTableView;

namespace store {
class Store;
}
namespace library {
struct BookRow;
}
namespace ui {
class CoolButton;
}
namespace editor {
class BookEditor;
}

namespace catalogue {

class BookListModel;

// The catalogue: every book of the store, the image root, and the commands on whole books.
// It owns the store connection and the book list that every other window works through.
class CatalogueWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit CatalogueWindow(AppContext context, QWidget *parent = nullptr);
    ~CatalogueWindow() override;

    // The load sequence. On failure it has told the user what failed and returns false;
    // the program then ends.
    bool load();

    const AppContext &context() const { return m_context; }
    store::Store &store() { return *m_store; }
    BookListModel &bookList() { return *m_books; }
    QTableView *grid() const { return grdBooks; }

    // Re-reads the book list; a failure is reported to the user.
    void requeryBooks();
    // Rewrites every book's photo count and shows the new counts.
    void recount();

    // The open book editor, if any.
    editor::BookEditor *editorWindow() const;
    // Follows what other programs change in the library (started by load()).
    library::LibraryWatcher *libraryWatcher() const { return m_watcher; }

signals:
    // The window has closed and released the store: the program ends.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    // Escape in the filter box clears it.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    void buildCommandButtons();
    void buildImageLocationFrame();
    QLayout *buildFilterRow();
    void layOutWindow(QLayout *filterRow);
    void connectCommands();
    void setUpGrid();
    void fitSortedHeading(int column);
    void onPathChanged(const QString &text);
    void savePhotoDir(const QString &path);
    void onBrowse();
    void onExit();
    void onImport();
    void setUpFilterAndOrder();
    void showFilterCount();
    // The grid's columns by field name, as their widths are remembered.
    static QStringList columnFields();
    // Writes the selected book to an install file or CSV (CatalogueWindowCommands.cpp).
    void onExport();
    QString suggestedExportPath(const QString &label) const;
    // Writes the selected book as a print-ready PDF (CatalogueWindowPublish.cpp).
    void onPublish();
    void report(const QString &error);

    // Following other programs' changes (CatalogueWindowLive.cpp).
    void startWatching();
    void onLibraryChanged(const library::LibraryChange &change);
    // Brings the list and the open editor up to date with the changes not yet shown.
    void showPendingChanges();
    // True while the user holds a mouse button down on the grid (a check box being clicked).
    bool pressingOnGrid() const;
    // The bottom line: the store's path, or that the connection is lost.
    void showStoreLine(bool connectionLost);

    // The commands on whole books.
    void onEdit();
    void onCreate();
    void onRemove();
    void onMarkAll(bool active);
    // The row of the selected book, or -1 after "Please select a book first".
    int selectedBookRow();
    // Every selected book in the order shown, or none after "Please select a book first".
    QVector<library::BookRow> selectedBooks();
    // Writes each book to its own install file in a folder the user picks.
    void exportBooks(const QVector<library::BookRow> &books);
    editor::BookEditor *openEditor(bool newBook, qint64 bookId);
    void onEditorUnloaded(qint64 bookId);
    // Sizes and moves a window to lie inside the screen's available area, centred over this one.
    void placeOverCatalogue(QWidget *window) const;
    // The book of the grid's current row, or 0 when there is none.
    qint64 currentBookId() const;
    // Makes the book's row the current row and the only selected one; no book, no change.
    void selectBook(qint64 bookId);

    AppContext m_context;
    std::unique_ptr<store::Store> m_store;
    BookListModel *m_books = nullptr;
    QString m_imageRootValue;
    bool m_unloaded = false;
    // A settings file that cannot be written is reported once per run, not at every keystroke.
    bool m_settingsFaultReported = false;
    QPointer<editor::BookEditor> m_editor;
    // The list was read after the editor's save, in the event being handled: Save and Close
    // then unloads the editor without reading it again.
    bool m_listJustRead = false;
    library::LibraryWatcher *m_watcher = nullptr;
    library::LibraryChange m_pendingChange;

    QLabel *lblBooksCaption = nullptr;
    QLineEdit *txtFilter = nullptr;
    QLabel *lblStorePath = nullptr;
    QLabel *lblFilterCount = nullptr;
    QTableView *grdBooks = nullptr;
    QGroupBox *Frame1 = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *txtPath = nullptr;
    ui::CoolButton *cmdBrowse = nullptr;
    ui::CoolButton *cmdAdd = nullptr;
    ui::CoolButton *cmdEdit = nullptr;
    ui::CoolButton *cmdRemove = nullptr;
    ui::CoolButton *cmdImport = nullptr;
    ui::CoolButton *cmdExport = nullptr;
    ui::CoolButton *cmdPublish = nullptr;
    ui::CoolButton *cmdMarkAll = nullptr;
    ui::CoolButton *cmdUnMarkAll = nullptr;
    ui::CoolButton *cmdClose = nullptr;
};

} // namespace catalogue
