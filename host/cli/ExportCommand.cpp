#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>

#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/clock/Configuration.h"
#include "host/database/ClockDatabase.h"
#include "host/database/ConnectionText.h"
#include "host/hours/Export.h"
#include "host/hours/PayPeriod.h"
#include "host/hours/Timesheet.h"

namespace timeclock {

namespace {

struct ExportOptions {
    std::string database;
    std::string config;
    std::string format;
    std::string period;
    std::string from;
    std::string to;
    std::string output;
    std::string now;
    bool bom = false;
    bool force = false;
};

// The first and last day of the range asked for; none, with a message, when it names none.
std::optional<hours::PayPeriod> RangeAsked(const ExportOptions& options,
                                           const hours::PayRules& rules, platform::Date now) {
    if (options.period.empty() == (options.from.empty() && options.to.empty())) {
        std::cerr << "timeclock export: give either --from and --to or --period\n";
        return std::nullopt;
    }
    if (!options.period.empty()) {
        if (const auto period = PeriodNamed(options.period, rules, now))
            return period;
        std::cerr << "timeclock export: --period takes current, previous or a day as YYYY-MM-DD\n";
        return std::nullopt;
    }
    const auto from = DayNumber(options.from);
    const auto to = DayNumber(options.to);
    if (!from || !to) {
        std::cerr << "timeclock export: --from and --to take a day as YYYY-MM-DD\n";
        return std::nullopt;
    }
    if (*from > *to) {
        std::cerr << "timeclock export: the range is empty: --from is after --to\n";
        return std::nullopt;
    }
    hours::PayPeriod range;
    range.first = *from;
    range.last = *to;
    return range;
}

// Writes the export; false with a message on standard error when it cannot or must not.
bool RunExport(const ExportOptions& options) {
    if (orvane::EngineOf(options.database) == orvane::Engine::Sqlite &&
        !std::filesystem::exists(options.database)) {
        std::cerr << "timeclock export: there is no clock database " << options.database << '\n';
        return false;
    }
    const auto config = Configuration::Load(ConfigFileOrDefault(options.config));
    const auto built_in = hours::BuiltInTemplates();
    const hours::ExportTemplate* layout = nullptr;
    if (options.format != "csv") {
        layout = hours::FindTemplate(config.export_templates, built_in, options.format);
        if (!layout) {
            std::cerr << "timeclock export: there is no export template \"" << options.format
                      << "\"; the clock has csv";
            for (const auto& t : built_in)
                std::cerr << ", " << t.name;
            for (const auto& t : config.export_templates)
                if (!hours::FindTemplate({}, built_in, t.name))
                    std::cerr << ", " << t.name;
            std::cerr << '\n';
            return false;
        }
    }
    hours::PayRules pay_rules = config.pay_rules;
    pay_rules.week_starts = config.week_starts;
    const auto moment = MomentAsked(options.now, "export");
    if (!moment)
        return false;
    const auto range = RangeAsked(options, pay_rules, *moment);
    if (!range)
        return false;
    const hours::HoursRules rules{*moment, static_cast<double>(config.max_shift_hours)};
    const orvane::ClockDatabase database(options.database);
    const auto sheet = hours::Timesheet::Build(database, range->first, range->last, std::nullopt,
                                               rules, pay_rules);
    // Payroll is never sent hours that a manager has yet to settle, unless asked to.
    const auto exceptions = hours::UnresolvedExceptions(sheet);
    if (!exceptions.empty() && !options.force) {
        std::cerr << "timeclock export: " << exceptions.size()
                  << (exceptions.size() == 1 ? " unresolved exception" : " unresolved exceptions")
                  << " from " << hours::DayText(range->first) << " to "
                  << hours::DayText(range->last) << "; resolve them or add --force:\n";
        for (const auto& line : exceptions)
            std::cerr << "  " << line << '\n';
        return false;
    }
    std::string text = options.bom ? hours::kUtf8Bom : "";
    text += layout ? hours::ExportSheet(sheet, *layout) : sheet.Csv();
    if (options.output.empty()) {
        std::cout << text;
        return true;
    }
    std::ofstream out(options.output, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out)
        platform::raise(platform::err::kHostBase + 1,
                        "Cannot write the export file " + options.output);
    return true;
}

}  // namespace

void AddExportCommand(CLI::App& app, int& exit_status) {
    auto options = std::make_shared<ExportOptions>();
    auto* command = app.add_subcommand(
        "export", "Payroll export of a period: the clock's CSV or a template's layout");
    command->add_option("--db", options->database, "The clock database file")->required();
    command->add_option("--config", options->config,
                        "The configuration file whose pay_rules and export_templates apply "
                        "(default: the clock's own)");
    command
        ->add_option("--format", options->format,
                     "csv, or an export template: hours-by-code, daily, fixed-width or one "
                     "of the configuration's")
        ->required();
    command->add_option("--period", options->period,
                        "The pay period: current, previous, or the one that holds a day "
                        "YYYY-MM-DD");
    command->add_option("--from", options->from, "The first day, YYYY-MM-DD");
    command->add_option("--to", options->to, "The last day, YYYY-MM-DD");
    command->add_flag("--bom", options->bom,
                      "Begin with a UTF-8 byte-order mark, so that a spreadsheet reads accents");
    command->add_flag("--force", options->force, "Export even with unresolved exceptions");
    command->add_option("--output", options->output, "Write to this file instead of the output");
    AddNowOption(*command, options->now);
    command->callback([options, &exit_status] {
        try {
            exit_status = RunExport(*options) ? kExitOk : kExitUsage;
        } catch (const platform::RaisedError& error) {
            PrintError(error);
            exit_status = kExitError;
        }
    });
}

}  // namespace timeclock
