#pragma once

#include <QSqlDatabase>
#include <QString>

namespace store {

// The one connection to the photo-series database file. Every window works through it.
// Errors come back as texts naming what failed; an empty text means success.
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
    QString open();
    void close();

    QSqlDatabase db() const;
    const QString &path() const { return m_path; }

    // Rewrites NumOfPhotos of every book whose count differs from its photo rows.
    QString recount();

private:
    QString checkExistingFile() const;
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

    // Empty when the transaction began; else the store's reason.
    const QString &error() const { return m_error; }
    QString commit();

private:
    QSqlDatabase m_db;
    QString m_error;
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
