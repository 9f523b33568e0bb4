#pragma once
// What the GPS simulator sends: sentences of a synthesised walk, and a capture cut into the
// receiver's epochs (the sentences of one fix time) for replay at the receiver's pace.

#include "base/SystemClock.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv::sim {

// "$" body "*hh" CR LF, with the XOR checksum of the body in upper-case hex.
std::string FrameSentence(std::string_view body);

// A walk over flat ground: constant speed, a turn every so often, a fixed fix quality.
struct GpsWalk
{
    double latitude = 59.9127;  // degrees, start position
    double longitude = 10.7461;
    double speed = 1.2;      // metres per second
    double heading = 0.0;    // degrees from true north
    double turnEvery = 0.0;  // seconds between turns; 0 walks straight on
    double turnBy = 90.0;    // degrees added to the heading at each turn
    int quality = 1;         // GGA fix quality; 0 means no fix (RMC void, GSA "no fix")
    int satellites = 8;      // used, 4..12
    double hdop = 0.9;
    double altitude = 120.0;    // metres
    std::string talker = "GP";  // GP, or GN as combined receivers send
};

class WalkModel
{
public:
    explicit WalkModel(const GpsWalk& walk);

    // GGA, GSA, the GSV of the satellites used, and RMC for the position at `time`. With
    // `lostFix` the receiver has no fix this epoch (quality 0, RMC void), as under trees.
    [[nodiscard]] std::vector<std::string> Epoch(const UtcTime& time, bool lostFix = false) const;
    // Walks on for `seconds`, turning when a turn falls due.
    void Advance(double seconds);

    [[nodiscard]] double Latitude() const { return m_latitude; }
    [[nodiscard]] double Longitude() const { return m_longitude; }
    [[nodiscard]] double Heading() const { return m_heading; }

private:
    GpsWalk m_walk;
    double m_latitude;
    double m_longitude;
    double m_heading;
    double m_sinceTurn = 0.0;
};

// "ddmm.mmmmm" with `degreeDigits` 2 (latitude) or 3 (longitude), for a non-negative angle.
std::string FormatAngle(double degrees, int degreeDigits);

struct ReplayEpoch
{
    std::vector<uint8_t> bytes;        // as in the capture, line ends included
    std::optional<int64_t> timeOfDay;  // ms since midnight UTC of the epoch's fix, if any
};

// Cuts a capture into epochs: a new one starts at each sentence (GGA, RMC, GLL, ZDA, GNS, of
// any talker) whose time differs from the epoch's. Lines starting with '#' are the notes of a
// capture, not receiver output, and are left out; every other byte is kept as it is, binary
// included.
std::vector<ReplayEpoch> SplitIntoEpochs(std::span<const uint8_t> capture);

// Milliseconds from one epoch to the next at the receiver's pace: the step between their fix
// times (across midnight too), or 1000 when unknown or implausible (over 10 s, or none).
int64_t EpochDelay(const ReplayEpoch& from, const ReplayEpoch& to);

}  // namespace orv::sim
