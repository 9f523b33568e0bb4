#pragma once
// The latest values of the four NMEA sentences the controller reads (GGA, GSA, GSV, RMC), as the
// parser keeps them and copies them out in one block. The initialisers are the reset values.

#include <array>
#include <cstdint>

namespace orv {

struct SatelliteInView
{
    uint16_t prn = 0;
    uint16_t elevation = 0;  // degrees
    uint16_t azimuth = 0;    // degrees, true
    uint16_t snr = 0;        // dB; 0 when not tracked
    uint32_t used = 0;       // 1 when the PRN is among the GSA's used PRNs

    friend bool operator==(const SatelliteInView&, const SatelliteInView&) = default;
};

constexpr int kUsedPrnCount = 12;
constexpr int kSatelliteSlots = 36;  // nine GSV messages of four satellites

struct GpsStatus
{
    uint32_t sentenceCount = 0;  // sentences framed and accepted, of any type

    uint8_t ggaHour = 0;  // UTC
    uint8_t ggaMinute = 0;
    uint8_t ggaSecond = 0;
    uint16_t ggaMillis = 0;
    double ggaLatitude = 0.0;
    double ggaLongitude = 0.0;
    uint8_t fixQuality = 0;  // 0 invalid, 1 GPS, 2 DGPS, ...
    uint8_t satellitesUsed = 0;
    double ggaHdop = 0.0;
    double altitude = 0.0;       // metres
    double verticalSpeed = 0.0;  // metres per second, from successive GGA altitudes
    uint32_t ggaCount = 0;

    char gsaMode = 'M';                              // 'M' manual, 'A' automatic
    uint8_t fixType = 1;                             // 1 no fix, 2 2D, 3 3D
    std::array<uint16_t, kUsedPrnCount> usedPrns{};  // 0 = empty
    double pdop = 0.0;
    double hdop = 0.0;
    double vdop = 0.0;
    uint32_t gsaCount = 0;

    uint16_t satellitesInView = 0;
    std::array<SatelliteInView, kSatelliteSlots> satellites{};
    uint32_t gsvCount = 0;

    uint8_t rmcHour = 0;  // UTC
    uint8_t rmcMinute = 0;
    uint8_t rmcSecond = 0;
    uint16_t rmcMillis = 0;
    char rmcStatus = 'V';  // 'A' valid, 'V' void
    double rmcLatitude = 0.0;
    double rmcLongitude = 0.0;
    double speedKnots = 0.0;
    double courseDegrees = 0.0;  // true
    uint8_t day = 1;
    uint8_t month = 1;
    uint16_t year = 2000;            // four digits
    double magneticVariation = 0.0;  // degrees, west negative
    uint32_t rmcCount = 0;
    uint32_t rmcTick = 0;  // tick count when the chunk that held the latest RMC was read

    friend bool operator==(const GpsStatus&, const GpsStatus&) = default;
};

}  // namespace orv
