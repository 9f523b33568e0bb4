#include "calibration/CalibrationStore.h"

#include "FakePrompt.h"
#include "TempDir.h"
#include "calibration/CalibrationIni.h"
#include "calibration/DefaultCalibration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace orv {
namespace {

const std::string kDataDir = std::string(ORV_SOURCE_DIR) + "/tests/data/calibration/";

CalibrationRecord Record(double scale, const std::string& comment = "")
{
    CalibrationRecord record;
    CalibrationId unused;
    DefaultCalibration(record, unused);
    for (auto& pair : record.Air) {
        pair.X *= scale;
    }
    record.Comment = comment;
    return record;
}

std::string SectionText(const CalibrationId& id, const CalibrationRecord& record)
{
    std::string text;
    WriteCalibrationSection(text, id, record, CodePage());
    return text;
}

class CalibrationStoreTest : public testing::Test
{
protected:
    void SetUp() override { unsetenv(CodePage::kEnvironmentVariable); }

    std::unique_ptr<CalibrationStore> Open()
    {
        return std::make_unique<CalibrationStore>(m_path, m_prompt);
    }
    std::vector<CalibrationId> Ids(const CalibrationStore& store)
    {
        std::vector<CalibrationId> ids;
        store.ForEach(
            [&](const CalibrationId& id, const CalibrationRecord&) { ids.push_back(id); });
        return ids;
    }

