#pragma once
// Depth pseudo-sections: distance along a line of stations to the right, one row per active
// frequency downward at its pseudo-depth (DepthOf; the first frequency deepest with the usual
// calibration), gridded bilinearly and painted with the profile chart. Settings read at the
// call: UsedFrequencies, DepthScaleFactor and the active calibration (through DepthOf),
// RealScaling, PixelRefinement, ManualProfileRange, ShowGrid, ShowScaleMarks. In automatic mode
// the profile chart's range becomes that of the painted cells.

#include "graphics/Drawing.h"
#include "graphics/SurveyData.h"

#include <span>
#include <vector>

namespace orv {

// The unbroken run of measured stations of profile p that contains station s.
struct StationRun
{
    int first = 0;
    int last = -1;

    [[nodiscard]] int Length() const { return last - first + 1; }
};

[[nodiscard]] StationRun FindMeasuredRun(const GridSurveyData& survey, int p, int s);

// The section of profile p around station s. Nothing is drawn with fewer than 2 stations in the
// run or fewer than 2 active frequencies. Odd profiles are aligned to the right edge, following
// the walking direction.
bool DrawGridSection(const DrawContext& context, const GridSurveyData& survey, int p, int s,
                     const FrameRect& frame);

// The section of the whole track, the records in recording order at their walked distance.
// Proportional (RealScaling), a section that would come out thinner than
// DrawMetrics::thinnestTrueScaleSection (60 pixels at ratio 1; a long walk over a few metres of
// depth) is drawn fit to screen instead; `drawnToScale`, when given, tells which it was.
bool DrawTrackSection(const DrawContext& context, const TrackSurveyData& survey,
                      const FrameRect& frame, bool* drawnToScale = nullptr);

// Distance walked from record `first` to each of `count` records, in metres; a step of 0.01 m
// or less counts as 0.01 m, so the distances always increase. A record without a position
// adds only that smallest step, and the next positioned one the whole way from the last
// positioned one. `out` holds `count` entries.
void WalkedDistances(const TrackSurveyData& survey, int first, int count, std::span<float> out);

}  // namespace orv
