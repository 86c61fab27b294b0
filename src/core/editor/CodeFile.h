#pragma once

#include "store/Result.h"

#include <QString>
#include <QVector>

namespace editor {

// One record of a vegetation or activity code file: the code and its description.
struct CodeRecord
{
    QString code;
    QString description;
};

struct CodeFileContents
{
    // Every complete record read, in file order (also those before a fault).
    QVector<CodeRecord> records;
    // Empty when the whole file was read; else one text naming the file and, where it applies,
    // the line at fault.
    QString error;
};

// Reads a code file: one record per line (CR LF or LF), two comma-separated fields, each
// either in double quotes (commas allowed inside) or bare (blanks around it dropped). Each
// line is read as UTF-8 when its bytes are valid UTF-8, else as Windows-1252, so a file that
// a user extended in another editor still reads. Blank lines are skipped.
CodeFileContents readCodeFile(const QString &path);

// Appends one record with both fields in double quotes, as UTF-8, ending with CR LF. A file
// whose last line lacks its line end gets one first, so the new record stays on its own line.
// Fails with what went wrong: Invalid for a text a record cannot hold, Io for a file that could not
// be written.
store::Result<> appendCodeRecord(const QString &path, const QString &code, const QString &description);

// Whether a text can be written as one quoted field (no double quote, no line break).
bool fitsQuotedField(const QString &text);

} // namespace editor
