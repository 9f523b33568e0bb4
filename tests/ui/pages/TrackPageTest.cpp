// The GPS-track Main page against the instrument simulator and a simulated GPS walk, each on its
// own pseudo-terminal: stations measured with Start get their positions through the matcher,
// the track map, section and walked track grow from them, and the session reopens the same.

#include "FakePrompt.h"
#include "FakeSettingsStore.h"
#include "FakeSystemClock.h"
#include "PageCoreFixture.h"
#include "PageTestApp.h"
#include "TempDir.h"
#include "base/NoValue.h"
#include "base/PortNamer.h"
#include "base/TickClock.h"
#include "config/Configuration.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"
#include "gps/NmeaReader.h"
#include "instrument/InstrumentDevice.h"
#include "platform/QtSerialPort.h"
#include "session/ProgramCore.h"
#include "sim/GpsSimulator.h"
#include "sim/InstrumentSimulator.h"
#include "survey/SessionFile.h"
#include "survey/TrackSurvey.h"
#include "ui/CPropertyPageBase.h"
#include "ui/pages/CPropertyPageView2.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

namespace orv {
namespace {

constexpr unsigned kInstrumentPort = 13;
constexpr unsigned kGpsPort = 14;

using page_test::App;
using page_test::RecordingSheet;

void Pump(std::chrono::milliseconds span) { page_test::ProcessEventsFor(span); }

class TrackPage : public page_test::CoreFixture
{
protected:
    void SetUp() override
    {
        MakeCore(3000);
        Configuration& c = Config();
        c.BluetoothInboundPort = int(kInstrumentPort);
        c.BluetoothOutboundPort = int(kGpsPort);
        c.WorkType = work_type::kGpsTrack;
        c.UsedFrequencies.fill(1);
        c.MinMeasurementsForScatteredMap = 4;
        c.TrackRadius = 50;

        sim::InstrumentOptions instrument;
        instrument.linkPath = DevicePathForPort(kInstrumentPort);
        // A conductive body under the sixth station, so the values change along the walk.
        instrument.ground = sim::GroundModel::Body(20.0, 300.0, 5.0, 0.0, 1.5, 2.0);
        instrument.stations = 30;
        instrument.profiles = 1;
        m_instrumentSim = std::make_unique<sim::InstrumentSimulator>(instrument);
        std::string error;
        ASSERT_TRUE(m_instrumentSim->Start(error)) << error;
        // A fast walk that turns left every half second, so the stations spread both ways.
        sim::GpsSimulatorOptions gps;
        gps.port = kGpsPort;
        gps.rate = 10.0;
        gps.baud = 0;
        gps.walk.speed = 30.0;
        gps.walk.turnEvery = 0.5;
        gps.walk.turnBy = 90.0;
        m_gpsSim = std::make_unique<sim::GpsSimulator>();
        ASSERT_TRUE(m_gpsSim->Start(gps, error)) << error;

        Matcher().Reset();
        Device().SetGpsWanted(true);
        m_survey = std::make_unique<TrackSurvey>(c);
        m_page = std::make_unique<CPropertyPageView2>(m_sheet, Config(), m_prompt, Device());
        m_page->SetGpsMatcher(&Matcher());
        m_page->SetSurvey(m_survey.get());
        m_page->resize(480, 440);
        m_page->show();
        ASSERT_TRUE(m_page->OnSetActive());
    }
    void TearDown() override
    {
        m_page.reset();
        m_core->ReleaseInstrumentDevice();
        m_gpsSim.reset();
        m_instrumentSim.reset();
        m_survey.reset();
        m_core.reset();
    }
    // Start as the operator does, once the previous result is drawn; then the position of the
    // new station comes back from the matcher.
    void Start()
    {
        m_page->PaintNow();
        ASSERT_FALSE(m_page->RepaintPending());
        m_page->findChild<QPushButton*>(QStringLiteral("control1041"))->click();
        ASSERT_TRUE(page_test::ProcessEventsUntil(
            [this] { return !m_page->ExchangeRunning() && m_page->PendingPositions() == 0; }));
        ASSERT_FALSE(m_page->ExchangeRunning());
        ASSERT_EQ(m_page->PendingPositions(), 0u);
        // Let the walk move on before the next station.
        Pump(std::chrono::milliseconds(120));
    }
    int ValueCells() const
    {
        const PlotCanvas& canvas = m_page->Canvas();
        int values = 0;
        for (int y = 0; y < canvas.Height(); y += 5) {
            for (int x = 0; x < canvas.Width(); x += 5) {
                values += canvas.GetValue(x, y) != kNoValue ? 1 : 0;
            }
        }
        return values;
    }

