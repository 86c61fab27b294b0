// The program's windows on a real (virtual) X display, driven by real X input. Run by
// run-x11.sh under xvfb-run, with and without a window manager; every window and message box
// it checks is saved as a PNG in the build folder (x11-shots/).

#include "DisplaySupport.h"
#include "TestSupport.h"

#include "catalogue/BookListModel.h"
#include "catalogue/CatalogueWindow.h"
#include "editor/BookEditor.h"
#include "editor/EditHistory.h"
#include "editor/PhotoColumns.h"
#include "editor/PhotoDelegates.h"
#include "editor/PhotoGrid.h"
#include "editor/PhotoTableModel.h"
#include "editor/PickLists.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStyleHints>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QWindow>

using namespace display;
using testing::ProgramDir;

namespace {

constexpr int kPhotos = 40;
constexpr int kWait = 8000;

const QStringList vegCodes = {"PIPO", "PSME", "PICO", "GRASS", "CHAP", "ASPEN"};

// The code each entry of a fixed or shipped list stores.
QStringList storedCodes(editor::PickList list, const QStringList &entries)
{
    QStringList codes;
    for (const QString &entry : entries) {
        if (entry != editor::newCodeEntry())
            codes << editor::storedCode(list, entry);
    }
    return codes;
}

} // namespace

class DisplayTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    // The catalogue and its dialogs, before the editor takes the input from it.
    void catalogueWindowsPaint();
    void importErrorsAreCentredOverTheImportWindow();
    void catalogueQuestionsPaint();
    void catalogueTypingNeverMovesTheCurrentRow();
    void catalogueClickSelectsWhatItClicks();
    void catalogueTextsFit();

    // The editor's message boxes and dialogs paint their text and buttons, opened from where
    // they really open.
    void notNumericBoxFromGridCommitPaints();
    void labelNotUniqueBoxFromGridCommitPaints();
    void addCodeDialogAndItsRefusalPaint_data();
    void addCodeDialogAndItsRefusalPaint();
    void saveAndCloseProblemListPaints();
    void folderQuestionIsCentredOverTheEditor();
    void editorWindowPaints();

    // The photo grid on screen.
    void typingNeverMovesTheCurrentRow();
    void codesFitTheirCells();
    void numbersFitTheirCells();
    void pickListsLieInsideTheEditor();
    void typedLettersOpenACodeCellsList();
    void refusedKeyIsSignalledAtTheCell();
    void undoAndRedoFromTheKeysAndTheMenu();
    void saveWritesTheBookAndStaysOpen();

private:
    editor::BookEditor *openEditor();
    editor::PhotoGrid *grid() { return openEditor()->grid(); }
    editor::PhotoTableModel *photoModel() { return &openEditor()->photos(); }
    int column(const char *field) { return photoModel()->columnOf(QLatin1String(field)); }
    QModelIndex cell(int row, const char *field) { return photoModel()->index(row, column(field)); }
    QPoint cellPoint(const QModelIndex &index) { return grid()->visualRect(index).center(); }
    // Makes a cell current with a real click (scrolled into view first).
    void clickCell(const QModelIndex &index);
    // Whether a cell's text fits its rectangle in the font its delegate draws it with.
    static bool textFits(QTableView *view, const QModelIndex &index, int width);

    std::unique_ptr<ProgramDir> m_dir;
    std::unique_ptr<ui::BoxMessages> m_messages;
    std::unique_ptr<catalogue::CatalogueWindow> m_catalogue;
    qint64 m_bookId = 0;
};

void DisplayTest::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty(), "xdotool is not installed");
    m_dir = std::make_unique<ProgramDir>();
    QVERIFY(m_dir->copyCodeFiles());
    QDir(m_dir->path()).mkpath(QStringLiteral("Books"));
    QVERIFY(m_dir->writeFile(QStringLiteral("Books/broken1.bks"), "not an install file\r\n"));
    QVERIFY(m_dir->writeFile(QStringLiteral("Books/broken2.bks"), "nor is this\r\n"));
    m_dir->addBook(QStringLiteral("Aspen stands"));
    m_dir->addBook(QStringLiteral("Pine plots"), true);
    m_bookId = m_dir->addBook(QVariantMap{{"BookLabel", "BK"}, {"BookDescription", "Field book"}});
    for (int i = 1; i <= kPhotos; ++i) {
        m_dir->addPhoto(m_bookId, {{"BookLabel", "BK"},
                                   {"PhotoLabel", QString::number(i)},
                                   {"GroupLabel", "Photo"},
                                   {"VegType", vegCodes.at(i % vegCodes.size())},
                                   {"PhotoPic", QStringLiteral("P%1_P.jpg").arg(i)},
                                   {"DataPic", QStringLiteral("P%1_D.jpg").arg(i)},
                                   {"TreesPerAcre", 120},
                                   {"CanopyClosure", 0.5}});
    }
    m_dir->closeStore();
    // Xvfb's clock stands still while it is idle, so two clicks seconds apart can carry time
    // stamps within the double-click interval, and a double click on the book list opens the
    // editor. The suite makes no double clicks.
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(0);

    m_messages = std::make_unique<ui::BoxMessages>();
    m_catalogue = std::make_unique<catalogue::CatalogueWindow>(
        catalogue::AppContext{m_dir->path(), m_messages.get(), &m_dir->settings()});
    QVERIFY(m_catalogue->load());
    m_catalogue->move(20, 20);
    m_catalogue->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_catalogue.get()));
}

