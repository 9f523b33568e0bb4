// orvtool render: the picture the Main page would show for a session file, drawn by the same
// drawing code into a canvas of the handheld's screen size (or any other), saved as PNG.

#include "Command.h"
#include "ToolPrompt.h"
#include "base/AtomicFile.h"
#include "base/NoValue.h"
#include "config/Configuration.h"
#include "config/ConfigurationFields.h"
#include "config/ProgramPaths.h"
#include "graphics/GraphicChoice.h"
#include "graphics/PlotCanvas.h"
#include "graphics/TrackDrawing.h"
#include "platform/QtSettingsStore.h"
#include "platform/QtTextPainter.h"
#include "survey/GridSurvey.h"
#include "survey/SessionFile.h"
#include "survey/Survey.h"
#include "survey/TrackSurvey.h"

#include <QGuiApplication>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orv::tool {

namespace {

constexpr const char* kHelp =
    "Usage: orvtool render FILE.orv --graphic auto|map|section|sounding|profile|track\n"
    "                      [OPTIONS] --out FILE.png\n"
    "Draws the graphic the Main page would show for a session file, with the program's\n"
    "settings (colour charts, ranges, scaling, grid and scale marks), and saves it as PNG.\n"
    "The status text of the page heads the picture; the graphic fills the rest (the\n"
    "sounding curve its left half). For a GPS track the walked track is drawn over the\n"
    "map, section and profile curve when ShowGpsTrack is on, as on the page.\n\n"
    "Graphics:\n"
    "  auto       the one the Main page would show at the station: the first of map,\n"
    "             section, profile curve and sounding curve whose setting is on, whose\n"
    "             stations are there and that can be drawn\n"
    "  map        colour map of one frequency\n"
    "  section    depth section of the profile (of the whole track)\n"
    "  sounding   sounding curve of the station\n"
    "  profile    profile curve of one frequency along the profile (along the track)\n"
    "  track      the GPS track view (GPS-track surveys only)\n\n"
    "Options:\n"
    "  --frequency N        frequency number 1..14 (default: the first active one at or\n"
    "                       after the program's AreaFrequency)\n"
    "  --profile P          profile as the Main page counts it, from 0 (grid surveys)\n"
    "  --station S          station as the Main page counts it, from 0 (default: the\n"
    "                       last measured station)\n"
    "  --size WxH           canvas size in pixels (default 240x320, the handheld's screen)\n"
    "  --set Field=Value    change a setting for this picture only, by its field name\n"
    "                       (e.g. RealScaling=0, ShowGrid=1, PixelRefinement=2,\n"
    "                       UnitMeasure=1); may be repeated; nothing is saved\n"
    "  --values FILE.csv    also write the value layer: x,y,value of every pixel that\n"
    "                       holds a value (what a tap on the page reads)\n"
    "  --out FILE.png       the picture (required)\n"
    "  --settings FILE      settings file (default: the program's own)\n"
    "  --calibration FILE   calibration file (default: the program's own)\n\n"
    "Exit status: 0 when the graphic was drawn; 3 when there was too little data for it\n"
    "(the page would show \"Ready\": that picture is written all the same); 1 on errors.\n";

constexpr int kNothingDrawn = 3;
constexpr int kLargestSide = 16384;

// The frame of a graphic's name; graphic_frame::kNone for "auto", the page's own search.
std::optional<int> ParseGraphic(const std::string& text)
{
    if (text == "auto") {
        return graphic_frame::kNone;
    }
    if (text == "map") {
        return graphic_frame::kMap;
    }
    if (text == "section") {
        return graphic_frame::kSection;
    }
    if (text == "sounding") {
        return graphic_frame::kSoundingCurve;
    }
    if (text == "profile") {
        return graphic_frame::kProfileCurve;
    }
    if (text == "track") {
        return graphic_frame::kTrackView;
    }
    return std::nullopt;
}

bool ParseInt(const std::string& text, int low, int high, int& out)
{
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) {
        return false;
    }
    out = int(v);
    return true;
}

bool ParseSize(const std::string& text, int& width, int& height)
{
    const size_t x = text.find_first_of("xX");
    return x != std::string::npos && ParseInt(text.substr(0, x), 1, kLargestSide, width) &&
           ParseInt(text.substr(x + 1), 1, kLargestSide, height);
}

struct Options
{
    std::string session;
    std::optional<int> graphic;  // a frame, or graphic_frame::kNone for the page's search
    std::optional<int> frequency;  // 1..14
    std::optional<int> profile;
    std::optional<int> station;
    int width = 240;
    int height = 320;
    std::vector<std::string> settings;
    std::string values;
    std::string out;
    std::string settingsPath = SettingsFilePath();
    std::string calibrationPath = DefaultCalibrationPath();
};

