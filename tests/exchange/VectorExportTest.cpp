// Stations written in every vector format from simulated Map, Profile, Line and GPS-track
// surveys and read back through GDAL: layers, field types, CRSs, positions and every value.

#include "ExchangeFixture.h"
#include "GdalRead.h"
#include "exchange/NumberText.h"
#include "exchange/Placement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <geodesic.h>
#include <map>
#include <proj.h>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace orv {
namespace {

constexpr double kMetresPerDegree = 111320.0;

struct SurveyCase
{
    const char* legend;
    int workType;
};

const SurveyCase kSurveys[] = {
    {"Map", work_type::kMap},
    {"Profile", work_type::kProfile},
    {"Line", work_type::kLine},
    {"GPS track", work_type::kGpsTrack},
};

// The row of the table for a feature's profile and station.
int RowOf(const StationTable& table, const ReadFeature& feature)
{
    const int profile = int(feature.number.at("profile"));
    const int station = int(feature.number.at("station"));
    for (size_t r = 0; r < table.rows.size(); ++r) {
        if (table.rows[r].profile == profile && table.rows[r].station == station) {
            return int(r);
        }
    }
    return -1;
}

TEST_F(ExchangeTest, EveryVectorFormatReadsBackThroughGdal)
{
    const std::pair<ExportFormat, const char*> formats[] = {
        {ExportFormat::GeoPackage, "gpkg"}, {ExportFormat::GeoJson, "geojson"},
        {ExportFormat::Kml, "kml"},         {ExportFormat::Gpx, "gpx"},
        {ExportFormat::Csv, "csv"},
    };
    const SimulatedTrack track = Track();
    std::vector<GpsFix> positions;
    for (const SurveyCase& survey : kSurveys) {
        const bool isTrack = survey.workType == work_type::kGpsTrack;
        const SimulatedGrid grid = Grid(survey.workType);
        const ExportSource source =
            isTrack ? TrackSource(track, positions) : GridSource(grid, survey.workType);
        const StationTable table = Collect(source);
        ASSERT_EQ(table.frequencies.size(), 14u);
        for (const auto& [format, name] : formats) {
            SCOPED_TRACE(std::string(survey.legend) + " as " + name);
            ExportOptions options;
            options.format = format;
            if (!isTrack) {
                options.place.origin = GridOrigin{kTrackLatitude, kTrackLongitude, 90.0};
            }
            const std::string path = Write(
                table, options, std::string("out-") + std::to_string(survey.workType) + "." + name);
            const ReadLayer layer =
                ReadVector(path, format == ExportFormat::Gpx ? "waypoints" : "");
            ASSERT_TRUE(layer.opened);

            if (format == ExportFormat::GeoPackage || format == ExportFormat::GeoJson) {
                EXPECT_EQ(layer.name, "Field 7");
            } else if (format == ExportFormat::Kml) {
                EXPECT_EQ(layer.name, "Field_7");
            }
            if (format != ExportFormat::Csv) {
                EXPECT_EQ(layer.crsAuthority, "EPSG:4326");
            }
            ASSERT_EQ(layer.features.size(), table.rows.size());

            for (const char* integer : {"profile", "station", "serial"}) {
                ASSERT_NE(layer.Field(integer), nullptr) << integer;
                EXPECT_EQ(layer.Field(integer)->type, OFTInteger) << integer;
            }
            if (format == ExportFormat::GeoPackage || format == ExportFormat::Csv ||
                format == ExportFormat::Gpx) {
                ASSERT_NE(layer.Field("time"), nullptr);
                EXPECT_EQ(layer.Field("time")->type, OFTDateTime);
            }
            for (const FrequencyColumn& column : table.frequencies) {
                ASSERT_NE(layer.Field(column.name), nullptr) << column.name;
                EXPECT_EQ(layer.Field(column.name)->type, OFTReal) << column.name;
            }

            const double tolerance = format == ExportFormat::GeoJson ? 0.6e-7 : 1e-9;
            for (const ReadFeature& feature : layer.features) {
                const int r = RowOf(table, feature);
                ASSERT_GE(r, 0);
                const StationRow& row = table.rows[size_t(r)];
                for (size_t c = 0; c < table.frequencies.size(); ++c) {
                    const std::string& field = table.frequencies[c].name;
                    ASSERT_EQ(feature.number.count(field), 1u) << field;
                    EXPECT_EQ(float(feature.number.at(field)), table.Value(size_t(r), c))
                        << field << " of station " << row.station;
                }
                // No sidecar: the time and fix quality are empty, never 0.
                EXPECT_EQ(feature.text.count("time"), 0u);
                EXPECT_EQ(feature.text.count("fix_quality"), 0u);
                EXPECT_EQ(feature.text.at("calibration"), "serial 9 calibrated 2007-02-28");
                if (format == ExportFormat::Csv) {
                    EXPECT_FALSE(feature.hasGeometry);
                    continue;
                }
                ASSERT_TRUE(feature.hasGeometry);
                if (isTrack) {
                    const GpsFix& fix = positions[size_t(row.slot)];
                    EXPECT_NEAR(feature.x, fix.longitude, tolerance);
                    EXPECT_NEAR(feature.y, fix.latitude, tolerance);
                } else if (row.station == 0 && row.profile == 0) {
                    EXPECT_NEAR(feature.x, kTrackLongitude, tolerance);
                    EXPECT_NEAR(feature.y, kTrackLatitude, tolerance);
                }
            }
        }
        if (isTrack) {
            // The walked track beside the waypoints.
            const ReadLayer walked = ReadVector(m_dir.File("out-31.gpx"), "tracks");
            ASSERT_TRUE(walked.opened);
            EXPECT_EQ(walked.features.size(), 1u);
        }
    }
}

TEST_F(ExchangeTest, GridWithoutOriginKeepsItsOwnMetresAndRefusesGpsFormats)
{
    const SimulatedGrid grid = Grid(work_type::kMap);
    const StationTable table = Collect(GridSource(grid, work_type::kMap));
    ExportOptions options;
    options.format = ExportFormat::GeoPackage;
    const ReadLayer gpkg = ReadVector(Write(table, options, "local.gpkg"));
    ASSERT_EQ(gpkg.features.size(), 24u);
    EXPECT_TRUE(gpkg.hasCrs);
    EXPECT_EQ(gpkg.crsAuthority, "");
    for (const ReadFeature& feature : gpkg.features) {
        ASSERT_TRUE(feature.hasGeometry);
        EXPECT_EQ(feature.x, 2.0 * feature.number.at("station"));
        EXPECT_EQ(feature.y, 2.5 * feature.number.at("profile"));
        EXPECT_EQ(feature.number.count("latitude"), 0u);
    }
    options.format = ExportFormat::GeoJson;
    const ReadLayer json = ReadVector(Write(table, options, "local.geojson"));
    ASSERT_EQ(json.features.size(), 24u);
    for (const ReadFeature& feature : json.features) {
        EXPECT_FALSE(feature.hasGeometry);
        EXPECT_EQ(feature.number.at("x"), 2.0 * feature.number.at("station"));
    }
    for (const ExportFormat format : {ExportFormat::Gpx, ExportFormat::Kml}) {
        options.format = format;
        ExportResult result;
        std::string error;
        EXPECT_FALSE(WriteExport(table, options, m_dir.File("refused"), {}, result, error));
        EXPECT_NE(error.find("--origin"), std::string::npos) << error;
        EXPECT_FALSE(std::filesystem::exists(m_dir.File("refused")));
    }
}

TEST_F(ExchangeTest, GridOriginAndAzimuthPlaceEveryStationOnTheGround)
{
    const SimulatedGrid grid = Grid(work_type::kMap);
    const StationTable table = Collect(GridSource(grid, work_type::kMap));
    ExportOptions options;
    options.format = ExportFormat::GeoPackage;
    options.place.origin = GridOrigin{-33.9, 18.4, 30.0};
    const ReadLayer layer = ReadVector(Write(table, options, "placed.gpkg"));
    ASSERT_EQ(layer.features.size(), 24u);
    geod_geodesic wgs84{};
    geod_init(&wgs84, 6378137.0, 1.0 / 298.257223563);
    for (const ReadFeature& feature : layer.features) {
        // Stations along 30 degrees, profiles to their left (towards 300 degrees).
        const double x = 2.0 * feature.number.at("station");
        const double y = 2.5 * feature.number.at("profile");
        double distance = 0.0;
        double azimuth = 0.0;
        double back = 0.0;
        geod_inverse(&wgs84, -33.9, 18.4, feature.y, feature.x, &distance, &azimuth, &back);
        EXPECT_NEAR(distance, std::hypot(x, y), 1e-6);
        if (distance > 0.0) {
            const double expected = 30.0 - std::atan2(y, x) * 180.0 / std::numbers::pi;
            EXPECT_NEAR(std::remainder(azimuth - expected, 360.0), 0.0, 1e-7);
        }
        EXPECT_EQ(feature.number.at("latitude"), feature.y);
    }
}

TEST_F(ExchangeTest, TrackReprojectedToUtmAndBackWithinAMillimetre)
{
    const SimulatedTrack track = Track();
    std::vector<GpsFix> positions;
    const StationTable table = Collect(TrackSource(track, positions));
    ExportOptions options;
    options.format = ExportFormat::Csv;
    options.place.crs = "utm";
    ExportResult result;
    const ReadLayer csv = ReadVector(Write(table, options, "utm.csv", &result));
    EXPECT_EQ(result.crsLabel, "UTM zone 30N (EPSG:32630)");
    ASSERT_EQ(csv.features.size(), positions.size());

    PJ_CONTEXT* context = proj_context_create();
    PJ* raw = proj_create_crs_to_crs(context, "EPSG:32630", "EPSG:4326", nullptr);
    PJ* back = proj_normalize_for_visualization(context, raw);
    proj_destroy(raw);
    ASSERT_NE(back, nullptr);
    for (const ReadFeature& feature : csv.features) {
        const GpsFix& fix = positions[size_t(feature.number.at("station"))];
        const PJ_COORD ground = proj_trans(
            back, PJ_FWD, proj_coord(feature.number.at("x"), feature.number.at("y"), 0, 0));
        EXPECT_NEAR((ground.lp.phi - fix.latitude) * kMetresPerDegree, 0.0, 1e-3);
        EXPECT_NEAR((ground.lp.lam - fix.longitude) * kMetresPerDegree *
                        std::cos(fix.latitude * std::numbers::pi / 180.0),
                    0.0, 1e-3);
    }
    proj_destroy(back);
    proj_context_destroy(context);

    options.format = ExportFormat::GeoPackage;
    options.place.crs = "EPSG:32630";
    const ReadLayer gpkg = ReadVector(Write(table, options, "utm.gpkg"));
    EXPECT_EQ(gpkg.crsAuthority, "EPSG:32630");
    ASSERT_EQ(gpkg.features.size(), csv.features.size());
    for (size_t i = 0; i < gpkg.features.size(); ++i) {
        EXPECT_EQ(gpkg.features[i].x, gpkg.features[i].number.at("x"));
        EXPECT_NEAR(gpkg.features[i].x, csv.features[i].number.at("x"), 1e-6);
    }

    options.place.crs = "EPSG:999999";
    std::string error;
    EXPECT_FALSE(WriteExport(table, options, m_dir.File("bad.gpkg"), {}, result, error));
    EXPECT_NE(error.find("EPSG:999999"), std::string::npos) << error;
}

TEST_F(ExchangeTest, FieldsNameTheirFrequencyAndUnit)
{
    const SimulatedGrid grid = Grid(work_type::kMap);
    const ExportSource source = GridSource(grid, work_type::kMap);
    const int unitBefore = m_config->UnitMeasure;
    const StationTable conductivity = Collect(source, {ExportUnit::MilliSiemensPerMetre, {}});
    const StationTable resistivity = Collect(source, {ExportUnit::OhmMetres, {}});
    const StationTable adc = Collect(source, {ExportUnit::Adc, {}});
    // The export's unit is its own: the window's setting stays.
    EXPECT_EQ(m_config->UnitMeasure, unitBefore);

    // The built-in calibration's frequencies, 2.501 to 250.004 kHz.
    EXPECT_EQ(conductivity.frequencies.front().name, "f2501Hz_mSm");
    EXPECT_EQ(conductivity.frequencies[5].name, "f10001Hz_mSm");
    EXPECT_EQ(conductivity.frequencies.back().name, "f250004Hz_mSm");
    EXPECT_EQ(resistivity.frequencies.front().name, "f2501Hz_ohmm");
    EXPECT_EQ(adc.frequencies.front().name, "f2501Hz_adc");
    // Apparent resistivity in ohm-m times conductivity in mS/m is 1000.
    for (size_t i = 0; i < conductivity.values.size(); ++i) {
        if (conductivity.values[i] != 0.0f) {
            EXPECT_NEAR(double(conductivity.values[i]) * double(resistivity.values[i]), 1000.0,
                        1e-3);
        }
    }

    const StationTable one = Collect(source, {ExportUnit::AsConfigured, 8});
    ASSERT_EQ(one.frequencies.size(), 1u);
    EXPECT_EQ(one.frequencies[0].number, 8);
    EXPECT_EQ(one.values.size(), one.rows.size());

    m_config->UsedFrequencies[7] = 0;
    StationTable unchanged = one;
    std::string error;
    EXPECT_FALSE(
        CollectStations(*m_config, source, {ExportUnit::AsConfigured, 8}, unchanged, error));
    EXPECT_NE(error.find("not active"), std::string::npos) << error;
    EXPECT_EQ(unchanged.values, one.values);
}

TEST_F(ExchangeTest, ValuesAreWrittenWithTheirShortestDigits)
{
    const SimulatedGrid grid = Grid(work_type::kMap);
    const StationTable table = Collect(GridSource(grid, work_type::kMap));
    ExportOptions options;
    options.format = ExportFormat::Csv;
    const std::string path = Write(table, options, "digits.csv");
    EXPECT_TRUE(std::filesystem::exists(m_dir.File("digits.csvt")));
    // Another extension gives the same file, not a folder.
    EXPECT_TRUE(ReadFileText(Write(table, options, "digits.txt")) == ReadFileText(path));
    std::ifstream in(path);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    std::vector<std::string> header;
    std::stringstream names(line);
    for (std::string name; std::getline(names, name, ',');) {
        header.push_back(name);
    }
    size_t row = 0;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream parts(line);
        for (std::string cell; std::getline(parts, cell, ',');) {
            cells.push_back(cell);
        }
        ASSERT_LT(row, table.rows.size());
        for (size_t c = 0; c < table.frequencies.size(); ++c) {
            const auto at = std::find(header.begin(), header.end(), table.frequencies[c].name);
            ASSERT_NE(at, header.end());
            EXPECT_EQ(cells[size_t(at - header.begin())], ShortestFloatText(table.Value(row, c)));
        }
        ++row;
    }
    EXPECT_EQ(row, table.rows.size());
}

