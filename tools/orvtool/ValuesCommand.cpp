// orvtool values: the value the Main page shows for every measured station and active frequency,
// as CSV.

#include "Command.h"
#include "ToolPrompt.h"
#include "config/Configuration.h"
#include "config/ConfigurationFields.h"
#include "config/ProgramPaths.h"
#include "platform/QtSettingsStore.h"
#include "signal/SignalComputation.h"
#include "survey/GridSurvey.h"
#include "survey/SessionFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace orv::tool {

namespace {

constexpr const char* kHelp =
    "Usage: orvtool values FILE.orv [--calibration INI] [--set Field=Value]...\n"
    "Prints, as CSV with the columns profile,station,frequency,value, the value the Main page\n"
    "shows for every measured station (in walking order) and every active frequency (numbered\n"
    "1..14). The values are computed from the raw measurements with the program's signal\n"
    "settings and the calibration the file's header names.\n\n"
    "  --set Field=Value    change a configuration field for this run only, by its name, e.g.\n"
    "                       --set UnitMeasure=1 --set ApparentValueKind=1 (apparent\n"
    "                       conductivity in mS/m), --set UsedFrequencies=1,2,14,\n"
    "                       --set CalibrationKey=9,28/02/2007; applied after the file is read\n"
    "  --calibration FILE   calibration file (default: the program's own)\n"
    "  --settings FILE      settings file (default: the program's own); never written\n";

// The shortest text that reads back as the same float.
std::string FloatText(float v)
{
    char buffer[32];
    for (int precision = 1; precision <= 9; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, double(v));
        if (std::strtof(buffer, nullptr) == v) {
            break;
        }
    }
    return buffer;
}

int Run(const std::vector<std::string>& args)
{
    if (WantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    std::string path;
    std::string calibrationPath = DefaultCalibrationPath();
    std::string settingsPath = SettingsFilePath();
    std::vector<std::string> settings;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--set" || a == "--calibration" || a == "--settings") {
            if (i + 1 >= args.size()) {
                return Fail("values", a + " needs a value");
            }
            const std::string& v = args[++i];
            if (a == "--set") {
                settings.push_back(v);
            } else {
                (a == "--calibration" ? calibrationPath : settingsPath) = v;
            }
        } else if (!a.empty() && a[0] == '-') {
            return Fail("values", "unknown option '" + a + "' (see --help)");
        } else if (path.empty()) {
            path = a;
        } else {
            return Fail("values", "one session file only ('" + a + "' is a second one)");
        }
    }
    if (path.empty()) {
        std::fputs(kHelp, stderr);
        return 2;
    }

    QtSettingsStore store(settingsPath, "Default values");
    ToolPrompt prompt;
    Configuration config(store, calibrationPath, prompt);
    std::string error;
    std::string detail;
    std::unique_ptr<Survey> survey = OpenSession(path, config, error, &detail);
    if (!survey) {
        return Fail("values", path + ": " + error + (detail.empty() ? "" : " " + detail));
    }
    for (const std::string& setting : settings) {
        if (!ApplySetting(config, setting, error)) {
            return Fail("values", error);
        }
    }

    std::string out = "profile,station,frequency,value\n";
    for (int i = 0; i < survey->Slots().Count(); ++i) {
        const MeasurementSlot& slot = survey->Slots()[i];
        if (slot.IsEmpty()) {
            continue;
        }
        int profile = 0;
        int station = i;
        if (!survey->IsTrack()) {
            static_cast<const GridSurvey&>(*survey).StationOf(i, profile, station);
        }
        const std::string where = std::to_string(profile) + "," + std::to_string(station) + ",";
        for (int f = 0; f < kFrequencyCount; ++f) {
            if (config.UsedFrequencies[size_t(f)] != 0) {
                out += where + std::to_string(f + 1) + "," + FloatText(ValueAt(config, slot, f)) +
                       "\n";
            }
        }
    }
    std::fputs(out.c_str(), stdout);
    return 0;
}

const bool kRegistered =
    RegisterCommand({"values", "the displayed value of every station and frequency as CSV", &Run});

}  // namespace

}  // namespace orv::tool
