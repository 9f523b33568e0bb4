#pragma once
// A survey: the stored measurements of one session in walking order, and the cursor that says
// where the next measurement goes. GridSurvey serves the work types Map, Profile and Line,
// TrackSurvey the GPS track. The sheet owns at most one; the Main pages move its cursor and ask
// it to measure; the drawings read its slots; the session file writes and reads it.
//
//     std::string error;
//     std::unique_ptr<Survey> survey = CreateSurvey(config, error);  // "Insufficient memory"
//     survey->EnableJournal(DataDirectory());
//     if (!survey->StoreMeasurement(slot)) { report("Insufficient memory"); }
//     if (!SaveSession(*survey, path, error)) { report(error); }  // stays modified
//
// A survey is a dataset: taking a measurement and turning it into a slot belongs to the
// measurement cycle (session/StationMeasurer.h), which calls StoreMeasurement or StoreSeries.
//
// Only raw measurements are stored; displayed values are computed afresh from them and the
// configuration at every use.
//
// Crash safety: with the journal enabled, every stored measurement and every position given to
// a track station is appended to a journal file and flushed to the disk before the call
// returns. A successful Save (clear = true) removes the journal. Destroying the survey keeps the
// journal file, so a survey the operator chose not to save must call DiscardJournal; a journal
// left by a crash or a kill is found at the next start (JournalRecovery.h).

