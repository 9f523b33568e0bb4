// The measurement journal: what a crash or a kill between two saves leaves behind must give
// back every stored measurement, and nothing that was not stored.

#include "SurveyFixture.h"
#include "survey/GridSurvey.h"
#include "survey/JournalRecovery.h"
#include "survey/MeasurementJournal.h"
#include "survey/SessionFile.h"
#include "survey/TrackSurvey.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace orv;
using orv::test::Measurement;
using orv::test::NumberOf;

class JournalTest : public orv::test::SurveyFixture
{
protected:
    std::string DataDir() const { return m_dir.File("data"); }

    std::unique_ptr<Survey> Recover(const std::string& journal, std::string& error)
    {
        return RecoverJournal(journal, DataDir(), m_config, error);
    }

    // A saved track of two stations that then measures `more` stations, journaled beside the
    // file. Returns the journal's path; the survey stays open.
    std::string TrackWithJournal(int more, std::unique_ptr<TrackSurvey>& track)
    {
        m_config.WorkType = work_type::kGpsTrack;
        track = std::make_unique<TrackSurvey>(m_config);
        EXPECT_TRUE(track->StoreMeasurement(Measurement(1, 0x3FFF, 9, 100)));
        EXPECT_TRUE(track->StoreMeasurement(Measurement(2, 0x3FFF, 9, 200)));
        std::string error;
        EXPECT_TRUE(SaveSession(*track, m_dir.File("track.orv"), error)) << error;
        track->EnableJournal(DataDir());
        for (int n = 0; n < more; ++n) {
            const uint32_t tick = 300 + 100 * uint32_t(n);
            EXPECT_TRUE(track->StoreMeasurement(Measurement(3 + uint32_t(n), 0x3FFF, 9, tick)));
            EXPECT_TRUE(track->AssignPosition(track->Slots().Count() - 1, {50.0 + n, 8.0, tick}));
        }
        EXPECT_EQ(track->JournalProblem(), "");
        return track->JournalPath();
    }
};

TEST_F(JournalTest, KilledSurveyIsRecoveredWithEveryStoredMeasurement)
{
    Grid(work_type::kMap, 4, 3);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        GridSurvey survey(m_config);
        survey.EnableJournal(DataDir());
        for (uint32_t n = 1; n <= 6; ++n) {
            if (!survey.StoreMeasurement(Measurement(n))) {
                _exit(1);
            }
        }
        raise(SIGKILL);
        _exit(2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));

    const std::vector<OrphanedJournal> orphans = FindOrphanedJournals(DataDir());
    ASSERT_EQ(orphans.size(), 1u);
    EXPECT_EQ(orphans[0].measurements, 6);
    EXPECT_EQ(orphans[0].sessionPath, "");

    m_config.WorkType = work_type::kLine;
    std::string error;
    auto survey = Recover(orphans[0].journalPath, error);
    ASSERT_TRUE(survey) << error;
    EXPECT_EQ(m_config.WorkType, work_type::kMap);
    EXPECT_EQ(survey->Modified(), 1);
    EXPECT_EQ(survey->ValidCount(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(NumberOf(survey->Slots()[i]), uint32_t(i + 1));
    }
    EXPECT_EQ(survey->CurrentIndex(), 6);  // where the operator was going to measure next

    // The recovered survey goes on in the same journal; a save removes it.
    EXPECT_EQ(survey->JournalPath(), orphans[0].journalPath);
    ASSERT_TRUE(survey->StoreMeasurement(Measurement(7)));
    ASSERT_TRUE(SaveSession(*survey, m_dir.File("map.orv"), error)) << error;
    EXPECT_FALSE(std::filesystem::exists(orphans[0].journalPath));
    EXPECT_TRUE(FindOrphanedJournals(DataDir()).empty());
}

// A station's time and fix quality are journaled with it: a recovered track keeps them, and
// keeps the station's position beside them.
TEST_F(JournalTest, RecoveredStationsKeepTheirTimesAndFixQualities)
{
    std::unique_ptr<TrackSurvey> track;
    const std::string journal = TrackWithJournal(2, track);
    const StationMeta meta{1765286400123, 4, 17, 0.7};
    const int both[] = {2, 3};
    track->SetStationMeta(std::span<const int>(both), meta);
    track->SetStationMeta(3, {std::nullopt, 1, std::nullopt, std::nullopt});
    track.reset();

    std::string error;
    auto survey = Recover(journal, error);
    ASSERT_TRUE(survey) << error;
    ASSERT_EQ(survey->StationMetas().size(), 4u);
    EXPECT_TRUE(survey->StationMetas()[1].Empty());
    EXPECT_EQ(survey->StationMetas()[2], meta);
    EXPECT_EQ(survey->StationMetas()[3],
              (StationMeta{std::nullopt, 1, std::nullopt, std::nullopt}));
    auto& recovered = static_cast<TrackSurvey&>(*survey);
    EXPECT_EQ(recovered.PositionAt(3).latitude, 51.0);
    EXPECT_EQ(recovered.ValidCount(), 4);
}

