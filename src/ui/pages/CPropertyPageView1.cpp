#include "ui/pages/CPropertyPageView1.h"

#include "config/Configuration.h"
#include "graphics/CurveDrawing.h"
#include "graphics/Drawing.h"
#include "graphics/MapDrawing.h"
#include "graphics/ProgressOverview.h"
#include "graphics/SectionDrawing.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "survey/GridSurvey.h"

#include <QLineEdit>

namespace orv {

using main_page::kKeyDown;
using main_page::kKeyLeft;
using main_page::kKeyRight;
using main_page::kKeyUp;

CPropertyPageView1::CPropertyPageView1(SheetLink& sheet, Configuration& config, Prompt& prompt,
                                       InstrumentDevice& device, QWidget* parent)
    : CMainPage(PageId::MainGrid, sheet, config, prompt, device, parent)
{
    BuildControls();
}

CPropertyPageView1::~CPropertyPageView1() = default;

GridSurvey* CPropertyPageView1::Grid() const
{
    // The sheet gives this page the grid survey of the work types Map, Profile and Line only.
    return static_cast<GridSurvey*>(CurrentSurvey());
}

void CPropertyPageView1::AddPositionFields(QGridLayout*)
{
    m_profileEdit =
        AddField(1042, QString::fromUtf8(ResourceString(string_id::kProfileLabel)), 1, true);
    m_stationEdit =
        AddField(1047, QString::fromUtf8(ResourceString(string_id::kStationLabel)), 2, true);
}

void CPropertyPageView1::SurveyChanged()
{
    CMainPage::SurveyChanged();
    if (GridSurvey* grid = Grid()) {
        // The overview box shows the progress of the walk (the survey's Paint).
        grid->SetPainter([](const Survey& survey, PlotCanvas& canvas, const PaintArea& area) {
            const auto& g = static_cast<const GridSurvey&>(survey);
            return DrawProgressOverview(
                canvas, g.Config(), g.Data(),
                FrameRect{area.left, area.top, area.left + area.width, area.top + area.height});
        });
    }
}

void CPropertyPageView1::CopyPositionFromSurvey()
{
    m_profile = Grid()->CurrentProfile();
    m_station = Grid()->CurrentStation();
}

void CPropertyPageView1::KeepPreviousPosition()
{
    m_previousProfile = m_profile;
    m_previousStation = m_station;
}

void CPropertyPageView1::LoadFromConfiguration()
{
    const Configuration& c = Config();
    m_frequencyNumber = main_page::FirstActiveFrequency(c.AreaFrequency, c.UsedFrequencies);
}

void CPropertyPageView1::StoreToConfiguration() { Config().AreaFrequency = m_frequencyNumber; }

void CPropertyPageView1::FieldsToControls()
{
    m_profileEdit->setText(QString::number(m_profile));
    m_stationEdit->setText(QString::number(m_station));
    m_frequencyEdit->setText(QString::number(m_frequencyNumber));
}

bool CPropertyPageView1::ControlsToFields()
{
    return ReadField(m_frequencyEdit, 1, 14, m_frequencyNumber);
}

void CPropertyPageView1::StepFrequency(int delta)
{
    // A number typed into "Freq.:" is the starting point.
    ControlsToFields();
    CMainPage::StepFrequency(delta);
}

void CPropertyPageView1::Navigate(uint32_t key, bool)
{
    GridSurvey* grid = Grid();
    switch (key) {
        case kKeyLeft:
            grid->PreviousStation();
            break;
        case kKeyRight:
            grid->NextStation();
            break;
        case kKeyUp:
            grid->NextProfile();
            break;
        case kKeyDown:
            grid->PreviousProfile();
            break;
        default:
            return;
    }
    CopyPositionFromSurvey();
}

std::string CPropertyPageView1::Recompute()
{
    PlotCanvas& canvas = MutableCanvas();
    const GridSurveyData survey = Grid()->Data();
    const DrawContext context{canvas, Text(), Config(), PagePrompt(), Metrics()};
    const GraphicTarget target{m_previousProfile, m_previousStation, m_frequencyNumber - 1};
    Selection().AdjustGrid(target.profile, target.station, m_frequencyNumber);
    return ChooseGraphic(Selection(), context, SurveyView{&survey, nullptr}, target,
                         FrameRect{0, 0, canvas.Width(), canvas.Height()})
        .status;
}

void CPropertyPageView1::DrawOverview(PlotCanvas& canvas, int width, int height)
{
    Grid()->PaintToCanvas(&canvas, PaintArea{0, 0, width, height});
}

}  // namespace orv
