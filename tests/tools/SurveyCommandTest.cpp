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

TEST_F(SurveyCommandTest, TrackSurveyWaitsForAReceiverThatWentAway)
{
    Process instrument({kOrvsim, "instrument", "--port", "3"});
    const std::vector<std::string> receiver = {kOrvsim, "gps",  "--port", "4", "--walk",
                                               "--rate", "10", "--baud", "0"};
    auto gps = std::make_unique<Process>(receiver);
    ASSERT_TRUE(WaitForLink(m_dir.File("port3")));
    ASSERT_TRUE(WaitForLink(m_dir.File("port4")));
    const std::string file = m_dir.File("track.orv");
    int status = -1;
    std::string out;
    std::thread survey([&] {
        status = Tool("survey --port 3 --gps-port 4 --work-type GPS-track --stations 12 "
                      "--interval 200 --retries 3 --progress --out " + file,
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
    EXPECT_NE(Errors().find("(the GPS port COM4:); trying again in 1 s"), std::string::npos)
        << Errors();
    EXPECT_NE(out.find("\"ValidSlots\":12,"), std::string::npos) << out;
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
