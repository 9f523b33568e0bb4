#pragma once
// The window's Prompt: message boxes over the active window. Safe to call from any thread: Tell
// from another thread queues the box to the user-interface thread and returns at once; Ask waits
// there for the answer.

#include "base/Prompt.h"

namespace orv {

class QtPrompt final : public Prompt
{
public:
    Answer Ask(const std::string& text, const std::string& caption, Buttons buttons,
               Icon icon) override;
    void Tell(const std::string& text, const std::string& caption, Icon icon) override;
};

}  // namespace orv
