#pragma once
// What the view settings page ("View settings", dialog 104) decides, without Qt: its fields, the
// range checks when it is left, the enabling of its controls and the wrapping spins.
//
// The manual colour ranges are the charts' own minimum and maximum: a typed range whose minimum
// is not below its maximum is not applied, the chart keeps the range it had.

#include "config/Configuration.h"
#include "ui/pages/DataExchange.h"

#include <array>
#include <cfloat>
#include <optional>
#include <string>
#include <string_view>

namespace orv {

namespace view_control {
constexpr int kDepth = 1035;
constexpr int kPixelRefinement = 1041;
constexpr int kPixelRefinementSpin = 1049;
constexpr int kManualProfileRange = 1053;
constexpr int kProfileMinimum = 1042;
constexpr int kProfileMaximum = 1043;
constexpr int kProfileStrip = 1051;
constexpr int kManualAreaRange = 1054;
constexpr int kAreaMinimum = 1044;
constexpr int kAreaMaximum = 1045;
constexpr int kAreaStrip = 1052;
constexpr int kTimer = 1055;
constexpr int kTimerCount = 1050;
constexpr int kTimerDelay = 1048;
constexpr int kSoundingCurve = 1036;
constexpr int kProfileCurve = 1046;
constexpr int kProfileCurveStations = 1047;
constexpr int kProfileCurveSpin = 1056;
constexpr int kFilterProfileCurve = 1061;
constexpr int kPointsToShow = 1059;
constexpr int kPointsToShowSpin = 1060;
constexpr int kSection = 1037;
constexpr int kSectionStations = 1039;
constexpr int kSectionSpin = 1057;
constexpr int kMap = 1038;
constexpr int kMapProfiles = 1040;
constexpr int kMapSpin = 1058;
}  // namespace view_control

struct ViewSettingsLogic
{
    // The texts of the edits, in the order the page checks them.
    struct Texts
    {
        std::string depth, pixelRefinement;
        std::string profileMinimum, profileMaximum, areaMinimum, areaMaximum;
        std::string timerCount, timerDelay;
        std::string profileCurveStations, pointsToShow, sectionStations, mapProfiles;
    };

    static constexpr unsigned kMaxStations = 65535;

    float DepthScaleFactor = 10.0f;
    int PixelRefinement = 1;
    int ManualProfileRange = 0;
    float ProfileMinimum = -10.0f;
    float ProfileMaximum = 10.0f;
    int ManualAreaRange = 0;
    float AreaMinimum = -10.0f;
    float AreaMaximum = 10.0f;
    int TimerMode = 0;
    int TimerCount = 0;
    int TimerDelay = 3500;
    int ShowSoundingCurves = 1;
    int ShowProfileCurves = 0;
    int MinStationsForProfileCurve = 4;
    int FilterProfileCurve = 0;
    int MeasurementsToShow = 0;
    int ShowSections = 1;
    int MinStationsForProfile = 4;
    int ShowMaps = 1;
    int MinProfilesForArea = 3;
    // The survey's size, for the spins' upper limits; 0 when the survey has no fixed size.
    int stationsPerProfile = 0;
    int profiles = 0;

    void LoadFromConfiguration(const Configuration& c);

    void StoreToConfiguration(Configuration& c) const;

    // Which edits are enabled.
    [[nodiscard]] bool Enabled(int id) const;

    // Reads and checks every edit. On failure no field changes and the failure names the
    // offending control.
    [[nodiscard]] std::optional<ExchangeFailure> ReadControls(const Texts& t);

    // The texts the edits show for the fields.
    [[nodiscard]] Texts FieldTexts() const;

    // A spin: value − step, wrapping from below `low` to `high` and from above `high` to `low`.
    [[nodiscard]] static int Wrap(int value, int step, int low, int high);

    // `step` as the spin control gives it: −1 for the up arrow, +1 for the down arrow.
    void SpinPixelRefinement(int step) { PixelRefinement = Wrap(PixelRefinement, step, 1, 10); }
    void SpinProfileCurve(int step);
    void SpinSection(int step);
    void SpinMap(int step);
    void SpinPointsToShow(int step);

    [[nodiscard]] int StationLimit() const;
};

// The check boxes of the page and the settings they stand for.
inline constexpr std::array<CheckFlag<ViewSettingsLogic>, 8> kViewCheckFlags{{
    {view_control::kManualProfileRange, &ViewSettingsLogic::ManualProfileRange},
    {view_control::kManualAreaRange, &ViewSettingsLogic::ManualAreaRange},
    {view_control::kTimer, &ViewSettingsLogic::TimerMode},
    {view_control::kSoundingCurve, &ViewSettingsLogic::ShowSoundingCurves},
    {view_control::kProfileCurve, &ViewSettingsLogic::ShowProfileCurves},
    {view_control::kFilterProfileCurve, &ViewSettingsLogic::FilterProfileCurve},
    {view_control::kSection, &ViewSettingsLogic::ShowSections},
    {view_control::kMap, &ViewSettingsLogic::ShowMaps},
}};

}  // namespace orv
