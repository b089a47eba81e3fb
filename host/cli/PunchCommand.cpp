#include <iostream>
#include <memory>
#include <optional>

#include "framework/Factories.h"
#include "framework/IPunchValues.h"
#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/clock/ComponentLibrary.h"
#include "host/clock/Configuration.h"
#include "host/clock/EmployeeStatistics.h"
#include "host/clock/KeyScript.h"
#include "host/clock/PunchSession.h"
#include "host/clock/ScriptedServices.h"
#include "host/database/ClockDatabase.h"
#include "host/framework/RecordingDisplay.h"

namespace timeclock {

namespace {

using nlohmann::ordered_json;

struct PunchOptions {
    std::string database;
    std::string config;
    std::optional<std::string> card;
    bool manager = false;
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

// Runs one scripted punch and fills the report as it goes, so that a raised error still
// reports what happened before it.
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

void RunPunch(const PunchOptions& options, const KeyScript& script,
              const std::shared_ptr<orvane::RecordingDisplay>& display,
              std::unique_ptr<PunchSession>& session, ordered_json& report) {
    if (options.card)
        CheckCardRange(*options.card);
    const auto config = Configuration::Load(ConfigFileOrDefault(options.config));
    ComponentLibrary::BesideProgram().EnsureRegistered();
    orvane::ClockDatabase database(options.database, std::chrono::seconds(config.database_wait));
    framework::Global()->Database()->SetConnectString(options.database);

    PunchContext context;
    context.moment = platform::services().Now();
    context.manager_mode = options.manager;
    if (options.card)
        context.card = platform::Variant(*options.card);
    context.statistics = options.statistics;
    context.button_color = config.button_color;

    session = std::make_unique<PunchSession>(config.CreateStep(), display, context);
    session->Begin();
    for (const auto& action : script.actions) {
        if (session->Finished() || session->Cancelled())
            break;
        switch (action.kind) {
            case ScriptAction::Kind::Key:
                session->PressKey(action.key);
                break;
            case ScriptAction::Kind::Click:
                if (!session->Click(action.control)) {
                    std::cerr << "timeclock: the click on " << action.control << " did nothing\n";
                }
                break;
            case ScriptAction::Kind::Cancel:
                session->Cancel();
                break;
        }
    }
    if (!session->Finished() || session->Cancelled())
        return;

    const int32_t card = context.card ? context.card->to_int32() : 0;
    const auto outcome = session->Complete(card);
    report["valid"] = outcome.valid;
    if (!outcome.records)
        return;
    ordered_json records = ordered_json::array();
    records.push_back(RecordToJson(*outcome.records->own));
    for (const auto& extra : outcome.records->extras)
        records.push_back(RecordToJson(*extra));
    report["records"] = std::move(records);
    if (outcome.HasWrites())
        database.StorePunch(*outcome.records);

    if (options.statistics && context.card) {
        const auto employee = database.FindEmployee(card);
        EmployeeStatistics::Compute(database.Rows(card), context.moment)
            .Show(*display, employee ? employee->name : "");
    }
}

void FinishReport(const PunchSession* session, const orvane::RecordingDisplay& display,
                  const ScriptedServices& services, ordered_json& report) {
    if (session) {
        report["skipped"] = session->Skipped();
        report["value"] = ToJson(session->Step()->Value());
        report["finished"] = session->Finished() && !session->Cancelled();
        report["events"] = session->Events();
        if (auto values = platform::query<framework::IPunchValues>(session->Step())) {
            report["step"] = {{"DateTimeIn", DateToJsonText(values->DateTimeIn())},
                              {"DateTimeOut", DateToJsonText(values->DateTimeOut())},
                              {"Amount", values->Amount()}};
        }
    }
    ordered_json calls = ordered_json::array();
    for (const auto& [operation, argument] : display.calls()) {
        calls.push_back({operation, argument});
    }
    report["display"] = std::move(calls);
    report["messages"] = services.messages();
    report["pauses"] = services.pauses();
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
        std::unique_ptr<PunchSession> session;
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
        try {
            RunPunch(*options, script, display, session, report);
            exit_status = kExitOk;
        } catch (const platform::RaisedError& error) {
            report["error"] = ErrorToJson(error);
            exit_status = kExitError;
        }
        FinishReport(session.get(), *display, services, report);
        std::cout << report.dump() << std::endl;
    });
}

}  // namespace timeclock