void DisplayTest::cleanupTestCase()
{
    if (editor::BookEditor *window = m_catalogue ? m_catalogue->editorWindow() : nullptr) {
        // The tests leave changes behind: the editor asks before it drops them.
        BoxWatcher watcher(QStringLiteral("box-discard-changes"), {QStringLiteral("Yes")});
        window->close();
    }
    m_catalogue.reset();
}

editor::BookEditor *DisplayTest::openEditor()
{
    if (editor::BookEditor *window = m_catalogue->editorWindow())
        return window;
    QTableView *books = m_catalogue->grid();
    for (int row = 0; row < books->model()->rowCount(); ++row) {
        if (books->model()->index(row, catalogue::BookListModel::BookLabel).data().toString() == "BK") {
            clickAt(books->viewport(), books->visualRect(books->model()->index(row, 2)).center());
            if (!QTest::qWaitFor([&] { return books->currentIndex().row() == row; }, kWait)) {
                QTest::qFail("the book did not become current", __FILE__, __LINE__);
                return nullptr;
            }
        }
    }
    click(m_catalogue->findChild<QWidget *>(QStringLiteral("cmdEdit")));
    bool shown = false;
    for (int waited = 0; waited < kWait && !shown; waited += 50) {
        QTest::qWait(50);
        shown = m_catalogue->editorWindow() && QTest::qWaitForWindowExposed(m_catalogue->editorWindow(), 10);
    }
    if (!shown) {
        QTest::qFail("the editor did not open", __FILE__, __LINE__);
        return nullptr;
    }
    QTest::qWait(300);
    return m_catalogue->editorWindow();
}

void DisplayTest::clickCell(const QModelIndex &index)
{
    grid()->scrollTo(index);
    QTest::qWait(50);
    // Left of the centre: clear of a code cell's button.
    const QRect rect = grid()->visualRect(index);
    clickAt(grid()->viewport(), QPoint(rect.left() + 6, rect.center().y()));
    QTRY_COMPARE_WITH_TIMEOUT(grid()->currentIndex(), index, kWait);
}

bool DisplayTest::textFits(QTableView *view, const QModelIndex &index, int width)
{
    QStyleOptionViewItem option;
    option.initFrom(view->viewport());
    option.font = view->font();
    option.fontMetrics = QFontMetrics(view->font());
    option.widget = view;
    option.rect = view->visualRect(index);
    QAbstractItemDelegate *delegate = view->itemDelegateForIndex(index);
    return delegate->sizeHint(option, index).width() <= width;
}

void DisplayTest::notNumericBoxFromGridCommitPaints()
{
    const QModelIndex trees = cell(0, "TreesPerAcre");
    clickCell(trees);
    QTest::qWait(700);
    clickAt(grid()->viewport(), cellPoint(trees));
    QTRY_VERIFY_WITH_TIMEOUT(grid()->indexWidget(trees), kWait);
    BoxWatcher watcher(QStringLiteral("box-not-numeric"));
    typeText(QStringLiteral("1.2.3"));
    pressKeys({QStringLiteral("Return")});
    QTRY_COMPARE_WITH_TIMEOUT(watcher.handled(), 1, kWait);
    QCOMPARE(watcher.texts().first(), QStringLiteral("Value entered is not numeric"));
    pressKeys({QStringLiteral("Escape")});
    QTRY_VERIFY_WITH_TIMEOUT(!grid()->isEditing(), kWait);
    QVERIFY2(watcher.problems().isEmpty(), qPrintable(watcher.problems().join('\n')));
    QCOMPARE(photoModel()->value(0, "TreesPerAcre").toDouble(), 120.0);
}

void DisplayTest::labelNotUniqueBoxFromGridCommitPaints()
{
    const QModelIndex label = cell(0, "PhotoLabel");
    clickCell(label);
    BoxWatcher watcher(QStringLiteral("box-label-not-unique"));
    typeText(QStringLiteral("2"));
    QTRY_VERIFY_WITH_TIMEOUT(grid()->indexWidget(label), kWait);
    auto *line = qobject_cast<QLineEdit *>(grid()->indexWidget(label));
    line->setText(QStringLiteral("2"));
    pressKeys({QStringLiteral("Return")});
    QTRY_COMPARE_WITH_TIMEOUT(watcher.handled(), 1, kWait);
    QCOMPARE(watcher.texts().first(), QStringLiteral("Photo Label must be unique within this book"));
    pressKeys({QStringLiteral("Escape")});
    QTRY_VERIFY_WITH_TIMEOUT(!grid()->isEditing(), kWait);
    QVERIFY2(watcher.problems().isEmpty(), qPrintable(watcher.problems().join('\n')));
    QCOMPARE(photoModel()->value(0, "PhotoLabel").toString(), QStringLiteral("1"));
}

