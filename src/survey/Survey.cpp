#include "survey/Survey.h"

#include "base/AtomicFile.h"
#include "base/Crc32.h"
#include "base/FileSystem.h"
#include "config/Configuration.h"
#include "graphics/PlotCanvas.h"
#include "survey/GridSurvey.h"
#include "survey/MeasurementJournal.h"
#include "survey/SessionFile.h"
#include "survey/TrackSurvey.h"

#include <array>
#include <ctime>
#include <filesystem>
#include <limits>
#include <new>
#include <unistd.h>

namespace orv {

Survey::Survey(Configuration& config, int workType)
    : m_config(config), m_workType(workType), m_fileSystem(&DefaultFileSystem())
{}

Survey::~Survey()
{
    // A journal made ahead holds no measurement: nothing to recover at the next start.
    TakeJournalAhead(false);
    if (m_journal && m_journalUnused) {
        std::string ignored;
        static_cast<void>(m_journal->Remove(ignored));
    }
}

void Survey::UseFileSystem(FileSystem& fs)
{
    if (&fs != m_fileSystem) {
        TakeJournalAhead(false);
    }
    m_fileSystem = &fs;
}

bool Survey::IsTrack() const { return m_workType == work_type::kGpsTrack; }

int Survey::ValidCount() const
{
    int n = 0;
    for (const MeasurementSlot& slot : m_slots.View()) {
        n += slot.IsEmpty() ? 0 : 1;
    }
    return n;
}

bool Survey::Paint(PlotCanvas& canvas, const PaintArea& area) const
{
    return m_painter ? m_painter(*this, canvas, area) : true;
}

bool Survey::PaintToCanvas(PlotCanvas* canvas, const PaintArea& area) const
{
    if (canvas == nullptr || !canvas->IsCreated()) {
        return false;
    }
    return Paint(*canvas, area);
}

std::vector<uint8_t> Survey::SessionImage()
{
    std::vector<uint8_t> image;
    image.reserve(SessionImageSize());
    static_cast<void>(WriteSessionImage([&](std::span<const uint8_t> piece) {
        image.insert(image.end(), piece.begin(), piece.end());
        return true;
    }));
    return image;
}

bool Survey::Save(const std::string& path, bool clear, std::string& error)
{
    // The image goes to the temporary file piece by piece as it is built, and its checksum
    // with it: no copy of the whole file is made. Until Commit the old file is untouched, and
    // the temporary goes with `file` on any failure.
    AtomicFile file(path, *m_fileSystem);
    if (!file.Open(error)) {
        return false;
    }
    uint64_t size = 0;
    uint32_t crc = 0;
    try {
        const bool written = WriteSessionImage([&](std::span<const uint8_t> piece) {
            crc = Crc32(piece, crc);
            size += piece.size();
            return file.Write(piece, error);
        });
        if (!written) {
            return false;
        }
    } catch (const std::bad_alloc&) {
        error = "Insufficient memory";
        return false;
    }
    // The journal goes only once the file is durable: until then it is what a power cut
    // leaves of the measurements.
    if (!file.Commit(error)) {
        return false;
    }
    if (clear) {
        m_modified = 0;
        TakeJournalAhead(false);
        if (m_journal) {
            std::string ignored;
            m_journal->Remove(ignored);
            m_journal.reset();
            m_journalUnused = false;
        }
        m_unjournaled.clear();
        m_journalProblem.clear();
        m_journalWarning.clear();
        m_fileIdentity = HeaderIdentity();
        MarkLoaded(path, size, crc);
    }
    return true;
}

void Survey::SetStationMeta(int index, const StationMeta& meta)
{
    SetStationMeta(std::span(&index, 1), meta);
}

void Survey::SetStationMeta(std::span<const int> indexes, const StationMeta& meta)
{
    std::vector<JournalRecord> records;
    for (const int index : indexes) {
        if (index < 0 || index >= m_slots.Count() || !StoreStationMeta(index, meta)) {
            continue;
        }
        JournalRecord record;
        record.kind = journal::kStationMeta;
        record.index = uint32_t(index);
        GetCursor(record.cursorProfile, record.cursorStation);
        record.meta = meta;
        try {
            records.push_back(record);
        } catch (const std::bad_alloc&) {
            break;
        }
    }
    // Journaled like the measurements they belong to, in one append, so a recovered station
    // keeps its time.
    Journal(records);
}

bool Survey::StoreStationMeta(int index, const StationMeta& meta)
{
    try {
        if (static_cast<size_t>(index) >= m_meta.size()) {
            m_meta.resize(static_cast<size_t>(index) + 1);
        }
        m_meta[static_cast<size_t>(index)] = meta;
    } catch (const std::bad_alloc&) {
        // The station is stored all the same; only its time is not kept.
        return false;
    }
    return true;
}

bool Survey::StoreMeasurement(const MeasurementSlot& slot)
{
    PrepareJournal();
    m_lastStored.clear();
    const int index = CurrentIndex();
    if (!StoreAt(index, slot)) {
        return false;
    }
    m_lastStored.push_back(index);
    m_modified = 1;
    NoteSerial(slot);
    MoveOnAfterStore(index);
    const JournalRecord record = MeasurementRecord(index);
    Journal({&record, 1});
    return true;
}

bool Survey::StoreSeries(std::span<const MeasurementSlot, kFrequencyCount> slots)
{
    PrepareJournal();
    m_lastStored.clear();
    std::vector<JournalRecord> records;
    records.reserve(slots.size());
    bool ok = true;
    for (const MeasurementSlot& slot : slots) {
        const int index = CurrentIndex();
        if (!StoreAt(index, slot)) {
            ok = false;
            break;
        }
        m_lastStored.push_back(index);
        m_modified = 1;
        NoteSerial(slot);
        MoveOnAfterStore(index);
        records.push_back(MeasurementRecord(index));
    }
    Journal(records);
    return ok;
}

bool Survey::StoreAt(int index, const MeasurementSlot& slot)
{
    if (index < 0) {
        return false;
    }
    if (index >= m_slots.Count() && !m_slots.SetCount(index + 1)) {
        return false;
    }
    m_slots[index] = slot;
    return true;
}

bool Survey::LoadSlots(std::span<const uint8_t> data, int first, int count, size_t stride)
{
    if (first < 0 || first > m_slots.Count() || count < 0 ||
        count > std::numeric_limits<int>::max() - first ||
        (count > 0 &&
         (stride < kSlotSize || data.size() < size_t(count - 1) * stride + kSlotSize))) {
        return false;
    }
    const auto slotAt = [&](int i) {
        const uint8_t* p = data.data() + size_t(i - first) * stride;
        MeasurementSlot slot;
        std::copy(p, p + kSlotSize, slot.bytes.begin());
        return slot;
    };
    const int present = std::min(first + count, m_slots.Count());
    for (int i = first; i < present; ++i) {
        m_slots[i] = slotAt(i);
    }
    return first + count <= present || m_slots.SetCountWith(first + count, slotAt);
}

void Survey::NoteSerial(const MeasurementSlot& slot)
{
    const unsigned serial = slot.SerialNumber();
    if (serial != 0 && m_fileIdentity && serial != m_fileIdentity->Serial) {
        m_fileIdentity.reset();
    }
}

CalibrationId Survey::HeaderIdentity() const
{
    if (m_fileIdentity) {
        return *m_fileIdentity;
    }
    CalibrationId id = m_config.CalibrationKey;
    if (m_config.ConnectedSerial != 0) {
        id.Serial = static_cast<uint16_t>(m_config.ConnectedSerial);
    }
    return id;
}

void Survey::MarkLoaded(std::string filePath, uint64_t fileSize, uint32_t fileCrc)
{
    m_modified = 0;
    m_basePath = std::move(filePath);
    m_baseSize = fileSize;
    m_baseCrc = fileCrc;
    m_haveBase = !m_basePath.empty();
}

bool Survey::ApplyJournalRecord(const JournalRecord& record)
{
    if (record.kind == journal::kStationMeta) {
        if (record.index >= uint32_t(m_slots.Count())) {
            return false;
        }
        StoreStationMeta(int(record.index), record.meta);
        return true;
    }
    if (record.kind != journal::kMeasurement || record.index > uint32_t(m_slots.Count())) {
        return false;
    }
    if (!StoreAt(int(record.index), record.slot)) {
        return false;
    }
    NoteSerial(record.slot);
    m_modified = 1;
    SetCursor(record.cursorProfile, record.cursorStation);
    return true;
}

void Survey::AdoptJournal(std::unique_ptr<MeasurementJournal> journal)
{
    m_journal = std::move(journal);
}

GpsFix Survey::JournalPosition(int) const { return {}; }

JournalRecord Survey::MeasurementRecord(int index) const
{
    JournalRecord record;
    record.kind = journal::kMeasurement;
    record.index = uint32_t(index);
    GetCursor(record.cursorProfile, record.cursorStation);
    record.slot = m_slots[index];
    record.position = JournalPosition(index);
    return record;
}

void Survey::EnableJournal(std::string dataDirectory)
{
    m_journalFolder = std::move(dataDirectory);
}

std::string Survey::JournalPath() const { return m_journal ? m_journal->Path() : std::string(); }

bool Survey::DiscardJournal(std::string& error)
{
    TakeJournalAhead(false);
    if (!m_journal) {
        return true;
    }
    const bool ok = m_journal->Remove(error);
    m_journal.reset();
    m_journalUnused = false;
    m_unjournaled.clear();
    return ok;
}

void Survey::PrepareJournal()
{
    if (JournalEnabled() && !m_journal) {
        OpenJournal();
    }
}

bool Survey::UnchangedSinceRead() const
{
    return m_modified == 0 && m_haveBase && m_basePath == m_filePath;
}

JournalBase Survey::BaseNamingTheFile() const
{
    JournalBase base;
    base.sessionPath = m_filePath;
    base.embedded = false;
    base.fileSize = m_baseSize;
    base.fileCrc = m_baseCrc;
    return base;
}

std::string Survey::PreferredJournalPath() const
{
    if (!m_filePath.empty()) {
        return m_filePath + journal::kExtension;
    }
    return (std::filesystem::path(m_journalFolder) /
            ("unsaved-" + AutomaticFileName(std::time(nullptr)) + "-" + std::to_string(::getpid()) +
             journal::kExtension))
        .string();
}

void Survey::PrepareJournalAhead()
{
    if (!JournalEnabled() || m_journal || m_journalAhead.valid() || !UnchangedSinceRead()) {
        return;
    }
    m_journalAheadFilePath = m_filePath;
    try {
        m_journalAhead = std::async(
            std::launch::async, [preferred = PreferredJournalPath(), folder = m_journalFolder,
                                 base = BaseNamingTheFile(), fs = m_fileSystem] {
                JournalAhead ahead;
                ahead.journal =
                    MeasurementJournal::Create(preferred, folder, base, ahead.error, *fs);
                return ahead;
            });
    } catch (const std::exception&) {
        // No thread to spare: the first measurement makes the journal as it always did.
    }
}

void Survey::TakeJournalAhead(bool use)
{
    if (!m_journalAhead.valid()) {
        return;
    }
    JournalAhead ahead = m_journalAhead.get();
    if (!ahead.journal) {
        return;  // the first change tries again, and reports why it fails
    }
    if (use && UnchangedSinceRead() && m_filePath == m_journalAheadFilePath) {
        m_journal = std::move(ahead.journal);
        m_journalWarning = ahead.error;
        m_journalProblem.clear();
        m_journalUnused = true;
        return;
    }
    std::string ignored;
    static_cast<void>(ahead.journal->Remove(ignored));
}

bool Survey::OpenJournal()
{
    TakeJournalAhead(true);
    if (m_journal) {
        return true;
    }
    JournalBase base;
    if (UnchangedSinceRead()) {
        // The file holds this survey as it is now: name it rather than copy it.
        base = BaseNamingTheFile();
    } else {
        base.sessionPath = m_filePath;
        try {
            base.image = SessionImage();
        } catch (const std::bad_alloc&) {
            m_journalProblem = "Insufficient memory for the measurement journal.";
            return false;
        }
    }
    std::string error;
    m_journal = MeasurementJournal::Create(PreferredJournalPath(), m_journalFolder, base, error,
                                           *m_fileSystem);
    if (m_journal) {
        m_journalWarning = error;
        m_journalProblem.clear();
    } else {
        m_journalProblem = error;
    }
    return m_journal != nullptr;
}

void Survey::Journal(std::span<const JournalRecord> records)
{
    if (!JournalEnabled() || records.empty()) {
        return;
    }
    std::vector<JournalRecord> pending;
    try {
        pending.reserve(m_unjournaled.size() + records.size());
        pending.insert(pending.end(), m_unjournaled.begin(), m_unjournaled.end());
        pending.insert(pending.end(), records.begin(), records.end());
    } catch (const std::bad_alloc&) {
        m_journalProblem = "Insufficient memory for the measurement journal.";
        return;
    }
    // A journal that starts now copies the survey with these stations in it; the records are
    // appended all the same, for the cursor they carry.
    if (!m_journal && !OpenJournal()) {
        m_unjournaled = std::move(pending);
        return;
    }
    std::string error;
    if (m_journal->Append(pending, error)) {
        m_journalUnused = false;
        m_journalProblem.clear();
        m_unjournaled.clear();
        if (m_journalListener) {
            m_journalListener(pending);
        }
    } else {
        m_journalProblem = error;
        m_unjournaled = std::move(pending);
    }
}

SurveyKind SurveyKindFor(int workType)
{
    switch (workType) {
        case work_type::kMap:
        case work_type::kProfile:
        case work_type::kLine:
            return SurveyKind::Grid;
        case work_type::kGpsTrack:
            return SurveyKind::Track;
        default:
            return SurveyKind::None;
    }
}

std::unique_ptr<Survey> CreateSurvey(Configuration& config, std::string& error)
{
    try {
        if (config.WorkType == work_type::kGpsTrack) {
            return std::make_unique<TrackSurvey>(config);
        }
        return std::make_unique<GridSurvey>(config);
    } catch (const std::bad_alloc&) {
        error = "Insufficient memory";
        return nullptr;
    }
}

}  // namespace orv
