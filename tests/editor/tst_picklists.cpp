#include "TestSupport.h"

#include "editor/AddCodeDialog.h"
#include "editor/CodePickLists.h"
#include "ui/CoolButton.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>

using editor::PickList;
using testing::ProgramDir;
using testing::ScriptedMessages;

namespace {

QStringList entries(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

// A window holding the five hidden lists and a box that has the focus before a list pops up;
// the photo is one map of fields, or none.
struct Window
{
    explicit Window(ProgramDir &dir, bool withPhoto = true)
        : hasPhoto(withPhoto)
    {
        window.resize(800, 600);
        other->setObjectName("txtOther");
        for (const char *name : {"lstVegType", "lstActType", "lstFM", "lstFM2", "lstDR"}) {
            auto *list = new QListWidget(&window);
            list->setObjectName(name);
            list->hide();
        }
        lists = new editor::CodePickLists(&window, dir.path(), messages,
                                          {[this] { return hasPhoto; },
                                           [this](const QString &field, const QString &value) {
                                               if (!hasPhoto)
                                                   return false;
                                               photo.insert(field, value);
                                               return true;
                                           }});
        lists->fill();
        window.show();
        QApplication::setActiveWindow(&window);
        active = QTest::qWaitForWindowActive(&window);
        other->setFocus();
    }
    // Pops a list up and clicks one of its entries.
    [[nodiscard]] bool pick(PickList which, const QString &entry)
    {
        CHECK(active);
        lists->popUp(which, {10, 20});
        QListWidget *list = lists->list(which);
        const QList<QListWidgetItem *> found = list->findItems(entry, Qt::MatchExactly);
        CHECK2(found.size() == 1, qPrintable(entry));
        list->scrollToItem(found.first());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
        return true;
    }

    ScriptedMessages messages;
    QWidget window;
    QLineEdit *other = new QLineEdit(&window);
    editor::CodePickLists *lists = nullptr;
    bool hasPhoto;
    bool active = false;
    QVariantMap photo{{"VegType", "OLD"}, {"Activity", "OLD"}};
};

// Answers the Add Code dialog once it is up: a code to add, or Cancel when empty.
void answerAddCode(const QString &code)
{
    QTimer::singleShot(0, [code] {
        auto *dialog = qobject_cast<editor::AddCodeDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        if (code.isEmpty()) {
            dialog->findChild<ui::CoolButton *>("cmdCancel")->click();
            return;
        }
        dialog->findChild<QLineEdit *>("txtCode")->setText(code);
        dialog->findChild<QLineEdit *>("txtDescription")->setText("Added");
        dialog->findChild<ui::CoolButton *>("cmdOK")->click();
    });
}

} // namespace

class PickListsTest : public QObject
{
    Q_OBJECT

private slots:
    void fillsInOrderAndReportsFaults();
    void choiceStoresAndHides_data();
    void choiceStoresAndHides();
    void newCodeCancelledLeavesField();
    void newCodeAddedIsStoredAsTyped();
    void choiceWithoutPhotoDoesNothing();
    void focusElsewhereHidesWithoutStoring();
    void missingCodeFilesAreToldOnce();
};

void PickListsTest::fillsInOrderAndReportsFaults()
{
    ProgramDir dir;
    QVERIFY(dir.writeFile("Vegcodes.txt", ""));
    QVERIFY(dir.writeFile("Actcodes.txt", "\"THN\",\"Thinning\"\r\n\"PB\"\r\n"));
    Window w(dir);
    QCOMPARE(entries(w.lists->list(PickList::VegType)), (QStringList{" ", "New Code..."}));
    QCOMPARE(entries(w.lists->list(PickList::ActType)), (QStringList{" ", "THN  Thinning", "New Code..."}));
    QCOMPARE(w.messages.count(), 1);
    QVERIFY(w.messages.last().message.text.contains("Actcodes.txt"));
    QVERIFY(w.messages.last().message.text.contains("line 2"));
    QCOMPARE(w.lists->list(PickList::FM)->count(), 59);
    QCOMPARE(w.lists->list(PickList::FM2)->count(), 14);
    QCOMPARE(w.lists->list(PickList::DR)->count(), 21);
    for (PickList which : {PickList::VegType, PickList::ActType, PickList::FM, PickList::FM2, PickList::DR})
        QVERIFY(w.lists->list(which)->isHidden());
}

void PickListsTest::choiceStoresAndHides_data()
{
    QTest::addColumn<PickList>("which");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("stored");
    QTest::newRow("veg three letters") << PickList::VegType << "ABC  Aspen"
                                       << "VegType"
                                       << "ABC";
    QTest::newRow("veg five letters") << PickList::VegType << "GRASSGrassland"
                                      << "VegType"
                                      << "GRASS";
    QTest::newRow("veg blank") << PickList::VegType << " "
                               << "VegType"
                               << "";
    QTest::newRow("activity") << PickList::ActType << "THN  Thinning"
                              << "Activity"
                              << "THN";
    QTest::newRow("2005 model") << PickList::FM << "GR02 Low load, dry climate grass (Dynamic)"
                                << "FireBehaveFM"
                                << "GR02";
    QTest::newRow("1982 model") << PickList::FM2 << "FB10 Timber(litter And understory)"
                                << "FireBehaveFM2"
                                << "FB10";
    QTest::newRow("danger rating") << PickList::DR << "A Annual Grass"
                                   << "DangerRatingFM"
                                   << "A";
}

void PickListsTest::choiceStoresAndHides()
{
    QFETCH(PickList, which);
    QFETCH(QString, entry);
    QFETCH(QString, field);
    QFETCH(QString, stored);
    ProgramDir dir;
    QVERIFY(dir.writeFile("Vegcodes.txt", "\"ABC\",\"Aspen\"\r\n\"GRASS\",\"Grassland\"\r\n"));
    QVERIFY(dir.writeFile("Actcodes.txt", "\"THN\",\"Thinning\"\r\n"));
    Window w(dir);
    QVERIFY(w.pick(which, entry));
    QCOMPARE(w.photo.value(field).toString(), stored);
    QVERIFY(w.lists->list(which)->isHidden());
    QVERIFY(w.other->hasFocus());
    QCOMPARE(w.messages.count(), 0);
}

void PickListsTest::newCodeCancelledLeavesField()
{
    ProgramDir dir;
    QVERIFY(dir.writeFile("Vegcodes.txt", "\"ABC\",\"Aspen\"\r\n"));
    QVERIFY(dir.writeFile("Actcodes.txt", ""));
    Window w(dir);
    answerAddCode(QString());
    QVERIFY(w.pick(PickList::VegType, "New Code..."));
    QCOMPARE(w.photo.value("VegType").toString(), QString("OLD"));
    // The list closed when the dialog opened and stays closed after it.
    QVERIFY(w.lists->list(PickList::VegType)->isHidden());
    QCOMPARE(entries(w.lists->list(PickList::VegType)).size(), 3);
}

void PickListsTest::newCodeAddedIsStoredAsTyped()
{
    ProgramDir dir;
    QVERIFY(dir.writeFile("Vegcodes.txt", ""));
    QVERIFY(dir.writeFile("Actcodes.txt", "\"THN\",\"Thinning\"\r\n"));
    Window w(dir);
    answerAddCode("XY");
    QVERIFY(w.pick(PickList::ActType, "New Code..."));
    QCOMPARE(w.photo.value("Activity").toString(), QString("XY"));
    QCOMPARE(entries(w.lists->list(PickList::ActType)),
             (QStringList{" ", "THN  Thinning", "XY   Added", "New Code..."}));
    QFile file(dir.filePath("Actcodes.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\"THN\",\"Thinning\"\r\n\"XY\",\"Added\"\r\n"));
    // The next opening lists it in the same place.
    Window again(dir);
    QCOMPARE(entries(again.lists->list(PickList::ActType)), entries(w.lists->list(PickList::ActType)));
}

void PickListsTest::choiceWithoutPhotoDoesNothing()
{
    ProgramDir dir;
    QVERIFY(dir.writeFile("Vegcodes.txt", "\"ABC\",\"Aspen\"\r\n"));
    QVERIFY(dir.writeFile("Actcodes.txt", ""));
    Window w(dir, false);
    QVERIFY(w.pick(PickList::VegType, "ABC  Aspen"));
    QVERIFY(w.pick(PickList::VegType, "New Code..."));
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QVERIFY(w.pick(PickList::DR, "A Annual Grass"));
    QCOMPARE(w.photo.value("VegType").toString(), QString("OLD"));
    QVERIFY(!w.photo.contains("DangerRatingFM"));
}

void PickListsTest::focusElsewhereHidesWithoutStoring()
{
    ProgramDir dir;
    QVERIFY(dir.writeFile("Vegcodes.txt", ""));
    QVERIFY(dir.writeFile("Actcodes.txt", ""));
    Window w(dir);
    w.lists->popUp(PickList::FM, {30, 40});
    QListWidget *list = w.lists->list(PickList::FM);
    QVERIFY(list->isVisible() && list->hasFocus());
    QCOMPARE(list->pos(), QPoint(30, 40));
    w.other->setFocus(Qt::MouseFocusReason);
    QVERIFY(list->isHidden());
    QVERIFY(!w.photo.contains("FireBehaveFM"));
}

void PickListsTest::missingCodeFilesAreToldOnce()
{
    ProgramDir dir;
    Window w(dir);
    QCOMPARE(w.messages.count(), 1);
    QVERIFY(w.messages.last().message.text.contains("Vegcodes.txt"));
    QVERIFY(w.messages.last().message.text.contains("Actcodes.txt"));
    QCOMPARE(entries(w.lists->list(PickList::VegType)), (QStringList{" ", "New Code..."}));
}

QTEST_MAIN(PickListsTest)
#include "tst_picklists.moc"
