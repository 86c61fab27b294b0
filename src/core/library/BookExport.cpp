#include "library/BookExport.h"

#include "install/BksLayout.h"
#include "store/RowReader.h"
#include "store/Schema.h"
#include "store/Store.h"
#include "store/Windows1252.h"

#include <QDir>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <charconv>
#include <optional>

namespace library {

using namespace install;

namespace {

// How far an export came: the public functions hand it on as a Result.
struct ExportOutcome
{
    bool ok = false;
    QString message;
    store::FailureKind kind = store::FailureKind::Failed;
    QStringList notes;
    qint64 photos = 0;
};

store::Result<ExportedBook> result(const ExportOutcome &outcome)
{
    if (!outcome.ok)
        return store::fail(outcome.message, outcome.kind);
    return ExportedBook{outcome.notes, outcome.photos};
}

template <size_t n> QString fieldList(const BksField (&fields)[n])
{
    QStringList names;
    for (const BksField &f : fields)
        names << QLatin1String(f.name);
    return names.join(QStringLiteral(", "));
}

// The fewest digits that read back to the same double, in plain decimal notation.
QByteArray numberText(double value)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return result.ec == std::errc() ? QByteArray(buffer, int(result.ptr - buffer)) : QByteArray("0");
}

std::optional<QByteArray> toWindows1252(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.append(char(u));
            continue;
        }
        int byte = -1;
        for (int i = 0; i < 32 && byte < 0; ++i) {
            if (store::kWindows1252High[i] == u)
                byte = 0x80 + i;
        }
        if (byte < 0)
            return std::nullopt;
        out.append(char(byte));
    }
    return out;
}

// Decides the encoding while the texts are checked: Windows-1252 when every text fits, unless
// every non-ASCII text would also read as valid UTF-8 (the reader would then take the file as
// UTF-8 and change the text).
class EncodingChoice
{
public:
    void see(const QString &text)
    {
        // Most texts are ASCII, which fits either way.
        if (!m_fits || std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; }))
            return;
        const std::optional<QByteArray> bytes = toWindows1252(text);
        if (!bytes) {
            m_fits = false;
            return;
        }
        const bool ascii = std::all_of(bytes->cbegin(), bytes->cend(), [](char c) { return uchar(c) < 0x80; });
        if (!ascii) {
            m_nonAscii = true;
            if (!isValidUtf8(std::string_view(bytes->constData(), size_t(bytes->size()))))
                m_unambiguous = true;
        }
    }
    bool windows1252() const { return m_fits && (!m_nonAscii || m_unambiguous); }

private:
    bool m_fits = true;
    bool m_nonAscii = false;
    bool m_unambiguous = false;
};

QString fault(const QString &path, const QString &what)
{
    return QStringLiteral("The book could not be exported to %1: %2").arg(QDir::toNativeSeparators(path), what);
}

// Writes through a temporary file that replaces the target only when everything was written.
class Output
{
public:
    explicit Output(const QString &path)
        : m_file(path)
    {
    }
    QString open()
    {
        if (!m_file.open(QIODevice::WriteOnly))
            return m_file.errorString();
        return {};
    }
    void write(const QByteArray &bytes)
    {
        m_buffer += bytes;
        if (m_buffer.size() >= qsizetype(64) * 1024)
            flush();
    }
    QString commit()
    {
        flush();
        if (!m_file.commit())
            return m_file.errorString();
        return {};
    }

private:
    void flush()
    {
        m_file.write(m_buffer);
        m_buffer.clear();
    }
    QSaveFile m_file;
    QByteArray m_buffer;
};

} // namespace

namespace {

// The book's header fields, or none with outcome.message set.
std::optional<QVariantList> readHeader(const QSqlDatabase &db, qint64 bookId, const QString &path,
                                       ExportOutcome &outcome)
{
    QSqlQuery header(db);
    header.setForwardOnly(true);
    header.prepare(QStringLiteral("SELECT %1 FROM Books WHERE ID = ?").arg(fieldList(kBksHeader)));
    header.addBindValue(bookId);
    if (!header.exec() || !header.next()) {
        outcome.message =
            header.lastError().isValid()
                ? fault(path, store::describeError(QStringLiteral("the book could not be read"), header.lastError()))
                : fault(path, QStringLiteral("the book is not in the database."));
        if (!header.lastError().isValid())
            outcome.kind = store::FailureKind::NotFound;
        return std::nullopt;
    }
    QVariantList values;
    for (int i = 0; i < kBksHeaderCount; ++i)
        values << header.value(i);
    return values;
}

// The first pass over every value: whether each text can be written, in which encoding, and
// what the file cannot carry.
struct TextCheck
{
    EncodingChoice encoding;
    qint64 emptyNumbers = 0;
    qint64 nullTexts = 0;
    QString problem; // the first value that cannot be written, named for the user

