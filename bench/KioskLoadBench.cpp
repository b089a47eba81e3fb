// Load on the clock server: many browser kiosks typing at once on loopback, bounded in count and
// time. Each kiosk serves employees of its own (50 unless told), one after another: it types a
// card, Enter, then IN or OUT and Enter, over and over; the
// time from sending a key to having the screen after it is measured for every key. Flat out, a
// kiosk sends its next key as soon as it has the screen; paced, it sends one key every PACE
// milliseconds, as a quick person at a touch screen would. The floor is an empty request to the
// same server and library, one at a time, after the load. At the end the rows in the database
// are counted against the punches the kiosks saw stored: every in once, every out closing its
// in, no out without its in.
//
// With HOSTILE 1 the server is first attacked for its memory (four chunked bodies of 250 MB,
// 200 MB of headers, 60 administrator's sign-ins at once from 60 addresses; its peak resident
// memory is read from /proc), then the kiosks type while 1,000 idle sockets, 70 slowloris
// connections and 200 event streams (one on each of 200 kiosks' sessions) are held open, and at
// the end it is stopped with SIGTERM under a flood of key checks.
//
//   bench_kiosk_load [KIOSKS (20, at most 200)] [SECONDS (30, at most 120)] [PACE (ms, 0: flat
//   out)] [EMPLOYEES a kiosk (50, 1 to 500)] [HOSTILE (0 or 1)]
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>
#include <sqlite3.h>
#include <nlohmann/json.hpp>

#include "bench/HostileClients.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

std::string Run(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        pclose(pipe);
    }
    return out;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(p * static_cast<double>(values.size() - 1))];
}

// The kiosk's link as `timeclock kiosk-key add` prints it: the fragment's "key" and, when the
// link names it, "kiosk" (blanks written as %20).
nlohmann::json OpeningOf(const std::string& printed) {
    nlohmann::json opening = nlohmann::json::object();
    const auto hash = printed.find('#');
    if (hash == std::string::npos)
        return opening;
    std::string fragment = printed.substr(hash + 1);
    fragment = fragment.substr(0, fragment.find_first_of(" \n"));
    for (size_t at = 0; at <= fragment.size();) {
        const auto end = std::min(fragment.find('&', at), fragment.size());
        const auto part = fragment.substr(at, end - at);
        const auto equals = part.find('=');
        if (equals != std::string::npos) {
            std::string value;
            for (size_t i = equals + 1; i < part.size(); ++i) {
                if (part[i] == '%' && i + 2 < part.size()) {
                    value += static_cast<char>(std::stoi(part.substr(i + 1, 2), nullptr, 16));
                    i += 2;
                } else {
                    value += part[i];
                }
            }
            opening[part.substr(0, equals)] = value;
        }
        at = end + 1;
    }
    return opening;
}

