#pragma once
// The measurement cycle of the Main pages, without a screen: Start connects when the link is not
// ready, reads the instrument's battery, then takes one measurement or runs a timed series
// (TimerMode, TimerDelay, TimerCount); a failed measurement reports 9036 and closes the link so
// the next Start reconnects; Cancel ends the exchange under way as a failed measurement.
//
//   Start:  connect when the link is not ready → battery read → a series (TimerMode) or one
//           measurement
//   measurement: view busy → the port work through the runner → back on this thread: decode,
//           store and advance (StationMeasurer), the track's position requests, view idle →
//           the new position and the redraw, or on failure 9036 and the link closed.
//
// The link watch (a deliberate extension): while a survey is set and no exchange runs, a link
// that is down is opened again every second in the background, and a link that has been idle
// for a few seconds is checked with a battery reading, so a dropped instrument is noticed while
// idle and the next Start works at once when it is back. The port is opened and read only on the
// runner's worker. One outage (from the first failure to the next answered exchange) is told
// to the operator once: "Failed to connect to device" or the save prompt of 9036, not at every
// failed try.
//
// The page implements MeasurementView (what the operator sees) and gives an ExchangeRunner
// (where the port work runs); `orvtool survey` and the tests drive the same cycle without Qt.
// Everything here runs on one thread, the runner's caller.

#include "instrument/InstrumentDevice.h"
#include "session/LinkStatus.h"

#include <memory>
#include <string>

namespace orv {

class Configuration;
class ExchangeRunner;
class GpsMatcher;
class MessagePoster;
class Prompt;
class StationMeasurer;
class Survey;
struct ProgramMessage;

class MeasurementView
{
public:
    virtual ~MeasurementView() = default;
    // Start is ignored while the result of the last command is not yet drawn (a redraw is
    // pending) and no series runs.
    [[nodiscard]] virtual bool RedrawPending() const = 0;
    // The page is to be painted again (and asks for the full-screen layout).
    virtual void NeedsRepaint() = 0;
    // "%.1fV" of the instrument's battery, or "N/A" when it could not be read.
    virtual void ShowInstrumentBattery(bool read, unsigned centivolts) = 0;
    // An exchange the operator started begins (Start disabled, wait cursor, Cancel in Start's
    // place) and ends. The watch's own exchanges do not show.
    virtual void EnterBusy() = 0;
    virtual void LeaveBusy() = 0;
    // Cancel was pressed; the exchange ends soon.
    virtual void CancelPending() = 0;
    // Message 9036 to the sheet (the save prompt of a failed measurement).
    virtual void ReportMeasurementFailure() = 0;
    // A measurement was stored and the survey advanced: the page takes the new position into
    // its fields and, with `redraw`, asks for a full redraw.
    virtual void MeasurementStored(bool redraw) = 0;
    // A series started or stopped (Start's text).
    virtual void SeriesChanged() = 0;
    [[nodiscard]] virtual bool PageActive() const = 0;
    virtual void Beep() = 0;
    // Two beeps 100 ms apart: the walk reached the first station of a profile.
    virtual void BeepTwice() = 0;
    // The link's state changed (the status strip shows it).
    virtual void LinkChanged() {}
};

struct CycleTimings
{
    // A link that is down is opened again this often.
    int retryMs = 1000;
    // A link idle this long is checked with a battery reading.
    int idleCheckMs = 5000;
    // The watch runs at all (tests of the handheld's own cycle switch it off).
    bool watch = true;
};

class MeasurementCycle
{
public:
    // All borrowed; they must outlive the cycle.
    MeasurementCycle(Configuration& config, InstrumentDevice& device, Prompt& prompt,
                     ExchangeRunner& runner, MeasurementView& view, CycleTimings timings = {});
    // Ends an exchange under way (End).
    ~MeasurementCycle();
    MeasurementCycle(const MeasurementCycle&) = delete;
    MeasurementCycle& operator=(const MeasurementCycle&) = delete;

    // The survey measured into (not owned; null outside a session). A change ends the exchange
    // under way first. `matcher` and `positions` position the stations of a track; either may
    // be null. The link watch runs while a survey is set.
    void SetSurvey(Survey* survey, GpsMatcher* matcher = nullptr,
                   MessagePoster* positions = nullptr);
    [[nodiscard]] Survey* CurrentSurvey() const { return m_survey; }

    // Start (button 1041 and the Start keys); during a series it stops the series.
    void Start();
    // Cancel: the exchange under way ends as a failed measurement.
    void Cancel();
    // Ends an exchange under way without asking anything (shutdown, New, Open, Close): a reply
    // already complete is stored; the series stops.
    void End();
    void StopSeries();

    [[nodiscard]] bool ExchangeRunning() const { return m_job != Job::None; }
    // An exchange the operator started (Start, a series step) is under way.
    [[nodiscard]] bool OperatorExchangeRunning() const
    {
        return m_job == Job::Battery || m_job == Job::Measurement || m_job == Job::Connect;
    }
    [[nodiscard]] bool TimerRunning() const { return m_timerRunning; }
    [[nodiscard]] const InstrumentLinkStatus& Link() const { return m_link; }
    // 9034 and 9035 for the track's stations; true when the survey changed.
    bool OnMessage(const ProgramMessage& message);
    // Stations still waiting for their position.
    [[nodiscard]] size_t PendingPositions() const;
    // The measurer of the current survey (made on first use); null without a survey.
    [[nodiscard]] StationMeasurer* Measurer();

    // One step of the link watch (the runner's watch timer calls it).
    void WatchTick();

private:
    enum class Job { None, Connect, Battery, Measurement, WatchConnect, WatchBattery };

    void RunExchange(Job job, PendingExchange exchange, void (MeasurementCycle::*done)(bool),
                     bool fromTimer);
    void AfterConnect(bool fromWatch);
    void AfterBattery(bool fromTimer);
    void AfterWatchBattery(bool);
    void Continue();
    bool StartSeries();
    void TimerStep();
    void BeginMeasurement(bool fromTimer);
    void EndMeasurement(bool fromTimer);
    void FailMeasurement();
    void AfterMeasurement(bool fromTimer);
    void TellMeasureCompleted(bool fromTimer);
    void Tell(int textId, bool error, const std::string& detail = {});
    void StartConnect(Job job);
    void StartWatch();
    void StopWatch();
    // The link's state; an answered exchange ends an outage, a failure begins one.
    void SetLink(InstrumentLink state, std::string reason = {});
    void Answered();
    void LinkFailed(std::string reason);
    // True once per outage: the first failure of an outage is told, the rest only shown.
    bool FirstTellingOfOutage();

    Configuration& m_config;
    InstrumentDevice& m_device;
    Prompt& m_prompt;
    ExchangeRunner& m_runner;
    MeasurementView& m_view;
    CycleTimings m_timings;
    Survey* m_survey = nullptr;
    GpsMatcher* m_matcher = nullptr;
    MessagePoster* m_positions = nullptr;
    std::unique_ptr<StationMeasurer> m_measurer;
    PendingExchange m_pending;
    ConnectPlan m_plan;
    bool m_connected = false;
    std::string m_connectError;
    Job m_job = Job::None;
    bool m_cancelRequested = false;
    bool m_timerRunning = false;
    int m_timerDelayInUse = 0;
    int m_timerMeasurements = 0;
    bool m_watching = false;
    int m_idleMs = 0;
    InstrumentLinkStatus m_link;
    bool m_outage = false;
    bool m_outageTold = false;
};

}  // namespace orv
