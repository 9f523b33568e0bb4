#include "ui/pages/CPropertyPageView1.h"

#include "base/MessagePoster.h"
#include "base/NoValue.h"
#include "base/Prompt.h"
#include "config/Configuration.h"
#include "graphics/CurveDrawing.h"
#include "graphics/Drawing.h"
#include "graphics/MapDrawing.h"
#include "graphics/SectionDrawing.h"
#include "graphics/TextPainter.h"
#include "instrument/InstrumentDevice.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "survey/GridSurvey.h"
#include "survey/StationMeasurer.h"
#include "ui/pages/DataExchange.h"
#include "ui/pages/PowerStatus.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QTimerEvent>
#include <QVBoxLayout>

namespace orv {

namespace {

constexpr int kBatteryPeriodMs = 10000;
constexpr uint32_t kKeyEnter = 13;
constexpr uint32_t kKeyLeft = 37;
constexpr uint32_t kKeyUp = 38;
constexpr uint32_t kKeyRight = 39;
constexpr uint32_t kKeyDown = 40;

QString Name(int id) { return QStringLiteral("control%1").arg(id); }
QString Resource(int id) { return QString::fromUtf8(ResourceString(id)); }

// Labels into the canvas with QPainter on the canvas's own pixels (8-point sans, as on the
// handheld).
class CanvasTextPainter final : public TextPainter
{
public:
    CanvasTextPainter() : m_font(QStringLiteral("Liberation Sans")) { m_font.setPointSize(8); }
    TextExtent Measure(std::string_view text) override
    {
        const QFontMetrics metrics(m_font);
        const QString s = QString::fromUtf8(text.data(), static_cast<int>(text.size()));
        return TextExtent{metrics.horizontalAdvance(s), metrics.height()};
    }
    void Draw(PlotCanvas& canvas, int x, int y, std::string_view text, Colour colour) override
    {
        if (!canvas.IsCreated()) {
            return;
        }
        QImage image(reinterpret_cast<uchar*>(canvas.PixelData()), canvas.Width(), canvas.Height(),
                     canvas.BytesPerLine(), QImage::Format_RGB32);
        QPainter painter(&image);
        painter.setFont(m_font);
        painter.setPen(QColor(static_cast<int>(RedOf(colour)), static_cast<int>(GreenOf(colour)),
                              static_cast<int>(BlueOf(colour))));
        const QFontMetrics metrics(m_font);
        painter.drawText(x, y + metrics.ascent(),
                         QString::fromUtf8(text.data(), static_cast<int>(text.size())));
        canvas.NoteChange();
    }

private:
    QFont m_font;
};

// A widget that shows what its page paints.
class PaintedArea final : public QWidget
{
public:
    PaintedArea(QWidget* parent, std::function<void(QWidget*)> paint,
                std::function<void(QWidget*, QPoint)> tap = {})
        : QWidget(parent), m_paint(std::move(paint)), m_tap(std::move(tap))
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override { m_paint(this); }
    void mousePressEvent(QMouseEvent* event) override
    {
        if (m_tap && event->button() == Qt::LeftButton) {
            m_tap(this, event->position().toPoint());
        }
        QWidget::mousePressEvent(event);
    }

private:
    std::function<void(QWidget*)> m_paint;
    std::function<void(QWidget*, QPoint)> m_tap;
};

QImage CanvasImage(const PlotCanvas& canvas)
{
    return QImage(reinterpret_cast<const uchar*>(canvas.PixelData()), canvas.Width(),
                  canvas.Height(), canvas.BytesPerLine(), QImage::Format_RGB32);
}

// The unbroken run of measured stations of profile p that holds s.
int MeasuredRun(const GridSurveyData& data, int p, int s)
{
    if (!data.IsMeasured(p, s)) {
        return 0;
    }
    int first = s;
    while (first > 0 && data.IsMeasured(p, first - 1)) {
        --first;
    }
    int last = s;
    while (last + 1 < data.StationsPerProfile() && data.IsMeasured(p, last + 1)) {
        ++last;
    }
    return last - first + 1;
}

}  // namespace

CPropertyPageView1::CPropertyPageView1(SheetLink& sheet, Prompt& prompt, QWidget* parent)
    : CMainPagePlaceholder(PageId::MainGrid, sheet, prompt, parent),
      m_text(std::make_unique<CanvasTextPainter>())
{
    // The placeholder's note gives way to the page's own controls.
    for (QLabel* note : findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        note->hide();
    }
    auto* layout = qobject_cast<QVBoxLayout*>(this->layout());

    auto* top = new QHBoxLayout();
    m_statusLabel = new QLabel(QStringLiteral("Ready"), this);
    m_statusLabel->setObjectName(Name(1075));
    m_instrumentBattery = new QLabel(this);
    m_instrumentBattery->setObjectName(Name(1074));
    m_handheldBattery = new QLabel(this);
    m_handheldBattery->setObjectName(Name(1069));
    top->addWidget(m_statusLabel, 1);
    top->addWidget(m_instrumentBattery);
    top->addWidget(m_handheldBattery);
    layout->addLayout(top);

    m_graphic = new PaintedArea(
        this, [this](QWidget* w) { PaintGraphic(w); },
        [this](QWidget* w, QPoint at) { ShowReadout(w, at); });
    m_graphic->setObjectName(Name(graphic_frame::kMap));
    m_graphic->setMinimumSize(200, 150);
    layout->addWidget(m_graphic, 1);

    auto* bottom = new QHBoxLayout();
    auto* left = new QGridLayout();
    m_start = new QPushButton(Resource(string_id::kStart), this);
    m_start->setObjectName(Name(1041));
    left->addWidget(m_start, 0, 0, 1, 3);
    const auto field = [this, left](int id, const char* label, int row) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(Name(id));
        edit->setMaximumWidth(50);
        left->addWidget(new QLabel(QString::fromUtf8(label), this), row, 0);
        left->addWidget(edit, row, 1);
        return edit;
    };
    m_profileEdit = field(1042, "Profile:", 1);
    m_profileEdit->setReadOnly(true);
    m_stationEdit = field(1047, "Station:", 2);
    m_stationEdit->setReadOnly(true);
    m_frequencyEdit = field(1043, "Freq.:", 3);
    auto* spin = new QWidget(this);
    spin->setObjectName(Name(1048));
    auto* spinColumn = new QVBoxLayout(spin);
    spinColumn->setContentsMargins(0, 0, 0, 0);
    spinColumn->setSpacing(0);
    for (const auto& [name, delta] : {std::pair{"up", -1}, std::pair{"down", +1}}) {
        auto* b = new QPushButton(QString::fromUtf8(delta < 0 ? "\u25B2" : "\u25BC"), spin);
        b->setObjectName(QString::fromUtf8(name));
        b->setFixedSize(20, 12);
        spinColumn->addWidget(b);
        const int d = delta;
        connect(b, &QPushButton::clicked, this, [this, d] { StepFrequency(d); });
    }
    left->addWidget(spin, 3, 2);
    bottom->addLayout(left);

