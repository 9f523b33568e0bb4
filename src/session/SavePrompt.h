#pragma once
// The save prompt that New, Open, Close and a failed measurement put before their work:
//
//   no survey, or not modified      -> proceed, nothing asked
//   "Save changes?" Yes             -> run Save; proceed only when the survey is no longer
//                                      modified afterwards (the file was written)
//                   No              -> proceed without saving
//                   Cancel          -> stop; everything stays as it was

#include <functional>

namespace orv {

class Prompt;

enum class SavePromptResult { Proceed, Stop };

struct SavePromptSubject
{
    bool haveSurvey = false;
    // Read again after `save` has run.
    std::function<bool()> modified;
    // The Save command; it reports its own failures.
    std::function<void()> save;
};

// `textId` is "Save changes?" (32779) or "Failed to measure. Save changes?" (32825).
SavePromptResult RunSavePrompt(Prompt& prompt, int textId, const SavePromptSubject& subject);

}  // namespace orv
