#include "TestSupport.h"

#include "catalogue/BookListModel.h"
#include "catalogue/CatalogueWindow.h"
#include "editor/BookEditor.h"
#include "editor/PhotoTableModel.h"
#include "install/ImportWindow.h"
#include "ui/LayoutSettings.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QTableView>
#include <QTest>
#include <QTimer>

using testing::ProgramDir;
using testing::ScriptedMessages;

namespace {

struct Catalogue
{
    explicit Catalogue(ProgramDir &dir, catalogue::SaveFileQuery saveFileName = catalogue::askSaveFileName,
                       ui::LayoutSettings *layout = nullptr)
        : window(catalogue::AppContext{dir.path(), &messages, &dir.settings(), store::noCdRomDrive,
                                       std::move(saveFileName), layout, dir.storeLocation(), catalogue::askPassword,
                                       [this](QWidget *, const QString &suggested) {
                                           folderOffered = suggested;
                                           return folderAnswer;
                                       }})
    {
        QVERIFY2(window.load(), "catalogue did not load");
    }
    QTableView *grid() { return window.findChild<QTableView *>("grdBooks"); }
    void click(const char *name) { QTest::mouseClick(window.findChild<QPushButton *>(name), Qt::LeftButton); }
    // Selects a book's row in the grid as a click would, making it current.
    [[nodiscard]] bool select(const QString &label)
    {
        QAbstractItemModel *m = grid()->model();
        for (int row = 0; row < m->rowCount(); ++row) {
            if (m->index(row, catalogue::BookListModel::BookLabel).data().toString() == label) {
                grid()->selectionModel()->setCurrentIndex(m->index(row, 0),
                                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
                return true;
            }
        }
        QTest::qFail(qPrintable(QStringLiteral("no book ") + label), __FILE__, __LINE__);
        return false;
    }
    // A mouse click on a cell of the shown grid, as the user makes it.
    void clickCell(int row, int column)
    {
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {},
                          grid()->visualRect(grid()->model()->index(row, column)).center());
    }
    bool currentAndSelected(int row)
    {
        return grid()->currentIndex().row() == row && grid()->selectionModel()->isRowSelected(row, {});
    }
    QStringList labels()
    {
        QStringList out;
        for (int row = 0; row < grid()->model()->rowCount(); ++row)
            out << grid()->model()->index(row, catalogue::BookListModel::BookLabel).data().toString();
        return out;
    }

    ScriptedMessages messages;
    // The export folder's query: what it was offered and what it answers.
    QString folderOffered;
    QString folderAnswer;
    catalogue::CatalogueWindow window;
};

} // namespace

class CommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void editAndDeleteNeedASelectionAndAnUnlockedBook_data();
    void editAndDeleteNeedASelectionAndAnUnlockedBook();
    void deleteAnsweredNoKeepsRowsButRequeries();
    void deleteAnsweredYesRemovesByLinkAndKeepsFolder();
    void activateAndDeactivateAllIncludeLockedBooks();
    void editAndDeleteActOnTheRowShownSelected();
    void currentBookIsSelectedAfterACommand_data();
    void currentBookIsSelectedAfterACommand();
    void editDisablesCatalogueUntilEditorCloses();
    void createIsModalAndRecountsAfter();
    void exportWritesTheSelectedBook();
    void filterShowsMatchingBooksAndCommandsActOnThem();
    void severalSelectedBooksAreDeletedAndExportedTogether();
    void doubleClickAndReturnOpenTheBook();
    void editorOpensInsideTheScreenOverTheCatalogue();
    void headingsKeepRoomForTheSortArrow();
    void headingClickSortsAndTheOrderSurvivesARequery();
    void windowsRememberTheirLayout();
};

void CommandsTest::editAndDeleteNeedASelectionAndAnUnlockedBook_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("select");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("icon");
    QTest::newRow("edit, nothing selected") << "cmdEdit"
                                            << ""
                                            << "Please select a book first" << int(ui::Icon::None);
    QTest::newRow("delete, nothing selected") << "cmdRemove"
                                              << ""
                                              << "Please select a book first" << int(ui::Icon::None);
    QTest::newRow("edit, locked") << "cmdEdit"
                                  << "Locked"
                                  << "Sorry, you cannot edit this book as it is owned by OrvanePlus"
                                  << int(ui::Icon::Exclamation);
    QTest::newRow("delete, locked") << "cmdRemove"
                                    << "Locked"
                                    << "Sorry, you cannot delete this book as it is owned by OrvanePlus"
                                    << int(ui::Icon::Exclamation);
}

