// The grid Main page against the instrument simulator on a pseudo-terminal: a Map survey walked
// with Start, the graphics growing from the stored measurements, and a link that stops answering.

#include "FakePrompt.h"
#include "FakeSettingsStore.h"
#include "FakeSystemClock.h"
#include "PageCoreFixture.h"
#include "PageTestApp.h"
#include "TempDir.h"
#include "base/NoValue.h"
#include "base/PortNamer.h"
#include "base/PowerStatus.h"
#include "base/SystemClock.h"
#include "base/TickClock.h"
#include "config/Configuration.h"
#include "graphics/Units.h"
#include "instrument/InstrumentDevice.h"
#include "platform/QtSerialPort.h"
#include "session/ProgramCore.h"
#include "sim/InstrumentSimulator.h"
#include "survey/GridSurvey.h"
#include "ui/CPropertyPageBase.h"
#include "ui/pages/CPropertyPageView1.h"
#include "ui/pages/CPropertyPageW1.h"
#include "ui/pages/CPropertyPageW2.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

namespace orv {
namespace {

constexpr unsigned kPort = 11;

using page_test::App;
using page_test::RecordingSheet;

class MainPage : public page_test::CoreFixture
{
protected:
    void SetUp() override
    {
        MakeCore(1500);
        Configuration& c = Config();
        c.BluetoothInboundPort = int(kPort);
        c.WorkType = work_type::kMap;
        c.XSize = 5;
        c.YSize = 3;
        c.UsedFrequencies.fill(1);
        c.MinProfilesForArea = 2;
        m_survey = std::make_unique<GridSurvey>(c);

        sim::InstrumentOptions options;
        options.linkPath = DevicePathForPort(kPort);
        options.stations = 5;
        options.profiles = 3;
        if (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) ==
            "SessionPagesRender") {
            // The pictures show a conductive body under the middle of the map.
            options.ground = sim::GroundModel::Body(20.0, 300.0, 2.0, 1.0, 1.0, 1.5);
        }
        m_sim = std::make_unique<sim::InstrumentSimulator>(options);
        std::string error;
        ASSERT_TRUE(m_sim->Start(error)) << error;

        m_page = std::make_unique<CPropertyPageView1>(m_sheet, Config(), m_prompt, Device());
        m_page->SetSurvey(m_survey.get());
        m_page->resize(480, 420);
        m_page->show();
        ASSERT_TRUE(m_page->OnSetActive());
    }
    void TearDown() override
    {
        m_page.reset();
        m_core->ReleaseInstrumentDevice();
        m_sim.reset();
        m_survey.reset();
        m_core.reset();
    }
    // Start as the operator does, after the previous result was drawn.
    void Start()
    {
        m_page->PaintNow();
        ASSERT_FALSE(m_page->RepaintPending());
        m_page->findChild<QPushButton*>(QStringLiteral("control1041"))->click();
        WaitForExchange();
    }
    // The exchange runs on the worker thread; its result arrives as a queued event.
    void WaitForExchange()
    {
        ASSERT_TRUE(page_test::ProcessEventsUntil([this] { return !m_page->ExchangeRunning(); }))
            << "the exchange did not end";
    }
    int Measured() const
    {
        int n = 0;
        const GridSurveyData data = m_survey->Data();
        for (int p = 0; p < 3; ++p) {
            for (int s = 0; s < 5; ++s) {
                n += data.IsMeasured(p, s) ? 1 : 0;
            }
        }
        return n;
    }

