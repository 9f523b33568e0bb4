#include "survey/GridSurvey.h"

#include "base/ByteOrder.h"
#include "config/Configuration.h"
#include "graphics/RegularGridInterpolator.h"
#include "survey/SessionFormat.h"

#include <algorithm>
#include <limits>
#include <new>

namespace orv {

namespace {

// A new Line has room for this many stations before it grows.
constexpr int kLineStartSlots = 20;

}  // namespace

GridSurvey::GridSurvey(Configuration& config) : Survey(config, config.WorkType)
{
    m_stations = std::max(config.XSize, 0);
    m_profiles = std::max(config.YSize, 1);
    m_xStep = config.XStep;
    m_yStep = config.YStep;
    if (config.WorkType == work_type::kProfile) {
        m_profiles = 1;
        m_yStep = 0.0f;
    } else if (config.WorkType == work_type::kLine) {
        m_stations = 0;
        m_profiles = 1;
        m_yStep = 0.0f;
    }
    config.SurveyStations = m_stations;
    config.SurveyProfiles = m_profiles;
    const long long count =
        m_stations == 0 ? kLineStartSlots : static_cast<long long>(m_stations) * m_profiles;
    if (count > std::numeric_limits<int>::max() || !m_slots.SetCount(static_cast<int>(count))) {
        throw std::bad_alloc();
    }
    m_interpolator = std::make_unique<RegularGridInterpolator>();
}

GridSurvey::~GridSurvey() = default;

bool GridSurvey::ResetCursor()
{
    m_currentProfile = 0;
    m_currentStation = 0;
    return true;
}

bool GridSurvey::Advance()
{
    const int n = m_slots.Count();
    int& p = m_currentProfile;
    int& s = m_currentStation;
    if (m_stations == 0) {
        if (s < n) {
            ++s;
            return true;
        }
        return false;
    }
    if (p % 2 != 0) {
        if (s > 0) {
            --s;
            return true;
        }
    } else if (s + 1 < m_stations) {
        ++s;
        return true;
    }
    // At the end of a profile the next one starts at the same end.
    if (p + 1 < m_profiles) {
        ++p;
        return true;
    }
    return false;
}

bool GridSurvey::StepBack()
{
    int& p = m_currentProfile;
    int& s = m_currentStation;
    if (m_stations == 0) {
        if (s > 0) {
            --s;
            return true;
        }
        return false;
    }
    if (p % 2 != 0) {
        if (s + 1 < m_stations) {
            ++s;
        } else {
            --p;
            s = m_stations - 1;
        }
        return true;
    }
    if (s > 0) {
        --s;
        return true;
    }
    if (p > 0) {
        --p;
        return true;
    }
    return false;
}

void GridSurvey::PreviousStation()
{
    if (m_currentStation > 0) {
        --m_currentStation;
    } else {
        m_currentStation = m_stations == 0 ? m_slots.Count() : m_stations - 1;
    }
}

void GridSurvey::NextStation()
{
    ++m_currentStation;
    if ((m_stations > 0 && m_currentStation >= m_stations) ||
        (m_stations == 0 && m_currentStation > m_slots.Count())) {
        m_currentStation = 0;
    }
}

void GridSurvey::NextProfile()
{
    ++m_currentProfile;
    if (m_currentProfile >= m_profiles) {
        m_currentProfile = 0;
    }
}

void GridSurvey::PreviousProfile()
{
    m_currentProfile = m_currentProfile == 0 ? m_profiles - 1 : m_currentProfile - 1;
}

int GridSurvey::CurrentIndex() const { return IndexOf(m_currentProfile, m_currentStation); }

int GridSurvey::IndexOf(int profile, int station) const
{
    if (m_stations == 0) {
        return station;
    }
    return profile % 2 == 0 ? profile * m_stations + station
                            : profile * m_stations + (m_stations - 1 - station);
}

bool GridSurvey::StationOf(int index, int& profile, int& station) const
{
    if (index < 0) {
        return false;
    }
    if (m_stations == 0) {
        profile = 0;
        station = index;
        return true;
    }
    profile = index / m_stations;
    const int r = index % m_stations;
    station = profile % 2 == 0 ? r : m_stations - 1 - r;
    return true;
}

int GridSurvey::StationsPerProfile() const { return m_stations > 0 ? m_stations : m_slots.Count(); }

bool GridSurvey::AtProfileStart() const
{
    return m_currentProfile % 2 == 0 ? m_currentStation == 0
                                     : m_currentStation == StationsPerProfile() - 1;
}

GridSurveyData GridSurvey::Data() const
{
    GridSurveyData data{m_slots.View(), m_stations, m_profiles, m_xStep, m_yStep};
    data.cursorProfile = m_currentProfile;
    data.cursorStation = m_currentStation;
    return data;
}

void GridSurvey::GetCursor(int& profile, int& station) const
{
    profile = m_currentProfile;
    station = m_currentStation;
}

void GridSurvey::SetCursor(int profile, int station)
{
    m_currentProfile = std::clamp(profile, 0, m_profiles - 1);
    const int last = m_stations == 0 ? m_slots.Count() : m_stations - 1;
    m_currentStation = std::clamp(station, 0, last);
}

size_t GridSurvey::SessionImageSize() const
{
    return session::kHeaderSize + session::kGridBodySize + size_t(m_slots.Count()) * kSlotSize;
}

bool GridSurvey::WriteSessionImage(const ImagePieceWriter& write)
{
    const Configuration& config = Config();
    const int count = m_slots.Count();
    std::vector<uint8_t> out;
    out.reserve(session::kImagePiece + kSlotSize);
    session::AppendHeader(config, HeaderIdentity(), session::kKindGrid, out);
    session::Append32(out, uint32_t(config.HeaderReserved1));
    session::Append32(out, uint32_t(config.HeaderReserved2));
    // The stations and profiles are the dataset's own, so the file always holds stations x
    // profiles slots. A Line (no fixed station count) stores its slot count as one profile
    // and is marked open-ended, so that it reopens as a Line and not as a Profile, and an
    // open-ended grid (XSize 0) does not claim more slots than it holds.
    session::Append32(out, uint32_t(m_stations == 0 ? count : m_stations));
    session::Append32(out, uint32_t(m_stations == 0 ? 1 : m_profiles));
    session::AppendDouble(out, double(config.XStep));
    session::AppendDouble(out, double(config.YStep));
    session::Append32(out, m_stations == 0 ? 1u : 0u);
    session::Append32(out, uint32_t(out.size() + 4));
    return session::AppendStations(out, count, kSlotSize, write,
                                   [&](int i, uint8_t* p) {
                                       std::copy(m_slots[i].bytes.begin(), m_slots[i].bytes.end(),
                                                 p);
                                   }) &&
           write(out);
}

}  // namespace orv
