#include "graphics/ScatteredInterpolator.h"

#include "base/NoValue.h"
#include "graphics/WorkerPool.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace orv {

namespace {

// A point placed on the output grid. Column and row may lie beyond the grid's far edges (the
// grid covers the points' extent only along its tighter axis); the point then reaches the grid
// from outside or not at all. 64-bit, so that no radius overflows the arithmetic.
struct Placed
{
    int64_t column;
    int64_t row;
    double value;  // the point's float value, widened once for the row sums
};

bool Usable(const ScatteredPoint& p)
{
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.value) &&
           !IsNoValue(p.value);
}

// A mean that rounds up to the largest float must not read as "no value".
float Mean(double sum, double weight)
{
    const double m = sum / weight;
    constexpr double kTop = 3.4028232635611926e38;  // the float just below NoValue
    return static_cast<float>(std::clamp(m, -kTop, kTop));
}

void GridDirect(const std::vector<Placed>& placed, int64_t radius, float cell, int outW, int outH,
                std::span<float> out)
{
    const auto w = static_cast<size_t>(outW);
    const size_t cells = w * static_cast<size_t>(outH);
    std::vector<float> sum(cells, 0.0f);
    std::vector<float> weight(cells, 0.0f);
    const float r = static_cast<float>(radius) * cell;
    for (const Placed& p : placed) {
        const int64_t dyFirst = std::max(-radius, -p.row);
        const int64_t dyLast = std::min(radius + 1, outH - 1 - p.row);
        for (int64_t dy = dyFirst; dy <= dyLast; ++dy) {
            const int64_t ady = std::abs(dy);
            const int64_t m = radius - ady + 1;
            const int64_t dxFirst = std::max(-m, -p.column);
            const int64_t dxLast = std::min(m, outW - 1 - p.column);
            const size_t rowStart = static_cast<size_t>(p.row + dy) * w;
            for (int64_t dx = dxFirst; dx <= dxLast; ++dx) {
                const float d = static_cast<float>(std::abs(dx) + ady) * cell;
                if (d < r) {
                    const float wt = 1 - d / r;
                    const size_t t = rowStart + static_cast<size_t>(p.column + dx);
                    sum[t] += static_cast<float>(p.value) * wt;
                    weight[t] += wt;
                }
            }
        }
    }
    for (size_t t = 0; t < cells; ++t) {
        out[t] = weight[t] == 0 ? kNoValue : sum[t] / weight[t];
    }
}

// The points in order of their row, with the index of the first point of each row when the rows
// are few enough to count (a counting sort), else a stable sort.
void SortByRow(std::vector<Placed>& placed)
{
    int64_t maxRow = 0;
    for (const Placed& p : placed) {
        maxRow = std::max(maxRow, p.row);
    }
    constexpr int64_t kCountedRows = int64_t{1} << 20;
    if (maxRow >= kCountedRows) {
        std::stable_sort(placed.begin(), placed.end(),
                         [](const Placed& a, const Placed& b) { return a.row < b.row; });
        return;
    }
    std::vector<size_t> start(static_cast<size_t>(maxRow) + 2, 0);
    for (const Placed& p : placed) {
        ++start[static_cast<size_t>(p.row) + 1];
    }
    for (size_t b = 1; b < start.size(); ++b) {
        start[b] += start[b - 1];
    }
    std::vector<Placed> sorted(placed.size());
    for (const Placed& p : placed) {
        sorted[start[static_cast<size_t>(p.row)]++] = p;
    }
    placed.swap(sorted);
}

// On one row, a point at distance |dy| rows adds to column column + dx the weight
// (radius - |dy| - |dx|) / radius where that is positive: a triangle of height a = radius - |dy|.
// Its second difference is +1 at column - a + 1, -2 at column + 1 and +1 at column + a + 1, so
// three entries per point and row, then two running sums along the row, give the sums of all
// triangles. Entries left of the grid go straight into the running sums' starting values;
// entries right of it change nothing on it. The common factor 1 / radius cancels in the mean,
// so the weights are whole numbers and their sums exact; the value sums are formed in double
// precision, in the order of the points, so every row comes out the same whichever thread
// forms it.
class RowSpans
{
public:
    RowSpans(const std::vector<Placed>& placed, int64_t radius, int outW)
        : m_placed(placed),
          m_radius(radius),
          m_w(static_cast<size_t>(outW)),
          m_padded(radius <= kMostPaddedRadius)
    {
        // Entries right of the grid change nothing on it: they land in slots beyond it that
        // are never read, one for each column they can reach when the radius is modest, else
        // one slot for all.
        const size_t slots = m_padded ? m_w + 2 * static_cast<size_t>(radius) + 2 : m_w + 1;
        m_sum2.resize(slots);
        m_weight2.resize(slots);
    }

