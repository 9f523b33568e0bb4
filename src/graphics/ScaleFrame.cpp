#include "graphics/ScaleFrame.h"

#include "graphics/DrawMath.h"
#include "graphics/PlotCanvas.h"
#include "graphics/TextPainter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orv {

namespace {

constexpr int kMajorTick = 7;
constexpr int kMinorTick = 4;
// Axes longer than this many units would only come from a broken value; they are not drawn.
constexpr float kLongestAxis = 1.0e9f;

bool Drawable(float a, float b)
{
    const float length = std::fabs(b - a);
    return a != b && std::isfinite(length) && length <= kLongestAxis;
}

void DrawXAxis(bool gridLines, Colour gridColour, PlotCanvas& canvas, TextPainter& text, int left,
               int top, int right, int bottom, float x0, float x1)
{
    const int width = right - left;
    const int height = bottom - top;
    const float length = std::fabs(x1 - x0);
    const AxisSteps steps = ComputeAxisSteps(length, width);
    const int base = std::min(bottom - 1, top + height - 1);
    for (int k = steps.minor; k < steps.units; k += steps.minor) {
        const int x = left + RoundToInt(static_cast<float>(k) * static_cast<float>(width) / length);
        if (x >= right) {
            continue;
        }
        const bool major = k % steps.major == 0;
        const int tick = major ? kMajorTick : kMinorTick;
        for (int i = 0; i < tick; ++i) {
            canvas.SetPixel(x, base - i, kBlack);
        }
        if (!major) {
            continue;
        }
        char label[64];
        std::snprintf(label, sizeof label, "%.0lf", double(x0) + double(k));
        const TextExtent extent = text.Measure(label);
        const int labelTop = base - extent.height - 6;
        text.Draw(canvas, x - extent.width / 2, labelTop, label, kBlack);
        canvas.NoteChange();
        if (gridLines) {
            for (int y = top; y < labelTop; ++y) {
                canvas.SetPixel(x, y, gridColour);
            }
        }
    }
}

void DrawYAxis(bool gridLines, Colour gridColour, PlotCanvas& canvas, TextPainter& text, int left,
               int top, int right, int bottom, float y0, float y1)
{
    const int height = bottom - top;
    const float length = std::fabs(y1 - y0);
    const AxisSteps steps = ComputeAxisSteps(length, height);
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
        const int tick = major ? kMajorTick : kMinorTick;
        for (int i = 0; i < tick; ++i) {
            canvas.SetPixel(left + i, y, kBlack);
        }
        if (!major) {
            continue;
        }
        const float labelValue = y0 > y1 ? y0 - static_cast<float>(k) : y0 + static_cast<float>(k);
        char label[32];
        std::snprintf(label, sizeof label, "%d", RoundToInt(labelValue));
        const TextExtent extent = text.Measure(label);
        const int labelLeft = left + 8;
        int labelTop = y - extent.height / 2;
        if (labelTop < top) {
            labelTop += extent.height / 10 + 1;
        }
        text.Draw(canvas, labelLeft, labelTop, label, kBlack);
        canvas.NoteChange();
        if (gridLines) {
            for (int x = labelLeft + extent.width + 8; x < right; ++x) {
                canvas.SetPixel(x, y, gridColour);
            }
        }
    }
}

}  // namespace

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
                    float y1)
{
    if (right <= left || bottom <= top) {
        return;
    }
    if (Drawable(x0, x1)) {
        DrawXAxis(gridLines, gridColour, canvas, text, left, top, right, bottom, x0, x1);
    }
    if (Drawable(y0, y1)) {
        DrawYAxis(gridLines, gridColour, canvas, text, left, top, right, bottom, y0, y1);
    }
}

}  // namespace orv
