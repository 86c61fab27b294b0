#include "PowerCutVfs.h"
#include "TestSupport.h"

#include "editor/BookEdits.h"
#include "editor/PhotoTableModel.h"
#include "library/BookImport.h"
#include "store/BookList.h"
#include "store/BookRecord.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

#include <functional>

using testing::ProgramDir;

// Cuts the power at random moments of the store's writes (a book save with every photo
// changed, an import, a deletion, Activate All) and checks what the disk holds afterwards:
// a sound database in which each operation is whole or absent, and whole when it was reported
// as done. POWERCUT_CUTS sets the number of cuts (200 by default), POWERCUT_SEED replays a run.
class PowerCutTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writesAreWholeOrAbsentAfterACut_data();
    void writesAreWholeOrAbsentAfterACut();

private:
    ProgramDir m_dir;
    QString m_base; // the store every run starts from
    qint64 m_saved = 0;
};

namespace {

constexpr int kPhotos = 40;
const char kConnection[] = "powercut";

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

// Runs `body` on a connection to `path`, through the power-cut file system or the real one,
// and closes the connection before it returns.
template <typename Body> void withConnection(const QString &path, bool throughVfs, Body body)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(kConnection));
        if (throughVfs) {
            db.setDatabaseName(QStringLiteral("file:%1?vfs=%2").arg(path, QLatin1String(powercut::kVfsName)));
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
        } else {
            db.setDatabaseName(path);
        }
        if (db.open()) {
            // As the program's own connection: every commit reaches the disk.
            QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous = FULL"));
            body(db);
        } else {
            qWarning("cannot open %s: %s", qPrintable(path), qPrintable(db.lastError().text()));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QLatin1String(kConnection));
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
    return store::removeBook(db, saved).ok();
}

bool activateAll(const QSqlDatabase &db, qint64)
{
    return store::writeAllActive(db, true).ok();
}

int cutsFromEnvironment()
{
    bool ok = false;
    const int cuts = qEnvironmentVariableIntValue("POWERCUT_CUTS", &ok);
    return ok && cuts > 0 ? cuts : 200;
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
        QFile::remove(work + QStringLiteral("-journal"));
        return QFile::copy(m_base, work);
    };

    // A run without a cut gives the store after the operation, and the number of file
    // operations in which to cut.
    QString before;
    QString after;
    QVERIFY(freshCopy());
    withConnection(work, false, [&](const QSqlDatabase &db) { before = dump(db); });
    powercut::arm(0, 0);
    bool done = false;
    withConnection(work, true, [&](const QSqlDatabase &db) { done = operation(db, m_saved); });
    QVERIFY(done);
    const qint64 operations = powercut::operations();
    QVERIFY2(operations > 0, "the store's writes did not go through the power-cut file system");
    withConnection(work, false, [&](const QSqlDatabase &db) { after = dump(db); });
    QVERIFY(before != after);

    const int cuts = cutsFromEnvironment() / 4;
    const quint32 seed = qEnvironmentVariableIsSet("POWERCUT_SEED")
                             ? quint32(qEnvironmentVariableIntValue("POWERCUT_SEED"))
                             : QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    int whole = 0;
    int absent = 0;
    int reported = 0;
    for (int cut = 0; cut < cuts; ++cut) {
        // One past the last operation cuts the power right after the operation reported back.
        const qint64 cutAt = 1 + random.bounded(operations + 1);
        const QString at =
            QStringLiteral("seed %1, cut %2 at operation %3 of %4").arg(seed).arg(cut).arg(cutAt).arg(operations);
        QVERIFY(freshCopy());
        powercut::arm(cutAt, random.generate());
        withConnection(work, true, [&](const QSqlDatabase &db) {
            done = operation(db, m_saved);
            if (!powercut::powerCut())
                powercut::cutNow();
        });
        powercut::writeSurvivingFiles();

        QString integrity;
        QString now;
        withConnection(work, false, [&](const QSqlDatabase &db) {
            QSqlQuery q(db);
            integrity = q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next() ? q.value(0).toString()
                                                                                     : q.lastError().text();
            now = dump(db);
        });
        QVERIFY2(integrity == QLatin1String("ok"), qPrintable(at + QStringLiteral(": ") + integrity));
        QVERIFY2(now == before || now == after, qPrintable(at + QStringLiteral(": the operation is half there")));
        if (done) {
            ++reported;
            QVERIFY2(now == after, qPrintable(at + QStringLiteral(": reported as done, but lost")));
        }
        (now == after ? whole : absent)++;
    }
    qInfo("%s: %d cuts in %lld file operations (seed %u): %d whole, %d absent, %d reported done",
          QTest::currentDataTag(), cuts, operations, seed, whole, absent, reported);
}

QTEST_GUILESS_MAIN(PowerCutTest)
#include "tst_powercut.moc"
