// Times the hours calculation where people wait for it: one employee's "Employee Statistics" at
// the clock, and a week's timesheets for every employee; each beside a hand-written single query
// that sums the same worked time in SQLite.
//
//   bench_hours [--rows=1000000] [--rows=1000000,10000000] [google benchmark flags]
//
// The clock databases are made once in $STAMPKIND_BENCH_DIR (default /tmp/stampkind-bench) and
// reused by later runs.
#include <sqlite3.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "bench/RowsArgument.h"
#include "host/clock/EmployeeStatistics.h"
#include "host/database/ClockDatabase.h"
#include "host/hours/PayPeriod.h"
#include "host/hours/Timesheet.h"

namespace {

constexpr int kCards = 2000;
constexpr int kFirstCard = 1000;
const platform::Date kToday = *platform::make_date(2026, 12, 4);  // a Friday
const platform::Date kNow{kToday.days + 0.5};

std::filesystem::path bench_dir() {
    const char* dir = std::getenv("STAMPKIND_BENCH_DIR");
    return dir && *dir ? std::filesystem::path(dir) : std::filesystem::path("/tmp/stampkind-bench");
}

// A clock table of `rows` rows: every employee works 08:00 to 16:30 each day back from
// yesterday, with a break every fifth day, and has today's open work record.
std::filesystem::path clock_file(int64_t rows) {
    std::filesystem::create_directories(bench_dir());
    const auto file = bench_dir() / ("hours-" + std::to_string(rows) + ".db");
    if (std::filesystem::exists(file)) {
        const auto made = orvane::sqlite::Open(file, orvane::sqlite::OpenMode::Existing);
        sqlite3_stmt* count = nullptr;
        // The rows are numbered from 1 when the file is made: the last number is the count.
        sqlite3_prepare_v2(made.get(), R"(SELECT ifnull(max("ID"), 0) FROM "Clock Data Table")", -1,
                           &count, nullptr);
        const bool whole =
            sqlite3_step(count) == SQLITE_ROW && sqlite3_column_int64(count, 0) == rows;
        sqlite3_finalize(count);
        if (whole)
            return file;
    }
    for (const char* suffix : {"", "-wal", "-shm"})  // a file left half made by a stopped run
        std::filesystem::remove(file.string() + suffix);
    std::fprintf(stderr, "making %s ...\n", file.c_str());
    orvane::ClockDatabase clock(file);
    const auto connection = orvane::sqlite::Open(file, orvane::sqlite::OpenMode::Existing);
    sqlite3* db = connection.get();
    for (int card = kFirstCard; card < kFirstCard + kCards; ++card)
        clock.AddEmployee({card, "Employee " + std::to_string(card), false});
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, R"sql(INSERT INTO "Clock Data Table"
        ("Card ID", "Date In", "Time In", "Date Out", "Time Out", "Punch Type")
        VALUES (?, ?, ?, ?, ?, ?))sql",
                       -1, &insert, nullptr);
    const auto add = [&](int card, double day, double in, double out, const char* type) {
        sqlite3_bind_int(insert, 1, card);
        sqlite3_bind_double(insert, 2, day);
        sqlite3_bind_double(insert, 3, in / 24.0);
        if (out > 0) {
            sqlite3_bind_double(insert, 4, day);
            sqlite3_bind_double(insert, 5, out / 24.0);
        } else {
            sqlite3_bind_null(insert, 4);
            sqlite3_bind_null(insert, 5);
        }
        sqlite3_bind_text(insert, 6, type, -1, SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    };
    int64_t written = 0;
    for (int card = kFirstCard; card < kFirstCard + kCards; ++card, ++written)
        add(card, kToday.days, 8, 0, "I");
    for (int64_t i = 0; written < rows; ++i) {
        const int card = kFirstCard + static_cast<int>(i % kCards);
        const double day = kToday.days - 1 - static_cast<double>(i / kCards);
        add(card, day, 8, 16.5, "O");
        ++written;
        if (i % 5 == 0 && written < rows) {
            add(card, day, 12, 12.25, "BI");
            ++written;
        }
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT; ANALYZE", nullptr, nullptr, nullptr);
    return file;
}

void BM_Statistics(benchmark::State& state) {
    const orvane::ClockDatabase clock(clock_file(state.range(0)));
    int card = kFirstCard;
    for (auto _ : state) {
        benchmark::DoNotOptimize(timeclock::EmployeeStatistics::Compute(clock, card, kNow));
        card = card + 1 < kFirstCard + kCards ? card + 1 : kFirstCard;
    }
}

// This week's worked minutes of one card (closed work rows; the open one added by hand).
void BM_HandWrittenStatistics(benchmark::State& state) {
    const auto clock =
        orvane::sqlite::Open(clock_file(state.range(0)), orvane::sqlite::OpenMode::Existing);
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(clock.get(), R"sql(
        SELECT total(round((("Date Out"+"Time Out") - ("Date In"+"Time In")) * 1440))
        FROM "Clock Data Table" WHERE "Card ID" = ?1 AND "Punch Type" = 'O'
          AND ("Date In"+"Time In") BETWEEN ?2 AND ?3)sql",
                       -1, &query, nullptr);
    int card = kFirstCard;
    const double week_start =
        static_cast<double>(hours::WeekStart(static_cast<int64_t>(kToday.days), 0));
    for (auto _ : state) {
        sqlite3_bind_int(query, 1, card);
        sqlite3_bind_double(query, 2, week_start);
        sqlite3_bind_double(query, 3, kNow.days);
        sqlite3_step(query);
        benchmark::DoNotOptimize(sqlite3_column_double(query, 0));
        sqlite3_reset(query);
        card = card + 1 < kFirstCard + kCards ? card + 1 : kFirstCard;
    }
    sqlite3_finalize(query);
}

