#pragma once
// The colour legend under a map or a section: a bar painted with the chart over its range, with
// numbered ticks under it, the value unit at its right end and, for a map, a caption (the
// frequency in kHz, the track map's gridding radius in cells). It takes a strip along the bottom
// of the graphic's frame; the picture is drawn in the rest of the frame by the Part's own
// arithmetic, then the legend shows the range the picture was painted with.
//
//     const LegendLayout layout = LayoutLegend(context, frame, unit, caption);
//     DrawGridMap(context, survey, p, f, layout.plot);
//     DrawColourLegend(context, config.AreaChart, layout);
//
// The numbers are chosen from steps of 1, 2 and 5 times a power of ten, the smallest step whose
// labels keep DrawMetrics::labelGap apart and stay inside the strip. The bar holds no values in
// the canvas's value layer: a tap reads the picture only.

#include "graphics/Drawing.h"

#include <string>
#include <string_view>
#include <vector>

namespace orv {

struct LegendLayout
{
    FrameRect plot;   // where the picture goes: the frame, less the strip
    FrameRect strip;  // the legend's strip; empty (shown false) on a frame too small for it
    bool shown = false;
    std::string unit;     // at the bar's right end
    std::string caption;  // after the unit, or on a line of its own under the numbers
    bool captionBesideUnit = false;
};

[[nodiscard]] LegendLayout LayoutLegend(const DrawContext& context, const FrameRect& frame,
                                        std::string_view unit, std::string_view caption);

// The numbers of a bar `barWidth` pixels wide from minimum to maximum: each value, the pixel
// column (from the bar's left) where it stands and the left of its label, which may reach
// `leftRoom` pixels left of the bar and `rightRoom` right of it.
struct LegendTick
{
    double value = 0.0;
    int x = 0;
    int labelLeft = 0;
    std::string text;
};
[[nodiscard]] std::vector<LegendTick> LegendTicks(TextPainter& text, const DrawMetrics& metrics,
                                                  float minimum, float maximum, int barWidth,
                                                  int leftRoom, int rightRoom);

// Draws the legend of `chart` (over its current range) into the layout's strip; nothing when
// the layout has no strip or the chart no stops.
void DrawColourLegend(const DrawContext& context, const ColourChart& chart,
                      const LegendLayout& layout);

// The bar's rectangle in a layout (left and top inclusive), for tests and hit tests.
[[nodiscard]] FrameRect LegendBar(const DrawContext& context, const LegendLayout& layout);

}  // namespace orv
