#include "sim/GpsSentences.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace orv::sim {

namespace {

constexpr double kMetresPerDegree = 6371000.0 * std::numbers::pi / 180.0;
constexpr double kKnotsPerMetreSecond = 3600.0 / 1852.0;

// PRNs, elevations and azimuths of a plausible sky.
struct Sky
{
    int prn, elevation, azimuth, snr;
};
constexpr Sky kSky[12] = {{2, 67, 112, 44},  {5, 45, 208, 41},  {7, 38, 301, 39},
                          {9, 22, 48, 35},   {12, 71, 254, 45}, {15, 15, 160, 31},
                          {17, 53, 87, 42},  {19, 30, 330, 37}, {24, 12, 12, 28},
                          {26, 41, 188, 40}, {28, 9, 276, 26},  {30, 60, 140, 43}};

std::string Format(const char* format, auto... args)
{
    char buffer[160];
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    return std::string(buffer, n < 0 ? 0 : std::min<size_t>(size_t(n), sizeof buffer - 1));
}

std::string TimeText(const UtcTime& t)
{
    return Format("%02d%02d%02d.%02d", t.hour, t.minute, t.second, t.millisecond / 10);
}

bool IsTimeSentence(std::string_view type)
{
    return type == "GGA" || type == "RMC" || type == "GLL" || type == "ZDA" || type == "GNS";
}

// hhmmss[.ss] as ms of the day, when the text holds six digits first.
std::optional<int64_t> TimeOfDay(std::string_view field)
{
    if (field.size() < 6) {
        return std::nullopt;
    }
    for (size_t i = 0; i < 6; ++i) {
        if (field[i] < '0' || field[i] > '9') {
            return std::nullopt;
        }
    }
    const auto two = [&](size_t i) { return (field[i] - '0') * 10 + (field[i + 1] - '0'); };
    int64_t ms = (int64_t{two(0)} * 3600 + two(2) * 60 + two(4)) * 1000;
    if (field.size() > 7 && field[6] == '.') {
        int64_t scale = 100;
        for (size_t i = 7; i < field.size() && scale > 0 && field[i] >= '0' && field[i] <= '9';
             ++i) {
            ms += (field[i] - '0') * scale;
            scale /= 10;
        }
    }
    return ms;
}

// The fix time of the first time-bearing sentence in a line, if any.
std::optional<int64_t> LineTime(std::string_view line)
{
    const size_t dollar = line.rfind('$');
    if (dollar == std::string_view::npos || line.size() < dollar + 7) {
        return std::nullopt;
    }
    const std::string_view sentence = line.substr(dollar + 1);
    if (sentence[5] != ',' || !IsTimeSentence(sentence.substr(2, 3))) {
        return std::nullopt;
    }
    size_t wanted = sentence.substr(2, 3) == "GLL" ? 5 : 1;
    size_t start = 6;
    for (size_t field = 1; field < wanted; ++field) {
        start = sentence.find(',', start);
        if (start == std::string_view::npos) {
            return std::nullopt;
        }
        ++start;
    }
    const size_t end = sentence.find_first_of(",*\r\n", start);
    return TimeOfDay(sentence.substr(start, end == std::string_view::npos ? end : end - start));
}

}  // namespace

std::string FrameSentence(std::string_view body)
{
    uint8_t checksum = 0;
    for (const char c : body) {
        checksum ^= uint8_t(c);
    }
    return "$" + std::string(body) + Format("*%02X\r\n", checksum);
}

std::string FormatAngle(double degrees, int degreeDigits)
{
    // Rounded once in units of 1e-5 minute, so 59.999996 minutes carries into the degrees.
    const long long units = std::llround(std::fabs(degrees) * 60.0 * 1e5);
    const long long whole = units / 6000000;
    const long long minutes = units % 6000000;
    return Format("%0*lld%02lld.%05lld", degreeDigits, whole, minutes / 100000, minutes % 100000);
}

WalkModel::WalkModel(const GpsWalk& walk)
    : m_walk(walk), m_latitude(walk.latitude), m_longitude(walk.longitude), m_heading(walk.heading)
{
    m_walk.satellites = std::clamp(m_walk.satellites, 4, 12);
    if (m_walk.talker != "GN") {
        m_walk.talker = "GP";
    }
}

