#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "framework/IStep.h"
#include "host/hours/Export.h"
#include "host/hours/PayRules.h"
#include "host/punches/Shift.h"
#include "platform/PropertyBag.h"
#include "platform/Regional.h"
#include "platform/Services.h"

namespace timeclock {

// A step's reset span ("GlidepassSpan") in hours; its default when there is no step or the saved
// value is no number (the step itself reports that at its lookup).
double ResetSpanHours(const std::shared_ptr<framework::IStep>& step);

// The names of the steps the clock knows, in the order a punch runs them.
inline constexpr const char* kEmployeeIdStep = "Employee ID";
inline constexpr const char* kPunchEntryStep = "Punch Entry";
inline constexpr const char* kStatisticsStep = "Employee Statistics";

// One key of the configuration file as people read it: its name, what it takes (bounds
// included), its default and what it does, and a valid value other than the default (JSON text).
struct ConfigurationKey {
    std::string name;
    std::string type;
    std::string fallback;
    std::string help;
    std::string example;
};

struct KeyRule;

// The clock's configuration file (JSON): the database file, the colour of the keypad buttons,
// the step sequence and the saved "Punch Entry" step (its settings, kept by the step itself in a
// property bag). One table of keys reads, checks, saves and documents it. A missing file gives
// the defaults; keys the table does not know are left alone. A file that cannot be read or holds
// something of the wrong shape raises "Bad file format" (321) naming the file, the key and the
// problem; such a file is never written over, so an administrator can repair it.
class Configuration {
  public:
    // Every key the file may hold, in the order the documentation lists them.
    static std::vector<ConfigurationKey> Keys();
    // The keys as the table of the user guide (Markdown).
    static std::string KeysTable();

    // The step sequence of a new clock: card, punch, figures.
    static std::vector<std::string> DefaultSteps();

    // Reads the file; the defaults when it does not exist.
    static Configuration Load(const std::filesystem::path& file);
    // Writes the file whole (through a temporary file in the same folder).
    void Save(const std::filesystem::path& file) const;

    // The database file; a relative path is taken from the configuration file's folder, and
    // nothing stored means the clock's default database.
    std::filesystem::path database;
    // The colour of the punch keypad's buttons, sent to it as "button color".
    int32_t button_color = kDefaultButtonColor;
    std::vector<std::string> steps = DefaultSteps();
    // How many seconds a punch waits for a database that another clock holds before it gives
    // up with "locked" and stores nothing.
    int32_t database_wait = kDefaultDatabaseWait;
    // How many seconds a punch, and each read of a card, waits for a PostgreSQL server that does
    // not answer before the punch is kept on this clock and the read answered from its copy.
    int32_t database_deadline_seconds = 3;

    // The kiosk's guards, in seconds: a screen left without input returns to the card prompt,
    // a confirmation shows this long, and the same punch of a card again within this time is
    // not stored.
    int32_t idle_seconds = 30;
    int32_t confirm_seconds = 3;
    int32_t duplicate_seconds = 60;
    // A punch screen left without input this long goes back to the card prompt.
    int32_t punch_idle_seconds = 15;
    // How long a record may stay open: an older open record is a missing out, never closed by a
    // later punch.
    int32_t max_shift_hours = static_cast<int32_t>(punches::ShiftRules::kDefaultMaxShiftHours);
    // The regional settings of the clock's dates and numbers ("regional": "en-US" or "en-GB").
    platform::RegionalSettings regional = platform::RegionalSettings::us_english();
    // The first day of the week of "Employee Statistics", 0 Sunday to 6 Saturday; the file
    // keeps it by name ("week_starts": "Monday").
    int32_t week_starts = 0;
    static const std::vector<std::string>& WeekdayNames();
    // The name of this clock, kept with every record entered in manager mode ("clock_name");
    // empty means the computer's host name, so that one file can be copied to several clocks.
    std::string clock_name;
    std::string ClockName() const;

    // The registered browser kiosks, by name, each with the slow salted hash of its key
    // ("kiosks"); a kiosk's name is the clock name of the manager entries made at it.
    std::map<std::string, std::string> kiosk_keys;
    // Whether the browser kiosks sound a short tone for each kind of result ("kiosk_sounds").
    bool kiosk_sounds = true;
    // The slow salted hash of the administrator's password ("admin_password"); empty: none set,
    // and the administrator's pages refuse everyone.
    std::string admin_password;
    // How hours are paid: rounding, overtime, meal rules and the pay period ("pay_rules"); the
    // defaults pay every minute worked at the regular rate, by weekly periods.
    hours::PayRules pay_rules;
    // The payroll export templates by name ("export_templates"); one named as a built-in one
    // replaces it.
    std::vector<hours::ExportTemplate> export_templates;
    // The clock server's limits ("server_limits"), kept as written: the server checks each of
    // them when it starts, so that a wrong one stops it with its name.
    nlohmann::json server_limits;

    // Sets one key from its value as the file holds it, checked as when the file is read: the
    // problem (a sentence that follows the key's name, "is no whole number of seconds from 0 to
    // 3600") and nothing changed when the value does not fit or the key is unknown.
    std::string Set(const std::string& key, const nlohmann::json& value);
    // One key's value as the file would hold it; null when the file would leave it out.
    nlohmann::json Stored(const std::string& key) const;

    bool HasStep(const std::string& name) const;
    // Puts the configured regional settings in force on the services of the clock's process;
    // called once at start-up, before the first date is read or shown.
    void ApplyRegional(platform::SystemServices& services) const;

    // The "Punch Entry" step: restored from its saved settings, or a new one with the defaults.
    // Created through the component registry.
    std::shared_ptr<framework::IStep> CreateStep() const;
    // Keeps the step's settings for the next Save.
    void StoreStep(const std::shared_ptr<framework::IStep>& step);

    // A light grey, the colour of a plain keypad.
    static constexpr int32_t kDefaultButtonColor = 0xC0C0C0;
    static constexpr int32_t kDefaultDatabaseWait = 30;
    static constexpr int32_t kLongestDatabaseWait = 3600;

  private:
    // The table of keys, which reads and writes the saved step's bag too.
    friend std::vector<KeyRule> KeyRules();

    // The file the configuration was read from, named when its saved step cannot be restored.
    std::filesystem::path m_file;
    platform::PropertyBag m_steps_bag;
    // The keys of the file that this clock does not know (a newer clock's), written back as they
    // were so that saving never loses them.
    nlohmann::json m_unknown = nlohmann::json::object();
};

}  // namespace timeclock
