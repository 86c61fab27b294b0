#include "TestSupport.h"
#include "ui/CoolButton.h"
#include "ui/FlatControl.h"
#include "ui/FlatStyling.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTextEdit>
#include <QVBoxLayout>

using ui::FlatControl;
using ui::flatControlOf;

namespace {

// A window with one control of each kind the styling pass meets, laid out as the real windows.
struct Window
{
    Window()
    {
        auto *layout = new QVBoxLayout(&window);
        auto add = [&](QWidget *w, const char *name) {
            w->setObjectName(QLatin1String(name));
            layout->addWidget(w);
            return w;
        };
        edit = static_cast<QLineEdit *>(add(new QLineEdit, "txtEdit"));
        readOnly = static_cast<QLineEdit *>(add(new QLineEdit, "txtReadOnly"));
        readOnly->setReadOnly(true);
        skipped = static_cast<QLineEdit *>(add(new QLineEdit, "txtSkipped"));
        skipped->setProperty("tag", "sKiP");
        combo = static_cast<QComboBox *>(add(new QComboBox, "cboList"));
        combo->addItems({"one", "two", "three"});
        editableCombo = static_cast<QComboBox *>(add(new QComboBox, "cboEditable"));
        editableCombo->setEditable(true);
        label = static_cast<QLabel *>(add(new QLabel("Caption"), "lblCaption"));
        button = static_cast<QPushButton *>(add(new ui::CoolButton("Go"), "cmdGo"));
        spin = static_cast<QSpinBox *>(add(new QSpinBox, "spnCount"));
        text = static_cast<QTextEdit *>(add(new QTextEdit, "txtNotes"));
        table = static_cast<QTableView *>(add(new QTableView, "grdRows"));
        window.resize(300, 500);
    }

    [[nodiscard]] bool showFocused()
    {
        window.show();
        CHECK(QTest::qWaitForWindowExposed(&window));
        QApplication::setActiveWindow(&window);
        CHECK(QTest::qWaitFor([this] { return window.isActiveWindow(); }));
        return true;
    }

    QWidget window;
    QLineEdit *edit, *readOnly, *skipped;
    QComboBox *combo, *editableCombo;
    QLabel *label;
    QPushButton *button;
    QSpinBox *spin;
    QTextEdit *text;
    QTableView *table;
};

void mouseMove(QWidget *w)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(w, &move);
}

// A lit text box is framed sunken: dark along its top edge, light along its bottom edge.
[[nodiscard]] bool sunkenFrame(QWidget *window, QLineEdit *edit)
{
    const QRect r = flatControlOf(edit)->frame()->geometry();
    const QImage image = window->grab().toImage();
    const QRgb dark = edit->palette().color(QPalette::Dark).rgb();
    const QRgb light = edit->palette().color(QPalette::Light).rgb();
    CHECK_COMPARE(image.pixel(r.center().x(), r.top()), dark);
    CHECK_COMPARE(image.pixel(r.left(), r.center().y()), dark);
    CHECK_COMPARE(image.pixel(r.center().x(), r.bottom()), light);
    CHECK_COMPARE(image.pixel(r.right(), r.center().y()), light);
    return true;
}

QPoint centreOf(QWidget *w)
{
    return w->mapToGlobal(w->rect().center());
}

} // namespace

class FlatStylingTest : public QObject
{
    Q_OBJECT

private slots:
    void passStylesInputControlsOnly();
    void passLeavesGeometryAndInsetsTheBox();
    void focusAndMouseDriveTheState();
    void focusedControlStartsNoTimer();
    void comboListOpenAndClosed();
    void attachDropsTheEarlierControl();
    void coolButtonHoverAndRestColours();
};

void FlatStylingTest::passStylesInputControlsOnly()
{
    Window w;
    const QRect labelGeometry = w.label->geometry();
    ui::applyFlatStyling(&w.window);

    QVERIFY(flatControlOf(w.edit) && flatControlOf(w.edit)->control() == w.edit);
    QVERIFY(!w.edit->hasFrame());
    // Read-only and "skip"-tagged boxes are flat but never framed.
    for (QLineEdit *flatOnly : {w.readOnly, w.skipped}) {
        QVERIFY(!flatControlOf(flatOnly));
        QVERIFY(!flatOnly->hasFrame());
    }
    QVERIFY(flatControlOf(w.combo)->isCombo());
    QVERIFY(!w.combo->hasFrame());
    QVERIFY(flatControlOf(w.editableCombo)->isCombo());
    QVERIFY(flatControlOf(w.text));
    // A label gets an object that attaches nothing and changes nothing.
    QVERIFY(flatControlOf(w.label));
    QVERIFY(!flatControlOf(w.label)->control());
    QVERIFY(!flatControlOf(w.label)->frame());
    QCOMPARE(w.label->geometry(), labelGeometry);
    QCOMPARE(w.label->frameShape(), QFrame::NoFrame);
    // Buttons, spin boxes, grids and the parts inside compound controls are left alone.
    for (QWidget *alone : std::initializer_list<QWidget *>{w.button, w.spin, w.table, w.editableCombo->lineEdit()})
        QVERIFY2(!flatControlOf(alone), qPrintable(alone->objectName()));
    for (QLineEdit *inner : w.spin->findChildren<QLineEdit *>())
        QVERIFY(!flatControlOf(inner));

    // A second pass over the same window styles nothing twice.
    const auto before = w.window.findChildren<FlatControl *>().size();
    ui::applyFlatStyling(&w.window);
    QCOMPARE(w.window.findChildren<FlatControl *>().size(), before);
}

