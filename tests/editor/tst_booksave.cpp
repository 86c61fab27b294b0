#include "EditorFixture.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QSqlRecord>

using testing::Editor;
using testing::ProgramDir;

namespace {

// Every row of both tables as text, to tell whether the store changed at all.
QString dump(ProgramDir &dir)
{
    QString out;
    for (const char *table : {"Books", "Photos"}) {
        QSqlQuery q(dir.store().db());
        q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY ID").arg(table));
        while (q.next()) {
            for (int i = 0; i < q.record().count(); ++i)
                out += (q.isNull(i) ? QStringLiteral("<null>") : q.value(i).toString()) + QLatin1Char('|');
            out += QLatin1Char('\n');
        }
    }
    return out;
}

QString heading(Editor &e, int sizeClass)
{
    const int column = e.photos().columnOf(QStringLiteral("TonsPerAcreBreak%1").arg(sizeClass));
    return e.photos().headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

bool shown(Editor &e, int sizeClass)
{
    return !e.grid()->isColumnHidden(e.photos().columnOf(QStringLiteral("TonsPerAcreBreak%1").arg(sizeClass)));
}

QString label(Editor &e, const char *name)
{
    return e.find<QLabel>(name)->text();
}

// A book with two photos, one of them with empty codes.
qint64 addBookWithPhotos(ProgramDir &dir, const QString &bookLabel)
{
    const qint64 book = dir.addBook(bookLabel);
    dir.addPhoto(book, {{"BookLabel", bookLabel}, {"PhotoLabel", "1"}, {"VegType", ""}, {"Activity", ""}});
    dir.addPhoto(book, {{"BookLabel", bookLabel}, {"PhotoLabel", "2"}, {"VegType", "PP"}});
    return book;
}

[[nodiscard]] bool showActive(Editor &e)
{
    e.window->show();
    QApplication::setActiveWindow(e.window.get());
    CHECK(QTest::qWaitForWindowActive(e.window.get()));
    return true;
}

const QString reloadQuestion("This book was changed by another program since you opened it. Nothing was saved. "
                             "Reload it and lose your changes?");

} // namespace

class BookSaveTest : public QObject
{
    Q_OBJECT

private slots:
    void sizeClassesCascade();
    void loadedBreaksShapeTheClassColumns();
    void identifierFilterAndSelectAllOnFocus();
    void calendarOpensClosesAndWritesTheDate();
    void saveWritesHeaderAndRelabelsEveryPhoto();
    void renamingOnlyInLetterCaseIsSaved();
    void renamingToAnotherBooksLabelIsRefused_data();
    void renamingToAnotherBooksLabelIsRefused();
    void bookWithoutPhotosIsValidatedAndSaved();
    void cancelOfAnExistingBookLeavesTheStoreUnchanged();
    void cancelOfANewBookLeavesNoTrace();
    void closeBoxAsksBeforeDroppingChanges();
    void storeFailureDuringSaveLosesNothing();
    void newBookKeepsThePhotoOrderEntered();
    void closeBoxOnATypedNewBookAsks_data();
    void closeBoxOnATypedNewBookAsks();
    void imageNamesFollowALabelCommittedByTheSaveClick();
    void pathCharactersNeverReachTheIdentifier();
    void rowsGoneSinceOpeningFailTheWholeSave_data();
    void rowsGoneSinceOpeningFailTheWholeSave();
    void changesElsewhereToWhatThisEditorLeftAloneFailTheSave_data();
    void changesElsewhereToWhatThisEditorLeftAloneFailTheSave();
    void reloadAfterAConflictShowsTheStoredBook();
};

void BookSaveTest::sizeClassesCascade()
{
    ProgramDir dir;
    Editor e(dir);
    QVERIFY(e.openNew());
    QVERIFY(!shown(e, 5) && !shown(e, 6) && !shown(e, 7));
    QCOMPARE(heading(e, 4), QString("\n3.1\"+\n(t/ac)"));

    QTest::keyClicks(e.box("txtSC4"), "6");
    QCOMPARE(label(e, "lblSC5"), QString("6.1->"));
    QCOMPARE(heading(e, 4), QString("3.1\"-\n6\"\n(t/ac)"));
    QVERIFY(shown(e, 5));
    QCOMPARE(heading(e, 5), QString("\n6.1\" +\n(t/ac)"));

    QTest::keyClicks(e.box("txtSC5"), "9");
    QCOMPARE(label(e, "lblSC6"), QString("9.1->"));
    QCOMPARE(heading(e, 5), QString("6.1\"-\n9\"\n(t/ac)"));
    QVERIFY(shown(e, 6));
    QCOMPARE(heading(e, 6), QString("\n9.1\" +\n(t/ac)"));

    QTest::keyClicks(e.box("txtSC6"), "12");
    QCOMPARE(label(e, "lblSC7"), QString("12.1 +"));
    QCOMPARE(heading(e, 6), QString("9.1\"-\n12\"\n(t/ac)"));
    QVERIFY(shown(e, 7));
    QCOMPARE(heading(e, 7), QString("\n12.1\" +\n(t/ac)"));

    // Emptying class 5 drops the classes after it; its heading keeps its last closed form.
    e.box("txtSC5")->clear();
    QVERIFY(shown(e, 5) && !shown(e, 6) && !shown(e, 7));
    QCOMPARE(e.box("txtSC6")->text(), QString());
    QCOMPARE(label(e, "lblSC6"), QString());
    QCOMPARE(label(e, "lblSC7"), QString());
    QCOMPARE(heading(e, 5), QString("6.1\"-\n9\"\n(t/ac)"));

    // A bound of 0 or text that is no number is emptied at once, with everything after it.
    e.box("txtSC5")->setText("9");
    e.box("txtSC4")->setText("0");
    QCOMPARE(e.box("txtSC4")->text(), QString());
    QCOMPARE(e.box("txtSC5")->text(), QString());
    QVERIFY(!shown(e, 5) && !shown(e, 6) && !shown(e, 7));
    for (const char *name : {"lblSC5", "lblSC6", "lblSC7"})
        QCOMPARE(label(e, name), QString());

    e.box("txtSC4")->setText("6.5");
    QCOMPARE(label(e, "lblSC5"), QString("6.1->"));
    QCOMPARE(heading(e, 4), QString("3.1\"-\n6\"\n(t/ac)"));
}

void BookSaveTest::loadedBreaksShapeTheClassColumns()
{
    ProgramDir dir;
    const qint64 book =
        dir.addBook(QVariantMap{{"BookLabel", "B"}, {"BreakInches4", 6.5}, {"BreakInches5", 9}, {"BreakInches6", 0}});
    Editor e(dir);
    QVERIFY(e.open(book));
    QCOMPARE(e.box("txtSC4")->text(), QString("6.5"));
    QCOMPARE(e.box("txtSC5")->text(), QString("9"));
    QCOMPARE(e.box("txtSC6")->text(), QString()); // a stored 0 is a class not in use
    QVERIFY(shown(e, 5) && shown(e, 6) && !shown(e, 7));
    QCOMPARE(heading(e, 5), QString("6.1\"-\n9\"\n(t/ac)"));
    QCOMPARE(label(e, "lblSC6"), QString("9.1->"));
}

void BookSaveTest::identifierFilterAndSelectAllOnFocus()
{
    ProgramDir dir;
    Editor e(dir);
    QVERIFY(e.openNew());
    QLineEdit *id = e.box("txtBookID");
    id->clear();
    QTest::keyClicks(id, "a\\b/c:d*e?f|g<h>i,j\"k'l.m n");
    QCOMPARE(id->text(), QString("abcdefghijk'l.m n"));

    e.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(e.window.get()));
    for (const char *name : {"txtBookID", "txtName", "txtBuiltBy", "txtDate", "txtSC4", "txtSC5", "txtSC6"}) {
        QLineEdit *box = e.box(name);
        box->setText("12");
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 4, box->height() / 2));
        QTRY_COMPARE(box->selectedText(), box->text());
    }
}

