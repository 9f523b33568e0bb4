#include "exchange/ExportFormat.h"

#include <array>

namespace orv {

namespace {

struct FormatInfo
{
    ExportFormat format;
    const char* name;
    const char* description;
    const char* extension;
    bool raster;
    bool text;
    bool geographicOnly;
    bool handWritten;  // available without GDAL
};

constexpr std::array<FormatInfo, 9> kFormats = {{
    {ExportFormat::GeoPackage, "gpkg", "GeoPackage (*.gpkg)", ".gpkg", false, false, false, false},
    {ExportFormat::GeoJson, "geojson", "GeoJSON (*.geojson)", ".geojson", false, true, true, true},
    {ExportFormat::Kml, "kml", "KML (*.kml)", ".kml", false, true, true, true},
    {ExportFormat::Gpx, "gpx", "GPX (*.gpx)", ".gpx", false, true, true, false},
    {ExportFormat::Csv, "csv", "CSV (*.csv)", ".csv", false, true, false, true},
    {ExportFormat::GeosoftXyz, "xyz", "Geosoft XYZ (*.xyz)", ".xyz", false, true, false, true},
    {ExportFormat::GeoTiff, "tif", "GeoTIFF (*.tif)", ".tif", true, false, false, false},
    {ExportFormat::Surfer7, "grd7", "Surfer 7 grid (*.grd)", ".grd", true, false, false, false},
    {ExportFormat::Surfer6, "grd6", "Surfer 6 ASCII grid (*.grd)", ".grd", true, false, false,
     false},
}};

const FormatInfo& Info(ExportFormat format)
{
    for (const FormatInfo& info : kFormats) {
        if (info.format == format) {
            return info;
        }
    }
    return kFormats[0];
}

}  // namespace

bool ParseExportFormat(std::string_view name, ExportFormat& format)
{
    for (const FormatInfo& info : kFormats) {
        if (name == info.name) {
            format = info.format;
            return true;
        }
    }
    return false;
}

const char* FormatName(ExportFormat format) { return Info(format).name; }
const char* FormatDescription(ExportFormat format) { return Info(format).description; }
const char* FormatExtension(ExportFormat format) { return Info(format).extension; }
bool IsRasterFormat(ExportFormat format) { return Info(format).raster; }
bool IsTextFormat(ExportFormat format) { return Info(format).text; }
bool IsGeographicOnly(ExportFormat format) { return Info(format).geographicOnly; }

bool HaveGdal()
{
#ifdef ORV_HAVE_GDAL
    return true;
#else
    return false;
#endif
}

bool FormatAvailable(ExportFormat format) { return HaveGdal() || Info(format).handWritten; }

}  // namespace orv
