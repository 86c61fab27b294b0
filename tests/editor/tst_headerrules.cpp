#include "editor/HeaderRules.h"
#include "store/NameRules.h"

#include <QTest>

using editor::HeaderTexts;

class HeaderRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void numericValueOfABox_data();
    void numericValueOfABox();
    void classTexts_data();
    void classTexts();
    void identifierFilter();
    void readsBookDates_data();
    void readsBookDates();
    void validation_data();
    void validation();
    void duplicateQueryGetsTheTrimmedIdentifier();
};

void HeaderRulesTest::numericValueOfABox_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("n/a") << " n/a" << 0.0;
    QTest::newRow("word") << "six" << 0.0;
    QTest::newRow("lone point") << "." << 0.0;
    QTest::newRow("whole") << "6" << 6.0;
    QTest::newRow("decimal") << "6.5" << 6.5;
    QTest::newRow("leading blanks") << "  12" << 12.0;
    QTest::newRow("unit after") << "5.5 in" << 5.5;
    QTest::newRow("trailing point") << "7." << 7.0;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("negative") << "-2" << -2.0;
    QTest::newRow("comma is not a decimal mark") << "3,5" << 3.0;
}

void HeaderRulesTest::numericValueOfABox()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(editor::leadingNumber(text), value);
}

void HeaderRulesTest::classTexts_data()
{
    QTest::addColumn<double>("bound");
    QTest::addColumn<QString>("next");
    QTest::addColumn<QString>("closedFrom31");
    QTest::newRow("6") << 6.0 << "6.1"
                       << "3.1\"-\n6\"\n(t/ac)";
    QTest::newRow("9") << 9.0 << "9.1"
                       << "3.1\"-\n9\"\n(t/ac)";
    QTest::newRow("12") << 12.0 << "12.1"
                        << "3.1\"-\n12\"\n(t/ac)";
    QTest::newRow("6.5 shows whole inches") << 6.5 << "6.1"
                                            << "3.1\"-\n6\"\n(t/ac)";
    QTest::newRow("large") << 123456.9 << "123456.1"
                           << "3.1\"-\n123456\"\n(t/ac)";
}

void HeaderRulesTest::classTexts()
{
    QFETCH(double, bound);
    QFETCH(QString, next);
    QFETCH(QString, closedFrom31);
    QCOMPARE(editor::nextLowerBound(bound), next);
    QCOMPARE(editor::closedClassHeading("3.1", bound), closedFrom31);
    QCOMPARE(editor::openClassHeading(next), "\n" + next + "\" +\n(t/ac)");
}

void HeaderRulesTest::identifierFilter()
{
    for (QChar c : QString("\\/:*?|<>,\"\t\n"))
        QVERIFY2(store::isRefusedNameCharacter(c), qPrintable(QString(c)));
    for (QChar c : QString("aZ09 '.-_\u00e9"))
        QVERIFY2(!store::isRefusedNameCharacter(c), qPrintable(QString(c)));
    // Both ends of the control characters, and the characters next to them.
    for (char16_t c : {u'\u0000', u'\u0001', u'\u001f', u'\u007f'})
        QVERIFY2(store::isRefusedNameCharacter(QChar(c)), qPrintable(QString::number(int(c), 16)));
    for (char16_t c : {u'\u0020', u'\u007e'})
        QVERIFY2(!store::isRefusedNameCharacter(QChar(c)), qPrintable(QString::number(int(c), 16)));
    QVERIFY(store::holdsRefusedNameCharacter(QStringLiteral("Book\u001f1")));
}

void HeaderRulesTest::readsBookDates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    QTest::newRow("mm/dd/yyyy") << "05/17/2001" << QDate(2001, 5, 17);
    QTest::newRow("m/d/yyyy") << "5/7/2001" << QDate(2001, 5, 7);
    QTest::newRow("iso") << "2001-05-17" << QDate(2001, 5, 17);
    QTest::newRow("no such day") << "02/30/2001" << QDate();
    QTest::newRow("two-digit year") << "5/7/01" << QDate();
    QTest::newRow("year only") << "2001" << QDate();
    QTest::newRow("empty") << "" << QDate();
    QTest::newRow("word") << "spring" << QDate();
}

