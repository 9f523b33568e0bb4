#pragma once
// What the two Main pages share: the status text above the graphic, the instrument's and the
// handheld's battery texts, the graphic area painted from the page's PlotCanvas, the overview
// box right of Start, Start with its timed series (timer 1) and the battery timer (timer 101),
// the frequency field with its spin, the UP/DOWN/LEFT/RIGHT/OK buttons, the tap read-out and
// the View menu. The grid page (CPropertyPageView1) and the track page (CPropertyPageView2)
// add their position fields, navigation, graphics and overview.
//
// Start, the timed series and Cancel are the MeasurementCycle (session/), which this page drives
// and shows: the exchange with the instrument runs on a worker thread (CExchangeWorker, the
// cycle's runner) so the window keeps repainting while the page waits for a reply. While an
// exchange runs the operator's input goes only to Cancel.

#include "graphics/PlotCanvas.h"
#include "session/MeasurementCycle.h"
#include "ui/pages/CMainPagePlaceholder.h"
#include "ui/pages/MainPageLogic.h"

#include <QBasicTimer>

#include <functional>
#include <memory>
#include <string>

class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orv {

class CExchangeWorker;
class GpsMatcher;
class InstrumentDevice;
class MessagePoster;
class PowerStatus;
class TextPainter;

class CMainPage : public CMainPagePlaceholder, protected MeasurementView
{
    Q_OBJECT

public:
    ~CMainPage() override;

    // The handheld's battery, borrowed; without it (or on a machine without battery) the
    // battery text stays empty.
    void SetPowerStatus(PowerStatus* power) { m_power = power; }

    bool OnSetActive() override;
    bool OnKillActive() override;
    void RefreshControls() override;
    // The View menu (157) at the point; its commands through OnViewCommand.
    void OnTapAndHold(int x, int y) override;
    // Grid (32809), Scale marks (32808), Fit to screen (32805), Show GPS track (32810).
    void OnViewCommand(int command);
    void EndExchange() override;

    // The operations behind the buttons and keys (tests call them as the operator would).
    void Start();
    // Cancel: the exchange under way ends as a failed measurement.
    void CancelExchange();
    virtual void StepFrequency(int delta);
    int FrequencyNumber() const { return m_frequencyNumber; }
    bool TimerRunning() const { return m_cycle->TimerRunning(); }
    // An exchange with the instrument is under way (Start disabled, wait cursor, Cancel shown).
    bool ExchangeRunning() const { return m_cycle->OperatorExchangeRunning(); }
    // The instrument link as the cycle last saw it.
    const InstrumentLinkStatus& LinkStatus() const { return m_cycle->Link(); }
    // Stations still waiting for their position.
    size_t PendingPositions() const { return m_cycle->PendingPositions(); }
    // Stations left without a position (a GPS track's); 0 on a grid.
    virtual size_t UnpositionedStations() const { return 0; }
    bool RepaintPending() const { return m_repaintPending; }
    std::string StatusText() const { return m_status; }
    int ShownGraphic() const { return m_selection.Shown(); }
    const PlotCanvas& Canvas() const { return m_canvas; }
    // Paints now what a repaint would (offscreen tests and screenshots).
    void PaintNow();
    QWidget* GraphicArea() const { return m_graphic; }
    void PaintGraphic(QWidget* target);
    void PaintOverview(QWidget* target);
    // The tap read-out: the value under the point of the graphic area.
    void ShowReadout(QWidget* from, QPoint at);
    // The tap on the battery text: "Battery charge remaining: %d%%".
    void ShowBatteryPopup(QPoint globalAt);
    // The text of the pop-up last shown (empty before the first).
    QString PopupText() const;

protected:
    CMainPage(PageId id, SheetLink& sheet, Configuration& config, Prompt& prompt,
              InstrumentDevice& device, QWidget* parent);

