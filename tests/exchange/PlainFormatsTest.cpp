// The hand-written formats: the CSV that `orvtool export` prints on stdout keeps the columns
// scripts know, and the fallbacks of a build without GDAL never place an unplaced station.

#include "ExchangeFixture.h"
#include "exchange/TextFormats.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace orv {
namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST_F(ExchangeTest, PlainCsvKeepsItsColumns)
{
    m_config->UsedFrequencies.fill(0);
    m_config->UsedFrequencies[0] = 1;
    m_config->UsedFrequencies[13] = 1;
    const SimulatedGrid grid = Grid(work_type::kMap);
    const StationTable map = Collect(GridSource(grid, work_type::kMap));
    const std::vector<std::string> rows = Lines(PlainCsv(map));
    ASSERT_EQ(rows.size(), 25u);
    EXPECT_EQ(rows[0], "profile,station,x,y,f1,f14");
    // Slot 6 starts profile 1, walked back from station 5: 5 * 2 m and 1 * 2.5 m.
    EXPECT_EQ(rows[7].rfind("1,5,10,2.5,", 0), 0u) << rows[7];

    const SimulatedTrack track = Track();
    std::vector<GpsFix> positions;
    ExportSource source = TrackSource(track, positions);
    positions[2] = GpsFix{};
    const StationTable walk = Collect(source);
    const std::vector<std::string> lines = Lines(PlainCsv(walk));
    EXPECT_EQ(lines[0], "station,latitude,longitude,x,y,f1,f14");
    EXPECT_EQ(lines[1].rfind("0,51.5,-0.2,0,0,", 0), 0u) << lines[1];
    EXPECT_EQ(lines[3].rfind("2,,,,,", 0), 0u) << lines[3];

    std::string kml;
    std::string error;
    EXPECT_FALSE(PlainKml(map, kml, error));
    EXPECT_NE(error.find("grid"), std::string::npos);
    ASSERT_TRUE(PlainKml(walk, kml, error));
    EXPECT_EQ(kml.find("Station 2<"), std::string::npos);
    EXPECT_NE(kml.find("<name>Field 7</name>"), std::string::npos);
    const std::string json = PlainGeoJson(walk);
    EXPECT_NE(json.find("\"name\":\"Field 7\""), std::string::npos);
    EXPECT_NE(json.find("\"geometry\":null,\"properties\":{\"station\":2,"), std::string::npos);
}

TEST_F(ExchangeTest, LayerNamesComeFromTheSessionNeverAPath)
{
    ExportSource source;
    source.filePath = "/media/card/surveys/070228_1405.orv";
    EXPECT_EQ(LayerNameOf(source), "070228_1405");
    source.texts = {"  ", "Quarry north\tside", ""};
    EXPECT_EQ(LayerNameOf(source), "Quarry northside");
    source = {};
    EXPECT_EQ(LayerNameOf(source), "stations");
}

}  // namespace
}  // namespace orv
