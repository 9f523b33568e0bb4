// The gridded maps as GeoTIFF and Surfer grids, read back through GDAL: the Main page's map
// cell for cell, nodata where no station reaches, and their place on the ground.

#include "../graphics/DrawingFixture.h"
#include "ExchangeFixture.h"
#include "FakePrompt.h"
#include "GdalRead.h"
#include "base/NoValue.h"
#include "graphics/Drawing.h"
#include "graphics/MapDrawing.h"
#include "graphics/PlotCanvas.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <proj.h>
#include <string>
#include <vector>

namespace orv {
namespace {

class RasterExportTest : public ExchangeTest
{
protected:
    void SetUp() override { ASSERT_TRUE(m_canvas.Create(240, 200)); }

    DrawContext Context() { return {m_canvas, m_text, *m_config, m_prompt}; }

    // The picture's cells: the bounding box of the pixels that hold a value.
    FrameRect Picture() const { return ValueBoundsOf(m_canvas); }

    // Expects band `b` of the raster to hold the Main page's value layer over `picture` cell for
    // cell, nodata where the page has nothing.
    void ExpectMainPage(const ReadRaster& raster, size_t b, const FrameRect& picture)
    {
        ASSERT_EQ(raster.columns, picture.Width());
        ASSERT_EQ(raster.rows, picture.Height());
        int differing = 0;
        for (int r = 0; r < raster.rows; ++r) {
            for (int c = 0; c < raster.columns; ++c) {
                const size_t cell = size_t(r) * size_t(raster.columns) + size_t(c);
                const float page = m_canvas.GetValue(picture.left + c, picture.top + r);
                if (IsNoValue(page) != raster.IsNoData(b, cell) ||
                    (!IsNoValue(page) && float(raster.bands[b][cell]) != page)) {
                    ++differing;
                }
            }
        }
        EXPECT_EQ(differing, 0);
    }

