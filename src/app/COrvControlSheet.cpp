#include "app/COrvControlSheet.h"

#include "app/QtKeys.h"
#include "base/MessagePoster.h"
#include "base/PowerStatus.h"
#include "base/Prompt.h"
#include "base/TickClock.h"
#include "config/Configuration.h"
#include "exchange/ExportSource.h"
#include "exchange/Exporter.h"
#include "exchange/StationTable.h"
#include "gps/GpsLinkState.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"
#include "instrument/InstrumentDevice.h"
#include "resources/Menus.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "session/FileChooser.h"
#include "session/MeasurementCycle.h"
#include "session/ProgramCore.h"
#include "session/StationMeasurer.h"
#include "survey/Survey.h"
#include "ui/CExportDialog.h"
#include "ui/CStatusStrip.h"
#include "ui/KeyBindings.h"
#include "ui/KeyRouter.h"
#include "ui/ResourceText.h"
#include "ui/pages/CMainPage.h"
#include "ui/pages/CMainPagePlaceholder.h"
#include "ui/pages/CPropertyPageGPSView.h"
#include "ui/pages/CPropertyPageS1.h"
#include "ui/pages/CPropertyPageS2.h"
#include "ui/pages/CPropertyPageView1.h"
#include "ui/pages/CPropertyPageView2.h"
#include "ui/pages/CPropertyPageW1.h"
#include "ui/pages/CPropertyPageW2.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QScroller>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTimerEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#ifndef ORV_VERSION
#define ORV_VERSION "0"
#endif

namespace orv {

namespace {

std::string Title() { return std::string(ResourceString(string_id::kAppTitle)); }

}  // namespace

COrvControlSheet::COrvControlSheet(const SheetEnvironment& environment, QWidget* parent)
    : QMainWindow(parent), m_environment(environment), m_core(*environment.core), m_poster(this)
{
    const SessionParts parts{
        m_core.Config(),  m_core.Device(),   m_core.ProgramPrompt(),     *m_environment.files,
        &m_core.Parser(), &m_core.Matcher(), m_environment.dataDirectory};
    m_session = std::make_unique<SessionController>(parts, static_cast<SessionWindow&>(*this));
    setWindowTitle(ResourceText(string_id::kAppTitle));
    setObjectName(QStringLiteral("COrvControlSheet"));
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_strip = new CStatusStrip([this] { return GatherStrip(); }, central);
    m_stripRoom = new QScrollArea(central);
    m_stripRoom->setObjectName(QStringLiteral("statusStripRoom"));
    m_stripRoom->setFrameShape(QFrame::NoFrame);
    m_stripRoom->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_stripRoom->setWidgetResizable(false);  // FitStrip sizes the strip
    m_stripRoom->setWidget(m_strip);
    QScroller::grabGesture(m_stripRoom->viewport(), QScroller::LeftMouseButtonGesture);
    m_strip->SetRefreshed([this] { FitStrip(); });
    column->addWidget(m_stripRoom);
    // The note floats over the top of the window: it never moves the pages.
    m_savedNote = new QLabel(central);
    m_savedNote->setObjectName(QStringLiteral("savedNote"));
    m_savedNote->setStyleSheet(
        QStringLiteral("QLabel { background: #2e7d32; color: white; padding: 3px; }"));
    m_savedNote->hide();
    m_tabs = new QTabWidget(central);
    m_tabs->setObjectName(QStringLiteral("sheetTabs"));
    m_tabs->setDocumentMode(true);
    column->addWidget(m_tabs, 1);
    setCentralWidget(central);
    connect(m_tabs, &QTabWidget::currentChanged, this, &COrvControlSheet::OnTabChanged);

    BuildPages();
    BuildMenus();
    qApp->installEventFilter(this);
    m_session->Reset();
    m_strip->Refresh();
    resize(480, 560);
}

namespace {

// Below this width the strip keeps to one line.
constexpr int kNarrowStrip = 440;
// The least size of a button a finger can hit.
constexpr int kLeastButton = 24;

}  // namespace

void COrvControlSheet::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    FitStrip();
}