void DisplayTest::addCodeDialogAndItsRefusalPaint_data()
{
    QTest::addColumn<bool>("byKeyboard");
    QTest::newRow("mouse") << false;
    QTest::newRow("keyboard") << true;
}

void DisplayTest::addCodeDialogAndItsRefusalPaint()
{
    QFETCH(bool, byKeyboard);
    const QString how = byKeyboard ? QStringLiteral("keyboard") : QStringLiteral("mouse");
    const QModelIndex veg = cell(0, "VegType");
    auto *list = openEditor()->findChild<QListWidget *>(QStringLiteral("lstVegType"));
    clickCell(veg);
    if (byKeyboard) {
        pressKeys({QStringLiteral("F4")});
        QTRY_VERIFY_WITH_TIMEOUT(list->isVisible() && list->hasFocus(), kWait);
    } else {
        clickAt(grid()->viewport(), editor::CodeDelegate::buttonRect(grid()->visualRect(veg)).center());
        QTRY_VERIFY_WITH_TIMEOUT(list->isVisible(), kWait);
    }

    QStringList problems;
    bool done = false;
    BoxWatcher watcher(QStringLiteral("box-add-code-refusal-") + how);
    whenShown(QStringLiteral("frmNewCode"), [&](QWidget *dialog) {
        for (QWidget *w : dialog->findChildren<QWidget *>()) {
            if (qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w)) {
                if (const QString problem = unpainted(w); !problem.isEmpty())
                    problems << problem;
            }
        }
        saveShot(dialog, QStringLiteral("window-add-code-") + how);
        auto *code = dialog->findChild<QLineEdit *>(QStringLiteral("txtCode"));
        click(code);
        typeText(QStringLiteral("TOOLONG"));
        click(dialog->findChild<QWidget *>(QStringLiteral("cmdOK")));
        if (!QTest::qWaitFor([&] { return watcher.handled() == 1; }, kWait))
            problems << QStringLiteral("no message box after OK with a code too long");
        if (byKeyboard)
            pressKeys({QStringLiteral("Escape")});
        else
            click(dialog->findChild<QWidget *>(QStringLiteral("cmdCancel")));
        done = true;
    });
    const QModelIndex newCode = list->model()->index(list->count() - 1, 0);
    if (byKeyboard) {
        pressKeys({QStringLiteral("End"), QStringLiteral("Return")});
    } else {
        list->scrollToBottom();
        QTest::qWait(50);
        clickAt(list->viewport(), list->visualRect(newCode).center());
    }
    QTRY_VERIFY_WITH_TIMEOUT(done, 3 * kWait);
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), kWait);
    // The pick list closed when the dialog opened and stays closed after it.
    QVERIFY(!list->isVisible());
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    QCOMPARE(watcher.handled(), 1);
    QVERIFY2(watcher.problems().isEmpty(), qPrintable(watcher.problems().join('\n')));
}

void DisplayTest::saveAndCloseProblemListPaints()
{
    editor::BookEditor *window = openEditor();
    QVERIFY(window);
    auto *identifier = window->findChild<QLineEdit *>(QStringLiteral("txtBookID"));
    auto *description = window->findChild<QLineEdit *>(QStringLiteral("txtName"));
    identifier->clear();
    description->clear();
    BoxWatcher watcher(QStringLiteral("box-save-problems"));
    click(window->findChild<QWidget *>(QStringLiteral("cmdSave")));
    QTRY_COMPARE_WITH_TIMEOUT(watcher.handled(), 1, kWait);
    QVERIFY(watcher.texts().first().contains(QStringLiteral("Please provide a Book Identfier")));
    QVERIFY(watcher.texts().first().contains(QStringLiteral("Please provide a Book Description")));
    identifier->setText(QStringLiteral("BK"));
    description->setText(QStringLiteral("Field book"));
    QVERIFY(m_catalogue->editorWindow());
    QVERIFY2(watcher.problems().isEmpty(), qPrintable(watcher.problems().join('\n')));
}

void DisplayTest::folderQuestionIsCentredOverTheEditor()
{
    editor::BookEditor *window = openEditor();
    QVERIFY(window);
    BoxWatcher watcher(QStringLiteral("box-folder-question"), {QStringLiteral("No")});
    click(window->findChild<QWidget *>(QStringLiteral("cmdFolder")));
    QTRY_COMPARE_WITH_TIMEOUT(watcher.handled(), 1, kWait);
    QVERIFY(!QDir(m_dir->filePath(QStringLiteral("PhotoImages/BK"))).exists());
    QVERIFY2(watcher.problems().isEmpty(), qPrintable(watcher.problems().join('\n')));
}

