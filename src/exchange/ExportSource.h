#pragma once
// What an export reads of a survey, as plain views: the slots in walking order, the grid's
// layout or the track's positions, and what the field log knows of each station beyond the
// session file. A source is valid while the survey it was taken from is not changed.
//
//   ExportSource source = SourceOf(survey);       // or filled by hand from any dataset

#include "base/GpsFix.h"
#include "base/MeasurementSlot.h"
#include "survey/StationLog.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace orv {

class Survey;

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

// The views of an open survey: its slots, layout or positions, the stations' times and fix
// qualities it holds (StationLog.h), its session texts from the survey's configuration.
[[nodiscard]] ExportSource SourceOf(const Survey& survey);

}  // namespace orv
