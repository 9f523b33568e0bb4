#pragma once
// The dataset of the work type GPS track: one open sequence of stations wherever the operator
// stood, each with a GPS position (one per slot, same index), plus the operator's current
// position, and local coordinates in metres for the drawing.
//
// Positions arrive after the measurement: storing it sets latitude 0, longitude 0 and the
// slot's tick stamp, and the measurement cycle asks the GPS matcher, whose answer
// (AssignPosition) gives the station the position interpolated for the measurement's time.
//
// Latitude 0 and longitude 0 mean "no position", here, in the session file (which stores each
// station's longitude and latitude and nothing else of its place) and in the exports: a station
// waiting for its answer, one the matcher could give no fresh enough position
// (GpsStaleSeconds), or one of a file read without positions. Such an unpositioned station is
// left out of the local origin, the track view and the track map; in sections and profile
// curves it keeps its place in station order without adding distance. Measuring it again
// replaces it and sends the cursor back to the end of the track.
//
// The survey always holds exactly one position per slot: a file read without positions gets
// latitude 0, longitude 0 for every station, so nothing reads past the positions.

#include "base/GpsFix.h"
#include "graphics/SurveyData.h"
#include "survey/Survey.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace orv {

class RegularGridInterpolator;
class ScatteredInterpolator;

class TrackSurvey final : public Survey
{
public:
    // Throws std::bad_alloc when memory runs out.
    explicit TrackSurvey(Configuration& config);
    ~TrackSurvey() override;

    bool ResetCursor() override;
    bool Advance() override;
    bool StepBack() override;
    void PreviousStation() override { StepBack(); }
    void NextStation() override { Advance(); }
    void NextProfile() override { Advance(); }
    void PreviousProfile() override { StepBack(); }
    [[nodiscard]] int CurrentIndex() const override { return m_currentStation; }
    // Runs UpdateLocalCoordinates first, as the writer of the handheld did.
    [[nodiscard]] bool WriteSessionImage(const ImagePieceWriter& write) override;
    [[nodiscard]] size_t SessionImageSize() const override;

    [[nodiscard]] int CurrentStation() const { return m_currentStation; }

    // The latest GPS fix (message 9035 of the matcher). From then on the current position is a
    // real fix, until ForgetCurrentPosition (the GPS was reset).
    void SetCurrentPosition(const GpsFix& fix)
    {
        m_currentPosition = fix;
        m_haveCurrentPosition = true;
    }
    void ForgetCurrentPosition() { m_haveCurrentPosition = false; }
    [[nodiscard]] const GpsFix& CurrentPosition() const { return m_currentPosition; }
    [[nodiscard]] bool HaveCurrentPosition() const { return m_haveCurrentPosition; }
    // The matcher's answer for the measurement at `index`: replaces the position of the station
    // with the same tick stamp, `index` or the nearest earlier one. False, with nothing changed,
    // when no station has that tick stamp.
    bool AssignPosition(int index, const GpsFix& fix);
    // The position of station `index`; zero outside the survey.
    [[nodiscard]] GpsFix PositionAt(int index) const;
    // Whether station `index` has a position (not latitude 0, longitude 0).
    [[nodiscard]] bool HasPosition(int index) const;
    [[nodiscard]] static bool IsPositioned(const GpsFix& fix)
    {
        return fix.latitude != 0.0 || fix.longitude != 0.0;
    }
    // The stations without a position, in index order.
    [[nodiscard]] std::vector<int> UnpositionedStations() const;
    [[nodiscard]] const GrowableArray<GpsFix>& Positions() const { return m_positions; }

    // Equirectangular projection about the first positioned station (R = 6371000 m): one entry
    // per slot, plus one for the current position (when it is a real fix) or a copy of the last
    // station's. An unpositioned station copies the entry before it ((0, 0) for the first), so
    // it adds no distance; the flags of PositionedFlags tell it apart. Called after loading,
    // before saving and by the track drawing.
    void UpdateLocalCoordinates();
    [[nodiscard]] const GrowableArray<LocalPoint>& LocalCoordinates() const { return m_local; }
    // One flag per slot as of the last UpdateLocalCoordinates: 1 when the station has a position.
    [[nodiscard]] const GrowableArray<uint8_t>& PositionedFlags() const { return m_positioned; }

    // The view the drawings read (local coordinates as last updated); valid until the survey
    // changes.
    [[nodiscard]] TrackSurveyData Data() const;
    [[nodiscard]] ScatteredInterpolator& TrackInterpolator() { return *m_scattered; }
    [[nodiscard]] RegularGridInterpolator& GridInterpolator() { return *m_regular; }

    // Session reader: the positions read from a file, one per slot.
    [[nodiscard]] bool SetPositions(std::span<const GpsFix> positions);

    [[nodiscard]] bool ApplyJournalRecord(const JournalRecord& record) override;

protected:
    [[nodiscard]] bool StoreAt(int index, const MeasurementSlot& slot) override;
    void GetCursor(int& profile, int& station) const override;
    void SetCursor(int profile, int station) override;
    [[nodiscard]] GpsFix JournalPosition(int index) const override;
    // After a measurement that replaced an unpositioned station the cursor goes back to the end
    // of the track, where the walk goes on; otherwise on to the next station.
    void MoveOnAfterStore(int index) override;

private:
    void JournalPositionOf(int index);

    int m_currentStation = 0;
    GpsFix m_currentPosition;
    bool m_haveCurrentPosition = false;
    GrowableArray<GpsFix> m_positions;
    GrowableArray<LocalPoint> m_local;
    GrowableArray<uint8_t> m_positioned;
    bool m_replacedUnpositioned = false;  // the last StoreAt replaced an unpositioned station
    std::unique_ptr<ScatteredInterpolator> m_scattered;
    std::unique_ptr<RegularGridInterpolator> m_regular;
};

}  // namespace orv
