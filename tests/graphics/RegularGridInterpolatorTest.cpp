#include "graphics/RegularGridInterpolator.h"

#include "base/NoValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace orv {
namespace {

constexpr float kSentinel = -12345.0f;

std::vector<float> Cells(int w, int h)
{
    return std::vector<float>(size_t(w) * size_t(h), kSentinel);
}

float At(const std::vector<float>& g, int w, int row, int col) { return g[size_t(row * w + col)]; }

TEST(RegularGridInterpolator, BilinearWithoutAndWithSmoothing)
{
    RegularGridInterpolator grid;
    // Row 0 = 0, 10; row 1 = 10, 20 onto 3 x 3: 0, 5, 10 on top, 10 in the centre; three rows
    // are too few to smooth.
    const std::vector<float> x{0, 1}, y{0, 1}, v{0, 10, 10, 20};
    auto out = Cells(3, 3);
    ASSERT_TRUE(grid.Grid(x, y, v, 3, 3, out));
    EXPECT_FLOAT_EQ(At(out, 3, 0, 0), 0);
    EXPECT_FLOAT_EQ(At(out, 3, 0, 1), 5);
    EXPECT_FLOAT_EQ(At(out, 3, 0, 2), 10);
    EXPECT_FLOAT_EQ(At(out, 3, 1, 1), 10);
    EXPECT_FLOAT_EQ(At(out, 3, 2, 2), 20);

    // The plane z = px + 2 py over uneven positions: the bilinear picture is the plane, and a
    // 5 x 5 mean of a plane is the plane again.
    const std::vector<float> px{0, 1, 4}, py{0, 2, 3};
    std::vector<float> plane;
    for (float yy : py) {
        for (float xx : px) {
            plane.push_back(xx + 2 * yy);
        }
    }
    auto big = Cells(9, 7);
    ASSERT_TRUE(grid.Grid(px, py, plane, 9, 7, big));
    for (int r = 0; r < 7; ++r) {
        for (int c = 0; c < 9; ++c) {
            SCOPED_TRACE(testing::Message() << r << "," << c);
            EXPECT_NEAR(At(big, 9, r, c), 0.5f * float(c) + 2 * 0.5f * float(r), 1e-4f);
        }
    }
}

TEST(RegularGridInterpolator, RefusesWhatItCannotReadWithoutTouchingTheOutput)
{
    RegularGridInterpolator grid;
    const std::vector<float> two{0, 1}, one{0}, v4{1, 2, 3, 4}, v3{1, 2, 3};
    struct Case
    {
        const char* legend;
        const std::vector<float>& x;
        const std::vector<float>& y;
        const std::vector<float>& v;
        int w, h;
        size_t outSize;
    };
    const Case cases[] = {
        {"one column of stations", one, two, v4, 4, 4, 16},
        {"one row of stations", two, one, v4, 4, 4, 16},
        {"fewer values than stations", two, two, v3, 4, 4, 16},
        {"one output column", two, two, v4, 1, 4, 16},
        {"one output row", two, two, v4, 4, 1, 16},
        {"no output", two, two, v4, 0, 0, 16},
        {"output smaller than asked", two, two, v4, 4, 4, 15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        std::vector<float> out(c.outSize, kSentinel);
        EXPECT_FALSE(grid.Grid(c.x, c.y, c.v, c.w, c.h, out));
        for (float f : out) {
            ASSERT_EQ(f, kSentinel);
        }
    }
}

TEST(RegularGridInterpolator, ZeroStationStepTakesTheMeanOfTheCoincidingColumns)
{
    RegularGridInterpolator grid;
    // Columns 0 and 1 share position 0. Row values 0, 10, 20 in both rows.
    const std::vector<float> x{0, 0, 1}, y{0, 1}, v{0, 10, 20, 0, 10, 20};
    auto out = Cells(3, 2);
    ASSERT_TRUE(grid.Grid(x, y, v, 3, 2, out));
    EXPECT_FLOAT_EQ(At(out, 3, 0, 0), 5);   // the mean of the two columns at 0
    EXPECT_FLOAT_EQ(At(out, 3, 0, 1), 15);  // halfway between column 1 (10) and column 2 (20)
    EXPECT_FLOAT_EQ(At(out, 3, 0, 2), 20);

    // A station step of 0 everywhere (XStep = 0) and a profile step of 0: no division by zero.
    const std::vector<float> flat{0, 0, 0}, rows{2, 2};
    auto same = Cells(6, 6);
    ASSERT_TRUE(grid.Grid(flat, rows, v, 6, 6, same));
    for (float f : same) {
        EXPECT_FLOAT_EQ(f, 5);
    }
}

TEST(RegularGridInterpolator, NoValueStationsNeverTurnIntoGarbage)
{
    RegularGridInterpolator grid;
    // One station without a value in a 4 x 4 survey: the cells around it have no value, the
    // rest stays a plain mean of real values.
    const std::vector<float> x{0, 1, 2, 3}, y{0, 1, 2, 3};
    std::vector<float> v(16, 7.0f);
    v[5] = kNoValue;  // row 1, column 1
    auto out = Cells(16, 16);
    ASSERT_TRUE(grid.Grid(x, y, v, 16, 16, out));
    int missing = 0;
    for (float f : out) {
        if (IsNoValue(f)) {
            ++missing;
        } else {
            ASSERT_FLOAT_EQ(f, 7.0f);
        }
    }
    EXPECT_GT(missing, 0);
    EXPECT_FLOAT_EQ(At(out, 16, 15, 15), 7.0f);
}

TEST(GridInterpolator, SmoothKeepsTheBorderAndStopsAtMissingCells)
{
    // A 7 x 7 grid of 1 with a 26 in the middle: the centre window sums 50, so 2; the two outer
    // rings keep their values.
    std::vector<float> g(49, 1.0f);
    g[24] = 26.0f;
    ASSERT_TRUE(GridInterpolator::Smooth(g, 7, 7));
    EXPECT_FLOAT_EQ(g[24], 2.0f);
    EXPECT_FLOAT_EQ(g[2 * 7 + 2], 2.0f);  // its window holds the 26 too
    EXPECT_FLOAT_EQ(g[0], 1.0f);
    EXPECT_FLOAT_EQ(g[1 * 7 + 3], 1.0f);

    // 12 x 8 with columns 0 and 8 at 100, the rest 0: a window over one of them smooths to
    // (5 * 100) * 0.04 = 20.
    constexpr int w = 12;
    const auto fresh = [] {
        std::vector<float> f(w * 8);
        for (size_t n = 0; n < f.size(); ++n) {
            f[n] = float(n % w == 0 || n % w == 8 ? 100 : 0);
        }
        return f;
    };
    const auto cell = [](const std::vector<float>& f, int r, int c) {
        return f[size_t(r * w + c)];
    };

    // NoValue two columns right of centre (2, 3): the rest of row 2 stays as it was, even where a
    // window is clear of it; the next row goes on.
    auto right = fresh();
    right[2 * w + 5] = kNoValue;
    ASSERT_TRUE(GridInterpolator::Smooth(right, w, 8));
    EXPECT_FLOAT_EQ(cell(right, 2, 2), 20.0f);
    EXPECT_FLOAT_EQ(cell(right, 2, 8), 100.0f);
    EXPECT_FLOAT_EQ(cell(right, 3, 8), 20.0f);

    // NoValue at the bottom-left of window (3, 2): smoothing ends there for good.
    auto bottom = fresh();
    bottom[5 * w + 0] = kNoValue;
    ASSERT_TRUE(GridInterpolator::Smooth(bottom, w, 8));
    EXPECT_FLOAT_EQ(cell(bottom, 2, 8), 20.0f);
    EXPECT_FLOAT_EQ(cell(bottom, 3, 8), 100.0f);
    EXPECT_FLOAT_EQ(cell(bottom, 5, 8), 100.0f);

    // NoValue anywhere else in a window keeps that window's centre instead of summing 3.4e38;
    // windows clear of it are smoothed.
    auto inside = fresh();
    inside[3 * w + 3] = kNoValue;
    ASSERT_TRUE(GridInterpolator::Smooth(inside, w, 8));
    for (float f : inside) {
        ASSERT_TRUE(IsNoValue(f) || (f >= 0.0f && f <= 100.0f)) << f;
    }
    EXPECT_FLOAT_EQ(cell(inside, 2, 2), 0.0f);
    EXPECT_FLOAT_EQ(cell(inside, 5, 5), 0.0f);
    EXPECT_FLOAT_EQ(cell(inside, 4, 8), 20.0f);
    EXPECT_FLOAT_EQ(cell(inside, 2, 9), 20.0f);

    std::vector<float> small(4 * 4, 3.0f);
    EXPECT_TRUE(GridInterpolator::Smooth(small, 4, 4));   // fewer than 5 rows: as it was
    EXPECT_FALSE(GridInterpolator::Smooth(small, 5, 5));  // fewer cells than asked
}

}  // namespace
}  // namespace orv
