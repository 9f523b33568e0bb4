#pragma once
// A colour chart as the painting loops use it: the pixel word of a value, worked out inline
// through the steps of ColourChart::ColourAt (StopPosition, SegmentAt, ColourRamp), so a map
// painted through it is the same, pixel for pixel, as one painted cell by cell through the
// chart. Made per drawing, after the automatic range is set; it copies what it
// needs, so the chart may change afterwards.
//
// Most values are looked up instead of worked out: the position t of a value among the stops
// ((value - minimum) * inverse step, as ColourAt forms it) falls in one of kBuckets equal parts
// of its segment, and where the colour is the same at both ends of a part it is the same all
// through it (each channel only rises or only falls along a segment), so the table holds it.
// Parts where a channel steps are worked out. The table depends on the stops alone and is kept
// for the last few sets of stops.

#include "charts/ColourChart.h"
#include "graphics/PlotCanvas.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace orv {

class PixelPalette
{
public:
    explicit PixelPalette(const ColourChart& chart);

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
        const float t = StopPosition(value, m_minimum, m_inverseStep, m_lastIndex);
        if (m_table != nullptr) {
            // t * kBuckets is exact: the buckets are a power of two.
            const PixelWord word = (*m_table)[static_cast<size_t>(t * kBuckets)];
            if (word != kStepping) {
                return word;
            }
        }
        return WordAtPosition(t);
    }

    // Parts per segment between two stops; a power of two.
    static constexpr float kBuckets = 4096.0f;
    // Charts with more stops than this are worked out value by value.
    static constexpr int kMostTabledStops = 64;

private:
    static constexpr PixelWord kNone = PixelWordOf(kNoColour);
    // A table entry whose part holds more than one colour. Every colour's word has its top byte
    // set, so 0 is free.
    static constexpr PixelWord kStepping = 0;

    using Table = std::vector<PixelWord>;

    static std::vector<ColourRamp> SegmentsOf(const std::vector<Colour>& stops);
    static std::shared_ptr<const Table> TableFor(const std::vector<Colour>& stops);

    // The colour at position t, 0 <= t <= count - 1, as ColourAt works it out.
    [[nodiscard]] PixelWord WordAtPosition(float t) const
    {
        const int i = SegmentAt(t, m_count);
        return WordOf(m_segments[static_cast<size_t>(i)], t - static_cast<float>(i));
    }
    static PixelWord WordOf(const ColourRamp& segment, float f)
    {
        return 0xFF000000u | segment.Red(f) << 16 | segment.Green(f) << 8 | segment.Blue(f);
    }

    int m_count;
    float m_minimum;
    float m_maximum;
    float m_inverseStep;
    float m_lastIndex;
    PixelWord m_single = 0;
    PixelWord m_first = 0;
    PixelWord m_last = 0;
    std::vector<ColourRamp> m_segments;
    std::shared_ptr<const Table> m_table;
};

}  // namespace orv
