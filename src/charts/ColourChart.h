#pragma once
// A colour chart turns a value into a display colour through evenly spaced colour stops between
// a minimum and a maximum: stop k stands at minimum + k * step. The configuration owns two, the
// area chart of maps and the profile chart of sections. All arithmetic is single precision.

#include "base/Colour.h"

#include <cstdint>
#include <span>
#include <vector>

namespace orv {

// The classic presets of the Colour menu (RES2DINV, RGB), two perceptually uniform sequential
// ones that stay readable with a colour-vision deficiency (viridis, cividis) and a diverging one
// for signed values (cool-warm: blue below, grey at the middle, red above).
enum class ColourPreset { Res2dinv, Rgb, Viridis, Cividis, CoolWarm };

// The stops of a preset, from the minimum to the maximum.
[[nodiscard]] std::span<const Colour> PresetStops(ColourPreset preset);
// The preset's name as the Colour menu and the command line give it ("RES2DINV", "RGB",
// "viridis", "cividis", "cool-warm").
[[nodiscard]] const char* PresetName(ColourPreset preset);

class ColourChart
{
public:
    // No stops, range -10 to 10.
    ColourChart();

    // Refused (false, nothing changed) unless minimum < maximum.
    bool SetRange(float minimum, float maximum);
    void GetRange(float& minimum, float& maximum) const;
    [[nodiscard]] Colour ColourAt(float value) const;

    // `index` must be a valid stop.
    void SetColour(int index, Colour colour);
    int AppendColour(Colour colour);
    // Removes n stops from `index` on; out-of-range parts are ignored.
    void RemoveColours(int index, int n);
    void Reverse();
    // Replaces the stops with the preset's; the range stays.
    void LoadPreset(ColourPreset preset);
    // True when the stops are exactly the preset's, in either direction (Reverse keeps it).
    [[nodiscard]] bool HoldsPreset(ColourPreset preset) const;
    // A diverging chart: its middle stands for 0, so an automatic range over values of both
    // signs is made symmetric about 0. True while the stops are the cool-warm preset's.
    [[nodiscard]] bool IsDiverging() const { return HoldsPreset(ColourPreset::CoolWarm); }
    // (size + 3) / 4 stops from little-endian 32-bit words; a trailing partial word is padded
    // with zero bytes.
    void SetColourBytes(std::span<const uint8_t> bytes);
    // The stops as little-endian 32-bit words, count * 4 bytes.
    [[nodiscard]] std::vector<uint8_t> ColourBytes() const;

    [[nodiscard]] const std::vector<Colour>& Colours() const { return m_colours; }
    [[nodiscard]] int Count() const { return static_cast<int>(m_colours.size()); }
    [[nodiscard]] float Minimum() const { return m_minimum; }
    [[nodiscard]] float Maximum() const { return m_maximum; }
    [[nodiscard]] float Step() const { return m_step; }
    [[nodiscard]] float InverseStep() const { return m_inverseStep; }

private:
    void RecomputeStep();

    std::vector<Colour> m_colours;
    float m_minimum = -10.0f;
    float m_maximum = 10.0f;
    float m_step = 0.0f;
    float m_inverseStep = 0.0f;
};

}  // namespace orv
