#include "survey/MeasurementJournal.h"

#include "base/AtomicFile.h"
#include "base/ByteOrder.h"
#include "base/Crc32.h"
#include "survey/SessionFile.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace orv {

namespace {

constexpr uint8_t kMagic[4] = {'O', 'R', 'V', 'J'};
constexpr uint16_t kVersion = 1;
constexpr size_t kFixedHeader = 16;
constexpr size_t kMaxPath = 4096;
constexpr size_t kFileBaseSize = 12;

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// Writes the pointer file of a journal kept outside the data directory. Returns a warning
// when the journal could not be made findable.
std::string WriteLink(FileSystem& fs, const std::string& linkPath, const std::string& journalPath,
                      const std::string& dataDirectory)
{
    if (linkPath.empty()) {
        return {};
    }
    std::string error;
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(journalPath, ec);
    const std::string text = absolute.string();
    if (const std::error_code e = MakeDirectories(fs, dataDirectory)) {
        error = "the folder " + Quoted(dataDirectory) + " cannot be made (" + e.message() + ")";
    } else if (WriteFileAtomically(linkPath,
                                   {reinterpret_cast<const uint8_t*>(text.data()), text.size()},
                                   error, fs)) {
        return {};
    }
    return "The measurement journal " + Quoted(journalPath) +
           " will not be offered for recovery at the next start: " + error;
}

}  // namespace

std::vector<uint8_t> EncodeJournalHeader(const JournalBase& base)
{
    const size_t baseSize = base.embedded ? base.image.size() : kFileBaseSize;
    const size_t pathSize = base.sessionPath.size();
    std::vector<uint8_t> out(kFixedHeader + pathSize + baseSize + 4);
    uint8_t* p = out.data();
    std::copy(std::begin(kMagic), std::end(kMagic), p);
    little_endian::Store16(p + 4, kVersion);
    little_endian::Store16(p + 6, base.embedded ? 0 : 1);
    little_endian::Store32(p + 8, uint32_t(pathSize));
    little_endian::Store32(p + 12, uint32_t(baseSize));
    p += kFixedHeader;
    std::memcpy(p, base.sessionPath.data(), pathSize);
    p += pathSize;
    if (base.embedded) {
        if (baseSize > 0) {
            std::memcpy(p, base.image.data(), baseSize);
        }
    } else {
        little_endian::Store32(p, uint32_t(base.fileSize));
        little_endian::Store32(p + 4, uint32_t(base.fileSize >> 32));
        little_endian::Store32(p + 8, base.fileCrc);
    }
    p += baseSize;
    little_endian::Store32(p, Crc32({out.data(), out.size() - 4}));
    return out;
}

void EncodeJournalRecord(const JournalRecord& record, std::span<uint8_t, journal::kRecordSize> out)
{
    uint8_t* p = out.data();
    little_endian::Store32(p, record.kind);
    little_endian::Store32(p + 4, record.index);
    little_endian::Store32(p + 8, uint32_t(record.cursorProfile));
    little_endian::Store32(p + 12, uint32_t(record.cursorStation));
    if (record.kind == journal::kStationMeta) {
        const StationMeta& m = record.meta;
        std::fill(p + 16, p + 196, uint8_t{0});
        p[16] = uint8_t((m.unixTimeMs ? 1 : 0) | (m.fixQuality ? 2 : 0) | (m.satellites ? 4 : 0) |
                        (m.hdop ? 8 : 0));
        const uint64_t time = uint64_t(m.unixTimeMs.value_or(0));
        little_endian::Store32(p + 17, uint32_t(time));
        little_endian::Store32(p + 21, uint32_t(time >> 32));
        little_endian::Store32(p + 25, uint32_t(m.fixQuality.value_or(0)));
        little_endian::Store32(p + 29, uint32_t(m.satellites.value_or(0)));
        little_endian::StoreDouble(p + 33, m.hdop.value_or(0.0));
    } else {
        std::copy(record.slot.bytes.begin(), record.slot.bytes.end(), p + 16);
    }
    little_endian::StoreDouble(p + 196, record.position.latitude);
    little_endian::StoreDouble(p + 204, record.position.longitude);
    little_endian::Store32(p + 212, record.position.tickStamp);
    little_endian::Store32(p + 216, Crc32({p, 216}));
}

