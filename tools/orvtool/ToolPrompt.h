#pragma once
// The prompt of the command-line tools: questions are answered with a fixed answer given on the
// command line (--overwrite yes|no|cancel) and shown on stderr with that answer, so a script
// sees what was decided; messages go to stderr.

#include <cstdio>
#include <optional>
#include <string>

#include "base/Prompt.h"

namespace orv::tool {

class ToolPrompt final : public Prompt
{
public:
    explicit ToolPrompt(Answer answer = Answer::No) : m_answer(answer) {}

    Answer Ask(const std::string& text, const std::string&, Buttons buttons, Icon) override
    {
        Answer a = m_answer;
        if (a == Answer::Cancel && buttons == Buttons::YesNo) {
            a = Answer::No;
        }
        std::fprintf(stderr, "%s -> %s\n", text.c_str(),
                     a == Answer::Yes ? "yes" : a == Answer::No ? "no" : "cancel");
        return a;
    }
    void Tell(const std::string& text, const std::string&, Icon) override
    {
        std::fprintf(stderr, "%s\n", text.c_str());
    }

private:
    Answer m_answer;
};

// "yes", "no" or "cancel".
inline std::optional<Answer> ParseAnswer(const std::string& text)
{
    if (text == "yes") {
        return Answer::Yes;
    }
    if (text == "no") {
        return Answer::No;
    }
    if (text == "cancel") {
        return Answer::Cancel;
    }
    return std::nullopt;
}

}  // namespace orv::tool
