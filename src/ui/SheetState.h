#pragma once
// The page sets of the main sheet by state, and page stepping. The sheet keeps seven pages for
// the whole run and shows a set of them that depends on the state of the work:
//
//   Setup (start, after New, after a failed Open)   Static settings, Other settings; first active
//   Session, Map / Profile / Line                   Settings, View settings, Main (grid); Main
//   Session, GPS track                              Settings, View settings, Main (track), GPS;
//                                                   Main active
//   Session, any other work type                    Settings
//
// Plain logic, without Qt: the window applies what these functions answer.

#include <vector>

namespace orv {

// The seven pages in their order of construction (the sheet destroys them in reverse).
enum class PageId : int {
    StaticSettings,  // CPropertyPageS1, dialog 103
    OtherSettings,   // CPropertyPageS2, dialog 137
    Settings,        // CPropertyPageW1, dialog 102
    ViewSettings,    // CPropertyPageW2, dialog 104
    MainGrid,        // CPropertyPageView1, dialog 138
    MainTrack,       // CPropertyPageView2, dialog 153
    Gps,             // CPropertyPageGPSView, dialog 154
};
constexpr int kSheetPageCount = 7;

struct PageSet
{
    std::vector<PageId> pages;  // in tab order
    int activeIndex = 0;
};

PageSet SetupPageSet();
PageSet SessionPageSet(int workType);
// True for the two Main pages, which take the keys and the full-screen layout.
bool IsMainPage(PageId page);

// (active + 1) modulo count, and (active + count - 1) modulo count; -1 when there are no pages.
// An active index outside 0..count-1 (no page active) counts as 0.
int NextPageIndex(int active, int count);
int PreviousPageIndex(int active, int count);

int PageTitleId(PageId page);
int PageDialogId(PageId page);

}  // namespace orv
