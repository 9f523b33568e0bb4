#include "graphics/GraphicChoice.h"

#include "config/Configuration.h"
#include "graphics/CurveDrawing.h"
#include "graphics/Legend.h"
#include "graphics/MapDrawing.h"
#include "graphics/PlotCanvas.h"
#include "graphics/SectionDrawing.h"
#include "graphics/TrackDrawing.h"
#include "graphics/Units.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace orv {

using namespace graphic_frame;

void GraphicSelection::Again()
{
    if (m_shown > kNone) {
        --m_shown;
    }
    if (m_shown < kMap) {
        m_shown = kNone;
    }
}

void GraphicSelection::AdjustGrid(int p, int s, int f)
{
    if (m_shown == kMap && f != m_lastFrequency) {
        m_shown = kNone;
    } else if (m_shown == kSection && p != m_lastProfile) {
        m_shown = kNone;
    } else if (m_shown == kProfileCurve) {
        if (p != m_lastProfile) {
            m_shown = kNone;
        } else if (f != m_lastFrequency) {
            m_shown = kSection;
        }
    }
    m_lastProfile = p;
    m_lastStation = s;
    m_lastFrequency = f;
}

void GraphicSelection::AdjustTrack(int station, int f, int radius)
{
    if (m_shown == kMap && (f != m_lastFrequency || radius != m_lastRadius)) {
        m_shown = kNone;
    } else if (m_shown == kProfileCurve && f != m_lastFrequency) {
        m_shown = kSection;
    } else if (m_shown == kSoundingCurve && station != m_lastStation) {
        m_shown = kProfileCurve;
    }
    m_lastStation = station;
    m_lastFrequency = f;
    m_lastRadius = radius;
}

int GraphicSelection::Choose(const Drawer& draw)
{
    const int shown = m_shown;
    for (int frame = shown + 1 < kMap ? kMap : shown + 1; frame <= kSoundingCurve; ++frame) {
        if (draw(frame)) {
            m_shown = frame;
            return frame;
        }
    }
    // Once more from the map, up to the frame that was on screen.
    for (int frame = kMap; frame <= shown; ++frame) {
        if (draw(frame)) {
            m_shown = frame;
            return frame;
        }
    }
    m_shown = kNone;
    return m_shown;
}

std::string GraphicStatusText(int frame, bool track, int profile, int station, int frequencyNumber,
                              bool realScaling)
{
    char buffer[96];
    const char* scaling = realScaling ? " (proportional)" : " (fit to screen)";
    switch (frame) {
        case kMap:
            std::snprintf(buffer, sizeof buffer, "Map: frequency %d%s", frequencyNumber, scaling);
            break;
        case kSection:
            std::snprintf(buffer, sizeof buffer, "Section: profile %d%s", track ? 0 : profile,
                          scaling);
            break;
        case kProfileCurve:
            std::snprintf(buffer, sizeof buffer, "Profile curve: profile %d, frequency %d",
                          track ? 0 : profile, frequencyNumber);
            break;
        case kSoundingCurve:
            if (track) {
                std::snprintf(buffer, sizeof buffer, "Sounding curve: station %d", station);
            } else {
                std::snprintf(buffer, sizeof buffer, "Sounding curve: profile %d, station %d",
                              profile, station);
            }
            break;
        case kTrackView:
            return "GPS track";
        default:
            return "Ready";
    }
    return buffer;
}

