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
    CMainPagePlaceholder(PageId id, SheetLink& sheet, Configuration& config, Prompt& prompt,
                         QWidget* parent = nullptr);

    // The survey of the session, not owned; null outside a session.
    void SetSurvey(Survey* survey)
    {
        if (survey != m_survey) {
            EndExchange();
            m_survey = survey;
            SurveyChanged();
        }
    }
    Survey* CurrentSurvey() const { return m_survey; }
    void ResetCursorState() {}
    // Ends an exchange with the instrument under way, before the survey or the link goes away
    // (shutdown): a reply already complete is still stored, nothing is asked.
    virtual void EndExchange() {}

protected:
    // A new survey (or none) was given.
    virtual void SurveyChanged() {}

public:
    bool OnSetActive() override;
    bool OnKillActive() override;

private:
    Survey* m_survey = nullptr;
};

}  // namespace orv
