#include "survey/StationLog.h"

#include "base/AtomicFile.h"
#include "survey/Survey.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace orv {

namespace {

constexpr std::string_view kMagic = "ORV station log 1";
constexpr std::string_view kColumns = "slot,unix_time_ms,fix_quality,satellites,hdop";
// A log longer than this is not one this program wrote.
constexpr size_t kMaxLogBytes = 64u << 20;

template <typename T>
bool ReadWhole(std::string_view field, T& value)
{
    const char* end = field.data() + field.size();
    const auto [ptr, ec] = std::from_chars(field.data(), end, value);
    return ec == std::errc() && ptr == end;
}

bool ReadDouble(std::string_view field, double& value)
{
    // from_chars for double is in GCC 12; it takes no leading '+' and no spaces.
    const char* end = field.data() + field.size();
    const auto [ptr, ec] = std::from_chars(field.data(), end, value);
    return ec == std::errc() && ptr == end && std::isfinite(value);
}

template <typename T>
std::string Text(const std::optional<T>& value)
{
    return value ? std::to_string(*value) : std::string();
}

std::string HdopText(const std::optional<double>& hdop)
{
    if (!hdop) {
        return {};
    }
    char buffer[32];
    const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, *hdop);
    return ec == std::errc() ? std::string(buffer, ptr) : std::string();
}

}  // namespace

std::string StationLogPath(const std::string& sessionPath) { return sessionPath + ".stations"; }

std::string FormatStationLog(std::span<const StationMeta> meta)
{
    std::string out;
    out += kMagic;
    out += '\n';
    out += kColumns;
    out += '\n';
    for (size_t slot = 0; slot < meta.size(); ++slot) {
        const StationMeta& m = meta[slot];
        if (m.Empty()) {
            continue;
        }
        out += std::to_string(slot) + ',' + Text(m.unixTimeMs) + ',' + Text(m.fixQuality) + ',' +
               Text(m.satellites) + ',' + HdopText(m.hdop) + '\n';
    }
    return out;
}

bool ParseStationLog(std::string_view text, size_t slotCount, std::vector<StationMeta>& meta,
                     std::string& error)
{
    std::vector<StationMeta> read(slotCount);
    size_t lineNumber = 0;
    size_t at = 0;
    const auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(lineNumber) + ": " + why;
        return false;
    };
    while (at < text.size()) {
        const size_t end = text.find('\n', at);
        if (end == std::string_view::npos) {
            ++lineNumber;
            return fail("the last line is cut short");
        }
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (lineNumber == 1) {
            if (line != kMagic) {
                return fail("not a station log of this program");
            }
            continue;
        }
        if (lineNumber == 2) {
            if (line != kColumns) {
                return fail("unknown columns");
            }
            continue;
        }
        std::string_view fields[5];
        size_t count = 0;
        size_t from = 0;
        while (true) {
            const size_t comma = line.find(',', from);
            if (count == 5) {
                return fail("more than 5 fields");
            }
            fields[count++] =
                line.substr(from, comma == std::string_view::npos ? line.npos : comma - from);
            if (comma == std::string_view::npos) {
                break;
            }
            from = comma + 1;
        }
        if (count != 5) {
            return fail("5 fields expected");
        }
        size_t slot = 0;
        if (!ReadWhole(fields[0], slot) || slot >= slotCount) {
            return fail("no slot " + std::string(fields[0]) + " in this session");
        }
        StationMeta m;
        int64_t time = 0;
        int quality = 0;
        int satellites = 0;
        double hdop = 0.0;
        if (!fields[1].empty()) {
            if (!ReadWhole(fields[1], time)) {
                return fail("a time that is not a whole number");
            }
            m.unixTimeMs = time;
        }
        if (!fields[2].empty()) {
            if (!ReadWhole(fields[2], quality) || quality < 0 || quality > 9) {
                return fail("a fix quality that is not 0 to 9");
            }
            m.fixQuality = quality;
        }
        if (!fields[3].empty()) {
            if (!ReadWhole(fields[3], satellites) || satellites < 0 || satellites > 99) {
                return fail("a satellite count that is not 0 to 99");
            }
            m.satellites = satellites;
        }
        if (!fields[4].empty()) {
            if (!ReadDouble(fields[4], hdop) || hdop < 0.0) {
                return fail("an HDOP that is not a number of 0 or more");
            }
            m.hdop = hdop;
        }
        read[slot] = m;
    }
    if (lineNumber < 2) {
        ++lineNumber;
        return fail("not a station log of this program");
    }
    meta = std::move(read);
    return true;
}

bool SaveStationLog(const Survey& survey, const std::string& sessionPath, std::string& error)
{
    const std::string path = StationLogPath(sessionPath);
    const auto meta = survey.StationMetas();
    bool any = false;
    for (const StationMeta& m : meta) {
        any = any || !m.Empty();
    }
    if (!any) {
        // A log of an earlier save would give this file's stations times they do not have.
        std::error_code ec;
        std::filesystem::remove(path, ec);
        if (ec) {
            error = "cannot remove " + path + ": " + ec.message();
            return false;
        }
        return true;
    }
    const std::string text = FormatStationLog(meta);
    return WriteFileAtomically(
        path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), error);
}

std::string LoadStationLog(Survey& survey)
{
    if (survey.FilePath().empty()) {
        return {};
    }
    const std::string path = StationLogPath(survey.FilePath());
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        return {};
    }
    const auto size = std::filesystem::file_size(path, ec);
    std::string warning = "The station times in " + path + " were not read (";
    if (ec || size > kMaxLogBytes) {
        return warning + (ec ? ec.message() : std::string("too long")) + ").";
    }
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
        return warning + "cannot read it).";
    }
    std::vector<StationMeta> meta;
    std::string error;
    if (!ParseStationLog(text, static_cast<size_t>(survey.Slots().Count()), meta, error)) {
        return warning + error + ").";
    }
    survey.SetStationMetas(std::move(meta));
    return {};
}

}  // namespace orv