    FakePrompt m_prompt;
    FakeTextPainter m_text;
    PlotCanvas m_canvas;
    const FrameRect m_frame{0, 0, 240, 200};
};

TEST_F(RasterExportTest, GridMapIsTheMainPagesWithNodataWhereNothingWasMeasured)
{
    constexpr int f = 7;  // 15.62 kHz
    const SimulatedGrid grid = MakeGrid(kExchangeBody, 20, 12, 1.0f, 1.5f);
    ASSERT_TRUE(DrawGridMap(Context(), grid.Data(), 11, f, m_frame));
    const FrameRect picture = Picture();

    const StationTable table = Collect(GridSource(grid, work_type::kMap));
    ExportOptions options;
    options.format = ExportFormat::GeoTiff;
    options.raster.columns = picture.Width();
    options.raster.rows = picture.Height();
    const ReadRaster tif = ReadGrid(Write(table, options, "map.tif"));
    ASSERT_TRUE(tif.opened);
    ASSERT_EQ(tif.bands.size(), 14u);
    EXPECT_EQ(tif.descriptions[f], "f15620Hz_mSm");
    ExpectMainPage(tif, f, picture);
    // The survey's own metres: cell centres from station 0 to 19 and profile 11 down to 0.
    const double dx = 19.0 / (tif.columns - 1);
    const double dy = 16.5 / (tif.rows - 1);
    EXPECT_NEAR(tif.transform[0], -dx / 2, 1e-9);
    EXPECT_NEAR(tif.transform[1], dx, 1e-9);
    EXPECT_NEAR(tif.transform[3], 16.5 + dy / 2, 1e-9);
    EXPECT_NEAR(tif.transform[5], -dy, 1e-9);
    EXPECT_NE(tif.crsWkt.find("survey metres"), std::string::npos) << tif.crsWkt;

    // The last profile (odd, walked from station 19 down) stopped after 7 stations: the page
    // repeats profile 10 where profile 11 has nothing, the export leaves it empty.
    const SimulatedGrid partial = MakeGrid(kExchangeBody, 20, 12, 1.0f, 1.5f, 20 * 11 + 7);
    m_canvas.Clear();
    ASSERT_TRUE(DrawGridMap(Context(), partial.Data(), 11, f, m_frame));
    ASSERT_EQ(Picture().Width(), picture.Width());
    const StationTable started = Collect(GridSource(partial, work_type::kMap));
    const ReadRaster gaps = ReadGrid(Write(started, options, "partial.tif"));
    ASSERT_TRUE(gaps.opened);
    const size_t topLeft = 0;
    const size_t topRight = size_t(gaps.columns) - 1;
    EXPECT_FALSE(IsNoValue(m_canvas.GetValue(picture.left, picture.top)));
    EXPECT_TRUE(gaps.IsNoData(f, topLeft));
    EXPECT_FALSE(gaps.IsNoData(f, topRight));
    const size_t bottomLeft = size_t(gaps.rows - 1) * size_t(gaps.columns);
    EXPECT_FALSE(gaps.IsNoData(f, bottomLeft));
}

TEST_F(RasterExportTest, TrackMapIsTheMainPagesInItsLocalFrame)
{
    constexpr int f = 7;
    const SimulatedTrack track = Track();
    std::vector<GpsFix> positions;
    const StationTable table = Collect(TrackSource(track, positions));
    // The Main page draws from the local coordinates the survey derives from the fixes.
    std::vector<LocalPoint> local;
    for (const StationRow& row : table.rows) {
        local.push_back({row.x, row.y});
    }
    local.push_back(local.back());
    const TrackSurveyData data{track.slots, local, 0};
    ASSERT_TRUE(DrawTrackMap(Context(), data, f, m_config->TrackRadius, m_frame));
    const FrameRect picture = Picture();

    ExportOptions options;
    options.format = ExportFormat::GeoTiff;
    options.raster.columns = picture.Width();
    options.raster.rows = picture.Height();
    options.raster.radiusCells = m_config->TrackRadius;
    const ReadRaster tif = ReadGrid(Write(table, options, "track.tif"));
    ASSERT_TRUE(tif.opened);
    ExpectMainPage(tif, f, picture);

    // The local frame is a real CRS: the first station lies at its origin.
    PJ_CONTEXT* context = proj_context_create();
    PJ* raw = proj_create_crs_to_crs(context, "EPSG:4326", tif.crsWkt.c_str(), nullptr);
    ASSERT_NE(raw, nullptr) << tif.crsWkt;
    PJ* frame = proj_normalize_for_visualization(context, raw);
    proj_destroy(raw);
    const PJ_COORD first =
        proj_trans(frame, PJ_FWD, proj_coord(positions[0].longitude, positions[0].latitude, 0, 0));
    EXPECT_NEAR(first.xy.x, 0.0, 1e-6);
    EXPECT_NEAR(first.xy.y, 0.0, 1e-6);
    proj_destroy(frame);
    proj_context_destroy(context);

    // A finer cell keeps the radius in metres.
    const StationTable one = Collect(TrackSource(track, positions), {ExportUnit::AsConfigured, 8});
    ExportOptions fine;
    fine.format = ExportFormat::GeoTiff;
    ExportResult coarse;
    ExportResult detailed;
    Write(one, fine, "default.tif", &coarse);
    fine.raster.cell = coarse.cell / 2.0;
    Write(one, fine, "fine.tif", &detailed);
    EXPECT_NEAR(double(detailed.radiusCells) * detailed.cell,
                double(coarse.radiusCells) * coarse.cell, detailed.cell);
    EXPECT_EQ(coarse.radiusCells, m_config->TrackRadius);
}

TEST_F(RasterExportTest, SurferGridsHoldTheGeoTiffsMap)
{
    const SimulatedGrid grid = MakeGrid(kExchangeBody, 20, 12, 1.0f, 1.5f, 20 * 11 + 7);
    const StationTable table =
        Collect(GridSource(grid, work_type::kMap), {ExportUnit::OhmMetres, 8});
    ExportOptions options;
    options.format = ExportFormat::GeoTiff;
    options.raster.cell = 0.25;
    const ReadRaster tif = ReadGrid(Write(table, options, "one.tif"));
    ASSERT_TRUE(tif.opened);
    ASSERT_EQ(tif.bands.size(), 1u);
    EXPECT_EQ(tif.columns, 77);  // 19 m / 0.25 + 1
    EXPECT_EQ(tif.rows, 67);     // 16.5 m / 0.25 + 1
    for (const auto& [format, name] :
         {std::pair{ExportFormat::Surfer7, "grd7"}, std::pair{ExportFormat::Surfer6, "grd6"}}) {
        SCOPED_TRACE(name);
        options.format = format;
        const ReadRaster surfer = ReadGrid(Write(table, options, std::string("one.") + name));
        ASSERT_TRUE(surfer.opened);
        ASSERT_EQ(surfer.columns, tif.columns);
        ASSERT_EQ(surfer.rows, tif.rows);
        for (int k = 0; k < 6; ++k) {
            EXPECT_NEAR(surfer.transform[k], tif.transform[k], 1e-9) << k;
        }
        int differing = 0;
        int empty = 0;
        for (size_t i = 0; i < tif.bands[0].size(); ++i) {
            empty += tif.IsNoData(0, i);
            if (tif.IsNoData(0, i) != surfer.IsNoData(0, i) ||
                (!tif.IsNoData(0, i) && float(surfer.bands[0][i]) != float(tif.bands[0][i]))) {
                ++differing;
            }
        }
        EXPECT_EQ(differing, 0);
        EXPECT_GT(empty, 0);
    }

    const StationTable all = Collect(GridSource(grid, work_type::kMap));
    ExportResult result;
    std::string error;
    EXPECT_FALSE(WriteExport(all, options, m_dir.File("all.grd"), {}, result, error));
    EXPECT_NE(error.find("--frequency"), std::string::npos) << error;
}

TEST_F(RasterExportTest, PlacedGridMapLiesWhereItsStationsDo)
{
    const SimulatedGrid grid = MakeGrid(kExchangeBody, 20, 12, 1.0f, 1.5f);
    const StationTable table =
        Collect(GridSource(grid, work_type::kMap), {ExportUnit::AsConfigured, 8});
    ExportOptions options;
    options.format = ExportFormat::GeoTiff;
    options.place.origin = GridOrigin{kTrackLatitude, kTrackLongitude, 30.0};
    options.place.crs = "utm";
    const ReadRaster tif = ReadGrid(Write(table, options, "placed.tif"));
    ASSERT_TRUE(tif.opened);
    EXPECT_EQ(tif.crsAuthority, "EPSG:32630");
    options.format = ExportFormat::GeoPackage;
    const ReadLayer stations = ReadVector(Write(table, options, "placed.gpkg"));
    ASSERT_EQ(stations.features.size(), 240u);
    // Station s of profile p is the centre of the cell the map's own metres put it in.
    const double dx = 19.0 / (tif.columns - 1);
    const double dy = 16.5 / (tif.rows - 1);
    for (const ReadFeature& feature : stations.features) {
        const double column = feature.number.at("station") * 1.0 / dx;
        const double row = (16.5 - feature.number.at("profile") * 1.5) / dy;
        const double* t = tif.transform;
        const double x = t[0] + (column + 0.5) * t[1] + (row + 0.5) * t[2];
        const double y = t[3] + (column + 0.5) * t[4] + (row + 0.5) * t[5];
        EXPECT_NEAR(x, feature.x, 1e-3);
        EXPECT_NEAR(y, feature.y, 1e-3);
    }
}

}  // namespace
}  // namespace orv
