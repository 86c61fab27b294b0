#pragma once

#include "store/BookRecord.h"

namespace editor {

class PhotoTableModel;

// Writes a book's header and every pending photo change in one transaction, gives every
// photo the book's label and a blank in place of an empty VegType or Activity. On failure
// nothing reaches the store, the model keeps every change pending, and the text says what failed.
QString saveBook(const QSqlDatabase &db, qint64 bookId, const store::HeaderFields &header, PhotoTableModel &photos);

} // namespace editor
