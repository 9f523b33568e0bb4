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

// ColourAt's arithmetic in steps, for code that colours many values with one chart and keeps
// what it can between them (the painting loops).
//
// The position of a value above the minimum and below the maximum among count >= 2 stops, from
// 0 to last = count - 1. A range too narrow for a float step (an infinite or NaN inverse step)
// still gives a position among the stops.
[[nodiscard]] inline float StopPosition(float value, float minimum, float inverseStep, float last)
{
    float t = (value - minimum) * inverseStep;
    if (!(t >= 0.0f)) {
        t = 0.0f;
    }
    if (t > last) {
        t = last;
    }
    return t;
}

// The segment a position falls in: the stop it starts at, 0 to count - 2.
[[nodiscard]] inline int SegmentAt(float t, int count)
{
    const int i = static_cast<int>(t);
    return i >= count - 1 ? count - 2 : i;
}

// The colours of a segment, from its first stop (f = 0) to the next (f = 1), each channel
// rounded to the nearest step.
class ColourRamp
{
public:
    ColourRamp(Colour from, Colour to)
        : m_red(Channel::Of(RedOf(from), RedOf(to))),
          m_green(Channel::Of(GreenOf(from), GreenOf(to))),
          m_blue(Channel::Of(BlueOf(from), BlueOf(to)))
    {}
    [[nodiscard]] Colour At(float f) const { return MakeColour(Red(f), Green(f), Blue(f)); }
    // Its channels one by one, 0 to 255, for colours packed otherwise.
    [[nodiscard]] uint32_t Red(float f) const { return m_red.At(f); }
    [[nodiscard]] uint32_t Green(float f) const { return m_green.At(f); }
    [[nodiscard]] uint32_t Blue(float f) const { return m_blue.At(f); }

private:
    struct Channel
    {
        float from;
        float difference;

        static Channel Of(uint32_t from, uint32_t to)
        {
            return {static_cast<float>(from),
                    static_cast<float>(static_cast<int>(to) - static_cast<int>(from))};
        }
        [[nodiscard]] uint32_t At(float f) const
        {
            const float value = difference * f + from + 0.5f;
            const int rounded = static_cast<int>(value);
            return static_cast<uint32_t>(rounded < 0 ? 0 : rounded > 255 ? 255 : rounded);
        }
    };
    Channel m_red;
    Channel m_green;
    Channel m_blue;
};

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
