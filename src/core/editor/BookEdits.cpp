#include "editor/BookEdits.h"

#include "editor/PhotoTableModel.h"
#include "library/BookSave.h"
#include "store/Store.h"

namespace editor {

namespace {

// A book read with its change counter is checked by the counter: its rows need not be copied.
PhotoTableModel::ExpectedRows expectedRowsFor(const store::BookHeader &loaded)
{
    return loaded.version.isNull() ? PhotoTableModel::ExpectedRows::Included : PhotoTableModel::ExpectedRows::Omitted;
}

} // namespace

store::Result<store::BookHeader> loadInto(const QSqlDatabase &db, qint64 bookId, PhotoTableModel &photos)
{
    // Each row is held compactly as it is read: the rows never exist as variants all at once,
    // which would double the editor's peak memory. (PhotoRow being relocatable, the vector
    // grows by reallocation: no row is copied one by one, and room not yet used is not touched.)
    QVector<PhotoRow> rows;
    const auto take = [&rows](const store::PhotoValues &values) { rows.emplace_back(values); };
    auto header = library::readBook(db, bookId, take);
    if (!header)
        return header.failure();
    photos.setCompactRows(std::move(rows));
    return header;
}

store::Result<store::BookHeader> saveEdits(const QSqlDatabase &db, const store::BookHeader &loaded,
                                           const store::HeaderFields &header, PhotoTableModel &photos)
{
    const auto saved = library::saveBook(db, {loaded, header, photos.changes(expectedRowsFor(loaded))});
    if (!saved)
        return saved.failure();
    photos.acceptSaved(*saved);
    photos.markUnedited();
    return saved->header;
}

store::Result<bool> changedElsewhere(const QSqlDatabase &db, const store::BookHeader &loaded,
                                     const PhotoTableModel &photos)
{
    return changedElsewhere(db, loaded, photos.changes(expectedRowsFor(loaded)).expected);
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
