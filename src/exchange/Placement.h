#pragma once
// Where the stations of a table lie in the output: WGS 84 longitude/latitude for the formats
// that take only that, and x, y in the CRS asked for (or in the survey's own metres when none
// is). A GPS track has its fixes; a grid survey is placed on the ground only when the user gives
// the geographic position of its first station and the direction of its profiles.
//
// Projections go through PROJ: `utm` takes the UTM zone (WGS 84) of the middle of the stations,
// anything else PROJ knows as a map CRS is taken as given ("EPSG:32633").

#include "exchange/StationTable.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orv {

// Station 0 of profile 0 of a grid survey on the ground. The azimuth (degrees clockwise from
// true north) is the direction from station 0 to station 1; profiles follow each other to its
// left, as the Main page draws them upwards with the stations to the right. Azimuth 90 puts
// stations east and profiles north.
struct GridOrigin
{
    double latitude = 0.0;
    double longitude = 0.0;
    double azimuth = 90.0;
};

struct PlaceOptions
{
    std::string crs;  // "", "utm" or a CRS PROJ knows
    std::optional<GridOrigin> origin;
};

// A 2-D affine map: x' = c[0] + c[1] x + c[2] y, y' = c[3] + c[4] x + c[5] y.
using Affine = std::array<double, 6>;

struct Placement
{
    // The CRS of x, y: a definition GDAL and PROJ take, and a short label ("EPSG:32633",
    // "UTM zone 33N (EPSG:32633)"). Empty for the survey's own metres.
    std::string crs;
    std::string crsLabel;

    // Per row of the table.
    std::vector<uint8_t> hasGeographic;
    std::vector<double> longitude;
    std::vector<double> latitude;
    std::vector<uint8_t> hasXy;
    std::vector<double> x;
    std::vector<double> y;

    // The survey's own frame as a CRS, when it is one: a track's local metres are the
    // equidistant cylindrical projection about its first station on the Main page's sphere; a
    // grid placed by an origin lies in the azimuthal equidistant projection about that origin.
    std::string surveyFrameCrs;
    // From a grid survey's metres (x along the stations, y along the profiles) to the CRS of
    // x, y, or to surveyFrameCrs when no CRS was asked for; exact for the survey frame, fitted
    // at the corners of the survey for a projected CRS.
    std::optional<Affine> gridToCrs;
    std::optional<Affine> gridToFrame;

    [[nodiscard]] bool AnyGeographic() const;
};

// False, with the reason, when the CRS is unknown, when a projection is asked for a survey with
// no position, or when this build has no PROJ and the options need it.
[[nodiscard]] bool PlaceStations(const StationTable& table, const PlaceOptions& options,
                                 Placement& placement, std::string& error);

}  // namespace orv
