// The colour legend under maps and sections, the units of the read-out, and what the graphic
// choice tells beside its status text.

#include "graphics/Legend.h"

#include "DrawingFixture.h"
#include "charts/ColourChart.h"
#include "graphics/GraphicChoice.h"
#include "graphics/Units.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace orv {
namespace {

using namespace graphic_frame;

const sim::GroundModel kBody = sim::GroundModel::Body(10.0, 100.0, 13.0, 4.0, 4.0, 3.0);

class Legend : public DrawingTest
{
};

TEST_F(Legend, TakesAStripUnderTheMapAndShowsTheRangeItWasPaintedWith)
{
    const SimulatedGrid grid = MakeGrid(kBody, 20, 12);
    const GridSurveyData data = grid.Data();
    // The gap, a text line beside the bar, its ticks and a line of numbers; a caption that
    // would leave the bar less than 3/5 of the width gets a line of its own.
    // (Glyphs of 6 pixels: "mS/m  1 kHz" leaves the bar 162 pixels of 240, "mS/m  15.62 kHz"
    // 138.)
    const LegendLayout narrow = LayoutLegend(Context(), m_frame, "mS/m", "1 kHz");
    EXPECT_TRUE(narrow.captionBesideUnit);
    EXPECT_EQ(narrow.strip.Height(), 4 + 13 + 3 + 13);
    const LegendLayout layout = LayoutLegend(Context(), m_frame, "mS/m", "15.62 kHz");
    ASSERT_TRUE(layout.shown);
    EXPECT_FALSE(layout.captionBesideUnit);
    EXPECT_EQ(layout.strip.Height(), 4 + 13 + 3 + 13 + 13);
    EXPECT_EQ(layout.strip.bottom, m_frame.bottom);
    EXPECT_EQ(layout.plot.bottom, layout.strip.top);
    EXPECT_EQ(layout.plot.top, m_frame.top);

    ASSERT_TRUE(DrawGraphicFrame(Context(), {&data, nullptr}, kMap, {11, 0, 7}, m_frame, false));
    // The map is the Part's picture in the frame less the strip: 19 x 11 m keeps the width and
    // centres its rows in the plot.
    const FrameRect box = ValueBounds();
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.right, 240);
    EXPECT_GE(box.top, layout.plot.top);
    EXPECT_LE(box.bottom, layout.plot.bottom);
    // The bar runs from the chart's minimum colour to its maximum colour.
    const ColourChart& chart = m_config->AreaChart;
    const FrameRect bar = LegendBar(Context(), layout);
    const int middle = (bar.top + bar.bottom) / 2;
    EXPECT_EQ(m_canvas.GetPixel(bar.left, middle), chart.Colours().front());
    EXPECT_EQ(m_canvas.GetPixel(bar.right - 1, middle), chart.Colours().back());
    EXPECT_EQ(m_canvas.GetValue(bar.left + 3, middle), kNoValue);  // a tap reads the map only
    // The unit, the frequency, the numbers under the bar within the range.
    std::vector<std::string> numbers;
    bool unit = false;
    bool caption = false;
    for (const FakeTextPainter::Label& label : m_text.labels) {
        unit = unit || label.text == "mS/m";
        caption = caption || label.text == "15.62 kHz";
        if (label.y > bar.bottom && label.text != "15.62 kHz") {
            numbers.push_back(label.text);
            const double v = std::stod(label.text);
            EXPECT_GE(v, chart.Minimum());
            EXPECT_LE(v, chart.Maximum());
        }
    }
    EXPECT_TRUE(unit);
    EXPECT_TRUE(caption);
    EXPECT_GE(numbers.size(), 3u);

    // A frame too small for a legend shows the picture alone.
    const LegendLayout small = LayoutLegend(Context(), {0, 0, 90, 200}, "mS/m", {});
    EXPECT_FALSE(small.shown);
    EXPECT_EQ(small.plot.bottom, 200);
}

