#include "graphics/ScaleFrame.h"

#include "graphics/DrawMath.h"
#include "graphics/PlotCanvas.h"
#include "graphics/TextPainter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace orv {

namespace {

// Axes longer than this many units would only come from a broken value; they are not drawn.
constexpr float kLongestAxis = 1.0e9f;

bool Drawable(float a, float b)
{
    const float length = std::fabs(b - a);
    return a != b && std::isfinite(length) && length <= kLongestAxis;
}

// A label placed on the canvas: its box, left and top inclusive, right and bottom exclusive.
struct PlacedLabel
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    std::string text;

    [[nodiscard]] bool Crosses(const PlacedLabel& other, int gap) const
    {
        return left < other.right + gap && other.left < right + gap && top < other.bottom &&
               other.top < bottom;
    }
};

std::string WithUnit(std::string label, std::string_view unit)
{
    if (!unit.empty()) {
        label += ' ';
        label += unit;
    }
    return label;
}

// A major tick of an axis: where it stands (x of an x tick, y of a y tick), its number of major
// steps from the axis start, and its label without the unit.
struct Major
{
    int at = 0;
    int index = 0;
    std::string text;
};

// Strides tried: every label, every second, fifth, tenth, ...
constexpr int kStrides[] = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000};

// Places the labels of every `stride`-th major tick (counted from the axis start); the last
// carries the unit. `place` sets a label's box from its tick and its text.
template <typename Place>
std::vector<PlacedLabel> PlaceEvery(const std::vector<Major>& majors, int stride,
                                    std::string_view unit, Place place)
{
    std::vector<PlacedLabel> labels;
    for (const Major& major : majors) {
        if (major.index % stride == 0) {
            labels.push_back(place(major, major.text));
        }
    }
    if (!labels.empty() && !unit.empty()) {
        // Placed again with the unit, from the same tick.
        for (auto it = majors.rbegin(); it != majors.rend(); ++it) {
            if (it->index % stride == 0) {
                labels.back() = place(*it, WithUnit(it->text, unit));
                break;
            }
        }
    }
    return labels;
}

bool AnyCrossing(const std::vector<PlacedLabel>& labels, int gap)
{
    for (size_t i = 1; i < labels.size(); ++i) {
        if (labels[i].Crosses(labels[i - 1], gap)) {
            return true;
        }
    }
    return false;
}

// The labels of the smallest stride that keeps every two of them `gap` apart; with none, the
// last label alone.
template <typename Place>
std::vector<PlacedLabel> ThinnedLabels(const std::vector<Major>& majors, std::string_view unit,
                                       int gap, Place place)
{
    std::vector<PlacedLabel> labels;
    for (const int stride : kStrides) {
        labels = PlaceEvery(majors, stride, unit, place);
        if (labels.size() <= 1 || !AnyCrossing(labels, gap)) {
            return labels;
        }
    }
    labels.erase(labels.begin(), labels.end() - 1);
    return labels;
}

std::vector<PlacedLabel> DrawXAxis(bool gridLines, Colour gridColour, PlotCanvas& canvas,
                                   TextPainter& text, int left, int top, int right, int bottom,
                                   float x0, float x1, std::string_view unit,
                                   const DrawMetrics& metrics)
{
    const int width = right - left;
    const int height = bottom - top;
    const float length = std::fabs(x1 - x0);
    const AxisSteps steps = ComputeAxisSteps(length, width);
    const int base = std::min(bottom - 1, top + height - 1);
    std::vector<Major> majors;
    for (int k = steps.minor; k < steps.units; k += steps.minor) {
        const int x = left + RoundToInt(static_cast<float>(k) * static_cast<float>(width) / length);
        if (x >= right) {
            continue;
        }
        const bool major = k % steps.major == 0;
        const int tick = major ? metrics.majorTick : metrics.minorTick;
        for (int i = 0; i < tick; ++i) {
            canvas.SetPixel(x, base - i, kBlack);
        }
        if (!major) {
            continue;
        }
        char label[64];
        std::snprintf(label, sizeof label, "%.0lf", double(x0) + double(k));
        majors.push_back({x, k / steps.major, label});
        if (gridLines) {
            const int labelTop = base - text.Measure(label).height - metrics.xLabelRise;
            for (int y = top; y < labelTop; ++y) {
                canvas.SetPixel(x, y, gridColour);
            }
        }
    }
    if (majors.empty()) {
        return {};
    }
    // Centred on its tick, but neither end hangs outside the picture.
    const int lastAt = majors.back().at;
    const auto place = [&](const Major& major, const std::string& label) {
        const TextExtent extent = text.Measure(label);
        PlacedLabel placed;
        placed.text = label;
        placed.left = major.at - extent.width / 2;
        if (major.at == lastAt && placed.left + extent.width > right) {
            placed.left = right - extent.width;
        } else if (placed.left < left && major.at != lastAt) {
            placed.left = left;
        }
        placed.top = base - extent.height - metrics.xLabelRise;
        placed.right = placed.left + extent.width;
        placed.bottom = placed.top + extent.height;
        return placed;
    };
    std::vector<PlacedLabel> kept = ThinnedLabels(majors, unit, metrics.labelGap, place);
    for (const PlacedLabel& label : kept) {
        DrawLabel(text, canvas, label.left, label.top, label.text, metrics);
    }
    return kept;
}

