#include "EditorFixture.h"

#include "common/Twips.h"
#include "editor/PhotoDelegates.h"
#include "store/Schema.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>

using testing::Editor;
using testing::ProgramDir;

namespace {

const QString notNumeric = QStringLiteral("Value entered is not numeric");
const QString notUnique = QStringLiteral("Photo Label must be unique within this book");

// An editor on an existing book of `photos` photos labelled 1, 2, ..., shown and active.
struct Book
{
    explicit Book(int photos = 2, const QVariantMap &fields = {})
    {
        QVERIFY(dir.writeFile("Vegcodes.txt", "\"ABC\",\"Aspen\"\r\n\"GRASS\",\"Grassland\"\r\n"));
        QVERIFY(dir.writeFile("Actcodes.txt", "\"THN\",\"Thinning\"\r\n"));
        id = dir.addBook("BK");
        for (int i = 1; i <= photos; ++i) {
            QVariantMap values = fields;
            values.insert("PhotoLabel", QString::number(i));
            values.insert("BookLabel", "BK");
            dir.addPhoto(id, values);
        }
        editor = std::make_unique<Editor>(dir);
        opened = editor->open(id);
        show();
    }
    void show()
    {
        editor->window->show();
        QApplication::setActiveWindow(editor->window.get());
        active = QTest::qWaitForWindowActive(editor->window.get());
    }
    // Starts editing a cell; the editor's text is replaced by `text` as typed.
    QLineEdit *type(int row, const char *field, const QString &text)
    {
        const QModelIndex cell = editor->cell(row, field);
        editor->grid()->setCurrentIndex(cell);
        editor->grid()->edit(cell);
        auto *line = qobject_cast<QLineEdit *>(editor->grid()->indexWidget(cell));
        if (!line)
            return nullptr;
        line->selectAll();
        QTest::keyClick(line, Qt::Key_Backspace);
        QTest::keyClicks(line, text);
        return line;
    }
    // Types and presses Enter; true when the cell is still in editing afterwards.
    bool commit(int row, const char *field, const QString &text)
    {
        QLineEdit *line = type(row, field, text);
        if (!line)
            return false;
        QTest::keyClick(line, Qt::Key_Return);
        // The view commits in a queued call, and a refusal is told in another one after it.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        return editor->grid()->indexWidget(editor->cell(row, field)) != nullptr;
    }
    QLineEdit *openEditor(int row, const char *field)
    {
        return qobject_cast<QLineEdit *>(editor->grid()->indexWidget(editor->cell(row, field)));
    }
    QVariant value(int row, const char *field) { return editor->photos().value(row, QLatin1String(field)); }
    void clickCellButton(int row, const char *field)
    {
        const QRect rect = editor->grid()->visualRect(editor->cell(row, field));
        QTest::mouseClick(editor->grid()->viewport(), Qt::LeftButton, {},
                          editor::CodeDelegate::buttonRect(rect).center());
    }
    QListWidget *list(const char *name) { return editor->find<QListWidget>(name); }
    QCheckBox *check(const char *name) { return editor->find<QCheckBox>(name); }
    qint64 storedPhotos() { return dir.scalar("SELECT COUNT(*) FROM Photos").toLongLong(); }

    ProgramDir dir;
    qint64 id = 0;
    std::unique_ptr<Editor> editor;
    bool opened = false;
    bool active = false;
};

} // namespace

class PhotoRulesTest : public QObject
{
    Q_OBJECT

private slots:
    // Code columns and their pick lists.
    void cellButtonPopsListBelowRow_data();
    void cellButtonPopsListBelowRow();
    void choiceInEveryListStores_data();
    void choiceInEveryListStores();
    void choiceWithoutPhotosDoesNothing();
    void missingCodeFileIsToldAndEditorOpens();
    // Typing and committing cells.
    void keystrokesPerColumn_data();
    void keystrokesPerColumn();
    void commitChecks_data();
    void commitChecks();
    void emptyHerbRefusedOnceThenZero();
    void duplicateLabelRefused();
    void cellsLeftUntypedStayAsTheyAre();
    void labelWithPathCharactersRefused();
    void refusedCellKeepsCursorWhenLeftByClick();
    void refusedCellStopsSaveAndAdd();
    // Automatic image names.
    void labelCommitNamesImages_data();
    void labelCommitNamesImages();
    void noImagesHidesAndKeepsNames();
    // Add, Duplicate, Delete.
    void addInEmptyBook_data();
    void addInEmptyBook();
    void addCarriesCurrentName_data();
    void addCarriesCurrentName();
    void addCarriesStoredIdentifier();
    void duplicateCopiesAllButKeyAndLabel();
    void duplicateAndDeleteInEmptyBookDoNothing();
    void deleteThenCancelKeepsStoredPhoto();
    void newBookRowsStayInTheEditor();
};

