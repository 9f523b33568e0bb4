#pragma once
// Colour maps of one frequency seen from above, painted with the area chart into a frame of the
// canvas: the grid-survey map over the block of complete profiles around the shown profile, and
// the GPS-track map gridded from the scattered stations. Both read RealScaling (proportional or
// fit to screen), PixelRefinement, ManualAreaRange, ShowGrid and ShowScaleMarks at the call; in
// automatic mode they set the area chart's range to the values they paint.

#include "graphics/Drawing.h"
#include "graphics/SurveyData.h"

namespace orv {

// The profiles a grid-survey map around profile p covers: back from p - 1 to just after the last
// incomplete profile, forward from p over the unbroken run of complete ones; an incomplete p is
// the block's newest profile. A profile is complete when all its stations are measured; a Line
// has no complete profile.
struct MapBlock
{
    int first = 0;
    int last = -1;     // the newest profile, drawn at the top
    int complete = 0;  // complete profiles in first..last

    [[nodiscard]] int Rows() const { return last - first + 1; }
};

[[nodiscard]] bool IsProfileComplete(const GridSurveyData& survey, int p);
[[nodiscard]] MapBlock FindMapBlock(const GridSurveyData& survey, int p);

// The grid-survey map of frequency index f (0..13) for shown profile p. Nothing is drawn
// without a complete profile in the block, with fewer than 2 stations per profile or 2 rows, or
// when f is not active.
bool DrawGridMap(const DrawContext& context, const GridSurveyData& survey, int p, int f,
                 const FrameRect& frame);

// The GPS-track map of frequency index f: needs 4 measured records with an extent both ways.
// `radius` is the gridding radius in cells (the page's Radius field, TrackRadius).
bool DrawTrackMap(const DrawContext& context, const TrackSurveyData& survey, int f, int radius,
                  const FrameRect& frame);

}  // namespace orv
