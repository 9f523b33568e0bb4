// The signal and view settings pages' decisions and the Colour menu, without a screen.

#include "FakePrompt.h"
#include "FakeSettingsStore.h"
#include "TempDir.h"
#include "config/Configuration.h"
#include "ui/pages/ColourMenuLogic.h"
#include "ui/pages/SignalSettingsLogic.h"
#include "ui/pages/ViewSettingsLogic.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

namespace sc = signal_control;

TEST(SignalSettingsLogic, PhaseEqualisationFollowsTheComponent)
{
    SignalSettingsLogic s;
    s.SignalComponent = 1;
    s.PhaseEqualization = 1;
    s.Refresh();
    EXPECT_TRUE(s.controls.phaseEqualizationEnabled);

    // Module: unchecked and disabled.
    ASSERT_TRUE(s.OnCommand(sc::kModule));
    s.Refresh();
    EXPECT_EQ(s.PhaseEqualization, 0);
    EXPECT_FALSE(s.controls.phaseEqualizationEnabled);
    EXPECT_TRUE(s.controls.currentAndUndercompensationEnabled);

    // Quadrature again: enabled, still unchecked.
    s.OnCommand(sc::kQuadrature);
    s.Refresh();
    EXPECT_EQ(s.PhaseEqualization, 0);
    EXPECT_TRUE(s.controls.phaseEqualizationEnabled);

    // Checking it forces and locks current normalisation and undercompensation.
    s.NormalizedToCurrent = 0;
    s.SubtractUndercompensation = 0;
    s.OnCommand(sc::kPhaseEqualization);
    s.Refresh();
    EXPECT_EQ(s.NormalizedToCurrent, 1);
    EXPECT_EQ(s.SubtractUndercompensation, 1);
    EXPECT_FALSE(s.controls.currentAndUndercompensationEnabled);
    // Unchecking releases them, still checked.
    s.OnCommand(sc::kPhaseEqualization);
    s.Refresh();
    EXPECT_EQ(s.NormalizedToCurrent, 1);
    EXPECT_TRUE(s.controls.currentAndUndercompensationEnabled);
}

TEST(SignalSettingsLogic, UnitsVisibilityPowersAndRadios)
{
    SignalSettingsLogic s;
    s.OnCommand(sc::kApparentValues);
    s.Refresh();
    EXPECT_FALSE(s.controls.correctionsVisible);
    EXPECT_TRUE(s.controls.apparentVisible);
    EXPECT_TRUE(s.RadioChecked(sc::kApparentValues));
    EXPECT_FALSE(s.RadioChecked(sc::kAdcQuantums));
    // An unknown unit leaves the visibility as it was.
    s.UnitMeasure = 7;
    s.Refresh();
    EXPECT_TRUE(s.controls.apparentVisible);
    EXPECT_FALSE(s.RadioChecked(sc::kAdcQuantums));
    EXPECT_FALSE(s.RadioChecked(sc::kApparentValues));

    // Powers disabled without normalisation to frequency, values kept.
    s.OnCommand(sc::kNormalizedToFrequency);
    s.Refresh();
    EXPECT_FALSE(s.controls.powersEnabled);
    EXPECT_FLOAT_EQ(s.PowerInphase, 2.5f);

    // A bad power names its edit and changes nothing.
    const auto failure = s.ReadPowers("1.5", "x", "3");
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->controlId, sc::kPowerQuadrature);
    EXPECT_EQ(failure->message, "Enter a number.");
    EXPECT_FLOAT_EQ(s.PowerModule, 2.0f);
    EXPECT_FALSE(s.ReadPowers("1.5", "-0.5", "3"));
    EXPECT_FLOAT_EQ(s.PowerQuadrature, -0.5f);
}

ViewSettingsLogic::Texts GoodTexts()
{
    ViewSettingsLogic v;
    return v.FieldTexts();
}