    // Row `row` from the points first .. end - 1, those whose rows it reaches.
    void Row(int64_t row, size_t first, size_t end, float* cells)
    {
        if (m_padded) {
            RowOf<true>(row, first, end, cells);
        } else {
            RowOf<false>(row, first, end, cells);
        }
    }

private:
    static constexpr int64_t kMostPaddedRadius = 4096;

    template <bool kPadded>
    void RowOf(int64_t row, size_t first, size_t end, float* cells)
    {
        // The entries are all 0 here: the running sums below clear what they read, and the
        // slots beyond the grid are cleared after them.
        // Running sums at column -1: f(-1) and the slope there.
        double s = 0.0;
        double slope = 0.0;
        int64_t wt = 0;
        int64_t weightSlope = 0;
        const auto w = static_cast<int64_t>(m_w);
        double* sum2 = m_sum2.data();
        int32_t* weight2 = m_weight2.data();
        const auto add = [&](int64_t j, double v, int32_t k) {
            const auto t = static_cast<size_t>(kPadded ? j : std::min(j, w));
            sum2[t] += v;
            weight2[t] += k;
        };
        for (size_t n = first; n < end; ++n) {
            const Placed& p = m_placed[n];
            const int64_t a = m_radius - std::abs(row - p.row);
            const double v = p.value;
            const int64_t left = p.column - a + 1;
            if (left < 0) {
                slope += v;
                s += v * static_cast<double>(-left);
                weightSlope += 1;
                wt += -left;
            } else {
                add(left, v, 1);
            }
            add(p.column + 1, -2 * v, -2);
            add(p.column + a + 1, v, 1);
        }
        for (size_t j = 0; j < m_w; ++j) {
            slope += sum2[j];
            s += slope;
            weightSlope += weight2[j];
            wt += weightSlope;
            sum2[j] = 0.0;
            weight2[j] = 0;
            cells[j] = wt > 0 ? Mean(s, static_cast<double>(wt)) : kNoValue;
        }
        std::fill(m_sum2.begin() + static_cast<std::ptrdiff_t>(m_w), m_sum2.end(), 0.0);
        std::fill(m_weight2.begin() + static_cast<std::ptrdiff_t>(m_w), m_weight2.end(), 0);
    }

    const std::vector<Placed>& m_placed;
    int64_t m_radius;
    size_t m_w;
    bool m_padded;
    std::vector<double> m_sum2;
    // A column's weight entries sum to at most twice the points in reach: 32 bits hold them.
    std::vector<int32_t> m_weight2;
};

void GridRowSpans(std::vector<Placed>& placed, int64_t radius, int outW, int outH,
                  std::span<float> out, WorkerPool& workers)
{
    SortByRow(placed);
    const auto w = static_cast<size_t>(outW);
    const int64_t reach = radius - 1;  // rows a point reaches: its own +- reach
    constexpr int kMinBandRows = 16;
    const int bands = WorkerPool::BandCount(outH, kMinBandRows);
    std::vector<RowSpans> rows;
    rows.reserve(static_cast<size_t>(bands));
    for (int b = 0; b < bands; ++b) {
        rows.emplace_back(placed, radius, outW);
    }
    const auto byRow = [](const Placed& p, int64_t row) { return p.row < row; };
    workers.Run(bands, [&](int band) {
        const int64_t firstRow = WorkerPool::BandStart(outH, bands, band);
        const int64_t endRow = WorkerPool::BandStart(outH, bands, band + 1);
        // The points whose rows reach row: row - reach .. row + reach.
        auto first = std::lower_bound(placed.begin(), placed.end(), firstRow - reach, byRow);
        auto end = std::lower_bound(first, placed.end(), firstRow + reach + 1, byRow);
        for (int64_t row = firstRow; row < endRow; ++row) {
            while (first != placed.end() && first->row < row - reach) {
                ++first;
            }
            while (end != placed.end() && end->row <= row + reach) {
                ++end;
            }
            rows[static_cast<size_t>(band)].Row(row, static_cast<size_t>(first - placed.begin()),
                                                static_cast<size_t>(end - placed.begin()),
                                                &out[static_cast<size_t>(row) * w]);
        }
    });
}

}  // namespace

