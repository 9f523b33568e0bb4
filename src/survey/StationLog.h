#pragma once
// What the field log knows of each station beyond the session file: its wall-clock time and, on
// a GPS track, the quality of the fix that placed it. The session file stays byte for byte the
// handheld's; these are kept in a small text file beside it, "<file>.orv.stations", written
// atomically at every save and read at every open. A damaged log is ignored with a warning: it
// never keeps a session from opening.
//
//   ORV station log 1
//   slot,unix_time_ms,fix_quality,satellites,hdop
//   0,1765286400000,1,7,0.9
//   3,1765286460000,,,
//
// Only stations with something known are listed; an empty field is not known.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

class Survey;

struct StationMeta
{
    std::optional<int64_t> unixTimeMs;  // UTC, milliseconds since 1970-01-01
    std::optional<int> fixQuality;      // GGA fix quality: 0 invalid, 1 GPS, 2 DGPS, 4 RTK ...
    std::optional<int> satellites;      // satellites in use
    std::optional<double> hdop;

    [[nodiscard]] bool Empty() const { return !unixTimeMs && !fixQuality && !satellites && !hdop; }
    friend bool operator==(const StationMeta&, const StationMeta&) = default;
};

// "<session path>.stations".
[[nodiscard]] std::string StationLogPath(const std::string& sessionPath);

// The log's text for `meta` (index = slot).
[[nodiscard]] std::string FormatStationLog(std::span<const StationMeta> meta);

// Reads a log of a session with `slotCount` slots into `meta` (resized to slotCount). False,
// with the line and the reason, for anything but a well-formed log of this session; `meta` is
// then unchanged.
[[nodiscard]] bool ParseStationLog(std::string_view text, size_t slotCount,
                                   std::vector<StationMeta>& meta, std::string& error);

// Writes the log of `survey` beside `sessionPath` atomically; with nothing to log, removes a
// log left there by an earlier save. False with the reason when it could not be written.
[[nodiscard]] bool SaveStationLog(const Survey& survey, const std::string& sessionPath,
                                  std::string& error);

// Reads the log beside the survey's file into the survey, when there is one. Returns a warning
// for the operator when a log is there but damaged or unreadable (the survey keeps no times
// then), else an empty text.
[[nodiscard]] std::string LoadStationLog(Survey& survey);

}  // namespace orv