TEST(ViewSettingsLogic, ValidationKeepsEveryFieldOnFailure)
{
    ViewSettingsLogic v;
    auto t = GoodTexts();
    t.timerDelay = "1000";
    t.depth = "0";
    auto failure = v.ReadControls(t);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->controlId, view_control::kDepth);
    EXPECT_EQ(failure->message, "Enter a number between 0.001 and 65535.");
    EXPECT_EQ(v.TimerDelay, 3500);

    t.depth = "2.5";
    t.pixelRefinement = "11";
    failure = v.ReadControls(t);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->controlId, view_control::kPixelRefinement);
    EXPECT_EQ(failure->message, "Enter an integer between 1 and 10.");

    t.pixelRefinement = "3";
    t.sectionStations = "1";
    failure = v.ReadControls(t);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->controlId, view_control::kSectionStations);

    t.sectionStations = "12";
    t.timerDelay = "65536";
    failure = v.ReadControls(t);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->controlId, view_control::kTimerDelay);

    t.timerDelay = "1000";
    EXPECT_FALSE(v.ReadControls(t));
    EXPECT_FLOAT_EQ(v.DepthScaleFactor, 2.5f);
    EXPECT_EQ(v.PixelRefinement, 3);
    EXPECT_EQ(v.MinStationsForProfile, 12);
    EXPECT_EQ(v.TimerDelay, 1000);
}

TEST(ViewSettingsLogic, SpinsWrapAtTheSurveyLimits)
{
    ViewSettingsLogic v;
    v.stationsPerProfile = 10;
    v.profiles = 1;
    v.MinStationsForProfileCurve = 10;
    v.SpinProfileCurve(-1);  // up
    EXPECT_EQ(v.MinStationsForProfileCurve, 2);
    v.SpinProfileCurve(+1);  // down
    EXPECT_EQ(v.MinStationsForProfileCurve, 10);
    // Map: the limit is at least 2.
    v.MinProfilesForArea = 2;
    v.SpinMap(-1);
    EXPECT_EQ(v.MinProfilesForArea, 2);
    // No fixed profile length: 65535.
    v.stationsPerProfile = 0;
    v.MinStationsForProfile = 2;
    v.SpinSection(+1);
    EXPECT_EQ(v.MinStationsForProfile, 65535);
    v.PixelRefinement = 1;
    v.SpinPixelRefinement(+1);
    EXPECT_EQ(v.PixelRefinement, 10);
    v.SpinPixelRefinement(-1);
    EXPECT_EQ(v.PixelRefinement, 1);
    v.MeasurementsToShow = 9999;
    v.SpinPointsToShow(-1);
    EXPECT_EQ(v.MeasurementsToShow, 0);
    v.SpinPointsToShow(+1);
    EXPECT_EQ(v.MeasurementsToShow, 9999);

    // Enabling follows the check boxes.
    EXPECT_FALSE(v.Enabled(view_control::kFilterProfileCurve));
    v.ShowProfileCurves = 1;
    EXPECT_TRUE(v.Enabled(view_control::kFilterProfileCurve));
    EXPECT_FALSE(v.Enabled(view_control::kTimerDelay));
}

TEST(ViewSettingsLogic, RefusedManualRangeKeepsTheChart)
{
    TempDir dir;
    FakeSettingsStore store;
    FakePrompt prompt;
    Configuration c(store, dir.File("OrvCalibration.ini"), prompt);
    ASSERT_TRUE(c.AreaChart.SetRange(-3.0f, 7.0f));
    ViewSettingsLogic v;
    v.LoadFromConfiguration(c);
    EXPECT_FLOAT_EQ(v.AreaMinimum, -3.0f);
    for (const auto& [lo, hi] : {std::pair{"5", "5"}, std::pair{"6", "5"}}) {
        auto t = v.FieldTexts();
        t.areaMinimum = lo;
        t.areaMaximum = hi;
        ASSERT_FALSE(v.ReadControls(t));
        v.StoreToConfiguration(c);
        v.LoadFromConfiguration(c);
        EXPECT_FLOAT_EQ(v.AreaMinimum, -3.0f);
        EXPECT_FLOAT_EQ(v.AreaMaximum, 7.0f);
    }
    auto t = v.FieldTexts();
    t.profileMinimum = "1";
    t.profileMaximum = "2";
    ASSERT_FALSE(v.ReadControls(t));
    v.StoreToConfiguration(c);
    EXPECT_FLOAT_EQ(c.ProfileChart.Minimum(), 1.0f);
    EXPECT_FLOAT_EQ(c.ProfileChart.Maximum(), 2.0f);
}