void BookSaveTest::calendarOpensClosesAndWritesTheDate()
{
    ProgramDir dir;
    Editor e(dir);
    QVERIFY(e.openNew());
    e.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(e.window.get()));
    auto *button = e.find<QPushButton>("cmdCalendar");
    auto *calendar = e.find<QCalendarWidget>("calDate");

    e.click("cmdCalendar");
    QCOMPARE(button->text(), QString("Close Calendar"));
    QVERIFY(calendar->isVisible());
    QCOMPARE(calendar->selectedDate(), QDate::currentDate());
    QCOMPARE(calendar->x(), button->mapTo(e.window.get(), QPoint()).x() + 1);
    QLineEdit *date = e.box("txtDate");
    QCOMPARE(calendar->y(), date->mapTo(e.window.get(), QPoint(0, date->height())).y() + 1);
    e.click("cmdCalendar");
    QCOMPARE(button->text(), QString("Calendar..."));
    QVERIFY(!calendar->isVisible());

    date->setText("5/17/2001");
    e.click("cmdCalendar");
    QCOMPARE(calendar->selectedDate(), QDate(2001, 5, 17));
    emit calendar->clicked(QDate(2002, 3, 4));
    QCOMPARE(date->text(), QString("03/04/2002"));
    QCOMPARE(button->text(), QString("Calendar..."));
    QVERIFY(!calendar->isVisible());
}

