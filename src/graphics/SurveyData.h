#pragma once
// What the drawing procedures read of a survey, as plain views: the survey module owns the
// datasets (and links this library for its interpolators), so the drawings take the slots,
// the layout and the local coordinates by const reference instead of the dataset classes.
// A view is valid while the survey it was taken from is not changed.

#include "base/MeasurementSlot.h"

#include <cstdint>
#include <span>

namespace orv {

// A grid survey (work types Map, Profile and Line): profiles of `stations` stations walked in a
// snake, slot p * N + s on even profiles and p * N + (N - 1 - s) on odd ones. stations = 0 is a
// Line: one open-ended profile whose station s is slot s.
struct GridSurveyData
{
    std::span<const MeasurementSlot> slots;
    int stations = 0;
    int profiles = 1;
    float xStep = 1.0f;
    float yStep = 1.0f;
    // The cursor: where the next measurement goes. On a Line the station may equal the slot
    // count (the station after the last).
    int cursorProfile = 0;
    int cursorStation = 0;

    // Stations of profile p: `stations`, or the slot count of a Line.
    [[nodiscard]] int StationsPerProfile() const
    {
        return stations > 0 ? stations : static_cast<int>(slots.size());
    }
    // The slot of (p, s) in walking order, or -1 outside the survey.
    [[nodiscard]] int SlotIndex(int p, int s) const
    {
        if (stations <= 0) {
            return p == 0 && s >= 0 ? s : -1;
        }
        if (p < 0 || p >= profiles || s < 0 || s >= stations) {
            return -1;
        }
        return p % 2 == 0 ? p * stations + s : p * stations + (stations - 1 - s);
    }
    // The record of (p, s), or nullptr when it does not exist.
    [[nodiscard]] const MeasurementSlot* Slot(int p, int s) const
    {
        const int index = SlotIndex(p, s);
        if (index < 0 || index >= static_cast<int>(slots.size())) {
            return nullptr;
        }
        return &slots[size_t(index)];
    }
    [[nodiscard]] bool IsMeasured(int p, int s) const
    {
        const MeasurementSlot* slot = Slot(p, s);
        return slot != nullptr && !slot->IsEmpty();
    }
};

// A position in metres east (x) and north (y) of the first record.
struct LocalPoint
{
    float x = 0.0f;
    float y = 0.0f;
};

// A GPS-track survey: the records in recording order and their local coordinates, one per
// record plus, last, the operator's current position (UpdateLocalCoordinates of the survey).
// `cursor` is the selected station; it may equal the record count (the next station).
//
// A record without a GPS position (`positioned` 0) has the coordinates of the positioned record
// before it: it is left out of the track view and the map, and adds no distance along the
// track in sections and profile curves.
struct TrackSurveyData
{
    std::span<const MeasurementSlot> slots;
    std::span<const LocalPoint> local;
    int cursor = 0;
    // One flag per record, 1 when it has a position; empty: every record has one.
    std::span<const uint8_t> positioned{};

    [[nodiscard]] int Count() const { return static_cast<int>(slots.size()); }
    [[nodiscard]] bool IsPositioned(int i) const
    {
        if (positioned.empty()) {
            return i >= 0 && i < Count();
        }
        return i >= 0 && i < static_cast<int>(positioned.size()) && positioned[size_t(i)] != 0;
    }
    // The position of record i; the current position for i = Count(). (0, 0) when the survey
    // has fewer coordinates than records (a file read without positions).
    [[nodiscard]] LocalPoint PositionOf(int i) const
    {
        if (i >= 0 && i < static_cast<int>(local.size())) {
            return local[size_t(i)];
        }
        return {};
    }
    // The operator's current position: the entry after the records, or the last record's.
    [[nodiscard]] LocalPoint CurrentPosition() const
    {
        if (static_cast<int>(local.size()) > Count()) {
            return local[size_t(Count())];
        }
        return local.empty() ? LocalPoint{} : local.back();
    }
};

}  // namespace orv
