#include "session/SessionController.h"

#include "base/Prompt.h"
#include "config/Configuration.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"
#include "instrument/InstrumentDevice.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "session/FileChooser.h"
#include "survey/JournalRecovery.h"
#include "survey/SessionFile.h"
#include "survey/StationLog.h"
#include "survey/Survey.h"
#include "survey/TrackSurvey.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <new>

namespace orv {

namespace {

std::string Title() { return std::string(ResourceString(string_id::kAppTitle)); }

}  // namespace

SessionController::SessionController(const SessionParts& parts, SessionWindow& window)
    : m_parts(parts), m_window(window)
{}

SessionController::~SessionController() { ReleaseSurvey(); }

void SessionController::Tell(const std::string& text)
{
    m_parts.prompt.Tell(text, Title(), Icon::Error);
}

SavePromptResult SessionController::AskToSave(int textId)
{
    SavePromptSubject subject;
    subject.haveSurvey = m_survey != nullptr;
    subject.modified = [this] { return m_survey && m_survey->Modified() != 0; };
    subject.save = [this] { Save(); };
    return RunSavePrompt(m_parts.prompt, textId, subject);
}

void SessionController::New()
{
    m_window.EndExchanges();
    if (AskToSave(string_id::kSaveChanges) == SavePromptResult::Stop) {
        return;
    }
    m_window.DeactivatePage();
    Reset();
    m_window.NormalLayout();
}

void SessionController::Reset()
{
    DropSurvey();
    m_window.ShowSetup();
}

void SessionController::Open()
{
    m_window.EndExchanges();
    if (AskToSave(string_id::kSaveChanges) == SavePromptResult::Stop) {
        return;
    }
    FileDialogOptions options;
    options.caption = ResourceString(string_id::kOpenSessionCaption);
    options.defaultExtension = ResourceString(string_id::kSessionExtension);
    options.initialName = ResourceString(string_id::kSessionInitialName);
    options.filter = ResourceString(string_id::kSessionFilter);
    options.mustExist = true;
    options.folder = DialogFolder();
    const auto path = m_parts.files.ChooseOpen(options);
    if (!path) {
        return;
    }
    Load(*path);
}

void SessionController::OpenFile(const std::string& path)
{
    m_window.EndExchanges();
    if (AskToSave(string_id::kSaveChanges) == SavePromptResult::Stop) {
        return;
    }
    Load(path);
}

void SessionController::Load(const std::string& path)
{
    // A file that cannot be opened keeps the session as it is.
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);
    } else {
        const int cause = FileErrorCause(errno);
        Tell(std::string(kCouldNotOpenText) + FileErrorText(cause, path));
        return;
    }
    RememberFolder(path);

    m_window.DeactivatePage();
    DropSurvey();
    std::string error, detail;
    std::unique_ptr<Survey> survey = OpenSession(path, m_parts.config, error, &detail);
    m_window.ActivatePage();
    if (!survey) {
        Tell(detail.empty() ? error
                            : FormatResource(string_id::kWrongFormatDetail, {error, detail}));
        Reset();
        return;
    }
    // The stations' times beside the file; a damaged log only costs the times.
    const std::string warning = LoadStationLog(*survey);
    AdoptSurvey(std::move(survey));
    BeginSession();
    if (!warning.empty()) {
        Tell(warning);
    }
}

bool SessionController::Save()
{
    if (!m_survey) {
        return false;
    }
    if (!m_survey->FilePath().empty()) {
        return WriteTo(m_survey->FilePath());
    }
    return SaveAs();
}

bool SessionController::SaveAs()
{
    if (!m_survey) {
        return false;
    }
    FileDialogOptions options;
    options.caption = ResourceString(string_id::kSaveSessionCaption);
    options.defaultExtension = ResourceString(string_id::kSessionExtension);
    options.initialName =
        m_survey->FilePath().empty() ? AutomaticFileName(std::time(nullptr)) : m_survey->FilePath();
    options.filter = ResourceString(string_id::kSessionFilter);
    options.confirmOverwrite = true;
    options.folder = DialogFolder();
    const auto path = m_parts.files.ChooseSave(options);
    if (!path) {
        return false;
    }
    RememberFolder(*path);
    return WriteTo(*path);
}

std::optional<std::string> SessionController::ChooseExportFile(const std::string& caption,
                                                               const std::string& filter,
                                                               const std::string& extension)
{
    if (!m_survey) {
        return std::nullopt;
    }
    std::filesystem::path name = m_survey->FilePath().empty()
                                     ? std::filesystem::path(AutomaticFileName(std::time(nullptr)))
                                     : std::filesystem::path(m_survey->FilePath()).filename();
    name.replace_extension(extension);
    FileDialogOptions options;
    options.caption = caption;
    options.defaultExtension =
        extension.empty() || extension[0] != '.' ? extension : extension.substr(1);
    options.initialName = name.string();
    options.filter = filter;
    options.confirmOverwrite = true;
    options.folder = DialogFolder();
    if (options.folder.empty() && !m_survey->FilePath().empty()) {
        options.folder = std::filesystem::path(m_survey->FilePath()).parent_path().string();
    }
    auto path = m_parts.files.ChooseSave(options);
    if (path) {
        RememberFolder(*path);
    }
    return path;
}

