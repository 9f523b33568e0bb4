#include "FakePrompt.h"
#include "FakeSettingsStore.h"
#include "TempDir.h"
#include "config/Configuration.h"
#include "resources/ResourceIds.h"
#include "ui/pages/DataExchange.h"
#include "ui/pages/OtherSettingsLogic.h"
#include "ui/pages/StaticSettingsLogic.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace orv {
namespace {

// A calibration section of the INI dialect with all 14 frequencies.
std::string Section(int serial, const char* date)
{
    std::string s = "[ORV " + std::to_string(serial) + "]\n\tDate=" + date + "\n";
    for (int n = 1; n <= 14; ++n) {
        s += "\tF" + std::to_string(n) + "=" + std::to_string(n * 1.5) + "\n";
    }
    return s;
}

TEST(DataExchange, ReadsNumbersWithTheFrameworkMessages)
{
    const struct
    {
        const char* text;
        bool ok;
        unsigned value;
        const char* message;
    } integers[] = {
        {"20", true, 20, ""},
        {"  7 ", true, 7, ""},
        {"0", false, 0, "Enter an integer between 1 and 65535."},
        {"65536", false, 0, "Enter an integer between 1 and 65535."},
        {"-3", false, 0, "Enter an integer between 1 and 65535."},
        {"99999999999999999999", false, 0, "Enter an integer between 1 and 65535."},
        {"", false, 0, "Enter an integer."},
        {"12abc", false, 0, "Enter an integer."},
        {"1.5", false, 0, "Enter an integer."},
    };
    for (const auto& c : integers) {
        SCOPED_TRACE(c.text);
        unsigned value = 42;
        std::string message;
        EXPECT_EQ(ReadUnsignedText(c.text, 1, 65535, value, message), c.ok);
        EXPECT_EQ(value, c.ok ? c.value : 42u);
        EXPECT_EQ(message, c.message);
    }

    const struct
    {
        const char* text;
        bool ok;
        float value;
        const char* message;
    } numbers[] = {
        {"0.1", true, 0.1f, ""},
        {"2.5e1", true, 25.0f, ""},
        {"0.05", false, 0, "Enter a number between 0.1 and 65535."},
        {"1e30", false, 0, "Enter a number between 0.1 and 65535."},
        {"inf", false, 0, "Enter a number."},
        {"nan", false, 0, "Enter a number."},
        {"0x10", false, 0, "Enter a number."},
        {"1,5", false, 0, "Enter a number."},
        {"", false, 0, "Enter a number."},
    };
    for (const auto& c : numbers) {
        SCOPED_TRACE(c.text);
        float value = 42.0f;
        std::string message;
        EXPECT_EQ(ReadFloatText(c.text, 0.1f, 65535.0f, value, message), c.ok);
        EXPECT_EQ(value, c.ok ? c.value : 42.0f);
        EXPECT_EQ(message, c.message);
    }
}

class StaticSettingsLogicTest : public ::testing::Test
{
protected:
    Configuration& Config(const std::string& ini = "")
    {
        if (!ini.empty()) {
            WriteFileText(m_dir.File("OrvCalibration.ini"), ini);
        }
        m_config =
            std::make_unique<Configuration>(m_store, m_dir.File("OrvCalibration.ini"), m_prompt);
        return *m_config;
    }
    StaticSettingsChecks AllOn() const
    {
        StaticSettingsChecks checks;
        checks.frequencies.fill(true);
        return checks;
    }

    TempDir m_dir;
    FakeSettingsStore m_store;
    FakePrompt m_prompt;
    std::unique_ptr<Configuration> m_config;
    StaticSettingsLogic m_logic;
};

TEST_F(StaticSettingsLogicTest, WorkTypeDecidesTheGridControls)
{
    const struct
    {
        int modeIndex;
        GridVisibility shown;
    } cases[] = {
        {0, {true, true, true, true}},      // Map
        {1, {true, true, false, false}},    // Profile
        {2, {false, true, false, false}},   // Line: X step only
        {3, {false, false, false, false}},  // GPS track: none
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.modeIndex);
        m_logic.modeIndex = c.modeIndex;
        m_logic.RefreshControls();
        EXPECT_EQ(m_logic.visibility, c.shown);
    }
    // No selection leaves the controls as they are.
    m_logic.modeIndex = -1;
    m_logic.RefreshControls();
    EXPECT_EQ(m_logic.visibility, (GridVisibility{false, false, false, false}));
}