bool ParseJournal(std::span<const uint8_t> bytes, JournalContents& contents, std::string& error)
{
    const uint64_t size = bytes.size();
    if (size < kFixedHeader || !std::equal(std::begin(kMagic), std::end(kMagic), bytes.begin())) {
        error = size < kFixedHeader ? "it ends inside its header" : "it is not a journal";
        return false;
    }
    const uint16_t version = little_endian::Load16(&bytes[4]);
    const uint16_t baseKind = little_endian::Load16(&bytes[6]);
    const uint64_t pathSize = little_endian::Load32(&bytes[8]);
    const uint64_t baseSize = little_endian::Load32(&bytes[12]);
    if (version != kVersion || baseKind > 1) {
        error = "it was written by another version of the program";
        return false;
    }
    if (pathSize > kMaxPath || (baseKind == 1 && baseSize != kFileBaseSize)) {
        error = "its header is damaged";
        return false;
    }
    const uint64_t headerEnd = kFixedHeader + pathSize + baseSize + 4;
    if (headerEnd > size) {
        error = "it ends inside its header";
        return false;
    }
    const size_t crcAt = size_t(headerEnd - 4);
    if (Crc32(bytes.first(crcAt)) != little_endian::Load32(&bytes[crcAt])) {
        error = "its header is damaged";
        return false;
    }
    JournalContents result;
    const uint8_t* p = bytes.data() + kFixedHeader;
    result.base.sessionPath.assign(reinterpret_cast<const char*>(p), size_t(pathSize));
    p += pathSize;
    result.base.embedded = baseKind == 0;
    if (result.base.embedded) {
        result.base.image.assign(p, p + baseSize);
    } else {
        result.base.fileSize =
            uint64_t{little_endian::Load32(p)} | uint64_t{little_endian::Load32(p + 4)} << 32;
        result.base.fileCrc = little_endian::Load32(p + 8);
    }
    size_t at = size_t(headerEnd);
    while (size - at >= journal::kRecordSize) {
        const uint8_t* r = bytes.data() + at;
        const uint32_t kind = little_endian::Load32(r);
        if (Crc32({r, 216}) != little_endian::Load32(r + 216) ||
            (kind != journal::kMeasurement && kind != journal::kPosition &&
             kind != journal::kStationMeta)) {
            break;
        }
        JournalRecord record;
        record.kind = kind;
        record.index = little_endian::Load32(r + 4);
        record.cursorProfile = int32_t(little_endian::Load32(r + 8));
        record.cursorStation = int32_t(little_endian::Load32(r + 12));
        if (kind == journal::kStationMeta) {
            const uint8_t known = r[16];
            const uint64_t time = uint64_t{little_endian::Load32(r + 17)} |
                                  uint64_t{little_endian::Load32(r + 21)} << 32;
            if (known & 1) {
                record.meta.unixTimeMs = int64_t(time);
            }
            if (known & 2) {
                record.meta.fixQuality = int32_t(little_endian::Load32(r + 25));
            }
            if (known & 4) {
                record.meta.satellites = int32_t(little_endian::Load32(r + 29));
            }
            if (known & 8) {
                record.meta.hdop = little_endian::LoadDouble(r + 33);
            }
        } else {
            std::copy(r + 16, r + 196, record.slot.bytes.begin());
        }
        record.position.latitude = little_endian::LoadDouble(r + 196);
        record.position.longitude = little_endian::LoadDouble(r + 204);
        record.position.tickStamp = little_endian::Load32(r + 212);
        result.records.push_back(record);
        at += journal::kRecordSize;
    }
    result.goodLength = at;
    result.droppedBytes = size_t(size - at);
    contents = std::move(result);
    return true;
}

std::string JournalLinkPath(const std::string& journalPath, const std::string& dataDirectory)
{
    if (dataDirectory.empty()) {
        return {};
    }
    std::error_code ec;
    const std::filesystem::path journal =
        std::filesystem::absolute(journalPath, ec).lexically_normal();
    const std::filesystem::path folder =
        std::filesystem::absolute(dataDirectory, ec).lexically_normal();
    if (journal.parent_path() == folder) {
        return {};
    }
    const std::string text = journal.string();
    char name[32];
    std::snprintf(name, sizeof name, "%08x",
                  Crc32({reinterpret_cast<const uint8_t*>(text.data()), text.size()}));
    return (folder / (std::string(name) + journal::kLinkExtension)).string();
}

MeasurementJournal::MeasurementJournal(Key, FileSystem& fs, int handle, std::string path,
                                       std::string linkPath, uint64_t length)
    : m_fs(fs),
      m_fd(handle),
      m_path(std::move(path)),
      m_linkPath(std::move(linkPath)),
      m_length(length)
{}

MeasurementJournal::~MeasurementJournal()
{
    if (m_fd >= 0) {
        static_cast<void>(m_fs.Close(m_fd));
    }
}

