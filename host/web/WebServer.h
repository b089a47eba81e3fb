#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "host/database/Checkpointer.h"
#include "host/web/AdminPages.h"
#include "host/web/KioskApartment.h"
#include "host/web/ServerOptions.h"

namespace httplib {
class Server;
class Request;
class Response;
}  // namespace httplib

namespace timeclock::web {

// The clock server: the browser kiosk's page and its requests. A page opens its kiosk with the
// kiosk's key and gets a session; its inputs go to the kiosk's apartment (one engine per
// registered kiosk, on its own thread), and the screens it draws come back as server-sent
// events. Every request is checked here, since the page is not trusted: a request without a
// valid session or key gets 403 and reaches no engine.
class WebServer {
  public:
    WebServer(ServerOptions options, Log log);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Binds the address; false, with the cause in the log, when it cannot.
    bool Bind();
    // The port bound (the one asked, or the one the system chose for port 0).
    int Port() const { return m_port; }
    // Serves until Stop; returns on the thread that called it.
    void Serve();
    // Ends the server from any thread: every kiosk's thread and every open page's stream.
    void Stop();

  private:
    void Routes();
    void OpenKiosk(const httplib::Request& request, httplib::Response& response);
    void Input(const httplib::Request& request, httplib::Response& response);
    void Events(const httplib::Request& request, httplib::Response& response);
    // The kiosk of a session named in the request; null when there is none.
    std::shared_ptr<KioskApartment> Session(const httplib::Request& request);
    // The name of the registered kiosk whose key this is; empty when none. A link that names
    // its kiosk has its key checked against that kiosk's hash alone.
    std::string KioskOfKey(std::string_view key, std::string_view named);
    std::shared_ptr<KioskApartment> Apartment(const std::string& name);

    ServerOptions m_options;
    Log m_log;
    std::unique_ptr<httplib::Server> m_server;
    // The turn for writing the clock database, of the kiosks and the administrator's pages: one
    // write at a time, in order.
    std::shared_ptr<std::mutex> m_write_turn = std::make_shared<std::mutex>();
    AdminPages m_admin;
    int m_port = 0;
    int m_listen_socket = -1;
    std::atomic<bool> m_stopping{false};
    std::mutex m_mutex;
    std::mutex m_verify_mutex;
    std::map<std::string, std::shared_ptr<KioskApartment>> m_apartments;
    // Copies the clock file's log into it for the kiosks, from the first kiosk's opening on.
    std::unique_ptr<orvane::Checkpointer> m_checkpointer;
    struct KioskSession {
        std::string token;
        std::string kiosk;
    };
    // Open sessions by the first characters of their token; the whole token is then compared
    // in constant time.
    std::map<std::string, KioskSession> m_sessions;
};

}  // namespace timeclock::web
