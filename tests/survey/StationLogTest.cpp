// The stations' log beside a session file: what a save writes, an open reads back, and a
// damaged log costs only the times, never the session.

#include "survey/StationLog.h"

#include "SurveyFixture.h"
#include "survey/GridSurvey.h"
#include "survey/SessionFile.h"
#include "survey/TrackSurvey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace orv {
namespace {

class StationLogTest : public test::SurveyFixture
{
};

TEST_F(StationLogTest, ReadsBackWhatItWritesAndRefusesAnythingElse)
{
    std::vector<StationMeta> meta(5);
    meta[0] = {1765286400000, 1, 7, 0.9};
    meta[3] = {1765286460123, std::nullopt, std::nullopt, std::nullopt};
    meta[4] = {std::nullopt, 4, 12, 1.25};
    const std::string text = FormatStationLog(meta);
    std::vector<StationMeta> read;
    std::string error;
    ASSERT_TRUE(ParseStationLog(text, 5, read, error)) << error;
    EXPECT_EQ(read, meta);
    // Stations with nothing known are not listed.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);

    const std::string head = "ORV station log 1\nslot,unix_time_ms,fix_quality,satellites,hdop\n";
    const std::vector<std::string> refused = {
        "",                                // nothing at all
        "ORV station log 2\n",             // another version
        "ORV station log 1\nslot,time\n",  // other columns
        head + "5,1,1,1,1\n",              // no slot 5 in 5 slots
        head + "0,1,1,1,1,1\n",            // six fields
        head + "0,1,1,1\n",                // four
        head + "0,1,1,1,1",                // the last line cut short
        head + "0,x,1,1,1\n",
        head + "0,1,10,1,1\n",  // a bad time, quality 10
        head + "0,1,1,100,1\n",
        head + "0,1,1,1,nan\n",
        head + "0,1,1,1,-1\n",
        head + "-1,1,1,1,1\n",
        head + " 0,1,1,1,1\n",
    };
    for (const std::string& bad : refused) {
        read = {meta[0]};
        error.clear();
        EXPECT_FALSE(ParseStationLog(bad, 5, read, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
        EXPECT_EQ(read.size(), 1u) << "changed by a refused log: " << bad;
    }
    // Windows line ends are read as well.
    ASSERT_TRUE(
        ParseStationLog("ORV station log 1\r\nslot,unix_time_ms,fix_quality,satellites,hdop\r\n"
                        "2,5,,,\r\n",
                        3, read, error))
        << error;
    EXPECT_EQ(read[2].unixTimeMs, 5);
}

TEST_F(StationLogTest, SaveWritesItOpenReadsItAndADamagedOneOnlyCostsTheTimes)
{
    Grid(work_type::kMap, 4, 2);
    GridSurvey survey(m_config);
    for (uint32_t n = 1; n <= 3; ++n) {
        ASSERT_TRUE(survey.StoreMeasurement(test::Measurement(n)));
    }
    survey.SetStationMeta(1, {1765286400000, std::nullopt, std::nullopt, std::nullopt});
    survey.SetStationMeta(99, {1, 1, 1, 1.0});  // no such station: ignored
    const std::string path = m_dir.File("map.orv");
    std::string error;
    ASSERT_TRUE(SaveSession(survey, path, error)) << error;
    ASSERT_TRUE(std::filesystem::exists(StationLogPath(path)));

    auto opened = OpenSession(path, m_config, error);
    ASSERT_NE(opened, nullptr) << error;
    EXPECT_EQ(LoadStationLog(*opened), "");
    ASSERT_GE(opened->StationMetas().size(), 2u);
    EXPECT_EQ(opened->StationMetas()[1].unixTimeMs, 1765286400000);
    EXPECT_TRUE(opened->StationMetas()[0].Empty());

    // A damaged log: the session opens, without times, and the operator is told.
    {
        std::ofstream(StationLogPath(path), std::ios::app) << "7,1,1,1\n";
    }
    opened = OpenSession(path, m_config, error);
    ASSERT_NE(opened, nullptr) << error;
    const std::string warning = LoadStationLog(*opened);
    EXPECT_NE(warning.find("map.orv.stations"), std::string::npos) << warning;
    EXPECT_TRUE(opened->StationMetas().empty());

    // A save with nothing to log takes away the log of an earlier save.
    ASSERT_TRUE(SaveSession(*opened, path, error)) << error;
    EXPECT_FALSE(std::filesystem::exists(StationLogPath(path)));
}

}  // namespace
}  // namespace orv
