#include "gps/GpsLinkState.h"

#include <limits>

namespace orv {

double GpsLinkState::FixAgeSeconds(uint32_t now) const
{
    if (!haveFix) {
        return std::numeric_limits<double>::infinity();
    }
    // Unsigned: the tick counter may wrap between the fix and now.
    return double(uint32_t(now - lastFixTick)) / 1000.0;
}

const char* GpsLinkKindName(GpsLinkState::Kind kind)
{
    switch (kind) {
        case GpsLinkState::Kind::Off:
            return "Off";
        case GpsLinkState::Kind::Opening:
            return "Opening";
        case GpsLinkState::Kind::NoPort:
            return "No port";
        case GpsLinkState::Kind::Open:
            return "Open";
        case GpsLinkState::Kind::Lost:
            return "Lost";
    }
    return "?";
}

}  // namespace orv
