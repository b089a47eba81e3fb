// The automatic punch's lookup on a PostgreSQL server, as the step writes it and through the
// host's database object (translated, bound, prepared once per connection), beside the best
// hand-written prepared query for the same answer, on tables of growing size; and four clocks
// punching at once into one database.
//
//   scripts/pg-cluster start /tmp/stampkind-bench-pg
//   export
//   STAMPKIND_BENCH_POSTGRES='postgresql:///postgres?host=/tmp/stampkind-bench-pg&user=postgres'
//   bench_postgres [--rows=10000,100000,1000000] [google benchmark flags]
//   scripts/pg-cluster stop /tmp/stampkind-bench-pg
//
// The databases bench_<rows> are made once on the server and reused by later runs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include <libpq-fe.h>
#include <unistd.h>

#include "host/database/ClockDatabase.h"
#include "host/database/EngineDatabase.h"
#include "host/database/Postgres.h"
#include "host/database/SqlDialect.h"
#include "platform/Date.h"

namespace {

constexpr int kCards = 200;
constexpr int kFirstCard = 1000;
constexpr double kToday = 46360;  // 12/4/2026

std::string server_uri() {
    const char* uri = std::getenv("STAMPKIND_BENCH_POSTGRES");
    return uri ? uri : "";
}

// The URI of another database on the same server.
std::string database_uri(const std::string& name) {
    const std::string server = server_uri();
    const size_t path = server.find('/', server.find("://") + 3);
    const size_t query = server.find('?', path);
    return server.substr(0, path + 1) + name +
           (query == std::string::npos ? "" : server.substr(query));
}

void fresh_database(const std::string& name) {
    orvane::pg::Connection admin(server_uri());
    admin.Exec(("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)").c_str(), "bench");
    admin.Exec(("CREATE DATABASE " + name).c_str(), "bench");
}

// A clock table of `rows` rows: each of kCards employees with a history of full days (in 08:00,
// out 16:30, "O") and today's open work record. Made once.
std::string clock_database(int64_t rows) {
    const std::string name = "bench_" + std::to_string(rows);
    {
        orvane::pg::Connection admin(server_uri());
        const auto found = admin.Run("SELECT 1 FROM pg_database WHERE datname = $1",
                                     {orvane::pg::Value::Text(name)}, "bench");
        if (orvane::pg::Rows(found.get()) == 1)
            return database_uri(name);
    }
    std::fprintf(stderr, "making %s ...\n", name.c_str());
    fresh_database(name);
    const std::string uri = database_uri(name);
    orvane::ClockDatabase clock(uri);  // the tables and indexes
    orvane::pg::Connection connection(uri);
    const int64_t history = rows - kCards;
    connection.Exec(("INSERT INTO \"Clock Data Table\" (\"Card ID\", \"Date In\", \"Time In\", "
                     "\"Date Out\", \"Time Out\", \"Punch Type\") "
                     "SELECT " +
                     std::to_string(kFirstCard) + " + i % " + std::to_string(kCards) +
                     ", d, 8.0/24, d, 16.5/24, 'O' FROM (SELECT i, " + std::to_string(kToday) +
                     " - 1 - i / " + std::to_string(kCards) + " AS d FROM generate_series(0, " +
                     std::to_string(history - 1) + ") AS i) AS days")
                        .c_str(),
                    "bench");
    connection.Exec(
        ("INSERT INTO \"Clock Data Table\" (\"Card ID\", \"Date In\", \"Time In\", "
         "\"Punch Type\") SELECT " +
         std::to_string(kFirstCard) + " + i, " + std::to_string(kToday) +
         ", 8.0/24, 'I' FROM generate_series(0, " + std::to_string(kCards - 1) + ") AS i")
            .c_str(),
        "bench");
    connection.Exec("VACUUM ANALYZE \"Clock Data Table\"", "bench");
    return uri;
}

// CPU time the server's backend `pid` has spent so far, in seconds (user and system, from
// /proc: the cluster runs on this machine). On a loaded machine the client's and the server's
// CPU time are the steady figures; wall time swings with the other work.
double backend_cpu_seconds(const std::string& pid) {
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    // After the name: state is field 3; utime and stime are fields 14 and 15.
    for (int n = 3; n <= 15 && fields >> field; ++n) {
        if (n >= 14)
            ticks += std::stod(field);
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The backend serving the one other connection to the database `uri` names.
std::string other_backend(const std::string& uri) {
    orvane::pg::Connection probe(uri);
    const auto found = probe.Run(
        "SELECT pid FROM pg_stat_activity WHERE datname = current_database() AND pid <> "
        "pg_backend_pid() AND backend_type = 'client backend'",
        {}, "bench");
    return orvane::pg::Rows(found.get()) == 1 ? orvane::pg::TextAt(found.get(), 0, 0) : "";
}

// Adds the server's CPU time per lookup, and the client's and the server's together.
void count_server_cpu(benchmark::State& state, const std::string& pid, double before) {
    if (pid.empty() || state.iterations() == 0)
        return;
    const double per_lookup =
        (backend_cpu_seconds(pid) - before) / static_cast<double>(state.iterations());
    state.counters["server_cpu_us"] = per_lookup * 1e6;
}

// The query text the step builds for a card at a moment, with an 18-hour window.
std::string step_lookup(int card, int second) {
    const auto bound = [](double moment) {
        const auto parts = platform::split_rounded(platform::Date{moment});
        char text[64];
        std::snprintf(text, sizeof text, "%d/%d/%d %d:%02d:%02d", parts.month, parts.day,
                      parts.year, parts.hour, parts.minute, parts.second);
        return std::string(text);
    };
    const double now = kToday + (12 * 3600 + second) / 86400.0;
    const std::string lower = bound(now - 18.0 / 24), upper = bound(now);
    return "SELECT [Clock Data Table].[Card ID], [Clock Data Table].[Date In], [Clock Data "
           "Table].[Time In], [Clock Data Table].[Date Out], [Clock Data Table].[Time Out], "
           "[Clock Data Table].[Punch Type], IIf(IsNull([Date In]),[Date Out]+[Time Out],[Date "
           "In]+[Time In]) AS SortByDateTime FROM [Clock Data Table] WHERE [Card ID]=" +
           std::to_string(card) + " AND (([Date In]+[Time In]) BETWEEN #" + lower + "# AND #" +
           upper + "# OR ([Date Out]+[Time Out]) BETWEEN #" + lower + "# AND #" + upper +
           "#) AND ([Punch Type] IN (\"I\",\"O\",\"LI\",\"LO\",\"BI\",\"BO\")) ORDER BY "
           "IIf(IsNull([Date In]),[Date Out]+[Time Out],[Date In]+[Time In]) DESC;";
}

// A value as a literal of EXECUTE's argument list.
std::string literal(const orvane::sql::Parameter& parameter) {
    if (const auto* number = std::get_if<int64_t>(&parameter))
        return std::to_string(*number);
    if (const auto* real = std::get_if<double>(&parameter)) {
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", *real);
        return text;
    }
    std::string quoted = "'";
    for (const char c : std::get<std::string>(parameter))
        quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

// The server's own execution time of a statement prepared once, in microseconds: the median of
// `samples` runs of EXPLAIN ANALYZE EXECUTE, each with the values `values_for(i)` gives. It
// leaves out the round trip and the client, and the median leaves out the runs that another
// program on the machine slowed down, so that it is the steady figure to compare queries by.
template <class Values>
double median_execution_us(const std::string& uri, const std::string& text, Values&& values_for) {
    constexpr int kSamples = 301;
    orvane::pg::Connection connection(uri);
    connection.Exec("SET plan_cache_mode = force_generic_plan", "bench");
    connection.Exec(("PREPARE measured AS " + text).c_str(), "bench");
    std::vector<double> times;
    for (int i = 0; i < kSamples; ++i) {
        std::string arguments;
        for (const auto& value : values_for(i))
            arguments += (arguments.empty() ? "" : ", ") + literal(value);
        // Each text is new: sent as it is, not prepared, so that the connection's prepared
        // statements (and "measured" with them) stay.
        const orvane::pg::ResultPtr plan(
            PQexec(connection.get(),
                   ("EXPLAIN (ANALYZE, FORMAT JSON) EXECUTE measured(" + arguments + ")").c_str()));
        if (PQresultStatus(plan.get()) != PGRES_TUPLES_OK)
            continue;
        const std::string json = orvane::pg::TextAt(plan.get(), 0, 0);
        const std::string key = "\"Execution Time\": ";
        const size_t at = json.find(key);
        if (at != std::string::npos)
            times.push_back(std::stod(json.substr(at + key.size())) * 1000.0);
    }
    if (times.empty())
        return 0;
    std::ranges::nth_element(times, times.begin() + static_cast<long>(times.size() / 2));
    return times[times.size() / 2];
}

void Lookup_as_the_step_writes_it(benchmark::State& state) {
    const std::string uri = clock_database(state.range(0));
    orvane::EngineDatabase database;
    database.Open(uri);
    database.Execute(step_lookup(kFirstCard, 0))->Close();
    const std::string pid = other_backend(uri);
    const double before = pid.empty() ? 0 : backend_cpu_seconds(pid);
    int i = 0;
    for (auto _ : state) {
        auto rows = database.Execute(step_lookup(kFirstCard + i % kCards, i % 3600));
        benchmark::DoNotOptimize(rows->Fields("Punch Type")->Value());
        rows->Close();
        ++i;
    }
    count_server_cpu(state, pid, before);
    state.counters["server_exec_us"] = median_execution_us(
        uri, orvane::sql::Translate(step_lookup(kFirstCard, 0), orvane::sql::Target::Postgres).text,
        [](int n) {
            return orvane::sql::Translate(step_lookup(kFirstCard + n % kCards, n % 3600),
                                          orvane::sql::Target::Postgres)
                .parameters;
        });
}

// The best hand-written query: one probe of each moment index, the latest of the two.
void Lookup_hand_written(benchmark::State& state) {
    const std::string uri = clock_database(state.range(0));
    orvane::pg::Connection connection(uri);
    // Planned once, as the step's lookup is.
    connection.Exec("SET plan_cache_mode = force_generic_plan", "bench");
    const std::string pid = other_backend(uri);
    const double before = pid.empty() ? 0 : backend_cpu_seconds(pid);
    const std::string sql = R"sql(
        SELECT "Punch Type" FROM (
          (SELECT "Punch Type", "Date In"+"Time In" AS m FROM "Clock Data Table"
           WHERE "Card ID" = $1 AND "Date In"+"Time In" BETWEEN $2 AND $3
             AND "Punch Type" IN ('I','O','LI','LO','BI','BO')
           ORDER BY "Date In"+"Time In" DESC LIMIT 1)
          UNION ALL
          (SELECT "Punch Type", "Date Out"+"Time Out" FROM "Clock Data Table"
           WHERE "Card ID" = $1 AND "Date Out"+"Time Out" BETWEEN $2 AND $3 AND "Date In" IS NULL
             AND "Punch Type" IN ('I','O','LI','LO','BI','BO')
           ORDER BY "Date Out"+"Time Out" DESC LIMIT 1)) AS latest
        ORDER BY m DESC LIMIT 1)sql";
    int i = 0;
    for (auto _ : state) {
        const double now = kToday + (12 * 3600 + i % 3600) / 86400.0;
        auto result =
            connection.Run(sql,
                           {orvane::pg::Value::Int(kFirstCard + i % kCards),
                            orvane::pg::Value::Real(now - 18.0 / 24), orvane::pg::Value::Real(now)},
                           "bench");
        benchmark::DoNotOptimize(orvane::pg::TextAt(result.get(), 0, 0));
        ++i;
    }
    count_server_cpu(state, pid, before);
    state.counters["server_exec_us"] = median_execution_us(uri, sql, [](int n) {
        const double now = kToday + (12 * 3600 + n % 3600) / 86400.0;
        return std::vector<orvane::sql::Parameter>{int64_t{kFirstCard + n % kCards},
                                                   now - 18.0 / 24, now};
    });
}

// The floor: one round trip.
void Select_one(benchmark::State& state) {
    orvane::pg::Connection connection(server_uri());
    for (auto _ : state)
        benchmark::DoNotOptimize(connection.Run("SELECT 1", {}, "bench"));
}

// Four clocks, each punching its five employees in and out 250 times, into one database at
// once: punches per second, and whether every punch is on record exactly once.
void Four_clocks_250_punches(benchmark::State& state) {
    constexpr int kClocks = 4, kPunches = 250, kEmployees = 5;
    for (auto _ : state) {
        fresh_database("bench_clocks");
        const std::string uri = database_uri("bench_clocks");
        { const orvane::ClockDatabase tables(uri); }  // made before the clocks start
        const auto start = std::chrono::steady_clock::now();
        std::vector<std::thread> clocks;
        for (int c = 0; c < kClocks; ++c) {
            clocks.emplace_back([&, c] {
                orvane::ClockDatabase clock(uri);
                for (int i = 0; i < kPunches; ++i) {
                    const int n = i / kEmployees;
                    const bool in = n % 2 == 0;
                    auto record = std::make_shared<orvane::PunchRecord>("");
                    record->Item("Punch Type")->SetValue(platform::Variant(in ? "I" : "O"));
                    const platform::Date moment{kToday + (6 * 60 + 10 * n) / 1440.0};
                    record->Item(in ? "Date In" : "Date Out")
                        ->SetValue(platform::Variant(platform::Date{kToday}));
                    record->Item(in ? "Time In" : "Time Out")
                        ->SetValue(platform::Variant(platform::Date{moment.days - kToday}));
                    clock.StorePunch({2000 + 100 * c + i % kEmployees, record, {}, std::nullopt});
                }
            });
        }
        for (auto& clock : clocks)
            clock.join();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const auto rows = orvane::ClockDatabase(uri).Rows();
        int closed = 0;
        for (const auto& row : rows)
            closed += row.date_in && row.date_out ? 1 : 0;
        state.counters["punches_per_s"] = kClocks * kPunches / seconds;
        state.counters["rows"] = static_cast<double>(rows.size());
        // Every in and its out make one closed row: none lost, none twice.
        state.counters["all_paired"] =
            rows.size() == kClocks * kPunches / 2 && closed == static_cast<int>(rows.size()) ? 1
                                                                                             : 0;
    }
}

std::vector<int64_t> row_counts(int& argc, char** argv) {
    std::vector<int64_t> counts{10000, 100000, 1000000};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--rows=", 0) != 0)
            continue;
        counts.clear();
        for (size_t at = 7; at < arg.size();) {
            const size_t comma = arg.find(',', at);
            counts.push_back(std::stoll(arg.substr(at, comma - at)));
            at = comma == std::string::npos ? arg.size() : comma + 1;
        }
        for (int j = i; j + 1 < argc; ++j)
            argv[j] = argv[j + 1];
        --argc;
        break;
    }
    return counts;
}

}  // namespace

int main(int argc, char** argv) {
    if (server_uri().empty()) {
        std::fprintf(stderr, "bench_postgres: STAMPKIND_BENCH_POSTGRES names no server\n");
        return 2;
    }
    for (const int64_t rows : row_counts(argc, argv)) {
        benchmark::RegisterBenchmark("Lookup/as_the_step_writes_it", Lookup_as_the_step_writes_it)
            ->Arg(rows)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("Lookup/hand_written", Lookup_hand_written)
            ->Arg(rows)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark("Select_one", Select_one)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Four_clocks_250_punches", Four_clocks_250_punches)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