    std::unique_ptr<sim::InstrumentSimulator> m_sim;
    std::unique_ptr<GridSurvey> m_survey;
    std::unique_ptr<CPropertyPageView1> m_page;
};

TEST_F(MainPage, WalksAMapSurveyAndShowsTheField)
{
    Start();
    ASSERT_EQ(Measured(), 1) << (m_prompt.told.empty() ? "" : m_prompt.told[0].text);
    EXPECT_EQ(m_page->findChild<QLabel*>(QStringLiteral("control1074"))->text(),
              QStringLiteral("12.5V"));
    m_page->PaintNow();
    EXPECT_EQ(m_page->ShownGraphic(), 1004);
    EXPECT_EQ(m_page->StatusText(), "Sounding curve: profile 0, station 0");

    // Start again before the result is drawn does nothing. Only the exchange's result is let
    // in, no paint.
    m_page->PaintNow();
    m_page->findChild<QPushButton*>(QStringLiteral("control1041"))->click();
    EXPECT_TRUE(m_page->ExchangeRunning());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (m_page->ExchangeRunning() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_EQ(Measured(), 2);
    ASSERT_TRUE(m_page->RepaintPending());
    m_page->findChild<QPushButton*>(QStringLiteral("control1041"))->click();
    EXPECT_FALSE(m_page->ExchangeRunning());
    WaitForExchange();
    EXPECT_EQ(Measured(), 2);

    for (int i = 2; i < 15; ++i) {
        Start();
    }
    EXPECT_EQ(Measured(), 15);
    // The last station is stored, then the survey is complete.
    ASSERT_FALSE(m_prompt.told.empty());
    EXPECT_EQ(m_prompt.told.back().text, "Measure completed");
    m_page->PaintNow();
    EXPECT_EQ(m_page->ShownGraphic(), 1001);
    EXPECT_EQ(m_page->StatusText().rfind("Map: frequency ", 0), 0u);
    // The value layer holds the field.
    const PlotCanvas& canvas = m_page->Canvas();
    int values = 0;
    for (int y = 0; y < canvas.Height(); y += 7) {
        for (int x = 0; x < canvas.Width(); x += 7) {
            values += canvas.GetValue(x, y) != kNoValue ? 1 : 0;
        }
    }
    EXPECT_GT(values, 100);

    // A View command toggles its setting and draws the same graphic again with it.
    const int grid = Config().ShowGrid;
    m_page->OnViewCommand(32809);
    EXPECT_NE(Config().ShowGrid, grid);
    m_page->PaintNow();
    EXPECT_EQ(m_page->ShownGraphic(), 1001);
    m_page->OnViewCommand(32805);
    EXPECT_EQ(Config().RealScaling, 0);
    m_page->PaintNow();
    EXPECT_NE(m_page->StatusText().find("(fit to screen)"), std::string::npos);
    m_page->OnViewCommand(32805);
    m_page->PaintNow();

    // OK steps on to the section.
    m_page->DeliverHandheldKey(13, false);
    m_page->PaintNow();
    EXPECT_EQ(m_page->ShownGraphic(), 1002);
    // Frequency keys step over the active frequencies.
    const int f = m_page->FrequencyNumber();
    m_page->DeliverHandheldKey(0xC3, false);
    EXPECT_EQ(m_page->FrequencyNumber(), f % 14 + 1);
}

TEST_F(MainPage, AFailedExchangeLosesNothingAndClosesTheLink)
{
    Start();
    Start();
    ASSERT_EQ(Measured(), 2);
    // The battery read and the measurement both go unanswered.
    m_sim->SetFaults({.neverAnswer = true, .replies = 2});
    m_sheet.messages.clear();
    Start();
    EXPECT_EQ(Measured(), 2);
    EXPECT_NE(std::find(m_sheet.messages.begin(), m_sheet.messages.end(), 9036u),
              m_sheet.messages.end());
    EXPECT_FALSE(Device().IsReady());
    // The next Start reconnects and goes on at the next station.
    Start();
    EXPECT_EQ(Measured(), 3);
}

// The instrument goes away in the middle of the survey and comes back on the same port: the
// outage is told once, nothing is lost, and the first click on Start after its return measures.
TEST_F(MainPage, AnInstrumentThatComesBackMeasuresAtTheFirstClick)
{
    auto* start = m_page->findChild<QPushButton*>(QStringLiteral("control1041"));
    Start();
    ASSERT_EQ(Measured(), 1);
    m_sim->DropFor(1500);
    ASSERT_TRUE(page_test::ProcessEventsUntil(
        [this] { return m_page->LinkStatus().state != InstrumentLink::Connected; }));

    // Two clicks during the outage: one prompt for it, no measurement.
    m_sheet.messages.clear();
    for (int click = 0; click < 2; ++click) {
        page_test::ProcessEventsFor(std::chrono::milliseconds(50));
        start->click();
        WaitForExchange();
    }
    EXPECT_EQ(Measured(), 1);
    EXPECT_EQ(std::count(m_sheet.messages.begin(), m_sheet.messages.end(), 9036u) +
                  long(m_prompt.told.size()),
              1)
        << "told " << m_prompt.told.size();

    // Back: the watch opens the port by itself; one click measures, without a paint forced by
    // the test in between.
    ASSERT_TRUE(page_test::ProcessEventsUntil(
        [this] { return m_page->LinkStatus().state == InstrumentLink::Connected; }));
    page_test::ProcessEventsFor(std::chrono::milliseconds(50));
    start->click();
    WaitForExchange();
    EXPECT_EQ(Measured(), 2);
}

// A timed series: the first measurement at once, then one per period, until the count; Start
// shows "Stop" meanwhile and stops a series that runs.
TEST_F(MainPage, ATimedSeriesTakesItsCountAndStartStopsIt)
{
    ASSERT_TRUE(m_page->OnKillActive());
    Configuration& c = Config();
    c.TimerMode = 1;
    c.TimerDelay = 40;
    c.TimerCount = 3;
    ASSERT_TRUE(m_page->OnSetActive());
    auto* start = m_page->findChild<QPushButton*>(QStringLiteral("control1041"));
    EXPECT_EQ(start->text(), QStringLiteral("Start"));
    Start();
    EXPECT_TRUE(m_page->TimerRunning());
    EXPECT_EQ(start->text(), QStringLiteral("Stop"));
    ASSERT_TRUE(page_test::ProcessEventsUntil([this] { return !m_page->TimerRunning(); }));
    EXPECT_EQ(Measured(), 3);
    EXPECT_EQ(start->text(), QStringLiteral("Start"));

    // With no count the series runs until Start stops it.
    c.TimerCount = 0;
    Start();
    ASSERT_TRUE(m_page->TimerRunning());
    ASSERT_TRUE(page_test::ProcessEventsUntil([this] { return Measured() >= 5; }));
    ASSERT_TRUE(page_test::ProcessEventsUntil([this] { return !m_page->ExchangeRunning(); }));
    start->click();
    ASSERT_TRUE(page_test::ProcessEventsUntil([this] { return !m_page->ExchangeRunning(); }));
    EXPECT_FALSE(m_page->TimerRunning());
    const int measured = Measured();
    page_test::ProcessEventsFor(std::chrono::milliseconds(150));
    EXPECT_EQ(Measured(), measured);
    c.TimerMode = 0;
}

class FixedPower final : public PowerStatus
{
public:
    int BatteryPercent() override { return percent; }
    int percent = 57;
};

// The handheld's charge in the top row and in the pop-up of a tap on it; a tap on the map shows
// the value under the finger.
TEST_F(MainPage, TapsShowTheBatteryAndTheValueUnderTheFinger)
{
    FixedPower power;
    m_page->SetPowerStatus(&power);
    ASSERT_TRUE(m_page->OnKillActive());
    ASSERT_TRUE(m_page->OnSetActive());
    m_page->PaintNow();
    auto* battery = m_page->findChild<QLabel*>(QStringLiteral("control1069"));
    EXPECT_EQ(battery->text(), QStringLiteral("57%"));
    QTest::mouseClick(battery, Qt::LeftButton);
    EXPECT_EQ(m_page->PopupText(), QStringLiteral("Battery charge remaining: 57%"));

    for (int i = 0; i < 10; ++i) {
        Start();
    }
    m_page->PaintNow();
    ASSERT_EQ(m_page->ShownGraphic(), 1001);
    // The first cell holding a value.
    const PlotCanvas& canvas = m_page->Canvas();
    QPoint at(-1, -1);
    for (int y = 0; y < canvas.Height() && at.x() < 0; ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            if (canvas.GetValue(x, y) != kNoValue) {
                at = QPoint(x, y);
                break;
            }
        }
    }
    ASSERT_GE(at.x(), 0);
    QTest::mouseClick(m_page->GraphicArea(), Qt::LeftButton, {}, at);
    EXPECT_EQ(m_page->PopupText().toStdString(),
              ValueText(canvas.GetValue(at.x(), at.y()), Config()));
    EXPECT_TRUE(m_page->PopupText().endsWith(QStringLiteral(" ADC units")));

    // DOWN back onto the last profile measured, then OK steps on to a sounding curve there:
    // its depth axis reads in metres, the curve in the signal unit.
    m_page->DeliverHandheldKey(40, false);
    m_page->PaintNow();
    for (int i = 0; i < 4 && m_page->ShownGraphic() != 1004; ++i) {
        m_page->DeliverHandheldKey(13, false);
        m_page->PaintNow();
    }
    ASSERT_EQ(m_page->ShownGraphic(), 1004);
    QPoint depth(-1, -1);
    QPoint curve(-1, -1);
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width() / 2; ++x) {
            if (canvas.GetValue(x, y) == kNoValue) {
                continue;
            }
            (canvas.InDepthBand(x, y) ? depth : curve) = QPoint(x, y);
        }
    }
    ASSERT_GE(depth.x(), 0);
    ASSERT_GE(curve.x(), 0);
    QTest::mouseClick(m_page->GraphicArea(), Qt::LeftButton, {}, depth);
    EXPECT_EQ(m_page->PopupText().toStdString(), DepthText(canvas.GetValue(depth.x(), depth.y())));
    EXPECT_TRUE(m_page->PopupText().endsWith(QStringLiteral(" m")));
    QTest::mouseClick(m_page->GraphicArea(), Qt::LeftButton, {}, curve);
    EXPECT_TRUE(m_page->PopupText().endsWith(QStringLiteral(" ADC units")));

    // Outside 0..100 there is no battery text and no pop-up.
    power.percent = -1;
    ASSERT_TRUE(m_page->OnKillActive());
    ASSERT_TRUE(m_page->OnSetActive());
    m_page->PaintNow();
    EXPECT_TRUE(battery->text().isEmpty());
    m_page->SetPowerStatus(nullptr);
}

