#include "TestSupport.h"

#include "editor/BookEdits.h"
#include "editor/PhotoColumns.h"
#include "editor/PhotoGrid.h"
#include "editor/PhotoTableModel.h"
#include "store/Photos.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>

using editor::NumberFormat;
using editor::PhotoTableModel;
using testing::ProgramDir;

namespace {

// A model over one stored book, shown in a grid.
struct Grid
{
    explicit Grid(ProgramDir &)
    {
        grid.setPhotoModel(&model);
        grid.resize(1200, 400);
    }
    int column(const char *field) const { return model.columnOf(QLatin1String(field)); }
    QModelIndex cell(int row, const char *field) const { return model.index(row, column(field)); }

    PhotoTableModel model;
    editor::PhotoGrid grid;
};

// Saves the model's changes as the editor does, the header as it was read.
store::Result<store::BookHeader> save(ProgramDir &dir, const store::BookHeader &book, PhotoTableModel &model)
{
    store::HeaderFields header;
    header.label = book.label.toString();
    header.description = book.description.toString();
    return editor::saveEdits(dir.store().db(), book, header, model);
}

qint64 totalChanges(ProgramDir &dir)
{
    return dir.scalar("SELECT total_changes()").toLongLong();
}

} // namespace

class PhotoGridTest : public QObject
{
    Q_OBJECT

private slots:
    void formatsCells_data();
    void formatsCells();
    void readsNumbers_data();
    void readsNumbers();
    void columnsAsLaidOut();
    void columnsFoundByFieldInAnyCase();
    void columnChangesReachTheGrid();
    void editorStartsFromFullValueAndNeverClamps();
    void lockedCodeColumnIgnoresTyping();
    void numberCellRefusesText();
    void keysMoveAndWrap();
    void changesReachStoreOnlyWhenSaved();
    void settingACellToItsOwnValueChangesNothing();
    void failedWriteKeepsEveryChangePending();
    void removingRowsKeepsTheCurrentRowInStep();
    void largeBookEveryRowReachableAndOneChangeOneWrite();
};

void PhotoGridTest::formatsCells_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("shown");
    QTest::newRow("loading 0") << QVariant(0.0) << int(NumberFormat::Fixed2) << "0.00";
    QTest::newRow("loading 12.5") << QVariant(12.5) << int(NumberFormat::Fixed2) << "12.50";
    QTest::newRow("loading rounds") << QVariant(12.345) << int(NumberFormat::Fixed2) << "12.35";
    QTest::newRow("loading no grouping") << QVariant(12345.0) << int(NumberFormat::Fixed2) << "12345.00";
    QTest::newRow("depth 0") << QVariant(0.0) << int(NumberFormat::GeneralNumber) << "0";
    QTest::newRow("depth 0.5") << QVariant(0.5) << int(NumberFormat::GeneralNumber) << "0.5";
    QTest::newRow("trees no grouping") << QVariant(1500000.0) << int(NumberFormat::GeneralNumber) << "1500000";
    QTest::newRow("cover as stored") << QVariant(0.5) << int(NumberFormat::None) << "0.5";
    QTest::newRow("null") << QVariant() << int(NumberFormat::Fixed2) << "";
    QTest::newRow("text") << QVariant("SAF") << int(NumberFormat::None) << "SAF";
}

void PhotoGridTest::formatsCells()
{
    QFETCH(QVariant, value);
    QFETCH(int, format);
    QFETCH(QString, shown);
    QCOMPARE(editor::formatCell(value, NumberFormat(format)), shown);
}

void PhotoGridTest::readsNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");
    QTest::newRow("whole") << "150" << true << 150.0;
    QTest::newRow("negative") << "-0.5" << true << -0.5;
    QTest::newRow("leading point") << ".25" << true << 0.25;
    QTest::newRow("trailing point") << "5." << true << 5.0;
    QTest::newRow("two points") << "1.2.3" << false << 0.0;
    QTest::newRow("exponent") << "1e3" << false << 0.0;
    QTest::newRow("comma") << "1,5" << false << 0.0;
    QTest::newRow("blank") << " 1" << false << 0.0;
    QTest::newRow("lone minus") << "-" << false << 0.0;
    QTest::newRow("lone point") << "." << false << 0.0;
    QTest::newRow("inner minus") << "1-2" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
}

