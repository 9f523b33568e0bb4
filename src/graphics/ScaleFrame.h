#pragma once
// The scale frame over a map, a section or a profile curve: tick marks along the bottom and left
// edges of the painted rectangle, numeric labels at the major ticks and, when wanted, grid lines
// across the picture at the major ticks. Ticks are black pixels, grid lines GridColour, labels
// black 8-point text on a thin white halo (readable over the colours).
//
// The x axis runs from x0 at `left` to x1 at `right`, labelled with x0 + k ("%.0lf"); the y axis
// from y0 at `bottom` to y1 at `top`, labelled round(y0 + k), or round(y0 - k) when y0 > y1, so a
// depth axis can grow downward. An axis whose two ends are equal is not drawn: a caller draws an
// x-only or a y-only frame that way. Ticks fall on whole units; the major step is a multiple of 5
// units chosen so that about one label comes per 20 pixels.
//
// Labels never run into each other: the last x label (the rightmost) and the top y label carry
// the axis unit when one is given ("15 m"), and are kept; going back from them, a label that
// would come closer than DrawMetrics::labelGap to the one kept before it is left out, and so is
// a y label that would cross an x label. The last x label is moved left to end at `right`, and a
// first one that would start left of `left` moves right, so neither hangs outside the picture.

#include "base/Colour.h"
#include "graphics/DrawMetrics.h"

#include <string_view>

namespace orv {

class PlotCanvas;
class TextPainter;

struct AxisSteps
{
    int units = 0;  // N: the axis length rounded to whole units
    int major = 1;  // A
    int minor = 1;  // m
};

// The step rule of both axes for an axis of `length` units over `pixels` pixels.
[[nodiscard]] AxisSteps ComputeAxisSteps(float length, int pixels);

// The unit of each axis, shown once on its outermost label; empty for none.
struct AxisUnits
{
    std::string_view x;
    std::string_view y;
};

void DrawScaleFrame(bool gridLines, Colour gridColour, PlotCanvas& canvas, TextPainter& text,
                    int left, int top, int right, int bottom, float x0, float x1, float y0,
                    float y1, const AxisUnits& units = {}, const DrawMetrics& metrics = {});

// Draws a label over the white halo of the metrics (see TextPainter::DrawWithHalo).
void DrawLabel(TextPainter& text, PlotCanvas& canvas, int x, int y, std::string_view label,
               const DrawMetrics& metrics);

}  // namespace orv