void DrawYAxis(bool gridLines, Colour gridColour, PlotCanvas& canvas, TextPainter& text, int left,
               int top, int right, int bottom, float y0, float y1, std::string_view unit,
               const std::vector<PlacedLabel>& xLabels, const DrawMetrics& metrics)
{
    const int height = bottom - top;
    const float length = std::fabs(y1 - y0);
    const AxisSteps steps = ComputeAxisSteps(length, height);
    const int labelLeft = left + metrics.yLabelIndent;
    std::vector<Major> majors;
    for (int k = steps.minor; k < steps.units; k += steps.minor) {
        const int y =
            top + height - RoundToInt(static_cast<float>(k) * static_cast<float>(height) / length);
        if (y < top) {
            break;
        }
        if (y >= bottom) {
            continue;
        }
        const bool major = k % steps.major == 0;
        const int tick = major ? metrics.majorTick : metrics.minorTick;
        for (int i = 0; i < tick; ++i) {
            canvas.SetPixel(left + i, y, kBlack);
        }
        if (!major) {
            continue;
        }
        const float labelValue = y0 > y1 ? y0 - static_cast<float>(k) : y0 + static_cast<float>(k);
        char label[32];
        std::snprintf(label, sizeof label, "%d", RoundToInt(labelValue));
        majors.push_back({y, k / steps.major, label});
        if (gridLines) {
            for (int x = labelLeft + text.Measure(label).width + metrics.yLabelIndent; x < right;
                 ++x) {
                canvas.SetPixel(x, y, gridColour);
            }
        }
    }
    if (majors.empty()) {
        return;
    }
    // The top label (the last) carries the unit.
    const auto place = [&](const Major& major, const std::string& label) {
        const TextExtent extent = text.Measure(label);
        int labelTop = major.at - extent.height / 2;
        if (labelTop < top) {
            labelTop += extent.height / 10 + 1;
        }
        return PlacedLabel{labelLeft, labelTop, labelLeft + extent.width, labelTop + extent.height,
                           label};
    };
    for (const PlacedLabel& label : ThinnedLabels(majors, unit, 0, place)) {
        const bool crossesX =
            std::any_of(xLabels.begin(), xLabels.end(),
                        [&](const PlacedLabel& x) { return label.Crosses(x, metrics.labelGap); });
        if (!crossesX) {
            DrawLabel(text, canvas, label.left, label.top, label.text, metrics);
        }
    }
}

}  // namespace

void DrawLabel(TextPainter& text, PlotCanvas& canvas, int x, int y, std::string_view label,
               const DrawMetrics& metrics)
{
    text.DrawWithHalo(canvas, x, y, label, kBlack, kWhite, metrics.labelHalo);
    canvas.NoteChange();
}

AxisSteps ComputeAxisSteps(float length, int pixels)
{
    AxisSteps steps;
    if (!(length >= 0.0f) || length > kLongestAxis) {
        return steps;
    }
    steps.units = TruncateToInt(length + 0.5f);
    const int q = steps.units / (std::max(pixels, 0) / 20 + 1);
    int a = ((q + 4) / 5) * 5;
    if (a >= steps.units - 1) {
        a /= 5;
    }
    if (a < 1) {
        a = 1;
    }
    steps.major = a;
    steps.minor = a < 5 ? 1 : a / 5;
    return steps;
}

void DrawScaleFrame(bool gridLines, Colour gridColour, PlotCanvas& canvas, TextPainter& text,
                    int left, int top, int right, int bottom, float x0, float x1, float y0,
                    float y1, const AxisUnits& units, const DrawMetrics& metrics)
{
    if (right <= left || bottom <= top) {
        return;
    }
    std::vector<PlacedLabel> xLabels;
    if (Drawable(x0, x1)) {
        xLabels = DrawXAxis(gridLines, gridColour, canvas, text, left, top, right, bottom, x0, x1,
                            units.x, metrics);
    }
    if (Drawable(y0, y1)) {
        DrawYAxis(gridLines, gridColour, canvas, text, left, top, right, bottom, y0, y1, units.y,
                  xLabels, metrics);
    }
}

}  // namespace orv
