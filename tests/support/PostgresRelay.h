#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

// Forwards connections on a loopback port to the tests' PostgreSQL cluster, on a thread of its
// own that stops with the relay. It can be told to stop forwarding without closing anything (a
// black hole: a server that accepts and never answers), or to close every connection (a server
// that restarted). A black hole given a span ends by itself: every connection is closed and new
// ones are closed as they come, so that code that would wait for it forever fails instead.
class PostgresRelay {
  public:
    // Closed: every connection is closed, and each new one as it comes.
    enum class Mode { Forward, BlackHole, Closed };

    // `uri` is the cluster's, as ScratchPostgres gives it ("postgresql:///NAME?host=DIR&...").
    explicit PostgresRelay(const std::string& uri) {
        const std::string folder = QueryValue(uri, "host");
        const std::string port = QueryValue(uri, "port");
        m_socket_path = folder + "/.s.PGSQL." + (port.empty() ? "5432" : port);
        m_listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            listen(m_listener, 16) != 0 ||
            getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            throw std::runtime_error(std::string("relay: ") + std::strerror(errno));
        }
        m_port = ntohs(address.sin_port);
        const size_t path = uri.find('/', uri.find("://") + 3);
        const std::string name = uri.substr(path + 1, uri.find('?') - path - 1);
        m_uri = "postgresql://" + QueryValue(uri, "user") + "@127.0.0.1:" + std::to_string(m_port) +
                "/" + name;
        if (pipe(m_wake) != 0)
            throw std::runtime_error("relay: no pipe");
        m_thread = std::thread([this] { Run(); });
    }
    ~PostgresRelay() {
        m_stop = true;
        Wake();
        m_thread.join();
        CloseAll();
        close(m_listener);
        close(m_wake[0]);
        close(m_wake[1]);
    }
    PostgresRelay(const PostgresRelay&) = delete;
    PostgresRelay& operator=(const PostgresRelay&) = delete;

    // The same database through the relay, over TCP on loopback.
    const std::string& uri() const { return m_uri; }

    void Set(Mode mode) { Become(mode, std::nullopt); }
    // A black hole that closes everything once `span` has passed.
    void BlackHoleFor(std::chrono::milliseconds span) {
        Become(Mode::BlackHole, std::chrono::steady_clock::now() + span);
    }
    // Ends every connection at once, as a server that restarted: the clock meets its end of the
    // connection closed; the relay closes its own when it sees them ended.
    void Drop() {
        const std::lock_guard lock(m_mutex);
        for (const auto& pair : m_pairs) {
            shutdown(pair.client, SHUT_RDWR);
            shutdown(pair.server, SHUT_RDWR);
        }
    }

  private:
    struct Pair {
        int client;
        int server;
    };

    // The value of `key` in a URI's query ("host=/tmp/x&user=postgres").
    static std::string QueryValue(const std::string& uri, const std::string& key) {
        const size_t at = uri.find(key + "=");
        if (at == std::string::npos)
            return "";
        const size_t start = at + key.size() + 1;
        return uri.substr(start, uri.find('&', start) - start);
    }

    void Wake() { [[maybe_unused]] auto written = write(m_wake[1], "x", 1); }

    void Become(Mode mode, std::optional<std::chrono::steady_clock::time_point> silence_ends) {
        {
            const std::lock_guard lock(m_mutex);
            m_silence_ends = silence_ends;
        }
        m_mode = mode;
        Wake();
    }

    void CloseAll() {
        for (const auto& pair : m_pairs) {
            close(pair.client);
            close(pair.server);
        }
        m_pairs.clear();
    }

    void Accept() {
        const int client = accept(m_listener, nullptr, nullptr);
        const int server = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, m_socket_path.c_str(), sizeof address.sun_path - 1);
        if (client < 0 ||
            connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(client);
            close(server);
            return;
        }
        m_pairs.push_back({client, server});
    }

    // Copies what one side sent to the other; false when either side closed.
    static bool Copy(int from, int to) {
        char buffer[16384];
        const ssize_t got = read(from, buffer, sizeof buffer);
        for (ssize_t sent = 0; got > 0 && sent < got;) {
            const ssize_t wrote = write(to, buffer + sent, static_cast<size_t>(got - sent));
            if (wrote <= 0)
                return false;
            sent += wrote;
        }
        return got > 0;
    }

    // Milliseconds until a black hole with a span ends (-1: never); at its end, the relay turns
    // to closing everything.
    int SilenceLeft() {
        if (m_mode != Mode::BlackHole || !m_silence_ends)
            return -1;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            *m_silence_ends - std::chrono::steady_clock::now());
        if (left.count() > 0)
            return static_cast<int>(left.count());
        m_silence_ends.reset();
        m_mode = Mode::Closed;
        return -1;
    }

    void Run() {
        while (!m_stop) {
            // In a black hole nothing is accepted, read or written: the kernel still completes
            // a connect, and what the clock sends waits in the buffers unanswered.
            std::vector<pollfd> fds{{m_wake[0], POLLIN, 0}};
            std::unique_lock lock(m_mutex);
            const int timeout = SilenceLeft();
            const Mode mode = m_mode;
            if (mode == Mode::Closed)
                CloseAll();
            if (mode != Mode::BlackHole) {
                fds.push_back({m_listener, POLLIN, 0});
                for (const auto& pair : m_pairs) {
                    fds.push_back({pair.client, POLLIN, 0});
                    fds.push_back({pair.server, POLLIN, 0});
                }
            }
            lock.unlock();
            if (poll(fds.data(), fds.size(), timeout) < 0)
                continue;
            lock.lock();
            if (fds[0].revents) {
                char drained[64];
                [[maybe_unused]] auto got = read(m_wake[0], drained, sizeof drained);
            }
            if (mode == Mode::BlackHole)
                continue;
            if (fds[1].revents) {
                if (mode == Mode::Closed)
                    close(accept(m_listener, nullptr, nullptr));
                else
                    Accept();
            }
            for (size_t i = 2; i + 1 < fds.size(); i += 2) {
                const auto& client = fds[i];
                const auto& server = fds[i + 1];
                const bool open = (!client.revents || Copy(client.fd, server.fd)) &&
                                  (!server.revents || Copy(server.fd, client.fd));
                if (!open) {
                    close(client.fd);
                    close(server.fd);
                    std::erase_if(m_pairs,
                                  [&](const Pair& pair) { return pair.client == client.fd; });
                }
            }
        }
    }

    std::string m_socket_path;
    std::string m_uri;
    int m_listener = -1;
    int m_wake[2] = {-1, -1};
    uint16_t m_port = 0;
    std::atomic<Mode> m_mode{Mode::Forward};
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::optional<std::chrono::steady_clock::time_point> m_silence_ends;
    std::vector<Pair> m_pairs;
    std::thread m_thread;
};
