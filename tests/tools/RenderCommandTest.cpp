// orvtool render on session files written by the survey code: every graphic of each work type,
// the exit status when there is too little to draw, and bad command lines.

#include "SimulatedSurveys.h"
#include "survey/SessionFile.h"
#include "survey/Survey.h"
#include "survey/TrackSurvey.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace orv {
namespace {

const sim::GroundModel kBody = sim::GroundModel::Body(10.0, 100.0, 13.0, 4.0, 4.0, 3.0);

struct RunResult
{
    int status = -1;
    std::string errors;
};

class Render : public ::testing::Test
{
protected:
    // Runs orvtool render with the test's own settings and calibration files.
    RunResult Run(const std::string& arguments)
    {
        const std::string errors = m_dir.File("stderr.txt");
        const std::string command = std::string(ORVTOOL_PATH) + " render " + arguments +
                                    " --settings " + m_dir.File("settings.conf") +
                                    " --calibration " + m_dir.File("OrvCalibration.ini") +
                                    " >/dev/null 2>" + errors;
        const int raw = std::system(command.c_str());
        RunResult result;
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.errors = ReadFileText(errors);
        return result;
    }

    // A session of `workType` over the body, `measured` stations in walking order.
    std::string SaveGrid(int workType, int stations, int profiles, int measured)
    {
        m_config->WorkType = workType;
        m_config->XSize = stations;
        m_config->YSize = profiles;
        std::string error;
        std::unique_ptr<Survey> survey = CreateSurvey(*m_config, error);
        EXPECT_TRUE(survey) << error;
        const sim::InstrumentSimulator simulator = MakeSimulator(kBody);
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

    // A GPS-track session of the zig-zag walk, positioned from 51.5 N, 0.2 W.
    std::string SaveTrack()
    {
        m_config->WorkType = work_type::kGpsTrack;
        std::string error;
        std::unique_ptr<Survey> survey = CreateSurvey(*m_config, error);
        EXPECT_TRUE(survey) << error;
        auto& track = static_cast<TrackSurvey&>(*survey);
        const sim::InstrumentSimulator simulator = MakeSimulator(kBody);
        const double k = M_PI / 180.0 * 6371000.0;
        const double lat0 = 51.5;
        const double lon0 = -0.2;
        const std::vector<LocalPoint> walk = ZigZagWalk();
        for (size_t i = 0; i < walk.size(); ++i) {
            const uint32_t tick = uint32_t(1000 * i);
            EXPECT_TRUE(track.StoreMeasurement(MeasureAt(simulator, walk[i].x, walk[i].y, tick)));
            const GpsFix fix{lat0 + walk[i].y / k,
                             lon0 + walk[i].x / (k * std::cos(lat0 * M_PI / 180.0)), tick};
            EXPECT_TRUE(track.AssignPosition(int(i), fix));
        }
        const std::string path = m_dir.File("track.orv");
        EXPECT_TRUE(SaveSession(*survey, path, error)) << error;
        return path;
    }

    TempDir m_dir;
    DrawingConfiguration m_config;
};

TEST_F(Render, DrawsEveryGraphicOfAMapSurvey)
{
    const std::string session = SaveGrid(work_type::kMap, 20, 12, 20 * 12);
    const std::string png = m_dir.File("out.png");
    const std::string csv = m_dir.File("values.csv");
    for (const char* graphic : {"map", "section", "sounding", "profile"}) {
        SCOPED_TRACE(graphic);
        std::remove(png.c_str());
        const RunResult r = Run(session + " --graphic " + graphic +
                                " --set UnitMeasure=1 --set ApparentValueKind=1 --frequency 8"
                                " --values " +
                                csv + " --out " + png);
        EXPECT_EQ(r.status, 0) << r.errors;
        QImage image;
        ASSERT_TRUE(image.load(QString::fromStdString(png)));
        EXPECT_EQ(image.size(), QSize(240, 320));
        EXPECT_EQ(ReadFileText(csv).rfind("x,y,value\n", 0), 0u);
        EXPECT_GT(ReadFileText(csv).size(), 1000u);
    }
    const RunResult r = Run(session + " --graphic track --out " + png);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("needs a GPS-track survey"), std::string::npos) << r.errors;
}

TEST_F(Render, AutoDrawsWhatTheMainPageWouldChoose)
{
    // The page's search, once for each survey: the first graphic whose setting is on, whose
    // stations are there and that can be drawn. The picture is that of the graphic forced.
    const std::string map = SaveGrid(work_type::kMap, 6, 4, 6 * 4);
    const std::string profile = SaveGrid(work_type::kProfile, 8, 1, 8);
    const std::string track = SaveTrack();
    const std::string chosen = m_dir.File("auto.png");
    const std::string forced = m_dir.File("forced.png");
    struct Case
    {
        std::string session;
        std::string settings;
        const char* expected;
    };
    const Case cases[] = {
        {map, "", "map"},
        {map, " --set ShowMaps=0", "section"},
        {map, " --set ShowMaps=0 --set ShowSections=0 --set ShowProfileCurves=1", "profile"},
        {map, " --set ShowMaps=0 --set ShowSections=0", "sounding"},
        {profile, "", "section"},
        {track, "", "map"},
        {track, " --set MinMeasurementsForScatteredMap=1000", "section"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.session + c.settings);
        const RunResult a = Run(c.session + " --graphic auto" + c.settings + " --out " + chosen);
        const RunResult f =
            Run(c.session + " --graphic " + c.expected + c.settings + " --out " + forced);
        EXPECT_EQ(a.status, 0) << a.errors;
        EXPECT_EQ(f.status, 0) << f.errors;
        QImage autoImage;
        QImage forcedImage;
        ASSERT_TRUE(autoImage.load(QString::fromStdString(chosen)));
        ASSERT_TRUE(forcedImage.load(QString::fromStdString(forced)));
        EXPECT_TRUE(autoImage == forcedImage) << "auto did not draw the " << c.expected;
    }
    // Nothing qualifies: "Ready" and the exit status of an empty picture.
    const RunResult none = Run(map +
                               " --graphic auto --set ShowMaps=0 --set ShowSections=0"
                               " --set ShowSoundingCurves=0 --out " +
                               chosen);
    EXPECT_EQ(none.status, 3);
}

TEST_F(Render, DrawsEveryGraphicOfATrackAtAnySize)
{
    const std::string session = SaveTrack();
    const std::string png = m_dir.File("track.png");
    for (const char* graphic : {"map", "section", "sounding", "profile", "track"}) {
        SCOPED_TRACE(graphic);
        const RunResult r = Run(session + " --graphic " + graphic + " --size 320x200 --out " + png);
        EXPECT_EQ(r.status, 0) << r.errors;
        QImage image;
        ASSERT_TRUE(image.load(QString::fromStdString(png)));
        EXPECT_EQ(image.size(), QSize(320, 200));
    }
}

TEST_F(Render, TooLittleDataWritesTheReadyPictureWithItsOwnStatus)
{
    const std::string profile = SaveGrid(work_type::kProfile, 10, 1, 10);
    const std::string line = SaveGrid(work_type::kLine, 0, 1, 1);
    const std::string empty = SaveGrid(work_type::kMap, 5, 3, 0);
    const std::string png = m_dir.File("ready.png");
    struct Case
    {
        const char* legend;
        std::string arguments;
        int status;
    };
    const Case cases[] = {
        {"a Profile survey has no map", profile + " --graphic map", 3},
        {"but a section", profile + " --graphic section", 0},
        {"a Line of one station has no section", line + " --graphic section", 3},
        {"nothing measured", empty + " --graphic sounding", 3},
        {"a frequency that is not active",
         profile + " --graphic profile --set UsedFrequencies=1,2 --frequency 5 --station 4", 0},
        {"a map of an inactive frequency", empty + " --graphic map --frequency 14", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        std::remove(png.c_str());
        const RunResult r = Run(c.arguments + " --out " + png);
        EXPECT_EQ(r.status, c.status) << r.errors;
        QImage image;
        EXPECT_TRUE(image.load(QString::fromStdString(png)));
    }
}

TEST_F(Render, BadCommandLinesAndFilesSayWhatIsWrong)
{
    const std::string session = SaveGrid(work_type::kMap, 5, 3, 15);
    WriteFileText(m_dir.File("junk.orv"), "not a session file");
    const std::string png = m_dir.File("bad.png");
    const std::pair<const char*, std::string> cases[] = {
        {"no such file", m_dir.File("missing.orv") + " --graphic map --out " + png},
        {"not a session file", m_dir.File("junk.orv") + " --graphic map --out " + png},
        {"no graphic", session + " --out " + png},
        {"unknown graphic", session + " --graphic contour --out " + png},
        {"no output", session + " --graphic map"},
        {"bad size", session + " --graphic map --size 240 --out " + png},
        {"zero size", session + " --graphic map --size 0x100 --out " + png},
        {"frequency 15", session + " --graphic map --frequency 15 --out " + png},
        {"unknown setting", session + " --graphic map --set Colour=1 --out " + png},
        {"station outside", session + " --graphic section --profile 9 --out " + png},
        {"output folder missing",
         session + " --graphic map --out " + m_dir.File("no/such/folder.png")},
    };
    for (const auto& [legend, arguments] : cases) {
        SCOPED_TRACE(legend);
        const RunResult r = Run(arguments);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.errors.find("orvtool render: "), std::string::npos) << r.errors;
    }
    EXPECT_FALSE(std::filesystem::exists(png));
}

}  // namespace
}  // namespace orv