TEST_F(JournalTest, JournalCutAnywhereInItsLastRecordKeepsTheRecordsBefore)
{
    std::unique_ptr<TrackSurvey> track;
    const std::string journal = TrackWithJournal(2, track);
    EXPECT_EQ(std::filesystem::path(journal).parent_path(), m_dir.Path());
    EXPECT_TRUE(FindOrphanedJournals(DataDir()).empty());  // in use by `track`
    track.reset();

    const std::vector<uint8_t> whole = ReadFileBytes(journal);
    const size_t last = whole.size() - journal::kRecordSize;
    for (size_t cut = 0; cut <= journal::kRecordSize; ++cut) {
        SCOPED_TRACE(cut);
        WriteFileText(journal,
                      std::string(whole.begin(), whole.begin() + std::ptrdiff_t(last + cut)));
        std::string error;
        auto survey = Recover(journal, error);
        ASSERT_TRUE(survey) << error;
        auto& recovered = static_cast<TrackSurvey&>(*survey);
        ASSERT_EQ(recovered.Slots().Count(), 4);
        EXPECT_EQ(NumberOf(recovered.Slots()[3]), 4u);
        EXPECT_EQ(recovered.PositionAt(2).latitude, 50.0);
        // The last record is the position of station 3.
        EXPECT_EQ(recovered.PositionAt(3).latitude, cut == journal::kRecordSize ? 51.0 : 0.0);
        EXPECT_EQ(recovered.FilePath(), m_dir.File("track.orv"));

        if (cut == journal::kRecordSize / 2) {
            // A measurement after recovery lines up behind the cut record's place.
            ASSERT_TRUE(recovered.StoreMeasurement(Measurement(9, 0x3FFF, 9, 900)));
            survey.reset();
            auto again = Recover(journal, error);
            ASSERT_TRUE(again) << error;
            EXPECT_EQ(again->Slots().Count(), 5);
            EXPECT_EQ(NumberOf(again->Slots()[4]), 9u);
        }
    }
}

// The journal names the file it continues by its length and CRC, computed while a long file is
// saved in pieces or opened a block at a time: recovery must find that file unchanged.
TEST_F(JournalTest, LongTrackIsRecoveredAgainstTheFileItWasSavedToOrOpenedFrom)
{
    constexpr int kStations = 7000;  // 1.4 MB: several pieces and read blocks
    m_config.WorkType = work_type::kGpsTrack;
    auto track = std::make_unique<TrackSurvey>(m_config);
    for (int n = 1; n <= kStations; ++n) {
        ASSERT_TRUE(track->StoreMeasurement(Measurement(uint32_t(n))));
    }
    std::string error;
    const std::string path = m_dir.File("long.orv");
    ASSERT_TRUE(SaveSession(*track, path, error)) << error;
    track->EnableJournal(DataDir());
    ASSERT_TRUE(track->StoreMeasurement(Measurement(kStations + 1)));
    std::string journal = track->JournalPath();
    track.reset();
    auto recovered = Recover(journal, error);
    ASSERT_TRUE(recovered) << error;
    EXPECT_EQ(recovered->Slots().Count(), kStations + 1);
    recovered.reset();
    std::filesystem::remove(journal);

    // Bytes after the last station are no part of the survey but are of the file.
    std::vector<uint8_t> file = ReadFileBytes(path);
    file.insert(file.end(), 1000, 0x5A);
    WriteFileText(path, std::string(file.begin(), file.end()));
    auto opened = OpenSession(path, m_config, error);
    ASSERT_TRUE(opened) << error;
    ASSERT_EQ(opened->Slots().Count(), kStations);
    opened->EnableJournal(DataDir());
    const int index = opened->CurrentIndex();  // an opened survey stands at its first station
    ASSERT_TRUE(opened->StoreMeasurement(Measurement(kStations + 2)));
    journal = opened->JournalPath();
    const int count = opened->Slots().Count();
    opened.reset();
    recovered = Recover(journal, error);
    ASSERT_TRUE(recovered) << error;
    EXPECT_EQ(recovered->Slots().Count(), count);
    EXPECT_EQ(NumberOf(recovered->Slots()[index]), uint32_t(kStations + 2));
    EXPECT_EQ(NumberOf(recovered->Slots()[kStations - 1]), uint32_t(kStations));
}