void COrvControlSheet::FitStrip()
{
    if (m_stripRoom == nullptr) {
        return;
    }
    const bool narrow = width() < kNarrowStrip;
    m_strip->setWordWrap(!narrow);
    m_stripRoom->setHorizontalScrollBarPolicy(narrow ? Qt::ScrollBarAsNeeded
                                                     : Qt::ScrollBarAlwaysOff);
    int height = 0;
    if (!m_strip->isHidden()) {
        const int room = centralWidget()->width();
        if (narrow) {
            const QSize line = m_strip->sizeHint();
            m_strip->resize(std::max(room, line.width()), line.height());
            height = line.height();
            if (line.width() > room) {
                height += m_stripRoom->horizontalScrollBar()->sizeHint().height();
            }
        } else {
            height = m_strip->heightForWidth(room);
            m_strip->resize(room, height);
        }
    }
    m_stripRoom->setFixedHeight(std::max(0, height));
    m_stripRoom->setVisible(height > 0);
}

CMainPage* COrvControlSheet::SessionMainPage() const
{
    for (const PageId id : {PageId::MainGrid, PageId::MainTrack}) {
        auto* page = static_cast<CMainPage*>(Page(id));
        if (page != nullptr && page->CurrentSurvey() != nullptr) {
            return page;
        }
    }
    return nullptr;
}

StripInput COrvControlSheet::GatherStrip()
{
    const Configuration& config = m_core.Config();
    Survey* survey = CurrentSurvey();
    StripInput in;
    in.session = survey != nullptr;
    if (survey != nullptr) {
        in.journalProblem = survey->JournalProblem();
    }
    if (const CMainPage* main = SessionMainPage()) {
        in.instrument = main->LinkStatus();
        in.unpositionedStations = main->UnpositionedStations();
        in.unpositioned = int(in.unpositionedStations.size());
    }
    in.track = survey != nullptr && survey->IsTrack();
    if (in.track) {
        in.gps = GpsState();
    }
    in.staleSeconds = double(config.GpsStaleMilliseconds()) / 1000.0;
    // The handheld's battery changes slowly: read every ten seconds.
    const uint32_t now = m_core.Ticks().Now();
    if (m_environment.power != nullptr &&
        (m_powerReadTick == 0 || now - m_powerReadTick >= 10000)) {
        m_handheldPercent = m_environment.power->BatteryPercent();
        m_powerReadTick = now == 0 ? 1 : now;
    }
    in.handheldPercent = m_handheldPercent;
    in.instrumentWarningVolts = config.InstrumentBatteryWarning;
    in.handheldWarningPercent = config.HandheldBatteryWarning;
    in.instrumentSerial = config.ConnectedSerial;
    in.standIn = config.CalibrationStandIn();
    if (m_batteries.Update(in.instrument.centivolts, in.handheldPercent, in.instrumentWarningVolts,
                           in.handheldWarningPercent)) {
        QApplication::beep();
    }
    UpdateTitle();
    return in;
}

GpsStripInput COrvControlSheet::GpsState()
{
    using Kind = GpsLinkState::Kind;
    using State = GpsStripInput::State;
    GpsStripInput gps;
    const GpsLinkState link = m_core.GpsState();
    gps.port = link.port.empty() ? m_core.Device().GpsPortDescription() : link.port;
    switch (link.kind) {
        case Kind::Off:
            gps.state = State::Off;
            break;
        case Kind::Opening:
            gps.state = State::Connecting;
            break;
        case Kind::NoPort:
            gps.state = State::NoPort;
            break;
        case Kind::Lost:
            gps.state = State::Lost;
            break;
        case Kind::Open:
            gps.state = State::Open;
            break;
    }
    gps.quality = link.fixQuality;
    gps.satellites = link.satellites;
    gps.haveFix = link.haveFix;
    if (link.haveFix) {
        gps.fixAgeSeconds = link.FixAgeSeconds(m_core.Ticks().Now());
    }
    return gps;
}