    TempDir m_dir;
    std::string m_path = m_dir.File("OrvCalibration.ini");
    FakePrompt m_prompt;
};

TEST_F(CalibrationStoreTest, SelectsTheNearestEarlierCalibrationOfTheInstrument)
{
    const CalibrationId march2008{5, 2008, 3, 1};
    const CalibrationId june2009{5, 2009, 6, 1};
    auto store = Open();
    store->Merge(march2008, Record(1, "march"));
    store->Merge(june2009, Record(2, "june"));
    store->Merge({6, 2001, 1, 1}, Record(3, "other"));

    const std::pair<CalibrationId, CalibrationId> cases[] = {
        {{5, 2009, 5, 15}, march2008},
        {{5, 2008, 1, 1}, march2008},  // all later: the earliest
        {{5, 2010, 7, 1}, june2009},
        {june2009, june2009},
    };
    for (const auto& [wanted, chosen] : cases) {
        CalibrationId id = wanted;
        CalibrationRecord record;
        store->Select(id, record);
        EXPECT_EQ(id, chosen);
        CalibrationRecord expected;
        ASSERT_TRUE(store->Lookup(chosen, expected));
        EXPECT_EQ(record.Comment, expected.Comment);
    }
    // An instrument without calibrations gets the first record in store order.
    CalibrationId first;
    store->ForEach([&](const CalibrationId& id, const CalibrationRecord&) {
        if (first.Serial == 0) {
            first = id;
        }
    });
    CalibrationId id{7, 2009, 1, 1};
    CalibrationRecord record;
    store->Select(id, record);
    EXPECT_EQ(id, first);
    EXPECT_FALSE(store->Lookup({5, 2009, 5, 15}, record));
}

TEST_F(CalibrationStoreTest, EmptyStoreLendsTheDefaultAndWritesNothing)
{
    {
        auto store = Open();
        CalibrationId id{5, 2008, 3, 1};
        CalibrationRecord record;
        store->Select(id, record);
        EXPECT_EQ(id, (CalibrationId{9, 2007, 2, 28}));
        EXPECT_EQ(record.Comment, "Default calibration data for ORV 9, 28/02/2007");
        EXPECT_DOUBLE_EQ(record.DepthFactor[13], std::sqrt(2.501 / 250.004));
        EXPECT_EQ(record.DepthFactor[0], 1.0);
        EXPECT_EQ(store->Count(), 0);
        EXPECT_FALSE(store->Modified());
    }
    EXPECT_FALSE(std::filesystem::exists(m_path));
}

TEST_F(CalibrationStoreTest, FileTheStoreWroteRoundTripsByteForByte)
{
    // Enough records that several share a hash bucket.
    {
        auto store = Open();
        for (uint16_t serial = 1; serial <= 150; ++serial) {
            store->Merge({serial, uint16_t(2000 + serial % 9), uint8_t(1 + serial % 12), 1},
                         Record(serial, "instrument " + std::to_string(serial)));
        }
        std::string error;
        ASSERT_TRUE(store->Close(error)) << error;
    }
    const std::string saved = ReadFileText(m_path);
    auto store = Open();
    EXPECT_EQ(store->Count(), 150);
    EXPECT_FALSE(store->Modified());
    std::string error;
    ASSERT_TRUE(store->Save(m_dir.File("copy.ini"), error)) << error;
    EXPECT_EQ(ReadFileText(m_dir.File("copy.ini")), saved);
}

TEST_F(CalibrationStoreTest, AnyLegalFileIsRewrittenInTheWritersForm)
{
    const std::string handheld = ReadFileText(kDataDir + "handheld-two-records.ini");
    for (const char* name : {"handheld-two-records.ini", "hand-edited.ini"}) {
        SCOPED_TRACE(name);
        std::filesystem::copy_file(kDataDir + name, m_path,
                                   std::filesystem::copy_options::overwrite_existing);
        auto store = Open();
        EXPECT_EQ(store->Count(), 2);
        CalibrationRecord record;
        ASSERT_TRUE(store->Lookup({5, 2008, 3, 1}, record));
        EXPECT_EQ(record.Comment, "Поверка после ремонта");  // windows-1251 in the file
        EXPECT_EQ(record.nt, 40);
        std::string error;
        ASSERT_TRUE(store->Save(m_dir.File("out.ini"), error)) << error;
        EXPECT_EQ(ReadFileText(m_dir.File("out.ini")), handheld);
    }
}

TEST_F(CalibrationStoreTest, WritesAtExitOnlyWhenSomethingChanged)
{
    const CalibrationId id{9, 2007, 2, 28};
    CalibrationRecord record = Record(1);
    record.IAir[0] = 33428.41234;  // stored with 6 significant digits
    WriteFileText(m_path, SectionText(id, record) + "; a note the writer will not keep\r\n");
    const std::string original = ReadFileText(m_path);
    {
        auto store = Open();
        CalibrationRecord same;
        ASSERT_TRUE(store->Lookup(id, same));
        same.rt = 99;  // coil constants take no part in the comparison
        store->Merge(id, same);
        EXPECT_TRUE(m_prompt.asked.empty());
        EXPECT_FALSE(store->Modified());
    }
    EXPECT_EQ(ReadFileText(m_path), original);
    {
        auto store = Open();
        store->Merge({9, 2008, 1, 1}, Record(2));
        store->Remove({9, 2008, 1, 1});
    }
    const std::string rewritten = ReadFileText(m_path);
    EXPECT_NE(rewritten, original);
    EXPECT_NE(rewritten.find("\tIA1=33428.4\r\n"), std::string::npos);
    EXPECT_NE(rewritten.find("\tCC1=0.000108\r\n"), std::string::npos);
    {
        auto store = Open();
        EXPECT_TRUE(store->Remove(id));
        EXPECT_FALSE(store->Remove(id));
    }
    EXPECT_TRUE(std::filesystem::exists(m_path));
    EXPECT_EQ(std::filesystem::file_size(m_path), 0u);
}

TEST_F(CalibrationStoreTest, OverwriteQuestionDecidesAndCancelStopsTheImport)
{
    const CalibrationId id{5, 2008, 3, 1};
    auto store = Open();
    store->Merge(id, Record(1, "old"));
    const std::string other = m_dir.File("ISystem_ORV#5.ini");
    WriteFileText(other,
                  SectionText(id, Record(2, "new")) + SectionText({6, 2010, 1, 1}, Record(3)));

    std::string error;
    m_prompt.answers = {Answer::No};
    ASSERT_TRUE(store->Import(other, error));
    ASSERT_EQ(m_prompt.asked.size(), 1u);
    EXPECT_EQ(m_prompt.asked[0].text,
              "Calibration data for TALMIR 5 (01/03/2008) already exists. Overwrite it?");
    EXPECT_EQ(m_prompt.asked[0].caption, "Overwrite TALMIR 5, 01/03/2008?");
    CalibrationRecord record;
    ASSERT_TRUE(store->Lookup(id, record));
    EXPECT_EQ(record.Comment, "old");
    EXPECT_EQ(store->Count(), 2);  // serial 6 was added after the answer No

    store->Remove({6, 2010, 1, 1});
    m_prompt.answers = {Answer::Cancel};
    ASSERT_TRUE(store->Import(other, error));  // a cancelled import is no failure
    EXPECT_EQ(store->Count(), 1);              // nothing after the Cancel is stored
    ASSERT_TRUE(store->Lookup(id, record));
    EXPECT_EQ(record.Comment, "old");

    m_prompt.answers = {Answer::Yes};
    ASSERT_TRUE(store->Import(other, error));
    ASSERT_TRUE(store->Lookup(id, record));
    EXPECT_EQ(record.Comment, "new");
    EXPECT_EQ(store->Count(), 2);
}

TEST_F(CalibrationStoreTest, LoadingTheOwnFileAsksNothingAndKeepsTheLaterDuplicate)
{
    const CalibrationId id{5, 2008, 3, 1};
    WriteFileText(m_path, SectionText(id, Record(1, "first")) +
                              SectionText(id, Record(2, "second")) +
                              SectionText({7, 2009, 1, 1}, Record(3, "after")));
    m_prompt.defaultAnswer = Answer::Cancel;
    auto store = Open();
    EXPECT_TRUE(m_prompt.asked.empty());
    EXPECT_EQ(store->Count(), 2);
    CalibrationRecord record;
    ASSERT_TRUE(store->Lookup(id, record));
    EXPECT_EQ(record.Comment, "second");
    EXPECT_FALSE(store->Modified());
    ASSERT_EQ(store->Warnings().size(), 1u);
    EXPECT_NE(store->Warnings()[0].find("[ORV 5] dated 01/03/2008"), std::string::npos);
}

TEST_F(CalibrationStoreTest, FailedReadsAndWritesChangeNothing)
{
    auto store = Open();
    store->Merge({5, 2008, 3, 1}, Record(1));
    std::string error;
    EXPECT_FALSE(store->Import(m_dir.File("missing.ini"), error));
    EXPECT_NE(error.find("missing.ini"), std::string::npos);
    EXPECT_FALSE(store->Import(m_dir.Path().string(), error));
    EXPECT_NE(error.find("folder"), std::string::npos);
    EXPECT_EQ(store->Count(), 1);

    error.clear();
    EXPECT_FALSE(store->Save(m_dir.File("no/such/folder/OrvCalibration.ini"), error));
    EXPECT_NE(error.find("no/such/folder"), std::string::npos);
    EXPECT_TRUE(store->Modified());

    // A calibration file that exists but cannot be read is never replaced at exit.
    std::filesystem::create_directory(m_dir.File("blocked.ini"));
    CalibrationStore blocked(m_dir.File("blocked.ini"), m_prompt);
    EXPECT_FALSE(blocked.LoadError().empty());
    blocked.Merge({5, 2008, 3, 1}, Record(1));
    EXPECT_FALSE(blocked.Close(error));
    EXPECT_NE(error.find("could not be read at start-up"), std::string::npos);
}

TEST_F(CalibrationStoreTest, CommentsUseTheConfiguredCodePage)
{
    const CalibrationId id{5, 2008, 3, 1};
    WriteFileText(m_path, SectionText(id, Record(1)));
    std::string text = ReadFileText(m_path);
    const std::string bare = "\tComment=\r\n";
    text.replace(text.find(bare), bare.size(), "\tComment=Caf\xe9 \x98\r\n");
    WriteFileText(m_path, text);

    setenv(CodePage::kEnvironmentVariable, "1252", 1);
    {
        auto store = Open();
        CalibrationRecord record;
        ASSERT_TRUE(store->Lookup(id, record));
        EXPECT_EQ(record.Comment.substr(0, 5), "Café");
        store->Merge({6, 2009, 1, 1}, Record(2));  // forces a rewrite at exit
    }
    EXPECT_NE(ReadFileText(m_path).find("\tComment=Caf\xe9 \x98\r\n"), std::string::npos);

    setenv(CodePage::kEnvironmentVariable, "klingon", 1);
    auto store = Open();
    ASSERT_FALSE(store->Warnings().empty());
    EXPECT_NE(store->Warnings()[0].find("klingon"), std::string::npos);
    unsetenv(CodePage::kEnvironmentVariable);
}

}  // namespace
}  // namespace orv
