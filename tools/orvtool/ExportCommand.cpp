// orvtool export: a session's stations with their coordinates and displayed values, for other
// tools: CSV, GeoJSON or KML.

#include "Command.h"
#include "Json.h"
#include "ToolPrompt.h"
#include "config/Configuration.h"
#include "config/ConfigurationFields.h"
#include "config/ProgramPaths.h"
#include "platform/QtSettingsStore.h"
#include "signal/SignalComputation.h"
#include "survey/GridSurvey.h"
#include "survey/SessionFile.h"
#include "survey/TrackSurvey.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orv::tool {

namespace {

constexpr const char* kAbout =
    "Writes the measured stations of a session to stdout, each with its coordinates and the\n"
    "value the Main page shows for every active frequency (columns or properties f1..f14).\n\n"
    "  csv      grid: profile,station,x,y,f...   (x, y in survey units from the steps)\n"
    "           track: station,latitude,longitude,x,y,f...   (x, y in metres east and\n"
    "           north of the first station)\n"
    "  geojson  a FeatureCollection of points; a track's stations at their positions, a grid's\n"
    "           without a geometry and with x, y among the properties\n"
    "  kml      a placemark per station of a track (grids have no positions)\n\n"
    "A track station without a position (latitude and longitude 0) has empty coordinates in\n"
    "CSV, no geometry in GeoJSON and no placemark in KML.\n";

enum class Format { None, Csv, GeoJson, Kml };

struct Options
{
    std::string path;
    Format format = Format::None;
    std::string calibrationPath = DefaultCalibrationPath();
    std::string settingsPath = SettingsFilePath();
    std::vector<std::string> settings;
};

std::string Xml(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

struct Station
{
    int index = 0;
    int profile = 0;
    int station = 0;
    float x = 0.0f;
    float y = 0.0f;
    bool positioned = false;
    GpsFix position;
    std::vector<float> values;  // one per active frequency
};

std::vector<Station> Stations(const Survey& survey, const Configuration& config)
{
    std::vector<Station> stations;
    for (int i = 0; i < survey.Slots().Count(); ++i) {
        const MeasurementSlot& slot = survey.Slots()[i];
        if (slot.IsEmpty()) {
            continue;
        }
        Station s;
        s.index = i;
        s.station = i;
        if (survey.IsTrack()) {
            const auto& track = static_cast<const TrackSurvey&>(survey);
            s.position = track.PositionAt(i);
            s.positioned = s.position.latitude != 0.0 || s.position.longitude != 0.0;
            if (i < track.LocalCoordinates().Count()) {
                s.x = track.LocalCoordinates()[i].x;
                s.y = track.LocalCoordinates()[i].y;
            }
        } else {
            const auto& grid = static_cast<const GridSurvey&>(survey);
            grid.StationOf(i, s.profile, s.station);
            s.x = float(s.station) * grid.XStep();
            s.y = float(s.profile) * grid.YStep();
        }
        for (int f = 0; f < kFrequencyCount; ++f) {
            if (config.UsedFrequencies[size_t(f)] != 0) {
                s.values.push_back(ValueAt(config, slot, f));
            }
        }
        stations.push_back(std::move(s));
    }
    return stations;
}

std::vector<std::string> FrequencyNames(const Configuration& config)
{
    std::vector<std::string> names;
    for (int f = 0; f < kFrequencyCount; ++f) {
        if (config.UsedFrequencies[size_t(f)] != 0) {
            names.push_back("f" + std::to_string(f + 1));
        }
    }
    return names;
}

std::string Csv(const Survey& survey, const std::vector<Station>& stations,
                const std::vector<std::string>& names)
{
    std::string out = survey.IsTrack() ? "station,latitude,longitude,x,y" : "profile,station,x,y";
    for (const std::string& n : names) {
        out += "," + n;
    }
    out += "\n";
    for (const Station& s : stations) {
        if (survey.IsTrack()) {
            out += std::to_string(s.station) + ",";
            out += s.positioned
                       ? JsonNumber(s.position.latitude) + "," + JsonNumber(s.position.longitude)
                       : std::string(",");
        } else {
            out += std::to_string(s.profile) + "," + std::to_string(s.station);
        }
        out += "," + FloatText(s.x) + "," + FloatText(s.y);
        for (const float v : s.values) {
            out += "," + FloatText(v);
        }
        out += "\n";
    }
    return out;
}

std::string GeoJson(const Survey& survey, const Configuration& config,
                    const std::vector<Station>& stations, const std::vector<std::string>& names)
{
    std::string features;
    for (const Station& s : stations) {
        JsonObject properties;
        if (!survey.IsTrack()) {
            properties.Integer("profile", s.profile);
        }
        properties.Integer("station", s.station)
            .Number("x", double(s.x))
            .Number("y", double(s.y))
            .Integer("tickStamp", survey.Slots()[s.index].TickStamp());
        for (size_t k = 0; k < names.size(); ++k) {
            properties.Raw(names[k], FloatText(s.values[k]));
        }
        const std::string geometry = s.positioned ? "{\"type\":\"Point\",\"coordinates\":[" +
                                                        JsonNumber(s.position.longitude) + "," +
                                                        JsonNumber(s.position.latitude) + "]}"
                                                  : std::string("null");
        features += (features.empty() ? "" : ",\n") + JsonObject()
                                                          .Text("type", "Feature")
                                                          .Raw("geometry", geometry)
                                                          .Raw("properties", properties.Str())
                                                          .Str();
    }
    return JsonObject()
               .Text("type", "FeatureCollection")
               .Text("name", config.SessionText1)
               .Raw("features", "[\n" + features + "\n]")
               .Str() +
           "\n";
}

std::string Kml(const std::string& path, const Configuration& config,
                const std::vector<Station>& stations, const std::vector<std::string>& names)
{
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n<name>" +
        Xml(config.SessionText1.empty() ? path : config.SessionText1) + "</name>\n";
    for (const Station& s : stations) {
        if (!s.positioned) {
            continue;
        }
        out += "<Placemark><name>Station " + std::to_string(s.station) + "</name><ExtendedData>";
        for (size_t k = 0; k < names.size(); ++k) {
            out += "<Data name=\"" + names[k] + "\"><value>" + FloatText(s.values[k]) +
                   "</value></Data>";
        }
        out += "</ExtendedData><Point><coordinates>" + JsonNumber(s.position.longitude) + "," +
               JsonNumber(s.position.latitude) + "</coordinates></Point></Placemark>\n";
    }
    return out + "</Document>\n</kml>\n";
}

int Run(const CLI::App& command, const Options& options)
{
    if (options.path.empty()) {
        return cmdline::UsageError(command);
    }
    const std::string& path = options.path;
    const Format kind = options.format;
    if (kind == Format::None) {
        return Fail("export", "say --format csv, geojson or kml");
    }

    QtSettingsStore store(options.settingsPath, "Default values");
    ToolPrompt prompt;
    Configuration config(store, options.calibrationPath, prompt);
    std::string error;
    std::string detail;
    std::unique_ptr<Survey> survey = OpenSession(path, config, error, &detail);
    if (!survey) {
        return Fail("export", path + ": " + error + (detail.empty() ? "" : " " + detail));
    }
    if (kind == Format::Kml && !survey->IsTrack()) {
        return Fail("export", path +
                                  ": a grid survey has no GPS positions for KML; use --format csv "
                                  "or geojson");
    }
    for (const std::string& setting : options.settings) {
        if (!ApplySetting(config, setting, error)) {
            return Fail("export", error);
        }
    }
    const std::vector<Station> stations = Stations(*survey, config);
    const std::vector<std::string> names = FrequencyNames(config);
    std::string out;
    switch (kind) {
        case Format::Csv:
            out = Csv(*survey, stations, names);
            break;
        case Format::GeoJson:
            out = GeoJson(*survey, config, stations, names);
            break;
        case Format::Kml:
            out = Kml(path, config, stations, names);
            break;
        case Format::None:
            break;
    }
    std::fputs(out.c_str(), stdout);
    return 0;
}

std::function<int()> Define(CLI::App& command)
{
    auto options = std::make_shared<Options>();
    command.footer(kAbout);
    command.add_option("FILE.orv", options->path, "the session file")->type_name("");
    command.add_option("--format", options->format, "the form of the output (see below)")
        ->type_name("csv|geojson|kml")
        ->transform(cmdline::Choice("csv, geojson or kml", {{"csv", int(Format::Csv)},
                                                            {"geojson", int(Format::GeoJson)},
                                                            {"kml", int(Format::Kml)}}));
    AddSetOption(command, options->settings,
                 "change a configuration field for this run only (see orvtool values)");
    AddCalibrationOption(command, options->calibrationPath);
    AddSettingsOption(command, options->settingsPath);
    return [options, &command] { return Run(command, *options); };
}

const bool kRegistered = RegisterCommand(
    {"export", "stations with coordinates and values as CSV, GeoJSON or KML", &Define});

}  // namespace

}  // namespace orv::tool
