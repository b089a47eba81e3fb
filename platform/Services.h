#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Api.h"
#include "platform/Date.h"
#include "platform/Regional.h"

namespace platform {

struct RegistryMemo;

// The platform's services: the clock, waiting, the dispatch of pending window messages, the
// modal message box, the regional settings and where the component registry lives. There is
// one instance per apartment (a thread that owns component objects); the component, the host and
// the conversions reach it through services(). Tests and hosts install their own with
// ServicesScope, which holds for the thread that made it.
class PLATFORM_API Services {
  public:
    virtual ~Services();

    // The present moment of the computer's clock, in local time.
    virtual Date Now() = 0;
    // Blocks the calling thread for the given milliseconds.
    virtual void Sleep(uint32_t milliseconds) = 0;
    // Lets the pending window messages of the thread be dispatched.
    virtual void DoEvents() = 0;
    // Shows a modal message box with only an OK button and returns once it is closed.
    virtual void MessageBox(std::string_view text) = 0;
    // The regional settings the date and number conversions follow.
    virtual const RegionalSettings& Regional() const = 0;
    // The file of the component registry.
    virtual std::filesystem::path RegistryFile() const = 0;

    // The registry's classes as this apartment last read them, with the file's text then:
    // creating an object parses the file again only after its text changed. Kept by the
    // registry.
    std::shared_ptr<const RegistryMemo>& registry_memo() { return m_registry_memo; }

  private:
    std::shared_ptr<const RegistryMemo> m_registry_memo;
};

// The services of the real computer: the system clock in local time, a real sleep, a message box
// written to standard error (a host with a screen installs its own), US English until the host
// sets other regional settings (the clock's configuration names them), and the registry file
// named by STAMPKIND_REGISTRY or else $XDG_DATA_HOME/stampkind/registry.json
// (~/.local/share/...).
class PLATFORM_API SystemServices : public Services {
  public:
    SystemServices();
    Date Now() override;
    void Sleep(uint32_t milliseconds) override;
    void DoEvents() override;
    void MessageBox(std::string_view text) override;
    const RegionalSettings& Regional() const override { return m_regional; }
    std::filesystem::path RegistryFile() const override { return m_registry; }

    void set_regional(RegionalSettings settings) { m_regional = std::move(settings); }
    void set_registry_file(std::filesystem::path file) { m_registry = std::move(file); }

  private:
    RegionalSettings m_regional;
    std::filesystem::path m_registry;
};

// The services now in force on the calling thread.
PLATFORM_API Services& services();

// Installs services on the calling thread for the lifetime of the scope and restores the earlier
// ones on exit.
class PLATFORM_API ServicesScope {
  public:
    explicit ServicesScope(Services& installed);
    ~ServicesScope();
    ServicesScope(const ServicesScope&) = delete;
    ServicesScope& operator=(const ServicesScope&) = delete;

  private:
    Services* m_previous;
};

}  // namespace platform
