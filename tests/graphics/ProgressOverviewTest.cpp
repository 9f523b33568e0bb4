#include "graphics/ProgressOverview.h"

#include "DrawingFixture.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace orv {
namespace {

// The expected pictures are written one character per pixel: 'g' a station not measured, 'r' a
// measured one, 'b' the cursor, '.' untouched (white).
class Overview : public DrawingTest
{
protected:
    // A survey of `stations` x `profiles` (stations 0: a Line of `slots` slots) in which the
    // listed slot indices are measured.
    void Survey(int stations, int profiles, int slots, std::initializer_list<int> measured)
    {
        m_slots.assign(size_t(slots), MeasurementSlot{});
        for (const int index : measured) {
            m_slots[size_t(index)].bytes[kMaskOffset] = 1;
        }
        m_survey.slots = m_slots;
        m_survey.stations = stations;
        m_survey.profiles = profiles;
    }
    void Cursor(int profile, int station)
    {
        m_survey.cursorProfile = profile;
        m_survey.cursorStation = station;
    }
    bool Draw(const FrameRect& box)
    {
        return DrawProgressOverview(m_canvas, *m_config, m_survey, box);
    }

    [[nodiscard]] char At(int x, int y)
    {
        const Colour c = m_canvas.GetPixel(x, y);
        return c == m_config->EmptyStationColour      ? 'g'
               : c == m_config->MeasuredStationColour ? 'r'
               : c == m_config->CursorColour          ? 'b'
               : c == kWhite                          ? '.'
                                                      : '?';
    }
    [[nodiscard]] std::string Row(int y, int left, int right)
    {
        std::string out;
        for (int x = left; x < right; ++x) {
            out += At(x, y);
        }
        return out;
    }
    [[nodiscard]] std::string Column(int x, int top, int bottom)
    {
        std::string out;
        for (int y = top; y < bottom; ++y) {
            out += At(x, y);
        }
        return out;
    }

