#pragma once

#include <memory>
#include <string>

#include "framework/HostObjects.h"

namespace orvane {

namespace pg {
class Connection;
}

// The database object of the host library's global object, over a PostgreSQL server. Open
// takes a "postgresql://" URI and never makes tables (the host's clock database does that).
// Execute translates query text in the host's dialect for PostgreSQL, sends its literals as
// bound values and prepares each translated text once per connection, so that the same lookup
// with other values costs no new preparation. A recordset holds its rows; closing the database
// while a recordset is still held is safe.
class PLATFORM_API PostgresDatabase final : public framework::IDatabase {
  public:
    PostgresDatabase();
    ~PostgresDatabase() override;

    framework::VBool IsOpen() const override;
    std::string ConnectString() const override { return m_connect_string; }
    void SetConnectString(const std::string& text) override { m_connect_string = text; }
    // Raises "Could not find" (3024) for a missing database, 3029 for a refused login, 3151 for
    // a server that cannot be reached and 3001 for a URI that cannot be read.
    void Open(const std::string& connect_string) override;
    // Raises "Syntax error in query expression" (3075) for text the translation cannot read,
    // the engine's error (3000) for a query the server refuses, 3151 when the connection is
    // lost, and 3420 when not open.
    std::shared_ptr<framework::IRecordset> Execute(const std::string& sql) override;
    void Close() override;

    // How many prepared statements the open connection keeps for reuse.
    size_t cached_statements() const;

  private:
    std::string m_connect_string;
    std::string m_opened_with;
    std::shared_ptr<pg::Connection> m_connection;
    // Open: a connect string was given and not closed, though the server may still be away.
    bool m_open = false;
};

}  // namespace orvane
