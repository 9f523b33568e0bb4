#pragma once
// Writing a station table out in one of the exchange formats: stations as vector data
// (GeoPackage, GeoJSON, KML, GPX, CSV with a .csvt of field types, Geosoft XYZ) or the gridded
// maps as rasters (GeoTIFF with a band per frequency, Surfer 7 binary and Surfer 6 ASCII grids
// of one frequency), through GDAL/OGR where it has a driver and PROJ for the projections.
//
// WriteExport touches neither the configuration nor the survey, so it may run on a worker
// thread while the window goes on; `progress` is called now and then with the share done and
// stops the export when it returns false. Files appear whole or not at all: an export that
// fails or is cancelled leaves what was at the target as it was.
//
//   StationTable table;                                 // on the configuration's thread
//   if (!CollectStations(config, SourceOf(survey), {unit, frequency}, table, error)) { ... }
//   ExportOptions options;                              // on a worker
//   options.format = ExportFormat::GeoPackage;
//   options.place.crs = "utm";
//   ExportResult result;
//   if (!WriteExport(table, options, "survey.gpkg", progress, result, error)) { ... }
//
// Every station keeps its profile, station, time and fix quality (empty until the field log
// supplies them, see StationMeta), the serial of the instrument that measured it and the
// calibration the values were computed with, its position, and one field per frequency named
// with its frequency and unit ("f10000Hz_mSm"), in full single precision. Stations without a
// position have an empty geometry, never (0, 0).

#include "exchange/ExportFormat.h"
#include "exchange/MapGrid.h"
#include "exchange/Placement.h"
#include "exchange/StationTable.h"

#include <string>

namespace orv {

struct ExportOptions
{
    ExportFormat format = ExportFormat::GeoPackage;
    PlaceOptions place;
    RasterOptions raster;
};

struct ExportResult
{
    std::string crsLabel;  // the CRS x, y were written in; empty for the survey's own metres
    int features = 0;      // stations written (vector formats)
    int unplaced = 0;      // stations left out for want of a position (GPX only)
    int columns = 0;       // raster size
    int rows = 0;
    double cell = 0.0;    // raster cell size, x (metres or CRS units)
    int radiusCells = 0;  // a track map's gridding radius
};

// Writes `table` to `path`; an empty path writes a text format to stdout. False, with the
// reason in words an operator can act on, when the format is not available in this build, when
// the survey cannot be written in it (a grid without positions to a GPS format, a survey of one
// profile to a raster), on a write error, or when cancelled ("Export cancelled").
[[nodiscard]] bool WriteExport(const StationTable& table, const ExportOptions& options,
                               const std::string& path, const ExportProgress& progress,
                               ExportResult& result, std::string& error);

}  // namespace orv
