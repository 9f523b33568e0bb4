#include "config/Configuration.h"

#include "base/ByteOrder.h"
#include "config/ConfigurationFields.h"
#include "config/SettingsStore.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace orv {

namespace {

constexpr const char* kSerialName = "ORV serial number";
constexpr const char* kDateName = "The last calibration data was used";
constexpr uint32_t kDefaultPackedDate = 0x07D00101;  // 1 January 2000

struct ChartNames
{
    const char* colours;
    const char* minimum;
    const char* maximum;
    float fallbackMinimum;
    float fallbackMaximum;
};

constexpr ChartNames kAreaChart = {"Area color chart", "Area color chart minimum value",
                                   "Area color chart maximum value", 0.0f, 0.0f};
constexpr ChartNames kProfileChart = {"Profile color chart", "Profile color chart minimum value",
                                      "Profile color chart maximum value", 1.0f, 0.0f};

// A float blob is read from its first four bytes; a shorter blob counts as absent.
std::optional<float> ReadFloat(const SettingsStore& store, const std::string& name)
{
    const auto bytes = store.ReadBinary(name);
    if (!bytes || bytes->size() < 4) {
        return std::nullopt;
    }
    return little_endian::LoadFloat(bytes->data());
}

bool WriteFloat(SettingsStore& store, const std::string& name, float value)
{
    uint8_t bytes[4];
    little_endian::StoreFloat(bytes, value);
    return store.WriteBinary(name, bytes);
}

void LoadChart(const SettingsStore& store, const ChartNames& names, ColourChart& chart)
{
    if (const auto bytes = store.ReadBinary(names.colours)) {
        chart.SetColourBytes(*bytes);
    }
    const float minimum = ReadFloat(store, names.minimum).value_or(names.fallbackMinimum);
    const float maximum = ReadFloat(store, names.maximum).value_or(names.fallbackMaximum);
    // Refused unless minimum < maximum, so a missing pair keeps the chart's range.
    chart.SetRange(minimum, maximum);
}

bool SaveChart(SettingsStore& store, const ChartNames& names, const ColourChart& chart)
{
    bool ok = true;
    // A chart without stops leaves the stored stops as they were.
    if (chart.Count() > 0) {
        const auto bytes = chart.ColourBytes();
        ok = store.WriteBinary(names.colours, bytes) && ok;
    }
    float minimum = 0, maximum = 0;
    chart.GetRange(minimum, maximum);
    ok = WriteFloat(store, names.minimum, minimum) && ok;
    ok = WriteFloat(store, names.maximum, maximum) && ok;
    return ok;
}

}  // namespace

Configuration::Configuration(SettingsStore& store, const std::string& calibrationPath,
                             Prompt& prompt)
    : m_store(store),
      m_calibrationStore(std::make_unique<CalibrationStore>(calibrationPath, prompt))
{
    LoadDefaults();
    Load();
}

Configuration::~Configuration() = default;

void Configuration::LoadDefaults()
{
    WorkType = work_type::kMap;
    XSize = 20;
    YSize = 10;
    XStep = 1.0f;
    YStep = 1.0f;
    UsedFrequencies.fill(1);
    TrasserMode = 0;
    HeaderReserved1 = 0;
    HeaderReserved2 = 0;
    BluetoothInboundPort = 5;
    BluetoothOutboundPort = 8;
    GpsBaudRateId = 79;
    NormalizedToCurrent = 0;
    NormalizedToFrequency = 0;
    PhaseEqualization = 0;
    SubtractUndercompensation = 0;
    SignalChannelIsCurrent = 0;
    UnitMeasure = 0;
    SignalComponent = 1;
    ApparentValueKind = 0;
    PowerInphase = 2.5f;
    PowerModule = 2.0f;
    PowerQuadrature = 2.0f;
    ApplySignalFilter = 0;
    FilterTolerance = 0.5;
    DepthScaleFactor = 10.0f;
    MinStationsForProfileCurve = 4;
    MinStationsForProfile = 4;
    MinProfilesForArea = 3;
    ShowSoundingCurves = 1;
    ShowProfileCurves = 0;
    ShowSections = 1;
    ShowMaps = 1;
    FilterProfileCurve = 0;
    PixelRefinement = 1;
    ManualAreaRange = 0;
    ManualProfileRange = 0;
    TimerMode = 0;
    TimerDelay = 3500;
    TimerCount = 0;
    MeasurementsToShow = 0;
    MinMeasurementsForScatteredMap = 4;
    AreaFrequency = 1;
    InstrumentBatteryWarning = 11.0f;
    HandheldBatteryWarning = 20;
    RealScaling = 1;
    ShowGrid = 0;
    ShowScaleMarks = 1;
    ShowGpsTrack = 1;
    TrackRadius = 50;
    GpsStaleSeconds = 5;
    EmptyStationColour = 0x00AFAFAF;
    MeasuredStationColour = 0x000000FF;
    CursorColour = 0x00FF0000;
    GridColour = 0x00808080;
    ConnectedSerial = 0;
    AreaChart.LoadPreset(ColourPreset::Rgb);
    ProfileChart.LoadPreset(ColourPreset::Rgb);
}

