// orvtool render: the picture the Main page would show for a session file, drawn by the same
// drawing code into a canvas of the handheld's screen size (or any other), saved as PNG.

#include "Command.h"
#include "ToolSession.h"
#include "base/AtomicFile.h"
#include "base/NoValue.h"
#include "charts/ColourChart.h"
#include "config/Configuration.h"
#include "config/ConfigurationFields.h"
#include "config/ProgramPaths.h"
#include "graphics/GraphicChoice.h"
#include "graphics/PlotCanvas.h"
#include "graphics/TrackDrawing.h"
#include "platform/QtTextPainter.h"
#include "survey/GridSurvey.h"
#include "survey/SessionFile.h"
#include "survey/Survey.h"
#include "survey/TrackSurvey.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orv::tool {

// Named rather than anonymous: the commands are compiled together in batches.
namespace render_command {

constexpr const char* kAbout =
    "Draws the graphic the Main page would show for a session file, with the program's\n"
    "settings (colour charts, ranges, scaling, grid and scale marks), and saves it as PNG.\n"
    "The status text of the page heads the picture; the graphic fills the rest (the\n"
    "sounding curve its left half). For a GPS track the walked track is drawn over the\n"
    "map, section and profile curve when ShowGpsTrack is on, as on the page.\n\n"
    "Maps and sections carry a colour legend along the bottom: the chart as a bar with\n"
    "numbered values, the unit (ADC units, Ohm\u00B7m or mS/m, after UnitMeasure and\n"
    "ApparentValueKind) and, for a map, the frequency in kHz (and the track map's\n"
    "gridding radius in cells); axes are numbered in metres, curves with their unit.\n"
    "When the page would tell why a map is missing (a straight walk), the status line\n"
    "says so after the status text.\n\n"
    "Colour charts (--chart): RES2DINV, RGB (the classic presets), viridis, cividis\n"
    "(perceptually uniform, readable with a colour-vision deficiency) and cool-warm\n"
    "(diverging, for signed values: the automatic range is made symmetric about 0).\n\n"
    "Graphics:\n"
    "  auto       the one the Main page would show at the station: the first of map,\n"
    "             section, profile curve and sounding curve whose setting is on, whose\n"
    "             stations are there and that can be drawn\n"
    "  map        colour map of one frequency\n"
    "  section    depth section of the profile (of the whole track)\n"
    "  sounding   sounding curve of the station\n"
    "  profile    profile curve of one frequency along the profile (along the track)\n"
    "  track      the GPS track view (GPS-track surveys only)\n\n"
    "Exit status: 0 when the graphic was drawn; 3 when there was too little data for it\n"
    "(the page would show \"Ready\": that picture is written all the same); 1 on errors.\n";

constexpr int kNothingDrawn = 3;
constexpr int kLargestSide = 16384;

struct Options
{
    std::string session;
    int graphic = graphic_frame::kMap;  // a frame, or graphic_frame::kNone: the page's search
    std::optional<int> frequency;       // 1..14
    std::optional<int> profile;
    std::optional<int> station;
    int width = 240;
    int height = 320;
    std::vector<std::string> settings;
    std::optional<int> chart;  // a ColourPreset
    std::string values;
    std::string out;
    std::string settingsPath = SettingsFilePath();
    std::string calibrationPath = DefaultCalibrationPath();
};

// The frequency the Main page starts with: the first active one at or after AreaFrequency.
int DefaultFrequencyIndex(const Configuration& config)
{
    const int start = config.AreaFrequency - 1;
    for (int k = 0; k < kFrequencyCount; ++k) {
        const int i = ((start + k) % kFrequencyCount + kFrequencyCount) % kFrequencyCount;
        if (config.UsedFrequencies[size_t(i)] != 0) {
            return i;
        }
    }
    return std::clamp(start, 0, kFrequencyCount - 1);
}

// What was drawn and the page's status text for it.
struct Outcome
{
    int frame = graphic_frame::kNone;
    bool drawn = false;
    std::string status = "Ready";
    std::string note;  // why an expected map is missing, also in the status line
};

// The forced graphic, drawn whatever the page's settings, or with kNone the page's own search
// (a new measurement's: from the map on).
Outcome Render(const DrawContext& context, const SurveyView& survey, int graphic,
               const GraphicTarget& target, const FrameRect& frame)
{
    const bool track = survey.track != nullptr;
    Outcome o;
    if (graphic == graphic_frame::kNone) {
        GraphicSelection selection;
        if (track) {
            selection.AdjustTrack(target.station, target.frequency + 1, target.radius);
        } else {
            selection.AdjustGrid(target.profile, target.station, target.frequency + 1);
        }
        const ChosenGraphic chosen = ChooseGraphic(selection, context, survey, target, frame);
        o.frame = chosen.frame;
        o.drawn = chosen.frame != graphic_frame::kNone;
        o.status = StatusLine(chosen);
        o.note = chosen.note;
        return o;
    }
    o.frame = graphic;
    // A track section too thin for true scale is drawn fit to screen, and says so.
    bool drawnToScale = context.config.RealScaling != 0;
    o.drawn = DrawGraphicFrame(context, survey, graphic, target, frame, false, &drawnToScale);
    o.status = o.drawn ? GraphicStatusText(graphic, track, target.profile, target.station,
                                           target.frequency + 1, drawnToScale)
                       : "Ready";
    return o;
}

// The value layer as CSV, written atomically.
bool WriteValues(const PlotCanvas& canvas, const std::string& path, std::string& error)
{
    std::string text = "x,y,value\n";
    char line[64];
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            const float v = canvas.GetValue(x, y);
            if (IsNoValue(v)) {
                continue;
            }
            const int n = std::snprintf(line, sizeof line, "%d,%d,%.9g\n", x, y, double(v));
            text.append(line, size_t(n));
        }
    }
    return WriteFileAtomically(
        path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), error);
}

