#include "host/web/AdminSettingsPages.h"

#include <optional>
#include <vector>

#include "framework/IPropertyPage.h"
#include "host/clock/Configuration.h"
#include "host/web/AdminHtml.h"
#include "host/web/HttpServer.h"
#include "host/web/Utf8.h"
#include "platform/Controls.h"
#include "platform/Convert.h"
#include "platform/Error.h"
#include "platform/Registry.h"
#include "platform/Services.h"
#include "step/StepSettingHelp.h"
#include "step/StepSettings.h"

namespace timeclock::web {

namespace {

constexpr size_t kLongestField = 32;
constexpr int kUnprocessable = 422;

// The step's setup page on this thread, attached to the step as the configuration keeps it. The
// request's thread makes and drops these objects; they never leave it. Saved values the step
// cannot use are put back to their defaults first, so that the page can load at all.
struct StepSetup {
    Configuration config;
    std::shared_ptr<framework::IStep> step;
    std::shared_ptr<framework::IPropertyPage> page;
    std::vector<std::string> repaired;

    explicit StepSetup(const std::filesystem::path& file) : config(Configuration::Load(file)) {
        if (auto* system = dynamic_cast<platform::SystemServices*>(&platform::services()))
            config.ApplyRegional(*system);
        step = config.CreateStep();
        const stampkind::SettingsView settings(step->Properties());
        for (const auto& problem : settings.Problems()) {
            repaired.push_back(problem.text + "; it is set to its default");
            settings.Item(problem.id)->SetValue(stampkind::SettingOf(problem.id).default_value);
        }
        page = platform::CreateObjectAs<framework::IPropertyPage>(step->PropertyPageID());
        page->AttachStep(step);
    }
    platform::UserControl& Form() { return *platform::query_or_raise<platform::UserControl>(page); }
};

// Which setting each of the setup page's value controls edits.
const std::map<std::string, stampkind::SettingId> kSettingOfControl{
    {"lstManagerStampkinds", stampkind::SettingId::AllowedStampkinds},
    {"chkUseGlidepass", stampkind::SettingId::IsGlidepass},
    {"txtResetSpan", stampkind::SettingId::GlidepassSpan},
};

const stampkind::StepSettingHelp* HelpOfControl(const std::string& name) {
    const auto found = kSettingOfControl.find(name);
    return found == kSettingOfControl.end() ? nullptr : &stampkind::HelpOf(found->second);
}

// The setup page's controls, in its order, as fields of the form: a frame's or label's caption
// heads the field after it, and each value control carries its setting's help and reason.
std::string StepForm(StepSetup& setup, const std::string& csrf, const std::string& notice,
                     const std::map<std::string, std::string>& reasons) {
    PageList fields;
    std::string caption;
    for (const auto& control : setup.Form().Controls()) {
        if (!control->Visible())
            continue;
        const auto name = control->QualifiedName();
        const auto* help = HelpOfControl(name);
        PageObject field{{"name", name},
                         {"help", help ? PageData(std::string(help->help)) : PageData(false)},
                         {"reason", ReasonOf(reasons, name)},
                         {"wrong", reasons.count(name) > 0}};
        switch (control->Kind()) {
            case platform::ControlKind::Label:
            case platform::ControlKind::Frame:
                caption = control->Caption();
                // A label ends with a colon; the field's caption does without it.
                if (!caption.empty() && caption.back() == ':')
                    caption.pop_back();
                continue;
            case platform::ControlKind::ListBox: {
                const auto& list = static_cast<const platform::ListBox&>(*control);
                PageList items;
                for (int i = 0; i < list.ListCount(); ++i)
                    items.push_back(PageObject{{"name", name + "." + std::to_string(i)},
                                               {"text", list.List(i)},
                                               {"checked", list.Selected(i)}});
                field["items"] = items;
                break;
            }
            case platform::ControlKind::CheckBox:
                field["check"] = PageObject{
                    {"text", control->Caption()},
                    {"checked", static_cast<const platform::CheckBox&>(*control).Value() == 1}};
                break;
            case platform::ControlKind::TextBox:
                field["text"] =
                    PageObject{{"value", static_cast<const platform::TextBox&>(*control).Text()},
                               {"unit", help ? std::string(help->unit) : std::string()}};
                break;
            default:
                continue;
        }
        field["caption"] = TextOrNothing(caption);
        caption.clear();
        fields.push_back(field);
    }
    PageList repaired;
    for (const auto& text : setup.repaired)
        repaired.push_back(PageData(text));
    return Render("settings", PageObject{{"notice", TextOrNothing(notice)},
                                         {"refused", !reasons.empty()},
                                         {"repaired", repaired},
                                         {"csrf", csrf},
                                         {"fields", fields}});
}

// Why a number typed for a setting cannot be used; empty when it can.
std::string NumberProblem(const std::string& text, const stampkind::StepSettingHelp& help,
                          const platform::RegionalSettings& regional) {
    const auto bounds = "a number of " + std::string(help.unit) + " more than " +
                        platform::number_to_text(help.least) + " and at most " +
                        platform::number_to_text(help.most);
    if (!IsUtf8(text) || Utf8Length(text) > kLongestField)
        return "This is no number: give " + bounds + ".";
    const auto number = platform::parse_number(text, regional);
    if (!number)
        return "\"" + text + "\" is no number: give " + bounds + ".";
    if (!(*number > help.least && *number <= help.most))
        return platform::number_to_text(*number) + " is out of bounds: give " + bounds + ".";
    return {};
}

// How a key of the clock's configuration is edited on its page.
enum class FieldKind { Number, Text, Choice, Switch };
struct ClockField {
    const char* key;
    const char* caption;
    FieldKind kind;
    std::vector<std::string> choices;  // of a Choice
};

// The clock's own settings on the page, in its order; their help and bounds are the
// configuration's own.
const std::vector<ClockField>& ClockFields() {
    static const std::vector<ClockField> kFields{
        {"clock_name", "Clock name", FieldKind::Text, {}},
        {"idle_seconds", "Idle time", FieldKind::Number, {}},
        {"punch_idle_seconds", "Punch screen idle time", FieldKind::Number, {}},
        {"confirm_seconds", "Confirmation time", FieldKind::Number, {}},
        {"duplicate_seconds", "Duplicate punch time", FieldKind::Number, {}},
        {"max_shift_hours", "Longest shift", FieldKind::Number, {}},
        {"week_starts", "Week starts on", FieldKind::Choice, Configuration::WeekdayNames()},
        {"regional", "Regional settings", FieldKind::Choice, {"en-US", "en-GB"}},
        {"kiosk_sounds", "Kiosk sounds", FieldKind::Switch, {}},
    };
    return kFields;
}

// The pay rules' fields: the period, its anchor and the overtime preset.
constexpr const char* kPeriodField = "pay_period";
constexpr const char* kAnchorField = "pay_anchor";
constexpr const char* kOvertimeField = "overtime";
constexpr const char* kCustomOvertime = "custom";

std::optional<ConfigurationKey> KeyNamed(const std::string& name) {
    for (auto& key : Configuration::Keys())
        if (key.name == name)
            return key;
    return std::nullopt;
}

// A text typed for a whole number as the file would hold it: a number when it is one, else the
// text itself, which the key's rule then refuses with its bounds.
nlohmann::json NumberValue(const std::string& text) {
    const bool digits =
        !text.empty() && text.size() <= 12 &&
        text.find_first_not_of("0123456789", text[0] == '-' ? 1 : 0) == std::string::npos &&
        text != "-";
    return digits ? nlohmann::json(std::stoll(text)) : nlohmann::json(text);
}

// The configuration's help, which follows a key's name, as a sentence of its own.
std::string Sentence(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

std::string ShownValue(const nlohmann::json& value) {
    if (value.is_string())
        return value.get<std::string>();
    return value.is_null() ? std::string() : value.dump();
}

std::string ClockForm(const Configuration& config, const std::map<std::string, std::string>& typed,
                      const std::string& csrf, const std::string& notice,
                      const std::map<std::string, std::string>& reasons) {
    const auto shown = [&](const std::string& name, const std::string& stored) {
        const auto found = typed.find(name);
        return found == typed.end() ? stored : found->second;
    };
    PageList fields;
    for (const auto& field : ClockFields()) {
        const auto key = KeyNamed(field.key);
        if (!key)
            continue;
        const auto value = shown(field.key, ShownValue(config.Stored(field.key)));
        PageObject entry{
            {"name", field.key},
            {"caption", field.caption},
            {"help", Sentence(key->help) + " (" + key->type + "; default " + key->fallback + ")."},
            {"reason", ReasonOf(reasons, field.key)},
            {"wrong", reasons.count(field.key) > 0}};
        if (field.kind == FieldKind::Switch) {
            entry["switch"] = PageObject{{"checked", value != "false"}};
        } else if (field.kind == FieldKind::Choice) {
            PageList choices;
            for (const auto& choice : field.choices)
                choices.push_back(PageObject{{"value", choice}, {"selected", choice == value}});
            entry["choices"] = choices;
            entry["has_choices"] = true;
        } else {
            entry["input"] =
                PageObject{{"value", value}, {"numeric", field.kind == FieldKind::Number}};
        }
        fields.push_back(entry);
    }
    // The pay rules, as far as they are a choice from a list.
    auto rules = config.Stored("pay_rules");
    const auto period = rules.is_object() ? rules.value("period", nlohmann::json::object())
                                          : nlohmann::json::object();
    const auto kind = shown(kPeriodField, period.value("kind", std::string("weekly")));
    PageList kinds;
    for (const auto& name : hours::kPeriodKindNames)
        kinds.push_back(PageObject{{"value", std::string(name)}, {"selected", name == kind}});
    const auto stored_overtime = rules.is_object() && rules.contains("overtime")
                                     ? rules["overtime"]
                                     : nlohmann::json("none");
    const auto overtime =
        shown(kOvertimeField,
              stored_overtime.is_string() ? stored_overtime.get<std::string>() : kCustomOvertime);
    PageList presets;
    for (const auto& preset : hours::kOvertimePresets)
        presets.push_back(
            PageObject{{"value", std::string(preset.name)}, {"selected", preset.name == overtime}});
    if (!stored_overtime.is_string())
        presets.push_back(PageObject{{"value", kCustomOvertime}, {"selected", true}});
    return Render("clock",
                  PageObject{{"notice", TextOrNothing(notice)},
                             {"refused", !reasons.empty()},
                             {"csrf", csrf},
                             {"fields", fields},
                             {"kinds", kinds},
                             {"anchor", shown(kAnchorField, period.value("anchor", std::string()))},
                             {"presets", presets},
                             {"pay_reason", ReasonOf(reasons, kPeriodField)},
                             {"pay_wrong", reasons.count(kPeriodField) > 0}});
}

}  // namespace

AdminSettingsPages::AdminSettingsPages(const ServerOptions& options, AdminSession& session)
    : m_options(options), m_session(session) {}

void AdminSettingsPages::Register(HttpServer& server) {
    server.Get("/admin/settings",
               [this](const auto& request, auto& response) { StepSettings(request, response); });
    server.Post("/admin/settings", [this](const auto& request, auto& response) {
        ChangeStepSettings(request, response);
    });
    server.Get("/admin/clock",
               [this](const auto& request, auto& response) { ClockSettings(request, response); });
    server.Post("/admin/clock", [this](const auto& request, auto& response) {
        ChangeClockSettings(request, response);
    });
}

void AdminSettingsPages::StepSettings(const Request& request, Response& response) {
    const auto session = m_session.Authorised(request, response, false);
    if (!session)
        return;
    StepSetup setup(m_options.config_file);
    Html(response,
         Page("Settings", session->csrf, StepForm(setup, session->csrf, session->notice, {})));
}

void AdminSettingsPages::ChangeStepSettings(const Request& request, Response& response) {
    const auto session = m_session.Authorised(request, response, true);
    if (!session)
        return;
    try {
        StepSetup setup(m_options.config_file);
        Reasons reasons;
        // The administrator's edits, made on the page's controls as a person would make them.
        for (const auto& control : setup.Form().Controls()) {
            if (!control->Visible())
                continue;
            const auto name = control->QualifiedName();
            if (auto* list = dynamic_cast<platform::ListBox*>(control.get())) {
                for (int i = 0; i < list->ListCount(); ++i) {
                    const bool wanted =
                        request.get_param_value(name + "." + std::to_string(i)) == "on";
                    if (list->Selected(i) != wanted)
                        list->ClickItem(i);
                }
            } else if (auto* check = dynamic_cast<platform::CheckBox*>(control.get())) {
                if ((check->Value() == 1) != (request.get_param_value(name) == "on"))
                    check->Click();
            } else if (auto* text = dynamic_cast<platform::TextBox*>(control.get())) {
                if (!request.has_param(name))
                    continue;
                const auto value = request.get_param_value(name);
                const auto* help = HelpOfControl(name);
                // The span is checked even while the automatic punch is off: it is saved all
                // the same, and would be taken the day the automatic punch is switched on.
                const auto problem = help && !help->unit.empty()
                                         ? NumberProblem(value, *help, setup.config.regional)
                                         : std::string();
                text->SetText(IsUtf8(value) ? value : RepairUtf8(value));
                if (!problem.empty())
                    reasons[name] = problem;
                else if (help && !help->unit.empty())
                    text->SetText(platform::number_to_text(
                        *platform::parse_number(value, setup.config.regional)));
            }
        }
        if (!reasons.empty()) {
            Html(response,
                 Page("Settings", session->csrf,
                      StepForm(setup, session->csrf, "Nothing was applied: a field is wrong.",
                               reasons)),
                 kUnprocessable);
            return;
        }
        setup.page->ApplyChanges();
        setup.config.StoreStep(setup.step);
        setup.config.Save(m_options.config_file);
        m_session.Notice(request,
                         "The settings are applied; every kiosk takes them before its next card.");
    } catch (const platform::RaisedError& error) {
        m_session.Notice(request, "The settings were not applied: " + error.description());
    }
    response.set_redirect("/admin/settings", 303);
}

void AdminSettingsPages::ClockSettings(const Request& request, Response& response) {
    const auto session = m_session.Authorised(request, response, false);
    if (!session)
        return;
    const auto config = Configuration::Load(m_options.config_file);
    Html(response,
         Page("Clock", session->csrf, ClockForm(config, {}, session->csrf, session->notice, {})));
}

void AdminSettingsPages::ChangeClockSettings(const Request& request, Response& response) {
    const auto session = m_session.Authorised(request, response, true);
    if (!session)
        return;
    try {
        auto config = Configuration::Load(m_options.config_file);
        std::map<std::string, std::string> typed;
        Reasons reasons;
        for (const auto& field : ClockFields()) {
            nlohmann::json value;
            if (field.kind == FieldKind::Switch) {
                value = request.get_param_value(field.key) == "on";
                typed[field.key] = value.dump();
            } else {
                if (!request.has_param(field.key))
                    continue;
                const auto text = request.get_param_value(field.key);
                typed[field.key] = RepairUtf8(text);
                if (!IsUtf8(text) || Utf8Length(text) > kLongestField) {
                    reasons[field.key] = "This is too long or not text: at most 32 characters.";
                    continue;
                }
                value = field.kind == FieldKind::Number ? NumberValue(text) : nlohmann::json(text);
            }
            if (const auto problem = config.Set(field.key, value); !problem.empty())
                reasons[field.key] = "\"" + typed[field.key] + "\" " + problem + ".";
        }
        if (request.has_param(kPeriodField) && request.has_param(kOvertimeField)) {
            auto rules = config.Stored("pay_rules");
            if (!rules.is_object())
                rules = nlohmann::json::object();
            const auto kind = request.get_param_value(kPeriodField);
            const auto anchor = request.get_param_value(kAnchorField);
            const auto overtime = request.get_param_value(kOvertimeField);
            typed[kPeriodField] = kind;
            typed[kAnchorField] = anchor;
            typed[kOvertimeField] = overtime;
            nlohmann::json period{{"kind", kind}};
            if (!anchor.empty())
                period["anchor"] = anchor;
            rules["period"] = period;
            if (overtime != kCustomOvertime)
                rules["overtime"] = overtime;
            if (auto problem = config.Set("pay_rules", rules); !problem.empty())
                reasons[kPeriodField] = "The pay rules " + problem;
        }
        if (!reasons.empty()) {
            Html(response,
                 Page("Clock", session->csrf,
                      ClockForm(Configuration::Load(m_options.config_file), typed, session->csrf,
                                "Nothing was applied: a field is wrong.", reasons)),
                 kUnprocessable);
            return;
        }
        config.Save(m_options.config_file);
        m_session.Notice(request,
                         "The clock's settings are applied; the kiosks take them at their next "
                         "card, and a regional setting when the server starts again.");
    } catch (const platform::RaisedError& error) {
        m_session.Notice(request, "The clock's settings were not applied: " + error.description());
    }
    response.set_redirect("/admin/clock", 303);
}

}  // namespace timeclock::web
