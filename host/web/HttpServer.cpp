#include "host/web/HttpServer.h"

#include <algorithm>
#include <array>
#include <optional>
#include <thread>
#include <vector>

#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/http/status.hpp>

#include "host/web/RequestReader.h"

namespace timeclock::web {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using boost::system::error_code;

namespace {

constexpr int kListenBacklog = 1024;
// A refused request's remaining bytes are read and dropped for a moment after its answer, so that
// the client reads the answer rather than a reset connection.
constexpr size_t kLongestDrain = 256 * 1024;
constexpr auto kLongestLinger = std::chrono::seconds(2);
// How long the server waits before it accepts again when the system refused a connection (out
// of file descriptors, say).
constexpr auto kAcceptPause = std::chrono::milliseconds(50);
// Secret checks of one client address that may run or wait at once; one more is refused (429).
constexpr size_t kChecksPerAddress = 2;

std::string StatusLine(int status) {
    const auto reason =
        boost::beast::http::obsolete_reason(static_cast<boost::beast::http::status>(status));
    return "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) + "\r\n";
}

// The headers every answer carries.
constexpr const char* kCommonHeaders =
    "X-Content-Type-Options: nosniff\r\nX-Frame-Options: DENY\r\nReferrer-Policy: no-referrer\r\n";

std::string Serialize(const Response& response, bool keep_alive) {
    std::string text = StatusLine(response.status) + kCommonHeaders;
    for (const auto& [name, value] : response.headers)
        text += name + ": " + value + "\r\n";
    if (!response.content_type.empty())
        text += "Content-Type: " + response.content_type + "\r\n";
    text += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    text += keep_alive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    return text + response.body;
}

// A refusal at the door: the status and a line saying why, the connection closed after it.
std::string Refusal(int status) {
    Response response;
    response.status = status;
    const auto reason =
        boost::beast::http::obsolete_reason(static_cast<boost::beast::http::status>(status));
    response.set_content("{\"refused\":\"" + std::string(reason) + "\"}", "application/json");
    return Serialize(response, false);
}

// The client a proxy names in X-Forwarded-For: the last address of the list, the one the proxy
// itself saw (those before it are the client's own say); empty when there is none.
std::string ForwardedClient(const Request& request) {
    const auto list = request.get_header_value("X-Forwarded-For");
    const auto comma = list.rfind(',');
    auto last = std::string_view(list).substr(comma == std::string::npos ? 0 : comma + 1);
    while (!last.empty() && last.front() == ' ')
        last.remove_prefix(1);
    while (!last.empty() && last.back() == ' ')
        last.remove_suffix(1);
    error_code invalid;
    asio::ip::make_address(last, invalid);
    return invalid ? std::string() : std::string(last);
}

}  // namespace

// One client's connection. Every step runs on the connection's strand: reading a request through
// the reader, handing it to a worker, writing the answer, and, for an event stream, writing each
// event its feed gives. One deadline at a time bounds what the client may hold: the wait for a
// request, the request's arrival, an answer's write.
class HttpServer::Connection : public std::enable_shared_from_this<Connection> {
  public:
    Connection(HttpServer& server, tcp::socket socket, std::string address, bool admitted)
        : m_server(server),
          m_socket(std::move(socket)),
          m_timer(m_socket.get_executor()),
          m_keepalive(m_socket.get_executor()),
          m_address(std::move(address)),
          m_admitted(admitted) {}
    ~Connection() {
        if (m_feed)
            m_feed->SetWaker(nullptr);
        if (m_admitted)
            m_server.Leave(m_address);
    }

    void Start() {
        error_code ignored;
        m_socket.set_option(tcp::no_delay(true), ignored);
        if (!m_admitted)
            return Refuse(503);
        NextRequest();
    }

  private:
    const ServerLimits& Limits() const { return m_server.m_limits; }

    // A deadline replaces the one before; an expiry already on its way for an older one counts
    // for nothing.
    void Arm(std::chrono::milliseconds limit) {
        m_timer.expires_after(limit);
        m_timer.async_wait([self = shared_from_this(), id = ++m_deadline](error_code error) {
            if (error || id != self->m_deadline)
                return;
            self->m_timed_out = true;
            error_code ignored;
            self->m_socket.cancel(ignored);
        });
    }

    void Disarm() {
        ++m_deadline;
        m_timer.cancel();
    }

