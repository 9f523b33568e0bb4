#pragma once
// Surveys over known ground, measured by the in-process instrument simulator (its readings are
// made through the inverse of the signal computation under the built-in calibration, so the
// drawings show the model's conductivity back in apparent-conductivity mode), plus the
// configuration they are drawn with.

#include "FakePrompt.h"
#include "FakeSettingsStore.h"
#include "TempDir.h"
#include "base/MeasurementSlot.h"
#include "config/Configuration.h"
#include "graphics/SurveyData.h"
#include "sim/InstrumentSimulator.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orv {

// A configuration with every default and the built-in calibration, showing apparent
// conductivity in mS/m from the quadrature component: the simulated fields read back in the
// units the models are given in.
class DrawingConfiguration
{
public:
    DrawingConfiguration()
        : m_config(
              std::make_unique<Configuration>(m_store, m_dir.File("OrvCalibration.ini"), m_prompt))
    {
        Reset();
    }

    // Every default again, then the display settings above.
    void Reset()
    {
        m_config->LoadDefaults();
        m_config->UnitMeasure = 1;
        m_config->ApparentValueKind = 1;
        m_config->SignalComponent = 1;
        m_config->AreaChart.LoadPreset(ColourPreset::Res2dinv);
        m_config->ProfileChart.LoadPreset(ColourPreset::Res2dinv);
    }

    Configuration& operator*() { return *m_config; }
    Configuration* operator->() { return m_config.get(); }

private:
    TempDir m_dir;
    FakeSettingsStore m_store;
    FakePrompt m_prompt;
    std::unique_ptr<Configuration> m_config;
};

inline sim::InstrumentSimulator MakeSimulator(const sim::GroundModel& ground)
{
    sim::InstrumentOptions options;
    options.ground = ground;
    return sim::InstrumentSimulator(options);
}

// One measurement at (x, y) metres of all 14 frequencies.
inline MeasurementSlot MeasureAt(const sim::InstrumentSimulator& simulator, double x, double y,
                                 uint32_t tick = 0)
{
    MeasurementSlot slot;
    const auto reply = simulator.ReadingsAt(x, y, 0x3FFF);
    static_cast<void>(slot.AssignReply(reply));
    slot.SetTickStamp(tick);
    return slot;
}

// A grid survey of `stations` x `profiles` at the given steps; station s of profile p stands at
// x = s * xStep, y = p * yStep. The first `measured` stations in walking order hold
// measurements (all of them when negative), the rest are empty.
struct SimulatedGrid
{
    std::vector<MeasurementSlot> slots;
    int stations = 0;
    int profiles = 0;
    float xStep = 1.0f;
    float yStep = 1.0f;

    [[nodiscard]] GridSurveyData Data() const { return {slots, stations, profiles, xStep, yStep}; }
};

inline SimulatedGrid MakeGrid(const sim::GroundModel& ground, int stations, int profiles,
                              float xStep = 1.0f, float yStep = 1.0f, int measured = -1)
{
    const sim::InstrumentSimulator simulator = MakeSimulator(ground);
    SimulatedGrid grid;
    grid.stations = stations;
    grid.profiles = profiles;
    grid.xStep = xStep;
    grid.yStep = yStep;
    grid.slots.resize(size_t(stations) * size_t(profiles));
    const GridSurveyData layout = grid.Data();
    int walked = 0;
    for (int p = 0; p < profiles; ++p) {
        for (int k = 0; k < stations; ++k) {
            const int s = p % 2 == 0 ? k : stations - 1 - k;
            if (measured >= 0 && walked >= measured) {
                return grid;
            }
            grid.slots[size_t(layout.SlotIndex(p, s))] =
                MeasureAt(simulator, double(s) * xStep, double(p) * yStep, uint32_t(walked));
            ++walked;
        }
    }
    return grid;
}

// A GPS-track survey: records at the given local positions in metres, then the operator's
// current position. `positioned` empty: every record has a GPS position.
struct SimulatedTrack
{
    std::vector<MeasurementSlot> slots;
    std::vector<LocalPoint> local;
    int cursor = 0;
    std::vector<uint8_t> positioned;

    [[nodiscard]] TrackSurveyData Data() const { return {slots, local, cursor, positioned}; }
};

inline SimulatedTrack MakeTrack(const sim::GroundModel& ground,
                                const std::vector<LocalPoint>& positions, LocalPoint here)
{
    const sim::InstrumentSimulator simulator = MakeSimulator(ground);
    SimulatedTrack track;
    for (size_t i = 0; i < positions.size(); ++i) {
        track.slots.push_back(
            MeasureAt(simulator, positions[i].x, positions[i].y, uint32_t(i * 1000)));
        track.local.push_back(positions[i]);
    }
    track.local.push_back(here);
    track.cursor = int(positions.size());
    return track;
}

// A walk to and fro over a 30 x 20 m field: lines 2.5 m apart, a station every metre, with a
// little sideways wander as a person walks.
inline std::vector<LocalPoint> ZigZagWalk()
{
    std::vector<LocalPoint> points;
    for (int line = 0; line <= 8; ++line) {
        const float y = 2.5f * float(line);
        for (int k = 0; k <= 30; ++k) {
            const int step = line % 2 == 0 ? k : 30 - k;
            const float wander = 0.3f * std::sin(0.7f * float(step + line));
            points.push_back({float(step), y + wander});
        }
    }
    return points;
}

}  // namespace orv
