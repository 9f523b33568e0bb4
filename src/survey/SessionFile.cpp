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
          xSize(c.XSize),
          ySize(c.YSize),
          surveyStations(c.SurveyStations),
          surveyProfiles(c.SurveyProfiles)
    {}
    void Restore(Configuration& c) const
    {
        c.WorkType = workType;
        c.XSize = xSize;
        c.YSize = ySize;
        c.SurveyStations = surveyStations;
        c.SurveyProfiles = surveyProfiles;
    }
    int workType, xSize, ySize, surveyStations, surveyProfiles;
};

}  // namespace

std::unique_ptr<Survey> ReadSession(std::span<const uint8_t> bytes, Configuration& config,
                                    std::string& error, std::string* detail)
{
    const auto fail = [&](const std::string& why) -> std::unique_ptr<Survey> {
        error = kWrongFormatText;
        if (detail != nullptr) {
            *detail = why;
        }
        return nullptr;
    };
    const uint64_t size = bytes.size();
    if (size < 4 ||
        !std::equal(std::begin(session::kMagic), std::end(session::kMagic), bytes.begin())) {
        return fail("It is not a session file: it does not start with \"ORV\".");
    }
    if (size < session::kHeaderSize) {
        return fail("The file ends after " + Count(size, "bytes") +
                    ", inside its 788-byte header.");
    }
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
    const uint8_t* b = bytes.data() + body;
    const ConfigurationSnapshot snapshot(config);
    std::unique_ptr<Survey> survey;

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
        if (!survey->LoadSlots(bytes.subspan(size_t(slotsOffset)), int(count), kSlotSize)) {
            snapshot.Restore(config);
            error = "Insufficient memory";
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
        const std::span<const uint8_t> stationBytes = bytes.subspan(size_t(slotsOffset));
        try {
            trackSurvey = std::make_unique<TrackSurvey>(config);
            if (positions) {
                fixes.reserve(size_t(count));
            }
        } catch (const std::bad_alloc&) {
            snapshot.Restore(config);
            error = "Insufficient memory";
            return nullptr;
        }
        if (positions) {
            for (size_t i = 0; i < size_t(count); ++i) {
                const uint8_t* p = stationBytes.data() + i * stride + kSlotSize;
                GpsFix& fix = fixes.emplace_back();
                fix.longitude = little_endian::LoadDouble(p);
                fix.latitude = little_endian::LoadDouble(p + 8);
            }
        }
        if (!trackSurvey->LoadSlots(stationBytes, int(count), size_t(stride)) ||
            !trackSurvey->SetPositions(fixes)) {
            snapshot.Restore(config);
            error = "Insufficient memory";
            return nullptr;
        }
        trackSurvey->UpdateLocalCoordinates();
        survey = std::move(trackSurvey);
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
    // Not value-initialised: every byte kept is one read from the file.
    std::unique_ptr<uint8_t[]> buffer;
    size_t done = 0;
    struct stat info
    {
    };
    int failure = 0;
    if (::fstat(fd, &info) != 0) {
        failure = errno;
    } else if (S_ISDIR(info.st_mode)) {
        failure = EISDIR;
    } else {
        const size_t size = size_t(info.st_size);
        try {
            buffer = std::make_unique_for_overwrite<uint8_t[]>(size);
        } catch (const std::exception&) {
            ::close(fd);
            error = "Insufficient memory";
            return nullptr;
        }
        while (done < size) {
            const ssize_t n = ::read(fd, buffer.get() + done, size - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                failure = errno;
                break;
            }
            if (n == 0) {
                break;  // the file shrank while it was read
            }
            done += size_t(n);
        }
    }
    ::close(fd);
    if (failure != 0) {
        return cannotOpen(failure);
    }
    const std::span<const uint8_t> bytes(buffer.get(), done);
    std::unique_ptr<Survey> survey = ReadSession(bytes, config, error, detail);
    if (survey) {
        survey->SetFilePath(path);
        survey->MarkLoaded(path, bytes.size(), Crc32(bytes));
    }
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
