#pragma once

#include "store/BookRecord.h"
#include "store/Photos.h"
#include "store/Result.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

namespace store {
class Store;
}

namespace publish {

// What a published book is made of: the header and the photos in the book's order.
struct BookContent
{
    store::BookHeader header;
    QVector<store::PhotoValues> photos;
};

// Reads the book's header and photos in one snapshot of the store, so that a save by another
// program in between cannot give a header and photos of two different moments.
store::Result<BookContent> loadBookContent(store::Store &store, qint64 bookId);

// One woody size class the book uses: its number (1 to 7), its range in inches, and the
// position of its loading in store::photoFields().
struct SizeClass
{
    int number = 0;
    QString range;
    int field = -1;
};

// The classes in use: 1 to 4 always, each further one when the class below it has an upper
// bound (BreakInches4 to BreakInches6), as the editor shows them.
QVector<SizeClass> sizeClassesOf(const store::BookHeader &header);

// The descriptions of the vegetation and activity codes, from the code files.
struct CodeDescriptions
{
    QHash<QString, QString> vegetation;
    QHash<QString, QString> activity;
    // What could not be read, one line a file.
    QStringList faults;
};

// Reads Vegcodes.txt and Actcodes.txt of the program directory.
CodeDescriptions readCodeDescriptions(const QString &programDir);

// "PIJE Jeffrey pine": the code and its description, or the code alone when it has none.
QString describedCode(const QHash<QString, QString> &descriptions, const QVariant &code);

// One line of a photo's table of values.
struct ValueRow
{
    QString name;
    QString value;
    QString unit;
};

// Every measured value of a photo, formatted as the editor's grid shows it, with its unit.
QVector<ValueRow> valueRows(const store::PhotoValues &photo, const QVector<SizeClass> &classes,
                            const CodeDescriptions &codes);

// The value of a Photos field by name (null when the photo has no such field).
QVariant photoValue(const store::PhotoValues &photo, const QString &field);

// The loading of every class in use, and their sum, in tons per acre.
QVector<double> classLoadings(const store::PhotoValues &photo, const QVector<SizeClass> &classes);

// The folder of the book's images: the image root (as the catalogue's image location holds it;
// relative to the program directory) and the book's identifier. Empty when the identifier
// cannot name a folder.
QString bookImageFolder(const QString &programDir, const QString &rootText, const QString &identifier);

} // namespace publish
