#pragma once
// The prompt of the command-line tools: questions are answered with a fixed answer given on the
// command line (--overwrite yes|no|cancel) and shown on stderr with that answer, so a script
// sees what was decided; messages go to stderr.

#include "base/Prompt.h"
#include "common/CommandLine.h"

#include <cstdio>
#include <string>

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
                     a == Answer::Yes  ? "yes"
                     : a == Answer::No ? "no"
                                       : "cancel");
        return a;
    }
    void Tell(const std::string& text, const std::string&, Icon) override
    {
        std::fprintf(stderr, "%s\n", text.c_str());
    }

private:
    Answer m_answer;
};

// --overwrite yes|no|cancel: the answer to the questions the command may ask.
inline CLI::Option* AddAnswerOption(CLI::App& command, Answer& answer, const std::string& help)
{
    return command.add_option("--overwrite", answer, help)
        ->type_name("yes|no|cancel")
        ->transform(cmdline::Choice(
            "yes, no or cancel",
            {{"yes", int(Answer::Yes)}, {"no", int(Answer::No)}, {"cancel", int(Answer::Cancel)}}));
}

}  // namespace orv::tool