    void NextRequest() {
        m_reader.emplace(Limits());
        m_timed_out = false;
        m_request_armed = !m_pending.empty();
        Arm(m_request_armed ? Limits().request_timeout : Limits().idle_timeout);
        Process();
    }

    void ReadMore() {
        m_socket.async_read_some(asio::buffer(m_chunk),
                                 [self = shared_from_this()](error_code error, size_t size) {
                                     self->OnRead(error, size);
                                 });
    }

    void OnRead(error_code error, size_t size) {
        if (m_closing)
            return;
        if (error) {
            // A client that stopped partway through its request is told so; one that only held
            // its socket open is let go.
            if (m_timed_out && (m_reader->Started() || size > 0))
                return Refuse(408);
            return Close();
        }
        m_pending.append(m_chunk.data(), size);
        if (!m_request_armed) {
            m_request_armed = true;
            Arm(Limits().request_timeout);
        }
        Process();
    }

    void Process() {
        switch (m_reader->Feed(m_pending)) {
            case RequestReader::Verdict::More:
                return ReadMore();
            case RequestReader::Verdict::Refused:
                return Refuse(m_reader->Refusal());
            case RequestReader::Verdict::Complete:
                break;
        }
        Disarm();
        const bool keep_alive = m_reader->KeepAlive();
        auto request = m_reader->Take();
        // Behind a trusted proxy the client is the one the proxy names, so that wrong tries
        // are counted for that client and not for everyone behind the proxy.
        const auto& proxies = Limits().trusted_proxies;
        const bool proxied = std::find(proxies.begin(), proxies.end(), m_address) != proxies.end();
        const auto forwarded = proxied ? ForwardedClient(request) : std::string();
        request.remote_addr = forwarded.empty() ? m_address : forwarded;
        request.secure = Limits().secure_cookies ||
                         (proxied && request.get_header_value("X-Forwarded-Proto") == "https");
        m_server.Dispatch(
            std::move(request), [self = shared_from_this(), keep_alive](Response response) {
                asio::post(self->m_socket.get_executor(),
                           [self, response = std::move(response), keep_alive]() mutable {
                               self->Answer(std::move(response), keep_alive);
                           });
            });
    }

    void Answer(Response response, bool keep_alive) {
        if (m_closing)
            return;
        if (response.feed)
            return StartStream(std::move(response));
        Write(std::make_shared<std::string>(Serialize(response, keep_alive)),
              [self = shared_from_this(), keep_alive] {
                  if (keep_alive)
                      self->NextRequest();
                  else
                      self->Close();
              });
    }

    template <typename Then>
    void Write(std::shared_ptr<std::string> text, Then then) {
        m_timed_out = false;
        Arm(Limits().request_timeout);
        asio::async_write(m_socket, asio::buffer(*text),
                          [self = shared_from_this(), text, then](error_code error, size_t) {
                              self->Disarm();
                              if (error || self->m_closing)
                                  return self->Close();
                              then();
                          });
    }

    // Answers `status` and closes: the rest of what an admitted client sends is read and dropped
    // for a moment, within bounds.
    void Refuse(int status) {
        Write(std::make_shared<std::string>(Refusal(status)), [self = shared_from_this()] {
            // A connection past the limits is not kept a moment longer, lest a flood of them
            // hold the descriptors.
            if (!self->m_admitted)
                return self->Close();
            error_code ignored;
            self->m_socket.shutdown(tcp::socket::shutdown_send, ignored);
            self->m_pending.clear();
            self->Arm(std::min<std::chrono::milliseconds>(self->Limits().request_timeout,
                                                          kLongestLinger));
            self->Drain(0);
        });
    }

    void Drain(size_t drained) {
        m_socket.async_read_some(asio::buffer(m_chunk), [self = shared_from_this(), drained](
                                                            error_code error, size_t size) {
            if (error || drained + size > kLongestDrain)
                return self->Close();
            self->Drain(drained + size);
        });
    }

    void StartStream(Response response) {
        m_feed = std::move(response.feed);
        std::string head = StatusLine(response.status) + kCommonHeaders;
        for (const auto& [name, value] : response.headers)
            head += name + ": " + value + "\r\n";
        head += "Content-Type: text/event-stream\r\nConnection: close\r\n\r\n";
        m_feed->SetWaker([weak = weak_from_this()] {
            if (const auto self = weak.lock())
                asio::post(self->m_socket.get_executor(), [self] { self->Pump(false); });
        });
        m_writing = true;
        Write(std::make_shared<std::string>(std::move(head)), [self = shared_from_this()] {
            self->m_writing = false;
            self->Pump(false);
            self->KeepAlive();
            self->WatchForClose();
        });
    }