// The CPU time (user and system) a process has used so far, in seconds.
double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double user = 0, system = 0;
    // After the name: state is field 3; utime and stime are fields 14 and 15.
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number == 14)
            user = std::stod(field);
        if (number == 15)
            system = std::stod(field);
    }
    return (user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The server's process: the child of the `timeout` that runs it.
pid_t ChildOf(pid_t parent) {
    std::ifstream children("/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) +
                           "/children");
    pid_t child = 0;
    children >> child;
    return child;
}

long long Count(const fs::path& db, const char* query) {
    sqlite3* handle = nullptr;
    long long count = -1;
    if (sqlite3_open(db.c_str(), &handle) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(handle, query, -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW)
            count = sqlite3_column_int64(statement, 0);
        sqlite3_finalize(statement);
    }
    sqlite3_close(handle);
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    const int kiosks = std::clamp(argc > 1 ? std::atoi(argv[1]) : 20, 1, 200);
    const int seconds = std::clamp(argc > 2 ? std::atoi(argv[2]) : 30, 1, 120);
    const int pace_ms = std::clamp(argc > 3 ? std::atoi(argv[3]) : 0, 0, 2000);
    const int employees = std::clamp(argc > 4 ? std::atoi(argv[4]) : 50, 1, 500);
    const bool hostile = argc > 5 && std::atoi(argv[5]) == 1;
    // Kiosks registered: those that type, and with HOSTILE at least 200 for the streams.
    const int registered = hostile ? std::max(kiosks, 200) : kiosks;
    const std::string timeclock = TIMECLOCK_PROGRAM;
    const fs::path folder = fs::temp_directory_path() / ("kiosk-load-" + std::to_string(getpid()));
    fs::create_directories(folder);
    setenv("STAMPKIND_REGISTRY", (folder / "registry.json").c_str(), 1);
    const auto config = folder / "timeclock.json";
    const auto db = folder / "clock.db";
    std::ofstream(config) << nlohmann::json{{"database", db.string()},
                                            {"duplicate_seconds", 0},
                                            {"idle_seconds", 600},
                                            {"confirm_seconds", 60},
                                            {"steps", {"Employee ID", "Punch Entry"}}}
                                 .dump();
    Run(timeclock + " register");
    std::vector<nlohmann::json> openings;
    const auto card_of = [&](int kiosk, int employee) {
        return std::to_string(10000 + kiosk * employees + employee);
    };
    // The first employee through the program makes the database; the others go in at once.
    Run(timeclock + " employee add --db " + db.string() + " --card " + card_of(0, 0) + " --name E" +
        card_of(0, 0));
    {
        std::string insert = "BEGIN;";
        for (int i = 0; i < kiosks; ++i) {
            for (int e = 0; e < employees; ++e) {
                if (i > 0 || e > 0)
                    insert += "INSERT INTO \"Employees\" (\"Card ID\", \"Name\") VALUES (" +
                              card_of(i, e) + ", 'E" + card_of(i, e) + "');";
            }
        }
        insert += "COMMIT;";
        sqlite3* handle = nullptr;
        const bool inserted =
            sqlite3_open(db.c_str(), &handle) == SQLITE_OK &&
            sqlite3_exec(handle, insert.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(handle);
        if (!inserted) {
            std::cerr << "the employees could not be added\n";
            return 1;
        }
    }
    // One kiosk is added by the command; the others get its key's hash, written in the
    // configuration directly: a slow hash for each would take minutes.
    const auto first = OpeningOf(Run(timeclock + " kiosk-key add K0 --config " + config.string()));
    Run("printf 'correct horse battery\\n' | " + timeclock + " admin-password --config " +
        config.string());
    {
        auto stored = nlohmann::json::parse(std::ifstream(config));
        const auto hash = stored["kiosks"]["K0"];
        for (int i = 0; i < registered; ++i) {
            stored["kiosks"]["K" + std::to_string(i)] = hash;
            openings.push_back({{"key", first["key"]}, {"kiosk", "K" + std::to_string(i)}});
        }
        // Every kiosk and attacker here comes from loopback: the limit per address would
        // otherwise turn most of them away, which is not what is measured.
        stored["server_limits"] = {{"max_connections_per_address", 5000},
                                   {"max_connections", 6000}};
        std::ofstream(config) << stored.dump();
    }

    // The server, under a bounded lifetime, on a free loopback port.
    int out[2];
    if (pipe(out) != 0)
        return 1;
    const pid_t server = fork();
    if (server == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        const auto life = std::to_string(seconds + 120);
        execlp("timeout", "timeout", life.c_str(), timeclock.c_str(), "serve", "--listen",
               "127.0.0.1:0", "--config", config.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n')
        line += c;
    const auto colon = line.rfind(':');
    const int port = colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
    if (port <= 0) {
        std::cerr << "the server did not start: " << line << '\n';
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
        return 1;
    }

    const pid_t serving = ChildOf(server);
    std::string memory_report;
    if (hostile) {
        const auto before = hostile::Memory(serving);
        std::vector<std::thread> attackers;
        std::atomic<long long> taken{0};
        for (int i = 0; i < 4; ++i) {
            attackers.emplace_back([&] {
                std::string chunk = "10000\r\n" + std::string(0x10000, 'b') + "\r\n";
                taken += hostile::Flood(port,
                                        "POST /api/kiosk/input HTTP/1.1\r\nHost: b\r\n"
                                        "Transfer-Encoding: chunked\r\n\r\n",
                                        chunk, 250LL << 20);
            });
        }
        attackers.emplace_back([&] {
            std::string header;
            for (int i = 0; i < 1000; ++i)
                header += "X-Filler-" + std::to_string(i) + ": " + std::string(40, 'h') + "\r\n";
            taken += hostile::Flood(port, "GET /kiosk HTTP/1.1\r\n", header, 200LL << 20);
        });
        std::atomic<int> busy{0}, wrong{0};
        for (int i = 0; i < 60; ++i) {
            attackers.emplace_back([&, i] {
                const std::string body = "password=guess" + std::to_string(i);
                const auto answer =
                    hostile::Ask(port,
                                 "POST /admin/login HTTP/1.1\r\nHost: b\r\nContent-Type: "
                                 "application/x-www-form-urlencoded\r\nContent-Length: " +
                                     std::to_string(body.size()) + "\r\n\r\n" + body,
                                 "127.0.2." + std::to_string(i + 1));
                if (answer.starts_with("HTTP/1.1 503"))
                    ++busy;
                else if (answer.starts_with("HTTP/1.1 303"))
                    ++wrong;
            });
        }
        for (auto& attacker : attackers)
            attacker.join();
        const auto after = hostile::Memory(serving);
        char line[400];
        std::snprintf(line, sizeof line,
                      "memory: %.0f MB resident before; peak %.0f MB through four chunked bodies "
                      "of 250 MB, 200 MB of headers (%.1f MB taken before the door closed) and 60 "
                      "sign-ins at once (%d checked, %d turned away busy); %.0f MB after\n",
                      before.first, after.second, static_cast<double>(taken) / (1 << 20),
                      wrong.load(), busy.load(), after.first);
        memory_report = line;
        std::fputs(line, stdout);
    }

    std::mutex mutex;
    std::vector<double> latencies;  // microseconds, key sent to screen back
    std::vector<double> storing;    // the same, of the keys that store a punch
    std::atomic<long> ins{0}, outs{0}, failures{0}, repeated{0}, misfits{0};
    std::atomic<long long> answer_bytes{0};
    std::atomic<bool> ready{false};
    std::atomic<int> opened{0}, reopened{0};
    Clock::time_point deadline;
    std::vector<std::thread> threads;
    const auto opening_start = Clock::now();
    for (int i = 0; i < kiosks; ++i) {
        threads.emplace_back([&, i] {
            httplib::Client client("127.0.0.1", port);
            client.set_keep_alive(true);
            client.set_tcp_nodelay(true);
            // The keys are checked one at a time on the server: the last kiosk waits for all.
            client.set_read_timeout(std::chrono::seconds(120));
            auto session_answer =
                client.Post("/api/kiosk/open", openings[i].dump(), "application/json");
            // The page opens again when its opening request is lost on the way, or a second or
            // two later when the server is busy with other openings (503) or with other
            // openings from the same address (429); so does this.
            for (int again = 0; again < 100 && (!session_answer || session_answer->status == 503 ||
                                                session_answer->status == 429);
                 ++again) {
                ++reopened;
                if (session_answer)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1000 + 20 * (i % 50)));
                session_answer =
                    client.Post("/api/kiosk/open", openings[i].dump(), "application/json");
            }
            if (!session_answer || session_answer->status != 200) {
                std::fprintf(stderr, "kiosk %d did not open: %s\n", i,
                             session_answer ? session_answer->body.c_str()
                                            : httplib::to_string(session_answer.error()).c_str());
                ++failures;
                ++opened;
                return;
            }
            httplib::Headers headers{
                {"X-Kiosk-Session", nlohmann::json::parse(session_answer->body)["session"]}};
            ++opened;
            while (!ready)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::vector<double> mine, mine_storing;
            std::vector<char> in(static_cast<size_t>(employees), 0);
            int employee = 0;
            // Paced kiosks start spread over one pace, as people do not press at one instant.
            auto next = Clock::now() + std::chrono::microseconds(pace_ms * 1000 * i / kiosks);
            // The screen is read only where the kiosk needs it: after a punch's last key.
            auto send = [&](const std::string& body, bool read = false) -> nlohmann::json {
                if (pace_ms > 0) {
                    std::this_thread::sleep_until(next);
                    next += std::chrono::milliseconds(pace_ms);
                }
                const auto start = Clock::now();
                auto answer = client.Post("/api/kiosk/input", headers, body, "application/json");
                // A connection left idle while the other kiosks opened may have been closed by
                // the server; a browser sends again on a new one, and so does this.
                if (!answer)
                    answer = client.Post("/api/kiosk/input", headers, body, "application/json");
                mine.push_back(
                    std::chrono::duration<double, std::micro>(Clock::now() - start).count());
                if (read)
                    mine_storing.push_back(mine.back());
                if (!answer || answer->status != 200) {
                    ++failures;
                    std::lock_guard lock(mutex);
                    std::fprintf(stderr, "failed: %s\n",
                                 answer ? std::to_string(answer->status).c_str()
                                        : httplib::to_string(answer.error()).c_str());
                    return {};
                }
                // As the page does, the kiosk names the pad it has, so that a screen that keeps
                // it comes without its controls; the pad's number is found without reading
                // the whole screen.
                answer_bytes += static_cast<long long>(answer->body.size());
                const auto at = answer->body.find("\"pad\":");
                if (at != std::string::npos) {
                    const auto end = answer->body.find_first_of(",}", at);
                    headers.erase("X-Kiosk-Pad");
                    headers.emplace("X-Kiosk-Pad", answer->body.substr(at + 6, end - at - 6));
                }
                return read ? nlohmann::json::parse(answer->body) : nlohmann::json{};
            };
            auto press = [&](int key, bool read = false) {
                return send("{\"key\":" + std::to_string(key) + "}", read);
            };
            while (Clock::now() < deadline) {
                employee = (employee + 1) % employees;
                auto& is_in = in[static_cast<size_t>(employee)];
                for (char digit : card_of(i, employee))
                    press(digit);
                press(13);
                press(is_in ? '2' : '1');
                const auto screen = press(13, true);
                if (!screen.is_object())
                    continue;
                if (screen["state"] == "confirm" && screen["error"] == "") {
                    ++(is_in ? outs : ins);
                    is_in = !is_in;
                } else if (screen["state"] == "confirm") {
                    // "Already recorded": the clock read the punch as made already.
                    ++repeated;
                    send("{\"escape\":true}");
                } else if (screen["state"] == "not-fitting") {
                    ++misfits;
                    send("{\"escape\":true}");
                }
            }
            std::lock_guard lock(mutex);
            latencies.insert(latencies.end(), mine.begin(), mine.end());
            storing.insert(storing.end(), mine_storing.begin(), mine_storing.end());
        });
    }
    while (opened < kiosks)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const double opening_s = std::chrono::duration<double>(Clock::now() - opening_start).count();
    // The attackers held open through the load and the floor.
    hostile::Holder idle;
    std::unique_ptr<hostile::Slowloris> slowloris;
    std::unique_ptr<hostile::StreamReader> streams;
    if (hostile) {
        idle.Open(port, 1000);
        slowloris = std::make_unique<hostile::Slowloris>(port, 70, std::chrono::seconds(1));
        std::vector<int> stream_fds;
        for (int i = 0; i < 200; ++i) {
            const auto text = [](const std::string& answer, const char* field) {
                const auto body = answer.find("\r\n\r\n");
                const auto json = nlohmann::json::parse(
                    body == std::string::npos ? std::string() : answer.substr(body + 4), nullptr,
                    false);
                return json.is_object() && json.contains(field) ? json[field].get<std::string>()
                                                                : std::string();
            };
            const auto opening = openings[static_cast<size_t>(i)].dump();
            const auto session =
                text(hostile::Ask(port, "POST /api/kiosk/open HTTP/1.1\r\nContent-Length: " +
                                            std::to_string(opening.size()) + "\r\n\r\n" + opening),
                     "session");
            const auto ticket =
                text(hostile::Ask(port, "POST /api/kiosk/ticket HTTP/1.1\r\nX-Kiosk-Session: " +
                                            session + "\r\nContent-Length: 0\r\n\r\n"),
                     "ticket");
            const int fd = hostile::Connect(port);
            if (fd >= 0 && hostile::SendAll(fd, "GET /api/kiosk/events?ticket=" + ticket +
                                                    " HTTP/1.1\r\nHost: b\r\n\r\n"))
                stream_fds.push_back(fd);
        }
        const auto held = stream_fds.size();
        streams = std::make_unique<hostile::StreamReader>(std::move(stream_fds));
        std::printf("held open: %zu idle sockets, 70 slowloris connections, %zu event streams\n",
                    idle.Count(), held);
    }
    const double cpu_before = CpuSeconds(serving);
    deadline = Clock::now() + std::chrono::seconds(seconds);
    ready = true;
    for (auto& thread : threads)
        thread.join();
    const double server_cpu = CpuSeconds(serving) - cpu_before;

    // The floor: an empty request, one at a time.
    std::vector<double> floor;
    {
        httplib::Client client("127.0.0.1", port);
        client.set_keep_alive(true);
        client.set_tcp_nodelay(true);
        for (int i = 0; i < 2000; ++i) {
            const auto start = Clock::now();
            client.Get("/api/ping");
            floor.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
    }
    double stop_s = 0;
    if (hostile) {
        std::printf(
            "during the load: %ld events on the streams, %ld streams ended, %ld slowloris "
            "connections cut and opened again; resident memory %.0f MB\n",
            streams->Events(), streams->Ended(), slowloris->Reopened(),
            hostile::Memory(serving).first);
        streams.reset();
        slowloris.reset();
        // A flood of wrong kiosk keys from many addresses, then SIGTERM.
        std::atomic<bool> flooding{true};
        std::vector<std::thread> flood;
        for (int i = 0; i < 40; ++i) {
            flood.emplace_back([&, i] {
                for (int n = 0; flooding; ++n)
                    hostile::Ask(port,
                                 "POST /api/kiosk/open HTTP/1.1\r\nContent-Length: 13\r\n\r\n"
                                 "{\"key\":\"bad\"}",
                                 "127.0.3." + std::to_string((i * 40 + n) % 250 + 1));
            });
        }
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const auto stop_start = Clock::now();
        kill(serving, SIGTERM);
        waitpid(server, nullptr, 0);
        stop_s = std::chrono::duration<double>(Clock::now() - stop_start).count();
        flooding = false;
        for (auto& thread : flood)
            thread.join();
    } else {
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
    }

    const auto stored_in =
        Count(db, "SELECT COUNT(*) FROM \"Clock Data Table\" WHERE \"Date In\" IS NOT NULL");
    const auto stored_out =
        Count(db, "SELECT COUNT(*) FROM \"Clock Data Table\" WHERE \"Date Out\" IS NOT NULL");
    // An out that found no open in, and ins left open that a later out should have closed
    // (each kiosk may end with one open in of its own).
    const auto lone_outs = Count(db,
                                 "SELECT COUNT(*) FROM \"Clock Data Table\" WHERE \"Date "
                                 "In\" IS NULL AND \"Date Out\" IS NOT NULL");
    const auto left_open = Count(db, R"sql(SELECT COALESCE(SUM(n - 1), 0) FROM (
        SELECT COUNT(*) AS n FROM "Clock Data Table" WHERE "Date Out" IS NULL GROUP BY "Card ID"))sql");
    const double p50 = Percentile(latencies, 0.50), p99 = Percentile(latencies, 0.99);
    const double f50 = Percentile(floor, 0.50), f99 = Percentile(floor, 0.99);
    const bool once = stored_in == ins && stored_out == outs && lone_outs == 0 && left_open == 0 &&
                      repeated == 0 && misfits == 0;
    std::printf(
        "kiosks %d, %d employees a kiosk, %d s, %s, keys %zu (%.0f/s, answers of %.0f bytes on "
        "average), failed requests %ld, opening %.1f s (%d sent again)\n",
        kiosks, employees, seconds,
        pace_ms > 0 ? ("one key every " + std::to_string(pace_ms) + " ms").c_str() : "flat out",
        latencies.size(), static_cast<double>(latencies.size()) / seconds,
        latencies.empty()
            ? 0.0
            : static_cast<double>(answer_bytes) / static_cast<double>(latencies.size()),
        failures.load(), opening_s, reopened.load());
    std::printf(
        "key to screen: p50 %.0f us, p99 %.0f us, max %.0f us; server CPU per key %.0f "
        "us (%.2f cores)\n",
        p50, p99, Percentile(latencies, 1.0),
        latencies.empty() ? 0.0 : server_cpu * 1e6 / static_cast<double>(latencies.size()),
        server_cpu / seconds);
    std::printf("the key that stores a punch (1 in 8): p50 %.0f us, p99 %.0f us\n",
                Percentile(storing, 0.50), Percentile(storing, 0.99));
    std::printf("empty request: p50 %.0f us, p99 %.0f us; ratio p50 %.1f, p99 %.1f\n", f50, f99,
                p50 / f50, p99 / f99);
    std::printf(
        "punches stored: %ld in, %ld out; rows: %lld in, %lld out; outs without in %lld, "
        "ins left open %lld, read as already recorded %ld, as not fitting %ld -> %s\n",
        ins.load(), outs.load(), stored_in, stored_out, lone_outs, left_open, repeated.load(),
        misfits.load(), once ? "each stored once" : "MISMATCH");
    if (hostile)
        std::printf("%sSIGTERM under a flood of key checks: stopped in %.2f s\n",
                    memory_report.c_str(), stop_s);
    fs::remove_all(folder);
    return once && failures == 0 ? 0 : 1;
}
