#include "ui/pages/CMainPage.h"

#include "base/MessagePoster.h"
#include "base/NoValue.h"
#include "base/PowerStatus.h"
#include "base/Prompt.h"
#include "config/Configuration.h"
#include "graphics/TextPainter.h"
#include "graphics/Units.h"
#include "platform/QtTextPainter.h"
#include "resources/Menus.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "survey/Survey.h"
#include "ui/KeyRouter.h"
#include "ui/ResourceText.h"
#include "ui/pages/CExchangeWorker.h"
#include "ui/pages/DataExchange.h"

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
#include <QResizeEvent>
#include <QStyle>
#include <QTimer>
#include <QTimerEvent>
#include <QVBoxLayout>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>

namespace orv {

using main_page::kKeyDown;
using main_page::kKeyEnter;
using main_page::kKeyLeft;
using main_page::kKeyRight;
using main_page::kKeyUp;

namespace {

constexpr int kBatteryPeriodMs = 10000;
// A button a finger can hit on the handheld's screen; the narrowest page that keeps the arrow
// buttons in a cross; the least graphic area.
constexpr int kLeastButton = 24;
constexpr int kNarrowWidth = 440;
constexpr QSize kLeastGraphic(120, 60);
constexpr int kPopupMs = 1500;

QString Name(int id) { return QStringLiteral("control%1").arg(id); }

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

int64_t MonotonicMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

CMainPage::CMainPage(PageId id, SheetLink& sheet, Configuration& config, Prompt& prompt,
                     InstrumentDevice& device, QWidget* parent)
    : CMainPagePlaceholder(id, sheet, config, prompt, parent),
      m_text(std::make_unique<QtTextPainter>()),
      m_labels(static_cast<QtTextPainter*>(m_text.get())),
      m_worker(new CExchangeWorker(this)),
      m_cycle(std::make_unique<MeasurementCycle>(config, device, prompt, *m_worker,
                                                 static_cast<MeasurementView&>(*this)))
{}

CMainPage::~CMainPage()
{
    EndExchange();
    // The cycle goes before its runner, the worker (a child of this page).
    m_cycle.reset();
}

void CMainPage::BuildControls()
{
    // The placeholder's note gives way to the page's own controls.
    for (QLabel* note : findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        note->hide();
    }
    auto* layout = qobject_cast<QVBoxLayout*>(this->layout());

    auto* top = new QHBoxLayout();
    m_statusLabel = new QLabel(ResourceText(string_id::kReady), this);
    m_statusLabel->setObjectName(Name(1075));
    // A long status text wraps on a narrow screen rather than running into the batteries.
    m_statusLabel->setWordWrap(true);
    m_instrumentBattery = new QLabel(this);
    m_instrumentBattery->setObjectName(Name(1074));
    m_handheldBattery = new QLabel(this);
    m_handheldBattery->setObjectName(Name(1069));
    m_handheldBattery->installEventFilter(this);
    top->addWidget(m_statusLabel, 1);
    top->addWidget(m_instrumentBattery, 0, Qt::AlignTop);
    top->addWidget(m_handheldBattery, 0, Qt::AlignTop);
    layout->addLayout(top);

    m_graphic = new PaintedArea(
        this, [this](QWidget* w) { PaintGraphic(w); },
        [this](QWidget* w, QPoint at) { ShowReadout(w, at); });
    m_graphic->setObjectName(Name(1001));
    m_graphic->setMinimumSize(kLeastGraphic);
    layout->addWidget(m_graphic, 1);

    m_bottom = new QGridLayout();
    m_fields = new QGridLayout();
    m_start = new QPushButton(ResourceText(string_id::kStart), this);
    m_start->setObjectName(Name(1041));
    m_start->setMinimumHeight(kLeastButton);
    m_fields->addWidget(m_start, 0, 0, 1, 3);
    // Cancel takes Start's place while an exchange runs.
    m_cancel = new QPushButton(ResourceText(string_id::kCancelExchange), this);
    m_cancel->setObjectName(QStringLiteral("cancelExchange"));
    m_cancel->setMinimumHeight(kLeastButton);
    m_cancel->hide();
    m_fields->addWidget(m_cancel, 0, 0, 1, 3);
    m_worker->SetAllowedWidget(m_cancel);

    AddPositionFields(m_fields);
    const int row = m_fields->rowCount();
    m_frequencyEdit = AddField(1043, ResourceText(string_id::kFrequencyLabel), row, false);
    QWidget* spin = AddSpin(1048, [this](int delta) { StepFrequency(delta); });
    m_fields->addWidget(spin, row, 2);
    m_bottom->addLayout(m_fields, 0, 0, Qt::AlignTop);

    m_overview = new PaintedArea(this, [this](QWidget* w) { PaintOverview(w); });
    m_overview->setObjectName(Name(1040));
    // The handheld's box (77 x 38 dialog units) where there is room; smaller on a narrow screen.
    m_overview->setMinimumSize(48, 36);
    m_overview->setMaximumSize(116, 60);
    m_overview->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_bottom->addWidget(m_overview, 0, 1, Qt::AlignTop);

    m_arrows = new QGridLayout();
    m_arrows->setSpacing(2);
    const auto arrow = [this](int id, const char* text, uint32_t key) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(Name(id));
        b->setFixedHeight(kLeastButton + 2);
        m_arrowButtons.push_back(b);
        connect(b, &QPushButton::clicked, this, [this, key] { OnHandheldKey(key, false); });
    };
    // In cross order; PlaceArrows puts them in a cross or, on a narrow screen, in one row.
    arrow(1076, "UP", kKeyUp);
    arrow(1083, "LEFT", kKeyLeft);
    arrow(1080, "OK", kKeyEnter);
    arrow(1082, "RIGHT", kKeyRight);
    arrow(1084, "DOWN", kKeyDown);
    layout->addLayout(m_bottom);
    PlaceArrows(false);

