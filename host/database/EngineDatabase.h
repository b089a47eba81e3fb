#pragma once

#include <memory>
#include <string>

#include "framework/HostObjects.h"

namespace orvane {

// The database object of the host library's global object: Open chooses the engine by the
// connection text (a file path for SQLite, a "postgresql://" URI for a server) and every other
// member goes to the database object of that engine.
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

  private:
    std::string m_connect_string;
    std::shared_ptr<framework::IDatabase> m_open;
};

}  // namespace orvane
