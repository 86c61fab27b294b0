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

QString checkUnchangedElsewhere(const QSqlDatabase &db, const store::BookHeader &loaded, const PhotoTableModel &photos)
{
    store::BookHeader now;
    QString error;
    bool missing = false;
    if (!store::loadBookHeader(db, loaded.id, now, error, &missing))
        return missing ? store::changedElsewhereMessage() : error;
    if (!sameHeader(loaded, now))
        return store::changedElsewhereMessage();
    QVector<store::PhotoValues> stored;
    if (!store::loadPhotos(db, loaded.id, stored, error))
        return error;
    return photos.matchesStored(stored) ? QString() : store::changedElsewhereMessage();
}

QString saveBook(const QSqlDatabase &db, const store::BookHeader &loaded, const store::HeaderFields &header,
                 PhotoTableModel &photos)
{
    store::Transaction transaction(db);
    if (!transaction.error().isEmpty())
        return transaction.error();
    // Inside the transaction, so that no other program can write between the check and the save.
    if (const QString error = checkUnchangedElsewhere(db, loaded, photos); !error.isEmpty())
        return error;
    if (const QString error = store::writeBookHeader(db, loaded.id, header); !error.isEmpty())
        return error;
    store::PhotoWriter writer(db);
    PhotoTableModel::AssignedKeys keys;
    if (const QString error = photos.writePending(writer, keys); !error.isEmpty())
        return error;
    if (const QString error = store::relabelPhotos(db, loaded.id, header.label); !error.isEmpty())
        return error;
    if (const QString error = store::blankEmptyCodes(db, loaded.id); !error.isEmpty())
        return error;
    if (const QString error = transaction.commit(); !error.isEmpty())
        return error;
    photos.acceptWritten(keys);
    return {};
}

} // namespace editor
