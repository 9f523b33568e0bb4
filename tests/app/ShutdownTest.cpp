#include "SheetFixture.h"
#include "instrument/InstrumentDevice.h"
#include "survey/JournalRecovery.h"

#include <filesystem>

namespace orv {
namespace {

// Notes, when the settings are flushed, what the calibration file and the instrument port look
// like at that moment.
class RecordingStore final : public SettingsStore
{
public:
    RecordingStore(std::string calibrationPath, const FakeSerialPort& port)
        : m_calibrationPath(std::move(calibrationPath)), m_port(port)
    {}
    std::optional<uint32_t> ReadDword(const std::string& name) const override
    {
        return m_inner.ReadDword(name);
    }
    std::optional<std::vector<uint8_t>> ReadBinary(const std::string& name) const override
    {
        return m_inner.ReadBinary(name);
    }
    bool WriteDword(const std::string& name, uint32_t value) override
    {
        return m_inner.WriteDword(name, value);
    }
    bool WriteBinary(const std::string& name, std::span<const uint8_t> bytes) override
    {
        return m_inner.WriteBinary(name, bytes);
    }
    bool Flush(std::string& error) override
    {
        ++flushes;
        calibrationExistedAtFlush = std::filesystem::exists(m_calibrationPath);
        portOpenAtFlush = m_port.IsOpen();
        return m_inner.Flush(error);
    }

    int flushes = 0;
    bool calibrationExistedAtFlush = true;
    bool portOpenAtFlush = true;

private:
    FakeSettingsStore m_inner;
    std::string m_calibrationPath;
    const FakeSerialPort& m_port;
};

class ShutdownTest : public SheetFixture
{
};

TEST_F(ShutdownTest, ClosesTheLinkThenWritesSettingsThenCalibrations)
{
    RecordingStore store(CalibrationPath(), m_instrumentPort);
    m_settings = &store;
    std::string ini = "[ORV 12]\n\tDate=05/03/2008\n";
    for (int n = 1; n <= 14; ++n) {
        ini += "\tF" + std::to_string(n) + "=" + std::to_string(n) + "\n";
    }
    WriteFileText(m_dir.File("import.ini"), ini);

    MakeSheet();
    ASSERT_TRUE(Device().Connect());
    m_files.answers = {m_dir.File("import.ini")};
    Control<QPushButton>(PageId::StaticSettings, control_id::kAdd)->click();
    m_prompt.answers = {Answer::No};
    m_sheet->SendCommandToSheet(command_id::kClose);
    ASSERT_TRUE(m_sheet->RunEnded());
    EXPECT_EQ(store.flushes, 0);  // nothing is saved before shutdown

    m_sheet.reset();
    EXPECT_EQ(store.flushes, 1);
    EXPECT_FALSE(store.portOpenAtFlush);
    EXPECT_FALSE(store.calibrationExistedAtFlush);
    EXPECT_NE(ReadFileText(CalibrationPath()).find("[ORV 12]"), std::string::npos);
    EXPECT_TRUE(m_prompt.told.empty());
    m_core.reset();
    m_settings = &m_store;
}

TEST_F(ShutdownTest, UnsavedMeasurementsAreOfferedAtTheNextStart)
{
    MakeSheet();
    BeginWithMode(0);
    Measure(3);
    // The window system ends the program without Close: the measurements stay in the journal.
    m_sheet.reset();

    // Cancel: decided later; the journal stays.
    MakeSheet();
    m_prompt.answers = {Answer::Cancel};
    m_sheet->OfferRecovery();
    ASSERT_EQ(m_prompt.asked.size(), 1u);
    EXPECT_NE(m_prompt.asked[0].text.find("3 measurements of a survey never saved"),
              std::string::npos);
    EXPECT_EQ(m_sheet->CurrentSurvey(), nullptr);
    m_sheet.reset();

    // Yes: the survey comes back, modified, with its session pages.
    MakeSheet();
    m_prompt.answers = {Answer::Yes};
    m_sheet->OfferRecovery();
    ASSERT_NE(m_sheet->CurrentSurvey(), nullptr);
    EXPECT_EQ(m_sheet->CurrentSurvey()->ValidCount(), 3);
    EXPECT_EQ(m_sheet->CurrentSurvey()->Modified(), 1);
    EXPECT_EQ(m_sheet->Pages(),
              (std::vector<PageId>{PageId::Settings, PageId::ViewSettings, PageId::MainGrid}));
    Measure();
    m_sheet.reset();

    // No asks again before anything is thrown away; Yes there discards the journal.
    MakeSheet();
    m_prompt.asked.clear();
    m_prompt.answers = {Answer::No, Answer::Yes};
    m_sheet->OfferRecovery();
    ASSERT_EQ(m_prompt.asked.size(), 2u);
    EXPECT_NE(m_prompt.asked[0].text.find("4 measurements"), std::string::npos);
    EXPECT_EQ(m_sheet->CurrentSurvey(), nullptr);
    EXPECT_TRUE(FindOrphanedJournals(DataDirectory()).empty());
}

}  // namespace
}  // namespace orv