void DisplayTest::importErrorsAreCentredOverTheImportWindow()
{
    QStringList problems;
    bool done = false;
    BoxWatcher watcher(QStringLiteral("box-import-error"));
    whenShown(QStringLiteral("frmBooksFile"), [&](QWidget *dialog) {
        if (const QString problem = unpainted(dialog->findChild<QWidget *>(QStringLiteral("cmdCancel")));
            !problem.isEmpty())
            problems << problem;
        auto *files = dialog->findChild<QListWidget *>(QStringLiteral("filBook"));
        if (!QTest::qWaitFor([&] { return files->count() == 2; }, kWait))
            problems << QStringLiteral("the import window lists %1 files, not 2").arg(files->count());
        files->selectAll();
        saveShot(dialog, QStringLiteral("window-import"));
        click(dialog->findChild<QWidget *>(QStringLiteral("cmdOpen")));
        if (!QTest::qWaitFor([&] { return watcher.handled() >= 2; }, 3 * kWait))
            problems << QStringLiteral("%1 import messages, not 2").arg(watcher.handled());
        // The import window closes itself after an import.
        if (!QTest::qWaitFor([&] { return !dialog->isVisible(); }, kWait))
            problems << QStringLiteral("the import window did not close after the import");
        done = true;
    });
    click(m_catalogue->findChild<QWidget *>(QStringLiteral("cmdImport")));
    QTRY_VERIFY_WITH_TIMEOUT(done, 5 * kWait);
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), kWait);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    QCOMPARE(watcher.handled(), 2);
    QVERIFY2(watcher.problems().isEmpty(), qPrintable(watcher.problems().join('\n')));
}

namespace {

// Problems of the named children of a window that do not look painted on screen.
QStringList unpaintedChildren(QWidget *window, const QStringList &names)
{
    QStringList problems;
    for (const QString &name : names) {
        if (const QString problem = unpainted(window->findChild<QWidget *>(name)); !problem.isEmpty())
            problems << problem;
    }
    return problems;
}

} // namespace

void DisplayTest::catalogueWindowsPaint()
{
    QStringList problems = unpaintedChildren(m_catalogue.get(), {"cmdEdit", "cmdBrowse", "lblBooksCaption"});
    saveShot(m_catalogue.get(), QStringLiteral("window-catalogue"));
    bool done = false;
    whenShown(QStringLiteral("frmDir"), [&](QWidget *dialog) {
        problems << unpaintedChildren(dialog, {"cmdOK", "cmdCancel", "Label1"});
        saveShot(dialog, QStringLiteral("window-folder-picker"));
        click(dialog->findChild<QWidget *>(QStringLiteral("cmdCancel")));
        done = true;
    });
    click(m_catalogue->findChild<QWidget *>(QStringLiteral("cmdBrowse")));
    QTRY_VERIFY_WITH_TIMEOUT(done, 3 * kWait);
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), kWait);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
}

void DisplayTest::editorWindowPaints()
{
    editor::BookEditor *window = openEditor();
    QVERIFY(window);
    clickCell(cell(2, "VegType"));
    QStringList problems = unpaintedChildren(window, {"cmdSave", "cmdFolder", "lblPhotos"});
    saveShot(window, QStringLiteral("window-editor"));
    click(window->findChild<QWidget *>(QStringLiteral("cmdCalendar")));
    auto *calendar = window->findChild<QCalendarWidget *>(QStringLiteral("calDate"));
    QTRY_VERIFY_WITH_TIMEOUT(calendar->isVisible(), kWait);
    QTest::qWait(300);
    saveShot(window, QStringLiteral("window-editor-calendar"));
    click(window->findChild<QWidget *>(QStringLiteral("cmdCalendar")));
    QTRY_VERIFY_WITH_TIMEOUT(!calendar->isVisible(), kWait);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
}

void DisplayTest::typingNeverMovesTheCurrentRow()
{
    editor::PhotoTableModel *photos = photoModel();
    // Two code cells (their pick list opens on a typed letter, which writes nothing until a
    // choice) and a number cell, where its keystroke filter refuses a letter.
    for (const char *field : {"VegType", "DangerRatingFM", "TreesPerAcre"}) {
        const QModelIndex start = cell(3, field);
        clickCell(start);
        const QVariantList before = {photos->value(3, "PhotoLabel"), photos->value(3, field)};
        KeyReleases releases(Qt::Key_P);
        pressKeys({QStringLiteral("p"), QStringLiteral("a"), QStringLiteral("P")});
        // Once the second P is released, all three keys have been handled.
        QTRY_VERIFY2_WITH_TIMEOUT(releases.count() >= 2, field, kWait);
        QVERIFY2(grid()->currentIndex() == start, field);
        QVERIFY2(!grid()->isEditing(), field);
        QCOMPARE((QVariantList{photos->value(3, "PhotoLabel"), photos->value(3, field)}), before);
    }
    // Tab, Enter and the arrow keys keep their meaning.
    clickCell(cell(3, "VegType"));
    pressKeys({QStringLiteral("Down")});
    QTRY_COMPARE_WITH_TIMEOUT(grid()->currentIndex(), cell(4, "VegType"), kWait);
    pressKeys({QStringLiteral("Tab")});
    QTRY_COMPARE_WITH_TIMEOUT(grid()->currentIndex(), cell(4, "Activity"), kWait);
}

