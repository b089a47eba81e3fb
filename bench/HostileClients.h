#pragma once

// Hostile clients for the load bench, all on loopback and bounded in count and time: sockets that
// connect and say nothing, slowloris connections that send a header a byte at a time, event
// streams held open, huge bodies and headers, a crowd of administrator's sign-ins, and a flood of
// key checks. Addresses are spread over 127.0.0.0/8 where a client stands for many machines.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Loopback.h"

namespace hostile {

using loopback::Connect;
using loopback::SendAll;

// One request on its own connection; the answer's first bytes.
inline std::string Ask(int port, const std::string& request,
                       const std::string& source = "127.0.0.1") {
    const int fd = Connect(port, source);
    if (fd < 0)
        return {};
    SendAll(fd, request);
    char buffer[512];
    const auto got = recv(fd, buffer, sizeof buffer, 0);
    close(fd);
    return got > 0 ? std::string(buffer, static_cast<size_t>(got)) : std::string();
}

// The process's resident memory now and at its peak, in MB.
inline std::pair<double, double> Memory(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    double now = 0, peak = 0;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:"))
            now = std::stod(line.substr(6)) / 1024;
        if (line.starts_with("VmHWM:"))
            peak = std::stod(line.substr(6)) / 1024;
    }
    return {now, peak};
}

// Sockets held open, saying nothing after what each sent first.
class Holder {
  public:
    ~Holder() {
        for (int fd : m_fds)
            close(fd);
    }
    void Open(int port, int count, const std::string& first = "") {
        for (int i = 0; i < count; ++i) {
            const int fd = Connect(port);
            if (fd >= 0 && (first.empty() || SendAll(fd, first)))
                m_fds.push_back(fd);
        }
    }
    size_t Count() const { return m_fds.size(); }

  private:
    std::vector<int> m_fds;
};

// Slowloris: `count` connections, each sending its header one byte every `every`; a connection
// the server ends is opened again, so that `count` stay open for as long as this lives.
class Slowloris {
  public:
    Slowloris(int port, int count, std::chrono::milliseconds every)
        : m_thread([this, port, count, every] { Run(port, count, every); }) {}
    ~Slowloris() {
        m_stop = true;
        m_thread.join();
    }
    long Reopened() const { return m_reopened; }

  private:
    void Run(int port, int count, std::chrono::milliseconds every) {
        const std::string header = "GET /kiosk HTTP/1.1\r\nHost: slow\r\nX-Slow: ";
        std::vector<std::pair<int, size_t>> open;
        while (!m_stop) {
            while (static_cast<int>(open.size()) < count) {
                const int fd = Connect(port);
                if (fd < 0)
                    break;
                open.emplace_back(fd, 0);
            }
            for (auto& [fd, sent] : open) {
                const char byte = sent < header.size() ? header[sent] : 'a';
                if (send(fd, &byte, 1, MSG_NOSIGNAL) != 1) {
                    close(fd);
                    fd = -1;
                    ++m_reopened;
                }
                ++sent;
            }
            std::erase_if(open, [](const auto& entry) { return entry.first < 0; });
            std::this_thread::sleep_for(every);
        }
        for (const auto& [fd, sent] : open)
            close(fd);
    }

    std::atomic<bool> m_stop{false};
    std::atomic<long> m_reopened{0};
    std::thread m_thread;
};

// Event streams read as they come, on one thread, until this ends.
class StreamReader {
  public:
    explicit StreamReader(std::vector<int> fds)
        : m_fds(std::move(fds)), m_thread([this] { Run(); }) {}
    ~StreamReader() {
        m_stop = true;
        m_thread.join();
        for (int fd : m_fds)
            close(fd);
    }
    long Events() const { return m_events; }
    long Ended() const { return m_ended; }

  private:
    void Run() {
        std::vector<pollfd> watched;
        for (int fd : m_fds)
            watched.push_back({fd, POLLIN, 0});
        char buffer[16384];
        while (!m_stop) {
            if (poll(watched.data(), watched.size(), 100) <= 0)
                continue;
            for (auto& entry : watched) {
                if (entry.fd < 0 || !(entry.revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                const auto got = recv(entry.fd, buffer, sizeof buffer, MSG_DONTWAIT);
                if (got <= 0) {
                    ++m_ended;
                    entry.fd = -1;
                    continue;
                }
                for (ssize_t i = 0; i + 5 < got; ++i)
                    if (buffer[i] == 'd' && std::string_view(buffer + i, 5) == "data:")
                        ++m_events;
            }
        }
    }

    std::vector<int> m_fds;
    std::atomic<bool> m_stop{false};
    std::atomic<long> m_events{0}, m_ended{0};
    std::thread m_thread;
};

// Sends `bytes` of `filler` after `head` on one connection until the server stops taking them;
// the bytes it took.
inline long long Flood(int port, const std::string& head, const std::string& filler,
                       long long bytes) {
    const int fd = Connect(port);
    if (fd < 0)
        return 0;
    long long sent = 0;
    if (SendAll(fd, head)) {
        while (sent < bytes && SendAll(fd, filler))
            sent += static_cast<long long>(filler.size());
    }
    close(fd);
    return sent;
}

}  // namespace hostile
