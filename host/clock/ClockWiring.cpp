// Opening a clock: the one place that joins the configuration, the component registry, the
// clock database and the framework's global database, so that no layer below needs to know
// another's classes.
#include <system_error>

#include "host/clock/Clock.h"
#include "host/clock/ComponentLibrary.h"
#include "host/database/ConnectionText.h"
#include "host/database/EngineDatabase.h"
#include "host/database/PunchQueue.h"
#include "host/framework/Global.h"

namespace timeclock {

std::unique_ptr<Clock> Clock::Open(const Files& files,
                                   std::shared_ptr<orvane::RecordingDisplay> display) {
    auto config = Configuration::Load(files.config_file);
    ComponentLibrary::BesideProgram().EnsureRegistered();
    auto database_file = files.database;
    const bool server =
        orvane::EngineOf((database_file.empty() ? config.database : database_file).native()) ==
        orvane::Engine::Postgres;
    if (database_file.empty()) {
        // The clock's own database gets its folder; a file named on the command line must lie
        // in a folder that exists.
        database_file = config.database.empty() ? DefaultDatabaseFile() : config.database;
        std::error_code ec;
        if (!server && database_file.has_parent_path())
            std::filesystem::create_directories(database_file.parent_path(), ec);
    }
    auto database = std::make_unique<orvane::ClockDatabase>(
        database_file, std::chrono::seconds(config.database_wait));
    database->SetShiftRules({static_cast<double>(config.max_shift_hours)});
    database->SetDeadline(std::chrono::seconds(config.database_deadline_seconds));
    // A punch that cannot reach the server is kept on this clock until it answers again.
    const auto queue = server ? orvane::PunchQueue::BesideConfiguration(files.config_file)
                              : std::filesystem::path();
    if (server)
        database->KeepLostPunchesIn(queue);
    // The automatic punch reads through the global object's database: it finds it open and
    // keeps its prepared lookups between punches. While the server is away, the lookup is
    // answered from what this clock last read. It waits for the server no longer than the punch
    // does, and not at all when the card's read just found the server away, so that the whole
    // punch waits one deadline. The clock releases the lookup before its database.
    auto lookup = std::make_shared<orvane::EngineDatabase>();
    lookup->AnswerWhileAwayFrom(queue);
    lookup->SetDeadline(std::chrono::seconds(config.database_deadline_seconds));
    lookup->AskCopyFirstWhile([clock_database = database.get()] { return clock_database->Away(); });
    lookup->SetConnectString(database_file.string());
    lookup->Open(database_file.string());
    auto installed = std::make_unique<orvane::GlobalDatabaseScope>(lookup);
    auto clock = std::make_unique<Clock>(std::move(config), std::move(database), std::move(display),
                                         files.config_file, lookup);
    clock->m_installed = std::move(installed);
    return clock;
}

}  // namespace timeclock
