#pragma once
// Questions and messages for the operator. The window answers them with message boxes; tools
// answer from their command line; tests script the answers (FakePrompt).

#include <string>

namespace orv {

enum class Answer { Yes, No, Cancel, Ok };

enum class Buttons { Ok, YesNo, YesNoCancel, OkCancel };

enum class Icon { None, Information, Question, Warning, Error };

class Prompt
{
public:
    virtual ~Prompt() = default;
    // Asks a question and waits for the answer. Texts are UTF-8.
    virtual Answer Ask(const std::string& text, const std::string& caption, Buttons buttons,
                       Icon icon) = 0;
    // Shows a message with an OK button.
    virtual void Tell(const std::string& text, const std::string& caption, Icon icon) = 0;
};

}  // namespace orv