    connect(m_start, &QPushButton::clicked, this, [this] { Start(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { CancelExchange(); });
}

void CMainPage::PlaceArrows(bool narrow)
{
    if (!m_arrowButtons.empty() && m_narrow == narrow && m_arrows->count() > 0) {
        return;
    }
    m_narrow = narrow;
    for (QPushButton* b : m_arrowButtons) {
        m_arrows->removeWidget(b);
    }
    if (m_bottom->indexOf(m_arrows) >= 0) {
        m_bottom->removeItem(m_arrows);
        m_arrows->setParent(nullptr);
    }
    // UP, LEFT, OK, RIGHT, DOWN: a cross right of the overview, or a row under everything
    // (LEFT, UP, OK, DOWN, RIGHT) where the screen is too narrow for the three side by side.
    static constexpr int kCross[5][2] = {{0, 1}, {1, 0}, {1, 1}, {1, 2}, {2, 1}};
    static constexpr int kRow[5] = {1, 0, 2, 4, 3};
    for (size_t i = 0; i < m_arrowButtons.size(); ++i) {
        QPushButton* b = m_arrowButtons[i];
        const int textWidth = b->fontMetrics().horizontalAdvance(b->text()) + 12;
        if (narrow) {
            b->setMinimumWidth(std::max(kLeastButton, textWidth));
            b->setMaximumWidth(QWIDGETSIZE_MAX);
            b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
            m_arrows->addWidget(b, 0, kRow[i]);
        } else {
            b->setFixedWidth(std::max(48, textWidth));
            m_arrows->addWidget(b, kCross[i][0], kCross[i][1]);
        }
    }
    if (narrow) {
        m_bottom->addLayout(m_arrows, 1, 0, 1, 2);
    } else {
        m_bottom->addLayout(m_arrows, 0, 2, Qt::AlignTop);
    }
    // A wide page keeps the fields, the overview and the arrows together at the left rather
    // than spreading the fields over the screen; a narrow one gives the overview what is left.
    m_bottom->setColumnStretch(1, narrow ? 1 : 0);
    m_bottom->setColumnStretch(3, narrow ? 0 : 1);
    // The page's margins give way on a handheld's screen.
    const int margin = narrow ? 2 : style()->pixelMetric(QStyle::PM_LayoutLeftMargin);
    layout()->setContentsMargins(margin, margin, margin, margin);
    const int spacing = narrow ? 2 : -1;  // -1: the style's
    layout()->setSpacing(spacing);
    m_bottom->setSpacing(spacing);
    m_fields->setSpacing(spacing);
}

void CMainPage::resizeEvent(QResizeEvent* event)
{
    if (m_arrows != nullptr) {
        PlaceArrows(event->size().width() < kNarrowWidth);
    }
    CMainPagePlaceholder::resizeEvent(event);
}

QLineEdit* CMainPage::AddField(int id, const QString& label, int row, bool readOnly)
{
    auto* edit = new QLineEdit(this);
    edit->setObjectName(Name(id));
    edit->setMaximumWidth(50);
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 10);
    edit->setReadOnly(readOnly);
    m_fields->addWidget(new QLabel(label, this), row, 0);
    m_fields->addWidget(edit, row, 1);
    return edit;
}

QWidget* CMainPage::AddSpin(int id, std::function<void(int)> step)
{
    auto* spin = new QWidget(this);
    spin->setObjectName(Name(id));
    // Side by side, each big enough for a finger.
    auto* column = new QHBoxLayout(spin);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    for (const auto& [name, delta] : {std::pair{"up", -1}, std::pair{"down", +1}}) {
        auto* b = new QPushButton(QString::fromUtf8(delta < 0 ? "\u25B2" : "\u25BC"), spin);
        b->setObjectName(QString::fromUtf8(name));
        b->setFixedSize(kLeastButton, kLeastButton);
        b->setAutoRepeat(true);
        column->addWidget(b);
        const int d = delta;
        connect(b, &QPushButton::clicked, this, [step, d] { step(d); });
    }
    return spin;
}

bool CMainPage::ReadField(QLineEdit* edit, unsigned minimum, unsigned maximum, int& value)
{
    unsigned v = 0;
    std::string message;
    if (!ReadUnsignedText(edit->text().toStdString(), minimum, maximum, v, message)) {
        ShowValidationMessage(message);
        edit->setFocus();
        edit->selectAll();
        return false;
    }
    value = static_cast<int>(v);
    return true;
}

void CMainPage::SurveyChanged()
{
    // The survey of a series that ran is gone: the series ends with it.
    m_cycle->StopSeries();
    m_cycle->SetSurvey(CurrentSurvey(), Matcher(), PositionPoster());
    m_selection.Reset();
    if (CurrentSurvey() != nullptr) {
        CopyPositionFromSurvey();
        KeepPreviousPosition();
    }
    m_recompute = true;
}

bool CMainPage::OnSetActive()
{
    if (CurrentSurvey() != nullptr) {
        CopyPositionFromSurvey();
    }
    m_handheldBatteryPercent = m_power ? m_power->BatteryPercent() : -1;
    m_batteryTimer.start(kBatteryPeriodMs, this);
    CMainPagePlaceholder::OnSetActive();
    m_pageActive = true;
    // Settings may have changed on the other pages: the graphic on screen is drawn again with
    // them (the search does not move on to the next one).
    m_selection.Again();
    RequestRedraw(true, true);
    return true;
}

bool CMainPage::OnKillActive()
{
    m_batteryTimer.stop();
    if (!CMainPagePlaceholder::OnKillActive()) {
        return false;
    }
    m_pageActive = false;
    return true;
}

void CMainPage::RefreshControls()
{
    m_start->setText(
        ResourceText(main_page::StartTextId(Config().TimerMode != 0, m_cycle->TimerRunning())));
}

void CMainPage::NeedsRepaint()
{
    m_repaintPending = true;
    Sheet().SendToSheet(message::kScreenLayout, 1, 0);
    // The paint that clears the flag must come: without it the next Start (which waits for the
    // last result to be drawn) would be ignored after a failure or a message box.
    if (m_graphic != nullptr) {
        m_graphic->update();
    }
}

void CMainPage::RequestRedraw(bool recompute, bool /*redrawGraphics*/)
{
    // The overview box is cheap to draw and is repainted with every request.
    m_repaintPending = true;
    m_recompute = m_recompute || recompute;
    m_graphic->update();
    m_overview->update();
}

void CMainPage::EnterBusy()
{
    m_start->setEnabled(false);
    m_start->hide();
    m_cancel->setEnabled(true);
    m_cancel->show();
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void CMainPage::LeaveBusy()
{
    QApplication::restoreOverrideCursor();
    m_cancel->hide();
    m_start->show();
    m_start->setEnabled(true);
}

void CMainPage::Start() { m_cycle->Start(); }

void CMainPage::CancelExchange() { m_cycle->Cancel(); }

void CMainPage::EndExchange() { m_cycle->End(); }

bool CMainPage::RedrawPending() const { return m_repaintPending && isVisible(); }

void CMainPage::ShowInstrumentBattery(bool read, unsigned centivolts)
{
    m_instrumentBattery->setText(
        QString::fromStdString(main_page::InstrumentBatteryText(read, centivolts)));
}

void CMainPage::CancelPending() { m_cancel->setEnabled(false); }

void CMainPage::ReportMeasurementFailure() { CMainPagePlaceholder::ReportMeasurementFailure(); }

// Start 5.5 and the timer step's 5: the new position and the redraw.
void CMainPage::MeasurementStored(bool redraw)
{
    KeepPreviousPosition();
    CopyPositionFromSurvey();
    FieldsToControls();
    m_selection.Reset();
    if (redraw) {
        RequestRedraw(true, true);
    }
}

void CMainPage::SeriesChanged()
{
    if (m_start != nullptr) {
        RefreshControls();
    }
}

void CMainPage::Beep() { QApplication::beep(); }

void CMainPage::BeepTwice()
{
    QApplication::beep();
    QTimer::singleShot(100, this, [] { QApplication::beep(); });
}

void CMainPage::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_batteryTimer.timerId()) {
        m_handheldBatteryPercent = m_power ? m_power->BatteryPercent() : -1;
        RequestRedraw(false, false);
    } else {
        CMainPagePlaceholder::timerEvent(event);
    }
}

void CMainPage::StepFrequency(int delta)
{
    m_frequencyNumber =
        main_page::StepFrequency(m_frequencyNumber, delta, Config().UsedFrequencies);
    FieldsToControls();
    if (delta != 0) {
        RequestRedraw(true, true);
    }
}

void CMainPage::OnHandheldKey(uint32_t code, bool repeat)
{
    switch (code) {
        case handheld_key::kStartF10:
        case handheld_key::kStart1:
        case handheld_key::kStart2:
            Start();
            return;
        case handheld_key::kFrequencyDown:
            StepFrequency(+1);
            return;
        case handheld_key::kFrequencyUp:
            StepFrequency(-1);
            return;
        default:
            break;
    }
    const bool timerRunning = m_cycle->TimerRunning();
    if (!timerRunning && m_repaintPending && isVisible()) {
        return;
    }
    if (code == kKeyEnter || code == kKeyLeft || code == kKeyRight || code == kKeyUp ||
        code == kKeyDown) {
        if (timerRunning || CurrentSurvey() == nullptr) {
            return;
        }
        if (code == kKeyEnter) {
            KeepPreviousPosition();
            RequestRedraw(true, true);
        } else {
            Navigate(code, repeat);
            FieldsToControls();
            RequestRedraw(false, true);
        }
        return;
    }
    CMainPagePlaceholder::OnHandheldKey(code, repeat);
}

void CMainPage::PaintGraphic(QWidget* target)
{
    QPainter painter(target);
    // The canvas is in device pixels: on a high-density screen the graphic is drawn at the
    // screen's own resolution, with its fixed sizes and labels grown by the ratio.
    const double ratio = target->devicePixelRatioF();
    const QSize size = (QSizeF(target->size()) * ratio).toSize();
    if (ratio != m_ratio) {
        m_ratio = ratio;
        m_labels->SetRatio(ratio);
        (void)m_canvas.Create(0, 0);  // drawn afresh below
    }
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
        // The same graphic again at the new size.
        if (!m_recompute) {
            m_selection.Again();
        }
        m_recompute = true;
    }
    if (m_recompute) {
        m_recompute = false;
        if (m_popup) {
            m_popup->hide();
        }
        // During an exchange Start stays disabled until the exchange is over.
        const bool disable = !m_cycle->TimerRunning() && !m_cycle->OperatorExchangeRunning();
        if (disable) {
            m_start->setEnabled(false);
        }
        m_canvas.Clear();
        m_status = CurrentSurvey() != nullptr ? Recompute()
                                              : std::string(ResourceString(string_id::kReady));
        m_statusLabel->setText(QString::fromStdString(m_status));
        if (disable) {
            m_start->setEnabled(true);
        }
        m_overview->update();
    }
    PlotCanvas* shown = &m_canvas;
    if (CurrentSurvey() != nullptr && WantsOverlay()) {
        // Without memory for the copy the track goes onto the canvas itself.
        PlotCanvas* overlaid = m_scratch.CopyFrom(m_canvas) ? &m_scratch : &m_canvas;
        DrawOverlay(*overlaid);
        shown = overlaid;
    }
    QImage picture = CanvasImage(*shown);
    picture.setDevicePixelRatio(ratio);
    painter.drawImage(0, 0, picture);
    m_handheldBattery->setText(
        QString::fromStdString(main_page::BatteryText(m_handheldBatteryPercent)));
    m_repaintPending = false;
    m_lastPaintMs = MonotonicMs();
}