bool ScatteredInterpolator::Grid(std::span<const ScatteredPoint> points, int outW, int outH,
                                 std::span<float> out) const
{
    if (outW <= 1 || outH <= 1) {
        return false;
    }
    const auto w = static_cast<size_t>(outW);
    const auto h = static_cast<size_t>(outH);
    if (out.size() / w < h) {
        return false;
    }
    size_t usable = 0;
    float minX = 0.0f;
    float maxX = 0.0f;
    float minY = 0.0f;
    float maxY = 0.0f;
    for (const ScatteredPoint& p : points) {
        if (!Usable(p)) {
            continue;
        }
        if (usable == 0) {
            minX = maxX = p.x;
            minY = maxY = p.y;
        } else {
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
        ++usable;
    }
    if (usable < 4 || minX == maxX || minY == maxY) {
        return false;
    }
    const float cell = std::min((maxX - minX) / static_cast<float>(outW - 1),
                                (maxY - minY) / static_cast<float>(outH - 1));
    // An extent beyond the float range, or one so small against the other that its cells
    // vanish, leaves no grid to speak of.
    if (!(cell > 0) || !std::isfinite(cell)) {
        return false;
    }

    if (m_radius < 1) {
        std::fill(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(w * h), kNoValue);
        return true;
    }
    // Points whose cell lies this far beyond the grid reach none of it; leaving them out also
    // keeps the cell numbers within range.
    const int64_t radius = m_radius;
    const float columnLimit = static_cast<float>(outW) + static_cast<float>(radius);
    const float rowLimit = static_cast<float>(outH) + static_cast<float>(radius);
    std::vector<Placed> placed;
    placed.reserve(usable);
    for (const ScatteredPoint& p : points) {
        if (!Usable(p)) {
            continue;
        }
        const float fx = (p.x - minX) / cell + 0.000001f;
        const float fy = (p.y - minY) / cell + 0.000001f;
        if (!(fx < columnLimit) || !(fy < rowLimit)) {
            continue;
        }
        const auto cx = static_cast<int64_t>(fx);
        const auto cy = static_cast<int64_t>(fy);
        if (cx > outW - 1 + (radius - 1) || cy > outH - 1 + (radius - 1)) {
            continue;
        }
        placed.push_back({cx, cy, p.value});
    }

    if (m_method == Method::Direct) {
        GridDirect(placed, radius, cell, outW, outH, out);
    } else {
        GridRowSpans(placed, radius, outW, outH, out,
                     m_workers != nullptr ? *m_workers : WorkerPool::Shared());
    }
    return true;
}

bool ScatteredInterpolator::GridPoints(std::span<const float> x, std::span<const float> y,
                                       std::span<const float> values, int outW, int outH,
                                       std::span<float> out) const
{
    if (x.size() != y.size() || x.size() != values.size()) {
        return false;
    }
    std::vector<ScatteredPoint> points(x.size());
    for (size_t n = 0; n < x.size(); ++n) {
        points[n] = {x[n], y[n], values[n]};
    }
    return Grid(points, outW, outH, out);
}

bool ScatteredInterpolator::Grid(std::span<const float> x, std::span<const float> y,
                                 std::span<const float> values, int outW, int outH,
                                 std::span<float> out)
{
    const size_t nx = x.size();
    const size_t ny = y.size();
    if (nx == 0 || ny == 0 || values.size() / nx < ny) {
        return false;
    }
    std::vector<ScatteredPoint> points;
    points.reserve(nx * ny);
    for (size_t j = 0; j < ny; ++j) {
        for (size_t i = 0; i < nx; ++i) {
            points.push_back({x[i], y[j], values[j * nx + i]});
        }
    }
    return Grid(points, outW, outH, out);
}

}  // namespace orv