bool SessionController::WriteTo(const std::string& path)
{
    std::string error;
    if (!SaveSession(*m_survey, path, error)) {
        Tell(FormatResource(string_id::kSaveFailed, {error}));
        return false;
    }
    m_survey->PrepareJournalAhead();
    m_window.NoteSaved(path);
    return true;
}

std::string SessionController::DialogFolder() const
{
    const std::string& folder = m_parts.config.LastFolder;
    std::error_code ec;
    return !folder.empty() && std::filesystem::is_directory(folder, ec) ? folder : std::string();
}

void SessionController::RememberFolder(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::path parent =
        std::filesystem::absolute(std::filesystem::path(path), ec).parent_path();
    if (!ec && !parent.empty()) {
        m_parts.config.LastFolder = parent.string();
    }
}

void SessionController::Close()
{
    m_window.EndExchanges();
    if (AskToSave(string_id::kSaveChanges) == SavePromptResult::Stop) {
        return;
    }
    m_window.DeactivatePage();
    DropSurvey();
    m_runEnded = true;
    m_window.EndRun();
}

void SessionController::MeasurementFailed()
{
    // The session goes on whatever the answer.
    AskToSave(string_id::kFailedToMeasureSaveChanges);
}

void SessionController::BeginSession()
{
    Configuration& config = m_parts.config;
    const SurveyKind kind = SurveyKindFor(config.WorkType);
    if (kind != SurveyKind::None && !m_survey) {
        std::string error;
        std::unique_ptr<Survey> survey;
        try {
            survey = CreateSurvey(config, error);
        } catch (const std::bad_alloc&) {
            survey.reset();
        }
        if (!survey) {
            m_window.ShowSession(nullptr);
            Tell(std::string(ResourceString(string_id::kInsufficientMemory)));
            New();
            return;
        }
        AdoptSurvey(std::move(survey));
    }
    if (kind == SurveyKind::None) {
        m_window.ShowSession(nullptr);
        return;
    }
    if (kind == SurveyKind::Track) {
        // A new GPS session starts from no fix: fixes of an earlier session never position its
        // stations.
        if (m_parts.parser != nullptr) {
            m_parts.parser->Reset();
        }
        if (m_parts.matcher != nullptr) {
            m_parts.matcher->Reset();
        }
        if (m_survey->IsTrack()) {
            static_cast<TrackSurvey&>(*m_survey).ForgetCurrentPosition();
        }
    }
    m_window.ShowSession(m_survey.get());
    (void)m_parts.device.SetGpsWanted(kind == SurveyKind::Track);
}

void SessionController::DropSurvey(bool keepJournal)
{
    m_window.SurveyChanged(nullptr);
    if (!m_survey) {
        return;
    }
    if (!keepJournal) {
        std::string error;
        if (!m_survey->DiscardJournal(error)) {
            std::fprintf(stderr, "orvcontrol: %s\n", error.c_str());
        }
    }
    m_survey.reset();
    m_window.SurveyChanged(nullptr);
}

void SessionController::ReleaseSurvey()
{
    if (m_survey) {
        DropSurvey(true);
    }
}

void SessionController::AdoptSurvey(std::unique_ptr<Survey> survey)
{
    m_survey = std::move(survey);
    if (m_survey && !m_parts.dataDirectory.empty() && !m_survey->JournalEnabled()) {
        m_survey->EnableJournal(m_parts.dataDirectory);
    }
    if (m_survey) {
        // A survey read from its file: the first station then does not wait for the journal.
        m_survey->PrepareJournalAhead();
    }
    m_window.SurveyChanged(m_survey.get());
}

void SessionController::OfferRecovery()
{
    if (m_parts.dataDirectory.empty()) {
        return;
    }
    Prompt& prompt = m_parts.prompt;
    for (const OrphanedJournal& journal : FindOrphanedJournals(m_parts.dataDirectory)) {
        if (journal.damaged || journal.measurements <= 0 || m_survey) {
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
                if (!DiscardOrphanedJournal(journal.journalPath, m_parts.dataDirectory, error)) {
                    Tell(error);
                }
            }
            continue;
        }
        if (answer != Answer::Yes) {
            continue;
        }
        m_window.DeactivatePage();
        std::string error;
        std::unique_ptr<Survey> recovered =
            RecoverJournal(journal.journalPath, m_parts.dataDirectory, m_parts.config, error);
        m_window.ActivatePage();
        if (!recovered) {
            Tell(FormatResource(string_id::kRecoverFailed, {error}));
            continue;
        }
        AdoptSurvey(std::move(recovered));
        BeginSession();
    }
}

}  // namespace orv
