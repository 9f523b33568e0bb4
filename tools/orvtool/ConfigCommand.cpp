// orvtool config: the program's settings as the window would load and save them.

#include <cstdio>
#include <string>
#include <vector>

#include "Command.h"
#include "Json.h"
#include "ToolPrompt.h"
#include "config/Configuration.h"
#include "config/ConfigurationFields.h"
#include "config/ProgramPaths.h"
#include "platform/QtSettingsStore.h"

namespace orv::tool {

namespace {

constexpr const char* kHelp =
    "Usage: orvtool config show\n"
    "       orvtool config set Field=Value [Field=Value]...\n"
    "       orvtool config reset\n"
    "Shows or changes the program's settings.\n\n"
    "  show      print every configuration field as JSON, keyed by field name\n"
    "  set       change fields by name (e.g. UnitMeasure=1, XStep=0.5,\n"
    "            UsedFrequencies=1,2,14, CalibrationKey=9,28/02/2007) and save\n"
    "  reset     put every stored field back to its default and save\n\n"
    "Options:\n"
    "  --settings FILE      settings file (default: the program's own, or ORVCONTROL_SETTINGS)\n"
    "  --calibration FILE   calibration file (default: the program's own)\n"
    "  --overwrite yes|no|cancel\n"
    "                       answer to a question about two calibrations of one identity\n"
    "                       (default: no)\n";

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

int Run(const std::vector<std::string>& args)
{
    if (WantsHelp(args) || args.size() < 2) {
        std::fputs(kHelp, args.size() < 2 ? stderr : stdout);
        return args.size() < 2 ? 2 : 0;
    }
    std::string settingsPath = SettingsFilePath();
    std::string calibrationPath = DefaultCalibrationPath();
    Answer answer = Answer::No;
    std::vector<std::string> rest;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--settings" || a == "--calibration" || a == "--overwrite") &&
            i + 1 >= args.size()) {
            return Fail("config", a + " needs a value");
        }
        if (a == "--settings") {
            settingsPath = args[++i];
        } else if (a == "--calibration") {
            calibrationPath = args[++i];
        } else if (a == "--overwrite") {
            const auto parsed = ParseAnswer(args[++i]);
            if (!parsed) {
                return Fail("config", "--overwrite takes yes, no or cancel");
            }
            answer = *parsed;
        } else {
            rest.push_back(a);
        }
    }
    if (rest.empty()) {
        return Fail("config", "say show, set or reset (see --help)");
    }
    const std::string action = rest[0];
    if (action != "show" && action != "set" && action != "reset") {
        return Fail("config", "unknown action '" + action + "' (see --help)");
    }
    if (action == "set" && rest.size() < 2) {
        return Fail("config", "set needs at least one Field=Value");
    }

    QtSettingsStore store(settingsPath, "Default values");
    ToolPrompt prompt(answer);
    Configuration config(store, calibrationPath, prompt);

    if (action == "show") {
        std::printf("%s\n", ShowJson(config).c_str());
        return 0;
    }
    if (action == "set") {
        for (size_t i = 1; i < rest.size(); ++i) {
            std::string error;
            if (!ApplySetting(config, rest[i], error)) {
                return Fail("config", error + "; nothing was saved");
            }
        }
    } else {
        config.LoadDefaults();
        config.SelectCalibration(CalibrationId{});
    }
    std::string error;
    if (!config.Save(error)) {
        return Fail("config", error);
    }
    return 0;
}

const bool kRegistered =
    RegisterCommand({"config", "show or change the program's settings", &Run});

}  // namespace

}  // namespace orv::tool