TEST_F(ExchangeTest, UnplacedTrackStationsHaveNoGeometryNeverZeroZero)
{
    const SimulatedTrack track = Track();
    std::vector<GpsFix> positions;
    ExportSource source = TrackSource(track, positions);
    positions[3] = GpsFix{};
    positions[40] = GpsFix{};
    source.positions = positions;
    const StationTable table = Collect(source);
    ExportOptions options;
    for (const auto& [format, name] :
         {std::pair{ExportFormat::GeoPackage, "gpkg"}, std::pair{ExportFormat::GeoJson, "geojson"},
          std::pair{ExportFormat::Kml, "kml"}}) {
        SCOPED_TRACE(name);
        options.format = format;
        const ReadLayer layer = ReadVector(Write(table, options, std::string("gaps.") + name));
        ASSERT_EQ(layer.features.size(), positions.size());
        for (const ReadFeature& feature : layer.features) {
            const int station = int(feature.number.at("station"));
            EXPECT_EQ(feature.hasGeometry, station != 3 && station != 40) << station;
            EXPECT_FALSE(feature.hasGeometry && feature.x == 0.0 && feature.y == 0.0);
        }
    }
    options.format = ExportFormat::Gpx;
    ExportResult result;
    const ReadLayer gpx = ReadVector(Write(table, options, "gaps.gpx", &result), "waypoints");
    EXPECT_EQ(gpx.features.size(), positions.size() - 2);
    EXPECT_EQ(result.unplaced, 2);
}

