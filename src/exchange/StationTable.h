#pragma once
// The stations of a survey as an export writes them: one row per measured station with its
// place in the survey, its position and the value the Main page shows for every exported
// frequency. Collecting reads the configuration (the signal switches, the active calibration),
// so it runs on the thread that owns the configuration; the table is then plain data that any
// thread may write out.
//
//   StationTable table;
//   if (!CollectStations(config, SourceOf(survey), {ExportUnit::MilliSiemensPerMetre}, table,
//                        error)) { ... }
//   // on a worker: WriteExport(table, options, path, progress, error)

#include "calibration/CalibrationId.h"
#include "exchange/ExportSource.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

class Configuration;

// The unit the values are exported in; AsConfigured keeps the configuration's signal settings.
enum class ExportUnit { AsConfigured, Adc, OhmMetres, MilliSiemensPerMetre };

// "adc", "ohm-m", "mS/m" (also "ohmm" and "mSm", as in the field names).
[[nodiscard]] bool ParseExportUnit(std::string_view text, ExportUnit& unit);

// What the values are: the configuration's UnitMeasure and ApparentValueKind as one word.
enum class ValueKind { Adc, OhmMetres, MilliSiemensPerMetre, SiemensPerMetre, Zero };

struct FrequencyColumn
{
    int number = 0;      // 1..14
    double hertz = 0.0;  // from the active calibration; 0 when it has none
    std::string name;    // the field name, e.g. "f10000Hz_mSm"
};

struct StationRow
{
    int slot = 0;
    int profile = 0;  // 0 on a GPS track
    int station = 0;  // as the Main page counts it, from 0
    unsigned serial = 0;
    uint32_t tickStamp = 0;
    // A GPS track's fix; grids have none here (an origin given at export places them).
    bool positioned = false;
    double latitude = 0.0;
    double longitude = 0.0;
    // Metres in the survey's own frame: a grid's station * XStep and profile * YStep; a track's
    // east and north of its first placed station, as the Main page's map computes them. A track
    // station without a position has none.
    bool local = false;
    float x = 0.0f;
    float y = 0.0f;
    StationMeta meta;
};

struct StationTable
{
    std::string layerName;
    int workType = 0;
    // Grid layout: stations per profile (a Line's station count), profiles, steps in metres.
    int stations = 0;
    int profiles = 1;
    float xStep = 1.0f;
    float yStep = 1.0f;
    // A track's local frame: x, y are metres from this fix (its first placed station).
    bool haveLocalOrigin = false;
    double originLatitude = 0.0;
    double originLongitude = 0.0;
    // The Main page's gridding radius of the track map, in cells at its default scale.
    int trackRadius = 50;

    CalibrationId calibration;  // the calibration the values were computed with
    ValueKind kind = ValueKind::Zero;
    std::vector<FrequencyColumn> frequencies;
    std::vector<StationRow> rows;
    std::vector<float> values;  // rows x frequencies, row-major

    [[nodiscard]] bool IsTrack() const;
    [[nodiscard]] float Value(size_t row, size_t column) const
    {
        return values[row * frequencies.size() + column];
    }
    // The row of each slot, -1 where the slot holds no measurement.
    [[nodiscard]] std::vector<int> RowOfSlot() const;
    // The calibration as text, "serial 9 calibrated 2007-02-28": no comma to split a CSV row,
    // never read as a number.
    [[nodiscard]] std::string CalibrationText() const;
};

struct CollectOptions
{
    ExportUnit unit = ExportUnit::AsConfigured;
    std::optional<int> frequency;  // number 1..14; every active frequency when empty
};

// Fills `table` with every measured station of `source` and the displayed value (ValueAt) of
// every active frequency, or of the one asked for. With a unit, UnitMeasure and
// ApparentValueKind of `config` are set for the computation and restored after. False, with the
// reason, when the frequency asked for is not active; `table` is then unchanged.
[[nodiscard]] bool CollectStations(Configuration& config, const ExportSource& source,
                                   const CollectOptions& options, StationTable& table,
                                   std::string& error);

// The unit as the field names carry it ("mSm") and as it is written out ("mS/m").
[[nodiscard]] const char* UnitSuffix(ValueKind kind);
[[nodiscard]] const char* UnitText(ValueKind kind);

// The layer name of a session: its first non-empty text, else its file's name without folder
// and extension, else "stations". Control characters are dropped; never a path.
[[nodiscard]] std::string LayerNameOf(const ExportSource& source);

}  // namespace orv
