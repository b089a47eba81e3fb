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
//   bench_kiosk_load [KIOSKS (20, at most 50)] [SECONDS (30, at most 120)] [PACE (ms, 0: flat
//   out)] [EMPLOYEES a kiosk (50, 1 to 500)]
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
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>
#include <sqlite3.h>
#include <nlohmann/json.hpp>

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
    const int kiosks = std::clamp(argc > 1 ? std::atoi(argv[1]) : 20, 1, 50);
    const int seconds = std::clamp(argc > 2 ? std::atoi(argv[2]) : 30, 1, 120);
    const int pace_ms = std::clamp(argc > 3 ? std::atoi(argv[3]) : 0, 0, 2000);
    const int employees = std::clamp(argc > 4 ? std::atoi(argv[4]) : 50, 1, 500);
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
    for (int i = 0; i < kiosks; ++i) {
        const auto printed = Run(timeclock + " kiosk-key add K" + std::to_string(i) + " --config " +
                                 config.string());
        openings.push_back(OpeningOf(printed));
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
            // The page opens again when its opening request is lost on the way; so does this.
            for (int again = 0; again < 3 && !session_answer; ++again) {
                ++reopened;
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
    const pid_t serving = ChildOf(server);
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
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);

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
    fs::remove_all(folder);
    return once && failures == 0 ? 0 : 1;
}
