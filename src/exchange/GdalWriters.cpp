#include "exchange/GdalWriters.h"

#include "base/NoValue.h"
#include "exchange/NumberText.h"
#include "exchange/TextFormats.h"

#include <cctype>
#include <cmath>
#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <cstdio>
#include <ctime>
#include <gdal.h>
#include <memory>
#include <mutex>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <optional>
#include <vector>

namespace orv {

namespace {

// GDAL's messages for the calling thread, kept for the operator instead of printed, and its
// settings for our writes: no .aux.xml sidecar files (every format here holds what it can).
class GdalScope
{
public:
    GdalScope()
    {
        static std::once_flag registered;
        std::call_once(registered, [] { GDALAllRegister(); });
        CPLPushErrorHandlerEx(&GdalScope::Collect, this);
        const char* pam = CPLGetThreadLocalConfigOption("GDAL_PAM_ENABLED", nullptr);
        if (pam != nullptr) {
            m_pam = pam;
        }
        CPLSetThreadLocalConfigOption("GDAL_PAM_ENABLED", "NO");
    }
    ~GdalScope()
    {
        CPLSetThreadLocalConfigOption("GDAL_PAM_ENABLED", m_pam ? m_pam->c_str() : nullptr);
        CPLPopErrorHandler();
    }
    GdalScope(const GdalScope&) = delete;
    GdalScope& operator=(const GdalScope&) = delete;

    [[nodiscard]] int Failures() const { return m_failures; }
    [[nodiscard]] std::string Reason(const std::string& what) const
    {
        return m_last.empty() ? what : what + ": " + m_last;
    }

private:
    static void CPL_STDCALL Collect(CPLErr kind, CPLErrorNum, const char* message)
    {
        auto* self = static_cast<GdalScope*>(CPLGetErrorHandlerUserData());
        if (self != nullptr && kind >= CE_Failure) {
            ++self->m_failures;
            self->m_last = message != nullptr ? message : "";
        }
    }

    std::optional<std::string> m_pam;
    std::string m_last;
    int m_failures = 0;
};

class OptionList
{
public:
    OptionList() = default;
    ~OptionList() { CSLDestroy(m_list); }
    OptionList(const OptionList&) = delete;
    OptionList& operator=(const OptionList&) = delete;

