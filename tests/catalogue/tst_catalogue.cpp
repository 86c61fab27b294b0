#include "TestSupport.h"

#include "catalogue/BookListModel.h"
#include "catalogue/CatalogueWindow.h"
#include "library/BookList.h"
#include "version.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>

using testing::ProgramDir;
using testing::ScriptedMessages;

namespace {

struct Catalogue
{
    explicit Catalogue(ProgramDir &dir, store::DriveTypeQuery cd = store::noCdRomDrive)
        : window(catalogue::AppContext{dir.path(), &messages, &dir.settings(), std::move(cd),
                                       catalogue::askSaveFileName, nullptr, dir.storeLocation()})
    {
    }
    bool load() { return window.load(); }
    template <typename T> T *find(const char *name) { return window.findChild<T *>(QLatin1String(name)); }
    QTableView *grid() { return find<QTableView>("grdBooks"); }
    QLineEdit *path() { return find<QLineEdit>("txtPath"); }
    QString cell(int row, int column) { return grid()->model()->index(row, column).data().toString(); }

    ScriptedMessages messages;
    catalogue::CatalogueWindow window;
};

QString storedPhotoDir(ProgramDir &dir)
{
    return QSettings(dir.settingsFile(), QSettings::IniFormat).value("PhotoDir", "<absent>").toString();
}

} // namespace

class CatalogueTest : public QObject
{
    Q_OBJECT

private slots:
    void opensOnEmptyStoreWithGridLayout();
    void listsBooksWithOwnerWordsAndCounts();
    void createsPhotoImagesOnlyWhenMissing();
    void imageRootDefaultIsWrittenAtOnce_data();
    void imageRootDefaultIsWrittenAtOnce();
    void storedImageRootIsKept();
    void tickingActiveChangesOneRow();
    void bookListModelKeepsTheModelContract();
    void exitAppendsSeparatorButCloseBoxDoesNot_data();
    void exitAppendsSeparatorButCloseBoxDoesNot();
    void damagedStoreIsReportedAndUntouched();
    void unsavedImageRootIsReportedOncePerRun();
    void buttonsCarryTheirCaptions();
    void storeLabelNamesTheStoreAndFitsTheWindow();
    void passwordDialogHidesTheTypingAndGivesItBack();
    void serverPasswordIsAskedAtStartUp_data();
    void serverPasswordIsAskedAtStartUp();
};

