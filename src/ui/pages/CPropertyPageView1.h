#pragma once
// "Main" (dialog 138) of the grid surveys (Map, Profile and Line): the profile and station of
// the cursor, one step per arrow key, "Measure completed" when the survey is full, the double
// beep at the start of a profile, and the graphics of the measured stations (map, section,
// profile curve or sounding curve, chosen by GraphicSelection) with the progress overview
// beside Start. The shared part of the page is CMainPage.

#include "ui/pages/CMainPage.h"

class QLineEdit;

namespace orv {

class GridSurvey;

class CPropertyPageView1 final : public CMainPage
{
    Q_OBJECT

public:
    CPropertyPageView1(SheetLink& sheet, Configuration& config, Prompt& prompt,
                       InstrumentDevice& device, QWidget* parent = nullptr);
    ~CPropertyPageView1() override;

    void LoadFromConfiguration() override;
    void StoreToConfiguration() override;
    void StepFrequency(int delta) override;

protected:
    void AddPositionFields(QGridLayout* fields) override;
    void SurveyChanged() override;
    void CopyPositionFromSurvey() override;
    void KeepPreviousPosition() override;
    std::string Recompute() override;
    void DrawOverview(PlotCanvas& canvas, int width, int height) override;
    void Navigate(uint32_t key, bool repeat) override;
    void FieldsToControls() override;
    bool ControlsToFields() override;

private:
    GridSurvey* Grid() const;

    int m_profile = 0;
    int m_station = 0;
    int m_previousProfile = 0;
    int m_previousStation = 0;
    QLineEdit* m_profileEdit = nullptr;
    QLineEdit* m_stationEdit = nullptr;
};

}  // namespace orv
