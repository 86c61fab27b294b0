#include "install/BksReader.h"

#include <QBuffer>
#include <QTest>

using install::BksReader;
using install::FieldKind;

namespace {

std::vector<FieldKind> kinds(const QString &letters)
{
    std::vector<FieldKind> out;
    for (const QChar c : letters)
        out.push_back(c == 'N' ? FieldKind::Number : FieldKind::Text);
    return out;
}

// Every record as its fields joined by "|" (numbers as read), then "!line:field:what" for a fault.
QStringList readAll(QIODevice &device, const QString &letters)
{
    BksReader reader(device);
    const std::vector<FieldKind> k = kinds(letters);
    QStringList out;
    while (reader.readRecord(k)) {
        QStringList fields;
        for (int i = 0; i < int(k.size()); ++i)
            fields << (k[size_t(i)] == FieldKind::Number ? QString::number(reader.number(i)) : reader.qtext(i));
        out << fields.join('|');
    }
    if (reader.failed())
        out << QStringLiteral("!%1:%2:%3").arg(reader.fault().line).arg(reader.fault().field).arg(reader.fault().what);
    else if (!reader.atEnd())
        out << QStringLiteral("!not at end");
    return out;
}

QStringList readAll(const QByteArray &bytes, const QString &letters)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readAll(buffer, letters);
}

// A pipe-like device: it cannot seek back, so the encoding is decided per field.
class SequentialDevice final : public QIODevice
{
public:
    explicit SequentialDevice(QByteArray bytes)
        : m_bytes(std::move(bytes))
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 max) override
    {
        const qint64 n = qMin(max, qint64(m_bytes.size()) - m_read);
        memcpy(data, m_bytes.constData() + m_read, size_t(n));
        m_read += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_read = 0;
};

} // namespace

class BksReaderTest : public QObject
{
    Q_OBJECT

private slots:
    void records_data();
    void records();
    void encodingIsDecidedForTheWholeFile();
    void sequentialDeviceDecidesPerField();
    void recordsAcrossBlockBoundaries();
    void overlongFieldIsRefused();
};

void BksReaderTest::records_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("kinds");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("quoted and unquoted") << QByteArray("\"a, b \",  c d  ,1.5\n") << "TTN"
                                         << QStringList{"a, b |c d|1.5"};
    QTest::newRow("blanks around quotes") << QByteArray("  \"x\"  ,\"y\"\n") << "TT" << QStringList{"x|y"};
    QTest::newRow("line ends separate fields") << QByteArray("\"a\"\n\"b\"\n3\n") << "TTN" << QStringList{"a|b|3"};
    QTest::newRow("comma joins records on a line")
        << QByteArray("\"a\",1,\"b\",2") << "TN" << QStringList{"a|1", "b|2"};
    QTest::newRow("CR LF and blank lines")
        << QByteArray("\"a\",1\r\n\r\n  \r\n\"b\",2\r\n\r\n") << "TN" << QStringList{"a|1", "b|2"};
    QTest::newRow("lone CR") << QByteArray("\"a\",1\r\"b\",2\r") << "TN" << QStringList{"a|1", "b|2"};
    QTest::newRow("empty numbers and texts") << QByteArray("\"\",,,x\n") << "TNTT" << QStringList{"|0||x"};
    QTest::newRow("number forms") << QByteArray("-1.25,.5,+3,1E-2,\"7\"\n") << "NNNNN"
                                  << QStringList{"-1.25|0.5|3|0.01|7"};
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF\"a\",1\n") << "TN" << QStringList{"a|1"};
    QTest::newRow("no records") << QByteArray("\r\n\n") << "TN" << QStringList{};
    QTest::newRow("Windows-1252") << QByteArray("\"\x93"
                                                "Caf\xE9\x94\",\"l\x92"
                                                "arbre\",1\n")
                                  << "TTN" << QStringList{QString::fromUtf8("\u201CCaf\u00E9\u201D|l\u2019arbre|1")};
    QTest::newRow("UTF-8") << QByteArray("\"Caf\xC3\xA9\",1\n") << "TN"
                           << QStringList{QString::fromUtf8("Caf\u00E9|1")};

    QTest::newRow("quote inside quoted field")
        << QByteArray("\"a\"\"b\",1\n") << "TN" << QStringList{"!1:1:a double quote stands inside a quoted field"};
    QTest::newRow("text after closing quote") << QByteArray("\"a\",1\n\"b\" x,2\n") << "TN"
                                              << QStringList{"a|1", "!2:1:text follows the closing double quote"};
    QTest::newRow("quote inside unquoted field")
        << QByteArray("ab\"c\",1\n") << "TN"
        << QStringList{"!1:1:a double quote stands inside a field that does not start with one"};
    QTest::newRow("closing quote missing")
        << QByteArray("1,\"abc\n") << "NT" << QStringList{"!1:2:the closing double quote is missing"};
    QTest::newRow("record cut short") << QByteArray("\"a\",1,\"b\"\n\n\"c\",2,\n\n\"d\"\n") << "TNT"
                                      << QStringList{"a|1|b", "c|2|",
                                                     "!5:2:the record ends after field 1; it needs 3 fields"};
    QTest::newRow("letter in number") << QByteArray("\"a\",1\n\"b\",1x\n") << "TN"
                                      << QStringList{"a|1", "!2:2:\"1x\" is not a number"};
    QTest::newRow("number words refused") << QByteArray("inf\n") << "N" << QStringList{"!1:1:\"inf\" is not a number"};
    QTest::newRow("comma before line end is an empty field")
        << QByteArray("\"a\",\n\"b\"\n1\n\"c\",z\n") << "TN" << QStringList{"a|0", "b|1", "!4:2:\"z\" is not a number"};
}

