// Feeds arbitrary bytes to the install-file reader as a header and photo records, the way
// the import reads a file, from a random-access device and from a sequential one.
#include "install/BksReader.h"

#include <QBuffer>
#include <QByteArray>

#include <cstdint>
#include <cstring>

namespace {

using install::FieldKind;
constexpr FieldKind T = FieldKind::Text;
constexpr FieldKind N = FieldKind::Number;

const std::vector<FieldKind> kHeader{T, T, T, T, N, N, N, N, N, N};
const std::vector<FieldKind> kPhoto{T, T, T, N, N, N, N, N, N, N, N, N, T, T, T, T, N, N, T, T, N, N, N, N};

// A device that cannot seek, like a pipe. (QBuffer cannot pose as one: it reads from its
// position, which Qt does not move for sequential devices.)
class Pipe final : public QIODevice
{
public:
    explicit Pipe(const QByteArray &bytes)
        : m_bytes(bytes)
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 max) override
    {
        const qint64 n = qMin(max, qint64(m_bytes.size()) - m_offset);
        memcpy(data, m_bytes.constData() + m_offset, size_t(n));
        m_offset += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    const QByteArray &m_bytes;
    qint64 m_offset = 0;
};

void readAll(QIODevice &device)
{
    install::BksReader reader(device);
    if (!reader.readRecord(kHeader))
        return;
    for (int i = 0; i < 4; ++i)
        (void)reader.qtext(i);
    while (reader.readRecord(kPhoto)) {
        for (int i : {0, 1, 2, 12, 13, 14, 15, 18, 19})
            (void)reader.qtext(i);
    }
    if (reader.failed())
        (void)reader.fault().what.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        readAll(buffer);
    }
    {
        Pipe pipe(bytes);
        readAll(pipe);
    }
    return 0;
}