// The exchange runs on a worker thread: the window goes on handling its events, the operator's
// input goes only to Cancel, and Cancel ends a hung exchange as a failed measurement.
TEST_F(MainPage, AHungExchangeKeepsTheWindowAliveAndCanBeCancelled)
{
    Start();
    Start();
    ASSERT_EQ(Measured(), 2);
    m_sim->SetFaults({.neverAnswer = true});
    m_sheet.messages.clear();
    m_page->PaintNow();
    auto* start = m_page->findChild<QPushButton*>(QStringLiteral("control1041"));
    auto* cancel = m_page->findChild<QPushButton*>(QStringLiteral("cancelExchange"));
    auto* right = m_page->findChild<QPushButton*>(QStringLiteral("control1082"));
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(start, Qt::LeftButton);
    ASSERT_TRUE(m_page->ExchangeRunning());
    EXPECT_TRUE(cancel->isVisibleTo(m_page.get()));
    EXPECT_FALSE(start->isEnabled());

    // The event loop runs while the instrument is silent.
    bool ranDuringExchange = false;
    QTimer::singleShot(30, m_page.get(), [&] { ranDuringExchange = m_page->ExchangeRunning(); });
    page_test::ProcessEventsFor(std::chrono::milliseconds(200));
    EXPECT_TRUE(ranDuringExchange);
    // Other buttons do nothing meanwhile.
    const int station = m_survey->CurrentStation();
    QTest::mouseClick(right, Qt::LeftButton);
    EXPECT_EQ(m_survey->CurrentStation(), station);

    QTest::mouseClick(cancel, Qt::LeftButton);
    WaitForExchange();
    EXPECT_EQ(Measured(), 2);
    EXPECT_NE(std::find(m_sheet.messages.begin(), m_sheet.messages.end(), 9036u),
              m_sheet.messages.end());
    EXPECT_FALSE(Device().IsReady());
    EXPECT_FALSE(cancel->isVisibleTo(m_page.get()));
    EXPECT_TRUE(start->isEnabled());

    // The instrument answers again: the next Start goes on at the next station.
    m_sim->SetFaults({});
    Start();
    EXPECT_EQ(Measured(), 3);

    // A page that goes away during an exchange ends it without asking anything.
    m_sim->SetFaults({.neverAnswer = true});
    m_page->PaintNow();
    start->click();
    ASSERT_TRUE(m_page->ExchangeRunning());
    const size_t told = m_prompt.told.size();
    m_page.reset();
    EXPECT_EQ(m_prompt.told.size(), told);
    EXPECT_EQ(Measured(), 3);
}

