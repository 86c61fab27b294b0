#include "TestSupport.h"

#include "catalogue/CatalogueWindow.h"
#include "publish/BookPdf.h"
#include "publish/ShapedText.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QItemSelectionModel>
#include <QPdfWriter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>

using testing::ProgramDir;

namespace {

// What one of poppler's tools printed; the test fails when the tool is missing or fails.
QString poppler(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        QTest::qFail(qPrintable(tool + QStringLiteral(" failed: ") + process.readAllStandardError()), __FILE__,
                     __LINE__);
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The text of the PDF with its runs of blanks and line ends as one blank.
QString pdfText(const QString &pdf)
{
    return poppler("pdftotext", {pdf, "-"}).simplified();
}

struct EmbeddedImage
{
    int page, width, height, xPpi;
    QString encoding;
};

QVector<EmbeddedImage> pdfImages(const QString &pdf)
{
    QVector<EmbeddedImage> images;
    for (const QString &line : poppler("pdfimages", {"-list", pdf}).split('\n').mid(2)) {
        const QStringList f = line.simplified().split(' ');
        if (f.size() >= 13)
            images.append({f[0].toInt(), f[3].toInt(), f[4].toInt(), f[12].toInt(), f[8]});
    }
    return images;
}

// A generated photograph: a gradient with a label, so that the JPEG is not trivially small.
bool writeJpeg(const QString &path, const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x * 255 / size.width(), y * 255 / size.height(), (x ^ y) & 0xff));
    return image.save(path, "JPEG", 85);
}

// A book of three photos: one with both images, one whose photo is missing and whose data plate
// is damaged, one without image names; texts beyond ASCII in the header and a name.
qint64 addSampleBook(ProgramDir &dir)
{
    const qint64 book = dir.addBook({{"BookLabel", "PS-1"},
                                     {"BookDescription", "Pinède de l'Île, Ködern"},
                                     {"BookDate", "06/01/2024"},
                                     {"builtby", "Renée Ø."},
                                     {"BreakInches4", 6.0}});
    dir.addPhoto(book, {{"BookLabel", "PS-1"},
                        {"PhotoLabel", "01"},
                        {"GroupLabel", "Open flat"},
                        {"TonsPerAcreBreak1", 1.234},
                        {"TonsPerAcreBreak2", 2.5},
                        {"TonsPerAcreBreak5", 4.0},
                        {"AverageFuelbedDepth", 3.5},
                        {"VegType", "PIPO"},
                        {"Activity", "NAT"},
                        {"FireBehaveFM", "TU5"},
                        {"TreesPerAcre", 260},
                        {"CanopyClosure", 75},
                        {"PhotoPic", "P01.jpg"},
                        {"DataPic", "D01.jpg"}});
    dir.addPhoto(book, {{"BookLabel", "PS-1"},
                        {"PhotoLabel", "02"},
                        {"GroupLabel", "Grüne Wiese"},
                        {"PhotoPic", "P02.jpg"},
                        {"DataPic", "D02.jpg"}});
    dir.addPhoto(book, {{"BookLabel", "PS-1"}, {"PhotoLabel", "03"}});
    return book;
}

bool writeSampleImages(ProgramDir &dir)
{
    const QString folder = dir.filePath("PhotoImages/PS-1");
    CHECK(QDir().mkpath(folder));
    CHECK(writeJpeg(folder + "/P01.jpg", {3000, 2000}));
    CHECK(writeJpeg(folder + "/D01.jpg", {1600, 1200}));
    CHECK(dir.writeFile("PhotoImages/PS-1/D02.jpg", "\xff\xd8 not a JPEG after all"));
    return true;
}

publish::PublishOptions optionsFor(ProgramDir &dir)
{
    publish::PublishOptions options;
    options.programDir = dir.path();
    options.imageFolder = publish::bookImageFolder(dir.path(), "PhotoImages", "PS-1");
    return options;
}

} // namespace

class PublishTest : public QObject
{
    Q_OBJECT

private slots:
    void everyPhotoWithItsValuesImagesAndPlaceholders();
    void dataOnlyOnA4();
    void linesPutTogetherFromPairsAsShaped();
    void longBookKeepsEveryText();
    void cancelledOrFailedPublishLeavesTheEarlierFile();
    void commandLine();
    void catalogueCommand();
};

