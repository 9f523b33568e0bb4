#include "survey/JournalRecovery.h"

#include "base/ByteOrder.h"
#include "base/Crc32.h"
#include "base/FileSystem.h"
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
#include <map>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
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

// Where the stations of a session image lie, read as the session reader reads them.
struct ImageLayout
{
    uint64_t slotsOffset = 0;
    uint64_t count = 0;
    uint64_t stride = kSlotSize;
    bool positions = false;
};

bool LayoutOf(std::span<const uint8_t> bytes, ImageLayout& layout)
{
    const uint64_t size = bytes.size();
    if (size < session::kHeaderSize ||
        !std::equal(std::begin(session::kMagic), std::end(session::kMagic), bytes.begin())) {
        return false;
    }
    const bool track = (little_endian::Load16(&bytes[session::kKindOffset]) & 1u) != 0;
    const uint64_t body = little_endian::Load32(&bytes[session::kBodyOffsetField]);
    const uint64_t bodySize = track ? session::kTrackBodySize : session::kGridBodySize;
    if (body > size || size - body < bodySize) {
        return false;
    }
    const uint8_t* b = bytes.data() + body;
    if (track) {
        layout.count = little_endian::Load32(b);
        layout.positions = (little_endian::Load32(b + 4) & session::kTrackNoPositions) == 0;
        layout.stride = layout.positions ? session::kTrackStationSize : kSlotSize;
        layout.slotsOffset = little_endian::Load32(b + 8);
    } else {
        layout.count = uint64_t{little_endian::Load32(b + 8)} * little_endian::Load32(b + 12);
        layout.slotsOffset = little_endian::Load32(b + 36);
    }
    return layout.slotsOffset <= size &&
           layout.count <= (size - layout.slotsOffset) / layout.stride;
}

// True when the session file at the journal's session path holds every station the journal
// would give back: a journal whose removal a crash or a power cut cut off after the save that
// made it needless.
bool AlreadySaved(const JournalContents& contents)
{
    std::vector<uint8_t> file;
    std::string why;
    return !contents.base.sessionPath.empty() && ReadWhole(contents.base.sessionPath, file, why) &&
           JournalHeldBy(contents, file);
}

std::time_t LastWritten(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

}  // namespace

bool JournalHeldBy(const JournalContents& contents, std::span<const uint8_t> sessionFile)
{
    // The last word on each station: its slot and, for a track, its position.
    struct Station
    {
        MeasurementSlot slot;
        GpsFix position;
        bool havePosition = false;
    };
    std::map<uint32_t, Station> stations;
    if (contents.base.embedded) {
        ImageLayout base;
        if (!LayoutOf(contents.base.image, base)) {
            return false;
        }
        for (uint64_t i = 0; i < base.count; ++i) {
            const uint8_t* p = contents.base.image.data() + base.slotsOffset + i * base.stride;
            Station& s = stations[uint32_t(i)];
            std::copy(p, p + kSlotSize, s.slot.bytes.begin());
            if (base.positions) {
                s.position.longitude = little_endian::LoadDouble(p + kSlotSize);
                s.position.latitude = little_endian::LoadDouble(p + kSlotSize + 8);
                s.havePosition = true;
            }
        }
    }
    for (const JournalRecord& r : contents.records) {
        Station& s = stations[r.index];
        if (r.kind == journal::kMeasurement) {
            s.slot = r.slot;
        }
        s.position = r.position;
        s.havePosition = true;
    }
    ImageLayout layout;
    if (!LayoutOf(sessionFile, layout)) {
        return false;
    }
    for (const auto& [index, s] : stations) {
        if (s.slot.IsEmpty() && !s.havePosition) {
            continue;
        }
        if (index >= layout.count) {
            return false;
        }
        const uint8_t* p = sessionFile.data() + layout.slotsOffset + index * layout.stride;
        if (!std::equal(s.slot.bytes.begin(), s.slot.bytes.end(), p)) {
            return false;
        }
        // A grid keeps no positions; a track keeps latitude and longitude, not the fix's time.
        if (layout.positions && s.havePosition &&
            (little_endian::LoadDouble(p + kSlotSize) != s.position.longitude ||
             little_endian::LoadDouble(p + kSlotSize + 8) != s.position.latitude)) {
            return false;
        }
    }
    return true;
}

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
        orphan.lastWritten = LastWritten(path);
        if (!ReadWhole(path, bytes, error) || !ParseJournal(bytes, contents, error)) {
            orphan.damaged = true;
        } else if (AlreadySaved(contents)) {
            std::string ignored;
            static_cast<void>(DiscardOrphanedJournal(path, dataDirectory, ignored));
            continue;
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
            if (AlreadySaved(contents)) {
                error = "The measurements of the journal " + Quoted(journalPath) +
                        " are all in the session file " + Quoted(base.sessionPath) +
                        " already: there is nothing to recover.";
                return nullptr;
            }
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
    if (InUse(journalPath)) {
        error = "The measurement journal " + Quoted(journalPath) +
                " is in use by a running program; it was not removed.";
        return false;
    }
    FileSystem& fs = DefaultFileSystem();
    if (const std::error_code e = fs.Remove(journalPath);
        e && e != std::errc::no_such_file_or_directory) {
        error = "Cannot remove the measurement journal " + Quoted(journalPath) + ": " + e.message();
        return false;
    }
    // A journal a power cut brought back would be offered again.
    static_cast<void>(SyncFolder(fs, FolderOf(journalPath)));
    const std::string link = JournalLinkPath(journalPath, dataDirectory);
    if (!link.empty()) {
        static_cast<void>(fs.Remove(link));
        static_cast<void>(SyncFolder(fs, FolderOf(link)));
    }
    return true;
}

}  // namespace orv
