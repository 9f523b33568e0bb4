#include "ui/pages/CPropertyPageView2.h"

#include "base/MessagePoster.h"
#include "config/Configuration.h"
#include "gps/GpsMatcher.h"
#include "graphics/CurveDrawing.h"
#include "graphics/Drawing.h"
#include "graphics/MapDrawing.h"
#include "graphics/SectionDrawing.h"
#include "graphics/TrackDrawing.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "survey/TrackSurvey.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orv {

using main_page::kKeyDown;
using main_page::kKeyLeft;
using main_page::kKeyRight;
using main_page::kKeyUp;

namespace {

constexpr int kFixRedrawMs = 1000;

}  // namespace

CPropertyPageView2::CPropertyPageView2(SheetLink& sheet, Configuration& config, Prompt& prompt,
                                       InstrumentDevice& device, QWidget* parent)
    : CMainPage(PageId::MainTrack, sheet, config, prompt, device, parent)
{
    BuildControls();
}

CPropertyPageView2::~CPropertyPageView2()
{
    // The matcher must not post to this page's poster any more.
    EndExchange();
    if (m_matcher != nullptr) {
        m_matcher->Forget(&m_poster);
    }
}

void CPropertyPageView2::SetGpsMatcher(GpsMatcher* matcher)
{
    if (m_matcher != nullptr && matcher != m_matcher) {
        m_matcher->Forget(&m_poster);
    }
    m_matcher = matcher;
    SurveyChanged();
}

TrackSurvey* CPropertyPageView2::Track() const
{
    // The sheet gives this page the track survey of the work type GPS track only.
    return static_cast<TrackSurvey*>(CurrentSurvey());
}

void CPropertyPageView2::AddPositionFields(QGridLayout* fields)
{
    m_stationEdit =
        AddField(1062, QString::fromUtf8(ResourceString(string_id::kStationLabel)), 1, true);
    m_radiusEdit =
        AddField(1044, QString::fromUtf8(ResourceString(string_id::kRadiusLabel)), 2, false);
    QWidget* spin = AddSpin(1049, [this](int delta) { StepRadius(delta); });
    fields->addWidget(spin, 2, 2);
}

void CPropertyPageView2::SurveyChanged()
{
    CMainPage::SurveyChanged();
    if (m_matcher != nullptr) {
        m_matcher->Forget(&m_poster);
    }
    if (TrackSurvey* track = Track()) {
        // The overview box shows the walked track (the survey's Paint).
        track->SetPainter([](const Survey& survey, PlotCanvas& canvas, const PaintArea& area) {
            auto& t = const_cast<TrackSurvey&>(static_cast<const TrackSurvey&>(survey));
            t.UpdateLocalCoordinates();
            DrawTrack(
                canvas, t.Config(), t.Data(),
                FrameRect{area.left, area.top, area.left + area.width, area.top + area.height});
            return true;
        });
    }
}

void CPropertyPageView2::CopyPositionFromSurvey() { m_station = Track()->CurrentIndex(); }

void CPropertyPageView2::KeepPreviousPosition() { m_previousStation = m_station; }

void CPropertyPageView2::LoadFromConfiguration()
{
    const Configuration& c = Config();
    m_frequencyNumber = main_page::FirstActiveFrequency(c.AreaFrequency, c.UsedFrequencies);
    m_radius = c.TrackRadius >= 2 && c.TrackRadius <= 99 ? c.TrackRadius : 50;
}

void CPropertyPageView2::StoreToConfiguration()
{
    Configuration& c = Config();
    c.AreaFrequency = m_frequencyNumber;
    c.TrackRadius = m_radius;
}

void CPropertyPageView2::FieldsToControls()
{
    m_stationEdit->setText(QString::number(m_station));
    m_radiusEdit->setText(QString::number(m_radius));
    m_frequencyEdit->setText(QString::number(m_frequencyNumber));
}

bool CPropertyPageView2::ControlsToFields()
{
    return ReadField(m_frequencyEdit, 1, 14, m_frequencyNumber) &&
           ReadField(m_radiusEdit, 2, 99, m_radius);
}

void CPropertyPageView2::StepRadius(int delta)
{
    m_radius = main_page::StepRadius(m_radius, delta);
    FieldsToControls();
    // The map is gridded with the new radius at once.
    if (delta != 0) {
        RequestRedraw(true, true);
    }
}

size_t CPropertyPageView2::PendingPositions() const { return Cycle().PendingPositions(); }

void CPropertyPageView2::Navigate(uint32_t key, bool repeat)
{
    TrackSurvey* track = Track();
    const int steps = m_acceleration.Steps(repeat);
    for (int i = 0; i < steps; ++i) {
        switch (key) {
            case kKeyLeft:
            case kKeyDown:
                track->StepBack();
                break;
            case kKeyRight:
            case kKeyUp:
                track->Advance();
                break;
            default:
                return;
        }
    }
    CopyPositionFromSurvey();
}

std::string CPropertyPageView2::Recompute()
{
    PlotCanvas& canvas = MutableCanvas();
    TrackSurvey& track = *Track();
    track.UpdateLocalCoordinates();
    const TrackSurveyData survey = track.Data();
    const DrawContext context{canvas, Text(), Config(), PagePrompt()};
    const GraphicTarget target{0, m_previousStation, m_frequencyNumber - 1, m_radius};
    Selection().AdjustTrack(target.station, m_frequencyNumber, m_radius);
    return ChooseGraphic(Selection(), context, SurveyView{nullptr, &survey}, target,
                         FrameRect{0, 0, canvas.Width(), canvas.Height()})
        .status;
}

void CPropertyPageView2::DrawOverview(PlotCanvas& canvas, int width, int height)
{
    Track()->PaintToCanvas(&canvas, PaintArea{0, 0, width, height});
}

bool CPropertyPageView2::WantsOverlay() const { return Config().ShowGpsTrack != 0; }

void CPropertyPageView2::DrawOverlay(PlotCanvas& copy)
{
    TrackSurvey& track = *Track();
    track.UpdateLocalCoordinates();
    DrawTrack(copy, Config(), track.Data(), FrameRect{0, 0, copy.Width(), copy.Height()},
              kOverlayTrackStyle);
}

void CPropertyPageView2::customEvent(QEvent* event)
{
    if (event->type() != ProgramMessageEvent::EventType()) {
        CMainPage::customEvent(event);
        return;
    }
    const ProgramMessage& m = static_cast<const ProgramMessageEvent*>(event)->content;
    if (CurrentSurvey() == nullptr || !Cycle().OnMessage(m)) {
        return;
    }
    if (m.message == message::kMeasurementPosition) {
        // The map and the section were drawn with the last known position of the station;
        // the same graphic is drawn again at the station's own.
        Selection().Again();
        RequestRedraw(true, true);
    } else if (m.message == message::kNewGpsFix) {
        // While fixes stream in the track is redrawn about once a second.
        if (SinceLastPaintMs() > kFixRedrawMs) {
            RequestRedraw(false, true);
        }
    }
}

}  // namespace orv
