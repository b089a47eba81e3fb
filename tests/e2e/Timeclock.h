#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/database/ClockDatabase.h"
#include "tests/support/Engine.h"
#include "tests/support/Postgres.h"
#include "tests/support/TempFolder.h"

// `text` quoted for the shell.
inline std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Everything a command started with popen writes, and its wait status (-1 when it did not start).
inline std::pair<std::string, int> Output(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return {text, -1};
    char buffer[4096];
    size_t read;
    while ((read = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        text.append(buffer, read);
    return {text, pclose(pipe)};
}

// Runs the built timeclock command as a person would, with its own registry, configuration and
// database in a fresh folder. The database is a file there, or, when the run names a PostgreSQL
// server in STAMPKIND_TEST_E2E_POSTGRES, a fresh database on it: the same tests run on both
// engines.
class TimeclockTest : public ::testing::Test {
  protected:
    struct Result {
        int status = -1;
        // The signal that ended the program, 0 when it exited.
        int signal = 0;
        std::string out;
        std::string err;
        nlohmann::json json() const { return nlohmann::json::parse(out); }
    };

    void SetUp() override {
        const char* bin = std::getenv("STAMPKIND_BIN");
        ASSERT_TRUE(bin) << "STAMPKIND_BIN names the folder of the built programs";
        m_bin = bin;
        if (const char* server = std::getenv("STAMPKIND_TEST_E2E_POSTGRES"))
            m_server.emplace(server);
    }

    // The run proves the engine it claims, once its commands have made the database.
    void TearDown() override {
        if (m_server)
            ExpectClockDatabaseOn(Database(), orvane::Engine::Postgres);
        else if (std::filesystem::exists(Database()))
            ExpectClockDatabaseOn(Database(), orvane::Engine::Sqlite);
    }

    std::filesystem::path Registry() const { return m_folder / "registry.json"; }
    // The database's connection text: a file path or a server's URI.
    std::filesystem::path Database() const {
        return m_server ? std::filesystem::path(m_server->uri()) : m_folder / "clock.db";
    }

    std::filesystem::path Config() const { return m_folder / "timeclock.json"; }

    // Runs timeclock with the arguments (each quoted for the shell); `environment` holds more
    // NAME=value settings for it, already quoted; `input`, when given, is its standard input.
    Result Run(const std::vector<std::string>& arguments, const std::string& environment = "",
               const std::string& input = "") const {
        std::string command = "STAMPKIND_REGISTRY=" + Quote(Registry().string()) + " " +
                              environment + " " + Quote((m_bin / "timeclock").string());
        for (const auto& argument : arguments)
            command += " " + Quote(argument);
        const auto err_file = m_folder / "stderr.txt";
        command += " 2>" + Quote(err_file.string());
        if (!input.empty()) {
            const auto in_file = m_folder / "stdin.txt";
            std::ofstream(in_file) << input;
            command += " <" + Quote(in_file.string());
        }
        Result result;
        const auto [out, status] = Output(command);
        if (status == -1)
            return result;
        result.out = out;
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        // The shell reports a program it ran and lost to a signal as 128 plus the signal.
        if (WIFSIGNALED(status))
            result.signal = WTERMSIG(status);
        else if (result.status > 128)
            result.signal = result.status - 128;
        result.err = ReadText(err_file);
        return result;
    }

    // Adds an employee with the command, as a manager with `pin` when one is given; true when the
    // command added them.
    bool AddEmployee(int32_t card, const std::string& name, const std::string& pin = "",
                     const std::filesystem::path& database = {}) const {
        std::vector<std::string> arguments{
            "employee", "add", "--card", std::to_string(card),
            "--name",   name,  "--db",   (database.empty() ? Database() : database).string()};
        if (!pin.empty())
            arguments.insert(arguments.end(), {"--manager", "--pin-stdin"});
        return Run(arguments, "", pin.empty() ? "" : pin + "\n").status == 0;
    }

    // The punch types stored in a database (the test's own by default), in the order stored.
    std::vector<std::string> StoredTypes(const std::filesystem::path& database = {}) const {
        std::vector<std::string> types;
        for (const auto& row :
             orvane::ClockDatabase(database.empty() ? Database() : database).Rows())
            types.push_back(row.punch_type);
        return types;
    }

    // Runs timeclock with the arguments and the test's database.
    Result RunOnDb(std::vector<std::string> arguments) const {
        arguments.insert(arguments.end(), {"--db", Database().string()});
        return Run(arguments);
    }

    // The JSON that a command on the test's database prints; null when the command failed.
    nlohmann::json JsonOnDb(const std::vector<std::string>& arguments) const {
        const auto result = RunOnDb(arguments);
        EXPECT_EQ(result.status, 0) << arguments[0] << ": " << result.err;
        return result.status == 0 ? result.json() : nlohmann::json();
    }

    // The rows stored for `card` in the test's database, in the order stored.
    std::vector<orvane::ClockDatabase::Row> Rows(int32_t card = 1001) const {
        return orvane::ClockDatabase(Database()).Rows(card);
    }

    // A scripted punch at a fixed moment, without waiting out the pauses, under the test's
    // configuration or the one given.
    Result Punch(const std::string& now, const std::string& keys,
                 std::vector<std::string> extra = {},
                 const std::filesystem::path& config = {}) const {
        extra.insert(extra.begin(),
                     {"punch", "--config", (config.empty() ? Config() : config).string(), "--now",
                      now, "--no-pause", "--keys", keys});
        return RunOnDb(extra);
    }

    // A punch on the punch-type keypad's button `index` (0 IN, 1 OUT, 2 and 3 lunch, 4 and 5
    // break, 6 switch) for `card`, which must run to its end.
    void PunchButton(const std::string& now, int32_t card, int index) const {
        const auto result = Punch(now, "CLICK:cmdStampkind(" + std::to_string(index) + ") ENTER",
                                  {"--card", std::to_string(card)});
        ASSERT_EQ(result.status, 0) << now << ' ' << result.out << result.err;
    }

    std::filesystem::path m_bin;
    TempFolder m_scratch;
    std::filesystem::path m_folder = m_scratch.path();
    std::optional<ScratchPostgres> m_server;
};
