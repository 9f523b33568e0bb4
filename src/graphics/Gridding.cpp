#include "graphics/Gridding.h"

#include "graphics/RegularGridInterpolator.h"

#include <new>

namespace orv {

GridOutcome GridRegular(std::span<const float> xs, std::span<const float> ys,
                        std::span<const float> values, int outW, int outH, std::span<float> out,
                        WorkerPool& workers)
{
    try {
        RegularGridInterpolator interpolator(&workers);
        return interpolator.Grid(xs, ys, values, outW, outH, out) ? GridOutcome::Gridded
                                                                  : GridOutcome::Failed;
    } catch (const std::bad_alloc&) {
        return GridOutcome::NoMemory;
    }
}

GridOutcome GridScattered(std::span<const ScatteredPoint> points, int radius, int outW, int outH,
                          std::span<float> out, WorkerPool& workers)
{
    try {
        const ScatteredInterpolator interpolator(radius, ScatteredInterpolator::Method::Diagonals,
                                                 &workers);
        return interpolator.Grid(points, outW, outH, out) ? GridOutcome::Gridded
                                                          : GridOutcome::Failed;
    } catch (const std::bad_alloc&) {
        return GridOutcome::NoMemory;
    }
}

}  // namespace orv
