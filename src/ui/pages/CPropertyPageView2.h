#pragma once
// "Main" (dialog 153) of the GPS-track survey: the index of the station shown, the "Radius:"
// of the track map's gridding with its spin (2..99, wrapping), arrow keys that step faster the
// longer they are held, the positions of the measurements through the GPS matcher (messages
// 9034 and 9035, posted from the reader thread and handled here), the walked track in the
// overview box and, with "Show GPS track", over the graphic. The shared part of the page is
// CMainPage.

#include "ui/QtMessagePoster.h"
#include "ui/pages/CMainPage.h"

#include <vector>

class QLineEdit;

namespace orv {

class GpsMatcher;
class TrackSurvey;

class CPropertyPageView2 final : public CMainPage
{
    Q_OBJECT

public:
    CPropertyPageView2(SheetLink& sheet, Configuration& config, Prompt& prompt,
                       InstrumentDevice& device, QWidget* parent = nullptr);
    ~CPropertyPageView2() override;

    // The matcher that answers the position requests; borrowed, may be null (the stations then
    // keep the last known position).
    void SetGpsMatcher(GpsMatcher* matcher);

    void LoadFromConfiguration() override;
    void StoreToConfiguration() override;

    // Spin 1049: the radius − delta, wrapping within 2..99.
    void StepRadius(int delta);
    int Radius() const { return m_radius; }
    int Station() const { return m_station; }
    // Stations still waiting for their position from the matcher.
    size_t PendingPositions() const;
    // Stations left without a position, to be measured again (the status strip names them).
    std::vector<int> UnpositionedStations() const override;

protected:
    void AddPositionFields(QGridLayout* fields) override;
    void CopyPositionFromSurvey() override;
    void KeepPreviousPosition() override;
    std::string Recompute() override;
    void DrawOverview(PlotCanvas& canvas, int width, int height) override;
    bool WantsOverlay() const override;
    void DrawOverlay(PlotCanvas& copy) override;
    void Navigate(uint32_t key, bool repeat) override;
    bool TrackMenu() const override { return true; }
    GpsMatcher* Matcher() const override { return m_matcher; }
    MessagePoster* PositionPoster() override { return &m_poster; }
    void SurveyChanged() override;
    void FieldsToControls() override;
    bool ControlsToFields() override;
    void customEvent(QEvent* event) override;
    void StationUnpositioned(int station) override;

private:
    TrackSurvey* Track() const;

    GpsMatcher* m_matcher = nullptr;
    QtMessagePoster m_poster{this};
    main_page::KeyAcceleration m_acceleration;
    int m_station = 0;
    int m_previousStation = 0;
    int m_radius = 50;
    QLineEdit* m_stationEdit = nullptr;
    QLineEdit* m_radiusEdit = nullptr;
};

}  // namespace orv