void CommandsTest::editAndDeleteNeedASelectionAndAnUnlockedBook()
{
    QFETCH(QString, button);
    QFETCH(QString, select);
    QFETCH(QString, message);
    QFETCH(int, icon);
    ProgramDir dir;
    dir.addPhoto(dir.addBook("Locked", true));
    dir.addBook("Open");
    Catalogue c(dir);
    if (!select.isEmpty())
        QVERIFY(c.select(select));
    c.click(qPrintable(button));
    QCOMPARE(c.messages.count(), 1);
    QCOMPARE(c.messages.last().message.text, message);
    QCOMPARE(int(c.messages.last().message.icon), icon);
    QCOMPARE(c.messages.last().message.title, QString("Photo Series Books"));
    QVERIFY(!c.messages.last().question);
    QVERIFY(!c.window.editorWindow());
    QVERIFY(c.window.isEnabled());
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Books").toInt(), 2);
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Photos").toInt(), 1);
}

void CommandsTest::deleteAnsweredNoKeepsRowsButRequeries()
{
    ProgramDir dir;
    dir.addPhoto(dir.addBook("Keep"));
    Catalogue c(dir);
    dir.addBook("Arrived meanwhile");
    QVERIFY(c.select("Keep"));
    c.messages.answerNext(false);
    c.click("cmdRemove");
    QCOMPARE(c.messages.count(), 1);
    QVERIFY(c.messages.last().question);
    QCOMPARE(c.messages.last().message.text, QString("Do you want to remove the book? \nKeep"));
    QCOMPARE(c.messages.last().message.icon, ui::Icon::Exclamation);
    // Titled like every box of the program (it was once titled with the executable's name).
    QCOMPARE(c.messages.last().message.title, QString("Photo Series Books"));
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Photos").toInt(), 1);
    QCOMPARE(c.labels(), (QStringList{"Arrived meanwhile", "Keep"}));
}

void CommandsTest::deleteAnsweredYesRemovesByLinkAndKeepsFolder()
{
    ProgramDir dir;
    // Two unsaved books share the label "Untitled"; deleting one must not touch the other's photos.
    dir.allowEqualLabels();
    const qint64 first = dir.addBook("Untitled");
    const qint64 second = dir.addBook("Untitled");
    dir.addPhoto(first, {{"BookLabel", "Untitled"}, {"PhotoLabel", "a"}});
    dir.addPhoto(second, {{"BookLabel", "Untitled"}, {"PhotoLabel", "b"}});
    QVERIFY(QDir(dir.path()).mkpath("PhotoImages/Untitled"));
    QVERIFY(dir.writeFile("PhotoImages/Untitled/Pa.jpg", "image"));
    Catalogue c(dir);
    c.grid()->selectionModel()->setCurrentIndex(c.grid()->model()->index(0, 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    c.messages.answerNext(true);
    c.click("cmdRemove");
    QCOMPARE(dir.column("SELECT ID FROM Books"), (QVariantList{second}));
    QCOMPARE(dir.column("SELECT PhotoLabel FROM Photos"), (QVariantList{"b"}));
    QVERIFY(QFile::exists(dir.filePath("PhotoImages/Untitled/Pa.jpg")));
    QCOMPARE(c.labels(), (QStringList{"Untitled"}));
}

void CommandsTest::activateAndDeactivateAllIncludeLockedBooks()
{
    ProgramDir dir;
    dir.addBook("A", true, false);
    dir.addBook("B", false, false);
    dir.addBook("C", true, true);
    Catalogue c(dir);
    c.click("cmdMarkAll");
    QCOMPARE(dir.column("SELECT Active FROM Books ORDER BY BookLabel"), (QVariantList{-1, -1, -1}));
    QCOMPARE(c.grid()->model()->index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(c.grid()->currentIndex().row(), 0);
    c.click("cmdUnMarkAll");
    QCOMPARE(dir.column("SELECT Active FROM Books ORDER BY BookLabel"), (QVariantList{0, 0, 0}));
    QCOMPARE(c.messages.count(), 0);
}

void CommandsTest::editAndDeleteActOnTheRowShownSelected()
{
    ProgramDir dir;
    dir.addBook("A");
    dir.addBook("B");
    const qint64 c3 = dir.addBook("C");
    Catalogue c(dir);
    c.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&c.window));

    // A click selects its row alone, and a second click on it keeps it selected (a click on a
    // selected row once cleared it, and Edit then said "Please select a book first").
    c.clickCell(0, catalogue::BookListModel::BookLabel);
    c.clickCell(1, catalogue::BookListModel::BookLabel);
    c.clickCell(1, catalogue::BookListModel::BookLabel);
    QVERIFY(c.currentAndSelected(1));
    QCOMPARE(c.grid()->selectionModel()->selectedRows().size(), 1);
    c.messages.answerNext(false);
    c.click("cmdRemove");
    QCOMPARE(c.messages.texts(), QStringList{"Do you want to remove the book? \nB"});
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Books").toInt(), 3);
    c.messages.clear();

    // A click on a row's check box ticks it and makes that row the one Edit opens.
    c.clickCell(2, catalogue::BookListModel::Active);
    QCOMPARE(dir.scalar("SELECT Active FROM Books WHERE BookLabel = 'C'").toInt(), -1);
    QVERIFY(c.currentAndSelected(2));
    c.click("cmdEdit");
    QVERIFY(c.window.editorWindow());
    QCOMPARE(c.window.editorWindow()->bookId(), c3);
    c.window.editorWindow()->close();
    QTRY_VERIFY(!c.window.editorWindow());
}

void CommandsTest::currentBookIsSelectedAfterACommand_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("row");
    QTest::newRow("delete answered No") << "cmdRemove" << 1;
    QTest::newRow("import") << "cmdImport" << 1;
    QTest::newRow("activate all") << "cmdMarkAll" << 0;
    QTest::newRow("deactivate all") << "cmdUnMarkAll" << 0;
}

