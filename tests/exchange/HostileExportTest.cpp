// Sessions that give an export little or nothing to work with export or refuse cleanly, and a
// refused, failed or cancelled export leaves what was at its target as it was.

#include "ExchangeFixture.h"
#include "GdalRead.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace orv {
namespace {

std::vector<std::string> FolderContents(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(ExchangeTest, HostileSessionsExportOrRefuseCleanly)
{
    struct Case
    {
        const char* legend;
        std::function<void(SimulatedGrid&, SimulatedTrack&, std::vector<GpsFix>&, Configuration&)>
            spoil;
        bool track;
        bool vector;  // GeoPackage and GeoJSON written
        bool gpx;
        bool raster;
    };
    const Case cases[] = {
        {"a track without positions",
         [](SimulatedGrid&, SimulatedTrack&, std::vector<GpsFix>& p, Configuration&) {
             std::fill(p.begin(), p.end(), GpsFix{});
         },
         true, true, false, false},
        {"a track of one station",
         [](SimulatedGrid&, SimulatedTrack& t, std::vector<GpsFix>& p, Configuration&) {
             t.slots.resize(1);
             p.resize(1);
         },
         true, true, true, false},
        {"a track along one east-west line",
         [](SimulatedGrid&, SimulatedTrack&, std::vector<GpsFix>& p, Configuration&) {
             for (GpsFix& fix : p) {
                 fix.latitude = kTrackLatitude;
             }
         },
         true, true, true, false},
        {"every frequency off",
         [](SimulatedGrid&, SimulatedTrack&, std::vector<GpsFix>&, Configuration& c) {
             c.UsedFrequencies.fill(0);
         },
         false, true, true, false},
        {"nothing measured",
         [](SimulatedGrid& g, SimulatedTrack&, std::vector<GpsFix>&, Configuration&) {
             std::fill(g.slots.begin(), g.slots.end(), MeasurementSlot{});
         },
         false, true, false, false},
        {"one station of a map",
         [](SimulatedGrid& g, SimulatedTrack&, std::vector<GpsFix>&, Configuration&) {
             std::fill(g.slots.begin() + 1, g.slots.end(), MeasurementSlot{});
         },
         false, true, true, false},
        {"a station step of 0",
         [](SimulatedGrid& g, SimulatedTrack&, std::vector<GpsFix>&, Configuration&) {
             g.xStep = 0.0f;
         },
         false, true, true, false},
        {"a calibration of zeros",
         [](SimulatedGrid&, SimulatedTrack&, std::vector<GpsFix>&, Configuration& c) {
             c.ActiveCalibration.CurrentCoef.fill(0.0);
             c.ActiveCalibration.GainFactor.fill(0.0);
             c.ActiveCalibration.IAir.fill(0.0);
         },
         false, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        m_config.Reset();
        SimulatedGrid grid = Grid(work_type::kMap);
        SimulatedTrack track = Track();
        std::vector<GpsFix> positions;
        ExportSource source;
        if (c.track) {
            source = TrackSource(track, positions);
            c.spoil(grid, track, positions, *m_config);
            source.slots = track.slots;
            source.positions = positions;
        } else {
            c.spoil(grid, track, positions, *m_config);
            source = GridSource(grid, work_type::kMap);
        }
        const StationTable table = Collect(source);
        const auto expect = [&](ExportFormat format, const char* name, bool written) {
            SCOPED_TRACE(name);
            const std::string path = m_dir.File(std::string("hostile.") + name);
            std::filesystem::remove(path);
            ExportOptions options;
            options.format = format;
            options.raster.cell = 0.5;
            if (!c.track && format == ExportFormat::Gpx) {
                options.place.origin = GridOrigin{kTrackLatitude, kTrackLongitude, 0.0};
            }
            ExportResult result;
            std::string error;
            const bool done = WriteExport(table, options, path, {}, result, error);
            EXPECT_EQ(done, written) << error;
            EXPECT_EQ(std::filesystem::exists(path), written);
            if (!done) {
                EXPECT_FALSE(error.empty());
            } else if (format == ExportFormat::GeoTiff) {
                EXPECT_TRUE(ReadGrid(path).opened);
            } else {
                const ReadLayer layer =
                    ReadVector(path, format == ExportFormat::Gpx ? "waypoints" : "");
                EXPECT_TRUE(layer.opened);
                EXPECT_EQ(layer.features.size() + size_t(result.unplaced), table.rows.size());
            }
        };
        expect(ExportFormat::GeoPackage, "gpkg", c.vector);
        expect(ExportFormat::GeoJson, "geojson", c.vector);
        expect(ExportFormat::Gpx, "gpx", c.gpx);
        expect(ExportFormat::GeoTiff, "tif", c.raster);
        // Nothing half-made is left beside the target.
        for (const std::string& name : FolderContents(m_dir.Path())) {
            EXPECT_EQ(name.find(".export-"), std::string::npos) << name;
        }
    }
}

TEST_F(ExchangeTest, CancelledOrFailedExportLeavesTheOldFile)
{
    const SimulatedGrid grid = Grid(work_type::kMap);
    const StationTable table = Collect(GridSource(grid, work_type::kMap));
    for (const ExportFormat format : {ExportFormat::GeoPackage, ExportFormat::GeoTiff}) {
        SCOPED_TRACE(FormatName(format));
        const std::string path = m_dir.File(std::string("kept.") + FormatName(format));
        WriteFileText(path, "the previous export");
        ExportOptions options;
        options.format = format;
        ExportResult result;
        std::string error;
        const ExportProgress stop = [](double) { return false; };
        EXPECT_FALSE(WriteExport(table, options, path, stop, result, error));
        EXPECT_EQ(error, "Export cancelled");
        EXPECT_TRUE(ReadFileText(path) == "the previous export");
        EXPECT_EQ(FolderContents(m_dir.Path()).size(), 1u);
        std::filesystem::remove(path);
    }

    // A folder that cannot be written: the reason names it.
    const std::string locked = m_dir.File("locked");
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(
        locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    ExportOptions options;
    options.format = ExportFormat::GeoPackage;
    ExportResult result;
    std::string error;
    if (::geteuid() != 0) {
        EXPECT_FALSE(WriteExport(table, options, locked + "/out.gpkg", {}, result, error));
        EXPECT_NE(error.find("locked"), std::string::npos) << error;
    }
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
}

}  // namespace
}  // namespace orv
