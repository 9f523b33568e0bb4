#include "session/SavePrompt.h"

#include "base/Prompt.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"

#include <string>

namespace orv {

SavePromptResult RunSavePrompt(Prompt& prompt, int textId, const SavePromptSubject& subject)
{
    if (!subject.haveSurvey || !subject.modified()) {
        return SavePromptResult::Proceed;
    }
    const Answer answer = prompt.Ask(std::string(ResourceString(textId)),
                                     std::string(ResourceString(string_id::kAppTitle)),
                                     Buttons::YesNoCancel, Icon::Warning);
    switch (answer) {
        case Answer::Yes:
            subject.save();
            return subject.modified() ? SavePromptResult::Stop : SavePromptResult::Proceed;
        case Answer::No:
            return SavePromptResult::Proceed;
        default:
            return SavePromptResult::Stop;
    }
}

}  // namespace orv