TEST_F(JournalTest, JournalMadeAheadIsTakenByTheFirstStationOrLeavesNothing)
{
    std::unique_ptr<TrackSurvey> saved;
    static_cast<void>(TrackWithJournal(0, saved));
    saved.reset();
    const std::string path = m_dir.File("track.orv");
    const std::string beside = path + journal::kExtension;
    std::string error;
    const auto open = [&] {
        auto survey = OpenSession(path, m_config, error);
        EXPECT_TRUE(survey) << error;
        survey->EnableJournal(DataDir());
        survey->PrepareJournalAhead();
        return survey;
    };
    const auto contentsOf = [&](const std::string& journalPath) {
        JournalContents contents;
        EXPECT_TRUE(ParseJournal(ReadFileBytes(journalPath), contents, error)) << error;
        return contents;
    };
    const auto nothingLeft = [&] {
        EXPECT_FALSE(std::filesystem::exists(beside));
        EXPECT_TRUE(!std::filesystem::exists(DataDir()) || std::filesystem::is_empty(DataDir()));
    };

    // Taken by the first station: it names the unchanged file and holds the station.
    auto survey = open();
    ASSERT_TRUE(survey->StoreMeasurement(Measurement(7)));
    EXPECT_EQ(survey->JournalProblem(), "");
    ASSERT_EQ(survey->JournalPath(), beside);
    JournalContents contents = contentsOf(beside);
    EXPECT_FALSE(contents.base.embedded);
    EXPECT_EQ(contents.records.size(), 1u);
    survey.reset();
    EXPECT_TRUE(std::filesystem::exists(beside));  // kept for the next start
    ASSERT_TRUE(DiscardOrphanedJournal(beside, DataDir(), error)) << error;

    // Not measured: nothing is left at the end.
    open().reset();
    nothingLeft();

    // Changed otherwise first: the survey is no longer the file's, so a journal that copies it
    // takes the same name.
    survey = open();
    survey->MarkModified();
    ASSERT_TRUE(survey->StoreMeasurement(Measurement(8)));
    ASSERT_EQ(survey->JournalPath(), beside);
    EXPECT_TRUE(contentsOf(beside).base.embedded);
    ASSERT_TRUE(survey->DiscardJournal(error)) << error;
    survey.reset();
    nothingLeft();

    // Saved elsewhere first: no journal beside either file until the next station.
    survey = open();
    const std::string copy = m_dir.File("copy.orv");
    ASSERT_TRUE(SaveSession(*survey, copy, error)) << error;
    nothingLeft();
    ASSERT_TRUE(survey->StoreMeasurement(Measurement(9)));
    EXPECT_EQ(survey->JournalPath(), copy + journal::kExtension);
    ASSERT_TRUE(survey->DiscardJournal(error)) << error;
    survey.reset();

    // Killed before a station: the next start finds the file already saved and removes it.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto doomed = open();
        // The journal's pointer in the data folder is written last, under its name at the end.
        const auto pointed = [&] {
            std::error_code ec;
            for (const auto& entry : std::filesystem::directory_iterator(DataDir(), ec)) {
                if (entry.path().extension() == journal::kLinkExtension) {
                    return true;
                }
            }
            return false;
        };
        for (int wait = 0; wait < 3000 && !pointed(); ++wait) {
            usleep(10000);
        }
        raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(std::filesystem::exists(beside));
    EXPECT_TRUE(FindOrphanedJournals(DataDir()).empty());
    nothingLeft();
}

TEST_F(JournalTest, JournalOfAChangedOrMissingFileIsKept)
{
    std::unique_ptr<TrackSurvey> track;
    const std::string journal = TrackWithJournal(1, track);
    track.reset();
    std::string error;

    std::vector<uint8_t> file = ReadFileBytes(m_dir.File("track.orv"));
    file[9] ^= 1;
    WriteFileText(m_dir.File("track.orv"), std::string(file.begin(), file.end()));
    EXPECT_FALSE(Recover(journal, error));
    EXPECT_NE(error.find("has changed"), std::string::npos) << error;

    std::filesystem::remove(m_dir.File("track.orv"));
    EXPECT_FALSE(Recover(journal, error));
    EXPECT_TRUE(std::filesystem::exists(journal));

    // The journal is listed (through its pointer in the data folder) until it is discarded.
    const std::vector<OrphanedJournal> orphans = FindOrphanedJournals(DataDir());
    ASSERT_EQ(orphans.size(), 1u);
    EXPECT_EQ(orphans[0].journalPath, std::filesystem::absolute(journal).string());
    EXPECT_EQ(orphans[0].measurements, 1);
    ASSERT_TRUE(DiscardOrphanedJournal(orphans[0].journalPath, DataDir(), error)) << error;
    EXPECT_TRUE(FindOrphanedJournals(DataDir()).empty());
    EXPECT_TRUE(std::filesystem::is_empty(DataDir()));
}

TEST_F(JournalTest, DamagedJournalHeaderRecoversNothing)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Grid(work_type::kProfile, 3, 1);
        GridSurvey survey(m_config);
        survey.EnableJournal(DataDir());
        static_cast<void>(survey.StoreMeasurement(Measurement(1)));
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    std::vector<OrphanedJournal> orphans = FindOrphanedJournals(DataDir());
    ASSERT_EQ(orphans.size(), 1u);
    std::vector<uint8_t> bytes = ReadFileBytes(orphans[0].journalPath);
    bytes[20] ^= 0x40;
    WriteFileText(orphans[0].journalPath, std::string(bytes.begin(), bytes.end()));
    orphans = FindOrphanedJournals(DataDir());
    ASSERT_EQ(orphans.size(), 1u);
    EXPECT_TRUE(orphans[0].damaged);
    std::string error;
    m_config.WorkType = work_type::kGpsTrack;
    EXPECT_FALSE(Recover(orphans[0].journalPath, error));
    EXPECT_EQ(m_config.WorkType, work_type::kGpsTrack);
}

}  // namespace