std::optional<double> COrvControlSheet::FixAgeSeconds()
{
    const GpsLinkState link = m_core.GpsState();
    if (!link.haveFix) {
        return std::nullopt;
    }
    return link.FixAgeSeconds(m_core.Ticks().Now());
}

void COrvControlSheet::UpdateTitle()
{
    const Survey* survey = CurrentSurvey();
    const QString title = QString::fromStdString(
        WindowTitle(survey != nullptr, survey != nullptr ? survey->FilePath() : std::string(),
                    survey != nullptr && survey->Modified() != 0));
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
}

COrvControlSheet::~COrvControlSheet() { Shutdown(); }

void COrvControlSheet::Shutdown()
{
    if (m_shutDown) {
        return;
    }
    m_shutDown = true;
    StayAwake(false);
    qApp->removeEventFilter(this);
    disconnect(m_tabs, nullptr, this, nullptr);

    // An exchange under way ends first, then the link and the survey may go.
    EndExchanges();
    // Close has asked already; the journal of a survey that was not let go through Close (the
    // window system ended the program) is kept for recovery.
    m_session->ReleaseSurvey();
    m_core.ReleaseInstrumentDevice();
    std::string error;
    if (!m_core.ReleaseConfiguration(error)) {
        std::fprintf(stderr, "orvcontrol: %s\n", error.c_str());
        m_core.ProgramPrompt().Tell(FormatResource(string_id::kSettingsNotSaved, {error}), Title(),
                                    Icon::Error);
    }
    {
        const QSignalBlocker block(m_tabs);
        for (auto it = m_pages.rbegin(); it != m_pages.rend(); ++it) {
            delete *it;
            *it = nullptr;
        }
        // The empty scroll areas go with the tabs.
        m_frames.fill(nullptr);
    }
    m_shown.clear();
    m_activeIndex = -1;
}

void COrvControlSheet::BuildPages()
{
    Prompt& prompt = m_core.ProgramPrompt();
    Configuration& config = m_core.Config();
    InstrumentDevice& device = m_core.Device();
    const auto add = [this](PageId id, CPropertyPageBase* page) {
        m_pages[static_cast<size_t>(id)] = page;
        // Setup and settings pages scroll where the screen is smaller than they are (the
        // handheld's 240x320); the Main pages fit any size and never scroll.
        QWidget* frame = page;
        if (!IsMainPage(id)) {
            auto* scroll = new QScrollArea(m_tabs);
            scroll->setObjectName(QStringLiteral("pageScroll%1").arg(static_cast<int>(id)));
            scroll->setFrameShape(QFrame::NoFrame);
            scroll->setWidgetResizable(true);
            scroll->setWidget(page);
            frame = scroll;
        }
        frame->hide();
        m_frames[static_cast<size_t>(id)] = frame;
        for (QPushButton* button : page->findChildren<QPushButton*>()) {
            if (button->minimumHeight() < kLeastButton &&
                button->sizeHint().height() < kLeastButton) {
                button->setMinimumHeight(kLeastButton);
            }
        }
    };
    add(PageId::StaticSettings,
        new CPropertyPageS1(*this, config, prompt, *m_environment.files, m_tabs));
    add(PageId::OtherSettings,
        new CPropertyPageS2(
            *this, config, prompt, [&device] { device.CloseLink(); }, m_tabs));
    add(PageId::Settings, new CPropertyPageW1(*this, config, prompt, m_tabs));
    add(PageId::ViewSettings, new CPropertyPageW2(*this, config, prompt, m_tabs));
    add(PageId::MainGrid, new CPropertyPageView1(*this, config, prompt, device, m_tabs));
    add(PageId::MainTrack, new CPropertyPageView2(*this, config, prompt, device, m_tabs));
    add(PageId::Gps, new CPropertyPageGPSView(*this, config, prompt, m_tabs));
    auto* grid = static_cast<CPropertyPageView1*>(Page(PageId::MainGrid));
    auto* track = static_cast<CPropertyPageView2*>(Page(PageId::MainTrack));
    grid->SetPowerStatus(m_environment.power);
    track->SetPowerStatus(m_environment.power);
    track->SetGpsMatcher(&m_core.Matcher());
    // Each station's time and, on a track, the quality of the fix it was measured under.
    grid->SetStationMetaSource([] { return StationMetaNow(); });
    track->SetStationMetaSource([this] {
        const GpsLinkState gps = m_core.GpsState();
        return StationMetaNow(&gps, m_core.Ticks().Now(), m_core.Config().GpsStaleSeconds);
    });
    auto* gpsPage = static_cast<CPropertyPageGPSView*>(Page(PageId::Gps));
    gpsPage->SetParser(&m_core.Parser());
    gpsPage->SetFixAge([this] { return FixAgeSeconds(); });
}

