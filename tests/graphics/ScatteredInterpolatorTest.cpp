#include "graphics/ScatteredInterpolator.h"

#include "base/NoValue.h"
#include "graphics/WorkerPool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace orv {
namespace {

using Method = ScatteredInterpolator::Method;

constexpr float kSentinel = -12345.0f;

// Corners of a 10 x 10 square onto 11 x 11 cells: one cell per unit, the corners in the corner
// cells.
const std::vector<ScatteredPoint> kSquare{{0, 0, 0}, {10, 0, 12}, {0, 10, 50}, {10, 10, 50}};

float At(const std::vector<float>& g, int w, int row, int col) { return g[size_t(row * w + col)]; }

TEST(ScatteredInterpolator, ConeWeightedMeanWorkedByHand)
{
    for (const Method method : {Method::Direct, Method::RowSpans, Method::Diagonals}) {
        SCOPED_TRACE(static_cast<int>(method));
        ScatteredInterpolator grid(8, method);
        std::vector<float> out(121, kSentinel);
        ASSERT_TRUE(grid.Grid(kSquare, 11, 11, out));
        // Cell (row 0, column 4): the point at (0, 0) is 4 cells away (weight 4/8), the one at
        // (10, 0) 6 away (2/8), the others 14 or more: (0 * 4 + 12 * 2) / 6 = 4.
        EXPECT_NEAR(At(out, 11, 0, 4), 4.0f, 1e-5f);
        EXPECT_NEAR(At(out, 11, 0, 0), 0.0f, 1e-5f);  // (10, 0) is 10 away: only (0, 0)
        // Cell (5, 5) is 10 cells from every corner: nobody reaches it.
        EXPECT_TRUE(IsNoValue(At(out, 11, 5, 5)));

        // Exactly `radius` cells away is out of reach: radius 4 leaves (0, 4) without value,
        // while (0, 3) and (1, 2) still see the point at (0, 0).
        grid.SetRadius(4);
        ASSERT_TRUE(grid.Grid(kSquare, 11, 11, out));
        EXPECT_TRUE(IsNoValue(At(out, 11, 0, 4)));
        EXPECT_TRUE(IsNoValue(At(out, 11, 2, 2)));
        EXPECT_NEAR(At(out, 11, 0, 3), 0.0f, 1e-6f);
        EXPECT_NEAR(At(out, 11, 1, 2), 0.0f, 1e-6f);
        EXPECT_NEAR(At(out, 11, 0, 7), 12.0f, 1e-5f);

        // A radius below 1 reaches nothing.
        grid.SetRadius(0);
        ASSERT_TRUE(grid.Grid(kSquare, 11, 11, out));
        for (float f : out) {
            ASSERT_TRUE(IsNoValue(f));
        }
    }

    // A regular grid is taken as its points: 2 x 2 stations are the corners again.
    ScatteredInterpolator regular(8);
    const std::vector<float> x{0, 10}, y{0, 10}, v{0, 12, 50, 50};
    std::vector<float> out(121, kSentinel);
    ASSERT_TRUE(regular.Grid(x, y, v, 11, 11, out));
    EXPECT_NEAR(At(out, 11, 0, 4), 4.0f, 1e-5f);
}

TEST(ScatteredInterpolator, RefusesDegenerateInputWithoutTouchingTheOutput)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case
    {
        const char* legend;
        std::vector<ScatteredPoint> points;
        int w, h;
    };
    const Case cases[] = {
        {"three points", {{0, 0, 1}, {1, 1, 1}, {2, 0, 1}}, 10, 10},
        {"one output column", kSquare, 1, 10},
        {"one output row", kSquare, 10, 1},
        {"all on one east-west line", {{0, 5, 1}, {1, 5, 1}, {2, 5, 1}, {3, 5, 1}}, 10, 10},
        {"all on one north-south line", {{5, 0, 1}, {5, 1, 1}, {5, 2, 1}, {5, 3, 1}}, 10, 10},
        {"a fourth point without a value",
         {{0, 0, 1}, {1, 1, 1}, {2, 0, 1}, {3, 3, kNoValue}},
         10,
         10},
        {"a fourth point without a position",
         {{0, 0, 1}, {1, 1, 1}, {2, 0, 1}, {nan, 3, 1}},
         10,
         10},
        {"extents beyond the float range",
         {{-3e38f, -3e38f, 1}, {3e38f, 3e38f, 1}, {0, 2, 1}, {1, 3, 1}},
         10,
         10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        std::vector<float> out(100, kSentinel);
        EXPECT_FALSE(ScatteredInterpolator().Grid(c.points, c.w, c.h, out));
        for (float f : out) {
            ASSERT_EQ(f, kSentinel);
        }
    }
    std::vector<float> small(120, kSentinel);
    EXPECT_FALSE(ScatteredInterpolator().Grid(kSquare, 11, 11, small));
    EXPECT_EQ(small[0], kSentinel);
    const std::vector<float> xs{0, 1, 2, 3}, ys{0, 1, 2}, vs{1, 2, 3, 4};
    EXPECT_FALSE(ScatteredInterpolator().GridPoints(xs, ys, vs, 11, 11, small));
}

TEST(ScatteredInterpolator, RowSpansGiveTheDirectResult)
{
    // A walked track with jitter, a far outlier along the loose axis and values of both signs.
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> jitter(-3.0f, 3.0f);
    std::vector<ScatteredPoint> track;
    for (int n = 0; n < 1500; ++n) {
        const float t = float(n) * 0.2f;
        track.push_back({t + jitter(rng), 40 * std::sin(t / 30) + jitter(rng),
                         100 * std::cos(t / 7) + jitter(rng)});
    }
    track.push_back({150, 900, 5});
    for (const int radius : {1, 2, 7, 50, 400, 2000000000}) {
        SCOPED_TRACE(radius);
        for (const auto& [w, h] : {std::pair{160, 90}, std::pair{37, 211}}) {
            std::vector<float> direct(size_t(w) * size_t(h)), spans(direct.size());
            ASSERT_TRUE(ScatteredInterpolator(radius, Method::Direct).Grid(track, w, h, direct));
            ASSERT_TRUE(ScatteredInterpolator(radius, Method::RowSpans).Grid(track, w, h, spans));
            for (size_t n = 0; n < direct.size(); ++n) {
                if (IsNoValue(direct[n]) || IsNoValue(spans[n])) {
                    ASSERT_EQ(IsNoValue(direct[n]), IsNoValue(spans[n])) << "cell " << n;
                    continue;
                }
                // The direct sums are single precision over up to a few thousand points.
                ASSERT_NEAR(direct[n], spans[n], 2e-3f) << "cell " << n;
            }
        }
    }
}

TEST(ScatteredInterpolator, DiagonalsGiveTheRowSpansResultBitForBit)
{
    WorkerPool one(1);
    WorkerPool four(4);
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> jitter(-3.0f, 3.0f);
    std::uniform_real_distribution<float> anywhere(0.0f, 300.0f);
    // Values in 1/1024ths, both signs, zeros of both signs: the row spans' sums are exact.
    std::uniform_int_distribution<int> steps(-90 * 1024, 90 * 1024);
    const auto stepped = [&] { return float(steps(rng)) / 1024.0f; };

    struct Case
    {
        const char* legend;
        std::vector<ScatteredPoint> points;
    };
    std::vector<Case> cases;
    {
        Case walk{"a walked track with a far outlier along the loose axis", {}};
        for (int n = 0; n < 3000; ++n) {
            const float t = float(n) * 0.2f;
            walk.points.push_back(
                {t + jitter(rng), 40 * std::sin(t / 30) + jitter(rng), stepped()});
        }
        walk.points.push_back({150, 900, 5});
        walk.points.push_back({-400, 10, -0.0f});
        cases.push_back(std::move(walk));
    }
    {
        Case crowd{"points crowded into few cells, some on the same one", {}};
        for (int n = 0; n < 2000; ++n) {
            const float x = std::floor(anywhere(rng) / 30.0f) * 30.0f;
            crowd.points.push_back({x, anywhere(rng) * 0.5f, n % 7 == 0 ? 0.0f : stepped()});
        }
        cases.push_back(std::move(crowd));
    }
    cases.push_back({"all values zero", {{0, 0, 0}, {10, 0, -0.0f}, {0, 7, 0}, {9, 9, 0}}});
    {
        // Sums of 1e-30 and 1e30 round in double: the diagonals must leave them to the row spans.
        Case wide{"values too far apart for exact sums", {}};
        for (int n = 0; n < 400; ++n) {
            wide.points.push_back({anywhere(rng), anywhere(rng), n % 2 == 0 ? 1e30f : 3e-30f});
        }
        cases.push_back(std::move(wide));
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        for (const int radius : {1, 2, 7, 50, 400, 5000}) {
            for (const auto& [w, h] : {std::pair{160, 90}, std::pair{37, 211}, std::pair{2, 2}}) {
                SCOPED_TRACE(testing::Message() << "radius " << radius << ", " << w << " x " << h);
                std::vector<float> spans(size_t(w) * size_t(h), kSentinel);
                ASSERT_TRUE(ScatteredInterpolator(radius, Method::RowSpans, &one)
                                .Grid(c.points, w, h, spans));
                for (WorkerPool* pool : {&one, &four}) {
                    std::vector<float> diagonals(spans.size(), kSentinel);
                    ASSERT_TRUE(ScatteredInterpolator(radius, Method::Diagonals, pool)
                                    .Grid(c.points, w, h, diagonals));
                    ASSERT_EQ(std::memcmp(spans.data(), diagonals.data(), spans.size() * 4), 0)
                        << pool->Threads() << " threads";
                }
            }
        }
    }
}

}  // namespace
}  // namespace orv
