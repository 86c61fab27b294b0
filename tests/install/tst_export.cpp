#include "TestSupport.h"

#include "install/BksReader.h"
#include "library/BookExport.h"
#include "library/BookImport.h"
#include "store/Schema.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using testing::ProgramDir;

namespace {

// The fields an install file carries, and those the import writes only when not empty (an
// empty and a null value count alike there).
const QStringList kBookCarried{"BookLabel",    "BookDescription", "BookDate",     "BookNotes",    "Breakinches1",
                               "Breakinches2", "Breakinches3",    "BreakInches4", "BreakInches5", "BreakInches6"};
const QStringList kPhotoCarried{"PhotoLabel",
                                "GroupLabel",
                                "TonsPerAcreBreak1",
                                "TonsPerAcreBreak2",
                                "TonsPerAcreBreak3",
                                "TonsPerAcreBreak4",
                                "TonsPerAcreBreak5",
                                "TonsPerAcreBreak6",
                                "TonsPerAcreBreak7",
                                "HerbTonsPerAcre",
                                "WoodyTonsPerAcre",
                                "AverageFuelbedDepth",
                                "AverageDuffDepth",
                                "VegType",
                                "Activity",
                                "FireBehaveFM",
                                "DangerRatingFM",
                                "TreesPerAcre",
                                "CanopyClosure",
                                "PhotoPic",
                                "DataPic",
                                "Oto3FL",
                                "TotalFL"};
const QStringList kWhenNotEmpty{"BookDate", "BookNotes", "PhotoPic",       "DataPic",
                                "VegType",  "Activity",  "DangerRatingFM", "FireBehaveFM"};

bool isText(const QString &f)
{
    return f.contains("Label") || f.contains("Pic") || f.contains("Type") || f == "Activity" || f.endsWith("FM") ||
           f == "BookDescription" || f == "BookDate" || f == "BookNotes";
}

// One book's carried fields as text, photos in key order; BookDate as the import keeps it, and
// an unset text as an empty one (the export says how many it wrote so).
QStringList carried(ProgramDir &dir, const QString &label)
{
    QStringList out;
    const auto text = [](const QString &field, const QVariant &v) {
        if (v.isNull() && !kWhenNotEmpty.contains(field) && isText(field))
            return QString();
        if (v.isNull() || (kWhenNotEmpty.contains(field) && v.toString().isEmpty()))
            return QStringLiteral("<none>");
        if (field == QLatin1String("BookDate"))
            return library::bookDateFromHeader(v.toString());
        return v.typeId() == QMetaType::Double ? QString::number(v.toDouble(), 'g', 17) : v.toString();
    };
    QSqlQuery q(dir.store().db());
    q.prepare(QStringLiteral("SELECT %1, ID FROM Books WHERE BookLabel = ?").arg(kBookCarried.join(',')));
    q.addBindValue(label);
    if (!q.exec() || !q.next())
        return {QStringLiteral("no book ") + label};
    for (int i = 0; i < kBookCarried.size(); ++i)
        out << text(kBookCarried[i], q.value(i));
    const qint64 id = q.value(int(kBookCarried.size())).toLongLong();
    q.prepare(QStringLiteral("SELECT %1 FROM Photos WHERE BookID = ? ORDER BY ID").arg(kPhotoCarried.join(',')));
    q.addBindValue(id);
    q.exec();
    while (q.next()) {
        for (int i = 0; i < kPhotoCarried.size(); ++i)
            out << text(kPhotoCarried[i], q.value(i));
    }
    return out;
}

// A seeded book of awkward values: commas, apostrophes, non-ASCII letters, empty and null
// codes, and numbers such as 0.1, 1e-7, 12345.678 and -1.
qint64 generatedBook(ProgramDir &dir, QRandomGenerator &random, const QString &label, const QString &letters)
{
    const auto pick = [&](const QStringList &from) { return from.at(int(random.bounded(from.size()))); };
    const QStringList texts{"plain", "a, b", "O'Brien's plot", letters, "", " spaced "};
    const QVariantList numbers{0.1, 1e-7, 12345.678, -1.0, 0.0, 2.5, 1.0 / 3.0};
    const auto number = [&] { return numbers.at(int(random.bounded(numbers.size()))); };
    QVariantMap book{{"BookLabel", label},
                     {"BookDescription", pick(texts)},
                     {"BookDate", "06/30/2011"},
                     {"BookNotes", pick(texts)},
                     {"builtby", "not carried"}};
    for (const char *f :
         {"Breakinches1", "Breakinches2", "Breakinches3", "BreakInches4", "BreakInches5", "BreakInches6"})
        book.insert(f, number());
    const qint64 id = dir.addBook(book);
    for (int p = 0; p < 12; ++p) {
        QVariantMap photo{{"BookLabel", label}, {"PhotoLabel", QString::number(p) + pick(texts)}};
        for (const QString &f : kPhotoCarried) {
            if (f == QLatin1String("PhotoLabel"))
                continue;
            if (isText(f))
                photo.insert(f, random.bounded(4) == 0 ? QVariant() : QVariant(pick(texts)));
            else
                photo.insert(f, number());
        }
        dir.addPhoto(id, photo);
    }
    return id;
}

} // namespace