    m_overview = new PaintedArea(this, [this](QWidget* w) { PaintOverview(w); });
    m_overview->setObjectName(Name(1040));
    m_overview->setFixedSize(116, 60);
    bottom->addWidget(m_overview);

    auto* arrows = new QGridLayout();
    const auto arrow = [this, arrows](int id, const char* text, uint32_t key, int r, int c) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(Name(id));
        b->setFixedSize(48, 26);
        arrows->addWidget(b, r, c);
        connect(b, &QPushButton::clicked, this, [this, key] { OnHandheldKey(key, false); });
    };
    arrow(1076, "UP", kKeyUp, 0, 1);
    arrow(1083, "LEFT", kKeyLeft, 1, 0);
    arrow(1080, "OK", kKeyEnter, 1, 1);
    arrow(1082, "RIGHT", kKeyRight, 1, 2);
    arrow(1084, "DOWN", kKeyDown, 2, 1);
    bottom->addLayout(arrows);
    layout->addLayout(bottom);

    connect(m_start, &QPushButton::clicked, this, [this] { Start(); });
}

CPropertyPageView1::~CPropertyPageView1() = default;

GridSurvey* CPropertyPageView1::Grid() const
{
    // The sheet gives this page the grid survey of the work types Map, Profile and Line only.
    return static_cast<GridSurvey*>(CurrentSurvey());
}

