#pragma once
// The fixed sizes of the drawing in pixels: ticks, margins, gaps, the legend's bar, the track's
// circles. They are the handheld's sizes at a device-pixel ratio of 1; a screen with another
// ratio draws with ForRatio(ratio), which multiplies each (rounded, at least 1), so the
// geometry is unchanged at ratio 1. A drawing reads them from its DrawContext.

#include <algorithm>
#include <cmath>

namespace orv {

struct DrawMetrics
{
    // Scale frame: tick lengths, the rise of an x label above the tick base, the indent of a y
    // label from the left edge, the free space kept between two labels, and the width of the
    // white halo that keeps a label readable over a colour map.
    int majorTick = 7;
    int minorTick = 4;
    int xLabelRise = 6;
    int yLabelIndent = 8;
    int labelGap = 4;
    int labelHalo = 1;
    // Colour legend under a map or a section: the gap above it, the bar's height, the ticks
    // under the bar, the padding at its ends, the gap before the unit, and the least size of a
    // frame that gets a legend (a smaller one shows the picture alone).
    int legendGap = 4;
    int legendBar = 8;
    int legendTick = 3;
    int legendPad = 3;
    int legendUnitGap = 6;
    int legendLeastWidth = 100;
    int legendLeastHeight = 64;
    // Curves: the sounding curve's axis margin, the profile curve's label room left of and
    // under the curve, the half width of the band of values under a curve, the gap between a
    // caption or label row and the plot.
    int soundingMargin = 6;
    int profileLabelLeft = 22;
    int profileLabelBottom = 20;
    int valueBandHalfWidth = 2;
    int captionGap = 2;
    // GPS track: the circles' half size, the dash pattern, and the thinnest section drawn to
    // true scale (a thinner one is drawn fit to screen).
    int trackCircle = 2;
    int dashOn = 4;
    int dashOff = 3;
    int thinnestTrueScaleSection = 60;

    [[nodiscard]] static DrawMetrics ForRatio(float ratio)
    {
        DrawMetrics m;
        if (!(ratio > 0.0f) || !std::isfinite(ratio) || ratio == 1.0f) {
            return m;
        }
        const auto scale = [ratio](int& size) {
            size = std::max(1, static_cast<int>(std::lround(static_cast<float>(size) * ratio)));
        };
        for (int* size : {&m.majorTick,
                          &m.minorTick,
                          &m.xLabelRise,
                          &m.yLabelIndent,
                          &m.labelGap,
                          &m.labelHalo,
                          &m.legendGap,
                          &m.legendBar,
                          &m.legendTick,
                          &m.legendPad,
                          &m.legendUnitGap,
                          &m.legendLeastWidth,
                          &m.legendLeastHeight,
                          &m.soundingMargin,
                          &m.profileLabelLeft,
                          &m.profileLabelBottom,
                          &m.valueBandHalfWidth,
                          &m.captionGap,
                          &m.trackCircle,
                          &m.dashOn,
                          &m.dashOff,
                          &m.thinnestTrueScaleSection}) {
            scale(*size);
        }
        return m;
    }
};

}  // namespace orv
