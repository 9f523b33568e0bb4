#include "ui/pages/StaticSettingsLogic.h"

#include "config/Configuration.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace orv {

namespace {

constexpr ModeEntry kModes[] = {
    {string_id::kMap, work_type::kMap},
    {string_id::kProfile, work_type::kProfile},
    {string_id::kLine, work_type::kLine},
    {string_id::kGpsTrack, work_type::kGpsTrack},
};

constexpr unsigned kMinSize = 1;
constexpr unsigned kMaxSize = 65535;
constexpr float kMinStep = 0.1f;
constexpr float kMaxStep = 65535.0f;

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    if (prefix.size() > text.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(text[i]) != Lower(prefix[i])) {
            return false;
        }
    }
    return true;
}

// The device list is sorted as the handheld's list box sorts: letter case ignored.
bool SortsBefore(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Lower(x) < Lower(y); });
}

}  // namespace

std::span<const ModeEntry> ModeEntries() { return kModes; }

std::optional<GridVisibility> GridVisibilityFor(int workType)
{
    switch (workType) {
        case work_type::kMap:
            return GridVisibility{true, true, true, true};
        case work_type::kProfile:
            return GridVisibility{true, true, false, false};
        case work_type::kLine:
            return GridVisibility{false, true, false, false};
        case work_type::kGpsTrack:
            return GridVisibility{false, false, false, false};
        default:
            return std::nullopt;
    }
}

std::string FormatDeviceEntry(const CalibrationId& id)
{
    return PrintfResource(string_id::kDeviceEntry, id.Serial, int{id.Day}, int{id.Month}, id.Year);
}

bool ScanDeviceEntry(std::string_view text, CalibrationId& id)
{
    // At most 63 characters of the entry are read.
    const std::string t(text.substr(0, 63));
    int serial = 0, day = 0, month = 0, year = 0;
    if (std::sscanf(t.c_str(), " %*[ORVorv] %d, %d/%d/%d", &serial, &day, &month, &year) != 4) {
        return false;
    }
    id.Serial = static_cast<uint16_t>(serial);
    id.Day = static_cast<uint8_t>(day);
    id.Month = static_cast<uint8_t>(month);
    id.Year = static_cast<uint16_t>(year);
    return true;
}

StaticSettingsLogic::StaticSettingsLogic() { UsedFrequencies.fill(1); }

StaticSettingsEdits StaticSettingsLogic::EditTexts() const
{
    return {UnsignedText(XSize), FloatText(XStep), UnsignedText(YSize), FloatText(YStep)};
}

StaticSettingsChecks StaticSettingsLogic::Checks() const
{
    StaticSettingsChecks checks;
    for (size_t i = 0; i < checks.frequencies.size(); ++i) {
        checks.frequencies[i] = UsedFrequencies[i] != 0;
    }
    checks.trasser = TrasserMode != 0;
    return checks;
}

std::optional<ExchangeFailure> StaticSettingsLogic::ReadControls(const StaticSettingsEdits& edits,
                                                                 const StaticSettingsChecks& checks,
                                                                 bool requireFrequency)
{
    unsigned xSize = XSize, ySize = YSize;
    float xStep = XStep, yStep = YStep;
    std::string message;
    if (visibility.xSize && !ReadUnsignedText(edits.xSize, kMinSize, kMaxSize, xSize, message)) {
        return ExchangeFailure{control_id::kXSize, message};
    }
    if (visibility.ySize && !ReadUnsignedText(edits.ySize, kMinSize, kMaxSize, ySize, message)) {
        return ExchangeFailure{control_id::kYSize, message};
    }
    if (visibility.xStep && !ReadFloatText(edits.xStep, kMinStep, kMaxStep, xStep, message)) {
        return ExchangeFailure{control_id::kXStep, message};
    }
    if (visibility.yStep && !ReadFloatText(edits.yStep, kMinStep, kMaxStep, yStep, message)) {
        return ExchangeFailure{control_id::kYStep, message};
    }
    if (requireFrequency && std::none_of(checks.frequencies.begin(), checks.frequencies.end(),
                                         [](bool on) { return on; })) {
        return ExchangeFailure{control_id::kFrequency1,
                               std::string(ResourceString(string_id::kAtLeastOneFrequency))};
    }
    XSize = xSize;
    YSize = ySize;
    XStep = xStep;
    YStep = yStep;
    TrasserMode = checks.trasser ? 1 : 0;
    for (size_t i = 0; i < checks.frequencies.size(); ++i) {
        UsedFrequencies[i] = checks.frequencies[i] ? 1 : 0;
    }
    return std::nullopt;
}

int StaticSettingsLogic::SelectedWorkType() const
{
    if (modeIndex < 0 || modeIndex >= static_cast<int>(std::size(kModes))) {
        return -1;
    }
    return kModes[modeIndex].workType;
}

