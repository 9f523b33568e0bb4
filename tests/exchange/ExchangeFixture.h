#pragma once
// Simulated surveys of every work type over known ground, the sources and tables an export
// takes from them, and a folder to write into.

#include "../graphics/SimulatedSurveys.h"
#include "TempDir.h"
#include "config/Configuration.h"
#include "exchange/ExportSource.h"
#include "exchange/Exporter.h"
#include "exchange/StationTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace orv {

inline const sim::GroundModel kExchangeBody =
    sim::GroundModel::Body(10.0, 100.0, 13.0, 4.0, 4.0, 3.0);

// Where the simulated track walks: 51.5 N, 0.2 W, the Main page's sphere for its local metres.
constexpr double kTrackLatitude = 51.5;
constexpr double kTrackLongitude = -0.2;

inline GpsFix FixAt(LocalPoint p, uint32_t tick = 0)
{
    const double k = std::numbers::pi / 180.0 * 6371000.0;
    return {
        kTrackLatitude + double(p.y) / k,
        kTrackLongitude + double(p.x) / (k * std::cos(kTrackLatitude * std::numbers::pi / 180.0)),
        tick};
}

class ExchangeTest : public ::testing::Test
{
protected:
    // A grid survey of a work type: Map 6 x 4, Profile of 8, Line of 10 (of its 20 slots).
    SimulatedGrid Grid(int workType)
    {
        switch (workType) {
            case work_type::kProfile:
                return MakeGrid(kExchangeBody, 8, 1, 2.0f, 0.0f);
            case work_type::kLine: {
                SimulatedGrid line = MakeGrid(kExchangeBody, 10, 1, 1.5f, 0.0f);
                line.slots.resize(20);
                line.stations = 0;
                return line;
            }
            default:
                return MakeGrid(kExchangeBody, 6, 4, 2.0f, 2.5f);
        }
    }

    ExportSource GridSource(const SimulatedGrid& grid, int workType) const
    {
        ExportSource source;
        source.workType = workType;
        source.slots = grid.slots;
        source.stations = grid.stations;
        source.profiles = grid.profiles;
        source.xStep = grid.xStep;
        source.yStep = grid.yStep;
        source.texts = {"Field 7", "", ""};
        source.filePath = "/data/surveys/070228_1405.orv";
        return source;
    }

    // The zig-zag walk, positioned; `positions` must outlive the source.
    ExportSource TrackSource(const SimulatedTrack& track, std::vector<GpsFix>& positions) const
    {
        positions.clear();
        for (size_t i = 0; i + 1 < track.local.size(); ++i) {
            positions.push_back(FixAt(track.local[i], uint32_t(i * 1000)));
        }
        ExportSource source;
        source.workType = work_type::kGpsTrack;
        source.slots = track.slots;
        source.positions = positions;
        source.texts = {"Field 7", "", ""};
        source.filePath = "/data/surveys/070228_1405.orv";
        return source;
    }

    SimulatedTrack Track() const { return MakeTrack(kExchangeBody, ZigZagWalk(), {}); }

    StationTable Collect(const ExportSource& source, CollectOptions options = {})
    {
        StationTable table;
        std::string error;
        EXPECT_TRUE(CollectStations(*m_config, source, options, table, error)) << error;
        return table;
    }

    // Writes and expects success; the path written.
    std::string Write(const StationTable& table, const ExportOptions& options,
                      const std::string& name, ExportResult* result = nullptr)
    {
        const std::string path = m_dir.File(name);
        ExportResult r;
        std::string error;
        EXPECT_TRUE(WriteExport(table, options, path, {}, r, error)) << name << ": " << error;
        if (result != nullptr) {
            *result = r;
        }
        return path;
    }

    DrawingConfiguration m_config;
    TempDir m_dir;
};

}  // namespace orv
