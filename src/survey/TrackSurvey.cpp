#include "survey/TrackSurvey.h"

#include "base/ByteOrder.h"
#include "config/Configuration.h"
#include "graphics/RegularGridInterpolator.h"
#include "graphics/ScatteredInterpolator.h"
#include "survey/MeasurementJournal.h"
#include "survey/SessionFormat.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

namespace orv {

namespace {

constexpr int kStartCapacity = 32;
constexpr double kEarthRadius = 6371000.0;  // metres

}  // namespace

TrackSurvey::TrackSurvey(Configuration& config) : Survey(config, work_type::kGpsTrack)
{
    if (!m_slots.Reserve(kStartCapacity) || !m_positions.Reserve(kStartCapacity) ||
        !m_local.Reserve(kStartCapacity)) {
        throw std::bad_alloc();
    }
    m_scattered = std::make_unique<ScatteredInterpolator>();
    m_regular = std::make_unique<RegularGridInterpolator>();
}

TrackSurvey::~TrackSurvey() = default;

bool TrackSurvey::ResetCursor()
{
    m_currentStation = 0;
    return true;
}

bool TrackSurvey::Advance()
{
    if (m_currentStation < m_slots.Count()) {
        ++m_currentStation;
        return true;
    }
    return false;
}

bool TrackSurvey::StepBack()
{
    if (m_currentStation > 0) {
        --m_currentStation;
        return true;
    }
    return false;
}

bool TrackSurvey::StoreAt(int index, const MeasurementSlot& slot)
{
    if (index < 0) {
        return false;
    }
    const int oldPositions = m_positions.Count();
    const bool replacesUnpositioned = index < m_slots.Count() && !HasPosition(index);
    if (index >= oldPositions && !m_positions.SetCount(index + 1)) {
        return false;
    }
    if (!Survey::StoreAt(index, slot)) {
        static_cast<void>(m_positions.SetCount(oldPositions));
        return false;
    }
    m_replacedUnpositioned = replacesUnpositioned;
    // The position follows from the GPS matcher; until then the station carries its time.
    m_positions[index] = GpsFix{0.0, 0.0, slot.TickStamp()};
    return true;
}

bool TrackSurvey::AssignPosition(int index, const GpsFix& fix)
{
    const int n = m_positions.Count();
    int target = -1;
    if (index >= 0 && index < n && m_positions[index].tickStamp == fix.tickStamp) {
        target = index;
    } else {
        for (int i = std::min(index, n) - 1; i >= 0; --i) {
            if (m_positions[i].tickStamp == fix.tickStamp) {
                target = i;
                break;
            }
        }
    }
    if (target < 0) {
        return false;
    }
    PrepareJournal();
    m_positions[target] = fix;
    MarkModified();
    JournalPositionOf(target);
    return true;
}

void TrackSurvey::MoveOnAfterStore(int)
{
    if (m_replacedUnpositioned) {
        m_currentStation = m_slots.Count();
    } else {
        Advance();
    }
}

GpsFix TrackSurvey::PositionAt(int index) const
{
    if (index < 0 || index >= m_positions.Count()) {
        return {};
    }
    return m_positions[index];
}

bool TrackSurvey::HasPosition(int index) const { return IsPositioned(PositionAt(index)); }

std::vector<int> TrackSurvey::UnpositionedStations() const
{
    std::vector<int> stations;
    for (int i = 0; i < m_slots.Count(); ++i) {
        if (!HasPosition(i)) {
            stations.push_back(i);
        }
    }
    return stations;
}

void TrackSurvey::UpdateLocalCoordinates()
{
    const int n = m_slots.Count();
    if (n == 0) {
        static_cast<void>(m_local.SetCount(0));
        static_cast<void>(m_positioned.SetCount(0));
        return;
    }
    if (!m_local.SetCount(n + 1) || !m_positioned.SetCount(n)) {
        static_cast<void>(m_local.SetCount(0));
        static_cast<void>(m_positioned.SetCount(0));
        return;
    }
    // The origin is the first station with a position; with none, the current fix, so that
    // the operator stands at (0, 0) until the first station is positioned.
    GpsFix origin;
    for (int i = 0; i < n; ++i) {
        if (HasPosition(i)) {
            origin = m_positions[i];
            break;
        }
    }
    if (!IsPositioned(origin) && m_haveCurrentPosition) {
        origin = m_currentPosition;
    }
    const double k = std::numbers::pi / 180.0;
    const double sy = kEarthRadius * k;
    const double sx = std::cos(origin.latitude * k) * kEarthRadius * k;
    const auto project = [&](const GpsFix& fix) {
        return LocalPoint{static_cast<float>((fix.longitude - origin.longitude) * sx),
                          static_cast<float>((fix.latitude - origin.latitude) * sy)};
    };
    for (int i = 0; i < n; ++i) {
        const bool positioned = HasPosition(i);
        m_positioned[i] = positioned ? 1 : 0;
        // A station without a position stays where the one before it was.
        m_local[i] = positioned ? project(m_positions[i]) : i > 0 ? m_local[i - 1] : LocalPoint{};
    }
    m_local[n] = m_haveCurrentPosition ? project(m_currentPosition) : m_local[n - 1];
}

TrackSurveyData TrackSurvey::Data() const
{
    return TrackSurveyData{m_slots.View(), m_local.View(), m_currentStation, m_positioned.View()};
}

bool TrackSurvey::SetPositions(std::span<const GpsFix> positions)
{
    const size_t n = std::min(positions.size(), size_t(m_slots.Count()));
    return m_positions.SetCount(0) && m_positions.SetCountWith(m_slots.Count(), [&](int i) {
        return size_t(i) < n ? positions[size_t(i)] : GpsFix{};
    });
}

size_t TrackSurvey::SessionImageSize() const
{
    return session::kHeaderSize + session::kTrackBodySize +
           size_t(m_slots.Count()) * session::kTrackStationSize;
}

bool TrackSurvey::WriteSessionImage(const ImagePieceWriter& write)
{
    UpdateLocalCoordinates();
    const int n = m_slots.Count();
    std::vector<uint8_t> out;
    out.reserve(session::kImagePiece + session::kTrackStationSize);
    session::AppendHeader(Config(), HeaderIdentity(), session::kKindTrack, out);
    session::Append32(out, uint32_t(n));
    session::Append32(out, 0);
    session::Append32(out, uint32_t(out.size() + 4));
    return session::AppendStations(
               out, n, session::kTrackStationSize, write,
               [&](int i, uint8_t* p) {
                   std::copy(m_slots[i].bytes.begin(), m_slots[i].bytes.end(), p);
                   const GpsFix position = PositionAt(i);
                   little_endian::StoreDouble(p + kSlotSize, position.longitude);
                   little_endian::StoreDouble(p + kSlotSize + 8, position.latitude);
               }) &&
           write(out);
}

bool TrackSurvey::ApplyJournalRecord(const JournalRecord& record)
{
    if (record.kind == journal::kPosition) {
        if (record.index >= uint32_t(m_positions.Count())) {
            return false;
        }
        m_positions[int(record.index)] = record.position;
        MarkModified();
        return true;
    }
    if (record.kind == journal::kStationMeta) {
        return Survey::ApplyJournalRecord(record);
    }
    if (!Survey::ApplyJournalRecord(record)) {
        return false;
    }
    m_positions[int(record.index)] = record.position;
    return true;
}

void TrackSurvey::GetCursor(int& profile, int& station) const
{
    profile = 0;
    station = m_currentStation;
}

void TrackSurvey::SetCursor(int, int station)
{
    m_currentStation = std::clamp(station, 0, m_slots.Count());
}

GpsFix TrackSurvey::JournalPosition(int index) const { return PositionAt(index); }

void TrackSurvey::JournalPositionOf(int index)
{
    JournalRecord record;
    record.kind = journal::kPosition;
    record.index = uint32_t(index);
    GetCursor(record.cursorProfile, record.cursorStation);
    record.position = m_positions[index];
    Journal({&record, 1});
}

}  // namespace orv
