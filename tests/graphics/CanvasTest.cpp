#include "base/NoValue.h"
#include "graphics/PlotCanvas.h"

#include <gtest/gtest.h>

#include <vector>

namespace orv {
namespace {

TEST(PlotCanvas, CreatesWhiteWithoutValuesAndIgnoresEverythingOutside)
{
    PlotCanvas canvas;
    EXPECT_FALSE(canvas.Create(0, 10));
    EXPECT_FALSE(canvas.IsCreated());
    ASSERT_TRUE(canvas.Create(4, 3));
    EXPECT_EQ(canvas.GetPixel(3, 2), kWhite);
    EXPECT_EQ(canvas.GetValue(0, 0), kNoValue);

    canvas.SetPixel(-1, 0, kBlack);
    canvas.SetPixel(4, 0, kBlack);
    canvas.SetValue(0, 3, 1.0f);
    canvas.DrawLine(-5, -5, 10, 10, 0x123456);  // crosses the canvas, clipped pixel by pixel
    EXPECT_EQ(canvas.GetPixel(2, 2), 0x123456u);
    EXPECT_EQ(canvas.GetPixel(4, 0), kNoColour);
    EXPECT_EQ(canvas.GetValue(-1, -1), kNoValue);

    canvas.SetValue(1, 1, 5.0f);
    const uint32_t before = canvas.ChangeCount();
    canvas.Clear();
    EXPECT_GT(canvas.ChangeCount(), before);
    EXPECT_EQ(canvas.GetValue(1, 1), kNoValue);
    EXPECT_EQ(canvas.GetPixel(2, 2), kWhite);
}

TEST(PlotCanvas, PixelWordsAreTheScreensRgb32)
{
    PlotCanvas canvas;
    ASSERT_TRUE(canvas.Create(1, 1));
    canvas.SetPixel(0, 0, MakeColour(0x12, 0x34, 0x56));
    EXPECT_EQ(canvas.PixelData()[0], 0xFF123456u);
    EXPECT_EQ(canvas.GetPixel(0, 0), MakeColour(0x12, 0x34, 0x56));
    // "No colour" paints white, as on the handheld.
    canvas.SetPixel(0, 0, kNoColour);
    EXPECT_EQ(canvas.GetPixel(0, 0), kWhite);
}

TEST(PlotCanvas, LinesIncludeBothEndsInEveryDirection)
{
    struct Case
    {
        const char* legend;
        int x0, y0, x1, y1;
        int pixels;
    };
    const Case cases[] = {
        {"flat to the right", 1, 1, 6, 1, 6},
        {"steep upward", 2, 7, 3, 0, 8},
        {"diagonal back", 6, 6, 0, 0, 7},
        {"single point", 3, 3, 3, 3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        PlotCanvas canvas;
        ASSERT_TRUE(canvas.Create(8, 8));
        canvas.DrawLine(c.x0, c.y0, c.x1, c.y1, kBlack);
        EXPECT_EQ(canvas.GetPixel(c.x0, c.y0), kBlack);
        EXPECT_EQ(canvas.GetPixel(c.x1, c.y1), kBlack);
        int count = 0;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                count += canvas.GetPixel(x, y) == kBlack;
            }
        }
        EXPECT_EQ(count, c.pixels);
    }
    PlotCanvas canvas;
    ASSERT_TRUE(canvas.Create(4, 4));
    canvas.DrawLine(0, 0, 3, 3, kNoColour);
    EXPECT_EQ(canvas.GetPixel(1, 1), kWhite);
}

TEST(PlotCanvas, ValueLinesRunLinearlyAndThickOnesWidenAcrossTheirDirection)
{
    PlotCanvas canvas;
    ASSERT_TRUE(canvas.Create(12, 12));
    EXPECT_TRUE(canvas.ValueLine(0, 0, 4, 0, 10.0f, 30.0f));
    EXPECT_FLOAT_EQ(canvas.GetValue(0, 0), 10.0f);
    EXPECT_FLOAT_EQ(canvas.GetValue(2, 0), 20.0f);
    EXPECT_FLOAT_EQ(canvas.GetValue(4, 0), 30.0f);

    EXPECT_FALSE(canvas.ValueLine(0, 5, 4, 5, kNoValue, 1.0f));
    EXPECT_EQ(canvas.GetValue(0, 5), kNoValue);

    // Flat: copies shifted in y by -2..2.
    canvas.ThickValueLine(2, 6, 8, 6, 1.0f, 1.0f, 2);
    for (int y = 4; y <= 8; ++y) {
        EXPECT_FLOAT_EQ(canvas.GetValue(5, y), 1.0f) << y;
    }
    EXPECT_EQ(canvas.GetValue(5, 9), kNoValue);
    // Steep: copies shifted in x.
    canvas.ThickValueLine(10, 0, 10, 3, 7.0f, 7.0f, 1);
    EXPECT_FLOAT_EQ(canvas.GetValue(9, 1), 7.0f);
    EXPECT_FLOAT_EQ(canvas.GetValue(11, 1), 7.0f);
    canvas.ThickValueLine(0, 11, 5, 11, 3.0f, 3.0f, 0);
    EXPECT_EQ(canvas.GetValue(2, 11), kNoValue);
}

TEST(PlotCanvas, SmallCirclesAreRoundedSquaresWithTheirFill)
{
    PlotCanvas canvas;
    ASSERT_TRUE(canvas.Create(6, 6));
    canvas.DrawEllipse(1, 1, 5, 5, kBlack, 0x0000FF);
    // The 4 x 4 box loses its corners; the 2 x 2 centre is the brush.
    EXPECT_EQ(canvas.GetPixel(1, 1), kWhite);
    EXPECT_EQ(canvas.GetPixel(4, 4), kWhite);
    EXPECT_EQ(canvas.GetPixel(2, 1), kBlack);
    EXPECT_EQ(canvas.GetPixel(1, 3), kBlack);
    EXPECT_EQ(canvas.GetPixel(2, 2), 0x0000FFu);
    EXPECT_EQ(canvas.GetPixel(3, 3), 0x0000FFu);
    EXPECT_EQ(canvas.GetPixel(5, 2), kWhite);

    PlotCanvas copy;
    ASSERT_TRUE(copy.CopyFrom(canvas));
    EXPECT_EQ(copy.GetPixel(2, 2), 0x0000FFu);
}

}  // namespace
}  // namespace orv
