#include "host/clock/Configuration.h"
#include "host/database/ConnectionText.h"

#include <algorithm>
#include <fstream>
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
    try {
        stored = json::parse(text.str());
    } catch (const json::exception& e) {
        // Also a number beyond a double's range, which the reader reports as out of range.
        Damaged(file, e.what());
    }
    if (!stored.is_object())
        Damaged(file, "the file holds no JSON object");

    if (auto it = stored.find("database"); it != stored.end()) {
        if (!it->is_string())
            Damaged(file, "\"database\" is not a text");
        fs::path database = it->get<std::string>();
        // A server's URI is no path: it is kept as written.
        if (!database.empty() && database.is_relative() &&
            orvane::EngineOf(database.native()) == orvane::Engine::Sqlite)
            database = file.parent_path() / database;
        config.database = database;
    }
    if (auto it = stored.find("button_color"); it != stored.end()) {
        if (!it->is_number_integer())
            Damaged(file, "\"button_color\" is not a whole number");
        const auto color = it->get<int64_t>();
        if (color < INT32_MIN || color > INT32_MAX) {
            Damaged(file, "\"button_color\" is out of range");
        }
        config.button_color = static_cast<int32_t>(color);
    }
    if (auto it = stored.find("database_wait"); it != stored.end()) {
        if (!it->is_number_integer() || it->get<int64_t>() < 0 ||
            it->get<int64_t>() > kLongestDatabaseWait) {
            Damaged(file, "\"database_wait\" is no whole number of seconds from 0 to " +
                              std::to_string(kLongestDatabaseWait));
        }
        config.database_wait = static_cast<int32_t>(it->get<int64_t>());
    }
    for (auto [key, value] : {std::pair{"idle_seconds", &config.idle_seconds},
                              std::pair{"confirm_seconds", &config.confirm_seconds},
                              std::pair{"duplicate_seconds", &config.duplicate_seconds}}) {
        if (auto it = stored.find(key); it != stored.end()) {
            if (!it->is_number_integer() || it->get<int64_t>() < 0 ||
                it->get<int64_t>() > kLongestDatabaseWait) {
                Damaged(file, "\"" + std::string(key) +
                                  "\" is no whole number of seconds from 0 to " +
                                  std::to_string(kLongestDatabaseWait));
            }
            *value = static_cast<int32_t>(it->get<int64_t>());
        }
    }
    if (auto it = stored.find("regional"); it != stored.end()) {
        const auto settings = it->is_string()
                                  ? platform::RegionalSettings::by_name(it->get<std::string>())
                                  : std::nullopt;
        if (!settings)
            Damaged(file, "\"regional\" is neither \"en-US\" nor \"en-GB\"");
        config.regional = *settings;
    }
    if (auto it = stored.find("week_starts"); it != stored.end()) {
        const auto& names = WeekdayNames();
        const auto name = it->is_string() ? it->get<std::string>() : "";
        const auto found = std::find(names.begin(), names.end(), name);
        if (found == names.end())
            Damaged(file, "\"week_starts\" is not a day of the week (\"Sunday\" to \"Saturday\")");
        config.week_starts = static_cast<int32_t>(found - names.begin());
    }
    if (auto it = stored.find("clock_name"); it != stored.end()) {
        if (!it->is_string())
            Damaged(file, "\"clock_name\" is not a text");
        config.clock_name = it->get<std::string>();
    }
    if (auto it = stored.find("kiosk_sounds"); it != stored.end()) {
        if (!it->is_boolean())
            Damaged(file, "\"kiosk_sounds\" is neither true nor false");
        config.kiosk_sounds = it->get<bool>();
    }
    if (auto it = stored.find("kiosks"); it != stored.end()) {
        if (!it->is_object())
            Damaged(file, "\"kiosks\" is not a table of kiosk names");
        for (const auto& [name, hash] : it->items()) {
            if (!hash.is_string())
                Damaged(file, "\"kiosks\": the key of \"" + name + "\" is not a text");
            config.kiosk_keys[name] = hash.get<std::string>();
        }
    }
    if (auto it = stored.find("admin_password"); it != stored.end()) {
        if (!it->is_string())
            Damaged(file, "\"admin_password\" is not a text");
        config.admin_password = it->get<std::string>();
    }
    if (auto it = stored.find("steps"); it != stored.end()) {
        if (!it->is_array())
            Damaged(file, "\"steps\" is not a list");
        config.steps.clear();
        for (const auto& step : *it) {
            if (!step.is_string())
                Damaged(file, "\"steps\" holds something that is no step name");
            const auto name = step.get<std::string>();
            const auto known = DefaultSteps();
            if (std::find(known.begin(), known.end(), name) == known.end()) {
                Damaged(file, "\"steps\" names an unknown step \"" + name + "\"");
            }
            config.steps.push_back(name);
        }
        if (!config.HasStep(kPunchEntryStep))
            Damaged(file, "\"steps\" lacks \"Punch Entry\"");
    }
    if (auto it = stored.find("saved"); it != stored.end()) {
        try {
            config.m_steps_bag = platform::PropertyBag::from_json(*it);
        } catch (const platform::RaisedError& e) {
            Damaged(file, "\"saved\": " + e.description());
        }
    }
    return config;
}

void Configuration::Save(const fs::path& file) const {
    json stored = json::object();
    stored["database"] = database.string();
    stored["button_color"] = button_color;
    stored["database_wait"] = database_wait;
    stored["idle_seconds"] = idle_seconds;
    stored["confirm_seconds"] = confirm_seconds;
    stored["duplicate_seconds"] = duplicate_seconds;
    stored["regional"] = regional.name;
    stored["steps"] = steps;
    stored["week_starts"] = WeekdayNames().at(static_cast<size_t>(week_starts));
    if (!clock_name.empty())
        stored["clock_name"] = clock_name;
    if (!kiosk_sounds)
        stored["kiosk_sounds"] = false;
    if (!kiosk_keys.empty())
        stored["kiosks"] = kiosk_keys;
    if (!admin_password.empty())
        stored["admin_password"] = admin_password;
    stored["saved"] = m_steps_bag.to_json();

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

double Configuration::ResetSpanHours() const {
    return timeclock::ResetSpanHours(CreateStep());
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
