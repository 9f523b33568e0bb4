// Session files: the exact layout, round trips of every work type, files as the handheld wrote
// them, and damaged or hostile files, which must be refused without touching memory.

#include "survey/SessionFile.h"

#include "SurveyFixture.h"
#include "base/ByteOrder.h"
#include "base/Crc32.h"
#include "survey/GridSurvey.h"
#include "survey/TrackSurvey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace orv;
using orv::test::Measurement;
using orv::test::NumberOf;

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) { little_endian::Store16(&b[at], v); }
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { little_endian::Store32(&b[at], v); }

// A header as the handheld writes it, built by hand from the file's description.
std::vector<uint8_t> HandheldHeader(uint16_t kind, const std::string& text1)
{
    std::vector<uint8_t> b(788, 0);
    b[0] = 'O';
    b[1] = 'R';
    b[2] = 'V';
    Put16(b, 4, 1);
    b[8] = uint8_t(text1.size());
    std::copy(text1.begin(), text1.end(), b.begin() + 9);
    b[776] = 3;  // 3 May 2010
    b[777] = 5;
    Put16(b, 778, 2010);
    Put16(b, 780, 12);
    Put16(b, 782, kind);
    Put32(b, 784, 788);
    return b;
}

void AppendSlot(std::vector<uint8_t>& b, const MeasurementSlot& slot)
{
    b.insert(b.end(), slot.bytes.begin(), slot.bytes.end());
}

void AppendDouble(std::vector<uint8_t>& b, double v)
{
    b.resize(b.size() + 8);
    little_endian::StoreDouble(&b[b.size() - 8], v);
}

// A Profile of 4 stations (x step 2.5) whose stations 0 and 2 are measured.
std::vector<uint8_t> HandheldProfile()
{
    std::vector<uint8_t> b = HandheldHeader(0, "Survey north");
    b.resize(828, 0);
    Put32(b, 796, 4);
    Put32(b, 800, 1);
    little_endian::StoreDouble(&b[804], 2.5);
    little_endian::StoreDouble(&b[812], 1.0);
    Put32(b, 824, 828);
    AppendSlot(b, Measurement(1, 0x0005, 12));  // frequencies 1 and 3
    AppendSlot(b, MeasurementSlot{});
    AppendSlot(b, Measurement(3, 0x3FFF, 12));
    AppendSlot(b, MeasurementSlot{});
    return b;
}

// A track of 3 stations with positions.
std::vector<uint8_t> HandheldTrack()
{
    std::vector<uint8_t> b = HandheldHeader(1, "Track");
    b.resize(800, 0);
    Put32(b, 788, 3);
    Put32(b, 796, 800);
    for (uint32_t i = 0; i < 3; ++i) {
        AppendSlot(b, Measurement(i + 1, 0x3FFF, 12, 5000 + i));
        AppendDouble(b, 30.0 + i * 0.001);  // longitude first
        AppendDouble(b, 60.0 + i * 0.001);
    }
    return b;
}

class SessionFileTest : public orv::test::SurveyFixture
{
protected:
    std::unique_ptr<Survey> Read(const std::vector<uint8_t>& bytes)
    {
        std::string error;
        std::string detail;
        auto survey = ReadSession(bytes, m_config, error, &detail);
        EXPECT_TRUE(survey) << detail;
        return survey;
    }
    std::vector<uint8_t> SaveAndRead(Survey& survey, const std::string& name)
    {
        std::string error;
        EXPECT_TRUE(SaveSession(survey, m_dir.File(name), error)) << error;
        return ReadFileBytes(m_dir.File(name));
    }
};