void StaticSettingsLogic::FillDeviceList(const Configuration& config)
{
    CalibrationId inUse = config.CalibrationKey;
    CalibrationRecord record;
    config.Calibrations().Select(inUse, record);

    deviceEntries.clear();
    deviceIndex = -1;
    if (config.Calibrations().Count() == 0) {
        deviceEntries.emplace_back(ResourceString(string_id::kEmptyDeviceList));
        deviceIndex = 0;
        deleteEnabled = false;
        return;
    }
    deleteEnabled = true;
    std::string selected;
    config.Calibrations().ForEach([&](const CalibrationId& id, const CalibrationRecord&) {
        deviceEntries.push_back(FormatDeviceEntry(id));
        if (id == inUse) {
            selected = deviceEntries.back();
        }
    });
    std::stable_sort(deviceEntries.begin(), deviceEntries.end(), SortsBefore);
    if (!selected.empty()) {
        const auto it = std::find(deviceEntries.begin(), deviceEntries.end(), selected);
        deviceIndex = static_cast<int>(it - deviceEntries.begin());
    }
}

void StaticSettingsLogic::LoadFromConfiguration(const Configuration& config)
{
    XSize = static_cast<unsigned>(config.XSize);
    YSize = static_cast<unsigned>(config.YSize);
    XStep = config.XStep;
    YStep = config.YStep;
    UsedFrequencies = config.UsedFrequencies;

    for (size_t i = 0; i < std::size(kModes); ++i) {
        if (kModes[i].workType == config.WorkType) {
            modeIndex = static_cast<int>(i);
            break;
        }
    }

    CalibrationId inUse = config.CalibrationKey;
    CalibrationRecord record;
    config.Calibrations().Select(inUse, record);
    const std::string wanted = FormatDeviceEntry(inUse);
    for (size_t i = 0; i < deviceEntries.size(); ++i) {
        if (StartsWithIgnoringCase(deviceEntries[i], wanted)) {
            deviceIndex = static_cast<int>(i);
            break;
        }
    }

    TrasserMode = config.TrasserMode;
}

void StaticSettingsLogic::StoreToConfiguration(Configuration& config) const
{
    config.XSize = static_cast<int>(XSize);
    config.YSize = static_cast<int>(YSize);
    config.XStep = XStep;
    config.YStep = YStep;
    config.UsedFrequencies = UsedFrequencies;
    const int workType = SelectedWorkType();
    config.WorkType = workType >= 0 ? workType : work_type::kMap;
    if (const auto id = SelectedDevice()) {
        config.SelectCalibration(*id);
    }
    config.TrasserMode = TrasserMode;
}

void StaticSettingsLogic::RefreshControls()
{
    if (const auto v = GridVisibilityFor(SelectedWorkType())) {
        visibility = *v;
    }
    const auto on =
        std::count_if(UsedFrequencies.begin(), UsedFrequencies.end(), [](int f) { return f != 0; });
    allChecked = on == kFrequencyCount;
    trasserEnabled = on == 1 && UsedFrequencies[0] != 0;
    if (!trasserEnabled) {
        TrasserMode = 0;
    }
}

void StaticSettingsLogic::FrequencyClicked(int n, bool checked)
{
    if (n < 1 || n > kFrequencyCount) {
        return;
    }
    lastFrequency = n - 1;
    UsedFrequencies[static_cast<size_t>(n - 1)] = checked ? 1 : 0;
    RefreshControls();
}

void StaticSettingsLogic::AllClicked(bool checked)
{
    if (checked) {
        UsedFrequencies.fill(1);
    } else {
        UsedFrequencies.fill(0);
        const int keep = lastFrequency >= 0 && lastFrequency < kFrequencyCount ? lastFrequency : 0;
        UsedFrequencies[static_cast<size_t>(keep)] = 1;
    }
    RefreshControls();
}

std::optional<CalibrationId> StaticSettingsLogic::SelectedDevice() const
{
    if (deviceIndex < 0 || deviceIndex >= static_cast<int>(deviceEntries.size())) {
        return std::nullopt;
    }
    CalibrationId id;
    if (!ScanDeviceEntry(deviceEntries[static_cast<size_t>(deviceIndex)], id)) {
        return std::nullopt;
    }
    return id;
}

std::string StaticSettingsLogic::DeleteQuestion(const CalibrationId& id)
{
    return PrintfResource(string_id::kDeleteQuestion, int{id.Serial}, int{id.Day}, int{id.Month},
                          int{id.Year});
}

std::string StaticSettingsLogic::DeleteCaption(const CalibrationId& id)
{
    return PrintfResource(string_id::kDeleteCaption, int{id.Serial}, int{id.Day}, int{id.Month},
                          int{id.Year});
}

}  // namespace orv
