#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/HostObjects.h"
#include "platform/Error.h"
#include "platform/Variant.h"

// The step's three settings as a schema, and typed access to them in a settings collection.
// Header-only so that the host (the `timeclock setup` command, the clock's start-up warnings) can
// read the same schema without linking the component.
namespace stampkind {

// Which setting: the only way code names one, so a misspelt name does not compile.
enum class SettingId { AllowedStampkinds, IsGlidepass, GlidepassSpan };

// One setting: its name in the collection and its default value, whose kind is the setting's
// type.
struct StepSetting {
    SettingId id;
    std::string_view name;
    platform::Variant default_value;
};

// The settings in the order they are added: which manager punch types are offered (one "1" or
// "0" for each of Advance, Holiday, Sick, Vacation, Personal, Bonus, Other, Funeral Leave, Jury
// Duty, Complete), whether the step chooses the punch by itself, and how many hours back that
// choice looks for the employee's last punch.
inline const std::array<StepSetting, 3>& StepSettings() {
    static const std::array<StepSetting, 3> kSettings{{
        {SettingId::AllowedStampkinds, "AllowedStampkinds", platform::Variant("1111111111")},
        {SettingId::IsGlidepass, "IsGlidepass", platform::Variant(false)},
        {SettingId::GlidepassSpan, "GlidepassSpan", platform::Variant(18.0)},
    }};
    return kSettings;
}

inline const StepSetting& SettingOf(SettingId id) {
    return StepSettings()[static_cast<size_t>(id)];
}

// The step's settings collection read and written through the schema. Each reader converts the
// way the step's behaviour asks and raises the conversion's error to its caller; the collection
// stays the step's.
class SettingsView {
  public:
    // Raises "Object variable or With block variable not set" (91) when there is no collection.
    explicit SettingsView(std::shared_ptr<framework::IPropertyCollection> settings)
        : m_settings(std::move(settings)) {
        if (!m_settings)
            platform::raise(platform::err::kObjectVariableNotSet);
    }

    // The setting object, as the collection keeps it.
    std::shared_ptr<framework::ISetting> Item(SettingId id) const {
        return m_settings->Item(platform::Variant(std::string(SettingOf(id).name)));
    }
    platform::Variant Value(SettingId id) const { return Item(id)->Value(); }

    // "AllowedStampkinds" converted to text.
    std::string AllowedStampkinds() const { return Value(SettingId::AllowedStampkinds).to_text(); }
    // True only when "IsGlidepass" equals the boolean true; anything else, null included, is off.
    bool IsGlidepass() const {
        return platform::loose_equal(Value(SettingId::IsGlidepass), platform::Variant(true));
    }
    // "GlidepassSpan" converted to a number of hours.
    double GlidepassSpan() const { return Value(SettingId::GlidepassSpan).to_double(); }

    void SetAllowedStampkinds(const std::string& allowed) const {
        Item(SettingId::AllowedStampkinds)->SetValue(platform::Variant(allowed));
    }
    void SetIsGlidepass(bool on) const {
        Item(SettingId::IsGlidepass)->SetValue(platform::Variant(on));
    }
    void SetGlidepassSpan(double hours) const {
        Item(SettingId::GlidepassSpan)->SetValue(platform::Variant(hours));
    }

    // What an administrator should hear about saved values the step cannot use as their kind
    // (a hand-edited file): one sentence per setting, naming it. The step keeps such values and
    // goes on punching; only the use that needs the value meets the error.
    struct Problem {
        SettingId id;
        std::string text;
    };
    std::vector<Problem> Problems() const {
        std::vector<Problem> problems;
        for (const auto& setting : StepSettings()) {
            try {
                const platform::Variant value = Value(setting.id);
                switch (setting.default_value.type()) {
                    case platform::VarType::Boolean:
                        (void)value.to_bool();
                        break;
                    case platform::VarType::Double:
                        (void)value.to_double();
                        break;
                    default:
                        if (!IsAllowedTypes(value.to_text()))
                            platform::raise(platform::err::kTypeMismatch,
                                            "it is not ten characters 1 or 0");
                        break;
                }
            } catch (const platform::RaisedError& error) {
                problems.push_back({setting.id, "the saved setting \"" + std::string(setting.name) +
                                                    "\" cannot be used: " + error.description()});
            }
        }
        return problems;
    }

  private:
    // The setup page reads the first ten characters as digits.
    static bool IsAllowedTypes(std::string_view text) {
        if (text.size() < 10)
            return false;
        for (char c : text.substr(0, 10)) {
            if (c < '0' || c > '9')
                return false;
        }
        return true;
    }

    std::shared_ptr<framework::IPropertyCollection> m_settings;
};

}  // namespace stampkind
