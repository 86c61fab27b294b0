#include "TestSupport.h"

#include "editor/BookEdits.h"
#include "editor/PhotoTableModel.h"
#include "store/BookRecord.h"

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
    std::atomic<bool> saving = false; // it has read the book and is saving it
    std::atomic<bool> finished = false;
    QString error;
};

// The second user's store waits this long for a busy file or row: longer than any test waits,
// so that a slow machine never turns a wait into a failure.
constexpr int kPatientMs = 60000;

QThread *startSave(const QString &location, qint64 book, const QString &description, SecondSave &outcome)
{
    QThread *thread = QThread::create([=, &outcome] {
        {
            store::Store s(location, kPatientMs);
            QString error = s.open().error();
            const auto loaded = error.isEmpty() ? store::loadBookHeader(s.db(), book) : store::fail(error);
            editor::PhotoTableModel photos;
            if (loaded && editor::loadInto(s.db(), book, photos)) {
                store::HeaderFields header;
                header.label = loaded->label.toString();
                header.description = description;
                outcome.saving = true;
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

// On a server: how many other sessions of this database wait for a lock.
int sessionsWaitingForALock(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() "
                               "AND pid <> pg_backend_pid() AND wait_event_type = 'Lock'")) ||
        !q.next())
        return -1;
    return q.value(0).toInt();
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
    bool saving = false;
    bool waiting = false;
    bool unfinished = false;
    QString committed;
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
        // The first save holds the book (on a server, its row: the second session is seen
        // waiting for that lock), so the second cannot finish before the first commits. The
        // checks come after the thread has ended, which a failed one must not skip.
        saving = QTest::qWaitFor([&] { return second.saving.load(); }, 30000);
        waiting =
            saving && (!dir.onServer() || QTest::qWaitFor([&] { return sessionsWaitingForALock(db) > 0; }, 30000));
        unfinished = !second.finished;
        committed = first.commit().error();
    }
    QVERIFY(thread->wait(kPatientMs + 30000));
    delete thread;
    QVERIFY2(saving, "the second save did not start");
    QVERIFY2(waiting, "the second save's session was not seen waiting for the lock");
    QVERIFY2(unfinished, "the second save finished while the first held the book");
    QCOMPARE(committed, QString());
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

    // The first save holds its book until the second has finished: a second save that waited
    // for it would still be waiting (it waits far longer than this test).
    SecondSave second;
    QThread *thread = startSave(dir.storeLocation(), theirs, "saved meanwhile", second);
    const bool finishedMeanwhile = thread->wait(30000);
    QCOMPARE(first.commit().error(), QString());
    QVERIFY(thread->wait(kPatientMs + 30000));
    delete thread;
    QVERIFY2(finishedMeanwhile, "the save of another book waited for the first save");
    QCOMPARE(second.error, QString());
}

QTEST_GUILESS_MAIN(ConcurrentSaveTest)
#include "tst_concurrentsave.moc"