int64_t CMainPage::SinceLastPaintMs() const
{
    return m_lastPaintMs < 0 ? INT64_MAX : MonotonicMs() - m_lastPaintMs;
}

void CMainPage::PaintOverview(QWidget* target)
{
    QPainter painter(target);
    const double ratio = target->devicePixelRatioF();
    const QSize size = (QSizeF(target->size()) * ratio).toSize();
    if (!m_overviewCanvas.IsCreated() || m_overviewCanvas.Width() != size.width() ||
        m_overviewCanvas.Height() != size.height()) {
        if (!m_overviewCanvas.Create(size.width(), size.height())) {
            painter.fillRect(target->rect(), palette().window());
            return;
        }
    }
    m_overviewCanvas.Clear();
    if (CurrentSurvey() != nullptr) {
        DrawOverview(m_overviewCanvas, size.width(), size.height());
    }
    QImage picture = CanvasImage(m_overviewCanvas);
    picture.setDevicePixelRatio(ratio);
    painter.drawImage(0, 0, picture);
}

void CMainPage::PaintNow()
{
    // Rendering runs the paint handlers also where the window is not exposed (offscreen).
    (void)m_graphic->grab();
    (void)m_overview->grab();
}

void CMainPage::ShowPopup(const QString& text, QPoint globalAt)
{
    if (m_popup == nullptr) {
        m_popup = new QLabel(this, Qt::ToolTip | Qt::FramelessWindowHint);
        m_popup->setFrameStyle(QFrame::Box | QFrame::Plain);
        m_popup->setObjectName(QStringLiteral("valuePopup"));
        m_popup->setAttribute(Qt::WA_ShowWithoutActivating);
    }
    m_popup->setText(text);
    const QFontMetrics metrics(m_popup->font());
    const int width = metrics.horizontalAdvance(text) + 4;
    m_popup->resize(width, metrics.height() + 2);
    m_popup->move(std::max(0, globalAt.x() - (width - 4) - 3), globalAt.y());
    m_popup->show();
    QTimer::singleShot(kPopupMs, m_popup, &QLabel::hide);
}

