#pragma once
// The choice of the graphic on a Main page, its status text, and the dispatch from a frame to
// its drawing: one implementation that the Main pages and `orvtool render` call.
//
// The frames 1001 map, 1002 section, 1003 profile curve, 1004 sounding curve are tried in that
// order starting after the one on screen; when none after it qualifies the search restarts once
// from the map. A frame qualifies when the setting that shows it is on, the survey has the
// stations it needs, and its drawing succeeds; with none, nothing is shown and the status is
// "Ready".
//
//     GraphicSelection selection;                  // one per page, kept between redraws
//     selection.AdjustGrid(p, s, frequencyNumber); // the page's position and frequency
//     const ChosenGraphic shown = ChooseGraphic(selection, context, GridView(data), target, rect);
//     statusLabel = shown.status;

#include "graphics/Drawing.h"
#include "graphics/SurveyData.h"

#include <functional>
#include <string>

namespace orv {

namespace graphic_frame {
constexpr int kNone = 0;
constexpr int kMap = 1001;
constexpr int kSection = 1002;
constexpr int kProfileCurve = 1003;
constexpr int kSoundingCurve = 1004;
// The GPS track view on its own (the track page draws it in the overview box and over the
// graphic; `orvtool render --graphic track` draws it alone). Never chosen by the search.
constexpr int kTrackView = 1005;
}  // namespace graphic_frame

// The choice of the graphic on a Main page and what it was drawn for.
class GraphicSelection
{
public:
    // Tries to draw a frame; true when its conditions held and the drawing succeeded.
    using Drawer = std::function<bool(int frame)>;

    [[nodiscard]] int Shown() const { return m_shown; }
    // After a new measurement: the search starts at the map.
    void Reset() { m_shown = graphic_frame::kNone; }
    // "Grid", "Scale marks", "Fit to screen": the same graphic again with the new setting.
    void Again();
    // The grid page's adjustment before a search, for profile p, station s, frequency f.
    void AdjustGrid(int p, int s, int f);
    // The track page's adjustment, for the shown station, frequency f and radius.
    void AdjustTrack(int station, int f, int radius);
    // Searches from the frame after the one shown; returns the frame now shown (0: none).
    int Choose(const Drawer& draw);

private:
    int m_shown = graphic_frame::kNone;
    int m_lastProfile = -1;
    int m_lastStation = -1;
    int m_lastFrequency = -1;
    int m_lastRadius = -1;
};

// The status text above the graphic. `profile` and `station` are the numbers the page shows;
// `track` selects the track page's wording of the sounding curve.
[[nodiscard]] std::string GraphicStatusText(int frame, bool track, int profile, int station,
                                            int frequencyNumber, bool realScaling);

// The survey a graphic is drawn from: a grid's or a track's view (exactly one is set).
struct SurveyView
{
    const GridSurveyData* grid = nullptr;
    const TrackSurveyData* track = nullptr;
};

// What the graphic is drawn for: the position the page shows (profile and station of a grid,
// record of a track), the frequency index 0..13 and, for the track map, the radius.
struct GraphicTarget
{
    int profile = 0;
    int station = 0;
    int frequency = 0;
    int radius = 50;
};

// Draws `frame` into the context's canvas (the sounding curve into the left half of `rect`).
// With `checked`, the page's conditions come first: the setting that shows the frame and the
// least number of stations it needs. True when the graphic was drawn.
//
// A map or a section gets its colour legend (graphics/Legend.h) in a strip along the bottom of
// `rect` and is drawn by its own arithmetic in the rest; a map's legend names the frequency in
// kHz and, on the track, the gridding radius in cells. A frame too small for a legend shows the
// picture alone. `drawnToScale`, when given, tells whether a proportional drawing kept true
// scale (a track section too thin for it is drawn fit to screen).
[[nodiscard]] bool DrawGraphicFrame(const DrawContext& context, const SurveyView& survey, int frame,
                                    const GraphicTarget& target, const FrameRect& rect,
                                    bool checked, bool* drawnToScale = nullptr);

struct ChosenGraphic
{
    int frame = graphic_frame::kNone;
    // The page's status text for the frame shown, as the handheld wrote it; a track section
    // that was too thin at true scale and was drawn fit to screen says " (fit to screen)".
    std::string status;
    // Why an expected graphic is missing, for the status line after the status text (empty
    // when nothing is): on the track page, a map the settings and records ask for that the
    // stations cannot make ("no map: the stations lie on one north-south line").
    std::string note;
};

// The page's search: each candidate is drawn on a cleared canvas until one qualifies; the
// canvas is left cleared when none does. The status text is that of the frame shown.
[[nodiscard]] ChosenGraphic ChooseGraphic(GraphicSelection& selection, const DrawContext& context,
                                          const SurveyView& survey, const GraphicTarget& target,
                                          const FrameRect& rect);

// The status line: the status text, then " - " and the note when there is one.
[[nodiscard]] std::string StatusLine(const ChosenGraphic& chosen);

// Why a frame could not be drawn, in words for the operator of the command line.
[[nodiscard]] const char* GraphicRequirement(int frame, bool track);

}  // namespace orv
