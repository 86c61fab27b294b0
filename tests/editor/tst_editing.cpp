// The editor's everyday editing: closing while one of its boxes is open, Cancel's question,
// where the focus goes after a new row.
#include "EditorFixture.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QToolTip>

using testing::Editor;
using testing::ProgramDir;

class EditingTest : public QObject
{
    Q_OBJECT

private slots:
    void closedWhileItsBoxIsOpenClosesAfterTheBox();
    void headerBoxesRefuseWhatAnInstallFileCannotCarry();
    void cancelAsksBeforeItThrowsWorkAway();
    void focusFollowsTheWork();
};

// Guards against the editor being deleted inside the event loop of its own message box (the
// program aborted with "free(): invalid size" when a close reached the window meanwhile).
void EditingTest::closedWhileItsBoxIsOpenClosesAfterTheBox()
{
    ProgramDir dir;
    QVERIFY(dir.copyCodeFiles());
    const qint64 book = dir.addBook("B");
    dir.addPhoto(book, {{"PhotoLabel", "1"}, {"HerbTonsPerAcre", 2.5}});
    ui::BoxMessages boxes;
    editor::EditorContext context;
    context.store = &dir.store();
    context.messages = &boxes;
    context.programDir = dir.path();
    context.imageRootText = [] { return QStringLiteral("PhotoImages/"); };
    QPointer<editor::BookEditor> window = new editor::BookEditor(std::move(context));
    // As the catalogue does: the window goes once it has closed.
    connect(window, &editor::BookEditor::unloaded, window, &QObject::deleteLater);
    window->setBookId(book);
    QVERIFY(window->load());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));

    editor::PhotoGrid *grid = window->grid();
    const QModelIndex cell = window->photos().index(0, window->photos().columnOf("HerbTonsPerAcre"));
    grid->setCurrentIndex(cell);
    grid->edit(cell);
    auto *line = grid->findChild<QLineEdit *>();
    QVERIFY(line);
    line->setText("1.2.3");

    // While the refusal's box is up, the editor's Cancel is clicked from code, then the box is answered.
    QString boxText;
    bool openAfterCancel = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll.stop();
        boxText = box->text();
        window->findChild<QPushButton *>("cmdCancel")->click();
        openAfterCancel = window && window->isVisible();
        box->button(QMessageBox::Ok)->click();
    });
    poll.start();
    QVERIFY(!grid->commitPendingEdit());
    QTRY_VERIFY_WITH_TIMEOUT(window.isNull(), 10000);
    QCOMPARE(boxText, QString("Value entered is not numeric"));
    QVERIFY(openAfterCancel);
    QCOMPARE(dir.scalar("SELECT HerbTonsPerAcre FROM Photos").toDouble(), 2.5);
}

// A double quote never enters a text that goes into an install file, and a refused key is
// signalled where it was typed.
void EditingTest::headerBoxesRefuseWhatAnInstallFileCannotCarry()
{
    ProgramDir dir;
    const qint64 book = dir.addBook("B");
    Editor e(dir);
    QVERIFY(e.open(book));
    e.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(e.window.get()));
    const QList<QPair<const char *, QString>> boxes{
        {"txtName", "A text cannot hold a double quote (\")"},
        {"txtBuiltBy", "A text cannot hold a double quote (\")"},
        {"txtDate", "A text cannot hold a double quote (\")"},
        {"txtBookID", "An identifier cannot hold \\ / : * ? | < > , or \""}};
    for (const auto &[name, hint] : boxes) {
        QLineEdit *box = e.box(name);
        box->clear();
        QTest::keyClicks(box, "a\"b");
        QCOMPARE(box->text(), QString("ab"));
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), hint);
        QToolTip::hideText();
        QTRY_VERIFY(!QToolTip::isVisible());
    }
}

void EditingTest::cancelAsksBeforeItThrowsWorkAway()
{
    ProgramDir dir;
    const qint64 book = dir.addBook("B");
    dir.addPhoto(book, {{"PhotoLabel", "1"}, {"HerbTonsPerAcre", 2.5}});
    Editor e(dir);
    QVERIFY(e.open(book));
    e.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(e.window.get()));
    QSignalSpy unloaded(e.window.get(), &editor::BookEditor::unloaded);

    // Typed into a cell, not yet committed: No returns to the editor with the text intact.
    const QModelIndex cell = e.cell(0, "HerbTonsPerAcre");
    e.grid()->setCurrentIndex(cell);
    e.grid()->edit(cell);
    auto *line = e.grid()->findChild<QLineEdit *>();
    QVERIFY(line);
    line->selectAll();
    QTest::keyClicks(line, "8.88");
    e.messages.answerNext(false);
    e.click("cmdCancel");
    QCOMPARE(e.messages.count(), 1);
    QCOMPARE(e.messages.last().message.text, QString("The changes to this book have not been saved.\n"
                                                     "Do you want to discard them and close the editor?"));
    QVERIFY(e.messages.last().question);
    QCOMPARE(unloaded.count(), 0);
    QCOMPARE(line->text(), QString("8.88"));

    // A header change, answered Yes: the editor closes and the store keeps what it had.
    QVERIFY(e.grid()->commitPendingEdit());
    e.box("txtName")->setText("Changed");
    e.click("cmdCancel");
    QCOMPARE(e.messages.count(), 2);
    QCOMPARE(unloaded.count(), 1);
    QCOMPARE(dir.scalar("SELECT HerbTonsPerAcre FROM Photos").toDouble(), 2.5);

    // Nothing changed: Cancel closes at once.
    Editor again(dir);
    QVERIFY(again.open(book));
    QSignalSpy closed(again.window.get(), &editor::BookEditor::unloaded);
    again.click("cmdCancel");
    QCOMPARE(closed.count(), 1);
    QCOMPARE(again.messages.count(), 0);
}

void EditingTest::focusFollowsTheWork()
{
    ProgramDir dir;
    const qint64 book = dir.addBook("B");
    for (int i = 1; i <= 40; ++i)
        dir.addPhoto(book, {{"PhotoLabel", QString::number(i)}});
    Editor e(dir);
    QVERIFY(e.open(book));
    e.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(e.window.get()));
    const int label = e.column("PhotoLabel");

    // After Add Photo and Duplicate Photo the new row is in view and the grid has the focus on
    // its first editable cell: a typed space no longer presses the button again.
    for (const char *button : {"cmdAdd", "cmdDup"}) {
        const int rows = e.photos().rowCount();
        e.click(button);
        QCOMPARE(e.photos().rowCount(), rows + 1);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(e.grid()));
        QCOMPARE(e.grid()->currentIndex(), e.cell(rows, "PhotoLabel"));
        QVERIFY(e.grid()->viewport()->rect().contains(e.grid()->visualRect(e.grid()->currentIndex())));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(e.photos().rowCount(), rows + 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    }

    // Tab on a row's last column moves to the next row's first column.
    e.grid()->setCurrentIndex(e.cell(0, "DataPic"));
    QTest::keyClick(e.grid(), Qt::Key_Tab);
    QCOMPARE(e.grid()->currentIndex().row(), 1);
    QCOMPARE(e.grid()->currentIndex().column(), label);
}

QTEST_MAIN(EditingTest)
#include "tst_editing.moc"
