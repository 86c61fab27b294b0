#include "TestSupport.h"

#include "editor/GridRules.h"
#include "editor/KeystrokeFilter.h"
#include "editor/NewPhotoNames.h"
#include "editor/PhotoColumns.h"
#include "store/Photos.h"
#include "store/Schema.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTest>
#include <QToolTip>

using editor::InputClass;

Q_DECLARE_METATYPE(editor::InputClass)

class GridRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void everyColumnAndNewValueNamesADeclaredField();
    void keystrokesPerClass_data();
    void keystrokesPerClass();
    void typingIntoAnEditor_data();
    void typingIntoAnEditor();
    void pastedTextIsFiltered();
    void readsAsNumber_data();
    void readsAsNumber();
    void commitChecks_data();
    void commitChecks();
    void labelSearchIgnoresCaseAndOwnRow_data();
    void labelSearchIgnoresCaseAndOwnRow();
    void imageNames_data();
    void imageNames();
    void carriedOverName_data();
    void carriedOverName();
    void pickListPlacement_data();
    void pickListPlacement();
    void pickListSizeShowsEightEntriesAndTheWidest();
};

void GridRulesTest::everyColumnAndNewValueNamesADeclaredField()
{
    // A misspelt field would show an empty column or start a new photo with a value nowhere.
    for (const editor::PhotoColumn &c : editor::defaultPhotoColumns())
        QVERIFY2(store::photoFieldIndex(c.field) > 0, qPrintable(c.field));
    const QVariantMap values = store::newPhotoValues();
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        QVERIFY2(store::photoFieldIndex(it.key()) > 0, qPrintable(it.key()));
    QCOMPARE(values.value("CanopyClosure"), QVariant(0.5));
    QCOMPARE(values.size(), 13);
}

void GridRulesTest::keystrokesPerClass_data()
{
    QTest::addColumn<InputClass>("inputClass");
    QTest::addColumn<QString>("accepted");
    QTest::addColumn<QString>("refused");
    QTest::newRow("file name") << InputClass::FileName << "aZ09 '.-_()\b"
                               << "\\/:*?|<>,\"";
    QTest::newRow("free text") << InputClass::FreeText << "aZ09 '.-_\\/:*?|<>,\b"
                               << "\"";
    QTest::newRow("unsigned") << InputClass::UnsignedNumber << "0123456789.\b"
                              << "-+ ,aeE";
    QTest::newRow("signed") << InputClass::SignedNumber << "0123456789.-\b"
                            << "+ ,aeE";
    QTest::newRow("code") << InputClass::Code << "0123456789.\b"
                          << "-aZ ";
}

void GridRulesTest::keystrokesPerClass()
{
    QFETCH(InputClass, inputClass);
    QFETCH(QString, accepted);
    QFETCH(QString, refused);
    for (const QChar c : accepted)
        QVERIFY2(editor::acceptsCharacter(inputClass, c), qPrintable(QString(c)));
    for (const QChar c : refused)
        QVERIFY2(!editor::acceptsCharacter(inputClass, c), qPrintable(QString(c)));
}

void GridRulesTest::typingIntoAnEditor_data()
{
    QTest::addColumn<InputClass>("inputClass");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letters in a class cell") << InputClass::UnsignedNumber << "1a-2.5"
                                             << "12.5";
    QTest::newRow("minus in a signed cell") << InputClass::SignedNumber << "-0x.5"
                                            << "-0.5";
    QTest::newRow("two points can be typed") << InputClass::SignedNumber << "1.2.3"
                                             << "1.2.3";
    QTest::newRow("file name") << InputClass::FileName << "a/b?c,d\"e f'g"
                               << "abcde f'g";
}

void GridRulesTest::typingIntoAnEditor()
{
    QFETCH(InputClass, inputClass);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QLineEdit edit;
    editor::KeystrokeFilter::install(&edit, inputClass);
    QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.text(), shown);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.text(), shown.chopped(1));
}

// A refused key or paste leaves the text as it was, with a tooltip saying what the column takes
// ("0,5" once became 5.00 without a sign).
void GridRulesTest::pastedTextIsFiltered()
{
    QLineEdit edit;
    editor::KeystrokeFilter::install(&edit, InputClass::UnsignedNumber);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QTest::keyClicks(&edit, "0,");
    QCOMPARE(edit.text(), QString("0"));
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), QString("Numbers only: digits and one decimal point"));
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());

    edit.clear();
    QGuiApplication::clipboard()->setText("0,5\n");
    if (QGuiApplication::clipboard()->text() != "0,5\n")
        QSKIP("no clipboard on this platform");
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit.text(), QString());
    QTRY_VERIFY(QToolTip::isVisible());
    QGuiApplication::clipboard()->setText("12.5\n");
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit.text(), QString("12.5"));

    // A photo name takes no double quote, typed or pasted.
    QLineEdit name;
    editor::KeystrokeFilter::install(&name, InputClass::FreeText);
    QTest::keyClicks(&name, "a\"b");
    QCOMPARE(name.text(), QString("ab"));
    QGuiApplication::clipboard()->setText("say \"x\"");
    QTest::keyClick(&name, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(name.text(), QString("ab"));
    QCOMPARE(QToolTip::text(), QString("A text cannot hold a double quote (\")"));
}