void PhotoGridTest::readsNumbers()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, value);
    double read = 0;
    QCOMPARE(editor::readNumber(text, read), ok);
    if (ok)
        QCOMPARE(read, value);
}

void PhotoGridTest::columnsAsLaidOut()
{
    ProgramDir dir;
    Grid g(dir);
    QAbstractItemModelTester tester(&g.model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const QStringList fields{"PhotoLabel",        "GroupLabel",
                             "TonsPerAcreBreak1", "TonsPerAcreBreak2",
                             "TonsPerAcreBreak3", "TonsPerAcreBreak4",
                             "TonsPerAcreBreak5", "TonsPerAcreBreak6",
                             "TonsPerAcreBreak7", "HerbTonsPerAcre",
                             "WoodyTonsPerAcre",  "AverageFuelbedDepth",
                             "AverageDuffDepth",  "VegType",
                             "Activity",          "FireBehaveFM",
                             "FireBehaveFM2",     "DangerRatingFM",
                             "TreesPerAcre",      "CanopyClosure",
                             "PhotoPic",          "DataPic"};
    const QStringList headings{"Photo\nID",
                               "Photo\nName",
                               "0\"-\n.25\"\n(t/ac)",
                               ".26\"-\n1\"\n(t/ac)",
                               "1.1\"-\n3\"\n(t/ac)",
                               "\n3.1\"+\n(t/ac)",
                               "Size\nClass 5\n(t/ac)",
                               "Size\nClass 6\n(t/ac)",
                               "Size\nClass 7\n(t/ac)",
                               "Herb\n(t/ac)\n",
                               "Woody\n(t/ac)\n",
                               "Fuelbed\nDepth\n(in)",
                               "Duff\nDepth\n(in)",
                               "Veg.\nType\n",
                               "Act.\nType\n",
                               "FB\nModel\n2005",
                               "FB\nModel\n1982",
                               "DR\nFuel\nModel",
                               "Trees\nper\nAcre",
                               "Crown\nCover\nPercent",
                               "Photo\nFile\n",
                               "Data\nPlate\nFile"};
    const int widths[] = {1700, 4300, 720, 720, 720, 720, 720, 720, 720, 720,  720,
                          740,  720,  820, 720, 720, 720, 800, 800, 720, 1400, 1400};
    QCOMPARE(g.model.columnCount(), 22);
    int visible = 0;
    for (int c = 0; c < 22; ++c) {
        QCOMPARE(g.model.column(c).field, fields.at(c));
        QCOMPARE(g.model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), headings.at(c));
        const bool hidden = c >= 6 && c <= 8;
        QCOMPARE(g.grid.isColumnHidden(c), hidden);
        g.grid.setColumnHidden(c, false);
        // As designed, or wider where the font's heading would not fit (tst_editor).
        QVERIFY(g.grid.columnWidth(c) >= (widths[c] + 7) / 15);
        visible += hidden ? 0 : 1;
        QCOMPARE(g.model.column(c).locked, c >= 13 && c <= 17);
        QCOMPARE(g.model.column(c).rightAligned, c >= 2);
    }
    QCOMPARE(visible, 19);
    QVERIFY(g.grid.tabKeyNavigation());
    QVERIFY(!g.grid.verticalHeader()->isHidden()); // record selectors
}

void PhotoGridTest::columnsFoundByFieldInAnyCase()
{
    ProgramDir dir;
    Grid g(dir);
    QCOMPARE(g.model.columnOf("vegtype"), 13);
    QCOMPARE(g.model.columnOf("PHOTOPIC"), 20);
    QCOMPARE(g.model.columnOf("BookLabel"), -1); // a field, but not a grid column
    const qint64 book = dir.addBook("B");
    dir.addPhoto(book, {{"BookLabel", "B"}, {"Oto3FL", 2.5}});
    QCOMPARE(editor::loadInto(dir.store().db(), book, g.model).error(), QString());
    QCOMPARE(g.model.value(0, "booklabel").toString(), QString("B"));
    QCOMPARE(g.model.value(0, "oto3fl").toDouble(), 2.5);
}