void DisplayTest::catalogueQuestionsPaint()
{
    QTableView *books = m_catalogue->grid();
    QWidget *remove = m_catalogue->findChild<QWidget *>(QStringLiteral("cmdRemove"));
    BoxWatcher watcher(QStringLiteral("box-catalogue"),
                       {QStringLiteral("OK"), QStringLiteral("OK"), QStringLiteral("No")});
    // Nothing selected; then the book owned by the analysis program; then a user's book.
    books->clearSelection();
    click(remove);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.handled(), 1, kWait);
    for (const QString &label : {QStringLiteral("Pine plots"), QStringLiteral("Aspen stands")}) {
        for (int row = 0; row < books->model()->rowCount(); ++row) {
            const QModelIndex index = books->model()->index(row, catalogue::BookListModel::BookLabel);
            if (index.data().toString() == label) {
                books->clearSelection();
                clickAt(books->viewport(), books->visualRect(index).center());
            }
        }
        const int before = watcher.handled();
        click(remove);
        QTRY_COMPARE_WITH_TIMEOUT(watcher.handled(), before + 1, kWait);
    }
    QCOMPARE(watcher.texts().at(0), QStringLiteral("Please select a book first"));
    QVERIFY(watcher.texts().at(1).contains(QStringLiteral("owned by OrvanePlus")));
    QVERIFY(watcher.texts().at(2).contains(QStringLiteral("Aspen stands")));
    QCOMPARE(books->model()->rowCount(), 3);
    books->clearSelection();
    QVERIFY2(watcher.problems().isEmpty(), qPrintable(watcher.problems().join('\n')));
}

void DisplayTest::catalogueTypingNeverMovesTheCurrentRow()
{
    // A typed letter does not move to the book whose name starts with it.
    QTableView *books = m_catalogue->grid();
    const QModelIndex first = books->model()->index(0, catalogue::BookListModel::BookLabel);
    clickAt(books->viewport(), books->visualRect(first).center());
    QTRY_COMPARE_WITH_TIMEOUT(books->currentIndex(), first, kWait);
    KeyReleases releases(Qt::Key_B);
    pressKeys({QStringLiteral("P"), QStringLiteral("B")});
    QTRY_VERIFY_WITH_TIMEOUT(releases.count() >= 1, kWait);
    QCOMPARE(books->currentIndex(), first);
    clickAt(books->viewport(), books->visualRect(first).center()); // clears the selection again
}

void DisplayTest::codesFitTheirCells()
{
    using editor::PickList;
    editor::PhotoTableModel *photos = photoModel();
    const QVector<QPair<const char *, QStringList>> columns = {
        {"VegType", {}},
        {"Activity", {}},
        {"FireBehaveFM", storedCodes(PickList::FM, editor::fireBehaviour2005Entries())},
        {"FireBehaveFM2", storedCodes(PickList::FM2, editor::fireBehaviour1982Entries())},
        {"DangerRatingFM", storedCodes(PickList::DR, editor::dangerRatingEntries())},
    };
    QStringList cut;
    for (const auto &[field, fixedCodes] : columns) {
        QStringList codes = fixedCodes;
        if (codes.isEmpty()) {
            // The shipped code files, as their list holds them.
            auto *list = grid()->window()->findChild<QListWidget *>(QLatin1String(
                editor::pickListInfo(QLatin1String(field) == "VegType" ? PickList::VegType : PickList::ActType)
                    .objectName));
            QStringList entries;
            for (int i = 0; i < list->count(); ++i)
                entries << list->item(i)->text();
            codes = storedCodes(QLatin1String(field) == "VegType" ? PickList::VegType : PickList::ActType, entries);
        }
        const int c = column(field);
        const QModelIndex current = photos->index(1, c);
        const QModelIndex other = photos->index(2, c);
        clickCell(current);
        const QVariant keptCurrent = photos->value(1, field);
        const QVariant keptOther = photos->value(2, field);
        auto *codeDelegate = grid()->itemDelegateForColumn(c);
        QStyledItemDelegate plain;
        for (const QString &code : codes) {
            photos->setValue(1, QLatin1String(field), code);
            photos->setValue(2, QLatin1String(field), code);
            // Another row's cell: drawn as a plain cell would draw the whole code.
            const QRect rect = grid()->visualRect(other);
            const QImage drawn = grid()->viewport()->grab(rect).toImage();
            grid()->setItemDelegateForColumn(c, &plain);
            const QImage whole = grid()->viewport()->grab(rect).toImage();
            grid()->setItemDelegateForColumn(c, codeDelegate);
            if (drawn != whole || !textFits(grid(), other, rect.width()))
                cut << QStringLiteral("%1 in %2").arg(code, QLatin1String(field));
            // The current cell: the code fits beside its button.
            const QRect currentRect = grid()->visualRect(current);
            const int beside = editor::CodeDelegate::buttonRect(currentRect).left() - currentRect.left();
            if (!textFits(grid(), current, beside))
                cut << QStringLiteral("%1 in the current %2 cell").arg(code, QLatin1String(field));
        }
        photos->setValue(1, QLatin1String(field), keptCurrent);
        photos->setValue(2, QLatin1String(field), keptOther);
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(", ")));
}