bool CPropertyPageView1::OnSetActive()
{
    if (GridSurvey* grid = Grid()) {
        m_profile = grid->CurrentProfile();
        m_station = grid->CurrentStation();
    }
    m_handheldBatteryPercent = m_power ? m_power->BatteryPercent() : -1;
    m_batteryTimer.start(kBatteryPeriodMs, this);
    CMainPagePlaceholder::OnSetActive();
    m_pageActive = true;
    RequestRedraw(true, true);
    return true;
}

bool CPropertyPageView1::OnKillActive()
{
    m_batteryTimer.stop();
    if (!CMainPagePlaceholder::OnKillActive()) {
        return false;
    }
    m_pageActive = false;
    return true;
}

void CPropertyPageView1::LoadFromConfiguration()
{
    const Configuration& c = GetConfiguration();
    m_frequencyNumber = main_page::FirstActiveFrequency(c.AreaFrequency, c.UsedFrequencies);
}

void CPropertyPageView1::StoreToConfiguration()
{
    GetConfiguration().AreaFrequency = m_frequencyNumber;
}

void CPropertyPageView1::FieldsToControls()
{
    m_profileEdit->setText(QString::number(m_profile));
    m_stationEdit->setText(QString::number(m_station));
    m_frequencyEdit->setText(QString::number(m_frequencyNumber));
}

bool CPropertyPageView1::ControlsToFields()
{
    unsigned f = 0;
    std::string message;
    if (!ReadUnsignedText(m_frequencyEdit->text().toStdString(), 1, 14, f, message)) {
        ShowValidationMessage(message);
        m_frequencyEdit->setFocus();
        m_frequencyEdit->selectAll();
        return false;
    }
    m_frequencyNumber = static_cast<int>(f);
    return true;
}

void CPropertyPageView1::RefreshControls()
{
    m_start->setText(
        Resource(main_page::StartTextId(GetConfiguration().TimerMode != 0, m_timerRunning)));
}

std::string CPropertyPageView1::StatusText() const { return m_status; }

void CPropertyPageView1::NeedsRepaint()
{
    m_repaintPending = true;
    Sheet().SendToSheet(message::kScreenLayout, 1, 0);
}

void CPropertyPageView1::RequestRedraw(bool recompute, bool redrawGraphics)
{
    m_repaintPending = true;
    m_recompute = recompute;
    m_redrawGraphics = redrawGraphics;
    m_graphic->update();
    m_overview->update();
}

void CPropertyPageView1::Start()
{
    if (m_measuring || (!m_timerRunning && m_repaintPending && isVisible())) {
        return;
    }
    if (Grid() == nullptr) {
        return;
    }
    InstrumentDevice& device = GetInstrumentDevice();
    StationMeasurer measurer(*Grid(), device, nullptr, nullptr);
    std::string error;
    if (!measurer.Connect(error)) {
        PagePrompt().Tell(std::string(ResourceString(string_id::kFailedToConnect)),
                          std::string(ResourceString(string_id::kAppTitle)), Icon::Error);
        NeedsRepaint();
        return;
    }
    uint32_t centivolts = 0;
    const bool read = device.ReadBattery(centivolts);
    m_instrumentBattery->setText(
        QString::fromStdString(main_page::InstrumentBatteryText(read, centivolts)));
    if (GetConfiguration().TimerMode != 0) {
        if (m_timerRunning) {
            StopSeries();
            return;
        }
        if (!StartSeries()) {
            PagePrompt().Tell(std::string(ResourceString(string_id::kFailedToSetTimer)),
                              std::string(ResourceString(string_id::kAppTitle)), Icon::Error);
            NeedsRepaint();
            return;
        }
        TimerStep();
        return;
    }
    if (!MeasureOnce()) {
        FailMeasurement();
        NeedsRepaint();
        return;
    }
    AfterMeasurement(false);
}

