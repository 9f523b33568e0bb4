#pragma once
// What the Main pages decide, without Qt: frequency stepping over the active frequencies, the
// Start button's text, the repeat acceleration of the track page's arrow keys, the radius spin,
// the battery texts, and the choice of the graphic shown with its status text.
//
// Graphic choice: the frames 1001 map, 1002 section, 1003 profile curve, 1004 sounding curve are
// tried in that order starting after the one on screen; when none after it qualifies the search
// restarts once from the map. The first frame whose conditions hold and whose drawing succeeds
// is shown; with none, nothing is shown and the status is "Ready".

#include "base/Frequencies.h"
#include "ui/KeyRouter.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace orv {

namespace graphic_frame {
constexpr int kNone = 0;
constexpr int kMap = 1001;
constexpr int kSection = 1002;
constexpr int kProfileCurve = 1003;
constexpr int kSoundingCurve = 1004;
}  // namespace graphic_frame

namespace main_page {

// The handheld's virtual-key codes of the Main pages' OK and arrow keys.
constexpr uint32_t kKeyEnter = handheld_key::kEnter;
constexpr uint32_t kKeyLeft = handheld_key::kLeft;
constexpr uint32_t kKeyUp = handheld_key::kUp;
constexpr uint32_t kKeyRight = handheld_key::kRight;
constexpr uint32_t kKeyDown = handheld_key::kDown;

using FrequencyFlags = std::array<int, kFrequencyCount>;

// The first active frequency at or after `areaFrequency` (1..14), as a number 1..14.
[[nodiscard]] inline int FirstActiveFrequency(int areaFrequency, const FrequencyFlags& used)
{
    int i = areaFrequency - 1;
    if (i < 0 || i >= kFrequencyCount) {
        i = 0;
    }
    for (int tries = 0; tries < kFrequencyCount; ++tries) {
        if (used[static_cast<size_t>(i)] != 0) {
            return i + 1;
        }
        i = (i + 1) % kFrequencyCount;
    }
    return (areaFrequency >= 1 && areaFrequency <= kFrequencyCount) ? areaFrequency : 1;
}

// A frequency step: delta < 0 goes to the next higher active frequency, delta > 0 to the next
// lower, both wrapping; 0 keeps the number. With no active frequency the search stays where it
// began.
[[nodiscard]] inline int StepFrequency(int frequencyNumber, int delta, const FrequencyFlags& used)
{
    if (delta == 0) {
        return frequencyNumber;
    }
    const int direction = delta < 0 ? 1 : -1;
    int i0 = 0;
    if (delta < 0) {
        i0 = frequencyNumber > 13 ? 0 : frequencyNumber;
    } else {
        i0 = frequencyNumber < 2 ? 13 : frequencyNumber - 2;
    }
    int i = i0;
    for (int tries = 0; tries < kFrequencyCount; ++tries) {
        if (used[static_cast<size_t>(i)] != 0) {
            return i + 1;
        }
        i = (i + direction + kFrequencyCount) % kFrequencyCount;
    }
    return i0 + 1;
}

// String id of the Start button's text: 32791 "Start" without timer mode, 32793 "Stop" while a
// series runs, 32792 "Start" in timer mode with no series.
[[nodiscard]] inline int StartTextId(bool timerMode, bool timerRunning)
{
    if (!timerMode) {
        return 32791;
    }
    return timerRunning ? 32793 : 32792;
}

// The radius spin of the track page: radius − delta, wrapping within 2..99.
[[nodiscard]] inline int StepRadius(int radius, int delta)
{
    int r = radius - delta;
    if (r < 2) {
        r += 98 * ((99 - r) / 98);
    } else if (r > 99) {
        r -= 98 * ((r - 2) / 98);
    }
    return r;
}

// The held-key acceleration of the track page: steps per key-down.
class KeyAcceleration
{
public:
    int Steps(bool repeat)
    {
        if (!repeat) {
            m_count = 0;
            return 1;
        }
        const int n = (m_count + 1) / 10 + 1;
        m_count += n;
        return n;
    }

private:
    int m_count = 0;
};

// "%d%%" for a charge of 0..100, else empty.
[[nodiscard]] inline std::string BatteryText(int percent)
{
    if (percent < 0 || percent > 100) {
        return {};
    }
    return std::to_string(percent) + "%";
}

// The instrument's battery as control 1074 shows it: "%.1fV" of centivolts × 0.01, or "N/A".
[[nodiscard]] inline std::string InstrumentBatteryText(bool read, unsigned centivolts)
{
    if (!read) {
        return "N/A";
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1fV", centivolts * 0.01);
    return buffer;
}

[[nodiscard]] inline std::string BatteryPopupText(int percent)
{
    return "Battery charge remaining: " + std::to_string(percent) + "%";
}

}  // namespace main_page

// The choice of the graphic on a Main page and what it was drawn for.
class GraphicSelection
{
public:
    // Tries to draw a frame; true when its conditions held and the drawing succeeded.
    using Drawer = std::function<bool(int frame)>;

