#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>

#include "framework/Factories.h"
#include "framework/IPunchValues.h"
#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/clock/Clock.h"
#include "host/clock/Configuration.h"
#include "host/clock/KeyScript.h"
#include "host/clock/ScriptedServices.h"
#include "host/framework/RecordingDisplay.h"

namespace timeclock {

namespace {

using nlohmann::ordered_json;

struct PunchOptions {
    std::string database;
    std::string config;
    std::optional<std::string> card;
    bool manager = false;
    std::optional<int32_t> manager_card;
    bool statistics = false;
    std::string now;
    bool no_pause = false;
    std::string keys;
};

ordered_json RecordToJson(const orvane::PunchRecord& record) {
    ordered_json fields = ordered_json::object();
    for (const auto& [field, value] : record.writes())
        fields[field] = ToJson(value);
    ordered_json json;
    json["name"] = record.Name();
    json["fields"] = std::move(fields);
    return json;
}

// A card typed beyond the range of card numbers ends the punch before it begins, in words a
// person can act on. Any other card goes to the step as typed: its own conversion decides.
void CheckCardRange(const std::string& card) {
    try {
        (void)platform::Variant(card).to_int32();
    } catch (const platform::RaisedError& error) {
        if (error.number() != platform::err::kOverflow)
            return;
        platform::raise(platform::err::kOverflow,
                        "Overflow: card " + card +
                            " is outside the range of card numbers, -2147483648 to 2147483647.");
    }
}

// The login of the user who runs the command, whom a manager entry without a manager card is
// recorded under.
std::string OsUser() {
    if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name)
        return entry->pw_name;
    const char* user = std::getenv("USER");
    return user && *user ? user : "uid " + std::to_string(geteuid());
}

// The manager an entry is recorded under: the manager card given (its name when the
// "Employees" table knows it), else the operating system's user.
ManagerMode ScriptedManager(const PunchOptions& options, Clock& clock) {
    if (!options.manager_card)
        return ManagerMode{std::nullopt, OsUser()};
    auto manager = clock.Database().FindEmployee(*options.manager_card);
    if (!manager)
        manager = orvane::Employee{*options.manager_card, "", true};
    return ManagerMode{manager, {}};
}

// Runs one scripted punch through the clock engine. Clicks that did nothing (no such control on
// show) are listed in `ignored`. Answers whether inputs were left once the punch had ended.
bool RunPunch(const PunchOptions& options, const KeyScript& script, ScriptedServices& services,
              const std::shared_ptr<orvane::RecordingDisplay>& display,
              std::unique_ptr<Clock>& clock, ordered_json& ignored) {
    if (options.card)
        CheckCardRange(*options.card);
    // Typed dates read under the configuration's regional settings, as at the kiosks.
    const auto config_file = ConfigFileOrDefault(options.config);
    Configuration::Load(config_file).ApplyRegional(services.System());
    clock = Clock::Open({config_file, options.database}, display);
    std::optional<platform::Variant> card;
    if (options.card)
        card = platform::Variant(*options.card);
    std::optional<ManagerMode> manager;
    if (options.manager)
        manager = ScriptedManager(options, *clock);
    clock->BeginScriptedPunch(card, std::move(manager), options.statistics);
    for (const auto& input : script.actions) {
        if (clock->CurrentState() != ClockState::Punch)
            return true;
        if (!clock->Handle(input)) {
            const auto& control = std::get<input::Click>(input).path;
            ignored.push_back(control);
            std::cerr << "timeclock: the click on " << control << " did nothing\n";
        }
    }
    return false;
}

void FinishReport(const Clock* clock, const orvane::RecordingDisplay& display,
                  const ScriptedServices& services, ordered_json& report) {
    if (clock && clock->Last().session) {
        const auto& last = clock->Last();
        const auto& session = *last.session;
        report["skipped"] = session.Skipped();
        report["value"] = ToJson(session.Step()->Value());
        report["finished"] = session.Finished() && !session.Cancelled();
        report["events"] = session.Events();
        if (auto values = platform::query<framework::IPunchValues>(session.Step())) {
            report["step"] = {{"DateTimeIn", DateToJsonText(values->DateTimeIn())},
                              {"DateTimeOut", DateToJsonText(values->DateTimeOut())},
                              {"Amount", values->Amount()}};
        }
        if (last.outcome) {
            report["valid"] = last.outcome->valid;
            if (last.outcome->records) {
                ordered_json records = ordered_json::array();
                records.push_back(RecordToJson(*last.outcome->records->own));
                for (const auto& extra : last.outcome->records->extras)
                    records.push_back(RecordToJson(*extra));
                report["records"] = std::move(records);
            }
        }
    }
    if (clock && clock->Last().error)
        report["error"] = ErrorToJson(*clock->Last().error);
    ordered_json calls = ordered_json::array();
    for (const auto& [operation, argument] : display.calls()) {
        calls.push_back({operation, argument});
    }
    report["display"] = std::move(calls);
    report["messages"] = services.messages();
    report["pauses"] = services.pauses();
    if (clock) {
        report["notice"] = clock->Last().notice.empty() ? ordered_json(nullptr)
                                                        : ordered_json(clock->Last().notice);
        report["confirmation"] = clock->Last().confirmation;
        // A punch the server could not take waits in this clock's queue.
        report["stored"] = !clock->Last().stored  ? ordered_json(nullptr)
                           : clock->Last().queued ? ordered_json("queued")
                                                  : ordered_json("stored");
    }
}

}  // namespace