TEST(ColourMenuLogic, HitTestAndCommands)
{
    const StripRect rect{5, 30, 152, 10};
    EXPECT_EQ(StripCellWidth(rect, 15), 10);
    EXPECT_EQ(StripCellWidth(rect, 2), 16);
    EXPECT_EQ(StripCellWidth(rect, 100), 4);
    EXPECT_FALSE(StripStopAt(rect, 0, 20));
    EXPECT_EQ(StripStopAt(rect, 15, 4), 0);     // left of the first cell
    EXPECT_EQ(StripStopAt(rect, 15, 156), 14);  // right of the last
    EXPECT_EQ(StripStopAt(rect, 15, 26), 2);

    ColourChart chart;
    chart.LoadPreset(ColourPreset::Rgb);
    ColourMenuLogic menu;
    EXPECT_EQ(menu.CustomColours()[0], 0xFFFFFFu);
    EXPECT_EQ(menu.CustomColours()[15], 0x0F0F0Fu);
    EXPECT_EQ(menu.CustomColours()[14], 0x1F1F1Fu);

    Colour offered = 0;
    std::optional<Colour> answer = 0x123456u;
    const ColourMenuLogic::Chooser choose = [&](Colour initial, std::array<Colour, 16>&) {
        offered = initial;
        return answer;
    };

    // Change past the last cell edits the last stop; the old colour goes to the ring.
    menu.Tap(1052, 500);
    EXPECT_TRUE(menu.Command(colour_command::kChange, chart, rect, choose));
    EXPECT_EQ(offered, 0xFF0000u);
    EXPECT_EQ(chart.Colours()[14], 0x123456u);
    EXPECT_EQ(menu.CustomColours()[0], 0xFF0000u);
    EXPECT_EQ(menu.TappedStrip(), 0);

    // A cancelled chooser changes nothing.
    answer = std::nullopt;
    menu.Tap(1052, 5);
    EXPECT_FALSE(menu.Command(colour_command::kAppend, chart, rect, choose));
    EXPECT_EQ(offered, 0x0000FFu);
    EXPECT_EQ(chart.Count(), 15);

    // Delete the first stop; the ring advances.
    menu.Tap(1052, 5);
    EXPECT_TRUE(menu.Command(colour_command::kDelete, chart, rect, choose));
    EXPECT_EQ(chart.Count(), 14);
    EXPECT_EQ(menu.CustomColours()[1], 0x0000FFu);

    EXPECT_TRUE(menu.Command(colour_command::kRes2dinv, chart, rect, choose));
    EXPECT_EQ(chart.Colours()[0], 0x800000u);
    // The perceptual presets; the range stays as it was.
    const struct
    {
        int command;
        ColourPreset preset;
    } presets[] = {{colour_command::kViridis, ColourPreset::Viridis},
                   {colour_command::kCividis, ColourPreset::Cividis},
                   {colour_command::kCoolWarm, ColourPreset::CoolWarm}};
    for (const auto& p : presets) {
        EXPECT_TRUE(menu.Command(p.command, chart, rect, choose));
        EXPECT_TRUE(chart.HoldsPreset(p.preset)) << p.command;
        EXPECT_EQ(chart.Minimum(), -10.0f);
    }

    // An empty chart: Change and Delete do nothing, Append offers white.
    ColourChart empty;
    answer = 0x000080u;
    EXPECT_FALSE(menu.Command(colour_command::kChange, empty, rect, choose));
    EXPECT_FALSE(menu.Command(colour_command::kDelete, empty, rect, choose));
    EXPECT_TRUE(menu.Command(colour_command::kAppend, empty, rect, choose));
    EXPECT_EQ(offered, 0xFFFFFFu);
    EXPECT_EQ(empty.Count(), 1);
}

}  // namespace
}  // namespace orv
