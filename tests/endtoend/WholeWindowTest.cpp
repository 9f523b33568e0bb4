// The whole window with the program's real serial ports (QtSerialPort) against the in-process
// instrument simulator on a pseudo-terminal. The operator's path: the setup pages, the grid Main
// page walked with Start until the survey is complete, Save, New, Open of the saved file; an
// instrument that stops answering in the middle of a survey; the window closed while a reply is
// on its way; and pictures of the window.

#include "FakeFileChooser.h"
#include "FakePrompt.h"
#include "FakeSettingsStore.h"
#include "FakeSystemClock.h"
#include "TempDir.h"
#include "app/COrvControlSheet.h"
#include "base/ByteOrder.h"
#include "base/NoValue.h"
#include "base/PortNamer.h"
#include "base/SerialPort.h"
#include "base/TickClock.h"
#include "config/Configuration.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"
#include "gps/NmeaReader.h"
#include "instrument/InstrumentDevice.h"
#include "instrument/WireProtocol.h"
#include "platform/QtSerialPort.h"
#include "resources/ResourceIds.h"
#include "session/ProgramCore.h"
#include "session/StatusStrip.h"
#include "sim/GpsSimulator.h"
#include "sim/InstrumentSimulator.h"
#include "survey/GridSurvey.h"
#include "survey/SessionFile.h"
#include "survey/TrackSurvey.h"
#include "ui/CStatusStrip.h"
#include "ui/pages/CPropertyPageGPSView.h"
#include "ui/pages/CPropertyPageView1.h"
#include "ui/pages/CPropertyPageView2.h"
#include "ui/pages/SignalSettingsLogic.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace orv {

// The QApplication of the test program (tests/support/QtTestApplication.cpp).
QApplication& TestApplication();

namespace {

using P = PageId;

constexpr unsigned kPort = 12;
constexpr int kStations = 5;
constexpr int kProfiles = 3;
constexpr int kStationCount = kStations * kProfiles;
constexpr double kStep = 2.0;  // metres between stations and between profiles
// 20 mS/m ground with a conductive body of 80 mS/m under station 3 of profile 2, centred at the
// depth the first frequency sees (the simulator's default depth scale).
const sim::GroundModel kBody = sim::GroundModel::Body(20.0, 80.0, 6.0, 4.0, 10.0, 4.0);
constexpr double kFirstFrequencyDepth = 10.0;
// Where the simulator numbers its measurement replies (bytes the program never interprets).
constexpr size_t kReplyNumberOffset = 170;
// The event-loop turns an exchange may take at most (each turn sleeps at least 2 ms): far more
// than any exchange needs, so that a hang fails the test instead of blocking it.
constexpr int kMaxTurns = 15000;

// The program's instrument port, counting what passes, so a test can tell when the exchange on
// the worker thread has sent its command or received the whole reply.
class CountingPort final : public SerialPort
{
public:
    bool Open(const std::string& device, uint32_t baud) override
    {
        return m_port.Open(device, baud);
    }
    bool Close() override { return m_port.Close(); }
    bool IsOpen() const override { return m_port.IsOpen(); }
    bool Write(std::span<const uint8_t> bytes) override
    {
        const bool ok = m_port.Write(bytes);
        ++m_writes;
        return ok;
    }
    bool Read(std::span<uint8_t> out, std::chrono::milliseconds timeout, size_t& received) override
    {
        const bool ok = m_port.Read(out, timeout, received);
        m_received += received;
        return ok;
    }
    void Purge() override { m_port.Purge(); }
    std::string ErrorText() const override { return m_port.ErrorText(); }

    int Writes() const { return m_writes.load(); }
    size_t Received() const { return m_received.load(); }

private:
    QtSerialPort m_port;
    std::atomic<int> m_writes{0};
    std::atomic<size_t> m_received{0};
};

// Reads session files as another program would, with a configuration of its own; the surveys
// read must not outlive it.
class SessionReader
{
public:
    explicit SessionReader(const std::string& calibrationPath)
        : m_config(m_store, calibrationPath, m_prompt)
    {
        m_config.LoadDefaults();
    }
    std::unique_ptr<Survey> Read(const std::string& path, std::string& error)
    {
        return OpenSession(path, m_config, error);
    }

private:
    FakeSettingsStore m_store;
    FakePrompt m_prompt;
    Configuration m_config;
};

// A copy of a canvas's value layer.
struct ValueLayer
{
    int width = 0;
    int height = 0;
    std::vector<float> values;

