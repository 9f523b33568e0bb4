#include "graphics/ScatteredInterpolator.h"

#include "base/NoValue.h"
#include "graphics/WorkerPool.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
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

// The float just below NoValue: a mean that rounds up to the largest float must not read as
// "no value".
constexpr double kTop = 3.4028232635611926e38;

float Mean(double sum, double weight)
{
    const double m = sum / weight;
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

// Rows per band of the worker pool's jobs, at least.
constexpr int kMinBandRows = 16;

// `placed` sorted by row.
void GridRowSpans(const std::vector<Placed>& placed, int64_t radius, int outW, int outH,
                  std::span<float> out, WorkerPool& workers)
{
    const auto w = static_cast<size_t>(outW);
    const int64_t reach = radius - 1;  // rows a point reaches: its own +- reach
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

// Whole multiples of one power of two, 2^exponent, that all values of a row's sums are: when the
// largest sum the row spans form is still a whole number of quanta below 2^53, every double
// addition they make is exact, so their result is the exact weighted mean, whatever the order of
// its terms. The diagonals below then form the same sums in integers.
struct Quantum
{
    bool exact = false;
    int exponent = 0;
};

// The exponent of a float's lowest set bit; none for zero.
int LowestBitExponent(float v)
{
    const auto bits = std::bit_cast<uint32_t>(v);
    const uint32_t biased = (bits >> 23) & 0xFFu;
    uint32_t mantissa = bits & 0x7FFFFFu;
    int exponent = -149;
    if (biased != 0) {
        mantissa |= 0x800000u;
        exponent = static_cast<int>(biased) - 150;
    }
    return exponent + std::countr_zero(mantissa);
}

// `placed` sorted by row. A row of the grid takes the points within radius - 1 rows; the row
// spans' largest partial sum there is below (radius + 4) times the sum of those points' |value|
// (running value: radius; entries: 4). A margin of 2^3 covers the rounding of this estimate.
Quantum QuantumOf(const std::vector<Placed>& placed, int64_t radius, int outH)
{
    Quantum q;
    q.exponent = std::numeric_limits<int>::max();
    for (const Placed& p : placed) {
        if (p.value != 0) {
            q.exponent = std::min(q.exponent, LowestBitExponent(static_cast<float>(p.value)));
        }
    }
    if (q.exponent == std::numeric_limits<int>::max()) {
        q.exponent = 0;  // all zero
    }
    // Sum of |value| / quantum over the points up to each row, then over each row's reach.
    const size_t rows = static_cast<size_t>(outH) + static_cast<size_t>(radius);
    std::vector<double> upTo(rows + 1, 0.0);
    const double perQuantum = std::ldexp(1.0, -q.exponent);
    for (const Placed& p : placed) {
        upTo[static_cast<size_t>(p.row) + 1] += std::abs(p.value) * perQuantum;
    }
    for (size_t r = 1; r <= rows; ++r) {
        upTo[r] += upTo[r - 1];
    }
    double most = 0.0;
    for (int64_t row = 0; row < outH; ++row) {
        const auto first = static_cast<size_t>(std::max<int64_t>(row - radius + 1, 0));
        const auto end = static_cast<size_t>(std::min<int64_t>(row + radius, int64_t(rows)));
        most = std::max(most, upTo[end] - upTo[first]);
    }
    constexpr double kLimit = 0x1p50;
    q.exact = most * static_cast<double>(radius + 4) < kLimit;
    return q;
}

// A point on one row adds a triangle of second differences: +1 at its column - a + 1, -2 at its
// column + 1, +1 at its column + a + 1, with a = radius - |rows between|. From row to row the
// middle entry stays in its column, and the outer ones move one column per row: along a
// rising diagonal (column + row constant) or a falling one (column - row constant), outward
// down to the point's row and inward after it. So the entries are kept on a column line and two
// diagonal lines, where each point starts and ends five segments; a row is the sum of the three
// lines at its columns, then two running sums. Values count in quanta (whole numbers) and
// weights in points, so the sums are exact and independent of order.
class Diagonals
{
public:
    Diagonals(int64_t radius, int outW, int outH, int quantumExponent)
        : m_radius(radius),
          m_w(outW),
          m_h(outH),
          m_quantum(std::ldexp(1.0, quantumExponent)),
          m_perQuantum(std::ldexp(1.0, -quantumExponent))
    {
        // Columns from -radius; the rising diagonals' keys column + row from -radius + 1, the
        // falling ones' column - row from -(h + 2 radius) + 3, both below w + h + 4 radius.
        const auto columns = static_cast<size_t>(m_w + 2 * radius + 2);
        const auto keys = static_cast<size_t>(m_w + m_h + 4 * radius + 2);
        m_column.assign(columns, 0);
        m_columnWeight.assign(columns, 0);
        m_rising.assign(keys, 0);
        m_risingWeight.assign(keys, 0);
        m_falling.assign(keys, 0);
        m_fallingWeight.assign(keys, 0);
        m_sums.resize(static_cast<size_t>(m_w + radius));
        m_weights.resize(static_cast<size_t>(m_w + radius));
    }

    // Rows firstRow .. endRow - 1 of `out`, from the points sorted by row.
    void Rows(const std::vector<Placed>& placed, int64_t firstRow, int64_t endRow, float* out)
    {
        const auto rowOf = [&](int64_t row) {
            return std::equal_range(placed.begin(), placed.end(), Placed{0, row, 0.0}, ByRow);
        };
        // The segments alive on firstRow.
        const auto from = std::lower_bound(placed.begin(), placed.end(),
                                           Placed{0, firstRow - m_radius + 1, 0.0}, ByRow);
        const auto to =
            std::lower_bound(from, placed.end(), Placed{0, firstRow + m_radius, 0.0}, ByRow);
        for (auto p = from; p != to; ++p) {
            const int64_t m = Quanta(*p);
            Column(*p, m, 1);
            if (p->row >= firstRow) {
                Outward(*p, m, 1);
            } else {
                Inward(*p, m, 1);
            }
        }
        for (int64_t row = firstRow; row < endRow; ++row) {
            if (row > firstRow) {
                for (auto [p, end] = rowOf(row + m_radius - 1); p != end; ++p) {
                    const int64_t m = Quanta(*p);
                    Column(*p, m, 1);
                    Outward(*p, m, 1);
                }
                for (auto [p, end] = rowOf(row - 1); p != end; ++p) {
                    const int64_t m = Quanta(*p);
                    Outward(*p, m, -1);
                    if (m_radius > 1) {
                        Inward(*p, m, 1);
                    }
                }
                for (auto [p, end] = rowOf(row - m_radius); p != end; ++p) {
                    const int64_t m = Quanta(*p);
                    Column(*p, m, -1);
                    if (m_radius > 1) {
                        Inward(*p, m, -1);
                    }
                }
            }
            Sweep(row, out + static_cast<size_t>(row - firstRow) * static_cast<size_t>(m_w));
        }
    }

private:
    static bool ByRow(const Placed& a, const Placed& b) { return a.row < b.row; }

    [[nodiscard]] int64_t Quanta(const Placed& p) const
    {
        return static_cast<int64_t>(p.value * m_perQuantum);
    }

    // The middle entry, -2 in the column right of the point.
    void Column(const Placed& p, int64_t m, int sign)
    {
        const auto t = static_cast<size_t>(p.column + 1 + m_radius);
        m_column[t] -= 2 * sign * m;
        m_columnWeight[t] -= 2 * sign;
    }

    // The outer entries on the rows down to the point's: the left one on a rising diagonal, the
    // right one on a falling one.
    void Outward(const Placed& p, int64_t m, int sign)
    {
        Rising(p.column + p.row - m_radius + 1, m, sign);
        Falling(p.column - p.row + m_radius + 1, m, sign);
    }

    // After the point's row: the left one on a falling diagonal, the right one on a rising one.
    void Inward(const Placed& p, int64_t m, int sign)
    {
        Falling(p.column - p.row - m_radius + 1, m, sign);
        Rising(p.column + p.row + m_radius + 1, m, sign);
    }

    void Rising(int64_t key, int64_t m, int sign)
    {
        const auto t = static_cast<size_t>(key + m_radius);
        m_rising[t] += sign * m;
        m_risingWeight[t] += sign;
    }

    void Falling(int64_t key, int64_t m, int sign)
    {
        const auto t = static_cast<size_t>(key + m_h + 2 * m_radius);
        m_falling[t] += sign * m;
        m_fallingWeight[t] += sign;
    }

    void Sweep(int64_t row, float* cells)
    {
        // Column c (from -radius) is entry c + radius of the column line, entry c + row + radius
        // of the rising diagonals and c - row + h + 2 radius of the falling ones.
        const int64_t* column = m_column.data();
        const int64_t* rising = m_rising.data() + row;
        const int64_t* falling = m_falling.data() + (m_h + m_radius - row);
        const int32_t* columnWeight = m_columnWeight.data();
        const int32_t* risingWeight = m_risingWeight.data() + row;
        const int32_t* fallingWeight = m_fallingWeight.data() + (m_h + m_radius - row);
        int64_t slope = 0;
        int64_t sum = 0;
        int64_t weightSlope = 0;
        int64_t weight = 0;
        // The running sums from column -radius, where nothing has started yet; the grid's
        // columns follow the radius columns left of it.
        const auto left = static_cast<size_t>(m_radius);
        const auto w = static_cast<size_t>(m_w);
        double* sums = m_sums.data();
        double* weights = m_weights.data();
        for (size_t j = 0; j < left + w; ++j) {
            slope += column[j] + rising[j] + falling[j];
            sum += slope;
            weightSlope += columnWeight[j] + risingWeight[j] + fallingWeight[j];
            weight += weightSlope;
            sums[j] = static_cast<double>(sum);
            weights[j] = static_cast<double>(weight);
        }
        sums += left;
        weights += left;
        // Mean's arithmetic without branches, so that it runs several cells at a time: a cell
        // without weight has no sum either, and divides 0 by 1 before it is set aside.
        const double quantum = m_quantum;
        for (size_t j = 0; j < w; ++j) {
            const double divisor = weights[j] > 1.0 ? weights[j] : 1.0;
            double m = sums[j] * quantum / divisor;
            m = m > -kTop ? m : -kTop;
            m = m < kTop ? m : kTop;
            const auto mean = static_cast<float>(m);
            cells[j] = weights[j] > 0 ? mean : kNoValue;
        }
    }

    int64_t m_radius;
    int64_t m_w;
    int64_t m_h;
    double m_quantum;
    double m_perQuantum;
    // One row's sums and weights from column -radius, exact in double below 2^53.
    std::vector<double> m_sums;
    std::vector<double> m_weights;
    std::vector<int64_t> m_column;
    std::vector<int32_t> m_columnWeight;
    std::vector<int64_t> m_rising;
    std::vector<int32_t> m_risingWeight;
    std::vector<int64_t> m_falling;
    std::vector<int32_t> m_fallingWeight;
};

// Radii up to this many cells take the diagonals, whose rows are radius cells longer.
constexpr int64_t kMostDiagonalRadius = 4096;

// `placed` sorted by row. False when the row spans' sums might round: the caller then forms
// them in point order.
bool GridDiagonals(const std::vector<Placed>& placed, int64_t radius, int outW, int outH,
                   std::span<float> out, WorkerPool& workers)
{
    if (radius > kMostDiagonalRadius) {
        return false;
    }
    const Quantum q = QuantumOf(placed, radius, outH);
    if (!q.exact) {
        return false;
    }
    const int bands = WorkerPool::BandCount(outH, kMinBandRows);
    workers.Run(bands, [&](int band) {
        const int64_t firstRow = WorkerPool::BandStart(outH, bands, band);
        const int64_t endRow = WorkerPool::BandStart(outH, bands, band + 1);
        Diagonals diagonals(radius, outW, outH, q.exponent);
        diagonals.Rows(placed, firstRow, endRow,
                       &out[static_cast<size_t>(firstRow) * static_cast<size_t>(outW)]);
    });
    return true;
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
        return true;
    }
    SortByRow(placed);
    WorkerPool& workers = m_workers != nullptr ? *m_workers : WorkerPool::Shared();
    if (m_method != Method::Diagonals || !GridDiagonals(placed, radius, outW, outH, out, workers)) {
        GridRowSpans(placed, radius, outW, outH, out, workers);
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
