#include <filesystem>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>

#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/clock/Configuration.h"
#include "host/database/ClockDatabase.h"
#include "host/database/ConnectionText.h"
#include "host/punches/Reading.h"
#include "platform/Services.h"

namespace timeclock {

namespace {

struct ExceptionsOptions {
    std::string database;
    std::string config;
    std::string now;
    std::string from;
    std::string to;
    std::optional<int32_t> card;
    std::string format = "table";
};

// What a manager does to clear each kind of exception: every fix is a correction of the records.
std::string_view FixOf(punches::ExceptionKind kind) {
    using punches::ExceptionKind;
    switch (kind) {
        case ExceptionKind::MissingOut:
            return "add the OUT at the end of this shift, or void the IN";
        case ExceptionKind::MissingIn:
            return "add the IN at the start of this shift, or void the OUT";
        case ExceptionKind::Overlap:
            return "correct the times of one record, or void it";
        case ExceptionKind::LongShift:
            return "correct the record's times, or void it";
        case ExceptionKind::ReturnWithoutLeave:
            return "add the leave before the return, or void the return";
        case ExceptionKind::ManagerSelf:
            return "have another manager review the entry; void it if it is wrong";
        case ExceptionKind::Future:
            return "correct the record's date, or void it";
        case ExceptionKind::OutBeforeIn:
            return "correct the record's times, or void it";
        case ExceptionKind::UnknownType:
            return "correct the record's punch type, or void it";
    }
    return {};
}

struct Listed {
    int32_t card = 0;
    std::string name;
    std::string date;
    punches::Exception exception;
};

constexpr punches::Minutes kMinutesPerDay = 24 * 60;

std::string DayText(punches::Minutes at) {
    return DateToJsonText(platform::Date{static_cast<double>(at / kMinutesPerDay)}).substr(0, 10);
}

// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + '"';
}

bool RunExceptions(const ExceptionsOptions& options) {
    std::optional<platform::Date> from, to;
    if (!options.from.empty() && !(from = ParseDay(options.from))) {
        std::cerr << "timeclock exceptions: --from takes a day as YYYY-MM-DD\n";
        return false;
    }
    if (!options.to.empty() && !(to = ParseDay(options.to))) {
        std::cerr << "timeclock exceptions: --to takes a day as YYYY-MM-DD\n";
        return false;
    }
    if (from && to && to->days < from->days) {
        std::cerr << "timeclock exceptions: --to is before --from\n";
        return false;
    }
    const auto moment =
        options.now.empty() ? std::optional(platform::services().Now()) : ParseMoment(options.now);
    if (!moment) {
        std::cerr << "timeclock exceptions: --now takes a moment as \"YYYY-MM-DD HH:MM:SS\"\n";
        return false;
    }
    if (orvane::EngineOf(options.database) == orvane::Engine::Sqlite &&
        !std::filesystem::exists(options.database)) {
        std::cerr << "timeclock exceptions: there is no clock database " << options.database
                  << '\n';
        return false;
    }
    const auto config = Configuration::Load(ConfigFileOrDefault(options.config));
    const punches::ShiftRules rules{static_cast<double>(config.max_shift_hours)};
    const orvane::ClockDatabase database(options.database);
    const platform::Date now = *moment;

    // The records of the range and of the longest shift on either side, so that a shift over
    // the range's edge is read whole; only the exceptions within the range are listed.
    const double margin = rules.max_shift_hours / 24.0 + 1;
    const auto rows =
        from || to
            ? database.RowsBetween(options.card, platform::Date{(from ? from->days : 0.0) - margin},
                                   platform::Date{(to ? to->days + 1 : now.days) + margin})
            : database.Rows(options.card);
    std::map<int32_t, std::vector<orvane::ClockDatabase::Row>> by_card;
    for (const auto& row : rows)
        by_card[row.card].push_back(row);
    std::unordered_map<int64_t, int32_t> entered_by;
    for (const auto& entered : database.ManagerEntries())
        entered_by[entered.record_id] = entered.entry.manager_card;
    std::map<int32_t, std::string> names;
    for (const auto& employee : database.Employees())
        names[employee.card] = employee.name;

    const auto first = from ? std::optional(punches::ToMinutes(*from)) : std::nullopt;
    const auto last = to ? std::optional(punches::ToMinutes(*to) + kMinutesPerDay) : std::nullopt;
    std::vector<Listed> listed;
    for (auto& [card, card_rows] : by_card) {
        // Rows of another card are read in the range: only the card asked for is listed.
        if (options.card && card != *options.card)
            continue;
        for (auto& exception : punches::ExceptionsOf(card_rows, now, rules, entered_by)) {
            if ((first && exception.at < *first) || (last && exception.at >= *last))
                continue;
            listed.push_back({card, names[card], DayText(exception.at), std::move(exception)});
        }
    }

    if (options.format == "json") {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const auto& item : listed) {
            list.push_back({{"card", item.card},
                            {"name", item.name},
                            {"date", item.date},
                            {"kind", punches::NameOf(item.exception.kind)},
                            {"detail", item.exception.detail},
                            {"fix", FixOf(item.exception.kind)},
                            {"record", item.exception.record_id}});
        }
        std::cout << JsonText(list, 2) << '\n';
        return true;
    }
    if (options.format == "csv") {
        std::cout << "card,name,date,kind,detail,fix,record\n";
        for (const auto& item : listed) {
            std::cout << item.card << ',' << CsvField(item.name) << ',' << item.date << ','
                      << punches::NameOf(item.exception.kind) << ','
                      << CsvField(item.exception.detail) << ','
                      << CsvField(std::string(FixOf(item.exception.kind))) << ','
                      << item.exception.record_id << '\n';
        }
        return true;
    }
    if (listed.empty()) {
        std::cout << "No exceptions.\n";
        return true;
    }
    for (const auto& item : listed) {
        std::cout << std::left << std::setw(10) << item.card << std::setw(28) << item.name
                  << item.date << "  " << item.exception.detail
                  << "\n    fix: " << FixOf(item.exception.kind) << " (record "
                  << item.exception.record_id << ")\n";
    }
    return true;
}

}  // namespace

void AddExceptionsCommand(CLI::App& app, int& exit_status) {
    auto options = std::make_shared<ExceptionsOptions>();
    auto* command = app.add_subcommand(
        "exceptions", "Lists the records a manager must fix, each with the fix it needs");
    command->add_option("--db", options->database, "The clock database file")->required();
    command->add_option("--config", options->config,
                        "The configuration file whose \"max_shift_hours\" bounds a shift");
    command->add_option("--from", options->from, "The first day, YYYY-MM-DD");
    command->add_option("--to", options->to, "The last day, YYYY-MM-DD");
    command->add_option("--card", options->card, "Only this employee's card")
        ->check(CLI::Range(0, 999999999));
    command->add_option(
        "--now", options->now,
        "Reads the records as at this moment, \"YYYY-MM-DD HH:MM:SS\" (default: now)");
    command->add_option("--format", options->format, "table (default), csv or json")
        ->check(CLI::IsMember({"table", "csv", "json"}));
    command->callback([options, &exit_status] {
        try {
            exit_status = RunExceptions(*options) ? kExitOk : kExitUsage;
        } catch (const platform::RaisedError& error) {
            PrintError(error);
            exit_status = kExitError;
        }
    });
}

}  // namespace timeclock
