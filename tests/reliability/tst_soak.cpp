#include "TestSupport.h"

#include <QCoreApplication>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlQuery>
#include <QTest>

using testing::ProgramDir;

// Two programs on one store: two worker processes import, save the same book, delete and
// recount at random for SOAK_SECONDS (20 by default). Afterwards the store must be sound, its
// counts right, and each write whole or refused as its worker was told: no half write, and no
// save that silently overwrote another.
class SoakTest : public QObject
{
    Q_OBJECT

private slots:
    void twoProgramsLoseNothing();
};

namespace {

constexpr int kSharedPhotos = 20;
constexpr int kImportPhotos = 10;

struct Line
{
    QString worker;
    QString action;
    QStringList words; // what follows the action: label or base and stamp, then the outcome
    QString outcome() const { return words.value(words.size() - 1); }
};

// What the workers were told, gathered from their lines.
struct Told
{
    QHash<QString, int> counts;                            // "action outcome" -> how often
    QSet<QString> expectedBooks{QStringLiteral("Shared")}; // imports done and not deleted
    QHash<QString, QString> nextStamp;                     // base -> stamp, of the saves reported done
};

[[nodiscard]] bool seedSharedBook(ProgramDir &dir)
{
    CHECK(dir.store().db().transaction());
    const qint64 shared = dir.addBook(QVariantMap{{"BookLabel", "Shared"}, {"BookDescription", "start"}});
    for (int i = 0; i < kSharedPhotos; ++i)
        dir.addPhoto(shared, {{"BookLabel", "Shared"}, {"GroupLabel", "start"}, {"PhotoLabel", QString::number(i)}});
    CHECK(dir.store().db().commit());
    CHECK(dir.store().recount().ok());
    dir.closeStore();
    return true;
}

// Runs the two workers to their end and collects what each was told.
[[nodiscard]] bool runWorkers(const ProgramDir &dir, QList<Line> &lines)
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("SOAK_SECONDS", &ok);
    const QString duration = QString::number(ok && seconds > 0 ? seconds : 20);
    const QString worker = QCoreApplication::applicationDirPath() + QStringLiteral("/soakworker");
    QProcess workers[2];
    const QString names[2] = {QStringLiteral("A"), QStringLiteral("B")};
    for (int w = 0; w < 2; ++w) {
        const QString seed = QString::number(QRandomGenerator::global()->generate());
        qInfo("worker %s seed %s", qPrintable(names[w]), qPrintable(seed));
        workers[w].setProcessChannelMode(QProcess::ForwardedErrorChannel);
        workers[w].start(worker, {dir.path(), names[w], duration, seed, dir.storeLocation()});
        CHECK2(workers[w].waitForStarted(), qPrintable(workers[w].errorString()));
    }
    for (int w = 0; w < 2; ++w) {
        CHECK(workers[w].waitForFinished((duration.toInt() + 120) * 1000));
        CHECK_COMPARE(workers[w].exitCode(), 0);
        for (const QByteArray &raw : workers[w].readAllStandardOutput().split('\n')) {
            const QStringList words = QString::fromUtf8(raw).split(QLatin1Char(' '));
            if (words.size() >= 3)
                lines.append({names[w], words.first(), words.mid(1)});
        }
    }
    return true;
}

// Counts what each worker was told; no worker met an error, and no two saves started from the
// same stamp.
[[nodiscard]] bool tally(const QList<Line> &lines, Told &told)
{
    for (const Line &line : lines) {
        CHECK2(!line.outcome().startsWith(QLatin1String("error")) && line.words.size() <= 3,
               qPrintable(line.worker + QStringLiteral(": ") + line.words.join(QLatin1Char(' '))));
        ++told.counts[line.action + QLatin1Char(' ') + line.outcome()];
        if (line.outcome() != QLatin1String("done"))
            continue;
        if (line.action == QLatin1String("import"))
            told.expectedBooks.insert(line.words.at(0));
        else if (line.action == QLatin1String("delete"))
            told.expectedBooks.remove(line.words.at(0));
        else if (line.action == QLatin1String("save")) {
            CHECK2(
                !told.nextStamp.contains(line.words.at(0)),
                qPrintable(
                    QStringLiteral("two saves both started from %1: one overwrote the other").arg(line.words.at(0))));
            told.nextStamp.insert(line.words.at(0), line.words.at(1));
        }
    }
    QStringList figures;
    for (auto it = told.counts.cbegin(); it != told.counts.cend(); ++it)
        figures << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
    figures.sort();
    qInfo("%s", qPrintable(figures.join(QStringLiteral(", "))));
    CHECK(told.counts.value(QStringLiteral("save done")) > 0);
    return true;
}

// Every import reported done and not deleted is there, whole; nothing else is.
[[nodiscard]] bool booksAreAsTold(ProgramDir &dir, const QList<Line> &lines, const Told &told)
{
    QStringList books;
    for (const QVariant &label : dir.column("SELECT BookLabel FROM Books"))
        books << label.toString();
    QStringList expected = told.expectedBooks.values();
    books.sort();
    expected.sort();
    for (const QString &label : books) {
        if (expected.contains(label))
            continue;
        QStringList about;
        for (const Line &line : lines)
            if (line.words.value(0) == label)
                about << line.worker + QLatin1Char(' ') + line.action + QLatin1Char(' ') +
                             line.words.join(QLatin1Char(' '));
        qWarning("unexpected book %s: %s", qPrintable(label), qPrintable(about.join(QStringLiteral("; "))));
    }
    CHECK_COMPARE(books, expected);
    CHECK_COMPARE(
        dir.scalar(QStringLiteral("SELECT COUNT(*) FROM Books WHERE BookLabel <> 'Shared' AND NumOfPhotos <> %1")
                       .arg(kImportPhotos))
            .toInt(),
        0);
    return true;
}

// The saves reported done form one chain from the first stamp; the book holds its last stamp
// in every photo and in its description.
[[nodiscard]] bool savesFormOneChain(ProgramDir &dir, const Told &told)
{
    QString last = QStringLiteral("start");
    int chained = 0;
    while (told.nextStamp.contains(last)) {
        last = told.nextStamp.value(last);
        ++chained;
    }
    CHECK_COMPARE(chained, int(told.nextStamp.size()));
    CHECK_COMPARE(dir.column("SELECT DISTINCT GroupLabel FROM Photos WHERE BookLabel = 'Shared'"), QVariantList{last});
    CHECK_COMPARE(dir.scalar("SELECT BookDescription FROM Books WHERE BookLabel = 'Shared'").toString(), last);
    CHECK_COMPARE(dir.scalar("SELECT COUNT(*) FROM Photos WHERE BookLabel = 'Shared'").toInt(), kSharedPhotos);
    return true;
}

} // namespace

void SoakTest::twoProgramsLoseNothing()
{
    ProgramDir dir;
    QVERIFY(seedSharedBook(dir));
    QList<Line> lines;
    QVERIFY(runWorkers(dir, lines));
    Told told;
    QVERIFY(tally(lines, told));

    if (!dir.onServer())
        QCOMPARE(dir.scalar("PRAGMA integrity_check").toString(), QString("ok"));
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Books WHERE NumOfPhotos IS DISTINCT FROM "
                        "(SELECT COUNT(*) FROM Photos WHERE Photos.BookID = Books.ID)")
                 .toInt(),
             0);
    QVERIFY(booksAreAsTold(dir, lines, told));
    QVERIFY(savesFormOneChain(dir, told));
}

QTEST_GUILESS_MAIN(SoakTest)
#include "tst_soak.moc"