// The last measured station in walking order, as (profile, station) of a grid survey.
void LastMeasured(const GridSurvey& survey, int& p, int& s)
{
    p = 0;
    s = 0;
    const auto slots = survey.Slots().View();
    for (int i = int(slots.size()) - 1; i >= 0; --i) {
        if (!slots[size_t(i)].IsEmpty() && survey.StationOf(i, p, s)) {
            return;
        }
    }
}

int LastMeasured(const TrackSurvey& survey)
{
    const auto slots = survey.Slots().View();
    for (int i = int(slots.size()) - 1; i >= 0; --i) {
        if (!slots[size_t(i)].IsEmpty()) {
            return i;
        }
    }
    return 0;
}

int Run(const Options& options)
{
    std::string error;

    // Drawing needs no screen: without a platform chosen, use the offscreen one.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    int argc = 1;
    char name[] = "orvtool";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);

    ToolSession session(options.settingsPath, options.calibrationPath);
    Configuration& config = session.Config();
    std::unique_ptr<Survey> survey = session.Open(options.session, error);
    if (!survey) {
        return Fail("render", error);
    }
    if (!session.Apply(options.settings, error)) {
        return Fail("render", error);
    }
    if (options.chart) {
        config.AreaChart.LoadPreset(static_cast<ColourPreset>(*options.chart));
        config.ProfileChart.LoadPreset(static_cast<ColourPreset>(*options.chart));
    }

    PlotCanvas canvas;
    if (!canvas.Create(options.width, options.height)) {
        return Fail("render", "Insufficient memory for a canvas of " +
                                  std::to_string(options.width) + " x " +
                                  std::to_string(options.height) + " pixels");
    }
    QtTextPainter text;
    const DrawContext context{canvas, text, config, session.UsedPrompt()};
    const int header = text.Measure("Ready").height + 2;
    const FrameRect frame{0, std::min(header, options.height - 1), options.width, options.height};
    const int f = options.frequency ? *options.frequency - 1 : DefaultFrequencyIndex(config);

    Outcome outcome;
    PlotCanvas picture;
    bool overlaid = false;
    if (survey->IsTrack()) {
        if (options.profile) {
            return Fail("render", "a GPS track has no profiles; leave out --profile");
        }
        auto& track = static_cast<TrackSurvey&>(*survey);
        track.UpdateLocalCoordinates();
        const TrackSurveyData data = track.Data();
        const int s = options.station.value_or(LastMeasured(track));
        outcome = Render(context, SurveyView{nullptr, &data}, options.graphic,
                         GraphicTarget{0, s, f, config.TrackRadius}, frame);
        // The page draws the track over the graphic on a scratch copy, so the value layer stays
        // that of the graphic; a forced sounding curve is drawn without it, the page's own
        // choice (auto) as the page shows it.
        const bool automatic = options.graphic == graphic_frame::kNone;
        if (config.ShowGpsTrack != 0 && outcome.frame != graphic_frame::kTrackView &&
            (automatic || outcome.frame != graphic_frame::kSoundingCurve) &&
            picture.CopyFrom(canvas)) {
            DrawTrack(picture, config, track.Data(), frame, kOverlayTrackStyle);
            overlaid = true;
        }
    } else {
        if (options.graphic == graphic_frame::kTrackView) {
            return Fail("render", "the track graphic needs a GPS-track survey; this one is a " +
                                      std::string(survey->WorkType() == 3   ? "Profile"
                                                  : survey->WorkType() == 4 ? "Line"
                                                                            : "Map") +
                                      " survey");
        }
        const auto& grid = static_cast<const GridSurvey&>(*survey);
        int p = 0;
        int s = 0;
        LastMeasured(grid, p, s);
        if (options.profile) {
            p = *options.profile;
        }
        if (options.station) {
            s = *options.station;
        }
        if (p >= grid.Profiles() || (grid.Stations() > 0 && s >= grid.Stations())) {
            return Fail("render", "station (" + std::to_string(p) + ", " + std::to_string(s) +
                                      ") lies outside the survey of " +
                                      std::to_string(grid.Profiles()) + " profiles of " +
                                      std::to_string(grid.StationsPerProfile()) + " stations");
        }
        const GridSurveyData data = grid.Data();
        outcome = Render(context, SurveyView{&data, nullptr}, options.graphic,
                         GraphicTarget{p, s, f, config.TrackRadius}, frame);
    }
    PlotCanvas& shown = overlaid ? picture : canvas;
    text.Draw(shown, 2, 1, outcome.status, kBlack);

    if (!SaveCanvasPng(shown, options.out, error)) {
        return Fail("render", error);
    }
    if (!options.values.empty() && !WriteValues(canvas, options.values, error)) {
        return Fail("render", error);
    }
    if (!outcome.note.empty()) {
        std::fprintf(stderr, "orvtool render: %s\n", outcome.note.c_str());
    }
    if (!outcome.drawn) {
        std::fprintf(stderr, "orvtool render: nothing drawn (%s); wrote the empty picture\n",
                     GraphicRequirement(options.graphic, survey->IsTrack()));
        return kNothingDrawn;
    }
    return 0;
}

