#pragma once
// "GPS" (dialog 154): the GPS status. Placeholder until its controls are built.

#include "ui/pages/CPlaceholderPage.h"

namespace orv {

class CPropertyPageGPSView final : public CPlaceholderPage
{
public:
    CPropertyPageGPSView(SheetLink& sheet, Prompt& prompt, QWidget* parent = nullptr)
        : CPlaceholderPage(PageId::Gps, sheet, prompt, false, parent)
    {}
};

}  // namespace orv