    // Writes what the stream's feed has; with `quiet`, a comment line when it has nothing.
    void Pump(bool quiet) {
        if (m_closing)
            return;
        if (m_writing) {
            m_woken = true;
            return;
        }
        auto next = m_feed->Next();
        if (!next)
            return Close();
        if (next->empty()) {
            if (!quiet)
                return;
            *next = ": still here\n\n";
        }
        m_writing = true;
        Write(std::make_shared<std::string>(std::move(*next)), [self = shared_from_this()] {
            self->m_writing = false;
            if (std::exchange(self->m_woken, false))
                self->Pump(false);
        });
    }

    void KeepAlive() {
        m_keepalive.expires_after(Limits().stream_keepalive);
        m_keepalive.async_wait([self = shared_from_this()](error_code error) {
            if (error || self->m_closing)
                return;
            self->Pump(true);
            self->KeepAlive();
        });
    }

    // A stream's client sends nothing; anything it sends, or its going, ends the stream.
    void WatchForClose() {
        m_socket.async_read_some(asio::buffer(m_chunk), [self = shared_from_this()](
                                                            error_code, size_t) { self->Close(); });
    }

    void Close() {
        if (m_closing)
            return;
        m_closing = true;
        if (m_feed)
            m_feed->SetWaker(nullptr);
        error_code ignored;
        Disarm();
        m_keepalive.cancel();
        m_socket.shutdown(tcp::socket::shutdown_both, ignored);
        m_socket.close(ignored);
    }