void DisplayTest::numbersFitTheirCells()
{
    using editor::NumberFormat;
    editor::PhotoTableModel *photos = photoModel();
    QStringList samples = {"-1", "0", "9.99", "99.99", "999.99", "-1.2345"};
    for (char digit = '0'; digit <= '9'; ++digit) {
        samples << QStringLiteral("%1.%2").arg(QString(4, QLatin1Char(digit)), QString(2, QLatin1Char(digit)));
        samples << QString(7, QLatin1Char(digit));
    }
    QStringList cut;
    int checked = 0;
    for (int c = 0; c < photos->columnCount(); ++c) {
        const editor::PhotoColumn &col = photos->column(c);
        if (!col.numeric || grid()->isColumnHidden(c))
            continue;
        const QVariant kept = photos->value(5, col.field);
        for (const QString &sample : samples) {
            const double value = sample.toDouble();
            // "###0.00" columns hold -1 to 9999.99; "General Number" ones any 7 characters.
            if (col.format == NumberFormat::Fixed2 && value > 9999.99)
                continue;
            photos->setValue(5, col.field, value);
            const QModelIndex index = photos->index(5, c);
            ++checked;
            if (!textFits(grid(), index, grid()->columnWidth(c)))
                cut << QStringLiteral("%1 in %2").arg(index.data().toString(), col.field);
        }
        photos->setValue(5, col.field, 12345678.5);
        if (photos->index(5, c).data(Qt::ToolTipRole).toString() != QStringLiteral("12345678.5"))
            cut << QStringLiteral("no tooltip for a long value in %1").arg(col.field);
        photos->setValue(5, col.field, kept);
    }
    QVERIFY(checked > 100);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(", ")));
}

void DisplayTest::catalogueTextsFit()
{
    QTableView *books = m_catalogue->grid();
    QStringList cut;
    // A selected row, as when the user picks a book: the header may mark the selection.
    const QModelIndex first = books->model()->index(0, catalogue::BookListModel::BookLabel);
    clickAt(books->viewport(), books->visualRect(first).center());
    QTRY_VERIFY_WITH_TIMEOUT(books->selectionModel()->hasSelection(), kWait);
    QTest::qWait(100);
    for (int row = 0; row < books->model()->rowCount(); ++row) {
        const QModelIndex owner = books->model()->index(row, catalogue::BookListModel::Locked);
        if (!textFits(books, owner, books->columnWidth(owner.column())))
            cut << owner.data().toString() + QStringLiteral(" in %1 pixels").arg(books->columnWidth(owner.column()));
    }
    QHeaderView *header = books->horizontalHeader();
    for (int c = 0; c < books->model()->columnCount(); ++c) {
        // A highlighted section's heading is drawn in bold.
        QFont font = header->font();
        if (header->highlightSections() && books->selectionModel()->columnIntersectsSelection(c, QModelIndex()))
            font.setBold(true);
        const int margin = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        for (const QString &line : books->model()->headerData(c, Qt::Horizontal).toString().split('\n')) {
            const int needed = QFontMetrics(font).horizontalAdvance(line) + margin;
            if (needed > header->sectionSize(c))
                cut << QStringLiteral("%1 (%2 of %3 pixels)").arg(line).arg(needed).arg(header->sectionSize(c));
        }
    }
    saveShot(m_catalogue.get(), QStringLiteral("window-catalogue-selected"));
    clickAt(books->viewport(), books->visualRect(first).center());
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(", ")));
}

