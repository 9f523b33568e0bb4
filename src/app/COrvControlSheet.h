#pragma once
// The program's only window: a sheet of pages whose set changes with the state of the work
// (SheetState.h), the Session menu (New, Open, Save, Close) with the save prompt, the program's
// messages 9025..9029 and 9036, the keys (KeyRouter.h), and the full-screen layout of the Main
// pages.
//
// The sheet owns its seven pages, built at construction in the order of PageId and destroyed in
// reverse, and at most one survey. Its construction creates the InstrumentDevice; its
// destruction is the program's shutdown:
//   1. the survey is destroyed;
//   2. the InstrumentDevice is released (the ports close, the radio is put back);
//   3. the configuration is saved and released, which then writes the calibration file when a
//      calibration changed (the settings are written first); a failed write is told;
//   4. the pages are destroyed, last built first.

#include "ui/CPropertyPageBase.h"
#include "session/SavePrompt.h"
#include "ui/SheetState.h"
#include "ui/QtMessagePoster.h"

#include <QMainWindow>

#include <array>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QTabWidget;

namespace orv {

class FileChooser;
class GpsMatcher;
class NmeaParser;
class PowerStatus;
class Prompt;
class Survey;

struct SheetEnvironment
{
    Prompt* prompt = nullptr;      // required
    FileChooser* files = nullptr;  // required
    // The program-wide GPS objects, reset when a GPS-track session begins; may be null.
    NmeaParser* nmeaParser = nullptr;
    GpsMatcher* gpsMatcher = nullptr;
    // The handheld's battery for the Main pages; may be null (no battery text).
    PowerStatus* power = nullptr;
    // Where the journals of unsaved surveys go; empty: no journal.
    std::string dataDirectory;
};

class COrvControlSheet final : public QMainWindow, public SheetLink
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
    void OfferRecovery();

    // The pages shown, in tab order, and the active one (-1: none).
    std::vector<PageId> Pages() const { return m_shown; }
    int ActiveIndex() const { return m_activeIndex; }
    CPropertyPageBase* ActivePage() const;
    CPropertyPageBase* Page(PageId id) const { return m_pages[static_cast<size_t>(id)]; }
    QTabWidget* Tabs() const { return m_tabs; }
    Survey* CurrentSurvey() const { return m_currentSurvey.get(); }
    // True once Close went through: the modal run is over.
    bool RunEnded() const { return m_runEnded; }
    bool FullScreenLayout() const { return m_fullScreen; }

    // Makes the page at `index` active; false when the active page refused to let go.
    bool SetActivePage(int index);

Q_SIGNALS:
    // Close went through; the program quits its event loop.
    void RunFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void customEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildPages();
    void BuildMenus();
    void UpdateCommands();

    SavePromptResult AskToSave(int textId);
    void OnNew();
    void OnOpen();
    void OnSave();
    void OnClose();
    void ShowKeys();
    void ShowAbout();

    void Reset();
    void BeginSession();
    void ScreenLayout(bool fullScreen);

    void RemoveAllPages();
    void AddPage(PageId id);
    void SelectPage(int index);
    void OnTabChanged(int index);
    // Destroys the survey. The operator chose to let it go (New, Open, Close after the save
    // prompt), so its journal goes too, unless `keepJournal`.
    void DropSurvey(bool keepJournal = false);
    void AdoptSurvey(std::unique_ptr<Survey> survey);
    bool HandleKey(QKeyEvent* event);
    void Shutdown();

    SheetEnvironment m_environment;
    std::unique_ptr<Survey> m_currentSurvey;
    QTabWidget* m_tabs = nullptr;
    std::array<CPropertyPageBase*, kSheetPageCount> m_pages{};
    std::vector<PageId> m_shown;
    int m_activeIndex = -1;
    QtMessagePoster m_poster;
    QAction* m_saveAction = nullptr;
    QAction* m_openAction = nullptr;
    bool m_runEnded = false;
    bool m_fullScreen = false;
    bool m_wasMaximised = false;
    bool m_shutDown = false;
};

}  // namespace orv