void CatalogueTest::opensOnEmptyStoreWithGridLayout()
{
    ProgramDir dir;
    Catalogue c(dir);
    QVERIFY(c.load());
    QCOMPARE(c.messages.count(), 0);
    QCOMPARE(c.window.windowTitle(), QString("Manage Photo Series Books - %1.%2.%3")
                                         .arg(PHOTOSERIES_VERSION_MAJOR)
                                         .arg(PHOTOSERIES_VERSION_MINOR)
                                         .arg(PHOTOSERIES_VERSION_PATCH));
    QAbstractItemModel *m = c.grid()->model();
    QCOMPARE(m->rowCount(), 0);
    QCOMPARE(m->columnCount(), 5);
    QStringList headings;
    for (int i = 0; i < 5; ++i) {
        headings << m->headerData(i, Qt::Horizontal).toString();
        QCOMPARE(m->headerData(i, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    }
    QCOMPARE(headings, (QStringList{"Active", "Owner", "Book\nName", "Book\nDescription", "Number of\nPhotos"}));
    const int widths[] = {37, 57, 153, 367, 60};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(c.grid()->columnWidth(i), widths[i]);
    QVERIFY(c.grid()->tabKeyNavigation());
    QCOMPARE(c.grid()->selectionBehavior(), QAbstractItemView::SelectRows);
    QVERIFY(c.grid()->selectionMode() != QAbstractItemView::SingleSelection);
    // The new store is made where the context says, with its tables.
    QCOMPARE(QFile::exists(dir.storePath()), !dir.onServer());
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Books").toInt(), 0);
}

void CatalogueTest::listsBooksWithOwnerWordsAndCounts()
{
    ProgramDir dir;
    const qint64 user = dir.addBook(
        QVariantMap{{"BookLabel", "b-user"}, {"BookDescription", "Mixed conifer"}, {"Locked", 0}, {"NumOfPhotos", 99}});
    dir.addBook(QVariantMap{{"BookLabel", "A-plus"}, {"Locked", -1}, {"Active", -1}});
    dir.addBook(QVariantMap{{"BookLabel", "C-one"}, {"Locked", 1}});
    dir.addPhoto(user);
    dir.addPhoto(user);
    dir.closeStore();

    Catalogue c(dir);
    QVERIFY(c.load());
    QAbstractItemModel *m = c.grid()->model();
    QCOMPARE(m->rowCount(), 3);
    QCOMPARE(c.cell(0, 2), QString("A-plus"));
    QCOMPARE(c.cell(0, 1), QString("OrvanePlus"));
    QCOMPARE(m->index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(c.cell(1, 1), QString("User"));
    QCOMPARE(c.cell(1, 3), QString("Mixed conifer"));
    QCOMPARE(c.cell(1, 4), QString("2")); // stale 99 recounted
    QCOMPARE(m->index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(c.cell(2, 1), QString("OrvanePlus")); // any non-zero is true
    QCOMPARE(c.cell(2, 4), QString("0"));
    QCOMPARE(m->index(0, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(192, 255, 192));
    QCOMPARE(m->index(0, 1).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 192));
    QCOMPARE(m->index(0, 4).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight, int(Qt::AlignRight));
    // Only the Active column can be changed.
    QVERIFY(m->flags(m->index(0, 0)) & Qt::ItemIsUserCheckable);
    for (int col = 1; col < 5; ++col)
        QVERIFY(!(m->flags(m->index(0, col)) & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)));
}

void CatalogueTest::createsPhotoImagesOnlyWhenMissing()
{
    {
        ProgramDir dir;
        Catalogue c(dir);
        QVERIFY(c.load());
        QVERIFY(QFileInfo(dir.filePath("PhotoImages")).isDir());
    }
    {
        ProgramDir dir;
        QVERIFY(QDir(dir.path()).mkpath("photoimages/Int-46"));
        Catalogue c(dir);
        QVERIFY(c.load());
        QVERIFY(QFileInfo(dir.filePath("photoimages/Int-46")).isDir());
        QVERIFY(!QFileInfo::exists(dir.filePath("PhotoImages")));
    }
}

void CatalogueTest::imageRootDefaultIsWrittenAtOnce_data()
{
    QTest::addColumn<QString>("cdDrives");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no CD-ROM") << ""
                               << "photoimages/";
    QTest::newRow("CD-ROM at D") << "D"
                                 << "D:/photoimages/";
    QTest::newRow("CD-ROM at E and F") << "FE"
                                       << "E:/photoimages/";
}

void CatalogueTest::imageRootDefaultIsWrittenAtOnce()
{
    QFETCH(QString, cdDrives);
    QFETCH(QString, expected);
    ProgramDir dir;
    Catalogue c(dir, [&](QChar letter) { return cdDrives.contains(letter); });
    QVERIFY(c.load());
    QCOMPARE(c.path()->text(), expected);
    QCOMPARE(c.path()->toolTip(), expected);
    QCOMPARE(storedPhotoDir(dir), expected);
}

void CatalogueTest::storedImageRootIsKept()
{
    ProgramDir dir;
    QVERIFY(dir.settings().setPhotoDir("/data/images/").ok());
    Catalogue c(dir, [](QChar) { return true; });
    QVERIFY(c.load());
    QCOMPARE(c.path()->text(), QString("/data/images/"));
    // Edits rewrite the setting at once; the tooltip keeps the loaded value.
    c.path()->setText("/data/other");
    QCOMPARE(storedPhotoDir(dir), QString("/data/other"));
    QCOMPARE(c.path()->toolTip(), QString("/data/images/"));
}

void CatalogueTest::tickingActiveChangesOneRow()
{
    ProgramDir dir;
    dir.addBook("A");
    dir.addBook("B");
    dir.addBook("C");
    Catalogue c(dir);
    QVERIFY(c.load());
    c.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&c.window));

    QTableView *g = c.grid();
    const QRect cell = g->visualRect(g->model()->index(1, 0));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(dir.column("SELECT Active FROM Books ORDER BY BookLabel"), (QVariantList{0, -1, 0}));
    QCOMPARE(g->model()->index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(dir.column("SELECT Active FROM Books ORDER BY BookLabel"), (QVariantList{0, 0, 0}));

    // Space ticks the current row's box.
    g->setCurrentIndex(g->model()->index(2, 0));
    QTest::keyClick(g, Qt::Key_Space);
    QCOMPARE(dir.column("SELECT Active FROM Books ORDER BY BookLabel"), (QVariantList{0, 0, -1}));
}

// Every change the list goes through (re-query, filter, sort, a tick, books added and removed
// elsewhere) keeps the rules views rely on.
void CatalogueTest::bookListModelKeepsTheModelContract()
{
    ProgramDir dir;
    dir.addBook("Beta");
    dir.addBook("alpha");
    catalogue::BookListModel model(dir.store());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(model.requery());
    QCOMPARE(model.rowCount(), 2);
    model.setFilterText("ALP");
    QCOMPARE(model.rowCount(), 1);
    model.setFilterText({});
    model.sort(catalogue::BookListModel::BookLabel, Qt::DescendingOrder);
    QCOMPARE(model.index(0, catalogue::BookListModel::BookLabel).data().toString(), QString("Beta"));
    QVERIFY(model.setData(model.index(0, catalogue::BookListModel::Active), Qt::Checked, Qt::CheckStateRole));
    const qint64 gamma = dir.addBook("Gamma");
    QVERIFY(model.requery());
    QCOMPARE(model.rowCount(), 3);
    QVERIFY(library::removeBook(dir.store().db(), gamma));
    QVERIFY(model.requery());
    QCOMPARE(model.rowCount(), 2);
}

void CatalogueTest::exitAppendsSeparatorButCloseBoxDoesNot_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("viaExit");
    QTest::addColumn<QString>("stored");
    QTest::newRow("exit adds separator") << "/data/images" << true << "/data/images/";
    QTest::newRow("exit keeps existing separator") << "/data/images/" << true << "/data/images/";
    QTest::newRow("exit with empty path") << "" << true << "/";
    QTest::newRow("close box adds nothing") << "/data/images" << false << "/data/images";
}

void CatalogueTest::exitAppendsSeparatorButCloseBoxDoesNot()
{
    QFETCH(QString, typed);
    QFETCH(bool, viaExit);
    QFETCH(QString, stored);
    ProgramDir dir;
    Catalogue c(dir);
    QVERIFY(c.load());
    QSignalSpy unloaded(&c.window, &catalogue::CatalogueWindow::unloaded);
    c.window.show();
    c.path()->setText(typed);
    if (viaExit)
        QTest::mouseClick(c.find<QPushButton>("cmdClose"), Qt::LeftButton);
    else
        c.window.close();
    QCOMPARE(unloaded.count(), 1);
    QCOMPARE(storedPhotoDir(dir), stored);
    QCOMPARE(c.path()->text(), stored);
    QVERIFY(!c.window.isVisible());
}

void CatalogueTest::damagedStoreIsReportedAndUntouched()
{
    ProgramDir dir;
    if (dir.onServer())
        QSKIP("a damaged database file has no counterpart on a server");
    const QByteArray bytes("This is a spreadsheet, not a database\n");
    QVERIFY(dir.writeFile("Photo3.mdb", bytes));
    Catalogue c(dir);
    QVERIFY(!c.load());
    QCOMPARE(c.messages.count(), 1);
    QVERIFY(c.messages.last().message.text.contains(dir.storePath()));
    QCOMPARE(c.messages.last().message.icon, ui::Icon::Critical);
    QFile file(dir.storePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);
}

void CatalogueTest::unsavedImageRootIsReportedOncePerRun()
{
    ProgramDir dir;
    // The settings file would have to go into a folder that cannot be made: a file holds its name.
    QVERIFY(dir.writeFile("blocked", "a file, not a folder"));
    const QString file = dir.filePath("blocked/settings.ini");
    store::Settings settings(file);
    ScriptedMessages messages;
    catalogue::CatalogueWindow window(catalogue::AppContext{dir.path(), &messages, &settings, store::noCdRomDrive,
                                                            catalogue::askSaveFileName, nullptr, dir.storeLocation()});
    QVERIFY(window.load());
    QCOMPARE(messages.count(), 1);
    QVERIFY2(messages.last().message.text.contains(QDir::toNativeSeparators(file)),
             qPrintable(messages.last().message.text));

    auto *path = window.findChild<QLineEdit *>("txtPath");
    QTest::keyClicks(path, "abc");
    QTest::mouseClick(window.findChild<QPushButton *>("cmdClose"), Qt::LeftButton);
    QCOMPARE(messages.count(), 1);
}

void CatalogueTest::buttonsCarryTheirCaptions()
{
    ProgramDir dir;
    Catalogue c(dir);
    const QList<QStringList> expected{
        {"cmdAdd", "Create a Book", "Create a New Book"},
        {"cmdEdit", "Edit a Book", "Edit Selected Book"},
        {"cmdRemove", "Delete a Book", "Delete the Selected Book"},
        {"cmdImport", "Import", "Edit Selected Book"},
        {"cmdMarkAll", "Activate All", "Edit Selected Book"},
        {"cmdUnMarkAll", "Deactivate All", "Edit Selected Book"},
        {"cmdClose", "Exit", "Edit Selected Book"},
        {"cmdBrowse", "Set Location to Retrieve Images...", "Set the Path for Orvane to Find Images"},
    };
    for (const QStringList &e : expected) {
        auto *b = c.find<QPushButton>(qPrintable(e[0]));
        QVERIFY2(b, qPrintable(e[0]));
        QCOMPARE(b->text(), e[1]);
        QCOMPARE(b->toolTip(), e[2]);
        QVERIFY(b->isEnabled());
    }
}

void CatalogueTest::storeLabelNamesTheStoreAndFitsTheWindow()
{
    ProgramDir dir;
    // A database file deep in folders has a path wider than the window; a server shows its address.
    const QString deep = dir.filePath(QString(120, 'd') + "/" + QString(120, 'e'));
    QVERIFY(QDir().mkpath(deep));
    ScriptedMessages messages;
    catalogue::CatalogueWindow window(
        catalogue::AppContext{dir.path(), &messages, &dir.settings(), store::noCdRomDrive, catalogue::askSaveFileName,
                              nullptr, dir.onServer() ? dir.storeLocation() : deep + "/Photo3.mdb"});
    QVERIFY(window.load());
    auto *label = window.findChild<QLabel *>("lblStorePath");
    const QString whole = "Database: " + (dir.onServer() ? dir.storeLocation() : deep + "/Photo3.mdb");
    QCOMPARE(label->toolTip(), whole);
    const int wholeWidth = label->fontMetrics().horizontalAdvance(whole);
    window.show();
    window.resize(window.minimumSizeHint().width(), window.height());
    QTRY_VERIFY(label->width() < window.width());
    QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width());
    QVERIFY(label->text().endsWith(dir.onServer() ? whole.right(8) : "Photo3.mdb"));
    QVERIFY(dir.onServer() || window.minimumSizeHint().width() < wholeWidth);
    window.resize(wholeWidth + 100, window.height());
    QTRY_COMPARE(label->text(), whole);
}

