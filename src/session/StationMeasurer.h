#pragma once
// One station of a survey, the way the Main pages take it, without a screen: connect when
// needed, measure at the cursor (a tracer series when TrasserMode is set), decode the reply into
// slots and store them in the survey, and on a GPS track ask the GPS matcher for the position at
// each new station's time. The matcher answers later through the window's MessagePoster (9034
// with the station's fix, 9035 with every new fix, both by value); the window hands those
// messages back here on its own thread.
//
// Until its answer comes a station has no position (latitude 0, longitude 0), never the last
// known one. When the matcher can give none fresh enough (no fix within GpsStaleSeconds of the
// measurement: a receiver that went away or went quiet) it answers 9034 without a fix, and the
// station stays unpositioned: it is counted, listed, and told to the listener, so the operator
// can measure it again.
//
//     StationMeasurer measurer(*survey, device, &matcher, &window);
//     measurer.SetUnpositionedListener([&](int station) { beep(); show(station); });
//     std::string error;
//     if (!measurer.Measure(error)) { tell(error); offer to save; }
//     ...
//     on 9034 or 9035: measurer.OnMessage(message);
//
// `orvtool survey` walks whole surveys with it; the Main pages use it through MeasurementCycle.

#include "base/GpsFix.h"
#include "instrument/InstrumentDevice.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace orv {

class GpsMatcher;
class MessagePoster;
class Survey;
struct ProgramMessage;

class StationMeasurer
{
public:
    // `matcher` and `window` serve a track survey; either may be null (then a track's stations
    // stay unpositioned). All are borrowed.
    StationMeasurer(Survey& survey, InstrumentDevice& device, GpsMatcher* matcher,
                    MessagePoster* window);

    // Opens the link unless it is ready. False with "Failed to connect to device" and why.
    [[nodiscard]] bool Connect(std::string& error);
    // Connects if needed and measures one station (14 in tracer mode). False when the exchange
    // failed: nothing is stored, the instrument port is closed so the next measurement
    // reconnects (the GPS link goes on), and `error` says why.
    [[nodiscard]] bool Measure(std::string& error);
    // Measure in steps, for a caller that runs the port work on a worker thread:
    //     PendingExchange x = measurer.Prepare();   // this thread: reads the configuration
    //     device.Transfer(x);                       // the worker: the port only
    //     measurer.Complete(x, error);              // this thread: decode, store, positions
    // Connect first. Complete fails, closing the instrument port, exactly where Measure would.
    [[nodiscard]] PendingExchange Prepare() const;
    [[nodiscard]] bool Complete(const PendingExchange& exchange, std::string& error);
    // True when the last successful measurement could not advance the cursor: a full grid,
    // whose last station the next measurement would replace ("Measure completed").
    [[nodiscard]] bool SurveyComplete() const { return m_complete; }
    // Where the last successful measurement began and where the cursor stands after it.
    [[nodiscard]] int FirstStored() const { return m_firstStored; }

    // 9034 (a station's own position, or none to be had) and 9035 (a new fix); other messages
    // are ignored. True when the message changed the survey or its unpositioned stations.
    bool OnMessage(const ProgramMessage& message);
    // The position for station `index` (a fix with the station's tick stamp), as 9034 brings it.
    void StorePosition(int index, const GpsFix& fix);
    // No position can be had for station `index` measured at `tickStamp`, as 9034 without a fix
    // says: the station stays unpositioned and the listener hears of it. An answer for a
    // measurement that was replaced since is ignored.
    void GiveUpPosition(int index, uint32_t tickStamp);

    // Stations still waiting for the matcher's answer.
    [[nodiscard]] size_t PendingPositions() const { return m_pending.size(); }
    // The track's stations without a position that wait for none: to be measured again. A
    // grid survey has none.
    [[nodiscard]] std::vector<int> UnpositionedStations() const;
    [[nodiscard]] size_t UnpositionedCount() const { return UnpositionedStations().size(); }
    // Has the matcher give up, now, the requests older than their stale bound. The GPS link's
    // thread does so while it runs; a caller with a timer of its own (the status strip's) may
    // call it too, so that a station is reported on time even while the link's thread waits
    // for a port that is slow to open.
    void ExpirePositions();
    // Called on this thread for each station that turns out unpositioned, as it happens.
    void SetUnpositionedListener(std::function<void(int station)> listener)
    {
        m_onUnpositioned = std::move(listener);
    }

private:
    void RequestPosition(int index);
    void ReportUnpositioned(int index);

    Survey& m_survey;
    InstrumentDevice& m_device;
    GpsMatcher* m_matcher;
    MessagePoster* m_window;
    std::map<int, uint32_t> m_pending;  // station → the tick stamp its request carries
    std::function<void(int)> m_onUnpositioned;
    bool m_complete = false;
    int m_firstStored = 0;
};

}  // namespace orv
