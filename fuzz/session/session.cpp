// Session files and measurement journals from anywhere: the reader must refuse what does not fit
// without reading or allocating beyond the input, and what it accepts must save and read back.

#include "../../tests/support/NullPlatform.h"
#include "config/Configuration.h"
#include "survey/GridSurvey.h"
#include "survey/JournalRecovery.h"
#include "survey/MeasurementJournal.h"
#include "survey/SessionFile.h"
#include "survey/TrackSurvey.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace {

using namespace orv;

Configuration& Config()
{
    static NoSettings settings;
    static NoPrompt prompt;
    static Configuration config(settings, "/nonexistent/OrvCalibration.ini", prompt);
    return config;
}

void Walk(Survey& survey)
{
    // Bounded: a fuzzed grid may have very many stations.
    for (int i = 0; i < 64 && survey.Advance(); ++i) {
    }
    survey.StepBack();
    survey.PreviousStation();
    survey.NextProfile();
    survey.PreviousProfile();
    survey.NextStation();
    static_cast<void>(survey.CurrentIndex());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> bytes(data, size);
    Configuration& config = Config();
    std::string error;
    std::unique_ptr<Survey> survey = ReadSession(bytes, config, error);
    if (survey) {
        // What was accepted saves and reads back to the same image.
        const std::vector<uint8_t> image = survey->SessionImage();
        std::unique_ptr<Survey> again = ReadSession(image, config, error);
        if (!again || again->SessionImage() != image) {
            std::abort();
        }
        Walk(*survey);
    }

    // Whether a journal is already saved reads the session file (and a journal's own copy).
    JournalContents probe;
    JournalRecord station;
    station.index = uint32_t(size % 64);
    station.slot.bytes[kMaskOffset] = 1;
    probe.records.push_back(station);
    static_cast<void>(JournalHeldBy(probe, bytes));

    JournalContents contents;
    if (ParseJournal(bytes, contents, error) && contents.base.embedded) {
        static_cast<void>(JournalHeldBy(contents, contents.base.image));
        std::unique_ptr<Survey> base = ReadSession(contents.base.image, config, error);
        if (base) {
            for (const JournalRecord& record : contents.records) {
                if (!base->ApplyJournalRecord(record)) {
                    break;
                }
            }
            Walk(*base);
        }
    }
    return 0;
}
