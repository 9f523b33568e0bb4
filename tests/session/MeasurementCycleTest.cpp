// The measurement cycle without a screen: Start, the battery reading, one measurement or a timed
// series, failures, Cancel and the end of an exchange, driven through a runner the test steps by
// hand and a view that records what the operator would see.

#include "session/MeasurementCycle.h"

#include "FakePrompt.h"
#include "FakeSerialPort.h"
#include "FakeTickClock.h"
#include "ReplyBuilder.h"
#include "SurveyFixture.h"
#include "instrument/InstrumentDevice.h"
#include "session/ExchangeRunner.h"
#include "survey/GridSurvey.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace orv {
namespace {

// Runs nothing by itself: the test moves the transfer and its completion on step by step, as
// the worker thread and the window's event loop would.
class SteppedRunner final : public ExchangeRunner
{
public:
    bool Run(std::function<void()> transfer, std::function<void()> done, bool = true) override
    {
        if (m_transfer || m_done) {
            return false;
        }
        m_transfer = std::move(transfer);
        m_done = std::move(done);
        return true;
    }
    void Abandon() override
    {
        Transfer();
        m_done = nullptr;
    }
    bool StartTimer(int timer, int periodMs, std::function<void()> tick) override
    {
        m_timers[timer] = {periodMs, std::move(tick)};
        return true;
    }
    void StopTimer(int timer) override { m_timers.erase(timer); }
    // The period of a timer; 0 while it is stopped.
    int Period(int timer = ExchangeRunner::kSeriesTimer) const
    {
        const auto it = m_timers.find(timer);
        return it == m_timers.end() ? 0 : it->second.first;
    }

    // The worker's part of the job under way.
    void Transfer()
    {
        if (m_transfer) {
            std::function<void()> transfer = std::move(m_transfer);
            m_transfer = nullptr;
            transfer();
        }
    }
    // The transfer and then its completion; false when no job was under way.
    bool Step()
    {
        if (!m_transfer && !m_done) {
            return false;
        }
        Transfer();
        std::function<void()> done = std::move(m_done);
        m_done = nullptr;
        if (done) {
            done();
        }
        return true;
    }
    // Every job to its end, the ones the completions start included.
    void Settle()
    {
        while (Step()) {
        }
    }
    void Tick(int timer = ExchangeRunner::kSeriesTimer)
    {
        const auto it = m_timers.find(timer);
        if (it != m_timers.end()) {
            const std::function<void()> tick = it->second.second;
            tick();
        }
    }

private:
    std::function<void()> m_transfer;
    std::function<void()> m_done;
    std::map<int, std::pair<int, std::function<void()>>> m_timers;
};

class RecordingView final : public MeasurementView
{
public:
    bool RedrawPending() const override { return redrawPending; }
    void NeedsRepaint() override { events.push_back("repaint"); }
    void ShowInstrumentBattery(bool read, unsigned centivolts) override
    {
        events.push_back(read ? "battery " + std::to_string(centivolts) : "battery N/A");
    }
    void EnterBusy() override { events.push_back("busy"); }
    void LeaveBusy() override { events.push_back("idle"); }
    void CancelPending() override { events.push_back("cancelling"); }
    void ReportMeasurementFailure() override { events.push_back("9036"); }
    void MeasurementStored(bool redraw) override
    {
        events.push_back(redraw ? "stored, redraw" : "stored");
    }
    void SeriesChanged() override { events.push_back("series"); }
    bool PageActive() const override { return active; }
    void Beep() override { events.push_back("beep"); }
    void BeepTwice() override { events.push_back("beep beep"); }

    std::vector<std::string> Take() { return std::exchange(events, {}); }

    bool redrawPending = false;
    bool active = true;
    std::vector<std::string> events;
};

using Events = std::vector<std::string>;

class MeasurementCycleTest : public test::SurveyFixture
{
protected:
    MeasurementCycleTest()
    {
        setenv("ORVCONTROL_PORT_PATTERN", "/dev/test-cycle%u", 1);
        setenv("ORVCONTROL_PORT_PATTERN", "/dev/test-cycle%u", 1);
        m_config.BluetoothInboundPort = 5;
        m_config.UsedFrequencies.fill(1);
        Grid(work_type::kMap, 2, 2);
        m_survey = std::make_unique<GridSurvey>(m_config);
        m_cycle.SetSurvey(m_survey.get());
    }

    void QueueBattery(uint16_t centivolts)
    {
        m_instrument.Queue({uint8_t(centivolts >> 8), uint8_t(centivolts)});
    }
    void QueueMeasurement(uint8_t fill) { m_instrument.Queue(test::Reply(0x3FFF, 9, fill)); }

