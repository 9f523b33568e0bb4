// The signal and view settings pages on the offscreen platform, over a real configuration.

#include "FakePrompt.h"
#include "FakeSettingsStore.h"
#include "TempDir.h"
#include "config/Configuration.h"
#include "ui/CPropertyPageBase.h"
#include "ui/pages/CPropertyPageW1.h"
#include "ui/pages/CPropertyPageW2.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace orv {
namespace {

QApplication& App()
{
    static int argc = 1;
    static char name[] = "test_pages";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Never destroyed: tearing the application down in the exit handlers crashes the input
    // devices' destructors on the offscreen platform.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

class RecordingSheet final : public SheetLink
{
public:
    void SendToSheet(uint32_t message, uint64_t, int64_t) override { messages.push_back(message); }
    void SendCommandToSheet(int) override {}
    std::vector<uint32_t> messages;
};

class SettingsPages : public ::testing::Test
{
protected:
    void SetUp() override { App(); }
    Configuration& Config() { return m_config; }
    template <typename W>
    static W* Control(QWidget* page, int id)
    {
        W* w = page->findChild<W*>(QStringLiteral("control%1").arg(id));
        EXPECT_NE(w, nullptr) << "control " << id;
        return w;
    }

    TempDir m_dir;
    FakeSettingsStore m_store;
    FakePrompt m_prompt;
    RecordingSheet m_sheet;
    Configuration m_config{m_store, m_dir.File("OrvCalibration.ini"), m_prompt};
};

TEST_F(SettingsPages, SignalPageEditsTheConfiguration)
{
    Config().SignalComponent = 1;
    Config().PhaseEqualization = 0;
    Config().NormalizedToFrequency = 1;
    CPropertyPageW1 page(m_sheet, m_config, m_prompt);
    page.resize(320, 480);
    page.show();
    ASSERT_TRUE(page.OnSetActive());
    auto* phase = Control<QCheckBox>(&page, 1021);
    auto* current = Control<QCheckBox>(&page, 1022);
    EXPECT_TRUE(phase->isEnabled());
    EXPECT_TRUE(Control<QRadioButton>(&page, 2012)->isChecked());

    phase->click();
    EXPECT_TRUE(current->isChecked());
    EXPECT_FALSE(current->isEnabled());

    // Module unchecks and disables phase equalisation.
    Control<QRadioButton>(&page, 2011)->click();
    EXPECT_FALSE(phase->isChecked());
    EXPECT_FALSE(phase->isEnabled());
    EXPECT_FALSE(Control<QRadioButton>(&page, 2012)->isChecked());

    // Apparent values swap the corrections for the resistivity choice.
    EXPECT_FALSE(Control<QRadioButton>(&page, 2003)->isVisible());
    Control<QRadioButton>(&page, 2002)->click();
    EXPECT_TRUE(Control<QRadioButton>(&page, 2003)->isVisible());
    EXPECT_TRUE(Control<QCheckBox>(&page, 1025)->isVisible());
    EXPECT_FALSE(current->isVisible());
    Control<QRadioButton>(&page, 2004)->click();

    // A bad power keeps the page active with the message.
    Control<QLineEdit>(&page, 1037)->setText(QStringLiteral("abc"));
    EXPECT_FALSE(page.OnKillActive());
    ASSERT_EQ(m_prompt.told.size(), 1u);
    EXPECT_EQ(m_prompt.told[0].text, "Enter a number.");
    Control<QLineEdit>(&page, 1037)->setText(QStringLiteral("3.5"));
    ASSERT_TRUE(page.OnKillActive());
    const Configuration& c = Config();
    EXPECT_EQ(c.UnitMeasure, 1);
    EXPECT_EQ(c.ApparentValueKind, 1);
    EXPECT_EQ(c.SignalComponent, 0);
    EXPECT_EQ(c.PhaseEqualization, 0);
    EXPECT_FLOAT_EQ(c.PowerInphase, 3.5f);

    Control<QPushButton>(&page, 1010)->click();
    ASSERT_EQ(m_sheet.messages.size(), 1u);
    EXPECT_EQ(m_sheet.messages[0], 9027u);
}

TEST_F(SettingsPages, ViewPageValidatesSpinsAndEditsColours)
{
    Configuration& c = Config();
    c.WorkType = work_type::kProfile;
    c.SurveyStations = 10;
    c.SurveyProfiles = 1;
    c.MinStationsForProfileCurve = 10;
    CPropertyPageW2 page(m_sheet, m_config, m_prompt);
    page.resize(320, 480);
    page.show();
    ASSERT_TRUE(page.OnSetActive());

    // Filter follows "Profile curve after" at once; "Timer:" reaches the configuration at once.
    auto* filter = Control<QCheckBox>(&page, 1061);
    EXPECT_FALSE(filter->isEnabled());
    Control<QCheckBox>(&page, 1046)->click();
    EXPECT_TRUE(filter->isEnabled());
    EXPECT_FALSE(Control<QLineEdit>(&page, 1048)->isEnabled());
    Control<QCheckBox>(&page, 1055)->click();
    EXPECT_EQ(c.TimerMode, 1);
    EXPECT_TRUE(Control<QLineEdit>(&page, 1048)->isEnabled());

    // Spin up at the profile length wraps to 2.
    Control<QWidget>(&page, 1056)->findChild<QToolButton*>(QStringLiteral("up"))->click();
    EXPECT_EQ(Control<QLineEdit>(&page, 1047)->text(), QStringLiteral("2"));

    // Depth 0 is refused, the page stays.
    Control<QLineEdit>(&page, 1035)->setText(QStringLiteral("0"));
    EXPECT_FALSE(page.OnKillActive());
    ASSERT_EQ(m_prompt.told.size(), 1u);
    EXPECT_EQ(m_prompt.told[0].text, "Enter a number between 0.001 and 65535.");
    Control<QLineEdit>(&page, 1035)->setText(QStringLiteral("25"));
    ASSERT_TRUE(page.OnKillActive());
    EXPECT_FLOAT_EQ(c.DepthScaleFactor, 25.0f);
    EXPECT_EQ(c.MinStationsForProfileCurve, 2);
    EXPECT_EQ(c.ShowProfileCurves, 1);

    // The Colour menu on the area strip: Reverse, then Change with a chosen colour.
    const int before = c.AreaChart.Count();
    ASSERT_GT(before, 1);
    const Colour first = c.AreaChart.Colours().front();
    const StripRect strip = page.StripRectOf(1052);
    int nextCommand = 10002;
    page.SetMenuRunner([&](int, int) { return nextCommand; });
    page.SetColourChooser([](Colour, std::array<Colour, 16>&) { return Colour{0x00ABCDEF}; });
    page.OnTapAndHold(strip.left + 1, strip.top + 1);
    EXPECT_EQ(c.AreaChart.Colours().back(), first);
    nextCommand = 10000;
    page.OnTapAndHold(strip.left + 1, strip.top + 1);
    EXPECT_EQ(c.AreaChart.Colours().front(), 0x00ABCDEFu);
    // Outside the strips nothing happens.
    nextCommand = 10003;
    page.OnTapAndHold(strip.left + 1, strip.top - 40);
    EXPECT_EQ(c.AreaChart.Count(), before);
    const QImage shot = page.grab().toImage();
    EXPECT_EQ(shot.pixelColor(strip.left + 1, strip.top + 1), QColor(0xEF, 0xCD, 0xAB));
}

}  // namespace
}  // namespace orv