void PublishTest::everyPhotoWithItsValuesImagesAndPlaceholders()
{
    ProgramDir dir;
    QVERIFY(dir.copyCodeFiles());
    const qint64 book = addSampleBook(dir);
    QVERIFY(writeSampleImages(dir));
    const auto content = publish::loadBookContent(dir.store(), book);
    QVERIFY2(content, qPrintable(content.error()));

    const QString pdf = dir.filePath("PS-1.pdf");
    const publish::PublishOutcome outcome = publish::publishBook(*content, optionsFor(dir), pdf);
    QVERIFY2(outcome.ok, qPrintable(outcome.message));
    // Title, three photos, one page of the table, one of the chart.
    QCOMPARE(outcome.pages, 6);
    const QString info = poppler("pdfinfo", {pdf});
    QVERIFY2(info.contains(QRegularExpression("Pages:\\s+6\\n")), qPrintable(info));
    QVERIFY2(info.contains("612 x 792 pts (letter)"), qPrintable(info));

    const QString text = pdfText(pdf);
    for (const char *expected : {"Pinède de l'Île, Ködern",
                                 "Renée Ø.",
                                 "06/01/2024",
                                 "01 Open flat",
                                 "02 Grüne Wiese",
                                 "Duff depth",
                                 "1.23",
                                 "2.50",
                                 "4.00",
                                 "3.5",
                                 "t/ac",
                                 "trees per acre",
                                 "260",
                                 "75",
                                 "PIPO Ponderosa pine",
                                 "NAT Natural fuels, no activity",
                                 "TU5",
                                 "6.1 in and over",
                                 "Page 6 of 6",
                                 "Summary of the photos",
                                 "Fuel loading by size class"})
        QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
    QVERIFY(text.contains(QString::fromUtf8("Ködern 03 ")));
    QVERIFY(text.contains("No photo file is named for this photo."));
    // The placeholder names the file looked for.
    QVERIFY2(text.contains(QDir::toNativeSeparators(dir.filePath("PhotoImages/PS-1/P02.jpg"))), qPrintable(text));

    // The report names the missing photo and the damaged data plate, nothing else.
    QCOMPARE(outcome.notes.size(), 2);
    QVERIFY2(outcome.notes[0].startsWith("Photo 02: the photo file") && outcome.notes[0].endsWith("was not found."),
             qPrintable(outcome.notes[0]));
    QVERIFY2(outcome.notes[1].contains("the data plate file") && outcome.notes[1].contains("could not be read"),
             qPrintable(outcome.notes[1]));

    // Both images of photo 01, as JPEG at 300 dots per inch of their printed size, smaller than
    // their originals.
    const QVector<EmbeddedImage> images = pdfImages(pdf);
    QCOMPARE(images.size(), 2);
    for (const EmbeddedImage &image : images) {
        QCOMPARE(image.page, 2);
        QCOMPARE(image.encoding, QStringLiteral("jpeg"));
        QVERIFY2(qAbs(image.xPpi - 300) <= 1, qPrintable(QString::number(image.xPpi)));
    }
    QVERIFY(images[0].width < 3000 && images[0].width * 2 == images[0].height * 3);
    QVERIFY(images[1].width < 1600);
}

void PublishTest::dataOnlyOnA4()
{
    ProgramDir dir;
    const qint64 book = addSampleBook(dir);
    QVERIFY(writeSampleImages(dir));
    const auto content = publish::loadBookContent(dir.store(), book);
    QVERIFY(content);
    publish::PublishOptions options = optionsFor(dir);
    options.images = false;
    QVERIFY(publish::pageSizeFromName("A4", options.pageSize));
    const QString pdf = dir.filePath("data.pdf");
    const publish::PublishOutcome outcome = publish::publishBook(*content, options, pdf);
    QVERIFY(outcome.ok);
    QVERIFY(outcome.notes.isEmpty() || outcome.notes.first().contains("Vegcodes.txt")); // no code files here
    QVERIFY(poppler("pdfinfo", {pdf}).contains("595 x 842 pts (A4)"));
    QVERIFY(pdfImages(pdf).isEmpty());
    // Without code files a code prints alone.
    QVERIFY(pdfText(pdf).contains("PIPO"));
}