void CatalogueTest::passwordDialogHidesTheTypingAndGivesItBack()
{
    for (const char *button : {"cmdOK", "cmdCancel"}) {
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog && dialog->objectName() == "frmPassword");
            // A failed check leaves no dialog waiting for ever.
            const auto cancel = qScopeGuard([dialog] {
                if (dialog->isVisible())
                    dialog->reject();
            });
            QCOMPARE(dialog->windowTitle(), QString("Photo Series Books"));
            QCOMPARE(dialog->findChild<QLabel *>("lblPrompt")->text(), QString("Password of ann for lib:"));
            auto *box = dialog->findChild<QLineEdit *>("txtPassword");
            QCOMPARE(box->echoMode(), QLineEdit::Password);
            QTest::keyClicks(box, "s3cret");
            QTest::mouseClick(dialog->findChild<QPushButton *>(button), Qt::LeftButton);
        });
        QCOMPARE(catalogue::askPassword(nullptr, "Password of ann for lib:"),
                 button == QByteArray("cmdOK") ? std::optional<QString>("s3cret") : std::nullopt);
    }
}

void CatalogueTest::serverPasswordIsAskedAtStartUp_data()
{
    // Answers: "right" the server's password, "cancel" the Cancel button, anything else typed.
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("told"); // empty: the catalogue loads
    QTest::newRow("right password") << QStringList{"right"} << "";
    QTest::newRow("wrong, then right") << QStringList{"wr0ng", "right"} << "";
    QTest::newRow("wrong, then cancel") << QStringList{"wr0ng", "cancel"} << "the password is wrong";
    QTest::newRow("cancel at once") << QStringList{"cancel"} << "asks for a password";
    QTest::newRow("three tries at most") << QStringList{"a", "b", "c", "right"} << "the password is wrong";
}

