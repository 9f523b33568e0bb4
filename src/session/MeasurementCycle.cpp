#include "session/MeasurementCycle.h"

#include "base/MessagePoster.h"
#include "base/Prompt.h"
#include "config/Configuration.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "session/ExchangeRunner.h"
#include "session/StationMeasurer.h"
#include "survey/GridSurvey.h"
#include "survey/Survey.h"

#include <cstdio>

namespace orv {

namespace {

// A battery reading of the watch waits no longer for its two bytes: an instrument that does not
// answer within it is not answering.
constexpr uint32_t kWatchReplyTimeoutMs = 3000;

}  // namespace

MeasurementCycle::MeasurementCycle(Configuration& config, InstrumentDevice& device, Prompt& prompt,
                                   ExchangeRunner& runner, MeasurementView& view,
                                   CycleTimings timings)
    : m_config(config),
      m_device(device),
      m_prompt(prompt),
      m_runner(runner),
      m_view(view),
      m_timings(timings)
{}

MeasurementCycle::~MeasurementCycle()
{
    if (m_job != Job::None) {
        m_device.CancelTransfer();
        m_runner.Abandon();
    }
    m_runner.StopTimer(ExchangeRunner::kSeriesTimer);
    m_runner.StopTimer(ExchangeRunner::kWatchTimer);
}

void MeasurementCycle::SetSurvey(Survey* survey, GpsMatcher* matcher, MessagePoster* positions)
{
    if (survey != m_survey || matcher != m_matcher || positions != m_positions) {
        End();
        m_measurer.reset();
        m_survey = survey;
        m_matcher = matcher;
        m_positions = positions;
    }
    if (m_survey != nullptr) {
        StartWatch();
    } else {
        StopWatch();
    }
}

StationMeasurer* MeasurementCycle::Measurer()
{
    if (m_survey == nullptr) {
        return nullptr;
    }
    if (!m_measurer) {
        m_measurer = std::make_unique<StationMeasurer>(*m_survey, m_device, m_matcher, m_positions);
    }
    return m_measurer.get();
}

size_t MeasurementCycle::PendingPositions() const
{
    return m_measurer ? m_measurer->PendingPositions() : 0;
}

bool MeasurementCycle::OnMessage(const ProgramMessage& message)
{
    StationMeasurer* measurer = Measurer();
    return measurer != nullptr && measurer->OnMessage(message);
}

void MeasurementCycle::Tell(int textId, bool error, const std::string& detail)
{
    std::string text(ResourceString(textId));
    if (!detail.empty()) {
        text += "\n\n" + detail;
    }
    m_prompt.Tell(text, std::string(ResourceString(string_id::kAppTitle)),
                  error ? Icon::Error : Icon::None);
}

void MeasurementCycle::SetLink(InstrumentLink state, std::string reason)
{
    const std::string port = m_device.InstrumentPortDescription();
    if (state == m_link.state && reason == m_link.reason && port == m_link.port) {
        return;
    }
    m_link.state = state;
    m_link.reason = std::move(reason);
    m_link.port = port;
    if (state != InstrumentLink::Connected) {
        m_link.centivolts.reset();
    }
    m_view.LinkChanged();
}

void MeasurementCycle::Answered()
{
    m_outage = false;
    m_outageTold = false;
    SetLink(InstrumentLink::Connected);
}

void MeasurementCycle::LinkFailed(std::string reason)
{
    m_outage = true;
    SetLink(InstrumentLink::NotAnswering, std::move(reason));
}

bool MeasurementCycle::FirstTellingOfOutage()
{
    m_outage = true;
    if (m_outageTold) {
        return false;
    }
    m_outageTold = true;
    return true;
}

void MeasurementCycle::Start()
{
    if (OperatorExchangeRunning() || (!m_timerRunning && m_view.RedrawPending())) {
        return;
    }
    if (m_survey == nullptr) {
        return;
    }
    if (m_job != Job::None) {
        // The watch's own exchange gives way to the operator's.
        m_device.CancelTransfer();
        m_runner.Abandon();
        m_job = Job::None;
    }
    if (!m_device.IsReady()) {
        StartConnect(Job::Connect);
        return;
    }
    // The battery reading, then the series or the measurement.
    RunExchange(Job::Battery, m_device.PrepareBattery(), &MeasurementCycle::AfterBattery, false);
}

void MeasurementCycle::StartConnect(Job job)
{
    m_plan = m_device.PrepareConnect();
    m_connected = false;
    m_connectError.clear();
    m_job = job;
    m_cancelRequested = false;
    const bool operatorJob = job == Job::Connect;
    if (m_link.state != InstrumentLink::NoPort && m_link.state != InstrumentLink::NotAnswering) {
        SetLink(InstrumentLink::Connecting);
    }
    if (operatorJob) {
        m_view.EnterBusy();
    }
    m_runner.Run([this] { m_connected = m_device.OpenInstrument(m_plan, m_connectError); },
                 [this, job] { AfterConnect(job == Job::WatchConnect); }, operatorJob);
}

void MeasurementCycle::AfterConnect(bool fromWatch)
{
    m_job = Job::None;
    m_idleMs = 0;
    if (!fromWatch) {
        m_view.LeaveBusy();
    }
    if (!m_connected) {
        const std::string reason = m_connectError;
        m_outage = true;
        SetLink(InstrumentLink::NoPort, reason);
        if (!fromWatch) {
            std::fprintf(stderr, "%s: %s\n", ResourceString(string_id::kFailedToConnect).data(),
                         reason.c_str());
            if (FirstTellingOfOutage()) {
                Tell(string_id::kFailedToConnect, true, reason);
            } else {
                m_view.Beep();
            }
            m_view.NeedsRepaint();
        }
        return;
    }
    // The GPS side of the link (Part of Connect when the GPS is wanted).
    if (m_device.GpsWanted()) {
        (void)m_device.ConnectGps();
    }
    if (m_link.state != InstrumentLink::Connected) {
        SetLink(InstrumentLink::Connecting);
    }
    if (fromWatch) {
        // The port is back: is the instrument there too?
        PendingExchange check = m_device.PrepareBattery();
        check.timeoutMs = kWatchReplyTimeoutMs;
        RunExchange(Job::WatchBattery, std::move(check), &MeasurementCycle::AfterWatchBattery,
                    false);
        return;
    }
    m_view.NeedsRepaint();
    RunExchange(Job::Battery, m_device.PrepareBattery(), &MeasurementCycle::AfterBattery, false);
}

void MeasurementCycle::RunExchange(Job job, PendingExchange exchange,
                                   void (MeasurementCycle::*done)(bool), bool fromTimer)
{
    m_pending = std::move(exchange);
    m_job = job;
    m_cancelRequested = false;
    const bool operatorJob = job != Job::WatchBattery && job != Job::WatchConnect;
    if (operatorJob) {
        m_view.EnterBusy();
    }
    m_runner.Run([this] { m_device.Transfer(m_pending); },
                 [this, done, fromTimer] { (this->*done)(fromTimer); }, operatorJob);
}

void MeasurementCycle::AfterBattery(bool)
{
    uint32_t centivolts = 0;
    const bool read = m_device.FinishBattery(m_pending, centivolts);
    m_view.ShowInstrumentBattery(read, centivolts);
    m_view.LeaveBusy();
    m_job = Job::None;
    m_idleMs = 0;
    if (read) {
        Answered();
        m_link.centivolts = centivolts;
        m_view.LinkChanged();
    }
    if (m_cancelRequested) {
        // The operator gave up on a link that does not answer: as a failed measurement.
        FailMeasurement();
        m_view.NeedsRepaint();
        return;
    }
    if (m_survey == nullptr) {
        return;
    }
    if (m_config.TimerMode != 0) {
        if (m_timerRunning) {
            StopSeries();
            return;
        }
        if (!StartSeries()) {
            Tell(string_id::kFailedToSetTimer, true);
            m_view.NeedsRepaint();
            return;
        }
        TimerStep();
        return;
    }
    BeginMeasurement(false);
}

void MeasurementCycle::AfterWatchBattery(bool)
{
    uint32_t centivolts = 0;
    const bool read = m_device.FinishBattery(m_pending, centivolts);
    m_job = Job::None;
    m_idleMs = 0;
    if (read) {
        m_view.ShowInstrumentBattery(true, centivolts);
        Answered();
        m_link.centivolts = centivolts;
        m_view.LinkChanged();
        return;
    }
    // The instrument went away while the link was idle: the port is closed so the watch opens
    // it again, and the next Start finds the link as it really is.
    m_view.ShowInstrumentBattery(false, 0);
    LinkFailed(m_device.LastError());
    m_device.CloseInstrument();
}

void MeasurementCycle::BeginMeasurement(bool fromTimer)
{
    RunExchange(Job::Measurement, Measurer()->Prepare(), &MeasurementCycle::EndMeasurement,
                fromTimer);
}

void MeasurementCycle::EndMeasurement(bool fromTimer)
{
    std::string error;
    const bool ok = m_survey != nullptr && Measurer()->Complete(m_pending, error);
    m_view.LeaveBusy();
    m_job = Job::None;
    m_idleMs = 0;
    if (!ok) {
        if (!error.empty()) {
            std::fprintf(stderr, "%s\n", error.c_str());
        }
        if (fromTimer) {
            StopSeries();
        }
        FailMeasurement();
        if (!fromTimer || m_view.PageActive()) {
            m_view.NeedsRepaint();
        }
        return;
    }
    Answered();
    AfterMeasurement(fromTimer);
}

void MeasurementCycle::Cancel()
{
    if (!OperatorExchangeRunning()) {
        return;
    }
    m_cancelRequested = true;
    m_view.CancelPending();
    m_device.CancelTransfer();
}

void MeasurementCycle::End()
{
    if (m_job == Job::None) {
        return;
    }
    const Job job = m_job;
    m_device.CancelTransfer();
    m_runner.Abandon();
    // A reply that was complete before the cancel is kept.
    if (job == Job::Measurement && m_pending.transferred && m_survey != nullptr) {
        std::string error;
        (void)Measurer()->Complete(m_pending, error);
    }
    m_job = Job::None;
    StopSeries();
    if (job != Job::WatchBattery && job != Job::WatchConnect) {
        m_view.LeaveBusy();
    }
}

void MeasurementCycle::FailMeasurement()
{
    LinkFailed(m_device.LastError());
    // The instrument alone: the GPS link goes on by itself.
    m_device.CloseInstrument();
    if (FirstTellingOfOutage()) {
        m_view.ReportMeasurementFailure();
    } else {
        m_view.Beep();
    }
}

// After a stored measurement: the new position, the redraw, the full grid, the profile starts
// and the series count.
void MeasurementCycle::AfterMeasurement(bool fromTimer)
{
    m_view.MeasurementStored(!fromTimer || m_view.PageActive());
    if (!m_survey->IsTrack()) {
        if (Measurer()->SurveyComplete()) {
            // The survey could not advance: it is full.
            TellMeasureCompleted(fromTimer);
            return;
        }
        const auto& grid = static_cast<const GridSurvey&>(*m_survey);
        if (grid.AtProfileStart()) {
            m_view.BeepTwice();
        }
    }
    if (fromTimer) {
        ++m_timerMeasurements;
        if (m_timerMeasurements == m_config.TimerCount) {
            StopSeries();
        }
    }
}

void MeasurementCycle::TellMeasureCompleted(bool fromTimer)
{
    if (fromTimer) {
        StopSeries();
    }
    Tell(string_id::kMeasureCompleted, false);
    if (!fromTimer || m_view.PageActive()) {
        m_view.NeedsRepaint();
    }
}

bool MeasurementCycle::StartSeries()
{
    StopSeries();
    const int delay = m_config.TimerDelay;
    m_timerRunning = delay > 0 && m_runner.StartTimer(ExchangeRunner::kSeriesTimer, delay,
                                                      [this] { TimerStep(); });
    if (m_timerRunning) {
        m_timerMeasurements = 0;
        m_timerDelayInUse = delay;
    }
    m_view.SeriesChanged();
    return m_timerRunning;
}

void MeasurementCycle::StopSeries()
{
    m_timerRunning = false;
    m_runner.StopTimer(ExchangeRunner::kSeriesTimer);
    m_view.SeriesChanged();
}

void MeasurementCycle::TimerStep()
{
    if (!m_timerRunning || OperatorExchangeRunning() || m_survey == nullptr) {
        return;
    }
    if (m_job != Job::None) {
        // The watch's own exchange gives way to the series.
        m_device.CancelTransfer();
        m_runner.Abandon();
        m_job = Job::None;
    }
    if (m_config.TimerMode == 0) {
        StopSeries();
        m_view.Beep();
        return;
    }
    if (m_config.TimerDelay != m_timerDelayInUse && m_config.TimerDelay > 0) {
        m_timerDelayInUse = m_config.TimerDelay;
        (void)m_runner.StartTimer(ExchangeRunner::kSeriesTimer, m_timerDelayInUse,
                                  [this] { TimerStep(); });
    }
    BeginMeasurement(true);
}

void MeasurementCycle::StartWatch()
{
    if (!m_timings.watch || m_watching) {
        return;
    }
    m_idleMs = 0;
    m_watching = m_runner.StartTimer(ExchangeRunner::kWatchTimer, m_timings.retryMs,
                                     [this] { WatchTick(); });
}

void MeasurementCycle::StopWatch()
{
    if (m_watching) {
        m_runner.StopTimer(ExchangeRunner::kWatchTimer);
        m_watching = false;
    }
}

void MeasurementCycle::WatchTick()
{
    if (m_survey == nullptr || m_job != Job::None || m_timerRunning) {
        return;
    }
    m_idleMs += m_timings.retryMs;
    if (!m_device.InstrumentOpen()) {
        StartConnect(Job::WatchConnect);
        return;
    }
    if (m_idleMs >= m_timings.idleCheckMs) {
        m_idleMs = 0;
        PendingExchange check = m_device.PrepareBattery();
        check.timeoutMs = kWatchReplyTimeoutMs;
        RunExchange(Job::WatchBattery, std::move(check), &MeasurementCycle::AfterWatchBattery,
                    false);
    }
}

}  // namespace orv
