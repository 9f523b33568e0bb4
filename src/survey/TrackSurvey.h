#pragma once
// The dataset of the work type GPS track: one open sequence of stations wherever the operator
// stood, each with a GPS position (one per slot, same index), plus the operator's current
// position, and local coordinates in metres for the drawing.
//
// Positions arrive after the measurement: storing it sets latitude 0, longitude 0 and the
// slot's tick stamp; the measurement cycle then gives the station the last known position
// (GiveLastKnownPosition) and asks the GPS matcher, whose answer (AssignPosition) replaces it
// with the position interpolated for the measurement's time.
//
// The survey always holds exactly one position per slot: a file read without positions gets
// latitude 0, longitude 0 for every station, so nothing reads past the positions.

#include "base/GpsFix.h"
#include "graphics/SurveyData.h"
#include "survey/Survey.h"

#include <memory>

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
    [[nodiscard]] std::vector<uint8_t> SessionImage() override;

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
    // Gives station `index` the current position, keeping the station's own tick stamp (the
    // page does so until the matcher answers). False for an index outside the survey.
    bool GiveLastKnownPosition(int index);
    // The position of station `index`; zero outside the survey.
    [[nodiscard]] GpsFix PositionAt(int index) const;
    [[nodiscard]] const GrowableArray<GpsFix>& Positions() const { return m_positions; }

    // Equirectangular projection about the first station (R = 6371000 m): one entry per slot,
    // plus one for the current position (when it is a real fix) or a copy of the last
    // station's. Called after loading, before saving and by the track drawing.
    void UpdateLocalCoordinates();
    [[nodiscard]] const GrowableArray<LocalPoint>& LocalCoordinates() const { return m_local; }

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

private:
    void JournalPositionOf(int index);

    int m_currentStation = 0;
    GpsFix m_currentPosition;
    bool m_haveCurrentPosition = false;
    GrowableArray<GpsFix> m_positions;
    GrowableArray<LocalPoint> m_local;
    std::unique_ptr<ScatteredInterpolator> m_scattered;
    std::unique_ptr<RegularGridInterpolator> m_regular;
};

}  // namespace orv
