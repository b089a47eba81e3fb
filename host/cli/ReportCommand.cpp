#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/clock/Configuration.h"
#include "host/database/ClockDatabase.h"
#include "host/database/ConnectionText.h"
#include "host/hours/PayPeriod.h"
#include "host/hours/Timesheet.h"

namespace timeclock {

namespace {

// A range longer than this is most likely a typing error, and a slow one; --force runs it.
constexpr int64_t kLongestRangeDays = 366;

struct ReportOptions {
    std::string database;
    std::string config;
    std::string from;
    std::string to;
    std::string period;
    std::optional<int32_t> card;
    std::string format = "table";
    bool force = false;
    bool explain = false;
    std::string date;
    std::string now;
};

// Prints how one employee's day is paid: its punches raw and rounded, the rules that moved
// them, and why each hour is paid as it is.
bool Explain(const orvane::ClockDatabase& database, const ReportOptions& options,
             const hours::HoursRules& rules, const hours::PayRules& pay_rules) {
    const auto day = DayNumber(options.date);
    if (!options.card || !day) {
        std::cerr << "timeclock report: --explain takes --card N and --date YYYY-MM-DD\n";
        return false;
    }
    const int64_t first = hours::WeekStart(*day, pay_rules.week_starts) - 1;
    const auto rows = database.RowsBetween(options.card, platform::Date{static_cast<double>(first)},
                                           platform::Date{static_cast<double>(*day + 2)});
    const auto pay =
        hours::PayCalculation::Calculate(hours::Timecard::Calculate(rows, rules), pay_rules);
    const hours::PayDay paid = pay.Day(*day);
    const auto lines = pay.Explain(*day);
    if (options.format == "json") {
        nlohmann::ordered_json out = {{"card", *options.card},
                                      {"date", hours::DayText(*day)},
                                      {"worked", hours::DecimalHours(paid.worked)},
                                      {"regular", hours::DecimalHours(paid.regular)},
                                      {"overtime", hours::DecimalHours(paid.overtime)},
                                      {"double_time", hours::DecimalHours(paid.double_time)},
                                      {"explain", lines}};
        std::cout << JsonText(out, 2) << '\n';
    } else {
        std::cout << "Card " << *options.card << "  " << hours::DayText(*day) << '\n';
        for (const auto& line : lines)
            std::cout << "  " << line << '\n';
    }
    return true;
}

// Prints the timesheet; false with a message on standard error when the command line asks for
// something that cannot be given.
bool RunReport(const ReportOptions& options) {
    const bool range = !options.from.empty() || !options.to.empty();
    if (!options.explain && range == !options.period.empty()) {
        std::cerr << "timeclock report: give either --from and --to or --period\n";
        return false;
    }
    // A server says itself when its database is missing; a file is looked for here.
    if (orvane::EngineOf(options.database) == orvane::Engine::Sqlite &&
        !std::filesystem::exists(options.database)) {
        std::cerr << "timeclock report: there is no clock database " << options.database << '\n';
        return false;
    }
    // Hours are counted and paid as the clock's configuration says: an open record up to its
    // longest shift, by its pay rules. A configuration that cannot be read stops the report:
    // pay is never worked out under rules other than those written.
    const auto moment = MomentAsked(options.now, "report");
    if (!moment)
        return false;
    const auto config = Configuration::Load(ConfigFileOrDefault(options.config));
    const hours::HoursRules rules{*moment, static_cast<double>(config.max_shift_hours)};
    hours::PayRules pay_rules = config.pay_rules;
    pay_rules.week_starts = config.week_starts;
    const orvane::ClockDatabase database(options.database);
    if (options.explain)
        return Explain(database, options, rules, pay_rules);

    std::optional<int64_t> from = DayNumber(options.from);
    std::optional<int64_t> to = DayNumber(options.to);
    if (!options.period.empty()) {
        const auto period = PeriodNamed(options.period, pay_rules, *moment);
        if (!period) {
            std::cerr << "timeclock report: --period takes current, previous or a day as "
                         "YYYY-MM-DD\n";
            return false;
        }
        from = period->first;
        to = period->last;
    } else if (!from || !to) {
        std::cerr << "timeclock report: --from and --to take a day as YYYY-MM-DD\n";
        return false;
    }
    if (*from > *to) {
        std::cerr << "timeclock report: the range " << options.from << " to " << options.to
                  << " is empty: --from is after --to\n";
        return false;
    }
    if (*to - *from + 1 > kLongestRangeDays && !options.force) {
        std::cerr << "timeclock report: the range is longer than a year; add --force to run it\n";
        return false;
    }
    if (options.card && !database.FindEmployee(*options.card) &&
        database.Rows(*options.card).empty()) {
        std::cerr << "timeclock report: card " << *options.card
                  << " is not an employee and has no records\n";
        return false;
    }
    const auto sheet =
        hours::Timesheet::Build(database, *from, *to, options.card, rules, pay_rules);
    if (sheet.employees.empty()) {
        std::cerr << "timeclock report: there are no records from " << hours::DayText(*from)
                  << " to " << hours::DayText(*to) << '\n';
        return false;
    }
    if (options.format == "csv")
        std::cout << sheet.Csv();
    else if (options.format == "json")
        std::cout << JsonText(sheet.Json(), 2) << '\n';
    else
        std::cout << sheet.Table();
    return true;
}

}  // namespace

void AddReportCommand(CLI::App& app, int& exit_status) {
    auto options = std::make_shared<ReportOptions>();
    auto* command = app.add_subcommand(
        "report", "Timesheets for payroll: worked time, lunch, breaks, leave and dollars by day");
    command->add_option("--db", options->database, "The clock database file")->required();
    command->add_option("--config", options->config,
                        "The configuration file whose reset span ends an open work record and "
                        "whose pay_rules apply (default: the clock's own)");
    command->add_option("--from", options->from, "The first day, YYYY-MM-DD");
    command->add_option("--to", options->to, "The last day, YYYY-MM-DD");
    command->add_option("--period", options->period,
                        "The pay period instead of --from and --to: current, previous, or the "
                        "one that holds a day YYYY-MM-DD");
    command->add_flag("--explain", options->explain,
                      "How one employee's day is paid (with --card and --date): raw and rounded "
                      "punches, the rules that moved them, and each hour's rate");
    command->add_option("--date", options->date, "The day that --explain shows, YYYY-MM-DD");
    command->add_option("--card", options->card, "Only this employee's card")
        ->check(CLI::Range(0, 999999999));
    command->add_option("--format", options->format, "table (default), csv or json")
        ->check(CLI::IsMember({"table", "csv", "json"}));
    command->add_flag("--force", options->force, "Run a range of more than a year");
    AddNowOption(*command, options->now);
    command->callback([options, &exit_status] {
        try {
            exit_status = RunReport(*options) ? kExitOk : kExitUsage;
        } catch (const platform::RaisedError& error) {
            PrintError(error);
            exit_status = kExitError;
        }
    });
}

}  // namespace timeclock
