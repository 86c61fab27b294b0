#pragma once

#include "store/BookRecord.h"
#include "store/Photos.h"

namespace editor {

class PhotoTableModel;

// Reads a book into the model, both read at one moment; gives the book's header.
store::Result<store::BookHeader> loadInto(const QSqlDatabase &db, qint64 bookId, PhotoTableModel &photos);

// Saves a book as the editor holds it: the header and the model's changes in one transaction
// (library::saveBook). On success the model holds the rows as written, nothing pending, and the
// book as the store now holds it comes back; on failure the model keeps every change.
store::Result<store::BookHeader> saveEdits(const QSqlDatabase &db, const store::BookHeader &loaded,
                                           const store::HeaderFields &header, PhotoTableModel &photos);

// Whether another program changed or deleted the book since the model read or last saved it
// (its Active flag and photo count aside, which others set without touching what is edited):
// the check a save makes first, read at one moment without writing anything.
store::Result<bool> changedElsewhere(const QSqlDatabase &db, const store::BookHeader &loaded,
                                     const PhotoTableModel &photos);
// The same against a book as it was read (library::loadBook).
store::Result<bool> changedElsewhere(const QSqlDatabase &db, const store::BookHeader &loaded,
                                     const QVector<store::PhotoValues> &photos);

} // namespace editor