void PhotoRulesTest::cellButtonPopsListBelowRow_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("list");
    QTest::newRow("vegetation") << "VegType"
                                << "lstVegType";
    QTest::newRow("activity") << "Activity"
                              << "lstActType";
    QTest::newRow("2005") << "FireBehaveFM"
                          << "lstFM";
    QTest::newRow("1982") << "FireBehaveFM2"
                          << "lstFM2";
    QTest::newRow("danger rating") << "DangerRatingFM"
                                   << "lstDR";
}

void PhotoRulesTest::cellButtonPopsListBelowRow()
{
    QFETCH(QString, field);
    QFETCH(QString, list);
    Book b(5);
    QVERIFY(b.opened && b.active);
    editor::PhotoGrid *grid = b.editor->grid();
    const QByteArray name = field.toLatin1();
    b.clickCellButton(2, name.constData()); // the third visible row
    QListWidget *shown = b.list(list.toLatin1().constData());
    QVERIFY(shown->isVisible());
    QVERIFY(shown->hasFocus());
    const int column = b.editor->column(name.constData());
    const QPoint columnLeft =
        grid->viewport()->mapTo(b.editor->window.get(), QPoint(grid->columnViewportPosition(column), 0));
    const QPoint rowBottom =
        grid->viewport()->mapTo(b.editor->window.get(), QPoint(0, grid->rowViewportPosition(2) + grid->rowHeight(2)));
    // At the column's left edge, unless that would take it past the window's right edge.
    QCOMPARE(shown->x(), qMin(columnLeft.x(), b.editor->window->width() - shown->width()));
    // Touching the row (it once opened 500 twips below it).
    QCOMPARE(shown->y() - rowBottom.y(), 0);
    QCOMPARE(grid->currentIndex(), b.editor->cell(2, name.constData()));
}

void PhotoRulesTest::choiceInEveryListStores_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("stored");
    QTest::newRow("three-letter code") << "VegType"
                                       << "ABC  Aspen"
                                       << "ABC";
    QTest::newRow("five-letter code") << "VegType"
                                      << "GRASSGrassland"
                                      << "GRASS";
    QTest::newRow("activity") << "Activity"
                              << "THN  Thinning"
                              << "THN";
    QTest::newRow("2005") << "FireBehaveFM"
                          << "TL08 Long-needle litter"
                          << "TL08";
    QTest::newRow("1982") << "FireBehaveFM2"
                          << "FB10 Timber(litter And understory)"
                          << "FB10";
    QTest::newRow("danger rating") << "DangerRatingFM"
                                   << "A Annual Grass"
                                   << "A";
    QTest::newRow("blank") << "DangerRatingFM"
                           << " "
                           << "";
}

void PhotoRulesTest::choiceInEveryListStores()
{
    QFETCH(QString, field);
    QFETCH(QString, entry);
    QFETCH(QString, stored);
    Book b(3, {{"DangerRatingFM", "Z"}});
    QVERIFY(b.opened && b.active);
    const QByteArray name = field.toLatin1();
    b.clickCellButton(1, name.constData());
    auto *shown = qobject_cast<QListWidget *>(QApplication::focusWidget());
    QVERIFY(shown);
    QListWidgetItem *item = shown->findItems(entry, Qt::MatchExactly).value(0);
    QVERIFY(item);
    shown->scrollToItem(item);
    QTest::mouseClick(shown->viewport(), Qt::LeftButton, {}, shown->visualItemRect(item).center());
    QCOMPARE(b.value(1, name.constData()).toString(), stored);
    QVERIFY(shown->isHidden());
    QCOMPARE(b.editor->cell(1, name.constData()).data().toString(), stored);
    QCOMPARE(b.value(0, "DangerRatingFM").toString(), QString("Z"));
    QCOMPARE(b.editor->messages.count(), 0);

    // From the keyboard: F4 on a code cell, a choice with the arrows and Enter.
    b.editor->grid()->setCurrentIndex(b.editor->cell(0, name.constData()));
    QTest::keyClick(b.editor->grid(), Qt::Key_F4);
    QCOMPARE(QApplication::focusWidget(), shown);
    shown->setCurrentItem(item);
    QTest::keyClick(shown, Qt::Key_Return);
    QCOMPARE(b.value(0, name.constData()).toString(), stored);
    QVERIFY(shown->isHidden());
    QCOMPARE(QApplication::focusWidget(), b.editor->grid());
}