#include "base/Frequencies.h"
#include "base/GpsFix.h"
#include "base/MeasurementSlot.h"
#include "calibration/CalibrationId.h"
#include "survey/GrowableArray.h"
#include "survey/StationLog.h"

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orv {

class Configuration;
class FileSystem;
class MeasurementJournal;
class PlotCanvas;
struct JournalRecord;
struct JournalBase;

using SlotArray = GrowableArray<MeasurementSlot>;

// Where a survey paints on a canvas, in canvas pixels.
struct PaintArea
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

class Survey
{
public:
    // The drawing code installs what Paint draws: the progress overview of a grid survey, the
    // GPS track view of a track survey.
    using Painter = std::function<bool(const Survey&, PlotCanvas&, const PaintArea&)>;

    virtual ~Survey();
    Survey(const Survey&) = delete;
    Survey& operator=(const Survey&) = delete;

    // Draws through the installed painter; true when nothing is installed.
    virtual bool Paint(PlotCanvas& canvas, const PaintArea& area) const;
    // Paint into `canvas`; false when there is no canvas to draw into.
    virtual bool PaintToCanvas(PlotCanvas* canvas, const PaintArea& area) const;
    virtual bool ResetCursor() = 0;
    // Next station in walking order; false, with the cursor unchanged, at the end.
    virtual bool Advance() = 0;
    // Previous station in walking order; false at the start.
    virtual bool StepBack() = 0;
    // The arrow keys: Left, Right, Up and Down of the Main pages.
    virtual void PreviousStation() = 0;
    virtual void NextStation() = 0;
    virtual void NextProfile() = 0;
    virtual void PreviousProfile() = 0;
    // Slot index of the cursor.
    [[nodiscard]] virtual int CurrentIndex() const = 0;
    // Writes the session file atomically (temporary file beside it, flush, rename). With
    // clear = true the survey is marked unmodified and its journal removed. False, with the
    // reason in `error`, when the file could not be written: the survey stays modified and an
    // earlier file at `path` is left whole.
    [[nodiscard]] virtual bool Save(const std::string& path, bool clear, std::string& error);

    // The bytes Save writes.
    [[nodiscard]] std::vector<uint8_t> SessionImage();
    // The same bytes, in order, handed to `write` a piece of at most about
    // session::kImagePiece bytes at a time (a piece is valid during the call only), so that a
    // save needs no copy of the whole file in memory. Stops with false as soon as `write`
    // returns false.
    using ImagePieceWriter = std::function<bool(std::span<const uint8_t>)>;
    [[nodiscard]] virtual bool WriteSessionImage(const ImagePieceWriter& write) = 0;
    // The length of the image, for SessionImage to allocate once.
    [[nodiscard]] virtual size_t SessionImageSize() const = 0;

    [[nodiscard]] int WorkType() const { return m_workType; }
    [[nodiscard]] bool IsTrack() const;
    // 1 once a measurement was stored since the last save or load.
    [[nodiscard]] int Modified() const { return m_modified; }
    // The path the survey was last saved to or read from; empty for a new survey.
    [[nodiscard]] const std::string& FilePath() const { return m_filePath; }
    void SetFilePath(std::string path) { m_filePath = std::move(path); }
    [[nodiscard]] const SlotArray& Slots() const { return m_slots; }
    // Slots that hold a measurement.
    [[nodiscard]] int ValidCount() const;
    [[nodiscard]] Configuration& Config() const { return m_config; }

    // Stores a measurement at the cursor, marks the survey modified, journals it and advances
    // in walking order (at the last station of a full grid the cursor stays, so the next
    // measurement replaces that slot). False only when memory ran out for a new station
    // (nothing changes then).
    [[nodiscard]] bool StoreMeasurement(const MeasurementSlot& slot);
    // A tracer series: the 14 samples are stored one after the other in walking order.
    [[nodiscard]] bool StoreSeries(std::span<const MeasurementSlot, kFrequencyCount> slots);
    // The slot indexes the last StoreMeasurement or StoreSeries stored into, in order.
    [[nodiscard]] std::span<const int> LastStored() const { return m_lastStored; }

    void SetPainter(Painter painter) { m_painter = std::move(painter); }

    // Journals measurements from now on. A survey with a FilePath keeps its journal beside the
    // session file ("<file>.journal"); an unsaved survey keeps it in `dataDirectory`, which also
    // holds a pointer to every journal kept elsewhere, so that the next start finds them all.
    void EnableJournal(std::string dataDirectory);
    [[nodiscard]] bool JournalEnabled() const { return !m_journalFolder.empty(); }
    // The journal file in use; empty before the first measurement and after a save.
    [[nodiscard]] std::string JournalPath() const;
    // Why journaling failed (the measurements are then in memory only); empty while it works.
    [[nodiscard]] const std::string& JournalProblem() const
    {
        return m_journalProblem.empty() ? m_journalWarning : m_journalProblem;
    }
    // Removes the journal file: the operator chose to drop the unsaved measurements.
    bool DiscardJournal(std::string& error);
    // Called after each append with the records that are now on the disk (a measurement
    // stored while the journal failed comes with the append that finally wrote it): the
    // acknowledgement that a crash or a power cut can no longer take those stations away.
    using JournalListener = std::function<void(std::span<const JournalRecord>)>;
    void OnJournaled(JournalListener listener) { m_journalListener = std::move(listener); }
    // The file system that saves and the journal write through (the program's own unless a test
    // puts another in its place). Set it before the first measurement; a journal made ahead on
    // another is dropped.
    void UseFileSystem(FileSystem& fs);
    // Makes the journal on a thread of its own while the survey is as read from its file, so
    // that the first measurement does not wait for the disk (creating a journal flushes the
    // file, its folder and the pointer to it). The first change takes it over if the survey is
    // still as read then; else, and when the survey goes unchanged, it is removed. Nothing
    // happens for a survey without a journal, with one in use, or modified. A journal made ahead
    // and left by a crash names the unchanged file, so the next start finds it already saved.
    void PrepareJournalAhead();

    // The identity the header of the next save names: the one read from the session file as
    // long as no measurement of this session came from another instrument, else the serial of
    // the instrument last heard from (ConnectedSerial; CalibrationKey's when none) and the date
    // of CalibrationKey.
    [[nodiscard]] CalibrationId HeaderIdentity() const;
    // Set by the session reader: the identity in the file's header.
    void SetFileIdentity(const CalibrationId& identity) { m_fileIdentity = identity; }

    // Session reader and journal recovery only.
    void MarkLoaded(std::string filePath, uint64_t fileSize, uint32_t fileCrc);
    void MarkModified() { m_modified = 1; }
    // Copies `count` slots, slot i from data[i * stride], into indexes first..first+count-1,
    // growing the slot array when needed (a file is read a block of slots at a time). False
    // when `data` is too short, `first` lies beyond the slots there are, or memory ran out.
    [[nodiscard]] bool LoadSlots(std::span<const uint8_t> data, int first, int count,
                                 size_t stride);
    // Room for `count` slots at once, before they are loaded a block at a time.
    [[nodiscard]] bool ReserveSlots(int count) { return m_slots.Reserve(count); }
    // Replays one journal record; false when it does not fit this survey (a damaged journal).
    [[nodiscard]] virtual bool ApplyJournalRecord(const JournalRecord& record);
    // What the field log knows of each station (StationLog.h), by slot index; shorter than the
    // slots when the later ones have nothing. The measurement cycle sets it as it stores.
    [[nodiscard]] std::span<const StationMeta> StationMetas() const { return m_meta; }
    // Journals it too (a record of its own after the measurement's).
    void SetStationMeta(int index, const StationMeta& meta);
    void SetStationMeta(std::span<const int> indexes, const StationMeta& meta);
    void SetStationMetas(std::vector<StationMeta> meta) { m_meta = std::move(meta); }

    // Takes over the journal a survey was recovered from, so later measurements join it.
    void AdoptJournal(std::unique_ptr<MeasurementJournal> journal);

protected:
    Survey(Configuration& config, int workType);

    // Stores `slot` at `index`, growing the slot array when index >= count. False for lack of
    // memory; nothing changes then.
    [[nodiscard]] virtual bool StoreAt(int index, const MeasurementSlot& slot);
    // Where the cursor goes after a measurement was stored at `index`: on in walking order.
    virtual void MoveOnAfterStore(int /*index*/) { Advance(); }
    // The cursor as (profile, station); a track reports profile 0.
    virtual void GetCursor(int& profile, int& station) const = 0;
    virtual void SetCursor(int profile, int station) = 0;
    // The position journaled with the measurement at `index` (a track's; zero for a grid).
    [[nodiscard]] virtual GpsFix JournalPosition(int index) const;

    // Appends records to the journal, opening it first when needed. Never fails the caller:
    // a journal that cannot be written is noted in JournalProblem.
    void Journal(std::span<const JournalRecord> records);
    // Opens the journal before a change, so that a journal that starts with a copy of the
    // survey copies it as it was before the change.
    void PrepareJournal();
    [[nodiscard]] JournalRecord MeasurementRecord(int index) const;
    // Keeps `meta` for slot `index` without journaling it; false when memory ran out.
    bool StoreStationMeta(int index, const StationMeta& meta);

    SlotArray m_slots;
    std::vector<StationMeta> m_meta;

private:
    void NoteSerial(const MeasurementSlot& slot);
    bool OpenJournal();
    // The journal made ahead, once it is ready: in use when it still fits, else removed.
    void TakeJournalAhead(bool use);
    [[nodiscard]] JournalBase BaseNamingTheFile() const;
    [[nodiscard]] bool UnchangedSinceRead() const;
    [[nodiscard]] std::string PreferredJournalPath() const;

    Configuration& m_config;
    int m_workType;
    int m_modified = 0;
    std::string m_filePath;
    Painter m_painter;
    std::optional<CalibrationId> m_fileIdentity;
    // The file this survey was last read from or saved to, as it was then: a journal started
    // while the survey is unmodified names it instead of copying the survey.
    std::string m_basePath;
    uint64_t m_baseSize = 0;
    uint32_t m_baseCrc = 0;
    bool m_haveBase = false;
    FileSystem* m_fileSystem;
    std::string m_journalFolder;
    std::string m_journalProblem;
    std::string m_journalWarning;
    std::unique_ptr<MeasurementJournal> m_journal;
    // A journal made ahead: being made, then in use without a record yet.
    struct JournalAhead
    {
        std::unique_ptr<MeasurementJournal> journal;
        std::string error;
    };
    std::future<JournalAhead> m_journalAhead;
    std::string m_journalAheadFilePath;
    bool m_journalUnused = false;
    std::vector<int> m_lastStored;
    // Records a failed append could not write (a full disk): the next append writes them first,
    // so that a journal that works again holds every station.
    std::vector<JournalRecord> m_unjournaled;
    JournalListener m_journalListener;
};

// The survey dataset a session of a work type works on.
enum class SurveyKind { None, Grid, Track };
SurveyKind SurveyKindFor(int workType);

// The dataset for the work type in `config`: a TrackSurvey for GPS track, else a GridSurvey.
// Null with "Insufficient memory" when it cannot be allocated.
std::unique_ptr<Survey> CreateSurvey(Configuration& config, std::string& error);

}  // namespace orv
