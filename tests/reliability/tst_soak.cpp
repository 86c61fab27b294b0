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

} // namespace

void SoakTest::twoProgramsLoseNothing()
{
    ProgramDir dir;
    {
        QVERIFY(dir.store().db().transaction());
        const qint64 shared = dir.addBook(QVariantMap{{"BookLabel", "Shared"}, {"BookDescription", "start"}});
        for (int i = 0; i < kSharedPhotos; ++i)
            dir.addPhoto(shared,
                         {{"BookLabel", "Shared"}, {"GroupLabel", "start"}, {"PhotoLabel", QString::number(i)}});
        QVERIFY(dir.store().db().commit());
        QCOMPARE(dir.store().recount().error(), QString());
        dir.closeStore();
    }

    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("SOAK_SECONDS", &ok);
    const QString duration = QString::number(ok && seconds > 0 ? seconds : 20);
    const QString worker = QCoreApplication::applicationDirPath() + QStringLiteral("/soakworker");
    QList<Line> lines;
    QProcess workers[2];
    const QString names[2] = {QStringLiteral("A"), QStringLiteral("B")};
    for (int w = 0; w < 2; ++w) {
        const QString seed = QString::number(QRandomGenerator::global()->generate());
        qInfo("worker %s seed %s", qPrintable(names[w]), qPrintable(seed));
        workers[w].setProcessChannelMode(QProcess::ForwardedErrorChannel);
        workers[w].start(worker, {dir.path(), names[w], duration, seed, dir.storeLocation()});
        QVERIFY2(workers[w].waitForStarted(), qPrintable(workers[w].errorString()));
    }
    for (int w = 0; w < 2; ++w) {
        QVERIFY(workers[w].waitForFinished((duration.toInt() + 120) * 1000));
        QCOMPARE(workers[w].exitCode(), 0);
        for (const QByteArray &raw : workers[w].readAllStandardOutput().split('\n')) {
            const QStringList words = QString::fromUtf8(raw).split(QLatin1Char(' '));
            if (words.size() >= 3)
                lines.append({names[w], words.first(), words.mid(1)});
        }
    }

    // What each worker was told, counted.
    QHash<QString, int> told;
    QSet<QString> expectedBooks{QStringLiteral("Shared")};
    QHash<QString, QString> nextStamp; // base -> stamp, of the saves reported done
    for (const Line &line : lines) {
        QVERIFY2(!line.outcome().startsWith(QLatin1String("error")) && line.words.size() <= 3,
                 qPrintable(line.worker + QStringLiteral(": ") + line.words.join(QLatin1Char(' '))));
        ++told[line.action + QLatin1Char(' ') + line.outcome()];
        if (line.outcome() != QLatin1String("done"))
            continue;
        if (line.action == QLatin1String("import"))
            expectedBooks.insert(line.words.at(0));
        else if (line.action == QLatin1String("delete"))
            expectedBooks.remove(line.words.at(0));
        else if (line.action == QLatin1String("save")) {
            QVERIFY2(
                !nextStamp.contains(line.words.at(0)),
                qPrintable(
                    QStringLiteral("two saves both started from %1: one overwrote the other").arg(line.words.at(0))));
            nextStamp.insert(line.words.at(0), line.words.at(1));
        }
    }
    QStringList figures;
    for (auto it = told.cbegin(); it != told.cend(); ++it)
        figures << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
    figures.sort();
    qInfo("%s", qPrintable(figures.join(QStringLiteral(", "))));
    QVERIFY(told.value(QStringLiteral("save done")) > 0);

    if (!dir.onServer())
        QCOMPARE(dir.scalar("PRAGMA integrity_check").toString(), QString("ok"));
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Books WHERE NumOfPhotos IS DISTINCT FROM "
                        "(SELECT COUNT(*) FROM Photos WHERE Photos.BookID = Books.ID)")
                 .toInt(),
             0);
    // Every import reported done and not deleted is there, whole; nothing else is.
    QStringList books;
    for (const QVariant &label : dir.column("SELECT BookLabel FROM Books"))
        books << label.toString();
    QStringList expected = expectedBooks.values();
    books.sort();
    expected.sort();
    for (const QString &label : books) {
        if (expected.contains(label))
            continue;
        QStringList told;
        for (const Line &line : lines)
            if (line.words.value(0) == label)
                told << line.worker + QLatin1Char(' ') + line.action + QLatin1Char(' ') +
                            line.words.join(QLatin1Char(' '));
        qWarning("unexpected book %s: %s", qPrintable(label), qPrintable(told.join(QStringLiteral("; "))));
    }
    QCOMPARE(books, expected);
    QCOMPARE(dir.scalar(QStringLiteral("SELECT COUNT(*) FROM Books WHERE BookLabel <> 'Shared' AND NumOfPhotos <> %1")
                            .arg(kImportPhotos))
                 .toInt(),
             0);

    // The saves reported done form one chain from the first stamp; the book holds its last
    // stamp in every photo and in its description.
    QString last = QStringLiteral("start");
    int chained = 0;
    while (nextStamp.contains(last)) {
        last = nextStamp.value(last);
        ++chained;
    }
    QCOMPARE(chained, int(nextStamp.size()));
    QCOMPARE(dir.column("SELECT DISTINCT GroupLabel FROM Photos WHERE BookLabel = 'Shared'"), QVariantList{last});
    QCOMPARE(dir.scalar("SELECT BookDescription FROM Books WHERE BookLabel = 'Shared'").toString(), last);
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Photos WHERE BookLabel = 'Shared'").toInt(), kSharedPhotos);
}

QTEST_GUILESS_MAIN(SoakTest)
#include "tst_soak.moc"
