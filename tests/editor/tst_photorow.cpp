#include "TestSupport.h"

#include "editor/BookEdits.h"
#include "editor/PhotoRow.h"
#include "editor/PhotoTableModel.h"
#include "library/BookSave.h"
#include "store/Schema.h"

#include <QTest>

#include <limits>

using testing::ProgramDir;

namespace {

int field(const char *name)
{
    return store::photoFieldIndex(QLatin1String(name));
}

// The same variant: type, nullness and value.
bool sameVariant(const QVariant &a, const QVariant &b)
{
    return a.metaType() == b.metaType() && a.isNull() == b.isNull() && a == b;
}

QString describe(const QVariant &v)
{
    return QStringLiteral("%1 %2 \"%3\"")
        .arg(QLatin1String(v.typeName() ? v.typeName() : "invalid"), v.isNull() ? QStringLiteral("null") : QString(),
             v.toString());
}

} // namespace

// The editor's rows are held compactly; what is read back must be exactly what was put in.
class PhotoRowTest : public QObject
{
    Q_OBJECT

private slots:
    void everyKindOfValueComesBackAsItWasSet_data();
    void everyKindOfValueComesBackAsItWasSet();
    void bookReadIntoTheModelEqualsTheBookAsLoaded();
    void editsAndTheirUndoOnCompactRows();
};

void PhotoRowTest::everyKindOfValueComesBackAsItWasSet_data()
{
    QTest::addColumn<QString>("fieldName");
    QTest::addColumn<QVariant>("value");
    const QVariant storeNull(QMetaType::fromType<QString>());
    for (const char *name : {"VegType", "TotalFL", "ID"}) {
        const QString f = QLatin1String(name);
        const auto row = [name](const char *what) -> QTestData & { return QTest::addRow("%s: %s", name, what); };
        row("unset") << f << QVariant();
        row("null read from the store") << f << storeNull;
        row("text") << f << QVariant(QStringLiteral("PP"));
        row("empty text") << f << QVariant(QStringLiteral(""));
        row("null string, variant not null") << f << QVariant(QString());
        row("whole number") << f << QVariant(qint64(-42));
        row("largest whole number") << f << QVariant(std::numeric_limits<qint64>::max());
        row("real") << f << QVariant(0.25);
        row("zero") << f << QVariant(0.0);
        row("negative zero") << f << QVariant(-0.0);
        row("int") << f << QVariant(7);
        row("typed null number, as a server gives") << f << QVariant(QMetaType::fromType<double>());
        row("typed null whole number") << f << QVariant(QMetaType::fromType<qint64>());
        row("bytes") << f << QVariant(QByteArray("\x01\x02", 2));
    }
}

void PhotoRowTest::everyKindOfValueComesBackAsItWasSet()
{
    QFETCH(QString, fieldName);
    QFETCH(QVariant, value);
    const int f = store::photoFieldIndex(fieldName);
    editor::PhotoRow row;
    row.setValue(f, value);
    QVERIFY2(sameVariant(row.value(f), value), qPrintable(describe(row.value(f))));
    // Over a value of another kind, and that one back over it: nothing of the first stays.
    row.setValue(f, QVariant(QByteArray("other")));
    row.setValue(f, value);
    QVERIFY2(sameVariant(row.value(f), value), qPrintable(describe(row.value(f))));
    row.setValue(f, QVariant(qint64(5)));
    QVERIFY(sameVariant(row.value(f), QVariant(qint64(5))));
    // The whole row as the store's vector, the other fields unset.
    store::PhotoValues values(store::photoFields().size());
    values[f] = value;
    const editor::PhotoRow whole(values);
    const store::PhotoValues back = whole.values();
    QCOMPARE(back.size(), values.size());
    for (int i = 0; i < values.size(); ++i)
        QVERIFY2(sameVariant(back.at(i), values.at(i)), qPrintable(QString::number(i)));
    QVERIFY(whole.sameValues(values));
    QVERIFY(!whole.sameValues(store::PhotoValues(3)));
}

