// orvtool export: a session's stations, or its gridded map, in the formats GIS, gridding and
// processing packages read, written by the exchange library.

#include "Command.h"
#include "ToolSession.h"
#include "config/Configuration.h"
#include "config/ConfigurationFields.h"
#include "config/ProgramPaths.h"
#include "exchange/ExportFormat.h"
#include "exchange/ExportSource.h"
#include "exchange/Exporter.h"
#include "exchange/StationTable.h"
#include "survey/SessionFile.h"
#include "survey/StationLog.h"
#include "survey/Survey.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace orv::tool {

// Named rather than anonymous: the commands are compiled together in batches.
namespace export_command {

constexpr const char* kAbout =
    "Writes the measured stations of a session, or its gridded map, for GIS, gridding and\n"
    "processing packages. The values are those `orvtool values` prints: the Main page's, from\n"
    "the program's signal settings and the calibration the file names.\n\n"
    "Formats:\n"
    "  gpkg     GeoPackage, a point per station (needs --out)\n"
    "  geojson  GeoJSON (RFC 7946: WGS 84 longitude/latitude, 7 decimals)\n"
    "  kml      KML placemarks (WGS 84)\n"
    "  gpx      GPX waypoints, and the walked track of a GPS track (WGS 84); stations\n"
    "           without a position are left out\n"
    "  csv      CSV with the field types in a .csvt beside it; without --out, the columns of\n"
    "           earlier versions on stdout: profile,station,x,y,f1.. for a grid survey and\n"
    "           station,latitude,longitude,x,y,f1.. for a GPS track\n"
    "  xyz      Geosoft XYZ, a Line per profile (one for a GPS track)\n"
    "  tif      GeoTIFF of the gridded map, a band per active frequency (needs --out)\n"
    "  grd7     Surfer 7 binary grid of one frequency (needs --out and --frequency)\n"
    "  grd6     Surfer 6 ASCII grid of one frequency (needs --out and --frequency)\n\n"
    "Each station has profile, station, time, fix_quality, satellites and hdop (empty: the\n"
    "session file holds no clock time or fix), serial (of the instrument that measured it),\n"
    "calibration, latitude, longitude, x, y, tick_ms and a field per frequency named with\n"
    "its frequency and unit, e.g. f10001Hz_mSm. A grid survey's x, y are metres along the\n"
    "stations and the profiles (the steps); a GPS track's are metres east and north of its\n"
    "first station. A station without a position has an empty geometry.\n\n"
    "The maps are gridded as on the Main page (bilinear and smoothed for a grid survey, the\n"
    "cone-weighted mean for a GPS track, its radius kept in metres), over the whole survey;\n"
    "cells no measured station reaches are nodata.\n\n"
    "Examples:\n"
    "  orvtool export survey.orv --format gpkg --crs utm --out survey.gpkg\n"
    "  orvtool export survey.orv --format grd7 --frequency 8 --unit mS/m --out f8.grd\n\n"
    "Exit status: 0 when written; 1 on errors, with the reason on stderr; 2 without a file.\n";

struct Options
{
    std::string session;
    std::string format;
    std::string out;
    std::string unit;
    std::optional<int> frequency;
    std::string crs;
    std::optional<GridOrigin> origin;
    std::optional<double> azimuth;
    double cell = 0.0;
    std::vector<std::string> settings;
    std::string calibrationPath = DefaultCalibrationPath();
    std::string settingsPath = SettingsFilePath();
};

// Progress on stderr while a terminal watches; nothing in scripts and pipes.
ExportProgress TerminalProgress()
{
    if (::isatty(STDERR_FILENO) == 0) {
        return {};
    }
    return [last = -1](double done) mutable {
        const int percent = static_cast<int>(done * 100.0);
        if (percent != last) {
            last = percent;
            std::fprintf(stderr, "\rorvtool export: %3d%%", percent);
            if (percent >= 100) {
                std::fputs("\r                     \r", stderr);
            }
        }
        return true;
    };
}

int Run(const CLI::App& command, Options& o)
{
    if (o.session.empty()) {
        return cmdline::UsageError(command);
    }
    std::string error;
    if (o.azimuth) {
        if (!o.origin) {
            return Fail("export", "--azimuth goes with --origin LAT,LON");
        }
        o.origin->azimuth = *o.azimuth;
    }
    ExportOptions options;
    if (!ParseExportFormat(o.format, options.format)) {
        return Fail("export", (o.format.empty() ? std::string("say --format") : "--format takes") +
                                  " gpkg, geojson, kml, gpx, csv, xyz, tif, grd7 or grd6" +
                                  (o.format.empty() ? "" : ", not '" + o.format + "'"));
    }
    if (!FormatAvailable(options.format)) {
        return Fail("export", std::string("this orvtool was built without GDAL: ") +
                                  FormatName(options.format) +
                                  " cannot be written (csv, geojson, kml and xyz can)");
    }
    if (o.out.empty() && !IsTextFormat(options.format)) {
        return Fail("export", std::string(FormatName(options.format)) +
                                  " is a binary format: say where it goes with --out FILE");
    }
    CollectOptions collect;
    if (!o.unit.empty() && !ParseExportUnit(o.unit, collect.unit)) {
        return Fail("export", "--unit takes adc, ohm-m or mS/m, not '" + o.unit + "'");
    }
    collect.frequency = o.frequency;
    options.place.crs = o.crs;
    options.place.origin = o.origin;
    options.raster.cell = o.cell;

    ToolSession session(o.settingsPath, o.calibrationPath);
    Configuration& config = session.Config();
    std::unique_ptr<Survey> survey = session.Open(o.session, error);
    if (!survey) {
        return Fail("export", error);
    }
    // The stations' times and fix qualities, when the log beside the file has them.
    if (const std::string warning = LoadStationLog(*survey); !warning.empty()) {
        std::fprintf(stderr, "orvtool export: %s\n", warning.c_str());
    }
    if (!session.Apply(o.settings, error)) {
        return Fail("export", error);
    }
    StationTable table;
    if (!CollectStations(config, SourceOf(*survey), collect, table, error)) {
        return Fail("export", o.session + ": " + error);
    }
    ExportResult result;
    if (!WriteExport(table, options, o.out, TerminalProgress(), result, error)) {
        return Fail("export", (o.out.empty() ? o.session : o.out) + ": " + error);
    }
    if (!o.out.empty() && o.crs == "utm") {
        std::fprintf(stderr, "orvtool export: x, y in %s\n", result.crsLabel.c_str());
    }
    return 0;
}

std::function<int()> Define(CLI::App& command)
{
    using cmdline::Real;
    using cmdline::Whole;
    auto options = std::make_shared<Options>();
    command.footer(kAbout);
    command.add_option("FILE.orv", options->session, "the session file")->type_name("");
    command.add_option("--format", options->format, "the form of the output (see below)")
        ->type_name("gpkg|geojson|kml|gpx|csv|xyz|tif|grd7|grd6");
    command
        .add_option("--out", options->out,
                    "the file to write; text formats go to stdout without it")
        ->type_name("FILE");
    command
        .add_option("--unit", options->unit,
                    "adc, ohm-m or mS/m (default: the program's signal settings)")
        ->type_name("UNIT");
    command
        .add_option("--frequency", options->frequency,
                    "frequency number N (1..14) only (default: every active one)")
        ->type_name("N")
        ->transform(Whole(1, kFrequencyCount));
    command
        .add_option("--crs", options->crs,
                    "x, y, the GeoPackage's points and the maps in a projected CRS:\n"
                    "utm (the UTM zone of the stations) or EPSG:NNNNN; geojson, kml\n"
                    "and gpx stay WGS 84. A grid survey needs --origin for it")
        ->type_name("CRS");
    command
        .add_option_function<std::string>(
            "--origin",
            [&o = *options](const std::string& value) {
                const auto [lat, lon] = cmdline::SplitPair(value, ",");
                GridOrigin origin;
                if (!lon || !cmdline::ParseReal(lat, -90.0, 90.0, origin.latitude) ||
                    !cmdline::ParseReal(*lon, -180.0, 180.0, origin.longitude)) {
                    cmdline::BadValue("--origin", value, "LATITUDE,LONGITUDE in degrees");
                }
                o.origin = origin;
            },
            "places a grid survey: station 0 of profile 0 at LAT, LON degrees")
        ->type_name("LAT,LON");
    command
        .add_option("--azimuth", options->azimuth,
                    "with --origin: from station 0 to station 1, clockwise from north\n"
                    "(default 90); the profiles follow to its left, as the Main page\n"
                    "draws them upwards")
        ->type_name("DEG")
        ->transform(Real(-360.0, 360.0));
    command
        .add_option("--cell", options->cell,
                    "map cell size (default: about the Main page's at 1920 x 1080)")
        ->type_name("METRES")
        ->transform(Real(0.0, 1e9, true));
    AddSetOption(command, options->settings,
                 "change a configuration field for this run only (see orvtool values)");
    AddCalibrationOption(command, options->calibrationPath);
    AddSettingsOption(command, options->settingsPath);
    return [options, &command] { return Run(command, *options); };
}

const bool kRegistered = RegisterCommand(
    {"export", "stations or gridded maps for GIS and processing packages", &Define});

}  // namespace export_command

}  // namespace orv::tool
