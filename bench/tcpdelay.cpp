// A practice network for the records benchmark: a TCP proxy on 127.0.0.1 that
// passes every byte on to a server (a Unix socket, as the tests' cluster has
// only one) after a fixed delay in each direction, without slowing the bytes
// behind it: each chunk leaves when its own time has come.
//   tcpdelay UNIX-SOCKET-PATH [DELAY-MS]
// Prints the port it listens on, then serves until it is ended.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Chunk
{
    Clock::time_point due;
    std::string bytes;
};

// One direction: what is read from `from` is written to `to` delay later.
class Pipe
{
public:
    Pipe(int from, int to, std::chrono::microseconds delay) : m_from(from), m_to(to), m_delay(delay) {}

    void run()
    {
        std::thread writer([this] { write(); });
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(m_from, buffer, sizeof buffer);
            std::lock_guard<std::mutex> lock(m_mutex);
            if (n <= 0) {
                m_closed = true;
                m_ready.notify_one();
                break;
            }
            m_queue.push_back({Clock::now() + m_delay, std::string(buffer, size_t(n))});
            m_ready.notify_one();
        }
        writer.join();
        ::shutdown(m_to, SHUT_WR);
    }

private:
    void write()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_ready.wait(lock, [this] { return m_closed || !m_queue.empty(); });
            if (m_queue.empty()) return;
            Chunk c = std::move(m_queue.front());
            m_queue.pop_front();
            lock.unlock();
            std::this_thread::sleep_until(c.due);
            for (size_t sent = 0; sent < c.bytes.size();) {
                const ssize_t n = ::write(m_to, c.bytes.data() + sent, c.bytes.size() - sent);
                if (n <= 0) return;
                sent += size_t(n);
            }
            lock.lock();
        }
    }

    int m_from, m_to;
    std::chrono::microseconds m_delay;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<Chunk> m_queue;
    bool m_closed = false;
};

int connectUnix(const char* path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, path, sizeof a.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void serve(int client, const char* target, std::chrono::microseconds delay)
{
    const int server = connectUnix(target);
    if (server < 0) {
        ::close(client);
        return;
    }
    const int on = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    Pipe up(client, server, delay), down(server, client, delay);
    std::thread back([&down] { down.run(); });
    up.run();
    back.join();
    ::close(server);
    ::close(client);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tcpdelay UNIX-SOCKET-PATH [DELAY-MS]\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    const auto delay = std::chrono::microseconds(long(std::atof(argc > 2 ? argv[2] : "1") * 1000));
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listener, 16) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        std::perror("tcpdelay");
        return 2;
    }
    std::printf("%d\n", ntohs(a.sin_port));
    std::fflush(stdout);
    for (;;) {
        const int client = ::accept(listener, nullptr, nullptr);
        if (client < 0) continue;
        std::thread(serve, client, argv[1], delay).detach();
    }
}
