#include <iostream>
#include <memory>
#include <optional>

#include "framework/IPropertyPage.h"
#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/clock/ComponentLibrary.h"
#include "host/clock/Configuration.h"
#include "platform/Controls.h"
#include "platform/Registry.h"
#include "platform/Services.h"
#include "step/StepSettings.h"

namespace timeclock {

namespace {

struct SetupOptions {
    std::string config;
    std::optional<std::string> allowed;
    std::optional<std::string> glidepass;
    std::optional<std::string> span;
    bool show = false;
};

// Edits the controls of the step's setup page the way an administrator would: a click on each
// list item whose selection must change, a click on the check box when it must change, the span
// typed into its box.
void EditPage(platform::UserControl& page, const SetupOptions& options) {
    if (options.allowed) {
        auto& list = page.Get<platform::ListBox>("lstManagerStampkinds");
        for (int i = 0; i < list.ListCount(); ++i) {
            if (list.Selected(i) != ((*options.allowed)[static_cast<size_t>(i)] == '1')) {
                list.ClickItem(i);
            }
        }
    }
    if (options.glidepass) {
        auto& check = page.Get<platform::CheckBox>("chkUseGlidepass");
        if ((check.Value() == 1) != (*options.glidepass == "on"))
            check.Click();
    }
    if (options.span)
        page.Get<platform::TextBox>("txtResetSpan").SetText(*options.span);
}

// The settings as saved, the configuration file, and (only when there are any) the warnings
// about saved values the step cannot use.
nlohmann::ordered_json Settings(const framework::IStep& step, const std::filesystem::path& file) {
    const stampkind::SettingsView settings(step.Properties());
    nlohmann::ordered_json json;
    for (const auto& setting : stampkind::StepSettings())
        json[std::string(setting.name)] = ToJson(settings.Value(setting.id));
    json["config"] = file.string();
    for (const auto& problem : settings.Problems())
        json["warnings"].push_back(problem.text);
    return json;
}

// Saved values the step cannot use are reported on the error stream. Before the setup page loads
// the settings they are put back to their defaults, so that the administrator can edit the
// settings at all; the edits are then saved over them.
void RepairForEditing(const framework::IStep& step) {
    const stampkind::SettingsView settings(step.Properties());
    for (const auto& problem : settings.Problems()) {
        std::cerr << "timeclock: warning: " << problem.text << "; it is set to its default\n";
        settings.Item(problem.id)->SetValue(stampkind::SettingOf(problem.id).default_value);
    }
}

void RunSetup(const SetupOptions& options) {
    const auto file = ConfigFileOrDefault(options.config);
    auto config = Configuration::Load(file);
    // The setup page reads the span typed into it under the clock's regional settings.
    if (auto* system = dynamic_cast<platform::SystemServices*>(&platform::services()))
        config.ApplyRegional(*system);
    ComponentLibrary::BesideProgram().EnsureRegistered();
    auto step = config.CreateStep();
    const bool edits = options.allowed || options.glidepass || options.span;
    if (edits) {
        RepairForEditing(*step);
        auto page = platform::CreateObjectAs<framework::IPropertyPage>(step->PropertyPageID());
        page->AttachStep(step);
        EditPage(*platform::query_or_raise<platform::UserControl>(page), options);
        page->ApplyChanges();
        config.StoreStep(step);
        config.Save(file);
    }
    if (options.show || !edits)
        std::cout << JsonText(Settings(*step, file), 2) << '\n';
}

}  // namespace

void AddSetupCommand(CLI::App& app, int& exit_status) {
    auto options = std::make_shared<SetupOptions>();
    auto* command = app.add_subcommand(
        "setup", "Edits the \"Punch Entry\" step's settings through its setup page");
    command->add_option("--config", options->config,
                        "The configuration file (default: the clock's own)");
    command
        ->add_option("--allowed", options->allowed,
                     "The manager punch types allowed: ten characters 1 or 0, in the order "
                     "Advance, Holiday, Sick, Vacation, Personal, Bonus, Other, Funeral Leave, "
                     "Jury Duty, Complete")
        ->check(
            [](const std::string& text) -> std::string {
                if (text.size() != 10 || text.find_first_not_of("01") != std::string::npos) {
                    return "give ten characters, each 1 or 0";
                }
                return "";
            },
            "10 x 1|0");
    command->add_option("--glidepass", options->glidepass, "The automatic punch: on or off")
        ->check(CLI::IsMember({"on", "off"}));
    command->add_option("--span", options->span,
                        "How many hours back the automatic punch looks for the last punch");
    command->add_flag("--show", options->show, "Prints the settings after the edits");
    command->callback([options, &exit_status] {
        try {
            RunSetup(*options);
            exit_status = kExitOk;
        } catch (const platform::RaisedError& error) {
            PrintError(error);
            exit_status = kExitError;
        }
    });
}

}  // namespace timeclock
