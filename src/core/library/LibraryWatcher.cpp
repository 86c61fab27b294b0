#include "library/LibraryWatcher.h"

#include "store/ChangeSignals.h"
#include "store/Store.h"

#include <QFileInfo>
#include <QFileSystemWatcher>

namespace library {

void LibraryChange::merge(const LibraryChange &other)
{
    everything = everything || other.everything;
    if (everything)
        books.clear();
    else
        books.unite(other.books);
}

LibraryWatcher::LibraryWatcher(store::Store &store, QObject *parent)
    : QObject(parent)
    , m_store(store)
{
    m_burst.setSingleShot(true);
    m_burst.setInterval(30);
    connect(&m_burst, &QTimer::timeout, this, &LibraryWatcher::report);
}

LibraryWatcher::~LibraryWatcher() = default;

void LibraryWatcher::start()
{
    if (m_store.backend() == store::Backend::Sqlite) {
        if (const auto version = store::dataVersion(m_store.db()))
            m_dataVersion = *version;
        m_timer.setInterval(kFileCheckMs);
        connect(&m_timer, &QTimer::timeout, this, &LibraryWatcher::checkFile);
        // A write to the file is seen at once; the timer catches what the file system does not
        // tell (a network folder). A commit ends with the journal's deletion, after the file's
        // last write: the check waits a moment for it.
        m_fileWatcher = new QFileSystemWatcher(this);
        if (QFileInfo::exists(m_store.path()))
            m_fileWatcher->addPath(m_store.path());
        connect(m_fileWatcher, &QFileSystemWatcher::fileChanged, this,
                [this] { QTimer::singleShot(m_burst.interval(), this, &LibraryWatcher::checkFile); });
    } else {
        m_timer.setInterval(kServerCheckMs);
        connect(&m_timer, &QTimer::timeout, this, &LibraryWatcher::checkServer);
        subscribe();
    }
    // Coarse: a few milliseconds late is nothing here, and the system can bundle wake-ups.
    m_timer.setTimerType(Qt::CoarseTimer);
    m_timer.start();
}

void LibraryWatcher::checkNow()
{
    if (m_store.backend() == store::Backend::Sqlite) {
        checkFile();
        return;
    }
    checkServer();
    if (m_burst.isActive()) {
        m_burst.stop();
        report();
    }
}

void LibraryWatcher::checkFile()
{
    const auto version = store::dataVersion(m_store.db());
    // A file held by a writer past the busy timeout is asked again at the next tick.
    if (!version || *version == m_dataVersion)
        return;
    m_dataVersion = *version;
    m_pending.merge({true, {}});
    report();
}

void LibraryWatcher::checkServer()
{
    if (!m_lost) {
        if (store::reachable(m_store.db()))
            return;
        m_lost = true;
        emit connectionLost();
    }
    if (!m_store.reconnect())
        return;
    m_lost = false;
    subscribe();
    emit connectionRestored();
    // What others did while the connection was gone was not notified.
    m_pending.merge({true, {}});
    report();
}

void LibraryWatcher::subscribe()
{
    QSqlDriver *driver = m_store.db().driver();
    if (!driver)
        return;
    // A reopened connection has a new driver; the old one went with the old connection.
    connect(driver, &QSqlDriver::notification, this, &LibraryWatcher::onNotification, Qt::UniqueConnection);
    driver->subscribeToNotification(store::bookChangeChannel());
}

void LibraryWatcher::onNotification(const QString &name, QSqlDriver::NotificationSource source, const QVariant &payload)
{
    if (name != store::bookChangeChannel() || source == QSqlDriver::SelfSource)
        return;
    bool ok = false;
    const qint64 id = payload.toLongLong(&ok);
    m_pending.merge(ok ? LibraryChange{false, {id}} : LibraryChange{true, {}});
    if (!m_burst.isActive())
        m_burst.start();
}

void LibraryWatcher::report()
{
    if (m_pending.isEmpty())
        return;
    emit changed(std::exchange(m_pending, {}));
}

} // namespace library
