#pragma once
// The colour strips of the view settings page and their Colour menu, without Qt.
//
// A strip shows one chart inside its placeholder rectangle: cell width = rectangle width /
// number of stops, clamped to 4..16 pixels; stop k fills [left + k*w, left + (k+1)*w) over the
// full height, so cells that do not fit run past the right edge. A tap-and-hold inside a strip
// opens the menu; the tapped stop is (x − left) / w, clamped to the stops there are.
//
// The presets: the handheld's RGB and RES2DINV, then viridis, cividis and cool-warm (a diverging
// chart for signed values: while it is chosen the automatic range is symmetric about 0).
//
// The colour chooser's 16 custom colours are a ring owned by the page: Change and Delete put the
// colour they displace at the write index and advance it.

#include "base/Colour.h"
#include "charts/ColourChart.h"
#include "resources/ResourceIds.h"

#include <array>
#include <functional>
#include <optional>

namespace orv {

namespace colour_command {
constexpr int kChange = command_id::kColourChange;
constexpr int kAppend = command_id::kColourAppend;
constexpr int kReverse = command_id::kColourReverse;
constexpr int kDelete = command_id::kColourDelete;
constexpr int kRes2dinv = command_id::kColourRes2dinv;
constexpr int kRgb = command_id::kColourRgb;
constexpr int kViridis = command_id::kColourViridis;
constexpr int kCividis = command_id::kColourCividis;
constexpr int kCoolWarm = command_id::kColourCoolWarm;
}  // namespace colour_command

struct StripRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    [[nodiscard]] bool Contains(int x, int y) const
    {
        return x >= left && x < left + width && y >= top && y < top + height;
    }
};

[[nodiscard]] int StripCellWidth(const StripRect& rect, int count);

// The stop under x, or nothing for an empty chart.
[[nodiscard]] std::optional<int> StripStopAt(const StripRect& rect, int count, int x);

class ColourMenuLogic
{
public:
    // Asks the operator for a colour starting at `initial`, with the custom-colour ring; nothing
    // when the chooser was cancelled. The chooser may edit the ring.
    using Chooser =
        std::function<std::optional<Colour>(Colour initial, std::array<Colour, 16>& custom)>;

    ColourMenuLogic();

    // Remembers the strip (its control id) and the point of a tap-and-hold.
    void Tap(int strip, int x)
    {
        m_strip = strip;
        m_x = x;
    }
    [[nodiscard]] int TappedStrip() const { return m_strip; }

    // Carries out a menu command on `chart`, whose strip lies at `rect`. True when the chart
    // changed (its strip must be repainted). The remembered strip is cleared in every case.
    bool Command(int command, ColourChart& chart, const StripRect& rect, const Chooser& choose);

    [[nodiscard]] const std::array<Colour, 16>& CustomColours() const { return m_custom; }

private:
    // The colour a command displaced goes into the custom ring at its write index.
    void Displace(Colour colour);

    std::array<Colour, 16> m_custom{};
    int m_write = 0;
    int m_strip = 0;
    int m_x = 0;
};

}  // namespace orv
