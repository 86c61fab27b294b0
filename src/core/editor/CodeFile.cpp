#include "editor/CodeFile.h"

#include "store/Windows1252.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

namespace editor {

namespace {

QString fromWindows1252(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes)
        out.append(QChar(store::fromWindows1252(static_cast<unsigned char>(c))));
    return out;
}

QString decodeLine(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    return utf8.hasError() ? fromWindows1252(bytes) : text;
}

// Reads one field starting at pos; leaves pos after it. False when a quote is not closed.
bool readField(const QString &line, qsizetype &pos, QString &value)
{
    while (pos < line.size() && line.at(pos).isSpace())
        ++pos;
    if (pos < line.size() && line.at(pos) == QLatin1Char('"')) {
        const qsizetype close = line.indexOf(QLatin1Char('"'), pos + 1);
        if (close < 0)
            return false;
        value = line.mid(pos + 1, close - pos - 1);
        pos = close + 1;
        // Anything between the closing quote and the separator is not part of the value.
        const qsizetype comma = line.indexOf(QLatin1Char(','), pos);
        pos = comma < 0 ? line.size() : comma;
        return true;
    }
    const qsizetype comma = line.indexOf(QLatin1Char(','), pos);
    const qsizetype end = comma < 0 ? line.size() : comma;
    value = line.mid(pos, end - pos).trimmed();
    pos = end;
    return true;
}

// Splits one line into its two fields; false when the record is cut short.
bool parseRecord(const QString &line, CodeRecord &record)
{
    qsizetype pos = 0;
    if (!readField(line, pos, record.code) || pos >= line.size())
        return false;
    ++pos; // the comma
    return readField(line, pos, record.description);
}

} // namespace

CodeFileContents readCodeFile(const QString &path)
{
    CodeFileContents result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("The code file %1 could not be read: %2")
                           .arg(QDir::toNativeSeparators(path), file.errorString());
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = QStringLiteral("The code file %1 could not be read: %2")
                           .arg(QDir::toNativeSeparators(path), file.errorString());
        return result;
    }
    const QList<QByteArray> lines = bytes.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray raw = lines.at(i);
        if (raw.endsWith('\r'))
            raw.chop(1);
        if (i == 0 && raw.startsWith("\xEF\xBB\xBF"))
            raw.remove(0, 3);
        const QString line = decodeLine(raw);
        if (line.trimmed().isEmpty())
            continue;
        CodeRecord record;
        if (!parseRecord(line, record)) {
            result.error = QStringLiteral("The code file %1 has an incomplete record on line %2; "
                                          "the codes after it were not read.")
                               .arg(QDir::toNativeSeparators(path))
                               .arg(i + 1);
            return result;
        }
        result.records.push_back(record);
    }
    return result;
}

bool fitsQuotedField(const QString &text)
{
    return !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'));
}

store::Result<> appendCodeRecord(const QString &path, const QString &code, const QString &description)
{
    const QString where = QDir::toNativeSeparators(path);
    if (!fitsQuotedField(code) || !fitsQuotedField(description))
        return store::fail(
            QStringLiteral("A code record for %1 cannot hold a double quote or a line break.").arg(where),
            store::FailureKind::Invalid);
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append))
        return store::fail(
            QStringLiteral("The code file %1 could not be opened for writing: %2").arg(where, file.errorString()),
            store::FailureKind::Io);
    QByteArray record;
    if (file.size() > 0) {
        // Append mode writes at the end whatever the position; only the read needs the seek.
        file.seek(file.size() - 1);
        if (file.read(1) != "\n")
            record += "\r\n";
    }
    record += '"' + code.toUtf8() + "\",\"" + description.toUtf8() + "\"\r\n";
    if (file.write(record) != record.size() || !file.flush())
        return store::fail(QStringLiteral("The code could not be written to %1: %2").arg(where, file.errorString()),
                           store::FailureKind::Io);
    file.close();
    if (file.error() != QFileDevice::NoError)
        return store::fail(QStringLiteral("The code could not be written to %1: %2").arg(where, file.errorString()),
                           store::FailureKind::Io);
    return store::done();
}

} // namespace editor