void COrvControlSheet::BuildMenus()
{
    for (const MenuResource* resource : {&SessionMenu(), &HelpMenu()}) {
        QMenu* menu = menuBar()->addMenu(ResourceText(resource->titleId));
        menu->setObjectName(QStringLiteral("menu%1").arg(resource->id));
        for (const MenuItem& item : resource->items) {
            if (item.command == 0) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(ResourceText(item.textId));
            action->setObjectName(QStringLiteral("command%1").arg(item.command));
            const int command = item.command;
            connect(action, &QAction::triggered, this,
                    [this, command] { SendCommandToSheet(command); });
            switch (command) {
                case command_id::kNew:
                    action->setShortcut(QKeySequence::New);
                    break;
                case command_id::kOpen:
                    action->setShortcut(QKeySequence::Open);
                    m_openAction = action;
                    break;
                case command_id::kSave:
                    action->setShortcut(QKeySequence::Save);
                    m_saveAction = action;
                    break;
                case command_id::kSaveAs:
                    // Not every desktop binds SaveAs to a key.
                    action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
                    m_saveAsAction = action;
                    break;
                case command_id::kExport:
                    // Ctrl+E is a line edit's own (end of line) on X11.
                    action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
                    m_exportAction = action;
                    break;
                case command_id::kClose:
                    action->setShortcut(QKeySequence::Quit);
                    break;
                case command_id::kHelpKeys:
                    action->setShortcut(QKeySequence::HelpContents);
                    break;
                default:
                    break;
            }
        }
    }
}

void COrvControlSheet::UpdateCommands()
{
    // Save has nothing to write outside a session.
    if (m_saveAction != nullptr) {
        m_saveAction->setEnabled(CurrentSurvey() != nullptr);
    }
    if (m_saveAsAction != nullptr) {
        m_saveAsAction->setEnabled(CurrentSurvey() != nullptr);
    }
    if (m_exportAction != nullptr) {
        m_exportAction->setEnabled(CurrentSurvey() != nullptr);
    }
}

CPropertyPageBase* COrvControlSheet::ActivePage() const
{
    if (m_activeIndex < 0 || m_activeIndex >= static_cast<int>(m_shown.size())) {
        return nullptr;
    }
    return Page(m_shown[static_cast<size_t>(m_activeIndex)]);
}

void COrvControlSheet::SendToSheet(uint32_t message, uint64_t wParam, int64_t)
{
    switch (message) {
        case message::kBeginSession:
            m_session->BeginSession();
            break;
        case message::kResetToSetup:
            m_session->Reset();
            break;
        case message::kNextPage:
            if (const int next = NextPageIndex(m_activeIndex, static_cast<int>(m_shown.size()));
                next >= 0) {
                SetActivePage(next);
            }
            break;
        case message::kPreviousPage:
            if (const int previous =
                    PreviousPageIndex(m_activeIndex, static_cast<int>(m_shown.size()));
                previous >= 0) {
                SetActivePage(previous);
            }
            break;
        case message::kScreenLayout:
            ScreenLayout(wParam != 0);
            break;
        case message::kMeasurementFailed:
            m_session->MeasurementFailed();
            break;
        default:
            break;
    }
}