void PhotoRulesTest::choiceWithoutPhotosDoesNothing()
{
    Book b(0);
    QVERIFY(b.opened);
    for (const char *name : {"lstVegType", "lstFM"}) {
        QListWidget *list = b.list(name);
        emit list->itemClicked(list->item(1));
    }
    QCOMPARE(b.editor->photos().rowCount(), 0);
    QCOMPARE(b.editor->messages.count(), 0);
}

void PhotoRulesTest::missingCodeFileIsToldAndEditorOpens()
{
    ProgramDir dir;
    QVERIFY(dir.writeFile("Vegcodes.txt", "\"ABC\",\"Aspen\"\r\n"));
    const qint64 book = dir.addBook("BK");
    Editor e(dir);
    QVERIFY(e.open(book));
    QCOMPARE(e.messages.count(), 1);
    QVERIFY(e.messages.last().message.text.contains("Actcodes.txt"));
    QCOMPARE(e.find<QListWidget>("lstActType")->count(), 2);
    QCOMPARE(e.find<QListWidget>("lstVegType")->count(), 3);
}

void PhotoRulesTest::keystrokesPerColumn_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("class: letters and minus") << "TonsPerAcreBreak3"
                                              << "a-1.5x"
                                              << "1.5";
    QTest::newRow("herb: minus") << "HerbTonsPerAcre"
                                 << "-2"
                                 << "-2";
    QTest::newRow("label: forbidden") << "PhotoLabel"
                                      << "a/b?c,d\"e:f"
                                      << "abcdef";
    QTest::newRow("label: apostrophe and blank") << "PhotoLabel"
                                                 << "it's 1"
                                                 << "it's 1";
    QTest::newRow("data pic") << "DataPic"
                              << "x|y<z>.jpg"
                              << "xyz.jpg";
    // Everything but the double quote, which an install file cannot carry inside a text.
    QTest::newRow("name: everything but a quote") << "GroupLabel"
                                                  << "a/b?\"c\""
                                                  << "a/b?c";
}

void PhotoRulesTest::keystrokesPerColumn()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    Book b(1);
    QVERIFY(b.opened && b.active);
    QLineEdit *line = b.type(0, field.toLatin1().constData(), typed);
    QVERIFY(line);
    QCOMPARE(line->text(), shown);
}

void PhotoRulesTest::commitChecks_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("message");
    QTest::newRow("-5 floors to -1") << "AverageDuffDepth"
                                     << "-5" << QVariant(-1.0) << "";
    QTest::newRow("-1 stays") << "WoodyTonsPerAcre"
                              << "-1" << QVariant(-1.0) << "";
    QTest::newRow("-0.5 stays") << "AverageDuffDepth"
                                << "-0.5" << QVariant(-0.5) << "";
    QTest::newRow("1.2.3 refused") << "TreesPerAcre"
                                   << "1.2.3" << QVariant(7.0) << notNumeric;
    QTest::newRow("minus alone refused") << "CanopyClosure"
                                         << "-" << QVariant(7.0) << notNumeric;
    QTest::newRow("empty class cell is 0") << "TonsPerAcreBreak1"
                                           << "" << QVariant(0.0) << "";
    QTest::newRow("1.2.3 in a class cell refused") << "TonsPerAcreBreak2"
                                                   << "1.2.3" << QVariant(7.0) << notNumeric;
    QTest::newRow("empty name stays empty") << "GroupLabel"
                                            << "" << QVariant(QString("")) << "";
}

