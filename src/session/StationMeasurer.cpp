#include "session/StationMeasurer.h"

#include "base/MessagePoster.h"
#include "config/Configuration.h"
#include "gps/GpsLinkState.h"
#include "gps/GpsMatcher.h"
#include "instrument/InstrumentDevice.h"
#include "survey/GridSurvey.h"
#include "survey/Survey.h"
#include "survey/TrackSurvey.h"

#include <array>
#include <chrono>

namespace orv {

StationMeasurer::StationMeasurer(Survey& survey, InstrumentDevice& device, GpsMatcher* matcher,
                                 MessagePoster* window)
    : m_survey(survey), m_device(device), m_matcher(matcher), m_window(window)
{}

bool StationMeasurer::Connect(std::string& error)
{
    if (m_device.IsReady() || m_device.Connect()) {
        return true;
    }
    error = "Failed to connect to device";
    if (!m_device.LastError().empty()) {
        error += ": " + m_device.LastError();
    }
    return false;
}

bool StationMeasurer::Measure(std::string& error)
{
    if (!Connect(error)) {
        return false;
    }
    PendingExchange x = Prepare();
    m_device.Transfer(x);
    return Complete(x, error);
}

StationMeta StationMetaNow(const GpsLinkState* gps, uint32_t now, int staleSeconds)
{
    StationMeta meta;
    meta.unixTimeMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
    if (gps != nullptr && gps->haveFix && gps->FixAgeSeconds(now) <= staleSeconds) {
        meta.fixQuality = gps->fixQuality;
        meta.satellites = gps->satellites;
        meta.hdop = gps->hdop;
    }
    return meta;
}

PendingExchange StationMeasurer::Prepare() const
{
    return m_device.PrepareMeasure(m_survey.Config().TrasserMode != 0);
}

bool StationMeasurer::Complete(const PendingExchange& exchange, std::string& error)
{
    const int before = m_survey.CurrentIndex();
    bool decoded = false;
    bool stored = false;
    if (exchange.kind == PendingExchange::Kind::Series) {
        std::array<MeasurementSlot, kFrequencyCount> slots{};
        decoded = m_device.FinishSeries(exchange, slots);
        stored = decoded && m_survey.StoreSeries(slots);
    } else {
        MeasurementSlot slot;
        decoded = m_device.FinishMeasure(exchange, slot);
        stored = decoded && m_survey.StoreMeasurement(slot);
    }
    if (!stored) {
        error = "Failed to measure";
        if (!decoded && !m_device.LastError().empty()) {
            error += ": " + m_device.LastError();
        } else if (decoded) {
            error += ": out of memory for a new station";
        }
        // The instrument failed; the GPS link goes on by itself.
        m_device.CloseInstrument();
        return false;
    }
    const StationMeta meta = m_metaSource ? m_metaSource() : StationMetaNow();
    m_survey.SetStationMeta(m_survey.LastStored(), meta);
    const int after = m_survey.CurrentIndex();
    m_complete = after == before;
    m_firstStored = before;
    if (m_survey.IsTrack()) {
        for (const int index : m_survey.LastStored()) {
            RequestPosition(index);
        }
    }
    return true;
}

void StationMeasurer::RequestPosition(int index)
{
    const auto& track = static_cast<const TrackSurvey&>(m_survey);
    const uint32_t tickStamp = track.PositionAt(index).tickStamp;
    if (m_matcher == nullptr || m_window == nullptr) {
        m_pending.erase(index);
        ReportUnpositioned(index);
        return;
    }
    m_pending[index] = tickStamp;
    const uint32_t staleMs = m_survey.Config().GpsStaleMilliseconds();
    m_matcher->RequestPosition(PositionRequest{m_window, uint32_t(index), tickStamp, staleMs});
}

bool StationMeasurer::OnMessage(const ProgramMessage& message)
{
    if (!m_survey.IsTrack()) {
        return false;
    }
    if (message.message == message::kMeasurementPosition) {
        if (message.fix) {
            StorePosition(int(message.wParam), *message.fix);
        } else {
            GiveUpPosition(int(message.wParam), uint32_t(message.lParam));
        }
        return true;
    }
    if (message.message == message::kNewGpsFix && message.fix) {
        static_cast<TrackSurvey&>(m_survey).SetCurrentPosition(*message.fix);
        return true;
    }
    return false;
}

void StationMeasurer::StorePosition(int index, const GpsFix& fix)
{
    // An answer for an earlier measurement of a station measured again since leaves the new
    // measurement waiting for its own.
    const auto pending = m_pending.find(index);
    if (pending != m_pending.end() && pending->second == fix.tickStamp) {
        m_pending.erase(pending);
    }
    if (m_survey.IsTrack()) {
        static_cast<TrackSurvey&>(m_survey).AssignPosition(index, fix);
    }
}

void StationMeasurer::GiveUpPosition(int index, uint32_t tickStamp)
{
    const auto pending = m_pending.find(index);
    if (pending == m_pending.end() || pending->second != tickStamp) {
        return;
    }
    m_pending.erase(pending);
    const auto& track = static_cast<const TrackSurvey&>(m_survey);
    if (!track.HasPosition(index)) {
        ReportUnpositioned(index);
    }
}

void StationMeasurer::ExpirePositions()
{
    if (m_matcher != nullptr) {
        m_matcher->Expire();
    }
}

void StationMeasurer::ReportUnpositioned(int index)
{
    if (m_onUnpositioned) {
        m_onUnpositioned(index);
    }
}

std::vector<int> StationMeasurer::UnpositionedStations() const
{
    if (!m_survey.IsTrack()) {
        return {};
    }
    std::vector<int> stations = static_cast<const TrackSurvey&>(m_survey).UnpositionedStations();
    std::erase_if(stations, [this](int i) { return m_pending.contains(i); });
    return stations;
}

}  // namespace orv
