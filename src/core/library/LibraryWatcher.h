#pragma once

#include <QObject>
#include <QSet>
#include <QSqlDriver>
#include <QTimer>

class QFileSystemWatcher;

namespace store {
class Store;
}

namespace library {

// Which books other programs added, changed or deleted since the last report.
struct LibraryChange
{
    // The store could not tell which books: any of them may have changed.
    bool everything = false;
    QSet<qint64> books;

    bool isEmpty() const { return !everything && books.isEmpty(); }
    bool concerns(qint64 bookId) const { return everything || books.contains(bookId); }
    void merge(const LibraryChange &other);
};

// Follows the changes other programs make to a library, with the engine's own means and no
// reading of whole tables while nothing happens. On a file: SQLite's count of other connections'
// commits, asked on a short timer and at once when the file is written. On a server: the
// notifications its triggers raise for every changed book, and a one-statement sign of life;
// a connection that is gone is opened again until the server answers, and then every book counts
// as changed. This program's own writes are not reported: they go through the same connection.
class LibraryWatcher final : public QObject
{
    Q_OBJECT

public:
    explicit LibraryWatcher(store::Store &store, QObject *parent = nullptr);
    ~LibraryWatcher() override;
    LibraryWatcher(const LibraryWatcher &) = delete;
    LibraryWatcher &operator=(const LibraryWatcher &) = delete;

    // Starts following the store (already open).
    void start();
    bool isConnectionLost() const { return m_lost; }
    // Asks the store at once, as the timer would; a change found is reported before this returns.
    void checkNow();

    // How often a file is asked, and a server checked for a sign of life or reopened.
    static constexpr int kFileCheckMs = 400;
    static constexpr int kServerCheckMs = 2000;

signals:
    void changed(const library::LibraryChange &change);
    // The server no longer answers; the watcher tries again until it does.
    void connectionLost();
    // The server answers again; changed() (every book) follows.
    void connectionRestored();

private:
    void checkFile();
    void checkServer();
    void subscribe();
    void onNotification(const QString &name, QSqlDriver::NotificationSource source, const QVariant &payload);
    void report();

    store::Store &m_store;
    QTimer m_timer;
    // Collects a burst of notifications (a transaction that changed many books) into one report.
    QTimer m_burst;
    QFileSystemWatcher *m_fileWatcher = nullptr;
    // A file written many times in a row (another program's import) is asked once.
    QTimer m_fileWritten;
    qint64 m_dataVersion = -1;
    LibraryChange m_pending;
    bool m_lost = false;
};

} // namespace library

Q_DECLARE_METATYPE(library::LibraryChange)
