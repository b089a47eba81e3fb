#include <csignal>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>

#include <pthread.h>

#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/web/WebServer.h"
#include "platform/Convert.h"
#include "platform/Services.h"

namespace timeclock {

namespace {

// "ADDRESS:PORT" (the port 0 to 65535; 0 lets the system choose); false when it is not.
bool ParseListen(const std::string& text, web::ServerOptions& options) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size())
        return false;
    const auto port_text = text.substr(colon + 1);
    if (port_text.size() > 5 || port_text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const int port = std::stoi(port_text);
    if (port > 65535)
        return false;
    options.address = text.substr(0, colon);
    if (options.address.size() > 2 && options.address.front() == '[' &&
        options.address.back() == ']')
        options.address = options.address.substr(1, options.address.size() - 2);
    options.port = port;
    return true;
}

int Serve(web::ServerOptions options) {
    std::mutex log_mutex;
    auto log = [&log_mutex](std::string_view text) {
        std::lock_guard lock(log_mutex);
        std::cerr << platform::format_date(platform::services().Now(), "yyyy-mm-dd hh:nn:ss")
                  << " timeclock serve: " << text << std::endl;
    };
    // SIGINT and SIGTERM are taken by one thread that stops the server; every other thread,
    // the kiosks' included, has them blocked.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    web::WebServer server(options, log);
    if (!server.Bind())
        return kExitError;
    std::thread waiter([&] {
        int signal = 0;
        sigwait(&signals, &signal);
        if (signal == SIGINT || signal == SIGTERM)
            log(signal == SIGINT ? "stopping (interrupted)" : "stopping (terminated)");
        server.Stop();
    });
    const std::string url =
        "http://" +
        (options.address.find(':') != std::string::npos ? "[" + options.address + "]"
                                                        : options.address) +
        ":" + std::to_string(server.Port());
    std::cout << "Serving the time clock on " << url << "/kiosk" << std::endl;
    std::cout << "The administrator's pages are at " << url << "/admin" << std::endl;
    server.Serve();
    // The server may have ended by itself; the waiting thread ends with a signal of our own.
    pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    log("stopped");
    return kExitOk;
}

}  // namespace

void AddServeCommand(CLI::App& app, int& exit_status) {
    auto options = std::make_shared<web::ServerOptions>();
    auto listen = std::make_shared<std::string>();
    auto db = std::make_shared<std::string>();
    auto config = std::make_shared<std::string>();
    auto* command = app.add_subcommand(
        "serve",
        "The clock server: browser kiosks at /kiosk, the administrator's pages at /admin "
        "(127.0.0.1:8080 unless --listen)");
    command->add_option("--listen", *listen,
                        "ADDRESS:PORT to listen on (default 127.0.0.1:8080; port 0: any free)");
    command->add_option("--db", *db, "The clock database file (default: the configuration's)");
    command->add_option("--config", *config,
                        "The configuration file (default: ~/.config/stampkind/timeclock.json)");
    command->callback([options, listen, db, config, &exit_status] {
        if (!listen->empty() && !ParseListen(*listen, *options)) {
            std::cerr << "timeclock serve: --listen wants ADDRESS:PORT, such as 127.0.0.1:8080\n";
            exit_status = kExitUsage;
            return;
        }
        options->config_file = ConfigFileOrDefault(*config);
        options->database = *db;
        try {
            exit_status = Serve(*options);
        } catch (const platform::RaisedError& error) {
            PrintError(error);
            exit_status = kExitError;
        }
    });
}

}  // namespace timeclock
