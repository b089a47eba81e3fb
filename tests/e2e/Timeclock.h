#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/Postgres.h"

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
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name =
            std::string("stampkind-e2e-") + info->test_suite_name() + "-" + info->name();
        for (char& c : name) {
            if (c == '/')
                c = '-';
        }
        if (const char* server = std::getenv("STAMPKIND_TEST_E2E_POSTGRES")) {
            name += "-postgres";
            m_server.emplace(server);
        }
        // The process id keeps suites that run side by side (several checkouts) apart.
        m_folder = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()));
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }

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
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe)
            return result;
        char buffer[4096];
        size_t read;
        while ((read = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            result.out.append(buffer, read);
        const int status = pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        // The shell reports a program it ran and lost to a signal as 128 plus the signal.
        if (WIFSIGNALED(status))
            result.signal = WTERMSIG(status);
        else if (result.status > 128)
            result.signal = result.status - 128;
        std::stringstream err;
        err << std::ifstream(err_file).rdbuf();
        result.err = err.str();
        return result;
    }

    // A scripted punch at a fixed moment, without waiting out the pauses.
    Result Punch(const std::string& now, const std::string& keys,
                 std::vector<std::string> extra = {}) const {
        std::vector<std::string> arguments{
            "punch", "--db", Database().string(), "--config", Config().string(),
            "--now", now,    "--no-pause",        "--keys",   keys};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return Run(arguments);
    }

    static std::string Quote(const std::string& text) {
        std::string quoted = "'";
        for (char c : text)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return quoted + "'";
    }

    std::filesystem::path m_bin;
    std::filesystem::path m_folder;
    std::optional<ScratchPostgres> m_server;
};
