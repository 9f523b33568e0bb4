// orvtool and orvsim as a user runs them: separate processes talking over the port's link.

#include "TempDir.h"
#include "base/PortNamer.h"
#include "sim/InstrumentSimulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using namespace orv;
namespace fs = std::filesystem;

const std::string kOrvtool = ORVTOOL_PATH;
const std::string kOrvsim = ORVSIM_PATH;

struct Result
{
    int status = -1;
    std::string out;
};

// Runs a shell command line and returns its exit status and stdout.
Result RunCommand(const std::string& command)
{
    Result r;
    FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return r;
    }
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        r.out.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

class CommandLineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!fs::exists(kOrvtool) || !fs::exists(kOrvsim)) {
            GTEST_SKIP() << "orvtool and orvsim are not built";
        }
        setenv("ORVCONTROL_PORT_PATTERN", (m_dir.Path() / "port%u").c_str(), 1);
        setenv("ORVCONTROL_SETTINGS", m_dir.File("settings.conf").c_str(), 1);
        setenv("ORVCONTROL_CALIBRATION", m_dir.File("OrvCalibration.ini").c_str(), 1);
    }

    TempDir m_dir;
};

TEST_F(CommandLineTest, MeasureSeriesAndBatteryAgainstTheSimulator)
{
    sim::InstrumentOptions options;
    options.linkPath = DevicePathForPort(4);
    options.serial = 23;
    sim::InstrumentSimulator simulator(options);
    std::string error;
    ASSERT_TRUE(simulator.Start(error)) << error;

    const Result measure = RunCommand(kOrvtool + " measure --port 4 --mask 1,2,14");
    ASSERT_EQ(measure.status, 0);
    EXPECT_NE(measure.out.find("\"serial\":23"), std::string::npos) << measure.out;
    EXPECT_NE(measure.out.find("\"presentMask\":8195"), std::string::npos) << measure.out;
    EXPECT_NE(measure.out.find("\"frequencies\":[1,2,14]"), std::string::npos) << measure.out;

    const Result series = RunCommand(kOrvtool + " measure --port 4 --series");
    ASSERT_EQ(series.status, 0);
    size_t samples = 0;
    for (size_t at = series.out.find("\"presentMask\":1,"); at != std::string::npos;
         at = series.out.find("\"presentMask\":1,", at + 1)) {
        ++samples;
    }
    EXPECT_EQ(samples, 14u) << series.out;

    const Result battery = RunCommand(kOrvtool + " battery --port 4");
    ASSERT_EQ(battery.status, 0);
    EXPECT_EQ(battery.out, "{\"centivolts\":1250,\"volts\":12.5}\n");

    struct Case
    {
        const char* legend;
        std::string command;
    };
    const Case failures[] = {
        {"no instrument on that port", kOrvtool + " measure --port 5"},
        {"frequency 15 does not exist", kOrvtool + " measure --port 4 --mask 1,15"},
        {"port number is not a number", kOrvtool + " battery --port four"},
        {"unknown option", kOrvtool + " measure --port 4 --fast"},
    };
    for (const Case& c : failures) {
        SCOPED_TRACE(c.legend);
        const Result r = RunCommand(c.command);
        EXPECT_NE(r.status, 0);
        EXPECT_EQ(r.out, "");
    }
    simulator.SetFaults({.neverAnswer = true, .replies = 1});
    EXPECT_EQ(RunCommand(kOrvtool + " measure --port 4 --timeout 200").status, 1);
}

TEST_F(CommandLineTest, SimulatorProcessLinksThePortAndRemovesTheLinkAtExit)
{
    const std::string link = DevicePathForPort(6);
    fs::create_symlink("/dev/pts/99999", link);  // stale, from a run that was killed
    std::vector<std::string> words = {kOrvsim,    "instrument", "--port",    "6",
                                      "--serial", "12",         "--battery", "1190"};
    std::vector<char*> argv;
    for (auto& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, kOrvsim.c_str(), nullptr, nullptr, argv.data(), environ), 0);

    Result battery;
    for (int attempt = 0; attempt < 100; ++attempt) {
        battery = RunCommand(kOrvtool + " battery --port 6 --timeout 2000");
        if (battery.status == 0) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // still starting
    }
    EXPECT_EQ(battery.out, "{\"centivolts\":1190,\"volts\":11.9}\n");
    const Result measure = RunCommand(kOrvtool + " measure --port 6");
    EXPECT_NE(measure.out.find("\"serial\":12"), std::string::npos) << measure.out;

    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(fs::is_symlink(link));
}

}  // namespace