void PhotoRulesTest::commitChecks()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QVariant, stored);
    QFETCH(QString, message);
    const QByteArray name = field.toLatin1();
    Book b(1, {{name, field == "GroupLabel" ? QVariant("Ridge") : QVariant(7.0)}});
    QVERIFY(b.opened && b.active);
    const bool stillEditing = b.commit(0, name.constData(), typed);
    QCOMPARE(b.editor->messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(stillEditing, !message.isEmpty());
    if (stillEditing)
        QCOMPARE(b.openEditor(0, name.constData())->text(), typed);
    QCOMPARE(b.value(0, name.constData()), stored);
}

void PhotoRulesTest::emptyHerbRefusedOnceThenZero()
{
    Book b(1, {{"HerbTonsPerAcre", 2.5}});
    QVERIFY(b.opened && b.active);
    QVERIFY(b.commit(0, "HerbTonsPerAcre", ""));
    QCOMPARE(b.editor->messages.texts(), QStringList{notNumeric});
    QLineEdit *line = b.openEditor(0, "HerbTonsPerAcre");
    QCOMPARE(line->text(), QString("0"));
    QCOMPARE(b.value(0, "HerbTonsPerAcre").toDouble(), 2.5);
    QTest::keyClick(line, Qt::Key_Return);
    QTRY_COMPARE(b.value(0, "HerbTonsPerAcre").toDouble(), 0.0);
    QCOMPARE(b.editor->messages.count(), 1);
}

void PhotoRulesTest::duplicateLabelRefused()
{
    Book b(2);
    QVERIFY(b.opened && b.active);
    QVERIFY(b.commit(1, "PhotoLabel", "1"));
    QCOMPARE(b.editor->messages.texts(), QStringList{notUnique});
    QCOMPARE(b.editor->messages.last().message.icon, ui::Icon::Exclamation);
    QCOMPARE(b.value(1, "PhotoLabel").toString(), QString("2"));
    QTest::keyClick(b.openEditor(1, "PhotoLabel"), Qt::Key_Escape);

    // A photo that never had a label is searched too.
    b.editor->click("cmdAdd");
    QVERIFY(b.value(2, "PhotoLabel").isNull());
    QVERIFY(b.commit(2, "PhotoLabel", "2"));
    QCOMPARE(b.editor->messages.count(), 2);
    QTest::keyClick(b.openEditor(2, "PhotoLabel"), Qt::Key_Escape);

    // Letter case is ignored, except against the photo's own label.
    b.editor->photos().setValue(0, "PhotoLabel", "Ridge");
    QVERIFY(b.commit(1, "PhotoLabel", "RIDGE"));
    QCOMPARE(b.editor->messages.count(), 3);
    QTest::keyClick(b.openEditor(1, "PhotoLabel"), Qt::Key_Escape);
    QVERIFY(!b.commit(0, "PhotoLabel", "RIDGE"));
    QCOMPARE(b.value(0, "PhotoLabel").toString(), QString("RIDGE"));
    QCOMPARE(b.editor->messages.count(), 3);
}