void PublishTest::linesPutTogetherFromPairsAsShaped()
{
    QBuffer sink;
    QVERIFY(sink.open(QIODevice::WriteOnly));
    QPdfWriter device(&sink);
    device.setResolution(300);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(9);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.0 / 64);
    publish::TextFace learnt(font, &device);
    for (int i = 0; !learnt.composesPairs() && i < 2000; ++i)
        learnt.line(QStringLiteral("Line %1").arg(i));
    if (QFontInfo(font).family() == QLatin1String("DejaVu Sans"))
        QVERIFY(learnt.composesPairs());

    // Kerned pairs, numbers, file names and a page number: glyph for glyph where shaping puts
    // them (to the device pixel both round to).
    for (const QString &text : {QStringLiteral("AV Tea, LT Yo. \"r.\" W'A"), QStringLiteral("P0001.jpg"),
                                QStringLiteral("-1,234.50"), QStringLiteral("Page 12 of 10444")}) {
        const publish::ShapedLine composed = learnt.line(text);
        const publish::ShapedLine shaped = publish::TextFace(font, &device).line(text);
        QCOMPARE(composed.glyphs.size(), 1);
        QCOMPARE(shaped.glyphs.size(), 1);
        QCOMPARE(composed.glyphs[0].glyphIndexes(), shaped.glyphs[0].glyphIndexes());
        const QList<QPointF> at = composed.glyphs[0].positions();
        const QList<QPointF> expected = shaped.glyphs[0].positions();
        for (qsizetype i = 0; i < at.size(); ++i)
            QVERIFY2(qAbs(at[i].x() - expected[i].x()) <= 1 && at[i].y() == expected[i].y(), qPrintable(text));
        QVERIFY2(qAbs(composed.width - shaped.width) < 1, qPrintable(text));
    }

    // A line too long for its place is cut short with an ellipsis, within the width (to a device
    // pixel).
    const QString longLine = QStringLiteral("A description far too long for the header of the page");
    const publish::ShapedLine cut = learnt.fitted(longLine, 300);
    QVERIFY2(cut.width <= 301, qPrintable(QString::number(cut.width)));
    QVERIFY(cut.glyphs[0].glyphIndexes().size() < longLine.size());
    QCOMPARE(learnt.fitted(longLine, 1e6).width, learnt.line(longLine).width);
}

void PublishTest::longBookKeepsEveryText()
{
    // Enough photos that the faces put their unique texts together from learnt pairs: the PDF's
    // text is still every label, name and page number, in its place.
    ProgramDir dir;
    QVERIFY(dir.copyCodeFiles());
    const qint64 book = addSampleBook(dir);
    auto content = publish::loadBookContent(dir.store(), book);
    QVERIFY(content);
    const store::PhotoValues first = content->photos.first();
    content->photos.clear();
    const int photos = 700;
    for (int i = 1; i <= photos; ++i) {
        store::PhotoValues photo = first;
        photo[store::photoFieldIndex("PhotoLabel")] = QStringLiteral("P%1").arg(i);
        photo[store::photoFieldIndex("GroupLabel")] = QStringLiteral("Tall Yarrow, plot %1").arg(i);
        photo[store::photoFieldIndex("TreesPerAcre")] = 100.0 + i / 100.0;
        content->photos.append(photo);
    }
    publish::PublishOptions options = optionsFor(dir);
    options.images = false;
    const QString pdf = dir.filePath("long.pdf");
    const publish::PublishOutcome outcome = publish::publishBook(*content, options, pdf);
    QVERIFY2(outcome.ok, qPrintable(outcome.message));
    const int page = photos + 1;
    const QString last = poppler("pdftotext", {"-f", QString::number(page), "-l", QString::number(page), pdf, "-"});
    for (const QString &expected :
         {QStringLiteral("P700"), QStringLiteral("Tall Yarrow, plot 700"), QStringLiteral("107 trees per acre"),
          QStringLiteral("Page %1 of %2").arg(page).arg(outcome.pages), QStringLiteral("PIPO Ponderosa pine"),
          QStringLiteral("Size class 1 (0 to 0.25 in)"), QStringLiteral("t/ac")})
        QVERIFY2(last.contains(expected), qPrintable(expected + QStringLiteral(" in ") + last));
}