TEST_F(StaticSettingsLogicTest, FrequencyBoxesAllAndTracer)
{
    m_logic.FrequencyClicked(7, true);  // the box clicked last
    m_logic.AllClicked(false);
    for (int i = 0; i < 14; ++i) {
        EXPECT_EQ(m_logic.UsedFrequencies[static_cast<size_t>(i)], i == 6 ? 1 : 0) << i;
    }
    EXPECT_FALSE(m_logic.allChecked);
    EXPECT_FALSE(m_logic.trasserEnabled);  // one frequency, but not frequency 1

    m_logic.AllClicked(true);
    EXPECT_TRUE(m_logic.allChecked);
    m_logic.FrequencyClicked(1, true);
    m_logic.AllClicked(false);  // only frequency 1 stays: the tracer may be switched on
    EXPECT_TRUE(m_logic.trasserEnabled);
    m_logic.TrasserMode = 1;
    m_logic.FrequencyClicked(2, true);  // a second frequency clears and disables it
    EXPECT_FALSE(m_logic.trasserEnabled);
    EXPECT_EQ(m_logic.TrasserMode, 0);
}

TEST_F(StaticSettingsLogicTest, ValidationRefusesAndChangesNothing)
{
    const StaticSettingsEdits good{"5", "2.5", "3", "0.5"};
    auto checks = AllOn();
    ASSERT_FALSE(m_logic.ReadControls(good, checks));
    EXPECT_EQ(m_logic.XSize, 5u);
    EXPECT_EQ(m_logic.YStep, 0.5f);

    const struct
    {
        const char* legend;
        StaticSettingsEdits edits;
        int control;
        const char* message;
    } bad[] = {
        {"x size 0",
         {"0", "1", "1", "1"},
         control_id::kXSize,
         "Enter an integer between 1 and 65535."},
        {"y size text", {"4", "1", "many", "1"}, control_id::kYSize, "Enter an integer."},
        {"x step too small",
         {"4", "0.01", "4", "1"},
         control_id::kXStep,
         "Enter a number between 0.1 and 65535."},
        {"y step empty", {"4", "1", "4", ""}, control_id::kYStep, "Enter a number."},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.legend);
        const auto failure = m_logic.ReadControls(c.edits, checks);
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->controlId, c.control);
        EXPECT_EQ(failure->message, c.message);
        EXPECT_EQ(m_logic.XSize, 5u);
    }

    checks.frequencies.fill(false);
    const auto none = m_logic.ReadControls(good, checks);
    ASSERT_TRUE(none);
    EXPECT_EQ(none->message, "At least one frequency must be turned on");
    EXPECT_EQ(m_logic.UsedFrequencies[0], 1);

    // A hidden edit is not read: a Profile survey is not refused for its unused Y size.
    m_logic.modeIndex = 1;
    m_logic.RefreshControls();
    EXPECT_FALSE(m_logic.ReadControls({"8", "1", "0", "junk"}, AllOn()));
    EXPECT_EQ(m_logic.XSize, 8u);
    EXPECT_EQ(m_logic.YSize, 3u);
}

