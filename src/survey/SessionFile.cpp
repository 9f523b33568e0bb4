#include "survey/SessionFile.h"

#include "base/ByteOrder.h"
#include "base/Crc32.h"
#include "config/Configuration.h"
#include "survey/GridSurvey.h"
#include "survey/SessionFormat.h"
#include "survey/StationLog.h"
#include "survey/TrackSurvey.h"

#include <array>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orv {

namespace {

// A double read from a file narrowed to a float without undefined behaviour: finite values
// beyond the float range become the largest float of their sign.
float NarrowStep(double v)
{
    if (std::isfinite(v) && std::fabs(v) > double(FLT_MAX)) {
        return v < 0 ? -FLT_MAX : FLT_MAX;
    }
    return static_cast<float>(v);
}

std::string Text(std::span<const uint8_t> bytes, size_t offset)
{
    const size_t length = bytes[offset];
    const uint8_t* begin = bytes.data() + offset + 1;
    const uint8_t* end = begin + length;
    const uint8_t* zero = std::find(begin, end, uint8_t{0});
    return session::TextFromFile(
        std::string_view(reinterpret_cast<const char*>(begin), size_t(zero - begin)));
}

std::string Count(uint64_t n, const char* what) { return std::to_string(n) + " " + what; }

// The fields of a session configuration that a read changes, restored when the survey cannot
// be built.
struct ConfigurationSnapshot
{
    explicit ConfigurationSnapshot(const Configuration& c)
        : workType(c.WorkType),
          xStep(c.XStep),
          yStep(c.YStep),
          xSize(c.XSize),
          ySize(c.YSize),
          surveyStations(c.SurveyStations),
          surveyProfiles(c.SurveyProfiles)
    {}
    void Restore(Configuration& c) const
    {
        c.WorkType = workType;
        c.XStep = xStep;
        c.YStep = yStep;
        c.XSize = xSize;
        c.YSize = ySize;
        c.SurveyStations = surveyStations;
        c.SurveyProfiles = surveyProfiles;
    }
    int workType;
    float xStep, yStep;
    int xSize, ySize, surveyStations, surveyProfiles;
};

// The slots of a body, and what a reader skipped, are read this many bytes at a time.
constexpr size_t kReadBlock = 1 << 20;

// Where the reader finds the bytes of a session: a whole image in memory, or a file read a
// block at a time (a long survey is never held twice, as file bytes and as slots).
class SessionSource
{
public:
    virtual ~SessionSource() = default;
    [[nodiscard]] virtual uint64_t Size() const = 0;
    // The `length` bytes at `offset` (offset + length <= Size()), valid until the next call;
    // empty when they cannot be read.
    [[nodiscard]] virtual std::span<const uint8_t> Bytes(uint64_t offset, size_t length) = 0;
    // Called once the survey is built, before the configuration takes the file's settings:
    // false when the rest of the source cannot be read.
    [[nodiscard]] virtual bool Finish() { return true; }
};

class MemorySource final : public SessionSource
{
public:
    explicit MemorySource(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
    uint64_t Size() const override { return m_bytes.size(); }
    std::span<const uint8_t> Bytes(uint64_t offset, size_t length) override
    {
        return m_bytes.subspan(size_t(offset), length);
    }

private:
    std::span<const uint8_t> m_bytes;
};

// Reads with pread into one buffer and keeps the CRC of the file's bytes from its start as far
// as the reads have run on without a gap; Finish reads whatever the reader skipped.
class FileSource final : public SessionSource
{
public:
    FileSource(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    uint64_t Size() const override { return m_size; }
    std::span<const uint8_t> Bytes(uint64_t offset, size_t length) override
    {
        if (!Read(offset, length)) {
            return {};
        }
        const std::span<const uint8_t> bytes(m_buffer.data(), length);
        if (offset <= m_crcEnd && offset + length > m_crcEnd) {
            m_crc = Crc32(bytes.subspan(size_t(m_crcEnd - offset)), m_crc);
            m_crcEnd = offset + length;
        }
        return bytes;
    }
    // Reads what the reader skipped, for the CRC of the whole file.
    bool Finish() override
    {
        while (m_crcEnd < m_size) {
            if (Bytes(m_crcEnd, size_t(std::min<uint64_t>(kReadBlock, m_size - m_crcEnd)))
                    .empty()) {
                return false;
            }
        }
        return true;
    }
    // The CRC of the whole file, once Finish succeeded.
    [[nodiscard]] uint32_t Crc() const { return m_crc; }
    // The errno of a failed read; 0 when the file only ended early (it shrank while read).
    [[nodiscard]] int Failure() const { return m_failure; }

private:
    bool Read(uint64_t offset, size_t length)
    {
        try {
            if (m_buffer.size() < length) {
                m_buffer.resize(length);
            }
        } catch (const std::bad_alloc&) {
            m_failure = ENOMEM;
            return false;
        }
        size_t done = 0;
        while (done < length) {
            const ssize_t n =
                ::pread(m_fd, m_buffer.data() + done, length - done, off_t(offset + done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                m_failure = errno;
                return false;
            }
            if (n == 0) {
                return false;
            }
            done += size_t(n);
        }
        return true;
    }

    int m_fd;
    uint64_t m_size;
    std::vector<uint8_t> m_buffer;
    uint64_t m_crcEnd = 0;
    uint32_t m_crc = 0;
    int m_failure = 0;
};

std::unique_ptr<Survey> ReadFrom(SessionSource& source, Configuration& config, std::string& error,
                                 std::string* detail);

}  // namespace

std::unique_ptr<Survey> ReadSession(std::span<const uint8_t> bytes, Configuration& config,
                                    std::string& error, std::string* detail)
{
    MemorySource source(bytes);
    return ReadFrom(source, config, error, detail);
}

namespace {

std::unique_ptr<Survey> ReadFrom(SessionSource& source, Configuration& config, std::string& error,
                                 std::string* detail)
{
    const auto fail = [&](const std::string& why) -> std::unique_ptr<Survey> {
        error = kWrongFormatText;
        if (detail != nullptr) {
            *detail = why;
        }
        return nullptr;
    };
    const auto unreadable = [&]() {
        return fail("The file could not be read to its end (" + Count(source.Size(), "bytes") +
                    " when it was opened).");
    };
    const uint64_t size = source.Size();
    if (size < 4) {
        return fail("It is not a session file: it does not start with \"ORV\".");
    }
    const std::span<const uint8_t> magic = source.Bytes(0, 4);
    if (magic.empty()) {
        return unreadable();
    }
    if (!std::equal(std::begin(session::kMagic), std::end(session::kMagic), magic.begin())) {
        return fail("It is not a session file: it does not start with \"ORV\".");
    }
    if (size < session::kHeaderSize) {
        return fail("The file ends after " + Count(size, "bytes") +
                    ", inside its 788-byte header.");
    }
    std::array<uint8_t, session::kHeaderSize> header;
    if (const std::span<const uint8_t> read = source.Bytes(0, header.size()); !read.empty()) {
        std::copy(read.begin(), read.end(), header.begin());
    } else {
        return unreadable();
    }
    const std::span<const uint8_t> bytes(header);
    const std::string texts[3] = {Text(bytes, session::kText1Offset),
                                  Text(bytes, session::kText1Offset + session::kTextSize),
                                  Text(bytes, session::kText1Offset + 2 * session::kTextSize)};
    CalibrationId key;
    key.Day = bytes[session::kIdentityOffset];
    key.Month = bytes[session::kIdentityOffset + 1];
    key.Year = little_endian::Load16(&bytes[session::kIdentityOffset + 2]);
    key.Serial = little_endian::Load16(&bytes[session::kIdentityOffset + 4]);
    const uint16_t kind = little_endian::Load16(&bytes[session::kKindOffset]);
    const uint64_t body = little_endian::Load32(&bytes[session::kBodyOffsetField]);
    const bool track = (kind & 1u) != 0;
    const uint64_t bodySize = track ? session::kTrackBodySize : session::kGridBodySize;
    if (body > size || size - body < bodySize) {
        return fail("Its survey description at byte " + std::to_string(body) +
                    " lies beyond its end (" + Count(size, "bytes") + ").");
    }
    std::array<uint8_t, std::max(session::kGridBodySize, session::kTrackBodySize)> bodyFields{};
    if (const std::span<const uint8_t> read = source.Bytes(body, size_t(bodySize)); !read.empty()) {
        std::copy(read.begin(), read.end(), bodyFields.begin());
    } else {
        return unreadable();
    }
    const uint8_t* b = bodyFields.data();
    const ConfigurationSnapshot snapshot(config);
    std::unique_ptr<Survey> survey;
    // The body's `count` stations of `stride` bytes from `offset` into `target`'s slots, a block
    // at a time, each block shown to take(block, stations) first. False, with `error` set and
    // the configuration restored, when a block cannot be read or memory runs out.
    const auto loadStations = [&](Survey& target, uint64_t offset, uint64_t count, uint64_t stride,
                                  const auto& take) {
        const uint64_t blockStations = std::max<uint64_t>(1, kReadBlock / stride);
        for (uint64_t first = 0; first < count; first += blockStations) {
            const uint64_t n = std::min(blockStations, count - first);
            const std::span<const uint8_t> block =
                source.Bytes(offset + first * stride, size_t(n * stride));
            if (block.empty()) {
                snapshot.Restore(config);
                static_cast<void>(unreadable());
                return false;
            }
            take(block, size_t(n));
            if (!target.LoadSlots(block, int(first), int(n), size_t(stride))) {
                snapshot.Restore(config);
                error = "Insufficient memory";
                return false;
            }
        }
        return true;
    };

    if (!track) {
        const uint32_t reserved1 = little_endian::Load32(b);
        const uint32_t reserved2 = little_endian::Load32(b + 4);
        const uint64_t stations = little_endian::Load32(b + 8);
        const uint64_t profiles = little_endian::Load32(b + 12);
        const double xStep = little_endian::LoadDouble(b + 16);
        const double yStep = little_endian::LoadDouble(b + 24);
        const bool openEnded = (little_endian::Load32(b + 32) & 1u) != 0;
        const uint64_t slotsOffset = little_endian::Load32(b + 36);
        constexpr uint64_t kMaxInt = uint64_t(std::numeric_limits<int>::max());
        if (stations > kMaxInt || profiles > kMaxInt) {
            return fail("It claims " + Count(stations, "stations") + " on " +
                        Count(profiles, "profiles") + ".");
        }
        const uint64_t held = slotsOffset <= size ? (size - slotsOffset) / kSlotSize : 0;
        const uint64_t count = stations * profiles;
        // The survey built for the file must not have more stations than the file holds
        // either (a Profile has `stations` of them whatever `profiles` says).
        const bool map = profiles > 1;
        const uint64_t built = map ? count : (openEnded ? 0 : stations);
        if (slotsOffset > size || count > held || built > held) {
            return fail("It should hold " + Count(std::max(count, built), "stations") +
                        " but has room for " + std::to_string(held) + " after byte " +
                        std::to_string(slotsOffset) + " (" + Count(size, "bytes") + " in all).");
        }
        // The survey takes its steps from the configuration when it is built.
        config.XStep = NarrowStep(xStep);
        config.YStep = NarrowStep(yStep);
        if (map) {
            config.WorkType = work_type::kMap;
            config.XSize = int(stations);
            config.YSize = int(profiles);
        } else if (openEnded) {
            config.WorkType = work_type::kLine;
        } else {
            config.WorkType = work_type::kProfile;
            config.XSize = int(stations);
        }
        try {
            survey = std::make_unique<GridSurvey>(config);
        } catch (const std::bad_alloc&) {
            snapshot.Restore(config);
            error = "Insufficient memory";
            return nullptr;
        }
        if (!survey->ReserveSlots(int(count))) {
            snapshot.Restore(config);
            error = "Insufficient memory";
            return nullptr;
        }
        if (!loadStations(*survey, slotsOffset, count, kSlotSize,
                          [](std::span<const uint8_t>, size_t) {})) {
            return nullptr;
        }
        config.HeaderReserved1 = int(reserved1);
        config.HeaderReserved2 = int(reserved2);
    } else {
        const uint64_t count = little_endian::Load32(b);
        const uint32_t flags = little_endian::Load32(b + 4);
        const uint64_t slotsOffset = little_endian::Load32(b + 8);
        const bool positions = (flags & session::kTrackNoPositions) == 0;
        const uint64_t stride = positions ? session::kTrackStationSize : kSlotSize;
        const uint64_t held = slotsOffset <= size ? (size - slotsOffset) / stride : 0;
        if (slotsOffset > size || count > held ||
            count > uint64_t(std::numeric_limits<int>::max())) {
            return fail("It should hold " + Count(count, "stations") + " of " +
                        std::to_string(stride) + " bytes after byte " +
                        std::to_string(slotsOffset) + " but has " + Count(size, "bytes") +
                        " in all.");
        }
        config.WorkType = work_type::kGpsTrack;
        auto trackSurvey = std::unique_ptr<TrackSurvey>();
        std::vector<GpsFix> fixes;
        try {
            trackSurvey = std::make_unique<TrackSurvey>(config);
            if (positions) {
                fixes.reserve(size_t(count));
            }
            if (!trackSurvey->ReserveSlots(int(count))) {
                throw std::bad_alloc();
            }
        } catch (const std::bad_alloc&) {
            snapshot.Restore(config);
            error = "Insufficient memory";
            return nullptr;
        }
        const auto takePositions = [&](std::span<const uint8_t> block, size_t n) {
            if (positions) {
                for (size_t i = 0; i < n; ++i) {
                    const uint8_t* p = block.data() + i * stride + kSlotSize;
                    GpsFix& fix = fixes.emplace_back();
                    fix.longitude = little_endian::LoadDouble(p);
                    fix.latitude = little_endian::LoadDouble(p + 8);
                }
            }
        };
        if (!loadStations(*trackSurvey, slotsOffset, count, stride, takePositions)) {
            return nullptr;
        }
        if (!trackSurvey->SetPositions(fixes)) {
            snapshot.Restore(config);
            error = "Insufficient memory";
            return nullptr;
        }
        trackSurvey->UpdateLocalCoordinates();
        survey = std::move(trackSurvey);
    }

    if (!source.Finish()) {
        snapshot.Restore(config);
        return unreadable();
    }
    config.SessionText1 = texts[0];
    config.SessionText2 = texts[1];
    config.SessionText3 = texts[2];
    config.SelectCalibration(key);
    session::TakeFrequenciesFromFirstValidSlot(config, survey->Slots().View());
    survey->SetFileIdentity(key);
    survey->ResetCursor();
    survey->MarkLoaded(std::string(), size, 0);
    return survey;
}

}  // namespace

std::unique_ptr<Survey> OpenSession(const std::string& path, Configuration& config,
                                    std::string& error, std::string* detail)
{
    const auto cannotOpen = [&](int e) -> std::unique_ptr<Survey> {
        error = std::string(kCouldNotOpenText) + FileErrorText(FileErrorCause(e), path);
        return nullptr;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return cannotOpen(errno);
    }
    struct stat info
    {
    };
    int failure = 0;
    if (::fstat(fd, &info) != 0) {
        failure = errno;
    } else if (S_ISDIR(info.st_mode)) {
        failure = EISDIR;
    }
    if (failure != 0) {
        ::close(fd);
        return cannotOpen(failure);
    }
    FileSource source(fd, uint64_t(info.st_size));
    std::unique_ptr<Survey> survey = ReadFrom(source, config, error, detail);
    ::close(fd);
    if (!survey) {
        // A read that failed is the file's fault, not its format's.
        if (source.Failure() == ENOMEM) {
            error = "Insufficient memory";
        } else if (source.Failure() != 0) {
            return cannotOpen(source.Failure());
        }
        return nullptr;
    }
    survey->SetFilePath(path);
    survey->MarkLoaded(path, source.Size(), source.Crc());
    return survey;
}

bool SaveSession(Survey& survey, const std::string& path, std::string& error)
{
    std::string previous = survey.FilePath();
    survey.SetFilePath(path);
    if (survey.Save(path, true, error)) {
        // The session file is whole and durable; the stations' times go beside it.
        if (!SaveStationLog(survey, path, error)) {
            error = "the session was saved, but not the stations' times: " + error;
            return false;
        }
        return true;
    }
    // A file that could not be written does not become the survey's: a later Save would go
    // there again without asking.
    survey.SetFilePath(std::move(previous));
    return false;
}

std::string AutomaticFileName(std::time_t now)
{
    std::tm local{};
    return AutomaticFileName(::localtime_r(&now, &local));
}

std::string AutomaticFileName(const std::tm* local)
{
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = -1;
    int minute = -1;
    if (local != nullptr) {
        year = (local->tm_year + 1900) % 100;
        month = local->tm_mon + 1;
        day = local->tm_mday;
        hour = local->tm_hour;
        minute = local->tm_min;
    }
    char name[64];
    std::snprintf(name, sizeof name, "%02d%02d%02d_%02d%02d", year, month, day, hour, minute);
    return name;
}

std::string FileErrorText(int cause, const std::string& path)
{
    static constexpr const char* kTexts[] = {
        "No error occurred.",
        "An unknown error occurred while accessing %1.",
        "%1 was not found.",
        "%1 contains an incorrect path.",
        "Could not open %1 because there are too many open files.",
        "Access to %1 was denied.",
        "An incorrect file handle was associated with %1.",
        "Could not remove %1 because it is the current directory.",
        "Could not create %1 because the directory is full.",
        "Seek failed on %1",
        "Encountered a hardware I/O error while accessing %1.",
        "Encountered a sharing violation while accessing %1.",
        "Encountered a locking violation while accessing %1.",
        "Disk full while accessing %1.",
        "Attempted to access %1 past its end.",
    };
    if (cause < 0 || cause > 14) {
        cause = 1;
    }
    std::string text = kTexts[cause];
    const std::string name = path.empty() ? "an unnamed file" : path;
    const size_t at = text.find("%1");
    if (at != std::string::npos) {
        text.replace(at, 2, name);
    }
    return text;
}

int FileErrorCause(int errnoValue)
{
    switch (errnoValue) {
        case 0:
            return 0;
        case ENOENT:
            return 2;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
        case EISDIR:
            return 3;
        case EMFILE:
        case ENFILE:
            return 4;
        case EACCES:
        case EPERM:
        case EROFS:
            return 5;
        case EBADF:
            return 6;
        case EBUSY:
            return 7;
        case ESPIPE:
            return 9;
        case EIO:
            return 10;
        case ETXTBSY:
            return 11;
        case ENOLCK:
        case EDEADLK:
            return 12;
        case ENOSPC:
        case EDQUOT:
            return 13;
        default:
            return 1;
    }
}

}  // namespace orv
