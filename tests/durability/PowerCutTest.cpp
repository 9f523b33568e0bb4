// A power cut at every point of the journal append, the session save and the calibration save:
// the file-system calls of each are recorded, every state the disk could be left in is rebuilt
// (unsynced writes kept, dropped or torn at a sector boundary, unsynced names kept or lost) and
// opened or recovered as the program would at its next start.

#include "PowerCut.h"

#include "FakePrompt.h"
#include "RecordingFileSystem.h"
#include "SurveyFixture.h"
#include "base/AtomicFile.h"
#include "calibration/CalibrationStore.h"
#include "calibration/DefaultCalibration.h"
#include "survey/GridSurvey.h"
#include "survey/JournalRecovery.h"
#include "survey/SessionFile.h"
#include "survey/TrackSurvey.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace orv;
using orv::test::DiskImage;
using orv::test::FsCall;
using orv::test::Measurement;
using orv::test::NumberOf;
using orv::test::PowerCut;
using orv::test::RecordingFileSystem;

// The stations of a survey that hold a measurement, by slot index.
using Stations = std::map<int, MeasurementSlot>;

Stations StationsOf(const Survey& survey)
{
    Stations stations;
    for (int i = 0; i < survey.Slots().Count(); ++i) {
        if (!survey.Slots()[i].IsEmpty()) {
            stations[i] = survey.Slots()[i];
        }
    }
    return stations;
}

// Marks are "ack N" (station N, Measurement(N), is acknowledged) and "saved K".
int Acknowledged(const std::vector<std::string>& marks)
{
    int n = 0;
    for (const std::string& m : marks) {
        if (m.rfind("ack ", 0) == 0) {
            n = std::max(n, std::stoi(m.substr(4)));
        }
    }
    return n;
}

int Saves(const std::vector<std::string>& marks)
{
    return int(std::count_if(marks.begin(), marks.end(),
                             [](const std::string& m) { return m.rfind("saved", 0) == 0; }));
}

class PowerCutTest : public orv::test::SurveyFixture
{
protected:
    std::string DataDir() const { return m_dir.File("data"); }

    // What the next start gets back: the stations of every journal it offers and recovers.
    // Problems go to `problems`.
    Stations Recovered(std::vector<std::string>& problems, int& offered)
    {
        Stations all;
        offered = 0;
        for (const OrphanedJournal& orphan : FindOrphanedJournals(DataDir())) {
            ++offered;
            if (orphan.damaged) {
                continue;  // nothing in it was ever acknowledged: its header was never synced
            }
            std::string error;
            std::unique_ptr<Survey> survey =
                RecoverJournal(orphan.journalPath, DataDir(), m_config, error);
            if (!survey) {
                problems.push_back("a journal offered for recovery fails: " + error);
                continue;
            }
            for (const auto& [index, slot] : StationsOf(*survey)) {
                all[index] = slot;
            }
        }
        return all;
    }

    // Every station in `got` must be the one measured for its index (none damaged, none
    // invented), and every station of `required` must be there.
    static void Compare(const Stations& got, const Stations& required, const Stations& possible,
                        const std::string& where, std::vector<std::string>& problems)
    {
        for (const auto& [index, slot] : got) {
            const auto it = possible.find(index);
            if (it == possible.end() || it->second.bytes != slot.bytes) {
                problems.push_back(where + ": station " + std::to_string(index) +
                                   " holds a measurement that was never stored there");
            }
        }
        for (const auto& [index, slot] : required) {
            if (got.count(index) == 0) {
                problems.push_back(where + ": acknowledged station " + std::to_string(index) +
                                   " (measurement " + std::to_string(NumberOf(slot)) + ") is lost");
            }
        }
    }

    RecordingFileSystem m_fs;
};

