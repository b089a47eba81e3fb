#include <algorithm>
#include <csignal>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>
#include <type_traits>
#include <variant>
#include <vector>

#include <pthread.h>
#include <sys/resource.h>

#include <nlohmann/json.hpp>

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

// One limit of the server that the configuration's "server_limits" object may set: its name, where
// it goes, and for a number its range (seconds for a time).
struct Limit {
    const char* name;
    std::variant<size_t*, int*, std::chrono::milliseconds*, bool*, std::vector<std::string>*> value;
    double least = 0, most = 0;
};

std::vector<Limit> LimitsOf(web::ServerLimits& limits) {
    return {
        {"max_body_bytes", &limits.max_body_bytes, 64, 1 << 26},
        {"max_header_bytes", &limits.max_header_bytes, 1024, 1 << 20},
        {"max_header_count", &limits.max_header_count, 8, 10000},
        {"max_url_bytes", &limits.max_url_bytes, 64, 1 << 20},
        {"max_connections", &limits.max_connections, 1, 1000000},
        {"max_connections_per_address", &limits.max_connections_per_address, 1, 1000000},
        {"io_threads", &limits.io_threads, 1, 64},
        {"worker_threads", &limits.worker_threads, 1, 256},
        {"password_checks", &limits.password_checks, 1, 16},
        {"password_queue", &limits.password_queue, 0, 1000},
        {"request_timeout_seconds", &limits.request_timeout, 0.1, 3600},
        {"idle_timeout_seconds", &limits.idle_timeout, 0.1, 86400},
        {"kiosk_session_seconds", &limits.kiosk_session, 1, 30 * 86400},
        {"admin_session_seconds", &limits.admin_session, 1, 86400},
        {"stream_keepalive_seconds", &limits.stream_keepalive, 0.1, 3600},
        {"secure_cookies", &limits.secure_cookies},
        {"trusted_proxies", &limits.trusted_proxies},
    };
}

// Sets the limit from its value in the configuration; the cause when the value does not suit it.
std::optional<std::string> SetLimit(const Limit& limit, const nlohmann::json& given) {
    const std::string name = limit.name;
    const auto out_of_range = [&] {
        std::ostringstream text;
        text << "\"server_limits\": \"" << name << "\" is a number from " << limit.least << " to "
             << limit.most;
        return text.str();
    };
    const auto in_range = [&](double number) {
        return number >= limit.least && number <= limit.most;
    };
    return std::visit(
        [&](auto* value) -> std::optional<std::string> {
            using Value = std::remove_pointer_t<decltype(value)>;
            if constexpr (std::is_same_v<Value, size_t>) {
                if (!given.is_number_unsigned() ||
                    !in_range(static_cast<double>(given.get<size_t>())))
                    return out_of_range();
                *value = given.get<size_t>();
            } else if constexpr (std::is_same_v<Value, int>) {
                if (!given.is_number_integer() ||
                    !in_range(static_cast<double>(given.get<int64_t>())))
                    return out_of_range();
                *value = given.get<int>();
            } else if constexpr (std::is_same_v<Value, std::chrono::milliseconds>) {
                if (!given.is_number() || !in_range(given.get<double>()))
                    return out_of_range();
                *value =
                    std::chrono::milliseconds(static_cast<int64_t>(given.get<double>() * 1000));
            } else if constexpr (std::is_same_v<Value, bool>) {
                if (!given.is_boolean())
                    return "\"server_limits\": \"" + name + "\" is true or false";
                *value = given.get<bool>();
            } else {
                const auto addresses = [](const auto& list) {
                    return std::all_of(list.begin(), list.end(),
                                       [](const auto& p) { return p.is_string(); });
                };
                if (!given.is_array() || !addresses(given))
                    return "\"server_limits\": \"" + name + "\" is a list of addresses";
                *value = given.template get<std::vector<std::string>>();
            }
            return std::nullopt;
        },
        limit.value);
}

// The server's limits that the configuration's "server_limits" object sets, each by its name;
// the cause when one is not a number in its range, a switch or a list of addresses, or is no
// limit of the server.
std::optional<std::string> ReadLimits(const std::filesystem::path& config_file,
                                      web::ServerLimits& limits) {
    std::ifstream in(config_file);
    if (!in)
        return std::nullopt;
    const auto config = nlohmann::json::parse(in, nullptr, false);
    if (!config.is_object() || !config.contains("server_limits"))
        return std::nullopt;
    const auto& given = config["server_limits"];
    if (!given.is_object())
        return "\"server_limits\" is an object of the server's limits";
    const auto table = LimitsOf(limits);
    for (const auto& [name, value] : given.items()) {
        const auto limit = std::find_if(table.begin(), table.end(),
                                        [&](const Limit& row) { return name == row.name; });
        // A name that is no limit is a mistake to say, not to pass over.
        if (limit == table.end())
            return "\"server_limits\": \"" + name + "\" is not a limit of the server";
        if (auto wrong = SetLimit(*limit, value))
            return wrong;
    }
    return std::nullopt;
}

// Each connection holds a file descriptor: the server may use as many as the system lets it.
void RaiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

int Serve(web::ServerOptions options) {
    RaiseDescriptorLimit();
    // A closed standard output (a supervisor that went away) must not end the server: a write
    // there fails quietly instead. The sockets never raise SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
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
        if (const auto wrong = ReadLimits(options->config_file, options->limits)) {
            std::cerr << "timeclock serve: " << *wrong << "\n";
            exit_status = kExitUsage;
            return;
        }
        try {
            exit_status = Serve(*options);
        } catch (const platform::RaisedError& error) {
            PrintError(error);
            exit_status = kExitError;
        }
    });
}

}  // namespace timeclock