// Pictures of the session pages during a simulated survey. With ORV_SCREENSHOT_DIR set they are
// written there (docs/screenshots/ holds the ones the README shows), otherwise into the test's
// temporary folder. A picture of one colour would mean the page drew nothing.
TEST_F(MainPage, SessionPagesRender)
{
    const char* wanted = std::getenv("ORV_SCREENSHOT_DIR");
    const std::string folder = wanted != nullptr ? std::string(wanted) : m_dir.File("shots");
    std::filesystem::create_directories(folder);
    const auto save = [&](QWidget& page, const char* file) {
        SCOPED_TRACE(file);
        QApplication::processEvents();
        const QImage image = page.grab().toImage();
        ASSERT_FALSE(image.isNull());
        int differing = 0;
        const QRgb first = image.pixel(0, 0);
        for (int y = 0; y < image.height(); y += 4) {
            for (int x = 0; x < image.width(); x += 4) {
                differing += image.pixel(x, y) != first ? 1 : 0;
            }
        }
        EXPECT_GT(differing, 100);
        EXPECT_TRUE(image.save(QString::fromStdString(folder + "/" + file), "PNG"));
    };
    // Apparent conductivity at the shallowest frequency, which sees the body.
    ASSERT_TRUE(m_page->OnKillActive());
    Config().UnitMeasure = 1;
    Config().ApparentValueKind = 1;
    Config().AreaFrequency = 14;
    ASSERT_TRUE(m_page->OnSetActive());
    for (int i = 0; i < 12; ++i) {
        Start();
    }
    m_page->PaintNow();
    ASSERT_EQ(m_page->ShownGraphic(), 1001);
    save(*m_page, "main-grid-map.png");
    // Back onto a measured station of the profile, then OK: its section.
    m_page->DeliverHandheldKey(40, false);
    m_page->PaintNow();
    m_page->DeliverHandheldKey(13, false);
    m_page->PaintNow();
    ASSERT_EQ(m_page->ShownGraphic(), 1002);
    save(*m_page, "main-grid-section.png");

    CPropertyPageW1 signal(m_sheet, Config(), m_prompt);
    signal.resize(480, 420);
    signal.show();
    ASSERT_TRUE(signal.OnSetActive());
    save(signal, "signal-settings.png");
    CPropertyPageW2 view(m_sheet, Config(), m_prompt);
    view.resize(480, 520);
    view.show();
    ASSERT_TRUE(view.OnSetActive());
    save(view, "view-settings.png");
}

}  // namespace
}  // namespace orv
