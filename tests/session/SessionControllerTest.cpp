// The session commands without a screen: New, Open, Save, Close with their save prompt, the
// prompt of a failed measurement, the beginning of a session, and the recovery of a survey left
// unsaved, against a window that records what it is asked to show.

#include "session/SessionController.h"

#include "FakeFileChooser.h"
#include "FakeSerialPort.h"
#include "FakeTickClock.h"
#include "SurveyFixture.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"
#include "instrument/InstrumentDevice.h"
#include "survey/JournalRecovery.h"
#include "survey/Survey.h"
#include "survey/TrackSurvey.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace orv {
namespace {

class RecordingWindow final : public SessionWindow
{
public:
    void EndExchanges() override { events.push_back("end exchanges"); }
    void DeactivatePage() override { events.push_back("deactivate"); }
    void ActivatePage() override { events.push_back("activate"); }
    void SurveyChanged(Survey* survey) override { shownSurvey = survey; }
    void ShowSetup() override { events.push_back("setup"); }
    void NormalLayout() override { events.push_back("normal layout"); }
    void ShowSession(Survey* survey) override
    {
        events.push_back(survey == nullptr   ? "settings only"
                         : survey->IsTrack() ? "track session"
                                             : "grid session");
    }
    void EndRun() override { events.push_back("end run"); }
    void NoteSaved(const std::string& path) override { events.push_back("saved " + path); }

    std::vector<std::string> Take() { return std::exchange(events, {}); }

    std::vector<std::string> events;
    Survey* shownSurvey = nullptr;
};

using Events = std::vector<std::string>;

class SessionControllerTest : public test::SurveyFixture
{
protected:
    SessionControllerTest() { Grid(work_type::kMap, 3, 2); }

    std::vector<std::string> Asked() const
    {
        std::vector<std::string> texts;
        for (const auto& a : m_prompt.asked) {
            texts.push_back(a.text);
        }
        return texts;
    }
    void Measure(int count)
    {
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(m_session.CurrentSurvey()->StoreMeasurement(test::Measurement(1 + i)));
        }
    }

    FakeTickClock m_clock;
    FakeSerialPort m_instrument{&m_clock};
    FakeSerialPort m_gps{&m_clock};
    InstrumentDevice m_device{m_config, m_instrument, m_gps, m_clock, m_prompt, nullptr, nullptr};
    NmeaParser m_parser{m_clock};
    GpsMatcher m_matcher{m_clock};
    FakeFileChooser m_files;
    RecordingWindow m_window;
    SessionController m_session{SessionParts{m_config, m_device, m_prompt, m_files, &m_parser,
                                             &m_matcher, m_dir.File("data")},
                                m_window};
};

TEST_F(SessionControllerTest, ASessionBeginsWithTheDatasetOfItsWorkType)
{
    m_session.BeginSession();
    ASSERT_NE(m_session.CurrentSurvey(), nullptr);
    EXPECT_FALSE(m_session.CurrentSurvey()->IsTrack());
    EXPECT_EQ(m_window.Take(), (Events{"grid session"}));
    EXPECT_FALSE(m_device.GpsWanted());
    EXPECT_TRUE(m_session.CurrentSurvey()->JournalEnabled());

    // New with nothing measured asks nothing and shows the setup pages.
    m_session.New();
    EXPECT_TRUE(m_prompt.asked.empty());
    EXPECT_EQ(m_session.CurrentSurvey(), nullptr);
    EXPECT_EQ(m_window.Take(), (Events{"end exchanges", "deactivate", "setup", "normal layout"}));

    // A GPS track starts from no fix: the parser and the matcher forget the earlier session.
    m_config.WorkType = work_type::kGpsTrack;
    m_matcher.AddFix({1.0, 2.0, 100});
    m_session.BeginSession();
    ASSERT_NE(m_session.CurrentSurvey(), nullptr);
    EXPECT_TRUE(m_session.CurrentSurvey()->IsTrack());
    EXPECT_TRUE(m_device.GpsWanted());
    EXPECT_FALSE(m_matcher.HaveFix());
    EXPECT_EQ(m_window.Take(), (Events{"track session"}));

    // A work type without a dataset shows the signal settings only.
    m_session.Reset();
    m_config.WorkType = 7;
    m_session.BeginSession();
    EXPECT_EQ(m_session.CurrentSurvey(), nullptr);
    EXPECT_EQ(m_window.Take(), (Events{"setup", "settings only"}));
}