void CommandsTest::currentBookIsSelectedAfterACommand()
{
    QFETCH(QString, command);
    QFETCH(int, row);
    ProgramDir dir;
    dir.addBook("A");
    dir.addBook("B");
    dir.addBook("C");
    Catalogue c(dir);
    c.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&c.window));
    c.clickCell(1, catalogue::BookListModel::BookLabel);
    c.messages.answerNext(false);
    QTimer::singleShot(0, [] {
        if (auto *files = qobject_cast<install::ImportWindow *>(QApplication::activeModalWidget()))
            files->reject();
    });
    c.click(qPrintable(command));
    QVERIFY(c.currentAndSelected(row));
    QCOMPARE(c.grid()->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Books").toInt(), 3);
}

void CommandsTest::editDisablesCatalogueUntilEditorCloses()
{
    ProgramDir dir;
    const qint64 book = dir.addBook("Int-46");
    dir.addPhoto(book, {{"PhotoLabel", "1"}});
    Catalogue c(dir);
    c.window.show();
    QVERIFY(c.select("Int-46"));
    c.click("cmdEdit");
    editor::BookEditor *editor = c.window.editorWindow();
    QVERIFY(editor);
    QVERIFY(editor->isVisible());
    QVERIFY(!editor->isModal());
    QCOMPARE(editor->bookId(), book);
    QVERIFY(!c.window.isEnabled());
    QVERIFY(editor->isEnabled());

    // Input to the catalogue is ignored while the editor is open.
    c.click("cmdMarkAll");
    QCOMPARE(dir.scalar("SELECT Active FROM Books").toInt(), 0);

    editor->findChild<QLineEdit *>("txtName")->setText("Interior West");
    QTest::mouseClick(editor->findChild<QPushButton *>("cmdSave"), Qt::LeftButton);
    QVERIFY(c.window.isEnabled());
    QTRY_VERIFY(!c.window.editorWindow());
    QCOMPARE(c.grid()->model()->index(0, catalogue::BookListModel::BookDescription).data().toString(),
             QString("Interior West"));
    QCOMPARE(c.grid()->currentIndex().row(), 0);
}

void CommandsTest::createIsModalAndRecountsAfter()
{
    ProgramDir dir;
    dir.addBook("Existing");
    Catalogue c(dir);
    c.window.show();
    QVERIFY(c.select("Existing"));
    bool wasModal = false;
    QTimer::singleShot(0, [&] {
        editor::BookEditor *editor = c.window.editorWindow();
        QVERIFY(editor);
        wasModal = editor->isModal() && editor->isVisible() && editor->isNewBook();
        editor->findChild<QLineEdit *>("txtBookID")->setText("Fresh");
        editor->photos().setValue(0, "PhotoLabel", "1");
        QTest::mouseClick(editor->findChild<QPushButton *>("cmdSave"), Qt::LeftButton);
    });
    c.click("cmdAdd");
    QVERIFY(wasModal);
    QCOMPARE(c.labels(), (QStringList{"Existing", "Fresh"}));
    QCOMPARE(c.grid()->model()->index(1, catalogue::BookListModel::NumOfPhotos).data().toInt(), 1);
    QCOMPARE(dir.scalar("SELECT BookLabel FROM Photos").toString(), QString("Fresh"));
    // The book that was current before is current and selected again.
    QVERIFY(c.currentAndSelected(0));
}

