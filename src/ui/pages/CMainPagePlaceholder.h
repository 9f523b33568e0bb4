#pragma once
// What the sheet needs of a Main page ("Main", dialogs 138 and 153) until the measurement pages
// are built: it is given the session's survey, its cursor state is reset when a session begins,
// and it asks for the full-screen layout while it is active (9029 with 1 on activation, 0 when
// it loses activation).

#include "ui/pages/CPlaceholderPage.h"

namespace orv {

class Survey;

class CMainPagePlaceholder : public CPlaceholderPage
{
    Q_OBJECT

public:
    CMainPagePlaceholder(PageId id, SheetLink& sheet, Prompt& prompt, QWidget* parent = nullptr);

    // The survey of the session, not owned; null outside a session.
    void SetSurvey(Survey* survey) { m_survey = survey; }
    Survey* CurrentSurvey() const { return m_survey; }
    void ResetCursorState() {}

    bool OnSetActive() override;
    bool OnKillActive() override;

private:
    Survey* m_survey = nullptr;
};

}  // namespace orv