void GridRulesTest::readsAsNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("number");
    QTest::newRow("integer") << "12" << true;
    QTest::newRow("negative fraction") << "-0.5" << true;
    QTest::newRow("trailing point") << "3." << true;
    QTest::newRow("leading point") << ".5" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("minus alone") << "-" << false;
    QTest::newRow("point alone") << "." << false;
    QTest::newRow("two points") << "1.2.3" << false;
    QTest::newRow("inner minus") << "1-2" << false;
    QTest::newRow("exponent") << "1e3" << false;
    QTest::newRow("comma decimal") << "1,5" << false;
    QTest::newRow("blank") << " 1" << false;
    QTest::newRow("plus") << "+1" << false;
}

void GridRulesTest::readsAsNumber()
{
    QFETCH(QString, text);
    QFETCH(bool, number);
    QCOMPARE(editor::readsAsNumber(text), number);
}

void GridRulesTest::commitChecks_data()
{
    QTest::addColumn<InputClass>("inputClass");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("oldValue");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("message");
    const QString notNumeric = "Value entered is not numeric";
    const QString notUnique = "Photo Label must be unique within this book";
    QTest::newRow("-5 floors") << InputClass::SignedNumber << 12 << "-5" << QVariant(0.0) << "-1" << false << "";
    QTest::newRow("-1 stays") << InputClass::SignedNumber << 12 << "-1" << QVariant(0.0) << "-1" << false << "";
    QTest::newRow("-0.5 stays") << InputClass::SignedNumber << 12 << "-0.5" << QVariant(0.0) << "-0.5" << false << "";
    QTest::newRow("1.2.3 refused") << InputClass::SignedNumber << 18 << "1.2.3" << QVariant(1.0) << "1.2.3" << true
                                   << notNumeric;
    QTest::newRow("empty herb refused, 0 left")
        << InputClass::SignedNumber << 9 << "" << QVariant(2.0) << "0" << true << notNumeric;
    QTest::newRow("empty class stores 0")
        << InputClass::UnsignedNumber << 2 << "" << QVariant(3.0) << "0" << false << "";
    QTest::newRow("class text refused") << InputClass::UnsignedNumber << 4 << "1.2.3" << QVariant(3.0) << "1.2.3"
                                        << true << notNumeric;
    QTest::newRow("path in label") << InputClass::FileName << 0 << "x/y:z\"w" << QVariant("mine") << "x/y:z\"w" << true
                                   << "Photo ID cannot contain \\ / : * ? | < > , or a double quote";
    QTest::newRow("empty name stays empty") << InputClass::FreeText << 1 << "" << QVariant("x") << "" << false << "";
    QTest::newRow("empty photo file") << InputClass::FileName << 20 << "" << QVariant("P1.jpg") << "0" << false << "";
    QTest::newRow("label taken") << InputClass::FileName << 0 << "taken" << QVariant("mine") << "taken" << true
                                 << notUnique;
    QTest::newRow("first label taken") << InputClass::FileName << 0 << "taken" << QVariant() << "taken" << true
                                       << notUnique;
    QTest::newRow("unchanged label not searched")
        << InputClass::FileName << 0 << "taken" << QVariant("taken") << "taken" << false << "";
    QTest::newRow("free label") << InputClass::FileName << 0 << "free" << QVariant("mine") << "free" << false << "";
    QTest::newRow("empty label kept") << InputClass::FileName << 0 << "" << QVariant("mine") << "" << false << "";
}

void GridRulesTest::commitChecks()
{
    QFETCH(InputClass, inputClass);
    QFETCH(int, position);
    QFETCH(QString, text);
    QFETCH(QVariant, oldValue);
    QFETCH(QString, stored);
    QFETCH(bool, refused);
    QFETCH(QString, message);
    int searches = 0;
    const auto taken = [&searches](const QString &label) {
        ++searches;
        return label == "taken";
    };
    const editor::CommitCheck check = editor::checkCommit(inputClass, position, text, oldValue, taken);
    QCOMPARE(check.text, stored);
    QCOMPARE(check.refused, refused);
    QCOMPARE(check.message.text, message);
    if (message.startsWith("Photo"))
        QCOMPARE(check.message.icon, ui::Icon::Exclamation);
    else if (!message.isEmpty())
        QCOMPARE(check.message.icon, ui::Icon::None);
    if (position != 0 || oldValue == QVariant(text))
        QCOMPARE(searches, 0);
}