    std::vector<MeasurementSlot> m_slots;
    GridSurveyData m_survey;
};

TEST_F(Overview, MapRowsHaveBlankLinesAndColumnsBetweenCells)
{
    // 4 stations x 2 profiles in a box 40 x 26 at (5, 2): rows of 4 pixels, 2 spare ones at
    // the top, so profile 0's cells are rows 25..26 and profile 1's rows 21..22. Each station
    // gets 10 columns, 9 filled and one blank. Measured: (0,1) slot 1 and (1,0), which the snake
    // puts in slot 4 + 3 = 7; the cursor at (1,2).
    Survey(4, 2, 8, {1, 7});
    Cursor(1, 2);
    ASSERT_TRUE(Draw({5, 2, 45, 28}));
    const std::string profile0 = "ggggggggg.rrrrrrrrr.ggggggggg.ggggggggg.";
    const std::string profile1 = "rrrrrrrrr.ggggggggg.bbbbbbbbb.ggggggggg.";
    const std::string blank(40, '.');
    EXPECT_EQ(Row(25, 5, 45), profile0);
    EXPECT_EQ(Row(26, 5, 45), profile0);
    EXPECT_EQ(Row(21, 5, 45), profile1);
    EXPECT_EQ(Row(22, 5, 45), profile1);
    for (const int y : {2, 3, 4, 10, 20, 23, 24, 27}) {
        SCOPED_TRACE(y);
        EXPECT_EQ(Row(y, 5, 45), blank);
    }
    // Nothing outside the box.
    EXPECT_EQ(Column(4, 0, 40), std::string(40, '.'));
    EXPECT_EQ(Row(25, 45, 60), std::string(15, '.'));
}

TEST_F(Overview, StationsShareTheRowByTheBoxWidth)
{
    struct Case
    {
        const char* legend;
        int stations;
        int width;
        std::initializer_list<int> measured;
        int cursor;
        const char* expected;
    };
    const Case cases[] = {
        // Edges i * 8 / 4 = 0, 2, 4, 6, 8: one pixel each and one blank.
        {"twice as wide as the stations", 4, 8, {1}, 3, "g.r.g.b."},
        // Edges i * 7 / 5 = 0, 1, 2, 4, 5, 7: no gaps.
        {"between once and twice as wide", 5, 7, {2}, 4, "ggrrgbb"},
        {"as wide as the stations", 6, 6, {0}, 5, "rggggb"},
        // Columns show stations x * 10 / 4 = 0, 2, 5, 7.
        {"narrower, the cursor on a shown station", 10, 4, {5}, 7, "ggrb"},
        // Stations 8 and 9 have no column of their own: the last one (7..9) shows the cursor.
        {"narrower, the cursor between shown stations", 10, 4, {5}, 9, "ggrb"},
        {"narrower, a measured station without a column", 10, 4, {1, 6}, 3, "gbgg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        m_canvas.Clear();
        // A Profile: one profile; box height 18 gives rows of 3, the cells in row 16.
        Survey(c.stations, 1, c.stations, c.measured);
        Cursor(0, c.cursor);
        ASSERT_TRUE(Draw({0, 0, c.width, 18}));
        EXPECT_EQ(Row(16, 0, c.width + 2), std::string(c.expected) + "..");
        EXPECT_EQ(Row(15, 0, c.width), std::string(size_t(c.width), '.'));
        EXPECT_EQ(Row(17, 0, c.width), std::string(size_t(c.width), '.'));
    }
}

TEST_F(Overview, RowsStackFromTheBottomWithTheRemainderOnTop)
{
    // Height 20: rows of 3, 2 spare pixels above; the cells of the row k from the top are in
    // line 2 + 3k + 1. Profile 5 is at the top, profile 0 (with the cursor) at the bottom.
    Survey(1, 6, 6, {5});
    Cursor(0, 0);
    ASSERT_TRUE(Draw({0, 0, 2, 20}));
    EXPECT_EQ(Column(0, 0, 20), "...r..g..g..g..g..b.");
    EXPECT_EQ(Column(1, 0, 20), std::string(20, '.'));
}

TEST_F(Overview, ShowsTheGroupOfSixThatHoldsTheCursor)
{
    // 2 stations x 8 profiles, the cursor at (7,1): the second group, profiles 6 and 7, in the
    // two bottom rows (cells in lines 16 and 13 of a box 18 high); rows for profiles 8..11 stay
    // empty. Measured: (0,0) slot 0, not shown, and (6,1) slot 13.
    Survey(2, 8, 16, {0, 13});
    Cursor(7, 1);
    ASSERT_TRUE(Draw({0, 0, 4, 18}));
    EXPECT_EQ(Row(16, 0, 4), "g.r.");
    EXPECT_EQ(Row(13, 0, 4), "g.b.");
    for (const int y : {1, 4, 7, 10}) {
        SCOPED_TRACE(y);
        EXPECT_EQ(Row(y, 0, 4), "....");
    }
}

TEST_F(Overview, LineHasRoomForTheNextStation)
{
    // A new Line holds 20 slots; with the cursor after the last one there are
    // max(20, 20 + 1) = 21 stations, two pixels each in a box 42 wide.
    Survey(0, 1, 20, {3});
    Cursor(0, 20);
    ASSERT_TRUE(Draw({0, 0, 42, 18}));
    EXPECT_EQ(Row(16, 0, 42), "g.g.g.r.g.g.g.g.g.g.g.g.g.g.g.g.g.g.g.g.b.");
    EXPECT_EQ(Row(13, 0, 42), std::string(42, '.'));

    // Grown to 25 slots: 26 stations, one pixel each in a box 26 wide.
    m_canvas.Clear();
    Survey(0, 1, 25, {0, 24});
    Cursor(0, 25);
    ASSERT_TRUE(Draw({0, 0, 26, 18}));
    EXPECT_EQ(Row(16, 0, 26), "rgggggggggggggggggggggggrb");
}

TEST_F(Overview, DrawsNothingIntoAnEmptyBoxOrForACursorOutsideTheSurvey)
{
    Survey(4, 2, 8, {});
    const uint32_t changes = m_canvas.ChangeCount();
    EXPECT_FALSE(Draw({10, 10, 10, 40}));
    EXPECT_FALSE(Draw({10, 10, 40, 10}));
    EXPECT_EQ(m_canvas.ChangeCount(), changes);

    // A cursor left beyond the stations (a damaged file): the stations are drawn, no cursor.
    Cursor(1, 9);
    ASSERT_TRUE(Draw({0, 0, 8, 18}));
    EXPECT_EQ(Row(13, 0, 8), "g.g.g.g.");
}

}  // namespace
}  // namespace orv
