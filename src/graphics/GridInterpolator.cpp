#include "graphics/GridInterpolator.h"

#include "base/NoValue.h"
#include "graphics/WorkerPool.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <new>
#include <vector>

namespace orv {

namespace {

constexpr int kHalf = 2;  // the window reaches two cells each way
constexpr int kSpan = 2 * kHalf + 1;
constexpr int kMinBandRows = 32;

// Where a row of the grid, as it was before smoothing, first holds NoValue: from column 0 and
// from column 2 * kHalf on; the width where it holds none.
struct Gaps
{
    size_t first = 0;
    size_t firstFromWindow = 0;
};

Gaps FindGaps(const float* cells, size_t w)
{
    // Most grids hold no NoValue at all: a count the compiler can vectorise says so quickly.
    size_t count = 0;
    for (size_t c = 0; c < w; ++c) {
        count += IsNoValue(cells[c]) ? 1 : 0;
    }
    Gaps gaps{w, w};
    if (count == 0) {
        return gaps;
    }
    gaps.first = static_cast<size_t>(std::find(cells, cells + w, kNoValue) - cells);
    const size_t from = std::min<size_t>(2 * kHalf, w);
    gaps.firstFromWindow =
        static_cast<size_t>(std::find(cells + from, cells + w, kNoValue) - cells);
    return gaps;
}

// The five horizontal window sums of a row, left to right, and how many of their cells are
// NoValue. `clean`: none is, and `missing` was not written.
struct RowSums
{
    std::vector<float> sum;
    std::vector<unsigned char> missing;
    bool clean = true;

