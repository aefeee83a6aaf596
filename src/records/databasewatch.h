#pragma once
// Tells the open lists of this workstation that another one changed the
// tables, so that they read again within a second and keep their current row.
// On a server the workstations' changes arrive as notifications (LISTEN/NOTIFY,
// sent by triggers, delivered by Qt's driver only after the sender committed)
// on a connection of their own; on an SQLite file the file's data version,
// looked at several times a second, tells that another connection committed.
// After the server went away and came back, every list reads again: the
// notices sent meanwhile are lost.

#include <QObject>
#include <QSet>
#include <QSqlDatabase>
#include <QTimer>

namespace lumo {

class Database;

class DatabaseWatch : public QObject
{
    Q_OBJECT
public:
    explicit DatabaseWatch(Database& db);
    ~DatabaseWatch() override;

    // How often the SQLite file's version, or the server connection, is looked at.
    static constexpr int PollMs = 250;
    // Notices that arrive within this time are told as one.
    static constexpr int GatherMs = 60;

    // The connection to the server was opened again: every list reads again.
    void announceReconnected();
    // Whether the notices of the server arrive (false while it is away).
    bool listening() const { return m_listening; }

signals:
    // Another workstation changed the table; an empty name: any table may have changed.
    void changed(const QString& table);

private:
    void poll();
    bool listen();
    void notified(const QString& name, const QVariant& payload);
    void gather(const QString& table);
    void tell();

    Database& m_db;
    QTimer m_poll;
    QTimer m_gather;
    QSet<QString> m_pending;
    qint64 m_version = -1;
    QString m_listenerName;
    QSqlDatabase m_listener;
    bool m_listening = false;
    int m_retryIn = 0; // polls until the next try to listen again
    int m_retries = 0;
};

} // namespace lumo
