// orvtool info: what a session file holds, as JSON keyed by the configuration and survey fields
// its header and body fill.

#include "Command.h"
#include "Json.h"
#include "ToolPrompt.h"
#include "base/ByteOrder.h"
#include "config/Configuration.h"
#include "config/ProgramPaths.h"
#include "platform/QtSettingsStore.h"
#include "survey/GridSurvey.h"
#include "survey/SessionFile.h"
#include "survey/SessionFormat.h"
#include "survey/TrackSurvey.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace orv::tool {

// Named rather than anonymous: the commands are compiled together in batches.
namespace info_command {

constexpr const char* kAbout =
    "Describes a session file as JSON: its header and survey fields under the names of the\n"
    "configuration and survey fields they fill, the work type, and the number of slots and of\n"
    "slots holding a measurement.\n";

struct Options
{
    std::string path;
    std::string calibrationPath = DefaultCalibrationPath();
    bool slots = false;
};

const char* WorkTypeName(int workType)
{
    switch (workType) {
        case work_type::kMap:
            return "Map";
        case work_type::kProfile:
            return "Profile";
        case work_type::kLine:
            return "Line";
        case work_type::kGpsTrack:
            return "GPS track";
        default:
            return "unknown";
    }
}

std::string IdentityJson(const CalibrationId& id)
{
    return JsonObject()
        .Integer("Serial", id.Serial)
        .Integer("Year", id.Year)
        .Integer("Month", id.Month)
        .Integer("Day", id.Day)
        .Str();
}

std::string SlotJson(const Survey& survey, int index)
{
    const MeasurementSlot& slot = survey.Slots()[index];
    int profile = 0;
    int station = index;
    if (!survey.IsTrack()) {
        static_cast<const GridSurvey&>(survey).StationOf(index, profile, station);
    }
    std::string values = "[";
    for (int f = 0; f < kFrequencyCount; ++f) {
        values += f == 0 ? "[" : ",[";
        for (size_t k = 0; k < 4; ++k) {
            values += (k == 0 ? "" : ",") + std::to_string(slot.Value(f, 3 * k));
        }
        values += "]";
    }
    values += "]";
    JsonObject json;
    json.Integer("Index", index)
        .Integer("Profile", profile)
        .Integer("Station", station)
        .Integer("PresentMask", slot.PresentMask())
        .Integer("Serial", slot.SerialNumber())
        .Integer("TickStamp", slot.TickStamp())
        .Raw("Values", values);
    if (survey.IsTrack()) {
        const GpsFix position = static_cast<const TrackSurvey&>(survey).PositionAt(index);
        json.Number("Latitude", position.latitude).Number("Longitude", position.longitude);
    }
    return json.Str();
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = std::string(kCouldNotOpenText) + FileErrorText(FileErrorCause(errno), path);
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

int Run(const CLI::App& command, const Options& options)
{
    if (options.path.empty()) {
        return cmdline::UsageError(command);
    }
    const std::string& path = options.path;
    const std::string& calibrationPath = options.calibrationPath;
    const bool slots = options.slots;

    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(path, bytes, error)) {
        return Fail("info", error);
    }
    // The program's settings are read but never written; what is shown comes from the file.
    QtSettingsStore store(SettingsFilePath(), "Default values");
    ToolPrompt prompt;
    Configuration config(store, calibrationPath, prompt);
    std::string detail;
    std::unique_ptr<Survey> survey = ReadSession(bytes, config, error, &detail);
    if (!survey) {
        return Fail("info", path + ": " + error + (detail.empty() ? "" : " " + detail));
    }
    // The file is sound now; the raw fields are read where the layout puts them.
    const uint8_t* h = bytes.data();
    CalibrationId key;
    key.Day = h[session::kIdentityOffset];
    key.Month = h[session::kIdentityOffset + 1];
    key.Year = little_endian::Load16(h + session::kIdentityOffset + 2);
    key.Serial = little_endian::Load16(h + session::kIdentityOffset + 4);
    const uint8_t* body = h + little_endian::Load32(h + session::kBodyOffsetField);

    std::string used = "[";
    for (int f = 0; f < kFrequencyCount; ++f) {
        used += (f == 0 ? "" : ",") + std::to_string(config.UsedFrequencies[size_t(f)]);
    }
    used += "]";

    JsonObject json;
    json.Text("File", path)
        .Integer("FormatWord1", little_endian::Load16(h + 4))
        .Integer("FormatWord2", little_endian::Load16(h + 6))
        .Text("SessionText1", config.SessionText1)
        .Text("SessionText2", config.SessionText2)
        .Text("SessionText3", config.SessionText3)
        .Raw("CalibrationKey", IdentityJson(key))
        .Raw("SelectedCalibration", IdentityJson(config.CalibrationKey))
        .Integer("WorkType", config.WorkType)
        .Text("WorkTypeName", WorkTypeName(config.WorkType));
    if (!survey->IsTrack()) {
        const auto& grid = static_cast<const GridSurvey&>(*survey);
        json.Integer("HeaderReserved1", int32_t(little_endian::Load32(body)))
            .Integer("HeaderReserved2", int32_t(little_endian::Load32(body + 4)))
            .Integer("XSize", little_endian::Load32(body + 8))
            .Integer("YSize", little_endian::Load32(body + 12))
            .Number("XStep", little_endian::LoadDouble(body + 16))
            .Number("YStep", little_endian::LoadDouble(body + 24))
            .Integer("OpenEnded", little_endian::Load32(body + 32) & 1u)
            .Integer("Stations", grid.Stations())
            .Integer("Profiles", grid.Profiles());
    } else {
        json.Integer("TrackFlags", little_endian::Load32(body + 4));
    }
    json.Raw("UsedFrequencies", used)
        .Integer("SlotCount", survey->Slots().Count())
        .Integer("ValidSlots", survey->ValidCount());
    if (slots) {
        std::string list = "[";
        for (int i = 0; i < survey->Slots().Count(); ++i) {
            list += (i == 0 ? "" : ",") + SlotJson(*survey, i);
        }
        json.Raw("Slots", list + "]");
    }
    std::printf("%s\n", json.Str().c_str());
    return 0;
}

std::function<int()> Define(CLI::App& command)
{
    auto options = std::make_shared<Options>();
    command.footer(kAbout);
    command.add_option("FILE.orv", options->path, "the session file")->type_name("");
    command.add_flag("--slots", options->slots,
                     "also list every slot: index, profile, station, present mask,\n"
                     "serial, tick stamp, the 14 x 4 raw readings (signal re, im,\n"
                     "current re, im) and, for a track, the position");
    command
        .add_option("--calibration", options->calibrationPath,
                    "calibration file the header's instrument is looked up in\n"
                    "(default: the program's own)")
        ->type_name("FILE");
    return [options, &command] { return Run(command, *options); };
}

const bool kRegistered = RegisterCommand({"info", "describe a session file as JSON", &Define});

}  // namespace info_command

}  // namespace orv::tool
