#include "EditorFixture.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTableView>

#include "ui/CoolButton.h"

using testing::Editor;
using testing::ProgramDir;

class EditorTest : public QObject
{
    Q_OBJECT

private slots:
    void controlsCarryTheirTexts();
    void nullHeaderOpensAsEmptyBoxesAndNoPhotosAsEmptyGrid();
    void opensHeaderAndPhotosOfTheBook();
    void newBookLivesInTheEditorUntilItsFirstSave();
    void bookThatCannotBeOpenedIsReported();
    void newBookThatCannotBeWrittenOrIsCancelledLeavesNothing();
    void saveAndCloseWritesHeaderAndPhotosTogether();
    void headerFramesKeepTheirWidthFromBookToBook();
};

void EditorTest::controlsCarryTheirTexts()
{
    ProgramDir dir;
    Editor e(dir);
    QCOMPARE(e.window->windowTitle(), QString("Books Editor"));
    const QList<QStringList> buttons{
        {"cmdAdd", "Add Photo", "Add a New Photo", "hover"},
        {"cmdDup", "Duplicate Photo", "Create a New Photo using Selected Photo", "hover"},
        {"cmdDelete", "Delete Photo", "Delete the Selected Photo", "hover"},
        {"cmdSave", "Save and Close", "Save Changes and Exit", "hover"},
        {"cmdSaveNow", "Save", "Save Changes", ""},
        {"cmdCancel", "Cancel", "Discard Changes and Exit", "hover"},
        {"cmdCalendar", "Calendar...", "Set The Date Using The Calendar Tool", "hover"},
        {"cmdFolder", "Create Images Folder", "Create an Image Folder for this Book", "hover"},
    };
    for (const QStringList &b : buttons) {
        auto *button = e.find<ui::CoolButton>(qPrintable(b[0]));
        QCOMPARE(button->text(), b[1]);
        QCOMPARE(button->toolTip(), b[2]);
        QCOMPARE(button->hasHoverColours(), !b[3].isEmpty());
    }
    const QList<QStringList> boxes{
        {"txtBookID", "Untitled", "Enter Book ID - Must be valid filename"},
        {"txtName", "", "Enter Book Description"},
        {"txtDate", "", "Enter Date Built"},
        {"txtBuiltBy", "", ""},
        {"txtSC4", " n/a", "Enter the Upper Boundary for this Size Class"},
        {"txtSC5", " n/a", "Enter the Upper Boundary for this Size Class"},
        {"txtSC6", " n/a", "Enter the Upper Boundary for this Size Class"},
    };
    for (const QStringList &b : boxes) {
        QCOMPARE(e.box(qPrintable(b[0]))->text(), b[1]);
        QCOMPARE(e.box(qPrintable(b[0]))->toolTip(), b[2]);
    }
    const QList<QStringList> checks{
        {"chkCopyPhotoDesc", "Add New Photo with Previous Photo Name", "Use Previous Photo's Name for New Photos", ""},
        {"chkNoImages", "No Images for this Book", "Check If You Do Not Have Images", ""},
        {"chkUseSuffix", "Use Automatic Photo and Data Plate Image Naming",
         "Automatic Naming of Images with File Type Suffix", "checked"},
    };
    for (const QStringList &c : checks) {
        auto *check = e.find<QCheckBox>(qPrintable(c[0]));
        QCOMPARE(check->text(), c[1]);
        QCOMPARE(check->toolTip(), c[2]);
        QCOMPARE(check->isChecked(), !c[3].isEmpty());
    }
    for (const char *name : {"lstVegType", "lstActType", "lstFM", "lstFM2", "lstDR"})
        QVERIFY(e.find<QListWidget>(name)->isHidden());
    QVERIFY(e.find<QCalendarWidget>("calDate")->isHidden());
    QVERIFY(e.find<QLabel>("lblStatus"));
    for (const char *name : {"txtSC4", "txtSC5", "txtSC6"})
        QCOMPARE(e.box(name)->property("tag").toString(), QString("skip"));

    // Header tab order.
    // In the order on screen (the date's row is above the builder's).
    const QStringList order{"txtBookID", "txtName", "txtDate", "txtBuiltBy", "txtSC4", "txtSC5", "txtSC6"};
    for (int i = 0; i + 1 < order.size(); ++i)
        QCOMPARE(e.box(qPrintable(order[i]))->nextInFocusChain()->objectName(), order[i + 1]);
}