TEST_F(SessionControllerTest, TheSavePromptGuardsNewOpenAndClose)
{
    m_session.BeginSession();
    Measure(2);
    m_window.Take();

    // Yes, then the save dialog cancelled: New does not go on.
    m_prompt.answers = {Answer::Yes};
    m_session.New();
    EXPECT_EQ(Asked(), (std::vector<std::string>{"Save changes?"}));
    ASSERT_NE(m_session.CurrentSurvey(), nullptr);
    EXPECT_EQ(m_window.Take(), (Events{"end exchanges"}));

    // Cancel at the prompt: Close does not go on either.
    m_prompt.answers = {Answer::Cancel};
    m_session.Close();
    EXPECT_FALSE(m_session.RunEnded());

    // A failed measurement asks its own question; the session goes on whatever the answer.
    m_prompt.asked.clear();
    m_prompt.answers = {Answer::No};
    m_session.MeasurementFailed();
    EXPECT_EQ(Asked(), (std::vector<std::string>{"Failed to measure. Save changes?"}));
    ASSERT_NE(m_session.CurrentSurvey(), nullptr);

    // Yes and a file: saved, and Close goes through; the journal went with the save.
    const std::string path = m_dir.File("two.orv");
    m_prompt.answers = {Answer::Yes};
    m_files.answers = {path};
    m_session.Close();
    EXPECT_TRUE(m_session.RunEnded());
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(m_window.Take().back(), "end run");
    EXPECT_TRUE(FindOrphanedJournals(m_dir.File("data")).empty());
}

TEST_F(SessionControllerTest, SaveAndOpenRoundTripAndABadFileLeavesTheSetup)
{
    m_session.BeginSession();
    Measure(3);
    const std::string path = m_dir.File("three.orv");

    // A save that cannot be written says so and keeps the survey modified.
    m_files.answers = {m_dir.File("no-such-folder/x.orv")};
    EXPECT_FALSE(m_session.Save());
    ASSERT_EQ(m_prompt.told.size(), 1u);
    EXPECT_EQ(m_session.CurrentSurvey()->Modified(), 1);
    m_files.answers = {path};
    ASSERT_TRUE(m_session.Save());
    EXPECT_EQ(m_session.CurrentSurvey()->Modified(), 0);
    EXPECT_EQ(m_files.shown.back().confirmOverwrite, true);

    // Open: the file's survey, its session begun.
    m_window.Take();
    m_files.answers = {path};
    m_session.Open();
    ASSERT_NE(m_session.CurrentSurvey(), nullptr);
    EXPECT_EQ(m_session.CurrentSurvey()->ValidCount(), 3);
    EXPECT_EQ(m_session.CurrentSurvey()->FilePath(), path);
    EXPECT_EQ(m_window.Take(), (Events{"end exchanges", "deactivate", "activate", "grid session"}));

    // A file that is not a session: the setup pages and the file's fault.
    const std::string bad = m_dir.File("bad.orv");
    WriteFileText(bad, "not a session");
    m_prompt.told.clear();
    m_files.answers = {bad};
    m_session.Open();
    EXPECT_EQ(m_session.CurrentSurvey(), nullptr);
    ASSERT_EQ(m_prompt.told.size(), 1u);
    EXPECT_EQ(m_prompt.told[0].text.rfind("Error: wrong file format.", 0), 0u);
    EXPECT_EQ(m_window.Take().back(), "setup");

    // A file that is not there keeps the session as it is.
    m_session.BeginSession();
    m_prompt.told.clear();
    m_files.answers = {m_dir.File("missing.orv")};
    m_session.Open();
    ASSERT_NE(m_session.CurrentSurvey(), nullptr);
    ASSERT_EQ(m_prompt.told.size(), 1u);
    EXPECT_EQ(m_prompt.told[0].text.rfind("Could not open the file: ", 0), 0u);
}

