#include "graphics/CurveDrawing.h"

#include "config/Configuration.h"
#include "graphics/DrawMath.h"
#include "graphics/PlotCanvas.h"
#include "graphics/ScaleFrame.h"
#include "graphics/SectionDrawing.h"
#include "graphics/TextPainter.h"
#include "graphics/Units.h"
#include "signal/SignalComputation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <string>
#include <vector>

namespace orv {

namespace {

// Marks of an unlabelled axis; a scale that would need more is not one a person can read.
constexpr int kMostMarks = 1000;

// The step of the unlabelled axes: the power of ten just above the range per (pixels / 10 + 1),
// or 1 when that rounds to 0.
float MarkStep(float range, int pixels)
{
    const float a = std::floor(range / static_cast<float>(std::max(pixels, 0) / 10 + 1) + 0.5f);
    if (!(a >= 1.0f)) {
        return 1.0f;
    }
    float step = 10.0f;
    while (step <= a && std::isfinite(step)) {
        step *= 10.0f;
    }
    return step;
}

// Calls mark(position) for the marks of lo..hi on a `pixels`-long axis.
template <typename Mark>
void ForEachMark(float lo, float hi, int pixels, Mark mark)
{
    const float step = MarkStep(hi - lo, pixels);
    if (!std::isfinite(step)) {
        return;
    }
    const float start = std::trunc(lo / step) * step;
    for (int k = 0; k < kMostMarks; ++k) {
        const float m = start + static_cast<float>(k) * step;
        if (!(m <= hi)) {
            break;
        }
        if (m >= lo && !mark(m)) {
            break;
        }
    }
}

// Draws the points as a polyline in the curve colour, the first as a single pixel, and lays the
// values under it in a band 5 pixels wide.
void DrawPolyline(PlotCanvas& canvas, std::span<const int> xs, std::span<const int> ys,
                  std::span<const float> values, int bandHalfWidth)
{
    for (size_t k = 0; k < xs.size(); ++k) {
        if (k == 0) {
            canvas.SetPixel(xs[0], ys[0], kCurveColour);
            canvas.SetValue(xs[0], ys[0], values[0]);
            continue;
        }
        canvas.DrawLine(xs[k - 1], ys[k - 1], xs[k], ys[k], kCurveColour);
        canvas.ThickValueLine(xs[k - 1], ys[k - 1], xs[k], ys[k], values[k - 1], values[k],
                              bandHalfWidth);
    }
}

// The y of each value of a profile curve: vMax on the top row, vMin on the last row above
// plotBottom (the bottom edge itself lies outside the plot).
void ProfileRows(std::span<const float> values, float vMin, float vMax, int top, int plotBottom,
                 std::span<int> ys)
{
    for (size_t k = 0; k < values.size(); ++k) {
        if (vMax == vMin) {
            ys[k] = (top + plotBottom) / 2;
        } else {
            ys[k] = plotBottom - 1 -
                    RoundToInt((values[k] - vMin) * static_cast<float>(plotBottom - 1 - top) /
                               (vMax - vMin));
        }
    }
}

// The curve's values of a run of records, with the automatic limits and the optional filter.
struct CurveValues
{
    std::vector<float> values;
    std::vector<int> xs;
    std::vector<int> ys;
    float vMin = 0.0f;
    float vMax = 0.0f;
};

bool AllocateCurve(const DrawContext& context, CurveValues& curve, int n)
{
    try {
        curve.values.assign(size_t(n), 0.0f);
        curve.xs.assign(size_t(n), 0);
        curve.ys.assign(size_t(n), 0);
    } catch (const std::bad_alloc&) {
        ReportInsufficientMemory(context.prompt);
        return false;
    }
    return true;
}

void FinishValues(const Configuration& config, CurveValues& curve)
{
    const auto [lo, hi] = std::minmax_element(curve.values.begin(), curve.values.end());
    curve.vMin = *lo;
    curve.vMax = *hi;
    if (config.FilterProfileCurve != 0) {
        FilterProfileValues(curve.values);
    }
}

struct ProfilePlot
{
    int top = 0;  // below the caption
    int plotLeft = 0;
    int plotBottom = 0;
    int available = 0;  // right - plotLeft - 2, at least 0
    int labelRoom = 0;  // the y labels' room left of the curve
    bool labelled = false;
};

std::string IntegerLabel(float v) { return std::to_string(RoundToInt(v)); }

// The caption over a labelled profile curve: the value unit and the frequency in kHz.
std::string ProfileCaption(const Configuration& config, int f)
{
    std::string caption = UnitText(config);
    const std::string kHz = FrequencyText(config, f);
    if (!kHz.empty()) {
        caption += caption.empty() ? kHz : ", " + kHz;
    }
    return caption;
}

// The plot of a profile curve: with scale marks or grid, a caption line at the top, room for
// the value labels left of the curve (22 pixels, more when the numbers are wider) and 20 pixels
// for the distance labels under it.
ProfilePlot ProfilePlotArea(const DrawContext& context, const FrameRect& frame, float vMin,
                            float vMax, std::string_view caption)
{
    const DrawMetrics& m = context.metrics;
    ProfilePlot plot;
    plot.labelled = WantsScaleFrame(context.config);
    plot.top = frame.top;
    if (plot.labelled) {
        const int widest = std::max(context.text.Measure(IntegerLabel(vMin)).width,
                                    context.text.Measure(IntegerLabel(vMax)).width);
        plot.labelRoom = std::max(m.profileLabelLeft, m.yLabelIndent + widest + m.captionGap);
        if (!caption.empty() && frame.Height() > 4 * context.text.Measure(caption).height) {
            plot.top += context.text.Measure(caption).height + m.captionGap;
        }
    }
    plot.plotLeft = frame.left + (plot.labelled ? plot.labelRoom : 2);
    plot.plotBottom = frame.bottom - (plot.labelled ? m.profileLabelBottom : 0);
    plot.available = std::max(frame.right - plot.plotLeft - 2, 0);
    return plot;
}

void DrawProfileCaption(const DrawContext& context, const FrameRect& frame, const ProfilePlot& plot,
                        std::string_view caption)
{
    if (plot.top > frame.top) {
        context.text.Draw(context.canvas, frame.left + 2, frame.top, caption, kBlack);
        context.canvas.NoteChange();
    }
}

// The x-only frame under the curve and the y-only frame left of it.
void ProfileFrames(const DrawContext& context, const ProfilePlot& plot, int start, int t,
                   float length, float vMin, float vMax)
{
    const Configuration& config = context.config;
    if (!plot.labelled) {
        return;
    }
    const bool grid = config.ShowGrid != 0;
    const DrawMetrics& m = context.metrics;
    DrawScaleFrame(grid, config.GridColour, context.canvas, context.text, start, plot.top,
                   start + t, plot.plotBottom + m.profileLabelBottom, 0.0f, length, 0.0f, 0.0f,
                   AxisUnits{"m", {}}, m);
    DrawScaleFrame(grid, config.GridColour, context.canvas, context.text, start - plot.labelRoom,
                   plot.top, start + t, plot.plotBottom, 0.0f, 0.0f, vMin, vMax, AxisUnits{}, m);
}

// The numbers of a sounding curve: values over the curve (the unit at the row's right end),
// depths left of it (the top one with "m"), each row thinned so no two labels touch.
struct Mark
{
    int at = 0;  // x of a value mark, y of a depth mark
    float value = 0.0f;
};

void DrawSoundingLabels(const DrawContext& context, const FrameRect& frame,
                        const FrameRect& plotFrame, const std::vector<Mark>& valueMarks,
                        float valueStep, const std::vector<Mark>& depthMarks, float depthStep)
{
    const DrawMetrics& m = context.metrics;
    TextPainter& text = context.text;
    PlotCanvas& canvas = context.canvas;
    const std::string unit = UnitText(context.config);
    int limit = frame.right;
    if (!unit.empty()) {
        const int width = text.Measure(unit).width;
        limit = frame.right - width - 1;
        text.Draw(canvas, limit, frame.top, unit, kBlack);
        canvas.NoteChange();
    }
    int lastRight = frame.left - m.labelGap;
    for (const Mark& mark : valueMarks) {
        const std::string label = LabelNumber(mark.value, valueStep);
        const int width = text.Measure(label).width;
        const int left = std::max(mark.at - width / 2, frame.left);
        if (left < lastRight + m.labelGap || left + width + m.labelGap > limit) {
            continue;
        }
        text.Draw(canvas, left, frame.top, label, kBlack);
        canvas.NoteChange();
        lastRight = left + width;
    }
    int lastBottom = plotFrame.top - 1;
    bool first = true;
    for (const Mark& mark : depthMarks) {
        std::string label = LabelNumber(mark.value, depthStep);
        if (first) {
            label += " m";
        }
        const TextExtent extent = text.Measure(label);
        const int top = std::max(mark.at - extent.height / 2, plotFrame.top);
        if (!first && top < lastBottom) {
            continue;
        }
        const int right = plotFrame.left - m.captionGap;
        text.Draw(canvas, std::max(frame.left, right - extent.width), top, label, kBlack);
        canvas.NoteChange();
        lastBottom = top + extent.height;
        first = false;
    }
}

}  // namespace

void FilterProfileValues(std::span<float> values)
{
    const size_t n = values.size();
    if (n <= 8) {
        return;
    }
    std::vector<float> original(values.begin(), values.end());
    for (size_t i = 4; i + 4 < n; ++i) {
        float sum = 0.0f;
        for (size_t j = i - 4; j <= i + 4; ++j) {
            sum += original[j];
        }
        values[i] = sum * (1.0f / 9.0f);
    }
}

bool DrawSoundingCurve(const DrawContext& context, const MeasurementSlot* record,
                       const FrameRect& frame)
{
    const Configuration& config = context.config;
    PlotCanvas& canvas = context.canvas;
    if (record == nullptr || record->IsEmpty()) {
        return false;
    }
    std::array<int, kFrequencyCount> active{};
    const int o = ActiveFrequencies(config, active);
    if (o == 0 || frame.Width() <= 0 || frame.Height() <= 0) {
        return false;
    }
    std::array<float, kFrequencyCount> all{};
    ValuesAll(config, *record, all);
    std::array<float, kFrequencyCount> values{};
    std::array<float, kFrequencyCount> depths{};
    for (int k = 0; k < o; ++k) {
        values[size_t(k)] = all[size_t(active[size_t(k)])];
        depths[size_t(k)] = DepthOf(config, active[size_t(k)]);
    }
    const auto [vLo, vHi] = std::minmax_element(values.begin(), values.begin() + o);
    const auto [dLo, dHi] = std::minmax_element(depths.begin(), depths.begin() + o);
    const float vMin = *vLo;
    const float vMax = *vHi;
    const float dMin = *dLo;
    const float dMax = *dHi;
    if (vMin == vMax && dMin == dMax) {
        return false;
    }

    const bool scaleMarks = config.ShowScaleMarks != 0;
    // With scale marks the numbers take a row over the curve and a column left of it; the
    // curve and its axes are drawn in the rest as the handheld drew them in the whole frame.
    FrameRect plotFrame = frame;
    const DrawMetrics& metrics = context.metrics;
    if (scaleMarks) {
        TextPainter& text = context.text;
        const int row = text.Measure("0").height + metrics.captionGap;
        const int column = std::max(text.Measure(LabelNumber(std::trunc(dMax), 1.0)).width,
                                    text.Measure(LabelNumber(std::trunc(dMin), 1.0) + " m").width) +
                           metrics.captionGap;
        if (frame.Width() > 4 * column && frame.Height() > 4 * row) {
            plotFrame.top += row;
            plotFrame.left += column;
        }
    }
    const bool labelled = scaleMarks && (plotFrame.top > frame.top);
    int left = plotFrame.left;
    int top = plotFrame.top;
    const int right = plotFrame.right;
    const int bottom = plotFrame.bottom;
    const int l = scaleMarks ? metrics.soundingMargin : 1;
    if (scaleMarks) {
        // Value axis along the top with its arrow head at the right; a tap on it reads the
        // value scale.
        canvas.DrawLine(left, top + 2, right - 1, top + 2, kBlack);
        canvas.SetPixel(right - 1, top + 1, kBlack);
        canvas.SetPixel(right - 2, top + 1, kBlack);
        canvas.SetPixel(right - 2, top, kBlack);
        canvas.SetPixel(right - 1, top + 3, kBlack);
        canvas.SetPixel(right - 2, top + 3, kBlack);
        canvas.SetPixel(right - 2, top + 4, kBlack);
        for (int y = top; y <= top + 4; ++y) {
            canvas.ValueLine(left + metrics.soundingMargin, y, right, y, vMin, vMax);
        }
        // Depth axis down the left with its arrow head at the bottom.
        canvas.DrawLine(left + 2, top, left + 2, bottom - 1, kBlack);
        canvas.SetPixel(left + 1, bottom - 1, kBlack);
        canvas.SetPixel(left + 1, bottom - 2, kBlack);
        canvas.SetPixel(left, bottom - 2, kBlack);
        canvas.SetPixel(left + 3, bottom - 1, kBlack);
        canvas.SetPixel(left + 3, bottom - 2, kBlack);
        canvas.SetPixel(left + 4, bottom - 2, kBlack);
        for (int x = left; x <= left + 4; ++x) {
            canvas.ValueLine(x, top + metrics.soundingMargin, x, bottom, dMin, dMax);
        }
        // The curve's value band may reach the axis's last column: it reads as a value there.
        canvas.MarkDepthBand(left, top + metrics.soundingMargin, left + 4, bottom + 1);
    }
    left += l;
    top += l;
    const int width = right - left;
    const int height = bottom - top;
    // The largest value and depth go on the last column and row inside the frame; right and
    // bottom themselves lie outside it.
    const float sx = static_cast<float>(width - 1) / (vMax - vMin);
    const float sy = static_cast<float>(height - 1) / (dMax - dMin);

    std::vector<Mark> valueMarks;
    std::vector<Mark> depthMarks;
    const float valueStep = MarkStep(vMax - vMin, width);
    const float depthStep = MarkStep(dMax - dMin, height);
    if (scaleMarks || config.ShowGrid != 0) {
        const bool grid = config.ShowGrid != 0;
        if (vMax != vMin) {
            ForEachMark(vMin, vMax, width, [&](float mark) {
                const int x = RoundToInt((mark - vMin) * sx + static_cast<float>(left));
                if (x >= right - 3) {
                    return false;
                }
                if (labelled) {
                    valueMarks.push_back({x, mark});
                }
                if (grid) {
                    canvas.DrawLine(x, top - 1, x, bottom, config.GridColour);
                }
                if (scaleMarks) {
                    canvas.DrawLine(x, top - 1 - (l - 1) / 2, x, top - 2, kBlack);
                }
                return true;
            });
        }
        if (dMax != dMin) {
            ForEachMark(dMin, dMax, height, [&](float mark) {
                const int y = RoundToInt((mark - dMin) * sy + static_cast<float>(top));
                if (y >= bottom - 3) {
                    return false;
                }
                if (labelled) {
                    depthMarks.push_back({y, mark});
                }
                if (grid) {
                    canvas.DrawLine(left - 1, y, right, y, config.GridColour);
                }
                if (scaleMarks) {
                    canvas.DrawLine(left - 1 - (l - 1) / 2, y, left - 2, y, kBlack);
                }
                return true;
            });
        }
    }

    std::array<int, kFrequencyCount> xs{};
    std::array<int, kFrequencyCount> ys{};
    for (int k = 0; k < o; ++k) {
        xs[size_t(k)] =
            vMax == vMin ? (left + right) / 2
                         : RoundToInt((values[size_t(k)] - vMin) * sx + static_cast<float>(left));
        ys[size_t(k)] = dMax == dMin
                            ? (top + bottom) / 2
                            : RoundToInt((depths[size_t(k)] - dMin) * sy + static_cast<float>(top));
    }
    DrawPolyline(canvas, std::span(xs).first(size_t(o)), std::span(ys).first(size_t(o)),
                 std::span(values).first(size_t(o)), context.metrics.valueBandHalfWidth);
    if (labelled) {
        DrawSoundingLabels(context, frame, plotFrame, valueMarks, valueStep, depthMarks, depthStep);
    }
    return true;
}

bool DrawGridProfileCurve(const DrawContext& context, const GridSurveyData& survey, int p, int s,
                          int f, const FrameRect& frame)
{
    const Configuration& config = context.config;
    StationRun run = FindMeasuredRun(survey, p, s);
    if (run.Length() < 2 || frame.Width() <= 0 || frame.Height() <= 0) {
        return false;
    }
    int stations = std::max(survey.StationsPerProfile(), 1);
    const int shown = config.MeasurementsToShow;
    if (shown > 0 && shown < run.Length()) {
        // The most recent stations: the highest on an even profile, walked upward, the lowest
        // on an odd one.
        if (p % 2 == 0) {
            run.first = run.last - shown + 1;
        } else {
            run.last = run.first + shown - 1;
        }
        stations = shown;
    }
    const int n = run.Length();
    CurveValues curve;
    if (!AllocateCurve(context, curve, n)) {
        return false;
    }
    for (int k = 0; k < n; ++k) {
        curve.values[size_t(k)] = ValueAt(config, *survey.Slot(p, run.first + k), f);
    }
    FinishValues(config, curve);

    const std::string caption = ProfileCaption(config, f);
    const ProfilePlot plot = ProfilePlotArea(context, frame, curve.vMin, curve.vMax, caption);
    const int t = int((unsigned(n) * unsigned(plot.available)) / unsigned(stations));
    const int start = p % 2 == 0 ? plot.plotLeft : frame.right - t - 2;
    ProfileRows(curve.values, curve.vMin, curve.vMax, plot.top, plot.plotBottom, curve.ys);
    for (int k = 0; k < n; ++k) {
        curve.xs[size_t(k)] = start + (k * t + (n - 1) / 2) / (n - 1);
    }
    DrawPolyline(context.canvas, curve.xs, curve.ys, curve.values,
                 context.metrics.valueBandHalfWidth);
    ProfileFrames(context, plot, start, t, static_cast<float>(n - 1) * survey.xStep, curve.vMin,
                  curve.vMax);
    DrawProfileCaption(context, frame, plot, caption);
    return true;
}

bool DrawTrackProfileCurve(const DrawContext& context, const TrackSurveyData& survey, int f,
                           const FrameRect& frame)
{
    const Configuration& config = context.config;
    const int count = survey.Count();
    int first = 0;
    int n = count;
    const int shown = config.MeasurementsToShow;
    if (shown >= 1 && shown < count) {
        first = count - shown;
        n = shown;
    }
    if (n < 2 || frame.Width() <= 0 || frame.Height() <= 0) {
        return false;
    }
    CurveValues curve;
    std::vector<float> distances;
    if (!AllocateCurve(context, curve, n) || !AllocateCells(context.prompt, distances, size_t(n))) {
        return false;
    }
    for (int k = 0; k < n; ++k) {
        curve.values[size_t(k)] = ValueAt(config, survey.slots[size_t(first + k)], f);
    }
    FinishValues(config, curve);
    WalkedDistances(survey, first, n, distances);

    const std::string caption = ProfileCaption(config, f);
    const ProfilePlot plot = ProfilePlotArea(context, frame, curve.vMin, curve.vMax, caption);
    const int w = plot.available;
    ProfileRows(curve.values, curve.vMin, curve.vMax, plot.top, plot.plotBottom, curve.ys);
    for (int k = 0; k < n; ++k) {
        curve.xs[size_t(k)] =
            plot.plotLeft + int((unsigned(k) * unsigned(w) + unsigned(n) / 2) / unsigned(n));
    }
    DrawPolyline(context.canvas, curve.xs, curve.ys, curve.values,
                 context.metrics.valueBandHalfWidth);
    ProfileFrames(context, plot, plot.plotLeft, w, distances.back(), curve.vMin, curve.vMax);
    DrawProfileCaption(context, frame, plot, caption);
    return true;
}

}  // namespace orv
