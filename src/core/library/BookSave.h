#pragma once

#include "store/BookRecord.h"
#include "store/Photos.h"

#include <functional>

namespace library {

// What the editor changed in a book's photos since it read or last saved them.
struct PhotoChanges
{
    QVector<qint64> removed;             // keys of stored photos deleted
    QVector<store::PhotoValues> changed; // stored photos with their new values (key first)
    QVector<store::PhotoValues> added;   // new photos in the order entered (no key yet)
    // Every photo of the book as the editor last read or wrote it: what the store must still
    // hold for the save to go ahead.
    QVector<store::PhotoValues> expected;
};

// One save of a book: the header as read (id 0 for a new book, which is not in the store yet),
// the header to write, and the photos' changes.
struct BookChanges
{
    store::BookHeader loaded;
    store::HeaderFields header;
    PhotoChanges photos;
};

struct SavedBook
{
    store::BookHeader header;  // as the store now holds it; header.id is a new book's key
    QVector<qint64> addedKeys; // the keys of PhotoChanges::added, in that order
};

// A book and its photos as the store holds them, read at one moment.
struct LoadedBook
{
    store::BookHeader header;
    QVector<store::PhotoValues> photos;
};
store::Result<LoadedBook> loadBook(const QSqlDatabase &db, qint64 id);

// The same read without keeping the photos: each is handed to `take` as it is read, its values
// valid during the call only. Gives the header.
store::Result<store::BookHeader> readBook(const QSqlDatabase &db, qint64 id,
                                          const std::function<void(const store::PhotoValues &values)> &take);

// Whether the book is in the store as the editor read or last wrote it: its header fields (those
// the editor shows) and every photo, none added or removed. Active and NumOfPhotos, which other
// programs and the recount change, do not count. Fails with FailureKind::ChangedElsewhere when
// another program changed or deleted something.
store::Result<> checkUnchangedElsewhere(const QSqlDatabase &db, const store::BookHeader &loaded,
                                        const QVector<store::PhotoValues> &expected);

// Writes a book in one transaction: a new book's row, or the header of a stored one after the
// check that no other program changed it (the book's change counter against the one read with
// it, or where the store keeps none, checkUnchangedElsewhere()); then every photo change, every photo given the book's
// label and a blank in place of an empty VegType or Activity. A label another book carries
// (letter case ignored) is refused with FailureKind::Duplicate, checked after the label is
// locked, so that two programs saving one label at once cannot both succeed. On failure nothing
// reaches the store.
store::Result<SavedBook> saveBook(const QSqlDatabase &db, const BookChanges &changes);

} // namespace library
