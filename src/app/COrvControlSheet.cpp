#include "app/COrvControlSheet.h"

#include "ui/KeyBindings.h"
#include "ui/KeyRouter.h"
#include "app/QtKeys.h"
#include "base/MessagePoster.h"
#include "base/Prompt.h"
#include "config/Configuration.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"
#include "instrument/InstrumentDevice.h"
#include "resources/Menus.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "survey/JournalRecovery.h"
#include "survey/SessionFile.h"
#include "survey/Survey.h"
#include "ui/FileChooser.h"
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
#include <QMenuBar>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QTabWidget>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <new>

#ifndef ORV_VERSION
#define ORV_VERSION "0"
#endif

namespace orv {

namespace {

QString Text(int id) { return QString::fromUtf8(ResourceString(id)); }

std::string Title() { return std::string(ResourceString(string_id::kAppTitle)); }

// An exchange with the instrument under way ends before the session may go: a reply already
// complete is stored first, so the save prompt asks about it and the saved file holds it.
void EndExchanges(const COrvControlSheet& sheet)
{
    for (const PageId id : {PageId::MainGrid, PageId::MainTrack}) {
        static_cast<CMainPagePlaceholder*>(sheet.Page(id))->EndExchange();
    }
}

}  // namespace

COrvControlSheet::COrvControlSheet(const SheetEnvironment& environment, QWidget* parent)
    : QMainWindow(parent), m_environment(environment), m_poster(this)
{
    setWindowTitle(Text(string_id::kAppTitle));
    setObjectName(QStringLiteral("COrvControlSheet"));
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("sheetTabs"));
    m_tabs->setDocumentMode(true);
    setCentralWidget(m_tabs);
    connect(m_tabs, &QTabWidget::currentChanged, this, &COrvControlSheet::OnTabChanged);

    BuildPages();
    BuildMenus();
    GetInstrumentDevice();
    qApp->installEventFilter(this);
    Reset();
    resize(480, 560);
}

COrvControlSheet::~COrvControlSheet() { Shutdown(); }

void COrvControlSheet::Shutdown()
{
    if (m_shutDown) {
        return;
    }
    m_shutDown = true;
    qApp->removeEventFilter(this);
    disconnect(m_tabs, nullptr, this, nullptr);

    // An exchange under way ends first, then the link and the survey may go.
    EndExchanges(*this);
    // Close has asked already; the journal of a survey that was not let go through Close (the
    // window system ended the program) is kept for recovery.
    m_currentSurvey.reset();
    for (CPropertyPageBase* page : m_pages) {
        if (auto* main = qobject_cast<CMainPagePlaceholder*>(page)) {
            main->SetSurvey(nullptr);
        }
    }
    ReleaseInstrumentDevice();
    std::string error;
    if (!ReleaseConfiguration(error)) {
        std::fprintf(stderr, "orvcontrol: %s\n", error.c_str());
        m_environment.prompt->Tell(FormatResource(string_id::kSettingsNotSaved, {error}), Title(),
                                   Icon::Error);
    }
    {
        const QSignalBlocker block(m_tabs);
        for (auto it = m_pages.rbegin(); it != m_pages.rend(); ++it) {
            delete *it;
            *it = nullptr;
        }
    }
    m_shown.clear();
    m_activeIndex = -1;
}

void COrvControlSheet::BuildPages()
{
    Prompt& prompt = *m_environment.prompt;
    const auto add = [this](PageId id, CPropertyPageBase* page) {
        page->hide();
        m_pages[static_cast<size_t>(id)] = page;
    };
    add(PageId::StaticSettings, new CPropertyPageS1(*this, prompt, *m_environment.files, m_tabs));
    add(PageId::OtherSettings,
        new CPropertyPageS2(
            *this, prompt, [] { GetInstrumentDevice().CloseLink(); }, m_tabs));
    add(PageId::Settings, new CPropertyPageW1(*this, prompt, m_tabs));
    add(PageId::ViewSettings, new CPropertyPageW2(*this, prompt, m_tabs));
    add(PageId::MainGrid, new CPropertyPageView1(*this, prompt, m_tabs));
    add(PageId::MainTrack, new CPropertyPageView2(*this, prompt, m_tabs));
    add(PageId::Gps, new CPropertyPageGPSView(*this, prompt, m_tabs));
    auto* grid = static_cast<CPropertyPageView1*>(Page(PageId::MainGrid));
    auto* track = static_cast<CPropertyPageView2*>(Page(PageId::MainTrack));
    grid->SetPowerStatus(m_environment.power);
    track->SetPowerStatus(m_environment.power);
    track->SetGpsMatcher(m_environment.gpsMatcher);
    static_cast<CPropertyPageGPSView*>(Page(PageId::Gps))->SetParser(m_environment.nmeaParser);
}

