#include "ui/pages/CMainPagePlaceholder.h"

#include "base/MessagePoster.h"

namespace orv {

CMainPagePlaceholder::CMainPagePlaceholder(PageId id, SheetLink& sheet, Configuration& config,
                                           Prompt& prompt, QWidget* parent)
    : CPlaceholderPage(id, sheet, config, prompt, false, parent)
{}

bool CMainPagePlaceholder::OnSetActive()
{
    CPlaceholderPage::OnSetActive();
    Sheet().SendToSheet(message::kScreenLayout, 1, 0);
    return true;
}

bool CMainPagePlaceholder::OnKillActive()
{
    if (!CPlaceholderPage::OnKillActive()) {
        return false;
    }
    Sheet().SendToSheet(message::kScreenLayout, 0, 0);
    return true;
}

}  // namespace orv
