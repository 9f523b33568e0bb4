// The command lines of orvtool and orvsim as a user meets them: the version, the help of every
// command, and what a wrong line says and exits with. Nothing here reaches an instrument: every
// line stops at its options.

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace {

const std::string kOrvtool = ORVTOOL_PATH;
const std::string kOrvsim = ORVSIM_PATH;

struct Result
{
    int status = -1;
    std::string out;
    std::string errors;
};

class ToolOptions : public ::testing::Test
{
protected:
    ToolOptions()
    {
        setenv("ORVCONTROL_PORT_PATTERN", (m_dir.Path() / "port%u").c_str(), 1);
        setenv("ORVCONTROL_SETTINGS", m_dir.File("settings.conf").c_str(), 1);
        setenv("ORVCONTROL_CALIBRATION", m_dir.File("OrvCalibration.ini").c_str(), 1);
    }

    Result Run(const std::string& program, const std::string& arguments)
    {
        const std::string out = m_dir.File("stdout.txt");
        const std::string errors = m_dir.File("stderr.txt");
        const int raw =
            std::system((program + " " + arguments + " >" + out + " 2>" + errors).c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, orv::ReadFileText(out),
                orv::ReadFileText(errors)};
    }

    orv::TempDir m_dir;
};

TEST_F(ToolOptions, VersionIsTheProjectVersion)
{
    const std::pair<std::string, std::string> programs[] = {{kOrvtool, "orvtool"},
                                                            {kOrvsim, "orvsim"}};
    for (const auto& [program, name] : programs) {
        SCOPED_TRACE(name);
        const Result r = Run(program, "--version");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, name + " " + ORV_VERSION + "\n");
    }
}

TEST_F(ToolOptions, EveryCommandHasHelpListingItsOptions)
{
    struct Case
    {
        std::string program;
        std::string command;
        const char* option;
    };
    const Case cases[] = {
        {kOrvtool, "battery", "--timeout MS"},
        {kOrvtool, "calib", "--overwrite yes|no|cancel"},
        {kOrvtool, "calib show", "SERIAL"},
        {kOrvtool, "config", "--settings FILE"},
        {kOrvtool, "config set", "Field=Value"},
        {kOrvtool, "export", "--format gpkg|geojson|kml|gpx|csv|xyz|tif|grd7|grd6"},
        {kOrvtool, "info", "--slots"},
        {kOrvtool, "measure", "--mask LIST"},
        {kOrvtool, "nmea", "--fixes"},
        {kOrvtool, "recover", "--list"},
        {kOrvtool, "recover discard", "JOURNAL"},
        {kOrvtool, "render", "--graphic auto|map|section|sounding|profile|track"},
        {kOrvtool, "survey", "--work-type Map|Profile|Line|GPS-track"},
        {kOrvtool, "survey", "--progress"},
        {kOrvtool, "values", "--set Field=Value"},
        {kOrvsim, "gps", "--walk"},
        {kOrvsim, "instrument", "--fault-replies K"},
        {kOrvsim, "instrument", "--fault-every N"},
    };
    const Result orvtool = Run(kOrvtool, "--help");
    const Result orvsim = Run(kOrvsim, "--help");
    ASSERT_EQ(orvtool.status, 0);
    ASSERT_EQ(orvsim.status, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const std::string name = c.program == kOrvtool ? "orvtool" : "orvsim";
        const std::string& list = c.program == kOrvtool ? orvtool.out : orvsim.out;
        EXPECT_NE(list.find("\n  " + c.command.substr(0, c.command.find(' ')) + " "),
                  std::string::npos)
            << list;
        const Result r = Run(c.program, c.command + " --help");
        EXPECT_EQ(r.status, 0) << r.errors;
        EXPECT_NE(r.out.find("Usage: " + name + " " + c.command + " "), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(c.option), std::string::npos) << r.out;
    }
    // The help wins over a wrong value beside it, as it always did.
    const Result r = Run(kOrvtool, "render --frequency 15 --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage: orvtool render"), std::string::npos) << r.out;
}

TEST_F(ToolOptions, WrongLinesSayWhatIsWrongAndExitAsBefore)
{
    struct Case
    {
        const char* legend;
        std::string program;
        std::string arguments;
        int status;
        const char* said;
    };
    const Case cases[] = {
        {"port out of range", kOrvtool, "survey --port 300 --work-type Map --x 2 --y 2 --out s.orv",
         1, "orvtool survey: --port: '300' is not a whole number from 0 to 255"},
        {"simulator port out of range", kOrvsim, "gps --port 300 --walk", 1,
         "orvsim gps: --port: '300'"},
        {"port in hex", kOrvtool, "battery --port 0x10", 1, "orvtool battery: --port: '0x10'"},
        {"required option missing", kOrvsim, "instrument --serial 12", 1,
         "orvsim instrument: --port is required"},
        {"no picture to write", kOrvtool, "render s.orv --graphic map", 1,
         "orvtool render: --out is required"},
        {"unknown option", kOrvtool, "info s.orv --bogus", 1,
         "orvtool info: unknown option '--bogus'"},
        {"a second session file", kOrvtool, "values a.orv b.orv", 1,
         "orvtool values: unexpected argument 'b.orv'"},
        {"not one of the formats", kOrvtool, "export s.orv --format pdf", 1,
         "orvtool export: --format takes gpkg, geojson, kml, gpx, csv, xyz, tif, grd7 or grd6, not "
         "'pdf'"},
        {"no command", kOrvsim, "", 2, "Usage: orvsim"},
        {"unknown command", kOrvtool, "walk", 2, "orvtool: unknown command 'walk'"},
        {"no session file", kOrvtool, "info --slots", 2, "Usage: orvtool info"},
        {"no action", kOrvtool, "config", 2, "Usage: orvtool config"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        const Result r = Run(c.program, c.arguments);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.errors.find(c.said), std::string::npos) << r.errors;
    }
}

}  // namespace