    FakeTickClock m_clock;
    FakeSerialPort m_instrument{&m_clock};
    FakeSerialPort m_gps{&m_clock};
    InstrumentDevice m_device{m_config, m_instrument, m_gps,   m_clock,
                              m_prompt, nullptr,      nullptr, LinkTimings{1000, 10}};
    SteppedRunner m_runner;
    RecordingView m_view;
    // The handheld's own cycle; the link watch has tests of its own.
    MeasurementCycle m_cycle{m_config, m_device, m_prompt,
                             m_runner, m_view,   CycleTimings{1000, 5000, false}};
    std::unique_ptr<GridSurvey> m_survey;
};

TEST_F(MeasurementCycleTest, StartConnectsReadsTheBatteryAndStoresOneMeasurement)
{
    QueueBattery(1234);
    QueueMeasurement(1);
    m_cycle.Start();
    EXPECT_TRUE(m_cycle.ExchangeRunning());
    // Start again while the exchange runs does nothing.
    m_cycle.Start();
    m_runner.Settle();
    // The port opens on the worker, then the battery, then the measurement.
    EXPECT_EQ(m_view.Take(), (Events{"busy", "idle", "repaint", "busy", "battery 1234", "idle",
                                     "busy", "idle", "stored, redraw"}));
    EXPECT_EQ(m_cycle.Link().state, InstrumentLink::Connected);
    EXPECT_EQ(m_cycle.Link().centivolts, 1234u);
    EXPECT_FALSE(m_cycle.ExchangeRunning());
    EXPECT_EQ(m_instrument.opens, 1);
    EXPECT_EQ(m_survey->ValidCount(), 1);
    EXPECT_EQ(m_survey->CurrentIndex(), 1);
    EXPECT_EQ(m_survey->Modified(), 1);

    // The result not drawn yet: Start is ignored; once drawn it measures, and the walk reaches
    // the first station of the next profile.
    m_view.redrawPending = true;
    m_cycle.Start();
    EXPECT_FALSE(m_cycle.ExchangeRunning());
    m_view.redrawPending = false;
    QueueBattery(1200);
    QueueMeasurement(2);
    m_cycle.Start();
    m_runner.Settle();
    EXPECT_EQ(m_view.Take(), (Events{"busy", "battery 1200", "idle", "busy", "idle",
                                     "stored, redraw", "beep beep"}));
    EXPECT_EQ(m_instrument.opens, 1);  // the link was ready
    EXPECT_TRUE(m_prompt.told.empty());
}

TEST_F(MeasurementCycleTest, AFailedMeasurementReportsClosesTheLinkAndTheNextStartReconnects)
{
    QueueBattery(1100);  // the battery answers, the measurement does not
    m_cycle.Start();
    m_runner.Settle();
    EXPECT_EQ(m_view.Take(), (Events{"busy", "idle", "repaint", "busy", "battery 1100", "idle",
                                     "busy", "idle", "9036", "repaint"}));
    EXPECT_FALSE(m_instrument.IsOpen());
    EXPECT_EQ(m_survey->ValidCount(), 0);
    EXPECT_EQ(m_survey->Modified(), 0);
    // The state names the port and the reason.
    EXPECT_EQ(m_cycle.Link().state, InstrumentLink::NotAnswering);
    EXPECT_NE(m_cycle.Link().reason.find("/dev/test-cycle5"), std::string::npos)
        << m_cycle.Link().reason;

    // The same outage goes on: the port cannot be opened. Told once per outage, and this one
    // was told already (9036); the second failure only beeps.
    m_instrument.failOpen = true;
    m_cycle.Start();
    m_runner.Settle();
    EXPECT_FALSE(m_cycle.ExchangeRunning());
    EXPECT_TRUE(m_prompt.told.empty());
    EXPECT_EQ(m_view.Take(), (Events{"busy", "idle", "beep", "repaint"}));
    EXPECT_EQ(m_cycle.Link().state, InstrumentLink::NoPort);

    m_instrument.failOpen = false;
    QueueBattery(1100);
    QueueMeasurement(3);
    m_cycle.Start();
    m_runner.Settle();
    EXPECT_EQ(m_instrument.opens, 3);
    EXPECT_EQ(m_survey->ValidCount(), 1);
    EXPECT_EQ(m_cycle.Link().state, InstrumentLink::Connected);

    // A new outage that begins at Start: "Failed to connect to device" with the port and why.
    m_device.CloseInstrument();
    m_instrument.failOpen = true;
    m_cycle.Start();
    m_runner.Settle();
    ASSERT_EQ(m_prompt.told.size(), 1u);
    EXPECT_EQ(m_prompt.told[0].text.rfind("Failed to connect to device\n\ncannot open the "
                                          "instrument port /dev/test-cycle5 (COM5:)",
                                          0),
              0u)
        << m_prompt.told[0].text;
}

TEST_F(MeasurementCycleTest, ATimedSeriesMeasuresAtOnceThenAtEveryTickUntilItsCount)
{
    Grid(work_type::kMap, 3, 3);
    m_survey = std::make_unique<GridSurvey>(m_config);
    m_cycle.SetSurvey(m_survey.get());
    m_config.TimerMode = 1;
    m_config.TimerDelay = 250;
    m_config.TimerCount = 2;
    QueueBattery(1000);
    QueueMeasurement(1);
    m_cycle.Start();
    m_runner.Settle();
    EXPECT_TRUE(m_cycle.TimerRunning());
    EXPECT_EQ(m_runner.Period(), 250);
    EXPECT_EQ(m_survey->ValidCount(), 1);

    // A new delay takes effect at the next tick; the count goes on.
    m_config.TimerDelay = 400;
    QueueMeasurement(2);
    m_runner.Tick();
    EXPECT_EQ(m_runner.Period(), 400);
    m_runner.Settle();
    EXPECT_EQ(m_survey->ValidCount(), 2);
    EXPECT_FALSE(m_cycle.TimerRunning());  // two taken: the series ended
    EXPECT_EQ(m_runner.Period(), 0);

    // Start with timer mode stops a running series; switched off, the next tick beeps.
    m_config.TimerCount = 0;
    QueueBattery(1000);
    QueueMeasurement(3);
    m_cycle.Start();
    m_runner.Settle();
    ASSERT_TRUE(m_cycle.TimerRunning());
    QueueBattery(1000);
    m_cycle.Start();
    m_runner.Settle();
    EXPECT_FALSE(m_cycle.TimerRunning());
    QueueBattery(1000);
    QueueMeasurement(4);
    m_cycle.Start();
    m_runner.Settle();
    m_view.Take();
    m_config.TimerMode = 0;
    m_runner.Tick();
    EXPECT_FALSE(m_cycle.TimerRunning());
    EXPECT_EQ(m_view.Take(), (Events{"series", "beep"}));
    EXPECT_EQ(m_survey->ValidCount(), 4);
}

TEST_F(MeasurementCycleTest, AFullGridSaysMeasureCompletedAndStopsTheSeries)
{
    m_config.TimerMode = 1;
    m_config.TimerDelay = 100;
    QueueBattery(1000);
    for (uint8_t n = 1; n <= 4; ++n) {
        QueueMeasurement(n);
    }
    m_cycle.Start();
    m_runner.Settle();
    for (int tick = 0; tick < 3; ++tick) {
        m_runner.Tick();
        m_runner.Settle();
    }
    EXPECT_EQ(m_survey->ValidCount(), 4);
    // The last station could not advance: the grid is full.
    EXPECT_FALSE(m_cycle.TimerRunning());
    ASSERT_EQ(m_prompt.told.size(), 1u);
    EXPECT_EQ(m_prompt.told[0].text, "Measure completed");
    EXPECT_EQ(m_survey->CurrentIndex(), 3);
}

TEST_F(MeasurementCycleTest, CancelEndsTheExchangeAsAFailure)
{
    QueueBattery(1000);
    m_cycle.Start();
    ASSERT_TRUE(m_runner.Step());  // the port
    ASSERT_TRUE(m_runner.Step());  // the battery
    ASSERT_TRUE(m_cycle.ExchangeRunning());
    m_view.Take();
    m_cycle.Cancel();  // while the measurement waits for its reply
    m_runner.Settle();
    EXPECT_EQ(m_view.Take(), (Events{"cancelling", "idle", "9036", "repaint"}));
    EXPECT_FALSE(m_instrument.IsOpen());
    EXPECT_EQ(m_survey->ValidCount(), 0);
}

TEST_F(MeasurementCycleTest, EndingTheExchangeKeepsACompleteReplyAndDropsAMissingOne)
{
    // The reply is complete, but its completion never ran (New, Open or Close came first).
    QueueBattery(1000);
    QueueMeasurement(7);
    m_cycle.Start();
    ASSERT_TRUE(m_runner.Step());  // the port
    ASSERT_TRUE(m_runner.Step());  // the battery
    m_runner.Transfer();
    m_cycle.End();
    EXPECT_FALSE(m_cycle.ExchangeRunning());
    EXPECT_EQ(m_survey->ValidCount(), 1);

    // No reply yet: nothing is stored, nothing is asked.
    QueueBattery(1000);
    m_cycle.Start();
    ASSERT_TRUE(m_runner.Step());
    m_cycle.End();
    EXPECT_EQ(m_survey->ValidCount(), 1);
    EXPECT_TRUE(m_prompt.told.empty());
    EXPECT_EQ(m_view.Take().back(), "idle");

    // Without a survey Start does nothing.
    m_cycle.SetSurvey(nullptr);
    m_cycle.Start();
    EXPECT_FALSE(m_cycle.ExchangeRunning());
}

class LinkWatchTest : public MeasurementCycleTest
{
protected:
    MeasurementCycle m_watched{m_config, m_device, m_prompt,
                               m_runner, m_view,   CycleTimings{1000, 3000, true}};
    void Tick()
    {
        m_runner.Tick(ExchangeRunner::kWatchTimer);
        m_runner.Settle();
    }
};

TEST_F(LinkWatchTest, ADroppedInstrumentIsNoticedWhileIdleAndTheLinkHealsQuietly)
{
    m_cycle.SetSurvey(nullptr);
    m_watched.SetSurvey(m_survey.get());
    EXPECT_EQ(m_runner.Period(ExchangeRunner::kWatchTimer), 1000);

    // The session begins: the watch opens the port and checks the instrument is there.
    QueueBattery(1180);
    Tick();
    EXPECT_EQ(m_watched.Link().state, InstrumentLink::Connected);
    EXPECT_EQ(m_watched.Link().centivolts, 1180u);
    EXPECT_TRUE(m_instrument.IsOpen());

    // Idle: a battery reading every 3 s keeps an eye on the link. The instrument goes away.
    Tick();
    Tick();
    EXPECT_EQ(m_instrument.written.size(), 8u);  // one battery command so far
    Tick();
    EXPECT_EQ(m_watched.Link().state, InstrumentLink::NotAnswering);
    EXPECT_FALSE(m_instrument.IsOpen());
    // Gone from the radio too: the port cannot be opened.
    m_instrument.failOpen = true;
    Tick();
    EXPECT_EQ(m_watched.Link().state, InstrumentLink::NoPort);
    Tick();
    EXPECT_EQ(m_watched.Link().state, InstrumentLink::NoPort);

    // Back: the next tick opens the port and the instrument answers.
    m_instrument.failOpen = false;
    QueueBattery(1175);
    Tick();
    EXPECT_EQ(m_watched.Link().state, InstrumentLink::Connected);
    // Nothing was asked or told through the whole outage, and nothing showed as busy.
    EXPECT_TRUE(m_prompt.told.empty());
    EXPECT_TRUE(m_prompt.asked.empty());
    for (const std::string& e : m_view.Take()) {
        EXPECT_NE(e, "busy");
        EXPECT_NE(e, "9036");
    }

    // The next Start measures at once: no connect, no failure.
    QueueBattery(1175);
    QueueMeasurement(1);
    m_watched.Start();
    m_runner.Settle();
    EXPECT_EQ(m_survey->ValidCount(), 1);
    EXPECT_EQ(m_view.Take(),
              (Events{"busy", "battery 1175", "idle", "busy", "idle", "stored, redraw"}));
}

TEST_F(LinkWatchTest, StartTakesOverFromTheWatchAndASeriesPausesIt)
{
    m_cycle.SetSurvey(nullptr);
    m_watched.SetSurvey(m_survey.get());
    QueueBattery(1180);
    Tick();
    ASSERT_EQ(m_watched.Link().state, InstrumentLink::Connected);

    // The watch's reading is under way when the operator presses Start: it gives way.
    m_runner.Tick(ExchangeRunner::kWatchTimer);
    m_runner.Tick(ExchangeRunner::kWatchTimer);
    m_runner.Tick(ExchangeRunner::kWatchTimer);
    ASSERT_TRUE(m_watched.ExchangeRunning());
    EXPECT_FALSE(m_watched.OperatorExchangeRunning());
    QueueBattery(1170);
    QueueMeasurement(2);
    m_watched.Start();
    m_runner.Settle();
    EXPECT_EQ(m_survey->ValidCount(), 1);

    // While a series runs the watch stays out of its way.
    m_config.TimerMode = 1;
    m_config.TimerDelay = 100;
    QueueBattery(1170);
    QueueMeasurement(3);
    m_watched.Start();
    m_runner.Settle();
    ASSERT_TRUE(m_watched.TimerRunning());
    const size_t written = m_instrument.written.size();
    for (int i = 0; i < 5; ++i) {
        Tick();
    }
    EXPECT_EQ(m_instrument.written.size(), written);
    m_watched.StopSeries();
}

}  // namespace
}  // namespace orv
