#include "TestSupport.h"

#include "catalogue/BookListModel.h"
#include "catalogue/CatalogueWindow.h"
#include "editor/BookEditor.h"
#include "editor/PhotoGrid.h"
#include "library/LibraryWatcher.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>

using testing::ProgramDir;
using testing::ScriptedMessages;

// Another program changes the library while the catalogue and the editor are open: the sqlite3
// shell on a file, psql on a server, each a process of its own.
class LiveChangesTest : public QObject
{
    Q_OBJECT

private slots:
    void catalogueFollowsAnotherProgram();
    void editorTellsOfAnotherProgramsChange();
    void lostServerConnectionIsReportedAndCaughtUp();
};

namespace {

// Longer than the watcher ever needs, so that a slow machine never fails the test.
constexpr int kWaitMs = 15000;

struct Catalogue
{
    explicit Catalogue(ProgramDir &dir)
        : window(catalogue::AppContext{dir.path(), &messages, &dir.settings(), store::noCdRomDrive,
                                       catalogue::askSaveFileName, nullptr, dir.storeLocation()})
    {
    }
    QTableView *grid() { return window.findChild<QTableView *>("grdBooks"); }
    QStringList labels()
    {
        QStringList out;
        for (int row = 0; row < grid()->model()->rowCount(); ++row)
            out << grid()->model()->index(row, catalogue::BookListModel::BookLabel).data().toString();
        return out;
    }
    int rowOf(const QString &label) { return int(labels().indexOf(label)); }
    QString currentLabel()
    {
        const QModelIndex current = grid()->currentIndex();
        return current.isValid() ? labels().value(current.row()) : QString();
    }
    QStringList selectedLabels()
    {
        QStringList out;
        for (const QModelIndex &index : grid()->selectionModel()->selectedRows())
            out << labels().value(index.row());
        out.sort();
        return out;
    }
    bool active(const QString &label)
    {
        return grid()->model()->index(rowOf(label), catalogue::BookListModel::Active).data(Qt::CheckStateRole) ==
               Qt::Checked;
    }

    ScriptedMessages messages;
    catalogue::CatalogueWindow window;
};

// Runs SQL in another program, as a user with the sqlite3 shell or psql would.
[[nodiscard]] bool anotherProgram(ProgramDir &dir, const QString &sql)
{
    QProcess shell;
    if (dir.onServer())
        shell.start(QStringLiteral("psql"), {QStringLiteral("-qX"), QStringLiteral("-v"),
                                             QStringLiteral("ON_ERROR_STOP=1"), dir.storeLocation()});
    else
        shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-bail"), dir.storePath()});
    CHECK2(shell.waitForStarted(kWaitMs), "the sqlite3 shell or psql could not be started");
    // The shell waits for a file the catalogue is reading at that moment.
    shell.write(((dir.onServer() ? QString() : QStringLiteral(".timeout 10000\n")) + sql + QLatin1Char('\n')).toUtf8());
    shell.closeWriteChannel();
    CHECK(shell.waitForFinished(kWaitMs));
    CHECK2(shell.exitCode() == 0, shell.readAllStandardError().constData());
    return true;
}

} // namespace

