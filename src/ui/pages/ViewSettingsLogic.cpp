#include "ui/pages/ViewSettingsLogic.h"

#include <cfloat>

namespace orv {

void ViewSettingsLogic::LoadFromConfiguration(const Configuration& c)
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

void ViewSettingsLogic::StoreToConfiguration(Configuration& c) const
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

bool ViewSettingsLogic::Enabled(int id) const
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

std::optional<ExchangeFailure> ViewSettingsLogic::ReadControls(const Texts& t)
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
        (f = integer(t.timerCount, 0, 2147483647u, next.TimerCount, view_control::kTimerCount)) ||
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

ViewSettingsLogic::Texts ViewSettingsLogic::FieldTexts() const
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

int ViewSettingsLogic::Wrap(int value, int step, int low, int high)
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

void ViewSettingsLogic::SpinProfileCurve(int step)
{
    MinStationsForProfileCurve = Wrap(MinStationsForProfileCurve, step, 2, StationLimit());
}

void ViewSettingsLogic::SpinSection(int step)
{
    MinStationsForProfile = Wrap(MinStationsForProfile, step, 2, StationLimit());
}

void ViewSettingsLogic::SpinMap(int step)
{
    MinProfilesForArea = Wrap(MinProfilesForArea, step, 2, profiles > 2 ? profiles : 2);
}

void ViewSettingsLogic::SpinPointsToShow(int step)
{
    MeasurementsToShow = Wrap(MeasurementsToShow, step, 0, 9999);
}

int ViewSettingsLogic::StationLimit() const
{
    return stationsPerProfile > 0 ? stationsPerProfile : static_cast<int>(kMaxStations);
}

}  // namespace orv
