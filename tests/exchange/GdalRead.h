#pragma once
// Reading exported files back the way a GIS opens them: through GDAL's C API, into plain
// structures the tests compare.

#include <gtest/gtest.h>

#include <cpl_conv.h>
#include <gdal.h>
#include <map>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <optional>
#include <string>
#include <vector>

namespace orv {

struct ReadField
{
    std::string name;
    OGRFieldType type = OFTString;
};

struct ReadFeature
{
    bool hasGeometry = false;
    double x = 0.0;
    double y = 0.0;
    // Field values as text and as numbers, by field name; unset (null) fields are absent.
    std::map<std::string, std::string> text;
    std::map<std::string, double> number;
};

struct ReadLayer
{
    bool opened = false;
    std::string name;
    std::string crsAuthority;  // "EPSG:4326", or empty
    bool hasCrs = false;
    std::vector<ReadField> fields;
    std::vector<ReadFeature> features;

    [[nodiscard]] const ReadField* Field(const std::string& field) const
    {
        for (const ReadField& f : fields) {
            if (f.name == field) {
                return &f;
            }
        }
        return nullptr;
    }
};

inline std::string AuthorityOf(OGRSpatialReferenceH srs)
{
    if (srs == nullptr) {
        return {};
    }
    const char* name = OSRGetAuthorityName(srs, nullptr);
    const char* code = OSRGetAuthorityCode(srs, nullptr);
    if (name == nullptr || code == nullptr) {
        return {};
    }
    return std::string(name) + ":" + code;
}

inline ReadLayer ReadVector(const std::string& path, const std::string& layerName = {})
{
    GDALAllRegister();
    ReadLayer out;
    GDALDatasetH ds =
        GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (ds == nullptr) {
        return out;
    }
    OGRLayerH layer = layerName.empty() ? GDALDatasetGetLayer(ds, 0)
                                        : GDALDatasetGetLayerByName(ds, layerName.c_str());
    if (layer != nullptr) {
        out.opened = true;
        out.name = OGR_L_GetName(layer);
        OGRSpatialReferenceH srs = OGR_L_GetSpatialRef(layer);
        out.hasCrs = srs != nullptr;
        out.crsAuthority = AuthorityOf(srs);
        OGRFeatureDefnH definition = OGR_L_GetLayerDefn(layer);
        for (int i = 0; i < OGR_FD_GetFieldCount(definition); ++i) {
            OGRFieldDefnH field = OGR_FD_GetFieldDefn(definition, i);
            // GPX keeps fields beyond its own in extensions, read back as "ogr_<name>".
            std::string name = OGR_Fld_GetNameRef(field);
            if (name.rfind("ogr_", 0) == 0) {
                name = name.substr(4);
            }
            out.fields.push_back({name, OGR_Fld_GetType(field)});
        }
        OGR_L_ResetReading(layer);
        while (OGRFeatureH feature = OGR_L_GetNextFeature(layer)) {
            ReadFeature f;
            OGRGeometryH geometry = OGR_F_GetGeometryRef(feature);
            if (geometry != nullptr && !OGR_G_IsEmpty(geometry)) {
                f.hasGeometry = true;
                f.x = OGR_G_GetX(geometry, 0);
                f.y = OGR_G_GetY(geometry, 0);
            }
            for (int i = 0; i < OGR_F_GetFieldCount(feature); ++i) {
                if (!OGR_F_IsFieldSetAndNotNull(feature, i)) {
                    continue;
                }
                const std::string& name = out.fields[size_t(i)].name;
                f.text[name] = OGR_F_GetFieldAsString(feature, i);
                f.number[name] = OGR_F_GetFieldAsDouble(feature, i);
            }
            out.features.push_back(std::move(f));
            OGR_F_Destroy(feature);
        }
    }
    GDALClose(ds);
    return out;
}

struct ReadRaster
{
    bool opened = false;
    int columns = 0;
    int rows = 0;
    double transform[6] = {};
    std::string crsWkt;
    std::string crsAuthority;
    std::vector<std::vector<double>> bands;
    std::vector<std::optional<double>> nodata;
    std::vector<std::string> descriptions;

    [[nodiscard]] bool IsNoData(size_t band, size_t cell) const
    {
        return nodata[band] && bands[band][cell] == *nodata[band];
    }
};

inline ReadRaster ReadGrid(const std::string& path)
{
    GDALAllRegister();
    ReadRaster out;
    GDALDatasetH ds =
        GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (ds == nullptr) {
        return out;
    }
    out.opened = true;
    out.columns = GDALGetRasterXSize(ds);
    out.rows = GDALGetRasterYSize(ds);
    static_cast<void>(GDALGetGeoTransform(ds, out.transform));
    OGRSpatialReferenceH srs = GDALGetSpatialRef(ds);
    if (srs != nullptr) {
        char* wkt = nullptr;
        OSRExportToWkt(srs, &wkt);
        out.crsWkt = wkt != nullptr ? wkt : "";
        CPLFree(wkt);
        out.crsAuthority = AuthorityOf(srs);
    }
    for (int b = 1; b <= GDALGetRasterCount(ds); ++b) {
        GDALRasterBandH band = GDALGetRasterBand(ds, b);
        std::vector<double> cells(size_t(out.columns) * size_t(out.rows));
        EXPECT_EQ(GDALRasterIO(band, GF_Read, 0, 0, out.columns, out.rows, cells.data(),
                               out.columns, out.rows, GDT_Float64, 0, 0),
                  CE_None);
        out.bands.push_back(std::move(cells));
        int has = 0;
        const double nodata = GDALGetRasterNoDataValue(band, &has);
        out.nodata.push_back(has != 0 ? std::optional<double>(nodata) : std::nullopt);
        out.descriptions.push_back(GDALGetDescription(band));
    }
    GDALClose(ds);
    return out;
}

}  // namespace orv
