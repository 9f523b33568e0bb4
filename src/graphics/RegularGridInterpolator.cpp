#include "graphics/RegularGridInterpolator.h"

#include "base/NoValue.h"
#include "graphics/WorkerPool.h"

#include <cstddef>
#include <vector>

namespace orv {

namespace {

// Where each output column falls between the stations: the walk of x over the columns is the
// same in every row, so it is made once.
struct ColumnWalk
{
    std::vector<size_t> k;    // the station left of the column
    std::vector<float> u;     // x - x[k]
    std::vector<float> v;     // x[k + 1] - x
    std::vector<float> span;  // x[k + 1] - x[k]; 0 where the two stations share a position
};

// One pair of station rows blended along x for every output column: e from the upper row, d
// from the lower one. Every output row between the two station rows is a mix of the same e and
// d, so a band of rows makes them once per pair.
struct RowPair
{
    std::vector<float> e;
    std::vector<float> d;
    std::vector<unsigned char> missing;  // a NoValue among the four stations
    size_t pair = static_cast<size_t>(-1);
    bool anyMissing = false;

    void Make(const ColumnWalk& walk, std::span<const float> values, size_t nx, size_t i)
    {
        const float* top = &values[i * nx];
        const float* next = &values[(i + 1) * nx];
        anyMissing = false;
        for (size_t col = 0; col < e.size(); ++col) {
            const size_t k = walk.k[col];
            const float a = top[k];
            const float b = top[k + 1];
            const float c = next[k];
            const float d0 = next[k + 1];
            const bool gap = IsNoValue(a) || IsNoValue(b) || IsNoValue(c) || IsNoValue(d0);
            missing[col] = gap ? 1 : 0;
            anyMissing = anyMissing || gap;
            if (walk.span[col] != 0.0f) {
                e[col] = (a * walk.v[col] + b * walk.u[col]) / walk.span[col];
                d[col] = (c * walk.v[col] + d0 * walk.u[col]) / walk.span[col];
            } else {
                // Two columns at one position: their mean, as for two rows below.
                e[col] = (a + b) * 0.5f;
                d[col] = (c + d0) * 0.5f;
            }
        }
        pair = i;
    }
};

constexpr int kMinBandRows = 32;

}  // namespace

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
    WorkerPool& workers = m_workers != nullptr ? *m_workers : WorkerPool::Shared();

    // The walks of x over the columns and of y over the rows: x starts at x[0] and grows by dx
    // after each column, the station index advancing while x has passed the next station; the
    // same for y over the rows.
    const float dx = (x[nx - 1] - x[0]) / static_cast<float>(outW - 1);
    const float dy = (y[ny - 1] - y[0]) / static_cast<float>(outH - 1);
    ColumnWalk walk;
    walk.k.resize(w);
    walk.u.resize(w);
    walk.v.resize(w);
    walk.span.resize(w);
    float xx = x[0];
    size_t k = 0;
    for (size_t col = 0; col < w; ++col) {
        walk.k[col] = k;
        walk.span[col] = x[k + 1] != x[k] ? x[k + 1] - x[k] : 0.0f;
        walk.u[col] = xx - x[k];
        walk.v[col] = x[k + 1] - xx;
        xx += dx;
        while (k + 2 < nx && xx > x[k + 1]) {
            ++k;
        }
    }
    std::vector<size_t> rowPair(h);
    std::vector<float> rowY(h);
    float yy = y[0];
    size_t i = 0;
    for (size_t row = 0; row < h; ++row) {
        rowPair[row] = i;
        rowY[row] = yy;
        yy += dy;
        while (i + 2 < ny && yy > y[i + 1]) {
            ++i;
        }
    }

    const int bands = WorkerPool::BandCount(outH, kMinBandRows);
    std::vector<RowPair> pairs(static_cast<size_t>(bands));
    for (RowPair& pair : pairs) {
        pair.e.resize(w);
        pair.d.resize(w);
        pair.missing.resize(w);
    }
    workers.Run(bands, [&](int band) {
        RowPair& pair = pairs[static_cast<size_t>(band)];
        const auto first = static_cast<size_t>(WorkerPool::BandStart(outH, bands, band));
        const auto end = static_cast<size_t>(WorkerPool::BandStart(outH, bands, band + 1));
        for (size_t row = first; row < end; ++row) {
            const size_t p = rowPair[row];
            if (pair.pair != p) {
                pair.Make(walk, values, nx, p);
            }
            const float* e = pair.e.data();
            const float* d = pair.d.data();
            float* cells = &out[row * w];
            if (y[p + 1] != y[p]) {
                const float below = rowY[row] - y[p];
                const float above = y[p + 1] - rowY[row];
                const float span = y[p + 1] - y[p];
                for (size_t col = 0; col < w; ++col) {
                    cells[col] = (below * d[col] + above * e[col]) / span;
                }
            } else {
                for (size_t col = 0; col < w; ++col) {
                    cells[col] = (d[col] + e[col]) * 0.5f;
                }
            }
            if (pair.anyMissing) {
                for (size_t col = 0; col < w; ++col) {
                    if (pair.missing[col] != 0) {
                        cells[col] = kNoValue;
                    }
                }
            }
        }
    });
    // A failed smoothing leaves the bilinear picture, which is still a picture.
    (void)Smooth(out, outW, outH, workers);
    return true;
}

}  // namespace orv
