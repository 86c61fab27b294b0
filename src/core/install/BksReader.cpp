#include "install/BksReader.h"

#include "store/Windows1252.h"

#include <QIODevice>

#include <charconv>
#include <cstring>

namespace install {

namespace {

constexpr size_t kBlockBytes = size_t(256) * 1024;

// Length of the UTF-8 sequence starting at p: 1 to 4 when valid, 0 when invalid, -1 when the
// bytes end before the sequence does.
int sequenceLength(const unsigned char *p, const unsigned char *end)
{
    const unsigned char c = p[0];
    if (c < 0x80)
        return 1;
    int length = 0;
    unsigned char low = 0x80, high = 0xBF; // range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        if (c == 0xE0)
            low = 0xA0; // overlong
        else if (c == 0xED)
            high = 0x9F; // surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        if (c == 0xF0)
            low = 0x90;
        else if (c == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    for (int i = 1; i < length; ++i) {
        if (p + i >= end)
            return -1;
        const unsigned char lo = i == 1 ? low : 0x80, hi = i == 1 ? high : 0xBF;
        if (p[i] < lo || p[i] > hi)
            return 0;
    }
    return length;
}

bool allAscii8(const unsigned char *p)
{
    quint64 word;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080ULL) == 0;
}

// Checks a block; returns false on an invalid sequence. tail gets the number of bytes at the
// end that begin a sequence the block cuts short.
bool checkUtf8Block(const unsigned char *p, const unsigned char *end, size_t &tail)
{
    tail = 0;
    while (p < end) {
        if (end - p >= 8 && allAscii8(p)) {
            p += 8;
            continue;
        }
        const int length = sequenceLength(p, end);
        if (length == 0)
            return false;
        if (length < 0) {
            tail = size_t(end - p);
            return true;
        }
        p += length;
    }
    return true;
}

void appendUtf8(std::string &out, char16_t u)
{
    if (u < 0x80) {
        out.push_back(char(u));
    } else if (u < 0x800) {
        out.push_back(char(0xC0 | (u >> 6)));
        out.push_back(char(0x80 | (u & 0x3F)));
    } else {
        out.push_back(char(0xE0 | (u >> 12)));
        out.push_back(char(0x80 | ((u >> 6) & 0x3F)));
        out.push_back(char(0x80 | (u & 0x3F)));
    }
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// Plain decimal notation: optional sign, digits with at most one period, an optional exponent.
bool parseNumber(std::string_view text, double &value)
{
    if (text.empty()) {
        value = 0;
        return true;
    }
    size_t i = 0;
    if (text[i] == '+' || text[i] == '-')
        ++i;
    size_t digits = 0;
    bool period = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c == '.' && !period)
            period = true;
        else
            break;
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        const size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        if (i == start)
            return false;
    }
    if (i != text.size())
        return false;
    const char *begin = text.data() + (text[0] == '+' ? 1 : 0);
    const auto result = std::from_chars(begin, text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

} // namespace

bool isValidUtf8(std::string_view bytes)
{
    size_t tail = 0;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    return checkUtf8Block(p, p + bytes.size(), tail) && tail == 0;
}

BksReader::BksReader(QIODevice &device)
    : m_device(device)
    , m_buffer(kBlockBytes)
{
    detectEncoding();
}

void BksReader::detectEncoding()
{
    if (m_device.isSequential()) {
        m_perFieldEncoding = true;
        return;
    }
    const qint64 start = m_device.pos();
    auto *block = reinterpret_cast<unsigned char *>(m_buffer.data());
    size_t carried = 0;
    bool valid = true;
    for (;;) {
        const qint64 n = m_device.read(m_buffer.data() + carried, qint64(m_buffer.size() - carried));
        if (n <= 0) {
            valid = valid && carried == 0;
            break;
        }
        size_t tail = 0;
        const size_t filled = carried + size_t(n);
        if (!checkUtf8Block(block, block + filled, tail)) {
            valid = false;
            break;
        }
        std::memmove(block, block + filled - tail, tail);
        carried = tail;
    }
    m_encoding = valid ? Encoding::Utf8 : Encoding::Windows1252;
    // A device that cannot go back is read with the per-field rule instead.
    if (!m_device.seek(start))
        m_perFieldEncoding = true;
}

bool BksReader::fill()
{
    if (m_deviceDone)
        return false;
    const qint64 n = m_device.read(m_buffer.data(), qint64(m_buffer.size()));
    if (n < 0 && !m_failed) {
        m_deviceDone = true;
        fail(0, QStringLiteral("the file could not be read (%1)").arg(m_device.errorString()));
        return false;
    }
    if (n <= 0) {
        m_deviceDone = true;
        return false;
    }
    if (m_consumed == 0 && n >= 3 && std::memcmp(m_buffer.data(), "\xEF\xBB\xBF", 3) == 0) {
        m_pos = m_buffer.data() + 3; // byte order mark
    } else {
        m_pos = m_buffer.data();
    }
    m_end = m_buffer.data() + n;
    m_consumed += n;
    return true;
}

bool BksReader::peek(char &c)
{
    if (m_pos == m_end && !fill())
        return false;
    c = *m_pos;
    return true;
}

void BksReader::skipBlanks()
{
    char c;
    while (peek(c) && isBlank(c))
        ++m_pos;
}

bool BksReader::fail(int field, const QString &what)
{
    if (!m_failed) {
        m_failed = true;
        m_fault.field = field;
        m_fault.what = what;
    }
    return false;
}

void BksReader::appendDecoded(const char *begin, const char *end)
{
    if (m_encoding == Encoding::Utf8) {
        m_bytes.append(begin, size_t(end - begin));
        return;
    }
    for (const char *p = begin; p < end; ++p) {
        const auto b = static_cast<unsigned char>(*p);
        if (b < 0x80)
            m_bytes.push_back(char(b));
        else
            appendUtf8(m_bytes, store::fromWindows1252(b));
    }
}

// The field's bytes up to its closing quote or separator, as [begin, end). Most fields lie
// within one block and are decoded from it directly; a field that spans blocks is gathered
// first. False when the device failed or the field is too long.
bool BksReader::scanField(int fieldNumber, bool quoted, const char *&begin, const char *&end)
{
    m_raw.clear();
    bool gathered = false;
    for (;;) {
        if (m_pos == m_end && !fill())
            break;
        const char *p = m_pos;
        while (p < m_end && *p != '"' && *p != ',' && !isLineEnd(*p))
            ++p;
        if (quoted) // a comma inside quotes is text
            while (p < m_end && *p == ',') {
                ++p;
                while (p < m_end && *p != '"' && *p != ',' && !isLineEnd(*p))
                    ++p;
            }
        if (p < m_end && !gathered) {
            begin = m_pos;
            end = p;
            m_pos = p;
            break;
        }
        gathered = true;
        m_raw.append(m_pos, size_t(p - m_pos));
        m_pos = p;
        if (p < m_end || m_raw.size() > kMaxFieldBytes)
            break;
    }
    if (m_failed)
        return false;
    if (gathered) {
        begin = m_raw.data();
        end = begin + m_raw.size();
    }
    if (size_t(end - begin) > kMaxFieldBytes) {
        fail(fieldNumber, QStringLiteral("the field is longer than %1 bytes").arg(kMaxFieldBytes));
        return false;
    }
    return true;
}

// A quoted field ends with its quote and, after blanks, a separator; an unquoted one holds none.
bool BksReader::checkQuotes(int fieldNumber, bool quoted)
{
    char c = 0;
    if (quoted) {
        if (!peek(c) || c != '"')
            return fail(fieldNumber, QStringLiteral("the closing double quote is missing"));
        ++m_pos;
        skipBlanks();
        if (peek(c) && c != ',' && !isLineEnd(c))
            return fail(fieldNumber, c == '"' ? QStringLiteral("a double quote stands inside a quoted field")
                                              : QStringLiteral("text follows the closing double quote"));
    } else if (peek(c) && c == '"') {
        return fail(fieldNumber, QStringLiteral("a double quote stands inside a field that does not start with one"));
    }
    return true;
}

bool BksReader::storeNumber(int fieldNumber, size_t start)
{
    const std::string_view text(m_bytes.data() + start, m_bytes.size() - start);
    double value = 0;
    if (!parseNumber(text, value))
        return fail(fieldNumber,
                    QStringLiteral("\"%1\" is not a number").arg(QString::fromUtf8(text.data(), int(text.size()))));
    m_numbers[size_t(fieldNumber - 1)] = value;
    return true;
}

BksReader::Next BksReader::readField(int fieldNumber, FieldKind kind)
{
    const size_t start = m_bytes.size();
    m_offsets.push_back(start);
    skipBlanks();
    char c = 0;
    bool quoted = false;
    if (peek(c) && c == '"') {
        quoted = true;
        ++m_pos;
    }

    const char *begin = nullptr;
    const char *end = nullptr;
    if (!scanField(fieldNumber, quoted, begin, end))
        return Next::EndOfData;
    // Decoded before anything below can refill the block the field lies in.
    if (!quoted)
        while (end > begin && isBlank(end[-1]))
            --end;
    if (m_perFieldEncoding)
        m_encoding = isValidUtf8(std::string_view(begin, size_t(end - begin))) ? Encoding::Utf8 : Encoding::Windows1252;
    appendDecoded(begin, end);

    if (!checkQuotes(fieldNumber, quoted))
        return Next::EndOfData;
    if (kind == FieldKind::Number && !storeNumber(fieldNumber, start))
        return Next::EndOfData;

    // The separator that ends the field.
    if (!peek(c))
        return Next::EndOfData;
    ++m_pos;
    if (c == ',')
        return Next::Field;
    if (c == '\r' && peek(c) && c == '\n')
        ++m_pos;
    ++m_line;
    return Next::EndOfLine;
}

bool BksReader::readRecord(const std::vector<FieldKind> &kinds)
{
    if (m_failed || m_atEnd)
        return false;
    m_bytes.clear();
    m_offsets.clear();
    m_numbers.assign(kinds.size(), 0.0);

    // Blank lines before the record, a trailing one included, are skipped.
    char c;
    for (;;) {
        skipBlanks();
        if (!peek(c)) {
            m_atEnd = !m_failed;
            return false;
        }
        if (!isLineEnd(c))
            break;
        ++m_pos;
        if (c == '\r' && peek(c) && c == '\n')
            ++m_pos;
        ++m_line;
    }
    m_fault.line = m_line;

    Next next = Next::Field;
    const int count = int(kinds.size());
    for (int i = 0; i < count; ++i) {
        if (next == Next::EndOfLine) {
            // A field may continue on a later line; blank lines between are skipped.
            for (;;) {
                skipBlanks();
                if (!peek(c) || !isLineEnd(c))
                    break;
                ++m_pos;
                if (c == '\r' && peek(c) && c == '\n')
                    ++m_pos;
                ++m_line;
            }
        }
        if (next == Next::EndOfData || (next == Next::EndOfLine && !peek(c))) {
            if (m_failed)
                return false;
            return fail(i + 1, QStringLiteral("the record ends after field %1; it needs %2 fields").arg(i).arg(count));
        }
        next = readField(i + 1, kinds[size_t(i)]);
        if (m_failed)
            return false;
    }
    m_offsets.push_back(m_bytes.size());
    return true;
}

std::string_view BksReader::text(int index) const
{
    const size_t begin = m_offsets[size_t(index)];
    return std::string_view(m_bytes.data() + begin, m_offsets[size_t(index) + 1] - begin);
}

QString BksReader::qtext(int index) const
{
    const std::string_view t = text(index);
    return QString::fromUtf8(t.data(), qsizetype(t.size()));
}

} // namespace install
