// Undo and redo in the editor window: the keys, the grid's context menu, the steps the window
// records itself, and how they meet the save.
#include "EditorFixture.h"

#include "editor/EditHistory.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QSignalSpy>
#include <QSqlQuery>

using testing::Editor;
using testing::ProgramDir;

namespace {

[[nodiscard]] bool showActive(Editor &e)
{
    e.window->show();
    QApplication::setActiveWindow(e.window.get());
    CHECK(QTest::qWaitForWindowActive(e.window.get()));
    return true;
}

qint64 bookOfThree(ProgramDir &dir)
{
    const qint64 book = dir.addBook("B");
    for (const char *label : {"1", "2", "3"})
        dir.addPhoto(book,
                     {{"BookLabel", "B"}, {"PhotoLabel", label}, {"GroupLabel", "Flat"}, {"HerbTonsPerAcre", 2.5}});
    return book;
}

// Opens a cell's editor and types into it (replacing its text); the editor is left open.
QLineEdit *typeInto(Editor &e, int row, const char *field, const QString &text)
{
    const QModelIndex cell = e.cell(row, field);
    e.grid()->setFocus();
    e.grid()->setCurrentIndex(cell);
    e.grid()->edit(cell);
    auto *line = qobject_cast<QLineEdit *>(e.grid()->indexWidget(cell));
    if (!line)
        return nullptr;
    line->selectAll();
    QTest::keyClicks(line, text);
    return line;
}

QAction *menuAction(Editor &e, const char *name)
{
    for (QAction *action : e.grid()->actions()) {
        if (action->objectName() == QLatin1String(name))
            return action;
    }
    return nullptr;
}

} // namespace

class UndoTest : public QObject
{
    Q_OBJECT

private slots:
    void keysUndoAndRedoInTheWindowAndTheCellEditorKeepsItsOwn();
    void contextMenuNamesTheStep();
    void labelAndItsImageNamesAreOneStep();
    void undoAcrossASaveMakesTheBookChanged();
    void headerTypingInOneBoxIsOneStep();
    void aidesAreStepsThatChangeNothingSaved();
};

