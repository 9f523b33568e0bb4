#pragma once
// "Main" (dialog 153) of the GPS-track survey. Placeholder until the measurement cycle is built.

#include "ui/pages/CMainPagePlaceholder.h"

namespace orv {

class CPropertyPageView2 final : public CMainPagePlaceholder
{
public:
    CPropertyPageView2(SheetLink& sheet, Prompt& prompt, QWidget* parent = nullptr)
        : CMainPagePlaceholder(PageId::MainTrack, sheet, prompt, parent)
    {}
};

}  // namespace orv
