#pragma once
// One station of a survey, the way the Main pages take it, without a screen: connect when
// needed, measure at the cursor (a tracer series when TrasserMode is set), decode the reply into
// slots and store them in the survey, and on a GPS track give every new station the last known
// position and ask the GPS matcher for the position at the measurement's time. The matcher
// answers later through the window's MessagePoster (9034 with the station's fix, 9035 with every
// new fix, both by value); the window hands those messages back here on its own thread.
//
//     StationMeasurer measurer(*survey, device, &matcher, &window);
//     std::string error;
//     if (!measurer.Measure(error)) { tell(error); offer to save; }
//     ...
//     on 9034 or 9035: measurer.OnMessage(message);
//
// `orvtool survey` walks whole surveys with it; the Main pages use it through MeasurementCycle.

#include "base/GpsFix.h"
#include "instrument/InstrumentDevice.h"

#include <cstdint>
#include <set>
#include <string>

namespace orv {

class GpsMatcher;
class MessagePoster;
class Survey;
struct ProgramMessage;

class StationMeasurer
{
public:
    // `matcher` and `window` serve a track survey; either may be null (then a track keeps the
    // last known position of each station). All are borrowed.
    StationMeasurer(Survey& survey, InstrumentDevice& device, GpsMatcher* matcher,
                    MessagePoster* window);

    // Opens the link unless it is ready. False with "Failed to connect to device" and why.
    [[nodiscard]] bool Connect(std::string& error);
    // Connects if needed and measures one station (14 in tracer mode). False when the exchange
    // failed: nothing is stored, the link is closed so the next measurement reconnects, and
    // `error` says why.
    [[nodiscard]] bool Measure(std::string& error);
    // Measure in steps, for a caller that runs the port work on a worker thread:
    //     PendingExchange x = measurer.Prepare();   // this thread: reads the configuration
    //     device.Transfer(x);                       // the worker: the port only
    //     measurer.Complete(x, error);              // this thread: decode, store, positions
    // Connect first. Complete fails, closing the link, exactly where Measure would.
    [[nodiscard]] PendingExchange Prepare() const;
    [[nodiscard]] bool Complete(const PendingExchange& exchange, std::string& error);
    // True when the last successful measurement could not advance the cursor: a full grid,
    // whose last station the next measurement would replace ("Measure completed").
    [[nodiscard]] bool SurveyComplete() const { return m_complete; }
    // Where the last successful measurement began and where the cursor stands after it.
    [[nodiscard]] int FirstStored() const { return m_firstStored; }

    // 9034 (a station's own position) and 9035 (a new fix); other messages are ignored. True
    // when the message changed the survey.
    bool OnMessage(const ProgramMessage& message);
    // The position for station `index` (a fix with the station's tick stamp), as 9034 brings it.
    void StorePosition(int index, const GpsFix& fix);

    // Stations still waiting for the matcher's answer.
    [[nodiscard]] size_t PendingPositions() const { return m_pending.size(); }

private:
    void RequestPosition(int index);

    Survey& m_survey;
    InstrumentDevice& m_device;
    GpsMatcher* m_matcher;
    MessagePoster* m_window;
    std::set<int> m_pending;
    bool m_complete = false;
    int m_firstStored = 0;
};

}  // namespace orv
