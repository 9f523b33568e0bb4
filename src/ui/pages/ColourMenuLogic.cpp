#include "ui/pages/ColourMenuLogic.h"

namespace orv {

int StripCellWidth(const StripRect& rect, int count)
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

std::optional<int> StripStopAt(const StripRect& rect, int count, int x)
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

ColourMenuLogic::ColourMenuLogic()
{
    for (int i = 0; i < 16; ++i) {
        // Entry 15 = 0x0F0F0F, 14 = 0x1F1F1F, ... 0 = 0xFFFFFF.
        const Colour grey = static_cast<Colour>(15 + 16 * (15 - i));
        m_custom[static_cast<size_t>(i)] = grey | (grey << 8) | (grey << 16);
    }
}

bool ColourMenuLogic::Command(int command, ColourChart& chart, const StripRect& rect,
                              const Chooser& choose)
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

void ColourMenuLogic::Displace(Colour colour)
{
    m_custom[static_cast<size_t>(m_write)] = colour;
    m_write = (m_write + 1) % 16;
}

}  // namespace orv
