#include "graphics/Legend.h"

#include "charts/ColourChart.h"
#include "graphics/PlotCanvas.h"
#include "graphics/ScaleFrame.h"
#include "graphics/TextPainter.h"
#include "graphics/Units.h"

#include <algorithm>
#include <cmath>

namespace orv {

namespace {

// Steps tried for the numbers: from about one per 20 pixels, or a twelfth of the range on a
// long bar, upward.
constexpr int kMostStepsTried = 60;
constexpr int kFirstSpacing = 20;
constexpr int kMostNumbers = 12;
// The caption shares the unit's row while the bar keeps this share (in fifths) of the strip.
constexpr int kBarShareBesideCaption = 3;
constexpr const char* kCaptionSeparator = "  ";

std::string SideText(const LegendLayout& layout)
{
    if (layout.captionBesideUnit && !layout.caption.empty()) {
        return layout.unit.empty() ? layout.caption
                                   : layout.unit + kCaptionSeparator + layout.caption;
    }
    return layout.unit;
}

int LineHeight(TextPainter& text) { return text.Measure("0").height; }

// The next step of 1, 2, 5 times a power of ten.
double NextStep(double step)
{
    const double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    const double mantissa = step / power;
    if (mantissa < 1.5) {
        return 2.0 * power;
    }
    if (mantissa < 3.5) {
        return 5.0 * power;
    }
    return 10.0 * power;
}

double FirstStep(double rough)
{
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * power >= rough) {
            return m * power;
        }
    }
    return 10.0 * power;
}

}  // namespace

LegendLayout LayoutLegend(const DrawContext& context, const FrameRect& frame, std::string_view unit,
                          std::string_view caption)
{
    const DrawMetrics& m = context.metrics;
    LegendLayout layout;
    layout.plot = frame;
    layout.unit = std::string(unit);
    layout.caption = std::string(caption);
    if (frame.Width() < m.legendLeastWidth || frame.Height() < m.legendLeastHeight) {
        return layout;
    }
    TextPainter& text = context.text;
    const int line = LineHeight(text);
    if (!layout.caption.empty()) {
        layout.captionBesideUnit = true;
        const int side = text.Measure(SideText(layout)).width;
        const int bar = frame.Width() - 2 * m.legendPad - m.legendUnitGap - side;
        layout.captionBesideUnit = bar * 5 >= frame.Width() * kBarShareBesideCaption;
    }
    int height = m.legendGap + std::max(m.legendBar, line) + m.legendTick + line;
    if (!layout.caption.empty() && !layout.captionBesideUnit) {
        height += line;
    }
    layout.strip = FrameRect{frame.left, frame.bottom - height, frame.right, frame.bottom};
    layout.plot.bottom = layout.strip.top;
    layout.shown = true;
    return layout;
}

FrameRect LegendBar(const DrawContext& context, const LegendLayout& layout)
{
    const DrawMetrics& m = context.metrics;
    if (!layout.shown) {
        return {};
    }
    const int line = LineHeight(context.text);
    const std::string side = SideText(layout);
    const int sideWidth = side.empty() ? 0 : context.text.Measure(side).width + m.legendUnitGap;
    const int row = std::max(m.legendBar, line);
    FrameRect bar;
    bar.left = layout.strip.left + m.legendPad;
    bar.right = std::max(bar.left, layout.strip.right - m.legendPad - sideWidth);
    bar.top = layout.strip.top + m.legendGap + (row - m.legendBar) / 2;
    bar.bottom = bar.top + m.legendBar;
    return bar;
}

std::vector<LegendTick> LegendTicks(TextPainter& text, const DrawMetrics& metrics, float minimum,
                                    float maximum, int barWidth, int leftRoom, int rightRoom)
{
    std::vector<LegendTick> ticks;
    const double lo = minimum;
    const double range = double(maximum) - lo;
    if (!(range > 0.0) || !std::isfinite(range) || !std::isfinite(lo) || barWidth < 2) {
        return ticks;
    }
    const double span = double(barWidth - 1);
    double step = FirstStep(std::max(range * kFirstSpacing / span, range / kMostNumbers));
    for (int attempt = 0; attempt < kMostStepsTried && std::isfinite(step);
         ++attempt, step = NextStep(step)) {
        std::vector<LegendTick> candidate;
        const double first = std::ceil(lo / step - 1e-9);
        bool crowded = false;
        int lastRight = 0;
        for (int i = 0; i <= barWidth; ++i) {
            const double value = (first + i) * step;
            if (value > double(maximum) + step * 1e-9) {
                break;
            }
            LegendTick tick;
            tick.value = value;
            tick.x = static_cast<int>(std::lround((value - lo) / range * span));
            tick.text = LabelNumber(value, step);
            const int width = text.Measure(tick.text).width;
            const int left =
                std::max(std::min(tick.x - width / 2, barWidth + rightRoom - width), -leftRoom);
            tick.labelLeft = left;
            if (!candidate.empty() && left < lastRight + metrics.labelGap) {
                crowded = true;
                break;
            }
            lastRight = left + width;
            candidate.push_back(std::move(tick));
        }
        if (!crowded) {
            ticks = std::move(candidate);
            break;
        }
    }
    return ticks;
}

void DrawColourLegend(const DrawContext& context, const ColourChart& chart,
                      const LegendLayout& layout)
{
    if (!layout.shown || chart.Count() == 0) {
        return;
    }
    const DrawMetrics& m = context.metrics;
    PlotCanvas& canvas = context.canvas;
    TextPainter& text = context.text;
    const FrameRect bar = LegendBar(context, layout);
    const int width = bar.Width();
    const float minimum = chart.Minimum();
    const float maximum = chart.Maximum();
    if (width >= 2) {
        // Each column the colour of its value, from the minimum at the left to the maximum.
        const float perColumn = (maximum - minimum) / static_cast<float>(width - 1);
        for (int x = 0; x < width; ++x) {
            const float value = x == width - 1 ? maximum : minimum + perColumn * float(x);
            canvas.FillRect(bar.left + x, bar.top, bar.left + x + 1, bar.bottom,
                            chart.ColourAt(value));
        }
        canvas.DrawRectangle(bar.left - 1, bar.top - 1, bar.right + 1, bar.bottom + 1, kBlack,
                             kNoColour);
    }
    const int line = LineHeight(text);
    const std::string side = SideText(layout);
    if (!side.empty()) {
        const int y = bar.top + m.legendBar / 2 - line / 2;
        text.Draw(canvas, bar.right + m.legendUnitGap, y, side, kBlack);
        canvas.NoteChange();
    }
    const int labelTop = bar.bottom + 1 + m.legendTick;
    for (const LegendTick& tick :
         LegendTicks(text, m, minimum, maximum, width, bar.left - layout.strip.left,
                     layout.strip.right - bar.right)) {
        const int x = bar.left + tick.x;
        canvas.DrawLine(x, bar.bottom + 1, x, bar.bottom + m.legendTick, kBlack);
        text.Draw(canvas, bar.left + tick.labelLeft, labelTop, tick.text, kBlack);
        canvas.NoteChange();
    }
    if (!layout.caption.empty() && !layout.captionBesideUnit) {
        text.Draw(canvas, layout.strip.left + m.legendPad, labelTop + line, layout.caption, kBlack);
        canvas.NoteChange();
    }
}

}  // namespace orv
