// One of two programs writing to the same store at once: for a set time it imports books,
// saves the shared book "Shared" with every photo changed, deletes books it imported and
// recounts, at random, and logs one line per operation with what it was told:
//   import LABEL done|busy|conflict|error TEXT
//   save BASE STAMP done|busy|conflict|error TEXT   (BASE: the stamp the save read at its start)
//   delete LABEL done|busy|...
//   recount - done|busy|...
// The soak test checks the store against the logs of both workers.
#include "WorkerFiles.h"

#include "editor/BookEdits.h"
#include "editor/PhotoTableModel.h"
#include "library/BookImport.h"
#include "library/BookList.h"
#include "store/BookRecord.h"
#include "store/Store.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <QThread>

#include <cstdio>

namespace {

constexpr int kImportPhotos = 10;

void log(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

template <typename T> QString outcome(const store::Result<T> &result)
{
    if (result)
        return QStringLiteral("done");
    if (result.is(store::FailureKind::ChangedElsewhere))
        return QStringLiteral("conflict");
    if (result.is(store::FailureKind::InUse))
        return QStringLiteral("busy");
    return QStringLiteral("error ") + QString(result.error()).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

bool writeInstallFile(const QString &path, const QString &label)
{
    return testing::writeWorkerInstallFile(path, label, "Soak test book", kImportPhotos);
}

// The key of the book with this label; a store held by another program past the wait fails as
// InUse, like every other step.
store::Result<qint64> bookWithLabel(const QSqlDatabase &db, const QString &label)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT ID FROM Books WHERE BookLabel = ?"));
    q.addBindValue(label);
    if (!q.exec())
        return store::queryFailure(QStringLiteral("The book could not be found"), q.lastError());
    if (!q.next())
        return store::fail(QStringLiteral("no book ") + label);
    return q.value(0).toLongLong();
}

// Loads "Shared", waits a moment as a user would, changes every photo to a new stamp, saves.
void saveShared(const QSqlDatabase &db, const QString &stamp, QRandomGenerator &random)
{
    const auto id = bookWithLabel(db, QStringLiteral("Shared"));
    editor::PhotoTableModel photos;
    const auto loaded = id ? store::loadBookHeader(db, *id) : store::Result<store::BookHeader>(id.failure());
    if (!loaded) {
        log(QStringLiteral("save - %1 %2").arg(stamp, outcome(loaded)));
        return;
    }
    if (const auto read = editor::loadInto(db, *id, photos); !read) {
        log(QStringLiteral("save - %1 %2").arg(stamp, outcome(read)));
        return;
    }
    const QString base = photos.value(0, QStringLiteral("GroupLabel")).toString();
    QThread::msleep(random.bounded(20));
    for (int row = 0; row < photos.rowCount(); ++row)
        photos.setValue(row, QStringLiteral("GroupLabel"), stamp);
    store::HeaderFields header;
    header.label = QStringLiteral("Shared");
    header.description = stamp;
    log(QStringLiteral("save %1 %2 %3").arg(base, stamp, outcome(editor::saveEdits(db, *loaded, header, photos))));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 5 && argc != 6) {
        std::fputs("usage: soakworker PROGRAM_DIR NAME SECONDS SEED [STORE]\n", stderr);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const QString name = QString::fromLocal8Bit(argv[2]);
    const QDeadlineTimer deadline(qint64(std::atoi(argv[3])) * 1000);
    QRandomGenerator random(quint32(std::strtoul(argv[4], nullptr, 10)));

    // A short wait for the other program, so that refusals happen too.
    store::Store store(argc == 6 ? QString::fromLocal8Bit(argv[5]) : dir.filePath(QStringLiteral("Photo3.mdb")), 200);
    if (const auto opened = store.open(); !opened) {
        std::fprintf(stderr, "soakworker: %s\n", qPrintable(opened.error()));
        return 2;
    }
    const QSqlDatabase db = store.db();
    const QString installFile = dir.filePath(name + QStringLiteral(".bks"));
    QStringList imported;
    for (int n = 0; !deadline.hasExpired(); ++n) {
        const QString label = QStringLiteral("%1-%2").arg(name).arg(n);
        const quint32 pick = random.bounded(10);
        if (pick < 3) {
            if (!writeInstallFile(installFile, label))
                return 2;
            const auto result = library::importBookFile(db, installFile);
            const bool done = result.ok();
            log(QStringLiteral("import %1 %2").arg(label, outcome(result)));
            if (done)
                imported << label;
        } else if (pick < 7) {
            saveShared(db, label, random);
        } else if (pick < 9 && !imported.isEmpty()) {
            const QString victim = imported.at(int(random.bounded(imported.size())));
            const auto id = bookWithLabel(db, victim);
            const QString result = id ? outcome(library::removeBook(db, *id)) : outcome(id);
            log(QStringLiteral("delete %1 %2").arg(victim, result));
            if (result == QLatin1String("done"))
                imported.removeOne(victim);
        } else {
            log(QStringLiteral("recount - %1").arg(outcome(store.recount())));
        }
    }
    // As the program does at its next start: the counts are made right.
    for (int attempt = 0; attempt < 50; ++attempt) {
        const QString result = outcome(store.recount());
        log(QStringLiteral("recount - %1").arg(result));
        if (result == QLatin1String("done"))
            break;
    }
    return 0;
}