    // Builds the controls; the subclass adds its position fields to `fields` (rows from 1;
    // the frequency field follows them) through AddField.
    void BuildControls();
    QLineEdit* AddField(int id, const QString& label, int row, bool readOnly);
    // Reads an integer edit in minimum..maximum into `value`; on failure the range message is
    // shown and the edit keeps the focus.
    bool ReadField(QLineEdit* edit, unsigned minimum, unsigned maximum, int& value);
    // An up/down spin ("up" −1, "down" +1, repeating while held) named control<id>.
    QWidget* AddSpin(int id, std::function<void(int)> step);
    virtual void AddPositionFields(QGridLayout* fields) = 0;

    // The position: copy of the survey's; the previous one; whether they differ.
    virtual void CopyPositionFromSurvey() = 0;
    virtual void KeepPreviousPosition() = 0;
    // Chooses and draws the graphic into the canvas; returns the status text.
    virtual std::string Recompute() = 0;
    virtual void DrawOverview(PlotCanvas& canvas, int width, int height) = 0;
    // Paint step 5 of the track page: whether the track goes over the graphic, and drawing it
    // on a copy of the canvas (the canvas and its value layer stay as drawn).
    virtual bool WantsOverlay() const { return false; }
    virtual void DrawOverlay(PlotCanvas& copy) { (void)copy; }
    // Milliseconds since the end of the last paint of the graphic; large before the first.
    int64_t SinceLastPaintMs() const;
    // Arrow keys; `repeat` is the key's auto-repeat flag.
    virtual void Navigate(uint32_t key, bool repeat) = 0;
    // Whether the View menu has "Show GPS track".
    virtual bool TrackMenu() const { return false; }
    // The objects a measurement needs for its positions (the track page); null for none.
    virtual GpsMatcher* Matcher() const { return nullptr; }
    virtual MessagePoster* PositionPoster() { return nullptr; }
    MeasurementCycle& Cycle() { return *m_cycle; }
    const MeasurementCycle& Cycle() const { return *m_cycle; }

    void OnHandheldKey(uint32_t code, bool repeat) override;
    void timerEvent(QTimerEvent* event) override;
    void SurveyChanged() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    void RequestRedraw(bool recompute, bool redrawGraphics);
    TextPainter& Text() { return *m_text; }
    PlotCanvas& MutableCanvas() { return m_canvas; }
    GraphicSelection& Selection() { return m_selection; }

    int m_frequencyNumber = 1;
    QLineEdit* m_frequencyEdit = nullptr;
    QWidget* m_overview = nullptr;
    QWidget* m_graphic = nullptr;
    QLabel* m_handheldBattery = nullptr;

    // MeasurementView: what the measurement cycle shows.
    bool RedrawPending() const override;
    void NeedsRepaint() override;
    void ShowInstrumentBattery(bool read, unsigned centivolts) override;
    void EnterBusy() override;
    void LeaveBusy() override;
    void CancelPending() override;
    void ReportMeasurementFailure() override;
    void MeasurementStored(bool redraw) override;
    void SeriesChanged() override;
    bool PageActive() const override { return m_pageActive; }
    void Beep() override;
    void BeepTwice() override;

private:
    void ShowPopup(const QString& text, QPoint globalAt);

    PowerStatus* m_power = nullptr;
    std::unique_ptr<TextPainter> m_text;
    PlotCanvas m_canvas;
    PlotCanvas m_overviewCanvas;
    PlotCanvas m_scratch;
    int64_t m_lastPaintMs = -1;
    GraphicSelection m_selection;
    CExchangeWorker* m_worker = nullptr;
    std::unique_ptr<MeasurementCycle> m_cycle;
    bool m_pageActive = false;
    bool m_repaintPending = false;
    bool m_recompute = false;
    int m_handheldBatteryPercent = -1;
    std::string m_status = "Ready";
    QBasicTimer m_batteryTimer;  // timer 101; timer 1 is the cycle's

    QGridLayout* m_fields = nullptr;
    QLabel* m_statusLabel = nullptr;
    QLabel* m_instrumentBattery = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_cancel = nullptr;
    QLabel* m_popup = nullptr;
};

}  // namespace orv