TEST(LegendTicks, NumbersAreRoundStepsThatNeverTouch)
{
    FakeTextPainter text;
    const DrawMetrics metrics;
    struct Case
    {
        float minimum, maximum;
        int width;
    };
    const Case cases[] = {{10.0f, 98.6f, 150}, {10.0f, 98.6f, 1190},    {33095.68f, 33312.5f, 150},
                          {-7.5f, 7.5f, 300},  {0.0012f, 0.0047f, 200}, {19.99f, 20.01f, 60},
                          {-1e6f, 3e7f, 120},  {5.0f, 5.5f, 40}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.minimum) + " .. " + std::to_string(c.maximum) + " over " +
                     std::to_string(c.width));
        const std::vector<LegendTick> ticks =
            LegendTicks(text, metrics, c.minimum, c.maximum, c.width, 3, 40);
        ASSERT_FALSE(ticks.empty());
        for (size_t i = 0; i < ticks.size(); ++i) {
            EXPECT_GE(ticks[i].value, double(c.minimum) - 1e-9);
            EXPECT_LE(ticks[i].value, double(c.maximum) * (1 + 1e-9) + 1e-9);
            EXPECT_GE(ticks[i].x, 0);
            EXPECT_LT(ticks[i].x, c.width);
            EXPECT_GE(ticks[i].labelLeft, -3);
            if (i > 0) {
                const int previousRight = ticks[i - 1].labelLeft + int(ticks[i - 1].text.size()) *
                                                                       FakeTextPainter::kGlyphWidth;
                EXPECT_GE(ticks[i].labelLeft, previousRight + metrics.labelGap);
                EXPECT_NE(ticks[i].text, ticks[i - 1].text);
            }
        }
    }
    EXPECT_TRUE(LegendTicks(text, metrics, 3.0f, 3.0f, 100, 0, 0).empty());
}

// CIELAB of an sRGB colour as a viewer with deuteranopia sees it: the Machado, Oliveira and
// Fernandes (2009) simulation matrix for deuteranopia (severity 1) applied in linear RGB, then
// XYZ under D65 and L*a*b*.
std::array<double, 3> DeuteranopeLab(Colour colour)
{
    const auto linear = [](uint32_t channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const double r = linear(RedOf(colour));
    const double g = linear(GreenOf(colour));
    const double b = linear(BlueOf(colour));
    const auto clamp01 = [](double v) { return std::min(1.0, std::max(0.0, v)); };
    const double dr = clamp01(0.367322 * r + 0.860646 * g - 0.227968 * b);
    const double dg = clamp01(0.280085 * r + 0.672501 * g + 0.047413 * b);
    const double db = clamp01(-0.011820 * r + 0.042940 * g + 0.968881 * b);
    const double x = (0.4124564 * dr + 0.3575761 * dg + 0.1804375 * db) / 0.95047;
    const double y = 0.2126729 * dr + 0.7151522 * dg + 0.0721750 * db;
    const double z = (0.0193339 * dr + 0.1191920 * dg + 0.9503041 * db) / 1.08883;
    const auto f = [](double t) {
        const double d = 6.0 / 29.0;
        return t > d * d * d ? std::cbrt(t) : t / (3 * d * d) + 4.0 / 29.0;
    };
    return {116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))};
}

TEST_F(Legend, ViridisAndCividisStepsStayApartForADeuteranope)
{
    for (const ColourPreset preset : {ColourPreset::Viridis, ColourPreset::Cividis}) {
        SCOPED_TRACE(PresetName(preset));
        m_canvas.Clear();
        m_config->AreaChart.LoadPreset(preset);
        ASSERT_TRUE(m_config->AreaChart.SetRange(0.0f, 14.0f));
        const LegendLayout layout = LayoutLegend(Context(), m_frame, "mS/m", {});
        DrawColourLegend(Context(), m_config->AreaChart, layout);
        // The rendered bar at the 15 steps of the chart, 0, 1, ... 14.
        const FrameRect bar = LegendBar(Context(), layout);
        const int middle = (bar.top + bar.bottom) / 2;
        std::array<double, 3> previous{};
        for (int k = 0; k <= 14; ++k) {
            const int x = bar.left + int(std::lround(k * (bar.Width() - 1) / 14.0));
            const std::array<double, 3> lab = DeuteranopeLab(m_canvas.GetPixel(x, middle));
            if (k > 0) {
                const double dE = std::sqrt(std::pow(lab[0] - previous[0], 2) +
                                            std::pow(lab[1] - previous[1], 2) +
                                            std::pow(lab[2] - previous[2], 2));
                EXPECT_GE(dE, 3.0) << "between steps " << k - 1 << " and " << k;
            }
            previous = lab;
        }
    }
}

