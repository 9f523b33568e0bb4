#include "survey/JournalRecovery.h"

#include "base/Crc32.h"
#include "config/Configuration.h"
#include "survey/MeasurementJournal.h"
#include "survey/SessionFile.h"
#include "survey/SessionFormat.h"
#include "survey/Survey.h"
#include "survey/TrackSurvey.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/file.h>
#include <unistd.h>

namespace orv {

namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

bool EndsWith(const std::string& text, const char* suffix)
{
    const size_t n = std::strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

// Reads a whole file; false with errno's text.
bool ReadWhole(const std::string& path, std::vector<uint8_t>& bytes, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = std::strerror(errno);
        return false;
    }
    try {
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::bad_alloc&) {
        error = "Insufficient memory";
        return false;
    }
    if (in.bad()) {
        error = "the file could not be read";
        return false;
    }
    return true;
}

// True when a running program holds the journal open (it keeps an exclusive lock on it).
bool InUse(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool busy = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return busy;
}

}  // namespace

std::vector<OrphanedJournal> FindOrphanedJournals(const std::string& dataDirectory)
{
    std::set<std::string> candidates;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dataDirectory, ec)) {
        const std::string path = entry.path().string();
        if (EndsWith(path, journal::kExtension) && entry.is_regular_file(ec)) {
            candidates.insert(path);
        } else if (EndsWith(path, journal::kLinkExtension)) {
            std::vector<uint8_t> bytes;
            std::string error;
            if (!ReadWhole(path, bytes, error) || bytes.size() > 4096) {
                continue;
            }
            const std::string target(bytes.begin(), bytes.end());
            if (std::filesystem::is_regular_file(target, ec)) {
                candidates.insert(target);
            } else {
                std::filesystem::remove(path, ec);  // its journal was saved or discarded
            }
        }
    }
    std::vector<OrphanedJournal> found;
    for (const std::string& path : candidates) {
        if (InUse(path)) {
            continue;
        }
        OrphanedJournal orphan;
        orphan.journalPath = path;
        std::vector<uint8_t> bytes;
        std::string error;
        JournalContents contents;
        if (!ReadWhole(path, bytes, error) || !ParseJournal(bytes, contents, error)) {
            orphan.damaged = true;
        } else {
            orphan.sessionPath = contents.base.sessionPath;
            orphan.measurements = int(std::count_if(
                contents.records.begin(), contents.records.end(),
                [](const JournalRecord& r) { return r.kind == journal::kMeasurement; }));
        }
        found.push_back(std::move(orphan));
    }
    return found;
}

std::unique_ptr<Survey> RecoverJournal(const std::string& journalPath,
                                       const std::string& dataDirectory, Configuration& config,
                                       std::string& error)
{
    if (InUse(journalPath)) {
        error = "The measurement journal " + Quoted(journalPath) +
                " is in use by another running program.";
        return nullptr;
    }
    std::vector<uint8_t> bytes;
    std::string why;
    if (!ReadWhole(journalPath, bytes, why)) {
        error = "Cannot read the measurement journal " + Quoted(journalPath) + ": " + why;
        return nullptr;
    }
    JournalContents contents;
    if (!ParseJournal(bytes, contents, why)) {
        error = "The measurement journal " + Quoted(journalPath) + " cannot be used: " + why +
                ". Nothing was recovered from it.";
        return nullptr;
    }
    bytes.clear();
    bytes.shrink_to_fit();

    const JournalBase& base = contents.base;
    std::vector<uint8_t> fileBytes;
    if (!base.embedded) {
        if (!ReadWhole(base.sessionPath, fileBytes, why)) {
            error = "The measurement journal " + Quoted(journalPath) +
                    " continues the session file " + Quoted(base.sessionPath) +
                    ", which cannot be read (" + why + "). Put the file back and try again.";
            return nullptr;
        }
        if (fileBytes.size() != base.fileSize || Crc32(fileBytes) != base.fileCrc) {
            error = "The session file " + Quoted(base.sessionPath) +
                    " has changed since the measurement journal " + Quoted(journalPath) +
                    " began, so its measurements cannot be put back into it. The journal is "
                    "kept.";
            return nullptr;
        }
    }
    const std::span<const uint8_t> image =
        base.embedded ? std::span<const uint8_t>(base.image) : std::span<const uint8_t>(fileBytes);
    std::string detail;
    std::unique_ptr<Survey> survey = ReadSession(image, config, why, &detail);
    if (!survey) {
        error = "The survey of the measurement journal " + Quoted(journalPath) +
                " cannot be read: " + (detail.empty() ? why : detail) + ".";
        return nullptr;
    }
    survey->SetFilePath(base.sessionPath);
    if (!base.embedded) {
        survey->MarkLoaded(base.sessionPath, base.fileSize, base.fileCrc);
    } else {
        survey->MarkModified();
    }

    size_t applied = 0;
    for (const JournalRecord& record : contents.records) {
        if (!survey->ApplyJournalRecord(record)) {
            break;
        }
        ++applied;
    }
    session::TakeFrequenciesFromFirstValidSlot(config, survey->Slots().View());
    if (survey->IsTrack()) {
        static_cast<TrackSurvey&>(*survey).UpdateLocalCoordinates();
    }

    // The survey goes on writing to this journal, after its last record that applied.
    const uint64_t goodLength =
        contents.goodLength - (contents.records.size() - applied) * journal::kRecordSize;
    std::string reopenError;
    survey->EnableJournal(dataDirectory);
    survey->AdoptJournal(
        MeasurementJournal::Reopen(journalPath, dataDirectory, goodLength, reopenError));
    return survey;
}

bool DiscardOrphanedJournal(const std::string& journalPath, const std::string& dataDirectory,
                            std::string& error)
{
    if (::unlink(journalPath.c_str()) != 0 && errno != ENOENT) {
        error = "Cannot remove the measurement journal " + Quoted(journalPath) + ": " +
                std::strerror(errno);
        return false;
    }
    const std::string link = JournalLinkPath(journalPath, dataDirectory);
    if (!link.empty()) {
        ::unlink(link.c_str());
    }
    return true;
}

}  // namespace orv