void COrvControlSheet::SendCommandToSheet(int command)
{
    switch (command) {
        case command_id::kNew:
            m_session->New();
            break;
        case command_id::kOpen:
            m_session->Open();
            break;
        case command_id::kSave:
            m_session->Save();
            break;
        case command_id::kSaveAs:
            m_session->SaveAs();
            break;
        case command_id::kExport:
            Export();
            break;
        case command_id::kClose:
            m_session->Close();
            break;
        case command_id::kHelpKeys:
            ShowKeys();
            break;
        case command_id::kHelpAbout:
            ShowAbout();
            break;
        default:
            break;
    }
}

void COrvControlSheet::customEvent(QEvent* event)
{
    if (event->type() == ProgramMessageEvent::EventType()) {
        const ProgramMessage& m = static_cast<ProgramMessageEvent*>(event)->content;
        SendToSheet(m.message, m.wParam, m.lParam);
        return;
    }
    QMainWindow::customEvent(event);
}

void COrvControlSheet::EndExchanges()
{
    // An exchange with the instrument under way ends before the session may go: a reply already
    // complete is stored first, so the save prompt asks about it and the saved file holds it.
    for (const PageId id : {PageId::MainGrid, PageId::MainTrack}) {
        static_cast<CMainPagePlaceholder*>(Page(id))->EndExchange();
    }
}

void COrvControlSheet::DeactivatePage()
{
    if (CPropertyPageBase* page = ActivePage()) {
        page->OnKillActive();
    }
}

void COrvControlSheet::ActivatePage()
{
    if (CPropertyPageBase* page = ActivePage()) {
        page->OnSetActive();
    }
}

void COrvControlSheet::SurveyChanged(Survey*)
{
    // The Main pages are given the survey when its session begins; until then they show none.
    for (const PageId id : {PageId::MainGrid, PageId::MainTrack}) {
        static_cast<CMainPagePlaceholder*>(Page(id))->SetSurvey(nullptr);
    }
    UpdateCommands();
}

void COrvControlSheet::ShowSetup()
{
    StayAwake(false);
    RemoveAllPages();
    AddPage(PageId::StaticSettings);
    AddPage(PageId::OtherSettings);
    SelectPage(0);
    UpdateCommands();
}

void COrvControlSheet::ShowSession(Survey* survey)
{
    RemoveAllPages();
    AddPage(PageId::Settings);
    SelectPage(0);
    if (survey != nullptr) {
        const bool track = survey->IsTrack();
        auto* main =
            static_cast<CMainPagePlaceholder*>(Page(track ? PageId::MainTrack : PageId::MainGrid));
        main->ResetCursorState();
        main->SetSurvey(survey);
        AddPage(PageId::ViewSettings);
        AddPage(track ? PageId::MainTrack : PageId::MainGrid);
        if (track) {
            AddPage(PageId::Gps);
        }
        SetActivePage(2);
        StayAwake(true);
    }
    UpdateCommands();
}

void COrvControlSheet::StayAwake(bool awake)
{
    if (m_environment.stayAwake) {
        m_environment.stayAwake(awake);
    }
}

void COrvControlSheet::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_savedNoteTimer.timerId()) {
        m_savedNoteTimer.stop();
        m_savedNote->hide();
        return;
    }
    QMainWindow::timerEvent(event);
}

void COrvControlSheet::NoteSaved(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    ShowNote(QString::fromStdString(FormatResource(string_id::kSavedNote, {name})));
    UpdateTitle();
}

