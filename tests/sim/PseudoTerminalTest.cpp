#include "sim/PseudoTerminal.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

using orv::TempDir;
using orv::sim::PseudoTerminal;
namespace fs = std::filesystem;

std::string Target(const std::string& link) { return fs::read_symlink(link).string(); }

TEST(PseudoTerminal, LinkReplacesStaleLinksButNeverOtherFiles)
{
    TempDir dir;
    const std::string stale = dir.File("port1");
    fs::create_symlink("/dev/pts/99999", stale);  // left behind by a simulator that crashed
    const std::string file = dir.File("port2");
    orv::WriteFileText(file, "a real device or the user's file");

    PseudoTerminal pty;
    std::string error;
    ASSERT_TRUE(pty.Open(error)) << error;
    ASSERT_TRUE(pty.LinkAt(stale, error)) << error;
    EXPECT_EQ(Target(stale), pty.SlavePath());

    EXPECT_FALSE(pty.LinkAt(file, error));
    EXPECT_NE(error.find("not a symbolic link"), std::string::npos) << error;
    EXPECT_EQ(orv::ReadFileText(file), "a real device or the user's file");
    EXPECT_FALSE(pty.LinkAt(dir.File("missing/port3"), error));
    EXPECT_NE(error.find("ORVCONTROL_PORT_PATTERN"), std::string::npos) << error;

    // Reopening moves the link to the new terminal; closing removes it.
    ASSERT_TRUE(pty.Open(error)) << error;
    EXPECT_EQ(Target(stale), pty.SlavePath());
    const int client = ::open(stale.c_str(), O_RDWR | O_NOCTTY);
    EXPECT_GE(client, 0) << "the link leads to no terminal";
    ::close(client);
    pty.Close();
    EXPECT_FALSE(fs::is_symlink(stale));
}

TEST(PseudoTerminal, LeavesALinkThatSomeoneElseTookOver)
{
    TempDir dir;
    const std::string link = dir.File("port1");
    PseudoTerminal first;
    PseudoTerminal second;
    std::string error;
    ASSERT_TRUE(first.Open(error) && first.LinkAt(link, error)) << error;
    ASSERT_TRUE(second.Open(error) && second.LinkAt(link, error)) << error;
    first.Close();
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Target(link), second.SlavePath());
}

TEST(PseudoTerminal, CarriesBytesBothWaysUnchanged)
{
    PseudoTerminal pty;
    std::string error;
    ASSERT_TRUE(pty.Open(error)) << error;
    const int client = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(client, 0);
    // Raw mode: CR, LF, ^C, ^D and 0xFF pass as they are, with no echo.
    const uint8_t bytes[] = {0x02, '\r', '\n', 0x03, 0x04, 0xFF, 0x11, 0x13, 0x00};
    ASSERT_EQ(::write(client, bytes, sizeof bytes), ssize_t(sizeof bytes));
    uint8_t got[sizeof bytes] = {};
    size_t n = 0;
    ASSERT_TRUE(pty.Read(got, std::chrono::milliseconds(2000), n));
    ASSERT_EQ(n, sizeof bytes);
    EXPECT_EQ(std::vector<uint8_t>(got, got + n), std::vector<uint8_t>(bytes, bytes + n));
    ASSERT_TRUE(pty.Write(bytes));
    uint8_t back[sizeof bytes] = {};
    size_t total = 0;
    while (total < sizeof back) {
        const ssize_t r = ::read(client, back + total, sizeof back - total);
        ASSERT_GT(r, 0);
        total += size_t(r);
    }
    EXPECT_EQ(std::vector<uint8_t>(back, back + total), std::vector<uint8_t>(bytes, bytes + n));
    // Nothing was echoed back to the simulator.
    ASSERT_TRUE(pty.Read(got, std::chrono::milliseconds(20), n));
    EXPECT_EQ(n, 0u);
    ::close(client);
}

}  // namespace
