#pragma once

#include <memory>

#include "framework/HostObjects.h"

namespace orvane {

// The host library's global object: one per apartment (thread), created on first use by
// framework::Global(). It holds no database until the host installs one (the clock engine
// installs one on its own database when it opens); until then Database() answers none, and a
// step that needs it raises "Object variable not set".
class PLATFORM_API GlobalObject final : public framework::IGlobal {
  public:
    GlobalObject();
    std::shared_ptr<framework::IDatabase> Database() override { return m_database; }

    // Installs another database object; returns the one it replaces.
    std::shared_ptr<framework::IDatabase> ReplaceDatabase(
        std::shared_ptr<framework::IDatabase> database);

  private:
    std::shared_ptr<framework::IDatabase> m_database;
};

// Installs a database object in the global object (a test's fake, or a host's own); returns the
// one it replaces.
PLATFORM_API std::shared_ptr<framework::IDatabase> SetGlobalDatabase(
    std::shared_ptr<framework::IDatabase> database);

// Installs a database object in the global object for the lifetime of the scope and puts the
// earlier one back on exit.
class PLATFORM_API GlobalDatabaseScope {
  public:
    explicit GlobalDatabaseScope(std::shared_ptr<framework::IDatabase> database)
        : m_previous(SetGlobalDatabase(std::move(database))) {}
    ~GlobalDatabaseScope() { SetGlobalDatabase(std::move(m_previous)); }
    GlobalDatabaseScope(const GlobalDatabaseScope&) = delete;
    GlobalDatabaseScope& operator=(const GlobalDatabaseScope&) = delete;

  private:
    std::shared_ptr<framework::IDatabase> m_previous;
};

}  // namespace orvane
