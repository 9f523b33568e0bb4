#pragma once
// Recovery of measurements after a crash: at start the window looks for journals that no running
// program holds and offers each for recovery.
//
//     for (const OrphanedJournal& j : FindOrphanedJournals(DataDirectory())) {
//         // "Measurements of <j.sessionPath or 'an unsaved survey'> were not saved: recover?"
//         std::string error;
//         std::unique_ptr<Survey> survey =
//             RecoverJournal(j.journalPath, DataDirectory(), config, error);
//         if (survey) { begin a session with it (it is modified; the next save keeps it) }
//         else { tell `error`; the journal stays for another try }
//         // or, when the operator declines: DiscardOrphanedJournal(j.journalPath, ...)
//     }

#include <cstdint>
#include <ctime>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace orv {

class Configuration;
class Survey;
struct JournalContents;

struct OrphanedJournal
{
    std::string journalPath;
    std::string sessionPath;      // the session file it belongs to; empty for an unsaved survey
    int measurements = 0;         // measurement records that can be recovered
    bool damaged = false;         // the header is unreadable: nothing can be recovered
    std::time_t lastWritten = 0;  // when the journal was last written to
};

// Journals in `dataDirectory` and those its pointer files name, except journals a running
// program holds. Pointers to journals that no longer exist are removed, and so are journals
// whose every station is in their session file as the journal has it (a save finished but the
// journal's removal was cut off by a crash or a power cut).
std::vector<OrphanedJournal> FindOrphanedJournals(const std::string& dataDirectory);

// Rebuilds the survey: the session image in the journal or the session file it names (which
// must be unchanged since the journal began), then every whole record. The survey is modified,
// its FilePath the journal's session path, its cursor where it was after the last record, and
// it goes on writing to the same journal. Null with the reason when the journal is damaged or
// its session file changed; the journal is then left as it is.
std::unique_ptr<Survey> RecoverJournal(const std::string& journalPath,
                                       const std::string& dataDirectory, Configuration& config,
                                       std::string& error);

// True when the session image `sessionFile` holds every station the journal would give back,
// byte for byte (and every track position): the journal holds nothing to recover.
[[nodiscard]] bool JournalHeldBy(const JournalContents& contents,
                                 std::span<const uint8_t> sessionFile);

// Deletes an orphaned journal and its pointer file; refuses a journal a running program holds.
bool DiscardOrphanedJournal(const std::string& journalPath, const std::string& dataDirectory,
                            std::string& error);

}  // namespace orv
