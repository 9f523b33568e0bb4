#pragma once
// The formats a survey is exported in, by the names the command line and the window use.
//
//   ExportFormat format;
//   if (!ParseExportFormat("gpkg", format)) { ... }
//   if (!FormatAvailable(format)) { ... this build has no GDAL ... }

#include <string_view>

namespace orv {

enum class ExportFormat {
    GeoPackage,  // gpkg: stations as points, in the CRS asked for
    GeoJson,     // geojson: RFC 7946, WGS 84 longitude/latitude
    Kml,         // kml: placemarks, WGS 84
    Gpx,         // gpx: waypoints (and the walked track of a GPS track), WGS 84
    Csv,         // csv: one row per station, field types in a .csvt beside it
    GeosoftXyz,  // xyz: Geosoft XYZ, a Line per profile or track
    GeoTiff,     // tif: the gridded map, one band per frequency
    Surfer7,     // grd7: Surfer 7 binary grid of one frequency
    Surfer6,     // grd6: Surfer 6 ASCII grid of one frequency
};

// "gpkg", "geojson", "kml", "gpx", "csv", "xyz", "tif", "grd7", "grd6".
[[nodiscard]] bool ParseExportFormat(std::string_view name, ExportFormat& format);
[[nodiscard]] const char* FormatName(ExportFormat format);
// What a file dialog offers: "GeoPackage (*.gpkg)" and so on.
[[nodiscard]] const char* FormatDescription(ExportFormat format);
// The usual file name extension, with its dot.
[[nodiscard]] const char* FormatExtension(ExportFormat format);

// A gridded map rather than a table of stations.
[[nodiscard]] bool IsRasterFormat(ExportFormat format);
// Text that can go to stdout; the others need a file.
[[nodiscard]] bool IsTextFormat(ExportFormat format);
// Always WGS 84 longitude/latitude, whatever CRS is asked for.
[[nodiscard]] bool IsGeographicOnly(ExportFormat format);
// Whether this build can write the format: everything with GDAL and PROJ, otherwise the
// hand-written CSV, GeoJSON, KML and XYZ (without projections).
[[nodiscard]] bool FormatAvailable(ExportFormat format);
// True when the build has GDAL/OGR and PROJ.
[[nodiscard]] bool HaveGdal();

}  // namespace orv
