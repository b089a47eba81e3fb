#pragma once

// Sockets to a server on this machine's loopback address, from a chosen loopback address (any of
// 127.0.0.0/8, so that one client can stand for many machines), for the tests and benches that
// play a server's clients. Every wait on them is bounded.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace loopback {

// A socket from `source` connected to 127.0.0.1:port, whose sends and receives each wait at most
// `limit_ms`; -1 when it could not connect.
inline int Connect(int port, const std::string& source = "127.0.0.1", int limit_ms = 10000) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, source.c_str(), &from.sin_addr);
    bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from);
    timeval limit{limit_ms / 1000, (limit_ms % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Sends every byte; false once the other end no longer takes them.
inline bool SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

}  // namespace loopback