    [[nodiscard]] int Shown() const { return m_shown; }
    // After a new measurement: the search starts at the map.
    void Reset() { m_shown = graphic_frame::kNone; }
    // "Grid", "Scale marks", "Fit to screen": the same graphic again with the new setting.
    void Again()
    {
        if (m_shown > graphic_frame::kNone) {
            --m_shown;
        }
        if (m_shown < graphic_frame::kMap) {
            m_shown = graphic_frame::kNone;
        }
    }

    // The grid page's adjustment before a search, for profile p, station s, frequency f.
    void AdjustGrid(int p, int s, int f)
    {
        using namespace graphic_frame;
        if (m_shown == kMap && f != m_lastFrequency) {
            m_shown = kNone;
        } else if (m_shown == kSection && p != m_lastProfile) {
            m_shown = kNone;
        } else if (m_shown == kProfileCurve) {
            if (p != m_lastProfile) {
                m_shown = kNone;
            } else if (f != m_lastFrequency) {
                m_shown = kSection;
            }
        }
        m_lastProfile = p;
        m_lastStation = s;
        m_lastFrequency = f;
    }

    // The track page's adjustment, for the shown station, frequency f and radius.
    void AdjustTrack(int station, int f, int radius)
    {
        using namespace graphic_frame;
        if (m_shown == kMap && (f != m_lastFrequency || radius != m_lastRadius)) {
            m_shown = kNone;
        } else if (m_shown == kProfileCurve && f != m_lastFrequency) {
            m_shown = kSection;
        } else if (m_shown == kSoundingCurve && station != m_lastStation) {
            m_shown = kProfileCurve;
        }
        m_lastStation = station;
        m_lastFrequency = f;
        m_lastRadius = radius;
    }

    // Searches from the frame after the one shown; returns the frame now shown (0: none).
    int Choose(const Drawer& draw)
    {
        const int shown = m_shown;
        for (int frame = shown + 1 < graphic_frame::kMap ? graphic_frame::kMap : shown + 1;
             frame <= graphic_frame::kSoundingCurve; ++frame) {
            if (draw(frame)) {
                m_shown = frame;
                return frame;
            }
        }
        // Once more from the map, up to the frame that was on screen.
        for (int frame = graphic_frame::kMap; frame <= shown; ++frame) {
            if (draw(frame)) {
                m_shown = frame;
                return frame;
            }
        }
        m_shown = graphic_frame::kNone;
        return m_shown;
    }

private:
    int m_shown = graphic_frame::kNone;
    int m_lastProfile = -1;
    int m_lastStation = -1;
    int m_lastFrequency = -1;
    int m_lastRadius = -1;
};

// The status text above the graphic. `profile` and `station` are the numbers the page shows;
// `track` selects the track page's wording of the sounding curve.
[[nodiscard]] inline std::string GraphicStatusText(int frame, bool track, int profile, int station,
                                                   int frequencyNumber, bool realScaling)
{
    char buffer[96];
    const char* scaling = realScaling ? " (proportional)" : " (fit to screen)";
    switch (frame) {
        case graphic_frame::kMap:
            std::snprintf(buffer, sizeof buffer, "Map: frequency %d%s", frequencyNumber, scaling);
            break;
        case graphic_frame::kSection:
            std::snprintf(buffer, sizeof buffer, "Section: profile %d%s", track ? 0 : profile,
                          scaling);
            break;
        case graphic_frame::kProfileCurve:
            std::snprintf(buffer, sizeof buffer, "Profile curve: profile %d, frequency %d",
                          track ? 0 : profile, frequencyNumber);
            break;
        case graphic_frame::kSoundingCurve:
            if (track) {
                std::snprintf(buffer, sizeof buffer, "Sounding curve: station %d", station);
            } else {
                std::snprintf(buffer, sizeof buffer, "Sounding curve: profile %d, station %d",
                              profile, station);
            }
            break;
        default:
            return "Ready";
    }
    return buffer;
}

}  // namespace orv
