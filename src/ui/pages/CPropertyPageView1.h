#pragma once
// "Main" (dialog 138) of the grid surveys (Map, Profile and Line): Start by button and keys, the
// timed series, navigation with the arrow keys and the UP/DOWN/LEFT/RIGHT/OK buttons, frequency
// stepping over the active frequencies, the battery texts, and the graphic of the measured
// stations (map, section, profile curve or sounding curve, chosen by GraphicSelection) with the
// progress overview beside Start. The decisions live in MainPageLogic.h.

#include "graphics/PlotCanvas.h"
#include "ui/pages/CMainPagePlaceholder.h"
#include "ui/pages/MainPageLogic.h"

#include <QBasicTimer>

#include <memory>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace orv {

class GridSurvey;
class PowerStatus;
class TextPainter;

class CPropertyPageView1 final : public CMainPagePlaceholder
{
    Q_OBJECT

public:
    CPropertyPageView1(SheetLink& sheet, Prompt& prompt, QWidget* parent = nullptr);
    ~CPropertyPageView1() override;

    // The handheld's battery (the program's one; a desktop without battery shows nothing) and
    // the painter of the graphics' labels. Both borrowed; without them there is no battery text
    // and labels are drawn with a plain QPainter.
    void SetPowerStatus(PowerStatus* power) { m_power = power; }

    bool OnSetActive() override;
    bool OnKillActive() override;
    void LoadFromConfiguration() override;
    void StoreToConfiguration() override;
    void RefreshControls() override;
    void OnTapAndHold(int x, int y) override;

    // The operations behind the buttons and keys (tests call them as the operator would).
    void Start();
    void StepFrequency(int delta);
    int FrequencyNumber() const { return m_frequencyNumber; }
    bool TimerRunning() const { return m_timerRunning; }
    bool RepaintPending() const { return m_repaintPending; }
    std::string StatusText() const;
    int ShownGraphic() const { return m_selection.Shown(); }
    const PlotCanvas& Canvas() const { return m_canvas; }
    // Paints now what a repaint would (offscreen tests and screenshots).
    void PaintNow();
    // The graphic's area, where the canvas is shown.
    QWidget* GraphicArea() const { return m_graphic; }
    void PaintGraphic(QWidget* target);
    void PaintOverview(QWidget* target);
    void ShowReadout(QWidget* from, QPoint at);

protected:
    void OnHandheldKey(uint32_t code, bool repeat) override;
    void FieldsToControls() override;
    bool ControlsToFields() override;
    void timerEvent(QTimerEvent* event) override;

private:
    GridSurvey* Grid() const;
    bool MeasureOnce();
    void AfterMeasurement(bool fromTimer);
    void FailMeasurement();
    bool StartSeries();
    void StopSeries();
    void TimerStep();
    void Navigate(uint32_t key);
    void RequestRedraw(bool recompute, bool redrawGraphics);
    void NeedsRepaint();
    void Recompute();
    void BeepTwice();

    PowerStatus* m_power = nullptr;
    std::unique_ptr<TextPainter> m_text;
    PlotCanvas m_canvas;
    PlotCanvas m_overviewCanvas;
    GraphicSelection m_selection;
    int m_frequencyNumber = 1;
    int m_profile = 0;
    int m_station = 0;
    int m_previousProfile = 0;
    int m_previousStation = 0;
    bool m_timerRunning = false;
    int m_timerDelayInUse = 0;
    int m_timerMeasurements = 0;
    bool m_pageActive = false;
    bool m_repaintPending = false;
    bool m_recompute = false;
    bool m_redrawGraphics = false;
    bool m_measuring = false;
    int m_handheldBatteryPercent = -1;
    std::string m_status = "Ready";
    QBasicTimer m_seriesTimer;   // timer 1
    QBasicTimer m_batteryTimer;  // timer 101

    QLabel* m_statusLabel = nullptr;
    QLabel* m_instrumentBattery = nullptr;
    QLabel* m_handheldBattery = nullptr;
    QWidget* m_graphic = nullptr;
    QWidget* m_overview = nullptr;
    QPushButton* m_start = nullptr;
    QLineEdit* m_profileEdit = nullptr;
    QLineEdit* m_stationEdit = nullptr;
    QLineEdit* m_frequencyEdit = nullptr;
    QLabel* m_readout = nullptr;
};

}  // namespace orv
