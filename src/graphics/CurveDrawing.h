#pragma once
// Line graphs in the curve colour (0xC80000, blue 200) that also store the plotted values in the
// canvas's value layer, so a tap on a curve reads its value: the sounding curve of one record
// (value against the depth of each active frequency) and the profile curve of one frequency
// along the stations of a profile or the last records of a track. Settings read at the call:
// UsedFrequencies, ShowScaleMarks, ShowGrid, GridColour, FilterProfileCurve, MeasurementsToShow,
// DepthScaleFactor and the active calibration.

#include "graphics/Drawing.h"
#include "graphics/SurveyData.h"

#include <span>

namespace orv {

inline constexpr Colour kCurveColour = 0x00C80000;

// The sounding curve of one record into the frame (the left half of the graphic area). Nothing
// is drawn for a missing or empty record, without an active frequency, or when both the values
// and the depths have no extent. With all values equal the curve is a vertical line in the
// middle of the plot; with all depths equal a horizontal one.
bool DrawSoundingCurve(const DrawContext& context, const MeasurementSlot* record,
                       const FrameRect& frame);

// The profile curve of frequency index f along the run of measured stations of profile p around
// station s; odd profiles are aligned to the right edge. Fewer than 2 stations draw nothing.
bool DrawGridProfileCurve(const DrawContext& context, const GridSurveyData& survey, int p, int s,
                          int f, const FrameRect& frame);

// The profile curve of frequency index f along the track's records (the last
// MeasurementsToShow of them when that is set), equally spaced by record.
bool DrawTrackProfileCurve(const DrawContext& context, const TrackSurveyData& survey, int f,
                           const FrameRect& frame);

// The 9-point running mean of the profile curve filter: positions 4 .. n - 5 become the mean of
// the 9 unfiltered values around them; the first and last 4 stay, as do curves of 8 values or
// fewer.
void FilterProfileValues(std::span<float> values);

}  // namespace orv