    explicit ValueLayer(const PlotCanvas& canvas) : width(canvas.Width()), height(canvas.Height())
    {
        values.reserve(static_cast<size_t>(width) * static_cast<size_t>(height));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                values.push_back(canvas.GetValue(x, y));
            }
        }
    }
    float At(int x, int y) const
    {
        return values[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

// The pixels that hold a value: left and top inclusive, right and bottom exclusive.
struct Box
{
    int left, top, right, bottom;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

Box ValueBounds(const ValueLayer& layer)
{
    Box box{layer.width, layer.height, 0, 0};
    for (int y = 0; y < layer.height; ++y) {
        for (int x = 0; x < layer.width; ++x) {
            if (!IsNoValue(layer.At(x, y))) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
        }
    }
    return box;
}

// Station i of the walk: even profiles from station 0 up, odd ones down.
std::pair<int, int> WalkPosition(int i)
{
    const int p = i / kStations;
    const int s = p % 2 == 0 ? i % kStations : kStations - 1 - i % kStations;
    return {p, s};
}

class WholeWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApplication();
        ::setenv("ORVCONTROL_PORT_PATTERN", (m_dir.Path() / "port%u").c_str(), 1);
        // The reply time-out is long enough for any reply of the simulator, short enough for
        // the unanswered ones.
        m_core = std::make_unique<ProgramCore>(PlatformParts{
            m_store, m_dir.File("OrvCalibration.ini"), m_prompt, m_instrumentPort, m_gpsPort,
            SteadyTickClock(), m_systemClock, nullptr, LinkTimings{1500, 10}});
    }
    void TearDown() override
    {
        // The sheet closes the port and saves the configuration before the instrument goes.
        m_sheet.reset();
        m_core.reset();
        m_sim.reset();
        m_gpsSim.reset();
    }
    Configuration& Config() { return m_core->Config(); }
    InstrumentDevice& Device() { return m_core->Device(); }

    void StartSimulator(const sim::GroundModel& ground)
    {
        sim::InstrumentOptions options;
        options.linkPath = DevicePathForPort(kPort);
        options.stations = kStations;
        options.profiles = kProfiles;
        options.xStep = kStep;
        options.yStep = kStep;
        options.ground = ground;
        m_sim = std::make_unique<sim::InstrumentSimulator>(options);
        std::string error;
        ASSERT_TRUE(m_sim->Start(error)) << error;
    }

    void MakeSheet()
    {
        SheetEnvironment environment;
        environment.core = m_core.get();
        environment.files = &m_files;
        environment.dataDirectory = m_dir.File("data");
        m_sheet = std::make_unique<COrvControlSheet>(environment);
        m_sheet->show();
        QApplication::processEvents();
    }

    template <typename W>
    W* Control(PageId page, int id) const
    {
        W* w = m_sheet->Page(page)->findChild<W*>(QStringLiteral("control%1").arg(id));
        EXPECT_NE(w, nullptr) << "control " << id;
        return w;
    }
    void SetText(PageId page, int id, const char* text)
    {
        Control<QLineEdit>(page, id)->setText(QString::fromUtf8(text));
    }
    // A tap on the tab of page `index`.
    void TapTab(int index)
    {
        m_sheet->Tabs()->setCurrentIndex(index);
        QApplication::processEvents();
    }
    void Key(int key, const QString& text = {})
    {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(m_sheet->ActivePage(), &press);
    }

    // The operator's setup of a Map survey of 5 x 3 stations 2 m apart, measured by the
    // instrument on port 12, shown as apparent conductivity from the quadrature component.
    void BeginMapSurvey()
    {
        ASSERT_EQ(m_sheet->Pages(), (std::vector<PageId>{P::StaticSettings, P::OtherSettings}));
        auto* mode = Control<QComboBox>(P::StaticSettings, control_id::kMode);
        mode->setCurrentIndex(0);
        Q_EMIT mode->activated(0);
        SetText(P::StaticSettings, control_id::kXSize, "5");
        SetText(P::StaticSettings, control_id::kYSize, "3");
        SetText(P::StaticSettings, control_id::kXStep, "2");
        SetText(P::StaticSettings, control_id::kYStep, "2");
        TapTab(1);
        ASSERT_EQ(m_sheet->ActiveIndex(), 1) << LastTold();
        SetText(P::OtherSettings, control_id::kInstrumentPort, "12");
        Control<QPushButton>(P::OtherSettings, control_id::kNext)->click();
        ASSERT_EQ(m_sheet->Pages(),
                  (std::vector<PageId>{P::Settings, P::ViewSettings, P::MainGrid}))
            << LastTold();
        ASSERT_EQ(m_sheet->ActiveIndex(), 2);

        TapTab(0);
        ASSERT_EQ(m_sheet->ActiveIndex(), 0);
        for (const int id : {signal_control::kApparentValues, signal_control::kConductivity,
                             signal_control::kQuadrature}) {
            Control<QAbstractButton>(P::Settings, id)->click();
        }
        TapTab(2);
        ASSERT_EQ(m_sheet->ActiveIndex(), 2);
        const Configuration& c = Config();
        ASSERT_EQ(c.WorkType, work_type::kMap);
        ASSERT_EQ(c.XSize, kStations);
        ASSERT_EQ(c.YSize, kProfiles);
        ASSERT_EQ(c.BluetoothInboundPort, int(kPort));
        ASSERT_EQ(c.UnitMeasure, 1);
        ASSERT_EQ(c.ApparentValueKind, 1);
        ASSERT_EQ(c.SignalComponent, 1);
        ASSERT_NE(Grid(), nullptr);
    }

    CPropertyPageView1* Main() const
    {
        return static_cast<CPropertyPageView1*>(m_sheet->Page(P::MainGrid));
    }
    GridSurvey* Grid() const { return static_cast<GridSurvey*>(m_sheet->CurrentSurvey()); }

    // Lets the window catch up and draws what a repaint would.
    void Settle()
    {
        QApplication::processEvents();
        Main()->PaintNow();
    }
    void WaitForExchange()
    {
        for (int turn = 0; turn < kMaxTurns && Main()->ExchangeRunning(); ++turn) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(2);
        }
        ASSERT_FALSE(Main()->ExchangeRunning()) << "the exchange never ended";
    }
    // Start as the operator presses it once the last result is drawn, up to the drawn result.
    void StartAndWait()
    {
        Settle();
        ASSERT_FALSE(Main()->RepaintPending());
        Control<QPushButton>(P::MainGrid, 1041)->click();
        WaitForExchange();
        Settle();
    }

    // A picture of the whole window, into ORV_SCREENSHOT_DIR when it is set (docs/screenshots/
    // holds the ones the README shows), else the test's folder. A picture of one colour would
    // mean the window drew nothing.
    void Picture(const char* file)
    {
        SCOPED_TRACE(file);
        const char* wanted = std::getenv("ORV_SCREENSHOT_DIR");
        const std::string folder = wanted != nullptr ? std::string(wanted) : m_dir.File("shots");
        std::filesystem::create_directories(folder);
        QApplication::processEvents();
        const QImage image = m_sheet->grab().toImage();
        ASSERT_FALSE(image.isNull());
        int differing = 0;
        const QRgb first = image.pixel(0, 0);
        for (int y = 0; y < image.height(); y += 4) {
            for (int x = 0; x < image.width(); x += 4) {
                differing += image.pixel(x, y) != first ? 1 : 0;
            }
        }
        EXPECT_GT(differing, 1000);
        EXPECT_TRUE(image.save(QString::fromStdString(folder + "/" + file), "PNG"));
    }

    std::vector<std::string> ToldTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& t : m_prompt.told) {
            texts.push_back(t.text);
        }
        return texts;
    }
    std::string LastTold() const { return m_prompt.told.empty() ? "" : m_prompt.told.back().text; }

    // The file at `path` opens and holds exactly the survey's slots.
    void ExpectFileHolds(const std::string& path, const Survey& survey)
    {
        SCOPED_TRACE(path);
        ASSERT_TRUE(std::filesystem::exists(path));
        SessionReader reader(m_dir.File("reader.ini"));
        std::string error;
        const std::unique_ptr<Survey> read = reader.Read(path, error);
        ASSERT_NE(read, nullptr) << error;
        EXPECT_EQ(read->ValidCount(), survey.ValidCount());
        ASSERT_EQ(read->Slots().Count(), survey.Slots().Count());
        for (int i = 0; i < survey.Slots().Count(); ++i) {
            EXPECT_EQ(read->Slots()[i].bytes, survey.Slots()[i].bytes) << "slot " << i;
        }
    }

    TempDir m_dir;
    FakeSettingsStore m_store;
    FakePrompt m_prompt;
    FakeFileChooser m_files;
    CountingPort m_instrumentPort;
    QtSerialPort m_gpsPort;
    std::unique_ptr<sim::InstrumentSimulator> m_sim;
    FakeSystemClock m_systemClock;
    std::unique_ptr<ProgramCore> m_core;
    std::unique_ptr<sim::GpsSimulator> m_gpsSim;
    std::unique_ptr<COrvControlSheet> m_sheet;
};

