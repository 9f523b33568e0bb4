#pragma once
// The walked GPS track in local coordinates, north up: a polyline through the records with a
// small circle at each, dashed lines from the selected station's neighbours to where the
// operator stands now, a circle at the current position and a filled dot on the selected
// station. Records without a GPS position are left out, and a selected one shows at the current
// position. Drawn into the overview box of the GPS-track Main page, and over the graphic in the
// main frame when ShowGpsTrack is on (on a scratch copy of the canvas, so the value layer the
// tap read-out uses is not changed). Reads RealScaling, EmptyStationColour and CursorColour.

#include "base/Colour.h"
#include "graphics/Drawing.h"
#include "graphics/PlotCanvas.h"
#include "graphics/SurveyData.h"

namespace orv {

class Configuration;

// The pen and the brush of the box and of the station circles. The overview box is a black
// outline filled white with white circles; the overlay has no fill (kNoColour), so the graphic
// under it stays visible.
struct TrackStyle
{
    Colour outline = kBlack;
    Colour fill = kWhite;
};

inline constexpr TrackStyle kOverviewTrackStyle{kBlack, kWhite};
inline constexpr TrackStyle kOverlayTrackStyle{kBlack, kNoColour};

// Draws nothing, and returns false, for a survey without records.
// `metrics` gives the circles' size and the dash pattern.
bool DrawTrack(PlotCanvas& canvas, const Configuration& config, const TrackSurveyData& survey,
               const FrameRect& rect, const TrackStyle& style = kOverviewTrackStyle,
               const DrawMetrics& metrics = {});

}  // namespace orv