void FlatStylingTest::passLeavesGeometryAndInsetsTheBox()
{
    Window w;
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    const QRect designed = w.edit->geometry();
    ui::applyFlatStyling(&w.window);
    QCOMPARE(w.edit->geometry(), designed); // the layout keeps its place

    QWidget *frame = flatControlOf(w.edit)->frame();
    QCOMPARE(frame->parentWidget(), w.edit->parentWidget());
    QCOMPARE(frame->geometry(), designed.adjusted(-1, -1, 1, 1));
    QVERIFY(frame->testAttribute(Qt::WA_TransparentForMouseEvents));
    const QObjectList order = w.window.children();
    QCOMPARE(order.indexOf(frame), order.indexOf(w.edit) + 1);

    // The box shows one pixel smaller on every side: its outermost pixels take the face colour.
    QTest::qWait(20);
    const QImage image = w.window.grab().toImage();
    const QColor face = w.edit->palette().color(QPalette::Button);
    const QColor base = w.edit->palette().color(QPalette::Base);
    for (const QPoint &p : {designed.topLeft(), designed.bottomRight(), QPoint(designed.center().x(), designed.top())})
        QCOMPARE(image.pixelColor(p), face);
    QCOMPARE(image.pixelColor(designed.topLeft() + QPoint(1, 1)), base);

    // The border follows the box when the layout moves it, and hides with it.
    w.window.resize(400, 600);
    QTRY_COMPARE(frame->geometry(), w.edit->geometry().adjusted(-1, -1, 1, 1));
    w.edit->hide();
    QVERIFY(!frame->isVisible());
    w.edit->show();
    QVERIFY(frame->isVisible());
    // A box hidden before its window is shown keeps its border hidden too.
    Window hiddenFirst;
    ui::applyFlatStyling(&hiddenFirst.window);
    hiddenFirst.edit->hide();
    hiddenFirst.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&hiddenFirst.window));
    QVERIFY(!flatControlOf(hiddenFirst.edit)->frame()->isVisible());
    hiddenFirst.edit->show();
    QVERIFY(flatControlOf(hiddenFirst.edit)->frame()->isVisible());
}

void FlatStylingTest::focusAndMouseDriveTheState()
{
    Window w;
    ui::applyFlatStyling(&w.window);
    QVERIFY(w.showFocused());
    FlatControl *flat = flatControlOf(w.edit);
    w.button->setFocus();
    QTRY_COMPARE(flat->state(), FlatControl::Normal);

    // Focus lights the frame; losing it puts it back to rest.
    w.edit->setFocus();
    QTRY_VERIFY(w.edit->hasFocus());
    QCOMPARE(flat->state(), FlatControl::Hot);
    QVERIFY(!flat->isTracking());
    QVERIFY(sunkenFrame(&w.window, w.edit));
    if (QTest::currentTestFailed())
        return;
    w.button->setFocus();
    QTRY_COMPARE(flat->state(), FlatControl::Normal);

    // The mouse over the unfocused box lights it and starts the timer, which runs while the
    // cursor stays on the box and stops at the first tick after it has left.
    QCursor::setPos(centreOf(w.edit));
    mouseMove(w.edit);
    QCOMPARE(flat->state(), FlatControl::Hot);
    QVERIFY(flat->mouseOver());
    QVERIFY(flat->isTracking());
    QVERIFY(sunkenFrame(&w.window, w.edit));
    if (QTest::currentTestFailed())
        return;
    QTest::qWait(40);
    QVERIFY(flat->isTracking());
    QCOMPARE(flat->state(), FlatControl::Hot);
    QCursor::setPos(centreOf(w.button));
    QTRY_VERIFY(!flat->isTracking());
    QCOMPARE(flat->state(), FlatControl::Normal);
    QVERIFY(!flat->mouseOver());

    // Getting the focus while hot stops the timer and keeps the frame.
    QCursor::setPos(centreOf(w.edit));
    mouseMove(w.edit);
    QVERIFY(flat->isTracking());
    w.edit->setFocus();
    QTRY_VERIFY(w.edit->hasFocus());
    QVERIFY(!flat->isTracking());
    QCOMPARE(flat->state(), FlatControl::Hot);
    // Only the styled box changed state.
    QCOMPARE(flatControlOf(w.combo)->state(), FlatControl::Normal);
}

