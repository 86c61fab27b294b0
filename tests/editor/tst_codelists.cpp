#include "TestSupport.h"

#include "editor/AddCodeDialog.h"
#include "editor/CodeFile.h"
#include "editor/PickLists.h"
#include "ui/CoolButton.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

using editor::CodeRecord;
using editor::PickList;
using testing::ProgramDir;
using testing::ScriptedMessages;

Q_DECLARE_METATYPE(editor::PickList)

namespace {

QStringList flatten(const QVector<CodeRecord> &records)
{
    QStringList out;
    for (const CodeRecord &r : records)
        out << r.code + QLatin1Char('|') + r.description;
    return out;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QStringList entries(const QListWidget &list)
{
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out << list.item(i)->text();
    return out;
}

// A stand-in for the editor window: the dialog finds the two code lists by name.
struct EditorWindow
{
    EditorWindow()
    {
        veg->setObjectName("lstVegType");
        act->setObjectName("lstActType");
        editor::fillList(veg, {" ", "PIPO Ponderosa pine", "New Code..."});
        editor::fillList(act, {" ", "New Code..."});
    }
    QWidget window;
    QListWidget *veg = new QListWidget(&window);
    QListWidget *act = new QListWidget(&window);
};

} // namespace

class CodeListsTest : public QObject
{
    Q_OBJECT

private slots:
    void readsRecords_data();
    void readsRecords();
    void faultKeepsRecordsBeforeIt_data();
    void faultKeepsRecordsBeforeIt();
    void missingFileIsNamed();
    void shippedFilesRead();
    void appendWritesOneQuotedUtf8Record_data();
    void appendWritesOneQuotedUtf8Record();
    void appendRefusesWhatTheFileCannotHold();
    void codeListLayoutAndStoredCode_data();
    void codeListLayoutAndStoredCode();
    void fixedModelTables();
    void dialogCaptionFollowsTag_data();
    void dialogCaptionFollowsTag();
    void dialogAddsCodeAboveNewCode();
    void dialogRefusesBadInputAndStaysOpen_data();
    void dialogRefusesBadInputAndStaysOpen();
    void dialogFailedAppendChangesNothing();
    void dialogCancelHandsBackNothing();
};

void CodeListsTest::readsRecords_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("empty") << QByteArray() << QStringList();
    QTest::newRow("quoted crlf") << QByteArray("\"PIPO\",\"Ponderosa pine\"\r\n\"MC\",\"Mixed, conifer\"\r\n")
                                 << QStringList{"PIPO|Ponderosa pine", "MC|Mixed, conifer"};
    QTest::newRow("bare lf, blanks dropped")
        << QByteArray("  AB , Aspen birch \nCD,Cedar") << QStringList{"AB|Aspen birch", "CD|Cedar"};
    QTest::newRow("quoted keeps blanks") << QByteArray("\" X \",\" y \"\r\n") << QStringList{" X | y "};
    QTest::newRow("blank lines skipped") << QByteArray("A,a\r\n\r\n\r\nB,b\r\n") << QStringList{"A|a", "B|b"};
    QTest::newRow("utf8 with bom") << QByteArray("\xEF\xBB\xBF\"\xC3\x89L\",\"\xC3\xA9lan\"\r\n")
                                   << QStringList{QString::fromUtf8("ÉL|élan")};
    QTest::newRow("windows-1252") << QByteArray("\"\xC9L\",\"\xE9lan \x96 \x80 l\x92"
                                                "arbre\"\r\n")
                                  << QStringList{QString::fromUtf8("ÉL|élan – € l’arbre")};
    QTest::newRow("mixed lines") << QByteArray("\"A\",\"\xE9t\xE9\"\r\n\"B\",\"\xC3\xA9t\xC3\xA9\"\r\n")
                                 << QStringList{QString::fromUtf8("A|été"), QString::fromUtf8("B|été")};
}

void CodeListsTest::readsRecords()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    ProgramDir dir;
    QVERIFY(dir.writeFile("Vegcodes.txt", bytes));
    const editor::CodeFileContents read = editor::readCodeFile(dir.filePath("Vegcodes.txt"));
    QCOMPARE(read.error, QString());
    QCOMPARE(flatten(read.records), expected);
}

