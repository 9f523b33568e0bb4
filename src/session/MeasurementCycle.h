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
// The page implements MeasurementView (what the operator sees) and gives an ExchangeRunner
// (where the port work runs); `orvtool survey` and the tests drive the same cycle without Qt.
// Everything here runs on one thread, the runner's caller.

#include <memory>
#include <string>

#include "instrument/InstrumentDevice.h"

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
    // An exchange begins (Start disabled, wait cursor, Cancel in Start's place) and ends.
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
};

class MeasurementCycle
{
public:
    // All borrowed; they must outlive the cycle.
    MeasurementCycle(Configuration& config, InstrumentDevice& device, Prompt& prompt,
                     ExchangeRunner& runner, MeasurementView& view);
    // Ends an exchange under way (End).
    ~MeasurementCycle();
    MeasurementCycle(const MeasurementCycle&) = delete;
    MeasurementCycle& operator=(const MeasurementCycle&) = delete;

    // The survey measured into (not owned; null outside a session). A change ends the exchange
    // under way first. `matcher` and `positions` position the stations of a track; either may
    // be null.
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
    [[nodiscard]] bool TimerRunning() const { return m_timerRunning; }
    // 9034 and 9035 for the track's stations; true when the survey changed.
    bool OnMessage(const ProgramMessage& message);
    // Stations still waiting for their position.
    [[nodiscard]] size_t PendingPositions() const;

private:
    enum class Job { None, Battery, Measurement };

    StationMeasurer& Measurer();
    void RunExchange(Job job, PendingExchange exchange, void (MeasurementCycle::*done)(bool),
                     bool fromTimer);
    void AfterBattery(bool fromTimer);
    bool StartSeries();
    void TimerStep();
    void BeginMeasurement(bool fromTimer);
    void EndMeasurement(bool fromTimer);
    void FailMeasurement();
    void AfterMeasurement(bool fromTimer);
    void TellMeasureCompleted(bool fromTimer);
    void Tell(int textId, bool error);

    Configuration& m_config;
    InstrumentDevice& m_device;
    Prompt& m_prompt;
    ExchangeRunner& m_runner;
    MeasurementView& m_view;
    Survey* m_survey = nullptr;
    GpsMatcher* m_matcher = nullptr;
    MessagePoster* m_positions = nullptr;
    std::unique_ptr<StationMeasurer> m_measurer;
    PendingExchange m_pending;
    Job m_job = Job::None;
    bool m_cancelRequested = false;
    bool m_timerRunning = false;
    int m_timerDelayInUse = 0;
    int m_timerMeasurements = 0;
};

}  // namespace orv
