#include "library/BookSave.h"

#include "library/BookList.h"
#include "store/Dialect.h"
#include "store/Store.h"

#include <QSqlQuery>

namespace library {

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

bool sameRows(const QVector<store::PhotoValues> &expected, const QVector<store::PhotoValues> &stored)
{
    if (expected.size() != stored.size())
        return false;
    QHash<qint64, const store::PhotoValues *> byKey;
    byKey.reserve(expected.size());
    for (const store::PhotoValues &values : expected)
        byKey.insert(values.at(0).toLongLong(), &values);
    for (const store::PhotoValues &values : stored) {
        const store::PhotoValues *mine = byKey.value(values.at(0).toLongLong());
        if (!mine || mine->size() != values.size())
            return false;
        for (int f = 0; f < values.size(); ++f) {
            if (!store::sameStoredValue(mine->at(f), values.at(f)))
                return false;
        }
    }
    return true;
}

// Whether the book's change counter can be read: a stored book's was read with it; for a new one
// the store is asked (a failed read would end a server's transaction).
bool keepsCounter(const QSqlDatabase &db, const store::BookHeader &loaded)
{
    if (loaded.id != 0)
        return !loaded.version.isNull();
    QSqlQuery q(db);
    return q.exec(store::dialect::hasChangeCounter(store::backendOf(db))) && q.next();
}

// The book's row: added for a new book, else taken for this transaction (another save of the
// same book waits here) and checked against what the editor read. Gives the book's key.
store::Result<qint64> claimBook(const QSqlDatabase &db, const BookChanges &changes)
{
    if (changes.loaded.id == 0)
        return store::addBook(db, changes.header.label);
    if (auto locked = store::lockBookForSave(db, changes.loaded.id); !locked)
        return locked.failure();
    // The book's counter, read with the book and again now that no one else can write it, tells
    // whether any program changed it in between. A store without the counter (a server role
    // that may not create triggers) gets every row compared instead.
    if (changes.loaded.version.isNull()) {
        if (auto unchanged = checkUnchangedElsewhere(db, changes.loaded, changes.photos.expected); !unchanged)
            return unchanged.failure();
        return changes.loaded.id;
    }
    const auto version = store::readBookVersion(db, changes.loaded.id);
    if (!version)
        return version.failure();
    if (!store::sameStoredValue(*version, changes.loaded.version))
        return store::changedElsewhere();
    return changes.loaded.id;
}

store::Result<> writePhotos(const QSqlDatabase &db, qint64 bookId, const PhotoChanges &photos, SavedBook &saved)
{
    store::PhotoWriter writer(db);
    for (qint64 key : photos.removed) {
        if (auto removed = writer.remove(key); !removed)
            return removed;
    }
    for (const store::PhotoValues &values : photos.changed) {
        if (auto updated = writer.update(values); !updated)
            return updated;
    }
    static const int bookIdField = store::photoFieldIndex(QStringLiteral("BookID"));
    for (store::PhotoValues values : photos.added) {
        values[bookIdField] = bookId;
        const auto key = writer.insert(values);
        if (!key)
            return key.failure();
        saved.addedKeys << *key;
    }
    return store::done();
}

} // namespace

namespace {

// Reads a book at one moment: its header, then its photos by readPhotos (which gives a
// Result<>), then its change counter.
template <typename ReadPhotos>
store::Result<store::BookHeader> readAtOneMoment(const QSqlDatabase &db, qint64 id, const ReadPhotos &readPhotos)
{
    store::Transaction transaction(db);
    if (!transaction.begun())
        return transaction.begun().failure();
    if (auto snapshot = store::beginSnapshot(db); !snapshot)
        return snapshot.failure();
    auto header = store::loadBookHeader(db, id);
    if (!header)
        return header.failure();
    if (auto photos = readPhotos(); !photos)
        return photos.failure();
    // Last: on a store without the counter the statement fails, and the book is read without it.
    if (const auto version = store::readBookVersion(db, id))
        header->version = *version;
    return std::move(*header);
}

} // namespace

store::Result<LoadedBook> loadBook(const QSqlDatabase &db, qint64 id)
{
    LoadedBook book;
    auto header = readAtOneMoment(db, id, [&]() -> store::Result<> {
        auto photos = store::loadPhotos(db, id);
        if (!photos)
            return photos.failure();
        book.photos = std::move(*photos);
        return store::done();
    });
    if (!header)
        return header.failure();
    book.header = std::move(*header);
    return book;
}

store::Result<store::BookHeader> readBook(const QSqlDatabase &db, qint64 id,
                                          const std::function<void(const store::PhotoValues &values)> &take)
{
    return readAtOneMoment(db, id, [&]() -> store::Result<> { return store::readPhotos(db, id, take); });
}

store::Result<> checkUnchangedElsewhere(const QSqlDatabase &db, const store::BookHeader &loaded,
                                        const QVector<store::PhotoValues> &expected)
{
    bool missing = false;
    const auto now = store::loadBookHeader(db, loaded.id, &missing);
    if (!now)
        return missing ? store::changedElsewhere() : now.failure();
    if (!sameHeader(loaded, *now))
        return store::changedElsewhere();
    const auto stored = store::loadPhotos(db, loaded.id);
    if (!stored)
        return stored.failure();
    if (!sameRows(expected, *stored))
        return store::changedElsewhere();
    return store::done();
}

store::Result<SavedBook> saveBook(const QSqlDatabase &db, const BookChanges &changes)
{
    store::Transaction transaction(db);
    if (!transaction.begun())
        return transaction.begun().failure();
    const QString &label = changes.header.label;
    // The label is locked before anything is read, so that the check below sees every other
    // program's book of that label that committed before this one may go on.
    if (auto locked = library::lockLabel(db, label); !locked)
        return locked.failure();
    const auto id = claimBook(db, changes);
    if (!id)
        return id.failure();
    if (auto free = library::refuseTakenLabel(db, label, *id); !free)
        return free.failure();
    if (auto written = store::writeBookHeader(db, *id, changes.header); !written)
        return written.failure();
    SavedBook saved;
    if (auto written = writePhotos(db, *id, changes.photos, saved); !written)
        return written.failure();
    if (auto relabelled = store::relabelPhotos(db, *id, label); !relabelled)
        return relabelled.failure();
    if (auto blanked = store::blankEmptyCodes(db, *id); !blanked)
        return blanked.failure();
    // The header as stored, which the next save compares with the store's.
    auto header = store::loadBookHeader(db, *id);
    if (!header)
        return header.failure();
    saved.header = std::move(*header);
    if (keepsCounter(db, changes.loaded)) {
        // The counter now counts this save's own writes; the next save compares with it.
        const auto version = store::readBookVersion(db, *id);
        if (!version)
            return version.failure();
        saved.header.version = *version;
    }
    if (auto committed = transaction.commit(); !committed)
        return committed.failure();
    return saved;
}

} // namespace library
