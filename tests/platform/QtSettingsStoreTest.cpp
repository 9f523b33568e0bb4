#include "platform/QtSettingsStore.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

TEST(QtSettingsStore, KeepsKindsAndExactLengthsAcrossRuns)
{
    TempDir dir;
    const std::string path = dir.File("sub/OrvControl.conf");
    {
        QtSettingsStore store(path, "Default values");
        EXPECT_TRUE(store.WriteDword("Work type", 31));
        EXPECT_TRUE(store.WriteDword("", 85));  // the unnamed value
        EXPECT_TRUE(store.WriteDword("Profile curve: profile %u, frequency %u", 0xFFFFFFFFu));
        const uint8_t six[] = {1, 0, 0xFF, 0x20, 0x0A, 0x00};
        EXPECT_TRUE(store.WriteBinary("Area color chart", six));
        EXPECT_TRUE(store.WriteBinary("Profile color chart", {}));
        std::string error;
        ASSERT_TRUE(store.Flush(error)) << error;
    }
    QtSettingsStore store(path, "Default values");
    EXPECT_EQ(store.ReadDword("Work type"), 31u);
    EXPECT_EQ(store.ReadDword(""), 85u);
    EXPECT_EQ(store.ReadDword("Profile curve: profile %u, frequency %u"), 0xFFFFFFFFu);
    EXPECT_EQ(store.ReadBinary("Area color chart"),
              (std::vector<uint8_t>{1, 0, 0xFF, 0x20, 0x0A, 0x00}));
    EXPECT_EQ(store.ReadBinary("Profile color chart"), std::vector<uint8_t>{});
    // A value of the other kind is not there for the reader.
    EXPECT_FALSE(store.ReadBinary("Work type"));
    EXPECT_FALSE(store.ReadDword("Area color chart"));
    EXPECT_FALSE(store.ReadDword("missing"));
}

TEST(QtSettingsStore, HandEditedTextIsNotAnInteger)
{
    TempDir dir;
    const std::string path = dir.File("OrvControl.conf");
    WriteFileText(path,
                  "[Default%20values]\nxSize=abc\nySize=12\nxStep=99999999999\nWork%20type=-1\n");
    QtSettingsStore store(path, "Default values");
    EXPECT_FALSE(store.ReadDword("xSize"));
    EXPECT_EQ(store.ReadDword("ySize"), 12u);
    EXPECT_FALSE(store.ReadDword("xStep"));
    EXPECT_EQ(store.ReadDword("Work type"), 0xFFFFFFFFu);
}

TEST(QtSettingsStore, UnwritableFileIsReported)
{
    TempDir dir;
    // A folder where the file should be: the write cannot succeed.
    std::filesystem::create_directories(dir.Path() / "OrvControl.conf");
    QtSettingsStore store(dir.File("OrvControl.conf"), "Default values");
    store.WriteDword("xSize", 3);
    std::string error;
    EXPECT_FALSE(store.Flush(error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace orv
