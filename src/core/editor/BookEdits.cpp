#include "editor/BookEdits.h"

#include "editor/PhotoTableModel.h"
#include "library/BookSave.h"
#include "store/Store.h"

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

store::Result<bool> changedElsewhere(const QSqlDatabase &db, const store::BookHeader &loaded,
                                     const PhotoTableModel &photos)
{
    return changedElsewhere(db, loaded, photos.changes().expected);
}

store::Result<bool> changedElsewhere(const QSqlDatabase &db, const store::BookHeader &loaded,
                                     const QVector<store::PhotoValues> &photos)
{
    // The book's change counter answers with one row; a store without it compares every row.
    if (!loaded.version.isNull()) {
        const auto version = store::readBookVersion(db, loaded.id);
        if (!version)
            return version.failure();
        return !store::sameStoredValue(*version, loaded.version);
    }
    store::Transaction reading(db);
    if (!reading.begun())
        return reading.begun().failure();
    if (auto snapshot = store::beginSnapshot(db); !snapshot)
        return snapshot.failure();
    const auto unchanged = library::checkUnchangedElsewhere(db, loaded, photos);
    if (unchanged)
        return false;
    if (unchanged.is(store::FailureKind::ChangedElsewhere))
        return true;
    return unchanged.failure();
}

} // namespace editor