TEST_F(WholeWindow, MapSurveyFromSetupToTheSavedFileAndBack)
{
    ASSERT_NO_FATAL_FAILURE(StartSimulator(kBody));
    ASSERT_NO_FATAL_FAILURE(MakeSheet());
    ASSERT_NO_FATAL_FAILURE(BeginMapSurvey());
    CPropertyPageView1* page = Main();
    EXPECT_TRUE(m_sheet->FullScreenLayout());

    for (int i = 0; i < kStationCount; ++i) {
        SCOPED_TRACE(i);
        ASSERT_NO_FATAL_FAILURE(StartAndWait());
        ASSERT_EQ(Grid()->ValidCount(), i + 1) << LastTold();
        const auto [p, s] = WalkPosition(i);
        EXPECT_TRUE(Grid()->Data().IsMeasured(p, s));
    }
    EXPECT_EQ(m_sim->Measurements(), kStationCount);
    EXPECT_EQ(Control<QLabel>(P::MainGrid, 1074)->text(), QStringLiteral("12.5V"));
    // Only the end of the survey was told, and nothing was asked.
    EXPECT_EQ(ToldTexts(), std::vector<std::string>{"Measure completed"});
    EXPECT_TRUE(m_prompt.asked.empty());
    EXPECT_TRUE(m_sheet->FullScreenLayout());

    // The map of the first frequency holds the model's conductivity: the corners of the map are
    // stations, and the body's peak is where the model put it.
    ASSERT_EQ(page->ShownGraphic(), graphic_frame::kMap);
    EXPECT_EQ(page->StatusText(), "Map: frequency 1 (proportional)");
    const ValueLayer before(page->Canvas());
    const Box box = ValueBounds(before);
    ASSERT_GT(box.Width(), 50);
    ASSERT_GT(box.Height(), 25);
    const auto model = [](double x, double y) {
        return static_cast<float>(kBody.Conductivity(x, y, kFirstFrequencyDepth));
    };
    const double east = (kStations - 1) * kStep;
    const double north = (kProfiles - 1) * kStep;
    EXPECT_NEAR(before.At(box.left, box.bottom - 1), model(0, 0), 1.0f);
    EXPECT_NEAR(before.At(box.right - 1, box.bottom - 1), model(east, 0), 1.0f);
    EXPECT_NEAR(before.At(box.left, box.top), model(0, north), 1.0f);
    EXPECT_NEAR(before.At(box.right - 1, box.top), model(east, north), 1.0f);
    float highest = -kNoValue;
    int peakX = 0;
    int peakY = 0;
    for (int y = box.top; y < box.bottom; ++y) {
        for (int x = box.left; x < box.right; ++x) {
            const float v = before.At(x, y);
            if (!IsNoValue(v) && v > highest) {
                highest = v;
                peakX = x;
                peakY = y;
            }
        }
    }
    EXPECT_NEAR(highest, 80.0f, 2.0f);
    EXPECT_NEAR((peakX - box.left + 0.5) / box.Width() * east, 6.0, 0.5);
    EXPECT_NEAR((box.bottom - peakY - 0.5) / box.Height() * north, 4.0, 0.5);

    // Save writes a file that opens with every measurement.
    const std::string path = m_dir.File("map.orv");
    m_files.answers = {path};
    m_sheet->SendCommandToSheet(command_id::kSave);
    EXPECT_EQ(ToldTexts().size(), 1u) << LastTold();
    EXPECT_EQ(Grid()->Modified(), 0);
    ExpectFileHolds(path, *Grid());

    // New asks nothing for a saved survey and returns to the setup pages.
    m_sheet->SendCommandToSheet(command_id::kNew);
    EXPECT_TRUE(m_prompt.asked.empty());
    EXPECT_EQ(m_sheet->Pages(), (std::vector<PageId>{P::StaticSettings, P::OtherSettings}));
    EXPECT_EQ(m_sheet->ActiveIndex(), 0);
    EXPECT_EQ(m_sheet->CurrentSurvey(), nullptr);
    EXPECT_FALSE(m_sheet->FullScreenLayout());

    // Open shows the same map again, value for value.
    m_files.answers = {path};
    m_sheet->SendCommandToSheet(command_id::kOpen);
    ASSERT_EQ(m_sheet->Pages(), (std::vector<PageId>{P::Settings, P::ViewSettings, P::MainGrid}))
        << LastTold();
    ASSERT_EQ(m_sheet->ActiveIndex(), 2);
    ASSERT_NE(Grid(), nullptr);
    EXPECT_EQ(Grid()->ValidCount(), kStationCount);
    EXPECT_EQ(Grid()->Modified(), 0);
    Settle();
    ASSERT_EQ(page->ShownGraphic(), graphic_frame::kMap);
    EXPECT_EQ(page->StatusText(), "Map: frequency 1 (proportional)");
    const ValueLayer after(page->Canvas());
    ASSERT_EQ(after.width, before.width);
    ASSERT_EQ(after.height, before.height);
    int differing = 0;
    for (size_t i = 0; i < before.values.size(); ++i) {
        differing += before.values[i] != after.values[i] ? 1 : 0;
    }
    EXPECT_EQ(differing, 0);
}