void BookSaveTest::saveWritesHeaderAndRelabelsEveryPhoto()
{
    ProgramDir dir;
    const qint64 book = addBookWithPhotos(dir, "Old");
    dir.addPhoto(book, {{"BookLabel", "Old"}, {"PhotoLabel", "3"}}); // codes null: left alone
    Editor e(dir);
    QVERIFY(e.open(book));
    e.box("txtBookID")->setText("  Int-46 ");
    e.box("txtName")->setText("Interior West");
    e.box("txtDate")->setText("05/17/2001");
    e.box("txtBuiltBy")->setText("R. Ottmar");
    e.box("txtSC4")->setText("6.5");
    e.photos().appendRow(editor::PhotoTableModel::defaultPhotoValues(book, "Old"));
    e.grid()->setCurrentRow(1);
    QSignalSpy unloaded(e.window.get(), &editor::BookEditor::unloaded);
    e.click("cmdSave");
    QCOMPARE(e.messages.count(), 0);
    QCOMPARE(unloaded.count(), 1);

    QSqlQuery q(dir.store().db());
    QVERIFY(q.exec("SELECT BookLabel, BookDescription, BookDate, builtby, BreakInches4, BreakInches5, BreakInches6, "
                   "NumOfPhotos FROM Books"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QString("Int-46"));
    QCOMPARE(q.value(1).toString(), QString("Interior West"));
    QCOMPARE(q.value(2).toString(), QString("05/17/2001"));
    QCOMPARE(q.value(3).toString(), QString("R. Ottmar"));
    QCOMPARE(q.value(4).toDouble(), 6.5);
    QCOMPARE(q.value(5), QVariant(0.0)); // an empty box is stored as 0
    QCOMPARE(q.value(6), QVariant(0.0));
    QCOMPARE(q.value(7).toInt(), 4);
    QCOMPARE(dir.column("SELECT DISTINCT BookLabel FROM Photos"), (QVariantList{"Int-46"}));
    // The blank rule reaches every photo, not only the current one; a null code stays null.
    const QString quote = dir.onServer() ? "quote_nullable" : "quote";
    QCOMPARE(dir.column(QString("SELECT %1(VegType) || %1(Activity) FROM Photos ORDER BY ID").arg(quote)),
             (QVariantList{"' '' '", "'PP'NULL", "NULLNULL", "NULLNULL"}));
}

void BookSaveTest::renamingOnlyInLetterCaseIsSaved()
{
    ProgramDir dir;
    const qint64 book = addBookWithPhotos(dir, "int-46");
    Editor e(dir);
    QVERIFY(e.open(book));
    e.box("txtBookID")->setText("INT-46");
    e.click("cmdSave");
    QCOMPARE(e.messages.count(), 0);
    QCOMPARE(dir.scalar("SELECT BookLabel FROM Books").toString(), QString("INT-46"));
    QCOMPARE(dir.column("SELECT BookLabel FROM Photos"), (QVariantList{"INT-46", "INT-46"}));
}

void BookSaveTest::renamingToAnotherBooksLabelIsRefused_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("same case") << "Other";
    QTest::newRow("other case") << "OTHER";
    QTest::newRow("blanks around") << "  other ";
}

void BookSaveTest::renamingToAnotherBooksLabelIsRefused()
{
    QFETCH(QString, typed);
    ProgramDir dir;
    const qint64 book = addBookWithPhotos(dir, "Mine");
    dir.addBook("Other");
    const QString before = dump(dir);
    Editor e(dir);
    QVERIFY(e.open(book));
    QSignalSpy unloaded(e.window.get(), &editor::BookEditor::unloaded);
    e.box("txtBookID")->setText(typed);
    e.click("cmdSave");
    QCOMPARE(e.messages.count(), 1);
    QCOMPARE(e.messages.last().message.text, QString("Please correct the following problems with this photo book: \n\n"
                                                     "The Book identifier already exists\n"));
    QCOMPARE(e.messages.last().message.icon, ui::Icon::Exclamation);
    QCOMPARE(unloaded.count(), 0);
    QCOMPARE(dump(dir), before);
    QCOMPARE(e.box("txtBookID")->text(), typed);
}

