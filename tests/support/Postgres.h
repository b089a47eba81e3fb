#pragma once

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "host/database/Postgres.h"

// A database of its own on the tests' PostgreSQL cluster (started by scripts/pg-cluster for the
// test run, which names it in STAMPKIND_TEST_POSTGRES), named after the test and dropped when
// the test ends. Without a cluster, available() is false and the test skips itself.
class ScratchPostgres {
  public:
    // The URI of the cluster's maintenance database; empty when no cluster runs.
    static std::string ServerUri() {
        const char* uri = std::getenv("STAMPKIND_TEST_POSTGRES");
        return uri ? uri : "";
    }

    explicit ScratchPostgres(std::string server_uri = ServerUri())
        : m_server(std::move(server_uri)) {
        const std::string& server = m_server;
        if (server.empty())
            return;
        // Named after the test, in the letters, digits and underscores a bare name may hold.
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("t_") + (info ? info->test_suite_name() : "") + "_" +
                           (info ? info->name() : "test");
        name.resize(std::min<size_t>(name.size(), 48));
        for (char& c : name)
            c = std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c))
                                                            : '_';
        m_name = name + "_" + std::to_string(getpid());
        Admin("DROP DATABASE IF EXISTS \"" + m_name + "\" WITH (FORCE)");
        Admin("CREATE DATABASE \"" + m_name + "\"");
        // postgresql:///postgres?host=...: the same server and options, another database.
        const size_t path = server.find('/', server.find("://") + 3);
        const size_t query = server.find('?', path);
        m_uri = server.substr(0, path + 1) + m_name +
                (query == std::string::npos ? "" : server.substr(query));
    }
    ~ScratchPostgres() {
        if (!m_name.empty()) {
            try {
                Admin("DROP DATABASE IF EXISTS \"" + m_name + "\" WITH (FORCE)");
            } catch (...) {
                // The cluster goes at the end of the run in any case.
            }
        }
    }
    ScratchPostgres(const ScratchPostgres&) = delete;
    ScratchPostgres& operator=(const ScratchPostgres&) = delete;

    bool available() const { return !m_uri.empty(); }

    // Ends every connection to the database and refuses new ones (as a server that went away)
    // until Return.
    void Refuse() const {
        Admin("ALTER DATABASE \"" + m_name + "\" ALLOW_CONNECTIONS false");
        Admin("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" + m_name +
              "'");
    }
    void Return() const { Admin("ALTER DATABASE \"" + m_name + "\" ALLOW_CONNECTIONS true"); }
    const std::string& uri() const { return m_uri; }

  private:
    // Runs a statement on the cluster's maintenance database.
    void Admin(const std::string& sql) const {
        orvane::pg::Connection admin(m_server);
        admin.Exec(sql.c_str(), "Cannot prepare the test database");
    }

    std::string m_server;
    std::string m_name;
    std::string m_uri;
};
