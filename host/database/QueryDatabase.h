#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "framework/HostObjects.h"
#include "platform/Api.h"

namespace orvane {

class StoreEngine;

// The database object of the host library's global object over one engine. Execute translates
// query text in the host's dialect for the engine, turns its literals into bound values and
// runs each translated text prepared once per connection, so that the same lookup with other
// values costs no new preparation. A recordset is read forward, by column name; it keeps the
// engine alive, so closing the database while a recordset is still held is safe. The engines
// differ only in the StoreEngine that `open` makes from the connection text. On a clock database
// a query reads the punches as corrected: "Clock Data Table" in a SELECT names the view of the
// records that are not voided.
class PLATFORM_API QueryDatabase : public framework::IDatabase {
  public:
    using Opener = std::function<std::shared_ptr<StoreEngine>(const std::string& connect_string)>;
    explicit QueryDatabase(Opener open);
    ~QueryDatabase() override;

    framework::VBool IsOpen() const override;
    std::string ConnectString() const override { return m_connect_string; }
    void SetConnectString(const std::string& text) override { m_connect_string = text; }
    // Raises what making the engine raises; a server that cannot be reached now is asked again
    // at the first query. A database already open is closed first.
    void Open(const std::string& connect_string) override;
    // Raises "Syntax error in query expression" (3075) for text the translation cannot read,
    // the engine's error for a query the engine refuses, and 3420 when not open.
    std::shared_ptr<framework::IRecordset> Execute(const std::string& sql) override;
    void Close() override;

    // How many prepared statements the open connection keeps for reuse.
    size_t cached_statements() const;
    // No Open or Execute waits for a server longer than `span` from its start: past it, it
    // raises "connection failed" (3151) as for a server that cannot be reached.
    void SetDeadline(std::chrono::milliseconds span) { m_deadline = span; }

  private:
    // Whether the database keeps the view of the punches as corrected; asked once per opening.
    bool ReadsCorrected();

    Opener m_opener;
    std::optional<std::chrono::milliseconds> m_deadline;
    std::string m_connect_string;
    std::shared_ptr<StoreEngine> m_engine;
    std::optional<bool> m_reads_corrected;
};

// Over an SQLite file: the connection text is "PATH" or "sqlite:PATH"; a missing file is never
// made (the host's clock database does that).
class PLATFORM_API SqliteDatabase final : public QueryDatabase {
  public:
    SqliteDatabase();
};

// Over a PostgreSQL server named by a "postgresql://" URI; no tables are made (the host's clock
// database does that).
class PLATFORM_API PostgresDatabase final : public QueryDatabase {
  public:
    PostgresDatabase();
};

}  // namespace orvane
