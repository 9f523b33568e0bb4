#pragma once
// The writers of the formats GDAL has drivers for. Each writes to the path given (a staging
// path, or /vsistdout/ for text on stdout) and reports GDAL's own reason when a driver fails.

#include "exchange/ExportFormat.h"
#include "exchange/Exporter.h"

#include <string>

namespace orv {

[[nodiscard]] bool WriteGdalVector(const StationTable& table, const Placement& placement,
                                   ExportFormat format, const std::string& path,
                                   const ExportProgress& progress, ExportResult& result,
                                   std::string& error);

// One band per raster band; `which` names the table's frequency column of each band.
[[nodiscard]] bool WriteGdalRaster(const StationTable& table, const Placement& placement,
                                   const MapRaster& raster, std::span<const size_t> which,
                                   ExportFormat format, const std::string& path,
                                   const ExportProgress& progress, std::string& error);

}  // namespace orv