void PhotoGridTest::columnChangesReachTheGrid()
{
    ProgramDir dir;
    Grid g(dir);
    const int c5 = g.column("TonsPerAcreBreak5");
    g.model.setColumnVisible(c5, true);
    QVERIFY(!g.grid.isColumnHidden(c5));
    g.model.setColumnHeading(c5, "6.1\"-\n9\"\n(t/ac)");
    QCOMPARE(g.model.headerData(c5, Qt::Horizontal, Qt::DisplayRole).toString(), QString("6.1\"-\n9\"\n(t/ac)"));
    g.model.setColumnVisible(c5, false);
    QVERIFY(g.grid.isColumnHidden(c5));
    const int pic = g.column("PhotoPic");
    g.model.setColumnLocked(pic, true);
    g.model.appendRow({});
    QVERIFY(!(g.model.flags(g.model.index(0, pic)) & Qt::ItemIsEditable));
}

void PhotoGridTest::editorStartsFromFullValueAndNeverClamps()
{
    ProgramDir dir;
    const qint64 book = dir.addBook("B");
    dir.addPhoto(book, {{"TonsPerAcreBreak1", 12.345}, {"TreesPerAcre", 12.345}});
    Grid g(dir);
    QCOMPARE(editor::loadInto(dir.store().db(), book, g.model).error(), QString());
    g.grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&g.grid));

    for (const char *field : {"TonsPerAcreBreak1", "TreesPerAcre"}) {
        const QModelIndex cell = g.cell(0, field);
        QCOMPARE(cell.data().toString(), QString(field[0] == 'T' && field[1] == 'o' ? "12.35" : "12.345"));
        g.grid.setCurrentIndex(cell);
        g.grid.edit(cell);
        auto *line = qobject_cast<QLineEdit *>(g.grid.indexWidget(cell));
        QVERIFY(line);
        QCOMPARE(line->text(), QString("12.345"));
        line->selectAll();
        QTest::keyClicks(line, "150");
        QTest::keyClick(line, Qt::Key_Return);
        QTRY_COMPARE(g.model.value(0, field).toDouble(), 150.0);
    }
}

void PhotoGridTest::lockedCodeColumnIgnoresTyping()
{
    ProgramDir dir;
    const qint64 book = dir.addBook("B");
    dir.addPhoto(book, {{"VegType", "SAF"}, {"PhotoLabel", "1"}});
    Grid g(dir);
    QCOMPARE(editor::loadInto(dir.store().db(), book, g.model).error(), QString());
    g.grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&g.grid));
    for (const char *field : {"VegType", "Activity", "FireBehaveFM", "FireBehaveFM2", "DangerRatingFM"}) {
        g.grid.setCurrentIndex(g.cell(0, field));
        QTest::keyClicks(g.grid.viewport(), "5");
        QTest::keyClick(g.grid.viewport(), Qt::Key_Return);
        QVERIFY(!g.grid.isEditing());
    }
    QCOMPARE(g.model.value(0, "VegType").toString(), QString("SAF"));
    QVERIFY(g.model.value(0, "Activity").isNull());
    QVERIFY(!g.model.hasPendingChanges());

    g.grid.setCurrentIndex(g.cell(0, "PhotoLabel"));
    QTest::keyClicks(g.grid.viewport(), "7");
    QVERIFY(g.grid.isEditing());
    g.grid.commitPendingEdit();
    QCOMPARE(g.model.value(0, "PhotoLabel").toString(), QString("7"));
}

void PhotoGridTest::numberCellRefusesText()
{
    ProgramDir dir;
    Grid g(dir);
    g.model.appendRow(PhotoTableModel::defaultPhotoValues(1, "B"));
    QVERIFY(!g.model.setData(g.cell(0, "TreesPerAcre"), "1.2.3", Qt::EditRole));
    QCOMPARE(g.model.value(0, "TreesPerAcre").toDouble(), 1.0);
    QVERIFY(g.model.setData(g.cell(0, "GroupLabel"), "", Qt::EditRole));
    QCOMPARE(g.model.value(0, "GroupLabel"), QVariant(QString("")));
    QVERIFY(g.model.setValue(0, "HerbTonsPerAcre", "-5"));
    QCOMPARE(g.model.value(0, "HerbTonsPerAcre").toDouble(), -5.0);
}

