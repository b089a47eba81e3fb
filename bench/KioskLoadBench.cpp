// Load on the clock server: many browser kiosks typing at once on loopback, bounded in count and
// time. Each kiosk types its employee's card, Enter, then IN or OUT and Enter, over and over; the
// time from sending a key to having the screen after it is measured for every key. The floor is
// an empty request to the same server and library, one at a time, after the load. At the end the
// punches in the database are counted against the ones the kiosks saw confirmed.
//
//   bench_kiosk_load [KIOSKS (20, at most 50)] [SECONDS (30, at most 120)]
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
#include <mutex>
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
    std::vector<std::string> keys;
    for (int i = 0; i < kiosks; ++i) {
        const auto card = std::to_string(2001 + i);
        Run(timeclock + " employee add --db " + db.string() + " --card " + card + " --name E" +
            card);
        const auto printed = Run(timeclock + " kiosk-key add K" + std::to_string(i) + " --config " +
                                 config.string());
        keys.push_back(printed.substr(printed.find("#key=") + 5, 26));
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
    std::atomic<long> ins{0}, outs{0}, failures{0};
    std::atomic<bool> ready{false};
    std::atomic<int> opened{0};
    Clock::time_point deadline;
    std::vector<std::thread> threads;
    for (int i = 0; i < kiosks; ++i) {
        threads.emplace_back([&, i] {
            httplib::Client client("127.0.0.1", port);
            client.set_keep_alive(true);
            client.set_tcp_nodelay(true);
            // The keys are checked one at a time on the server: the last kiosk waits for all.
            client.set_read_timeout(std::chrono::seconds(120));
            const auto session_answer = client.Post(
                "/api/kiosk/open", nlohmann::json{{"key", keys[i]}}.dump(), "application/json");
            if (!session_answer || session_answer->status != 200) {
                std::fprintf(stderr, "kiosk %d did not open: %s\n", i,
                             session_answer ? session_answer->body.c_str()
                                            : httplib::to_string(session_answer.error()).c_str());
                ++failures;
                ++opened;
                return;
            }
            const httplib::Headers headers{
                {"X-Kiosk-Session", nlohmann::json::parse(session_answer->body)["session"]}};
            ++opened;
            while (!ready)
                std::this_thread::yield();
            std::vector<double> mine;
            const auto card = std::to_string(2001 + i);
            bool in = false;
            auto press = [&](int key) -> nlohmann::json {
                const auto start = Clock::now();
                const auto body = "{\"key\":" + std::to_string(key) + "}";
                auto answer = client.Post("/api/kiosk/input", headers, body, "application/json");
                // A connection left idle while the other kiosks opened may have been closed by
                // the server; a browser sends again on a new one, and so does this.
                if (!answer)
                    answer = client.Post("/api/kiosk/input", headers, body, "application/json");
                mine.push_back(
                    std::chrono::duration<double, std::micro>(Clock::now() - start).count());
                if (!answer || answer->status != 200) {
                    ++failures;
                    std::lock_guard lock(mutex);
                    std::fprintf(stderr, "failed: %s\n",
                                 answer ? std::to_string(answer->status).c_str()
                                        : httplib::to_string(answer.error()).c_str());
                    return {};
                }
                return nlohmann::json::parse(answer->body);
            };
            while (Clock::now() < deadline) {
                for (char digit : card)
                    press(digit);
                press(13);
                press(in ? '2' : '1');
                const auto screen = press(13);
                if (screen.is_object() && screen["state"] == "confirm") {
                    ++(in ? outs : ins);
                    in = !in;
                }
            }
            std::lock_guard lock(mutex);
            latencies.insert(latencies.end(), mine.begin(), mine.end());
        });
    }
    while (opened < kiosks)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    deadline = Clock::now() + std::chrono::seconds(seconds);
    ready = true;
    for (auto& thread : threads)
        thread.join();

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

    const auto stored_in = Count(db, "SELECT COUNT(*) FROM \"Clock Data Table\"");
    const auto stored_out =
        Count(db, "SELECT COUNT(*) FROM \"Clock Data Table\" WHERE \"Date Out\" IS NOT NULL");
    const double p50 = Percentile(latencies, 0.50), p99 = Percentile(latencies, 0.99);
    const double f50 = Percentile(floor, 0.50), f99 = Percentile(floor, 0.99);
    std::printf("kiosks %d, %d s, keys %zu (%.0f/s), failed requests %ld\n", kiosks, seconds,
                latencies.size(), static_cast<double>(latencies.size()) / seconds, failures.load());
    std::printf("key to screen: p50 %.0f us, p99 %.0f us\n", p50, p99);
    std::printf("empty request: p50 %.0f us, p99 %.0f us; ratio p50 %.1f, p99 %.1f\n", f50, f99,
                p50 / f50, p99 / f99);
    std::printf("punches confirmed: %ld in, %ld out; stored: %lld in, %lld out -> %s\n", ins.load(),
                outs.load(), stored_in, stored_out,
                stored_in == ins && stored_out == outs ? "each stored once" : "MISMATCH");
    fs::remove_all(folder);
    return stored_in == ins && stored_out == outs && failures == 0 ? 0 : 1;
}