void CatalogueTest::serverPasswordIsAskedAtStartUp()
{
    QFETCH(QStringList, answers);
    QFETCH(QString, told);
    ProgramDir dir;
    if (!dir.onServer())
        QSKIP("a database file has no password");
    // Neither PGPASSWORD nor ~/.pgpass: both are given back for the dropping of the database.
    const QByteArray password = qgetenv("PGPASSWORD"), home = qgetenv("HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("PGPASSWORD", password);
        qputenv("HOME", home);
    });
    QTemporaryDir emptyHome;
    qunsetenv("PGPASSWORD");
    qputenv("HOME", emptyHome.path().toLocal8Bit());

    QStringList prompts;
    ScriptedMessages messages;
    catalogue::AppContext context{dir.path(), &messages, &dir.settings()};
    context.storeLocation = dir.storeLocation();
    context.password = [&](QWidget *, const QString &prompt) -> std::optional<QString> {
        const QString answer = answers.value(prompts.size());
        prompts << prompt;
        if (answer == "cancel")
            return std::nullopt;
        return answer == "right" ? QString(password) : answer;
    };
    catalogue::CatalogueWindow window(context);
    QCOMPARE(window.load(), told.isEmpty());

    const QString ask = "Password of photoseries for the library\n" + dir.storeLocation();
    QStringList expected{ask};
    while (expected.size() < qMin(answers.size(), qsizetype(3)))
        expected << "The server refused the password.\n" + ask;
    QCOMPARE(prompts, expected);
    QCOMPARE(messages.count(), told.isEmpty() ? 0 : 1);
    if (!told.isEmpty()) {
        QVERIFY2(messages.last().message.text.contains(told), qPrintable(messages.last().message.text));
        QVERIFY(!messages.last().message.text.contains("wr0ng"));
    }
}

QTEST_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