bool CPropertyPageView1::MeasureOnce()
{
    m_measuring = true;
    m_start->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    StationMeasurer measurer(*Grid(), GetInstrumentDevice(), nullptr, nullptr);
    std::string error;
    const bool ok = measurer.Measure(error);
    QApplication::restoreOverrideCursor();
    m_start->setEnabled(true);
    m_measuring = false;
    return ok;
}

void CPropertyPageView1::FailMeasurement()
{
    ReportMeasurementFailure();
    GetInstrumentDevice().CloseLink();
}

// Start 5.5 and the timer step's 5 and 6: the new position, the redraw, and the survey's end.
void CPropertyPageView1::AfterMeasurement(bool fromTimer)
{
    m_previousProfile = m_profile;
    m_previousStation = m_station;
    m_profile = Grid()->CurrentProfile();
    m_station = Grid()->CurrentStation();
    FieldsToControls();
    m_selection.Reset();
    if (!fromTimer || m_pageActive) {
        RequestRedraw(true, true);
    }
    if (m_profile == m_previousProfile && m_station == m_previousStation) {
        if (fromTimer) {
            StopSeries();
        }
        PagePrompt().Tell(std::string(ResourceString(string_id::kMeasureCompleted)),
                          std::string(ResourceString(string_id::kAppTitle)), Icon::None);
        if (!fromTimer || m_pageActive) {
            NeedsRepaint();
        }
        return;
    }
    if (main_page::AtProfileStart(m_profile, m_station, Grid()->StationsPerProfile())) {
        BeepTwice();
    }
    if (fromTimer) {
        ++m_timerMeasurements;
        if (m_timerMeasurements == GetConfiguration().TimerCount) {
            StopSeries();
        }
    }
}

void CPropertyPageView1::BeepTwice()
{
    QApplication::beep();
    QTimer::singleShot(100, this, [] { QApplication::beep(); });
}

bool CPropertyPageView1::StartSeries()
{
    StopSeries();
    const int delay = GetConfiguration().TimerDelay;
    m_seriesTimer.start(delay, this);
    m_timerRunning = m_seriesTimer.isActive();
    if (m_timerRunning) {
        m_timerMeasurements = 0;
        m_timerDelayInUse = delay;
    }
    RefreshControls();
    return m_timerRunning;
}

void CPropertyPageView1::StopSeries()
{
    m_timerRunning = false;
    m_seriesTimer.stop();
    RefreshControls();
}

void CPropertyPageView1::TimerStep()
{
    if (!m_timerRunning || m_measuring || Grid() == nullptr) {
        return;
    }
    const Configuration& c = GetConfiguration();
    if (c.TimerMode == 0) {
        StopSeries();
        QApplication::beep();
        return;
    }
    if (c.TimerDelay != m_timerDelayInUse) {
        m_timerDelayInUse = c.TimerDelay;
        m_seriesTimer.start(m_timerDelayInUse, this);
    }
    if (!MeasureOnce()) {
        StopSeries();
        FailMeasurement();
        if (m_pageActive) {
            NeedsRepaint();
        }
        return;
    }
    AfterMeasurement(true);
}

void CPropertyPageView1::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_seriesTimer.timerId()) {
        TimerStep();
    } else if (event->timerId() == m_batteryTimer.timerId()) {
        m_handheldBatteryPercent = m_power ? m_power->BatteryPercent() : -1;
        m_handheldBattery->setText(
            QString::fromStdString(main_page::BatteryText(m_handheldBatteryPercent)));
    } else {
        CMainPagePlaceholder::timerEvent(event);
    }
}