    std::unique_ptr<sim::InstrumentSimulator> m_instrumentSim;
    std::unique_ptr<sim::GpsSimulator> m_gpsSim;
    std::unique_ptr<TrackSurvey> m_survey;
    std::unique_ptr<CPropertyPageView2> m_page;
};

TEST_F(TrackPage, WalksATrackWithPositionsAndShowsTheMap)
{
    Start();
    ASSERT_EQ(m_survey->ValidCount(), 1) << (m_prompt.told.empty() ? "" : m_prompt.told[0].text);
    m_page->PaintNow();
    EXPECT_EQ(m_page->ShownGraphic(), 1004);
    EXPECT_EQ(m_page->StatusText(), "Sounding curve: station 0");
    for (int i = 1; i < 10; ++i) {
        Start();
    }
    ASSERT_EQ(m_survey->ValidCount(), 10);
    EXPECT_EQ(m_page->Station(), 10);
    // Every station has the matcher's position at its own tick stamp.
    double north = -90.0;
    double south = 90.0;
    double east = -180.0;
    double west = 180.0;
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        const GpsFix fix = m_survey->PositionAt(i);
        EXPECT_EQ(fix.tickStamp, m_survey->Slots()[i].TickStamp());
        EXPECT_NEAR(fix.latitude, 59.9127, 0.05);
        north = std::max(north, fix.latitude);
        south = std::min(south, fix.latitude);
        east = std::max(east, fix.longitude);
        west = std::min(west, fix.longitude);
    }
    EXPECT_GT(north, south);
    EXPECT_GT(east, west);

    m_page->PaintNow();
    ASSERT_EQ(m_page->ShownGraphic(), 1001);
    EXPECT_EQ(m_page->StatusText(), "Map: frequency 1 (proportional)");
    EXPECT_GT(ValueCells(), 100);
    // The overview box holds the walked track on white.
    const QImage overview =
        m_page->findChild<QWidget*>(QStringLiteral("control1040"))->grab().toImage();
    int drawn = 0;
    for (int y = 3; y < overview.height() - 3; ++y) {
        for (int x = 3; x < overview.width() - 3; ++x) {
            drawn += overview.pixel(x, y) != qRgb(255, 255, 255) ? 1 : 0;
        }
    }
    EXPECT_GT(drawn, 10);

    // OK steps on to the section of the track; the radius spin wraps and redraws the map.
    m_page->DeliverHandheldKey(13, false);
    m_page->PaintNow();
    EXPECT_EQ(m_page->ShownGraphic(), 1002);
    // How far the walk went between the stations depends on the threads' pace: a section too
    // thin to read is drawn fit to screen.
    const std::string section = m_page->StatusText();
    EXPECT_TRUE(section == "Section: profile 0 (proportional)" ||
                section == "Section: profile 0 (fit to screen)")
        << section;
    for (int i = 0; i < 48; ++i) {
        m_page->StepRadius(+1);
    }
    EXPECT_EQ(m_page->Radius(), 2);
    m_page->StepRadius(+1);
    EXPECT_EQ(m_page->Radius(), 99);
    EXPECT_EQ(m_page->findChild<QLineEdit*>(QStringLiteral("control1044"))->text(),
              QStringLiteral("99"));
    // The radius counts the track map's grid cells, and says so beside the field.
    EXPECT_EQ(m_page->findChild<QLabel*>(QStringLiteral("radiusUnit"))->text(),
              QStringLiteral("cells"));

    // Held LEFT steps back one at a time at first.
    m_page->PaintNow();
    m_page->DeliverHandheldKey(37, false);
    m_page->PaintNow();
    m_page->DeliverHandheldKey(37, true);
    EXPECT_EQ(m_survey->CurrentIndex(), 8);

    // Leaving the page keeps the radius; the session reopens with the same values and positions.
    ASSERT_TRUE(m_page->OnKillActive());
    EXPECT_EQ(Config().TrackRadius, 99);
    std::string error;
    const std::string path = m_dir.File("track.orv");
    ASSERT_TRUE(SaveSession(*m_survey, path, error)) << error;
    auto reopened = OpenSession(path, Config(), error);
    ASSERT_TRUE(reopened) << error;
    auto& again = static_cast<TrackSurvey&>(*reopened);
    ASSERT_EQ(again.ValidCount(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(again.PositionAt(i).latitude, m_survey->PositionAt(i).latitude);
    }
}

TEST_F(TrackPage, SessionPagesRender)
{
    const char* wanted = std::getenv("ORV_SCREENSHOT_DIR");
    const std::string folder = wanted != nullptr ? std::string(wanted) : m_dir.File("shots");
    std::filesystem::create_directories(folder);
    // Apparent conductivity at the shallowest frequency, which sees the body.
    ASSERT_TRUE(m_page->OnKillActive());
    Config().UnitMeasure = 1;
    Config().ApparentValueKind = 1;
    Config().AreaFrequency = 14;
    ASSERT_TRUE(m_page->OnSetActive());
    for (int i = 0; i < 12; ++i) {
        Start();
    }
    const auto save = [&](const char* file) {
        SCOPED_TRACE(file);
        m_page->PaintNow();
        QApplication::processEvents();
        const QImage image = m_page->grab().toImage();
        ASSERT_FALSE(image.isNull());
        EXPECT_TRUE(image.save(QString::fromStdString(folder + "/" + file), "PNG"));
    };
    m_page->PaintNow();
    ASSERT_EQ(m_page->ShownGraphic(), 1001);
    save("main-track-map.png");
    m_page->DeliverHandheldKey(13, false);
    m_page->PaintNow();
    ASSERT_EQ(m_page->ShownGraphic(), 1002);
    save("main-track-section.png");
}

}  // namespace
}  // namespace orv
