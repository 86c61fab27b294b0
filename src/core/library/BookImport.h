#pragma once

#include "store/Result.h"

#include <QSqlDatabase>
#include <QString>

namespace library {

// Told how far the import of one file has come; returning false cancels it.
class ImportProgress
{
public:
    virtual ~ImportProgress() = default;
    virtual bool advance(qint64 bytesRead, qint64 bytesTotal) = 0;
};

// A book an install file added.
struct ImportedBook
{
    qint64 bookId = 0;
    QString label; // the book's label as stored
    qint64 photos = 0;
};

// Photo records between two progress reports.
constexpr qint64 kProgressEvery = 2048;

// Imports one install file as a new book with its photos, in one transaction: the file lands
// whole or leaves the store as it was. The header's book label is taken without the blanks
// around it; a label already present (letter case ignored) or one that cannot name a book folder
// is refused. Photo labels and image names are stored as the file has them. The photo counts
// are not recounted here. Each failure's text is what the user is told; its kind says why:
// Duplicate (a book of that label is there: the file is skipped), Invalid (the file's contents or
// its label), Io (the file could not be read), Cancelled (by the progress), or the store's own.
store::Result<ImportedBook> importBookFile(const QSqlDatabase &db, const QString &path,
                                           ImportProgress *progress = nullptr);

// BookDate from the header's date text: unset (a null text) when blank; the year of a full
// date (month/day/year or year-month-day); else the first four characters of the trimmed text.
QString bookDateFromHeader(const QString &text);

// Why a label (already trimmed) cannot name a book, or an empty text when it can.
QString labelFault(const QString &label);

} // namespace library
