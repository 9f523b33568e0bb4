#include "exchange/Exporter.h"

#include "base/AtomicFile.h"
#include "exchange/StagedOutput.h"
#include "exchange/TextFormats.h"

#ifdef ORV_HAVE_GDAL
#include "exchange/GdalWriters.h"
#endif

#include <cstdint>
#include <cstdio>
#include <new>
#include <span>
#include <vector>

namespace orv {

namespace {

bool WriteText(const std::string& text, const std::string& path, std::string& error)
{
    if (path.empty()) {
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
            std::fflush(stdout) != 0) {
            error = "the output could not be written";
            return false;
        }
        return true;
    }
    return WriteFileAtomically(
        path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), error);
}

// The hand-written formats: Geosoft XYZ always, CSV on stdout always (its columns are the ones
// scripts know), and CSV, GeoJSON and KML files where GDAL is missing.
bool HandWritten(ExportFormat format, bool toStdout)
{
    return format == ExportFormat::GeosoftXyz || (format == ExportFormat::Csv && toStdout) ||
           !HaveGdal();
}

bool WriteHandWritten(const StationTable& table, const Placement& placement, ExportFormat format,
                      const std::string& path, ExportResult& result, std::string& error)
{
    std::string text;
    switch (format) {
        case ExportFormat::GeosoftXyz:
            text = GeosoftXyz(table, placement);
            break;
        case ExportFormat::Csv:
            text = PlainCsv(table);
            break;
        case ExportFormat::GeoJson:
            text = PlainGeoJson(table);
            break;
        case ExportFormat::Kml:
            if (!PlainKml(table, text, error)) {
                return false;
            }
            break;
        default:
            error = std::string("this build has no GDAL and cannot write ") + FormatName(format);
            return false;
    }
    if (!WriteText(text, path, error)) {
        return false;
    }
    result.features = static_cast<int>(table.rows.size());
    return true;
}

#ifdef ORV_HAVE_GDAL
// Runs `write` into a staging folder beside `path` and puts the result in place, or on stdout
// through GDAL's own stream when `path` is empty.
template <typename Write>
bool Staged(const std::string& path, std::string& error, Write write)
{
    if (path.empty()) {
        if (!write(std::string("/vsistdout/"))) {
            return false;
        }
        std::fflush(stdout);
        return true;
    }
    StagedOutput output(path);
    if (!output.Open(error) || !write(output.Path())) {
        return false;
    }
    return output.Commit(error);
}
#endif

}  // namespace

bool WriteExport(const StationTable& table, const ExportOptions& options, const std::string& path,
                 const ExportProgress& progress, ExportResult& result, std::string& error)
{
    const ExportFormat format = options.format;
    if (!FormatAvailable(format)) {
        error = std::string("this build has no GDAL: ") + FormatName(format) +
                " cannot be written (csv, geojson, kml and xyz can)";
        return false;
    }
    const bool toStdout = path.empty();
    if (toStdout && !IsTextFormat(format)) {
        error = std::string(FormatDescription(format)) + " needs a file to write to";
        return false;
    }
    ExportResult out;
    try {
        Placement placement;
        if (!PlaceStations(table, options.place, placement, error)) {
            return false;
        }
        out.crsLabel = placement.crsLabel;
        if (HandWritten(format, toStdout)) {
            if (!WriteHandWritten(table, placement, format, path, out, error)) {
                return false;
            }
            result = out;
            return true;
        }
#ifdef ORV_HAVE_GDAL
        if (!IsRasterFormat(format)) {
            if (!Staged(path, error, [&](const std::string& target) {
                    return WriteGdalVector(table, placement, format, target, progress, out, error);
                })) {
                return false;
            }
            result = out;
            return true;
        }
        std::vector<size_t> which;
        for (size_t c = 0; c < table.frequencies.size(); ++c) {
            which.push_back(c);
        }
        if (format != ExportFormat::GeoTiff && which.size() > 1) {
            error = std::string(FormatDescription(format)) +
                    " holds one frequency: say which with --frequency N";
            return false;
        }
        // Gridding takes the first half of the progress, writing the second.
        const auto half = [&](double start) -> ExportProgress {
            if (!progress) {
                return {};
            }
            return [&progress, start](double done) { return progress(start + done / 2.0); };
        };
        MapRaster raster;
        if (!GridMaps(table, placement, options.raster, which, half(0.0), raster, error)) {
            return false;
        }
        out.columns = raster.columns;
        out.rows = raster.rows;
        out.cell = raster.dx;
        out.radiusCells = raster.radiusCells;
        if (!Staged(path, error, [&](const std::string& target) {
                return WriteGdalRaster(table, placement, raster, which, format, target, half(0.5),
                                       error);
            })) {
            return false;
        }
        result = out;
        return true;
#else
        static_cast<void>(progress);
        return false;
#endif
    } catch (const std::bad_alloc&) {
        error = "Insufficient memory";
        return false;
    }
}

}  // namespace orv