namespace {

FrameRect LeftHalf(const FrameRect& rect)
{
    return FrameRect{rect.left, rect.top, rect.left + rect.Width() / 2, rect.bottom};
}

// A map or a section with its colour legend in a strip along the bottom of the frame: the
// picture is drawn in the rest, then the legend of the range it was painted with.
template <typename Draw>
bool DrawWithLegend(const DrawContext& context, const ColourChart& chart, const FrameRect& rect,
                    std::string_view caption, Draw draw)
{
    const LegendLayout layout = LayoutLegend(context, rect, UnitText(context.config), caption);
    if (!draw(layout.plot)) {
        return false;
    }
    DrawColourLegend(context, chart, layout);
    return true;
}

std::string TrackMapCaption(const Configuration& config, int f, int radius)
{
    std::string caption = FrequencyText(config, f);
    caption += caption.empty() ? "" : ", ";
    caption += "radius " + std::to_string(radius) + (radius == 1 ? " cell" : " cells");
    return caption;
}

bool DrawGridFrame(const DrawContext& context, const GridSurveyData& survey, int frame,
                   const GraphicTarget& t, const FrameRect& rect, bool checked)
{
    Configuration& c = context.config;
    const int p = t.profile;
    const int s = t.station;
    switch (frame) {
        case kMap:
            return (!checked || (c.ShowMaps != 0 &&
                                 FindMapBlock(survey, p).complete >= c.MinProfilesForArea)) &&
                   DrawWithLegend(context, c.AreaChart, rect, FrequencyText(c, t.frequency),
                                  [&](const FrameRect& plot) {
                                      return DrawGridMap(context, survey, p, t.frequency, plot);
                                  });
        case kSection:
            return (!checked || (c.ShowSections != 0 && FindMeasuredRun(survey, p, s).Length() >=
                                                            c.MinStationsForProfile)) &&
                   DrawWithLegend(context, c.ProfileChart, rect, {}, [&](const FrameRect& plot) {
                       return DrawGridSection(context, survey, p, s, plot);
                   });
        case kProfileCurve:
            return (!checked ||
                    (c.ShowProfileCurves != 0 &&
                     FindMeasuredRun(survey, p, s).Length() >= c.MinStationsForProfileCurve)) &&
                   DrawGridProfileCurve(context, survey, p, s, t.frequency, rect);
        case kSoundingCurve:
            return (!checked || c.ShowSoundingCurves != 0) &&
                   DrawSoundingCurve(context, survey.Slot(p, s), LeftHalf(rect));
        default:
            return false;
    }
}

bool DrawTrackFrame(const DrawContext& context, const TrackSurveyData& survey, int frame,
                    const GraphicTarget& t, const FrameRect& rect, bool checked, bool* drawnToScale)
{
    Configuration& c = context.config;
    const int records = survey.Count();
    switch (frame) {
        case kMap:
            return (!checked || (c.ShowMaps != 0 && records >= c.MinMeasurementsForScatteredMap)) &&
                   DrawWithLegend(
                       context, c.AreaChart, rect, TrackMapCaption(c, t.frequency, t.radius),
                       [&](const FrameRect& plot) {
                           return DrawTrackMap(context, survey, t.frequency, t.radius, plot);
                       });
        case kSection:
            return (!checked || (c.ShowSections != 0 && records >= c.MinStationsForProfile)) &&
                   DrawWithLegend(context, c.ProfileChart, rect, {}, [&](const FrameRect& plot) {
                       return DrawTrackSection(context, survey, plot, drawnToScale);
                   });
        case kProfileCurve:
            return (!checked ||
                    (c.ShowProfileCurves != 0 && records >= c.MinStationsForProfileCurve)) &&
                   DrawTrackProfileCurve(context, survey, t.frequency, rect);
        case kSoundingCurve: {
            const int s = t.station;
            const MeasurementSlot* record =
                s >= 0 && s < records ? &survey.slots[size_t(s)] : nullptr;
            return (!checked || c.ShowSoundingCurves != 0) &&
                   DrawSoundingCurve(context, record, LeftHalf(rect));
        }
        case kTrackView:
            return DrawTrack(context.canvas, c, survey, rect, kOverviewTrackStyle, context.metrics);
        default:
            return false;
    }
}

// Why the track page shows no map although its settings and record count ask for one: the
// stations have no extent east-west or north-south (a straight walk due north or due east).
std::string TrackMapNote(const Configuration& config, const TrackSurveyData& survey)
{
    if (config.ShowMaps == 0 || survey.Count() < config.MinMeasurementsForScatteredMap) {
        return {};
    }
    bool any = false;
    int measured = 0;
    LocalPoint lo;
    LocalPoint hi;
    for (int i = 0; i < survey.Count(); ++i) {
        if (survey.slots[size_t(i)].IsEmpty()) {
            continue;
        }
        const LocalPoint p = survey.PositionOf(i);
        ++measured;
        if (!any) {
            lo = hi = p;
            any = true;
        }
        lo.x = std::min(lo.x, p.x);
        lo.y = std::min(lo.y, p.y);
        hi.x = std::max(hi.x, p.x);
        hi.y = std::max(hi.y, p.y);
    }
    if (measured < 4) {
        return {};
    }
    const bool eastWest = hi.x > lo.x;
    const bool northSouth = hi.y > lo.y;
    if (eastWest && northSouth) {
        return {};
    }
    if (!eastWest && !northSouth) {
        return "no map: all stations at one place";
    }
    return eastWest ? "no map: the stations lie on one east-west line"
                    : "no map: the stations lie on one north-south line";
}

}  // namespace