    OptionList& Set(const char* key, const std::string& value)
    {
        m_list = CSLSetNameValue(m_list, key, value.c_str());
        return *this;
    }
    [[nodiscard]] char** List() const { return m_list; }

private:
    char** m_list = nullptr;
};

struct DatasetCloser
{
    void operator()(void* dataset) const { GDALClose(dataset); }
};
using Dataset = std::unique_ptr<void, DatasetCloser>;

struct SrsReleaser
{
    void operator()(void* srs) const { OSRRelease(srs); }
};
using Srs = std::unique_ptr<void, SrsReleaser>;

struct FeatureDestroyer
{
    void operator()(void* feature) const { OGR_F_Destroy(feature); }
};
using Feature = std::unique_ptr<void, FeatureDestroyer>;

// A survey's own metres: a plane without a place on the Earth.
constexpr const char* kSurveyMetres =
    "LOCAL_CS[\"survey metres\",LOCAL_DATUM[\"survey\",32767],UNIT[\"metre\",1],"
    "AXIS[\"x\",EAST],AXIS[\"y\",NORTH]]";

Srs MakeSrs(const std::string& definition, GdalScope& gdal, std::string& error)
{
    Srs srs(OSRNewSpatialReference(nullptr));
    if (!srs || OSRSetFromUserInput(srs.get(), definition.c_str()) != OGRERR_NONE) {
        error = gdal.Reason("GDAL does not know the CRS '" + definition + "'");
        return nullptr;
    }
    OSRSetAxisMappingStrategy(srs.get(), OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

const char* DriverName(ExportFormat format)
{
    switch (format) {
        case ExportFormat::GeoPackage:
            return "GPKG";
        case ExportFormat::GeoJson:
            return "GeoJSON";
        case ExportFormat::Kml:
            return "KML";
        case ExportFormat::Gpx:
            return "GPX";
        case ExportFormat::Csv:
            return "CSV";
        case ExportFormat::GeoTiff:
            return "GTiff";
        case ExportFormat::Surfer7:
            return "GS7BG";
        case ExportFormat::Surfer6:
            return "GSAG";
        case ExportFormat::GeosoftXyz:
            break;
    }
    return "";
}

// What a GIS shows as the layer's description: units and frequencies of the value fields.
std::string Description(const StationTable& table, const Placement& placement)
{
    std::string text = "ORV stations, values in " + std::string(UnitText(table.kind)) +
                       ", calibration " + table.CalibrationText() + ";";
    for (const FrequencyColumn& column : table.frequencies) {
        text += " " + column.name + ": frequency " + std::to_string(column.number) + ", " +
                DoubleText(column.hertz) + " Hz;";
    }
    text += " x, y: " + (placement.crs.empty()
                             ? std::string(table.IsTrack() ? "metres east and north of "
                                                             "the first placed station"
                                                           : "survey metres")
                             : placement.crsLabel);
    return text;
}

// XML element names allow letters, digits, '_', '-' and '.' only: KML's layer name becomes one.
std::string XmlName(const std::string& name)
{
    std::string out;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        out += (std::isalnum(u) != 0 || c == '_' || c == '-' || c == '.' || u >= 0x80) ? c : '_';
    }
    if (out.empty() || std::isdigit(static_cast<unsigned char>(out[0])) != 0) {
        out = "_" + out;
    }
    return out;
}

struct ProgressRelay
{
    const ExportProgress& progress;
    bool cancelled = false;
};

int CPL_STDCALL GdalProgress(double done, const char*, void* data)
{
    auto* relay = static_cast<ProgressRelay*>(data);
    if (relay->progress && !relay->progress(done)) {
        relay->cancelled = true;
        return FALSE;
    }
    return TRUE;
}

bool EndsWithCsv(const std::string& path)
{
    if (path.size() < 4) {
        return false;
    }
    std::string extension = path.substr(path.size() - 4);
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return extension == ".csv";
}

// Where the vector layer puts its points.
enum class Geometry { None, Geographic, Projected, SurveyMetres };

struct FieldIndex
{
    int name = -1;
    int profile = -1;
    int station = -1;
    int time = -1;
    int fixQuality = -1;
    int satellites = -1;
    int hdop = -1;
    int serial = -1;
    int calibration = -1;
    int latitude = -1;
    int longitude = -1;
    int x = -1;
    int y = -1;
    int tick = -1;
    std::vector<int> values;
};

bool AddField(void* layer, const char* name, OGRFieldType type, OGRFieldSubType subtype,
              GdalScope& gdal, std::string& error)
{
    OGRFieldDefnH field = OGR_Fld_Create(name, type);
    OGR_Fld_SetSubType(field, subtype);
    const OGRErr result = OGR_L_CreateField(layer, field, TRUE);
    OGR_Fld_Destroy(field);
    if (result != OGRERR_NONE) {
        error = gdal.Reason(std::string("the field '") + name + "' cannot be made");
        return false;
    }
    return true;
}

void SetTime(void* feature, int index, int64_t unixTimeMs)
{
    const int64_t seconds = unixTimeMs >= 0 ? unixTimeMs / 1000 : (unixTimeMs - 999) / 1000;
    const auto t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    if (gmtime_r(&t, &utc) == nullptr) {
        return;
    }
    const float second =
        static_cast<float>(utc.tm_sec) + static_cast<float>(unixTimeMs - seconds * 1000) / 1000.0f;
    // Time zone flag 100: UTC.
    OGR_F_SetFieldDateTimeEx(feature, index, utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                             utc.tm_hour, utc.tm_min, second, 100);
}

}  // namespace

bool WriteGdalVector(const StationTable& table, const Placement& placement, ExportFormat format,
                     const std::string& path, const ExportProgress& progress, ExportResult& result,
                     std::string& error)
{
    GdalScope gdal;
    const bool gpx = format == ExportFormat::Gpx;
    const bool named = gpx || format == ExportFormat::Kml;
    Geometry geometry = Geometry::Geographic;
    std::string crs = "EPSG:4326";
    if (format == ExportFormat::Csv) {
        geometry = Geometry::None;
    } else if (format == ExportFormat::GeoPackage) {
        if (!placement.crs.empty()) {
            geometry = Geometry::Projected;
            crs = placement.crs;
        } else if (!placement.AnyGeographic()) {
            geometry = Geometry::SurveyMetres;
            crs = kSurveyMetres;
        }
    }
    // GPX and KML hold places: a survey without any has nothing to show in them.
    if (named && !placement.AnyGeographic()) {
        error = std::string(table.IsTrack() ? "no station of this track has a GPS position"
                                            : "a grid survey has no GPS positions") +
                " for " + (gpx ? "GPX" : "KML") +
                (table.IsTrack() ? ""
                                 : "; give --origin LAT,LON (and --azimuth DEG), or use csv, "
                                   "geojson or gpkg");
        return false;
    }

    GDALDriverH driver = GDALGetDriverByName(DriverName(format));
    if (driver == nullptr) {
        error = std::string("this GDAL has no ") + DriverName(format) + " driver";
        return false;
    }
    OptionList datasetOptions;
    OptionList layerOptions;
    std::string layerName = table.layerName;
    switch (format) {
        case ExportFormat::GeoPackage:
            layerOptions.Set("DESCRIPTION", Description(table, placement));
            break;
        case ExportFormat::GeoJson:
            // Nine significant figures write every float exactly and with its shortest digits.
            layerOptions.Set("RFC7946", "YES")
                .Set("COORDINATE_PRECISION", "7")
                .Set("SIGNIFICANT_FIGURES", "9")
                .Set("WRITE_NAME", "YES")
                .Set("DESCRIPTION", Description(table, placement));
            break;
        case ExportFormat::Kml:
            datasetOptions.Set("NameField", "name");
            layerName = XmlName(layerName);
            break;
        case ExportFormat::Gpx:
            datasetOptions.Set("GPX_USE_EXTENSIONS", "YES");
            layerName = "waypoints";
            break;
        case ExportFormat::Csv:
            layerOptions.Set("CREATE_CSVT", "YES")
                .Set("LINEFORMAT", "LF")
                .Set("STRING_QUOTING", "IF_NEEDED");
            break;
        default:
            break;
    }

    Srs srs;
    if (geometry != Geometry::None) {
        srs = MakeSrs(crs, gdal, error);
        if (!srs) {
            return false;
        }
    }
    // GDAL takes a CSV path without the .csv extension for a folder of layers: such a file is
    // written with the extension and renamed when complete.
    std::string target = path;
    if (format == ExportFormat::Csv && !EndsWithCsv(path)) {
        target += ".csv";
    }
    Dataset dataset(
        GDALCreate(driver, target.c_str(), 0, 0, 0, GDT_Unknown, datasetOptions.List()));
    if (!dataset) {
        error = gdal.Reason("the file cannot be made");
        return false;
    }
    void* layer = GDALDatasetCreateLayer(dataset.get(), layerName.c_str(), srs.get(),
                                         geometry == Geometry::None ? wkbNone : wkbPoint,
                                         layerOptions.List());
    if (layer == nullptr) {
        error = gdal.Reason("the layer cannot be made");
        return false;
    }

    // A displayed value is a float; the drivers print doubles, so each gets the double nearest
    // the float's shortest digits. GeoJSON's geometry is the position, to RFC 7946's 7 decimals.
    const bool geographicFields = !gpx && format != ExportFormat::GeoJson;
    const bool ok =
        (!named || AddField(layer, "name", OFTString, OFSTNone, gdal, error)) &&
        AddField(layer, "profile", OFTInteger, OFSTNone, gdal, error) &&
        AddField(layer, "station", OFTInteger, OFSTNone, gdal, error) &&
        AddField(layer, "time", OFTDateTime, OFSTNone, gdal, error) &&
        AddField(layer, "fix_quality", OFTInteger, OFSTNone, gdal, error) &&
        AddField(layer, gpx ? "sat" : "satellites", OFTInteger, OFSTNone, gdal, error) &&
        AddField(layer, "hdop", OFTReal, OFSTNone, gdal, error) &&
        AddField(layer, "serial", OFTInteger, OFSTNone, gdal, error) &&
        AddField(layer, "calibration", OFTString, OFSTNone, gdal, error) &&
        (!geographicFields || (AddField(layer, "latitude", OFTReal, OFSTNone, gdal, error) &&
                               AddField(layer, "longitude", OFTReal, OFSTNone, gdal, error))) &&
        AddField(layer, "x", OFTReal, OFSTNone, gdal, error) &&
        AddField(layer, "y", OFTReal, OFSTNone, gdal, error) &&
        AddField(layer, "tick_ms", OFTInteger64, OFSTNone, gdal, error);
    if (!ok) {
        return false;
    }
    for (const FrequencyColumn& column : table.frequencies) {
        if (!AddField(layer, column.name.c_str(), OFTReal, OFSTNone, gdal, error)) {
            return false;
        }
    }
    OGRFeatureDefnH definition = OGR_L_GetLayerDefn(layer);
    const auto index = [&](const char* name) { return OGR_FD_GetFieldIndex(definition, name); };
    FieldIndex f;
    f.name = named ? index("name") : -1;
    f.profile = index("profile");
    f.station = index("station");
    f.time = index("time");
    f.fixQuality = index("fix_quality");
    f.satellites = index(gpx ? "sat" : "satellites");
    f.hdop = index("hdop");
    f.serial = index("serial");
    f.calibration = index("calibration");
    f.latitude = index("latitude");
    f.longitude = index("longitude");
    f.x = index("x");
    f.y = index("y");
    f.tick = index("tick_ms");
    for (const FrequencyColumn& column : table.frequencies) {
        f.values.push_back(index(column.name.c_str()));
    }

    const bool transaction = GDALDatasetTestCapability(dataset.get(), ODsCTransactions) != 0 &&
                             GDALDatasetStartTransaction(dataset.get(), FALSE) == OGRERR_NONE;
    const std::string calibration = table.CalibrationText();
    const bool localXy = placement.crs.empty();
    const size_t n = table.rows.size();
    for (size_t r = 0; r < n; ++r) {
        const StationRow& row = table.rows[r];
        const bool geographic = placement.hasGeographic[r] != 0;
        if (gpx && !geographic) {
            ++result.unplaced;
            continue;
        }
        Feature feature(OGR_F_Create(definition));
        if (f.name >= 0) {
            const std::string name = table.IsTrack()
                                         ? "Station " + std::to_string(row.station)
                                         : "Profile " + std::to_string(row.profile) + " station " +
                                               std::to_string(row.station);
            OGR_F_SetFieldString(feature.get(), f.name, name.c_str());
        }
        OGR_F_SetFieldInteger(feature.get(), f.profile, row.profile);
        OGR_F_SetFieldInteger(feature.get(), f.station, row.station);
        if (row.meta.unixTimeMs) {
            SetTime(feature.get(), f.time, *row.meta.unixTimeMs);
        }
        if (row.meta.fixQuality) {
            OGR_F_SetFieldInteger(feature.get(), f.fixQuality, *row.meta.fixQuality);
        }
        if (row.meta.satellites) {
            OGR_F_SetFieldInteger(feature.get(), f.satellites, *row.meta.satellites);
        }
        if (row.meta.hdop && std::isfinite(*row.meta.hdop)) {
            OGR_F_SetFieldDouble(feature.get(), f.hdop, *row.meta.hdop);
        }
        OGR_F_SetFieldInteger(feature.get(), f.serial, int(row.serial));
        OGR_F_SetFieldString(feature.get(), f.calibration, calibration.c_str());
        if (geographic && f.latitude >= 0) {
            OGR_F_SetFieldDouble(feature.get(), f.latitude, placement.latitude[r]);
            OGR_F_SetFieldDouble(feature.get(), f.longitude, placement.longitude[r]);
        }
        if (placement.hasXy[r] != 0) {
            const double x = placement.x[r];
            const double y = placement.y[r];
            OGR_F_SetFieldDouble(feature.get(), f.x, localXy ? ShortFloat(float(x)) : x);
            OGR_F_SetFieldDouble(feature.get(), f.y, localXy ? ShortFloat(float(y)) : y);
        }
        OGR_F_SetFieldInteger64(feature.get(), f.tick, GIntBig{row.tickStamp});
        for (size_t c = 0; c < table.frequencies.size(); ++c) {
            const float v = table.Value(r, c);
            if (!std::isfinite(v)) {
                OGR_F_SetFieldNull(feature.get(), f.values[c]);
            } else {
                OGR_F_SetFieldDouble(feature.get(), f.values[c], ShortFloat(v));
            }
        }
        OGRGeometryH point = nullptr;
        if (geometry == Geometry::Geographic && geographic) {
            point = OGR_G_CreateGeometry(wkbPoint);
            OGR_G_SetPoint_2D(point, 0, placement.longitude[r], placement.latitude[r]);
        } else if ((geometry == Geometry::Projected || geometry == Geometry::SurveyMetres) &&
                   placement.hasXy[r] != 0) {
            point = OGR_G_CreateGeometry(wkbPoint);
            OGR_G_SetPoint_2D(point, 0, placement.x[r], placement.y[r]);
        }
        if (point != nullptr) {
            OGR_F_SetGeometryDirectly(feature.get(), point);
        }
        if (OGR_L_CreateFeature(layer, feature.get()) != OGRERR_NONE) {
            error = gdal.Reason("station " + std::to_string(row.station) + " cannot be written");
            return false;
        }
        ++result.features;
        if (progress && (r % 1024) == 1023 && !progress(double(r + 1) / double(n))) {
            error = "Export cancelled";
            return false;
        }
    }

    if (gpx && table.IsTrack()) {
        // The walked track: the placed stations in the order they were measured.
        OGRGeometryH line = OGR_G_CreateGeometry(wkbLineString);
        for (size_t r = 0; r < n; ++r) {
            if (placement.hasGeographic[r] != 0) {
                OGR_G_AddPoint_2D(line, placement.longitude[r], placement.latitude[r]);
            }
        }
        if (OGR_G_GetPointCount(line) >= 2) {
            void* tracks = GDALDatasetCreateLayer(dataset.get(), "tracks", srs.get(),
                                                  wkbMultiLineString, nullptr);
            OGRGeometryH multi = OGR_G_CreateGeometry(wkbMultiLineString);
            OGR_G_AddGeometryDirectly(multi, line);
            line = nullptr;
            Feature track(tracks != nullptr ? OGR_F_Create(OGR_L_GetLayerDefn(tracks)) : nullptr);
            if (!track) {
                OGR_G_DestroyGeometry(multi);
                error = gdal.Reason("the track cannot be written");
                return false;
            }
            OGR_F_SetFieldString(track.get(), OGR_F_GetFieldIndex(track.get(), "name"),
                                 table.layerName.c_str());
            OGR_F_SetGeometryDirectly(track.get(), multi);
            if (OGR_L_CreateFeature(tracks, track.get()) != OGRERR_NONE) {
                error = gdal.Reason("the track cannot be written");
                return false;
            }
        }
        if (line != nullptr) {
            OGR_G_DestroyGeometry(line);
        }
    }
    if (transaction && GDALDatasetCommitTransaction(dataset.get()) != OGRERR_NONE) {
        error = gdal.Reason("the file cannot be completed");
        return false;
    }
    const int failuresBefore = gdal.Failures();
    dataset.reset();
    if (gdal.Failures() != failuresBefore) {
        error = gdal.Reason("the file cannot be completed");
        return false;
    }
    if (target != path && std::rename(target.c_str(), path.c_str()) != 0) {
        error = "the file cannot be completed";
        return false;
    }
    if (progress && !progress(1.0)) {
        error = "Export cancelled";
        return false;
    }
    return true;
}

bool WriteGdalRaster(const StationTable& table, const Placement& placement, const MapRaster& raster,
                     std::span<const size_t> which, ExportFormat format, const std::string& path,
                     const ExportProgress& progress, std::string& error)
{
    GdalScope gdal;
    const bool surfer = format == ExportFormat::Surfer7 || format == ExportFormat::Surfer6;
    if (surfer && raster.bands.size() != 1) {
        error = "a Surfer grid holds one frequency: say which with --frequency N";
        return false;
    }
    // Surfer grids have rows and columns along x and y and no CRS.
    if (surfer && raster.surveyFrame && !placement.crs.empty()) {
        error =
            "a Surfer grid cannot hold a grid survey turned into a CRS; leave out --crs (the "
            "grid is then in the survey's own metres) or write a GeoTIFF";
        return false;
    }
    GDALDriverH driver = GDALGetDriverByName(DriverName(format));
    GDALDriverH memory = GDALGetDriverByName("MEM");
    if (driver == nullptr || memory == nullptr) {
        error = std::string("this GDAL has no ") + DriverName(format) + " driver";
        return false;
    }
    // Surfer grids hold doubles: the nearest to each float's shortest digits, so that the ASCII
    // grid reads "0.1" where the map holds 0.1f.
    const GDALDataType type = surfer ? GDT_Float64 : GDT_Float32;
    const int bands = static_cast<int>(raster.bands.size());
    Dataset memoryDataset(
        GDALCreate(memory, "", raster.columns, raster.rows, bands, type, nullptr));
    if (!memoryDataset) {
        error = gdal.Reason("Insufficient memory");
        return false;
    }
    const size_t cells = size_t(raster.columns) * size_t(raster.rows);
    for (int b = 0; b < bands; ++b) {
        GDALRasterBandH band = GDALGetRasterBand(memoryDataset.get(), b + 1);
        const std::vector<float>& grid = raster.bands[size_t(b)];
        CPLErr written = CE_None;
        if (surfer) {
            std::vector<double> values(cells);
            for (size_t i = 0; i < cells; ++i) {
                const float v = grid[i];
                values[i] = IsNoValue(v) || !std::isfinite(v) ? double(kNoValue) : ShortFloat(v);
            }
            written = GDALRasterIO(band, GF_Write, 0, 0, raster.columns, raster.rows, values.data(),
                                   raster.columns, raster.rows, GDT_Float64, 0, 0);
        } else {
            std::vector<float> values(grid);
            for (float& v : values) {
                if (!std::isfinite(v)) {
                    v = kNoValue;
                }
            }
            written = GDALRasterIO(band, GF_Write, 0, 0, raster.columns, raster.rows, values.data(),
                                   raster.columns, raster.rows, GDT_Float32, 0, 0);
        }
        if (written != CE_None) {
            error = gdal.Reason("the grid cannot be stored");
            return false;
        }
        GDALSetRasterNoDataValue(band, double(kNoValue));
        const FrequencyColumn& column = table.frequencies[which[size_t(b)]];
        GDALSetDescription(band, column.name.c_str());
        GDALSetRasterUnitType(band, UnitText(table.kind));
        GDALSetMetadataItem(band, "FREQUENCY_NUMBER", std::to_string(column.number).c_str(),
                            nullptr);
        GDALSetMetadataItem(band, "FREQUENCY_HZ", DoubleText(column.hertz).c_str(), nullptr);
    }
    GDALSetMetadataItem(memoryDataset.get(), "SURVEY", table.layerName.c_str(), nullptr);
    GDALSetMetadataItem(memoryDataset.get(), "CALIBRATION", table.CalibrationText().c_str(),
                        nullptr);
    GDALSetMetadataItem(memoryDataset.get(), "UNIT", UnitText(table.kind), nullptr);

    // Cell (c, r) of the gridding frame: x = x0 + c dx, y = y0 - r dy at its centre.
    Affine transform{raster.x0 - raster.dx / 2.0, raster.dx, 0.0,
                     raster.y0 + raster.dy / 2.0, 0.0,       -raster.dy};
    std::string crs;
    if (raster.surveyFrame) {
        std::optional<Affine> toCrs;
        if (!surfer && placement.gridToCrs) {
            toCrs = placement.gridToCrs;
            crs = placement.crs;
        } else if (!surfer && placement.gridToFrame) {
            toCrs = placement.gridToFrame;
            crs = placement.surveyFrameCrs;
        } else if (!surfer) {
            crs = kSurveyMetres;
        }
        if (toCrs) {
            const Affine& a = *toCrs;
            const Affine g = transform;
            transform = {a[0] + a[1] * g[0] + a[2] * g[3], a[1] * g[1] + a[2] * g[4],
                         a[1] * g[2] + a[2] * g[5],        a[3] + a[4] * g[0] + a[5] * g[3],
                         a[4] * g[1] + a[5] * g[4],        a[4] * g[2] + a[5] * g[5]};
        }
    } else if (!surfer) {
        crs = placement.crs.empty() ? placement.surveyFrameCrs : placement.crs;
    }
    GDALSetGeoTransform(memoryDataset.get(), transform.data());
    if (!crs.empty()) {
        Srs srs = MakeSrs(crs, gdal, error);
        if (!srs) {
            return false;
        }
        GDALSetSpatialRef(memoryDataset.get(), srs.get());
    }

    OptionList options;
    if (format == ExportFormat::GeoTiff) {
        options.Set("COMPRESS", "DEFLATE").Set("PREDICTOR", "3");
        if (cells * size_t(bands) * 4 > 3'000'000'000ull) {
            options.Set("BIGTIFF", "YES");
        }
    }
    ProgressRelay relay{progress};
    Dataset copy(GDALCreateCopy(driver, path.c_str(), memoryDataset.get(), FALSE, options.List(),
                                &GdalProgress, &relay));
    if (!copy) {
        error = relay.cancelled ? "Export cancelled" : gdal.Reason("the grid cannot be written");
        return false;
    }
    const int failuresBefore = gdal.Failures();
    copy.reset();
    if (gdal.Failures() != failuresBefore) {
        error = gdal.Reason("the grid cannot be completed");
        return false;
    }
    return true;
}

}  // namespace orv