// A survey measuring `count` stations, Measurement(n) at index `first` + n - 1.
struct Plan
{
    int first = 0;
    int count = 0;
    Stations Upto(int n) const
    {
        Stations s;
        for (int k = 1; k <= n; ++k) {
            s[first + k - 1] = Measurement(uint32_t(k));
        }
        return s;
    }
};

TEST_F(PowerCutTest, NoAcknowledgedStationIsLostAtAnyPointOfTheJournal)
{
    size_t states = 0;
    const struct
    {
        const char* legend;
        bool saved;  // the survey was saved before: the journal lies beside the file
        int batch;   // stations per append: 1, or 14 for a tracer series
    } cases[] = {
        {"unsaved survey, journal in a new data folder", false, 1},
        {"saved survey, journal beside the file and a pointer in the data folder", true, 1},
        {"tracer series: 14 stations in one append", false, kFrequencyCount},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        if (c.batch == 1) {
            Grid(work_type::kMap, 4, 3);
        } else {
            Grid(work_type::kLine, 0, 1);
        }
        const std::string file = m_dir.File("survey.orv");
        GridSurvey survey(m_config);
        Stations saved;
        Plan plan;
        if (c.saved) {
            ASSERT_TRUE(survey.StoreMeasurement(Measurement(101)));
            std::string error;
            ASSERT_TRUE(SaveSession(survey, file, error)) << error;
            saved = StationsOf(survey);
            plan.first = 1;
        }
        survey.UseFileSystem(m_fs);
        survey.EnableJournal(DataDir());
        const DiskImage before = orv::test::TakeImage(m_dir.Path());
        m_fs.ClearLog();
        plan.count = c.batch == 1 ? 4 : 2 * c.batch;
        for (int n = 1; n <= plan.count; n += c.batch) {
            if (c.batch == 1) {
                ASSERT_TRUE(survey.StoreMeasurement(Measurement(uint32_t(n))));
            } else {
                std::array<MeasurementSlot, kFrequencyCount> series;
                for (int k = 0; k < c.batch; ++k) {
                    series[size_t(k)] = Measurement(uint32_t(n + k));
                }
                ASSERT_TRUE(survey.StoreSeries(series));
            }
            ASSERT_EQ(survey.JournalProblem(), "");
            m_fs.Mark("ack " + std::to_string(n + c.batch - 1));
        }
        const PowerCut cut(before, m_fs.Log());
        const DiskImage after = orv::test::TakeImage(m_dir.Path());

        std::vector<std::string> problems;
        for (size_t point = 0; point <= m_fs.Log().size(); ++point) {
            const int acked = Acknowledged(cut.MarksBefore(point));
            Stations required = plan.Upto(acked);
            // What the append in progress may add.
            Stations possible = plan.Upto(std::min(acked + c.batch, plan.count));
            required.insert(saved.begin(), saved.end());
            possible.insert(saved.begin(), saved.end());
            states += cut.ForEachState(point, [&](const DiskImage& image) {
                orv::test::PutImage(m_dir.Path(), image);
                // What the operator has: the saved file, and what recovery gives back.
                Stations got;
                std::string error;
                if (auto s = c.saved ? OpenSession(file, m_config, error) : nullptr) {
                    got = StationsOf(*s);
                }
                int offered = 0;
                for (const auto& [index, slot] : Recovered(problems, offered)) {
                    got[index] = slot;
                }
                Compare(got, required, possible, "cut before call " + std::to_string(point),
                        problems);
            });
            if (problems.size() > 10) {
                break;
            }
        }
        EXPECT_TRUE(problems.empty())
            << problems.size() << " problems, the first: " << problems.front();
        orv::test::PutImage(m_dir.Path(), after);
        std::string error;
        ASSERT_TRUE(survey.DiscardJournal(error)) << error;
        std::filesystem::remove_all(DataDir());
        std::filesystem::remove(file);
    }
    std::printf("power-cut states checked, journal append: %zu\n", states);
    RecordProperty("JournalStates", int(states));
}

