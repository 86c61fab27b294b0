// The editor's undo history on the photo model alone, saved through the editor core.

#include "TestSupport.h"

#include "editor/BookEdits.h"
#include "editor/EditHistory.h"
#include "editor/PhotoTableModel.h"
#include "library/BookSave.h"
#include "store/Schema.h"

#include <QTest>

using editor::EditHistory;
using editor::PhotoTableModel;
using testing::ProgramDir;

namespace {

// The photos as text, one line per photo sorted, without the keys a save hands out.
QStringList photosText(const QVector<store::PhotoValues> &rows)
{
    const int key = store::photoFieldIndex(QStringLiteral("ID"));
    QStringList lines;
    for (const store::PhotoValues &row : rows) {
        QStringList fields;
        for (int f = 0; f < row.size(); ++f) {
            if (f != key)
                fields << (row.at(f).isNull() ? QStringLiteral("<null>") : row.at(f).toString());
        }
        lines << fields.join(QLatin1Char('|'));
    }
    lines.sort();
    return lines;
}

QVector<store::PhotoValues> modelRows(const PhotoTableModel &photos)
{
    QVector<store::PhotoValues> rows;
    for (int r = 0; r < photos.rowCount(); ++r) {
        store::PhotoValues values;
        for (const QString &field : store::photoFields())
            values << photos.value(r, field);
        rows << values;
    }
    return rows;
}

QStringList storedPhotos(ProgramDir &dir, qint64 book)
{
    const auto loaded = library::loadBook(dir.store().db(), book);
    return loaded ? photosText(loaded->photos) : QStringList{loaded.error()};
}

// A stored book of three photos, open in a model with its history.
struct Book
{
    explicit Book(ProgramDir &dir)
    {
        id = dir.addBook(QStringLiteral("B"));
        for (const char *label : {"1", "2", "3"})
            dir.addPhoto(id, {{"BookLabel", "B"}, {"PhotoLabel", label}, {"VegType", "PP"}, {"Oto3FL", 1.5}});
        const auto loaded = editor::loadInto(dir.store().db(), id, photos);
        if (loaded)
            header = *loaded;
    }
    bool save(ProgramDir &dir)
    {
        store::HeaderFields fields;
        fields.label = header.label.toString();
        fields.description = QStringLiteral("Book");
        const auto saved = editor::saveEdits(dir.store().db(), header, fields, photos);
        if (saved) {
            header = *saved;
            history.markSaved();
        }
        return saved.ok();
    }

    qint64 id = 0;
    store::BookHeader header;
    PhotoTableModel photos;
    EditHistory history{photos};
};

} // namespace

class HistoryTest : public QObject
{
    Q_OBJECT

private slots:
    void undoneAndRedoneStepsSaveTheBookOfThatPoint_data();
    void undoneAndRedoneStepsSaveTheBookOfThatPoint();
    void deleteAndAddUndoneLeaveNothingToSave();
    void stepThatWouldBreakARuleIsRefused();
    void keepsAThousandSteps();
};

void HistoryTest::undoneAndRedoneStepsSaveTheBookOfThatPoint_data()
{
    // U undo, R redo, S save; the store must then hold the book as it was at that point.
    QTest::addColumn<QString>("moves");
    QTest::newRow("all undone") << "UUUUU";
    QTest::newRow("two undone, one redone") << "UUR";
    QTest::newRow("all undone and redone") << "UUUUURRRRR";
    QTest::newRow("back and forth") << "UUUUURRUR";
    QTest::newRow("saved, then undone past the save") << "SUUU";
    QTest::newRow("undone, saved, redone") << "UUUSRR";
    QTest::newRow("saved twice on the way back") << "UUSUUSRRR";
}