void PhotoRowTest::bookReadIntoTheModelEqualsTheBookAsLoaded()
{
    ProgramDir dir;
    const qint64 book = dir.addBook(QStringLiteral("B1"));
    // Codes that come back after others, nulls between them, numbers whole and real, a text in
    // a number field (another program's writing).
    const char *codes[] = {"PP", "GR", "PP", "SH", "GR", "PP"};
    for (int i = 0; i < 6; ++i) {
        QVariantMap photo{{"BookLabel", "B1"},
                          {"PhotoLabel", QString::number(i)},
                          {"VegType", codes[i]},
                          {"TotalFL", i % 2 ? QVariant(i) : QVariant(i + 0.5)}};
        if (i == 3 && !dir.onServer())
            photo.insert("Oto3FL", "n/a");
        if (i == 4)
            photo.insert("Activity", "");
        dir.addPhoto(book, photo);
    }
    const bool file = !dir.onServer();
    const qint64 cacheBefore = file ? dir.scalar("PRAGMA cache_size").toLongLong() : 0;

    editor::PhotoTableModel model;
    const auto header = editor::loadInto(dir.store().db(), book, model);
    QVERIFY2(header.ok(), qPrintable(header.error()));
    const auto loaded = library::loadBook(dir.store().db(), book);
    QVERIFY(loaded.ok());
    QCOMPARE(header->version, loaded->header.version);
    QCOMPARE(model.rowCount(), loaded->photos.size());
    for (int r = 0; r < model.rowCount(); ++r) {
        for (int f = 0; f < store::photoFields().size(); ++f) {
            const QVariant held = model.value(r, store::photoFields().at(f));
            QVERIFY2(
                sameVariant(held, loaded->photos.at(r).at(f)),
                qPrintable(QStringLiteral("row %1 %2: %3").arg(r).arg(store::photoFields().at(f), describe(held))));
        }
    }
    if (file) {
        // An equal code read again later shares its string.
        QCOMPARE(model.value(5, "VegType").toString().constData(), model.value(0, "VegType").toString().constData());
        QCOMPARE(model.value(4, "VegType").toString().constData(), model.value(1, "VegType").toString().constData());
        // The page cache the read kept small has its size back.
        QCOMPARE(dir.scalar("PRAGMA cache_size").toLongLong(), cacheBefore);
    }
    QVERIFY(!model.hasPendingChanges());
}

void PhotoRowTest::editsAndTheirUndoOnCompactRows()
{
    ProgramDir dir;
    const qint64 book = dir.addBook(QStringLiteral("B1"));
    for (int i = 0; i < 3; ++i)
        dir.addPhoto(book, {{"BookLabel", "B1"}, {"PhotoLabel", QString::number(i)}, {"TotalFL", 1.5}});
    editor::PhotoTableModel model;
    const auto header = editor::loadInto(dir.store().db(), book, model);
    QVERIFY(header.ok());

    // A change and its way back: nothing pending, and the save's rows to check left out only
    // when asked.
    QVERIFY(model.setValue(1, "TotalFL", "2"));
    QCOMPARE(model.value(1, "TotalFL"), QVariant(2.0));
    QCOMPARE(model.changes().changed.size(), 1);
    QCOMPARE(model.changes().expected.size(), 3);
    QCOMPARE(model.changes().expected.at(1).at(field("TotalFL")), QVariant(1.5));
    const auto omitted = model.changes(editor::PhotoTableModel::ExpectedRows::Omitted);
    QCOMPARE(omitted.changed.size(), 1);
    QVERIFY(omitted.expected.isEmpty());
    QVERIFY(model.setValue(1, "TotalFL", 1.5));
    QVERIFY(!model.hasPendingChanges());

    // A removed row comes back in its place with every value; an added one is saved with the rest.
    const editor::RemovedPhoto removed = model.removePhoto(0);
    QCOMPARE(removed.values.at(field("PhotoLabel")), QVariant(QStringLiteral("0")));
    QCOMPARE(model.value(0, "PhotoLabel"), QVariant(QStringLiteral("1")));
    model.restorePhoto(removed);
    QCOMPARE(model.value(0, "PhotoLabel"), QVariant(QStringLiteral("0")));
    QVERIFY(!model.hasPendingChanges());
    const int added = model.appendRow({{"PhotoLabel", "new"}, {"TotalFL", "x"}, {"VegType", ""}});
    QVERIFY(!model.value(added, "TotalFL").isValid());
    QVERIFY(model.setValue(0, "GroupLabel", "G"));

    store::HeaderFields fields;
    fields.label = QStringLiteral("B1");
    const auto saved = editor::saveEdits(dir.store().db(), *header, fields, model);
    QVERIFY2(saved.ok(), qPrintable(saved.error()));
    QCOMPARE(dir.scalar("SELECT COUNT(*) FROM Photos").toInt(), 4);
    QCOMPARE(dir.scalar("SELECT GroupLabel FROM Photos WHERE PhotoLabel = '0'").toString(), QStringLiteral("G"));
    // The saved rows as the store holds them: the new one has its key, an empty code a blank.
    QCOMPARE(model.rowKey(added), dir.scalar("SELECT ID FROM Photos WHERE PhotoLabel = 'new'").toLongLong());
    QCOMPARE(model.value(added, "VegType"), QVariant(QStringLiteral(" ")));
    QCOMPARE(model.value(added, "BookID"), QVariant(book));
    QVERIFY(!model.hasPendingChanges());
}

QTEST_GUILESS_MAIN(PhotoRowTest)
#include "tst_photorow.moc"
