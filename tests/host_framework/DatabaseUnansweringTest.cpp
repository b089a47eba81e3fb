// A PostgreSQL server that stops answering, reached through a TCP relay of the test's own that
// can be told to stop forwarding without closing anything (a black hole) or to close every
// connection (a server that restarted). Needs the tests' cluster; skips without it.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <iostream>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/database/ClockDatabase.h"
#include "host/database/DatabaseError.h"
#include "host/database/Postgres.h"
#include "tests/support/Postgres.h"
#include "tests/support/Raised.h"
#include "tests/support/StoredRows.h"
#include "tests/support/TempFolder.h"

namespace {

// Forwards connections on a loopback port to the cluster's Unix socket, on a thread of its own
// that stops with the relay.
class Relay {
  public:
    enum class Mode { Forward, BlackHole };

    explicit Relay(std::string socket_path) : m_socket_path(std::move(socket_path)) {
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
        if (pipe(m_wake) != 0)
            throw std::runtime_error("relay: no pipe");
        m_thread = std::thread([this] { Run(); });
    }
    ~Relay() {
        m_stop = true;
        Wake();
        m_thread.join();
        CloseAll();
        close(m_listener);
        close(m_wake[0]);
        close(m_wake[1]);
    }
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    uint16_t port() const { return m_port; }
    void Set(Mode mode) {
        m_mode = mode;
        Wake();
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

    void Wake() { [[maybe_unused]] auto written = write(m_wake[1], "x", 1); }

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

    void Run() {
        while (!m_stop) {
            // In a black hole nothing is accepted, read or written: the kernel still completes
            // a connect, and what the clock sends waits in the buffers unanswered.
            const bool forward = m_mode == Mode::Forward;
            std::vector<pollfd> fds{{m_wake[0], POLLIN, 0}};
            std::unique_lock lock(m_mutex);
            if (forward) {
                fds.push_back({m_listener, POLLIN, 0});
                for (const auto& pair : m_pairs) {
                    fds.push_back({pair.client, POLLIN, 0});
                    fds.push_back({pair.server, POLLIN, 0});
                }
            }
            lock.unlock();
            if (poll(fds.data(), fds.size(), -1) < 0)
                continue;
            lock.lock();
            if (fds[0].revents) {
                char drained[64];
                [[maybe_unused]] auto got = read(m_wake[0], drained, sizeof drained);
            }
            if (!forward)
                continue;
            if (fds[1].revents)
                Accept();
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
    int m_listener = -1;
    int m_wake[2] = {-1, -1};
    uint16_t m_port = 0;
    std::atomic<Mode> m_mode{Mode::Forward};
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<Pair> m_pairs;
    std::thread m_thread;
};

// The value of `key` in a URI's query ("host=/tmp/x&user=postgres").
std::string QueryValue(const std::string& uri, const std::string& key) {
    const size_t at = uri.find(key + "=");
    if (at == std::string::npos)
        return "";
    const size_t start = at + key.size() + 1;
    return uri.substr(start, uri.find('&', start) - start);
}

class UnansweringServer : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!m_server.available())
            GTEST_SKIP() << "no PostgreSQL cluster for the tests (STAMPKIND_TEST_POSTGRES)";
        const std::string& uri = m_server.uri();
        const std::string folder = QueryValue(uri, "host");
        const std::string port = QueryValue(uri, "port");
        m_relay = std::make_unique<Relay>(folder + "/.s.PGSQL." + (port.empty() ? "5432" : port));
        const size_t path = uri.find('/', uri.find("://") + 3);
        const std::string name = uri.substr(path + 1, uri.find('?') - path - 1);
        m_relayed = "postgresql://" + QueryValue(uri, "user") +
                    "@127.0.0.1:" + std::to_string(m_relay->port()) + "/" + name;
        m_clock = OpenClock();
        m_clock->AddEmployee({1204, "Avery Stone", false});
        ASSERT_TRUE(m_clock->RefreshLocalCopy());
        ASSERT_EQ(Punch(*m_clock, "I", true, 8.0 / 24), orvane::StoreResult::Stored);
    }

