#pragma once
// The progress overview of a grid survey, the small box beside Start on the Main page: the
// group of six profiles that holds the cursor profile (profiles 6g .. 6g + 5), one row each,
// the highest profile at the top, and in each row one cell per station, grey for a station not
// yet measured, red for a measured one, blue for the cursor. The operator sees at a glance what
// is left to walk on the profiles around him.
//
//   rows      box height / 6 pixels each, the rest of the height left blank above the top row;
//             a row's cells run from its top + 1 to its top + height - 2, so a blank line
//             separates the rows
//   stations  Stations of the survey, or on a Line max(20, slot count + 1), so the station
//             after the last measured one always has its cell
//   columns   box width W, n stations:
//               W >= 2n  station i from left + i*W/n to left + (i+1)*W/n - 2, a blank column
//                        between neighbours
//               W >= n   station i from left + i*W/n to left + (i+1)*W/n - 1, no gap
//               W <  n   pixel column x shows station x*n/W; the cursor takes the column whose
//                        stations x*n/W .. (x+1)*n/W - 1 hold it, so it is always visible
//
// Reads EmptyStationColour, MeasuredStationColour and CursorColour. Rows of profiles beyond the
// survey's last and the box's background are not touched: the page clears the box first.

#include "graphics/Drawing.h"
#include "graphics/SurveyData.h"

namespace orv {

class Configuration;
class PlotCanvas;

// False, with nothing drawn, when the box has no area.
bool DrawProgressOverview(PlotCanvas& canvas, const Configuration& config,
                          const GridSurveyData& survey, const FrameRect& box);

}  // namespace orv
