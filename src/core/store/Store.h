#pragma once

#include "store/Dialect.h"
#include "store/Result.h"

#include <QSqlDatabase>
#include <QString>

namespace store {

// Whether a store location names a database on a PostgreSQL server
// (postgresql://user@host:port/dbname?sslmode=...) rather than a database file.
bool isServerLocation(const QString &location);

// The one connection to the photo-series store: the database file beside the program, or a
// team library on a PostgreSQL server. Every window works through it.
class Store final
{
public:
    // location: the path of the database file, or the address of a server database.
    // busyTimeoutMs: how long a write waits for another program that holds the file or the rows.
    explicit Store(QString location, int busyTimeoutMs = 5000);
    ~Store();
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;

    // The password for a server that asks for one and finds none in ~/.pgpass or PGPASSWORD.
    // It is kept only in memory, for this connection.
    void setPassword(const QString &password) { m_password = password; }

    // Opens the store. A missing or empty file, or a server database without tables, gets a new
    // store with the full schema; a file or database that is not one of this program is never
    // changed, and the failure says why.
    Result<> open();
    // Opens an existing store for reading only: nothing is created or written, so a read-only
    // file, one in a read-only folder, or one another program is using can still be read. The
    // file gets the same checks as open(); a missing or empty file is refused.
    Result<> openReadOnly();
    // A server that asks for a password not given, or refuses it, fails with
    // FailureKind::NeedsPassword.
    void close();
    // Opens the connection again as it was last opened, after a server went away: the
    // connection's name stays, so every caller's db() reaches the new one.
    Result<> reconnect();

    QSqlDatabase db() const;
    Backend backend() const { return m_backend; }
    // The location as given.
    const QString &path() const { return m_path; }
    // The location as shown to the user: the file's native path, or the server address without
    // any password.
    QString displayName() const;

    // Rewrites NumOfPhotos of every book whose count differs from its photo rows.
    Result<> recount();

    // A failure that names the store: "The database file PATH what" or "The library ADDRESS what".
    Failure fault(const QString &what, FailureKind kind = FailureKind::Failed) const;

private:
    enum class Access { ReadWrite, ReadOnly };
    Result<> checkExistingFile(Access access) const;
    Result<> openConnection(Access access);
    Result<> openFile(Access access);
    Result<> openServer(Access access);
    Result<> checkTables(Access access);
    Failure serverLoginFault(const class QSqlError &error) const;
    QString m_path;
    QString m_connectionName;
    QString m_password;
    Backend m_backend;
    int m_busyTimeoutMs;
    Access m_access = Access::ReadWrite;
};

// Rolls back unless committed: every write of several rows goes through one of these.
class Transaction final
{
public:
    explicit Transaction(const QSqlDatabase &db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    // Whether the transaction began; else the store's reason.
    const Result<> &begun() const { return m_begun; }
    Result<> commit();

private:
    QSqlDatabase m_db;
    Result<> m_begun;
    bool m_open = false;
};

// Run first in a Transaction that reads several statements: every table is then seen as it was
// at one moment while other programs go on writing.
Result<> beginSnapshot(const QSqlDatabase &db);

// What a save says when a row it would change or delete is gone or was never there, or was
// changed: another copy of the program changed it after the editor read it.
QString changedElsewhereMessage();
Failure changedElsewhere();

// "what: reason" from a failed query, for messages.
QString describeError(const QString &what, const class QSqlError &error);
// The same from SQLite's own result code and message, for code that calls SQLite directly. A
// file that another program held past the busy timeout is described in the same words either way.
QString describeError(const QString &what, const QString &reason, int sqliteResultCode);
// The same as a failure: FailureKind::InUse when another program held the store or the rows,
// FailureKind::Duplicate when a unique index refused a label, else Failed.
Failure queryFailure(const QString &what, const class QSqlError &error);
Failure queryFailure(const QString &what, const QString &reason, int sqliteResultCode);

} // namespace store