    std::unique_ptr<orvane::ClockDatabase> OpenClock() const {
        auto clock = std::make_unique<orvane::ClockDatabase>(m_relayed);
        clock->KeepLostPunchesIn(m_folder / "punch-queue.db");
        return clock;
    }

    static orvane::StoreResult Punch(orvane::ClockDatabase& clock, const char* type, bool in,
                                     double time) {
        return clock.StorePunch(OnePunch(1204, type, in, 46360, time));
    }

    ScratchPostgres m_server;
    TempFolder m_folder;
    std::unique_ptr<Relay> m_relay;
    std::string m_relayed;
    std::unique_ptr<orvane::ClockDatabase> m_clock;
};

// A card read and a punch as a kiosk makes them, on a live connection whose server went silent
// and on a clock that connects anew to a server that accepts and never answers: the card is
// answered from the clock's copy and the punch is kept within the deadline, and once the server
// answers again every kept punch is stored exactly once.
TEST_F(UnansweringServer, PunchesAreKeptWithinTheDeadlineAndStoredOnceWhenItAnswers) {
    for (const bool live_connection : {true, false}) {
        SCOPED_TRACE(live_connection ? "silent live connection" : "new connection, no answer");
        m_relay->Set(Relay::Mode::BlackHole);
        const auto start = std::chrono::steady_clock::now();
        if (!live_connection)
            m_clock = OpenClock();
        EXPECT_EQ(m_clock->FindEmployee(1204), (orvane::Employee{1204, "Avery Stone", false}));
        EXPECT_TRUE(m_clock->Away());
        m_clock->RowsBetween(1204, platform::Date{46359}, platform::Date{46361});
        const double time = live_connection ? 12.0 / 24 : 13.0 / 24;
        EXPECT_EQ(Punch(*m_clock, live_connection ? "O" : "I", !live_connection, time),
                  orvane::StoreResult::Queued);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::cout << "clock start, card read and punch with an unanswering server: " << took.count()
                  << " s\n";

        m_relay->Set(Relay::Mode::Forward);
        // The clock as it starts again (or the queue command) sends what was kept.
        m_clock = OpenClock();
        EXPECT_EQ(m_clock->SendQueued().sent, 1u);
        EXPECT_TRUE(m_clock->Queued().empty());
    }
    EXPECT_EQ(StoredRows(*m_clock, 1204), (std::vector<std::string>{"O 08:00 12:00", "I 13:00 -"}));
}

// A connection to a silent server gives up at its deadline, whatever it was doing, and says the
// connection failed; it is not left half-open for the next statement.
TEST_F(UnansweringServer, ConnectionGivesUpAtItsDeadline) {
    orvane::pg::Connection connection(m_relayed);
    m_relay->Set(Relay::Mode::BlackHole);
    connection.SetDeadline(std::chrono::steady_clock::now());
    EXPECT_EQ(ErrorNumberOf([&] { connection.Run("SELECT 1", {}, "test"); }),
              orvane::dberr::kConnectionFailed);
    EXPECT_TRUE(connection.TimedOut());
    EXPECT_TRUE(connection.Lost());
    EXPECT_FALSE(connection.TryExec("ROLLBACK"));
    EXPECT_EQ(
        ErrorNumberOf([&] { orvane::pg::Connection(m_relayed, std::chrono::steady_clock::now()); }),
        orvane::dberr::kConnectionFailed);
}

// A server that restarted closed the clock's connection: the next read makes a new one at once
// instead of answering from the copy or refusing the card.
TEST_F(UnansweringServer, FirstReadAfterADroppedConnectionReconnects) {
    m_relay->Drop();
    EXPECT_EQ(m_clock->FindEmployee(1204), (orvane::Employee{1204, "Avery Stone", false}));
    EXPECT_FALSE(m_clock->Away());
    m_relay->Drop();
    EXPECT_EQ(m_clock->Rows(1204).size(), 1u);
    EXPECT_FALSE(m_clock->Away());
}

}  // namespace