void CommandsTest::exportWritesTheSelectedBook()
{
    ProgramDir dir;
    const qint64 locked = dir.addBook("LK-1", true);
    dir.addPhoto(locked, {{"BookLabel", "LK-1"}, {"PhotoLabel", "01"}});
    dir.addBook("Other");
    QVERIFY(QDir(dir.path()).mkpath("Books"));
    QStringList offered;
    QString answer;
    Catalogue c(dir, [&](QWidget *, const QString &folder, const QStringList &filters) {
        offered = QStringList{folder} + filters;
        return answer;
    });

    // Cancelled: nothing written, nothing said.
    QVERIFY(c.select("LK-1"));
    c.click("cmdExport");
    QCOMPARE(offered,
             (QStringList{QDir(dir.path()).filePath("Books/LK-1.bks"), "Install file (*.bks)", "CSV (*.csv)"}));
    QCOMPARE(c.messages.count(), 0);

    // A locked book is exported too; the store is left as it was.
    answer = dir.filePath("LK-1.bks");
    c.click("cmdExport");
    QCOMPARE(c.messages.count(), 1);
    QVERIFY2(c.messages.last().message.text.startsWith("The book LK-1 was exported to"),
             qPrintable(c.messages.last().message.text));
    QVERIFY(c.messages.last().message.text.contains("Encoding: Windows-1252."));
    QFile file(answer);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().startsWith("\"LK-1\","));
    QVERIFY(c.currentAndSelected(c.labels().indexOf("LK-1")));
}

void CommandsTest::filterShowsMatchingBooksAndCommandsActOnThem()
{
    ProgramDir dir;
    dir.addBook("MC-1");
    dir.addBook(QVariantMap{{"BookLabel", "PP-2"}, {"BookDescription", "old mc plot"}});
    dir.addBook("SB-3");
    dir.addBook("ab-4");
    Catalogue c(dir);
    c.window.show();
    auto *filter = c.window.findChild<QLineEdit *>("txtFilter");
    auto *count = c.window.findChild<QLabel *>("lblFilterCount");
    QCOMPARE(filter->placeholderText(), QString("Filter books"));
    QCOMPARE(count->text(), QString("4 of 4 books"));

    // Label or description, letter case ignored.
    QTest::keyClicks(filter, "mC");
    QCOMPARE(c.labels(), (QStringList{"MC-1", "PP-2"}));
    QCOMPARE(count->text(), QString("2 of 4 books"));
    c.clickCell(1, catalogue::BookListModel::BookLabel);
    c.messages.answerNext(false);
    c.click("cmdRemove");
    QVERIFY(c.messages.last().message.text.endsWith("PP-2"));

    // A filter that hides the current book leaves nothing selected.
    QTest::keyClicks(filter, "-");
    QCOMPARE(c.labels(), QStringList{"MC-1"});
    c.click("cmdEdit");
    QCOMPARE(c.messages.last().message.text, QString("Please select a book first"));

    // With a filter, Activate All and Deactivate All act on the books shown and say how many
    // they changed; Escape shows every book again.
    c.click("cmdMarkAll");
    QCOMPARE(dir.column("SELECT BookLabel FROM Books WHERE Active <> 0"), QVariantList{"MC-1"});
    QCOMPARE(count->text(), QString("1 of 4 books, 1 activated"));
    c.click("cmdUnMarkAll");
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Books WHERE Active <> 0").toInt(), 0);
    QCOMPARE(count->text(), QString("1 of 4 books, 1 deactivated"));
    QTest::keyClick(filter, Qt::Key_Escape);
    QCOMPARE(filter->text(), QString());
    QCOMPARE(c.labels(), (QStringList{"ab-4", "MC-1", "PP-2", "SB-3"}));
}