void EditorTest::nullHeaderOpensAsEmptyBoxesAndNoPhotosAsEmptyGrid()
{
    ProgramDir dir;
    const qint64 book = dir.addBook(QVariantMap{{"BookLabel", "Bare"}});
    Editor e(dir);
    QVERIFY(e.open(book));
    QCOMPARE(e.messages.count(), 0);
    QCOMPARE(e.box("txtBookID")->text(), QString("Bare"));
    for (const char *name : {"txtName", "txtDate", "txtBuiltBy", "txtSC4", "txtSC5", "txtSC6"})
        QVERIFY2(e.box(name)->text().isEmpty(), name);
    QCOMPARE(e.photos().rowCount(), 0);
    QCOMPARE(e.photos().columnCount(), 22);
    QCOMPARE(e.grid()->model(), &e.photos());
    auto *types = e.find<QComboBox>("cboFileType");
    QCOMPARE(types->count(), 2);
    QCOMPARE(types->itemText(0), QString("JPEG (.jpg)"));
    QCOMPARE(types->itemText(1), QString("GIF  (.gif)"));
    QCOMPARE(types->currentIndex(), 0);
    QVERIFY(types->isEnabled());
    e.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(e.window.get()));
    QCOMPARE(QApplication::focusWidget(), e.box("txtBookID"));
}

void EditorTest::opensHeaderAndPhotosOfTheBook()
{
    ProgramDir dir;
    const qint64 book = dir.addBook(QVariantMap{{"BookLabel", "Int-46"},
                                                {"BookDescription", "Interior West"},
                                                {"BookDate", "05/17/2001"},
                                                {"builtby", "R. Ottmar"},
                                                {"BreakInches4", 6.5},
                                                {"BreakInches5", 9},
                                                {"BreakInches6", 0}});
    dir.addPhoto(book, {{"PhotoLabel", "1"}, {"TonsPerAcreBreak1", 0}, {"AverageDuffDepth", 0}});
    dir.addPhoto(book, {{"PhotoLabel", "2"}});
    dir.addPhoto(dir.addBook("Other"), {{"PhotoLabel", "x"}});
    Editor e(dir);
    QVERIFY(e.open(book));
    QCOMPARE(e.box("txtName")->text(), QString("Interior West"));
    QCOMPARE(e.box("txtDate")->text(), QString("05/17/2001"));
    QCOMPARE(e.box("txtBuiltBy")->text(), QString("R. Ottmar"));
    QCOMPARE(e.box("txtSC4")->text(), QString("6.5"));
    QCOMPARE(e.box("txtSC5")->text(), QString("9"));
    QCOMPARE(e.photos().rowCount(), 2);
    QCOMPARE(e.cell(0, "PhotoLabel").data().toString(), QString("1"));
    QCOMPARE(e.cell(0, "TonsPerAcreBreak1").data().toString(), QString("0.00"));
    QCOMPARE(e.cell(0, "AverageDuffDepth").data().toString(), QString("0"));
    QVERIFY(!e.photos().hasPendingChanges());
}