void DisplayTest::pickListsLieInsideTheEditor()
{
    editor::BookEditor *window = openEditor();
    QVERIFY(window);
    QStringList outside;
    for (const editor::PickListInfo &info : editor::pickLists()) {
        auto *list = window->findChild<QListWidget *>(QLatin1String(info.objectName));
        for (int row : {0, kPhotos - 1}) {
            const QModelIndex index = cell(row, info.field);
            clickCell(index);
            clickAt(grid()->viewport(), editor::CodeDelegate::buttonRect(grid()->visualRect(index)).center());
            QTRY_VERIFY_WITH_TIMEOUT(list->isVisible(), kWait);
            QTest::qWait(100);
            const QString where = QStringLiteral("%1 on row %2").arg(QLatin1String(info.objectName)).arg(row + 1);
            if (!window->rect().contains(list->geometry()))
                outside << where + QStringLiteral(": outside the window");
            if (list->horizontalScrollBar()->isVisible())
                outside << where + QStringLiteral(": horizontal scroll bar");
            const int shown = list->viewport()->height() / list->sizeHintForRow(0);
            if (shown < qMin(8, list->count()))
                outside << where + QStringLiteral(": %1 entries shown").arg(shown);
            if (list->sizeHintForColumn(0) > list->viewport()->width())
                outside << where + QStringLiteral(": widest entry cut");
            if (row == kPhotos - 1)
                saveShot(window, QStringLiteral("window-editor-") + QLatin1String(info.objectName));
            pressKeys({QStringLiteral("Escape")});
            QTRY_VERIFY_WITH_TIMEOUT(!list->isVisible(), kWait);
        }
    }
    QVERIFY2(outside.isEmpty(), qPrintable(outside.join('\n')));
}

void DisplayTest::catalogueClickSelectsWhatItClicks()
{
    QTableView *books = m_catalogue->grid();
    const auto rowOf = [books](const QString &label) {
        for (int row = 0; row < books->model()->rowCount(); ++row) {
            const QModelIndex index = books->model()->index(row, catalogue::BookListModel::BookLabel);
            if (index.data().toString() == label)
                return index;
        }
        return QModelIndex();
    };
    const QModelIndex aspen = rowOf(QStringLiteral("Aspen stands"));
    // A second click on a selected row keeps it selected (it once cleared it).
    for (int i = 0; i < 2; ++i) {
        clickAt(books->viewport(), books->visualRect(aspen).center());
        QTRY_COMPARE_WITH_TIMEOUT(books->currentIndex().row(), aspen.row(), kWait);
    }
    QVERIFY(books->selectionModel()->isRowSelected(aspen.row(), {}));
    QCOMPARE(books->selectionModel()->selectedRows().size(), 1);
}

