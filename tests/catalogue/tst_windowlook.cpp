#include "TestSupport.h"

#include "catalogue/CatalogueWindow.h"
#include "catalogue/FolderPicker.h"
#include "editor/AddCodeDialog.h"
#include "editor/BookEditor.h"
#include "install/ImportWindow.h"
#include "ui/CoolButton.h"
#include "ui/FlatControl.h"

#include <QComboBox>
#include <QEnterEvent>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

using testing::ProgramDir;
using testing::ScriptedMessages;
using ui::flatControlOf;

namespace {

const QColor lightYellow(255, 255, 192);
const QColor lightBlue(192, 192, 255);

// Each listed button lights up while the mouse is over it; every other command button of the
// window keeps its colours.
[[nodiscard]] bool hoverButtonsLight(QWidget *window, const QStringList &hover)
{
    const QList<ui::CoolButton *> buttons = window->findChildren<ui::CoolButton *>();
    QStringList lit;
    for (ui::CoolButton *b : buttons) {
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(b, &enter);
        if (b->backcolor() == lightYellow)
            lit << b->objectName();
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(b, &leave);
        CHECK_COMPARE(b->backcolor(), lightBlue);
    }
    lit.sort();
    QStringList expected = hover;
    expected.sort();
    CHECK_COMPARE(lit, expected);
    return true;
}

bool framed(QWidget *window, const char *name)
{
    const ui::FlatControl *flat = flatControlOf(window->findChild<QWidget *>(QLatin1String(name)));
    return flat && flat->control();
}

} // namespace

class WindowLookTest : public QObject
{
    Q_OBJECT

private slots:
    void catalogueAndPicker();
    void editorAndAddCode();
    void installFileWindow();
};

void WindowLookTest::catalogueAndPicker()
{
    ProgramDir dir;
    ScriptedMessages messages;
    catalogue::CatalogueWindow window(catalogue::AppContext{dir.path(), &messages, &dir.settings()});
    QVERIFY(window.load());
    QVERIFY(framed(&window, "txtPath"));
    QVERIFY(!flatControlOf(window.findChild<QTableView *>("grdBooks")));
    QVERIFY(hoverButtonsLight(&window, {"cmdAdd", "cmdEdit", "cmdRemove", "cmdImport", "cmdExport", "cmdPublish",
                                        "cmdMarkAll", "cmdUnMarkAll", "cmdBrowse", "cmdClose"}));

    catalogue::FolderPicker picker(dir.path(), "");
    QVERIFY(flatControlOf(picker.findChild<QComboBox *>("drvPhoto"))->isCombo());
    QVERIFY(hoverButtonsLight(&picker, {"cmdOK", "cmdCancel"}));
}

void WindowLookTest::editorAndAddCode()
{
    ProgramDir dir;
    QVERIFY(dir.copyCodeFiles());
    ScriptedMessages messages;
    editor::EditorContext context;
    context.store = &dir.store();
    context.messages = &messages;
    context.programDir = dir.path();
    context.imageRootText = [] { return QString("PhotoImages/"); };
    editor::BookEditor editor(context);
    editor.setNewBook(true);
    QVERIFY(editor.load());
    for (const char *name : {"txtBookID", "txtName", "txtDate", "txtBuiltBy", "cboFileType"})
        QVERIFY2(framed(&editor, name), name);
    // The size-class boxes are flat but never framed.
    for (const char *name : {"txtSC4", "txtSC5", "txtSC6"}) {
        QVERIFY2(!framed(&editor, name), name);
        QVERIFY(!editor.findChild<QLineEdit *>(name)->hasFrame());
    }
    QVERIFY(hoverButtonsLight(&editor, {"cmdAdd", "cmdDup", "cmdDelete", "cmdSave", "cmdCancel", "cmdCalendar",
                                        "cmdFolder", "cmdReload", "cmdKeepEditing"}));

    editor::AddCodeDialog addCode("Veg", dir.path(), messages, &editor);
    QVERIFY(framed(&addCode, "txtCode"));
    QVERIFY(hoverButtonsLight(&addCode, {}));
}

void WindowLookTest::installFileWindow()
{
    ProgramDir dir;
    ScriptedMessages messages;
    install::ImportWindow window(dir.store().db(), dir.path(), messages);
    window.load();
    QVERIFY(flatControlOf(window.findChild<QComboBox *>("drvBook"))->isCombo());
    QVERIFY(hoverButtonsLight(&window, {"cmdOpen", "cmdCancel"}));
}

QTEST_MAIN(WindowLookTest)
#include "tst_windowlook.moc"
