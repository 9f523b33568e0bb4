// orvtool survey, info, values and export as an operator runs them: the simulators and the tool
// are separate programs talking over pseudo-terminals, and the file the tool saves must open.

#include "SurveyFixture.h"
#include "signal/SignalComputation.h"
#include "survey/SessionFile.h"
#include "survey/TrackSurvey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace orv;

const std::string kOrvsim = ORVSIM_PATH;
const std::string kOrvtool = ORVTOOL_PATH;

// A simulator process, stopped when the test ends.
class Process
{
public:
    explicit Process(std::vector<std::string> args)
    {
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
    }
    ~Process()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            int status = 0;
            waitpid(m_pid, &status, 0);
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

private:
    pid_t m_pid = -1;
};

bool WaitForLink(const std::string& path)
{
    for (int i = 0; i < 500; ++i) {
        std::error_code ec;
        if (std::filesystem::is_symlink(path, ec)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class SurveyCommandTest : public orv::test::SurveyFixture
{
protected:
    SurveyCommandTest()
    {
        setenv("ORVCONTROL_PORT_PATTERN", (m_dir.Path() / "port%u").c_str(), 1);
        setenv("ORVCONTROL_SETTINGS", m_dir.File("settings.conf").c_str(), 1);
        setenv("ORVCONTROL_CALIBRATION", m_dir.File("OrvCalibration.ini").c_str(), 1);
        setenv("ORVCONTROL_DATA", m_dir.File("data").c_str(), 1);
    }

    // Runs orvtool with `args`; returns its exit status, its stdout in `out`.
    int Tool(const std::string& args, std::string& out)
    {
        const std::string outFile = m_dir.File("stdout.txt");
        const std::string command =
            kOrvtool + " " + args + " > " + outFile + " 2> " + m_dir.File("stderr.txt");
        const int status = std::system(command.c_str());
        out = ReadFileText(outFile);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Errors() { return ReadFileText(m_dir.File("stderr.txt")); }
};

TEST_F(SurveyCommandTest, MapSurveyIsMeasuredSavedAndDescribed)
{
    Process sim({kOrvsim, "instrument", "--port", "3", "--ground", "halfspace:30"});
    ASSERT_TRUE(WaitForLink(m_dir.File("port3")));
    const std::string file = m_dir.File("map.orv");
    std::string out;
    ASSERT_EQ(Tool("survey --port 3 --work-type Map --x 4 --y 2 --xstep 2.5 --out " + file, out), 0)
        << Errors();
    EXPECT_NE(out.find("\"ValidSlots\":8"), std::string::npos) << out;
    // An existing file is not replaced unless asked.
    EXPECT_NE(Tool("survey --port 3 --work-type Map --x 4 --y 2 --out " + file, out), 0);

    std::string error;
    auto survey = OpenSession(file, m_config, error);
    ASSERT_TRUE(survey) << error;
    EXPECT_EQ(m_config.WorkType, work_type::kMap);
    EXPECT_EQ(m_config.XStep, 2.5f);
    EXPECT_EQ(survey->ValidCount(), 8);
    m_config.UnitMeasure = unit_measure::kApparent;
    m_config.ApparentValueKind = apparent_kind::kConductivity;
    EXPECT_NEAR(ValueAt(m_config, survey->Slots()[7], 5), 30.0f, 0.5f);

    ASSERT_EQ(Tool("values " + file + " --set UnitMeasure=1 --set ApparentValueKind=1", out), 0)
        << Errors();
    std::istringstream lines(out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "profile,station,frequency,value");
    int rows = 0;
    while (std::getline(lines, line)) {
        ++rows;
        const double value = std::stod(line.substr(line.rfind(',') + 1));
        EXPECT_NEAR(value, 30.0, 0.5) << line;
    }
    EXPECT_EQ(rows, 8 * 14);
    // The second profile is walked backwards: its first slot is station 3.
    EXPECT_NE(out.find("\n1,3,1,"), std::string::npos);

    ASSERT_EQ(Tool("info " + file + " --slots", out), 0) << Errors();
    EXPECT_NE(out.find("\"XSize\":4,\"YSize\":2"), std::string::npos) << out;
    EXPECT_NE(out.find("\"Serial\":9"), std::string::npos);

    ASSERT_EQ(Tool("export " + file + " --format csv --set UsedFrequencies=1,14", out), 0)
        << Errors();
    EXPECT_EQ(out.substr(0, out.find('\n')), "profile,station,x,y,f1,f14");
    EXPECT_NE(Tool("export " + file + " --format kml", out), 0);  // a grid has no positions

    WriteFileText(m_dir.File("broken.orv"), "ORV");
    EXPECT_NE(Tool("info " + m_dir.File("broken.orv"), out), 0);
    EXPECT_NE(Errors().find("Error: wrong file format."), std::string::npos);
}

TEST_F(SurveyCommandTest, TrackStationsWithoutAFreshFixAreListedUnpositioned)
{
    // A receiver that sends only void fixes: every station is measured, none is positioned.
    Process instrument({kOrvsim, "instrument", "--port", "3"});
    Process gps({kOrvsim, "gps", "--port", "4", "--walk", "--rate", "10", "--baud", "0", "--void",
                 "0,600"});
    ASSERT_TRUE(WaitForLink(m_dir.File("port3")));
    ASSERT_TRUE(WaitForLink(m_dir.File("port4")));
    const std::string file = m_dir.File("unpositioned.orv");
    std::string out;
    ASSERT_EQ(Tool("survey --port 3 --gps-port 4 --work-type GPS-track --stations 3 --interval 100 "
                   "--gps-wait 0 --set GpsStaleSeconds=1 --out " +
                       file,
                   out),
              0)
        << Errors();
    EXPECT_NE(out.find("\"ValidSlots\":3"), std::string::npos) << out;
    EXPECT_NE(out.find("\"unpositioned\":[0,1,2]"), std::string::npos) << out;
}

TEST_F(SurveyCommandTest, TrackSurveyGetsGpsPositions)
{
    Process instrument({kOrvsim, "instrument", "--port", "3"});
    Process gps({kOrvsim, "gps", "--port", "4", "--walk", "--rate", "10", "--baud", "0"});
    ASSERT_TRUE(WaitForLink(m_dir.File("port3")));
    ASSERT_TRUE(WaitForLink(m_dir.File("port4")));
    const std::string file = m_dir.File("track.orv");
    std::string out;
    ASSERT_EQ(Tool("survey --port 3 --gps-port 4 --work-type GPS-track --stations 3 --interval "
                   "200 --out " +
                       file,
                   out),
              0)
        << Errors();
    EXPECT_NE(out.find("\"PendingPositions\":0"), std::string::npos) << out;
    EXPECT_NE(out.find("\"unpositioned\":[]"), std::string::npos) << out;

    std::string error;
    auto survey = OpenSession(file, m_config, error);
    ASSERT_TRUE(survey) << error;
    auto& track = static_cast<TrackSurvey&>(*survey);
    ASSERT_EQ(track.Slots().Count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(track.PositionAt(i).latitude, 59.9127, 0.01);  // the walk's start
    }

    ASSERT_EQ(Tool("export " + file + " --format geojson", out), 0) << Errors();
    size_t features = 0;
    for (size_t at = out.find("\"Feature\""); at != std::string::npos;
         at = out.find("\"Feature\"", at + 1)) {
        ++features;
    }
    EXPECT_EQ(features, 3u);
    EXPECT_NE(out.find("\"coordinates\": [ 10.74"), std::string::npos) << out;
    ASSERT_EQ(Tool("export " + file + " --format kml", out), 0) << Errors();
    EXPECT_NE(out.find("<name>Station 2</name>"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(m_dir.File("data")) ||
                !std::filesystem::exists(m_dir.File("data")));
}

// Both links drop and come back mid-run: the instrument is switched off for two seconds (its
// simulator ends and starts again on the same port), later the GPS receiver goes away for three.
// The survey waits for the instrument, loses no station, measures on through the GPS outage and
// lists the stations that got no fresh fix.
TEST_F(SurveyCommandTest, SurveyWaitsOutOutagesOfBothLinks)
{
    auto instrument =
        std::make_unique<Process>(std::vector<std::string>{kOrvsim, "instrument", "--port", "3"});
    Process gps(
        {kOrvsim, "gps", "--port", "4", "--walk", "--rate", "10", "--baud", "0", "--gone", "6,3"});
    ASSERT_TRUE(WaitForLink(m_dir.File("port3")));
    ASSERT_TRUE(WaitForLink(m_dir.File("port4")));
    std::thread outage([&] {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        instrument.reset();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        instrument = std::make_unique<Process>(
            std::vector<std::string>{kOrvsim, "instrument", "--port", "3"});
    });
    const std::string file = m_dir.File("outages.orv");
    std::string out;
    const int status = Tool(
        "survey --port 3 --gps-port 4 --work-type GPS-track --stations 20 "
        "--interval 500 --timeout 3000 --set GpsStaleSeconds=1 "
        "--outage-limit 20 --out " +
            file,
        out);
    outage.join();
    ASSERT_EQ(status, 0) << Errors();
    const std::string errors = Errors();
    EXPECT_NE(errors.find("up to 20 s (--outage-limit)"), std::string::npos) << errors;
    EXPECT_NE(errors.find("waiting up to 20 s for the instrument"), std::string::npos) << errors;
    EXPECT_NE(errors.find("measured after an outage"), std::string::npos) << errors;
    EXPECT_NE(errors.find("GPS: fixes again"), std::string::npos) << errors;
    EXPECT_NE(out.find("\"ValidSlots\":20"), std::string::npos) << out;
    EXPECT_NE(out.find("\"PendingPositions\":0"), std::string::npos) << out;

    std::string error;
    auto survey = OpenSession(file, m_config, error);
    ASSERT_TRUE(survey) << error;
    auto& track = static_cast<TrackSurvey&>(*survey);
    ASSERT_EQ(track.Slots().Count(), 20);
    // The summary's list is the stations the file holds without a position, and there are
    // some: those measured while the receiver was away. The first and the last have fixes.
    std::vector<int> unpositioned;
    for (int i = 0; i < 20; ++i) {
        if (!track.HasPosition(i)) {
            unpositioned.push_back(i);
        }
    }
    ASSERT_FALSE(unpositioned.empty());
    EXPECT_TRUE(track.HasPosition(0));
    EXPECT_TRUE(track.HasPosition(19));
    std::string listed = "\"unpositioned\":[";
    for (size_t i = 0; i < unpositioned.size(); ++i) {
        listed += (i == 0 ? "" : ",") + std::to_string(unpositioned[i]);
    }
    EXPECT_NE(out.find(listed + "]"), std::string::npos) << out;
}

TEST_F(SurveyCommandTest, OutageLongerThanTheLimitEndsTheSurveyWithTheStationsSaved)
{
    auto instrument =
        std::make_unique<Process>(std::vector<std::string>{kOrvsim, "instrument", "--port", "3"});
    ASSERT_TRUE(WaitForLink(m_dir.File("port3")));
    std::thread outage([&] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        instrument.reset();
    });
    const std::string file = m_dir.File("cut.orv");
    std::string out;
    const int status = Tool(
        "survey --port 3 --work-type Line --stations 100 --interval 200 "
        "--timeout 2000 --outage-limit 2 --out " +
            file,
        out);
    outage.join();
    EXPECT_EQ(status, 1);
    EXPECT_NE(Errors().find("did not come back within 2 s"), std::string::npos) << Errors();
    std::string error;
    auto survey = OpenSession(file, m_config, error);
    ASSERT_TRUE(survey) << error;
    EXPECT_GT(survey->ValidCount(), 0);
    EXPECT_LT(survey->ValidCount(), 100);
}

// A receiver that goes away mid-track does not stop the survey: the instrument measures on,
// every station is acknowledged as its journal record reaches the disk.
TEST_F(SurveyCommandTest, TrackSurveyWaitsForAReceiverThatWentAway)
{
    Process instrument({kOrvsim, "instrument", "--port", "3"});
    const std::vector<std::string> receiver = {kOrvsim,  "gps", "--port", "4", "--walk",
                                               "--rate", "10",  "--baud", "0"};
    auto gps = std::make_unique<Process>(receiver);
    ASSERT_TRUE(WaitForLink(m_dir.File("port3")));
    ASSERT_TRUE(WaitForLink(m_dir.File("port4")));
    const std::string file = m_dir.File("track.orv");
    int status = -1;
    std::string out;
    std::thread survey([&] {
        status = Tool(
            "survey --port 3 --gps-port 4 --work-type GPS-track --stations 12 "
            "--interval 200 --retries 3 --progress --out " +
                file,
            out);
    });
    // The receiver goes away after a few stations and is back 1.5 s later.
    const std::string progress = m_dir.File("stdout.txt");
    for (int i = 0; i < 1000 && ReadFileText(progress).find("\"Index\":2,") == std::string::npos;
         ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    gps.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    gps = std::make_unique<Process>(receiver);
    survey.join();
    ASSERT_EQ(status, 0) << Errors();
    EXPECT_NE(out.find("\"ValidSlots\":12,"), std::string::npos) << out;
    EXPECT_NE(ReadFileText(progress).find("\"Index\":11,"), std::string::npos) << out;
}

TEST_F(SurveyCommandTest, SurveyWithoutInstrumentSaysWhy)
{
    std::string out;
    EXPECT_NE(Tool("survey --port 9 --work-type Profile --x 3 --out " + m_dir.File("p.orv"), out),
              0);
    EXPECT_NE(Errors().find("Failed to connect to device"), std::string::npos) << Errors();
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("p.orv")));
}

}  // namespace