void DisplayTest::typedLettersOpenACodeCellsList()
{
    editor::BookEditor *window = openEditor();
    QVERIFY(window);
    auto *list = window->findChild<QListWidget *>(QStringLiteral("lstVegType"));
    for (int row : {5, kPhotos - 1}) {
        const QModelIndex index = cell(row, "VegType");
        clickCell(index);
        const QVariant before = photoModel()->value(row, "VegType");
        // Escape closes the list and changes nothing.
        typeText(QStringLiteral("p"));
        QTRY_VERIFY_WITH_TIMEOUT(list->isVisible(), kWait);
        pressKeys({QStringLiteral("Escape")});
        QTRY_VERIFY_WITH_TIMEOUT(!list->isVisible(), kWait);
        QCOMPARE(photoModel()->value(row, "VegType"), before);

        // Typed letters open the list at the first code that starts with them; Return picks it.
        typeText(QStringLiteral("ps"));
        QTRY_VERIFY_WITH_TIMEOUT(list->isVisible(), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(list->currentItem() && list->currentItem()->text().startsWith("PSME"), kWait);
        // The list touches its cell (or the grid line under it), below it or (on the last rows)
        // above it; it once opened about 40 pixels below.
        const QRect cellInWindow(grid()->viewport()->mapTo(window, grid()->visualRect(index).topLeft()),
                                 grid()->visualRect(index).size());
        const QRect at = list->geometry();
        QVERIFY2(qAbs(at.top() - (cellInWindow.bottom() + 1)) <= 1 || qAbs(at.bottom() + 1 - cellInWindow.top()) <= 1,
                 qPrintable(QStringLiteral("row %1: list %2,%3 to %4, cell %5 to %6")
                                .arg(row + 1)
                                .arg(at.left())
                                .arg(at.top())
                                .arg(at.bottom())
                                .arg(cellInWindow.top())
                                .arg(cellInWindow.bottom())));
        if (row == 5)
            saveShot(window, QStringLiteral("window-editor-typeahead"));
        pressKeys({QStringLiteral("Return")});
        QTRY_VERIFY_WITH_TIMEOUT(!list->isVisible(), kWait);
        QCOMPARE(photoModel()->value(row, "VegType").toString(), QStringLiteral("PSME"));
    }
}

void DisplayTest::refusedKeyIsSignalledAtTheCell()
{
    const QModelIndex trees = cell(2, "TreesPerAcre");
    clickCell(trees);
    typeText(QStringLiteral("0,"));
    QTRY_VERIFY_WITH_TIMEOUT(grid()->isEditing(), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(QToolTip::isVisible(), kWait);
    QVERIFY(QToolTip::text().startsWith(QStringLiteral("Numbers only")));
    auto *line = qobject_cast<QLineEdit *>(grid()->indexWidget(trees));
    QVERIFY(line);
    QCOMPARE(line->text(), QStringLiteral("0"));
    saveShot(openEditor(), QStringLiteral("window-editor-refused-key"));
    pressKeys({QStringLiteral("Escape")});
    QTRY_VERIFY_WITH_TIMEOUT(!grid()->isEditing(), kWait);
}

// Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z as the X server delivers them, and the grid's context menu
// opened with a real right click. The book is left as it was for the tests after.
void DisplayTest::undoAndRedoFromTheKeysAndTheMenu()
{
    editor::BookEditor *window = openEditor();
    QVERIFY(window);
    editor::PhotoTableModel *photos = photoModel();
    const QString before = photos->value(2, "GroupLabel").toString();
    clickCell(cell(2, "GroupLabel"));
    typeText(QStringLiteral("Ridge"));
    pressKeys({QStringLiteral("Return")});
    QTRY_COMPARE_WITH_TIMEOUT(photos->value(2, "GroupLabel").toString(), QString("Ridge"), kWait);
    pressKeys({QStringLiteral("ctrl+z")});
    QTRY_COMPARE_WITH_TIMEOUT(photos->value(2, "GroupLabel").toString(), before, kWait);
    pressKeys({QStringLiteral("ctrl+y")});
    QTRY_COMPARE_WITH_TIMEOUT(photos->value(2, "GroupLabel").toString(), QString("Ridge"), kWait);
    pressKeys({QStringLiteral("ctrl+z")});
    QTRY_COMPARE_WITH_TIMEOUT(photos->value(2, "GroupLabel").toString(), before, kWait);
    pressKeys({QStringLiteral("ctrl+shift+z")});
    QTRY_COMPARE_WITH_TIMEOUT(photos->value(2, "GroupLabel").toString(), QString("Ridge"), kWait);

    const int rows = photos->rowCount();
    const QVariant deletedKey = photos->value(4, "ID");
    clickCell(cell(4, "GroupLabel"));
    click(window->findChild<QWidget *>(QStringLiteral("cmdDelete")));
    QTRY_COMPARE_WITH_TIMEOUT(photos->rowCount(), rows - 1, kWait);
    // The menu runs its own event loop: it is read, shot and answered from inside it.
    QStringList entries;
    QList<bool> enabled;
    QTimer poll;
    poll.setInterval(30);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu || !menu->isVisible())
            return;
        poll.stop();
        for (QAction *action : menu->actions()) {
            entries << action->text();
            enabled << action->isEnabled();
        }
        menu->repaint();
        QGuiApplication::sync();
        saveShot(window, QStringLiteral("editor-undo-menu"));
        clickAt(menu, menu->actionGeometry(menu->actions().constFirst()).center());
    });
    poll.start();
    // On the row after the deleted one, in view.
    grid()->scrollTo(cell(4, "GroupLabel"));
    const QPoint at = grid()->viewport()->mapToGlobal(grid()->visualRect(cell(4, "GroupLabel")).center());
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(at.x() + 1),
             QString::number(at.y() + 1), QStringLiteral("mousemove"), QStringLiteral("--sync"),
             QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"), QStringLiteral("3")});
    QTRY_COMPARE_WITH_TIMEOUT(photos->rowCount(), rows, kWait);
    QCOMPARE(entries, (QStringList{"Undo Delete Photo 5", "Redo"}));
    QCOMPARE(enabled, (QList<bool>{true, false}));
    QCOMPARE(photos->value(4, "ID"), deletedKey);

    editor::EditHistory &history = window->history();
    while (history.stack().canUndo())
        QVERIFY(!history.undo());
    QCOMPARE(photos->value(2, "GroupLabel").toString(), before);
}

// Save, clicked after a cell typed into, writes the book for any other reader of the store and
// leaves the editor open on it.
void DisplayTest::saveWritesTheBookAndStaysOpen()
{
    editor::BookEditor *window = openEditor();
    QVERIFY(window);
    editor::PhotoTableModel *photos = photoModel();
    const QString id = photos->value(2, "ID").toString();
    clickCell(cell(2, "TreesPerAcre"));
    typeText(QStringLiteral("888"));
    pressKeys({QStringLiteral("Return")});
    QTRY_COMPARE_WITH_TIMEOUT(photos->value(2, "TreesPerAcre").toDouble(), 888.0, kWait);
    click(window->findChild<QWidget *>(QStringLiteral("cmdSaveNow")));
    QTRY_VERIFY_WITH_TIMEOUT(!photos->hasPendingChanges(), kWait);
    QCOMPARE(m_dir->scalar("SELECT TreesPerAcre FROM Photos WHERE ID = " + id).toDouble(), 888.0);
    m_dir->closeStore();
    QVERIFY(window->isVisible());
}

QTEST_MAIN(DisplayTest)
#include "tst_display.moc"
