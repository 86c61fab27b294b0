#include "TestSupport.h"

#include "editor/BookEdits.h"
#include "editor/CodeFile.h"
#include "editor/PhotoTableModel.h"
#include "library/BookImport.h"
#include "library/BookList.h"
#include "store/BookRecord.h"

#include <QFile>
#include <QSqlQuery>
#include <QTest>

using testing::ProgramDir;

namespace {

// Texts that break statements built by pasting, or readers that assume plain ASCII.
QStringList hostileTexts()
{
    return {QStringLiteral("O'Brien's plot"), QStringLiteral("100% cover; DROP TABLE Books; --"),
            QStringLiteral("Épinette noire – forêt boréale"), QStringLiteral("Ñandú ' \" ; % _ *"),
            QString(5000, QLatin1Char('w'))};
}

} // namespace

// Quotes, apostrophes, percent signs, semicolons, non-ASCII letters and very long texts pass
// through the queries, the import, the save and the code files unchanged.
class HostileTextTest : public QObject
{
    Q_OBJECT

private slots:
    void importSaveFindAndDeleteKeepTextsIntact();
    void codeFilesCarryTextsBackUnchanged();
};

void HostileTextTest::importSaveFindAndDeleteKeepTextsIntact()
{
    ProgramDir dir;
    const QStringList texts = hostileTexts();
    for (int i = 0; i < texts.size(); ++i) {
        // A label may hold an apostrophe, a semicolon and a percent sign, but no double quote.
        const QString label = QStringLiteral("Book %1; 50% O'Hara é").arg(i);
        QString description = texts[i];
        description.remove(QLatin1Char('"'));
        const QString file = dir.filePath(QStringLiteral("book%1.bks").arg(i));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(
            QStringLiteral("\"%1\",\"%2\",\"1998\",\"%2\",0.26,1.1,3.1,0,0,0\r\n"
                           "\"x\",\"%2\",\"%2\",1,2,3,4,0,0,0,1,1,\"%2\",\"\",\"\",\"\",0,0,\"\",\"\",0,0,1,0.5\r\n")
                .arg(label, description)
                .toUtf8());
        out.close();

        const auto outcome = library::importBookFile(dir.store().db(), file);
        QVERIFY2(outcome.ok(), qPrintable(outcome.error()));
        QCOMPARE(dir.scalar(QStringLiteral("SELECT BookDescription FROM Books WHERE ID = %1").arg(outcome->bookId))
                     .toString(),
                 description);
        QCOMPARE(dir.scalar(QStringLiteral("SELECT GroupLabel FROM Photos WHERE BookID = %1").arg(outcome->bookId))
                     .toString(),
                 description);

        // The duplicate check finds the label as it is, in other letter case too (the store
        // folds ASCII letters only).
        QString otherCase = label;
        for (QChar &c : otherCase)
            if (c.unicode() < 128)
                c = c.toUpper();
        const auto ids = library::booksWithLabel(dir.store().db(), otherCase, 0);
        QCOMPARE(ids.error(), QString());
        QCOMPARE(*ids, QVector<qint64>{outcome->bookId});

        // A save writes the texts back through bound values.
        editor::PhotoTableModel photos;
        QCOMPARE(editor::loadInto(dir.store().db(), outcome->bookId, photos).error(), QString());
        QVERIFY(photos.setValue(0, QStringLiteral("PhotoLabel"), texts[i]));
        store::HeaderFields header;
        header.label = label + QStringLiteral(" saved");
        header.description = texts[i];
        header.builtBy = texts[i];
        header.date = texts[i];
        const auto loaded = store::loadBookHeader(dir.store().db(), outcome->bookId);
        QCOMPARE(loaded.error(), QString());
        QCOMPARE(editor::saveEdits(dir.store().db(), *loaded, header, photos).error(), QString());
        QSqlQuery q(dir.store().db());
        q.prepare(QStringLiteral("SELECT BookLabel, BookDescription, builtby, BookDate FROM Books WHERE ID = ?"));
        q.addBindValue(outcome->bookId);
        QVERIFY(q.exec() && q.next());
        QCOMPARE(q.value(0).toString(), header.label);
        QCOMPARE(q.value(1).toString(), texts[i]);
        QCOMPARE(q.value(2).toString(), texts[i]);
        QCOMPARE(q.value(3).toString(), texts[i]);
        QCOMPARE(dir.scalar(QStringLiteral("SELECT PhotoLabel FROM Photos WHERE BookID = %1").arg(outcome->bookId))
                     .toString(),
                 texts[i]);
    }
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Books").toInt(), texts.size());

    // Deleting one book takes exactly its rows.
    const qint64 first = dir.scalar("SELECT MIN(ID) FROM Books").toLongLong();
    QCOMPARE(library::removeBook(dir.store().db(), first).error(), QString());
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Books").toInt(), texts.size() - 1);
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Photos").toInt(), texts.size() - 1);
    QCOMPARE(dir.scalar("PRAGMA integrity_check").toString(), QString("ok"));
}

void HostileTextTest::codeFilesCarryTextsBackUnchanged()
{
    ProgramDir dir;
    const QString path = dir.filePath(QStringLiteral("Vegcodes.txt"));
    QStringList written;
    for (QString text : hostileTexts()) {
        text.remove(QLatin1Char('"')); // the file format cannot carry a double quote
        QVERIFY(editor::fitsQuotedField(text));
        QVERIFY(editor::appendCodeRecord(path, text.left(5), text));
        written << text;
    }
    QVERIFY(!editor::fitsQuotedField(QStringLiteral("a \"quoted\" word")));
    QVERIFY(!editor::fitsQuotedField(QStringLiteral("two\nlines")));

    const editor::CodeFileContents read = editor::readCodeFile(path);
    QVERIFY2(read.error.isEmpty(), qPrintable(read.error));
    QCOMPARE(read.records.size(), written.size());
    for (int i = 0; i < written.size(); ++i) {
        QCOMPARE(read.records[i].code, written[i].left(5));
        QCOMPARE(read.records[i].description, written[i]);
    }
}

QTEST_GUILESS_MAIN(HostileTextTest)
#include "tst_hostile.moc"
