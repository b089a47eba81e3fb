#pragma once

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/thread_pool.hpp>

#include "host/web/HttpMessage.h"
#include "host/web/ServerOptions.h"

namespace timeclock::web {

// The door of the clock server: an event-driven HTTP/1.1 server on Boost.Asio. A few threads move
// the bytes of every connection; an idle socket, a slow client or an open event stream costs a
// little memory and no thread. A request whose head and body have passed the limits is answered
// by its route on one of a fixed number of worker threads, since a page may wait there (for a
// kiosk's engine, for a password check). It knows nothing of kiosks or pages.
class HttpServer {
  public:
    using Handler = std::function<void(const Request&, Response&)>;
    // Answers a request whose route raised: the route's exception is given.
    using ErrorHandler = std::function<void(const Request&, Response&, std::exception_ptr)>;

    // `limits` must outlive the server.
    HttpServer(const ServerLimits& limits, Log log);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Tells, on an I/O thread and at once, whether a request checks a secret.
    using SecretCheck = std::function<bool(const Request&)>;

    // Routes, by method and exact path; set before Serve. A request that checks a secret (a slow
    // hash of 64 MiB) is answered on a lane of its own: `password_checks` threads, and at most
    // `password_queue` requests waiting for them; one more is answered 503 at once, and so is
    // one more than two of one client address (429). Its waiting requests hold no worker, so
    // that the kiosks' inputs never wait behind them.
    void Get(const std::string& path, Handler handler);
    void Post(const std::string& path, Handler handler, bool checks_secret = false);
    // A route of which only some requests check a secret (a kiosk's input at a manager's PIN
    // prompt): `checks_secret` tells which.
    void Post(const std::string& path, Handler handler, SecretCheck checks_secret);
    void OnError(ErrorHandler handler) { m_on_error = std::move(handler); }

    // Listens on the address; false, with the cause in the log, when it cannot (a port in use
    // by another server included). Port 0 lets the system choose.
    bool Bind(const std::string& address, int port);
    int Port() const { return m_port; }
    // Serves until Stop, on this thread and the server's others; returns when every thread of
    // the server has ended, the worker threads' current answers finished.
    void Serve();
    // Ends Serve from any thread, at once: connections are dropped, queued requests unanswered.
    void Stop();

  private:
    class Connection;
    void Accept();
    // Counts a new connection from `address`; false when a limit is reached.
    bool Admit(const std::string& address);
    void Leave(const std::string& address);
    // Answers the request on the worker or checker thread it runs on, then hands the answer to
    // `done`.
    void Dispatch(Request request, std::function<void(Response)> done);
    void Handle(const Request& request, Response& response) const;

    const ServerLimits& m_limits;
    Log m_log;
    struct Route {
        Handler handler;
        SecretCheck checks_secret;
    };
    std::map<std::pair<std::string, std::string>, Route> m_routes;
    ErrorHandler m_on_error;
    // Declared before the I/O context: connections leave their counts as it ends them.
    std::mutex m_mutex;
    std::map<std::string, size_t> m_per_address;
    size_t m_open = 0;
    // Secret checks running or waiting, in all and by client address.
    size_t m_checks_pending = 0;
    std::map<std::string, size_t> m_checks_per_address;
    boost::asio::io_context m_io;
    boost::asio::ip::tcp::acceptor m_acceptor{m_io};
    boost::asio::thread_pool m_workers;
    boost::asio::thread_pool m_checkers;
    int m_port = 0;
};

}  // namespace timeclock::web
