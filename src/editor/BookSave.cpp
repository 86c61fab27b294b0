#include "editor/BookSave.h"

#include "editor/PhotoTableModel.h"
#include "store/Photos.h"
#include "store/Store.h"

namespace editor {

QString saveBook(const QSqlDatabase &db, qint64 bookId, const store::HeaderFields &header, PhotoTableModel &photos)
{
    store::Transaction transaction(db);
    if (!transaction.error().isEmpty())
        return transaction.error();
    if (const QString error = store::writeBookHeader(db, bookId, header); !error.isEmpty())
        return error;
    store::PhotoWriter writer(db);
    PhotoTableModel::AssignedKeys keys;
    if (const QString error = photos.writePending(writer, keys); !error.isEmpty())
        return error;
    if (const QString error = store::relabelPhotos(db, bookId, header.label); !error.isEmpty())
        return error;
    if (const QString error = store::blankEmptyCodes(db, bookId); !error.isEmpty())
        return error;
    if (const QString error = transaction.commit(); !error.isEmpty())
        return error;
    photos.acceptWritten(keys);
    return {};
}

} // namespace editor
