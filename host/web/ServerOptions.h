#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace timeclock::web {

// What the server lets a client have, checked at the door before a request reaches a page or a
// kiosk. Each limit has the status a client sees when it passes it. The defaults suit a site of a
// few hundred kiosks; the configuration's "server_limits" object overrides any of them by name.
struct ServerLimits {
    // A request's body as it travels, chunk framing included (413).
    size_t max_body_bytes = 4096;
    // The request line and headers together (431), and the number of headers (431).
    size_t max_header_bytes = 8192;
    size_t max_header_count = 64;
    // The request's target, path and query (414).
    size_t max_url_bytes = 2048;
    // From a request's first byte to its last (408); and how long a connection may wait for its
    // next request before it is closed.
    std::chrono::milliseconds request_timeout = std::chrono::seconds(10);
    std::chrono::milliseconds idle_timeout = std::chrono::seconds(60);
    // Open connections in all and from one address; one more is answered 503 and closed.
    size_t max_connections = 4096;
    size_t max_connections_per_address = 256;
    // Threads that move bytes, and threads that answer requests (a kiosk's input waits on its
    // engine there). Neither grows with the number of connections or streams.
    int io_threads = 2;
    int worker_threads = 8;
    // Password and key checks (each takes 64 MiB for a moment): how many run at once and how
    // many may wait for their turn; one more is answered 503 (a kiosk page asks again shortly).
    int password_checks = 1;
    int password_queue = 32;
    // A kiosk page's session ends when it has not been used for this long.
    std::chrono::milliseconds kiosk_session = std::chrono::hours(12);
    // The administrator's session ends when no page has been asked for for this long. A page's
    // own reloads (the Who is in page's, every second) are not asked for by a person and do not
    // count, so a page left open on an unattended screen signs itself out.
    std::chrono::milliseconds admin_session = std::chrono::minutes(15);
    // An event stream with nothing new sends a comment line this often, by which a page that
    // went away is noticed.
    std::chrono::milliseconds stream_keepalive = std::chrono::seconds(10);
    // The administrator's cookie is marked Secure always (the server sits behind TLS), or when a
    // request comes from one of these proxies with "X-Forwarded-Proto: https". A request from
    // one of them is counted for the client its "X-Forwarded-For" names.
    bool secure_cookies = false;
    std::vector<std::string> trusted_proxies;
};

struct ServerOptions {
    std::string address = "127.0.0.1";
    int port = 8080;
    std::filesystem::path config_file;
    // Empty: the database the configuration names, else the clock's default one.
    std::filesystem::path database;
    ServerLimits limits;
};

// Where the server's log lines go: one line each, the cause of a failure included.
using Log = std::function<void(std::string_view)>;

// 256 random bits as hexadecimal text: a session's token.
std::string RandomToken();

// Compares a token sent by a page with one the server keeps, in a time that depends only on
// their lengths, so that the time of a refusal tells nothing of how much of a guess was right.
bool SameToken(std::string_view sent, std::string_view kept);

}  // namespace timeclock::web