void CommandsTest::severalSelectedBooksAreDeletedAndExportedTogether()
{
    ProgramDir dir;
    for (const char *label : {"A", "B", "C", "D"})
        dir.addPhoto(dir.addBook(label), {{"BookLabel", label}, {"PhotoLabel", "1"}});
    QVERIFY(QDir(dir.path()).mkpath("out"));
    QVERIFY(dir.writeFile("out/D.bks", "the user's own"));
    Catalogue c(dir);
    c.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&c.window));
    c.clickCell(1, catalogue::BookListModel::BookLabel);
    QTest::mouseClick(c.grid()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      c.grid()->visualRect(c.grid()->model()->index(3, catalogue::BookListModel::BookLabel)).center());
    QCOMPARE(c.grid()->selectionModel()->selectedRows().size(), 2);

    // Export writes each book to its own file in the chosen folder, never over a file there.
    c.folderAnswer = dir.filePath("out");
    c.click("cmdExport");
    QCOMPARE(c.folderOffered, dir.path());
    QVERIFY(QFile::exists(dir.filePath("out/B.bks")));
    QFile kept(dir.filePath("out/D.bks"));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("the user's own"));
    QVERIFY(c.messages.last().message.text.startsWith("1 of 2 books were exported to"));
    QVERIFY(c.messages.last().message.text.contains("D: "));

    // Delete asks once, naming how many, and removes both books with their photos.
    c.messages.answerNext(true);
    c.click("cmdRemove");
    QCOMPARE(c.messages.last().message.text, QString("Do you want to remove these 2 books? \nB\nD"));
    QCOMPARE(c.labels(), (QStringList{"A", "C"}));
    QCOMPARE(dir.column("SELECT BookLabel FROM Photos ORDER BY BookLabel"), (QVariantList{"A", "C"}));
}

void CommandsTest::doubleClickAndReturnOpenTheBook()
{
    ProgramDir dir;
    dir.addBook("Locked", true);
    const qint64 open = dir.addBook("Open");
    Catalogue c(dir);
    c.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&c.window));
    // At start-up the first row has the keyboard's frame, nothing selected: Return opens that
    // book (here refused as locked) rather than asking for a selection.
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(c.grid()));
    QTest::keyClick(c.grid(), Qt::Key_Return);
    const QString refused = "Sorry, you cannot edit this book as it is owned by OrvanePlus";
    QCOMPARE(c.messages.texts(), QStringList{refused});
    const QRect lockedCell = c.grid()->visualRect(c.grid()->model()->index(0, catalogue::BookListModel::BookLabel));
    QTest::mouseClick(c.grid()->viewport(), Qt::LeftButton, {}, lockedCell.center());
    QTest::mouseDClick(c.grid()->viewport(), Qt::LeftButton, {}, lockedCell.center());
    QCOMPARE(c.messages.texts(), (QStringList{refused, refused}));
    QVERIFY(!c.window.editorWindow());
    c.clickCell(1, catalogue::BookListModel::BookLabel);
    QTest::keyClick(c.grid(), Qt::Key_Return);
    QVERIFY(c.window.editorWindow());
    QCOMPARE(c.window.editorWindow()->bookId(), open);
    c.window.editorWindow()->close();
    QTRY_VERIFY(!c.window.editorWindow());
}

void CommandsTest::editorOpensInsideTheScreenOverTheCatalogue()
{
    ProgramDir dir;
    dir.addBook("A");
    Catalogue c(dir);
    c.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&c.window));
    // At start-up the book list has the keys.
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(c.grid()));
    const QRect available = c.window.screen()->availableGeometry();
    c.window.move(available.right() - c.window.width() / 2, available.bottom() - c.window.height() / 2);
    QVERIFY(c.select("A"));
    c.click("cmdEdit");
    editor::BookEditor *e = c.window.editorWindow();
    QVERIFY(e);
    QVERIFY(QTest::qWaitForWindowExposed(e));
    // Inside the screen as far as its least size allows, never off its bottom or right.
    QVERIFY2(available.contains(e->frameGeometry().topLeft()) &&
                 (e->frameGeometry().bottom() <= available.bottom() || e->y() <= available.top() + 40),
             qPrintable(QStringLiteral("%1,%2 %3x%4").arg(e->x()).arg(e->y()).arg(e->width()).arg(e->height())));
    e->close();
    QTRY_VERIFY(!c.window.editorWindow());
}