void BookSaveTest::bookWithoutPhotosIsValidatedAndSaved()
{
    ProgramDir dir;
    const qint64 book = dir.addBook(QVariantMap{{"BookLabel", "Bare"}});
    Editor e(dir);
    QVERIFY(e.open(book));
    e.click("cmdSave");
    QCOMPARE(e.messages.count(), 1);
    QVERIFY(e.messages.last().message.text.contains("Please provide a Book Description"));
    e.box("txtName")->setText("Header only");
    e.click("cmdSave");
    QCOMPARE(e.messages.count(), 1);
    QCOMPARE(dir.scalar("SELECT BookDescription FROM Books").toString(), QString("Header only"));
}

void BookSaveTest::cancelOfAnExistingBookLeavesTheStoreUnchanged()
{
    ProgramDir dir;
    const qint64 book = addBookWithPhotos(dir, "Keep");
    const QString before = dump(dir);
    Editor e(dir);
    QVERIFY(e.open(book));
    QSignalSpy unloaded(e.window.get(), &editor::BookEditor::unloaded);
    e.box("txtName")->setText("Changed");
    e.photos().setValue(0, "GroupLabel", "Changed");
    e.photos().removePhoto(1);
    e.photos().appendRow(editor::PhotoTableModel::defaultPhotoValues(book, "Keep"));
    // Cancel asks before it drops the changes; No keeps the editor and every change.
    e.messages.answerNext(false);
    e.click("cmdCancel");
    QCOMPARE(unloaded.count(), 0);
    QCOMPARE(e.photos().rowCount(), 2);
    e.click("cmdCancel");
    QCOMPARE(unloaded.count(), 1);
    QCOMPARE(e.messages.count(), 2);
    QVERIFY(e.messages.last().message.text.contains("have not been saved"));
    QCOMPARE(dump(dir), before);
}

void BookSaveTest::cancelOfANewBookLeavesNoTrace()
{
    ProgramDir dir;
    dir.addBook("Other");
    const QString before = dump(dir);
    {
        // Nothing typed: it closes without a question.
        Editor e(dir);
        QVERIFY(e.openNew());
        QSignalSpy unloaded(e.window.get(), &editor::BookEditor::unloaded);
        QVERIFY(e.window->close());
        QCOMPARE(unloaded.count(), 1);
        QCOMPARE(e.messages.count(), 0);
    }
    {
        // Typed: Cancel asks, and Yes drops the book without a trace.
        Editor e(dir);
        QVERIFY(e.openNew());
        e.photos().setValue(0, "PhotoLabel", "1");
        e.click("cmdAdd");
        e.click("cmdCancel");
        QCOMPARE(e.messages.count(), 1);
    }
    QCOMPARE(dump(dir), before);
}

void BookSaveTest::closeBoxAsksBeforeDroppingChanges()
{
    ProgramDir dir;
    const qint64 book = addBookWithPhotos(dir, "B");
    const QString before = dump(dir);
    {
        Editor e(dir);
        QVERIFY(e.open(book));
        QVERIFY(e.window->close()); // nothing pending: no question
        QCOMPARE(e.messages.count(), 0);
    }
    Editor e(dir);
    QVERIFY(e.open(book));
    e.window->show();
    QSignalSpy unloaded(e.window.get(), &editor::BookEditor::unloaded);
    e.photos().setValue(1, "GroupLabel", "Changed");
    e.messages.answerNext(false);
    QVERIFY(!e.window->close());
    QCOMPARE(e.messages.count(), 1);
    QVERIFY(e.messages.last().question);
    QVERIFY(e.window->isVisible());
    QCOMPARE(unloaded.count(), 0);
    QCOMPARE(e.photos().value(1, "GroupLabel").toString(), QString("Changed"));
    e.messages.answerNext(true);
    QVERIFY(e.window->close());
    QCOMPARE(unloaded.count(), 1);
    QCOMPARE(dump(dir), before);
}

