#include "config/ConfigurationFields.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace orv {

namespace {

using C = Configuration;

constexpr FieldInfo Int(const char* name, const char* registry, int C::*field)
{
    FieldInfo f{name, registry, FieldKind::Int};
    f.intField = field;
    return f;
}
constexpr FieldInfo Float(const char* name, const char* registry, float C::*field)
{
    FieldInfo f{name, registry, FieldKind::Float};
    f.floatField = field;
    return f;
}
constexpr FieldInfo Double(const char* name, double C::*field)
{
    FieldInfo f{name, nullptr, FieldKind::Double};
    f.doubleField = field;
    return f;
}
constexpr FieldInfo ColourField(const char* name, Colour C::*field)
{
    FieldInfo f{name, nullptr, FieldKind::ColourWord};
    f.colourField = field;
    return f;
}
constexpr FieldInfo Text(const char* name, std::string C::*field, const char* registry = nullptr)
{
    FieldInfo f{name, registry, FieldKind::Text};
    f.textField = field;
    return f;
}

const FieldInfo kFields[] = {
    Int("WorkType", "Work type", &C::WorkType),
    Int("XSize", "xSize", &C::XSize),
    Int("YSize", "ySize", &C::YSize),
    Float("XStep", "xStep", &C::XStep),
    Float("YStep", "yStep", &C::YStep),
    FieldInfo{"UsedFrequencies", "Used frequences", FieldKind::Frequencies},
    Int("TrasserMode", "Trasser mode enabled", &C::TrasserMode),
    Int("HeaderReserved1", nullptr, &C::HeaderReserved1),
    Int("HeaderReserved2", nullptr, &C::HeaderReserved2),
    Int("BluetoothInboundPort", "Bluetooth virtual inbound COM port number",
        &C::BluetoothInboundPort),
    Int("BluetoothOutboundPort", "Bluetooth virtual outbound COM port number",
        &C::BluetoothOutboundPort),
    Int("GpsBaudRateId", "", &C::GpsBaudRateId),
    Int("NormalizedToCurrent", "Normalized to current", &C::NormalizedToCurrent),
    Int("NormalizedToFrequency", "Normalized to frequency", &C::NormalizedToFrequency),
    Int("PhaseEqualization", "Phase equalization", &C::PhaseEqualization),
    Int("SubtractUndercompensation", "Substract undercompensation", &C::SubtractUndercompensation),
    Int("SignalChannelIsCurrent", "Signal channel is current", &C::SignalChannelIsCurrent),
    Int("UnitMeasure", "Unit measure", &C::UnitMeasure),
    Int("SignalComponent", "Signal component", &C::SignalComponent),
    Int("ApparentValueKind", "Apparent value (omh or siemen)", &C::ApparentValueKind),
    Float("PowerInphase", "Frequency power value in frequency-normalized inpase signal",
          &C::PowerInphase),
    Float("PowerModule", "Frequency power value in frequency-normalized module signal",
          &C::PowerModule),
    Float("PowerQuadrature", "Frequency power value in frequency-normalized quadrature signal",
          &C::PowerQuadrature),
    Int("ApplySignalFilter", "Apply signal filter", &C::ApplySignalFilter),
    Double("FilterTolerance", &C::FilterTolerance),
    Float("DepthScaleFactor", "Depth scale factor", &C::DepthScaleFactor),
    Int("MinStationsForProfileCurve", "Minimum number of stations for a profile curve",
        &C::MinStationsForProfileCurve),
    Int("MinStationsForProfile", "Minimum number of stations for a profile",
        &C::MinStationsForProfile),
    Int("MinProfilesForArea", "Minimum number of profiles for an area", &C::MinProfilesForArea),
    Int("ShowSoundingCurves", "Show probe curves", &C::ShowSoundingCurves),
    Int("ShowProfileCurves", "Show profile curves", &C::ShowProfileCurves),
    Int("ShowSections", "Show profiles", &C::ShowSections),
    Int("ShowMaps", "Show areas", &C::ShowMaps),
    Int("FilterProfileCurve", "Filter profile curve", &C::FilterProfileCurve),
    // The stored name is historical: a plain value name, never formatted.
    Int("PixelRefinement", "Profile curve: profile %u, frequency %u", &C::PixelRefinement),
    Int("ManualAreaRange", "Manual area color chart ranges", &C::ManualAreaRange),
    Int("ManualProfileRange", "Manual profile color chart ranges", &C::ManualProfileRange),
    Int("TimerMode", "Measurement timer mode is on", &C::TimerMode),
    Int("TimerDelay", "Measurement timer delay", &C::TimerDelay),
    Int("TimerCount", "Measurement timer count", &C::TimerCount),
    Int("MeasurementsToShow", "Number of measurements to show", &C::MeasurementsToShow),
    Int("MinMeasurementsForScatteredMap",
        "Minimum number of measurements to show scattered data map",
        &C::MinMeasurementsForScatteredMap),
    Int("AreaFrequency", "Frequency number for the area graphics", &C::AreaFrequency),
    Float("InstrumentBatteryWarning", "instrumentBatteryWarning", &C::InstrumentBatteryWarning),
    Int("HandheldBatteryWarning", "handheldBatteryWarning", &C::HandheldBatteryWarning),
    Int("RealScaling", "Use real scaling to paint graphics", &C::RealScaling),
    Int("ShowGrid", "Show grid", &C::ShowGrid),
    Int("ShowScaleMarks", "Show scale marks", &C::ShowScaleMarks),
    Int("ShowGpsTrack", "Show GPS track", &C::ShowGpsTrack),
    Int("TrackRadius", "Radius value used in GPS Track view", &C::TrackRadius),
    Int("GpsStaleSeconds", "gpsStaleSeconds", &C::GpsStaleSeconds),
    ColourField("EmptyStationColour", &C::EmptyStationColour),
    ColourField("MeasuredStationColour", &C::MeasuredStationColour),
    ColourField("CursorColour", &C::CursorColour),
    ColourField("GridColour", &C::GridColour),
    Text("SessionText1", &C::SessionText1),
    Text("SessionText2", &C::SessionText2),
    Text("SessionText3", &C::SessionText3),
    Int("SurveyStations", nullptr, &C::SurveyStations),
    Int("SurveyProfiles", nullptr, &C::SurveyProfiles),
    Int("ConnectedSerial", nullptr, &C::ConnectedSerial),
    Text("RegistrySection", &C::RegistrySection),
    Text("LastFolder", &C::LastFolder, "lastFolder"),
};

// The shortest text that reads back as the same value.
template <typename T>
std::string Shortest(T v)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, result.ptr);
}

