#include "editor/BookSave.h"

#include "editor/PhotoTableModel.h"
#include "store/Photos.h"
#include "store/Store.h"

namespace editor {

namespace {

bool sameHeader(const store::BookHeader &a, const store::BookHeader &b)
{
    const QVariant left[] = {a.label, a.description, a.date, a.builtBy, a.breakInches4, a.breakInches5, a.breakInches6};
    const QVariant right[] = {b.label,        b.description,  b.date,        b.builtBy,
                              b.breakInches4, b.breakInches5, b.breakInches6};
    for (int i = 0; i < 7; ++i) {
        if (!store::sameStoredValue(left[i], right[i]))
            return false;
    }
    return true;
}

} // namespace

store::Result<> checkUnchangedElsewhere(const QSqlDatabase &db, const store::BookHeader &loaded,
                                        const PhotoTableModel &photos)
{
    bool missing = false;
    const auto now = store::loadBookHeader(db, loaded.id, &missing);
    if (!now)
        return missing ? store::fail(store::changedElsewhereMessage()) : store::fail(now.error());
    if (!sameHeader(loaded, *now))
        return store::fail(store::changedElsewhereMessage());
    const auto stored = store::loadPhotos(db, loaded.id);
    if (!stored)
        return store::fail(stored.error());
    if (!photos.matchesStored(*stored))
        return store::fail(store::changedElsewhereMessage());
    return store::done();
}

store::Result<> saveBook(const QSqlDatabase &db, const store::BookHeader &loaded, const store::HeaderFields &header,
                         PhotoTableModel &photos)
{
    store::Transaction transaction(db);
    if (!transaction.begun())
        return transaction.begun();
    // Inside the transaction and after the book's row is taken, so that no other program can
    // write between the check and the save.
    if (auto locked = store::lockBookForSave(db, loaded.id); !locked)
        return locked;
    if (auto unchanged = checkUnchangedElsewhere(db, loaded, photos); !unchanged)
        return unchanged;
    if (auto written = store::writeBookHeader(db, loaded.id, header); !written)
        return written;
    store::PhotoWriter writer(db);
    PhotoTableModel::AssignedKeys keys;
    if (auto written = photos.writePending(writer, keys); !written)
        return written;
    if (auto relabelled = store::relabelPhotos(db, loaded.id, header.label); !relabelled)
        return relabelled;
    if (auto blanked = store::blankEmptyCodes(db, loaded.id); !blanked)
        return blanked;
    if (auto committed = transaction.commit(); !committed)
        return committed;
    photos.acceptWritten(keys);
    return store::done();
}

} // namespace editor