    // where: names the value for the user, asked only when it cannot be written.
    template <typename Where> bool check(const QVariant &value, const Where &where, const BksField &field)
    {
        if (field.kind == FieldKind::Number) {
            emptyNumbers += value.isNull() ? 1 : 0;
            return true;
        }
        nullTexts += value.isNull() && !field.nullWhenEmpty ? 1 : 0;
        const QString text = value.toString();
        if (text.contains(QLatin1Char('"')) || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) {
            problem = QStringLiteral("%1: its %2 holds a double quote or a line break, which an install file "
                                     "cannot hold. Nothing was written.")
                          .arg(where(), QLatin1String(field.shown ? field.shown : field.name));
            return false;
        }
        encoding.see(text);
        return true;
    }
};

// Runs the photos' statement (again, for the second pass).
bool readPhotos(store::RowReader &photos, qint64 bookId, const QString &path, ExportOutcome &outcome)
{
    const auto run = photos.exec(
        QStringLiteral("SELECT %1 FROM Photos WHERE BookID = ? ORDER BY ID").arg(fieldList(kBksPhoto)), {bookId});
    if (run)
        return true;
    outcome.message = fault(path, run.error());
    outcome.kind = run.kind();
    return false;
}

bool readToTheEnd(const store::RowReader &photos, const QString &path, ExportOutcome &outcome)
{
    const auto read = photos.status();
    if (read)
        return true;
    outcome.message = fault(path, read.error());
    outcome.kind = read.kind();
    return false;
}

void addNotes(ExportOutcome &outcome, bool windows1252, const QVariantList &header, const TextCheck &texts)
{
    outcome.notes << (windows1252 ? QStringLiteral("Encoding: Windows-1252.") : QStringLiteral("Encoding: UTF-8."));
    outcome.notes << QStringLiteral("Not carried by an install file: %1.").arg(QLatin1String(kBksNotCarried));
    const QString date = header.at(2).toString().trimmed();
    if (!date.isEmpty() && !(date.size() == 4 && date.toInt() > 0))
        outcome.notes << QStringLiteral("BookDate \"%1\" is read back as its year only.").arg(date);
    if (texts.emptyNumbers > 0)
        outcome.notes << QStringLiteral("%1 empty number fields are read back as 0.").arg(texts.emptyNumbers);
    if (texts.nullTexts > 0)
        outcome.notes << QStringLiteral("%1 unset names or labels are read back as empty texts.").arg(texts.nullTexts);
}

} // namespace

namespace {

// The second pass: the file, from the photos the first pass checked. A text that no longer fits
// the chosen encoding, or a read that stops early, fails the export rather than writing a file
// that reads back differently.
bool writeBook(store::RowReader &photos, qint64 bookId, const QVariantList &header, bool windows1252,
               qint64 expectedPhotos, const QString &path, ExportOutcome &outcome)
{
    bool encoded = true;
    const auto encode = [&](const QString &text) {
        if (!windows1252)
            return text.toUtf8();
        std::optional<QByteArray> bytes = toWindows1252(text);
        encoded = encoded && bytes.has_value();
        return bytes.value_or(QByteArray());
    };
    const auto field = [&](const BksField &f, const QVariant &value) {
        if (f.kind == FieldKind::Text)
            return '"' + encode(value.toString()) + '"';
        return value.isNull() ? QByteArray() : numberText(value.toDouble());
    };
    Output out(path);
    if (const QString error = out.open(); !error.isEmpty()) {
        outcome.message = fault(path, error);
        outcome.kind = store::FailureKind::Io;
        return false;
    }
    QByteArray line;
    for (int i = 0; i < kBksHeaderCount; ++i)
        line += (i ? "," : "") + field(kBksHeader[i], header.at(i));
    out.write(line + "\r\n");
    if (!readPhotos(photos, bookId, path, outcome))
        return false;
    const QByteArray first = '"' + encode(header.at(0).toString()) + '"';
    while (photos.next()) {
        line = first;
        for (int i = 0; i < kBksPhotoCount; ++i)
            line += ',' + field(kBksPhoto[i], photos.value(i));
        out.write(line + "\r\n");
        ++outcome.photos;
    }
    if (!readToTheEnd(photos, path, outcome))
        return false;
    if (!encoded || outcome.photos != expectedPhotos) {
        outcome.message = fault(path, QStringLiteral("the book changed while it was read. Nothing was written; "
                                                     "try again."));
        outcome.kind = store::FailureKind::ChangedElsewhere;
        return false;
    }
    if (const QString error = out.commit(); !error.isEmpty()) {
        outcome.message = fault(path, error);
        outcome.kind = store::FailureKind::Io;
        return false;
    }
    return true;
}

} // namespace