void EditorTest::newBookLivesInTheEditorUntilItsFirstSave()
{
    ProgramDir dir;
    Editor e(dir);
    QVERIFY(e.openNew());
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Books").toInt(), 0);
    QCOMPARE(e.box("txtName")->text(), QString("New Book"));
    QCOMPARE(e.box("txtBookID")->text(), QString("Untitled"));
    for (const char *name : {"txtDate", "txtBuiltBy", "txtSC4", "txtSC5", "txtSC6"})
        QVERIFY2(e.box(name)->text().isEmpty(), name);
    QCOMPARE(e.photos().rowCount(), 1);
    for (const char *field : {"TonsPerAcreBreak1", "TonsPerAcreBreak7", "AverageFuelbedDepth", "AverageDuffDepth",
                              "HerbTonsPerAcre", "WoodyTonsPerAcre"})
        QCOMPARE(e.photos().value(0, field), QVariant(0.0));
    QCOMPARE(e.cell(0, "CanopyClosure").data().toString(), QString("0.5"));
    QCOMPARE(e.cell(0, "TreesPerAcre").data().toString(), QString("1"));
    for (const char *field : {"PhotoLabel", "GroupLabel", "VegType", "PhotoPic"})
        QVERIFY(e.photos().value(0, field).isNull());

    // Rows added and typed stay in the editor too.
    e.photos().setValue(0, "PhotoLabel", "1");
    e.click("cmdAdd");
    e.photos().setValue(1, "PhotoLabel", "2");
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Books").toInt(), 0);
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Photos").toInt(), 0);

    // The first Save writes the whole book at once and leaves the editor open on it.
    e.box("txtBookID")->setText("N-1");
    e.box("txtName")->setText("Fresh");
    e.click("cmdSaveNow");
    QSqlQuery q(dir.store().db());
    QVERIFY(q.exec("SELECT ID, BookLabel, Breakinches1, Breakinches2, Breakinches3, Active, Locked, BookDescription, "
                   "NumOfPhotos FROM Books"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toLongLong(), e.window->bookId());
    QCOMPARE(q.value(1).toString(), QString("N-1"));
    QCOMPARE(q.value(2).toDouble(), 0.26);
    QCOMPARE(q.value(3).toDouble(), 1.1);
    QCOMPARE(q.value(4).toDouble(), 3.1);
    QCOMPARE(q.value(5).toInt(), 0);
    QCOMPARE(q.value(6).toInt(), 0);
    QCOMPARE(q.value(7).toString(), QString("Fresh"));
    QCOMPARE(q.value(8).toInt(), 2);
    QVERIFY(!q.next());
    QCOMPARE(dir.column("SELECT PhotoLabel FROM Photos ORDER BY ID"), (QVariantList{"1", "2"}));

    // A second Save changes that book rather than adding another, and a close asks nothing.
    e.photos().setValue(1, "GroupLabel", "Ridge");
    e.click("cmdSaveNow");
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Books").toInt(), 1);
    QCOMPARE(dir.scalar("SELECT GroupLabel FROM Photos WHERE PhotoLabel = '2'").toString(), QString("Ridge"));
    const int asked = e.messages.count();
    e.click("cmdCancel");
    QCOMPARE(e.messages.count(), asked);
}

void EditorTest::bookThatCannotBeOpenedIsReported()
{
    ProgramDir dir;
    Editor e(dir);
    QVERIFY(!e.open(4711));
    QCOMPARE(e.messages.count(), 1);
    QVERIFY(e.messages.last().message.text.startsWith("The book could not be read"));
    QCOMPARE(e.messages.last().message.icon, ui::Icon::Critical);
}

void EditorTest::newBookThatCannotBeWrittenOrIsCancelledLeavesNothing()
{
    ProgramDir dir;
    QSqlQuery q(dir.store().db());
    QVERIFY(q.exec("CREATE TRIGGER full BEFORE INSERT ON Photos BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
    {
        Editor e(dir);
        QVERIFY(e.openNew());
        e.box("txtBookID")->setText("N-1");
        e.box("txtName")->setText("Fresh");
        e.photos().setValue(0, "PhotoLabel", "1");
        e.click("cmdSaveNow");
        QVERIFY(e.messages.last().message.text.contains("disk full"));
        // The book's row went with the refused photo: the save is one transaction.
        QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Books").toInt(), 0);
        // The close box asks before it drops the typed book, and then writes nothing.
        e.messages.answerNext(true);
        e.click("cmdCancel");
        QVERIFY(e.messages.last().message.text.contains("have not been saved"));
    }
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Books").toInt(), 0);
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Photos").toInt(), 0);
}

void EditorTest::saveAndCloseWritesHeaderAndPhotosTogether()
{
    ProgramDir dir;
    const qint64 book = dir.addBook("Old");
    dir.addPhoto(book, {{"PhotoLabel", "1"}, {"BookLabel", "Old"}, {"VegType", ""}});
    Editor e(dir);
    QVERIFY(e.open(book));
    QSignalSpy unloaded(e.window.get(), &editor::BookEditor::unloaded);
    e.box("txtBookID")->setText("New");
    e.box("txtName")->setText("Renamed");
    e.photos().setValue(0, "GroupLabel", "Ridge");
    QCOMPARE(dir.scalar("SELECT GroupLabel FROM Photos").toString(), QString());
    e.click("cmdSave");
    QCOMPARE(unloaded.count(), 1);
    QCOMPARE(dir.scalar("SELECT BookDescription FROM Books").toString(), QString("Renamed"));
    QCOMPARE(dir.scalar("SELECT BookLabel || '|' || GroupLabel || '|' || VegType FROM Photos").toString(),
             QString("New|Ridge| "));
    QCOMPARE(dir.scalar("SELECT NumOfPhotos FROM Books").toInt(), 1);
}

QTEST_MAIN(EditorTest)
void EditorTest::headerFramesKeepTheirWidthFromBookToBook()
{
    ProgramDir dir;
    const qint64 plain = dir.addBook("A");
    const qint64 classes = dir.addBook(QVariantMap{{"BookLabel", "B"},
                                                   {"BookDescription", "A book with every size class in use"},
                                                   {"BreakInches4", 6.5},
                                                   {"BreakInches5", 12.25},
                                                   {"BreakInches6", 100.75}});
    QVector<int> widths[2];
    int i = 0;
    for (qint64 book : {plain, classes}) {
        Editor e(dir);
        QVERIFY(e.open(book));
        e.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(e.window.get()));
        for (const char *frame : {"fraBook", "fraSizeClasses", "fraAides"})
            widths[i] << e.find<QWidget>(frame)->width();
        ++i;
        // Every size-class heading shows whole, seven classes included.
        for (const QLabel *label : e.find<QWidget>("fraSizeClasses")->findChildren<QLabel *>())
            QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
        // So does every line of every grid heading ("100.1\" +" was cut to ".00.1\" +").
        const auto *grid = e.find<QTableView>("grdPhotos");
        const QFontMetrics metrics = grid->horizontalHeader()->fontMetrics();
        for (int c = 0; c < grid->model()->columnCount(); ++c) {
            if (grid->isColumnHidden(c))
                continue;
            const QString heading = grid->model()->headerData(c, Qt::Horizontal).toString();
            for (const QString &line : heading.split('\n'))
                QVERIFY2(grid->columnWidth(c) > metrics.horizontalAdvance(line), qPrintable(line));
        }
    }
    QCOMPARE(widths[1], widths[0]);
}

#include "tst_editor.moc"