void CodeListsTest::faultKeepsRecordsBeforeIt_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("kept");
    QTest::addColumn<QString>("line");
    QTest::newRow("last lacks description") << QByteArray("\"A\",\"a\"\r\n\"B\"\r\n") << QStringList{"A|a"} << "line 2";
    QTest::newRow("quote not closed") << QByteArray("A,a\nB,b\n\"C,c\nD,d\n") << QStringList{"A|a", "B|b"} << "line 3";
    QTest::newRow("first line bare code") << QByteArray("PIPO\r\nA,a\r\n") << QStringList() << "line 1";
}

void CodeListsTest::faultKeepsRecordsBeforeIt()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, kept);
    QFETCH(QString, line);
    ProgramDir dir;
    QVERIFY(dir.writeFile("Actcodes.txt", bytes));
    const editor::CodeFileContents read = editor::readCodeFile(dir.filePath("Actcodes.txt"));
    QCOMPARE(flatten(read.records), kept);
    QVERIFY2(read.error.contains(QDir::toNativeSeparators(dir.filePath("Actcodes.txt"))), qPrintable(read.error));
    QVERIFY2(read.error.contains(line), qPrintable(read.error));
    QCOMPARE(editor::codeListEntries(read.records).constFirst(), QString(" "));
    QCOMPARE(editor::codeListEntries(read.records).constLast(), QString("New Code..."));
}

void CodeListsTest::missingFileIsNamed()
{
    ProgramDir dir;
    const editor::CodeFileContents read = editor::readCodeFile(dir.filePath("Vegcodes.txt"));
    QVERIFY(read.records.isEmpty());
    QVERIFY2(read.error.contains(QDir::toNativeSeparators(dir.filePath("Vegcodes.txt"))), qPrintable(read.error));
}

void CodeListsTest::shippedFilesRead()
{
    ProgramDir dir;
    QVERIFY(dir.copyCodeFiles());
    for (const char *name : {"Vegcodes.txt", "Actcodes.txt"}) {
        const editor::CodeFileContents read = editor::readCodeFile(dir.filePath(name));
        QCOMPARE(read.error, QString());
        QVERIFY(read.records.size() > 3);
    }
}

void CodeListsTest::appendWritesOneQuotedUtf8Record_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("missing file") << QByteArray() << QByteArray("\"ÉT\",\"Été, sec\"\r\n");
    QTest::newRow("ends with line end") << QByteArray("\"A\",\"a\"\r\n")
                                        << QByteArray("\"A\",\"a\"\r\n\"ÉT\",\"Été, sec\"\r\n");
    QTest::newRow("last line unterminated")
        << QByteArray("\"A\",\"a\"") << QByteArray("\"A\",\"a\"\r\n\"ÉT\",\"Été, sec\"\r\n");
}

void CodeListsTest::appendWritesOneQuotedUtf8Record()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    ProgramDir dir;
    if (!before.isEmpty())
        QVERIFY(dir.writeFile("Vegcodes.txt", before));
    const QString path = dir.filePath("Vegcodes.txt");
    QVERIFY(editor::appendCodeRecord(path, QString::fromUtf8("ÉT"), QString::fromUtf8("Été, sec")));
    QCOMPARE(fileBytes(path), after);
    QCOMPARE(flatten(editor::readCodeFile(path).records).constLast(), QString::fromUtf8("ÉT|Été, sec"));
}

void CodeListsTest::appendRefusesWhatTheFileCannotHold()
{
    ProgramDir dir;
    const QString path = dir.filePath("Actcodes.txt");
    QVERIFY(editor::appendCodeRecord(path, "A\"B", "x").is(store::FailureKind::Invalid));
    QVERIFY(editor::appendCodeRecord(path, "AB", "two\nlines").is(store::FailureKind::Invalid));
    QVERIFY(!QFile::exists(path));
    QVERIFY(QDir(dir.path()).mkdir("Vegcodes.txt"));
    QVERIFY(editor::appendCodeRecord(dir.filePath("Vegcodes.txt"), "AB", "x").is(store::FailureKind::Io));
}

