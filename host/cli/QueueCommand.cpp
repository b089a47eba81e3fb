#include <iostream>
#include <memory>

#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/clock/Configuration.h"
#include "host/database/ClockDatabase.h"
#include "host/database/ConnectionText.h"
#include "host/database/PunchQueue.h"
#include "platform/Error.h"

namespace timeclock {

namespace {

struct QueueOptions {
    std::string config;
    bool send = false;
};

nlohmann::ordered_json EntryToJson(const orvane::PunchQueue::Entry& entry) {
    const auto& own = entry.punch.own;
    nlohmann::ordered_json json{{"identity", entry.identity},
                                {"card", entry.punch.card},
                                {"punch_type", own && own->values().contains("Punch Type")
                                                   ? own->values().at("Punch Type").to_text()
                                                   : ""}};
    if (!entry.refused.empty())
        json["refused"] = entry.refused;
    return json;
}

// Shows the punches this clock keeps for its server, waiting or kept aside because the server
// refused them, or sends them now, those kept aside included.
void RunQueue(const QueueOptions& options) {
    const auto config_file = ConfigFileOrDefault(options.config);
    const auto config = Configuration::Load(config_file);
    const auto queue_file = orvane::PunchQueue::BesideConfiguration(config_file);
    nlohmann::ordered_json report{{"database", orvane::Redacted(config.database.native())},
                                  {"queue", queue_file.string()}};
    if (options.send) {
        if (config.database.empty()) {
            platform::raise(platform::err::kInvalidProcedureCall,
                            "The configuration '" + config_file.string() +
                                "' names no database to send the punches to.");
        }
        orvane::ClockDatabase database(config.database);
        database.SetShiftRules({static_cast<double>(config.max_shift_hours)});
        database.KeepLostPunchesIn(queue_file);
        const auto sent = database.SendQueued(true);
        report["sent"] = sent.sent;
        report["waiting"] = sent.waiting;
        for (const auto& refused : sent.set_aside)
            std::cerr << "timeclock queue: " << refused << '\n';
    } else {
        nlohmann::ordered_json waiting = nlohmann::ordered_json::array();
        for (const auto& entry : orvane::PunchQueue(queue_file).Waiting())
            waiting.push_back(EntryToJson(entry));
        report["waiting"] = std::move(waiting);
    }
    nlohmann::ordered_json aside = nlohmann::ordered_json::array();
    for (const auto& entry : orvane::PunchQueue(queue_file).KeptAside())
        aside.push_back(EntryToJson(entry));
    report["set_aside"] = std::move(aside);
    std::cout << JsonText(report, 2) << '\n';
}

}  // namespace

void AddQueueCommand(CLI::App& app, int& exit_status) {
    auto options = std::make_shared<QueueOptions>();
    auto* command = app.add_subcommand(
        "queue", "Shows the punches kept on this clock while its server was away, or sends them");
    command->add_option("--config", options->config, "The clock's configuration file");
    command->add_flag("--send", options->send,
                      "Send the waiting punches now, oldest first, and again those kept aside");
    command->callback([options, &exit_status] {
        try {
            RunQueue(*options);
            exit_status = kExitOk;
        } catch (const platform::RaisedError& error) {
            PrintError(error);
            exit_status = kExitError;
        }
    });
}

}  // namespace timeclock