TEST_F(WholeWindow, AnInstrumentThatStopsAnsweringLosesNothing)
{
    ASSERT_NO_FATAL_FAILURE(StartSimulator(sim::GroundModel::HalfSpace(20.0)));
    ASSERT_NO_FATAL_FAILURE(MakeSheet());
    ASSERT_NO_FATAL_FAILURE(BeginMapSurvey());
    for (int i = 0; i < 3; ++i) {
        ASSERT_NO_FATAL_FAILURE(StartAndWait());
    }
    ASSERT_EQ(Grid()->ValidCount(), 3) << LastTold();

    // The instrument falls silent; the operator saves when asked.
    m_sim->SetFaults({.neverAnswer = true});
    const std::string path = m_dir.File("interrupted.orv");
    m_prompt.answers = {Answer::Yes};
    m_files.answers = {path};
    ASSERT_NO_FATAL_FAILURE(StartAndWait());
    ASSERT_EQ(m_prompt.asked.size(), 1u);
    EXPECT_EQ(m_prompt.asked[0].text, "Failed to measure. Save changes?");
    EXPECT_EQ(Grid()->ValidCount(), 3);
    for (int i = 0; i < 3; ++i) {
        const auto [p, s] = WalkPosition(i);
        EXPECT_TRUE(Grid()->Data().IsMeasured(p, s)) << "station " << s;
    }
    EXPECT_EQ(Grid()->CurrentProfile(), 0);
    EXPECT_EQ(Grid()->CurrentStation(), 3);
    EXPECT_EQ(Grid()->Modified(), 0);
    ExpectFileHolds(path, *Grid());
    // The link is not taken for answering. The port may be open again already: the link's watch
    // reopens it within a second, and finds the instrument still silent.
    EXPECT_NE(Main()->LinkStatus().state, InstrumentLink::Connected);
    // The session goes on.
    EXPECT_EQ(m_sheet->Pages(), (std::vector<PageId>{P::Settings, P::ViewSettings, P::MainGrid}));
    EXPECT_EQ(m_sheet->ActiveIndex(), 2);
    EXPECT_TRUE(Control<QPushButton>(P::MainGrid, 1041)->isEnabled());

    // Answering again, the next Start (the Space key) reconnects and measures the next station.
    m_sim->SetFaults({});
    Settle();
    ASSERT_FALSE(Main()->RepaintPending());
    Key(Qt::Key_Space, QStringLiteral(" "));
    WaitForExchange();
    EXPECT_EQ(Grid()->ValidCount(), 4) << LastTold();
    EXPECT_TRUE(Grid()->Data().IsMeasured(0, 3));
    EXPECT_EQ(Grid()->CurrentStation(), 4);
    EXPECT_TRUE(Device().IsReady());
    EXPECT_EQ(m_prompt.asked.size(), 1u);
    EXPECT_EQ(Grid()->Modified(), 1);
}

