#include "exchange/Placement.h"

#ifdef ORV_HAVE_PROJ
#include "exchange/Projection.h"
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>

namespace orv {

namespace {

std::string Number(double v)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

#ifdef ORV_HAVE_PROJ
constexpr double kDegree = std::numbers::pi / 180.0;

// Survey metres to metres east and north of station 0.
Affine Rotation(double azimuth)
{
    const double s = std::sin(azimuth * kDegree);
    const double c = std::cos(azimuth * kDegree);
    return {0.0, s, -c, 0.0, c, s};
}

void Apply(const Affine& a, double x, double y, double& outX, double& outY)
{
    outX = a[0] + a[1] * x + a[2] * y;
    outY = a[3] + a[4] * x + a[5] * y;
}
#endif

bool ValidOrigin(const GridOrigin& origin, std::string& error)
{
    if (!std::isfinite(origin.latitude) || std::abs(origin.latitude) > 90.0 ||
        !std::isfinite(origin.longitude) || std::abs(origin.longitude) > 180.0) {
        error = "the origin needs a latitude from -90 to 90 and a longitude from -180 to 180";
        return false;
    }
    if (!std::isfinite(origin.azimuth)) {
        error = "the azimuth needs to be a number of degrees";
        return false;
    }
    return true;
}

#ifdef ORV_HAVE_PROJ
// The UTM zone (WGS 84) of the middle of the placed stations.
bool UtmOf(const Placement& placement, std::string& crs, std::string& label)
{
    double west = 180.0;
    double east = -180.0;
    double south = 90.0;
    double north = -90.0;
    bool any = false;
    for (size_t i = 0; i < placement.hasGeographic.size(); ++i) {
        if (placement.hasGeographic[i] == 0) {
            continue;
        }
        any = true;
        west = std::min(west, placement.longitude[i]);
        east = std::max(east, placement.longitude[i]);
        south = std::min(south, placement.latitude[i]);
        north = std::max(north, placement.latitude[i]);
    }
    if (!any) {
        return false;
    }
    const double middle = (west + east) / 2.0;
    const int zone = std::clamp(int(std::floor((middle + 180.0) / 6.0)) + 1, 1, 60);
    const bool northern = (south + north) / 2.0 >= 0.0;
    const int code = (northern ? 32600 : 32700) + zone;
    crs = "EPSG:" + std::to_string(code);
    label = "UTM zone " + std::to_string(zone) + (northern ? "N" : "S") + " (" + crs + ")";
    return true;
}
#endif

}  // namespace

bool Placement::AnyGeographic() const
{
    return std::any_of(hasGeographic.begin(), hasGeographic.end(), [](uint8_t h) { return h; });
}

bool PlaceStations(const StationTable& table, const PlaceOptions& options, Placement& placement,
                   std::string& error)
{
    const size_t n = table.rows.size();
    Placement out;
    out.hasGeographic.assign(n, 0);
    out.longitude.assign(n, 0.0);
    out.latitude.assign(n, 0.0);
    out.hasXy.assign(n, 0);
    out.x.assign(n, 0.0);
    out.y.assign(n, 0.0);

#ifndef ORV_HAVE_PROJ
    if (!options.crs.empty() || options.origin) {
        error = "this build has no PROJ: projections (--crs) and grid origins (--origin) need it";
        return false;
    }
#endif
    if (table.IsTrack()) {
        if (options.origin) {
            error = "a GPS track has its own positions: an origin is only for grid surveys";
            return false;
        }
        for (size_t i = 0; i < n; ++i) {
            const StationRow& row = table.rows[i];
            out.hasGeographic[i] = row.positioned;
            out.longitude[i] = row.longitude;
            out.latitude[i] = row.latitude;
        }
        if (table.haveLocalOrigin) {
            const std::string lat = Number(table.originLatitude);
            out.surveyFrameCrs = "+proj=eqc +lat_ts=" + lat + " +lat_0=" + lat +
                                 " +lon_0=" + Number(table.originLongitude) +
                                 " +x_0=0 +y_0=0 +R=6371000 +units=m +no_defs +type=crs";
        }
    } else if (options.origin) {
        if (!ValidOrigin(*options.origin, error)) {
            return false;
        }
#ifdef ORV_HAVE_PROJ
        out.surveyFrameCrs = "+proj=aeqd +lat_0=" + Number(options.origin->latitude) +
                             " +lon_0=" + Number(options.origin->longitude) +
                             " +x_0=0 +y_0=0 +datum=WGS84 +units=m +no_defs +type=crs";
        const auto frame = Projection::Create("EPSG:4326", out.surveyFrameCrs, error);
        if (!frame) {
            return false;
        }
        out.gridToFrame = Rotation(options.origin->azimuth);
        for (size_t i = 0; i < n; ++i) {
            double e = 0.0;
            double north = 0.0;
            Apply(*out.gridToFrame, table.rows[i].x, table.rows[i].y, e, north);
            if (frame->Inverse(e, north)) {
                out.hasGeographic[i] = 1;
                out.longitude[i] = e;
                out.latitude[i] = north;
            }
        }
#endif
    }

    if (options.crs.empty()) {
        for (size_t i = 0; i < n; ++i) {
            const StationRow& row = table.rows[i];
            out.hasXy[i] = row.local;
            out.x[i] = row.x;
            out.y[i] = row.y;
        }
        placement = std::move(out);
        return true;
    }

#ifdef ORV_HAVE_PROJ
    if (!out.AnyGeographic()) {
        error = table.IsTrack()
                    ? "no station of this track has a GPS position, so there is nothing to "
                      "project"
                    : "a grid survey lies on the ground only with --origin LAT,LON (and "
                      "--azimuth DEG): give them to use --crs";
        return false;
    }
    if (options.crs == "utm") {
        static_cast<void>(UtmOf(out, out.crs, out.crsLabel));
    } else {
        if (!IsKnownCrs(options.crs, error)) {
            return false;
        }
        out.crs = options.crs;
        out.crsLabel = options.crs;
    }
    const auto projection = Projection::Create("EPSG:4326", out.crs, error);
    if (!projection) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        double x = out.longitude[i];
        double y = out.latitude[i];
        if (out.hasGeographic[i] != 0 && projection->Forward(x, y)) {
            out.hasXy[i] = 1;
            out.x[i] = x;
            out.y[i] = y;
        }
    }
    if (out.gridToFrame) {
        // Three corners of the survey, through the ground, into the CRS: over a survey's few
        // hundred metres the map between the two frames is affine to well below a millimetre.
        const auto frame = Projection::Create("EPSG:4326", out.surveyFrameCrs, error);
        if (!frame) {
            return false;
        }
        const double side = std::max({1.0, double(table.xStep) * (table.stations - 1),
                                      double(table.yStep) * (table.profiles - 1)});
        double px[3];
        double py[3];
        const double corners[3][2] = {{0.0, 0.0}, {side, 0.0}, {0.0, side}};
        for (int k = 0; k < 3; ++k) {
            Apply(*out.gridToFrame, corners[k][0], corners[k][1], px[k], py[k]);
            if (!frame->Inverse(px[k], py[k]) || !projection->Forward(px[k], py[k])) {
                error = "the survey does not lie within " + out.crsLabel;
                return false;
            }
        }
        out.gridToCrs = Affine{px[0], (px[1] - px[0]) / side, (px[2] - px[0]) / side,
                               py[0], (py[1] - py[0]) / side, (py[2] - py[0]) / side};
    }
    placement = std::move(out);
    return true;
#else
    return false;
#endif
}

}  // namespace orv
