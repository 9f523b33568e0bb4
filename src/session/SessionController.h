#pragma once
// The session commands of the window without a screen: New, Open, Save, Close, the save prompt
// before them, the prompt after a failed measurement (9036), the offer to recover a survey left
// unsaved by an earlier run, and the beginning of a session (9025) and the reset to the setup
// pages (9026). The controller owns the session's survey; the window shows pages and forwards
// the commands.
//
//   New     save prompt → the active page stores its settings → the survey and its journal go
//           → setup pages, normal layout
//   Open    save prompt → file dialog → the survey goes → the file is read → its session
//           begins, or "Error: wrong file format." and the setup pages
//   Save    to the survey's own file without a dialog once it has one, else as Save As (a
//           deliberate extension: the handheld asked every time)
//   Save As file dialog → the file written atomically; a failure is told and the survey stays
//           modified
//   Close   save prompt → the survey and its journal go → the run ends
//   9036    "Failed to measure. Save changes?"; the session goes on whatever the answer
//
// Everything here runs on the window's thread.

#include "session/SavePrompt.h"

#include <memory>
#include <optional>
#include <string>

namespace orv {

class Configuration;
class FileChooser;
class GpsMatcher;
class InstrumentDevice;
class NmeaParser;
class Prompt;
class Survey;

// What the commands ask of the window.
class SessionWindow
{
public:
    virtual ~SessionWindow() = default;
    // Ends an exchange with the instrument under way; a reply already complete is stored first.
    virtual void EndExchanges() = 0;
    // The active page loses activation (it stores its settings), and becomes active again.
    virtual void DeactivatePage() = 0;
    virtual void ActivatePage() = 0;
    // The survey the pages show is about to go (null) or has changed.
    virtual void SurveyChanged(Survey* survey) = 0;
    // The setup pages, Static settings active.
    virtual void ShowSetup() = 0;
    // The normal (not full-screen) layout.
    virtual void NormalLayout() = 0;
    // The session's pages for the survey (null: the work type has none, Settings only).
    virtual void ShowSession(Survey* survey) = 0;
    // Close went through: the run ends.
    virtual void EndRun() = 0;
    // A short note that the survey was saved to `path`.
    virtual void NoteSaved(const std::string& path) { (void)path; }
};

struct SessionParts
{
    Configuration& config;
    InstrumentDevice& device;
    Prompt& prompt;
    FileChooser& files;
    // Reset when a GPS-track session begins; may be null.
    NmeaParser* parser = nullptr;
    GpsMatcher* matcher = nullptr;
    // Where the journals of unsaved surveys go; empty: no journal.
    std::string dataDirectory;
};

class SessionController
{
public:
    SessionController(const SessionParts& parts, SessionWindow& window);
    // The survey goes, its journal kept: a survey not let go through Close (the window system
    // ended the program) stays recoverable.
    ~SessionController();
    SessionController(const SessionController&) = delete;
    SessionController& operator=(const SessionController&) = delete;

    void New();
    void Open();
    // Open without the dialog, the save prompt first: the file given on the command line or
    // by the desktop (a deliberate extension).
    void OpenFile(const std::string& path);
    // The Save command; true when the file was written.
    bool Save();
    // The Save As command: always asks where.
    bool SaveAs();
    void Close();
    // 9036: the save prompt of a failed measurement.
    void MeasurementFailed();
    // 9025: the session's pages, with a new survey for the work type when there is none.
    void BeginSession();
    // 9026: the survey and its journal go; the setup pages.
    void Reset();
    // Offers every survey an earlier run left unsaved; the program calls it once at start.
    void OfferRecovery();
    // The shutdown: the survey goes without asking, its journal kept.
    void ReleaseSurvey();

    // The save prompt with "Save changes?" (32779) or "Failed to measure. Save changes?".
    SavePromptResult AskToSave(int textId);

    [[nodiscard]] Survey* CurrentSurvey() const { return m_survey.get(); }
    // Asks for the file an export goes to: in the last folder used, named after the session's
    // file (or the automatic name) with `extension` (".gpkg"); `filter` in the dialog's form.
    // Nothing when there is no survey or the operator cancelled.
    [[nodiscard]] std::optional<std::string> ChooseExportFile(const std::string& caption,
                                                              const std::string& filter,
                                                              const std::string& extension);
    // True once Close went through.
    [[nodiscard]] bool RunEnded() const { return m_runEnded; }

private:
    void DropSurvey(bool keepJournal = false);
    bool WriteTo(const std::string& path);
    // Open's reading of a chosen file.
    void Load(const std::string& path);
    // The folder the dialogs open in, and the one to remember after a file was chosen.
    std::string DialogFolder() const;
    void RememberFolder(const std::string& path);
    void AdoptSurvey(std::unique_ptr<Survey> survey);
    void Tell(const std::string& text);

    SessionParts m_parts;
    SessionWindow& m_window;
    std::unique_ptr<Survey> m_survey;
    bool m_runEnded = false;
};

}  // namespace orv