TEST_F(WholeWindow, ClosingTheWindowDuringAMeasurementKeepsItsReply)
{
    ASSERT_NO_FATAL_FAILURE(StartSimulator(sim::GroundModel::HalfSpace(20.0)));
    ASSERT_NO_FATAL_FAILURE(MakeSheet());
    ASSERT_NO_FATAL_FAILURE(BeginMapSurvey());
    for (int i = 0; i < 3; ++i) {
        ASSERT_NO_FATAL_FAILURE(StartAndWait());
    }
    m_files.answers = {m_dir.File("first.orv")};
    m_sheet->SendCommandToSheet(command_id::kSave);
    ASSERT_EQ(Grid()->Modified(), 0);

    // Start; the instrument answers late, so the command goes out before the reply comes.
    m_sim->SetFaults({.replyDelayMs = 300});
    const int writes = m_instrumentPort.Writes();
    const size_t received = m_instrumentPort.Received();
    Settle();
    Control<QPushButton>(P::MainGrid, 1041)->click();
    for (int turn = 0; turn < kMaxTurns && m_instrumentPort.Writes() < writes + 2; ++turn) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    ASSERT_EQ(m_instrumentPort.Writes(), writes + 2);  // the battery and the measurement
    ASSERT_TRUE(Main()->ExchangeRunning());
    // The whole reply is in; the window has not yet taken it when the operator closes it.
    const size_t whole = received + wire::kBatteryReplySize + kReplySize;
    for (int turn = 0; turn < kMaxTurns && m_instrumentPort.Received() < whole; ++turn) {
        QThread::msleep(2);
    }
    ASSERT_EQ(m_instrumentPort.Received(), whole);
    ASSERT_TRUE(Main()->ExchangeRunning());

    // The measurement is offered for saving with the rest, and saved to the survey's file
    // without asking where again.
    const std::string path = m_dir.File("first.orv");
    const size_t dialogs = m_files.shown.size();
    m_prompt.answers = {Answer::Yes};
    m_sheet->close();
    EXPECT_EQ(m_files.shown.size(), dialogs);
    EXPECT_TRUE(m_sheet->RunEnded());
    ASSERT_EQ(m_prompt.asked.size(), 1u);
    EXPECT_EQ(m_prompt.asked[0].text, "Save changes?");
    SessionReader reader(m_dir.File("reader.ini"));
    std::string error;
    const std::unique_ptr<Survey> read = reader.Read(path, error);
    ASSERT_NE(read, nullptr) << error;
    EXPECT_EQ(read->ValidCount(), 4);
}

TEST_F(WholeWindow, CancelEndsASlowMeasurementAndItsLateReplyIsNeverStored)
{
    ASSERT_NO_FATAL_FAILURE(StartSimulator(sim::GroundModel::HalfSpace(20.0)));
    ASSERT_NO_FATAL_FAILURE(MakeSheet());
    ASSERT_NO_FATAL_FAILURE(BeginMapSurvey());
    for (int i = 0; i < 2; ++i) {
        ASSERT_NO_FATAL_FAILURE(StartAndWait());
    }
    ASSERT_EQ(Grid()->ValidCount(), 2) << LastTold();

    // A slow instrument: Start, and wait until the measurement command is out.
    m_sim->SetFaults({.replyDelayMs = 800});
    const int writes = m_instrumentPort.Writes();
    const int finished = m_sim->RepliesFinished();
    Settle();
    Control<QPushButton>(P::MainGrid, 1041)->click();
    for (int turn = 0; turn < kMaxTurns && m_instrumentPort.Writes() < writes + 2; ++turn) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    ASSERT_EQ(m_instrumentPort.Writes(), writes + 2);
    ASSERT_TRUE(Main()->ExchangeRunning());
    auto* cancel = Main()->findChild<QPushButton*>(QStringLiteral("cancelExchange"));
    ASSERT_NE(cancel, nullptr);
    EXPECT_TRUE(cancel->isVisible());

    // Meanwhile Start by key goes nowhere; Cancel, clicked, ends the exchange as a failure.
    Key(Qt::Key_Space, QStringLiteral(" "));
    m_prompt.answers = {Answer::No};
    QTest::mouseClick(cancel, Qt::LeftButton);
    ASSERT_NO_FATAL_FAILURE(WaitForExchange());
    ASSERT_EQ(m_prompt.asked.size(), 1u);
    EXPECT_EQ(m_prompt.asked[0].text, "Failed to measure. Save changes?");
    EXPECT_EQ(Grid()->ValidCount(), 2);
    EXPECT_EQ(Grid()->CurrentStation(), 2);
    EXPECT_FALSE(Device().IsReady());
    EXPECT_FALSE(cancel->isVisible());
    EXPECT_EQ(m_instrumentPort.Writes(), writes + 2);

    // The cancelled reply comes after all; the next measurement is the instrument's next one.
    ASSERT_TRUE(m_sim->WaitForReplies(finished + 2, 5000));
    m_sim->SetFaults({});
    ASSERT_NO_FATAL_FAILURE(StartAndWait());
    ASSERT_EQ(Grid()->ValidCount(), 3) << LastTold();
    const MeasurementSlot* slot = Grid()->Data().Slot(0, 2);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(little_endian::Load32(&slot->bytes[kReplyNumberOffset]),
              uint32_t(m_sim->Measurements()));
    EXPECT_EQ(m_sim->Measurements(), 4);
}

