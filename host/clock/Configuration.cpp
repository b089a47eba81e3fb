#include "host/clock/Configuration.h"
#include "host/database/ConnectionText.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>
#include <system_error>

#include <unistd.h>

#include <nlohmann/json.hpp>

#include "platform/Error.h"
#include "platform/Registry.h"
#include "step/StepSettings.h"

namespace timeclock {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr const char* kClsStep = "Stampkind.clsStep";

[[noreturn]] void Damaged(const fs::path& file, const std::string& problem) {
    platform::raise(platform::err::kBadFileFormat,
                    "Bad file format: " + file.string() + ": " + problem);
}

}  // namespace

// A key as the file reads and writes it. `read` puts a stored value into the configuration and
// gives the problem when the value does not fit (completing a sentence that begins with the
// key's name), else nothing; `save` gives the value to write, null to leave the key out.
struct KeyRule {
    ConfigurationKey key;
    std::function<std::string(Configuration&, const json&, const fs::path&)> read;
    std::function<json(const Configuration&)> save;
};

namespace {

// A whole number within bounds, kept in `member`.
KeyRule WholeNumber(std::string name, int32_t Configuration::*member, int64_t least, int64_t most,
                    const std::string& unit, std::string help, std::string example) {
    const std::string bounds = std::to_string(least) + " to " + std::to_string(most);
    const std::string what = unit.empty() ? "whole number" : "whole number of " + unit;
    return {{std::move(name), what + ", " + bounds, std::to_string(Configuration{}.*member),
             std::move(help), std::move(example)},
            [=](Configuration& config, const json& value, const fs::path&) -> std::string {
                // A number past 2^63 is unsigned to the reader and never within the bounds.
                if (!value.is_number_integer() ||
                    (value.is_number_unsigned() && value.get<uint64_t>() > INT64_MAX) ||
                    value.get<int64_t>() < least || value.get<int64_t>() > most)
                    return "is no " + what + " from " + bounds;
                config.*member = static_cast<int32_t>(value.get<int64_t>());
                return {};
            },
            [=](const Configuration& config) { return json(config.*member); }};
}

// A text kept in `member`, left out of the file when empty.
KeyRule Text(std::string name, std::string Configuration::*member, std::string fallback,
             std::string help, std::string example) {
    return {{std::move(name), "text", std::move(fallback), std::move(help), std::move(example)},
            [=](Configuration& config, const json& value, const fs::path&) -> std::string {
                if (!value.is_string())
                    return "is not a text";
                config.*member = value.get<std::string>();
                return {};
            },
            [=](const Configuration& config) {
                return (config.*member).empty() ? json() : json(config.*member);
            }};
}

}  // namespace

