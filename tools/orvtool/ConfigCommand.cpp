// orvtool config: the program's settings as the window would load and save them.

#include "Command.h"
#include "Json.h"
#include "ToolPrompt.h"
#include "config/Configuration.h"
#include "config/ConfigurationFields.h"
#include "config/ProgramPaths.h"
#include "platform/QtSettingsStore.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orv::tool {

// Named rather than anonymous: the commands are compiled together in batches.
namespace config_command {

constexpr const char* kName = "config";

struct Options
{
    std::string settingsPath = SettingsFilePath();
    std::string calibrationPath = DefaultCalibrationPath();
    Answer answer = Answer::No;
    std::vector<std::string> fields;  // of set
};

std::string ChartJson(const ColourChart& chart)
{
    std::string colours = "[";
    for (size_t i = 0; i < chart.Colours().size(); ++i) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "\"0x%08X\"", chart.Colours()[i]);
        colours += (i == 0 ? "" : ",") + std::string(buffer);
    }
    colours += "]";
    return JsonObject()
        .Raw("Colours", colours)
        .Number("Minimum", double(chart.Minimum()))
        .Number("Maximum", double(chart.Maximum()))
        .Str();
}

std::string ShowJson(const Configuration& config)
{
    JsonObject json;
    for (const FieldInfo& field : ConfigurationFields()) {
        const std::string text = FieldValueText(config, field);
        switch (field.kind) {
            case FieldKind::Int:
            case FieldKind::Float:
            case FieldKind::Double:
                json.Raw(field.name, text);
                break;
            case FieldKind::Frequencies:
                json.Raw(field.name, "[" + text + "]");
                break;
            default:
                json.Text(field.name, text);
        }
    }
    const CalibrationId& key = config.CalibrationKey;
    json.Raw("CalibrationKey", JsonObject()
                                   .Integer("Serial", key.Serial)
                                   .Integer("Year", key.Year)
                                   .Integer("Month", key.Month)
                                   .Integer("Day", key.Day)
                                   .Str());
    json.Text("ActiveCalibration", config.ActiveCalibration.Comment);
    json.Raw("AreaChart", ChartJson(config.AreaChart));
    json.Raw("ProfileChart", ChartJson(config.ProfileChart));
    return json.Str();
}

int Run(const CLI::App& command, const Options& options)
{
    const bool show = command.got_subcommand("show");
    const bool set = command.got_subcommand("set");
    if (!show && !set && !command.got_subcommand("reset")) {
        // `orvtool config` alone asks for the help, as `orvtool` alone does.
        return command.count_all() == 1 ? cmdline::UsageError(command)
                                        : Fail(kName, "say show, set or reset (see --help)");
    }

    QtSettingsStore store(options.settingsPath, "Default values");
    ToolPrompt prompt(options.answer);
    Configuration config(store, options.calibrationPath, prompt);

    if (show) {
        std::printf("%s\n", ShowJson(config).c_str());
        return 0;
    }
    if (set) {
        for (const std::string& field : options.fields) {
            std::string error;
            if (!ApplySetting(config, field, error)) {
                return Fail(kName, error + "; nothing was saved");
            }
        }
    } else {
        config.LoadDefaults();
        config.SelectCalibration(CalibrationId{});
    }
    std::string error;
    if (!config.Save(error)) {
        return Fail(kName, error);
    }
    return 0;
}

std::function<int()> Define(CLI::App& command)
{
    auto options = std::make_shared<Options>();
    command
        .add_option("--settings", options->settingsPath,
                    "settings file (default: the program's own, or ORVCONTROL_SETTINGS)")
        ->type_name("FILE");
    AddCalibrationOption(command, options->calibrationPath);
    AddAnswerOption(command, options->answer,
                    "answer to a question about two calibrations of one identity\n"
                    "(default: no)");
    command.require_subcommand(0, 1);
    // The options above may also follow the action.
    command.add_subcommand("show", "print every configuration field as JSON, keyed by field name")
        ->fallthrough();
    CLI::App* set =
        command.add_subcommand("set",
                               "change fields by name (e.g. UnitMeasure=1, XStep=0.5,\n"
                               "UsedFrequencies=1,2,14, CalibrationKey=9,28/02/2007) and save");
    set->fallthrough();
    set->add_option("Field=Value", options->fields, "the fields to change")
        ->type_name("")
        ->required();
    command.add_subcommand("reset", "put every stored field back to its default and save")
        ->fallthrough();
    return [options, &command] { return Run(command, *options); };
}

const bool kRegistered = RegisterCommand({kName, "show or change the program's settings", &Define});

}  // namespace config_command

}  // namespace orv::tool