class ExportTest : public QObject
{
    Q_OBJECT

private slots:
    void roundTripGivesBackEveryCarriedField_data();
    void roundTripGivesBackEveryCarriedField();
    void samplesAreReproduced();
    void textsTheFormatCannotHoldStopTheExport_data();
    void textsTheFormatCannotHoldStopTheExport();
    void onlyADateWithMoreThanAYearIsNoted_data();
    void onlyADateWithMoreThanAYearIsNoted();
    void csvReadsBackAsStored();
};

void ExportTest::roundTripGivesBackEveryCarriedField_data()
{
    QTest::addColumn<QString>("letters");
    QTest::addColumn<QString>("encoding");
    QTest::newRow("Windows-1252") << QString("Élan “quoted” café €5") << "Encoding: Windows-1252.";
    QTest::newRow("UTF-8") << QString("αβγ Łódź") << "Encoding: UTF-8.";
    // Windows-1252 bytes that also read as UTF-8 would come back changed.
    QTest::newRow("ambiguous") << QString("Ã©") << "Encoding: UTF-8.";
}

void ExportTest::roundTripGivesBackEveryCarriedField()
{
    QFETCH(QString, letters);
    QFETCH(QString, encoding);
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    ProgramDir from;
    const qint64 id = generatedBook(from, random, "RT-1", letters);
    const QString file = from.filePath("RT-1.bks");
    const auto out = library::exportBookFile(from.store().db(), id, file);
    QVERIFY2(out.ok(), qPrintable(out.error()));
    QCOMPARE(out->photos, 12);
    QCOMPARE(out->notes.value(0), encoding);
    QVERIFY(out->notes.join(' ').contains("builtby, FireBehaveFM2, Active, Locked"));
    QVERIFY(out->notes.join(' ').contains("read back as its year"));

    ProgramDir to;
    const auto in = library::importBookFile(to.store().db(), file);
    QVERIFY2(in.ok(), qPrintable(in.error()));
    const QStringList back = carried(to, "RT-1");
    const QStringList sent = carried(from, "RT-1");
    QCOMPARE(back.size(), sent.size());
    for (int i = 0; i < sent.size(); ++i)
        QVERIFY2(back[i] == sent[i],
                 qPrintable(QString("seed %1, value %2: %3 against %4").arg(seed).arg(i).arg(back[i], sent[i])));
}

void ExportTest::samplesAreReproduced()
{
    // import, then export: the same records, field by field.
    for (const QString &name : QDir(PHOTOSERIES_DATA_DIR "/Books").entryList({"*.bks"})) {
        const QString sample = QStringLiteral(PHOTOSERIES_DATA_DIR "/Books/") + name;
        ProgramDir dir;
        const auto in = library::importBookFile(dir.store().db(), sample);
        QVERIFY2(in.ok(), qPrintable(in.error()));
        const QString copy = dir.filePath("copy.bks");
        QVERIFY(library::exportBookFile(dir.store().db(), in->bookId, copy).ok());

        QFile a(sample);
        QFile b(copy);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        install::BksReader original(a);
        install::BksReader exported(b);
        const std::vector<install::FieldKind> kinds(24, install::FieldKind::Text);
        std::vector<install::FieldKind> header(10, install::FieldKind::Text);
        QVERIFY(original.readRecord(header) && exported.readRecord(header));
        for (int f = 0; f < 10; ++f)
            QCOMPARE(exported.qtext(f), original.qtext(f));
        while (original.readRecord(kinds)) {
            QVERIFY(exported.readRecord(kinds));
            for (int f = 0; f < 24; ++f) {
                const QString want = original.qtext(f);
                const QString got = exported.qtext(f);
                // A number may be written with other digits that read back to the same value;
                // a text must come back exactly.
                bool gotNumber = false;
                bool wantNumber = false;
                const double gotValue = got.toDouble(&gotNumber);
                const double wantValue = want.toDouble(&wantNumber);
                QVERIFY2(got == want || (gotNumber && wantNumber && gotValue == wantValue),
                         qPrintable(QString("%1 field %2: %3 against %4").arg(name).arg(f + 1).arg(got, want)));
            }
        }
        QVERIFY(!exported.readRecord(kinds) && exported.atEnd());
    }
}

