#pragma once

#include "store/Result.h"

#include <QStringList>
#include <QVariantMap>

class QSqlDatabase;
class QString;

namespace store {

// Version recorded in PRAGMA user_version, so that a later program can upgrade a user's file.
constexpr int kSchemaVersion = 1;

// Field names of the Photos table in table order; the key ID comes first.
const QStringList &photoFields();
// Field names of the Books table in table order; the key ID comes first.
const QStringList &bookFields();

// The values of a photo the editor adds, by field: every loading and depth 0, trees per acre 1,
// canopy closure 0.5. Fields not named start as nulls.
QVariantMap newPhotoValues();

// Whether the Photos field at this position of photoFields() holds text (else a number or key).
bool isTextPhotoField(int index);

// Creates both tables and the indexes in one transaction.
Result<> createSchema(QSqlDatabase &db);

// Adds the index that keeps labels unique (letter case ignored) when the store lacks it and holds
// no equal labels. A store that holds some keeps working without it (check names them), and so
// does a server role that may not create indexes: every write that adds or renames a book
// checks inside its transaction anyway.
void addUniqueLabelIndex(const QSqlDatabase &db);

// Adds the per-book change counter (dialect::changeCounter()) when the store lacks any part of
// it, in one transaction. A server role that may not create tables or triggers keeps working
// without it: a save then compares every row instead (library::saveBook).
void addChangeCounter(const QSqlDatabase &db);

} // namespace store