void PhotoRulesTest::cellsLeftUntypedStayAsTheyAre()
{
    // Null name and loadings, empty image names: opening a cell's editor and leaving it
    // without typing stores nothing and tells nothing.
    Book b(1, {{"PhotoPic", ""}, {"DataPic", ""}});
    QVERIFY(b.opened && b.active);
    for (const char *field : {"GroupLabel", "PhotoPic", "DataPic", "HerbTonsPerAcre", "TonsPerAcreBreak1"}) {
        const QModelIndex cell = b.editor->cell(0, field);
        b.editor->grid()->setCurrentIndex(cell);
        b.editor->grid()->edit(cell);
        QLineEdit *line = b.openEditor(0, field);
        QVERIFY2(line, field);
        QTest::keyClick(line, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QVERIFY2(!b.openEditor(0, field), field);
    }
    QCOMPARE(b.editor->messages.count(), 0);
    QVERIFY(b.value(0, "GroupLabel").isNull());
    QVERIFY(b.value(0, "HerbTonsPerAcre").isNull());
    QCOMPARE(b.value(0, "PhotoPic").toString(), QString(""));
    QCOMPARE(b.value(0, "DataPic").toString(), QString(""));
    QVERIFY(!b.editor->photos().hasPendingChanges());
}

void PhotoRulesTest::labelWithPathCharactersRefused()
{
    // The keystroke filter sees typed and Ctrl+V text only; a label that arrives another way
    // (the X11 selection) is refused at the commit.
    Book b(1);
    QVERIFY(b.opened && b.active);
    QLineEdit *line = b.type(0, "PhotoLabel", "");
    QVERIFY(line);
    line->setText("x/y:z\"w");
    QTest::keyClick(line, Qt::Key_Return);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(b.editor->messages.texts(), QStringList{"Photo ID cannot contain \\ / : * ? | < > , or a double quote"});
    QCOMPARE(b.openEditor(0, "PhotoLabel"), line);
    QCOMPARE(b.value(0, "PhotoLabel").toString(), QString("1"));
    QCOMPARE(b.value(0, "PhotoPic").toString(), QString());
}

void PhotoRulesTest::refusedCellKeepsCursorWhenLeftByClick()
{
    Book b(2);
    QVERIFY(b.opened && b.active);
    QLineEdit *line = b.type(0, "TreesPerAcre", "1.2.3");
    const QModelIndex elsewhere = b.editor->cell(1, "GroupLabel");
    QTest::mouseClick(b.editor->grid()->viewport(), Qt::LeftButton, {},
                      b.editor->grid()->visualRect(elsewhere).center());
    QTRY_COMPARE(b.editor->grid()->currentIndex(), b.editor->cell(0, "TreesPerAcre"));
    QCOMPARE(b.editor->messages.texts(), QStringList{notNumeric});
    QCOMPARE(b.openEditor(0, "TreesPerAcre"), line);
    QCOMPARE(line->text(), QString("1.2.3"));
}

void PhotoRulesTest::refusedCellStopsSaveAndAdd()
{
    Book b(2);
    QVERIFY(b.opened && b.active);
    QLineEdit *line = b.type(1, "PhotoLabel", "1");
    // Each press tells once: the focus leaving the cell commits it, and the button finds it refused.
    b.editor->click("cmdAdd");
    QCoreApplication::processEvents();
    b.editor->click("cmdSave");
    QCoreApplication::processEvents();
    QCOMPARE(b.editor->messages.texts(), (QStringList{notUnique, notUnique}));
    QCOMPARE(b.editor->photos().rowCount(), 2);
    QVERIFY(b.editor->window->isVisible());
    QCOMPARE(b.openEditor(1, "PhotoLabel"), line);
    line->setText("3");
    b.editor->click("cmdSave");
    QVERIFY(!b.editor->window->isVisible());
    QCOMPARE(b.dir.column("SELECT PhotoLabel FROM Photos ORDER BY ID"), (QVariantList{"1", "3"}));
}

void PhotoRulesTest::labelCommitNamesImages_data()
{
    QTest::addColumn<bool>("useSuffix");
    QTest::addColumn<int>("fileType");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("dataPic");
    QTest::addColumn<QString>("photoPic");
    QTest::newRow("jpeg") << true << 0 << "12"
                          << "D12.jpg"
                          << "P12.jpg";
    QTest::newRow("gif") << true << 1 << "12"
                         << "D12.gif"
                         << "P12.gif";
    QTest::newRow("empty label") << true << 0 << ""
                                 << "D.jpg"
                                 << "P.jpg";
    QTest::newRow("naming off") << false << 0 << "12"
                                << "d.old"
                                << "p.old";
}

void PhotoRulesTest::labelCommitNamesImages()
{
    QFETCH(bool, useSuffix);
    QFETCH(int, fileType);
    QFETCH(QString, label);
    QFETCH(QString, dataPic);
    QFETCH(QString, photoPic);
    Book b(1, {{"DataPic", "d.old"}, {"PhotoPic", "p.old"}});
    QVERIFY(b.opened && b.active);
    QVERIFY(b.check("chkUseSuffix")->isChecked());
    b.check("chkUseSuffix")->setChecked(useSuffix);
    b.editor->find<QComboBox>("cboFileType")->setCurrentIndex(fileType);
    QVERIFY(!b.commit(0, "PhotoLabel", label));
    QTRY_COMPARE(b.value(0, "DataPic").toString(), dataPic);
    QCOMPARE(b.value(0, "PhotoPic").toString(), photoPic);
    // Another file type renames nothing until the label is committed again.
    b.editor->find<QComboBox>("cboFileType")->setCurrentIndex(1 - fileType);
    QCoreApplication::processEvents();
    QCOMPARE(b.value(0, "DataPic").toString(), dataPic);
}

void PhotoRulesTest::noImagesHidesAndKeepsNames()
{
    Book b(1, {{"DataPic", "D1.jpg"}, {"PhotoPic", "P1.jpg"}});
    QVERIFY(b.opened && b.active);
    QCheckBox *noImages = b.check("chkNoImages");
    QCheckBox *useSuffix = b.check("chkUseSuffix");
    auto *fileType = b.editor->find<QComboBox>("cboFileType");
    editor::PhotoGrid *grid = b.editor->grid();
    noImages->click();
    QVERIFY(noImages->isChecked());
    QVERIFY(grid->isColumnHidden(b.editor->column("PhotoPic")) && grid->isColumnHidden(b.editor->column("DataPic")));
    QVERIFY(!useSuffix->isChecked() && !useSuffix->isEnabled());
    QVERIFY(!fileType->isEnabled());
    QVERIFY(!b.commit(0, "PhotoLabel", "9"));
    QCoreApplication::processEvents();
    QCOMPARE(b.value(0, "PhotoPic").toString(), QString("P1.jpg"));

    noImages->click();
    QVERIFY(!grid->isColumnHidden(b.editor->column("PhotoPic")) && !grid->isColumnHidden(b.editor->column("DataPic")));
    QVERIFY(useSuffix->isEnabled() && !useSuffix->isChecked());
    QCOMPARE(b.editor->cell(0, "DataPic").data().toString(), QString("D1.jpg"));
    useSuffix->click();
    QVERIFY(fileType->isEnabled());
}

void PhotoRulesTest::addInEmptyBook_data()
{
    QTest::addColumn<bool>("copyName");
    QTest::addColumn<QVariant>("name");
    QTest::newRow("name carried") << true << QVariant("New");
    QTest::newRow("no name") << false << QVariant();
}

void PhotoRulesTest::addInEmptyBook()
{
    QFETCH(bool, copyName);
    QFETCH(QVariant, name);
    Book b(0);
    QVERIFY(b.opened);
    b.check("chkCopyPhotoDesc")->setChecked(copyName);
    b.editor->click("cmdAdd");
    QCOMPARE(b.editor->photos().rowCount(), 1);
    QCOMPARE(b.value(0, "GroupLabel"), name);
    QVERIFY(b.value(0, "PhotoLabel").isNull());
    QCOMPARE(b.value(0, "BookID").toLongLong(), b.id);
    QCOMPARE(b.value(0, "BookLabel").toString(), QString("BK"));
    for (const char *zero : {"TonsPerAcreBreak1", "TonsPerAcreBreak7", "HerbTonsPerAcre", "WoodyTonsPerAcre",
                             "AverageFuelbedDepth", "AverageDuffDepth"})
        QCOMPARE(b.value(0, zero), QVariant(0.0));
    QCOMPARE(b.value(0, "CanopyClosure"), QVariant(0.5));
    QCOMPARE(b.value(0, "TreesPerAcre"), QVariant(1.0));
    for (const char *empty : {"VegType", "Activity", "FireBehaveFM", "FireBehaveFM2", "DangerRatingFM", "PhotoPic"})
        QVERIFY(b.value(0, empty).isNull());
    QCOMPARE(b.editor->photos().currentRow(), 0);
    QCOMPARE(b.storedPhotos(), 0); // an existing book waits for Save
}

void PhotoRulesTest::addCarriesCurrentName_data()
{
    QTest::addColumn<QVariant>("currentName");
    QTest::addColumn<QVariant>("carried");
    QTest::newRow("named") << QVariant("Ridge top") << QVariant("Ridge top");
    QTest::newRow("unnamed") << QVariant() << QVariant("New");
}

void PhotoRulesTest::addCarriesCurrentName()
{
    QFETCH(QVariant, currentName);
    QFETCH(QVariant, carried);
    Book b(2, {{"GroupLabel", currentName}});
    QVERIFY(b.opened);
    b.editor->photos().setValue(0, "GroupLabel", "First");
    b.check("chkCopyPhotoDesc")->setChecked(true);
    b.editor->grid()->setCurrentRow(1);
    b.editor->click("cmdAdd");
    QCOMPARE(b.value(2, "GroupLabel"), carried);
    // The new photo is current, so the next Add carries its name on.
    b.editor->click("cmdAdd");
    QCOMPARE(b.value(3, "GroupLabel"), carried);
}

void PhotoRulesTest::addCarriesStoredIdentifier()
{
    Book b(0);
    QVERIFY(b.opened);
    b.editor->box("txtBookID")->setText("Renamed");
    b.editor->click("cmdAdd");
    QCOMPARE(b.value(0, "BookLabel").toString(), QString("BK"));
}

void PhotoRulesTest::duplicateCopiesAllButKeyAndLabel()
{
    const QVariantMap fields{{"GroupLabel", "Ridge"},  {"TonsPerAcreBreak2", 1.25}, {"TonsPerAcreBreak6", 4.0},
                             {"HerbTonsPerAcre", 0.3}, {"AverageDuffDepth", 2.0},   {"VegType", "PIPO"},
                             {"Activity", "THN"},      {"FireBehaveFM", "TL08"},    {"FireBehaveFM2", "FB09"},
                             {"DangerRatingFM", "U"},  {"TreesPerAcre", 120.0},     {"CanopyClosure", 35.0},
                             {"PhotoPic", "P1.jpg"},   {"DataPic", "D1.jpg"},       {"Oto3FL", 3.5},
                             {"TotalFL", 9.0}};
    Book b(2, fields);
    QVERIFY(b.opened);
    b.editor->grid()->setCurrentRow(0);
    b.editor->click("cmdDup");
    editor::PhotoTableModel &photos = b.editor->photos();
    QCOMPARE(photos.rowCount(), 3);
    QCOMPARE(photos.currentRow(), 2);
    QCOMPARE(photos.rowKey(2), 0); // pending
    const QStringList &all = store::photoFields();
    for (int f = 1; f < all.size(); ++f) {
        if (all.at(f) == "PhotoLabel")
            continue;
        const QVariant copy = photos.value(2, all.at(f));
        const QVariant source = photos.value(0, all.at(f));
        QVERIFY2(copy.isNull() ? source.isNull() : copy == source, qPrintable(all.at(f)));
    }
    QCOMPARE(photos.value(2, "PhotoLabel"), QVariant(QString("")));
    QCOMPARE(b.editor->messages.count(), 0);

    b.editor->grid()->setCurrentIndex({});
    b.editor->click("cmdDup");
    QCOMPARE(b.editor->messages.texts(), QStringList{"Can't duplicate. Select a photo first"});
    QCOMPARE(b.editor->messages.last().message.icon, ui::Icon::None);
    QCOMPARE(photos.rowCount(), 3);
}

void PhotoRulesTest::duplicateAndDeleteInEmptyBookDoNothing()
{
    Book b(0);
    QVERIFY(b.opened);
    b.editor->click("cmdDup");
    b.editor->click("cmdDelete");
    QCOMPARE(b.editor->photos().rowCount(), 0);
    QCOMPARE(b.editor->messages.count(), 0);
}

void PhotoRulesTest::deleteThenCancelKeepsStoredPhoto()
{
    Book b(2);
    QVERIFY(b.opened);
    b.editor->grid()->setCurrentRow(0);
    b.editor->click("cmdDelete");
    QCOMPARE(b.editor->photos().rowCount(), 1);
    QCOMPARE(b.value(0, "PhotoLabel").toString(), QString("2"));
    QCOMPARE(b.editor->messages.count(), 0);
    b.editor->click("cmdCancel");
    QCOMPARE(b.storedPhotos(), 2);
}

void PhotoRulesTest::newBookRowsStayInTheEditor()
{
    ProgramDir dir;
    QVERIFY(dir.writeFile("Vegcodes.txt", ""));
    QVERIFY(dir.writeFile("Actcodes.txt", ""));
    Editor e(dir);
    QVERIFY(e.openNew());
    QCOMPARE(e.photos().rowCount(), 1);
    e.click("cmdAdd");
    QCOMPARE(e.photos().rowCount(), 2);
    e.click("cmdDelete");
    QCOMPARE(e.photos().rowCount(), 1);
    // A new book's rows wait in the editor for its first save.
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Books").toLongLong(), 0);
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Photos").toLongLong(), 0);
}

QTEST_MAIN(PhotoRulesTest)
#include "tst_photorules.moc"
