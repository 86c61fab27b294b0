#pragma once

#include "store/BookRecord.h"

namespace editor {

class PhotoTableModel;

// Whether the book is in the store as the editor read or last wrote it: its header fields
// (those the editor shows), and every photo row, none added or removed. Active and NumOfPhotos,
// which other programs and the recount change, do not count. Fails with
// store::changedElsewhereMessage() when another program changed or deleted something.
store::Result<> checkUnchangedElsewhere(const QSqlDatabase &db, const store::BookHeader &loaded,
                                        const PhotoTableModel &photos);

// Writes a book's header and every pending photo change in one transaction, gives every
// photo the book's label and a blank in place of an empty VegType or Activity. It first checks
// that no other program changed the book since `loaded` was read (in the same transaction).
// On failure nothing reaches the store, the model keeps every change pending, and the failure
// says what failed.
store::Result<> saveBook(const QSqlDatabase &db, const store::BookHeader &loaded, const store::HeaderFields &header,
                         PhotoTableModel &photos);

} // namespace editor
