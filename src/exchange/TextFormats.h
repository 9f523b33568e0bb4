#pragma once
// The formats written by hand: Geosoft XYZ, for which GDAL has no driver, and the CSV, GeoJSON
// and KML of a build without GDAL. The CSV is also what `orvtool export --format csv` prints on
// stdout, in the columns scripts have relied on: profile,station,x,y,f1.. for a grid and
// station,latitude,longitude,x,y,f1.. for a track.

#include "exchange/Placement.h"
#include "exchange/StationTable.h"

#include <cstdint>
#include <string>

namespace orv {

[[nodiscard]] std::string PlainCsv(const StationTable& table);
[[nodiscard]] std::string PlainGeoJson(const StationTable& table);
// False for a survey with no positioned station (KML holds places).
[[nodiscard]] bool PlainKml(const StationTable& table, std::string& out, std::string& error);

// Geosoft XYZ: a comment header naming the survey, the unit, the CRS and the columns, then a
// "Line <profile>" per profile (one for a track) and a row per station; "*" where a value is
// missing.
[[nodiscard]] std::string GeosoftXyz(const StationTable& table, const Placement& placement);

// "2024-05-01T10:00:01.500Z".
[[nodiscard]] std::string IsoTime(int64_t unixTimeMs);

}  // namespace orv