void Configuration::Load()
{
    for (const FieldInfo& field : ConfigurationFields()) {
        if (field.registryName == nullptr) {
            continue;
        }
        const std::string name = field.registryName;
        switch (field.kind) {
            case FieldKind::Int:
                if (const auto v = m_store.ReadDword(name)) {
                    this->*field.intField = static_cast<int>(*v);
                }
                break;
            case FieldKind::Float:
                if (const auto v = ReadFloat(m_store, name)) {
                    this->*field.floatField = *v;
                }
                break;
            case FieldKind::Text:
                if (const auto bytes = m_store.ReadBinary(name)) {
                    this->*field.textField = std::string(bytes->begin(), bytes->end());
                }
                break;
            case FieldKind::Frequencies:
                // Fewer than 14 flags count as absent.
                if (const auto bytes = m_store.ReadBinary(name);
                    bytes && bytes->size() >= size_t(kFrequencyCount)) {
                    for (size_t i = 0; i < size_t(kFrequencyCount); ++i) {
                        UsedFrequencies[i] = (*bytes)[i] != 0 ? 1 : 0;
                    }
                }
                break;
            default:
                break;
        }
    }

    // The fallback of the date is fixed, whatever CalibrationKey holds.
    const uint32_t packed = m_store.ReadDword(kDateName).value_or(kDefaultPackedDate);
    const uint32_t serial = m_store.ReadDword(kSerialName).value_or(CalibrationKey.Serial);
    CalibrationId key;
    key.Serial = static_cast<uint16_t>(serial);
    key.Year = static_cast<uint16_t>(packed >> 16);
    key.Month = static_cast<uint8_t>(packed >> 8);
    key.Day = static_cast<uint8_t>(packed);
    SelectCalibration(key);

    LoadChart(m_store, kAreaChart, AreaChart);
    LoadChart(m_store, kProfileChart, ProfileChart);
}

bool Configuration::Save(std::string& error)
{
    bool ok = true;
    for (const FieldInfo& field : ConfigurationFields()) {
        if (field.registryName == nullptr) {
            continue;
        }
        const std::string name = field.registryName;
        switch (field.kind) {
            case FieldKind::Int:
                ok = m_store.WriteDword(name, static_cast<uint32_t>(this->*field.intField)) && ok;
                break;
            case FieldKind::Float:
                ok = WriteFloat(m_store, name, this->*field.floatField) && ok;
                break;
            case FieldKind::Text: {
                const std::string& text = this->*field.textField;
                ok = m_store.WriteBinary(
                         name,
                         std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())) &&
                     ok;
                break;
            }
            case FieldKind::Frequencies: {
                uint8_t flags[kFrequencyCount];
                for (size_t i = 0; i < size_t(kFrequencyCount); ++i) {
                    flags[i] = UsedFrequencies[i] != 0 ? 1 : 0;
                }
                ok = m_store.WriteBinary(name, flags) && ok;
                break;
            }
            default:
                break;
        }
    }
    ok = m_store.WriteDword(kSerialName, CalibrationKey.Serial) && ok;
    ok = m_store.WriteDword(kDateName, PackedDate(CalibrationKey)) && ok;
    ok = SaveChart(m_store, kAreaChart, AreaChart) && ok;
    ok = SaveChart(m_store, kProfileChart, ProfileChart) && ok;
    std::string flushError;
    if (!m_store.Flush(flushError)) {
        error = "The settings could not be saved: " + flushError;
        return false;
    }
    if (!ok) {
        error = "The settings could not be saved: the store refused a value";
    }
    return ok;
}

void Configuration::SelectCalibration(const CalibrationId& key)
{
    CalibrationKey = key;
    m_calibrationStore->Select(CalibrationKey, ActiveCalibration);
}

void Configuration::NoteInstrumentSerial(unsigned serial)
{
    if (serial == 0 || serial == static_cast<unsigned>(ConnectedSerial)) {
        return;
    }
    ConnectedSerial = static_cast<int>(serial);
    CalibrationId key = CalibrationKey;
    key.Serial = static_cast<uint16_t>(serial);
    SelectCalibration(key);
}

uint32_t Configuration::GpsStaleMilliseconds() const
{
    return static_cast<uint32_t>(std::clamp(GpsStaleSeconds, 1, 3600)) * 1000u;
}

std::optional<CalibrationId> Configuration::CalibrationStandIn() const
{
    if (ConnectedSerial <= 0 || ConnectedSerial == int(CalibrationKey.Serial)) {
        return std::nullopt;
    }
    return CalibrationKey;
}

uint32_t Configuration::GpsBaudRate() const
{
    static constexpr uint32_t kRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                          19200, 38400, 56000, 57600, 115200, 128000, 256000};
    if (GpsBaudRateId >= 73 && GpsBaudRateId <= 87) {
        return kRates[GpsBaudRateId - 73];
    }
    return 9600;
}

bool Configuration::SaveAndClose(std::string& error)
{
    std::string saveError;
    bool ok = Save(saveError);
    // The calibration file is written after the settings.
    std::string closeError;
    const bool closed = Calibrations().Close(closeError);
    if (!ok) {
        error = saveError;
    }
    if (!closed) {
        error += (error.empty() ? "" : "\n") + closeError;
        ok = false;
    }
    return ok;
}

}  // namespace orv
