// orvtool recover: the measurement journals a crash, a kill or a flat battery left behind, without
// the window. It lists them, rebuilds a survey from one into a session file, or discards one, with
// the code the window's start-up offer uses.

#include "Command.h"
#include "Json.h"
#include "ToolPrompt.h"
#include "config/Configuration.h"
#include "config/ProgramPaths.h"
#include "platform/QtSettingsStore.h"
#include "survey/JournalRecovery.h"
#include "survey/MeasurementJournal.h"
#include "survey/SessionFile.h"
#include "survey/Survey.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace orv::tool {

// Named rather than anonymous: the commands are compiled together in batches.
namespace recover_command {

constexpr const char* kAbout =
    "Every stored measurement is journaled until its survey is saved. A survey cut short by a\n"
    "crash, a kill or a power cut leaves its journal behind, and the window offers it for\n"
    "recovery at its next start; this command does the same without a screen:\n"
    "  orvtool recover --list                      the journals left behind, as JSON\n"
    "  orvtool recover JOURNAL --out FILE.orv      the survey of a journal, saved; once the file\n"
    "                                              is safely on the disk the journal is removed\n"
    "  orvtool recover discard JOURNAL             drop a journal and its measurements\n"
    "Journals are looked for in the data folder (ORVCONTROL_DATA, or the program's own), which\n"
    "also points to the journals kept beside saved session files.\n";

struct Options
{
    bool list = false;
    std::string journal;
    std::string discard;
    std::string out;
    bool overwrite = false;
    std::string dataDirectory = DataDirectory();
    std::string settingsPath = SettingsFilePath();
    std::string calibrationPath = DefaultCalibrationPath();
};

std::string LocalTime(std::time_t t)
{
    if (t == 0) {
        return {};
    }
    std::tm local{};
    char text[32] = "";
    if (localtime_r(&t, &local) != nullptr) {
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    }
    return text;
}

// A file this command may delete as a journal: named so, or starting as one does.
bool LooksLikeJournal(const std::string& path)
{
    if (path.size() > std::strlen(journal::kExtension) &&
        path.compare(path.size() - std::strlen(journal::kExtension), std::string::npos,
                     journal::kExtension) == 0) {
        return true;
    }
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    return in.read(magic, 4) && std::string(magic, 4) == "ORVJ";
}

int List(const Options& o)
{
    std::string journals = "[";
    for (const OrphanedJournal& j : FindOrphanedJournals(o.dataDirectory)) {
        journals += journals.size() > 1 ? "," : "";
        journals += JsonObject()
                        .Text("Journal", j.journalPath)
                        .Text("Survey", j.sessionPath)
                        .Integer("Stations", j.measurements)
                        .Raw("Damaged", j.damaged ? "true" : "false")
                        .Text("LastWritten", LocalTime(j.lastWritten))
                        .Str();
    }
    journals += "]";
    std::printf("%s\n", JsonObject()
                            .Text("DataDirectory", o.dataDirectory)
                            .Raw("Journals", journals)
                            .Str()
                            .c_str());
    return 0;
}

int Recover(const Options& o)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(o.journal, ec)) {
        return Fail("recover", "there is no journal at " + o.journal +
                                   " (orvtool recover --list shows the journals left behind)");
    }
    if (o.out.empty()) {
        return Fail("recover", "say where the recovered survey goes with --out FILE.orv");
    }
    if (std::filesystem::equivalent(o.journal, o.out, ec)) {
        // The journal goes once the file is saved: it would take the file with it.
        return Fail("recover", "the survey cannot be saved over its own journal " + o.journal +
                                   "; give another --out FILE.orv");
    }
    if (!o.overwrite && std::filesystem::exists(o.out, ec)) {
        return Fail("recover", o.out + " exists already; say --overwrite to replace it");
    }
    // The program's settings are read but never written: the survey takes its work type and
    // sizes from the journal.
    QtSettingsStore store(o.settingsPath, "Default values");
    ToolPrompt prompt;
    Configuration config(store, o.calibrationPath, prompt);
    std::string error;
    std::unique_ptr<Survey> survey = RecoverJournal(o.journal, o.dataDirectory, config, error);
    if (!survey) {
        return Fail("recover", error);
    }
    const std::string journalSurvey = survey->FilePath();
    // The save removes the journal the survey goes on in, once the file is on the disk.
    if (!SaveSession(*survey, o.out, error)) {
        return Fail("recover", error + " The journal " + o.journal + " is kept.");
    }
    if (std::filesystem::exists(o.journal, ec) &&
        !DiscardOrphanedJournal(o.journal, o.dataDirectory, error)) {
        std::fprintf(stderr, "orvtool recover: %s saved, but %s\n", o.out.c_str(), error.c_str());
    }
    std::printf("%s\n", JsonObject()
                            .Text("Journal", o.journal)
                            .Text("Survey", journalSurvey)
                            .Text("File", o.out)
                            .Integer("WorkType", config.WorkType)
                            .Integer("SlotCount", survey->Slots().Count())
                            .Integer("Stations", survey->ValidCount())
                            .Str()
                            .c_str());
    return 0;
}

int Discard(const Options& o)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(o.discard, ec)) {
        return Fail("recover", "there is no journal at " + o.discard);
    }
    if (!LooksLikeJournal(o.discard)) {
        return Fail("recover", o.discard + " is not a measurement journal; nothing was removed");
    }
    std::string error;
    if (!DiscardOrphanedJournal(o.discard, o.dataDirectory, error)) {
        return Fail("recover", error);
    }
    std::printf("%s\n", JsonObject().Text("Discarded", o.discard).Str().c_str());
    return 0;
}

int Run(const CLI::App& command, const Options& o)
{
    if (!o.discard.empty()) {
        return Discard(o);
    }
    if (o.list) {
        return List(o);
    }
    if (o.journal.empty()) {
        return cmdline::UsageError(command);
    }
    return Recover(o);
}

std::function<int()> Define(CLI::App& command)
{
    auto o = std::make_shared<Options>();
    command.footer(kAbout);
    command.add_flag("--list", o->list, "list the journals left behind (JSON)");
    command.add_option("JOURNAL", o->journal, "the journal to recover")->type_name("");
    command.add_option("--out", o->out, "where the recovered survey is saved")
        ->type_name("FILE.orv");
    command.add_flag("--overwrite", o->overwrite,
                     "replace an existing FILE.orv (refused otherwise)");
    command
        .add_option("--data", o->dataDirectory,
                    "the data folder (default: ORVCONTROL_DATA or the program's own)")
        ->type_name("DIR");
    AddSettingsOption(command, o->settingsPath);
    AddCalibrationOption(command, o->calibrationPath);
    command.require_subcommand(0, 1);
    CLI::App* discard =
        command.add_subcommand("discard", "remove a journal and its measurements for good");
    discard->fallthrough();
    discard->add_option("JOURNAL", o->discard, "the journal to remove")->type_name("")->required();
    return [o, &command] { return Run(command, *o); };
}

const bool kRegistered = RegisterCommand(
    {"recover", "list, recover or discard the measurement journals a crash left", &Define});

}  // namespace recover_command

}  // namespace orv::tool
