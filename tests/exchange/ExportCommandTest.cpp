// orvtool export on session files written by the survey code: every format read back through
// GDAL holds the values `orvtool values` prints, the maps are `orvtool render`'s value layer,
// the CSV on stdout keeps its columns, and bad command lines fail with a reason.

#include "ExchangeFixture.h"
#include "GdalRead.h"
#include "survey/SessionFile.h"
#include "survey/Survey.h"
#include "survey/TrackSurvey.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <tuple>
#include <vector>

namespace orv {
namespace {

struct RunResult
{
    int status = -1;
    std::string out;
    std::string errors;
};

// Values by (profile, station, frequency number), as `orvtool values` prints them.
using Values = std::map<std::tuple<int, int, int>, float>;

class ExportCommand : public ExchangeTest
{
protected:
    RunResult Run(const std::string& command, const std::string& arguments)
    {
        const std::string out = m_dir.File("stdout.txt");
        const std::string errors = m_dir.File("stderr.txt");
        const std::string line = std::string(ORVTOOL_PATH) + " " + command + " " + arguments +
                                 " --settings " + m_dir.File("settings.conf") + " --calibration " +
                                 m_dir.File("OrvCalibration.ini") + " >" + out + " 2>" + errors;
        const int raw = std::system(line.c_str());
        RunResult result;
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = ReadFileText(out);
        result.errors = ReadFileText(errors);
        return result;
    }

    Values PrintedValues(const std::string& session)
    {
        const RunResult r =
            Run("values", session + " --set UnitMeasure=1 --set ApparentValueKind=1");
        EXPECT_EQ(r.status, 0) << r.errors;
        Values values;
        std::stringstream in(r.out);
        std::string line;
        std::getline(in, line);
        EXPECT_EQ(line, "profile,station,frequency,value");
        while (std::getline(in, line)) {
            int p = 0;
            int s = 0;
            int f = 0;
            float v = 0;
            EXPECT_EQ(std::sscanf(line.c_str(), "%d,%d,%d,%g", &p, &s, &f, &v), 4) << line;
            values[{p, s, f}] = v;
        }
        return values;
    }

    // A session of `workType` over the body, `measured` stations in walking order.
    std::string SaveGrid(int workType, int stations, int profiles, int measured)
    {
        m_config->WorkType = workType;
        m_config->XSize = stations;
        m_config->YSize = profiles;
        m_config->SessionText1 = "Field 7";
        std::string error;
        std::unique_ptr<Survey> survey = CreateSurvey(*m_config, error);
        EXPECT_TRUE(survey) << error;
        const sim::InstrumentSimulator simulator = MakeSimulator(kExchangeBody);
        for (int k = 0; k < measured; ++k) {
            const int p = stations > 0 ? k / stations : 0;
            const int i = stations > 0 ? k % stations : k;
            const int s = p % 2 == 0 ? i : stations - 1 - i;
            EXPECT_TRUE(survey->StoreMeasurement(MeasureAt(simulator, s, p, uint32_t(k))));
        }
        const std::string path = m_dir.File("grid" + std::to_string(workType) + ".orv");
        EXPECT_TRUE(SaveSession(*survey, path, error)) << error;
        return path;
    }

    std::string SaveTrack()
    {
        m_config->WorkType = work_type::kGpsTrack;
        m_config->SessionText1.clear();
        std::string error;
        std::unique_ptr<Survey> survey = CreateSurvey(*m_config, error);
        EXPECT_TRUE(survey) << error;
        auto& track = static_cast<TrackSurvey&>(*survey);
        const sim::InstrumentSimulator simulator = MakeSimulator(kExchangeBody);
        const std::vector<LocalPoint> walk = ZigZagWalk();
        for (size_t i = 0; i < walk.size(); ++i) {
            const uint32_t tick = uint32_t(1000 * i);
            EXPECT_TRUE(track.StoreMeasurement(MeasureAt(simulator, walk[i].x, walk[i].y, tick)));
            EXPECT_TRUE(track.AssignPosition(int(i), FixAt(walk[i], tick)));
        }
        const std::string path = m_dir.File("walk.orv");
        EXPECT_TRUE(SaveSession(*survey, path, error)) << error;
        return path;
    }

