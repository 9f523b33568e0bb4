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
#include <string>
#include <vector>

namespace orv::tool {

namespace {

constexpr const char* kHelp =
    "Usage: orvtool export FILE.orv --format csv|geojson|kml [--set Field=Value]...\n"
    "Writes the measured stations of a session to stdout, each with its coordinates and the\n"
    "value the Main page shows for every active frequency (columns or properties f1..f14).\n\n"
    "  csv      grid: profile,station,x,y,f...   (x, y in survey units from the steps)\n"
    "           track: station,latitude,longitude,x,y,f...   (x, y in metres east and\n"
    "           north of the first station)\n"
    "  geojson  a FeatureCollection of points; a track's stations at their positions, a grid's\n"
    "           without a geometry and with x, y among the properties\n"
    "  kml      a placemark per station of a track (grids have no positions)\n\n"
    "A track station without a position (latitude and longitude 0) has empty coordinates in\n"
    "CSV, no geometry in GeoJSON and no placemark in KML.\n\n"
    "  --set Field=Value    change a configuration field for this run only (see orvtool values)\n"
    "  --calibration FILE   calibration file (default: the program's own)\n"
    "  --settings FILE      settings file (default: the program's own); never written\n";

enum class Format { Csv, GeoJson, Kml };

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

int Run(const std::vector<std::string>& args)
{
    if (WantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    std::string path;
    std::string format;
    std::string calibrationPath = DefaultCalibrationPath();
    std::string settingsPath = SettingsFilePath();
    std::vector<std::string> settings;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--set" || a == "--calibration" || a == "--settings" || a == "--format") {
            if (i + 1 >= args.size()) {
                return Fail("export", a + " needs a value");
            }
            const std::string& v = args[++i];
            if (a == "--set") {
                settings.push_back(v);
            } else if (a == "--format") {
                format = v;
            } else {
                (a == "--calibration" ? calibrationPath : settingsPath) = v;
            }
        } else if (!a.empty() && a[0] == '-') {
            return Fail("export", "unknown option '" + a + "' (see --help)");
        } else if (path.empty()) {
            path = a;
        } else {
            return Fail("export", "one session file only ('" + a + "' is a second one)");
        }
    }
    if (path.empty()) {
        std::fputs(kHelp, stderr);
        return 2;
    }
    Format kind = Format::Csv;
    if (format == "csv") {
        kind = Format::Csv;
    } else if (format == "geojson") {
        kind = Format::GeoJson;
    } else if (format == "kml") {
        kind = Format::Kml;
    } else {
        return Fail("export", format.empty()
                                  ? "say --format csv, geojson or kml"
                                  : "--format takes csv, geojson or kml, not '" + format + "'");
    }

    QtSettingsStore store(settingsPath, "Default values");
    ToolPrompt prompt;
    Configuration config(store, calibrationPath, prompt);
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
    for (const std::string& setting : settings) {
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
    }
    std::fputs(out.c_str(), stdout);
    return 0;
}

const bool kRegistered = RegisterCommand(
    {"export", "stations with coordinates and values as CSV, GeoJSON or KML", &Run});

}  // namespace

}  // namespace orv::tool
