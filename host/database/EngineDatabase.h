#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "framework/HostObjects.h"

namespace orvane {

// The database object of the host library's global object: Open chooses the engine by the
// connection text (a file path for SQLite, a "postgresql://" URI for a server) and every other
// member goes to the database object of that engine. A clock whose database is a server can
// name its copy of what it last read (an SQLite file with the same tables): while the server
// cannot be reached, a query is answered from that copy instead, so that the automatic punch
// still finds the employee's last punch. Such answers may be incomplete, and are counted. With a
// deadline, no query waits longer for the server than a punch does.
class PLATFORM_API EngineDatabase final : public framework::IDatabase {
  public:
    framework::VBool IsOpen() const override;
    std::string ConnectString() const override { return m_connect_string; }
    void SetConnectString(const std::string& text) override { m_connect_string = text; }
    void Open(const std::string& connect_string) override;
    std::shared_ptr<framework::IRecordset> Execute(const std::string& sql) override;
    void Close() override;

    // The engine's database object while open (for tests and statistics).
    std::shared_ptr<framework::IDatabase> open_database() const { return m_open; }

    // Answers queries from this SQLite file while the server cannot be reached (error 3151);
    // an empty path answers none.
    void AnswerWhileAwayFrom(std::filesystem::path local_copy);
    // While `away` answers true (the clock found the server away at its last read), queries go
    // to the copy without asking the server: one punch waits for a silent server once, not at
    // each of its reads. None asks the server every time.
    void AskCopyFirstWhile(std::function<bool()> away) { m_away = std::move(away); }
    // No query or opening waits for the server longer than `span` from its start (applies from
    // the next Open): past it the server counts as away.
    void SetDeadline(std::chrono::milliseconds span) { m_deadline = span; }
    // How many queries were answered from the copy since this object was made.
    uint64_t answers_while_away() const { return m_answers_while_away; }

  private:
    std::string m_connect_string;
    std::shared_ptr<framework::IDatabase> m_open;
    std::filesystem::path m_local_copy;
    std::shared_ptr<framework::IDatabase> m_copy;
    std::function<bool()> m_away;
    std::optional<std::chrono::milliseconds> m_deadline;
    uint64_t m_answers_while_away = 0;
};

}  // namespace orvane
