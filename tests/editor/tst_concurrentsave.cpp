#include "TestSupport.h"

#include "editor/BookEdits.h"
#include "editor/PhotoTableModel.h"
#include "store/BookRecord.h"

#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

#include <atomic>

using testing::ProgramDir;

// Two users at once, each with a connection of their own, on either kind of store.
class ConcurrentSaveTest : public QObject
{
    Q_OBJECT

private slots:
    void secondSaveOfTheSameBookIsToldAndWritesNothing();
    void savesOfDifferentBooksDoNotWaitForEachOther();
};

namespace {

// What a second user's save did, run on a thread with its own connection.
struct SecondSave
{
    std::atomic<bool> finished = false;
    QString error;
};

QThread *startSave(const QString &location, qint64 book, const QString &description, SecondSave &outcome)
{
    QThread *thread = QThread::create([=, &outcome] {
        {
            store::Store s(location);
            QString error = s.open().error();
            const auto loaded = error.isEmpty() ? store::loadBookHeader(s.db(), book) : store::fail(error);
            editor::PhotoTableModel photos;
            if (loaded && editor::loadInto(s.db(), book, photos)) {
                store::HeaderFields header;
                header.label = loaded->label.toString();
                header.description = description;
                error = editor::saveEdits(s.db(), *loaded, header, photos).error();
            } else if (error.isEmpty()) {
                error = loaded.error();
            }
            outcome.error = error;
        }
        outcome.finished = true;
    });
    thread->start();
    return thread;
}

} // namespace

void ConcurrentSaveTest::secondSaveOfTheSameBookIsToldAndWritesNothing()
{
    ProgramDir dir;
    const qint64 book = dir.addBook("Shared");
    dir.addPhoto(book, {{"BookLabel", "Shared"}, {"PhotoLabel", "1"}});
    const QSqlDatabase db = dir.store().db();

    // The first user is in the middle of a save: the book is taken and its header written.
    const auto loaded = store::loadBookHeader(db, book);
    QVERIFY(loaded);
    SecondSave second;
    QThread *thread = nullptr;
    {
        store::Transaction first(db);
        QVERIFY(first.begun());
        QCOMPARE(store::lockBookForSave(db, book).error(), QString());
        store::HeaderFields header;
        header.label = "Shared";
        header.description = "first";
        QCOMPARE(store::writeBookHeader(db, book, header).error(), QString());

        // The second user read the book before the first save ends, and saves: it waits.
        thread = startSave(dir.storeLocation(), book, "second", second);
        QTest::qWait(300);
        QVERIFY(!second.finished);
        QCOMPARE(first.commit().error(), QString());
    }
    QVERIFY(thread->wait(10000));
    delete thread;
    // It read the book before the first save: it is told, and nothing of it is written.
    QCOMPARE(second.error, store::changedElsewhereMessage());
    QCOMPARE(dir.scalar(QString("SELECT BookDescription FROM Books WHERE ID = %1").arg(book)).toString(),
             QString("first"));
}

void ConcurrentSaveTest::savesOfDifferentBooksDoNotWaitForEachOther()
{
    ProgramDir dir;
    if (!dir.onServer())
        QSKIP("the database file takes one writer at a time");
    const qint64 mine = dir.addBook("Mine");
    const qint64 theirs = dir.addBook("Theirs");
    const QSqlDatabase db = dir.store().db();
    store::Transaction first(db);
    QVERIFY(first.begun());
    QCOMPARE(store::lockBookForSave(db, mine).error(), QString());

    SecondSave second;
    QElapsedTimer timer;
    timer.start();
    QThread *thread = startSave(dir.storeLocation(), theirs, "saved meanwhile", second);
    QVERIFY(thread->wait(10000));
    delete thread;
    QCOMPARE(second.error, QString());
    // Well below the time a save waits for a busy row.
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(first.commit().error(), QString());
}

QTEST_GUILESS_MAIN(ConcurrentSaveTest)
#include "tst_concurrentsave.moc"