QString CMainPage::PopupText() const { return m_popup ? m_popup->text() : QString(); }

void CMainPage::ShowReadout(QWidget* from, QPoint at)
{
    const int shown = m_selection.Shown();
    const bool inFrame = shown != graphic_frame::kNone &&
                         (shown != graphic_frame::kSoundingCurve || at.x() < from->width() / 2);
    // The canvas is in device pixels.
    const QPoint pixel = (QPointF(at) * m_ratio).toPoint();
    const float value = m_canvas.GetValue(pixel.x(), pixel.y());
    if (inFrame && value != kNoValue) {
        // The number as the handheld showed it ("%.2lf"), then its unit: metres on the sounding
        // curve's depth axis, the signal unit elsewhere.
        const std::string text = m_canvas.InDepthBand(pixel.x(), pixel.y())
                                     ? DepthText(value)
                                     : ValueText(value, Config());
        ShowPopup(QString::fromStdString(text), from->mapToGlobal(at));
    }
}

void CMainPage::ShowBatteryPopup(QPoint globalAt)
{
    if (m_handheldBatteryPercent < 0 || m_handheldBatteryPercent > 100) {
        return;
    }
    ShowPopup(QString::fromStdString(
                  PrintfResource(string_id::kBatteryRemaining, m_handheldBatteryPercent)),
              globalAt);
}