// The table of keys: reading, checking, saving and the documentation all follow it.
std::vector<KeyRule> KeyRules() {
    constexpr int64_t kLongestSeconds = 3600;
    std::vector<KeyRule> rules;
    rules.push_back(
        {{"database", "text: a file or a postgresql:// URI",
          "the clock's own database (`~/.local/share/stampkind/clock.db`)",
          "the clock database; a relative file is taken from the configuration file's folder",
          R"("postgresql://clock@db.example/clock")"},
         [](Configuration& config, const json& value, const fs::path& file) -> std::string {
             if (!value.is_string())
                 return "is not a text";
             fs::path database = value.get<std::string>();
             // A server's URI is no path: it is kept as written.
             if (!database.empty() && database.is_relative() &&
                 orvane::EngineOf(database.native()) == orvane::Engine::Sqlite)
                 database = file.parent_path() / database;
             config.database = database;
             return {};
         },
         [](const Configuration& config) { return json(config.database.string()); }});
    rules.push_back(WholeNumber("button_color", &Configuration::button_color, INT32_MIN, INT32_MAX,
                                "", "the colour of the punch keypad's buttons, as 0x00BBGGRR",
                                "65280"));
    rules.push_back(
        {{"steps", "list of step names", R"(["Employee ID", "Punch Entry", "Employee Statistics"])",
          "the steps of a punch, in order, from \"Employee ID\", \"Punch Entry\" and "
          "\"Employee Statistics\"; \"Punch Entry\" is required",
          R"(["Punch Entry", "Employee Statistics"])"},
         [](Configuration& config, const json& value, const fs::path&) -> std::string {
             if (!value.is_array())
                 return "is not a list";
             const auto known = Configuration::DefaultSteps();
             std::vector<std::string> steps;
             for (const auto& step : value) {
                 if (!step.is_string())
                     return "holds something that is no step name";
                 const auto name = step.get<std::string>();
                 if (std::find(known.begin(), known.end(), name) == known.end())
                     return "names an unknown step \"" + name + "\"";
                 steps.push_back(name);
             }
             if (std::find(steps.begin(), steps.end(), kPunchEntryStep) == steps.end())
                 return "lacks \"Punch Entry\"";
             config.steps = std::move(steps);
             return {};
         },
         [](const Configuration& config) { return json(config.steps); }});
    rules.push_back(WholeNumber("database_wait", &Configuration::database_wait, 0,
                                Configuration::kLongestDatabaseWait, "seconds",
                                "how long a punch waits for a database that another clock or "
                                "program holds before it says the database is locked and stores "
                                "nothing",
                                "5"));
    rules.push_back(WholeNumber("database_deadline_seconds",
                                &Configuration::database_deadline_seconds, 1, 60, "seconds",
                                "how long a punch waits for a PostgreSQL server that does not "
                                "answer before it keeps the punch on this clock and sends it when "
                                "the server is back",
                                "5"));
    rules.push_back(WholeNumber("idle_seconds", &Configuration::idle_seconds, 0, kLongestSeconds,
                                "seconds",
                                "a screen left without input this long goes back to the card "
                                "prompt and nothing is stored",
                                "45"));
    rules.push_back(WholeNumber("confirm_seconds", &Configuration::confirm_seconds, 0,
                                kLongestSeconds, "seconds", "how long a confirmation shows", "5"));
    rules.push_back(WholeNumber(
        "duplicate_seconds", &Configuration::duplicate_seconds, 0, kLongestSeconds, "seconds",
        "the same punch of a card again within this time is not stored", "120"));
    rules.push_back(WholeNumber("punch_idle_seconds", &Configuration::punch_idle_seconds, 0,
                                kLongestSeconds, "seconds",
                                "a punch screen left without input this long goes back to the "
                                "card prompt and nothing is stored",
                                "30"));
    rules.push_back(WholeNumber("max_shift_hours", &Configuration::max_shift_hours, 1, 168, "hours",
                                "how long a record may stay open: a punch closes only a record "
                                "opened within this time; an older one is a missing out, and "
                                "open records count up to now only within it",
                                "12"));
    rules.push_back(
        {{"regional", R"("en-US" or "en-GB")", R"("en-US")",
          "how the clock reads and shows dates and numbers: month first with AM/PM, or day first "
          "with a 24-hour clock",
          R"("en-GB")"},
         [](Configuration& config, const json& value, const fs::path&) -> std::string {
             const auto settings =
                 value.is_string() ? platform::RegionalSettings::by_name(value.get<std::string>())
                                   : std::nullopt;
             if (!settings)
                 return R"(is neither "en-US" nor "en-GB")";
             config.regional = *settings;
             return {};
         },
         [](const Configuration& config) { return json(config.regional.name); }});
    rules.push_back(
        {{"week_starts", R"(a day, "Sunday" to "Saturday")", R"("Sunday")",
          "the first day of the week of \"Employee Statistics\" and of weekly totals",
          R"("Monday")"},
         [](Configuration& config, const json& value, const fs::path&) -> std::string {
             const auto& names = Configuration::WeekdayNames();
             const auto name = value.is_string() ? value.get<std::string>() : "";
             const auto found = std::find(names.begin(), names.end(), name);
             if (found == names.end())
                 return R"(is not a day of the week ("Sunday" to "Saturday"))";
             config.week_starts = static_cast<int32_t>(found - names.begin());
             return {};
         },
         [](const Configuration& config) {
             return json(Configuration::WeekdayNames().at(static_cast<size_t>(config.week_starts)));
         }});
    rules.push_back(Text("clock_name", &Configuration::clock_name, "the computer's host name",
                         "the name of this clock, kept with every record entered in manager mode",
                         R"("front-desk")"));
    rules.push_back(
        {{"kiosk_sounds", "true or false", "true",
          "whether the browser kiosks sound a short tone for each kind of result", "false"},
         [](Configuration& config, const json& value, const fs::path&) -> std::string {
             if (!value.is_boolean())
                 return "is neither true nor false";
             config.kiosk_sounds = value.get<bool>();
             return {};
         },
         // Written only when switched off, so that a file of an older clock stays as it was.
         [](const Configuration& config) { return config.kiosk_sounds ? json() : json(false); }});
    rules.push_back(
        {{"kiosks", "table of kiosk names and key hashes", "none",
          "the registered browser kiosks, each with the salted hash of its key; kept by "
          "`timeclock kiosk-key`",
          R"({"door": "$argon2id$v=19$m=65536,t=2,p=1$c2FsdA$aGFzaA"})"},
         [](Configuration& config, const json& value, const fs::path&) -> std::string {
             if (!value.is_object())
                 return "is not a table of kiosk names";
             std::map<std::string, std::string> keys;
             for (const auto& [name, hash] : value.items()) {
                 if (!hash.is_string())
                     return "holds a key of \"" + name + "\" that is not a text";
                 keys[name] = hash.get<std::string>();
             }
             config.kiosk_keys = std::move(keys);
             return {};
         },
         [](const Configuration& config) {
             return config.kiosk_keys.empty() ? json() : json(config.kiosk_keys);
         }});
    rules.push_back(
        {{"pay_rules", "an object of rounding, overtime, meal and period rules", "none",
          "how hours are paid: rounding of punches, overtime, meal rules and the pay period "
          "(docs/hours.md)",
          R"({"overtime": "weekly-40", "rounding": {"minutes": 15}})"},
         [](Configuration& config, const json& value, const fs::path&) -> std::string {
             try {
                 config.pay_rules = hours::ReadPayRules(value);
             } catch (const platform::RaisedError& e) {
                 return "cannot be used: " + e.description();
             }
             return {};
         },
         [](const Configuration& config) {
             return config.pay_rules == hours::PayRules{} ? json()
                                                          : hours::WritePayRules(config.pay_rules);
         }});
    rules.push_back(
        {{"export_templates", "an object of payroll export templates by name", "none",
          "the layouts of `timeclock export --format NAME`: columns, headers, number and date "
          "formats, a row per period or per day (docs/hours.md)",
          R"({"payroll": {"columns": [{"field": "card"}, {"field": "regular"}]}})"},
         [](Configuration& config, const json& value, const fs::path&) -> std::string {
             try {
                 config.export_templates = hours::ReadExportTemplates(value);
             } catch (const platform::RaisedError& e) {
                 return "cannot be used: " + e.description();
             }
             return {};
         },
         [](const Configuration& config) {
             return config.export_templates.empty()
                        ? json()
                        : hours::WriteExportTemplates(config.export_templates);
         }});
    rules.push_back({{"server_limits", "an object of the server's limits", "the server's own",
                      "the clock server's limits at the door, each by its name (docs/web-kiosk.md)",
                      R"({"max_body_bytes": 8192})"},
                     [](Configuration& config, const json& value, const fs::path&) -> std::string {
                         if (!value.is_object())
                             return "is not an object of the server's limits";
                         config.server_limits = value;
                         return {};
                     },
                     [](const Configuration& config) { return config.server_limits; }});
    rules.push_back(Text("admin_password", &Configuration::admin_password, "none",
                         "the salted hash of the administrator's password; kept by "
                         "`timeclock admin-password`",
                         R"("$argon2id$v=19$m=65536,t=2,p=1$c2FsdA$aGFzaA")"));
    rules.push_back({{"saved", "the step's saved settings", "the step's defaults",
                      "the \"Punch Entry\" step as it saved itself; written by `timeclock setup`",
                      R"({"Note": {"type": "String", "value": "kept"}})"},
                     [](Configuration& config, const json& value, const fs::path&) -> std::string {
                         try {
                             config.m_steps_bag = platform::PropertyBag::from_json(value);
                         } catch (const platform::RaisedError& e) {
                             return "cannot be read: " + e.description();
                         }
                         return {};
                     },
                     [](const Configuration& config) { return config.m_steps_bag.to_json(); }});
    return rules;
}

std::vector<ConfigurationKey> Configuration::Keys() {
    std::vector<ConfigurationKey> keys;
    for (const auto& rule : KeyRules())
        keys.push_back(rule.key);
    return keys;
}

std::string Configuration::KeysTable() {
    std::string table = "| key | value | default | what it does |\n|---|---|---|---|\n";
    for (const auto& key : Keys()) {
        table += "| `\"" + key.name + "\"` | " + key.type + " | " + key.fallback + " | " +
                 key.help + " |\n";
    }
    return table;
}

std::vector<std::string> Configuration::DefaultSteps() {
    return {kEmployeeIdStep, kPunchEntryStep, kStatisticsStep};
}

Configuration Configuration::Load(const fs::path& file) {
    Configuration config;
    config.m_file = file;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::error_code ec;
        if (fs::exists(file, ec)) {
            platform::raise(platform::err::kFileNotFound,
                            "File not found: " + file.string() + " cannot be read");
        }
        return config;
    }
    std::stringstream text;
    text << in.rdbuf();

    json stored;
    // The key whose value is being read, so that text that is not UTF-8 is said by its key.
    std::string key;
    const auto note_key = [&key](int depth, json::parse_event_t event, json& parsed) {
        if (depth == 1 && event == json::parse_event_t::key)
            key = parsed.get<std::string>();
        else if (depth == 1 && event != json::parse_event_t::object_start &&
                 event != json::parse_event_t::array_start)
            key.clear();
        return true;
    };
    try {
        stored = json::parse(text.str(), note_key);
    } catch (const json::parse_error& e) {
        const std::string what = e.what();
        const std::string where = " (at byte " + std::to_string(e.byte) + ")";
        if (what.find("ill-formed UTF-8") != std::string::npos) {
            Damaged(file, (key.empty() ? std::string("a key's name") : "\"" + key + "\"") +
                              " holds bytes that are not UTF-8 text" + where);
        }
        // The reader quotes what it last read, which may be any bytes: said by place instead.
        const bool text_only = std::ranges::none_of(
            what, [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
        Damaged(file, text_only ? what : what.substr(0, what.find("; last read:")));
    } catch (const json::exception& e) {
        // A number beyond a double's range, which the reader reports as out of range.
        Damaged(file, e.what());
    }
    if (!stored.is_object())
        Damaged(file, "the file holds no JSON object");
    const auto rules = KeyRules();
    for (const auto& rule : rules) {
        const auto it = stored.find(rule.key.name);
        if (it == stored.end())
            continue;
        if (const auto problem = rule.read(config, *it, file); !problem.empty())
            Damaged(file, "\"" + rule.key.name + "\" " + problem);
        stored.erase(it);
    }
    config.m_unknown = std::move(stored);
    return config;
}

void Configuration::Save(const fs::path& file) const {
    json stored = m_unknown;
    for (const auto& rule : KeyRules()) {
        if (json value = rule.save(*this); !value.is_null())
            stored[rule.key.name] = std::move(value);
    }

    std::error_code ec;
    if (file.has_parent_path())
        fs::create_directories(file.parent_path(), ec);
    fs::path temporary = file;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << stored.dump(2) << '\n';
        if (!out) {
            platform::raise(platform::err::kHostBase + 1,
                            "Cannot write the configuration file " + temporary.string());
        }
    }
    fs::rename(temporary, file, ec);
    if (ec) {
        platform::raise(platform::err::kHostBase + 1, "Cannot write the configuration file " +
                                                          file.string() + ": " + ec.message());
    }
}

std::string Configuration::Set(const std::string& key, const json& value) {
    for (const auto& rule : KeyRules()) {
        if (rule.key.name != key)
            continue;
        // Read into a copy, so that a value refused halfway leaves this one as it was.
        Configuration changed = *this;
        const auto problem = rule.read(changed, value, m_file);
        if (problem.empty())
            *this = std::move(changed);
        return problem;
    }
    return "is no key of the configuration";
}

json Configuration::Stored(const std::string& key) const {
    for (const auto& rule : KeyRules())
        if (rule.key.name == key)
            return rule.save(*this);
    return nullptr;
}

const std::vector<std::string>& Configuration::WeekdayNames() {
    static const std::vector<std::string> names{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                "Thursday", "Friday", "Saturday"};
    return names;
}

std::string Configuration::ClockName() const {
    if (!clock_name.empty())
        return clock_name;
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0)
        return "clock";
    return host;
}

