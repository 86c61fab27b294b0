#include "editor/BookEdits.h"

#include "editor/PhotoTableModel.h"
#include "library/BookSave.h"

namespace editor {

store::Result<store::BookHeader> loadInto(const QSqlDatabase &db, qint64 bookId, PhotoTableModel &photos)
{
    auto book = library::loadBook(db, bookId);
    if (!book)
        return book.failure();
    photos.setRows(std::move(book->photos));
    return book->header;
}

store::Result<store::BookHeader> saveEdits(const QSqlDatabase &db, const store::BookHeader &loaded,
                                           const store::HeaderFields &header, PhotoTableModel &photos)
{
    const auto saved = library::saveBook(db, {loaded, header, photos.changes()});
    if (!saved)
        return saved.failure();
    photos.acceptSaved(*saved);
    photos.markUnedited();
    return saved->header;
}

} // namespace editor