// False with the message to print.
bool ParseOptions(const std::vector<std::string>& args, Options& o, std::string& error)
{
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takesValue = a == "--graphic" || a == "--frequency" || a == "--profile" ||
                                a == "--station" || a == "--size" || a == "--set" ||
                                a == "--values" || a == "--out" || a == "--settings" ||
                                a == "--calibration";
        if (takesValue && i + 1 >= args.size()) {
            error = a + " needs a value";
            return false;
        }
        if (a == "--graphic") {
            o.graphic = ParseGraphic(args[++i]);
            if (!o.graphic) {
                error = "--graphic takes auto, map, section, sounding, profile or track, not '" +
                        args[i] + "'";
                return false;
            }
        } else if (a == "--frequency") {
            int f = 0;
            if (!ParseInt(args[++i], 1, kFrequencyCount, f)) {
                error = "--frequency takes a frequency number from 1 to 14, not '" + args[i] + "'";
                return false;
            }
            o.frequency = f;
        } else if (a == "--profile" || a == "--station") {
            int n = 0;
            if (!ParseInt(args[++i], 0, 1 << 30, n)) {
                error = a + " takes a number from 0, not '" + args[i] + "'";
                return false;
            }
            (a == "--profile" ? o.profile : o.station) = n;
        } else if (a == "--size") {
            if (!ParseSize(args[++i], o.width, o.height)) {
                error =
                    "--size takes WIDTHxHEIGHT in pixels (1 to 16384 each), not '" + args[i] + "'";
                return false;
            }
        } else if (a == "--set") {
            o.settings.push_back(args[++i]);
        } else if (a == "--values") {
            o.values = args[++i];
        } else if (a == "--out") {
            o.out = args[++i];
        } else if (a == "--settings") {
            o.settingsPath = args[++i];
        } else if (a == "--calibration") {
            o.calibrationPath = args[++i];
        } else if (!a.empty() && a[0] == '-') {
            error = "unknown option '" + a + "' (see --help)";
            return false;
        } else if (o.session.empty()) {
            o.session = a;
        } else {
            error = "one session file only ('" + a + "' is a second one)";
            return false;
        }
    }
    if (o.session.empty()) {
        error = "name the session file (see --help)";
    } else if (!o.graphic) {
        error = "say which graphic with --graphic auto|map|section|sounding|profile|track";
    } else if (o.out.empty()) {
        error = "say where the picture goes with --out FILE.png";
    } else {
        return true;
    }
    return false;
}

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
        o.status = chosen.status;
        return o;
    }
    o.frame = graphic;
    o.drawn = DrawGraphicFrame(context, survey, graphic, target, frame, false);
    o.status = o.drawn ? GraphicStatusText(graphic, track, target.profile, target.station,
                                           target.frequency + 1, context.config.RealScaling != 0)
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

int Run(const std::vector<std::string>& args)
{
    if (WantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    Options options;
    std::string error;
    if (!ParseOptions(args, options, error)) {
        return Fail("render", error);
    }

    // Drawing needs no screen: without a platform chosen, use the offscreen one.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    int argc = 1;
    char name[] = "orvtool";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);

    QtSettingsStore store(options.settingsPath, "Default values");
    ToolPrompt prompt;
    Configuration config(store, options.calibrationPath, prompt);
    std::string detail;
    std::unique_ptr<Survey> survey = OpenSession(options.session, config, error, &detail);
    if (!survey) {
        return Fail("render",
                    options.session + ": " + error + (detail.empty() ? "" : " " + detail));
    }
    for (const std::string& setting : options.settings) {
        if (!ApplySetting(config, setting, error)) {
            return Fail("render", error);
        }
    }

    PlotCanvas canvas;
    if (!canvas.Create(options.width, options.height)) {
        return Fail("render", "Insufficient memory for a canvas of " +
                                  std::to_string(options.width) + " x " +
                                  std::to_string(options.height) + " pixels");
    }
    QtTextPainter text;
    const DrawContext context{canvas, text, config, prompt};
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
        outcome = Render(context, SurveyView{nullptr, &data}, *options.graphic,
                         GraphicTarget{0, s, f, config.TrackRadius}, frame);
        // The page draws the track over the graphic on a scratch copy, so the value layer stays
        // that of the graphic; a forced sounding curve is drawn without it, the page's own
        // choice (auto) as the page shows it.
        const bool automatic = *options.graphic == graphic_frame::kNone;
        if (config.ShowGpsTrack != 0 && outcome.frame != graphic_frame::kTrackView &&
            (automatic || outcome.frame != graphic_frame::kSoundingCurve) &&
            picture.CopyFrom(canvas)) {
            DrawTrack(picture, config, track.Data(), frame, kOverlayTrackStyle);
            overlaid = true;
        }
    } else {
        if (*options.graphic == graphic_frame::kTrackView) {
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
        outcome = Render(context, SurveyView{&data, nullptr}, *options.graphic,
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
    if (!outcome.drawn) {
        std::fprintf(stderr, "orvtool render: nothing drawn (%s); wrote the empty picture\n",
                     GraphicRequirement(*options.graphic, survey->IsTrack()));
        return kNothingDrawn;
    }
    return 0;
}

const bool kRegistered =
    RegisterCommand({"render", "draw a map, section, curve or track of a session as PNG", &Run});

}  // namespace

}  // namespace orv::tool
