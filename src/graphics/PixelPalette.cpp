#include "graphics/PixelPalette.h"

#include <array>
#include <mutex>
#include <utility>

namespace orv {

PixelPalette::PixelPalette(const ColourChart& chart)
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
    m_segments = SegmentsOf(stops);
    if (m_count >= 2 && m_count <= kMostTabledStops) {
        m_table = TableFor(stops);
    }
}

std::vector<ColourRamp> PixelPalette::SegmentsOf(const std::vector<Colour>& stops)
{
    std::vector<ColourRamp> segments;
    for (size_t i = 0; i + 1 < stops.size(); ++i) {
        segments.emplace_back(stops[i], stops[i + 1]);
    }
    return segments;
}

std::shared_ptr<const PixelPalette::Table> PixelPalette::TableFor(const std::vector<Colour>& stops)
{
    // The area chart and the profile chart take turns: two tables are kept.
    struct Kept
    {
        std::vector<Colour> stops;
        std::shared_ptr<const Table> table;
    };
    static std::mutex lock;
    static std::array<Kept, 2> kept;
    {
        const std::scoped_lock guard(lock);
        for (const Kept& k : kept) {
            if (k.table != nullptr && k.stops == stops) {
                return k.table;
            }
        }
    }
    const std::vector<ColourRamp> segments = SegmentsOf(stops);
    const auto buckets = static_cast<size_t>(kBuckets);
    auto table = std::make_shared<Table>(segments.size() * buckets + 1, kStepping);
    for (size_t i = 0; i < segments.size(); ++i) {
        for (size_t m = 0; m < buckets; ++m) {
            // The part holds f from m / kBuckets up to just below (m + 1) / kBuckets, all exact.
            const float low = static_cast<float>(m) / kBuckets;
            const float high = std::nextafter(static_cast<float>(m + 1) / kBuckets, 0.0f);
            const PixelWord word = WordOf(segments[i], low);
            if (WordOf(segments[i], high) == word) {
                (*table)[i * buckets + m] = word;
            }
        }
    }
    // t at the last stop exactly: the end of the last segment.
    (*table)[segments.size() * buckets] = WordOf(segments.back(), 1.0f);
    const std::scoped_lock guard(lock);
    kept[1] = std::move(kept[0]);
    kept[0] = {stops, table};
    return table;
}

}  // namespace orv
