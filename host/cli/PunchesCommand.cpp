#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/cli/CorrectionJson.h"
#include "host/clock/Configuration.h"
#include "host/database/ClockDatabase.h"
#include "host/database/ConnectionText.h"
#include "host/database/DatabaseError.h"
#include "host/hours/Audit.h"

namespace timeclock {

namespace {

using nlohmann::ordered_json;

struct PunchesOptions {
    std::string database;
    std::string config;
    std::optional<int32_t> card;
    std::optional<int64_t> id;
    std::string from, to, format = "table";
    std::string type, at, out_at, reason;
    // Leave over several days, booked by `punches add` instead of a punch.
    std::string leave;
    std::optional<double> hours;
    bool weekdays = false;
};

// A file is looked for here; a server says itself when its database is missing.
bool DatabaseExists(const std::string& name, std::string_view command) {
    if (orvane::EngineOf(name) == orvane::Engine::Sqlite && !std::filesystem::exists(name)) {
        std::cerr << "timeclock " << command << ": there is no clock database " << name << '\n';
        return false;
    }
    return true;
}

std::optional<platform::Date> MomentOption(const std::string& text, std::string_view option,
                                           std::string_view command) {
    const auto moment = ParseMoment(text.size() == 16 ? text + ":00" : text);
    if (!moment) {
        std::cerr << "timeclock punches " << command << ": " << option
                  << " takes a moment as \"YYYY-MM-DD HH:MM\"\n";
    }
    return moment;
}

bool RunList(const PunchesOptions& options) {
    std::optional<platform::Date> from, to;
    if ((!options.from.empty() && !(from = ParseDay(options.from))) ||
        (!options.to.empty() && !(to = ParseDay(options.to)))) {
        std::cerr << "timeclock punches list: --from and --to take a day as YYYY-MM-DD\n";
        return false;
    }
    if (options.format != "table" && options.format != "json") {
        std::cerr << "timeclock punches list: --format is table or json\n";
        return false;
    }
    if (!DatabaseExists(options.database, "punches list"))
        return false;
    const orvane::ClockDatabase database(options.database);
    const auto corrections = database.Corrections(options.card);
    const auto punches = hours::CorrectedPunches(database, options.card, from, to);
    if (options.format == "json") {
        ordered_json list = ordered_json::array();
        for (const auto& punch : punches)
            list.push_back(CorrectedPunchToJson(punch));
        std::cout << JsonText(list, 2) << '\n';
        return true;
    }
    std::cout << hours::CorrectedPunchesTable(punches);
    return true;
}

// An addition is a punch (--type and --at) or leave over several days (--leave, --hours,
// --from and --to, with --weekdays when only Monday to Friday are booked).
bool ValidAddition(const PunchesOptions& options) {
    const auto refuse = [](std::string_view why) {
        std::cerr << "timeclock punches add: " << why << '\n';
        return false;
    };
    if (options.leave.empty()) {
        if (options.type.empty() || options.at.empty())
            return refuse(
                "a punch needs --type and --at; leave needs --leave, --hours, --from "
                "and --to");
        if (options.hours || options.weekdays || !options.from.empty() || !options.to.empty())
            return refuse("--hours, --from, --to and --weekdays go with --leave");
        return true;
    }
    if (!options.type.empty() || !options.at.empty())
        return refuse("--leave books leave: it takes no --type or --at");
    if (!options.hours)
        return refuse("--leave needs --hours, the hours of each day");
    if (!ParseDay(options.from) || !ParseDay(options.to))
        return refuse("--leave needs --from and --to, each a day as YYYY-MM-DD");
    return true;
}

bool RunCorrection(const PunchesOptions& options, std::string_view command) {
    if (options.reason.find_first_not_of(" \t") == std::string::npos) {
        std::cerr << "timeclock punches " << command << ": a correction needs --reason\n";
        return false;
    }
    if (command == "add" && !ValidAddition(options))
        return false;
    std::optional<platform::Date> at, out_at;
    if (!options.at.empty() && !(at = MomentOption(options.at, "--at", command)))
        return false;
    if (!options.out_at.empty() && !(out_at = MomentOption(options.out_at, "--out-at", command)))
        return false;
    if (!DatabaseExists(options.database, "punches"))
        return false;
    const auto config = Configuration::Load(ConfigFileOrDefault(options.config));
    orvane::ClockDatabase database(options.database);
    const orvane::Corrector by{CommandUser(), platform::services().Now(), config.ClockName(),
                               options.reason};
    try {
        if (command == "add" && !options.leave.empty()) {
            const orvane::LeaveBooking leave{*options.card,         options.leave,
                                             *options.hours,        *ParseDay(options.from),
                                             *ParseDay(options.to), options.weekdays};
            ordered_json booked = ordered_json::array();
            for (const auto& correction : database.AddLeave(leave, by))
                booked.push_back(CorrectionToJson(correction));
            std::cout << booked.dump(2) << '\n';
            return true;
        }
        orvane::Correction correction;
        if (command == "add") {
            correction = database.AddPunch(*options.card, options.type, *at,
                                           static_cast<double>(config.max_shift_hours), by);
        } else if (command == "edit") {
            correction = database.EditPunch(
                *options.id, at, out_at,
                options.type.empty() ? std::nullopt : std::optional(options.type), by);
        } else {
            correction = database.VoidPunch(*options.id, by);
        }
        std::cout << JsonText(CorrectionToJson(correction), 2) << '\n';
        return true;
    } catch (const platform::RaisedError& error) {
        // A refusal (no such punch, an approved week, a change that makes no punch) is said to
        // the person; any other failure of the database goes on as an error.
        if (error.number() != orvane::dberr::kItemNotFound &&
            error.number() != orvane::dberr::kApprovedWeek &&
            error.number() != platform::err::kInvalidProcedureCall)
            throw;
        std::cerr << "timeclock punches " << command << ": " << error.description() << '\n';
        return false;
    }
}

}  // namespace

void AddPunchesCommand(CLI::App& app, int& exit_status) {
    auto* punches = app.add_subcommand(
        "punches", "Lists the punches and corrects them: add, edit or void, with a reason");
    punches->require_subcommand(1);
    const auto add = [&](std::string_view name, std::string_view help,
                         std::function<bool(const PunchesOptions&)> run) {
        auto options = std::make_shared<PunchesOptions>();
        auto* command = punches->add_subcommand(std::string(name), std::string(help));
        command->add_option("--db", options->database, "The clock database file")->required();
        command->callback([options, run, &exit_status] {
            try {
                exit_status = run(*options) ? kExitOk : kExitUsage;
            } catch (const platform::RaisedError& error) {
                PrintError(error);
                exit_status = kExitError;
            }
        });
        return std::pair{command, options};
    };

    {
        auto [command, options] =
            add("list", "Lists the punches, as corrected, with the voided ones", RunList);
        command->add_option("--card", options->card, "Only this employee's punches");
        command->add_option("--from", options->from, "The first day, YYYY-MM-DD");
        command->add_option("--to", options->to, "The last day, YYYY-MM-DD");
        command->add_option("--format", options->format, "table or json");
    }
    const auto correction_options = [](CLI::App* command, PunchesOptions& options) {
        command->add_option("--reason", options.reason, "Why the punch is corrected")->required();
        command->add_option("--config", options.config,
                            "The configuration file: the clock's name and its longest shift");
    };
    {
        auto [command, options] =
            add("add", "Adds a missing punch, or leave over several days",
                [](const PunchesOptions& o) { return RunCorrection(o, "add"); });
        command->add_option("--card", options->card, "The employee's card")->required();
        command->add_option("--type", options->type, "The punch code: I, O, LO, LI, BO or BI");
        command->add_option("--at", options->at, "The punch's moment, \"YYYY-MM-DD HH:MM\"");
        command->add_option("--leave", options->leave,
                            "Books leave instead: the code H, S, V, P, FL, JD or B");
        command->add_option("--hours", options->hours, "The leave's hours on each day");
        command->add_option("--from", options->from, "The leave's first day, YYYY-MM-DD");
        command->add_option("--to", options->to, "The leave's last day, YYYY-MM-DD");
        command->add_flag("--weekdays", options->weekdays, "Books leave only Monday to Friday");
        correction_options(command, *options);
    }
    {
        auto [command, options] =
            add("edit", "Changes a punch's moment or type",
                [](const PunchesOptions& o) { return RunCorrection(o, "edit"); });
        command->add_option("--id", options->id, "The punch's id")->required();
        command->add_option("--at", options->at,
                            "The new moment (its in, or its out when it has no in)");
        command->add_option("--out-at", options->out_at, "The new moment of its out");
        command->add_option("--type", options->type, "The new punch code");
        correction_options(command, *options);
    }
    {
        auto [command, options] =
            add("void", "Voids a punch: it counts nowhere but stays listed",
                [](const PunchesOptions& o) { return RunCorrection(o, "void"); });
        command->add_option("--id", options->id, "The punch's id")->required();
        correction_options(command, *options);
    }
}

}  // namespace timeclock
