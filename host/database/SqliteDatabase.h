#pragma once

#include <memory>
#include <string>

#include "framework/HostObjects.h"

namespace orvane {

class SqliteConnection;

// The database object of the host library's global object, over an SQLite file. Open takes a
// connection text ("PATH" or "sqlite:PATH") and never creates a missing file (the host's clock
// database does that). Execute translates query text in the host's dialect, turns its literals
// into bound parameters and reuses one prepared statement per translated text, so that the
// same lookup with other values costs no new preparation. A recordset keeps its statement until
// it is closed or released; closing the database while a recordset is still held is safe.
class PLATFORM_API SqliteDatabase final : public framework::IDatabase {
  public:
    SqliteDatabase();
    ~SqliteDatabase() override;

    framework::VBool IsOpen() const override;
    std::string ConnectString() const override { return m_connect_string; }
    void SetConnectString(const std::string& text) override { m_connect_string = text; }
    // Raises "Could not find file" (3024), "Unrecognized database format" (3343) or the engine's
    // error (3000); a database already open is closed first.
    void Open(const std::string& connect_string) override;
    // Raises "Syntax error in query expression" (3075) for text the translation cannot read,
    // the engine's error (3000) for a query the engine refuses, and 3420 when not open.
    std::shared_ptr<framework::IRecordset> Execute(const std::string& sql) override;
    void Close() override;

    // How many prepared statements the open connection keeps for reuse.
    size_t cached_statements() const;

  private:
    std::string m_connect_string;
    std::shared_ptr<SqliteConnection> m_connection;
};

}  // namespace orvane
