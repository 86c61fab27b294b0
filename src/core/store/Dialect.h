#pragma once

#include "store/Result.h"

#include <QStringList>

class QSqlDatabase;

namespace store {

// The two kinds of store: the database file beside the program, or a team library on a
// PostgreSQL server. Every statement that both understand is written once; what must differ
// lives in Dialect.cpp and nowhere else.
enum class Backend { Sqlite, Postgres };

Backend backendOf(const QSqlDatabase &db);

namespace dialect {

enum class Column { Key, Integer, Number, Text };

// The column type as a CREATE TABLE states it. Text compares without regard to case in both:
// SQLite's NOCASE, and on the server a collation of the same name that the schema creates.
QString columnType(Backend backend, Column column);

// Statements run before the tables are created (the server's case-blind collation).
QStringList schemaPreamble(Backend backend);

// Statements that record the schema version of a new store.
QStringList recordVersion(Backend backend, int version);

// The collation that compares texts byte for byte, for a query that must see a change of case.
QString exactCollation(Backend backend);

// Labels compare and sort alike on both kinds of store: ASCII letters without regard to case,
// every other character by its code (SQLite's NOCASE, which files written so far hold). The
// server's column collation folds all of Unicode's letter case and sorts by language, so it is
// not used for labels.
// labelKey: the expression to compare with =, on a column or a bound value ("?").
QString labelKey(Backend backend, const QString &expression);
// labelOrder: the expression to ORDER BY.
QString labelOrder(Backend backend, const QString &expression);
// The statement that makes equal labels impossible where the store holds none yet, and the one
// that tells whether the store already has it.
QString createUniqueLabelIndex(Backend backend);
QString hasUniqueLabelIndex(Backend backend);
// The statement that a write which adds or renames a book runs first in its transaction, with
// the label bound, so that two programs adding the same label one after the other see each
// other's row: on the server a transaction lock on the label, in the file the write lock.
QString lockLabel(Backend backend);

// The per-book change counter: BookVersions(BookID, Version, PhotoCount), kept by triggers on
// Books and Photos, so that a program can tell whether a book changed since it read it without
// reading every row again, and knows how many photos each book has without counting them. Any
// program's write counts (a shell's included), as the triggers live in the store. Adding,
// deleting or changing a photo raises its book's Version, and so do adding or deleting a book
// and changing its key or a header field the editor shows; Active, Locked and NumOfPhotos, which
// the catalogue, other programs and the recount write, do not. A deleted book's row stays,
// raised, so that a reader sees the change. Books and Photos keep their columns.
// changeCounter: the statements that add it to a store (counting the photos of the books
// already there); each is harmless when that part is already there.
QStringList changeCounter(Backend backend);
// The name of the file store's trigger that raises a book's counter for each photo added.
inline constexpr char kPhotoAddedTrigger[] = "BookVersionsPhotoAdded";
// A query that gives one row when the store has the whole change counter.
QString hasChangeCounter(Backend backend);

// The names of the tables in the store (lower case), so that a store that is not ours is left
// alone.
Result<QStringList> tableNames(const QSqlDatabase &db);

// The schema version the store records; 0 for a store that records none.
Result<int> schemaVersion(const QSqlDatabase &db, const QStringList &tables);

// After rows were written with their own keys: new rows get keys above the highest one.
Result<> continueKeysAfterCopy(const QSqlDatabase &db);

// The statement that checks the store's own structure, one line of findings per row ("ok" alone
// when sound); empty when the backend keeps its structure sound by itself, as a server does.
QString integrityCheck(Backend backend);

// Statements run first in a transaction that reads several tables, so that every table is seen
// as it was at one moment while others go on writing. (A read transaction on the file already
// does that: no change can be committed while it lasts.)
QStringList snapshotReads(Backend backend);

} // namespace dialect

} // namespace store
