#include "ui/SheetState.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace orv {
namespace {

TEST(SheetState, PageSetsFollowTheWorkType)
{
    using P = PageId;
    const struct
    {
        const char* legend;
        int workType;
        std::vector<PageId> pages;
        int active;
    } cases[] = {
        {"Map", 2, {P::Settings, P::ViewSettings, P::MainGrid}, 2},
        {"Profile", 3, {P::Settings, P::ViewSettings, P::MainGrid}, 2},
        {"Line", 4, {P::Settings, P::ViewSettings, P::MainGrid}, 2},
        {"GPS track", 31, {P::Settings, P::ViewSettings, P::MainTrack, P::Gps}, 2},
        {"zero from a damaged registry", 0, {P::Settings}, 0},
        {"the id of 'GPS track' minus one", 30, {P::Settings}, 0},
        {"negative", -2, {P::Settings}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        const PageSet set = SessionPageSet(c.workType);
        EXPECT_EQ(set.pages, c.pages);
        EXPECT_EQ(set.activeIndex, c.active);
    }
    const PageSet setup = SetupPageSet();
    EXPECT_EQ(setup.pages, (std::vector<PageId>{P::StaticSettings, P::OtherSettings}));
    EXPECT_EQ(setup.activeIndex, 0);
}

TEST(SheetState, PageSteppingWrapsAtBothEnds)
{
    // (active, count) -> (next, previous)
    const struct
    {
        const char* legend;
        int active;
        int count;
        int next;
        int previous;
    } cases[] = {
        {"last page goes to the first", 3, 4, 0, 2},
        {"first page goes back to the last", 0, 4, 1, 3},
        {"single page stays", 0, 1, 0, 0},
        {"no pages: nothing", 0, 0, -1, -1},
        {"no page active counts as the first", -1, 3, 1, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(NextPageIndex(c.active, c.count), c.next);
        EXPECT_EQ(PreviousPageIndex(c.active, c.count), c.previous);
    }
}

}  // namespace
}  // namespace orv
