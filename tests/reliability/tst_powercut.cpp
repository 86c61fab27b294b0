#include "PowerCutVfs.h"
#include "TestSupport.h"

#include "editor/BookEdits.h"
#include "editor/PhotoTableModel.h"
#include "library/BookImport.h"
#include "library/BookList.h"
#include "store/BookRecord.h"
#include "store/Store.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

#include <functional>

using testing::ProgramDir;

// Cuts the power at random moments of the store's writes (a book save with every photo
// changed, an import, a deletion, Activate All), and again at a random moment of the rollback
// that the next opening of the store performs, and checks what the disk holds afterwards: a
// sound database in which each operation is whole or absent, and whole when it was reported as
// done. The store is opened as the program opens it (its pragmas included) over a file system
// that loses what was not synced, directory entries included. POWERCUT_CUTS sets the number of
// cuts (200 by default), POWERCUT_SEED replays a run.
class PowerCutTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writesAreWholeOrAbsentAfterACut_data();
    void writesAreWholeOrAbsentAfterACut();
    void cleanupTestCase();

private:
    ProgramDir m_dir;
    QString m_base; // the store every run starts from
    qint64 m_saved = 0;
    int m_cuts = 0;
    int m_recoveryCuts = 0;
    int m_whole = 0;
    int m_absent = 0;
    int m_broken = 0;
};

namespace {

constexpr int kPhotos = 40;

using Operation = std::function<bool(const QSqlDatabase &db, qint64 saved)>;

// Both tables, every field, as text.
QString dump(const QSqlDatabase &db)
{
    QString out;
    for (const char *table : {"Books", "Photos"}) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY ID").arg(QLatin1String(table))))
            return QStringLiteral("unreadable: ") + q.lastError().text();
        while (q.next()) {
            for (int i = 0; i < q.record().count(); ++i)
                out += (q.isNull(i) ? QStringLiteral("<null>") : q.value(i).toString()) + QLatin1Char('|');
            out += QLatin1Char('\n');
        }
    }
    return out;
}

// Opens the store at `path` as the program does (checks, pragmas, the rollback of an unfinished
// change), through the power-cut file system or the real one, runs `body` on it and closes it.
// Returns the opening's failure, or an empty text.
template <typename Body> QString withStore(const QString &path, bool throughVfs, Body body)
{
    powercut::makeDefault(throughVfs);
    QString failure;
    {
        store::Store store(path);
        if (const auto opened = store.open(); opened)
            body(store.db());
        else
            failure = opened.error();
    }
    powercut::makeDefault(false);
    return failure;
}

QString journalOf(const QString &path)
{
    return path + QStringLiteral("-journal");
}

// The bytes of a file, or a null array when it does not exist.
QByteArray contentOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
    return bytes.isNull() ? QByteArray("") : bytes;
}

bool restore(const QString &path, const QByteArray &bytes)
{
    QFile::remove(path);
    if (bytes.isNull())
        return true;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool saveEveryPhoto(const QSqlDatabase &db, qint64 saved)
{
    editor::PhotoTableModel photos;
    const auto loaded = store::loadBookHeader(db, saved);
    if (!editor::loadInto(db, saved, photos) || !loaded)
        return false;
    for (int row = 0; row < photos.rowCount(); ++row)
        photos.setValue(row, QStringLiteral("GroupLabel"), QStringLiteral("after the save"));
    store::HeaderFields header;
    header.label = QStringLiteral("Saved-2");
    header.description = QStringLiteral("Saved again");
    return editor::saveEdits(db, *loaded, header, photos).ok();
}

bool importOneFile(const QSqlDatabase &db, qint64)
{
    const QString file = QStringLiteral(PHOTOSERIES_DATA_DIR "/Books/MC-Demo.bks");
    return library::importBookFile(db, file).ok();
}

bool deleteTheBook(const QSqlDatabase &db, qint64 saved)
{
    return library::removeBook(db, saved).ok();
}

bool activateAll(const QSqlDatabase &db, qint64)
{
    return library::writeAllActive(db, true).ok();
}

int cutsFromEnvironment()
{
    bool ok = false;
    const int cuts = qEnvironmentVariableIntValue("POWERCUT_CUTS", &ok);
    return ok && cuts > 0 ? cuts : 200;
}

// When a cut left an unfinished change (its journal), cuts the power again at a random
// operation of the rollback that the next opening of the store performs. Returns whether it did.
bool cutDuringRecovery(const QString &work, QRandomGenerator &random)
{
    const QByteArray store = contentOf(work);
    const QByteArray journal = contentOf(journalOf(work));
    if (journal.isEmpty())
        return false;
    powercut::arm(0, 0);
    (void)withStore(work, true, [](const QSqlDatabase &) {});
    const qint64 operations = powercut::operations();
    if (operations == 0 || !restore(work, store) || !restore(journalOf(work), journal))
        return false;
    powercut::arm(1 + random.bounded(operations), random.generate());
    (void)withStore(work, true, [](const QSqlDatabase &) {});
    if (!powercut::powerCut())
        powercut::cutNow();
    powercut::writeSurvivingFiles();
    return true;
}

enum class Found { Whole, Absent, Broken };

// What the disk holds after the cuts, opened as the program opens it, against the states before
// and after the operation; `why` says what is wrong with a broken one.
Found examine(const QString &work, const QString &before, const QString &after, bool reportedDone, QString &why)
{
    QString integrity;
    QString now;
    const QString failure = withStore(work, false, [&](const QSqlDatabase &db) {
        QSqlQuery q(db);
        integrity =
            q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next() ? q.value(0).toString() : q.lastError().text();
        now = dump(db);
    });
    if (!failure.isEmpty())
        why = QStringLiteral("the store does not open: ") + failure;
    else if (integrity != QLatin1String("ok"))
        why = QStringLiteral("integrity check: ") + integrity;
    else if (now != before && now != after)
        why = QStringLiteral("the operation is half there");
    else if (reportedDone && now != after)
        why = QStringLiteral("reported as done, but lost");
    if (!why.isEmpty())
        return Found::Broken;
    return now == after ? Found::Whole : Found::Absent;
}

} // namespace

