#pragma once

#include "store/Result.h"

#include <QSet>
#include <QSqlDatabase>
#include <QString>

namespace store {

// How the store tells that other programs changed books. A file counts every commit of another
// connection (SQLite's data_version); a server raises a notification naming each changed book,
// from triggers on Books and Photos, so that a change made with psql counts too.

// The channel of the server's notifications; each one's payload is the ID of a changed book.
QString bookChangeChannel();

// Installs the server's triggers that notify bookChangeChannel() of every book whose row or
// photos were added, changed or deleted. Does nothing on a file, or when the triggers are there.
// A role that may not create them leaves the library without notifications, not unusable.
Result<> installChangeNotifications(const QSqlDatabase &db);

// SQLite's count of commits by other connections to the file: a different value means another
// program wrote. Fails at once with FailureKind::InUse while another program holds the file.
Result<qint64> dataVersion(const QSqlDatabase &db);

// Whether the connection still reaches its store: one trivial statement.
bool reachable(const QSqlDatabase &db);

} // namespace store