void CPropertyPageView1::StepFrequency(int delta)
{
    ControlsToFields();
    m_frequencyNumber =
        main_page::StepFrequency(m_frequencyNumber, delta, GetConfiguration().UsedFrequencies);
    FieldsToControls();
    if (delta != 0) {
        RequestRedraw(true, true);
    }
}

void CPropertyPageView1::OnHandheldKey(uint32_t code, bool repeat)
{
    switch (code) {
        case 0x79:
        case 0xC5:
        case 0xC6:
            Start();
            return;
        case 0xC2:
            StepFrequency(+1);
            return;
        case 0xC3:
            StepFrequency(-1);
            return;
        default:
            break;
    }
    if (!m_timerRunning && m_repaintPending && isVisible()) {
        return;
    }
    if (m_timerRunning) {
        return;
    }
    if (code == kKeyEnter) {
        m_previousProfile = m_profile;
        m_previousStation = m_station;
        RequestRedraw(true, true);
        return;
    }
    if (code == kKeyLeft || code == kKeyRight || code == kKeyUp || code == kKeyDown) {
        Navigate(code);
        return;
    }
    CMainPagePlaceholder::OnHandheldKey(code, repeat);
}

void CPropertyPageView1::Navigate(uint32_t key)
{
    GridSurvey* grid = Grid();
    if (grid == nullptr) {
        return;
    }
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
    m_profile = grid->CurrentProfile();
    m_station = grid->CurrentStation();
    FieldsToControls();
    RequestRedraw(false, true);
}

void CPropertyPageView1::Recompute()
{
    Configuration& c = GetConfiguration();
    m_canvas.Clear();
    GridSurvey* grid = Grid();
    if (grid == nullptr) {
        m_status = "Ready";
        m_statusLabel->setText(QString::fromStdString(m_status));
        return;
    }
    const GridSurveyData survey = grid->Data();
    const int p = m_previousProfile;
    const int s = m_previousStation;
    const int f = m_frequencyNumber - 1;
    const FrameRect frame{0, 0, m_canvas.Width(), m_canvas.Height()};
    const DrawContext context{m_canvas, *m_text, c, PagePrompt()};
    m_selection.AdjustGrid(p, s, m_frequencyNumber);
    const int run = MeasuredRun(survey, p, s);
    const int shown = m_selection.Choose([&](int candidate) {
        m_canvas.Clear();
        switch (candidate) {
            case graphic_frame::kMap:
                return c.ShowMaps != 0 &&
                       FindMapBlock(survey, p).complete >= c.MinProfilesForArea &&
                       DrawGridMap(context, survey, p, f, frame);
            case graphic_frame::kSection:
                return c.ShowSections != 0 && run >= c.MinStationsForProfile &&
                       DrawGridSection(context, survey, p, s, frame);
            case graphic_frame::kProfileCurve:
                return c.ShowProfileCurves != 0 && run >= c.MinStationsForProfileCurve &&
                       DrawGridProfileCurve(context, survey, p, s, f, frame);
            case graphic_frame::kSoundingCurve: {
                const FrameRect half{frame.left, frame.top, frame.left + frame.Width() / 2,
                                     frame.bottom};
                return c.ShowSoundingCurves != 0 &&
                       DrawSoundingCurve(context, survey.Slot(p, s), half);
            }
            default:
                return false;
        }
    });
    if (shown == graphic_frame::kNone) {
        m_canvas.Clear();
    }
    m_status = GraphicStatusText(shown, false, p, s, m_frequencyNumber, c.RealScaling != 0);
    m_statusLabel->setText(QString::fromStdString(m_status));
}

