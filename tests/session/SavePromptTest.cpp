#include "session/SavePrompt.h"

#include "FakePrompt.h"
#include "resources/ResourceIds.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

class SavePromptTest : public ::testing::Test
{
protected:
    SavePromptResult Run(int textId = string_id::kSaveChanges)
    {
        SavePromptSubject subject;
        subject.haveSurvey = m_haveSurvey;
        subject.modified = [this] { return m_modified; };
        subject.save = [this] {
            ++m_saves;
            m_modified = !m_saveWrites;
        };
        return RunSavePrompt(m_prompt, textId, subject);
    }

    FakePrompt m_prompt;
    bool m_haveSurvey = true;
    bool m_modified = true;
    bool m_saveWrites = true;
    int m_saves = 0;
};

TEST_F(SavePromptTest, AsksOnlyForAModifiedSurvey)
{
    m_haveSurvey = false;
    EXPECT_EQ(Run(), SavePromptResult::Proceed);
    m_haveSurvey = true;
    m_modified = false;
    EXPECT_EQ(Run(), SavePromptResult::Proceed);
    EXPECT_TRUE(m_prompt.asked.empty());
}

TEST_F(SavePromptTest, YesProceedsOnlyWhenTheFileWasWritten)
{
    m_prompt.answers = {Answer::Yes};
    EXPECT_EQ(Run(), SavePromptResult::Proceed);
    EXPECT_EQ(m_saves, 1);
    ASSERT_EQ(m_prompt.asked.size(), 1u);
    EXPECT_EQ(m_prompt.asked[0].text, "Save changes?");
    EXPECT_EQ(m_prompt.asked[0].caption, "Orv Control");

    // The save dialog was cancelled or the write failed: the caller must not go on.
    m_modified = true;
    m_saveWrites = false;
    m_prompt.answers = {Answer::Yes};
    EXPECT_EQ(Run(), SavePromptResult::Stop);
    EXPECT_TRUE(m_modified);
}

TEST_F(SavePromptTest, NoProceedsWithoutSavingCancelStops)
{
    m_prompt.answers = {Answer::No, Answer::Cancel};
    EXPECT_EQ(Run(string_id::kFailedToMeasureSaveChanges), SavePromptResult::Proceed);
    EXPECT_EQ(Run(), SavePromptResult::Stop);
    EXPECT_EQ(m_saves, 0);
    EXPECT_EQ(m_prompt.asked[0].text, "Failed to measure. Save changes?");
}

}  // namespace
}  // namespace orv
