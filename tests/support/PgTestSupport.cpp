#include "PgTestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <atomic>

namespace testing {

namespace {

const char urlFileVariable[] = "PHOTOSERIES_TEST_PG_URLFILE";

// Runs statements on the server's `postgres` database through a connection of its own, which
// is gone again on return: a database cannot be created from, or dropped while, a connection
// to it is open.
QString runAsAdmin(const QString &adminUrl, const QString &sql)
{
    static std::atomic<int> connections{0};
    const QString connectionName = QStringLiteral("pgtest-admin-%1").arg(++connections);
    QString error;
    {
        QSqlDatabase db = openPgUrl(adminUrl, connectionName);
        if (!db.isOpen()) {
            error = db.lastError().text();
        } else {
            QSqlQuery query(db);
            if (!query.exec(sql))
                error = query.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(connectionName);
    return error;
}

} // namespace

bool testingOnPostgres()
{
    return !qEnvironmentVariableIsEmpty(urlFileVariable);
}

QString pgServerUrl(QString *error)
{
    const QString path = qEnvironmentVariable(urlFileVariable);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read the test server's URL from %1 (%2): was it started?")
                         .arg(path, file.errorString());
        return {};
    }
    QString url = QString::fromUtf8(file.readAll()).trimmed();
    if (url.isEmpty() && error)
        *error = QStringLiteral("%1 is empty").arg(path);
    return url;
}

QSqlDatabase openPgUrl(const QString &url, const QString &connectionName)
{
    const QUrl parsed(url);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    db.setHostName(parsed.host());
    db.setPort(parsed.port(5432));
    db.setUserName(parsed.userName());
    db.setPassword(parsed.password());
    db.setDatabaseName(parsed.path().mid(1));
    // A server that does not answer fails the test instead of hanging it.
    db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    db.open();
    return db;
}

PgDatabase::PgDatabase()
{
    m_adminUrl = pgServerUrl(&m_error);
    if (m_adminUrl.isEmpty())
        return;
    // Unique within the server: the process id keeps parallel test programs apart, the counter
    // the databases of one program; a name left over from an earlier process with the same id
    // is stepped over.
    static std::atomic<int> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = QStringLiteral("t_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
        const QString error = runAsAdmin(m_adminUrl, QStringLiteral("CREATE DATABASE %1").arg(name));
        if (error.isEmpty()) {
            QUrl url(m_adminUrl);
            url.setPath(QLatin1Char('/') + name);
            m_name = name;
            m_url = url.toString();
            m_error.clear();
            return;
        }
        m_error = QStringLiteral("cannot create the test database %1: %2").arg(name, error);
        if (!error.contains(QLatin1String("already exists")))
            return;
    }
}

PgDatabase::~PgDatabase()
{
    if (m_name.isEmpty())
        return;
    const QString error = runAsAdmin(m_adminUrl, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name));
    if (!error.isEmpty())
        qWarning("cannot drop the test database %s: %s", qPrintable(m_name), qPrintable(error));
}

} // namespace testing
