#include "exchange/StationTable.h"

#include "config/Configuration.h"
#include "signal/SignalComputation.h"

#include <cmath>
#include <cstdio>
#include <new>
#include <numbers>
#include <set>

namespace orv {

namespace {

// The Earth radius of the Main page's local track frame.
constexpr double kEarthRadius = 6371000.0;

// Sets the unit for the values of one export and puts the configuration back afterwards.
class UnitOverride
{
public:
    UnitOverride(Configuration& config, ExportUnit unit)
        : m_config(config), m_unitMeasure(config.UnitMeasure), m_kind(config.ApparentValueKind)
    {
        switch (unit) {
            case ExportUnit::AsConfigured:
                break;
            case ExportUnit::Adc:
                config.UnitMeasure = unit_measure::kAdc;
                break;
            case ExportUnit::OhmMetres:
                config.UnitMeasure = unit_measure::kApparent;
                config.ApparentValueKind = apparent_kind::kResistivity;
                break;
            case ExportUnit::MilliSiemensPerMetre:
                config.UnitMeasure = unit_measure::kApparent;
                config.ApparentValueKind = apparent_kind::kConductivity;
                break;
        }
    }
    ~UnitOverride()
    {
        m_config.UnitMeasure = m_unitMeasure;
        m_config.ApparentValueKind = m_kind;
    }
    UnitOverride(const UnitOverride&) = delete;
    UnitOverride& operator=(const UnitOverride&) = delete;

private:
    Configuration& m_config;
    int m_unitMeasure;
    int m_kind;
};

ValueKind KindOf(const Configuration& config)
{
    if (config.UnitMeasure == unit_measure::kAdc) {
        return ValueKind::Adc;
    }
    if (config.UnitMeasure != unit_measure::kApparent) {
        return ValueKind::Zero;
    }
    switch (config.ApparentValueKind) {
        case apparent_kind::kResistivity:
            return ValueKind::OhmMetres;
        case apparent_kind::kConductivity:
            return ValueKind::MilliSiemensPerMetre;
        default:
            return ValueKind::SiemensPerMetre;
    }
}

// A GPS position the survey really holds: latitude and longitude both 0 is the mark of a
// station the GPS never placed, and a damaged file may hold anything.
bool IsPlaced(const GpsFix& fix)
{
    return std::isfinite(fix.latitude) && std::isfinite(fix.longitude) &&
           std::abs(fix.latitude) <= 90.0 && std::abs(fix.longitude) <= 180.0 &&
           (fix.latitude != 0.0 || fix.longitude != 0.0);
}

std::string ActiveList(const Configuration& config)
{
    std::string list;
    for (int f = 0; f < kFrequencyCount; ++f) {
        if (config.UsedFrequencies[size_t(f)] != 0) {
            list += (list.empty() ? "" : ", ") + std::to_string(f + 1);
        }
    }
    return list.empty() ? "none" : list;
}

std::vector<FrequencyColumn> Columns(const Configuration& config, const CollectOptions& options,
                                     ValueKind kind)
{
    std::vector<FrequencyColumn> columns;
    std::set<std::string> taken;
    for (int f = 0; f < kFrequencyCount; ++f) {
        if (config.UsedFrequencies[size_t(f)] == 0 ||
            (options.frequency && *options.frequency != f + 1)) {
            continue;
        }
        FrequencyColumn column;
        column.number = f + 1;
        const double hertz = config.ActiveCalibration.Frequencies[size_t(f)] * 1000.0;
        char name[64];
        if (std::isfinite(hertz) && hertz >= 0.5 && hertz < 1e12) {
            column.hertz = hertz;
            std::snprintf(name, sizeof name, "f%lldHz_%s", std::llround(hertz), UnitSuffix(kind));
        } else {
            std::snprintf(name, sizeof name, "f%d_%s", f + 1, UnitSuffix(kind));
        }
        column.name = name;
        // Two frequencies of a calibration that round to the same hertz keep apart.
        if (!taken.insert(column.name).second) {
            column.name += "_" + std::to_string(f + 1);
            taken.insert(column.name);
        }
        columns.push_back(std::move(column));
    }
    return columns;
}

}  // namespace

bool ParseExportUnit(std::string_view text, ExportUnit& unit)
{
    if (text == "adc") {
        unit = ExportUnit::Adc;
    } else if (text == "ohm-m" || text == "ohmm") {
        unit = ExportUnit::OhmMetres;
    } else if (text == "mS/m" || text == "mSm") {
        unit = ExportUnit::MilliSiemensPerMetre;
    } else {
        return false;
    }
    return true;
}

const char* UnitSuffix(ValueKind kind)
{
    switch (kind) {
        case ValueKind::Adc:
            return "adc";
        case ValueKind::OhmMetres:
            return "ohmm";
        case ValueKind::MilliSiemensPerMetre:
            return "mSm";
        case ValueKind::SiemensPerMetre:
            return "Sm";
        case ValueKind::Zero:
            break;
    }
    return "none";
}

const char* UnitText(ValueKind kind)
{
    switch (kind) {
        case ValueKind::Adc:
            return "ADC";
        case ValueKind::OhmMetres:
            return "ohm.m";
        case ValueKind::MilliSiemensPerMetre:
            return "mS/m";
        case ValueKind::SiemensPerMetre:
            return "S/m";
        case ValueKind::Zero:
            break;
    }
    return "";
}

bool StationTable::IsTrack() const { return workType == work_type::kGpsTrack; }

std::vector<int> StationTable::RowOfSlot() const
{
    int slots = 0;
    for (const StationRow& row : rows) {
        slots = std::max(slots, row.slot + 1);
    }
    std::vector<int> index(size_t(slots), -1);
    for (size_t r = 0; r < rows.size(); ++r) {
        index[size_t(rows[r].slot)] = int(r);
    }
    return index;
}

std::string StationTable::CalibrationText() const
{
    char text[48];
    std::snprintf(text, sizeof text, "serial %u calibrated %04u-%02u-%02u",
                  unsigned(calibration.Serial), unsigned(calibration.Year),
                  unsigned(calibration.Month), unsigned(calibration.Day));
    return text;
}

std::string LayerNameOf(const ExportSource& source)
{
    const auto clean = [](const std::string& text) {
        std::string out;
        for (const char c : text) {
            if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
                out += c;
            }
        }
        const size_t first = out.find_first_not_of(' ');
        if (first == std::string::npos) {
            return std::string();
        }
        return out.substr(first, out.find_last_not_of(' ') - first + 1);
    };
    for (const std::string& text : source.texts) {
        std::string name = clean(text);
        if (!name.empty()) {
            return name;
        }
    }
    std::string file = source.filePath;
    const size_t slash = file.find_last_of("/\\");
    if (slash != std::string::npos) {
        file = file.substr(slash + 1);
    }
    const size_t dot = file.find_last_of('.');
    if (dot != std::string::npos && dot > 0) {
        file = file.substr(0, dot);
    }
    file = clean(file);
    return file.empty() ? "stations" : file;
}