// Saving replaces the file and then drops the journal: at no point may both be gone, nor may
// the file be torn, nor a journal of saved measurements be offered again once the save is done.
TEST_F(PowerCutTest, SessionFileIsWholeAndNothingIsLostAtAnyPointOfASave)
{
    Grid(work_type::kLine, 0, 1);
    const std::string file = m_dir.File("line.orv");
    GridSurvey survey(m_config);
    ASSERT_TRUE(survey.StoreMeasurement(Measurement(1)));
    std::string error;
    ASSERT_TRUE(SaveSession(survey, file, error)) << error;
    std::vector<std::vector<uint8_t>> images = {ReadFileBytes(file)};

    survey.UseFileSystem(m_fs);
    survey.EnableJournal(DataDir());
    ASSERT_TRUE(survey.StoreMeasurement(Measurement(2)));
    ASSERT_TRUE(survey.StoreMeasurement(Measurement(3)));
    const DiskImage before = orv::test::TakeImage(m_dir.Path());
    m_fs.ClearLog();
    ASSERT_TRUE(SaveSession(survey, file, error)) << error;
    m_fs.Mark("saved 1");
    images.push_back(ReadFileBytes(file));
    // A second round: the journal now names the saved file instead of copying the survey.
    for (uint32_t n = 4; n <= 5; ++n) {
        ASSERT_TRUE(survey.StoreMeasurement(Measurement(n)));
        m_fs.Mark("ack " + std::to_string(n));
    }
    ASSERT_TRUE(SaveSession(survey, file, error)) << error;
    m_fs.Mark("saved 2");
    images.push_back(ReadFileBytes(file));
    const PowerCut cut(before, m_fs.Log());
    const Plan plan{0, 5};

    size_t states = 0;
    std::vector<std::string> problems;
    for (size_t point = 0; point <= m_fs.Log().size(); ++point) {
        const std::vector<std::string> marks = cut.MarksBefore(point);
        const int acked = std::max(3, Acknowledged(marks));  // 1 to 3 before the recording
        const int saves = Saves(marks);
        const Stations required = plan.Upto(acked);
        const Stations possible = plan.Upto(std::min(acked + 1, plan.count));
        const std::string where = "cut before call " + std::to_string(point);
        states += cut.ForEachState(point, [&](const DiskImage& image) {
            orv::test::PutImage(m_dir.Path(), image);
            const auto it = image.files.find(file);
            if (it == image.files.end()) {
                problems.push_back(where + ": the session file is gone");
                return;
            }
            // The file is one of the saved images, never older than the last finished save
            // and never newer than the one in progress.
            bool known = false;
            for (int k = saves; k < int(images.size()) && k <= saves + 1; ++k) {
                known = known || it->second == images[size_t(k)];
            }
            if (!known) {
                problems.push_back(where + ": the session file is torn or stale");
                return;
            }
            Stations got;
            std::string openError;
            if (auto s = OpenSession(file, m_config, openError)) {
                got = StationsOf(*s);
            } else {
                problems.push_back(where + ": the session file does not open: " + openError);
            }
            int offered = 0;
            for (const auto& [index, slot] : Recovered(problems, offered)) {
                got[index] = slot;
            }
            // Once a save is done, its journal must not come back.
            const bool justSaved = point > 0 && m_fs.Log()[point - 1].call == FsCall::Mark &&
                                   m_fs.Log()[point - 1].label.rfind("saved", 0) == 0;
            if (offered > 0 && justSaved) {
                problems.push_back(where + ": a journal of saved measurements is offered again");
            }
            Compare(got, required, possible, where, problems);
        });
        if (problems.size() > 10) {
            break;
        }
    }
    EXPECT_TRUE(problems.empty()) << problems.size()
                                  << " problems, the first: " << problems.front();
    std::printf("power-cut states checked, session save: %zu\n", states);
    RecordProperty("SessionStates", int(states));
}