// A look at another page, or a new window size, draws the graphic on screen again; it does not
// step on to the next one as OK does.
TEST_F(WholeWindow, ReturningToTheMainPageKeepsItsGraphic)
{
    ASSERT_NO_FATAL_FAILURE(StartSimulator(kBody));
    ASSERT_NO_FATAL_FAILURE(MakeSheet());
    ASSERT_NO_FATAL_FAILURE(BeginMapSurvey());
    for (int i = 0; i < kStationCount; ++i) {
        ASSERT_NO_FATAL_FAILURE(StartAndWait());
    }
    ASSERT_EQ(Main()->ShownGraphic(), graphic_frame::kMap);
    TapTab(1);
    TapTab(2);
    Settle();
    EXPECT_EQ(Main()->ShownGraphic(), graphic_frame::kMap) << Main()->StatusText();
    const int shown = Main()->ShownGraphic();
    m_sheet->showNormal();
    m_sheet->resize(600, 500);
    Settle();
    EXPECT_EQ(Main()->ShownGraphic(), shown) << Main()->StatusText();
}

// Pictures of the whole window during a simulated Map survey: the Main page with the map and
// with the section, and the two settings pages of the session. With ORV_SCREENSHOT_DIR set they
// are written there (docs/screenshots/ holds the ones the README shows), otherwise into the
// test's temporary folder. A picture of one colour would mean the window drew nothing.
TEST_F(WholeWindow, WindowPicturesOfASurvey)
{
    ASSERT_NO_FATAL_FAILURE(StartSimulator(kBody));
    ASSERT_NO_FATAL_FAILURE(MakeSheet());
    ASSERT_NO_FATAL_FAILURE(BeginMapSurvey());
    for (int i = 0; i < kStationCount; ++i) {
        ASSERT_NO_FATAL_FAILURE(StartAndWait());
    }
    ASSERT_EQ(Grid()->ValidCount(), kStationCount) << LastTold();
    ASSERT_EQ(Main()->ShownGraphic(), graphic_frame::kMap);
    Picture("window-grid-map.png");

    // OK steps on to the section.
    Control<QPushButton>(P::MainGrid, 1080)->click();
    Settle();
    ASSERT_EQ(Main()->ShownGraphic(), graphic_frame::kSection);
    Picture("window-grid-section.png");

    TapTab(0);
    ASSERT_EQ(m_sheet->ActiveIndex(), 0);
    Picture("window-grid-settings.png");
    TapTab(1);
    ASSERT_EQ(m_sheet->ActiveIndex(), 1);
    Picture("window-grid-view-settings.png");
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

constexpr unsigned kGpsPort = 15;

// The GPS receiver of a track goes quiet, then away, while the instrument measures on; the
// instrument goes away too. The strip shows each state as it comes (and, with
// ORV_SCREENSHOT_DIR, leaves a picture of it): the fix ageing, amber above 2 s and red past
// the stale bound, the lost port, the stations taken meanwhile to be measured again; the GPS
// page shows the fix age; the links come back by themselves and the next stations are
// positioned.
TEST_F(WholeWindow, TheStripFollowsBothLinksThroughTheirOutages)
{
    ASSERT_NO_FATAL_FAILURE(StartSimulator(kBody));
    sim::GpsSimulatorOptions gps;
    gps.port = kGpsPort;
    gps.rate = 10.0;
    gps.baud = 0;
    m_gpsSim = std::make_unique<sim::GpsSimulator>();
    std::string error;
    ASSERT_TRUE(m_gpsSim->Start(gps, error)) << error;
    ASSERT_NO_FATAL_FAILURE(MakeSheet());
    m_sheet->resize(800, 600);

    auto* mode = Control<QComboBox>(P::StaticSettings, control_id::kMode);
    mode->setCurrentIndex(3);
    Q_EMIT mode->activated(3);
    TapTab(1);
    SetText(P::OtherSettings, control_id::kInstrumentPort, "12");
    SetText(P::OtherSettings, control_id::kGpsPort, "15");
    Control<QPushButton>(P::OtherSettings, control_id::kNext)->click();
    ASSERT_EQ(m_sheet->Pages(),
              (std::vector<PageId>{P::Settings, P::ViewSettings, P::MainTrack, P::Gps}))
        << LastTold();
    Config().GpsStaleSeconds = 3;
    auto* page = static_cast<CPropertyPageView2*>(m_sheet->Page(P::MainTrack));
    auto* track = static_cast<TrackSurvey*>(m_sheet->CurrentSurvey());
    ASSERT_NE(track, nullptr);

    const auto item = [&](const char* prefix) {
        m_sheet->Strip()->Refresh();
        for (const StripItem& i : m_sheet->Strip()->Items()) {
            if (i.text.rfind(prefix, 0) == 0) {
                return i;
            }
        }
        return StripItem{"", Severity::Normal};
    };
    const auto until = [&](const std::function<bool()>& done) {
        for (int turn = 0; turn < 6000 && !done(); ++turn) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(2);
        }
        return done();
    };
    const auto picture = [&](const char* file) {
        const char* folder = std::getenv("ORV_SCREENSHOT_DIR");
        if (folder != nullptr) {
            m_sheet->Strip()->Refresh();
            QApplication::processEvents();
            EXPECT_TRUE(m_sheet->Strip()->grab().save(
                QString::fromStdString(std::string(folder) + "/" + file), "PNG"));
        }
    };
    const auto gpsFresh = [&] {
        const StripItem gpsItem = item("GPS:");
        return gpsItem.severity == Severity::Normal &&
               gpsItem.text.find("fix 0 s") != std::string::npos;
    };
    const auto measure = [&] {
        QApplication::processEvents();
        page->PaintNow();
        ASSERT_FALSE(page->RepaintPending());
        const int before = track->ValidCount();
        Control<QPushButton>(P::MainTrack, 1041)->click();
        ASSERT_TRUE(until([&] { return !page->ExchangeRunning(); }));
        ASSERT_EQ(track->ValidCount(), before + 1) << LastTold();
    };

    // Before the first station the receiver is seen already.
    ASSERT_TRUE(until(gpsFresh)) << item("GPS:").text;
    measure();
    ASSERT_TRUE(until([&] { return page->PendingPositions() == 0; }));
    EXPECT_TRUE(track->HasPosition(0));
    EXPECT_EQ(item("Instrument:").severity, Severity::Normal);
    picture("strip-connected.png");

    // Connected but silent: the fix ages, amber, then red; a station taken meanwhile gets no
    // position and is listed.
    m_gpsSim->Stall(7.0);
    ASSERT_TRUE(until([&] { return item("GPS:").severity == Severity::Caution; }))
        << item("GPS:").text;
    picture("strip-gps-ageing.png");
    measure();
    ASSERT_TRUE(until([&] { return item("GPS:").severity == Severity::Alarm; }))
        << item("GPS:").text;
    auto* gpsPage = static_cast<CPropertyPageGPSView*>(m_sheet->Page(P::Gps));
    gpsPage->Refresh();
    const QString age = gpsPage->FixAgeText();
    EXPECT_TRUE(age == QStringLiteral("3 s") || age == QStringLiteral("4 s")) << age.toStdString();
    ASSERT_TRUE(until([&] { return page->PendingPositions() == 0; }));
    EXPECT_FALSE(track->HasPosition(1));
    EXPECT_EQ(item("Measure again").text, "Measure again, no position: 1");
    picture("strip-gps-stale.png");
    ASSERT_TRUE(until(gpsFresh)) << item("GPS:").text;
    gpsPage->Refresh();
    EXPECT_EQ(gpsPage->FixAgeText(), QStringLiteral("0 s"));
    measure();
    ASSERT_TRUE(until([&] { return page->PendingPositions() == 0; }));
    EXPECT_TRUE(track->HasPosition(2));

    // Gone: the port is lost and reopened by itself.
    m_gpsSim->Disappear(5.0);
    ASSERT_TRUE(until([&] {
        const StripItem gpsItem = item("GPS:");
        return gpsItem.severity == Severity::Alarm && gpsItem.text.find("fix") == std::string::npos;
    })) << item("GPS:").text;
    picture("strip-gps-lost.png");
    measure();
    ASSERT_TRUE(until(gpsFresh)) << item("GPS:").text;
    ASSERT_TRUE(until([&] { return page->PendingPositions() == 0; }));
    EXPECT_FALSE(track->HasPosition(3));
    measure();
    ASSERT_TRUE(until([&] { return page->PendingPositions() == 0; }));
    EXPECT_TRUE(track->HasPosition(4));
    EXPECT_EQ(page->UnpositionedStations(), (std::vector<int>{1, 3}));

    // The instrument goes away and comes back by itself; its battery runs low.
    m_sim->DropFor(4000);
    ASSERT_TRUE(until([&] { return item("Instrument:").severity != Severity::Normal; }));
    picture("strip-instrument-away.png");
    ASSERT_TRUE(until([&] { return page->LinkStatus().state == InstrumentLink::Connected; }));
    m_sim->SetBattery(1050);
    measure();
    EXPECT_EQ(item("Instrument battery").severity, Severity::Alarm);
    picture("strip-battery-low.png");
    EXPECT_TRUE(m_prompt.told.size() <= 2u) << LastTold();  // "GPS Error" at most once
}

