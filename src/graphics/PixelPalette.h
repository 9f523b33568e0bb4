#pragma once
// A colour chart as the painting loops use it: the pixel word of a value, worked out inline
// with the very arithmetic of ColourChart::ColourAt (single precision, step by step in the same
// order), so a map painted through it is the same, pixel for pixel, as one painted cell by cell
// through the chart. Made per drawing, after the automatic range is set; it copies what it
// needs, so the chart may change afterwards.

#include "charts/ColourChart.h"
#include "graphics/PlotCanvas.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace orv {

class PixelPalette
{
public:
    explicit PixelPalette(const ColourChart& chart)
        : m_count(chart.Count()),
          m_minimum(chart.Minimum()),
          m_maximum(chart.Maximum()),
          m_inverseStep(chart.InverseStep()),
          m_lastIndex(static_cast<float>(std::max(chart.Count() - 1, 0)))
    {
        const std::vector<Colour>& stops = chart.Colours();
        m_single = PixelWordOf(stops.empty() ? kNoColour : stops.front());
        m_first = m_single;
        m_last = PixelWordOf(stops.empty() ? kNoColour : stops.back());
        for (size_t i = 0; i + 1 < stops.size(); ++i) {
            m_segments.push_back({Ramp::Of(RedOf(stops[i]), RedOf(stops[i + 1])),
                                  Ramp::Of(GreenOf(stops[i]), GreenOf(stops[i + 1])),
                                  Ramp::Of(BlueOf(stops[i]), BlueOf(stops[i + 1]))});
        }
    }

    // PixelWordOf(chart.ColourAt(value)).
    [[nodiscard]] PixelWord WordAt(float value) const
    {
        if (m_count < 2) {
            return m_single;
        }
        if (std::isnan(value)) {
            return kNone;
        }
        if (value <= m_minimum) {
            return m_first;
        }
        if (value >= m_maximum) {
            return m_last;
        }
        float t = (value - m_minimum) * m_inverseStep;
        if (!(t >= 0.0f)) {
            t = 0.0f;
        }
        if (t > m_lastIndex) {
            t = m_lastIndex;
        }
        int i = static_cast<int>(t);
        if (i >= m_count - 1) {
            i = m_count - 2;
        }
        const float f = t - static_cast<float>(i);
        const Segment& s = m_segments[static_cast<size_t>(i)];
        return 0xFF000000u | s.red.At(f) << 16 | s.green.At(f) << 8 | s.blue.At(f);
    }

private:
    static constexpr PixelWord kNone = PixelWordOf(kNoColour);

    // One channel between two stops.
    struct Ramp
    {
        float from;
        float difference;

        static Ramp Of(uint32_t from, uint32_t to)
        {
            return {static_cast<float>(from),
                    static_cast<float>(static_cast<int>(to) - static_cast<int>(from))};
        }
        [[nodiscard]] uint32_t At(float f) const
        {
            const float value = difference * f + from + 0.5f;
            return static_cast<uint32_t>(std::clamp(static_cast<int>(value), 0, 255));
        }
    };
    struct Segment
    {
        Ramp red;
        Ramp green;
        Ramp blue;
    };

    int m_count;
    float m_minimum;
    float m_maximum;
    float m_inverseStep;
    float m_lastIndex;
    PixelWord m_single = 0;
    PixelWord m_first = 0;
    PixelWord m_last = 0;
    std::vector<Segment> m_segments;
};

}  // namespace orv