void CodeListsTest::codeListLayoutAndStoredCode_data()
{
    QTest::addColumn<PickList>("list");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("stored");
    QTest::newRow("veg three letters") << PickList::VegType << "ABC"
                                       << "ABC  Aspen"
                                       << "ABC";
    QTest::newRow("veg five letters") << PickList::VegType << "GRASS"
                                      << "GRASSAspen"
                                      << "GRASS";
    QTest::newRow("veg six letters run on") << PickList::VegType << "ABCDEF"
                                            << "ABCDEFAspen"
                                            << "ABCDE";
    QTest::newRow("act three letters") << PickList::ActType << "THN"
                                       << "THN  Aspen"
                                       << "THN";
    QTest::newRow("act long code cut") << PickList::ActType << "ABCD"
                                       << "ABCD Aspen"
                                       << "ABC";
    QTest::newRow("act two letters") << PickList::ActType << "CC"
                                     << "CC   Aspen"
                                     << "CC";
}

void CodeListsTest::codeListLayoutAndStoredCode()
{
    QFETCH(PickList, list);
    QFETCH(QString, code);
    QFETCH(QString, entry);
    QFETCH(QString, stored);
    const QStringList entries = editor::codeListEntries({{code, "Aspen"}});
    QCOMPARE(entries, (QStringList{" ", entry, "New Code..."}));
    QCOMPARE(editor::storedCode(list, entries.at(1)), stored);
    QCOMPARE(editor::storedCode(list, " "), QString());
    QCOMPARE(editor::codeListEntries({}), (QStringList{" ", "New Code..."}));
}

void CodeListsTest::fixedModelTables()
{
    const QStringList fm = editor::fireBehaviour2005Entries();
    const QStringList fm2 = editor::fireBehaviour1982Entries();
    const QStringList dr = editor::dangerRatingEntries();
    QCOMPARE(fm.size(), 59);
    QCOMPARE(fm2.size(), 14);
    QCOMPARE(dr.size(), 21);
    QCOMPARE(fm.mid(0, 14), fm2);
    QCOMPARE(fm.at(14), QString("NB01 Urban / Developed"));
    QCOMPARE(fm.constLast(), QString("SB04 High load blowdown"));
    QCOMPARE(dr.at(13), QString("N Sawgrass")); // there is no M
    QCOMPARE(editor::storedCode(PickList::FM2, "FB10 Timber(litter And understory)"), QString("FB10"));
    QCOMPARE(editor::storedCode(PickList::DR, "A Annual Grass"), QString("A"));
    for (const QStringList &list : {fm, fm2, dr})
        QCOMPARE(list.constFirst(), QString(" "));
    // Every model code is stored whole.
    for (int i = 1; i < fm.size(); ++i)
        QCOMPARE(editor::storedCode(PickList::FM, fm.at(i)), fm.at(i).section(' ', 0, 0));
}

void CodeListsTest::dialogCaptionFollowsTag_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("caption");
    QTest::newRow("Veg") << "Veg"
                         << "Add a new Vegetation Code";
    QTest::newRow("Act") << "Act"
                         << "Add a new Activity Code";
    QTest::newRow("other") << "veg"
                           << "Add Code";
}

void CodeListsTest::dialogCaptionFollowsTag()
{
    QFETCH(QString, tag);
    QFETCH(QString, caption);
    ProgramDir dir;
    ScriptedMessages messages;
    EditorWindow editorWindow;
    editor::AddCodeDialog dialog(tag, dir.path(), messages, &editorWindow.window);
    QCOMPARE(dialog.windowTitle(), caption);
    auto *ok = dialog.findChild<ui::CoolButton *>("cmdOK");
    auto *cancel = dialog.findChild<ui::CoolButton *>("cmdCancel");
    QVERIFY(ok && cancel);
    QVERIFY(!ok->hasHoverColours() && !cancel->hasHoverColours());
    QCOMPARE(ok->toolTip(), QString("Save new code"));
    QCOMPARE(cancel->toolTip(), QString("Exit "));
    QVERIFY(dialog.findChild<QLineEdit *>("txtCode") && dialog.findChild<QLineEdit *>("txtDescription"));
    if (caption == "Add Code") {
        // With an unknown tag OK does nothing and the dialog stays open.
        dialog.open();
        dialog.findChild<QLineEdit *>("txtCode")->setText("AB");
        ok->click();
        QVERIFY(dialog.isVisible());
        QVERIFY(!QFile::exists(dir.filePath("Vegcodes.txt")));
    }
}

