#pragma once
// What the view settings page ("View settings", dialog 104) decides, without Qt: its fields, the
// range checks when it is left, the enabling of its controls and the wrapping spins.
//
// The manual colour ranges are the charts' own minimum and maximum: a typed range whose minimum
// is not below its maximum is not applied, the chart keeps the range it had.

#include "config/Configuration.h"
#include "ui/pages/DataExchange.h"

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

    void LoadFromConfiguration(const Configuration& c)
    {
        DepthScaleFactor = c.DepthScaleFactor;
        PixelRefinement = c.PixelRefinement;
        ManualProfileRange = c.ManualProfileRange;
        c.ProfileChart.GetRange(ProfileMinimum, ProfileMaximum);
        ManualAreaRange = c.ManualAreaRange;
        c.AreaChart.GetRange(AreaMinimum, AreaMaximum);
        TimerMode = c.TimerMode;
        TimerCount = c.TimerCount;
        TimerDelay = c.TimerDelay;
        ShowSoundingCurves = c.ShowSoundingCurves;
        ShowProfileCurves = c.ShowProfileCurves;
        MinStationsForProfileCurve = c.MinStationsForProfileCurve;
        FilterProfileCurve = c.FilterProfileCurve;
        MeasurementsToShow = c.MeasurementsToShow;
        ShowSections = c.ShowSections;
        MinStationsForProfile = c.MinStationsForProfile;
        ShowMaps = c.ShowMaps;
        MinProfilesForArea = c.MinProfilesForArea;
        stationsPerProfile = c.WorkType == work_type::kGpsTrack ? 0 : c.SurveyStations;
        profiles = c.WorkType == work_type::kGpsTrack ? 0 : c.SurveyProfiles;
    }

    void StoreToConfiguration(Configuration& c) const
    {
        c.DepthScaleFactor = DepthScaleFactor;
        c.PixelRefinement = PixelRefinement;
        c.ManualProfileRange = ManualProfileRange;
        c.ProfileChart.SetRange(ProfileMinimum, ProfileMaximum);
        c.ManualAreaRange = ManualAreaRange;
        c.AreaChart.SetRange(AreaMinimum, AreaMaximum);
        c.TimerMode = TimerMode;
        c.TimerCount = TimerCount;
        c.TimerDelay = TimerDelay;
        c.ShowSoundingCurves = ShowSoundingCurves;
        c.ShowProfileCurves = ShowProfileCurves;
        c.MinStationsForProfileCurve = MinStationsForProfileCurve;
        c.FilterProfileCurve = FilterProfileCurve;
        c.MeasurementsToShow = MeasurementsToShow;
        c.ShowSections = ShowSections;
        c.MinStationsForProfile = MinStationsForProfile;
        c.ShowMaps = ShowMaps;
        c.MinProfilesForArea = MinProfilesForArea;
    }

    // Which edits are enabled.
    [[nodiscard]] bool Enabled(int id) const
    {
        switch (id) {
            case view_control::kProfileMinimum:
            case view_control::kProfileMaximum:
                return ManualProfileRange != 0;
            case view_control::kAreaMinimum:
            case view_control::kAreaMaximum:
                return ManualAreaRange != 0;
            case view_control::kTimerCount:
            case view_control::kTimerDelay:
                return TimerMode != 0;
            case view_control::kFilterProfileCurve:
                return ShowProfileCurves != 0;
            default:
                return true;
        }
    }

    // Reads and checks every edit. On failure no field changes and the failure names the
    // offending control.
    [[nodiscard]] std::optional<ExchangeFailure> ReadControls(const Texts& t)
    {
        ViewSettingsLogic next = *this;
        std::string message;
        const auto number = [&](const std::string& text, float lo, float hi, float& v,
                                int id) -> std::optional<ExchangeFailure> {
            if (ReadFloatText(text, lo, hi, v, message)) {
                return std::nullopt;
            }
            return ExchangeFailure{id, message};
        };
        const auto integer = [&](const std::string& text, unsigned lo, unsigned hi, int& v,
                                 int id) -> std::optional<ExchangeFailure> {
            unsigned u = 0;
            if (ReadUnsignedText(text, lo, hi, u, message)) {
                v = static_cast<int>(u);
                return std::nullopt;
            }
            return ExchangeFailure{id, message};
        };
        std::optional<ExchangeFailure> f;
        if ((f = number(t.depth, 0.001f, 65535.0f, next.DepthScaleFactor, view_control::kDepth)) ||
            (f = integer(t.pixelRefinement, 1, 10, next.PixelRefinement,
                         view_control::kPixelRefinement)) ||
            (f = number(t.profileMinimum, -FLT_MAX, FLT_MAX, next.ProfileMinimum,
                        view_control::kProfileMinimum)) ||
            (f = number(t.profileMaximum, -FLT_MAX, FLT_MAX, next.ProfileMaximum,
                        view_control::kProfileMaximum)) ||
            (f = number(t.areaMinimum, -FLT_MAX, FLT_MAX, next.AreaMinimum,
                        view_control::kAreaMinimum)) ||
            (f = number(t.areaMaximum, -FLT_MAX, FLT_MAX, next.AreaMaximum,
                        view_control::kAreaMaximum)) ||
            (f = integer(t.timerCount, 0, 2147483647u, next.TimerCount,
                         view_control::kTimerCount)) ||
            (f = integer(t.timerDelay, 0, 65535, next.TimerDelay, view_control::kTimerDelay)) ||
            (f = integer(t.profileCurveStations, 2, kMaxStations, next.MinStationsForProfileCurve,
                         view_control::kProfileCurveStations)) ||
            (f = integer(t.pointsToShow, 0, 9999, next.MeasurementsToShow,
                         view_control::kPointsToShow)) ||
            (f = integer(t.sectionStations, 2, kMaxStations, next.MinStationsForProfile,
                         view_control::kSectionStations)) ||
            (f = integer(t.mapProfiles, 2, kMaxStations, next.MinProfilesForArea,
                         view_control::kMapProfiles))) {
            return f;
        }
        *this = next;
        return std::nullopt;
    }

    // The texts the edits show for the fields.
    [[nodiscard]] Texts FieldTexts() const
    {
        const auto u = [](int v) { return UnsignedText(static_cast<unsigned>(v < 0 ? 0 : v)); };
        return Texts{FloatText(DepthScaleFactor),
                     u(PixelRefinement),
                     FloatText(ProfileMinimum),
                     FloatText(ProfileMaximum),
                     FloatText(AreaMinimum),
                     FloatText(AreaMaximum),
                     u(TimerCount),
                     u(TimerDelay),
                     u(MinStationsForProfileCurve),
                     u(MeasurementsToShow),
                     u(MinStationsForProfile),
                     u(MinProfilesForArea)};
    }

    // A spin: value − step, wrapping from below `low` to `high` and from above `high` to `low`.
    [[nodiscard]] static int Wrap(int value, int step, int low, int high)
    {
        const long long next = static_cast<long long>(value) - step;
        if (next < low) {
            return high;
        }
        if (next > high) {
            return low;
        }
        return static_cast<int>(next);
    }

    // `step` as the spin control gives it: −1 for the up arrow, +1 for the down arrow.
    void SpinPixelRefinement(int step) { PixelRefinement = Wrap(PixelRefinement, step, 1, 10); }
    void SpinProfileCurve(int step)
    {
        MinStationsForProfileCurve = Wrap(MinStationsForProfileCurve, step, 2, StationLimit());
    }
    void SpinSection(int step)
    {
        MinStationsForProfile = Wrap(MinStationsForProfile, step, 2, StationLimit());
    }
    void SpinMap(int step)
    {
        MinProfilesForArea = Wrap(MinProfilesForArea, step, 2, profiles > 2 ? profiles : 2);
    }
    void SpinPointsToShow(int step)
    {
        MeasurementsToShow = Wrap(MeasurementsToShow, step, 0, 9999);
    }

    [[nodiscard]] int StationLimit() const
    {
        return stationsPerProfile > 0 ? stationsPerProfile : static_cast<int>(kMaxStations);
    }
};

}  // namespace orv
