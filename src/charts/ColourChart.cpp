#include "charts/ColourChart.h"

#include "base/ByteOrder.h"

#include <algorithm>
#include <cmath>

namespace orv {

namespace {

constexpr Colour kRes2dinv[15] = {0x800000, 0xFF0000, 0xFF8000, 0xFFFF00, 0x80C000,
                                  0x00FF00, 0x008000, 0x00C080, 0x00FFFF, 0x0080BF,
                                  0x0080FF, 0x0000FF, 0x0000D3, 0x400080, 0x600060};
constexpr Colour kRgb[15] = {0x0000FF, 0x0025DB, 0x0049B7, 0x006E92, 0x00926E,
                             0x00B749, 0x00DB25, 0x00FF00, 0x25DB00, 0x49B700,
                             0x6E9200, 0x926E00, 0xB74900, 0xDB2500, 0xFF0000};
// viridis (van der Walt, Smith and Firing, 2015; the 256-entry table published with the
// colour map under CC0 and shipped by matplotlib as _viridis_data): entries (k * 255 + 7) / 14
// for k = 0..14, that is 0, 18, 36, 55, 73, 91, 109, 128, 146, 164, 182, 200, 219, 237, 255, each
// channel round(255 * value). Dark purple through blue and green to yellow, lightness rising
// evenly.
constexpr Colour kViridis[15] = {0x540144, 0x6D1B48, 0x7E3246, 0x89483F, 0x8D5C36,
                                 0x8E6E2E, 0x8E7F27, 0x8C9121, 0x87A11F, 0x7DB22D,
                                 0x6DC14A, 0x57CF70, 0x39DAA0, 0x1CE1D0, 0x25E7FD};
// cividis (Nunez, Anderton and Renslow, "Optimizing colormaps with consideration for color
// vision deficiency", PLOS ONE 13(7), 2018; its 256-entry table as matplotlib ships it,
// _cividis_data): the same entries and rounding. Dark blue through grey to yellow.
constexpr Colour kCividis[15] = {0x4E2200, 0x6D2F00, 0x6E3B21, 0x6C483A, 0x6C554C,
                                 0x6E615D, 0x726E6C, 0x787C7D, 0x78898E, 0x75979F,
                                 0x70A5B1, 0x68B4C4, 0x5CC5D9, 0x4AD5ED, 0x38E8FE};
// Smooth cool-warm (K. Moreland, "Diverging Color Maps for Scientific Visualization", 2009;
// the 33-entry table CoolWarmFloat33 published with the paper): every other entry, 0, 2, .. 32,
// so the middle stop is the table's grey (221, 221, 221) at 0.5 exactly.
constexpr Colour kCoolWarm[17] = {0xC04C3B, 0xD7684D, 0xEA8262, 0xF79A77, 0xFEB08D, 0xFFC2A3,
                                  0xF9D0B8, 0xEED9CC, 0xDDDDDD, 0xC5D3EC, 0xADC4F5, 0x94B1F7,
                                  0x7B9AF4, 0x637FEC, 0x4D60DE, 0x383ECB, 0x2604B4};

}  // namespace

std::span<const Colour> PresetStops(ColourPreset preset)
{
    switch (preset) {
        case ColourPreset::Rgb:
            return kRgb;
        case ColourPreset::Viridis:
            return kViridis;
        case ColourPreset::Cividis:
            return kCividis;
        case ColourPreset::CoolWarm:
            return kCoolWarm;
        case ColourPreset::Res2dinv:
            break;
    }
    return kRes2dinv;
}

const char* PresetName(ColourPreset preset)
{
    switch (preset) {
        case ColourPreset::Rgb:
            return "RGB";
        case ColourPreset::Viridis:
            return "viridis";
        case ColourPreset::Cividis:
            return "cividis";
        case ColourPreset::CoolWarm:
            return "cool-warm";
        case ColourPreset::Res2dinv:
            break;
    }
    return "RES2DINV";
}

ColourChart::ColourChart() = default;

bool ColourChart::SetRange(float minimum, float maximum)
{
    if (!(minimum < maximum)) {
        return false;
    }
    m_minimum = minimum;
    m_maximum = maximum;
    RecomputeStep();
    return true;
}

void ColourChart::GetRange(float& minimum, float& maximum) const
{
    minimum = m_minimum;
    maximum = m_maximum;
}

Colour ColourChart::ColourAt(float value) const
{
    const int count = Count();
    if (count == 0) {
        return kNoColour;
    }
    if (count == 1) {
        return m_colours[0];
    }
    // A NaN is no value at all: it must not pick a stop by an undefined conversion.
    if (std::isnan(value)) {
        return kNoColour;
    }
    if (value <= m_minimum) {
        return m_colours.front();
    }
    if (value >= m_maximum) {
        return m_colours.back();
    }
    const float t = StopPosition(value, m_minimum, m_inverseStep, static_cast<float>(count - 1));
    const int i = SegmentAt(t, count);
    return ColourRamp(m_colours[size_t(i)], m_colours[size_t(i) + 1]).At(t - static_cast<float>(i));
}

void ColourChart::SetColour(int index, Colour colour)
{
    if (index < 0 || index >= Count()) {
        return;
    }
    m_colours[size_t(index)] = colour;
    RecomputeStep();
}

int ColourChart::AppendColour(Colour colour)
{
    m_colours.push_back(colour);
    RecomputeStep();
    return Count() - 1;
}

void ColourChart::RemoveColours(int index, int n)
{
    if (index < 0 || n <= 0 || index >= Count()) {
        return;
    }
    const int end = std::min(Count(), index + n);
    m_colours.erase(m_colours.begin() + index, m_colours.begin() + end);
    RecomputeStep();
}

void ColourChart::Reverse() { std::reverse(m_colours.begin(), m_colours.end()); }

void ColourChart::LoadPreset(ColourPreset preset)
{
    const std::span<const Colour> stops = PresetStops(preset);
    m_colours.assign(stops.begin(), stops.end());
    RecomputeStep();
}

bool ColourChart::HoldsPreset(ColourPreset preset) const
{
    const std::span<const Colour> stops = PresetStops(preset);
    return std::equal(m_colours.begin(), m_colours.end(), stops.begin(), stops.end()) ||
           std::equal(m_colours.rbegin(), m_colours.rend(), stops.begin(), stops.end());
}

void ColourChart::SetColourBytes(std::span<const uint8_t> bytes)
{
    m_colours.clear();
    m_colours.reserve((bytes.size() + 3) / 4);
    for (size_t offset = 0; offset < bytes.size(); offset += 4) {
        uint8_t word[4] = {0, 0, 0, 0};
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                    std::min<size_t>(4, bytes.size() - offset), word);
        m_colours.push_back(little_endian::Load32(word));
    }
    RecomputeStep();
}

std::vector<uint8_t> ColourChart::ColourBytes() const
{
    std::vector<uint8_t> bytes(m_colours.size() * 4);
    for (size_t i = 0; i < m_colours.size(); ++i) {
        little_endian::Store32(&bytes[4 * i], m_colours[i]);
    }
    return bytes;
}

void ColourChart::RecomputeStep()
{
    if (Count() < 2) {
        return;
    }
    m_step = (m_maximum - m_minimum) / static_cast<float>(Count() - 1);
    if (m_step != 0.0f) {
        m_inverseStep = 1.0f / m_step;
    }
}

}  // namespace orv
