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

MeasurementCycle::MeasurementCycle(Configuration& config, InstrumentDevice& device, Prompt& prompt,
                                   ExchangeRunner& runner, MeasurementView& view)
    : m_config(config), m_device(device), m_prompt(prompt), m_runner(runner), m_view(view)
{}

MeasurementCycle::~MeasurementCycle()
{
    if (m_job != Job::None) {
        m_device.CancelTransfer();
        m_runner.Abandon();
    }
    m_runner.StopTimer();
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
}

StationMeasurer& MeasurementCycle::Measurer()
{
    if (!m_measurer) {
        m_measurer = std::make_unique<StationMeasurer>(*m_survey, m_device, m_matcher, m_positions);
    }
    return *m_measurer;
}

size_t MeasurementCycle::PendingPositions() const
{
    return m_measurer ? m_measurer->PendingPositions() : 0;
}

bool MeasurementCycle::OnMessage(const ProgramMessage& message)
{
    return m_survey != nullptr && Measurer().OnMessage(message);
}

void MeasurementCycle::Tell(int textId, bool error)
{
    m_prompt.Tell(std::string(ResourceString(textId)),
                  std::string(ResourceString(string_id::kAppTitle)),
                  error ? Icon::Error : Icon::None);
}

void MeasurementCycle::Start()
{
    if (m_job != Job::None || (!m_timerRunning && m_view.RedrawPending())) {
        return;
    }
    if (m_survey == nullptr) {
        return;
    }
    if (!m_device.IsReady()) {
        if (!m_device.Connect()) {
            if (!m_device.LastError().empty()) {
                std::fprintf(stderr, "%s: %s\n", ResourceString(string_id::kFailedToConnect).data(),
                             m_device.LastError().c_str());
            }
            Tell(string_id::kFailedToConnect, true);
            m_view.NeedsRepaint();
            return;
        }
        m_view.NeedsRepaint();
    }
    // The battery reading, then the series or the measurement.
    RunExchange(Job::Battery, m_device.PrepareBattery(), &MeasurementCycle::AfterBattery, false);
}

void MeasurementCycle::RunExchange(Job job, PendingExchange exchange,
                                   void (MeasurementCycle::*done)(bool), bool fromTimer)
{
    m_pending = std::move(exchange);
    m_job = job;
    m_cancelRequested = false;
    m_view.EnterBusy();
    m_runner.Run([this] { m_device.Transfer(m_pending); },
                 [this, done, fromTimer] { (this->*done)(fromTimer); });
}

void MeasurementCycle::AfterBattery(bool)
{
    uint32_t centivolts = 0;
    const bool read = m_device.FinishBattery(m_pending, centivolts);
    m_view.ShowInstrumentBattery(read, centivolts);
    m_view.LeaveBusy();
    m_job = Job::None;
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

void MeasurementCycle::BeginMeasurement(bool fromTimer)
{
    RunExchange(Job::Measurement, Measurer().Prepare(), &MeasurementCycle::EndMeasurement,
                fromTimer);
}

void MeasurementCycle::EndMeasurement(bool fromTimer)
{
    std::string error;
    const bool ok = m_survey != nullptr && Measurer().Complete(m_pending, error);
    m_view.LeaveBusy();
    m_job = Job::None;
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
    AfterMeasurement(fromTimer);
}

void MeasurementCycle::Cancel()
{
    if (m_job == Job::None) {
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
    m_device.CancelTransfer();
    m_runner.Abandon();
    // A reply that was complete before the cancel is kept.
    if (m_job == Job::Measurement && m_pending.transferred && m_survey != nullptr) {
        std::string error;
        (void)Measurer().Complete(m_pending, error);
    }
    m_job = Job::None;
    StopSeries();
    m_view.LeaveBusy();
}

void MeasurementCycle::FailMeasurement()
{
    m_view.ReportMeasurementFailure();
    m_device.CloseLink();
}

// After a stored measurement: the new position, the redraw, the full grid, the profile starts
// and the series count.
void MeasurementCycle::AfterMeasurement(bool fromTimer)
{
    m_view.MeasurementStored(!fromTimer || m_view.PageActive());
    if (!m_survey->IsTrack()) {
        if (Measurer().SurveyComplete()) {
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
    m_timerRunning = delay > 0 && m_runner.StartTimer(delay, [this] { TimerStep(); });
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
    m_runner.StopTimer();
    m_view.SeriesChanged();
}

void MeasurementCycle::TimerStep()
{
    if (!m_timerRunning || m_job != Job::None || m_survey == nullptr) {
        return;
    }
    if (m_config.TimerMode == 0) {
        StopSeries();
        m_view.Beep();
        return;
    }
    if (m_config.TimerDelay != m_timerDelayInUse && m_config.TimerDelay > 0) {
        m_timerDelayInUse = m_config.TimerDelay;
        (void)m_runner.StartTimer(m_timerDelayInUse, [this] { TimerStep(); });
    }
    BeginMeasurement(true);
}

}  // namespace orv
