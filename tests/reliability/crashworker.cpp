// Writes to a store without end: imports an install file as a new book, saves the book
// "Saved" with every photo changed, and deletes the book imported the round before. The crash
// test kills it at random moments.
#include "WorkerFiles.h"

#include "editor/BookEdits.h"
#include "editor/PhotoTableModel.h"
#include "library/BookImport.h"
#include "library/BookList.h"
#include "store/BookRecord.h"
#include "store/Store.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTextStream>

#include <cstdio>

namespace {

constexpr int kImportPhotos = 3000;

bool writeInstallFile(const QString &path, const QString &label)
{
    return testing::writeWorkerInstallFile(path, label, "Crash test book", kImportPhotos);
}

// The first book whose label starts with the prefix (LIKE is not used: the server refuses it on
// its case-blind texts).
qint64 bookId(const QSqlDatabase &db, const QString &prefix)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT ID FROM Books WHERE substr(BookLabel, 1, 4) = ? ORDER BY ID LIMIT 1"));
    q.addBindValue(prefix.left(4));
    return q.exec() && q.next() ? q.value(0).toLongLong() : 0;
}

void fail(const QString &what)
{
    std::fprintf(stderr, "crashworker: %s\n", qPrintable(what));
    std::exit(2);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2 && argc != 3)
        fail(QStringLiteral("usage: crashworker PROGRAM_DIR [STORE]"));
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    store::Store store(argc == 3 ? QString::fromLocal8Bit(argv[2]) : dir.filePath(QStringLiteral("Photo3.mdb")));
    if (const auto opened = store.open(); !opened)
        fail(opened.error());
    const QSqlDatabase db = store.db();
    const QString installFile = dir.filePath(QStringLiteral("round.bks"));

    for (qint64 round = QDateTime::currentMSecsSinceEpoch();; ++round) {
        // Delete what the last round imported, then import anew.
        if (const qint64 old = bookId(db, QStringLiteral("Imp-")); old != 0) {
            if (const auto removed = library::removeBook(db, old); !removed)
                fail(removed.error());
        }
        if (!writeInstallFile(installFile, QStringLiteral("Imp-%1").arg(round)))
            fail(QStringLiteral("cannot write the install file"));
        const auto outcome = library::importBookFile(db, installFile);
        if (!outcome.ok())
            fail(outcome.error());

        // Save the book "Saved-…" with a new label and every photo's name changed to match.
        const qint64 saved = bookId(db, QStringLiteral("Save"));
        editor::PhotoTableModel photos;
        if (const auto result = editor::loadInto(db, saved, photos); !result)
            fail(result.error());
        const QString stamp = QString::number(round);
        for (int row = 0; row < photos.rowCount(); ++row)
            photos.setValue(row, QStringLiteral("GroupLabel"), stamp);
        store::HeaderFields header;
        header.label = QStringLiteral("Saved-") + stamp;
        header.description = QStringLiteral("Saved by the crash test");
        const auto loaded = store::loadBookHeader(db, saved);
        if (!loaded)
            fail(loaded.error());
        if (const auto written = editor::saveEdits(db, *loaded, header, photos); !written)
            fail(written.error());
        std::fputs("saved\n", stdout);
        std::fflush(stdout);
    }
}