void PhotoGridTest::keysMoveAndWrap()
{
    ProgramDir dir;
    Grid g(dir);
    g.model.appendRow({});
    g.model.appendRow({});
    g.grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&g.grid));
    const int last = g.column("DataPic");
    QWidget *view = g.grid.viewport();

    g.grid.setCurrentIndex(g.model.index(0, last));
    QTest::keyClick(view, Qt::Key_Tab);
    QCOMPARE(g.grid.currentIndex(), g.model.index(1, 0));
    QTest::keyClick(view, Qt::Key_Left);
    QCOMPARE(g.grid.currentIndex(), g.model.index(0, last));
    QTest::keyClick(view, Qt::Key_Right);
    QCOMPARE(g.grid.currentIndex(), g.model.index(1, 0));

    // Enter moves right, skipping hidden columns, and wraps as well.
    g.grid.setCurrentIndex(g.cell(0, "TonsPerAcreBreak4"));
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(g.grid.currentIndex(), g.cell(0, "HerbTonsPerAcre"));
    g.grid.setCurrentIndex(g.model.index(0, last));
    QTest::keyClick(view, Qt::Key_Enter);
    QCOMPARE(g.grid.currentIndex(), g.model.index(1, 0));

    // Enter in a cell editor commits and moves right.
    g.grid.setCurrentIndex(g.cell(1, "GroupLabel"));
    QTest::keyClick(view, 'R');
    QWidget *editor = g.grid.indexWidget(g.cell(1, "GroupLabel"));
    QVERIFY(editor);
    QTest::keyClicks(editor, "idge");
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(g.grid.currentIndex(), g.cell(1, "TonsPerAcreBreak1"));
    QCOMPARE(g.model.value(1, "GroupLabel").toString(), QString("Ridge"));
    QCOMPARE(g.model.currentRow(), 1);
}

void PhotoGridTest::settingACellToItsOwnValueChangesNothing()
{
    ProgramDir dir;
    const qint64 book = dir.addBook("B");
    dir.addPhoto(book, {{"PhotoLabel", "1"}, {"HerbTonsPerAcre", 1.5}, {"GroupLabel", "Flat"}});
    PhotoTableModel model;
    QCOMPARE(editor::loadInto(dir.store().db(), book, model).error(), QString());
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.setValue(0, "HerbTonsPerAcre", 1.5));
    QVERIFY(model.setValue(0, "GroupLabel", "Flat"));
    QVERIFY(model.value(0, "Oto3FL").isNull());
    QVERIFY(model.setValue(0, "Oto3FL", QVariant())); // unset, and set to nothing
    // Every column of the grid, set to what it holds, nulls included.
    for (int column = 0; column < model.columnCount(); ++column)
        QVERIFY(model.setData(model.index(0, column), model.value(0, model.column(column).field), Qt::EditRole));
    QVERIFY(!model.hasPendingChanges());
    QVERIFY(!model.isEdited());
    QCOMPARE(changed.count(), 0);
    // A real change is one.
    QVERIFY(model.setValue(0, "GroupLabel", "Ridge"));
    QVERIFY(model.hasPendingChanges());
    QCOMPARE(changed.count(), 1);
}

void PhotoGridTest::changesReachStoreOnlyWhenSaved()
{
    ProgramDir dir;
    const qint64 book = dir.addBook("B");
    const qint64 keep = dir.addPhoto(book, {{"PhotoLabel", "keep"}, {"HerbTonsPerAcre", 1.0}});
    const qint64 drop = dir.addPhoto(book, {{"PhotoLabel", "drop"}});
    dir.addPhoto(dir.addBook("Other"), {{"PhotoLabel", "other"}});
    PhotoTableModel model;
    const auto loaded = editor::loadInto(dir.store().db(), book, model);
    QCOMPARE(loaded.error(), QString());
    QCOMPARE(model.rowCount(), 2);
    QVERIFY(!model.hasPendingChanges());

    QVERIFY(model.setValue(0, "HerbTonsPerAcre", 2.5));
    model.removePhoto(1);
    const int added = model.appendRow(PhotoTableModel::defaultPhotoValues(book, "B"));
    model.setValue(added, "PhotoLabel", "new");
    QVERIFY(model.hasPendingChanges());
    QCOMPARE(dir.column("SELECT PhotoLabel FROM Photos ORDER BY ID"), (QVariantList{"keep", "drop", "other"}));
    QCOMPARE(dir.scalar("SELECT HerbTonsPerAcre FROM Photos WHERE ID = " + QString::number(keep)).toDouble(), 1.0);

    const auto saved = save(dir, *loaded, model);
    QCOMPARE(saved.error(), QString());
    QVERIFY(!model.hasPendingChanges());
    QCOMPARE(dir.column("SELECT PhotoLabel FROM Photos ORDER BY ID"), (QVariantList{"keep", "other", "new"}));
    QCOMPARE(dir.scalar("SELECT HerbTonsPerAcre FROM Photos WHERE ID = " + QString::number(keep)).toDouble(), 2.5);
    QVERIFY(model.rowKey(1) > drop);
    QCOMPARE(dir.scalar("SELECT CanopyClosure FROM Photos WHERE PhotoLabel = 'new'").toDouble(), 0.5);
    // The model holds what the store holds: a second save finds nothing changed elsewhere.
    model.setValue(1, "GroupLabel", "Ridge");
    QCOMPARE(save(dir, *saved, model).error(), QString());
}