bool ParseInteger(std::string_view text, long long& value)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool ParseDouble(std::string_view text, double& value)
{
    const std::string s(text);
    if (s.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    value = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size() && errno != ERANGE && std::isfinite(value);
}

std::vector<std::string_view> SplitList(std::string_view text)
{
    std::vector<std::string_view> parts;
    while (!text.empty()) {
        const size_t comma = text.find(',');
        parts.push_back(text.substr(0, comma));
        if (comma == std::string_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    return parts;
}

}  // namespace

std::span<const FieldInfo> ConfigurationFields() { return kFields; }

const FieldInfo* FindConfigurationField(std::string_view name)
{
    for (const FieldInfo& f : kFields) {
        if (name == f.name) {
            return &f;
        }
    }
    return nullptr;
}

std::string FieldValueText(const Configuration& config, const FieldInfo& field)
{
    switch (field.kind) {
        case FieldKind::Int:
            return std::to_string(config.*field.intField);
        case FieldKind::Float:
            return Shortest(config.*field.floatField);
        case FieldKind::Double:
            return Shortest(config.*field.doubleField);
        case FieldKind::ColourWord: {
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "0x%08X", config.*field.colourField);
            return buffer;
        }
        case FieldKind::Text:
            return config.*field.textField;
        case FieldKind::Frequencies: {
            std::string out;
            for (int i = 0; i < kFrequencyCount; ++i) {
                out += i == 0 ? "" : ",";
                out += config.UsedFrequencies[size_t(i)] != 0 ? "1" : "0";
            }
            return out;
        }
    }
    return {};
}

bool SetFieldFromText(Configuration& config, const FieldInfo& field, std::string_view text,
                      std::string& error)
{
    switch (field.kind) {
        case FieldKind::Int: {
            long long v = 0;
            if (!ParseInteger(text, v) || v < INT32_MIN || v > UINT32_MAX) {
                error = std::string(field.name) + " takes a whole number, not '" +
                        std::string(text) + "'";
                return false;
            }
            config.*field.intField = static_cast<int>(static_cast<uint32_t>(v));
            return true;
        }
        case FieldKind::Float:
        case FieldKind::Double: {
            double v = 0;
            if (!ParseDouble(text, v) ||
                (field.kind == FieldKind::Float && !std::isfinite(static_cast<float>(v)))) {
                error = std::string(field.name) + " takes a finite number, not '" +
                        std::string(text) + "'";
                return false;
            }
            if (field.kind == FieldKind::Float) {
                config.*field.floatField = static_cast<float>(v);
            } else {
                config.*field.doubleField = v;
            }
            return true;
        }
        case FieldKind::ColourWord: {
            long long v = 0;
            if (!ParseInteger(text, v) || v < 0 || v > 0xFFFFFFFFLL) {
                error = std::string(field.name) + " takes a colour word such as 0x00FF0000";
                return false;
            }
            config.*field.colourField = static_cast<Colour>(v);
            return true;
        }
        case FieldKind::Text:
            config.*field.textField = std::string(text);
            return true;
        case FieldKind::Frequencies: {
            const auto parts = SplitList(text);
            std::array<int, kFrequencyCount> flags{};
            if (parts.size() == size_t(kFrequencyCount)) {
                for (size_t i = 0; i < parts.size(); ++i) {
                    if (parts[i] != "0" && parts[i] != "1") {
                        error =
                            "UsedFrequencies takes 14 flags 0 or 1, or a list of frequency "
                            "numbers 1..14";
                        return false;
                    }
                    flags[i] = parts[i] == "1" ? 1 : 0;
                }
            } else {
                for (const auto part : parts) {
                    long long n = 0;
                    if (!ParseInteger(part, n) || n < 1 || n > kFrequencyCount) {
                        error =
                            "UsedFrequencies takes 14 flags 0 or 1, or a list of frequency "
                            "numbers 1..14";
                        return false;
                    }
                    flags[size_t(n - 1)] = 1;
                }
            }
            config.UsedFrequencies = flags;
            return true;
        }
    }
    return false;
}

bool ApplySetting(Configuration& config, std::string_view assignment, std::string& error)
{
    const size_t equals = assignment.find('=');
    if (equals == std::string_view::npos) {
        error = "a setting is written Field=Value, not '" + std::string(assignment) + "'";
        return false;
    }
    const std::string_view name = assignment.substr(0, equals);
    const std::string_view value = assignment.substr(equals + 1);
    if (name == "CalibrationKey") {
        const auto parts = SplitList(value);
        long long serial = 0;
        if (parts.empty() || !ParseInteger(parts[0], serial) || serial < 0 || serial > 65535) {
            error = "CalibrationKey takes SERIAL[,DD/MM/YYYY]";
            return false;
        }
        CalibrationId key = config.CalibrationKey;
        key.Serial = static_cast<uint16_t>(serial);
        if (parts.size() > 1) {
            unsigned day = 0, month = 0, year = 0;
            const std::string date(parts[1]);
            if (std::sscanf(date.c_str(), "%u/%u/%u", &day, &month, &year) != 3 || day < 1 ||
                day > 31 || month < 1 || month > 12 || year > 65535) {
                error = "CalibrationKey takes SERIAL[,DD/MM/YYYY]";
                return false;
            }
            key.Day = static_cast<uint8_t>(day);
            key.Month = static_cast<uint8_t>(month);
            key.Year = static_cast<uint16_t>(year);
        }
        config.SelectCalibration(key);
        return true;
    }
    const FieldInfo* field = FindConfigurationField(name);
    if (field == nullptr) {
        error = "there is no setting named '" + std::string(name) + "'";
        return false;
    }
    return SetFieldFromText(config, *field, value, error);
}

}  // namespace orv
