#include "session/StationMeasurer.h"

#include "base/MessagePoster.h"
#include "config/Configuration.h"
#include "gps/GpsMatcher.h"
#include "instrument/InstrumentDevice.h"
#include "survey/GridSurvey.h"
#include "survey/Survey.h"
#include "survey/TrackSurvey.h"

#include <array>

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
        m_device.CloseLink();
        return false;
    }
    const int after = m_survey.CurrentIndex();
    m_complete = after == before;
    m_firstStored = before;
    if (m_survey.IsTrack()) {
        for (int index = before; index < after; ++index) {
            RequestPosition(index);
        }
    }
    return true;
}

void StationMeasurer::RequestPosition(int index)
{
    auto& track = static_cast<TrackSurvey&>(m_survey);
    track.GiveLastKnownPosition(index);
    if (m_matcher == nullptr || m_window == nullptr) {
        return;
    }
    m_pending.insert(index);
    m_matcher->RequestPosition(
        PositionRequest{m_window, uint32_t(index), track.PositionAt(index).tickStamp});
}

bool StationMeasurer::OnMessage(const ProgramMessage& message)
{
    if (!message.fix || !m_survey.IsTrack()) {
        return false;
    }
    if (message.message == message::kMeasurementPosition) {
        StorePosition(int(message.wParam), *message.fix);
        return true;
    }
    if (message.message == message::kNewGpsFix) {
        static_cast<TrackSurvey&>(m_survey).SetCurrentPosition(*message.fix);
        return true;
    }
    return false;
}

void StationMeasurer::StorePosition(int index, const GpsFix& fix)
{
    m_pending.erase(index);
    if (m_survey.IsTrack()) {
        static_cast<TrackSurvey&>(m_survey).AssignPosition(index, fix);
    }
}

}  // namespace orv
