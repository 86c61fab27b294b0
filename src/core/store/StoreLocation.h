#pragma once

#include <QString>

namespace store {

// The database file of a program directory: Photo3.mdb in it.
QString fileStoreLocation(const QString &programDir);

// The store the program uses: the setting `Store` of the program's own settings file
// (organization and application "photoseries"; the file the analysis program shares keeps only
// the image root). Empty means the program directory's database file; a URL
// postgresql://user@host:port/dbname?sslmode=... means a team library on that server.
QString configuredStoreLocation(const QString &programDir);

// The same from a given setting value (tests, and callers that read the setting elsewhere).
QString storeLocationFromSetting(const QString &programDir, const QString &setting);

} // namespace store