void UndoTest::keysUndoAndRedoInTheWindowAndTheCellEditorKeepsItsOwn()
{
    ProgramDir dir;
    const qint64 book = bookOfThree(dir);
    Editor e(dir);
    QVERIFY(e.open(book));
    QVERIFY(showActive(e));
    QLineEdit *line = typeInto(e, 1, "GroupLabel", "Ridge");
    QVERIFY(line);
    // While the cell editor is open, Ctrl+Z takes back its typing and nothing else.
    QTest::keyClick(line, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(line->text(), QString("Flat"));
    QTest::keyClick(line, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(line->text(), QString("Ridge"));
    QCOMPARE(e.window->history().stack().count(), 0);
    QTest::keyClick(line, Qt::Key_Return);
    // The view commits in a queued call.
    QTRY_COMPARE_WITH_TIMEOUT(e.photos().value(1, "GroupLabel").toString(), QString("Ridge"), 5000);

    QTest::keyClick(e.grid(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(e.photos().value(1, "GroupLabel").toString(), QString("Flat"));
    QTest::keyClick(e.grid(), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(e.photos().value(1, "GroupLabel").toString(), QString("Ridge"));
    QTest::keyClick(e.grid(), Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(e.grid(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(e.photos().value(1, "GroupLabel").toString(), QString("Ridge"));
    QCOMPARE(e.messages.count(), 0);
}

void UndoTest::contextMenuNamesTheStep()
{
    ProgramDir dir;
    const qint64 book = bookOfThree(dir);
    Editor e(dir);
    QVERIFY(e.open(book));
    QVERIFY(showActive(e));
    QAction *undo = menuAction(e, "mnuUndo");
    QAction *redo = menuAction(e, "mnuRedo");
    QVERIFY(undo && redo);
    QCOMPARE(e.grid()->contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(undo->text(), QString("Undo"));
    QVERIFY(!undo->isEnabled() && !redo->isEnabled());

    e.grid()->setCurrentRow(1);
    e.click("cmdDelete");
    QCOMPARE(undo->text(), QString("Undo Delete Photo 2"));
    QVERIFY(undo->isEnabled());
    undo->trigger();
    QCOMPARE(e.photos().rowCount(), 3);
    QCOMPARE(e.photos().value(1, "PhotoLabel").toString(), QString("2"));
    // The restored photo is the current one.
    QCOMPARE(e.photos().currentRow(), 1);
    QCOMPARE(redo->text(), QString("Redo Delete Photo 2"));
    QVERIFY(!undo->isEnabled());

    e.grid()->setCurrentRow(0);
    e.click("cmdDup");
    QCOMPARE(undo->text(), QString("Undo Duplicate Photo 4"));
    QVERIFY(!redo->isEnabled());
    // Nothing left to save after the copy is taken back: Cancel closes without a question.
    undo->trigger();
    QSignalSpy unloaded(e.window.get(), &editor::BookEditor::unloaded);
    e.click("cmdCancel");
    QCOMPARE(unloaded.count(), 1);
    QCOMPARE(e.messages.count(), 0);
}

void UndoTest::labelAndItsImageNamesAreOneStep()
{
    ProgramDir dir;
    const qint64 book = bookOfThree(dir);
    Editor e(dir);
    QVERIFY(e.open(book));
    QVERIFY(showActive(e));
    QLineEdit *line = typeInto(e, 2, "PhotoLabel", "9");
    QVERIFY(line);
    QTest::keyClick(line, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(e.photos().value(2, "PhotoPic").toString(), QString("P9.jpg"), 5000);
    editor::EditHistory &history = e.window->history();
    QCOMPARE(history.stack().count(), 1);
    QCOMPARE(history.stack().undoText(), QString("Photo ID of photo 3"));
    QTest::keyClick(e.grid(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(e.photos().value(2, "PhotoLabel").toString(), QString("3"));
    QVERIFY(e.photos().value(2, "PhotoPic").toString().isEmpty());

    // A pick-list choice is a step of its own.
    const QString before = e.photos().value(0, "FireBehaveFM").toString();
    e.grid()->setCurrentIndex(e.cell(0, "FireBehaveFM"));
    QTest::keyClick(e.grid(), Qt::Key_F4);
    auto *list = qobject_cast<QListWidget *>(QApplication::focusWidget());
    QVERIFY(list);
    list->setCurrentRow(2);
    QTest::keyClick(list, Qt::Key_Return);
    QVERIFY(e.photos().value(0, "FireBehaveFM").toString() != before);
    QCOMPARE(history.stack().undoText(), QString("FB Model 2005 of photo 1"));
    QVERIFY(!history.undo());
    QCOMPARE(e.photos().value(0, "FireBehaveFM").toString(), before);
}

void UndoTest::undoAcrossASaveMakesTheBookChanged()
{
    ProgramDir dir;
    const qint64 book = bookOfThree(dir);
    Editor e(dir);
    QVERIFY(e.open(book));
    QVERIFY(showActive(e));
    e.photos().setValue(0, "GroupLabel", "Ridge");
    e.click("cmdAdd");
    e.click("cmdSaveNow");
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Photos").toInt(), 4);
    editor::EditHistory &history = e.window->history();
    QVERIFY(!history.isBookChanged());

    // Undo never writes; the book is changed again, and Cancel asks.
    QVERIFY(!history.undo());
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Photos").toInt(), 4);
    QVERIFY(history.isBookChanged());
    e.messages.answerNext(false);
    e.click("cmdCancel");
    QCOMPARE(e.messages.count(), 1);
    QVERIFY(e.messages.last().message.text.contains("have not been saved"));
    // Redone back to the save, it is unchanged again.
    QVERIFY(!history.redo());
    QVERIFY(!history.isBookChanged());
}

void UndoTest::headerTypingInOneBoxIsOneStep()
{
    ProgramDir dir;
    const qint64 book = bookOfThree(dir);
    QSqlQuery header(dir.store().db());
    QVERIFY(header.exec("UPDATE Books SET BookDescription = 'Old', BreakInches4 = 6, BreakInches5 = 9"));
    Editor e(dir);
    QVERIFY(e.open(book));
    QVERIFY(showActive(e));
    QLineEdit *name = e.box("txtName");
    name->setFocus();
    QTest::keyClick(name, Qt::Key_End);
    QTest::keyClicks(name, " and new");
    editor::EditHistory &history = e.window->history();
    QCOMPARE(history.stack().count(), 1);
    QCOMPARE(history.stack().undoText(), QString("Name"));
    // The box leaves Ctrl+Z to the editor's history.
    QTest::keyClick(name, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(name->text(), QString("Old"));
    QVERIFY(!history.isBookChanged());
    // Typing that ends where it began leaves no step.
    QTest::keyClick(name, Qt::Key_End);
    QTest::keyClicks(name, "x");
    QTest::keyClick(name, Qt::Key_Backspace);
    QCOMPARE(history.stack().count(), 0);
    QVERIFY(!history.isBookChanged());

    // A bound of 0 empties the bounds after it; one step takes them all back.
    QLineEdit *sc4 = e.box("txtSC4");
    sc4->setFocus();
    sc4->selectAll();
    QTest::keyClicks(sc4, "0");
    QVERIFY(e.box("txtSC5")->text().isEmpty());
    QCOMPARE(history.stack().undoText(), QString("Size Class 4 Boundary"));
    QTest::keyClick(sc4, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(sc4->text(), QString("6"));
    QCOMPARE(e.box("txtSC5")->text(), QString("9"));
    QVERIFY(!e.grid()->isColumnHidden(e.column("TonsPerAcreBreak6")));
}

void UndoTest::aidesAreStepsThatChangeNothingSaved()
{
    ProgramDir dir;
    const qint64 book = bookOfThree(dir);
    Editor e(dir);
    QVERIFY(e.open(book));
    auto *noImages = e.find<QCheckBox>("chkNoImages");
    auto *useSuffix = e.find<QCheckBox>("chkUseSuffix");
    QVERIFY(useSuffix->isChecked());
    noImages->setChecked(true);
    QVERIFY(!useSuffix->isChecked());
    editor::EditHistory &history = e.window->history();
    QCOMPARE(history.stack().undoText(), QString("No Images for this Book"));
    QVERIFY(!history.isBookChanged());
    QVERIFY(!history.undo());
    QVERIFY(!noImages->isChecked());
    QVERIFY(useSuffix->isChecked());
    QVERIFY(!e.grid()->isColumnHidden(e.column("PhotoPic")));
}

QTEST_MAIN(UndoTest)
#include "tst_undo.moc"