TEST_F(SessionFileTest, MapIsWrittenInTheFileLayoutAndReopensAsAMap)
{
    Grid(work_type::kMap, 5, 3);
    m_config.XStep = 0.5f;
    GridSurvey survey(m_config);
    for (uint32_t n = 1; n <= 7; ++n) {
        ASSERT_TRUE(survey.StoreMeasurement(Measurement(n)));
    }
    const std::vector<uint8_t> bytes = SaveAndRead(survey, "map.orv");
    EXPECT_EQ(survey.Modified(), 0);
    ASSERT_EQ(bytes.size(), 828u + 15 * 180);
    EXPECT_EQ(little_endian::Load16(&bytes[4]), 1);
    EXPECT_EQ(little_endian::Load32(&bytes[784]), 788u);
    EXPECT_EQ(little_endian::Load32(&bytes[796]), 5u);
    EXPECT_EQ(little_endian::Load32(&bytes[800]), 3u);
    EXPECT_EQ(little_endian::LoadDouble(&bytes[804]), 0.5);
    EXPECT_EQ(little_endian::Load32(&bytes[820]), 0u);
    EXPECT_EQ(little_endian::Load32(&bytes[824]), 828u);
    EXPECT_EQ(NumberOf(survey.Slots()[6]), little_endian::Load32(&bytes[828 + 6 * 180 + 170]));

    m_config.WorkType = work_type::kGpsTrack;
    m_config.XSize = 1;
    auto reopened = Read(bytes);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(m_config.WorkType, work_type::kMap);
    EXPECT_EQ(m_config.XSize, 5);
    EXPECT_EQ(m_config.YSize, 3);
    EXPECT_EQ(reopened->CurrentIndex(), 0);
    EXPECT_EQ(reopened->ValidCount(), 7);
    EXPECT_EQ(reopened->SessionImage(), bytes);
}