void CPropertyPageView1::PaintGraphic(QWidget* target)
{
    QPainter painter(target);
    const QSize size = target->size();
    // The canvas follows the window's size; a new size draws the graphic afresh.
    if (!m_canvas.IsCreated() || m_canvas.Width() != size.width() ||
        m_canvas.Height() != size.height()) {
        if (!m_canvas.Create(size.width(), size.height())) {
            painter.fillRect(target->rect(), palette().window());
            PagePrompt().Tell(std::string(ResourceString(string_id::kInsufficientMemory)),
                              std::string(ResourceString(string_id::kAppTitle)), Icon::Error);
            QApplication::exit(string_id::kInsufficientMemory);
            return;
        }
        m_recompute = true;
    }
    if (m_recompute) {
        m_recompute = false;
        m_redrawGraphics = true;
        if (m_readout) {
            m_readout->hide();
        }
        const bool disable = !m_timerRunning;
        if (disable) {
            m_start->setEnabled(false);
        }
        Recompute();
        if (disable) {
            m_start->setEnabled(true);
        }
        m_overview->update();
    }
    painter.drawImage(0, 0, CanvasImage(m_canvas));
    m_handheldBattery->setText(
        QString::fromStdString(main_page::BatteryText(m_handheldBatteryPercent)));
    m_repaintPending = false;
}

void CPropertyPageView1::PaintOverview(QWidget* target)
{
    QPainter painter(target);
    const QSize size = target->size();
    if (!m_overviewCanvas.IsCreated() || m_overviewCanvas.Width() != size.width() ||
        m_overviewCanvas.Height() != size.height()) {
        if (!m_overviewCanvas.Create(size.width(), size.height())) {
            painter.fillRect(target->rect(), palette().window());
            return;
        }
    }
    m_redrawGraphics = false;
    m_overviewCanvas.Clear();
    if (GridSurvey* grid = Grid()) {
        grid->PaintToCanvas(&m_overviewCanvas, PaintArea{0, 0, size.width(), size.height()});
    }
    painter.drawImage(0, 0, CanvasImage(m_overviewCanvas));
}

void CPropertyPageView1::PaintNow()
{
    // Rendering runs the paint handlers also where the window is not exposed (offscreen).
    (void)m_graphic->grab();
    (void)m_overview->grab();
}

void CPropertyPageView1::ShowReadout(QWidget* from, QPoint at)
{
    QString text;
    const int shown = m_selection.Shown();
    const bool inFrame = shown != graphic_frame::kNone &&
                         (shown != graphic_frame::kSoundingCurve || at.x() < from->width() / 2);
    const float value = m_canvas.GetValue(at.x(), at.y());
    if (inFrame && value != kNoValue) {
        text = QString::asprintf("%.2lf", static_cast<double>(value));
    } else {
        return;
    }
    if (m_readout == nullptr) {
        m_readout = new QLabel(this, Qt::ToolTip | Qt::FramelessWindowHint);
        m_readout->setFrameStyle(QFrame::Box | QFrame::Plain);
        m_readout->setObjectName(QStringLiteral("valuePopup"));
    }
    m_readout->setText(text);
    m_readout->adjustSize();
    const QPoint global = from->mapToGlobal(at);
    m_readout->move(std::max(0, global.x() - m_readout->width() - 3), global.y());
    m_readout->show();
    QTimer::singleShot(1500, m_readout, &QLabel::hide);
}

void CPropertyPageView1::OnTapAndHold(int x, int y)
{
    Configuration& c = GetConfiguration();
    QMenu menu(this);
    QAction* grid = menu.addAction(QStringLiteral("Grid"));
    grid->setCheckable(true);
    grid->setChecked(c.ShowGrid != 0);
    QAction* marks = menu.addAction(QStringLiteral("Scale marks"));
    marks->setCheckable(true);
    marks->setChecked(c.ShowScaleMarks != 0);
    menu.addSeparator();
    QAction* fit = menu.addAction(QStringLiteral("Fit to screen"));
    fit->setCheckable(true);
    fit->setChecked(c.RealScaling == 0);
    const QAction* chosen = menu.exec(mapToGlobal(QPoint(x, y)));
    if (chosen == nullptr) {
        return;
    }
    int& setting = chosen == grid ? c.ShowGrid : chosen == marks ? c.ShowScaleMarks : c.RealScaling;
    setting = setting ? 0 : 1;
    m_selection.Again();
    RequestRedraw(true, true);
}

}  // namespace orv
