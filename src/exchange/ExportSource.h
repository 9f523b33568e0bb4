#pragma once
// What an export reads of a survey, as plain views: the slots in walking order, the grid's
// layout or the track's positions, and what the field log knows of each station beyond the
// session file. A source is valid while the survey it was taken from is not changed.
//
//   ExportSource source = SourceOf(survey);       // or filled by hand from any dataset
//   source.meta = sidecarMeta;                     // optional, one per slot

#include "base/GpsFix.h"
#include "base/MeasurementSlot.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace orv {

class Survey;

// A station's wall-clock time and the quality of its GPS fix. The session file holds neither;
// the field log kept beside it does. Every field may be missing: it is then written as an
// empty (null) value, never as 0.
struct StationMeta
{
    std::optional<int64_t> unixTimeMs;  // UTC, milliseconds since 1970-01-01
    std::optional<int> fixQuality;      // GGA fix quality: 0 invalid, 1 GPS, 2 DGPS, 4 RTK ...
    std::optional<int> satellites;      // satellites in use
    std::optional<double> hdop;
};

struct ExportSource
{
    int workType = 0;  // work_type::kMap ... kGpsTrack
    std::span<const MeasurementSlot> slots;

    // Grid surveys (Map, Profile, Line), as in GridSurveyData: `stations` per profile (0 for a
    // Line), slot p * N + s on even profiles and p * N + (N - 1 - s) on odd ones. Steps in
    // metres.
    int stations = 0;
    int profiles = 1;
    float xStep = 1.0f;
    float yStep = 1.0f;

    // GPS tracks: one position per slot, same index. Latitude and longitude both 0 is a station
    // the GPS never placed. Missing entries count as unplaced.
    std::span<const GpsFix> positions;

    // What the field log knows of each station, by slot index; empty, or shorter than the
    // slots, when there is none.
    std::span<const StationMeta> meta;

    // The session's three texts and its file, for the layer name.
    std::array<std::string, 3> texts;
    std::string filePath;

    [[nodiscard]] bool IsTrack() const;
};

// The views of an open survey, its session texts from the survey's configuration, no meta.
[[nodiscard]] ExportSource SourceOf(const Survey& survey);

}  // namespace orv
