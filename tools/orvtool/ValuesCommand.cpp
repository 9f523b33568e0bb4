// orvtool values: the value the Main page shows for every measured station and active frequency,
// as CSV.

#include "Command.h"
#include "Json.h"
#include "ToolSession.h"
#include "config/Configuration.h"
#include "config/ConfigurationFields.h"
#include "config/ProgramPaths.h"
#include "signal/SignalComputation.h"
#include "survey/GridSurvey.h"
#include "survey/SessionFile.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orv::tool {

// Named rather than anonymous: the commands are compiled together in batches.
namespace values_command {

constexpr const char* kAbout =
    "Prints, as CSV with the columns profile,station,frequency,value, the value the Main page\n"
    "shows for every measured station (in walking order) and every active frequency (numbered\n"
    "1..14). The values are computed from the raw measurements with the program's signal\n"
    "settings and the calibration the file's header names.\n";

struct Options
{
    std::string path;
    std::string calibrationPath = DefaultCalibrationPath();
    std::string settingsPath = SettingsFilePath();
    std::vector<std::string> settings;
};

int Run(const CLI::App& command, const Options& options)
{
    if (options.path.empty()) {
        return cmdline::UsageError(command);
    }
    const std::string& path = options.path;

    ToolSession session(options.settingsPath, options.calibrationPath);
    Configuration& config = session.Config();
    std::string error;
    std::unique_ptr<Survey> survey = session.Open(path, error);
    if (!survey) {
        return Fail("values", error);
    }
    if (!session.Apply(options.settings, error)) {
        return Fail("values", error);
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

std::function<int()> Define(CLI::App& command)
{
    auto options = std::make_shared<Options>();
    command.footer(kAbout);
    command.add_option("FILE.orv", options->path, "the session file")->type_name("");
    AddSetOption(command, options->settings,
                 "change a configuration field for this run only, by its name, e.g.\n"
                 "--set UnitMeasure=1 --set ApparentValueKind=1 (apparent\n"
                 "conductivity in mS/m), --set UsedFrequencies=1,2,14,\n"
                 "--set CalibrationKey=9,28/02/2007; applied after the file is read");
    AddCalibrationOption(command, options->calibrationPath);
    AddSettingsOption(command, options->settingsPath);
    return [options, &command] { return Run(command, *options); };
}

const bool kRegistered = RegisterCommand(
    {"values", "the displayed value of every station and frequency as CSV", &Define});

}  // namespace values_command

}  // namespace orv::tool
