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

[[nodiscard]] inline int StripCellWidth(const StripRect& rect, int count)
{
    int w = count > 0 ? rect.width / count : 0;
    if (w < 4) {
        w = 4;
    }
    if (w > 16) {
        w = 16;
    }
    return w;
}

// The stop under x, or nothing for an empty chart.
[[nodiscard]] inline std::optional<int> StripStopAt(const StripRect& rect, int count, int x)
{
    if (count <= 0) {
        return std::nullopt;
    }
    int index = (x - rect.left) / StripCellWidth(rect, count);
    if (x < rect.left || index < 0) {
        index = 0;
    }
    if (index > count - 1) {
        index = count - 1;
    }
    return index;
}

class ColourMenuLogic
{
public:
    // Asks the operator for a colour starting at `initial`, with the custom-colour ring; nothing
    // when the chooser was cancelled. The chooser may edit the ring.
    using Chooser =
        std::function<std::optional<Colour>(Colour initial, std::array<Colour, 16>& custom)>;

    ColourMenuLogic()
    {
        for (int i = 0; i < 16; ++i) {
            // Entry 15 = 0x0F0F0F, 14 = 0x1F1F1F, ... 0 = 0xFFFFFF.
            const Colour grey = static_cast<Colour>(15 + 16 * (15 - i));
            m_custom[static_cast<size_t>(i)] = grey | (grey << 8) | (grey << 16);
        }
    }

    // Remembers the strip (its control id) and the point of a tap-and-hold.
    void Tap(int strip, int x)
    {
        m_strip = strip;
        m_x = x;
    }
    [[nodiscard]] int TappedStrip() const { return m_strip; }

    // Carries out a menu command on `chart`, whose strip lies at `rect`. True when the chart
    // changed (its strip must be repainted). The remembered strip is cleared in every case.
    bool Command(int command, ColourChart& chart, const StripRect& rect, const Chooser& choose)
    {
        const std::optional<int> stop = StripStopAt(rect, chart.Count(), m_x);
        m_strip = 0;
        switch (command) {
            case colour_command::kChange: {
                if (!stop) {
                    return false;
                }
                const Colour old = chart.Colours()[static_cast<size_t>(*stop)];
                const std::optional<Colour> chosen = choose(old, m_custom);
                if (!chosen) {
                    return false;
                }
                chart.SetColour(*stop, *chosen);
                Displace(old);
                return true;
            }
            case colour_command::kAppend: {
                const Colour initial =
                    stop ? chart.Colours()[static_cast<size_t>(*stop)] : Colour{0xFFFFFF};
                const std::optional<Colour> chosen = choose(initial, m_custom);
                if (!chosen) {
                    return false;
                }
                chart.AppendColour(*chosen);
                return true;
            }
            case colour_command::kReverse:
                chart.Reverse();
                return true;
            case colour_command::kDelete: {
                if (!stop) {
                    return false;
                }
                const Colour old = chart.Colours()[static_cast<size_t>(*stop)];
                chart.RemoveColours(*stop, 1);
                Displace(old);
                return true;
            }
            case colour_command::kRgb:
                chart.LoadPreset(ColourPreset::Rgb);
                return true;
            case colour_command::kRes2dinv:
                chart.LoadPreset(ColourPreset::Res2dinv);
                return true;
            case colour_command::kViridis:
                chart.LoadPreset(ColourPreset::Viridis);
                return true;
            case colour_command::kCividis:
                chart.LoadPreset(ColourPreset::Cividis);
                return true;
            case colour_command::kCoolWarm:
                chart.LoadPreset(ColourPreset::CoolWarm);
                return true;
            default:
                return false;
        }
    }

    [[nodiscard]] const std::array<Colour, 16>& CustomColours() const { return m_custom; }

private:
    void Displace(Colour colour)
    {
        m_custom[static_cast<size_t>(m_write)] = colour;
        m_write = (m_write + 1) % 16;
    }

    std::array<Colour, 16> m_custom{};
    int m_write = 0;
    int m_strip = 0;
    int m_x = 0;
};

}  // namespace orv