TEST(Units, ReadOutTextsFollowTheSignalSettings)
{
    DrawingConfiguration config;
    config->UnitMeasure = 0;
    EXPECT_EQ(UnitText(*config), "ADC units");
    EXPECT_EQ(ValueText(33095.68f, *config), "33095.68 ADC units");
    config->UnitMeasure = 1;
    config->ApparentValueKind = 0;
    EXPECT_EQ(ValueText(250.0f, *config), "250.00 Ohm\u00B7m");
    config->ApparentValueKind = 1;
    EXPECT_EQ(ValueText(12.3f, *config), "12.30 mS/m");
    config->UnitMeasure = 7;  // unknown: the values are 0 and unitless
    EXPECT_EQ(ValueText(0.0f, *config), "0.00");
    // Frequencies in kHz from the built-in calibration; nothing where it gives none.
    EXPECT_EQ(FrequencyText(*config, 7), "15.62 kHz");
    EXPECT_EQ(FrequencyText(*config, 14), "");
    config->ActiveCalibration.Frequencies[3] = 0.0;
    EXPECT_EQ(FrequencyText(*config, 3), "");
    EXPECT_EQ(LabelNumber(-0.0001, 0.5), "0.0");
    EXPECT_EQ(LabelNumber(2.5, 0.25), "2.50");
    EXPECT_EQ(LabelNumber(33100.0, 50.0), "33100");
}

class TrackChoice : public DrawingTest
{
protected:
    ChosenGraphic Choose(const SimulatedTrack& track)
    {
        m_data = track.Data();
        GraphicSelection selection;
        return ChooseGraphic(selection, Context(), {nullptr, &m_data}, {0, 0, 7, 50}, m_frame);
    }

    TrackSurveyData m_data;
};

TEST_F(TrackChoice, AStraightWalkSaysWhyThereIsNoMap)
{
    std::vector<LocalPoint> north;
    for (int i = 0; i < 12; ++i) {
        north.push_back({0.0f, float(i)});
    }
    const SimulatedTrack straight = MakeTrack(kBody, north, {});
    ChosenGraphic chosen = Choose(straight);
    EXPECT_EQ(chosen.frame, kSection);
    EXPECT_EQ(chosen.status, "Section: profile 0 (proportional)");
    EXPECT_EQ(chosen.note, "no map: the stations lie on one north-south line");
    EXPECT_EQ(StatusLine(chosen),
              "Section: profile 0 (proportional) - no map: the stations lie on one north-south "
              "line");

    // A walk with width both ways makes its map, and nothing more is said.
    chosen = Choose(MakeTrack(kBody, ZigZagWalk(), {}));
    EXPECT_EQ(chosen.frame, kMap);
    EXPECT_EQ(chosen.note, "");
    EXPECT_EQ(StatusLine(chosen), chosen.status);
    // Too few records for a map yet: nothing to explain either.
    north.resize(3);
    EXPECT_EQ(Choose(MakeTrack(kBody, north, {})).note, "");
}

TEST_F(TrackChoice, ASectionTooThinAtTrueScaleSaysItIsFitted)
{
    m_config->ShowMaps = 0;
    std::vector<LocalPoint> east;
    for (int i = 0; i <= 300; i += 10) {
        east.push_back({float(i), 0.0f});
    }
    const ChosenGraphic chosen = Choose(MakeTrack(kBody, east, {}));
    EXPECT_EQ(chosen.frame, kSection);
    EXPECT_EQ(chosen.status, "Section: profile 0 (fit to screen)");
    EXPECT_EQ(chosen.note, "");  // maps are switched off
}

}  // namespace
}  // namespace orv