std::function<int()> Define(CLI::App& command)
{
    using cmdline::Whole;
    auto options = std::make_shared<Options>();
    command.footer(kAbout);
    command.add_option("FILE.orv", options->session, "the session file")->type_name("")->required();
    command.add_option("--graphic", options->graphic, "the graphic to draw (see below)")
        ->type_name("auto|map|section|sounding|profile|track")
        ->required()
        ->transform(cmdline::Choice("auto, map, section, sounding, profile or track",
                                    {{"auto", graphic_frame::kNone},
                                     {"map", graphic_frame::kMap},
                                     {"section", graphic_frame::kSection},
                                     {"sounding", graphic_frame::kSoundingCurve},
                                     {"profile", graphic_frame::kProfileCurve},
                                     {"track", graphic_frame::kTrackView}}));
    command
        .add_option("--frequency", options->frequency,
                    "frequency number 1..14 (default: the first active one at or\n"
                    "after the program's AreaFrequency)")
        ->type_name("N")
        ->transform(Whole(1, kFrequencyCount));
    command
        .add_option("--profile", options->profile,
                    "profile as the Main page counts it, from 0 (grid surveys)")
        ->type_name("P")
        ->transform(Whole(0, 1 << 30));
    command
        .add_option("--station", options->station,
                    "station as the Main page counts it, from 0 (default: the\n"
                    "last measured station)")
        ->type_name("S")
        ->transform(Whole(0, 1 << 30));
    command
        .add_option_function<std::string>(
            "--size",
            [&o = *options](const std::string& value) {
                const auto [width, height] = cmdline::SplitPair(value, "xX");
                long long w = 0;
                long long h = 0;
                if (!height || !cmdline::ParseWhole(width, 1, kLargestSide, w) ||
                    !cmdline::ParseWhole(*height, 1, kLargestSide, h)) {
                    cmdline::BadValue("--size", value, "WIDTHxHEIGHT in pixels (1 to 16384 each)");
                }
                o.width = int(w);
                o.height = int(h);
            },
            "canvas size in pixels (default 240x320, the handheld's screen)")
        ->type_name("WxH");
    command
        .add_option("--chart", options->chart,
                    "colour chart of maps and sections for this picture (the\n"
                    "program's own charts otherwise; see below)")
        ->type_name("NAME")
        ->transform(cmdline::Choice("RES2DINV, RGB, viridis, cividis or cool-warm",
                                    {{"res2dinv", int(ColourPreset::Res2dinv)},
                                     {"rgb", int(ColourPreset::Rgb)},
                                     {"viridis", int(ColourPreset::Viridis)},
                                     {"cividis", int(ColourPreset::Cividis)},
                                     {"cool-warm", int(ColourPreset::CoolWarm)}},
                                    true));
    AddSetOption(command, options->settings,
                 "change a setting for this picture only, by its field name\n"
                 "(e.g. RealScaling=0, ShowGrid=1, PixelRefinement=2,\n"
                 "UnitMeasure=1); may be repeated; nothing is saved");
    command
        .add_option("--values", options->values,
                    "also write the value layer: x,y,value of every pixel that\n"
                    "holds a value (what a tap on the page reads)")
        ->type_name("FILE.csv");
    command.add_option("--out", options->out, "the picture")->type_name("FILE.png")->required();
    AddSettingsOption(command, options->settingsPath);
    AddCalibrationOption(command, options->calibrationPath);
    return [options] { return Run(*options); };
}

const bool kRegistered =
    RegisterCommand({"render", "draw a map, section, curve or track of a session as PNG", &Define});

}  // namespace render_command

}  // namespace orv::tool