TEST_F(ExchangeTest, FieldLogFillsTimeAndFixQuality)
{
    const SimulatedTrack track = Track();
    std::vector<GpsFix> positions;
    ExportSource source = TrackSource(track, positions);
    std::vector<StationMeta> meta(2);
    meta[0].unixTimeMs = 1714557601500;  // 2024-05-01 10:00:01.5 UTC
    meta[0].fixQuality = 2;
    meta[0].satellites = 9;
    meta[0].hdop = 0.8;
    meta[1].fixQuality = 1;
    source.meta = meta;
    const StationTable table = Collect(source);
    ExportOptions options;
    for (const auto& [format, name] :
         {std::pair{ExportFormat::GeoPackage, "gpkg"}, std::pair{ExportFormat::Csv, "csv"},
          std::pair{ExportFormat::Gpx, "gpx"}}) {
        SCOPED_TRACE(name);
        options.format = format;
        const ReadLayer layer = ReadVector(Write(table, options, std::string("log.") + name),
                                           format == ExportFormat::Gpx ? "waypoints" : "");
        ASSERT_GE(layer.features.size(), 3u);
        const ReadFeature& first = layer.features[0];
        EXPECT_EQ(first.text.at("time").substr(0, 23), "2024/05/01 10:00:01.500");
        const char* satellites = format == ExportFormat::Gpx ? "sat" : "satellites";
        EXPECT_EQ(first.number.at(satellites), 9.0);
        EXPECT_EQ(first.number.at("hdop"), 0.8);
        EXPECT_EQ(first.number.at("fix_quality"), 2.0);
        EXPECT_EQ(layer.features[1].number.at("fix_quality"), 1.0);
        EXPECT_EQ(layer.features[1].text.count("time"), 0u);
        EXPECT_EQ(layer.features[2].text.count("fix_quality"), 0u);
    }
}

