#include "graphics/ProgressOverview.h"

#include "config/Configuration.h"
#include "graphics/PlotCanvas.h"

#include <algorithm>
#include <cstdint>

namespace orv {

namespace {

constexpr int kGroupProfiles = 6;
constexpr int kLineMinimumStations = 20;

// Left edge of station i's share of a row `width` pixels wide divided among n stations. Wide
// enough to stay exact for any slot count a file can hold.
int ShareEdge(int i, int width, int n)
{
    return static_cast<int>(static_cast<int64_t>(i) * width / n);
}

}  // namespace

bool DrawProgressOverview(PlotCanvas& canvas, const Configuration& config,
                          const GridSurveyData& survey, const FrameRect& box)
{
    const int width = box.Width();
    const int height = box.Height();
    if (width <= 0 || height <= 0) {
        return false;
    }
    const bool line = survey.stations <= 0;
    const int slotCount = static_cast<int>(std::min<size_t>(survey.slots.size(), INT32_MAX - 1));
    const int n = line ? std::max(kLineMinimumStations, slotCount + 1) : survey.stations;
    const int profiles = line ? 1 : std::max(survey.profiles, 1);

    const int rowHeight = height / kGroupProfiles;
    const int spare = height - rowHeight * kGroupProfiles;
    const int cursorProfile = std::clamp(survey.cursorProfile, 0, profiles - 1);
    const int first = cursorProfile / kGroupProfiles * kGroupProfiles;

    const Colour empty = config.EmptyStationColour;
    const Colour measured = config.MeasuredStationColour;
    const auto stateOf = [&](int p, int s) { return survey.IsMeasured(p, s) ? measured : empty; };

    // Top and bottom (exclusive) of the cells of profile p's row.
    const auto rowSpan = [&](int p, int& top, int& bottom) {
        const int fromTop = kGroupProfiles - 1 - (p - first);
        top = box.top + spare + fromTop * rowHeight + 1;
        bottom = box.top + spare + (fromTop + 1) * rowHeight - 1;
    };
    // The columns (right exclusive) of station s in the wide and middle cases.
    const auto cellSpan = [&](int s, int& left, int& right) {
        left = box.left + ShareEdge(s, width, n);
        right = box.left + ShareEdge(s + 1, width, n) - (width / 2 >= n ? 1 : 0);
    };

    for (int p = first; p < first + kGroupProfiles && p < profiles; ++p) {
        int top = 0;
        int bottom = 0;
        rowSpan(p, top, bottom);
        if (top >= bottom) {
            continue;
        }
        if (width >= n) {
            for (int s = 0; s < n; ++s) {
                int left = 0;
                int right = 0;
                cellSpan(s, left, right);
                canvas.FillRect(left, top, right, bottom, stateOf(p, s));
            }
        } else {
            for (int x = 0; x < width; ++x) {
                const int s = ShareEdge(x, n, width);
                canvas.FillRect(box.left + x, top, box.left + x + 1, bottom, stateOf(p, s));
            }
        }
    }

    const int cursorStation = survey.cursorStation;
    if (cursorStation < 0 || cursorStation >= n || survey.cursorProfile != cursorProfile) {
        return true;
    }
    int top = 0;
    int bottom = 0;
    rowSpan(cursorProfile, top, bottom);
    const Colour cursor = config.CursorColour;
    if (width >= n) {
        int left = 0;
        int right = 0;
        cellSpan(cursorStation, left, right);
        canvas.FillRect(left, top, right, bottom, cursor);
    } else {
        // The last column whose first station is at or before the cursor.
        int x = ShareEdge(cursorStation, width, n);
        while (x + 1 < width && ShareEdge(x + 1, n, width) <= cursorStation) {
            ++x;
        }
        canvas.FillRect(box.left + x, top, box.left + x + 1, bottom, cursor);
    }
    return true;
}

}  // namespace orv
