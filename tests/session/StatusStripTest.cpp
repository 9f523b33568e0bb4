// What the status strip says for each state of the links and batteries, the window title, and
// the battery warning that sounds once per crossing.

#include "session/StatusStrip.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orv {
namespace {

std::vector<std::string> Texts(const std::vector<StripItem>& items)
{
    std::vector<std::string> texts;
    for (const StripItem& item : items) {
        texts.push_back(item.text);
    }
    return texts;
}

const StripItem* Find(const std::vector<StripItem>& items, const std::string& start)
{
    for (const StripItem& item : items) {
        if (item.text.rfind(start, 0) == 0) {
            return &item;
        }
    }
    return nullptr;
}

TEST(StatusStrip, EveryStateOfTheInstrumentAndTheGpsHasItsWordsAndColour)
{
    StripInput in;
    in.session = true;
    in.instrument.port = "/dev/rfcomm5 (COM5:)";
    const std::pair<InstrumentLink, std::pair<const char*, Severity>> instrument[] = {
        {InstrumentLink::Connected, {"Instrument: connected", Severity::Normal}},
        {InstrumentLink::Connecting, {"Instrument: connecting to /dev/rfcomm5", Severity::Caution}},
        {InstrumentLink::NotAnswering,
         {"Instrument: not answering on /dev/rfcomm5", Severity::Alarm}},
        {InstrumentLink::NoPort, {"Instrument: no port /dev/rfcomm5", Severity::Alarm}},
    };
    for (const auto& [state, expected] : instrument) {
        in.instrument.state = state;
        const auto items = ComposeStrip(in);
        ASSERT_FALSE(items.empty());
        EXPECT_EQ(items[0].text, expected.first);
        EXPECT_EQ(items[0].severity, expected.second);
    }

    // A GPS track: the fix ages from white through amber (over 2 s) to red (over the stale
    // bound); no fix, a lost receiver and no port are red.
    in.instrument.state = InstrumentLink::Connected;
    in.track = true;
    in.staleSeconds = 5;
    in.gps.state = GpsStripInput::State::Open;
    in.gps.port = "/dev/rfcomm8 (COM8:)";
    in.gps.haveFix = true;
    in.gps.quality = 2;
    in.gps.satellites = 9;
    const std::pair<double, Severity> ages[] = {
        {0.4, Severity::Normal}, {2.5, Severity::Caution}, {6.0, Severity::Alarm}};
    for (const auto& [age, severity] : ages) {
        in.gps.fixAgeSeconds = age;
        const auto items = ComposeStrip(in);  // kept: Find points into it
        const StripItem* gps = Find(items, "GPS:");
        ASSERT_NE(gps, nullptr);
        EXPECT_EQ(gps->severity, severity) << age;
    }
    in.gps.fixAgeSeconds = 6.0;
    EXPECT_EQ(Find(ComposeStrip(in), "GPS:")->text, "GPS: DGPS fix, 9 satellites, fix 6 s old");
    in.gps.haveFix = false;
    EXPECT_EQ(Find(ComposeStrip(in), "GPS:")->text, "GPS: no fix");
    in.gps.state = GpsStripInput::State::Lost;
    EXPECT_EQ(Find(ComposeStrip(in), "GPS:")->text, "GPS: lost on /dev/rfcomm8, reconnecting");
    EXPECT_EQ(Find(ComposeStrip(in), "GPS:")->severity, Severity::Alarm);

    // Outside a session only what applies: the handheld's battery and a calibration note.
    StripInput setup;
    setup.handheldPercent = 64;
    EXPECT_EQ(Texts(ComposeStrip(setup)), (std::vector<std::string>{"Handheld battery 64%"}));
}

TEST(StatusStrip, BatteriesCalibrationAndUnpositionedStations)
{
    StripInput in;
    in.session = true;
    in.instrument.state = InstrumentLink::Connected;
    in.instrument.centivolts = 1093;
    in.handheldPercent = 15;
    in.instrumentSerial = 12;
    in.standIn = CalibrationId{9, 2007, 2, 28};
    in.unpositioned = 3;
    const auto items = ComposeStrip(in);
    EXPECT_EQ(
        Texts(items),
        (std::vector<std::string>{
            "Instrument: connected", "Instrument battery 10.9 V", "3 stations without position",
            "Instrument 12: no calibration, using 9 of 28.02.2007", "Handheld battery 15%"}));
    EXPECT_EQ(items[1].severity, Severity::Alarm);  // below 11.0 V
    EXPECT_EQ(items[2].severity, Severity::Caution);
    EXPECT_EQ(items[4].severity, Severity::Alarm);  // below 20 %

    // Known stations are named, the first few of them, for the walk back.
    in.unpositionedStations = {2, 5, 6, 9, 11, 14, 20};
    in.unpositioned = 7;
    EXPECT_EQ(ComposeStrip(in)[2].text, "Measure again, no position: 2, 5, 6, 9, 11 + 2");

    // Measurements that cannot reach the disk come first, in red.
    in.journalProblem = "No space left on device";
    const auto full = ComposeStrip(in);
    EXPECT_EQ(full[0].text, "Not on the disk, save elsewhere: No space left on device");
    EXPECT_EQ(full[0].severity, Severity::Alarm);

    // Each battery warns once when it goes low, again only after it has recovered.
    BatteryAlarm alarm;
    EXPECT_FALSE(alarm.Update(1150, 80, 11.0, 20));
    EXPECT_TRUE(alarm.Update(1095, 80, 11.0, 20));
    EXPECT_FALSE(alarm.Update(1090, 80, 11.0, 20));
    EXPECT_FALSE(alarm.Update(1105, 80, 11.0, 20));  // not recovered by the margin
    EXPECT_TRUE(alarm.InstrumentLow());
    EXPECT_TRUE(alarm.Update(1090, 19, 11.0, 20));  // the handheld too, once
    EXPECT_FALSE(alarm.Update(1090, 18, 11.0, 20));
    EXPECT_FALSE(alarm.Update(1140, 30, 11.0, 20));
    EXPECT_FALSE(alarm.InstrumentLow());
    EXPECT_FALSE(alarm.HandheldLow());
    EXPECT_TRUE(alarm.Update(1095, 30, 11.0, 20));
    // No reading says nothing.
    BatteryAlarm quiet;
    EXPECT_FALSE(quiet.Update(std::nullopt, -1, 11.0, 20));
}

TEST(StatusStrip, TheWindowTitleNamesTheFileAndMarksUnsavedMeasurements)
{
    EXPECT_EQ(WindowTitle(false, "", false), "Orv Control");
    EXPECT_EQ(WindowTitle(true, "", true), "unsaved survey * - Orv Control");
    EXPECT_EQ(WindowTitle(true, "/home/crew/survey/north.orv", false), "north.orv - Orv Control");
    EXPECT_EQ(WindowTitle(true, "/home/crew/survey/north.orv", true), "north.orv * - Orv Control");
}

}  // namespace
}  // namespace orv