// Last week's timesheets (Saturday to Friday) of every employee, as JSON.
void BM_WeekReport(benchmark::State& state) {
    const orvane::ClockDatabase clock(clock_file(state.range(0)));
    const auto today = static_cast<int64_t>(kToday.days);
    for (auto _ : state) {
        const auto sheet = hours::Timesheet::Build(clock, today - 6, today, std::nullopt, {kNow});
        benchmark::DoNotOptimize(sheet.Json().dump());
    }
}

// Worked minutes per card and day of the same week, summed by SQLite.
void BM_HandWrittenWeek(benchmark::State& state) {
    const auto clock =
        orvane::sqlite::Open(clock_file(state.range(0)), orvane::sqlite::OpenMode::Existing);
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(clock.get(), R"sql(
        SELECT "Card ID", "Date In",
               total(round((("Date Out"+"Time Out") - ("Date In"+"Time In")) * 1440))
        FROM "Clock Data Table" WHERE "Punch Type" = 'O'
          AND ("Date In"+"Time In") BETWEEN ?1 AND ?2 GROUP BY "Card ID", "Date In")sql",
                       -1, &query, nullptr);
    for (auto _ : state) {
        sqlite3_bind_double(query, 1, kToday.days - 6);
        sqlite3_bind_double(query, 2, kToday.days + 1);
        std::map<std::pair<int, double>, double> minutes;
        while (sqlite3_step(query) == SQLITE_ROW) {
            minutes[{sqlite3_column_int(query, 0), sqlite3_column_double(query, 1)}] =
                sqlite3_column_double(query, 2);
        }
        benchmark::DoNotOptimize(minutes);
        sqlite3_reset(query);
    }
    sqlite3_finalize(query);
}

// The California rules with every punch rounded to the quarter hour, in two-week periods.
hours::PayRules CaliforniaRules() {
    hours::PayRules rules;
    rules.overtime = hours::kOvertimePresets[2].rules;
    for (auto& rule : rules.rounding.by_kind)
        rule = {15, hours::RoundDirection::Nearest, 5};
    rules.meal = hours::kCaliforniaMeal;
    rules.period = {hours::PeriodKind::Biweekly, static_cast<int64_t>(kToday.days) - 4};
    return rules;
}

// The last whole two-week pay period of every employee, as JSON: with the rules (argument 1:
// rounding, the California overtime and meal rules) or without them (0).
void BM_PeriodReport(benchmark::State& state) {
    const orvane::ClockDatabase clock(clock_file(state.range(0)));
    const hours::PayRules rules = state.range(1) ? CaliforniaRules() : hours::PayRules{};
    const auto period = hours::PreviousPeriod(
        hours::PeriodHolding(static_cast<int64_t>(kToday.days), CaliforniaRules()),
        CaliforniaRules());
    for (auto _ : state) {
        const auto sheet =
            hours::Timesheet::Build(clock, period.first, period.last, std::nullopt, {kNow}, rules);
        benchmark::DoNotOptimize(sheet.Json().dump());
    }
}

// What the clock shows after a punch under the rules: `EmployeeStatistics` of one card, which
// reads the card's pay period (and the week before it for the weekly rule), counts it, rounds it
// and splits it into regular time, overtime and double time.
void BM_StatisticsWithPayRules(benchmark::State& state) {
    const orvane::ClockDatabase clock(clock_file(state.range(0)));
    const hours::PayRules rules = CaliforniaRules();
    int card = kFirstCard;
    for (auto _ : state) {
        benchmark::DoNotOptimize(timeclock::EmployeeStatistics::Compute(clock, card, kNow, rules));
        card = card + 1 < kFirstCard + kCards ? card + 1 : kFirstCard;
    }
}

}  // namespace

int main(int argc, char** argv) {
    for (const int64_t rows : RowsArgument(argc, argv, {1'000'000})) {
        benchmark::RegisterBenchmark("Statistics/one_employee", BM_Statistics)
            ->Arg(rows)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("HandWritten/one_employee", BM_HandWrittenStatistics)
            ->Arg(rows)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("Report/week_all_employees", BM_WeekReport)
            ->Arg(rows)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("HandWritten/week_all_employees", BM_HandWrittenWeek)
            ->Arg(rows)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("Statistics/one_employee_pay_rules", BM_StatisticsWithPayRules)
            ->Arg(rows)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("Report/period_all_employees", BM_PeriodReport)
            ->ArgNames({"rows", "pay_rules"})
            ->Args({rows, 0})
            ->Args({rows, 1})
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
