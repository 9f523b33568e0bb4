#include "config/Configuration.h"

#include "FakePrompt.h"
#include "FakeSettingsStore.h"
#include "TempDir.h"
#include "base/ByteOrder.h"
#include "config/ConfigurationFields.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace orv {
namespace {

std::vector<uint8_t> FloatBytes(float v)
{
    std::vector<uint8_t> b(4);
    little_endian::StoreFloat(b.data(), v);
    return b;
}

class ConfigurationTest : public ::testing::Test
{
protected:
    std::unique_ptr<Configuration> Make()
    {
        return std::make_unique<Configuration>(m_store, m_dir.File("OrvCalibration.ini"), m_prompt);
    }

    TempDir m_dir;
    FakeSettingsStore m_store;
    FakePrompt m_prompt;
};

TEST_F(ConfigurationTest, FirstRunHasDefaultsAndSecondRunReadsBackWhatWasSaved)
{
    auto config = Make();
    EXPECT_EQ(config->WorkType, 2);
    EXPECT_EQ(config->XSize, 20);
    EXPECT_EQ(config->YSize, 10);
    EXPECT_EQ(config->GpsBaudRateId, 79);
    EXPECT_EQ(config->GpsStaleSeconds, 5);
    EXPECT_EQ(config->UsedFrequencies,
              (std::array<int, 14>{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(config->AreaChart.Count(), 15);
    EXPECT_EQ(config->AreaChart.Minimum(), -10.0f);
    // An empty calibration store hands out the built-in calibration of instrument 9.
    EXPECT_EQ(config->CalibrationKey, (CalibrationId{9, 2007, 2, 28}));
    EXPECT_DOUBLE_EQ(config->ActiveCalibration.IAir[0], 33428.4);

    config->WorkType = 31;
    config->XStep = 2.5f;
    config->UsedFrequencies[3] = 0;
    config->GpsBaudRateId = 85;
    config->PixelRefinement = 3;
    config->TrackRadius = 77;
    config->GpsStaleSeconds = 12;
    config->ProfileChart.SetRange(-3.0f, 4.5f);
    config->AreaChart.RemoveColours(0, 5);
    std::string error;
    ASSERT_TRUE(config->Save(error)) << error;
    config.reset();

    // The speed lives in the unnamed value; the refinement under its historical name.
    EXPECT_EQ(m_store.ReadDword(""), 85u);
    EXPECT_EQ(m_store.ReadDword("Profile curve: profile %u, frequency %u"), 3u);
    EXPECT_EQ(m_store.ReadBinary("Used frequences")->size(), 14u);
    EXPECT_EQ(m_store.ReadDword("gpsStaleSeconds"), 12u);

    auto again = Make();
    EXPECT_EQ(again->WorkType, 31);
    EXPECT_EQ(again->XStep, 2.5f);
    EXPECT_EQ(again->UsedFrequencies[3], 0);
    EXPECT_EQ(again->UsedFrequencies[4], 1);
    EXPECT_EQ(again->GpsBaudRate(), 115200u);
    EXPECT_EQ(again->PixelRefinement, 3);
    EXPECT_EQ(again->TrackRadius, 77);
    EXPECT_EQ(again->GpsStaleMilliseconds(), 12000u);
    EXPECT_EQ(again->ProfileChart.Minimum(), -3.0f);
    EXPECT_EQ(again->ProfileChart.Maximum(), 4.5f);
    EXPECT_EQ(again->AreaChart.Count(), 10);
    EXPECT_EQ(again->CalibrationKey, (CalibrationId{9, 2007, 2, 28}));
}

TEST_F(ConfigurationTest, StoredValuesOfTheWrongShapeKeepTheDefaults)
{
    m_store.values["xStep"] = uint32_t{7};  // a DWORD where a float blob belongs
    m_store.values["yStep"] = std::vector<uint8_t>{0, 0, 0x40};  // too short
    auto longer = FloatBytes(4.0f);
    longer.push_back(0x99);
    m_store.values["Depth scale factor"] = longer;  // read from its first four bytes
    m_store.values["Used frequences"] = std::vector<uint8_t>(13, 0);  // one flag short
    m_store.values["Work type"] = std::vector<uint8_t>{3, 0, 0, 0};   // a blob for a DWORD
    m_store.values["ySize"] = uint32_t{0xFFFFFFFFu};                  // not range-checked on load
    m_store.values["ORV serial number"] = uint32_t{0x12345};
    m_store.values["Profile color chart minimum value"] = FloatBytes(2.0f);  // max falls back to 0

    auto config = Make();
    EXPECT_EQ(config->XStep, 1.0f);
    EXPECT_EQ(config->YStep, 1.0f);
    EXPECT_EQ(config->DepthScaleFactor, 4.0f);
    EXPECT_EQ(config->UsedFrequencies[0], 1);
    EXPECT_EQ(config->WorkType, 2);
    EXPECT_EQ(config->YSize, -1);
    EXPECT_EQ(config->ProfileChart.Minimum(), -10.0f);
    EXPECT_EQ(config->ProfileChart.Maximum(), 10.0f);
}

TEST_F(ConfigurationTest, ChartsKeepTheirStoredStopsWhenTheyHaveNone)
{
    const std::vector<uint8_t> stored = {1, 2, 3, 0, 4, 5};
    m_store.values["Area color chart"] = stored;
    auto config = Make();
    EXPECT_EQ(config->AreaChart.Colours(), (std::vector<Colour>{0x030201, 0x0504}));
    config->AreaChart.RemoveColours(0, 2);
    config->AreaChart.SetRange(1.0f, 2.0f);
    std::string error;
    ASSERT_TRUE(config->Save(error));
    EXPECT_EQ(m_store.ReadBinary("Area color chart"), stored);
    EXPECT_EQ(m_store.ReadBinary("Area color chart minimum value"), FloatBytes(1.0f));
}

TEST_F(ConfigurationTest, InstrumentSerialSelectsItsCalibrationAtTheKeyDate)
{
    auto config = Make();
    CalibrationRecord a;
    a.Comment = "five, 2008";
    std::array<double, 14> f{};
    f.fill(1.0);
    ASSERT_TRUE(a.CommitFrequencies(f));
    CalibrationRecord b = a;
    b.Comment = "five, 2009";
    CalibrationRecord c = a;
    c.Comment = "seven";
    config->Calibrations().Merge({5, 2008, 3, 1}, a);
    config->Calibrations().Merge({5, 2009, 6, 1}, b);
    config->Calibrations().Merge({7, 2001, 1, 1}, c);
    config->SelectCalibration({7, 2001, 1, 1});
    config->CalibrationKey.Year = 2009;
    config->CalibrationKey.Month = 5;
    config->CalibrationKey.Day = 15;

    config->NoteInstrumentSerial(0);
    EXPECT_EQ(config->ActiveCalibration.Comment, "seven");
    config->NoteInstrumentSerial(5);
    EXPECT_EQ(config->ConnectedSerial, 5);
    EXPECT_EQ(config->ActiveCalibration.Comment, "five, 2008");
    EXPECT_EQ(config->CalibrationKey, (CalibrationId{5, 2008, 3, 1}));
    // The same serial again changes nothing, even after a manual choice.
    config->SelectCalibration({7, 2001, 1, 1});
    config->NoteInstrumentSerial(5);
    EXPECT_EQ(config->ActiveCalibration.Comment, "seven");
}

TEST_F(ConfigurationTest, GpsSpeedTable)
{
    auto config = Make();
    const std::pair<int, uint32_t> cases[] = {{73, 110},    {78, 4800}, {79, 9600}, {83, 56000},
                                              {87, 256000}, {72, 9600}, {88, 9600}, {-5, 9600}};
    for (const auto& [id, speed] : cases) {
        config->GpsBaudRateId = id;
        EXPECT_EQ(config->GpsBaudRate(), speed) << id;
    }
    // A stale bound from a hand-edited settings file is kept within 1 s and an hour.
    const std::pair<int, uint32_t> bounds[] = {
        {0, 1000}, {-3, 1000}, {3600, 3600000}, {2000000000, 3600000}};
    for (const auto& [seconds, ms] : bounds) {
        config->GpsStaleSeconds = seconds;
        EXPECT_EQ(config->GpsStaleMilliseconds(), ms) << seconds;
    }
}

TEST_F(ConfigurationTest, SettingsByNameRefuseBadTextAndKeepTheField)
{
    auto config = Make();
    std::string error;
    EXPECT_TRUE(ApplySetting(*config, "UnitMeasure=1", error));
    EXPECT_TRUE(ApplySetting(*config, "XStep=0.25", error));
    EXPECT_TRUE(ApplySetting(*config, "UsedFrequencies=1,2,14", error));
    EXPECT_TRUE(ApplySetting(*config, "CursorColour=0x0000FF00", error));
    EXPECT_EQ(config->UnitMeasure, 1);
    EXPECT_EQ(config->XStep, 0.25f);
    EXPECT_EQ(config->UsedFrequencies,
              (std::array<int, 14>{1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(config->CursorColour, 0x0000FF00u);
    EXPECT_EQ(FieldValueText(*config, *FindConfigurationField("XStep")), "0.25");

    const char* bad[] = {
        "UnitMeasure=one", "XStep=1e999",         "XStep=", "UsedFrequencies=0,15", "NoSuchField=1",
        "UnitMeasure",     "CalibrationKey=70000"};
    for (const char* assignment : bad) {
        SCOPED_TRACE(assignment);
        error.clear();
        EXPECT_FALSE(ApplySetting(*config, assignment, error));
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(config->UnitMeasure, 1);
    EXPECT_EQ(config->XStep, 0.25f);
    EXPECT_EQ(config->UsedFrequencies[13], 1);
}

// A store that notes whether the calibration file existed when the settings were flushed.
class OrderWatchingStore final : public SettingsStore
{
public:
    explicit OrderWatchingStore(std::string calibrationPath) : m_path(std::move(calibrationPath)) {}
    std::optional<uint32_t> ReadDword(const std::string& n) const override
    {
        return m_inner.ReadDword(n);
    }
    std::optional<std::vector<uint8_t>> ReadBinary(const std::string& n) const override
    {
        return m_inner.ReadBinary(n);
    }
    bool WriteDword(const std::string& n, uint32_t v) override { return m_inner.WriteDword(n, v); }
    bool WriteBinary(const std::string& n, std::span<const uint8_t> b) override
    {
        return m_inner.WriteBinary(n, b);
    }
    bool Flush(std::string& error) override
    {
        calibrationExistedAtFlush = std::filesystem::exists(m_path);
        return m_inner.Flush(error);
    }
    bool calibrationExistedAtFlush = true;

private:
    std::string m_path;
    FakeSettingsStore m_inner;
};

TEST(ConfigurationRelease, WritesSettingsBeforeTheCalibrationFile)
{
    TempDir dir;
    const std::string calibration = dir.File("OrvCalibration.ini");
    OrderWatchingStore store(calibration);
    FakePrompt prompt;
    Configuration config(store, calibration, prompt);
    CalibrationRecord record = config.ActiveCalibration;
    config.Calibrations().Merge({12, 2020, 5, 4}, record);
    std::string error;
    EXPECT_TRUE(config.SaveAndClose(error)) << error;
    EXPECT_FALSE(store.calibrationExistedAtFlush);
    EXPECT_TRUE(std::filesystem::exists(calibration));
    EXPECT_TRUE(store.ReadDword("Work type").has_value());
}

}  // namespace
}  // namespace orv
