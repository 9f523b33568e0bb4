#include "base/AtomicFile.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace orv {
namespace {

std::span<const uint8_t> Bytes(const std::string& s)
{
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

int FilesIn(const TempDir& dir)
{
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) {
        ++n;
    }
    return n;
}

TEST(AtomicFile, ReplacesTheOldFileKeepingItsPermissionsAndLinks)
{
    TempDir dir;
    const std::string path = dir.File("OrvCalibration.ini");
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, Bytes("first"), error)) << error;
    EXPECT_EQ(ReadFileText(path), "first");

    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomically(path, Bytes(""), error)) << error;
    EXPECT_EQ(ReadFileText(path), "");
    struct stat st
    {
    };
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    const std::string link = dir.File("link.ini");
    std::filesystem::create_symlink("OrvCalibration.ini", link);
    ASSERT_TRUE(WriteFileAtomically(link, Bytes("through the link"), error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFileText(path), "through the link");
    EXPECT_EQ(FilesIn(dir), 2);  // no temporary left behind
}

TEST(AtomicFile, AnUnfinishedOrFailedWriteLeavesTheOldFileWhole)
{
    TempDir dir;
    const std::string path = dir.File("session.orv");
    WriteFileText(path, "the good file");
    std::string error;
    {
        // A crash or an error between writing and committing.
        AtomicFile file(path);
        ASSERT_TRUE(file.Open(error)) << error;
        ASSERT_TRUE(file.Write(Bytes("half a new fi"), error)) << error;
    }
    EXPECT_EQ(ReadFileText(path), "the good file");
    EXPECT_EQ(FilesIn(dir), 1);

    const struct
    {
        const char* legend;
        std::string path;
        const char* words;
    } failures[] = {
        {"missing folder", dir.File("gone/session.orv"), "gone"},
        {"target is a folder", dir.Path().string(), "folder"},
        {"no name", "", "No file name"},
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(f.legend);
        error.clear();
        EXPECT_FALSE(WriteFileAtomically(f.path, Bytes("x"), error));
        EXPECT_NE(error.find(f.words), std::string::npos) << error;
    }
    AtomicFile unopened(path);
    EXPECT_FALSE(unopened.Commit(error));
    EXPECT_EQ(ReadFileText(path), "the good file");
    EXPECT_EQ(FilesIn(dir), 1);
}

}  // namespace
}  // namespace orv