bool Configuration::HasStep(const std::string& name) const {
    return std::find(steps.begin(), steps.end(), name) != steps.end();
}

void Configuration::ApplyRegional(platform::SystemServices& services) const {
    services.set_regional(regional);
}

std::shared_ptr<framework::IStep> Configuration::CreateStep() const {
    auto bag = m_steps_bag;
    if (bag.Contains(kPunchEntryStep)) {
        try {
            return platform::query_or_raise<framework::IStep>(
                bag.ReadProperty(kPunchEntryStep).to_object());
        } catch (const platform::RaisedError& e) {
            if (e.number() != platform::err::kBadFileFormat)
                throw;
            std::string problem = e.description();
            if (constexpr std::string_view kPrefix = "Bad file format: ";
                problem.starts_with(kPrefix))
                problem.erase(0, kPrefix.size());
            Damaged(m_file, "the saved \"Punch Entry\" step: " + problem);
        }
    }
    auto step = platform::CreateObjectAs<framework::IStep>(kClsStep);
    platform::query_or_raise<platform::Persistable>(step)->InitProperties();
    return step;
}

void Configuration::StoreStep(const std::shared_ptr<framework::IStep>& step) {
    m_steps_bag.WriteProperty(kPunchEntryStep, platform::Variant(step));
}

double ResetSpanHours(const std::shared_ptr<framework::IStep>& step) {
    const auto& setting = stampkind::SettingOf(stampkind::SettingId::GlidepassSpan);
    try {
        if (step)
            return stampkind::SettingsView(step->Properties()).GlidepassSpan();
    } catch (const platform::RaisedError&) {
        // A saved span that is no number: the default span.
    }
    return setting.default_value.to_double();
}

}  // namespace timeclock
