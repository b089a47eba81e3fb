// Times the automatic punch (clsStep::Skip looking up the employee's last punch through the
// framework's global database) on clock tables of growing size, beside the best hand-written
// query for the same answer (the latest punch that is not voided), prepared once and reused.
//
//   bench_auto_punch [--rows=10000,100000,1000000] [google benchmark flags]
//
// The clock databases are made once in $STAMPKIND_BENCH_DIR (default /tmp/stampkind-bench) and
// reused by later runs.
#include <malloc.h>
#include <sqlite3.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "bench/RowsArgument.h"
#include "host/database/ClockDatabase.h"
#include "host/database/QueryDatabase.h"
#include "host/framework/Global.h"
#include "host/framework/StepSequence.h"
#include "platform/FakeServices.h"
#include "step/clsStep.h"

namespace {

constexpr int kCards = 200;
constexpr int kFirstCard = 1000;
// The present moment of every lookup starts here and moves on one second per lookup, within an
// hour, so that every lookup's text differs while the answers stay the same.
const platform::Date kToday = *platform::make_date(2026, 12, 4);
const platform::Date kNoon = *platform::make_date_time({2026, 12, 4, 12, 7, 59});
constexpr int kSecondsCycle = 3600;

std::filesystem::path bench_dir() {
    const char* dir = std::getenv("STAMPKIND_BENCH_DIR");
    return dir && *dir ? std::filesystem::path(dir) : std::filesystem::path("/tmp/stampkind-bench");
}

int64_t count_rows(sqlite3* db) {
    sqlite3_stmt* statement = nullptr;
    // The rows are numbered from 1 when the table is made: the last number is the count.
    sqlite3_prepare_v2(db, R"(SELECT ifnull(max("ID"), 0) FROM "Clock Data Table")", -1, &statement,
                       nullptr);
    int64_t count = -1;
    if (sqlite3_step(statement) == SQLITE_ROW)
        count = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return count;
}

// A clock table of `rows` rows: each of kCards employees with a history of full days (in 08:00,
// out 16:30, "O"), some holidays, and today's open work record; a third of them are on a break.
std::filesystem::path clock_file(int64_t rows) {
    std::filesystem::create_directories(bench_dir());
    const auto file = bench_dir() / ("clock-" + std::to_string(rows) + ".db");
    const orvane::ClockDatabase clock(file);  // makes the tables
    const auto connection = orvane::sqlite::Open(file, orvane::sqlite::OpenMode::Existing);
    sqlite3* db = connection.get();
    if (count_rows(db) == rows)
        return file;

    std::fprintf(stderr, "making %s ...\n", file.c_str());
    sqlite3_exec(db, R"(DELETE FROM "Clock Data Table"; BEGIN)", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, R"sql(INSERT INTO "Clock Data Table"
        ("Card ID", "Date In", "Time In", "Date Out", "Time Out", "Punch Type", "Holiday")
        VALUES (?, ?, ?, ?, ?, ?, ?))sql",
                       -1, &insert, nullptr);
    const double eight = platform::make_time(8, 0, 0)->days;
    const double half_past_four = platform::make_time(16, 30, 0)->days;
    const double ten = platform::make_time(10, 0, 0)->days;
    const auto add = [&](int card, double date_in, double time_in, double date_out, double time_out,
                         const char* type, double holiday) {
        sqlite3_bind_int(insert, 1, card);
        sqlite3_bind_double(insert, 2, date_in);
        sqlite3_bind_double(insert, 3, time_in);
        if (date_out >= 0) {
            sqlite3_bind_double(insert, 4, date_out);
            sqlite3_bind_double(insert, 5, time_out);
        } else {
            sqlite3_bind_null(insert, 4);
            sqlite3_bind_null(insert, 5);
        }
        sqlite3_bind_text(insert, 6, type, -1, SQLITE_STATIC);
        sqlite3_bind_double(insert, 7, holiday);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    };
    int64_t written = 0;
    for (int card = kFirstCard; card < kFirstCard + kCards; ++card) {
        add(card, kToday.days, eight, -1, 0, "I", 0);
        ++written;
        if (card % 3 == 0) {
            add(card, kToday.days, ten, -1, 0, "BO", 0);
            ++written;
        }
    }
    // History, newest first, spread evenly over the employees.
    for (int64_t i = 0; written < rows; ++i, ++written) {
        const int card = kFirstCard + static_cast<int>(i % kCards);
        const double day = kToday.days - 1 - static_cast<double>(i / kCards);
        if (i % 97 == 0) {
            add(card, day, eight, -1, 0, "H", 8);
        } else {
            add(card, day, eight, day, half_past_four, "O", 0);
        }
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT; ANALYZE", nullptr, nullptr, nullptr);
    return file;
}

// The services for the benchmarks: a clock the benchmark sets, no message boxes expected.
platform::FakeServices& services() {
    static platform::FakeServices fake{kNoon};
    return fake;
}

platform::Date moment_of(int64_t iteration) {
    return platform::Date{kNoon.days + static_cast<double>(iteration % kSecondsCycle) / 86400.0};
}

// The lookup through Skip. With `open_by_host` the host opened the database once and the
// lookup leaves it open (the statement is prepared once); otherwise every lookup opens the file,
// prepares its statement and closes the file again.
void skip_automatic_punch(benchmark::State& state, bool open_by_host) {
    const auto file = clock_file(state.range(0));
    platform::ServicesScope scope(services());
    auto database = std::make_shared<orvane::SqliteDatabase>();
    database->SetConnectString("sqlite:" + file.string());
    if (open_by_host)
        database->Open(database->ConnectString());
    orvane::GlobalDatabaseScope installed(database);

    auto step = std::make_shared<stampkind::clsStep>();
    step->InitProperties();
    step->Properties()->Item(platform::Variant("IsGlidepass"))->SetValue(platform::Variant(true));
    std::vector<std::shared_ptr<orvane::StepSequence>> sequences;
    for (int card = kFirstCard; card < kFirstCard + kCards; ++card) {
        auto steps = std::make_shared<orvane::StepSequence>();
        steps->Append("Employee ID", orvane::MakeValueStep("Employee ID", platform::Variant(card)));
        sequences.push_back(std::move(steps));
    }

    int64_t i = 0;
    for (auto _ : state) {
        services().now = moment_of(i);
        benchmark::DoNotOptimize(step->Skip(sequences[static_cast<size_t>(i % kCards)]));
        ++i;
    }
    if (!services().messages.empty())
        state.SkipWithError(services().messages.front().c_str());
    if (step->Value().to_text() != "O" && step->Value().to_text() != "BI") {
        state.SkipWithError("the lookup gave a wrong punch");
    }
}

void BM_SkipAutomaticPunch(benchmark::State& state) {
    skip_automatic_punch(state, true);
}
void BM_SkipClosedDatabase(benchmark::State& state) {
    skip_automatic_punch(state, false);
}

void BM_HandWrittenQuery(benchmark::State& state) {
    const auto file = clock_file(state.range(0));
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v3(db, R"sql(
        SELECT "Punch Type" FROM "Clock Data Table"
        WHERE "Card ID" = ?1
          AND (("Date In"+"Time In") BETWEEN ?2 AND ?3 OR ("Date Out"+"Time Out") BETWEEN ?2 AND ?3)
          AND "Punch Type" IN ('I','O','LI','LO','BI','BO')
          AND NOT EXISTS (SELECT 1 FROM "Punch Corrections" v
              WHERE v."Record ID" = "Clock Data Table"."ID" AND v."Action" = 'void')
        ORDER BY iif("Date In" IS NULL, "Date Out"+"Time Out", "Date In"+"Time In") DESC
        LIMIT 1)sql",
                       -1, SQLITE_PREPARE_PERSISTENT, &query, nullptr);
    static constexpr std::string_view kNext[][2] = {{"I", "O"},   {"O", "I"},  {"LI", "O"},
                                                    {"LO", "LI"}, {"BI", "O"}, {"BO", "BI"}};
    std::string next;
    int64_t i = 0;
    for (auto _ : state) {
        const platform::Date now = moment_of(i);
        sqlite3_bind_int(query, 1, kFirstCard + static_cast<int>(i % kCards));
        sqlite3_bind_double(query, 2, now.days - 18.0 / 24.0);
        sqlite3_bind_double(query, 3, now.days);
        next = "I";
        if (sqlite3_step(query) == SQLITE_ROW) {
            const std::string_view last =
                reinterpret_cast<const char*>(sqlite3_column_text(query, 0));
            for (const auto& row : kNext) {
                if (row[0] == last)
                    next = row[1];
            }
        }
        sqlite3_reset(query);
        benchmark::DoNotOptimize(next);
        ++i;
    }
    sqlite3_finalize(query);
    sqlite3_close(db);
}

}  // namespace

int main(int argc, char** argv) {
    // The allocator is held in one steady state for every benchmark: left to itself it moves its
    // mmap and trim thresholds as the process ages, and a lookup then pays for returning and
    // faulting back the same memory on one run and not on the next, which drowns the database
    // work being measured (it struck the hand-written query as much as the lookup).
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
    const auto sizes = RowsArgument(argc, argv, {10'000, 100'000, 1'000'000});
    for (const int64_t rows : sizes) {
        benchmark::RegisterBenchmark("Skip/automatic_punch", BM_SkipAutomaticPunch)
            ->Arg(rows)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true);
        benchmark::RegisterBenchmark("Skip/closed_database", BM_SkipClosedDatabase)
            ->Arg(rows)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true);
        benchmark::RegisterBenchmark("HandWritten/prepared_query", BM_HandWrittenQuery)
            ->Arg(rows)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
