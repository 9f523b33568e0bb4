#pragma once
// A page of the session whose controls are not built in this version: it shows its title and
// a note, and keeps the page's part in the sheet (its place in the page sets, "Next >>" of the
// settings pages, the full-screen layout of the Main pages).

#include "ui/CPropertyPageBase.h"

class QLabel;

namespace orv {

class CPlaceholderPage : public CPropertyPageBase
{
    Q_OBJECT

public:
    // With `withNext` the page has the "Next >>" button of the settings pages, which selects
    // the next page (9027).
    CPlaceholderPage(PageId id, SheetLink& sheet, Configuration& config, Prompt& prompt,
                     bool withNext, QWidget* parent = nullptr);
};

}  // namespace orv