void PublishTest::cancelledOrFailedPublishLeavesTheEarlierFile()
{
    ProgramDir dir;
    const qint64 book = addSampleBook(dir);
    QVERIFY(writeSampleImages(dir));
    const auto content = publish::loadBookContent(dir.store(), book);
    QVERIFY(content);
    const QString pdf = dir.filePath("PS-1.pdf");
    QVERIFY(dir.writeFile("PS-1.pdf", "the earlier book"));
    const QStringList before = QDir(dir.path()).entryList(QDir::Files);

    int calls = 0;
    const publish::PublishOutcome cancelled =
        publish::publishBook(*content, optionsFor(dir), pdf, [&](int done, int total) {
            ++calls;
            return done < total / 2;
        });
    QVERIFY(!cancelled.ok);
    QVERIFY(cancelled.cancelled);
    QVERIFY(calls >= 2);
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("the earlier book"));
    // No temporary file is left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), before);

    // A folder that does not exist: a failure that says so, not a cancel.
    const publish::PublishOutcome failed =
        publish::publishBook(*content, optionsFor(dir), dir.filePath("no-such-folder/PS-1.pdf"));
    QVERIFY(!failed.ok && !failed.cancelled);
    QVERIFY2(failed.message.contains("could not be written"), qPrintable(failed.message));
}

void PublishTest::commandLine()
{
    ProgramDir dir;
    QVERIFY(dir.copyCodeFiles());
    addSampleBook(dir);
    QVERIFY(writeSampleImages(dir));
    dir.closeStore();
    const auto run = [&](const QStringList &arguments, QString *err = nullptr) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM"); // as a script runs it, without a display
        environment.remove("DISPLAY");
        process.setProcessEnvironment(environment);
        process.start(PHOTOSERIES_EXE, arguments);
        process.waitForFinished(60000);
        if (err)
            *err = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };
    const QString pdf = dir.filePath("out.pdf");
    QString err;
    QCOMPARE(
        run({"publish", "--library", dir.path(), "--images", dir.filePath("PhotoImages"), "--page", "a4", "ps-1", pdf},
            &err),
        0);
    QVERIFY2(err.contains("Photo 02: the photo file"), qPrintable(err));
    QVERIFY(poppler("pdfinfo", {pdf}).contains("(A4)"));
    QCOMPARE(pdfImages(pdf).size(), 2);

    QCOMPARE(run({"publish", "--library", dir.path(), "--no-images", "nope", pdf}, &err), 1);
    QVERIFY2(err.contains("There is no book with the identifier \"nope\"."), qPrintable(err));
    QCOMPARE(run({"publish", "--library", dir.path(), "--page", "b5", "ps-1", pdf}), 2);
    QCOMPARE(run({"publish", "--library", dir.path(), "ps-1"}), 2);
}

void PublishTest::catalogueCommand()
{
    ProgramDir dir;
    QVERIFY(dir.copyCodeFiles());
    addSampleBook(dir);
    QVERIFY(writeSampleImages(dir));
    QVERIFY(dir.settings().setPhotoDir("PhotoImages"));
    testing::ScriptedMessages messages;
    QStringList offered;
    const QString pdf = dir.filePath("chosen.pdf");
    catalogue::CatalogueWindow window(
        catalogue::AppContext{dir.path(), &messages, &dir.settings(), store::noCdRomDrive,
                              [&](QWidget *, const QString &suggested, const QStringList &filters) {
                                  offered = QStringList{suggested} + filters;
                                  return QString(pdf);
                              },
                              nullptr, dir.storeLocation()});
    QVERIFY(window.load());
    auto *grid = window.findChild<QTableView *>("grdBooks");
    grid->selectionModel()->setCurrentIndex(grid->model()->index(0, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::mouseClick(window.findChild<QPushButton *>("cmdPublish"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(messages.count(), 1, 60000);
    QCOMPARE(offered, (QStringList{QDir(dir.path()).filePath("PS-1.pdf"), "PDF (*.pdf)"}));
    const QString told = messages.last().message.text;
    QVERIFY2(told.startsWith(
                 QStringLiteral("The book PS-1 was published to %1 (6 pages).").arg(QDir::toNativeSeparators(pdf))),
             qPrintable(told));
    QVERIFY(told.contains("Photo 02: the photo file"));
    QCOMPARE(pdfImages(pdf).size(), 2);
    QVERIFY(window.isEnabled());
}

QTEST_MAIN(PublishTest)
#include "tst_publish.moc"