bool CollectStations(Configuration& config, const ExportSource& source,
                     const CollectOptions& options, StationTable& table, std::string& error)
{
    if (options.frequency) {
        const int n = *options.frequency;
        if (n < 1 || n > kFrequencyCount) {
            error = "frequency " + std::to_string(n) + " does not exist (1 to 14)";
            return false;
        }
        if (config.UsedFrequencies[size_t(n - 1)] == 0) {
            error = "frequency " + std::to_string(n) +
                    " is not active in this session (active: " + ActiveList(config) + ")";
            return false;
        }
    }
    const UnitOverride unit(config, options.unit);

    StationTable out;
    out.layerName = LayerNameOf(source);
    out.workType = source.workType;
    out.calibration = config.CalibrationKey;
    out.kind = KindOf(config);
    out.trackRadius = config.TrackRadius;
    out.frequencies = Columns(config, options, out.kind);
    const bool track = source.IsTrack();
    const int slotCount = static_cast<int>(source.slots.size());
    if (!track) {
        out.stations = source.stations > 0 ? source.stations : slotCount;
        out.profiles = source.stations > 0 ? std::max(source.profiles, 1) : 1;
        out.xStep = source.xStep;
        out.yStep = source.yStep;
    }

    const auto positionOf = [&](int i) {
        return size_t(i) < source.positions.size() ? source.positions[size_t(i)] : GpsFix{};
    };
    double sx = 0.0;
    double sy = 0.0;
    if (track) {
        for (int i = 0; i < slotCount; ++i) {
            const GpsFix fix = positionOf(i);
            if (!source.slots[size_t(i)].IsEmpty() && IsPlaced(fix)) {
                out.haveLocalOrigin = true;
                out.originLatitude = fix.latitude;
                out.originLongitude = fix.longitude;
                break;
            }
        }
        const double k = std::numbers::pi / 180.0;
        sy = kEarthRadius * k;
        sx = std::cos(out.originLatitude * k) * kEarthRadius * k;
    }

    try {
        out.rows.reserve(source.slots.size());
        out.values.reserve(source.slots.size() * out.frequencies.size());
    } catch (const std::bad_alloc&) {
        error = "Insufficient memory";
        return false;
    }
    for (int i = 0; i < slotCount; ++i) {
        const MeasurementSlot& slot = source.slots[size_t(i)];
        if (slot.IsEmpty()) {
            continue;
        }
        StationRow row;
        row.slot = i;
        row.serial = slot.SerialNumber();
        row.tickStamp = slot.TickStamp();
        if (size_t(i) < source.meta.size()) {
            row.meta = source.meta[size_t(i)];
        }
        if (track) {
            row.station = i;
            const GpsFix fix = positionOf(i);
            if (IsPlaced(fix)) {
                row.positioned = true;
                row.latitude = fix.latitude;
                row.longitude = fix.longitude;
                row.local = true;
                row.x = static_cast<float>((fix.longitude - out.originLongitude) * sx);
                row.y = static_cast<float>((fix.latitude - out.originLatitude) * sy);
            }
        } else {
            const int n = out.stations;
            row.profile = source.stations > 0 ? i / n : 0;
            const int k = source.stations > 0 ? i % n : i;
            row.station = row.profile % 2 == 0 ? k : n - 1 - k;
            row.local = true;
            row.x = static_cast<float>(row.station) * out.xStep;
            row.y = static_cast<float>(row.profile) * out.yStep;
        }
        out.rows.push_back(row);
        for (const FrequencyColumn& column : out.frequencies) {
            out.values.push_back(ValueAt(config, slot, column.number - 1));
        }
    }
    table = std::move(out);
    return true;
}

}  // namespace orv