TEST_F(StaticSettingsLogicTest, DeviceListSortsSelectsAndStores)
{
    Configuration& config =
        Config(Section(9, "28/02/2007") + Section(12, "05/03/2008") + Section(12, "01/06/2009"));
    config.SelectCalibration({12, 2008, 3, 5});
    m_logic.FillDeviceList(config);
    // Alphabetical order of the texts puts serial 12 before serial 9.
    ASSERT_EQ(m_logic.deviceEntries,
              (std::vector<std::string>{"ORV 12, 01/06/2009", "ORV 12, 05/03/2008",
                                        "ORV 9, 28/02/2007"}));
    EXPECT_EQ(m_logic.deviceIndex, 1);
    EXPECT_TRUE(m_logic.deleteEnabled);

    // Load selects the work type and the calibration in use; Store selects the chosen one.
    config.WorkType = 4;
    config.CalibrationKey = {9, 2007, 2, 28};
    m_logic.LoadFromConfiguration(config);
    EXPECT_EQ(m_logic.SelectedWorkType(), 4);
    EXPECT_EQ(m_logic.deviceIndex, 2);
    m_logic.deviceIndex = 0;
    m_logic.modeIndex = -1;
    m_logic.StoreToConfiguration(config);
    EXPECT_EQ(config.CalibrationKey, (CalibrationId{12, 2009, 6, 1}));
    EXPECT_EQ(config.WorkType, 2);  // no mode selected stores Map

    // Deleting the last record leaves "<empty>" and a disabled Delete; storing it selects nothing.
    for (const auto& id : {CalibrationId{9, 2007, 2, 28}, CalibrationId{12, 2008, 3, 5},
                           CalibrationId{12, 2009, 6, 1}}) {
        config.Calibrations().Remove(id);
    }
    m_logic.FillDeviceList(config);
    EXPECT_EQ(m_logic.deviceEntries, (std::vector<std::string>{"<empty>"}));
    EXPECT_FALSE(m_logic.deleteEnabled);
    EXPECT_FALSE(m_logic.SelectedDevice());
}

TEST_F(StaticSettingsLogicTest, DeviceEntriesScanBack)
{
    const struct
    {
        const char* text;
        bool ok;
        CalibrationId id;
    } cases[] = {
        {"ORV 12, 05/03/2008", true, {12, 2008, 3, 5}},
        {"  orv 7, 1/2/2010", true, {7, 2010, 2, 1}},
        {"<empty>", false, {}},
        {"ORV 12, 05/03", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CalibrationId id;
        EXPECT_EQ(ScanDeviceEntry(c.text, id), c.ok);
        if (c.ok) {
            EXPECT_EQ(id, c.id);
        }
    }
    EXPECT_EQ(StaticSettingsLogic::DeleteQuestion({12, 2008, 3, 5}),
              "Do you wish to delete the calibration data for TALMIR 12 (05/03/2008)?");
    EXPECT_EQ(StaticSettingsLogic::DeleteCaption({12, 2008, 3, 5}),
              "Delete TALMIR 12, 05/03/2008?");
}

TEST(OtherSettingsLogic, SpeedListLoadAndStore)
{
    TempDir dir;
    FakeSettingsStore store;
    FakePrompt prompt;
    Configuration config(store, dir.File("OrvCalibration.ini"), prompt);
    OtherSettingsLogic logic;
    logic.FillBaudList();
    ASSERT_EQ(logic.baudItems.size(), 15u);

    config.GpsBaudRateId = 81;
    logic.LoadFromConfiguration(config);
    EXPECT_EQ(logic.SelectedBaudId(), 81);  // "19200"

    // An unknown id on a fresh page leaves "110" selected, and leaving the page stores 73.
    OtherSettingsLogic fresh;
    fresh.FillBaudList();
    config.GpsBaudRateId = 200;
    fresh.LoadFromConfiguration(config);
    fresh.StoreToConfiguration(config);
    EXPECT_EQ(config.GpsBaudRateId, 73);
    EXPECT_EQ(config.GpsBaudRate(), 110u);

    fresh.baudIndex = -1;
    fresh.StoreToConfiguration(config);
    EXPECT_EQ(config.GpsBaudRateId, 79);

    EXPECT_FALSE(logic.ReadControls("0", "65535"));
    EXPECT_EQ(logic.gpsPortNumber, 65535u);
    const auto failure = logic.ReadControls("3", "65536");
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->controlId, control_id::kGpsPort);
    EXPECT_EQ(failure->message, "Enter an integer between 0 and 65535.");
    EXPECT_EQ(logic.instrumentPortNumber, 0u);
}

}  // namespace
}  // namespace orv
