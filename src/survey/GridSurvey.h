#pragma once
// The dataset of the work types Map, Profile and Line: `Profiles` profiles of `Stations`
// stations on a regular grid, walked in a snake. With N = Stations the cursor (profile p,
// station s) addresses slot p*N + s on even profiles and p*N + (N-1-s) on odd ones, so the
// slots are in walking order: even profiles from station 0 up, odd ones from N-1 down.
// Stations = 0 is a Line: one open-ended profile whose station s is slot s.
//
// A 3 x 2 grid walked with Advance visits (0,0) (0,1) (0,2) (1,2) (1,1) (1,0), slots 0..5; at
// the last station Advance returns false and the cursor stays, so a further measurement
// replaces that slot.

#include "graphics/SurveyData.h"
#include "survey/Survey.h"

#include <memory>

namespace orv {

class RegularGridInterpolator;

class GridSurvey final : public Survey
{
public:
    // Reads WorkType, XSize, YSize, XStep and YStep: Profile has one profile and no y step, Line
    // is open-ended with one profile. Sets SurveyStations and SurveyProfiles of `config`. The
    // slots are Stations x Profiles empty ones (20 for a Line). Throws std::bad_alloc when
    // memory runs out (CreateSurvey reports it).
    explicit GridSurvey(Configuration& config);
    ~GridSurvey() override;

    bool ResetCursor() override;
    bool Advance() override;
    bool StepBack() override;
    void PreviousStation() override;
    void NextStation() override;
    void NextProfile() override;
    void PreviousProfile() override;
    [[nodiscard]] int CurrentIndex() const override;
    [[nodiscard]] bool WriteSessionImage(const ImagePieceWriter& write) override;
    [[nodiscard]] size_t SessionImageSize() const override;

    [[nodiscard]] int CurrentProfile() const { return m_currentProfile; }
    [[nodiscard]] int CurrentStation() const { return m_currentStation; }
    [[nodiscard]] int Stations() const { return m_stations; }
    [[nodiscard]] int Profiles() const { return m_profiles; }
    [[nodiscard]] float XStep() const { return m_xStep; }
    [[nodiscard]] float YStep() const { return m_yStep; }

    // The slot index of (profile, station) in walking order.
    [[nodiscard]] int IndexOf(int profile, int station) const;
    // The (profile, station) of a slot index; false for a negative index.
    bool StationOf(int index, int& profile, int& station) const;
    // Stations per profile: Stations, or the slot count of a Line.
    [[nodiscard]] int StationsPerProfile() const;
    // The cursor stands at the first station of a profile in walking order: station 0 of an
    // even profile, the last station of an odd one.
    [[nodiscard]] bool AtProfileStart() const;

    // The view the drawings read; valid until the survey changes.
    [[nodiscard]] GridSurveyData Data() const;
    // The map's interpolator, owned by the survey.
    [[nodiscard]] const RegularGridInterpolator& MapInterpolator() const { return *m_interpolator; }

protected:
    void GetCursor(int& profile, int& station) const override;
    void SetCursor(int profile, int station) override;

private:
    int m_currentProfile = 0;
    int m_currentStation = 0;
    int m_stations = 0;
    int m_profiles = 1;
    float m_xStep = 1.0f;
    float m_yStep = 1.0f;
    std::unique_ptr<RegularGridInterpolator> m_interpolator;
};

}  // namespace orv
