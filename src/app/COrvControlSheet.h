#pragma once
// The program's only window: a sheet of pages whose set changes with the state of the work
// (SheetState.h), the Session menu (New, Open, Save, Close), the program's messages 9025..9029
// and 9036, the keys (KeyRouter.h), and the full-screen layout of the Main pages. The session
// commands themselves are the SessionController's (session/), which owns the survey; the sheet
// shows the pages for it.
//
// The sheet owns its seven pages, built at construction in the order of PageId and destroyed in
// reverse. Its destruction is the program's shutdown:
//   1. the survey is destroyed (its journal kept: only New, Open and Close let it go);
//   2. the InstrumentDevice is released (the ports close, the radio is put back);
//   3. the configuration is saved and released, which then writes the calibration file when a
//      calibration changed (the settings are written first); a failed write is told;
//   4. the pages are destroyed, last built first.

#include "session/SessionController.h"
#include "session/StatusStrip.h"
#include "ui/CPropertyPageBase.h"
#include "ui/QtMessagePoster.h"
#include "ui/SheetState.h"

#include <QBasicTimer>
#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QScrollArea;
class QTabWidget;

namespace orv {

class CMainPage;
class CStatusStrip;
class FileChooser;
class PowerStatus;
class ProgramCore;
class Survey;
struct ExportChoice;

struct SheetEnvironment
{
    // The program's objects: configuration, device, GPS objects, prompt. Required.
    ProgramCore* core = nullptr;
    FileChooser* files = nullptr;  // required
    // The handheld's battery for the Main pages; may be null (no battery text).
    PowerStatus* power = nullptr;
    // Where the journals of unsaved surveys go; empty: no journal.
    std::string dataDirectory;
    // Keeps the machine from blanking and suspending while a session is open (true) and lets
    // it go (false); may be empty.
    std::function<void(bool)> stayAwake;
};

class COrvControlSheet final : public QMainWindow, public SheetLink, private SessionWindow
{
    Q_OBJECT

public:
    explicit COrvControlSheet(const SheetEnvironment& environment, QWidget* parent = nullptr);
    ~COrvControlSheet() override;

    // Handles one of the program's messages at once (SheetLink).
    void SendToSheet(uint32_t message, uint64_t wParam, int64_t lParam) override;
    // Runs a menu command (32824 New, 32780 Open, 57603 Save, 32784 Close, and the Help
    // commands).
    void SendCommandToSheet(int command) override;
    // Queued delivery of the same messages, safe from any thread.
    MessagePoster& Poster() { return m_poster; }

    // Offers a survey left unsaved by an earlier run (a journal in the data directory) for
    // recovery; the program calls it once the window is shown.
    void OfferRecovery() { m_session->OfferRecovery(); }

    // The pages shown, in tab order, and the active one (-1: none).
    std::vector<PageId> Pages() const { return m_shown; }
    int ActiveIndex() const { return m_activeIndex; }
    CPropertyPageBase* ActivePage() const;
    CPropertyPageBase* Page(PageId id) const { return m_pages[static_cast<size_t>(id)]; }
    QTabWidget* Tabs() const { return m_tabs; }
    Survey* CurrentSurvey() const { return m_session->CurrentSurvey(); }
    SessionController& Session() { return *m_session; }
    // True once Close went through: the modal run is over.
    bool RunEnded() const { return m_session->RunEnded(); }
    bool FullScreenLayout() const { return m_fullScreen; }
    CStatusStrip* Strip() const { return m_strip; }
    // What the status strip shows now.
    StripInput GatherStrip();

    // Makes the page at `index` active; false when the active page refused to let go.
    bool SetActivePage(int index);

Q_SIGNALS:
    // Close went through; the program quits its event loop.
    void RunFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void customEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    // SessionWindow: what the session commands ask of the window.
    void EndExchanges() override;
    void DeactivatePage() override;
    void ActivatePage() override;
    void SurveyChanged(Survey* survey) override;
    void ShowSetup() override;
    void NormalLayout() override { ScreenLayout(false); }
    void ShowSession(Survey* survey) override;
    void EndRun() override;
    void NoteSaved(const std::string& path) override;

    // The Main page of the session (the one given the survey), or none.
    CMainPage* SessionMainPage() const;
    GpsStripInput GpsState();
    std::optional<double> FixAgeSeconds();
    void UpdateTitle();
    void StayAwake(bool awake);

    void BuildPages();
    void BuildMenus();
    void UpdateCommands();

    void ShowKeys();
    void ShowAbout();
    // Session > Export...: the choices, the file, then the writing on a worker.
    void Export();
    // A short note at the top right of the pages that goes by itself ("Saved ...").
    void ShowNote(const QString& text);

    void ScreenLayout(bool fullScreen);

    void RemoveAllPages();
    void AddPage(PageId id);
    void SelectPage(int index);
    void OnTabChanged(int index);
    bool HandleKey(QKeyEvent* event);
    void Shutdown();

    SheetEnvironment m_environment;
    ProgramCore& m_core;
    QTabWidget* m_tabs = nullptr;
    CStatusStrip* m_strip = nullptr;
    // The strip's room: its wrapped text on a wide window; one line that scrolls sideways
    // (swiped) on a narrow one, where wrapping would leave the Main page no room.
    QScrollArea* m_stripRoom = nullptr;
    void FitStrip();
    BatteryAlarm m_batteries;
    int m_handheldPercent = -1;
    uint32_t m_powerReadTick = 0;
    std::array<CPropertyPageBase*, kSheetPageCount> m_pages{};
    // What the tabs hold for each page: the page, or a scroll area around it.
    std::array<QWidget*, kSheetPageCount> m_frames{};
    std::vector<PageId> m_shown;
    int m_activeIndex = -1;
    QtMessagePoster m_poster;
    std::unique_ptr<SessionController> m_session;
    QAction* m_saveAction = nullptr;
    QAction* m_saveAsAction = nullptr;
    QAction* m_exportAction = nullptr;
    // The last export's choices, offered again by the next.
    std::unique_ptr<ExportChoice> m_lastExport;
    QLabel* m_savedNote = nullptr;
    QBasicTimer m_savedNoteTimer;
    static constexpr int kSavedNoteMs = 2500;
    QAction* m_openAction = nullptr;
    bool m_fullScreen = false;
    bool m_wasMaximised = false;
    bool m_shutDown = false;
};

}  // namespace orv