void HeaderRulesTest::readsBookDates()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    QCOMPARE(editor::readBookDate(text), date);
    if (date.isValid())
        QCOMPARE(editor::readBookDate(editor::bookDateText(date)), date);
}

void HeaderRulesTest::validation_data()
{
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sc4");
    QTest::addColumn<QString>("sc5");
    QTest::addColumn<QString>("sc6");
    QTest::addColumn<QStringList>("problems");
    const QString id = "Please provide a Book Identfier";
    const QString pathChars = "The Book identifier cannot contain \\ / : * ? | < > , or a double quote";
    const QString dup = "The Book identifier already exists";
    const QString desc = "Please provide a Book Description";
    const QString c4 = "Size class 4 is not in ascending order";
    const QString c5 = "Size class 5 is not in ascending order";
    const QString c6 = "Size class 6 is not in ascending order";
    // One row: the five boxes as typed, and the problems the save reports, in order.
    const auto row = [](const char *tag, const QString &identifier, const QString &name, const QString &sc4,
                        const QString &sc5, const QString &sc6, const QStringList &problems) {
        QTest::newRow(tag) << identifier << name << sc4 << sc5 << sc6 << problems;
    };
    row("valid", "Int-46", "Interior", "", "", "", {});
    row("untitled and no name", "Untitled", "", "", "", "", {id, desc});
    row("lower-case untitled", "untitled", "x", "", "", "", {id});
    row("pasted path characters", "a/b:c", "x", "", "", "", {pathChars});
    row("empty identifier", "", "x", "", "", "", {id});
    row("blank identifier", "   ", "x", "", "", "", {id});
    row("dot", ".", "x", "", "", "", {id});
    row("dot dot", " .. ", "x", "", "", "", {id});
    row("name Untitled", "A", "Untitled", "", "", "", {desc});
    row("taken", "TAKEN", "x", "", "", "", {dup});
    row("class 4 at 3", "A", "x", "3", "", "", {c4});
    row("class 4 at 3.5", "A", "x", "3.5", "", "", {});
    row("class 5 equal", "A", "x", "6", "6", "", {c5});
    row("class 5 empty skips", "A", "x", "6", "", "", {});
    row("class 4 empty, 5 at 4", "A", "x", "", "4", "", {});
    row("class 6 below 5", "A", "x", "6", "9", "8", {c6});
    row("everything", "Untitled", "", "2", "1", "1", {id, desc, c4, c5, c6});
}

void HeaderRulesTest::validation()
{
    QFETCH(QString, identifier);
    QFETCH(QString, name);
    QFETCH(QString, sc4);
    QFETCH(QString, sc5);
    QFETCH(QString, sc6);
    QFETCH(QStringList, problems);
    const auto taken = [](const QString &label) { return label.compare("taken", Qt::CaseInsensitive) == 0; };
    QCOMPARE(editor::bookProblems(HeaderTexts{identifier, name, sc4, sc5, sc6}, taken), problems);
}

void HeaderRulesTest::duplicateQueryGetsTheTrimmedIdentifier()
{
    QStringList asked;
    const auto taken = [&](const QString &label) {
        asked << label;
        return false;
    };
    editor::bookProblems(HeaderTexts{"  Int-46 ", "x", "", "", ""}, taken);
    QCOMPARE(asked, QStringList{"Int-46"});
    QCOMPARE(editor::problemsMessage({"a", "b"}),
             QString("Please correct the following problems with this photo book: \n\na\nb\n"));
}

QTEST_MAIN(HeaderRulesTest)
#include "tst_headerrules.moc"
