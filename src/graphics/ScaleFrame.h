#pragma once
// The scale frame over a map, a section or a profile curve: tick marks along the bottom and left
// edges of the painted rectangle, numeric labels at the major ticks and, when wanted, grid lines
// across the picture at the major ticks. Ticks are black pixels, grid lines GridColour, labels
// black 8-point text.
//
// The x axis runs from x0 at `left` to x1 at `right`, labelled with x0 + k ("%.0lf"); the y axis
// from y0 at `bottom` to y1 at `top`, labelled round(y0 + k), or round(y0 - k) when y0 > y1, so a
// depth axis can grow downward. An axis whose two ends are equal is not drawn: a caller draws an
// x-only or a y-only frame that way. Ticks fall on whole units; the major step is a multiple of 5
// units chosen so that about one label comes per 20 pixels.

#include "base/Colour.h"

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

void DrawScaleFrame(bool gridLines, Colour gridColour, PlotCanvas& canvas, TextPainter& text,
                    int left, int top, int right, int bottom, float x0, float x1, float y0,
                    float y1);

}  // namespace orv