void ExportTest::textsTheFormatCannotHoldStopTheExport_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("double quote") << QString("the \"big\" tree");
    QTest::newRow("line feed") << QString("the big\ntree");
    QTest::newRow("lone carriage return") << QString("the big\rtree");
    QTest::newRow("CR LF") << QString("the big\r\ntree");
}

void ExportTest::textsTheFormatCannotHoldStopTheExport()
{
    QFETCH(QString, text);
    ProgramDir dir;
    const qint64 id = dir.addBook("Q-1");
    dir.addPhoto(id, {{"BookLabel", "Q-1"}, {"PhotoLabel", "07"}, {"GroupLabel", text}});
    const QString file = dir.filePath("Q-1.bks");
    QVERIFY(dir.writeFile("Q-1.bks", "an older export"));
    const auto out = library::exportBookFile(dir.store().db(), id, file);
    QVERIFY(!out.ok());
    QVERIFY2(out.error().contains("book \"Q-1\", photo \"07\": its Photo Name holds"), qPrintable(out.error()));
    QFile kept(file);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("an older export"));
    QCOMPARE(QDir(dir.path()).entryList({"Q-1*"}), QStringList{"Q-1.bks"});

    // A folder that is not there: said, and nothing written.
    const auto nowhere = library::exportCsv(dir.store().db(), id, dir.filePath("no/such/x.csv"));
    QVERIFY(!nowhere.ok());
    QVERIFY(nowhere.error().contains("x.csv"));
}

void ExportTest::onlyADateWithMoreThanAYearIsNoted_data()
{
    QTest::addColumn<QVariant>("date");
    QTest::addColumn<bool>("noted");
    QTest::newRow("unset") << QVariant() << false;
    QTest::newRow("empty") << QVariant(QString("")) << false;
    QTest::newRow("blank") << QVariant(QString("  ")) << false;
    QTest::newRow("a year") << QVariant(QString("2019")) << false;
    QTest::newRow("a full date") << QVariant(QString("2019-05-01")) << true;
}

void ExportTest::onlyADateWithMoreThanAYearIsNoted()
{
    QFETCH(QVariant, date);
    QFETCH(bool, noted);
    ProgramDir dir;
    const qint64 id = dir.addBook(QVariantMap{{"BookLabel", "D-1"}, {"BookDescription", "Dated"}, {"BookDate", date}});
    dir.addPhoto(id, {{"BookLabel", "D-1"}, {"PhotoLabel", "1"}});
    const auto out = library::exportBookFile(dir.store().db(), id, dir.filePath("D-1.bks"));
    QVERIFY2(out.ok(), qPrintable(out.error()));
    QCOMPARE(out->notes.join(' ').contains("read back as its year"), noted);
}

void ExportTest::csvReadsBackAsStored()
{
    ProgramDir dir;
    QRandomGenerator random(7);
    generatedBook(dir, random, "C-1", "Łódź, \"quoted\"\nnext line");
    dir.addBook("Empty"); // no photos: no row
    const QString file = dir.filePath("all.csv");
    const auto out = library::exportCsv(dir.store().db(), 0, file);
    QVERIFY2(out.ok(), qPrintable(out.error()));

    // A minimal RFC 4180 reader, independent of the writer.
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString all = QString::fromUtf8(f.readAll());
    QList<QStringList> rows{{}};
    QString field;
    bool quoted = false;
    for (int i = 0; i < all.size(); ++i) {
        const QChar c = all[i];
        if (quoted) {
            if (c == '"' && i + 1 < all.size() && all[i + 1] == '"')
                field += all[++i];
            else if (c == '"')
                quoted = false;
            else
                field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',' || c == '\n') {
            rows.last() << field;
            field.clear();
            if (c == '\n')
                rows << QStringList();
        } else if (c != '\r') {
            field += c;
        }
    }
    rows.removeLast();
    QStringList header{"BookID", "BookLabel", "BookDescription"};
    header << store::photoFields();
    QCOMPARE(rows.first(), header);
    QCOMPARE(rows.size(), 13);

    QSqlQuery q(dir.store().db());
    QVERIFY(q.exec("SELECT Books.ID, Books.BookLabel, Books.BookDescription, Photos.* FROM Photos JOIN Books ON "
                   "Books.ID = Photos.BookID ORDER BY Photos.ID"));
    for (int r = 1; q.next(); ++r) {
        for (int c = 0; c < q.record().count(); ++c) {
            const QVariant v = q.value(c);
            const QString cell = rows[r][c];
            QVERIFY2(v.isNull() ? cell.isEmpty() : (cell == v.toString() || cell.toDouble() == v.toDouble()),
                     qPrintable(QString("row %1 column %2: %3 against %4").arg(r).arg(c).arg(cell, v.toString())));
        }
    }
}

QTEST_GUILESS_MAIN(ExportTest)
#include "tst_export.moc"