void BksReaderTest::records()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, kinds);
    QFETCH(QStringList, expected);
    QCOMPARE(readAll(bytes, kinds), expected);
}

void BksReaderTest::encodingIsDecidedForTheWholeFile()
{
    // The first field alone is valid UTF-8, but the second is not: the whole file is Windows-1252.
    const QByteArray bytes("\"\xC3\xA9\",\"\xE9\"\n");
    QCOMPARE(readAll(bytes, "TT"), QStringList{QString::fromUtf8("\u00C3\u00A9|\u00E9")});
}

void BksReaderTest::sequentialDeviceDecidesPerField()
{
    SequentialDevice device("\"\xC3\xA9\",\"\xE9\"\n");
    QCOMPARE(readAll(device, "TT"), QStringList{QString::fromUtf8("\u00E9|\u00E9")});
}

void BksReaderTest::recordsAcrossBlockBoundaries()
{
    // Records of several lengths, CR LF line ends and a multi-byte character, so that block
    // boundaries fall inside fields, quotes, line ends and characters.
    QByteArray bytes;
    QStringList expected;
    for (int i = 0; i < 20000; ++i) {
        const QByteArray text = QByteArray(i % 37, 'x') + "\xC3\xA9";
        bytes += "\"" + text + "\"," + QByteArray::number(i) + ".5\r\n";
        expected << QString::fromUtf8(text) + "|" + QString::number(i + 0.5);
    }
    QCOMPARE(readAll(bytes, "TN"), expected);
}

void BksReaderTest::overlongFieldIsRefused()
{
    // Within one block of the reader, and across several.
    for (const size_t length : {BksReader::kMaxFieldBytes + 10, BksReader::kMaxFieldBytes * 10}) {
        const QByteArray bytes = "\"" + QByteArray(qsizetype(length), 'a') + "\",1\n";
        const QStringList out = readAll(bytes, "TN");
        QCOMPARE(out.size(), 1);
        QVERIFY2(out.first().startsWith("!1:1:the field is longer than"), qPrintable(out.first()));
    }
}

QTEST_GUILESS_MAIN(BksReaderTest)
#include "tst_bksreader.moc"