void LiveChangesTest::catalogueFollowsAnotherProgram()
{
    ProgramDir dir;
    for (const char *label : {"Alder", "Birch", "Cedar", "Dogwood", "Elm"})
        dir.addBook({{"BookLabel", QLatin1String(label)}, {"BookDescription", ""}});
    Catalogue c(dir);
    QVERIFY(c.window.load());
    c.window.findChild<QLineEdit *>("txtFilter")->setText("d");
    QCOMPARE(c.labels(), (QStringList{"Alder", "Cedar", "Dogwood"}));
    const QAbstractItemModel *model = c.grid()->model();
    const auto select = [&](const QString &label, QItemSelectionModel::SelectionFlags how) {
        c.grid()->selectionModel()->setCurrentIndex(model->index(c.rowOf(label), 0), how | QItemSelectionModel::Rows);
    };
    select("Alder", QItemSelectionModel::ClearAndSelect);
    select("Cedar", QItemSelectionModel::Select);

    // A book the filter hides changes: nothing shown moves or repaints.
    QSignalSpy refreshed(&c.window.bookList(), &catalogue::BookListModel::refreshed);
    QSignalSpy repainted(model, &QAbstractItemModel::dataChanged);
    QSignalSpy laidOut(model, &QAbstractItemModel::layoutChanged);
    QVERIFY(anotherProgram(dir, "UPDATE Books SET BookDescription = 'grove', Active = -1 WHERE BookLabel = 'Birch';"));
    QVERIFY(refreshed.wait(kWaitMs));
    QCOMPARE(repainted.count() + laidOut.count(), 0);

    // Added, activated, recounted and deleted in one go; the current book among the deleted.
    QVERIFY(anotherProgram(dir, "BEGIN;"
                                "INSERT INTO Books (BookLabel, BookDescription) VALUES ('Redwood', 'new');"
                                "UPDATE Books SET Active = -1, NumOfPhotos = 7 WHERE BookLabel = 'Alder';"
                                "DELETE FROM Books WHERE BookLabel = 'Cedar';"
                                "COMMIT;"));
    QTRY_VERIFY_WITH_TIMEOUT(c.labels().contains("Redwood"), kWaitMs);
    QCOMPARE(c.labels(), (QStringList{"Alder", "Dogwood", "Redwood"}));
    QVERIFY(c.active("Alder"));
    QCOMPARE(model->index(0, catalogue::BookListModel::NumOfPhotos).data().toInt(), 7);
    QCOMPARE(c.currentLabel(), QString("Dogwood"));
    QCOMPARE(c.selectedLabels(), QStringList{"Alder"});
    QCOMPARE(c.window.findChild<QLineEdit *>("txtFilter")->text(), QString("d"));
    QCOMPARE(c.window.findChild<QLabel *>("lblFilterCount")->text(), QString("3 of 5 books"));
    QCOMPARE(c.messages.count(), 0);
}

