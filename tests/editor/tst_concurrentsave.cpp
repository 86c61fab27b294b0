#include "TestSupport.h"

#include "editor/BookEdits.h"
#include "editor/PhotoTableModel.h"
#include "library/BookList.h"
#include "library/BookSave.h"
#include "store/BookRecord.h"
#include "store/Schema.h"

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
    void newBooksOfOneLabelSavedAtOnceMakeOne();
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

// Two editors save a new book each under one label (letter case aside) while the first save is
// still open: the second waits for the label, then is refused as a duplicate; the store holds the
// first book alone, with its photos only.
void ConcurrentSaveTest::newBooksOfOneLabelSavedAtOnceMakeOne()
{
    ProgramDir dir;
    dir.store();
    const QString location = dir.storeLocation();
    const auto newBook = [](const QString &label, const QString &photo) {
        library::BookChanges changes;
        changes.header.label = label;
        store::PhotoValues values(store::photoFields().size());
        values[store::photoFieldIndex(QStringLiteral("PhotoLabel"))] = photo;
        changes.photos.added = {values};
        return changes;
    };
    store::Store first(location, kPatientMs);
    QVERIFY(first.open());
    std::atomic<bool> saving = false;
    store::Result<library::SavedBook> second = store::fail(QStringLiteral("not run"));
    QThread *thread = nullptr;
    bool waiting = false;
    {
        // The first save, stopped half-way: its book written, its transaction open.
        store::Transaction open(first.db());
        QVERIFY(open.begun());
        QVERIFY(library::lockLabel(first.db(), QStringLiteral("Same")));
        QVERIFY(library::refuseTakenLabel(first.db(), QStringLiteral("Same"), 0));
        QVERIFY(store::addBook(first.db(), QStringLiteral("Same")));
        thread = QThread::create([&] {
            store::Store other(location, kPatientMs);
            if (!other.open())
                return;
            saving = true;
            second = library::saveBook(other.db(), newBook(QStringLiteral("SAME"), QStringLiteral("theirs")));
        });
        thread->start();
        waiting = QTest::qWaitFor([&] { return saving.load(); }, 30000) &&
                  (!dir.onServer() || QTest::qWaitFor([&] { return sessionsWaitingForALock(first.db()) > 0; }, 30000));
        QVERIFY(open.commit());
    }
    QVERIFY(thread->wait(kPatientMs + 30000));
    delete thread;
    QVERIFY2(waiting, "the second save was not seen waiting for the label");
    QVERIFY2(second.is(store::FailureKind::Duplicate), qPrintable(second.error()));
    QCOMPARE(dir.column("SELECT BookLabel FROM Books"), QVariantList{"Same"});
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Photos").toInt(), 0);
}

QTEST_GUILESS_MAIN(ConcurrentSaveTest)
#include "tst_concurrentsave.moc"