void HistoryTest::undoneAndRedoneStepsSaveTheBookOfThatPoint()
{
    QFETCH(QString, moves);
    ProgramDir dir;
    Book b(dir);
    PhotoTableModel &p = b.photos;
    QVector<QStringList> states{photosText(modelRows(p))};
    const auto step = [&](const std::function<void()> &change) {
        change();
        states << photosText(modelRows(p));
    };
    step([&] { p.setValue(0, "GroupLabel", "Ridge"); });
    step([&] {
        QVariantMap values = PhotoTableModel::defaultPhotoValues(b.id, "B");
        values.insert("PhotoLabel", "N");
        p.appendRow(values);
    });
    step([&] { p.removePhoto(1); });
    step([&] { p.setValue(2, "HerbTonsPerAcre", 3.5); });
    step([&] { p.removePhoto(0); });
    QCOMPARE(b.history.stack().count(), 5);

    int at = 5;
    for (QChar move : moves) {
        if (move == QLatin1Char('S')) {
            QVERIFY(b.save(dir));
            QVERIFY(!b.history.isBookChanged());
            continue;
        }
        const bool undo = move == QLatin1Char('U');
        QVERIFY(!(undo ? b.history.undo() : b.history.redo()));
        at += undo ? -1 : 1;
        QCOMPARE(photosText(modelRows(p)), states.at(at));
    }
    QCOMPARE(b.history.stack().index(), at);
    QVERIFY(b.save(dir));
    QCOMPARE(storedPhotos(dir, b.id), states.at(at));
    // Nothing left pending once saved: a second save writes nothing new.
    QVERIFY(!p.hasPendingChanges());
}

void HistoryTest::deleteAndAddUndoneLeaveNothingToSave()
{
    ProgramDir dir;
    Book b(dir);
    PhotoTableModel &p = b.photos;
    const QVector<store::PhotoValues> before = modelRows(p);
    p.setCurrentRow(2);
    p.removePhoto(1);
    QCOMPARE(p.currentRow(), 1);
    QVERIFY(!b.history.undo());
    // Back in its place with every value, the key too, and the current row follows it.
    QCOMPARE(modelRows(p), before);
    QCOMPARE(p.currentRow(), 2);
    QVERIFY(!p.hasPendingChanges());

    p.appendRow(PhotoTableModel::defaultPhotoValues(b.id, "B"));
    p.setValue(0, "GroupLabel", "Ridge");
    QVERIFY(!b.history.undo());
    QVERIFY(!b.history.undo());
    QCOMPARE(photosText(modelRows(p)), photosText(before));
    const library::PhotoChanges changes = p.changes();
    QVERIFY(changes.added.isEmpty() && changes.changed.isEmpty() && changes.removed.isEmpty());
    QVERIFY(!b.history.isBookChanged());
}

void HistoryTest::stepThatWouldBreakARuleIsRefused()
{
    ProgramDir dir;
    const qint64 book = dir.addBook(QStringLiteral("B"));
    // An older store let two photos share a label.
    for (const char *label : {"A", "a", "C"})
        dir.addPhoto(book, {{"BookLabel", "B"}, {"PhotoLabel", label}});
    PhotoTableModel photos;
    EditHistory history(photos);
    QVERIFY(editor::loadInto(dir.store().db(), book, photos).ok());
    const QString unique("Photo Label must be unique within this book");
    // Undoing this would make the labels that are unique now share one again.
    photos.setValue(1, "PhotoLabel", "B");
    auto refused = history.undo();
    QVERIFY(refused);
    QCOMPARE(refused->text, unique);
    QCOMPARE(history.stack().index(), 1);
    QCOMPARE(photos.value(1, "PhotoLabel").toString(), QString("B"));
    // So would putting back a deleted photo.
    photos.setValue(1, "PhotoLabel", "a");
    photos.removePhoto(0);
    refused = history.undo();
    QVERIFY(refused);
    QCOMPARE(refused->text, unique);
    QCOMPARE(history.stack().index(), 3);
    QCOMPARE(photos.rowCount(), 2);
    // A label with a character a file name cannot hold comes back only where one is already.
    photos.setValue(1, "PhotoLabel", "C/");
    photos.setValue(1, "PhotoLabel", "D");
    refused = history.undo();
    QVERIFY(refused);
    QCOMPARE(refused->text, QString("Photo ID cannot contain \\ / : * ? | < > , or a double quote"));
    QCOMPARE(photos.value(1, "PhotoLabel").toString(), QString("D"));
}

void HistoryTest::keepsAThousandSteps()
{
    ProgramDir dir;
    Book b(dir);
    for (int i = 0; i < EditHistory::kStepLimit + 200; ++i)
        b.photos.setValue(0, "GroupLabel", QString::number(i));
    QCOMPARE(b.history.stack().count(), EditHistory::kStepLimit);
    for (int i = 0; i < EditHistory::kStepLimit; ++i)
        QVERIFY(!b.history.undo());
    QCOMPARE(b.photos.value(0, "GroupLabel").toString(), QString::number(199));
    // The loaded book is out of reach: it stays changed.
    QVERIFY(b.history.isBookChanged());
}

QTEST_GUILESS_MAIN(HistoryTest)
#include "tst_history.moc"
