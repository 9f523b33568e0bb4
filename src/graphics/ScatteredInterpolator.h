#pragma once
// Cone-weighted mean of scattered points (the GPS-track map). The output grid's cells are square
// with the side cell = min(xExtent / (outW - 1), yExtent / (outH - 1)), its origin at the points'
// minimum x and y. Each point lies in the cell it falls in and adds its value to every cell
// whose distance, counted in cells as |dx| + |dy|, is below the radius, with the weight
// 1 - distance / radius. A cell becomes the weighted mean, or NoValue where no point is near.
// No smoothing.
//
// The working grids are allocated per call: std::bad_alloc reaches the caller, which reports
// "Insufficient memory"; `out` is then untouched.

#include "graphics/GridInterpolator.h"

#include <span>

namespace orv {

class WorkerPool;

struct ScatteredPoint
{
    float x = 0.0f;
    float y = 0.0f;
    float value = 0.0f;
};

class ScatteredInterpolator final : public GridInterpolator
{
public:
    // How the weighted sums are formed. Direct visits every cell within the radius of every
    // point, points x radius^2 cell visits, accumulating in single precision in point order.
    // RowSpans adds each point to each row it reaches as one triangular span, in constant work
    // per span through second differences (exact integer weights, double-precision sums),
    // points x radius visits: the same weighted mean up to single-precision rounding.
    // Diagonals forms the row spans' sums in whole numbers, each point starting and ending five
    // lines of entries that run along columns and diagonals from row to row (constant work per
    // point, then per cell), whenever the row spans' double sums are exact, which makes the
    // result theirs bit for bit; otherwise, or beyond a radius of 4096, it is RowSpans.
    enum class Method {
        Direct,
        RowSpans,
        Diagonals,
    };

    static constexpr int kDefaultRadius = 50;

    // RowSpans and Diagonals share the output rows out on `workers` (the drawings' shared pool when
    // null); the result is the same on any pool.
    explicit ScatteredInterpolator(int radius = kDefaultRadius, Method method = Method::Diagonals,
                                   WorkerPool* workers = nullptr)
        : m_radius(radius), m_method(method), m_workers(workers)
    {}

    // Radius in cells; a radius below 1 reaches no cell, so every cell is NoValue.
    void SetRadius(int radius) { m_radius = radius; }
    [[nodiscard]] int Radius() const { return m_radius; }
    void SetMethod(Method method) { m_method = method; }
    [[nodiscard]] Method GetMethod() const { return m_method; }

    // Grids the points into `out` (at least outW * outH floats). Points with a non-finite
    // position or a value that is NoValue or not finite carry nothing and are left out. False,
    // with `out` untouched, for fewer than 4 points, an output of one row or column (or an `out`
    // smaller than outW * outH), or points without extent in x or in y.
    [[nodiscard]] bool Grid(std::span<const ScatteredPoint> points, int outW, int outH,
                            std::span<float> out) const;

    // The same with the points given as three arrays of equal length (x, y and value of point
    // i); false also when the lengths differ.
    [[nodiscard]] bool GridPoints(std::span<const float> x, std::span<const float> y,
                                  std::span<const float> values, int outW, int outH,
                                  std::span<float> out) const;

    // A regular grid, taken as nx * ny points (x of column i, y of row j). False also when
    // there are fewer values than nx * ny.
    [[nodiscard]] bool Grid(std::span<const float> x, std::span<const float> y,
                            std::span<const float> values, int outW, int outH,
                            std::span<float> out) override;

private:
    int m_radius;
    Method m_method;
    WorkerPool* m_workers;
};

}  // namespace orv