// A GPS track from the setup pages: the stations get their positions from the simulated walk,
// the track map appears, the GPS page shows the receiver, and the saved session opens again with
// the same map.
TEST_F(WholeWindow, GpsTrackFromSetupToTheSavedFileAndBack)
{
    // The body lies under the walk's fifth station; the shallowest frequency sees it.
    ASSERT_NO_FATAL_FAILURE(
        StartSimulator(sim::GroundModel::Body(20.0, 300.0, 8.0, 0.0, 1.5, 2.0)));
    sim::GpsSimulatorOptions gps;
    gps.port = kGpsPort;
    gps.rate = 10.0;
    gps.baud = 0;
    gps.walk.speed = 30.0;
    gps.walk.turnEvery = 0.5;
    m_gpsSim = std::make_unique<sim::GpsSimulator>();
    std::string error;
    ASSERT_TRUE(m_gpsSim->Start(gps, error)) << error;
    ASSERT_NO_FATAL_FAILURE(MakeSheet());

    auto* mode = Control<QComboBox>(P::StaticSettings, control_id::kMode);
    mode->setCurrentIndex(3);
    Q_EMIT mode->activated(3);
    TapTab(1);
    ASSERT_EQ(m_sheet->ActiveIndex(), 1) << LastTold();
    SetText(P::OtherSettings, control_id::kInstrumentPort, "12");
    SetText(P::OtherSettings, control_id::kGpsPort, "15");
    Control<QPushButton>(P::OtherSettings, control_id::kNext)->click();
    ASSERT_EQ(m_sheet->Pages(),
              (std::vector<PageId>{P::Settings, P::ViewSettings, P::MainTrack, P::Gps}))
        << LastTold();
    ASSERT_EQ(m_sheet->ActiveIndex(), 2);
    Configuration& c = Config();
    ASSERT_EQ(c.WorkType, work_type::kGpsTrack);
    auto* page = static_cast<CPropertyPageView2*>(m_sheet->Page(P::MainTrack));
    ASSERT_TRUE(page->OnKillActive());
    c.UnitMeasure = 1;
    c.ApparentValueKind = 1;
    c.AreaFrequency = 14;
    ASSERT_TRUE(page->OnSetActive());
    auto* track = static_cast<TrackSurvey*>(m_sheet->CurrentSurvey());
    ASSERT_NE(track, nullptr);

    constexpr int kRecords = 10;
    for (int i = 0; i < kRecords; ++i) {
        SCOPED_TRACE(i);
        QApplication::processEvents();
        page->PaintNow();
        ASSERT_FALSE(page->RepaintPending());
        Control<QPushButton>(P::MainTrack, 1041)->click();
        for (int turn = 0;
             turn < kMaxTurns && (page->ExchangeRunning() || page->PendingPositions() > 0);
             ++turn) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(2);
        }
        ASSERT_FALSE(page->ExchangeRunning());
        ASSERT_EQ(page->PendingPositions(), 0u) << "no position came back";
        ASSERT_EQ(track->ValidCount(), i + 1) << LastTold();
        // The walk goes on between stations.
        for (int turn = 0; turn < 50; ++turn) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(2);
        }
    }
    EXPECT_TRUE(m_prompt.told.empty()) << LastTold();
    for (int i = 0; i < kRecords; ++i) {
        EXPECT_EQ(track->PositionAt(i).tickStamp, track->Slots()[i].TickStamp()) << i;
        EXPECT_NEAR(track->PositionAt(i).latitude, gps.walk.latitude, 0.05) << i;
    }
    QApplication::processEvents();
    page->PaintNow();
    ASSERT_EQ(page->ShownGraphic(), graphic_frame::kMap);
    EXPECT_EQ(page->StatusText(), "Map: frequency 14 (proportional)");
    const ValueLayer before(page->Canvas());
    float lowest = -kNoValue;
    float highest = kNoValue;
    for (const float v : before.values) {
        if (!IsNoValue(v)) {
            lowest = std::min(lowest, v);
            highest = std::max(highest, v);
        }
    }
    // The background and the body both show.
    EXPECT_LT(lowest, 30.0f);
    EXPECT_GT(highest, 60.0f);

    Picture("window-track-map.png");

    // The GPS page shows the receiver's fix.
    TapTab(3);
    ASSERT_EQ(m_sheet->ActiveIndex(), 3);
    static_cast<CPropertyPageGPSView*>(m_sheet->Page(P::Gps))->Refresh();
    Picture("window-track-gps.png");
    EXPECT_EQ(Control<QLabel>(P::Gps, 1067)->text(), QStringLiteral("Data valid"));
    EXPECT_NE(Control<QLabel>(P::Gps, 1076)->text(), QStringLiteral("0"));
    TapTab(2);
    ASSERT_EQ(m_sheet->ActiveIndex(), 2);
    const std::string path = m_dir.File("track.orv");
    m_files.answers = {path};
    m_sheet->SendCommandToSheet(command_id::kSave);
    EXPECT_EQ(track->Modified(), 0) << LastTold();
    ExpectFileHolds(path, *track);
    std::vector<GpsFix> positions;
    for (int i = 0; i < kRecords; ++i) {
        positions.push_back(track->PositionAt(i));
    }
    m_sheet->SendCommandToSheet(command_id::kNew);
    EXPECT_TRUE(m_prompt.asked.empty());
    ASSERT_EQ(m_sheet->Pages(), (std::vector<PageId>{P::StaticSettings, P::OtherSettings}));

    m_files.answers = {path};
    m_sheet->SendCommandToSheet(command_id::kOpen);
    ASSERT_EQ(m_sheet->Pages(),
              (std::vector<PageId>{P::Settings, P::ViewSettings, P::MainTrack, P::Gps}))
        << LastTold();
    auto* again = static_cast<TrackSurvey*>(m_sheet->CurrentSurvey());
    ASSERT_NE(again, nullptr);
    ASSERT_EQ(again->ValidCount(), kRecords);
    for (int i = 0; i < kRecords; ++i) {
        EXPECT_EQ(again->PositionAt(i).latitude, positions[size_t(i)].latitude) << i;
        EXPECT_EQ(again->PositionAt(i).longitude, positions[size_t(i)].longitude) << i;
    }
    QApplication::processEvents();
    page->PaintNow();
    ASSERT_EQ(page->ShownGraphic(), graphic_frame::kMap);
    const ValueLayer after(page->Canvas());
    ASSERT_EQ(after.values.size(), before.values.size());
    EXPECT_TRUE(after.values == before.values);
}

}  // namespace
}  // namespace orv