bool DrawGraphicFrame(const DrawContext& context, const SurveyView& survey, int frame,
                      const GraphicTarget& target, const FrameRect& rect, bool checked,
                      bool* drawnToScale)
{
    if (survey.track != nullptr) {
        return DrawTrackFrame(context, *survey.track, frame, target, rect, checked, drawnToScale);
    }
    if (survey.grid != nullptr) {
        return DrawGridFrame(context, *survey.grid, frame, target, rect, checked);
    }
    return false;
}

ChosenGraphic ChooseGraphic(GraphicSelection& selection, const DrawContext& context,
                            const SurveyView& survey, const GraphicTarget& target,
                            const FrameRect& rect)
{
    bool drawnToScale = context.config.RealScaling != 0;
    const int shown = selection.Choose([&](int candidate) {
        context.canvas.Clear();
        drawnToScale = context.config.RealScaling != 0;
        if (survey.track != nullptr) {
            return DrawTrackFrame(context, *survey.track, candidate, target, rect, true,
                                  &drawnToScale);
        }
        return DrawGraphicFrame(context, survey, candidate, target, rect, true);
    });
    if (shown == kNone) {
        context.canvas.Clear();
    }
    ChosenGraphic chosen{shown,
                         GraphicStatusText(shown, survey.track != nullptr, target.profile,
                                           target.station, target.frequency + 1, drawnToScale),
                         {}};
    if (survey.track != nullptr && shown != kMap) {
        chosen.note = TrackMapNote(context.config, *survey.track);
    }
    return chosen;
}

std::string StatusLine(const ChosenGraphic& chosen)
{
    return chosen.note.empty() ? chosen.status : chosen.status + " - " + chosen.note;
}

const char* GraphicRequirement(int frame, bool track)
{
    switch (frame) {
        case kMap:
            return track ? "a track map needs 4 measured records spread both east-west and "
                           "north-south, and an active frequency"
                         : "a map needs a complete profile and the next one started, 2 stations "
                           "per profile and an active frequency";
        case kSection:
            return track ? "a section needs 2 records and 2 active frequencies"
                         : "a section needs 2 measured stations next to each other around the "
                           "station and 2 active frequencies";
        case kProfileCurve:
            return track ? "a profile curve needs 2 records"
                         : "a profile curve needs 2 measured stations next to each other around "
                           "the station";
        case kSoundingCurve:
            return "the station holds no measurement, no frequency is active, or the values and "
                   "depths are all equal";
        case kTrackView:
            return "the survey has no records";
        default:
            return "the page's settings and the survey's stations allow none of the graphics";
    }
}

}  // namespace orv
