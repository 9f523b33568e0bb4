#pragma once
// The measurement journal: a survey appends every stored measurement to it and flushes it to the
// disk, so that a crash, a kill or a flat battery between two saves loses nothing that was
// measured. The session format itself is unchanged; the journal is a file of its own.
//
//   header
//     0    4   "ORVJ"
//     4    2   version (1)
//     6    2   base kind: 0 = the session image follows, 1 = a session file is named
//     8    4   length Lp of the survey's file path (UTF-8; may be 0)
//     12   4   length Lb of the base
//     16   Lp  the survey's file path
//     ..   Lb  base: the session image as it was when the journal started (kind 0), or the
//              size (8 bytes) and CRC-32 (4 bytes) of the named file (kind 1), which is then
//              the survey's file path
//     ..   4   CRC-32 of everything above
//   records, 220 bytes each
//     0    4   kind: 1 = a stored measurement, 2 = a new position of a track station,
//              3 = what the field log knows of a station (its time, its fix's quality)
//     4    4   slot index
//     8    4   cursor profile after the record     12  4  cursor station after the record
//     16   180 the slot (kind 1); for kind 3: which fields are known (1 byte: bit 0 time,
//              bit 1 quality, bit 2 satellites, bit 3 HDOP), time in ms since 1970 (8),
//              quality (4), satellites (4), HDOP (double, 8), the rest 0
//     196  8   latitude      204  8  longitude      212  4  position tick stamp
//     216  4   CRC-32 of bytes 0..215
//
// All numbers little-endian. A record is applied only when it is whole and its CRC matches; a
// record cut by a crash ends the journal there, and the recovered survey keeps every record
// before it.

#include "base/FileSystem.h"
#include "base/GpsFix.h"
#include "base/MeasurementSlot.h"
#include "survey/StationLog.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace orv {

namespace journal {
constexpr uint32_t kMeasurement = 1;
constexpr uint32_t kPosition = 2;
constexpr uint32_t kStationMeta = 3;
constexpr size_t kRecordSize = 220;
constexpr const char* kExtension = ".journal";
constexpr const char* kLinkExtension = ".journal-link";
}  // namespace journal

struct JournalRecord
{
    uint32_t kind = journal::kMeasurement;
    uint32_t index = 0;
    int32_t cursorProfile = 0;
    int32_t cursorStation = 0;
    MeasurementSlot slot;
    GpsFix position;
    StationMeta meta;  // kind 3
};

// What the records apply to.
struct JournalBase
{
    std::string sessionPath;
    bool embedded = true;
    std::vector<uint8_t> image;  // embedded
    uint64_t fileSize = 0;       // named file
    uint32_t fileCrc = 0;
};

struct JournalContents
{
    JournalBase base;
    std::vector<JournalRecord> records;
    size_t goodLength = 0;    // header and whole records
    size_t droppedBytes = 0;  // a cut or damaged tail
};

std::vector<uint8_t> EncodeJournalHeader(const JournalBase& base);
void EncodeJournalRecord(const JournalRecord& record, std::span<uint8_t, journal::kRecordSize> out);
// Reads a journal. False, with the reason, when the header is cut or damaged: such a journal
// holds no record that could be applied. Records stop at the first cut or damaged one.
[[nodiscard]] bool ParseJournal(std::span<const uint8_t> bytes, JournalContents& contents,
                                std::string& error);

// An open journal file. It holds an exclusive lock on the file while open, so another instance
// of the program does not take a journal in use for an orphan. Every write goes through the
// FileSystem it was made with, and each step that a power cut could undo is flushed before the
// call returns: the file's creation in its folder, the header, each appended record.
class MeasurementJournal
{
    struct Key
    {
    };

public:
    // Use Create or Reopen.
    MeasurementJournal(Key, FileSystem& fs, int handle, std::string path, std::string linkPath,
                       uint64_t length);
    // Closes the file and keeps it.
    ~MeasurementJournal();
    MeasurementJournal(const MeasurementJournal&) = delete;
    MeasurementJournal& operator=(const MeasurementJournal&) = delete;

    // Creates a journal at `preferredPath`, or at "<stem>.1.journal", "<stem>.2.journal", ...
    // when a file is there (an orphan waiting for recovery is never overwritten), writes the
    // header and flushes it. A journal outside `dataDirectory` gets a pointer file there.
    static std::unique_ptr<MeasurementJournal> Create(const std::string& preferredPath,
                                                      const std::string& dataDirectory,
                                                      const JournalBase& base, std::string& error,
                                                      FileSystem& fs = DefaultFileSystem());
    // Opens an existing journal for appending, cutting it to `goodLength` bytes (a cut record
    // must not sit between the records that follow).
    static std::unique_ptr<MeasurementJournal> Reopen(const std::string& path,
                                                      const std::string& dataDirectory,
                                                      uint64_t goodLength, std::string& error,
                                                      FileSystem& fs = DefaultFileSystem());

    // Writes the records and flushes them to the disk. On failure the file is cut back to its
    // earlier length, so later records still line up.
    [[nodiscard]] bool Append(std::span<const JournalRecord> records, std::string& error);
    // Closes and deletes the journal and its pointer file, and flushes their folders so that a
    // power cut does not bring back a journal of measurements that are saved.
    bool Remove(std::string& error);

    [[nodiscard]] const std::string& Path() const { return m_path; }

private:
    FileSystem& m_fs;
    int m_fd;
    std::string m_path;
    std::string m_linkPath;
    uint64_t m_length;
};

// The pointer file that lets `dataDirectory` find a journal kept elsewhere; empty when the
// journal lies in `dataDirectory` itself.
std::string JournalLinkPath(const std::string& journalPath, const std::string& dataDirectory);

}  // namespace orv