TEST_F(SessionControllerTest, ASurveyNotLetGoIsOfferedAgain)
{
    m_session.BeginSession();
    Measure(2);
    // The program ends without Close: the journal stays.
    m_session.ReleaseSurvey();
    EXPECT_EQ(FindOrphanedJournals(m_dir.File("data")).size(), 1u);

    m_prompt.answers = {Answer::Yes};
    m_session.OfferRecovery();
    ASSERT_NE(m_session.CurrentSurvey(), nullptr);
    EXPECT_EQ(m_session.CurrentSurvey()->ValidCount(), 2);
    EXPECT_EQ(m_session.CurrentSurvey()->Modified(), 1);
    EXPECT_EQ(m_window.Take().back(), "grid session");
}

TEST_F(SessionControllerTest, SaveWritesTheSurveysOwnFileAndSaveAsAsks)
{
    m_session.BeginSession();
    Measure(1);
    m_window.Take();

    // A survey never saved: Save asks where, in the folder last used when it still exists.
    const std::string folder = m_dir.File("field");
    std::filesystem::create_directories(folder);
    m_config.LastFolder = folder;
    const std::string first = folder + "/first.orv";
    m_files.answers = {first};
    ASSERT_TRUE(m_session.Save());
    ASSERT_EQ(m_files.shown.size(), 1u);
    EXPECT_EQ(m_files.shown[0].folder, folder);
    EXPECT_EQ(m_window.Take(), (Events{"saved " + first}));

    // Once it has a file, Save writes there without a dialog.
    Measure(1);
    ASSERT_TRUE(m_session.Save());
    EXPECT_EQ(m_files.shown.size(), 1u);
    EXPECT_EQ(m_session.CurrentSurvey()->Modified(), 0);

    // Save As always asks; the folder chosen is remembered for the next dialog.
    const std::string other = m_dir.File("second.orv");
    m_files.answers = {other};
    ASSERT_TRUE(m_session.SaveAs());
    EXPECT_EQ(m_files.shown.size(), 2u);
    EXPECT_EQ(m_session.CurrentSurvey()->FilePath(), other);
    EXPECT_EQ(m_config.LastFolder, std::filesystem::path(other).parent_path().string());

    // A Save As that fails keeps the survey's file: the next Save goes there, not to the
    // unwritable place.
    Measure(1);
    m_files.answers = {m_dir.File("no-such-folder/x.orv")};
    EXPECT_FALSE(m_session.SaveAs());
    EXPECT_EQ(m_session.CurrentSurvey()->FilePath(), other);
    ASSERT_TRUE(m_session.Save());
    EXPECT_EQ(m_files.shown.size(), 3u);

    // A folder that went away is not offered again.
    std::filesystem::remove_all(folder);
    m_config.LastFolder = folder;
    m_files.answers = {};
    m_session.Open();
    EXPECT_EQ(m_files.shown.back().folder, "");

    // The file of the command line opens without a dialog.
    m_session.New();
    ASSERT_EQ(m_session.CurrentSurvey(), nullptr);
    m_session.OpenFile(other);
    EXPECT_EQ(m_files.shown.size(), 4u);
    ASSERT_NE(m_session.CurrentSurvey(), nullptr);
    EXPECT_EQ(m_session.CurrentSurvey()->FilePath(), other);
    EXPECT_EQ(m_session.CurrentSurvey()->ValidCount(), 3);

    // An export is named after the session's file, in the folder last used, and asks before
    // it replaces a file; a cancelled dialog exports nothing.
    m_files.answers = {m_dir.File("second.gpkg")};
    const auto target =
        m_session.ChooseExportFile("Export", "GeoPackage (*.gpkg)|*.gpkg||", ".gpkg");
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(m_files.shown.back().initialName, "second.gpkg");
    EXPECT_EQ(m_files.shown.back().defaultExtension, "gpkg");
    EXPECT_TRUE(m_files.shown.back().confirmOverwrite);
    m_files.answers = {std::nullopt};
    EXPECT_FALSE(m_session.ChooseExportFile("Export", "CSV (*.csv)|*.csv||", ".csv").has_value());
    EXPECT_EQ(m_files.shown.back().initialName, "second.csv");
}

}  // namespace
}  // namespace orv