    HttpServer& m_server;
    tcp::socket m_socket;
    asio::steady_timer m_timer;
    asio::steady_timer m_keepalive;
    std::string m_address;
    bool m_admitted;
    std::array<char, 4096> m_chunk{};
    std::string m_pending;
    std::optional<RequestReader> m_reader;
    uint64_t m_deadline = 0;
    bool m_timed_out = false;
    bool m_request_armed = false;
    bool m_closing = false;
    std::shared_ptr<EventFeed> m_feed;
    bool m_writing = false;
    bool m_woken = false;
};

HttpServer::HttpServer(const ServerLimits& limits, Log log)
    : m_limits(limits),
      m_log(std::move(log)),
      m_workers(static_cast<size_t>(std::max(1, limits.worker_threads))),
      m_checkers(static_cast<size_t>(std::max(1, limits.password_checks))) {}

HttpServer::~HttpServer() {
    Stop();
    m_checkers.stop();
    m_workers.join();
    m_checkers.join();
}

void HttpServer::Get(const std::string& path, Handler handler) {
    m_routes[{"GET", path}] = {std::move(handler), nullptr};
}

void HttpServer::Post(const std::string& path, Handler handler, bool checks_secret) {
    Post(path, std::move(handler),
         checks_secret ? SecretCheck([](const Request&) { return true; }) : SecretCheck());
}

void HttpServer::Post(const std::string& path, Handler handler, SecretCheck checks_secret) {
    m_routes[{"POST", path}] = {std::move(handler), std::move(checks_secret)};
}

void HttpServer::Dispatch(Request request, std::function<void(Response)> done) {
    const auto route = m_routes.find({request.method, request.path});
    const bool checks_secret = route != m_routes.end() && route->second.checks_secret &&
                               route->second.checks_secret(request);
    if (!checks_secret) {
        asio::post(m_workers, [this, request = std::move(request), done = std::move(done)] {
            Response response;
            Handle(request, response);
            done(std::move(response));
        });
        return;
    }
    const auto address = request.remote_addr;
    int refusal = 0;
    {
        std::lock_guard lock(m_mutex);
        auto& mine = m_checks_per_address[address];
        if (mine >= kChecksPerAddress)
            refusal = 429;
        else if (m_checks_pending >= static_cast<size_t>(std::max(1, m_limits.password_checks) +
                                                         m_limits.password_queue))
            refusal = 503;
        if (refusal) {
            if (mine == 0)
                m_checks_per_address.erase(address);
        } else {
            ++mine;
            ++m_checks_pending;
        }
    }
    if (refusal) {
        Response busy;
        busy.status = refusal;
        busy.set_header("Retry-After", "1");
        busy.set_content(refusal == 429
                             ? "{\"refused\":\"This screen has other checks of keys, PINs or "
                               "passwords under way. Try again in a moment.\"}"
                             : "{\"refused\":\"The clock is busy checking other keys, PINs and "
                               "passwords. Try again in a moment.\"}",
                         "application/json");
        done(std::move(busy));
        return;
    }
    asio::post(m_checkers, [this, address, request = std::move(request), done = std::move(done)] {
        Response response;
        Handle(request, response);
        {
            std::lock_guard lock(m_mutex);
            --m_checks_pending;
            if (--m_checks_per_address[address] == 0)
                m_checks_per_address.erase(address);
        }
        done(std::move(response));
    });
}

bool HttpServer::Bind(const std::string& address, int port) {
    error_code error;
    const auto ip = asio::ip::make_address(address, error);
    if (!error) {
        const tcp::endpoint endpoint(ip, static_cast<unsigned short>(port));
        // SO_REUSEADDR lets a restarted server listen again at once; without SO_REUSEPORT a
        // second server on a port in use is refused.
        if (!m_acceptor.open(endpoint.protocol(), error) &&
            !m_acceptor.set_option(tcp::acceptor::reuse_address(true), error) &&
            !m_acceptor.bind(endpoint, error) && !m_acceptor.listen(kListenBacklog, error)) {
            m_port = m_acceptor.local_endpoint(error).port();
            if (!error)
                return true;
        }
    }
    m_log("cannot listen on " + address + ":" + std::to_string(port) + ": " + error.message());
    error_code ignored;
    m_acceptor.close(ignored);
    return false;
}

void HttpServer::Serve() {
    Accept();
    std::vector<std::thread> threads;
    for (int i = 1; i < m_limits.io_threads; ++i)
        threads.emplace_back([this] { m_io.run(); });
    m_io.run();
    for (auto& thread : threads)
        thread.join();
    m_checkers.stop();
    m_workers.stop();
    m_checkers.join();
    m_workers.join();
}

void HttpServer::Stop() {
    m_io.stop();
}

void HttpServer::Accept() {
    m_acceptor.async_accept(asio::make_strand(m_io), [this](error_code error, tcp::socket socket) {
        if (error == asio::error::operation_aborted || !m_acceptor.is_open())
            return;
        if (error) {
            m_log("cannot accept a connection: " + error.message());
            auto pause = std::make_shared<asio::steady_timer>(m_io, kAcceptPause);
            pause->async_wait([this, pause](error_code) { Accept(); });
            return;
        }
        error_code unknown;
        const auto address = socket.remote_endpoint(unknown).address().to_string();
        const bool admitted = Admit(address);
        std::make_shared<Connection>(*this, std::move(socket), address, admitted)->Start();
        Accept();
    });
}

bool HttpServer::Admit(const std::string& address) {
    std::lock_guard lock(m_mutex);
    auto& from_address = m_per_address[address];
    if (m_open >= m_limits.max_connections ||
        from_address >= m_limits.max_connections_per_address) {
        if (from_address == 0)
            m_per_address.erase(address);
        return false;
    }
    ++from_address;
    ++m_open;
    return true;
}

void HttpServer::Leave(const std::string& address) {
    std::lock_guard lock(m_mutex);
    --m_open;
    if (const auto found = m_per_address.find(address);
        found != m_per_address.end() && --found->second == 0)
        m_per_address.erase(found);
}

void HttpServer::Handle(const Request& request, Response& response) const {
    const auto route = m_routes.find({request.method, request.path});
    if (route == m_routes.end()) {
        const bool known = std::any_of(m_routes.begin(), m_routes.end(), [&](const auto& entry) {
            return entry.first.second == request.path;
        });
        response.status = known ? 405 : 404;
        response.set_content(
            known ? "{\"refused\":\"Method Not Allowed\"}" : "{\"refused\":\"Not Found\"}",
            "application/json");
        return;
    }
    try {
        route->second.handler(request, response);
    } catch (...) {
        response = Response{};
        if (m_on_error)
            m_on_error(request, response, std::current_exception());
        else
            response.status = 500;
    }
}

}  // namespace timeclock::web
