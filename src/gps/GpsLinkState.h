#pragma once
// What the program knows of the link to the GPS receiver at one moment: whether its port is
// open, why not, and how old and how good the last valid fix is. The NMEA reader keeps it while
// it owns the port; the status strip, the GPS page and `orvtool survey` read copies of it
// (NmeaReader::LinkState, ProgramCore::GpsState) from any thread.
//
//     const GpsLinkState gps = core.GpsState();
//     const double age = gps.FixAgeSeconds(core.Ticks().Now());  // +inf without a fix
//     if (gps.kind == GpsLinkState::Kind::Lost) { show("GPS lost: " + gps.reason); }

#include <cstdint>
#include <string>

namespace orv {

struct GpsLinkState
{
    enum class Kind : uint8_t {
        Off,      // the GPS is not wanted: no link runs
        Opening,  // the link was started and opens its port for the first time
        NoPort,   // the port could not be opened yet; tried again every second or so
        Open,     // the port is open and read
        Lost,     // the open port failed (a read error, the device went away); being reopened
    };

    Kind kind = Kind::Off;
    std::string port;          // the device path of the GPS port, e.g. "/dev/rfcomm8"
    std::string reason;        // why the port is closed (NoPort, Lost), in the port's own words
    bool haveFix = false;      // a valid fix ('A') arrived since the link was started
    uint32_t lastFixTick = 0;  // tick count when the chunk holding that fix was read
    int fixQuality = 0;        // GGA fix quality of the latest sentence (0 invalid, 1 GPS, ...)
    int satellites = 0;        // GGA satellites used
    double hdop = 0.0;         // GGA horizontal dilution of precision
    uint32_t opens = 0;        // times the port was opened since the link was started
    uint32_t outages = 0;      // times the link failed since it was started

    // True while the link runs, whatever the port's state: the GPS is wanted.
    [[nodiscard]] bool Running() const { return kind != Kind::Off; }
    // Seconds since the last valid fix at tick `now`; +infinity without one, so that "no fix"
    // compares as older than any bound.
    [[nodiscard]] double FixAgeSeconds(uint32_t now) const;
};

// "Off", "Opening", "No port", "Open", "Lost": for logs and tools, not for the operator's texts.
const char* GpsLinkKindName(GpsLinkState::Kind kind);

}  // namespace orv