void WalkModel::Advance(double seconds)
{
    while (seconds > 0.0) {
        double step = seconds;
        if (m_walk.turnEvery > 0.0) {
            step = std::min(step, m_walk.turnEvery - m_sinceTurn);
        }
        const double metres = m_walk.speed * step;
        const double heading = m_heading * std::numbers::pi / 180.0;
        m_latitude += metres * std::cos(heading) / kMetresPerDegree;
        const double cosLatitude = std::max(std::cos(m_latitude * std::numbers::pi / 180.0), 1e-6);
        m_longitude += metres * std::sin(heading) / (kMetresPerDegree * cosLatitude);
        if (m_longitude > 180.0) {
            m_longitude -= 360.0;
        } else if (m_longitude < -180.0) {
            m_longitude += 360.0;
        }
        m_latitude = std::clamp(m_latitude, -89.9, 89.9);
        seconds -= step;
        m_sinceTurn += step;
        if (m_walk.turnEvery > 0.0 && m_sinceTurn >= m_walk.turnEvery) {
            m_sinceTurn = 0.0;
            m_heading = std::fmod(m_heading + m_walk.turnBy + 360.0, 360.0);
        }
    }
}

std::vector<std::string> WalkModel::Epoch(const UtcTime& t, bool lostFix) const
{
    const std::string& tk = m_walk.talker;
    const bool fix = m_walk.quality > 0 && !lostFix;
    const int quality = fix ? m_walk.quality : 0;
    const std::string time = TimeText(t);
    const std::string lat = FormatAngle(m_latitude, 2);
    const char ns = m_latitude < 0 ? 'S' : 'N';
    const std::string lon = FormatAngle(m_longitude, 3);
    const char ew = m_longitude < 0 ? 'W' : 'E';
    const int used = fix ? m_walk.satellites : 0;

    std::vector<std::string> out;
    out.push_back(FrameSentence(Format("%sGGA,%s,%s,%c,%s,%c,%d,%02d,%.1f,%.1f,M,47.0,M,,",
                                       tk.c_str(), time.c_str(), lat.c_str(), ns, lon.c_str(), ew,
                                       quality, used, m_walk.hdop, m_walk.altitude)));
    std::string gsa = tk + "GSA,A," + (fix ? "3" : "1");
    for (int i = 0; i < 12; ++i) {
        gsa += i < used ? Format(",%02d", kSky[i].prn) : ",";
    }
    gsa += Format(",%.1f,%.1f,%.1f", m_walk.hdop * 1.6, m_walk.hdop, m_walk.hdop * 1.3);
    out.push_back(FrameSentence(gsa));
    const int inView = 12;
    const int messages = (inView + 3) / 4;
    for (int m = 0; m < messages; ++m) {
        std::string gsv = Format("GPGSV,%d,%d,%02d", messages, m + 1, inView);
        for (int k = 4 * m; k < 4 * m + 4 && k < inView; ++k) {
            const bool tracked = fix && k < used + 2;
            gsv += Format(",%02d,%02d,%03d,", kSky[k].prn, kSky[k].elevation, kSky[k].azimuth);
            if (tracked) {
                gsv += Format("%02d", kSky[k].snr);
            }
        }
        out.push_back(FrameSentence(gsv));
    }
    const double knots = fix ? m_walk.speed * kKnotsPerMetreSecond : 0.0;
    out.push_back(
        FrameSentence(Format("%sRMC,%s,%c,%s,%c,%s,%c,%.2f,%.1f,%02d%02d%02d,,,%c", tk.c_str(),
                             time.c_str(), fix ? 'A' : 'V', lat.c_str(), ns, lon.c_str(), ew, knots,
                             m_heading, t.day, t.month, t.year % 100, fix ? 'A' : 'N')));
    return out;
}

std::vector<ReplayEpoch> SplitIntoEpochs(std::span<const uint8_t> capture)
{
    std::vector<ReplayEpoch> epochs;
    size_t start = 0;
    while (start < capture.size()) {
        size_t end = start;
        while (end < capture.size() && capture[end] != '\n') {
            ++end;
        }
        if (end < capture.size()) {
            ++end;
        }
        const std::span<const uint8_t> line = capture.subspan(start, end - start);
        start = end;
        if (line.front() == '#') {
            continue;
        }
        const std::optional<int64_t> time =
            LineTime(std::string_view(reinterpret_cast<const char*>(line.data()), line.size()));
        if (epochs.empty() ||
            (time && epochs.back().timeOfDay && *time != *epochs.back().timeOfDay)) {
            epochs.push_back({});
        }
        ReplayEpoch& epoch = epochs.back();
        if (time && !epoch.timeOfDay) {
            epoch.timeOfDay = time;
        }
        epoch.bytes.insert(epoch.bytes.end(), line.begin(), line.end());
    }
    return epochs;
}

int64_t EpochDelay(const ReplayEpoch& from, const ReplayEpoch& to)
{
    if (!from.timeOfDay || !to.timeOfDay) {
        return 1000;
    }
    int64_t delay = *to.timeOfDay - *from.timeOfDay;
    if (delay < 0) {
        delay += 86400000;
    }
    return delay > 0 && delay <= 10000 ? delay : 1000;
}

}  // namespace orv::sim