TEST_F(ExchangeTest, GeosoftXyzHasALinePerProfile)
{
    const SimulatedGrid grid = Grid(work_type::kMap);
    const StationTable table = Collect(GridSource(grid, work_type::kMap));
    ExportOptions options;
    options.format = ExportFormat::GeosoftXyz;
    std::ifstream in(Write(table, options, "survey.xyz"));
    std::vector<std::string> columns;
    int lines = 0;
    size_t rows = 0;
    for (std::string text; std::getline(in, text);) {
        if (text.rfind("/ profile ", 0) == 0) {
            std::stringstream names(text.substr(2));
            for (std::string name; names >> name;) {
                columns.push_back(name);
            }
            continue;
        }
        if (text.rfind("/", 0) == 0) {
            continue;
        }
        if (text.rfind("Line ", 0) == 0) {
            EXPECT_EQ(text, "Line " + std::to_string(lines));
            ++lines;
            continue;
        }
        std::stringstream cells(text);
        std::vector<std::string> row;
        for (std::string cell; cells >> cell;) {
            row.push_back(cell);
        }
        ASSERT_EQ(row.size(), columns.size()) << text;
        ASSERT_LT(rows, table.rows.size());
        EXPECT_EQ(row[0], std::to_string(lines - 1));
        EXPECT_EQ(row[4], "*");  // no latitude without an origin
        for (size_t c = 0; c < table.frequencies.size(); ++c) {
            EXPECT_EQ(row[columns.size() - table.frequencies.size() + c],
                      ShortestFloatText(table.Value(rows, c)));
        }
        ++rows;
    }
    EXPECT_EQ(lines, 4);
    EXPECT_EQ(rows, 24u);
    EXPECT_EQ(columns.back(), "f250004Hz_mSm");
}

}  // namespace
}  // namespace orv
