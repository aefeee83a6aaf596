#pragma once
// A connection to the tests' server that breaks at a COMMIT: a relay on a
// Unix socket of its own passes the protocol's messages through, and once
// armed closes both ends at the next COMMIT, before the server has it or
// after the server answered it (the answer never arrives): what a network
// or a server going away at that moment does to a workstation.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace lumo::test {

class CommitCutter
{
public:
    enum class Cut
    {
        None,
        BeforeServer, // the COMMIT never reaches the server
        AfterServer   // the server commits; its answer is lost
    };

    // `conninfo` reaches the cluster through its socket folder (host=DIR).
    explicit CommitCutter(const QString& conninfo) : m_conninfo(conninfo)
    {
        const QString host = conninfo.section(QStringLiteral("host="), 1).section(QLatin1Char(' '), 0, 0);
        m_server = (host + QStringLiteral("/.s.PGSQL.5432")).toLocal8Bit();
        m_listen = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un a = address(m_dir.filePath(QStringLiteral(".s.PGSQL.5432")).toLocal8Bit());
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(m_listen, 8) != 0)
            return;
        m_acceptor = std::thread([this] { acceptLoop(); });
    }
    ~CommitCutter()
    {
        m_stop = true;
        ::shutdown(m_listen, SHUT_RDWR);
        ::close(m_listen);
        if (m_acceptor.joinable()) m_acceptor.join();
        const std::lock_guard<std::mutex> lock(m_mutex);
        for (std::thread& t : m_relays)
            t.join();
    }
    // The same database, reached through the relay.
    QString conninfo() const
    {
        QString c = m_conninfo;
        const QString host = c.section(QStringLiteral("host="), 1).section(QLatin1Char(' '), 0, 0);
        return c.replace(QStringLiteral("host=") + host, QStringLiteral("host=") + m_dir.path());
    }
    void arm(Cut cut) { m_cut = cut; }
    bool cutDone() const { return m_done; }

private:
    static sockaddr_un address(const QByteArray& path)
    {
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::strncpy(a.sun_path, path.constData(), sizeof a.sun_path - 1);
        return a;
    }
    void acceptLoop()
    {
        for (;;) {
            const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0 || m_stop) {
                if (client >= 0) ::close(client);
                return;
            }
            const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un a = address(m_server);
            if (::connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
                ::close(client);
                ::close(server);
                continue;
            }
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_relays.emplace_back([this, client, server] { relay(client, server); });
        }
    }
    // Whole messages of `buffer` (the client's first one has no type byte);
    // each is passed on unless it is the COMMIT to cut. False: cut here.
    bool pass(QByteArray& buffer, int to, bool fromClient, bool& started)
    {
        for (;;) {
            const int head = fromClient && !started ? 0 : 1;
            if (buffer.size() < head + 4) return true;
            quint32 length = 0;
            std::memcpy(&length, buffer.constData() + head, 4);
            length = ntohl(length);
            const qsizetype whole = head + qsizetype(length);
            if (buffer.size() < whole) return true;
            const QByteArray message = buffer.left(whole);
            buffer.remove(0, whole);
            started = started || fromClient;
            const Cut cut = m_cut;
            const bool commit = fromClient
                                    ? ((message[0] == 'P' || message[0] == 'Q') && message.contains("COMMIT"))
                                    : (message[0] == 'C' && message.mid(5).startsWith("COMMIT"));
            if (commit && cut == (fromClient ? Cut::BeforeServer : Cut::AfterServer)) {
                m_cut = Cut::None;
                m_done = true;
                return false;
            }
            if (::send(to, message.constData(), size_t(message.size()), MSG_NOSIGNAL) != message.size())
                return false;
        }
    }
    void relay(int client, int server)
    {
        QByteArray fromClient, fromServer;
        bool clientStarted = false, serverStarted = true;
        pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        char chunk[65536];
        while (!m_stop && ::poll(p, 2, 200) >= 0) {
            bool open = true;
            for (int i = 0; i < 2 && open; ++i) {
                if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                const ssize_t n = ::recv(p[i].fd, chunk, sizeof chunk, 0);
                if (n <= 0) {
                    open = false;
                    break;
                }
                QByteArray& buffer = i == 0 ? fromClient : fromServer;
                buffer.append(chunk, n);
                open = i == 0 ? pass(buffer, server, true, clientStarted)
                              : pass(buffer, client, false, serverStarted);
            }
            if (!open) break;
        }
        ::close(client);
        ::close(server);
    }

    QString m_conninfo;
    QTemporaryDir m_dir;
    QByteArray m_server;
    int m_listen = -1;
    std::atomic<Cut> m_cut{Cut::None};
    std::atomic<bool> m_done{false}, m_stop{false};
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::vector<std::thread> m_relays;
};

} // namespace lumo::test
