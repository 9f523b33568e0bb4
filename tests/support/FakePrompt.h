#pragma once
// Answers questions from a script and records everything asked and told.

#include "base/Prompt.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace orv {

class FakePrompt final : public Prompt
{
public:
    struct Shown
    {
        std::string text;
        std::string caption;
    };

    Answer Ask(const std::string& text, const std::string& caption, Buttons, Icon) override
    {
        asked.push_back({text, caption});
        if (answers.empty()) {
            return defaultAnswer;
        }
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void Tell(const std::string& text, const std::string& caption, Icon) override
    {
        std::scoped_lock lock(m_mutex);
        told.push_back({text, caption});
    }
    // What was told so far, while another thread (the NMEA reader) may tell more.
    std::vector<Shown> Told() const
    {
        std::scoped_lock lock(m_mutex);
        return told;
    }

    std::deque<Answer> answers;
    Answer defaultAnswer = Answer::No;
    std::vector<Shown> asked;
    std::vector<Shown> told;

private:
    mutable std::mutex m_mutex;
};

}  // namespace orv
