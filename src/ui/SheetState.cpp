#include "ui/SheetState.h"

#include "resources/ResourceIds.h"
#include "survey/Survey.h"

namespace orv {

PageSet SetupPageSet() { return {{PageId::StaticSettings, PageId::OtherSettings}, 0}; }

PageSet SessionPageSet(int workType)
{
    switch (SurveyKindFor(workType)) {
        case SurveyKind::Grid:
            return {{PageId::Settings, PageId::ViewSettings, PageId::MainGrid}, 2};
        case SurveyKind::Track:
            return {{PageId::Settings, PageId::ViewSettings, PageId::MainTrack, PageId::Gps}, 2};
        case SurveyKind::None:
            break;
    }
    return {{PageId::Settings}, 0};
}

bool IsMainPage(PageId page) { return page == PageId::MainGrid || page == PageId::MainTrack; }

int NextPageIndex(int active, int count)
{
    if (count <= 0) {
        return -1;
    }
    if (active < 0 || active >= count) {
        active = 0;
    }
    return (active + 1) % count;
}

int PreviousPageIndex(int active, int count)
{
    if (count <= 0) {
        return -1;
    }
    if (active < 0 || active >= count) {
        active = 0;
    }
    return (active + count - 1) % count;
}

int PageTitleId(PageId page)
{
    switch (page) {
        case PageId::StaticSettings:
            return string_id::kStaticSettingsTitle;
        case PageId::OtherSettings:
            return string_id::kOtherSettingsTitle;
        case PageId::Settings:
            return string_id::kSettingsTitle;
        case PageId::ViewSettings:
            return string_id::kViewSettingsTitle;
        case PageId::MainGrid:
        case PageId::MainTrack:
            return string_id::kMainTitle;
        case PageId::Gps:
            return string_id::kGpsTitle;
    }
    return 0;
}

int PageDialogId(PageId page)
{
    switch (page) {
        case PageId::StaticSettings:
            return dialog_id::kStaticSettings;
        case PageId::OtherSettings:
            return dialog_id::kOtherSettings;
        case PageId::Settings:
            return dialog_id::kSettings;
        case PageId::ViewSettings:
            return dialog_id::kViewSettings;
        case PageId::MainGrid:
            return dialog_id::kMainGrid;
        case PageId::MainTrack:
            return dialog_id::kMainTrack;
        case PageId::Gps:
            return dialog_id::kGps;
    }
    return 0;
}

}  // namespace orv