Q_DECLARE_METATYPE(Operation)

void PowerCutTest::initTestCase()
{
    QVERIFY(powercut::registerVfs());
    QVERIFY(m_dir.store().db().transaction());
    m_saved = m_dir.addBook(QVariantMap{{"BookLabel", "Saved-1"}, {"BookDescription", "Saved once"}});
    for (int i = 0; i < kPhotos; ++i)
        m_dir.addPhoto(m_saved, {{"BookLabel", "Saved-1"}, {"PhotoLabel", QString::number(i)}, {"TreesPerAcre", i}});
    const qint64 other = m_dir.addBook("Other");
    for (int i = 0; i < 5; ++i)
        m_dir.addPhoto(other, {{"BookLabel", "Other"}, {"PhotoLabel", QString::number(i)}});
    QVERIFY(m_dir.store().db().commit());
    m_dir.closeStore();
    m_base = m_dir.storePath();
}

void PowerCutTest::writesAreWholeOrAbsentAfterACut_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::newRow("book save") << Operation(saveEveryPhoto);
    QTest::newRow("import") << Operation(importOneFile);
    QTest::newRow("deletion") << Operation(deleteTheBook);
    QTest::newRow("Activate All") << Operation(activateAll);
}

void PowerCutTest::writesAreWholeOrAbsentAfterACut()
{
    QFETCH(Operation, operation);
    const QString work = m_dir.filePath(QStringLiteral("work.mdb"));
    const auto freshCopy = [&] {
        QFile::remove(work);
        QFile::remove(journalOf(work));
        return QFile::copy(m_base, work);
    };

    // A run without a cut gives the store after the operation, and the number of file
    // operations in which to cut.
    QString before;
    QString after;
    QVERIFY(freshCopy());
    QCOMPARE(withStore(work, false, [&](const QSqlDatabase &db) { before = dump(db); }), QString());
    powercut::arm(0, 0);
    bool done = false;
    QCOMPARE(withStore(work, true, [&](const QSqlDatabase &db) { done = operation(db, m_saved); }), QString());
    QVERIFY(done);
    const qint64 operations = powercut::operations();
    QVERIFY2(operations > 0, "the store's writes did not go through the power-cut file system");
    QCOMPARE(withStore(work, false, [&](const QSqlDatabase &db) { after = dump(db); }), QString());
    QVERIFY(before != after);

    const int cuts = cutsFromEnvironment() / 4;
    const quint32 seed = qEnvironmentVariableIsSet("POWERCUT_SEED")
                             ? quint32(qEnvironmentVariableIntValue("POWERCUT_SEED"))
                             : QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    int counts[3] = {0, 0, 0};
    int recoveryCuts = 0;
    QString firstProblem;
    for (int cut = 0; cut < cuts; ++cut) {
        // One past the last operation cuts the power right after the operation reported back.
        const qint64 cutAt = 1 + random.bounded(operations + 1);
        QVERIFY(freshCopy());
        powercut::arm(cutAt, random.generate());
        done = false;
        (void)withStore(work, true, [&](const QSqlDatabase &db) { done = operation(db, m_saved); });
        if (!powercut::powerCut())
            powercut::cutNow();
        powercut::writeSurvivingFiles();
        const bool recoveryCut = cutDuringRecovery(work, random);
        recoveryCuts += recoveryCut ? 1 : 0;

        QString why;
        const Found found = examine(work, before, after, done, why);
        ++counts[int(found)];
        if (found == Found::Broken && firstProblem.isEmpty())
            firstProblem = QStringLiteral("seed %1, cut %2 at operation %3 of %4%5: %6")
                               .arg(seed)
                               .arg(cut)
                               .arg(cutAt)
                               .arg(operations)
                               .arg(recoveryCut ? QStringLiteral(" and during the rollback") : QString(), why);
    }
    qInfo("%s: %d cuts in %lld file operations, %d more during the rollback (seed %u): %d whole, %d absent, "
          "%d broken",
          QTest::currentDataTag(), cuts, operations, recoveryCuts, seed, counts[int(Found::Whole)],
          counts[int(Found::Absent)], counts[int(Found::Broken)]);
    m_cuts += cuts;
    m_recoveryCuts += recoveryCuts;
    m_whole += counts[int(Found::Whole)];
    m_absent += counts[int(Found::Absent)];
    m_broken += counts[int(Found::Broken)];
    QVERIFY2(firstProblem.isEmpty(), qPrintable(firstProblem));
}

void PowerCutTest::cleanupTestCase()
{
    qInfo("In all: %d cuts, %d more during the rollback at the next opening; operations whole: %d, absent: %d, "
          "broken: %d",
          m_cuts, m_recoveryCuts, m_whole, m_absent, m_broken);
}

QTEST_GUILESS_MAIN(PowerCutTest)
#include "tst_powercut.moc"