void GridRulesTest::labelSearchIgnoresCaseAndOwnRow_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("editedRow");
    QTest::addColumn<bool>("clash");
    QTest::newRow("other row, other case") << "ab" << 0 << true;
    QTest::newRow("own row, case changed") << "Ab" << 1 << false;
    QTest::newRow("absent") << "zz" << 0 << false;
    QTest::newRow("accented case folds") << QString::fromUtf8("élan") << 0 << true;
    QTest::newRow("empty never clashes") << "" << 0 << false;
}

void GridRulesTest::labelSearchIgnoresCaseAndOwnRow()
{
    QFETCH(QString, label);
    QFETCH(int, editedRow);
    QFETCH(bool, clash);
    QStandardItemModel model(4, 2);
    const QVariantList labels{"x", "AB", QString::fromUtf8("ÉLAN"), QVariant()};
    for (int row = 0; row < 4; ++row)
        model.setData(model.index(row, 0), labels.at(row));
    model.setData(model.index(0, 1), "zz"); // another column is not searched
    QCOMPARE(editor::labelInOtherRow(model, 0, label, editedRow), clash);
}

void GridRulesTest::imageNames_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("fileType");
    QTest::addColumn<QString>("dataPic");
    QTest::addColumn<QString>("photoPic");
    QTest::newRow("jpeg") << "12" << 0 << "D12.jpg"
                          << "P12.jpg";
    QTest::newRow("gif") << "12" << 1 << "D12.gif"
                         << "P12.gif";
    QTest::newRow("empty label") << "" << 0 << "D.jpg"
                                 << "P.jpg";
    QTest::newRow("blanks kept") << " a " << 0 << "D a .jpg"
                                 << "P a .jpg";
    QTest::newRow("no selection is gif") << "7" << -1 << "D7.gif"
                                         << "P7.gif";
}

void GridRulesTest::imageNames()
{
    QFETCH(QString, label);
    QFETCH(int, fileType);
    QFETCH(QString, dataPic);
    QFETCH(QString, photoPic);
    const editor::ImageNames names = editor::imageNamesFor(label, editor::fileTypeExtension(fileType));
    QCOMPARE(names.dataPic, dataPic);
    QCOMPARE(names.photoPic, photoPic);
}

void GridRulesTest::carriedOverName_data()
{
    QTest::addColumn<bool>("current");
    QTest::addColumn<QVariant>("name");
    QTest::addColumn<QString>("carried");
    QTest::newRow("named") << true << QVariant("Ridge") << "Ridge";
    QTest::newRow("null name") << true << QVariant() << "New";
    QTest::newRow("empty name stays empty") << true << QVariant("") << "";
    QTest::newRow("no current photo") << false << QVariant("Ridge") << "New";
}

void GridRulesTest::carriedOverName()
{
    QFETCH(bool, current);
    QFETCH(QVariant, name);
    QFETCH(QString, carried);
    QCOMPARE(editor::carriedOverName(current, name), carried);
}

void GridRulesTest::pickListPlacement_data()
{
    // A window of 600 by 400 pixels, a row 20 high, a list of 200 by 150. The list touches its
    // cell (it once opened about 33 pixels below it).
    QTest::addColumn<QRect>("cell");
    QTest::addColumn<QPoint>("placed");
    QTest::newRow("fits below: the specified place") << QRect(100, 50, 50, 20) << QPoint(100, 70);
    QTest::newRow("would reach below the window: above the row") << QRect(100, 300, 50, 20) << QPoint(100, 150);
    QTest::newRow("right edge: moved left") << QRect(500, 50, 50, 20) << QPoint(400, 70);
    QTest::newRow("bottom right corner: above and left") << QRect(550, 370, 50, 20) << QPoint(400, 220);
    QTest::newRow("column partly scrolled out: left edge of the window") << QRect(-30, 50, 50, 20) << QPoint(0, 70);
}

void GridRulesTest::pickListPlacement()
{
    QFETCH(QRect, cell);
    QFETCH(QPoint, placed);
    const QRect client(0, 0, 600, 400);
    const QSize list(200, 150);
    QCOMPARE(editor::placePickList(cell, list, client), placed);
}

void GridRulesTest::pickListSizeShowsEightEntriesAndTheWidest()
{
    // Designed size large enough: kept.
    QCOMPARE(editor::pickListSize(QSize(300, 200), 100, 15, 1, 16), QSize(300, 200));
    // Eight entries of 15 and a 300-pixel entry beside a 16-pixel scroll bar, inside a 1-pixel frame.
    QCOMPARE(editor::pickListSize(QSize(155, 80), 300, 15, 1, 16), QSize(318, 122));
}

QTEST_MAIN(GridRulesTest)
#include "tst_gridrules.moc"