void CodeListsTest::dialogAddsCodeAboveNewCode()
{
    ProgramDir dir;
    QVERIFY(dir.writeFile("Vegcodes.txt", "\"PIPO\",\"Ponderosa pine\"\r\n"));
    ScriptedMessages messages;
    EditorWindow editorWindow;
    editor::AddCodeDialog dialog("Veg", dir.path(), messages, &editorWindow.window);
    dialog.open();
    dialog.findChild<QLineEdit *>("txtCode")->setText("ABC");
    dialog.findChild<QLineEdit *>("txtDescription")->setText("Aspen, birch");
    dialog.findChild<ui::CoolButton *>("cmdOK")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.code(), QString("ABC"));
    QCOMPARE(messages.count(), 0);
    QCOMPARE(entries(*editorWindow.veg), (QStringList{" ", "PIPO Ponderosa pine", "ABC  Aspen, birch", "New Code..."}));
    QCOMPARE(entries(*editorWindow.act), (QStringList{" ", "New Code..."}));
    // The next opening shows it in the same place.
    QCOMPARE(editor::codeListEntries(editor::readCodeFile(dir.filePath("Vegcodes.txt")).records),
             entries(*editorWindow.veg));
}

void CodeListsTest::dialogRefusesBadInputAndStaysOpen_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("message");
    QTest::newRow("quote in code") << "Veg"
                                   << "A\"B"
                                   << "x"
                                   << "The code cannot contain a double quote or a line break.";
    QTest::newRow("quote in description") << "Act"
                                          << "AB"
                                          << "say \"x\""
                                          << "The description cannot contain a double quote or a line break.";
    QTest::newRow("veg code of six") << "Veg"
                                     << "ABCDEF"
                                     << "x"
                                     << "The code can be at most 5 characters long.";
    QTest::newRow("act code of four") << "Act"
                                      << "ABCD"
                                      << "x"
                                      << "The code can be at most 3 characters long.";
}

void CodeListsTest::dialogRefusesBadInputAndStaysOpen()
{
    QFETCH(QString, tag);
    QFETCH(QString, code);
    QFETCH(QString, description);
    QFETCH(QString, message);
    ProgramDir dir;
    ScriptedMessages messages;
    EditorWindow editorWindow;
    const QStringList vegBefore = entries(*editorWindow.veg);
    editor::AddCodeDialog dialog(tag, dir.path(), messages, &editorWindow.window);
    dialog.open();
    dialog.findChild<QLineEdit *>("txtCode")->setText(code);
    dialog.findChild<QLineEdit *>("txtDescription")->setText(description);
    dialog.findChild<ui::CoolButton *>("cmdOK")->click();
    QVERIFY(dialog.isVisible());
    QCOMPARE(messages.texts(), QStringList{message});
    QCOMPARE(entries(*editorWindow.veg), vegBefore);
    QCOMPARE(entries(*editorWindow.act), (QStringList{" ", "New Code..."}));
    QVERIFY(!QFile::exists(dir.filePath("Vegcodes.txt")) && !QFile::exists(dir.filePath("Actcodes.txt")));
}

void CodeListsTest::dialogFailedAppendChangesNothing()
{
    ProgramDir dir;
    QVERIFY(QDir(dir.path()).mkdir("Actcodes.txt")); // a folder cannot be appended to
    ScriptedMessages messages;
    EditorWindow editorWindow;
    editor::AddCodeDialog dialog("Act", dir.path(), messages, &editorWindow.window);
    dialog.open();
    dialog.findChild<QLineEdit *>("txtCode")->setText("XY");
    dialog.findChild<ui::CoolButton *>("cmdOK")->click();
    QCOMPARE(messages.count(), 1);
    QVERIFY(messages.last().message.text.contains("Actcodes.txt"));
    QVERIFY(dialog.isVisible());
    QCOMPARE(entries(*editorWindow.act), (QStringList{" ", "New Code..."}));
}

void CodeListsTest::dialogCancelHandsBackNothing()
{
    ProgramDir dir;
    ScriptedMessages messages;
    EditorWindow editorWindow;
    editor::AddCodeDialog dialog("Veg", dir.path(), messages, &editorWindow.window);
    dialog.open();
    dialog.findChild<QLineEdit *>("txtCode")->setText("ABC");
    dialog.findChild<ui::CoolButton *>("cmdCancel")->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialog.code(), QString());
    QVERIFY(!QFile::exists(dir.filePath("Vegcodes.txt")));
    QCOMPARE(entries(*editorWindow.veg).size(), 3);
}

QTEST_MAIN(CodeListsTest)
#include "tst_codelists.moc"