void AddPunchCommand(CLI::App& app, int& exit_status) {
    auto options = std::make_shared<PunchOptions>();
    auto* command = app.add_subcommand(
        "punch", "Runs one scripted punch through the \"Punch Entry\" step and prints it as JSON");
    command->add_option("--db", options->database, "The clock database file (made when missing)")
        ->required();
    command->add_option("--config", options->config,
                        "The configuration file (default: the clock's own)");
    command->add_option("--card", options->card,
                        "The employee's card; without it the punch has no \"Employee ID\" step");
    command->add_flag("--manager", options->manager, "Punch in manager mode");
    command
        ->add_option("--manager-card", options->manager_card,
                     "The manager the entry is recorded under (default: the operating system's "
                     "user)")
        ->needs("--manager");
    command->add_flag("--statistics", options->statistics,
                      "The punch has an \"Employee Statistics\" step");
    command->add_option("--now", options->now,
                        "Fixes the clock at this moment, \"YYYY-MM-DD HH:MM:SS\"");
    command->add_flag("--no-pause", options->no_pause,
                      "Records the pauses instead of waiting them out");
    command
        ->add_option("--keys", options->keys,
                     "Blank-separated: ENTER BS ESC KEY:n CLICK:NAME or characters to type")
        ->required();

    command->callback([options, &exit_status] {
        std::optional<platform::Date> now;
        if (!options->now.empty()) {
            now = ParseMoment(options->now);
            if (!now) {
                std::cerr << "timeclock punch: --now \"" << options->now
                          << "\" is no moment of the form \"YYYY-MM-DD HH:MM:SS\"\n";
                exit_status = kExitUsage;
                return;
            }
        }
        const auto script = KeyScript::Parse(options->keys);
        if (!script.problem.empty()) {
            std::cerr << "timeclock punch: --keys: " << script.problem << '\n';
            exit_status = kExitUsage;
            return;
        }

        ScriptedServices services(now, !options->no_pause);
        platform::ServicesScope scope(services);
        auto display = std::make_shared<orvane::RecordingDisplay>();
        std::unique_ptr<Clock> clock;
        ordered_json ignored = ordered_json::array();
        ordered_json report;
        report["skipped"] = false;
        report["value"] = nullptr;
        report["finished"] = false;
        report["valid"] = false;
        report["events"] = ordered_json::array();
        report["display"] = ordered_json::array();
        report["messages"] = ordered_json::array();
        report["pauses"] = ordered_json::array();
        report["records"] = ordered_json::array();
        report["step"] = nullptr;
        bool keys_left = false;
        try {
            keys_left = RunPunch(*options, script, services, display, clock, ignored);
        } catch (const platform::RaisedError& error) {
            report["error"] = ErrorToJson(error);
        }
        FinishReport(clock.get(), *display, services, report);
        report["ignored_clicks"] = std::move(ignored);
        exit_status = report.contains("error") ? kExitError : kExitOk;
        std::cout << JsonText(report) << std::endl;
        if (keys_left && exit_status == kExitOk) {
            // A second punch from one command would store what nobody read back: the keys
            // after the finished punch are refused, and the punch stands as reported.
            std::cerr << "timeclock punch: --keys goes on after the punch finished; the keys "
                         "after it were not used\n";
            exit_status = kExitUsage;
        }
    });
}

}  // namespace timeclock