std::unique_ptr<MeasurementJournal> MeasurementJournal::Create(const std::string& preferredPath,
                                                               const std::string& dataDirectory,
                                                               const JournalBase& base,
                                                               std::string& error, FileSystem& fs)
{
    const std::string kept = ". Measurements are kept in memory only until saved.";
    const std::string folder = FolderOf(preferredPath);
    if (const std::error_code e = MakeDirectories(fs, folder)) {
        error =
            "Cannot start the measurement journal in " + Quoted(folder) + ": " + e.message() + kept;
        return nullptr;
    }
    std::string stem = preferredPath;
    if (stem.size() >= std::strlen(journal::kExtension) &&
        stem.compare(stem.size() - std::strlen(journal::kExtension), std::string::npos,
                     journal::kExtension) == 0) {
        stem.resize(stem.size() - std::strlen(journal::kExtension));
    }
    int fd = -1;
    std::string path;
    std::error_code e;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        path = attempt == 0 ? preferredPath
                            : stem + "." + std::to_string(attempt) + journal::kExtension;
        e = fs.CreateNew(path, 0644, fd);
        if (e != std::errc::file_exists) {
            break;
        }
    }
    if (e == std::errc::file_exists) {
        error = "Cannot start the measurement journal beside " + Quoted(preferredPath) +
                ": too many journals there" + kept;
        return nullptr;
    }
    if (e) {
        error = "Cannot start the measurement journal " + Quoted(path) + ": " + e.message() + kept;
        return nullptr;
    }
    static_cast<void>(fs.Lock(fd));
    const std::vector<uint8_t> header = EncodeJournalHeader(base);
    e = fs.WriteAt(fd, header, 0);
    if (!e) {
        e = fs.Sync(fd);
    }
    // The journal's name must survive a power cut as well as its bytes.
    if (!e) {
        e = SyncFolder(fs, FolderOf(path));
    }
    if (e) {
        static_cast<void>(fs.Close(fd));
        static_cast<void>(fs.Remove(path));
        error = "Cannot write the measurement journal " + Quoted(path) + ": " + e.message() + kept;
        return nullptr;
    }
    const std::string linkPath = JournalLinkPath(path, dataDirectory);
    error = WriteLink(fs, linkPath, path, dataDirectory);
    return std::make_unique<MeasurementJournal>(Key{}, fs, fd, path, linkPath, header.size());
}

std::unique_ptr<MeasurementJournal> MeasurementJournal::Reopen(const std::string& path,
                                                               const std::string& dataDirectory,
                                                               uint64_t goodLength,
                                                               std::string& error, FileSystem& fs)
{
    int fd = -1;
    if (const std::error_code e = fs.OpenExisting(path, fd)) {
        error = "Cannot reopen the measurement journal " + Quoted(path) + ": " + e.message();
        return nullptr;
    }
    if (fs.Lock(fd)) {
        static_cast<void>(fs.Close(fd));
        error = "The measurement journal " + Quoted(path) + " is in use by another program.";
        return nullptr;
    }
    std::error_code e = fs.Truncate(fd, goodLength);
    if (!e) {
        e = fs.Sync(fd);
    }
    if (e) {
        static_cast<void>(fs.Close(fd));
        error = "Cannot reopen the measurement journal " + Quoted(path) + ": " + e.message();
        return nullptr;
    }
    const std::string linkPath = JournalLinkPath(path, dataDirectory);
    std::error_code ec;
    if (!linkPath.empty() && !std::filesystem::exists(linkPath, ec)) {
        error = WriteLink(fs, linkPath, path, dataDirectory);
    }
    return std::make_unique<MeasurementJournal>(Key{}, fs, fd, path, linkPath, goodLength);
}

bool MeasurementJournal::Append(std::span<const JournalRecord> records, std::string& error)
{
    std::vector<uint8_t> bytes(records.size() * journal::kRecordSize);
    for (size_t i = 0; i < records.size(); ++i) {
        EncodeJournalRecord(records[i],
                            std::span<uint8_t, journal::kRecordSize>(
                                bytes.data() + i * journal::kRecordSize, journal::kRecordSize));
    }
    std::error_code e = m_fs.WriteAt(m_fd, bytes, m_length);
    if (!e) {
        // The data and the file's new length; the times do not matter to recovery.
        e = m_fs.SyncData(m_fd);
    }
    if (e) {
        // A cut record would stand between the records that follow: take it back. If that fails
        // too, recovery stops at the cut record all the same.
        static_cast<void>(m_fs.Truncate(m_fd, m_length));
        error = "Cannot write the measurement journal " + Quoted(m_path) + ": " + e.message() +
                ". The measurement is kept in memory only until saved.";
        return false;
    }
    m_length += bytes.size();
    return true;
}

bool MeasurementJournal::Remove(std::string& error)
{
    if (m_fd >= 0) {
        static_cast<void>(m_fs.Close(m_fd));
        m_fd = -1;
    }
    bool ok = true;
    if (const std::error_code e = m_fs.Remove(m_path);
        e && e != std::errc::no_such_file_or_directory) {
        error = "Cannot remove the measurement journal " + Quoted(m_path) + ": " + e.message();
        ok = false;
    }
    static_cast<void>(SyncFolder(m_fs, FolderOf(m_path)));
    if (!m_linkPath.empty()) {
        static_cast<void>(m_fs.Remove(m_linkPath));
        static_cast<void>(SyncFolder(m_fs, FolderOf(m_linkPath)));
    }
    return ok;
}

}  // namespace orv
