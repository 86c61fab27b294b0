// Feeds arbitrary bytes to the code-file reader through a file, and appends a record to what
// it read, as the Add Code dialog does.
#include "editor/CodeFile.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <cstdint>
#include <unistd.h>

namespace {

QString scratchFile()
{
    const QString dir = QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    return QStringLiteral("%1/fuzz_codes_%2.txt").arg(dir).arg(getpid());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = scratchFile();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    const editor::CodeFileContents before = editor::readCodeFile(path);
    if (editor::appendCodeRecord(path, QStringLiteral("NEW"), QStringLiteral("Added by the dialog"))) {
        // What was read before is still read, and the new record comes last.
        const editor::CodeFileContents after = editor::readCodeFile(path);
        if (before.error.isEmpty() && after.error.isEmpty() &&
            (after.records.size() != before.records.size() + 1 || after.records.last().code != QLatin1String("NEW")))
            __builtin_trap();
    }
    return 0;
}