void FlatStylingTest::focusedControlStartsNoTimer()
{
    Window w;
    ui::applyFlatStyling(&w.window);
    QVERIFY(w.showFocused());
    FlatControl *flat = flatControlOf(w.text);
    w.text->setFocus();
    QTRY_VERIFY(w.text->hasFocus());
    QCursor::setPos(centreOf(w.text));
    mouseMove(w.text);
    QVERIFY(!flat->isTracking());
    QCursor::setPos(centreOf(w.button));
    QCOMPARE(flat->state(), FlatControl::Hot); // the focused box keeps its frame
}

void FlatStylingTest::comboListOpenAndClosed()
{
    Window w;
    ui::applyFlatStyling(&w.window);
    QVERIFY(w.showFocused());
    FlatControl *flat = flatControlOf(w.combo);
    QVERIFY(!flat->droppedDown());
    QVERIFY(!flatControlOf(w.edit)->droppedDown()); // not a combo

    w.combo->setFocus();
    QTRY_VERIFY(w.combo->hasFocus());
    w.combo->showPopup();
    QTRY_VERIFY(flat->droppedDown());
    QCOMPARE(flat->state(), FlatControl::DroppedOpen);
    // The open list starts no hot tracking.
    mouseMove(w.combo);
    QVERIFY(!flat->isTracking());
    w.combo->hidePopup();
    QTRY_VERIFY(!flat->droppedDown());
    QCOMPARE(flat->state(), FlatControl::Hot); // closed, still focused

    // The edit part of an editable combo counts as the combo.
    FlatControl *editable = flatControlOf(w.editableCombo);
    w.editableCombo->lineEdit()->setFocus();
    QTRY_COMPARE(editable->state(), FlatControl::Hot);
    w.edit->setFocus();
    QTRY_COMPARE(editable->state(), FlatControl::Normal);
}

void FlatStylingTest::attachDropsTheEarlierControl()
{
    Window w;
    FlatControl flat;
    flat.attach(w.edit);
    QPointer<QWidget> firstFrame = flat.frame();
    QVERIFY(firstFrame);
    flat.attach(w.combo);
    QVERIFY(!firstFrame);
    QCOMPARE(flat.control(), w.combo);
    QFocusEvent focus(QEvent::FocusIn);
    QCoreApplication::sendEvent(w.edit, &focus);
    QCOMPARE(flat.state(), FlatControl::Normal); // no longer watching the box

    flat.attach(nullptr);
    QVERIFY(!flat.control());
    QVERIFY(!flat.droppedDown());

    // A control destroyed while attached takes nothing down with it.
    auto *doomed = new QLineEdit(&w.window);
    flat.attach(doomed);
    delete doomed;
    QVERIFY(!flat.control());
    QVERIFY(!flat.frame());
}

void FlatStylingTest::coolButtonHoverAndRestColours()
{
    ui::CoolButton hover("Go");
    hover.setHoverColours(true);
    ui::CoolButton plain("Save Now");
    const QColor lightBlue(192, 192, 255), lightYellow(255, 255, 192), orange(255, 128, 0);
    for (ui::CoolButton *b : {&hover, &plain}) {
        QCOMPARE(b->backcolor(), lightBlue);
        QCOMPARE(b->colorhighlight(), QColor(Qt::black));
    }

    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&hover, &enter);
    QCOMPARE(hover.property("backcolor").value<QColor>(), lightYellow);
    for (const char *accent : {"colorhighlight", "colorlightshadow", "colordarkshadow"})
        QCOMPARE(hover.property(accent).value<QColor>(), orange);
    QCOMPARE(hover.palette().color(QPalette::Button), lightYellow);
    QCoreApplication::sendEvent(&hover, &leave);
    QCOMPARE(hover.backcolor(), lightBlue);
    for (const char *accent : {"colorhighlight", "colorlightshadow", "colordarkshadow"})
        QCOMPARE(hover.property(accent).value<QColor>(), QColor(Qt::black));

    // A button without hover colours keeps its designed colours.
    const QColor designedDark = plain.colordarkshadow();
    QCoreApplication::sendEvent(&plain, &enter);
    QCOMPARE(plain.backcolor(), lightBlue);
    QCOMPARE(plain.colordarkshadow(), designedDark);
    QCoreApplication::sendEvent(&plain, &leave);
    QCOMPARE(plain.backcolor(), lightBlue);
    QCOMPARE(plain.colordarkshadow(), designedDark);
}

QTEST_MAIN(FlatStylingTest)
#include "tst_flatstyling.moc"