namespace {

ExportOutcome exportBook(const QSqlDatabase &db, qint64 bookId, const QString &path)
{
    ExportOutcome outcome;
    // Both passes see the book as it was at one moment; the transaction only reads.
    store::Transaction snapshot(db);
    if (!snapshot.begun() || !store::beginSnapshot(db)) {
        outcome.message =
            fault(path, snapshot.begun() ? QStringLiteral("the book could not be read.") : snapshot.begun().error());
        return outcome;
    }
    const std::optional<QVariantList> headerValues = readHeader(db, bookId, path, outcome);
    if (!headerValues)
        return outcome;
    const QString label = headerValues->at(0).toString();

    // First pass: every text can be written, and in which encoding.
    TextCheck texts;
    const QString bookWhere = QStringLiteral("book \"%1\"").arg(label);
    const auto headerWhere = [&]() -> const QString & { return bookWhere; };
    for (int i = 0; i < kBksHeaderCount; ++i) {
        if (!texts.check(headerValues->at(i), headerWhere, kBksHeader[i])) {
            outcome.message = fault(path, texts.problem);
            outcome.kind = store::FailureKind::Invalid;
            return outcome;
        }
    }
    store::RowReader photos(db, QStringLiteral("the photos could not be read"));
    if (!readPhotos(photos, bookId, path, outcome))
        return outcome;
    qint64 checked = 0;
    while (photos.next()) {
        const auto where = [&] {
            return QStringLiteral("%1, photo \"%2\"").arg(bookWhere, photos.value(1).toString());
        };
        for (int i = 0; i < kBksPhotoCount; ++i) {
            if (!texts.check(photos.value(i), where, kBksPhoto[i])) {
                outcome.message = fault(path, texts.problem);
                outcome.kind = store::FailureKind::Invalid;
                outcome.kind = store::FailureKind::Invalid;
                return outcome;
            }
        }
        ++checked;
    }
    if (!readToTheEnd(photos, path, outcome))
        return outcome;
    const bool windows1252 = texts.encoding.windows1252();
    if (!writeBook(photos, bookId, *headerValues, windows1252, checked, path, outcome))
        return outcome;
    outcome.ok = true;
    addNotes(outcome, windows1252, *headerValues, texts);
    return outcome;
}

QByteArray csvField(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') || bytes.contains('\r')) {
        bytes.replace("\"", "\"\"");
        return '"' + bytes + '"';
    }
    return bytes;
}

QByteArray csvValue(const QVariant &value)
{
    if (value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::Double:
        return numberText(value.toDouble());
    case QMetaType::Int:
    case QMetaType::LongLong:
        return QByteArray::number(value.toLongLong());
    default:
        return csvField(value.toString());
    }
}

ExportOutcome exportRows(const QSqlDatabase &db, qint64 bookId, const QString &path)
{
    ExportOutcome outcome;
    const QStringList &fields = store::photoFields();
    QStringList columns;
    for (const QString &f : fields)
        columns << QStringLiteral("Photos.") + f;
    store::RowReader q(db, QStringLiteral("the photos could not be read"));
    const auto run = q.exec(
        QStringLiteral("SELECT Books.ID, Books.BookLabel, Books.BookDescription, %1 FROM Photos "
                       "JOIN Books ON Books.ID = Photos.BookID %2 ORDER BY %3, Books.ID, Photos.ID")
            .arg(columns.join(QStringLiteral(", ")), bookId > 0 ? QStringLiteral("WHERE Books.ID = ?") : QString(),
                 store::dialect::labelOrder(store::backendOf(db), QStringLiteral("Books.BookLabel"))),
        bookId > 0 ? QVariantList{bookId} : QVariantList{});
    if (!run) {
        outcome.message = fault(path, run.error());
        return outcome;
    }
    Output out(path);
    if (const QString error = out.open(); !error.isEmpty()) {
        outcome.message = fault(path, error);
        outcome.kind = store::FailureKind::Io;
        return outcome;
    }
    QByteArray line = "BookID,BookLabel,BookDescription";
    for (const QString &f : fields)
        line += ',' + csvField(f);
    out.write(line + "\r\n");
    const int count = int(fields.size()) + 3;
    while (q.next()) {
        line.clear();
        for (int i = 0; i < count; ++i) {
            if (i)
                line += ',';
            line += csvValue(q.value(i));
        }
        out.write(line + "\r\n");
        ++outcome.photos;
    }
    if (!readToTheEnd(q, path, outcome))
        return outcome;
    if (const QString error = out.commit(); !error.isEmpty()) {
        outcome.message = fault(path, error);
        outcome.kind = store::FailureKind::Io;
        return outcome;
    }
    outcome.ok = true;
    outcome.notes << QStringLiteral("Encoding: UTF-8.");
    return outcome;
}

} // namespace

store::Result<ExportedBook> exportBookFile(const QSqlDatabase &db, qint64 bookId, const QString &path)
{
    return result(exportBook(db, bookId, path));
}

store::Result<ExportedBook> exportCsv(const QSqlDatabase &db, qint64 bookId, const QString &path)
{
    return result(exportRows(db, bookId, path));
}

} // namespace library
