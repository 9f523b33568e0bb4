#include "session/StatusStrip.h"

#include "resources/ResourceIds.h"
#include "resources/StringTable.h"

#include <cmath>
#include <cstdio>

namespace orv {

namespace {

// Above this age a fix is shown amber; above the stale bound red.
constexpr double kFreshSeconds = 2.0;
// A battery warns again only after it came back this far above its threshold.
constexpr double kVoltsMargin = 0.3;
constexpr int kPercentMargin = 5;

std::string Number(double value, int decimals)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

// The port's device alone, "/dev/rfcomm5" of "/dev/rfcomm5 (COM5:)".
std::string ShortPort(const std::string& port)
{
    const size_t space = port.find(" (");
    return space == std::string::npos ? port : port.substr(0, space);
}

StripItem InstrumentItem(const InstrumentLinkStatus& link)
{
    using string_id::kStripInstrumentClosed;
    switch (link.state) {
        case InstrumentLink::Connected:
            return {std::string(ResourceString(string_id::kStripInstrumentConnected)),
                    Severity::Normal};
        case InstrumentLink::Connecting:
            return {FormatResource(string_id::kStripInstrumentConnecting, {ShortPort(link.port)}),
                    Severity::Caution};
        case InstrumentLink::NotAnswering:
            return {FormatResource(string_id::kStripInstrumentNotAnswering, {ShortPort(link.port)}),
                    Severity::Alarm};
        case InstrumentLink::NoPort:
            return {FormatResource(string_id::kStripInstrumentNoPort, {ShortPort(link.port)}),
                    Severity::Alarm};
        case InstrumentLink::Closed:
            break;
    }
    return {std::string(ResourceString(kStripInstrumentClosed)), Severity::Normal};
}

StripItem GpsItem(const GpsStripInput& gps, double staleSeconds)
{
    using State = GpsStripInput::State;
    switch (gps.state) {
        case State::NoPort:
            return {FormatResource(string_id::kStripGpsNoPort, {ShortPort(gps.port)}),
                    Severity::Alarm};
        case State::Lost:
            return {FormatResource(string_id::kStripGpsLost, {ShortPort(gps.port)}),
                    Severity::Alarm};
        case State::Connecting:
        case State::Off:
            return {FormatResource(string_id::kStripGpsConnecting, {ShortPort(gps.port)}),
                    Severity::Caution};
        case State::Open:
            break;
    }
    if (!gps.haveFix) {
        return {std::string(ResourceString(string_id::kStripGpsNoFix)), Severity::Alarm};
    }
    const double age = std::max(0.0, gps.fixAgeSeconds);
    const Severity severity = age > staleSeconds    ? Severity::Alarm
                              : age > kFreshSeconds ? Severity::Caution
                                                    : Severity::Normal;
    return {FormatResource(string_id::kStripGpsFix,
                           {FixQualityText(gps.quality), std::to_string(gps.satellites),
                            Number(std::floor(age), 0)}),
            severity};
}

// "3, 7, 12" of the first few stations, "+ 4" for the rest: the operator walks back to them.
std::string StationList(const std::vector<int>& stations)
{
    constexpr size_t kNamed = 5;
    std::string text;
    for (size_t i = 0; i < stations.size() && i < kNamed; ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(stations[i]);
    }
    if (stations.size() > kNamed) {
        text += " + " + std::to_string(stations.size() - kNamed);
    }
    return text;
}

}  // namespace

std::string FixQualityText(int quality)
{
    switch (quality) {
        case 0:
            return std::string(ResourceString(string_id::kFixQualityInvalid));
        case 1:
            return std::string(ResourceString(string_id::kFixQualityGps));
        case 2:
            return std::string(ResourceString(string_id::kFixQualityDgps));
        case 4:
            return std::string(ResourceString(string_id::kFixQualityRtk));
        case 5:
            return std::string(ResourceString(string_id::kFixQualityFloat));
        default:
            return std::string(ResourceString(string_id::kFixQualityOther));
    }
}

std::string CalibrationStandInText(int serial, const CalibrationId& used)
{
    char date[16];
    std::snprintf(date, sizeof date, "%02u.%02u.%04u", unsigned(used.Day), unsigned(used.Month),
                  unsigned(used.Year));
    return FormatResource(string_id::kStripCalibrationStandIn,
                          {std::to_string(serial), std::to_string(used.Serial), date});
}

std::vector<StripItem> ComposeStrip(const StripInput& in)
{
    std::vector<StripItem> items;
    if (in.session) {
        // First: nothing else on the strip matters as much as measurements that may be lost.
        if (!in.journalProblem.empty()) {
            items.push_back({FormatResource(string_id::kStripJournalProblem, {in.journalProblem}),
                             Severity::Alarm});
        }
        items.push_back(InstrumentItem(in.instrument));
        if (in.instrument.centivolts) {
            const double volts = *in.instrument.centivolts * 0.01;
            items.push_back(
                {FormatResource(string_id::kStripInstrumentBattery, {Number(volts, 1)}),
                 volts < in.instrumentWarningVolts ? Severity::Alarm : Severity::Normal});
        }
        if (in.track) {
            items.push_back(GpsItem(in.gps, in.staleSeconds));
        }
        if (in.unpositioned > 0) {
            const std::string count = std::to_string(in.unpositioned);
            std::string text = in.unpositionedStations.empty()
                                   ? FormatResource(string_id::kStripUnpositioned, {count})
                                   : FormatResource(string_id::kStripUnpositionedStations,
                                                    {count, StationList(in.unpositionedStations)});
            items.push_back({std::move(text), Severity::Caution});
        }
    }
    if (in.standIn) {
        items.push_back(
            {CalibrationStandInText(in.instrumentSerial, *in.standIn), Severity::Caution});
    }
    if (in.handheldPercent >= 0 && in.handheldPercent <= 100) {
        items.push_back(
            {FormatResource(string_id::kStripHandheldBattery, {std::to_string(in.handheldPercent)}),
             in.handheldPercent < in.handheldWarningPercent ? Severity::Alarm : Severity::Normal});
    }
    return items;
}

std::string WindowTitle(bool session, const std::string& filePath, bool modified)
{
    const std::string program(ResourceString(string_id::kAppTitle));
    if (!session) {
        return program;
    }
    std::string name;
    if (filePath.empty()) {
        name = std::string(ResourceString(string_id::kTitleUnsaved));
    } else {
        const size_t slash = filePath.find_last_of('/');
        name = slash == std::string::npos ? filePath : filePath.substr(slash + 1);
    }
    if (modified) {
        name += " *";
    }
    return FormatResource(string_id::kTitleWithFile, {name, program});
}

bool BatteryAlarm::Update(std::optional<unsigned> instrumentCentivolts, int handheldPercent,
                          double warningVolts, int warningPercent)
{
    bool sound = false;
    if (instrumentCentivolts) {
        const double volts = *instrumentCentivolts * 0.01;
        if (!m_instrumentLow && volts < warningVolts) {
            m_instrumentLow = true;
            sound = true;
        } else if (m_instrumentLow && volts >= warningVolts + kVoltsMargin) {
            m_instrumentLow = false;
        }
    }
    if (handheldPercent >= 0 && handheldPercent <= 100) {
        if (!m_handheldLow && handheldPercent < warningPercent) {
            m_handheldLow = true;
            sound = true;
        } else if (m_handheldLow && handheldPercent >= warningPercent + kPercentMargin) {
            m_handheldLow = false;
        }
    }
    return sound;
}

}  // namespace orv