void LiveChangesTest::editorTellsOfAnotherProgramsChange()
{
    ProgramDir dir;
    QVERIFY(dir.copyCodeFiles());
    const qint64 book = dir.addBook("Pine");
    dir.addPhoto(book, {{"PhotoLabel", "one"}});
    const qint64 other = dir.addBook("Fir");
    Catalogue c(dir);
    QVERIFY(c.window.load());
    c.grid()->selectionModel()->setCurrentIndex(c.grid()->model()->index(c.rowOf("Pine"), 0),
                                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::mouseClick(c.window.findChild<QPushButton *>("cmdEdit"), Qt::LeftButton);
    editor::BookEditor *editor = c.window.editorWindow();
    QVERIFY(editor);
    editor->show();
    auto *line = editor->findChild<QFrame *>("fraChanged");
    auto *name = editor->findChild<QLineEdit *>("txtName");

    // The editor's own save is not another program's change.
    name->setText("mine");
    QTest::mouseClick(editor->findChild<QPushButton *>("cmdSaveNow"), Qt::LeftButton);
    QCOMPARE(dir.scalar(QString("SELECT BookDescription FROM Books WHERE ID = %1").arg(book)).toString(),
             QString("mine"));
    // Another program's change to another book comes after the save's own notice, and is seen.
    QVERIFY(anotherProgram(dir, QString("UPDATE Books SET Active = -1 WHERE ID = %1;").arg(other)));
    QTRY_VERIFY_WITH_TIMEOUT(c.active("Fir"), kWaitMs);
    QVERIFY(!line->isVisible());

    // Another program's change shows the line; Keep editing keeps the typing, Save still refuses.
    name->setText("typed here");
    QVERIFY(anotherProgram(dir, QString("UPDATE Photos SET PhotoLabel = 'theirs' WHERE BookID = %1;").arg(book)));
    QTRY_VERIFY_WITH_TIMEOUT(line->isVisible(), kWaitMs);
    QCOMPARE(line->findChild<QLabel *>("lblChanged")->text(), QString("This book was changed by another program."));
    QCOMPARE(c.messages.count(), 0);
    QTest::mouseClick(line->findChild<QPushButton *>("cmdKeepEditing"), Qt::LeftButton);
    QVERIFY(!line->isVisible());
    QCOMPARE(name->text(), QString("typed here"));
    c.messages.answerNext(false);
    QTest::mouseClick(editor->findChild<QPushButton *>("cmdSaveNow"), Qt::LeftButton);
    QVERIFY(c.messages.last().message.text.startsWith("This book was changed by another program"));
    QCOMPARE(dir.scalar(QString("SELECT BookDescription FROM Books WHERE ID = %1").arg(book)).toString(),
             QString("mine"));

    // Reload shows the stored book.
    QVERIFY(anotherProgram(dir, QString("UPDATE Books SET BookDescription = 'theirs' WHERE ID = %1;").arg(book)));
    QTRY_VERIFY_WITH_TIMEOUT(line->isVisible(), kWaitMs);
    QTest::mouseClick(line->findChild<QPushButton *>("cmdReload"), Qt::LeftButton);
    QVERIFY(!line->isVisible());
    QCOMPARE(name->text(), QString("theirs"));
    const QAbstractItemModel *photos = editor->grid()->model();
    QVERIFY(!photos->match(photos->index(0, 0), Qt::DisplayRole, "theirs", 1, Qt::MatchExactly).isEmpty() ||
            !photos->match(photos->index(0, 1), Qt::DisplayRole, "theirs", 1, Qt::MatchExactly).isEmpty());

    // A deletion shows it too.
    QVERIFY(anotherProgram(
        dir, QString("DELETE FROM Photos WHERE BookID = %1; DELETE FROM Books WHERE ID = %1;").arg(book)));
    QTRY_VERIFY_WITH_TIMEOUT(line->isVisible(), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(c.labels(), QStringList{"Fir"}, kWaitMs);
}

void LiveChangesTest::lostServerConnectionIsReportedAndCaughtUp()
{
    ProgramDir dir;
    if (!dir.onServer())
        QSKIP("a file has no connection to lose");
    dir.addBook("Ash");
    Catalogue c(dir);
    QVERIFY(c.window.load());
    QSignalSpy lost(c.window.libraryWatcher(), &library::LibraryWatcher::connectionLost);
    QSignalSpy restored(c.window.libraryWatcher(), &library::LibraryWatcher::connectionRestored);
    QSqlQuery pid(c.window.store().db());
    QVERIFY(pid.exec("SELECT pg_backend_pid()") && pid.next());

    // The library refuses every new connection and the catalogue's is ended, as when the server
    // stops; the test's own connection stays to make a change meanwhile and let it in again.
    const QString database = dir.store().db().databaseName();
    QSqlDatabase server = testing::openPgUrl(testing::pgServerUrl(), "admin");
    QVERIFY2(server.isOpen(), qPrintable(server.lastError().text()));
    QSqlQuery admin(server);
    QVERIFY(admin.exec("ALTER DATABASE " + database + " ALLOW_CONNECTIONS false"));
    QVERIFY(admin.exec("SELECT pg_terminate_backend(" + pid.value(0).toString() + ")"));
    QVERIFY(lost.wait(kWaitMs));
    auto *line = c.window.findChild<QLabel *>("lblStorePath");
    QCOMPARE(line->text(), QString("Connection to the library lost; retrying"));
    dir.addBook("Beech");
    // Attempts go on, without a message each, until the library lets the catalogue in again.
    c.window.libraryWatcher()->checkNow();
    c.window.libraryWatcher()->checkNow();
    QVERIFY(c.window.libraryWatcher()->isConnectionLost());
    QCOMPARE(line->text(), QString("Connection to the library lost; retrying"));
    QVERIFY(admin.exec("ALTER DATABASE " + database + " ALLOW_CONNECTIONS true"));
    QVERIFY(restored.wait(kWaitMs));
    QTRY_COMPARE_WITH_TIMEOUT(c.labels(), (QStringList{"Ash", "Beech"}), kWaitMs);
    QVERIFY(line->text().startsWith("Database: ") || line->toolTip().startsWith("Database: "));
    QVERIFY(line->text() != "Connection to the library lost; retrying");
    QCOMPARE(c.messages.count(), 0);
    // Changes by others are notified again on the new connection.
    QVERIFY(anotherProgram(dir, "UPDATE Books SET Active = -1 WHERE BookLabel = 'Ash';"));
    QTRY_VERIFY_WITH_TIMEOUT(c.active("Ash"), kWaitMs);
    admin = QSqlQuery();
    server = QSqlDatabase();
    QSqlDatabase::removeDatabase("admin");
}

QTEST_MAIN(LiveChangesTest)
#include "tst_livechanges.moc"
