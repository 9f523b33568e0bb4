#include "graphics/ScaleFrame.h"

#include "FakeTextPainter.h"
#include "graphics/PlotCanvas.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orv {
namespace {

constexpr Colour kGrey = 0x808080;

TEST(ScaleFrame, StepRuleGivesAboutOneLabelPerTwentyPixels)
{
    struct Case
    {
        const char* legend;
        float length;
        int pixels;
        int major, minor;
    };
    const Case cases[] = {
        {"100 units over 150 pixels", 100.0f, 150, 15, 3},
        {"3 units over 150 pixels", 3.0f, 150, 1, 1},
        {"6 units over 300 pixels", 6.0f, 300, 1, 1},
        {"20 units over 40 pixels", 20.0f, 40, 10, 2},
        {"5 units over 20 pixels", 5.0f, 20, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        const AxisSteps steps = ComputeAxisSteps(c.length, c.pixels);
        EXPECT_EQ(steps.major, c.major);
        EXPECT_EQ(steps.minor, c.minor);
    }
    EXPECT_EQ(ComputeAxisSteps(0.4f, 100).units, 0);
}

TEST(ScaleFrame, XAxisTicksAndLabelsSitOnTheBottomEdge)
{
    PlotCanvas canvas;
    ASSERT_TRUE(canvas.Create(200, 120));
    FakeTextPainter text;
    // 20 units over 40 pixels: minor ticks every 2 units, labels every 10.
    DrawScaleFrame(false, kGrey, canvas, text, 10, 20, 50, 100, 0.0f, 20.0f, 0.0f, 0.0f);
    ASSERT_EQ(text.Texts(), (std::vector<std::string>{"10"}));
    // Unit 10 is pixel 10 + 10 * 40 / 20 = 30; its tick is 7 pixels up from row 99.
    for (int y = 93; y <= 99; ++y) {
        EXPECT_EQ(canvas.GetPixel(30, y), kBlack) << y;
    }
    EXPECT_EQ(canvas.GetPixel(30, 92), kWhite);
    // A minor tick (unit 4, pixel 18) is 4 pixels.
    EXPECT_EQ(canvas.GetPixel(18, 96), kBlack);
    EXPECT_EQ(canvas.GetPixel(18, 95), kWhite);
    // The label is centred on the tick with its top 6 pixels plus its height above the base.
    EXPECT_EQ(text.labels[0].x, 30 - 6);
    EXPECT_EQ(text.labels[0].y, 99 - FakeTextPainter::kHeight - 6);
    // No y axis: nothing on the left edge.
    EXPECT_EQ(canvas.GetPixel(10, 60), kWhite);
}

TEST(ScaleFrame, DepthAxisGrowsDownwardWithGridLines)
{
    PlotCanvas canvas;
    ASSERT_TRUE(canvas.Create(120, 120));
    FakeTextPainter text;
    // y from 10 at the bottom to 0 at the top: labels count down from the bottom.
    DrawScaleFrame(true, kGrey, canvas, text, 0, 0, 100, 100, 0.0f, 0.0f, 10.0f, 0.0f);
    // 10 units over 100 pixels: q = 10 / 6 = 1, A = 5 -> not >= 9, m = 1.
    ASSERT_EQ(text.Texts(), (std::vector<std::string>{"5"}));
    // Unit 5 is at y = 100 - 50 = 50: a 7-pixel tick from the left edge and a grid line from
    // 8 pixels right of the label to the right edge.
    EXPECT_EQ(canvas.GetPixel(6, 50), kBlack);
    EXPECT_EQ(canvas.GetPixel(7, 50), kWhite);
    const int gridStart = 8 + FakeTextPainter::kGlyphWidth + 8;
    EXPECT_EQ(canvas.GetPixel(gridStart, 50), kGrey);
    EXPECT_EQ(canvas.GetPixel(99, 50), kGrey);
    EXPECT_EQ(canvas.GetPixel(100, 50), kWhite);
    EXPECT_EQ(text.labels[0].y, 50 - FakeTextPainter::kHeight / 2);
}

TEST(ScaleFrame, NegativeLabelsRoundToTheNearestUnit)
{
    PlotCanvas canvas;
    ASSERT_TRUE(canvas.Create(80, 80));
    FakeTextPainter text;
    // 4 units over 70 pixels from -5: labels at -4, -3, -2.
    DrawScaleFrame(false, kGrey, canvas, text, 0, 0, 70, 70, 0.0f, 0.0f, -5.0f, -1.0f);
    EXPECT_EQ(text.Texts(), (std::vector<std::string>{"-4", "-3", "-2"}));
}

TEST(ScaleFrame, DegenerateRangesAndRectanglesDrawNothing)
{
    PlotCanvas canvas;
    ASSERT_TRUE(canvas.Create(60, 60));
    FakeTextPainter text;
    const uint32_t before = canvas.ChangeCount();
    DrawScaleFrame(true, kGrey, canvas, text, 0, 0, 50, 50, 0.0f, 0.3f, 0.0f, 0.0f);
    DrawScaleFrame(true, kGrey, canvas, text, 0, 0, 50, 50, 0.0f, 1e30f, 0.0f, -1e30f);
    DrawScaleFrame(true, kGrey, canvas, text, 40, 40, 10, 10, 0.0f, 10.0f, 0.0f, 10.0f);
    EXPECT_TRUE(text.labels.empty());
    EXPECT_EQ(canvas.ChangeCount(), before);
}

TEST(ScaleFrame, LabelsNeverRunIntoEachOtherAndCarryTheUnitOnce)
{
    // Three-digit labels every 20 pixels (the handheld's track section at 16 stations) and
    // labels 13 pixels high every 10 pixels: every second, fifth ... label is kept, evenly.
    PlotCanvas canvas;
    ASSERT_TRUE(canvas.Create(400, 400));
    for (const int width : {60, 120, 240, 390}) {
        SCOPED_TRACE(width);
        FakeTextPainter text;
        DrawScaleFrame(false, kGrey, canvas, text, 0, 0, width, 390, 100.0f, 400.0f, 30.0f, 0.0f,
                       AxisUnits{"m", "m"});
        // x labels stand on the row 6 pixels plus their height above the bottom row.
        std::vector<FakeTextPainter::Label> xs;
        for (const FakeTextPainter::Label& l : text.labels) {
            if (l.y == 389 - FakeTextPainter::kHeight - 6) {
                xs.push_back(l);
            }
        }
        ASSERT_FALSE(xs.empty());
        for (size_t i = 0; i < text.labels.size(); ++i) {
            for (size_t j = i + 1; j < text.labels.size(); ++j) {
                const auto& a = text.labels[i];
                const auto& b = text.labels[j];
                const int aw = int(a.text.size()) * FakeTextPainter::kGlyphWidth;
                const int bw = int(b.text.size()) * FakeTextPainter::kGlyphWidth;
                const bool apart = a.x + aw <= b.x || b.x + bw <= a.x ||
                                   a.y + FakeTextPainter::kHeight <= b.y ||
                                   b.y + FakeTextPainter::kHeight <= a.y;
                EXPECT_TRUE(apart) << a.text << " and " << b.text;
            }
        }
        // The unit once per axis, on the rightmost x label, which ends inside the picture.
        int units = 0;
        const FakeTextPainter::Label* rightmost = &xs.front();
        for (const FakeTextPainter::Label& l : text.labels) {
            units += l.text.size() > 2 && l.text.substr(l.text.size() - 2) == " m";
        }
        for (const FakeTextPainter::Label& l : xs) {
            rightmost = l.x > rightmost->x ? &l : rightmost;
        }
        EXPECT_EQ(units, 2);
        EXPECT_EQ(rightmost->text.substr(rightmost->text.size() - 2), " m");
        EXPECT_LE(rightmost->x + int(rightmost->text.size()) * FakeTextPainter::kGlyphWidth, width);
    }
}

}  // namespace
}  // namespace orv