void COrvControlSheet::ShowNote(const QString& text)
{
    m_savedNote->setText(text);
    m_savedNote->adjustSize();
    m_savedNote->move(std::max(0, centralWidget()->width() - m_savedNote->width() - 4), 2);
    m_savedNote->raise();
    m_savedNote->show();
    m_savedNoteTimer.start(kSavedNoteMs, this);
}

void COrvControlSheet::Export()
{
    Survey* survey = CurrentSurvey();
    if (survey == nullptr) {
        return;
    }
    const ExportSource source = SourceOf(*survey);
    CExportDialog dialog(m_core.Config(), source.IsTrack(), this);
    if (m_lastExport) {
        dialog.Select(*m_lastExport);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const ExportChoice choice = dialog.Choice();
    m_lastExport = std::make_unique<ExportChoice>(choice);
    const std::string description = FormatDescription(choice.format);
    const std::string extension = FormatExtension(choice.format);
    const auto path = m_session->ChooseExportFile(
        std::string(ResourceString(string_id::kExportTitle)),
        description + "|*" + extension + "|All Files (*.*)|*.*||", extension);
    if (!path) {
        return;
    }
    Prompt& prompt = m_core.ProgramPrompt();
    std::string error;
    StationTable table;
    if (!CollectStations(m_core.Config(), SourceOf(*survey), {choice.unit, choice.frequency}, table,
                         error)) {
        prompt.Tell(FormatResource(string_id::kExportFailed, {error}), Title(), Icon::Warning);
        return;
    }
    ExportOptions options;
    options.format = choice.format;
    options.place.crs = choice.crs;
    ExportResult result;
    if (!RunExport(this, table, options, *path, result, error)) {
        prompt.Tell(FormatResource(string_id::kExportFailed, {error}), Title(), Icon::Warning);
        return;
    }
    const std::string name = std::filesystem::path(*path).filename().string();
    ShowNote(QString::fromStdString(
        IsRasterFormat(choice.format)
            ? FormatResource(string_id::kExportRasterDone,
                             {std::to_string(result.columns), std::to_string(result.rows), name})
            : FormatResource(string_id::kExportDone, {std::to_string(result.features), name})));
}

void COrvControlSheet::EndRun()
{
    hide();
    Q_EMIT RunFinished();
}

void COrvControlSheet::closeEvent(QCloseEvent* event)
{
    if (RunEnded()) {
        event->accept();
        return;
    }
    // The window's close button is the page's OK: the page stores its settings, then Close.
    event->ignore();
    if (CPropertyPageBase* page = ActivePage()) {
        page->OnOK();
    } else {
        m_session->Close();
    }
}

void COrvControlSheet::ScreenLayout(bool fullScreen)
{
    // The window system places the window; the handheld's offsets below its task bar have no
    // counterpart here. The menu bar stays, so the Session menu is always at hand.
    if (fullScreen == m_fullScreen) {
        return;
    }
    m_fullScreen = fullScreen;
    if (fullScreen) {
        m_wasMaximised = isMaximized();
        showFullScreen();
    } else if (m_wasMaximised) {
        showMaximized();
    } else {
        showNormal();
    }
}

void COrvControlSheet::RemoveAllPages()
{
    if (CPropertyPageBase* page = ActivePage()) {
        page->OnKillActive();
    }
    const QSignalBlocker block(m_tabs);
    while (m_tabs->count() > 0) {
        m_tabs->removeTab(m_tabs->count() - 1);
    }
    for (QWidget* frame : m_frames) {
        if (frame != nullptr) {
            frame->hide();
        }
    }
    m_shown.clear();
    m_activeIndex = -1;
}

void COrvControlSheet::AddPage(PageId id)
{
    const QSignalBlocker block(m_tabs);
    CPropertyPageBase* page = Page(id);
    m_tabs->addTab(m_frames[static_cast<size_t>(id)], page->Title());
    m_shown.push_back(id);
    if (m_activeIndex >= 0) {
        m_tabs->setCurrentIndex(m_activeIndex);
    }
}

void COrvControlSheet::SelectPage(int index)
{
    if (index < 0 || index >= static_cast<int>(m_shown.size())) {
        return;
    }
    {
        const QSignalBlocker block(m_tabs);
        m_tabs->setCurrentIndex(index);
    }
    m_activeIndex = index;
    ActivePage()->OnSetActive();
}

bool COrvControlSheet::SetActivePage(int index)
{
    if (index < 0 || index >= static_cast<int>(m_shown.size())) {
        return false;
    }
    if (index == m_activeIndex) {
        return true;
    }
    if (CPropertyPageBase* page = ActivePage(); page != nullptr && !page->OnKillActive()) {
        const QSignalBlocker block(m_tabs);
        m_tabs->setCurrentIndex(m_activeIndex);
        return false;
    }
    SelectPage(index);
    return true;
}

void COrvControlSheet::OnTabChanged(int index)
{
    // The tab bar has switched already; switch back and let the page decide.
    const int wanted = index;
    {
        const QSignalBlocker block(m_tabs);
        m_tabs->setCurrentIndex(m_activeIndex);
    }
    SetActivePage(wanted);
}

bool COrvControlSheet::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && !m_shutDown) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->window() == this) {
            return HandleKey(static_cast<QKeyEvent*>(event));
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool COrvControlSheet::HandleKey(QKeyEvent* event)
{
    CPropertyPageBase* page = ActivePage();
    const bool mainActive = page != nullptr && IsMainPage(page->Id());
    bool consumed = false;
    for (const KeyInput& input : TranslateKeyEvent(*event)) {
        const KeyDecision decision = RouteKey(input, mainActive);
        switch (decision.route) {
            case KeyRoute::PreviousPage:
                SendToSheet(message::kPreviousPage, 0, 0);
                consumed = true;
                break;
            case KeyRoute::NextPage:
                SendToSheet(message::kNextPage, 0, 0);
                consumed = true;
                break;
            case KeyRoute::ToMainPage:
                // The page may have changed while the key was handled.
                if (CPropertyPageBase* current = ActivePage(); current != nullptr) {
                    current->DeliverHandheldKey(decision.code, decision.repeat);
                }
                consumed = true;
                break;
            case KeyRoute::Consumed:
                consumed = true;
                break;
            case KeyRoute::Normal:
                break;
        }
        // A key that switched pages is done: its character belongs to no page.
        if (decision.route == KeyRoute::PreviousPage || decision.route == KeyRoute::NextPage) {
            break;
        }
    }
    if (consumed) {
        event->accept();
    }
    return consumed;
}

void COrvControlSheet::ShowKeys()
{
    QString rows;
    int lastDescription = 0;
    QStringList names;
    const auto flush = [&] {
        if (lastDescription != 0) {
            rows += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>")
                        .arg(names.join(QStringLiteral(", ")).toHtmlEscaped(),
                             ResourceText(lastDescription).toHtmlEscaped());
        }
        names.clear();
    };
    for (const KeyBinding& binding : HandheldKeyBindings()) {
        if (binding.descriptionId != lastDescription) {
            flush();
            lastDescription = binding.descriptionId;
        }
        names << DesktopKeyName(binding.key);
    }
    flush();
    const QString html =
        QStringLiteral("<p>%1</p><table cellspacing=\"6\">%2</table><p>%3</p><p>%4</p>")
            .arg(ResourceText(string_id::kKeysIntroduction).toHtmlEscaped(), rows,
                 ResourceText(string_id::kKeysLongPress).toHtmlEscaped(),
                 ResourceText(string_id::kKeyFullScreen).toHtmlEscaped());
    QMessageBox box(QMessageBox::Information, ResourceText(string_id::kKeysCaption), html,
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::RichText);
    box.exec();
}

void COrvControlSheet::ShowAbout()
{
    QMessageBox::about(
        this, ResourceText(string_id::kAppTitle),
        QString::fromStdString(FormatResource(string_id::kAboutText, {ORV_VERSION})));
}

}  // namespace orv