CalibrationRecord Record(double scale)
{
    CalibrationRecord record;
    CalibrationId unused;
    DefaultCalibration(record, unused);
    for (auto& pair : record.Air) {
        pair.X *= scale;
    }
    return record;
}

// The calibration file is the old one or the new one, whole, at every point; once Save has
// returned, the new one.
TEST_F(PowerCutTest, CalibrationFileIsOldOrNewAndWholeAtAnyPointOfASave)
{
    const std::string path = m_dir.File("cal/OrvCalibration.ini");
    std::filesystem::create_directories(m_dir.File("cal"));
    CalibrationStore store(path, m_prompt, m_fs);
    const DiskImage before = orv::test::TakeImage(m_dir.Path());
    m_fs.ClearLog();
    std::vector<std::string> images;  // the file after each save
    std::vector<int> counts;
    std::string error;
    for (int round = 0; round < 3; ++round) {
        if (round < 2) {
            ASSERT_TRUE(store.Merge({uint16_t(5 + round), 2009, 6, 1}, Record(1.0 + round)));
        } else {
            ASSERT_TRUE(store.Remove({5, 2009, 6, 1}));
        }
        ASSERT_TRUE(store.Save(path, error)) << error;
        m_fs.Mark("saved");
        images.push_back(ReadFileText(path));
        counts.push_back(store.Count());
    }
    const PowerCut cut(before, m_fs.Log());

    size_t states = 0;
    std::vector<std::string> problems;
    for (size_t point = 0; point <= m_fs.Log().size(); ++point) {
        const int saves = Saves(cut.MarksBefore(point));
        const std::string where = "cut before call " + std::to_string(point);
        states += cut.ForEachState(point, [&](const DiskImage& image) {
            orv::test::PutImage(m_dir.Path(), image);
            const auto it = image.files.find(path);
            if (it == image.files.end()) {
                if (saves > 0) {
                    problems.push_back(where + ": the saved calibration file is gone");
                }
                return;
            }
            const std::string text(it->second.begin(), it->second.end());
            int which = -1;
            for (int k = std::max(0, saves - 1); k <= saves && k < int(images.size()); ++k) {
                if (text == images[size_t(k)]) {
                    which = k;
                }
            }
            if (which < 0 || (saves > 0 && which < saves - 1)) {
                problems.push_back(where + ": the calibration file is torn or stale");
                return;
            }
            FakePrompt prompt;
            CalibrationStore reread(path, prompt);
            if (reread.Count() != counts[size_t(which)] || !reread.LoadError().empty()) {
                problems.push_back(where + ": the calibration file reads back wrong");
            }
        });
    }
    EXPECT_TRUE(problems.empty()) << problems.size()
                                  << " problems, the first: " << problems.front();
    std::printf("power-cut states checked, calibration save: %zu\n", states);
    RecordProperty("CalibrationStates", int(states));
}

// The harness itself: a save whose folder is never synced (a file system that refuses folder
// syncs, which the program accepts) must be caught losing the file's replacement.
TEST_F(PowerCutTest, HarnessCatchesASaveWithoutAFolderSync)
{
    const std::string path = m_dir.File("OrvCalibration.ini");
    WriteFileText(path, "old");
    const DiskImage before = orv::test::TakeImage(m_dir.Path());
    m_fs.Fail(FsCall::SyncDirectory, EINVAL);
    std::string error;
    ASSERT_TRUE(
        WriteFileAtomically(path, {reinterpret_cast<const uint8_t*>("new"), 3}, error, m_fs))
        << error;
    const PowerCut cut(before, m_fs.Log());
    bool oldAfterSave = false;
    cut.ForEachState(m_fs.Log().size(), [&](const DiskImage& image) {
        const auto it = image.files.find(path);
        oldAfterSave = oldAfterSave || (it != image.files.end() &&
                                        std::string(it->second.begin(), it->second.end()) == "old");
    });
    EXPECT_TRUE(oldAfterSave);
}

}  // namespace