TEST_F(SessionFileTest, HandheldProfileOpensAndSavesByteForByte)
{
    const std::vector<uint8_t> file = HandheldProfile();
    auto survey = Read(file);
    ASSERT_TRUE(survey);
    EXPECT_EQ(m_config.WorkType, work_type::kProfile);
    EXPECT_EQ(m_config.XSize, 4);
    EXPECT_EQ(m_config.XStep, 2.5f);
    EXPECT_EQ(m_config.SessionText1, "Survey north");
    // The first valid measurement chooses the active frequencies.
    const std::array<int, kFrequencyCount> expected{1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(m_config.UsedFrequencies, expected);
    // The store is empty, so the built-in calibration is selected ...
    EXPECT_EQ(m_config.CalibrationKey.Serial, 9);
    // ... but the file keeps naming the instrument that took its data.
    EXPECT_EQ(survey->SessionImage(), file);

    // A measurement by that same instrument keeps the identity; one by another names it.
    m_config.NoteInstrumentSerial(12);
    ASSERT_TRUE(survey->StoreMeasurement(Measurement(5, 0x3FFF, 12)));
    std::vector<uint8_t> image = survey->SessionImage();
    EXPECT_EQ(little_endian::Load16(&image[780]), 12);
    EXPECT_EQ(little_endian::Load16(&image[778]), 2010);
    m_config.NoteInstrumentSerial(14);
    ASSERT_TRUE(survey->StoreMeasurement(Measurement(6, 0x3FFF, 14)));
    image = survey->SessionImage();
    EXPECT_EQ(little_endian::Load16(&image[780]), 14);
    EXPECT_EQ(image[776], m_config.CalibrationKey.Day);
    EXPECT_EQ(little_endian::Load16(&image[778]), m_config.CalibrationKey.Year);
}

TEST_F(SessionFileTest, HandheldTrackOpensWithPositionsWithoutTimes)
{
    const std::vector<uint8_t> file = HandheldTrack();
    m_config.WorkType = work_type::kMap;
    auto survey = Read(file);
    ASSERT_TRUE(survey);
    EXPECT_EQ(m_config.WorkType, work_type::kGpsTrack);
    auto& track = static_cast<TrackSurvey&>(*survey);
    ASSERT_EQ(track.Slots().Count(), 3);
    EXPECT_EQ(track.PositionAt(2).longitude, 30.002);
    EXPECT_EQ(track.PositionAt(2).latitude, 60.002);
    EXPECT_EQ(track.PositionAt(2).tickStamp, 0u);
    EXPECT_EQ(track.Slots()[2].TickStamp(), 5002u);
    EXPECT_EQ(track.LocalCoordinates().Count(), 4);
    EXPECT_NEAR(track.LocalCoordinates()[2].y, 222.39, 0.01);
    EXPECT_EQ(track.SessionImage(), file);
}

TEST_F(SessionFileTest, TrackWithoutPositionsHasOnePositionPerStation)
{
    std::vector<uint8_t> b = HandheldHeader(1, "");
    b.resize(800, 0);
    Put32(b, 788, 2);
    Put32(b, 792, 2);  // no positions follow the slots
    Put32(b, 796, 800);
    AppendSlot(b, Measurement(1));
    AppendSlot(b, Measurement(2));
    auto survey = Read(b);
    ASSERT_TRUE(survey);
    auto& track = static_cast<TrackSurvey&>(*survey);
    EXPECT_EQ(track.Positions().Count(), 2);
    EXPECT_EQ(track.LocalCoordinates().Count(), 3);
    const std::vector<uint8_t> image = track.SessionImage();
    EXPECT_EQ(image.size(), 800u + 2 * 196);
    EXPECT_EQ(little_endian::Load32(&image[792]), 0u);
}

TEST_F(SessionFileTest, EveryWorkTypeReopensAsItself)
{
    struct Case
    {
        const char* legend;
        int workType, x, y, measurements;
        int reopenedType, reopenedSlots;
    };
    const Case cases[] = {
        {"profile", work_type::kProfile, 6, 4, 3, work_type::kProfile, 6},
        {"line grown past its first 20 stations", work_type::kLine, 6, 4, 23, work_type::kLine, 23},
        {"short line", work_type::kLine, 6, 4, 2, work_type::kLine, 20},
        {"map of one profile", work_type::kMap, 6, 1, 2, work_type::kProfile, 6},
        {"open-ended map", work_type::kMap, 0, 4, 3, work_type::kLine, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        Grid(c.workType, c.x, c.y);
        GridSurvey survey(m_config);
        for (int n = 1; n <= c.measurements; ++n) {
            ASSERT_TRUE(survey.StoreMeasurement(Measurement(uint32_t(n))));
        }
        const std::vector<uint8_t> bytes = SaveAndRead(survey, "grid.orv");
        m_config.WorkType = work_type::kMap;
        auto reopened = Read(bytes);
        ASSERT_TRUE(reopened);
        EXPECT_EQ(m_config.WorkType, c.reopenedType);
        EXPECT_EQ(reopened->Slots().Count(), c.reopenedSlots);
        EXPECT_EQ(reopened->ValidCount(), c.measurements);
        for (int i = 0; i < c.measurements; ++i) {
            EXPECT_EQ(NumberOf(reopened->Slots()[i]), uint32_t(i + 1));
        }
    }
}

// A save hands the file on in pieces of a few hundred kilobytes: surveys of several pieces, with
// stations cut at a piece's end, must be written exactly as the layout says and read back whole.
TEST_F(SessionFileTest, LongSurveysAreWrittenWholeAcrossPieces)
{
    constexpr int kStations = 3000;  // about 2.2 pieces of a track, 2.1 of a map
    m_config.WorkType = work_type::kGpsTrack;
    TrackSurvey track(m_config);
    for (int i = 0; i < kStations; ++i) {
        const MeasurementSlot slot = Measurement(uint32_t(i + 1));
        ASSERT_TRUE(track.StoreMeasurement(slot));
        ASSERT_TRUE(track.AssignPosition(i, {60.0 + i * 1e-5, 30.0 + i * 1e-5, slot.TickStamp()}));
    }
    const std::vector<uint8_t> file = SaveAndRead(track, "long-track.orv");
    ASSERT_EQ(file.size(), 800u + kStations * 196u);
    EXPECT_EQ(little_endian::Load32(&file[788]), uint32_t(kStations));
    for (int i = 0; i < kStations; ++i) {
        SCOPED_TRACE(i);
        const uint8_t* station = &file[800 + size_t(i) * 196];
        ASSERT_TRUE(std::equal(station, station + 180, track.Slots()[i].bytes.begin()));
        EXPECT_EQ(little_endian::LoadDouble(station + 180), 30.0 + i * 1e-5);  // longitude
        EXPECT_EQ(little_endian::LoadDouble(station + 188), 60.0 + i * 1e-5);  // latitude
    }
    auto reopened = Read(file);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->Slots().Count(), kStations);
    EXPECT_EQ(reopened->SessionImage(), file);

    Grid(work_type::kMap, 60, 50);
    GridSurvey map(m_config);
    for (int n = 1; n <= kStations; ++n) {
        ASSERT_TRUE(map.StoreMeasurement(Measurement(uint32_t(n))));
    }
    const std::vector<uint8_t> mapFile = SaveAndRead(map, "long-map.orv");
    ASSERT_EQ(mapFile.size(), 828u + kStations * 180u);
    for (int i = 0; i < kStations; ++i) {
        SCOPED_TRACE(i);
        const uint8_t* slot = &mapFile[828 + size_t(i) * 180];
        ASSERT_TRUE(std::equal(slot, slot + 180, map.Slots()[i].bytes.begin()));
    }
    auto reopenedMap = Read(mapFile);
    ASSERT_TRUE(reopenedMap);
    EXPECT_EQ(reopenedMap->ValidCount(), kStations);
    EXPECT_EQ(reopenedMap->SessionImage(), mapFile);
}

TEST_F(SessionFileTest, TextsAreCutTo255BytesAndKeepTheirCodePage)
{
    Grid(work_type::kProfile, 2, 1);
    m_config.SessionText1 = std::string(300, 'a');
    m_config.SessionText2 = "Профиль 7";  // windows-1251 in the file
    m_config.SessionText3 = "";
    GridSurvey survey(m_config);
    const std::vector<uint8_t> image = survey.SessionImage();
    EXPECT_EQ(image[8], 255);
    EXPECT_EQ(image[8 + 255], 'a');
    EXPECT_EQ(image[264], 9);
    EXPECT_EQ(image[265], 0xCF);  // 'П'
    m_config.SessionText1.clear();
    m_config.SessionText2.clear();
    ASSERT_TRUE(Read(image));
    EXPECT_EQ(m_config.SessionText1, std::string(255, 'a'));
    EXPECT_EQ(m_config.SessionText2, "Профиль 7");

    // The reader stops a text at its first zero byte, whatever its length byte says.
    std::vector<uint8_t> cut = image;
    cut[264] = 200;
    cut[267] = 0;
    ASSERT_TRUE(Read(cut));
    EXPECT_EQ(m_config.SessionText2, "Пр");
}

TEST_F(SessionFileTest, DamagedFilesAreRefusedAndLeaveTheConfigurationAlone)
{
    const auto refused = [&](const std::vector<uint8_t>& bytes) {
        m_config.WorkType = work_type::kLine;
        m_config.XSize = 77;
        m_config.SessionText1 = "before";
        m_config.UsedFrequencies.fill(1);
        std::string error;
        const bool ok = ReadSession(bytes, m_config, error) == nullptr &&
                        error == kWrongFormatText && m_config.WorkType == work_type::kLine &&
                        m_config.XSize == 77 && m_config.SessionText1 == "before" &&
                        m_config.UsedFrequencies[1] == 1;
        return ok;
    };
    // Every truncation of a grid and of a track file.
    for (const std::vector<uint8_t>& file : {HandheldProfile(), HandheldTrack()}) {
        for (size_t n = 0; n < file.size(); ++n) {
            const std::vector<uint8_t> cut(file.begin(), file.begin() + std::ptrdiff_t(n));
            ASSERT_TRUE(refused(cut)) << "cut after " << n << " bytes";
        }
    }

    struct Case
    {
        const char* legend;
        size_t offset;
        uint32_t value;
        bool track;
    };
    const Case cases[] = {
        {"wrong magic", 3, 0x20202020, false},
        {"body beyond the end", 784, 0xFFFFFF00, false},
        {"more stations than slots", 796, 5, false},
        {"stations times profiles wrapping to 0 in 32 bits", 796, 65536, false},
        {"slots offset beyond the end", 824, 0x7FFFFFFF, false},
        {"profile with 0 profiles and many stations", 800, 0, false},
        {"stations beyond an int", 796, 0x80000001, false},
        {"track count beyond its stations", 788, 4, true},
        {"track count of 2^32 - 1", 788, 0xFFFFFFFF, true},
        {"track slots offset beyond the end", 796, 0xFFFFFFFF, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        std::vector<uint8_t> file = c.track ? HandheldTrack() : HandheldProfile();
        Put32(file, c.offset, c.value);
        if (std::string(c.legend).find("wrapping") != std::string::npos ||
            std::string(c.legend).find("0 profiles") != std::string::npos) {
            Put32(file, 796, 65536);
            Put32(file, 800, c.offset == 800 ? 0 : 65536);
        }
        EXPECT_TRUE(refused(file));
    }

    // A file that cannot be read says why.
    std::string error;
    EXPECT_FALSE(OpenSession(m_dir.File("missing.orv"), m_config, error));
    EXPECT_EQ(error, "Could not open the file: " + m_dir.File("missing.orv") + " was not found.");
}

TEST_F(SessionFileTest, FailedSaveKeepsTheSurveyModifiedAndTheOldFileWhole)
{
    Grid(work_type::kProfile, 3, 1);
    GridSurvey survey(m_config);
    ASSERT_TRUE(survey.StoreMeasurement(Measurement(1)));
    const std::vector<uint8_t> old = SaveAndRead(survey, "kept.orv");
    ASSERT_TRUE(survey.StoreMeasurement(Measurement(2)));

    WriteFileText(m_dir.File("plain"), "not a folder");
    std::string error;
    EXPECT_FALSE(SaveSession(survey, m_dir.File("plain") + "/survey.orv", error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(survey.Modified(), 1);
    // A folder where the file should be is refused too, and the earlier file is untouched.
    std::filesystem::create_directory(m_dir.File("folder.orv"));
    EXPECT_FALSE(SaveSession(survey, m_dir.File("folder.orv"), error));
    EXPECT_EQ(survey.Modified(), 1);
    EXPECT_EQ(ReadFileBytes(m_dir.File("kept.orv")), old);
}

TEST(SessionNames, AutomaticNameAndFileErrorTexts)
{
    std::tm t{};
    t.tm_year = 107;
    t.tm_mon = 1;
    t.tm_mday = 28;
    t.tm_hour = 14;
    t.tm_min = 5;
    EXPECT_EQ(AutomaticFileName(&t), "070228_1405");
    EXPECT_EQ(AutomaticFileName(nullptr), "000000_-1-1");
    EXPECT_EQ(FileErrorText(13, "/card/a.orv"), "Disk full while accessing /card/a.orv.");
    EXPECT_EQ(FileErrorText(2, ""), "an unnamed file was not found.");
    EXPECT_EQ(FileErrorText(FileErrorCause(EACCES), "x"), "Access to x was denied.");
    // The check value of CRC-32, over a length that is not a multiple of four.
    const std::string check = "123456789";
    EXPECT_EQ(Crc32({reinterpret_cast<const uint8_t*>(check.data()), check.size()}), 0xCBF43926u);
}

}  // namespace