    void Make(const float* cells, size_t w, bool hasGap)
    {
        for (size_t c = kHalf; c + kHalf < w; ++c) {
            sum[c] =
                ((((0.0f + cells[c - 2]) + cells[c - 1]) + cells[c]) + cells[c + 1]) + cells[c + 2];
        }
        clean = !hasGap;
        if (hasGap) {
            for (size_t c = kHalf; c + kHalf < w; ++c) {
                missing[c] = static_cast<unsigned char>(
                    (IsNoValue(cells[c - 2]) ? 1 : 0) + (IsNoValue(cells[c - 1]) ? 1 : 0) +
                    (IsNoValue(cells[c]) ? 1 : 0) + (IsNoValue(cells[c + 1]) ? 1 : 0) +
                    (IsNoValue(cells[c + 2]) ? 1 : 0));
            }
        }
    }
};

// A band's working rows: the ring of the window's five row sums, and copies of the two rows on
// each side of the band that the neighbouring bands smooth meanwhile.
struct Band
{
    std::array<RowSums, kSpan> ring;
    std::vector<float> above;  // rows first - 2 and first - 1
    std::vector<float> below;  // rows end and end + 1
};

}  // namespace

bool GridInterpolator::Smooth(std::span<float> grid, int width, int height)
{
    return Smooth(grid, width, height, WorkerPool::Shared());
}

// The window's sums are formed as the handheld formed them, so the picture is the same to the
// last bit: each row's five cells left to right from 0, then the five row sums top to bottom
// from 0. Smoothing in place is sound because a centre reads only rows it has not yet written,
// except for the two rows above it, whose sums were made before they were written.
bool GridInterpolator::Smooth(std::span<float> grid, int width, int height, WorkerPool& workers)
{
    if (width <= 0 || height <= 0 ||
        grid.size() < static_cast<size_t>(width) * static_cast<size_t>(height)) {
        return false;
    }
    if (height < kSpan || width < kSpan) {
        return true;
    }
    const auto w = static_cast<size_t>(width);
    const auto h = static_cast<size_t>(height);
    const auto row = [&](size_t r) { return &grid[r * w]; };

    std::vector<Gaps> gaps;
    std::vector<size_t> stop;  // per centre row: the first column not smoothed
    std::vector<Band> bands;
    // Centre rows 2 .. last are smoothed; a row abandoned on the way ends the grid there.
    size_t last = h - 1 - kHalf;
    int bandCount = 0;
    try {
        gaps.resize(h);
        stop.resize(h);
        workers.RunBands(height, 4 * kMinBandRows, [&](int first, int end) {
            for (auto r = static_cast<size_t>(first); r < static_cast<size_t>(end); ++r) {
                gaps[r] = FindGaps(row(r), w);
            }
        });
        // Scanning a row left to right, the window stops at the first centre c whose window's
        // bottom-left cell (row r + 2, column c - 2) is NoValue: the rest of the grid is
        // abandoned; or whose cell two columns right (row r, column c + 2) is NoValue: the rest
        // of the row is.
        const size_t end = w - kHalf;
        for (size_t r = kHalf; r + kHalf < h; ++r) {
            const size_t bottom = gaps[r + kHalf].first + kHalf;
            const size_t right =
                gaps[r].firstFromWindow >= w ? end : gaps[r].firstFromWindow - kHalf;
            stop[r] = std::min({bottom, right, end});
            if (bottom < end && bottom <= right) {
                last = r;
                break;
            }
        }
        const int centres = static_cast<int>(last) - kHalf + 1;
        bandCount = WorkerPool::BandCount(centres, kMinBandRows);
        bands.resize(static_cast<size_t>(bandCount));
        for (int b = 0; b < bandCount; ++b) {
            Band& band = bands[static_cast<size_t>(b)];
            for (RowSums& sums : band.ring) {
                sums.sum.resize(w);
                sums.missing.resize(w);
            }
            const auto first =
                static_cast<size_t>(kHalf + WorkerPool::BandStart(centres, bandCount, b));
            const auto endRow =
                static_cast<size_t>(kHalf + WorkerPool::BandStart(centres, bandCount, b + 1));
            band.above.assign(row(first - kHalf), row(first));
            band.below.assign(row(endRow), row(endRow + kHalf));
        }
    } catch (const std::bad_alloc&) {
        return false;
    }

    const int centres = static_cast<int>(last) - kHalf + 1;
    workers.Run(bandCount, [&](int b) {
        Band& band = bands[static_cast<size_t>(b)];
        const auto first =
            static_cast<size_t>(kHalf + WorkerPool::BandStart(centres, bandCount, b));
        const auto end =
            static_cast<size_t>(kHalf + WorkerPool::BandStart(centres, bandCount, b + 1));
        // Row q as it was before smoothing.
        const auto original = [&](size_t q) -> const float* {
            if (q < first) {
                return &band.above[(q + kHalf - first) * w];
            }
            if (q >= end) {
                return &band.below[(q - end) * w];
            }
            return row(q);
        };
        const auto sums = [&](size_t q) -> RowSums& { return band.ring[q % kSpan]; };
        for (size_t q = first - kHalf; q < first + kHalf; ++q) {
            sums(q).Make(original(q), w, gaps[q].first < w);
        }
        for (size_t r = first; r < end; ++r) {
            sums(r + kHalf).Make(original(r + kHalf), w, gaps[r + kHalf].first < w);
            const RowSums& s0 = sums(r - 2);
            const RowSums& s1 = sums(r - 1);
            const RowSums& s2 = sums(r);
            const RowSums& s3 = sums(r + 1);
            const RowSums& s4 = sums(r + 2);
            float* out = row(r);
            const size_t stopAt = stop[r];
            if (s0.clean && s1.clean && s2.clean && s3.clean && s4.clean) {
                for (size_t c = kHalf; c < stopAt; ++c) {
                    const float sum =
                        ((((0.0f + s0.sum[c]) + s1.sum[c]) + s2.sum[c]) + s3.sum[c]) + s4.sum[c];
                    out[c] = sum * 0.04f;
                }
                continue;
            }
            for (size_t c = kHalf; c < stopAt; ++c) {
                const int missing = (s0.clean ? 0 : s0.missing[c]) +
                                    (s1.clean ? 0 : s1.missing[c]) +
                                    (s2.clean ? 0 : s2.missing[c]) +
                                    (s3.clean ? 0 : s3.missing[c]) + (s4.clean ? 0 : s4.missing[c]);
                // Any other NoValue in the window would be summed as 3.4e38: keep the centre.
                if (missing == 0) {
                    const float sum =
                        ((((0.0f + s0.sum[c]) + s1.sum[c]) + s2.sum[c]) + s3.sum[c]) + s4.sum[c];
                    out[c] = sum * 0.04f;
                }
            }
        }
    });
    return true;
}

}  // namespace orv