void CommandsTest::headingsKeepRoomForTheSortArrow()
{
    ProgramDir dir;
    dir.addBook("A");
    Catalogue c(dir);
    c.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&c.window));
    QHeaderView *header = c.grid()->horizontalHeader();
    const QFontMetrics metrics(header->font());
    // Whichever column is sorted, the style's room for its label beside the arrow holds it.
    for (int column = 0; column < header->count(); ++column) {
        header->setSortIndicator(column, Qt::AscendingOrder);
        QStyleOptionHeader option;
        option.initFrom(header);
        option.rect = QRect(0, 0, header->sectionSize(column), header->height());
        option.orientation = Qt::Horizontal;
        option.state |= QStyle::State_Horizontal;
        option.sortIndicator = QStyleOptionHeader::SortDown;
        const QRect label = header->style()->subElementRect(QStyle::SE_HeaderLabel, &option, header);
        for (const QString &line : c.grid()->model()->headerData(column, Qt::Horizontal).toString().split('\n'))
            QVERIFY2(metrics.horizontalAdvance(line) <= label.width(), qPrintable(line));
    }
    // The list still fills its width.
    QCOMPARE(header->length(), c.grid()->viewport()->width());
}

void CommandsTest::headingClickSortsAndTheOrderSurvivesARequery()
{
    ProgramDir dir;
    for (const auto &[label, photos] : {std::pair{"A", 2}, std::pair{"B", 0}, std::pair{"C", 5}}) {
        const qint64 id = dir.addBook(label);
        for (int p = 0; p < photos; ++p)
            dir.addPhoto(id, {{"BookLabel", label}});
    }
    Catalogue c(dir);
    c.window.show();
    QHeaderView *header = c.grid()->horizontalHeader();
    const auto clickHeading = [&](int column) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
    };
    QCOMPARE(c.labels(), (QStringList{"A", "B", "C"}));
    clickHeading(catalogue::BookListModel::NumOfPhotos);
    QCOMPARE(c.labels(), (QStringList{"B", "A", "C"}));
    clickHeading(catalogue::BookListModel::NumOfPhotos);
    QCOMPARE(c.labels(), (QStringList{"C", "A", "B"}));
    c.click("cmdUnMarkAll"); // requeries the list
    QCOMPARE(c.labels(), (QStringList{"C", "A", "B"}));
    QVERIFY(c.currentAndSelected(0));
}

void CommandsTest::windowsRememberTheirLayout()
{
    ProgramDir dir;
    const qint64 id = dir.addBook("B");
    dir.addPhoto(id, {{"BookLabel", "B"}, {"PhotoLabel", "1"}});
    ui::LayoutSettings layout(dir.filePath("layout.ini"));
    const auto editorGrid = [](editor::BookEditor *e) { return e->findChild<QTableView *>("grdPhotos"); };
    const int group = 1; // GroupLabel in the photo grid
    QSize editorSize;
    {
        Catalogue c(dir, catalogue::askSaveFileName, &layout);
        c.window.show();
        c.window.resize(700, 480);
        c.grid()->setColumnWidth(catalogue::BookListModel::BookLabel, 123);
        QVERIFY(c.select("B"));
        c.click("cmdEdit");
        editor::BookEditor *e = c.window.editorWindow();
        QVERIFY(e);
        QCOMPARE(e->photos().column(group).field, QString("GroupLabel"));
        // Within the offscreen screen: a larger one is made to fit the screen when it opens.
        editorSize = QSize(e->minimumWidth(), 500);
        e->resize(editorSize);
        editorGrid(e)->setColumnWidth(group, 77);
        QTest::mouseClick(e->findChild<QPushButton *>("cmdCancel"), Qt::LeftButton);
        c.click("cmdClose");
    }
    Catalogue c(dir, catalogue::askSaveFileName, &layout);
    c.window.show();
    QCOMPARE(c.window.size(), QSize(700, 480));
    QCOMPARE(c.grid()->columnWidth(catalogue::BookListModel::BookLabel), 123);
    // The description takes the rest of the list's width, however wide the window.
    QCOMPARE(c.grid()->horizontalHeader()->length(), c.grid()->viewport()->width());
    QVERIFY(c.select("B"));
    c.click("cmdEdit");
    editor::BookEditor *e = c.window.editorWindow();
    QVERIFY(e);
    QCOMPARE(e->size(), editorSize);
    QCOMPARE(editorGrid(e)->columnWidth(group), 77);
}

QTEST_MAIN(CommandsTest)
#include "tst_commands.moc"
