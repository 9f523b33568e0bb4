#include "graphics/RegularGridInterpolator.h"

#include "base/NoValue.h"

#include <cstddef>

namespace orv {

bool RegularGridInterpolator::Grid(std::span<const float> x, std::span<const float> y,
                                   std::span<const float> values, int outW, int outH,
                                   std::span<float> out)
{
    const size_t nx = x.size();
    const size_t ny = y.size();
    // The bilinear step reads the next column and row, and the steps divide by outW - 1 and
    // outH - 1: anything smaller has no defined picture.
    if (nx < 2 || ny < 2 || values.size() / nx < ny || outW < 2 || outH < 2) {
        return false;
    }
    const auto w = static_cast<size_t>(outW);
    const auto h = static_cast<size_t>(outH);
    if (out.size() / w < h) {
        return false;
    }

    const float dx = (x[nx - 1] - x[0]) / static_cast<float>(outW - 1);
    const float dy = (y[ny - 1] - y[0]) / static_cast<float>(outH - 1);
    float yy = y[0];
    size_t i = 0;
    for (size_t row = 0; row < h; ++row) {
        const float* top = &values[i * nx];
        const float* next = &values[(i + 1) * nx];
        float* cells = &out[row * w];
        float xx = x[0];
        size_t k = 0;
        for (size_t col = 0; col < w; ++col) {
            const float a = top[k];
            const float b = top[k + 1];
            const float c = next[k];
            const float d0 = next[k + 1];
            float result = kNoValue;
            if (!IsNoValue(a) && !IsNoValue(b) && !IsNoValue(c) && !IsNoValue(d0)) {
                float e = 0.0f;
                float d = 0.0f;
                if (x[k + 1] != x[k]) {
                    const float u = xx - x[k];
                    const float v = x[k + 1] - xx;
                    e = (a * v + b * u) / (x[k + 1] - x[k]);
                    d = (c * v + d0 * u) / (x[k + 1] - x[k]);
                } else {
                    // Two columns at one position: their mean, as for two rows below.
                    e = (a + b) * 0.5f;
                    d = (c + d0) * 0.5f;
                }
                if (y[i + 1] != y[i]) {
                    result = ((yy - y[i]) * d + (y[i + 1] - yy) * e) / (y[i + 1] - y[i]);
                } else {
                    result = (d + e) * 0.5f;
                }
            }
            cells[col] = result;
            xx += dx;
            while (k + 2 < nx && xx > x[k + 1]) {
                ++k;
            }
        }
        yy += dy;
        while (i + 2 < ny && yy > y[i + 1]) {
            ++i;
        }
    }
    // A failed smoothing leaves the bilinear picture, which is still a picture.
    (void)Smooth(out, outW, outH);
    return true;
}

}  // namespace orv
