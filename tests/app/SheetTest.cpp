#include "SheetFixture.h"
#include "base/MessagePoster.h"
#include "instrument/InstrumentDevice.h"
#include "resources/ResourceIds.h"
#include "session/StatusStrip.h"
#include "survey/Survey.h"
#include "ui/CStatusStrip.h"

#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>

namespace orv {
namespace {

using P = PageId;

class SheetTest : public SheetFixture
{
protected:
    void Key(int key, bool autoRepeat = false, const QString& text = {})
    {
        QWidget* target = m_sheet->ActivePage();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text, autoRepeat);
        QApplication::sendEvent(target, &press);
    }
};

TEST_F(SheetTest, PageSetsOfEveryState)
{
    MakeSheet();
    EXPECT_EQ(m_sheet->ActiveIndex(), 0);
    EXPECT_EQ(m_sheet->Tabs()->tabText(0), "Static settings");
    EXPECT_EQ(m_sheet->windowTitle(), "Orv Control");

    const struct
    {
        const char* legend;
        int modeIndex;
        std::vector<PageId> pages;
        bool track;
    } cases[] = {
        {"Map", 0, {P::Settings, P::ViewSettings, P::MainGrid}, false},
        {"Profile", 1, {P::Settings, P::ViewSettings, P::MainGrid}, false},
        {"Line", 2, {P::Settings, P::ViewSettings, P::MainGrid}, false},
        {"GPS track", 3, {P::Settings, P::ViewSettings, P::MainTrack, P::Gps}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        BeginWithMode(c.modeIndex);
        EXPECT_EQ(m_sheet->Pages(), c.pages);
        EXPECT_EQ(m_sheet->ActiveIndex(), 2);  // the Main page
        EXPECT_EQ(m_sheet->Tabs()->currentIndex(), 2);
        ASSERT_NE(m_sheet->CurrentSurvey(), nullptr);
        EXPECT_EQ(m_sheet->CurrentSurvey()->IsTrack(), c.track);
        EXPECT_EQ(Device().GpsWanted(), c.track);
        EXPECT_TRUE(m_sheet->FullScreenLayout());

        // New without measurements asks nothing and returns to the setup pages, normal layout.
        m_sheet->SendCommandToSheet(command_id::kNew);
        EXPECT_TRUE(m_prompt.asked.empty());
        EXPECT_EQ(m_sheet->Pages(), (std::vector<PageId>{P::StaticSettings, P::OtherSettings}));
        EXPECT_EQ(m_sheet->ActiveIndex(), 0);
        EXPECT_EQ(m_sheet->CurrentSurvey(), nullptr);
        EXPECT_FALSE(m_sheet->FullScreenLayout());
    }

    // A work type that is none of the four shows Settings only. (The setup page always stores
    // one of the four, so this is a session begun again from a Main page.)
    BeginWithMode(0);
    Config().WorkType = 7;
    m_sheet->SendToSheet(message::kBeginSession, 0, 0);
    EXPECT_EQ(m_sheet->Pages(), (std::vector<PageId>{P::Settings}));
}

TEST_F(SheetTest, KeysSwitchPagesWithWrappingAndReachTheMainPage)
{
    MakeSheet();
    Key(Qt::Key_PageDown);
    EXPECT_EQ(m_sheet->ActiveIndex(), 1);
    Key(Qt::Key_PageDown);  // last to first
    EXPECT_EQ(m_sheet->ActiveIndex(), 0);
    Key(Qt::Key_PageUp);  // first to last
    EXPECT_EQ(m_sheet->ActiveIndex(), 1);
    Key(Qt::Key_PageUp);

    BeginWithMode(0);
    QSignalSpy keys(m_sheet->Page(P::MainGrid), &CPropertyPageBase::KeyReceived);
    Key(Qt::Key_Left);
    Key(Qt::Key_Left, true);         // held down: repeated key downs reach the page
    Key(Qt::Key_Space, false, " ");  // Start, as one key down
    Key(Qt::Key_Y, false, "y");      // key down 'Y'; its character 0x79 must not act as F10
    Key(Qt::Key_A, true, "a");       // auto-repeated character: only the key down
    ASSERT_EQ(keys.count(), 5);
    const std::vector<std::pair<uint32_t, bool>> expected = {
        {0x25, false}, {0x25, true}, {0xC5, false}, {'Y', false}, {'A', true}};
    for (int i = 0; i < keys.count(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(keys.at(i).at(0).value<uint32_t>(), expected[static_cast<size_t>(i)].first);
        EXPECT_EQ(keys.at(i).at(1).toBool(), expected[static_cast<size_t>(i)].second);
    }

    Key(Qt::Key_PageDown);  // Main is the last of three: wraps to Settings
    EXPECT_EQ(m_sheet->ActiveIndex(), 0);
    EXPECT_FALSE(m_sheet->FullScreenLayout());  // the Main page asked for the normal layout
    ClickNext(P::Settings);  // "Next >>" of the settings pages selects the next page
    EXPECT_EQ(m_sheet->ActiveIndex(), 1);
    m_sheet->Tabs()->setCurrentIndex(2);  // a tap on the tab
    EXPECT_EQ(m_sheet->ActiveIndex(), 2);
    EXPECT_TRUE(m_sheet->FullScreenLayout());
}

TEST_F(SheetTest, SavePromptYesNoCancel)
{
    MakeSheet();
    BeginWithMode(0);
    Measure(3);
    Survey* survey = m_sheet->CurrentSurvey();

    // Cancel keeps everything.
    m_prompt.answers = {Answer::Cancel};
    m_sheet->SendCommandToSheet(command_id::kNew);
    EXPECT_EQ(m_sheet->CurrentSurvey(), survey);
    ASSERT_EQ(m_prompt.asked.size(), 1u);
    EXPECT_EQ(m_prompt.asked[0].text, "Save changes?");

    // Yes, then the save dialog is cancelled: the survey is not saved, so New does not go on.
    m_prompt.answers = {Answer::Yes};
    m_sheet->SendCommandToSheet(command_id::kNew);
    EXPECT_EQ(m_sheet->CurrentSurvey(), survey);
    ASSERT_FALSE(m_files.shown.empty());
    EXPECT_EQ(m_files.shown.back().defaultExtension, "orv");
    EXPECT_EQ(m_files.shown.back().initialName.size(), 11u);  // the automatic name, 070228_1405

    // Yes and a path: the file is written, then the sheet resets.
    const std::string path = m_dir.File("survey.orv");
    m_prompt.answers = {Answer::Yes};
    m_files.answers = {path};
    m_sheet->SendCommandToSheet(command_id::kNew);
    EXPECT_EQ(m_sheet->CurrentSurvey(), nullptr);
    EXPECT_EQ(m_sheet->Pages(), (std::vector<PageId>{P::StaticSettings, P::OtherSettings}));
    EXPECT_EQ(std::filesystem::file_size(path), 828u + 20u * 10u * 180u);

    // A failed measurement asks with its own text; the session goes on whatever the answer.
    BeginWithMode(0);
    Measure();
    m_prompt.asked.clear();
    m_prompt.answers = {Answer::No};
    m_sheet->ActivePage()->ReportMeasurementFailure();
    ASSERT_EQ(m_prompt.asked.size(), 1u);
    EXPECT_EQ(m_prompt.asked[0].text, "Failed to measure. Save changes?");
    EXPECT_NE(m_sheet->CurrentSurvey(), nullptr);
    EXPECT_EQ(m_sheet->Pages().size(), 3u);

    // Close with No ends the run and lets the measurements go, journal included.
    ASSERT_FALSE(m_sheet->CurrentSurvey()->JournalPath().empty());
    const std::string journal = m_sheet->CurrentSurvey()->JournalPath();
    QSignalSpy finished(m_sheet.get(), &COrvControlSheet::RunFinished);
    m_prompt.answers = {Answer::No};
    m_sheet->SendCommandToSheet(command_id::kClose);
    EXPECT_TRUE(m_sheet->RunEnded());
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(std::filesystem::exists(journal));
}

TEST_F(SheetTest, SaveThatFailsKeepsTheSurveyModified)
{
    MakeSheet();
    BeginWithMode(2);
    Measure(2);
    m_files.answers = {m_dir.File("no-such-folder/line.orv")};
    m_sheet->SendCommandToSheet(command_id::kSave);
    ASSERT_EQ(m_prompt.told.size(), 1u);
    EXPECT_EQ(m_prompt.told[0].text.rfind("The survey was not saved: ", 0), 0u);
    EXPECT_EQ(m_sheet->CurrentSurvey()->Modified(), 1);

    // Closing the window is the page's OK: it asks first, and Cancel keeps the window.
    m_prompt.answers = {Answer::Cancel};
    m_sheet->close();
    EXPECT_FALSE(m_sheet->RunEnded());
    EXPECT_TRUE(m_sheet->isVisible());
}

TEST_F(SheetTest, ValidationRefusalsKeepThePage)
{
    MakeSheet();
    SetText(P::StaticSettings, control_id::kXSize, "0");
    ClickNext(P::StaticSettings);
    EXPECT_EQ(ToldTexts(), std::vector<std::string>{"Enter an integer between 1 and 65535."});
    EXPECT_EQ(m_sheet->Pages(), (std::vector<PageId>{P::StaticSettings, P::OtherSettings}));

    // The other page cannot be reached while this one does not validate.
    Key(Qt::Key_PageDown);
    EXPECT_EQ(m_sheet->ActiveIndex(), 0);
    m_sheet->Tabs()->setCurrentIndex(1);
    EXPECT_EQ(m_sheet->ActiveIndex(), 0);
    EXPECT_EQ(m_sheet->Tabs()->currentIndex(), 0);

    SetText(P::StaticSettings, control_id::kXSize, "5");
    m_prompt.told.clear();
    for (int id = control_id::kFrequency1; id <= control_id::kFrequency14; ++id) {
        Control<QCheckBox>(P::StaticSettings, id)->click();
    }
    EXPECT_FALSE(Control<QCheckBox>(P::StaticSettings, control_id::kAllFrequencies)->isChecked());
    ClickNext(P::StaticSettings);
    EXPECT_EQ(ToldTexts(), std::vector<std::string>{"At least one frequency must be turned on"});
    EXPECT_EQ(m_sheet->CurrentSurvey(), nullptr);

    // "All" on brings them back; a Line hides everything but X step.
    Control<QCheckBox>(P::StaticSettings, control_id::kAllFrequencies)->click();
    Choose(Control<QComboBox>(P::StaticSettings, control_id::kMode), 2);
    EXPECT_FALSE(Control<QLineEdit>(P::StaticSettings, control_id::kXSize)->isVisible());
    EXPECT_TRUE(Control<QLineEdit>(P::StaticSettings, control_id::kXStep)->isVisible());
    EXPECT_FALSE(Control<QLineEdit>(P::StaticSettings, control_id::kYStep)->isVisible());

    // Other settings refuses a port number above 65535.
    m_prompt.told.clear();
    ASSERT_TRUE(m_sheet->SetActivePage(1));
    SetText(P::OtherSettings, control_id::kGpsPort, "70000");
    ClickNext(P::OtherSettings);
    EXPECT_EQ(ToldTexts(), std::vector<std::string>{"Enter an integer between 0 and 65535."});
    EXPECT_EQ(m_sheet->ActiveIndex(), 1);
    SetText(P::OtherSettings, control_id::kGpsPort, "65535");
    ClickNext(P::OtherSettings);
    EXPECT_EQ(m_sheet->Pages().size(), 3u);
    EXPECT_EQ(Config().BluetoothOutboundPort, 65535);
    EXPECT_EQ(Config().XSize, 5);
    EXPECT_EQ(Config().WorkType, work_type::kLine);
}

TEST_F(SheetTest, OpenOfAGoodDamagedOrMissingFile)
{
    MakeSheet();
    BeginWithMode(0);
    Measure(4);
    const std::string good = m_dir.File("map.orv");
    m_files.answers = {good};
    m_sheet->SendCommandToSheet(command_id::kSave);
    ASSERT_EQ(m_sheet->CurrentSurvey()->Modified(), 0);

    // A missing file keeps the session.
    Survey* kept = m_sheet->CurrentSurvey();
    m_files.answers = {m_dir.File("gone.orv")};
    m_sheet->SendCommandToSheet(command_id::kOpen);
    ASSERT_EQ(m_prompt.told.size(), 1u);
    EXPECT_EQ(m_prompt.told[0].text,
              "Could not open the file: " + m_dir.File("gone.orv") + " was not found.");
    EXPECT_EQ(m_sheet->CurrentSurvey(), kept);

    // A damaged file: the message, then the setup pages without a survey.
    const std::string damaged = m_dir.File("damaged.orv");
    auto bytes = ReadFileBytes(good);
    bytes.resize(900);
    WriteFileText(damaged, std::string(bytes.begin(), bytes.end()));
    m_prompt.told.clear();
    m_files.answers = {damaged};
    m_sheet->SendCommandToSheet(command_id::kOpen);
    ASSERT_EQ(m_prompt.told.size(), 1u);
    EXPECT_EQ(m_prompt.told[0].text.rfind("Error: wrong file format.", 0), 0u);
    EXPECT_EQ(m_sheet->Pages(), (std::vector<PageId>{P::StaticSettings, P::OtherSettings}));
    EXPECT_EQ(m_sheet->CurrentSurvey(), nullptr);

    // The good file from the setup pages: its session, with the Main page active.
    Config().WorkType = work_type::kGpsTrack;
    m_files.answers = {good};
    m_sheet->SendCommandToSheet(command_id::kOpen);
    ASSERT_NE(m_sheet->CurrentSurvey(), nullptr);
    EXPECT_EQ(m_sheet->CurrentSurvey()->ValidCount(), 4);
    EXPECT_EQ(m_sheet->Pages(), (std::vector<PageId>{P::Settings, P::ViewSettings, P::MainGrid}));
    EXPECT_EQ(m_sheet->ActiveIndex(), 2);
    EXPECT_EQ(Config().WorkType, work_type::kMap);
}

TEST_F(SheetTest, AddAndDeleteCalibrations)
{
    std::string ini = "[ORV 12]\n\tDate=05/03/2008\n";
    for (int n = 1; n <= 14; ++n) {
        ini += "\tF" + std::to_string(n) + "=" + std::to_string(n) + "\n";
    }
    const std::string file = m_dir.File("ISystem_ORV#12.ini");
    WriteFileText(file, ini);
    MakeSheet();
    auto* devices = Control<QComboBox>(P::StaticSettings, control_id::kDevice);
    auto* remove = Control<QPushButton>(P::StaticSettings, control_id::kDelete);
    EXPECT_EQ(devices->itemText(0), "<empty>");
    EXPECT_FALSE(remove->isEnabled());

    m_files.answers = {file};
    Control<QPushButton>(P::StaticSettings, control_id::kAdd)->click();
    EXPECT_EQ(m_files.shown.back().filter, "INI Files (*.ini)|*.ini|All Files (*.*)|*.*||");
    ASSERT_EQ(devices->count(), 1);
    EXPECT_EQ(devices->itemText(0), "ORV 12, 05/03/2008");
    EXPECT_TRUE(remove->isEnabled());

    // "No" keeps it; "Yes" deletes it and the list is empty again.
    m_prompt.answers = {Answer::No, Answer::Yes};
    remove->click();
    EXPECT_EQ(devices->itemText(0), "ORV 12, 05/03/2008");
    remove->click();
    ASSERT_EQ(m_prompt.asked.size(), 2u);
    EXPECT_EQ(m_prompt.asked[1].caption, "Delete TALMIR 12, 05/03/2008?");
    EXPECT_EQ(devices->itemText(0), "<empty>");
    EXPECT_FALSE(remove->isEnabled());

    // A file that cannot be read is said so.
    m_files.answers = {m_dir.File("missing.ini")};
    Control<QPushButton>(P::StaticSettings, control_id::kAdd)->click();
    ASSERT_EQ(m_prompt.told.size(), 1u);
    EXPECT_EQ(m_prompt.told[0].text.rfind("No calibration was imported: ", 0), 0u);

    // What a file holds but could not be used is said too, and the rest is imported.
    const std::string partly = m_dir.File("partly.ini");
    WriteFileText(partly, ini + "\tGF1=not a number\n[ORV 14]\n\tDate=01/01/2010\n");
    m_files.answers = {partly};
    Control<QPushButton>(P::StaticSettings, control_id::kAdd)->click();
    ASSERT_EQ(m_prompt.told.size(), 2u);
    EXPECT_EQ(m_prompt.told[1].text.rfind("Parts of the file were not imported:\n", 0), 0u);
    EXPECT_EQ(devices->itemText(0), "ORV 12, 05/03/2008");
}

TEST_F(SheetTest, ChangingTheGpsSpeedClosesTheLinkAtOnce)
{
    MakeSheet();
    ASSERT_TRUE(Device().Connect());
    ASSERT_TRUE(m_instrumentPort.IsOpen());
    ASSERT_TRUE(m_sheet->SetActivePage(1));
    auto* speeds = Control<QComboBox>(P::OtherSettings, control_id::kBaudRate);
    ASSERT_EQ(speeds->count(), 15);
    EXPECT_EQ(speeds->currentText(), "9600");
    Choose(speeds, 8);
    EXPECT_FALSE(m_instrumentPort.IsOpen());
    // The rate reaches the configuration when the page is left.
    EXPECT_EQ(Config().GpsBaudRateId, 79);
    ASSERT_TRUE(m_sheet->SetActivePage(0));
    EXPECT_EQ(Config().GpsBaudRateId, 81);
}

// The status strip above every page and the window title: the link, the calibration standing in
// for an instrument without its own, the unsaved mark.
TEST_F(SheetTest, TheStripAndTheTitleSayWhereTheWorkStands)
{
    MakeSheet();
    CStatusStrip* strip = m_sheet->Strip();
    ASSERT_NE(strip, nullptr);
    strip->Refresh();
    EXPECT_EQ(m_sheet->windowTitle().toStdString(), "Orv Control");

    BeginWithMode(0);
    strip->Refresh();
    ASSERT_FALSE(strip->Items().empty());
    EXPECT_EQ(strip->Items()[0].text.rfind("Instrument: ", 0), 0u);
    EXPECT_TRUE(strip->isVisible());
    EXPECT_EQ(m_sheet->windowTitle().toStdString(), "unsaved survey - Orv Control");
    Measure(2);
    strip->Refresh();
    EXPECT_EQ(m_sheet->windowTitle().toStdString(), "unsaved survey * - Orv Control");

    // Instrument 12 has no calibration of its own: the built-in one of instrument 9 stands in.
    Config().NoteInstrumentSerial(12);
    strip->Refresh();
    bool said = false;
    for (const StripItem& item : strip->Items()) {
        said = said || item.text == "Instrument 12: no calibration, using 9 of 28.02.2007";
    }
    EXPECT_TRUE(said);
    // The static-settings page says so too.
    m_prompt.answers = {Answer::No};
    m_sheet->SendCommandToSheet(command_id::kNew);
    const auto* note =
        m_sheet->Page(PageId::StaticSettings)->findChild<QLabel*>("calibrationStandIn");
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text().toStdString(), "Instrument 12: no calibration, using 9 of 28.02.2007");
}

// The Session menu's shortcuts act from every page, the Main pages included, where every other
// key goes to the page: Ctrl+S asks where to save the new survey and Ctrl+N ends the session.
TEST_F(SheetTest, SessionShortcutsWorkFromEveryPage)
{
    MakeSheet();
    m_sheet->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_sheet.get()));
    for (const int mode : {0, 3}) {
        SCOPED_TRACE(mode == 0 ? "Map" : "GPS track");
        // From each setup page Ctrl+N leaves it where it is (nothing to save, setup again).
        for (int index = 0; index < 2; ++index) {
            ASSERT_TRUE(m_sheet->SetActivePage(index));
            QTest::keyClick(m_sheet->ActivePage(), Qt::Key_N, Qt::ControlModifier);
            EXPECT_EQ(m_sheet->Pages(), (std::vector<PageId>{P::StaticSettings, P::OtherSettings}));
        }
        BeginWithMode(mode);
        const size_t count = m_sheet->Pages().size();
        for (size_t index = 0; index < count; ++index) {
            if (m_sheet->Pages().size() != count) {
                BeginWithMode(mode);
            }
            ASSERT_TRUE(m_sheet->SetActivePage(int(index)));
            SCOPED_TRACE(m_sheet->ActivePage()->Title().toStdString());
            Measure();
            QWidget* focus = QApplication::focusWidget();
            QWidget* target = focus != nullptr && m_sheet->ActivePage()->isAncestorOf(focus)
                                  ? focus
                                  : m_sheet->ActivePage();
            const size_t dialogs = m_files.shown.size();
            QTest::keyClick(target, Qt::Key_S, Qt::ControlModifier);  // the save dialog, cancelled
            EXPECT_EQ(m_files.shown.size(), dialogs + 1);
            EXPECT_EQ(m_sheet->Pages().size(), count);
            m_prompt.answers = {Answer::No};  // "Save changes?"
            QTest::keyClick(target, Qt::Key_N, Qt::ControlModifier);
            EXPECT_EQ(m_sheet->Pages(), (std::vector<PageId>{P::StaticSettings, P::OtherSettings}));
        }
    }
}

}  // namespace
}  // namespace orv