void BookSaveTest::storeFailureDuringSaveLosesNothing()
{
    ProgramDir dir;
    const qint64 book = addBookWithPhotos(dir, "Old");
    QSqlQuery q(dir.store().db());
    // The relabelling runs last in the save, after the header and photo rows were sent.
    if (dir.onServer()) {
        QVERIFY(q.exec("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                       "$$ BEGIN RAISE EXCEPTION 'disk I/O error'; END $$"));
        QVERIFY(q.exec("CREATE TRIGGER refuse BEFORE UPDATE OF BookLabel ON Photos "
                       "FOR EACH ROW EXECUTE FUNCTION refuse()"));
    } else {
        QVERIFY(q.exec("CREATE TRIGGER refuse BEFORE UPDATE OF BookLabel ON Photos "
                       "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END"));
    }
    const QString before = dump(dir);
    Editor e(dir);
    QVERIFY(e.open(book));
    QSignalSpy unloaded(e.window.get(), &editor::BookEditor::unloaded);
    e.box("txtBookID")->setText("New");
    e.box("txtName")->setText("Renamed");
    e.photos().setValue(0, "GroupLabel", "Ridge");
    e.photos().appendRow(editor::PhotoTableModel::defaultPhotoValues(book, "Old"));
    e.click("cmdSave");
    QCOMPARE(e.messages.count(), 1);
    QVERIFY(e.messages.last().message.text.contains("disk I/O error"));
    QCOMPARE(unloaded.count(), 0);
    QCOMPARE(dump(dir), before);
    QCOMPARE(e.box("txtName")->text(), QString("Renamed"));
    QVERIFY(e.photos().hasPendingChanges());
    QCOMPARE(e.photos().rowCount(), 3);

    QVERIFY(q.exec(dir.onServer() ? "DROP TRIGGER refuse ON Photos" : "DROP TRIGGER refuse"));
    e.click("cmdSave");
    QCOMPARE(unloaded.count(), 1);
    QCOMPARE(dir.column("SELECT BookLabel || GroupLabel FROM Photos WHERE GroupLabel IS NOT NULL"),
             (QVariantList{"NewRidge"}));
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Photos WHERE BookLabel = 'New'").toInt(), 3);
}

void BookSaveTest::newBookKeepsThePhotoOrderEntered()
{
    ProgramDir dir;
    Editor e(dir);
    QVERIFY(e.openNew());
    e.box("txtBookID")->setText("NB");
    e.box("txtName")->setText("Field book");
    // Add while the first photo is still pending, then Add after a pending duplicate.
    e.photos().setValue(0, "PhotoLabel", "1");
    e.click("cmdAdd");
    e.photos().setValue(1, "PhotoLabel", "2");
    e.click("cmdDup");
    e.photos().setValue(2, "PhotoLabel", "3");
    e.click("cmdAdd");
    e.photos().setValue(3, "PhotoLabel", "4");
    e.click("cmdSave");
    QCOMPARE(e.messages.count(), 0);
    QCOMPARE(dir.column("SELECT PhotoLabel FROM Photos ORDER BY ID"), (QVariantList{"1", "2", "3", "4"}));
}

void BookSaveTest::closeBoxOnATypedNewBookAsks_data()
{
    QTest::addColumn<bool>("header");
    QTest::newRow("header typed") << true;
    QTest::newRow("photo cell typed") << false;
}

void BookSaveTest::closeBoxOnATypedNewBookAsks()
{
    QFETCH(bool, header);
    ProgramDir dir;
    Editor e(dir);
    QVERIFY(e.openNew());
    QSignalSpy unloaded(e.window.get(), &editor::BookEditor::unloaded);
    if (header)
        e.box("txtName")->setText("Field book");
    else
        e.photos().setValue(0, "GroupLabel", "Ridge");
    e.messages.answerNext(false);
    QVERIFY(!e.window->close());
    QCOMPARE(e.messages.count(), 1);
    QVERIFY(e.messages.last().question);
    QCOMPARE(unloaded.count(), 0);
    QCOMPARE(e.box("txtName")->text(), QString(header ? "Field book" : "New Book"));
    QCOMPARE(e.photos().value(0, "GroupLabel").toString(), QString(header ? "" : "Ridge"));

    e.messages.answerNext(true);
    QVERIFY(e.window->close());
    QCOMPARE(unloaded.count(), 1);
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Books").toInt(), 0);
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Photos").toInt(), 0);
}

void BookSaveTest::imageNamesFollowALabelCommittedByTheSaveClick()
{
    ProgramDir dir;
    const qint64 book = addBookWithPhotos(dir, "B");
    Editor e(dir);
    QVERIFY(e.open(book));
    QVERIFY(showActive(e));
    const QModelIndex cell = e.cell(0, "PhotoLabel");
    e.grid()->setCurrentIndex(cell);
    e.grid()->edit(cell);
    auto *line = qobject_cast<QLineEdit *>(e.grid()->indexWidget(cell));
    QVERIFY(line);
    line->selectAll();
    QTest::keyClicks(line, "7");
    // Press and release in one go: the press commits the label, the release saves.
    e.click("cmdSave");
    QCOMPARE(e.messages.count(), 0);
    QCOMPARE(dir.column("SELECT PhotoPic || ' ' || DataPic FROM Photos WHERE PhotoLabel = '7'"),
             QVariantList{"P7.jpg D7.jpg"});
}

void BookSaveTest::pathCharactersNeverReachTheIdentifier()
{
    ProgramDir dir;
    const qint64 book = addBookWithPhotos(dir, "B");
    Editor e(dir);
    QVERIFY(e.open(book));
    QVERIFY(showActive(e));
    QLineEdit *id = e.box("txtBookID");
    QGuiApplication::clipboard()->setText("../evil:x");
    id->setFocus();
    id->selectAll();
    QTest::keySequence(id, QKeySequence::Paste);
    QCOMPARE(id->text(), QString("..evilx"));

    // A text that arrived some other way is refused by Save, which writes nothing.
    id->setText("a/b");
    e.click("cmdSave");
    QCOMPARE(e.messages.count(), 1);
    QVERIFY(e.messages.last().message.text.contains(
        "The Book identifier cannot contain \\ / : * ? | < > , or a double quote"));
    QCOMPARE(dir.scalar("SELECT BookLabel FROM Books").toString(), QString("B"));
}

void BookSaveTest::rowsGoneSinceOpeningFailTheWholeSave_data()
{
    QTest::addColumn<QString>("elsewhere");
    QTest::addColumn<bool>("deleteHere");
    QTest::addColumn<bool>("conflict");
    const QString photo1 = "DELETE FROM Photos WHERE PhotoLabel = '1'";
    QTest::newRow("changed photo deleted elsewhere") << photo1 << false << true;
    QTest::newRow("deleted photo deleted elsewhere") << photo1 << true << true;
    QTest::newRow("book deleted elsewhere") << "DELETE FROM Books" << false << true;
    QTest::newRow("photo changed elsewhere")
        << "UPDATE Photos SET TreesPerAcre = 9 WHERE PhotoLabel = '2'" << false << true;
    QTest::newRow("photo added elsewhere")
        << "INSERT INTO Photos (BookID, PhotoLabel) SELECT ID, '3' FROM Books" << false << true;
    QTest::newRow("header changed elsewhere") << "UPDATE Books SET builtby = 'someone'" << false << true;
    QTest::newRow("Active and count changed elsewhere")
        << "UPDATE Books SET Active = -1, NumOfPhotos = 7" << false << false;
}

void BookSaveTest::rowsGoneSinceOpeningFailTheWholeSave()
{
    QFETCH(QString, elsewhere);
    QFETCH(bool, deleteHere);
    QFETCH(bool, conflict);
    ProgramDir dir;
    const qint64 book = addBookWithPhotos(dir, "B");
    Editor e(dir);
    QVERIFY(e.open(book));
    QSignalSpy unloaded(e.window.get(), &editor::BookEditor::unloaded);
    e.box("txtName")->setText("Renamed");
    e.photos().setValue(1, "GroupLabel", "Flat");
    if (deleteHere)
        e.photos().removePhoto(0);
    else
        e.photos().setValue(0, "GroupLabel", "Ridge");
    // Another program, which knows nothing of this editor, writes to the store.
    QSqlQuery q(dir.store().db());
    QVERIFY(q.exec(elsewhere));
    const QString before = dump(dir);
    e.messages.answerNext(false);
    e.click("cmdSave");
    if (!conflict) {
        QCOMPARE(e.messages.count(), 0);
        QCOMPARE(unloaded.count(), 1);
        QCOMPARE(dir.scalar("SELECT Active FROM Books").toInt(), -1);
        return;
    }
    QCOMPARE(e.messages.texts(), QStringList{reloadQuestion});
    QVERIFY(e.messages.last().question);
    QCOMPARE(unloaded.count(), 0);
    QCOMPARE(dump(dir), before);
    QCOMPARE(e.box("txtName")->text(), QString("Renamed"));
    QVERIFY(e.photos().hasPendingChanges());
}

void BookSaveTest::changesElsewhereToWhatThisEditorLeftAloneFailTheSave_data()
{
    QTest::addColumn<QString>("elsewhere");
    QTest::addColumn<bool>("counter");
    const std::pair<const char *, const char *> writes[] = {
        {"last size-class break", "UPDATE Books SET BreakInches6 = 9"},
        {"untouched photo deleted", "DELETE FROM Photos WHERE PhotoLabel = '3'"},
        {"unset text set to empty", "UPDATE Photos SET GroupLabel = '' WHERE PhotoLabel = '3'"},
        {"empty text unset", "UPDATE Photos SET VegType = NULL WHERE PhotoLabel = '1'"},
        {"unset number set to 0", "UPDATE Photos SET Oto3FL = 0 WHERE PhotoLabel = '3'"},
    };
    // With the store's change counter, and without it (a server role that may not create it),
    // where the save compares every field of every row instead.
    for (bool counter : {true, false}) {
        for (const auto &[name, sql] : writes)
            QTest::addRow("%s%s", name, counter ? "" : ", no counter") << QString(sql) << counter;
    }
}

// The editor changed the description and one photo; another program changed something else.
void BookSaveTest::changesElsewhereToWhatThisEditorLeftAloneFailTheSave()
{
    QFETCH(QString, elsewhere);
    QFETCH(bool, counter);
    ProgramDir dir;
    const qint64 book = addBookWithPhotos(dir, "B");
    dir.addPhoto(book, {{"BookLabel", "B"}, {"PhotoLabel", "3"}});
    if (!counter)
        dir.dropChangeCounter();
    Editor e(dir);
    QVERIFY(e.open(book));
    e.box("txtName")->setText("Renamed");
    e.photos().setValue(1, "GroupLabel", "Flat");
    QSqlQuery q(dir.store().db());
    QVERIFY(q.exec(elsewhere));
    QCOMPARE(q.numRowsAffected(), 1);
    const QString before = dump(dir);
    e.messages.answerNext(false);
    e.click("cmdSave");
    QCOMPARE(e.messages.texts(), QStringList{reloadQuestion});
    QCOMPARE(dump(dir), before);
    // Reloaded, the book saves again and again: the editor's own saves are not another program's.
    e.messages.answerNext(true);
    e.click("cmdSave");
    QCOMPARE(e.messages.count(), 2);
    for (const char *group : {"Ridge", "Flat"}) {
        e.photos().setValue(0, "GroupLabel", group);
        e.click("cmdSaveNow");
        QCOMPARE(e.messages.count(), 2);
        QCOMPARE(dir.scalar("SELECT GroupLabel FROM Photos WHERE PhotoLabel = '1'").toString(), QString(group));
    }
}

void BookSaveTest::reloadAfterAConflictShowsTheStoredBook()
{
    ProgramDir dir;
    const qint64 book = addBookWithPhotos(dir, "B");
    Editor e(dir);
    QVERIFY(e.open(book));
    e.box("txtName")->setText("Renamed");
    e.photos().setValue(0, "GroupLabel", "Ridge");
    QSqlQuery q(dir.store().db());
    QVERIFY(q.exec("UPDATE Photos SET GroupLabel = 'Theirs' WHERE PhotoLabel = '1'"));
    e.messages.answerNext(true);
    e.click("cmdSave");
    QCOMPARE(e.messages.texts(), QStringList{reloadQuestion});
    QCOMPARE(e.box("txtName")->text(), QString("B description"));
    QCOMPARE(e.photos().value(0, "GroupLabel").toString(), QString("Theirs"));
    QVERIFY(!e.photos().hasPendingChanges());

    // The reloaded book saves as any other.
    e.photos().setValue(1, "GroupLabel", "Mine");
    e.click("cmdSave");
    QCOMPARE(e.messages.count(), 1);
    QCOMPARE(dir.column("SELECT GroupLabel FROM Photos ORDER BY ID"), (QVariantList{"Theirs", "Mine"}));
}

QTEST_MAIN(BookSaveTest)
#include "tst_booksave.moc"