bool CMainPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_handheldBattery && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            ShowBatteryPopup(mouse->globalPosition().toPoint());
            return true;
        }
    }
    return CMainPagePlaceholder::eventFilter(watched, event);
}

namespace {

// The setting a View command toggles; Fit to screen is checked while RealScaling is off.
int* ViewSetting(Configuration& c, int command)
{
    switch (command) {
        case command_id::kGrid:
            return &c.ShowGrid;
        case command_id::kScaleMarks:
            return &c.ShowScaleMarks;
        case command_id::kFitToScreen:
            return &c.RealScaling;
        case command_id::kShowGpsTrack:
            return &c.ShowGpsTrack;
        default:
            return nullptr;
    }
}

}  // namespace

void CMainPage::OnTapAndHold(int x, int y)
{
    Configuration& c = Config();
    const MenuResource& resource = ViewMenu(TrackMenu());
    QMenu menu(ResourceText(resource.titleId), this);
    menu.setObjectName(QStringLiteral("menu%1").arg(resource.id));
    for (const MenuItem& item : resource.items) {
        int* setting = ViewSetting(c, item.command);
        if (setting == nullptr) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(ResourceText(item.textId));
        action->setCheckable(true);
        action->setChecked((*setting != 0) != (item.command == command_id::kFitToScreen));
        action->setData(item.command);
    }
    if (const QAction* chosen = menu.exec(mapToGlobal(QPoint(x, y)))) {
        OnViewCommand(chosen->data().toInt());
    }
}

void CMainPage::OnViewCommand(int command)
{
    int* setting = ViewSetting(Config(), command);
    if (setting == nullptr) {
        return;
    }
    *setting = *setting ? 0 : 1;
    if (command == command_id::kShowGpsTrack) {
        // Only the overlay changes.
        RequestRedraw(false, false);
        return;
    }
    // The same graphic again with the new setting.
    m_selection.Again();
    RequestRedraw(true, true);
}

}  // namespace orv
