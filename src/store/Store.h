#pragma once

#include "store/Result.h"

#include <QSqlDatabase>
#include <QString>

namespace store {

// The one connection to the photo-series database file. Every window works through it.
class Store final
{
public:
    // busyTimeoutMs: how long a write waits for another program that holds the file.
    explicit Store(QString filePath, int busyTimeoutMs = 5000);
    ~Store();
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;

    // Opens the file. A missing or empty file gets a new store with the full schema; a file
    // that is not a database of this program is never changed, and the text says why.
    Result<> open();
    // Opens an existing store for reading only: nothing is created or written, so a read-only
    // file, one in a read-only folder, or one another program is using can still be read. The
    // file gets the same checks as open(); a missing or empty file is refused.
    Result<> openReadOnly();
    void close();

    QSqlDatabase db() const;
    const QString &path() const { return m_path; }

    // Rewrites NumOfPhotos of every book whose count differs from its photo rows.
    Result<> recount();

private:
    enum class Access { ReadWrite, ReadOnly };
    Result<> checkExistingFile(Access access) const;
    Result<> openConnection(Access access);
    QString m_path;
    QString m_connectionName;
    int m_busyTimeoutMs;
};

// Rolls back unless committed: every write of several rows goes through one of these.
class Transaction final
{
public:
    explicit Transaction(QSqlDatabase db);
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

// What a save says when a row it would change or delete is gone or was never there: another
// copy of the program deleted it after the editor read it.
QString changedElsewhereMessage();

// "what: reason" from a failed query, for messages.
QString describeError(const QString &what, const class QSqlError &error);
// The same from SQLite's own result code and message, for code that calls SQLite directly. A
// file that another program held past the busy timeout is described in the same words either way.
QString describeError(const QString &what, const QString &reason, int sqliteResultCode);

} // namespace store