void PhotoGridTest::failedWriteKeepsEveryChangePending()
{
    ProgramDir dir;
    const qint64 book = dir.addBook("B");
    dir.addPhoto(book, {{"PhotoLabel", "a"}});
    dir.addPhoto(book, {{"PhotoLabel", "b"}});
    PhotoTableModel model;
    const auto loaded = editor::loadInto(dir.store().db(), book, model);
    QCOMPARE(loaded.error(), QString());
    model.setValue(0, "PhotoLabel", "a2");
    model.removePhoto(1);
    model.appendRow({{"BookID", book}, {"PhotoLabel", "refused"}});
    QSqlQuery q(dir.store().db());
    QVERIFY(q.exec("CREATE TRIGGER refuse BEFORE INSERT ON Photos WHEN NEW.PhotoLabel = 'refused' "
                   "BEGIN SELECT RAISE(ABORT, 'no room'); END"));
    QVERIFY(save(dir, *loaded, model).error().contains("no room"));
    QCOMPARE(dir.column("SELECT PhotoLabel FROM Photos ORDER BY ID"), (QVariantList{"a", "b"}));
    QVERIFY(model.hasPendingChanges());
    QCOMPARE(model.value(0, "PhotoLabel").toString(), QString("a2"));
    QCOMPARE(model.rowCount(), 2);
}

void PhotoGridTest::removingRowsKeepsTheCurrentRowInStep()
{
    ProgramDir dir;
    Grid g(dir);
    for (const char *label : {"a", "b", "c"})
        g.model.appendRow({{"PhotoLabel", label}});
    g.grid.show();
    g.grid.setCurrentRow(1);
    g.model.removePhoto(1);
    QCOMPARE(g.model.currentRow(), g.grid.currentIndex().row());
    const int current = g.model.currentRow();
    QVERIFY(current >= 0);
    g.model.removePhoto(current == 0 ? 1 : 0); // not current: current shifts
    QCOMPARE(g.model.currentRow(), g.grid.currentIndex().row());
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Photos").toInt(), 0);
}

void PhotoGridTest::largeBookEveryRowReachableAndOneChangeOneWrite()
{
    ProgramDir dir;
    const qint64 book = dir.addBook("Big");
    {
        store::Transaction t(dir.store().db());
        for (int i = 0; i < 10000; ++i)
            dir.addPhoto(book, {{"BookLabel", "Big"}, {"PhotoLabel", QString::number(i)}, {"TreesPerAcre", i}});
        QCOMPARE(t.commit().error(), QString());
    }
    Grid g(dir);
    QCOMPARE(editor::loadInto(dir.store().db(), book, g.model).error(), QString());
    QCOMPARE(g.model.rowCount(), 10000);
    g.grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&g.grid));
    g.grid.scrollToBottom();
    const QModelIndex last = g.cell(9999, "PhotoLabel");
    QVERIFY(g.grid.viewport()->rect().intersects(g.grid.visualRect(last)));
    QCOMPARE(last.data().toString(), QString("9999"));

    g.model.setValue(9999, "TreesPerAcre", 5);
    const qint64 before = totalChanges(dir);
    QCOMPARE(save(dir, *store::loadBookHeader(dir.store().db(), book), g.model).error(), QString());
    // The book's row twice (taken for the save, then its header) and the one changed photo; and
    // the book's change counter, raised by the header (for its old and its new key) and the photo.
    QCOMPARE(totalChanges(dir) - before, 6);
    QCOMPARE(dir.scalar("SELECT TreesPerAcre FROM Photos WHERE PhotoLabel = '9999'").toDouble(), 5.0);
}

QTEST_MAIN(PhotoGridTest)
#include "tst_photogrid.moc"
