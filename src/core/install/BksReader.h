#pragma once

#include <QString>

#include <string>
#include <string_view>
#include <vector>

class QIODevice;

namespace install {

// Install files come as UTF-8 or, from older systems, in the Windows-1252 code page.
enum class Encoding { Utf8, Windows1252 };

enum class FieldKind { Text, Number };

// Where and why a record could not be read. Line is the line on which the record starts
// (1-based), field the 1-based field number within the record (0 when the file as a whole failed).
struct BksFault
{
    qint64 line = 0;
    int field = 0;
    QString what;
};

// Reads the comma-separated records of an install file from a stream, a bounded block at a
// time: memory does not grow with the file. Fields are separated by commas or line ends
// wherever they stand (CR LF, LF or a lone CR); blank lines are skipped. A text field is
// either enclosed in double quotes (and holds none itself) or runs to the next separator
// without its surrounding blanks. Numbers use the period as decimal mark; an empty one is 0.
//
// Field texts are handed out as UTF-8 whatever the file's encoding. A random-access device is
// checked once from start to end to decide its encoding; on a sequential device each field
// that is not valid UTF-8 is taken as Windows-1252.
class BksReader final
{
public:
    explicit BksReader(QIODevice &device);
    BksReader(const BksReader &) = delete;
    BksReader &operator=(const BksReader &) = delete;

    // Reads the next record of kinds.size() fields. Returns false at the end of the data
    // (atEnd() is then true) or on a fault (fault() says what and where).
    bool readRecord(const std::vector<FieldKind> &kinds);
    bool atEnd() const { return m_atEnd && !m_failed; }
    bool failed() const { return m_failed; }
    const BksFault &fault() const { return m_fault; }

    // Fields of the last record read, by 0-based index.
    std::string_view text(int index) const;
    QString qtext(int index) const;
    double number(int index) const { return m_numbers[size_t(index)]; }

    Encoding encoding() const { return m_encoding; }
    // Bytes consumed so far, for progress against the device's size.
    qint64 position() const { return m_consumed - qint64(m_end - m_pos); }

    // Longest field accepted: a file without separators cannot make the reader grow.
    static constexpr size_t kMaxFieldBytes = size_t(64) * 1024;

private:
    enum class Next { Field, EndOfLine, EndOfData };

    bool fill();
    bool peek(char &c);
    void skipBlanks();
    Next readField(int fieldNumber, FieldKind kind);
    bool scanField(int fieldNumber, bool quoted, const char *&begin, const char *&end);
    bool checkQuotes(int fieldNumber, bool quoted);
    bool storeNumber(int fieldNumber, size_t start);
    bool fail(int field, const QString &what);
    void appendDecoded(const char *begin, const char *end);
    void detectEncoding();

    QIODevice &m_device;
    Encoding m_encoding = Encoding::Utf8;
    bool m_perFieldEncoding = false;

    std::vector<char> m_buffer;
    const char *m_pos = nullptr;
    const char *m_end = nullptr;
    qint64 m_consumed = 0;
    bool m_deviceDone = false;

    qint64 m_line = 1;
    bool m_atEnd = false;
    bool m_failed = false;
    BksFault m_fault;

    // The record's field texts end to end, with the offset where each one starts.
    std::string m_bytes;
    std::string m_raw;
    std::vector<size_t> m_offsets;
    std::vector<double> m_numbers;
};

// Whether the bytes are valid UTF-8 (overlong forms and surrogates refused).
bool isValidUtf8(std::string_view bytes);

} // namespace install