    // The value layer `orvtool render --values` writes, by pixel.
    std::map<std::pair<int, int>, float> RenderedValues(const std::string& session, int frequency)
    {
        const std::string csv = m_dir.File("render.csv");
        const RunResult r =
            Run("render", session + " --graphic map --frequency " + std::to_string(frequency) +
                              " --set UnitMeasure=1 --set ApparentValueKind=1"
                              " --values " +
                              csv + " --out " + m_dir.File("render.png"));
        EXPECT_EQ(r.status, 0) << r.errors;
        std::map<std::pair<int, int>, float> layer;
        std::stringstream in(ReadFileText(csv));
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            int x = 0;
            int y = 0;
            float v = 0;
            EXPECT_EQ(std::sscanf(line.c_str(), "%d,%d,%g", &x, &y, &v), 3);
            layer[{x, y}] = v;
        }
        return layer;
    }
};

TEST_F(ExportCommand, EveryFormatHoldsTheValuesOrvtoolValuesPrints)
{
    const std::string sessions[] = {
        SaveGrid(work_type::kMap, 6, 4, 24),
        SaveGrid(work_type::kProfile, 8, 1, 8),
        SaveGrid(work_type::kLine, 0, 1, 10),
        SaveTrack(),
    };
    const char* formats[] = {"gpkg", "geojson", "kml", "gpx", "csv"};
    for (const std::string& session : sessions) {
        const Values printed = PrintedValues(session);
        const bool track = session.find("walk") != std::string::npos;
        for (const char* format : formats) {
            SCOPED_TRACE(session + " as " + format);
            const std::string out = m_dir.File(std::string("export.") + format);
            const std::string place = track ? "" : " --origin 51.5,-0.2";
            const RunResult r = Run("export", session + " --format " + format + " --unit mS/m" +
                                                  place + " --out " + out);
            ASSERT_EQ(r.status, 0) << r.errors;
            const ReadLayer layer =
                ReadVector(out, std::string(format) == "gpx" ? "waypoints" : "");
            ASSERT_TRUE(layer.opened);
            EXPECT_EQ(layer.name.find('/'), std::string::npos) << layer.name;
            size_t checked = 0;
            for (const ReadFeature& feature : layer.features) {
                const int p = int(feature.number.at("profile"));
                const int s = int(feature.number.at("station"));
                for (const ReadField& field : layer.fields) {
                    int hertz = 0;
                    if (std::sscanf(field.name.c_str(), "f%dHz_mSm", &hertz) != 1) {
                        continue;
                    }
                    // The built-in calibration: frequency 8 is 15.62 kHz.
                    const int n = hertz == 15620 ? 8 : 0;
                    if (n == 0) {
                        continue;
                    }
                    ASSERT_EQ(printed.count({p, s, n}), 1u) << p << "," << s;
                    EXPECT_EQ(float(feature.number.at(field.name)), printed.at({p, s, n}));
                    ++checked;
                }
            }
            EXPECT_EQ(checked * 14, printed.size());
        }
    }
}

TEST_F(ExportCommand, MapsAreTheValueLayerOfOrvtoolRender)
{
    for (const std::string& session : {SaveGrid(work_type::kMap, 20, 12, 240), SaveTrack()}) {
        SCOPED_TRACE(session);
        const auto layer = RenderedValues(session, 8);
        ASSERT_FALSE(layer.empty());
        int left = 1 << 30;
        int top = 1 << 30;
        int right = 0;
        int bottom = 0;
        for (const auto& [pixel, value] : layer) {
            left = std::min(left, pixel.first);
            top = std::min(top, pixel.second);
            right = std::max(right, pixel.first + 1);
            bottom = std::max(bottom, pixel.second + 1);
        }
        // The same session through the library, gridded to the page's cells.
        std::string error;
        std::unique_ptr<Survey> survey = OpenSession(session, *m_config, error);
        ASSERT_TRUE(survey) << error;
        const StationTable table =
            Collect(SourceOf(*survey), {ExportUnit::MilliSiemensPerMetre, 8});
        ExportOptions options;
        options.format = ExportFormat::GeoTiff;
        options.raster.columns = right - left;
        options.raster.rows = bottom - top;
        options.raster.radiusCells = m_config->TrackRadius;
        const ReadRaster tif = ReadGrid(Write(table, options, "page.tif"));
        ASSERT_TRUE(tif.opened);
        int differing = 0;
        for (int r = 0; r < tif.rows; ++r) {
            for (int c = 0; c < tif.columns; ++c) {
                const auto at = layer.find({left + c, top + r});
                const size_t cell = size_t(r) * size_t(tif.columns) + size_t(c);
                const bool empty = tif.IsNoData(0, cell);
                if ((at == layer.end()) != empty ||
                    (!empty && float(tif.bands[0][cell]) != at->second)) {
                    ++differing;
                }
            }
        }
        EXPECT_EQ(differing, 0);
    }
}

TEST_F(ExportCommand, CsvOnStdoutKeepsItsColumns)
{
    // Steps other than the settings' own: the reopened survey has the file's.
    m_config->XStep = 2.0f;
    m_config->YStep = 2.5f;
    const std::string map = SaveGrid(work_type::kMap, 6, 4, 24);
    RunResult r = Run("export", map + " --format csv");
    ASSERT_EQ(r.status, 0) << r.errors;
    std::stringstream rows(r.out);
    std::string line;
    std::getline(rows, line);
    EXPECT_EQ(line, "profile,station,x,y,f1,f2,f3,f4,f5,f6,f7,f8,f9,f10,f11,f12,f13,f14");
    for (int k = 0; k < 24; ++k) {
        ASSERT_TRUE(std::getline(rows, line));
        const int p = k / 6;
        const int s = p % 2 == 0 ? k % 6 : 5 - k % 6;
        char x[16];
        char y[16];
        std::snprintf(x, sizeof x, "%g", 2.0 * s);
        std::snprintf(y, sizeof y, "%g", 2.5 * p);
        EXPECT_EQ(
            line.rfind(std::to_string(p) + "," + std::to_string(s) + "," + x + "," + y + ",", 0),
            0u)
            << line;
    }
    EXPECT_FALSE(std::getline(rows, line));

    const std::string walk = SaveTrack();
    r = Run("export", walk + " --format csv");
    ASSERT_EQ(r.status, 0) << r.errors;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              "station,latitude,longitude,x,y,f1,f2,f3,f4,f5,f6,f7,f8,f9,f10,f11,f12,f13,f14");
    r = Run("export", walk + " --format geojson");
    ASSERT_EQ(r.status, 0) << r.errors;
    EXPECT_NE(r.out.find("\"type\": \"FeatureCollection\""), std::string::npos);
    EXPECT_NE(r.out.find("\"name\": \"walk\""), std::string::npos);
}

