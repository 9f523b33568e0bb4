#pragma once
// The logic of the "Static settings" page: work type, survey size and steps, active
// frequencies, the tracer switch and the instrument (calibration) in use. The Qt page mirrors
// this state into its controls and reads its controls back through ReadControls.

#include "base/Frequencies.h"
#include "calibration/CalibrationId.h"
#include "ui/pages/DataExchange.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

class CalibrationStore;
class Configuration;

struct ModeEntry
{
    int textId;  // also the work type
    int workType;
};

// "Map", "Profile", "Line", "GPS track" in this order; each entry's data is its work type.
std::span<const ModeEntry> ModeEntries();

struct GridVisibility
{
    bool xSize = true;
    bool xStep = true;
    bool ySize = true;
    bool yStep = true;
    friend bool operator==(const GridVisibility&, const GridVisibility&) = default;
};

// Map shows all four, Profile the X pair, Line only X step, GPS track none; nothing for any
// other value.
std::optional<GridVisibility> GridVisibilityFor(int workType);

// "ORV 12, 05/03/2008": serial, day, month, year.
std::string FormatDeviceEntry(const CalibrationId& id);
// Reads an entry back (" %*[ORVorv] %d, %d/%d/%d"); false unless all four numbers are there, so
// "<empty>" gives false.
[[nodiscard]] bool ScanDeviceEntry(std::string_view text, CalibrationId& id);

struct StaticSettingsEdits
{
    std::string xSize;
    std::string xStep;
    std::string ySize;
    std::string yStep;
};

struct StaticSettingsChecks
{
    std::array<bool, kFrequencyCount> frequencies{};
    bool trasser = false;
};

class StaticSettingsLogic
{
public:
    StaticSettingsLogic();

    // Page fields, named as the configuration fields they load and store.
    unsigned XSize = 20;
    unsigned YSize = 10;
    float XStep = 1.0f;
    float YStep = 1.0f;
    int TrasserMode = 0;
    std::array<int, kFrequencyCount> UsedFrequencies{};
    int lastFrequency = 0;  // index 0..13 of the frequency box clicked last

    // State of the controls.
    int modeIndex = 0;  // -1: nothing selected
    std::vector<std::string> deviceEntries;
    int deviceIndex = -1;
    bool deleteEnabled = false;
    GridVisibility visibility;
    bool allChecked = true;
    bool trasserEnabled = false;

    // Fields to controls.
    StaticSettingsEdits EditTexts() const;
    StaticSettingsChecks Checks() const;
    // Controls to fields, in the order X size, Y size, X step, Y step, tracer, frequencies, then
    // the check that a frequency is on. On failure nothing is changed. An edit that is hidden
    // for the work type is not read: its field keeps its value (the operator could not correct
    // it). "All" reads the controls without the frequency check: its click is what turns
    // frequencies on.
    std::optional<ExchangeFailure> ReadControls(const StaticSettingsEdits& edits,
                                                const StaticSettingsChecks& checks,
                                                bool requireFrequency = true);

    // Work type of the selected mode entry; -1 without a selection.
    int SelectedWorkType() const;

    void FillDeviceList(const Configuration& config);
    void LoadFromConfiguration(const Configuration& config);
    void StoreToConfiguration(Configuration& config) const;
    void RefreshControls();

    void FrequencyClicked(int n, bool checked);  // n = 1..14
    // After the controls were read: all on, or all off but the one clicked last.
    void AllClicked(bool checked);
    // The identity of the selected device entry, when it names one.
    std::optional<CalibrationId> SelectedDevice() const;

    // The question and caption of "Delete" for `id`.
    static std::string DeleteQuestion(const CalibrationId& id);
    static std::string DeleteCaption(const CalibrationId& id);
};

}  // namespace orv
