#include "graphics/GridInterpolator.h"

#include "base/NoValue.h"

#include <array>
#include <cstddef>
#include <new>
#include <vector>

namespace orv {

namespace {

constexpr int kHalf = 2;  // the window reaches two cells each way
constexpr int kSpan = 2 * kHalf + 1;

}  // namespace

bool GridInterpolator::Smooth(std::span<float> grid, int width, int height)
{
    if (width <= 0 || height <= 0 ||
        grid.size() < static_cast<size_t>(width) * static_cast<size_t>(height)) {
        return false;
    }
    if (height < kSpan || width < kSpan) {
        return true;
    }
    const auto w = static_cast<size_t>(width);
    std::vector<float> copy;
    // Per window row: the sum of its five cells, left to right, and how many are NoValue. Five
    // rows are kept, the window's.
    std::array<std::vector<float>, kSpan> rowSum;
    std::array<std::vector<unsigned char>, kSpan> rowMissing;
    try {
        copy.assign(grid.begin(), grid.begin() + static_cast<std::ptrdiff_t>(w * size_t(height)));
        for (int k = 0; k < kSpan; ++k) {
            rowSum[size_t(k)].assign(w, 0.0f);
            rowMissing[size_t(k)].assign(w, 0);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }

    const auto horizontal = [&](int row) {
        const float* cells = &copy[size_t(row) * w];
        std::vector<float>& sums = rowSum[size_t(row % kSpan)];
        std::vector<unsigned char>& missing = rowMissing[size_t(row % kSpan)];
        for (size_t c = kHalf; c + kHalf < w; ++c) {
            float s = 0.0f;
            unsigned char m = 0;
            for (size_t t = c - kHalf; t <= c + kHalf; ++t) {
                s += cells[t];
                m = static_cast<unsigned char>(m + (IsNoValue(cells[t]) ? 1 : 0));
            }
            sums[c] = s;
            missing[c] = m;
        }
    };
    for (int row = 0; row < kSpan - 1; ++row) {
        horizontal(row);
    }

    for (int r = kHalf; r + kHalf < height; ++r) {
        horizontal(r + kHalf);
        const float* bottom = &copy[size_t(r + kHalf) * w];
        const float* middle = &copy[size_t(r) * w];
        float* out = &grid[size_t(r) * w];
        for (size_t c = kHalf; c + kHalf < w; ++c) {
            if (IsNoValue(bottom[c - kHalf])) {
                return true;
            }
            if (IsNoValue(middle[c + kHalf])) {
                break;
            }
            float sum = 0.0f;
            int missing = 0;
            for (int dr = -kHalf; dr <= kHalf; ++dr) {
                const auto k = size_t((r + dr) % kSpan);
                sum += rowSum[k][c];
                missing += rowMissing[k][c];
            }
            // Any other NoValue in the window would be summed as 3.4e38: keep the centre.
            if (missing == 0) {
                out[c] = sum * 0.04f;
            }
        }
    }
    return true;
}

}  // namespace orv
