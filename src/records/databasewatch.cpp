#include "records/databasewatch.h"

#include "records/database.h"
#include "records/pgengine.h"

#include <QAtomicInteger>
#include <QSqlDriver>
#include <libpq-fe.h>

namespace lumo {
namespace {

QString newWatchName()
{
    static QAtomicInteger<int> counter;
    return QStringLiteral("lumo-watch-%1").arg(counter.fetchAndAddRelaxed(1));
}

// Tries to listen again after 1, 2, 4 ... polls, at most about ten seconds apart.
constexpr int kLongestRetry = 40;

} // namespace

DatabaseWatch::DatabaseWatch(Database& db) : m_db(db)
{
    m_gather.setSingleShot(true);
    m_gather.setInterval(GatherMs);
    connect(&m_gather, &QTimer::timeout, this, &DatabaseWatch::tell);
    connect(&m_poll, &QTimer::timeout, this, &DatabaseWatch::poll);
    m_poll.start(PollMs);
    if (!db.onServer()) {
        m_version = db.engine().dataVersion();
        return;
    }
    m_listenerName = newWatchName();
    m_listener = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_listenerName);
    // The driver object lives as long as the connection's name, across closing and opening.
    connect(m_listener.driver(), &QSqlDriver::notification, this,
            [this](const QString& name, QSqlDriver::NotificationSource, const QVariant& payload) {
                notified(name, payload);
            });
    listen();
}

DatabaseWatch::~DatabaseWatch()
{
    if (m_listenerName.isEmpty()) return;
    m_listener.close();
    m_listener = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_listenerName);
}

bool DatabaseWatch::listen()
{
    m_listener.close();
    m_listener.setConnectOptions(m_db.login().conninfo);
    m_listener.setPassword(m_db.login().password);
    m_listening = m_listener.open() && m_listener.driver()->subscribeToNotification(PgEngine::channel());
    if (!m_listening) {
        m_listener.close();
        return false;
    }
    const QVariant h = m_listener.driver()->handle();
    if (qstrcmp(h.typeName(), "pg_conn*") == 0) ignoreNotices(*static_cast<PGconn* const*>(h.data()));
    return m_listening;
}

void DatabaseWatch::poll()
{
    if (!m_db.onServer()) {
        // Another connection's commit changes the version this connection sees.
        const qint64 version = m_db.engine().dataVersion();
        if (version != m_version && version >= 0) {
            if (m_version >= 0) gather(QString());
            m_version = version;
        }
        return;
    }
    if (m_listening) {
        const QVariant h = m_listener.driver()->handle();
        PGconn* conn = h.isValid() && qstrcmp(h.typeName(), "pg_conn*") == 0
                           ? *static_cast<PGconn* const*>(h.data())
                           : nullptr;
        // A server that shut down closed the socket.
        if (!connectionGone(conn, false)) return;
        m_listening = false;
        m_listener.close();
        m_retries = 0;
        m_retryIn = 0;
    }
    if (m_retryIn-- > 0) return;
    if (listen()) {
        m_retries = 0;
        // What changed while nobody listened is not known: every list reads again.
        gather(QString());
        return;
    }
    m_retryIn = std::min(1 << std::min(m_retries++, 6), kLongestRetry);
}

void DatabaseWatch::notified(const QString& name, const QVariant& payload)
{
    if (name != PgEngine::channel()) return;
    // "TABLE PID": this workstation's own changes are its screens' own business.
    const QStringList parts = payload.toString().split(QLatin1Char(' '));
    const int pid = parts.value(1).toInt();
    if (pid != 0 && pid == static_cast<PgEngine&>(m_db.engine()).backendPid()) return;
    gather(parts.value(0));
}

void DatabaseWatch::announceReconnected()
{
    gather(QString());
}

void DatabaseWatch::gather(const QString& table)
{
    m_pending.insert(table.toUpper());
    if (!m_gather.isActive()) m_gather.start();
}

void DatabaseWatch::tell()
{
    const QSet<QString> tables = std::exchange(m_pending, {});
    if (tables.contains(QString())) {
        emit changed(QString());
        return;
    }
    for (const QString& t : tables)
        emit changed(t);
}

} // namespace lumo