TEST_F(ExportCommand, BadCommandLinesFailWithAReason)
{
    const std::string map = SaveGrid(work_type::kMap, 6, 4, 24);
    const std::string out = " --out " + m_dir.File("x.out");
    struct Case
    {
        const char* legend;
        std::string arguments;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {"no format", map, 1, "--format"},
        {"an unknown format", map + " --format shp", 1, "'shp'"},
        {"a binary format to stdout", map + " --format gpkg", 1, "--out"},
        {"an unknown unit", map + " --format csv --unit ppm", 1, "'ppm'"},
        {"a frequency beyond 14", map + " --format csv --frequency 15", 1, "1 to 14"},
        {"an azimuth without origin", map + " --format csv --azimuth 30", 1, "--origin"},
        {"a grid to UTM without origin", map + " --format gpkg --crs utm" + out, 1, "--origin"},
        {"an unknown CRS", map + " --format gpkg --crs EPSG:1 --origin 51,0" + out, 1, "EPSG:1"},
        {"a Surfer grid of all frequencies", map + " --format grd7" + out, 1, "--frequency"},
        {"a cell of nothing", map + " --format tif --cell 0" + out, 1, "--cell"},
        {"a missing session", m_dir.File("none.orv") + " --format csv", 1, "none.orv"},
        {"no session file", "--format csv", 2, "Usage"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        const RunResult r = Run("export", c.arguments);
        EXPECT_EQ(r.status, c.status) << r.errors;
        EXPECT_NE(r.errors.find(c.says), std::string::npos) << r.errors;
        EXPECT_FALSE(std::filesystem::exists(m_dir.File("x.out")));
    }
    const RunResult help = Run("export", "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--crs"), std::string::npos);
}

}  // namespace
}  // namespace orv
