#pragma once

#include "BenchData.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace bench {

// The databases the benchmark uses on a PostgreSQL server, named from the address given with
// --pg (postgresql://user@host:port/db, the password from PGPASSWORD or ~/.pgpass).
struct ServerDatabases
{
    explicit ServerDatabases(const QString &adminUrl);
    QString admin;   // as given: the database the others are created from
    QString library; // photoseries_bench: the library of the scale, kept between runs
    QString scratch; // photoseries_bench_scratch: fresh stores for the imports, and psql's table
};

// Opens a connection to the database an address names; dies when it does not open. The caller
// removes it (QSqlDatabase::removeDatabase).
QSqlDatabase openServerDatabase(const QString &url, const QString &connectionName);

// Runs statements one after the other on the database an address names; dies on a failure.
void runOnServer(const QString &url, const QStringList &statements);

// Makes the library database, a copy of the file library's rows, unless the server already
// holds one for this scale (the database's comment records the scale), and the scratch
// database. Empty on success, else what failed.
QString prepareServer(const ServerDatabases &server, const DataFiles &files, const Scale &scale);

// Leaves an empty program store (the program's schema, no rows) in the scratch database.
void freshServerStore(const ServerDatabases &server);

} // namespace bench
