#pragma once
// The one settings record of the program, shared by every page, the surveys, the signal
// computation and the drawing code. The program makes it at start-up (loaded from the
// SettingsStore) and hands it down by reference; it is saved back only at the program's exit
// (SaveAndClose): a setting changed on a page lives in memory until then. Settings are read at the
// moment of use, so a change acts at once on everything, stored measurements included.
//
// Fields named "bool" in the stored format are ints holding 0 or 1; no value is range-checked on
// load, users clamp where they need to. Registry value names are part of the stored format.

#include "base/Colour.h"
#include "base/Frequencies.h"
#include "calibration/CalibrationId.h"
#include "calibration/CalibrationRecord.h"
#include "calibration/CalibrationStore.h"
#include "charts/ColourChart.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace orv {

class Prompt;
class SettingsStore;

// Work types: their values equal the string-table ids of their names.
namespace work_type {
constexpr int kMap = 2;
constexpr int kProfile = 3;
constexpr int kLine = 4;
constexpr int kGpsTrack = 31;
}  // namespace work_type

class Configuration
{
public:
    // Constructs the calibration store (which reads `calibrationPath`), sets the defaults, then
    // loads the stored values over them and selects the calibration in use.
    Configuration(SettingsStore& store, const std::string& calibrationPath, Prompt& prompt);
    ~Configuration();
    Configuration(const Configuration&) = delete;
    Configuration& operator=(const Configuration&) = delete;

    void LoadDefaults();
    void Load();
    // Writes every stored field; false with the reason when the store could not be written.
    [[nodiscard]] bool Save(std::string& error);
    // The end of the run: Save, then the calibration store's Close, which writes the calibration
    // file when a record changed (the settings are written before the calibration file). False
    // with the reasons when a write failed; both are tried.
    [[nodiscard]] bool SaveAndClose(std::string& error);

    // Copies `key` into CalibrationKey, selects from the store with CalibrationKey as the in/out
    // identity and copies the record into ActiveCalibration.
    void SelectCalibration(const CalibrationId& key);
    // Called with the serial number of each measurement reply: a non-zero serial that differs
    // from ConnectedSerial selects that instrument's calibration at the date of CalibrationKey.
    void NoteInstrumentSerial(unsigned serial);
    // The calibration in use when the instrument heard from (ConnectedSerial) has none of its
    // own, so another instrument's stands in; nothing while the instrument's own is in use.
    [[nodiscard]] std::optional<CalibrationId> CalibrationStandIn() const;
    // Speed in bits per second of GpsBaudRateId (73..87); any other id gives 9600.
    [[nodiscard]] uint32_t GpsBaudRate() const;
    // GpsStaleSeconds in milliseconds, kept within 1 s .. 1 h whatever the settings hold.
    [[nodiscard]] uint32_t GpsStaleMilliseconds() const;

    int WorkType = work_type::kMap;
    int XSize = 20;
    int YSize = 10;
    float XStep = 1.0f;
    float YStep = 1.0f;
    std::array<int, kFrequencyCount> UsedFrequencies{};
    int TrasserMode = 0;
    int HeaderReserved1 = 0;
    int HeaderReserved2 = 0;
    int BluetoothInboundPort = 5;
    int BluetoothOutboundPort = 8;
    int GpsBaudRateId = 79;
    int NormalizedToCurrent = 0;
    int NormalizedToFrequency = 0;
    int PhaseEqualization = 0;
    int SubtractUndercompensation = 0;
    int SignalChannelIsCurrent = 0;
    int UnitMeasure = 0;        // 0 ADC quantums, 1 apparent values
    int SignalComponent = 1;    // 0 module, 1 quadrature, 2 in-phase
    int ApparentValueKind = 0;  // 0 resistivity (Ohm*m), 1 conductivity (mS/m)
    float PowerInphase = 2.5f;
    float PowerModule = 2.0f;
    float PowerQuadrature = 2.0f;
    int ApplySignalFilter = 0;
    double FilterTolerance = 0.5;
    float DepthScaleFactor = 10.0f;
    int MinStationsForProfileCurve = 4;
    int MinStationsForProfile = 4;
    int MinProfilesForArea = 3;
    int ShowSoundingCurves = 1;
    int ShowProfileCurves = 0;
    int ShowSections = 1;
    int ShowMaps = 1;
    int FilterProfileCurve = 0;
    int PixelRefinement = 1;
    int ManualAreaRange = 0;
    int ManualProfileRange = 0;
    int TimerMode = 0;
    int TimerDelay = 3500;
    int TimerCount = 0;
    int MeasurementsToShow = 0;
    int MinMeasurementsForScatteredMap = 4;
    int AreaFrequency = 1;
    // Below these the status strip warns, once: the instrument's battery in volts, the
    // handheld's in percent.
    float InstrumentBatteryWarning = 11.0f;
    int HandheldBatteryWarning = 20;
    int RealScaling = 1;
    int ShowGrid = 0;
    int ShowScaleMarks = 1;
    int ShowGpsTrack = 1;
    int TrackRadius = 50;
    // A track station is positioned only from fixes at most this many seconds away from its
    // measurement; a station whose position has not come this long after it stays unpositioned.
    int GpsStaleSeconds = 5;
    Colour EmptyStationColour = 0x00AFAFAF;
    Colour MeasuredStationColour = 0x000000FF;
    Colour CursorColour = 0x00FF0000;
    Colour GridColour = 0x00808080;
    std::string SessionText1;
    std::string SessionText2;
    std::string SessionText3;
    int SurveyStations = 0;
    int SurveyProfiles = 0;
    int ConnectedSerial = 0;
    std::string RegistrySection = "Default values";
    // The folder of the session file last opened or saved: the file dialogs start there.
    std::string LastFolder;

    ColourChart AreaChart;
    ColourChart ProfileChart;
    CalibrationStore& Calibrations() { return *m_calibrationStore; }
    const CalibrationStore& Calibrations() const { return *m_calibrationStore; }
    CalibrationId CalibrationKey;
    CalibrationRecord ActiveCalibration;

private:
    SettingsStore& m_store;
    std::unique_ptr<CalibrationStore> m_calibrationStore;
};

}  // namespace orv