void COrvControlSheet::BuildMenus()
{
    for (const MenuResource* resource : {&SessionMenu(), &HelpMenu()}) {
        QMenu* menu = menuBar()->addMenu(Text(resource->titleId));
        menu->setObjectName(QStringLiteral("menu%1").arg(resource->id));
        for (const MenuItem& item : resource->items) {
            if (item.command == 0) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(Text(item.textId));
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
        m_saveAction->setEnabled(m_currentSurvey != nullptr);
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
            BeginSession();
            break;
        case message::kResetToSetup:
            Reset();
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
            // The session goes on whatever the answer.
            AskToSave(string_id::kFailedToMeasureSaveChanges);
            break;
        default:
            break;
    }
}

void COrvControlSheet::SendCommandToSheet(int command)
{
    switch (command) {
        case command_id::kNew:
            OnNew();
            break;
        case command_id::kOpen:
            OnOpen();
            break;
        case command_id::kSave:
            OnSave();
            break;
        case command_id::kClose:
            OnClose();
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
        const auto* m = static_cast<ProgramMessageEvent*>(event);
        SendToSheet(m->message, m->wParam, m->lParam);
        return;
    }
    QMainWindow::customEvent(event);
}

SavePromptResult COrvControlSheet::AskToSave(int textId)
{
    SavePromptSubject subject;
    subject.haveSurvey = m_currentSurvey != nullptr;
    subject.modified = [this] { return m_currentSurvey && m_currentSurvey->Modified() != 0; };
    subject.save = [this] { OnSave(); };
    return RunSavePrompt(*m_environment.prompt, textId, subject);
}

void COrvControlSheet::OnNew()
{
    EndExchanges(*this);
    if (AskToSave(string_id::kSaveChanges) == SavePromptResult::Stop) {
        return;
    }
    if (CPropertyPageBase* page = ActivePage()) {
        page->OnKillActive();
    }
    Reset();
    ScreenLayout(false);
}

void COrvControlSheet::OnOpen()
{
    EndExchanges(*this);
    if (AskToSave(string_id::kSaveChanges) == SavePromptResult::Stop) {
        return;
    }
    FileDialogOptions options;
    options.caption = ResourceString(string_id::kOpenSessionCaption);
    options.defaultExtension = ResourceString(string_id::kSessionExtension);
    options.initialName = ResourceString(string_id::kSessionInitialName);
    options.filter = ResourceString(string_id::kSessionFilter);
    options.mustExist = true;
    const auto path = m_environment.files->ChooseOpen(options);
    if (!path) {
        return;
    }
    // A file that cannot be opened keeps the session as it is.
    if (std::FILE* f = std::fopen(path->c_str(), "rb")) {
        std::fclose(f);
    } else {
        const int cause = FileErrorCause(errno);
        m_environment.prompt->Tell(std::string(kCouldNotOpenText) + FileErrorText(cause, *path),
                                   Title(), Icon::Error);
        return;
    }

    CPropertyPageBase* page = ActivePage();
    if (page != nullptr) {
        page->OnKillActive();
    }
    DropSurvey();
    std::string error, detail;
    std::unique_ptr<Survey> survey =
        OpenSession(*path, GetConfiguration(), error,
                    GpsLink{m_environment.nmeaParser, m_environment.gpsMatcher}, &detail);
    if (page != nullptr) {
        page->OnSetActive();
    }
    if (!survey) {
        const std::string text =
            detail.empty() ? error : FormatResource(string_id::kWrongFormatDetail, {error, detail});
        m_environment.prompt->Tell(text, Title(), Icon::Error);
        Reset();
        return;
    }
    AdoptSurvey(std::move(survey));
    BeginSession();
}

void COrvControlSheet::OnSave()
{
    if (!m_currentSurvey) {
        return;
    }
    FileDialogOptions options;
    options.caption = ResourceString(string_id::kSaveSessionCaption);
    options.defaultExtension = ResourceString(string_id::kSessionExtension);
    options.initialName = m_currentSurvey->FilePath().empty()
                              ? AutomaticFileName(std::time(nullptr))
                              : m_currentSurvey->FilePath();
    options.filter = ResourceString(string_id::kSessionFilter);
    options.confirmOverwrite = true;
    const auto path = m_environment.files->ChooseSave(options);
    if (!path) {
        return;
    }
    std::string error;
    if (!SaveSession(*m_currentSurvey, *path, error)) {
        m_environment.prompt->Tell(FormatResource(string_id::kSaveFailed, {error}), Title(),
                                   Icon::Error);
    }
}

void COrvControlSheet::OnClose()
{
    EndExchanges(*this);
    if (AskToSave(string_id::kSaveChanges) == SavePromptResult::Stop) {
        return;
    }
    if (CPropertyPageBase* page = ActivePage()) {
        page->OnKillActive();
    }
    DropSurvey();
    m_runEnded = true;
    hide();
    Q_EMIT RunFinished();
}

void COrvControlSheet::closeEvent(QCloseEvent* event)
{
    if (m_runEnded) {
        event->accept();
        return;
    }
    // The window's close button is the page's OK: the page stores its settings, then Close.
    event->ignore();
    if (CPropertyPageBase* page = ActivePage()) {
        page->OnOK();
    } else {
        OnClose();
    }
}

void COrvControlSheet::Reset()
{
    RemoveAllPages();
    DropSurvey();
    AddPage(PageId::StaticSettings);
    AddPage(PageId::OtherSettings);
    SelectPage(0);
    UpdateCommands();
}

void COrvControlSheet::BeginSession()
{
    RemoveAllPages();
    AddPage(PageId::Settings);
    SelectPage(0);
    InstrumentDevice& device = GetInstrumentDevice();
    Configuration& config = GetConfiguration();
    const SurveyKind kind = SurveyKindFor(config.WorkType);
    if (kind != SurveyKind::None && !m_currentSurvey) {
        std::string error;
        std::unique_ptr<Survey> survey;
        try {
            survey = CreateSurvey(config, m_environment.gpsMatcher, error);
        } catch (const std::bad_alloc&) {
            survey.reset();
        }
        if (!survey) {
            m_environment.prompt->Tell(std::string(ResourceString(string_id::kInsufficientMemory)),
                                       Title(), Icon::Error);
            OnNew();
            return;
        }
        AdoptSurvey(std::move(survey));
    }
    if (kind == SurveyKind::Grid) {
        auto* main = static_cast<CMainPagePlaceholder*>(Page(PageId::MainGrid));
        main->ResetCursorState();
        main->SetSurvey(m_currentSurvey.get());
        AddPage(PageId::ViewSettings);
        AddPage(PageId::MainGrid);
        SetActivePage(2);
        device.SetGpsWanted(false);
    } else if (kind == SurveyKind::Track) {
        auto* main = static_cast<CMainPagePlaceholder*>(Page(PageId::MainTrack));
        main->ResetCursorState();
        main->SetSurvey(m_currentSurvey.get());
        AddPage(PageId::ViewSettings);
        AddPage(PageId::MainTrack);
        AddPage(PageId::Gps);
        SetActivePage(2);
        device.SetGpsWanted(true);
        if (m_environment.nmeaParser != nullptr) {
            m_environment.nmeaParser->Reset();
        }
        if (m_environment.gpsMatcher != nullptr) {
            m_environment.gpsMatcher->Reset();
        }
    }
    UpdateCommands();
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
    for (CPropertyPageBase* page : m_pages) {
        page->hide();
    }
    m_shown.clear();
    m_activeIndex = -1;
}

void COrvControlSheet::AddPage(PageId id)
{
    const QSignalBlocker block(m_tabs);
    CPropertyPageBase* page = Page(id);
    m_tabs->addTab(page, page->Title());
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

void COrvControlSheet::DropSurvey(bool keepJournal)
{
    for (const PageId id : {PageId::MainGrid, PageId::MainTrack}) {
        static_cast<CMainPagePlaceholder*>(Page(id))->SetSurvey(nullptr);
    }
    if (!m_currentSurvey) {
        return;
    }
    if (!keepJournal) {
        std::string error;
        if (!m_currentSurvey->DiscardJournal(error)) {
            std::fprintf(stderr, "orvcontrol: %s\n", error.c_str());
        }
    }
    m_currentSurvey.reset();
    UpdateCommands();
}

void COrvControlSheet::AdoptSurvey(std::unique_ptr<Survey> survey)
{
    m_currentSurvey = std::move(survey);
    if (m_currentSurvey && !m_environment.dataDirectory.empty() &&
        !m_currentSurvey->JournalEnabled()) {
        m_currentSurvey->EnableJournal(m_environment.dataDirectory);
    }
    UpdateCommands();
}

void COrvControlSheet::OfferRecovery()
{
    if (m_environment.dataDirectory.empty()) {
        return;
    }
    Prompt& prompt = *m_environment.prompt;
    for (const OrphanedJournal& journal : FindOrphanedJournals(m_environment.dataDirectory)) {
        if (journal.damaged || journal.measurements <= 0 || m_currentSurvey) {
            continue;
        }
        const std::string count = std::to_string(journal.measurements);
        const std::string survey =
            journal.sessionPath.empty()
                ? std::string(ResourceString(string_id::kRecoverUnsavedSurvey))
                : journal.sessionPath;
        const Answer answer =
            prompt.Ask(FormatResource(string_id::kRecoverQuestion, {count, survey}),
                       std::string(ResourceString(string_id::kRecoverCaption)),
                       Buttons::YesNoCancel, Icon::Question);
        if (answer == Answer::No) {
            if (prompt.Ask(FormatResource(string_id::kRecoverDiscardQuestion, {count}), Title(),
                           Buttons::YesNo, Icon::Warning) == Answer::Yes) {
                std::string error;
                if (!DiscardOrphanedJournal(journal.journalPath, m_environment.dataDirectory,
                                            error)) {
                    prompt.Tell(error, Title(), Icon::Error);
                }
            }
            continue;
        }
        if (answer != Answer::Yes) {
            continue;
        }
        CPropertyPageBase* page = ActivePage();
        if (page != nullptr) {
            page->OnKillActive();
        }
        std::string error;
        std::unique_ptr<Survey> recovered =
            RecoverJournal(journal.journalPath, m_environment.dataDirectory, GetConfiguration(),
                           GpsLink{m_environment.nmeaParser, m_environment.gpsMatcher}, error);
        if (page != nullptr) {
            page->OnSetActive();
        }
        if (!recovered) {
            prompt.Tell(FormatResource(string_id::kRecoverFailed, {error}), Title(), Icon::Error);
            continue;
        }
        AdoptSurvey(std::move(recovered));
        BeginSession();
    }
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
                             Text(lastDescription).toHtmlEscaped());
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
            .arg(Text(string_id::kKeysIntroduction).toHtmlEscaped(), rows,
                 Text(string_id::kKeysLongPress).toHtmlEscaped(),
                 Text(string_id::kKeyFullScreen).toHtmlEscaped());
    QMessageBox box(QMessageBox::Information, Text(string_id::kKeysCaption), html, QMessageBox::Ok,
                    this);
    box.setTextFormat(Qt::RichText);
    box.exec();
}

void COrvControlSheet::ShowAbout()
{
    QMessageBox::about(
        this, Text(string_id::kAppTitle),
        QString::fromStdString(FormatResource(string_id::kAboutText, {ORV_VERSION})));
}

}  // namespace orv
