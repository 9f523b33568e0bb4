// orvtool calib: lists, shows, imports and rewrites calibration files.

#include "Command.h"
#include "Json.h"
#include "ToolPrompt.h"
#include "calibration/CalibrationStore.h"
#include "config/ProgramPaths.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace orv::tool {

namespace {

constexpr const char* kCommand = "calib";

constexpr const char* kHelp =
    "Usage: orvtool calib list [--file INI]\n"
    "       orvtool calib show SERIAL [DATE] [--file INI]\n"
    "       orvtool calib import OTHER.ini [--file INI] [--overwrite yes|no|cancel]\n"
    "       orvtool calib write --out OUT.ini [--file INI]\n"
    "Calibration files of the instrument.\n\n"
    "  list      one line per calibration: serial, date (dd/mm/yyyy) and comment,\n"
    "            tab-separated, in the order of the file\n"
    "  show      one calibration as JSON, keyed by the record's field names; without\n"
    "            DATE the latest of that instrument, with DATE (dd/mm/yyyy) the one the\n"
    "            program would use for a survey of that day\n"
    "  import    merge the calibrations of another file in and save\n"
    "  write     read the file and write it out again in the program's own form\n\n"
    "Options:\n"
    "  --file INI           calibration file (default: the program's own, or\n"
    "                       ORVCONTROL_CALIBRATION)\n"
    "  --out OUT.ini        where write puts the file\n"
    "  --overwrite yes|no|cancel\n"
    "                       answer to \"... already exists. Overwrite it?\" when an imported\n"
    "                       calibration differs from a stored one of the same instrument and\n"
    "                       date (default: no); cancel stops the import there\n\n"
    "Comments are read and written in the code page ORVCONTROL_CODEPAGE names (1251, 1252,\n"
    "866, koi8-r, utf-8, ...; default windows-1251).\n";

// Counts the answers, so the summary can say whether the import was cancelled.
class CountingPrompt final : public Prompt
{
public:
    explicit CountingPrompt(Answer answer) : m_inner(answer) {}
    Answer Ask(const std::string& text, const std::string& caption, Buttons buttons,
               Icon icon) override
    {
        const Answer a = m_inner.Ask(text, caption, buttons, icon);
        cancelled = cancelled || a == Answer::Cancel;
        return a;
    }
    void Tell(const std::string& text, const std::string& caption, Icon icon) override
    {
        m_inner.Tell(text, caption, icon);
    }
    bool cancelled = false;

private:
    ToolPrompt m_inner;
};

std::string DateText(const CalibrationId& id)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.02d/%.02d/%u", int{id.Day}, int{id.Month},
                  unsigned{id.Year});
    return text;
}

std::optional<unsigned long> WholeNumber(const std::string& text, unsigned long max)
{
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const unsigned long v = std::stoul(text);
    if (v > max) {
        return std::nullopt;
    }
    return v;
}

// dd/mm/yyyy, also with '.' or '-' between the parts.
std::optional<CalibrationId> ParseDate(const std::string& text)
{
    std::vector<std::string> parts(1);
    for (const char c : text) {
        if (c == '/' || c == '.' || c == '-') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    if (parts.size() != 3) {
        return std::nullopt;
    }
    const auto day = WholeNumber(parts[0], 31);
    const auto month = WholeNumber(parts[1], 12);
    const auto year = WholeNumber(parts[2], 65535);
    if (!day || !month || !year || *day == 0 || *month == 0) {
        return std::nullopt;
    }
    CalibrationId id;
    id.Day = static_cast<uint8_t>(*day);
    id.Month = static_cast<uint8_t>(*month);
    id.Year = static_cast<uint16_t>(*year);
    return id;
}

std::string Array(const FrequencyTable& values)
{
    std::string out = "[";
    for (size_t i = 0; i < values.size(); ++i) {
        out += (i == 0 ? "" : ",") + JsonNumber(values[i]);
    }
    return out + "]";
}

std::string RecordJson(const CalibrationRecord& r)
{
    FrequencyTable xp{}, yp{}, xa{}, ya{};
    for (size_t i = 0; i < xp.size(); ++i) {
        xp[i] = r.Primary[i].X;
        yp[i] = r.Primary[i].Y;
        xa[i] = r.Air[i].X;
        ya[i] = r.Air[i].Y;
    }
    return JsonObject()
        .Text("Comment", r.Comment)
        .Raw("XPrimary", Array(xp))
        .Raw("YPrimary", Array(yp))
        .Raw("XAir", Array(xa))
        .Raw("YAir", Array(ya))
        .Raw("IAir", Array(r.IAir))
        .Raw("CurrentCoef", Array(r.CurrentCoef))
        .Raw("M1", Array(r.M1))
        .Raw("M2", Array(r.M2))
        .Raw("GainFactor", Array(r.GainFactor))
        .Number("rt", r.rt)
        .Number("nt", r.nt)
        .Number("r1", r.r1)
        .Number("r2", r.r2)
        .Raw("Frequencies", Array(r.Frequencies))
        .Raw("DepthFactor", Array(r.DepthFactor))
        .Str();
}

void PrintWarnings(const std::vector<std::string>& warnings)
{
    for (const std::string& w : warnings) {
        std::fprintf(stderr, "orvtool calib: warning: %s\n", w.c_str());
    }
}

int List(const CalibrationStore& store)
{
    store.ForEach([](const CalibrationId& id, const CalibrationRecord& record) {
        std::printf("%u\t%s\t%s\n", unsigned{id.Serial}, DateText(id).c_str(),
                    record.Comment.c_str());
    });
    return 0;
}

int Show(const CalibrationStore& store, const std::vector<std::string>& operands)
{
    if (operands.empty() || operands.size() > 2) {
        return Fail(kCommand, "show needs SERIAL and optionally DATE (see --help)");
    }
    const auto serial = WholeNumber(operands[0], 65535);
    if (!serial || *serial == 0) {
        return Fail(kCommand,
                    "'" + operands[0] + "' is not an instrument serial number (1..65535)");
    }
    CalibrationId wanted{static_cast<uint16_t>(*serial), 65535, 255, 255};
    if (operands.size() == 2) {
        const auto date = ParseDate(operands[1]);
        if (!date) {
            return Fail(kCommand, "'" + operands[1] + "' is not a date of the form dd/mm/yyyy");
        }
        wanted.Year = date->Year;
        wanted.Month = date->Month;
        wanted.Day = date->Day;
    }
    CalibrationId id = wanted;
    CalibrationRecord record;
    if (store.Count() > 0) {
        store.Select(id, record);
    }
    if (store.Count() == 0 || id.Serial != wanted.Serial) {
        return Fail(kCommand, "the file holds no calibration of ORV " + operands[0]);
    }
    if (operands.size() == 2 && id != wanted) {
        std::fprintf(stderr,
                     "orvtool calib: no calibration of ORV %u is dated %s; showing the one of %s\n",
                     unsigned{id.Serial}, DateText(wanted).c_str(), DateText(id).c_str());
    }
    std::printf("%s\n", RecordJson(record).c_str());
    return 0;
}

int Import(CalibrationStore& store, CountingPrompt& prompt, const std::string& other)
{
    std::vector<std::pair<CalibrationId, CalibrationRecord>> before;
    store.ForEach([&](const CalibrationId& id, const CalibrationRecord& record) {
        before.emplace_back(id, record);
    });
    std::string error;
    if (!store.Import(other, error)) {
        return Fail(kCommand, error + " Nothing was changed.");
    }
    PrintWarnings(store.Warnings());
    int added = 0;
    int replaced = 0;
    store.ForEach([&](const CalibrationId& id, const CalibrationRecord& record) {
        for (const auto& [oldId, oldRecord] : before) {
            if (oldId == id) {
                replaced += oldRecord.SameCalibration(record) ? 0 : 1;
                return;
            }
        }
        ++added;
    });
    if (prompt.cancelled) {
        std::fprintf(stderr,
                     "orvtool calib: the import was cancelled; nothing after that "
                     "calibration was taken\n");
    }
    if (!store.Modified()) {
        std::printf("nothing changed; %s was not written\n", store.Path().c_str());
        return 0;
    }
    if (!store.Save(store.Path(), error)) {
        return Fail(kCommand, error);
    }
    std::printf("%d added, %d replaced; saved %s\n", added, replaced, store.Path().c_str());
    return 0;
}

int Run(const std::vector<std::string>& args)
{
    if (WantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    std::string file;
    std::string out;
    Answer answer = Answer::No;
    std::vector<std::string> operands;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--file" || a == "--out" || a == "--overwrite") {
            if (i + 1 >= args.size()) {
                return Fail(kCommand, a + " needs a value");
            }
            const std::string& value = args[++i];
            if (a == "--file") {
                file = value;
            } else if (a == "--out") {
                out = value;
            } else if (const auto parsed = ParseAnswer(value)) {
                answer = *parsed;
            } else {
                return Fail(kCommand, "--overwrite takes yes, no or cancel, not '" + value + "'");
            }
        } else if (a.size() > 1 && a[0] == '-') {
            return Fail(kCommand, "unknown option '" + a + "' (see --help)");
        } else {
            operands.push_back(a);
        }
    }
    if (operands.empty()) {
        return Fail(kCommand, "say list, show, import or write (see --help)");
    }
    const std::string action = operands[0];
    operands.erase(operands.begin());
    if (action != "list" && action != "show" && action != "import" && action != "write") {
        return Fail(kCommand, "unknown action '" + action + "' (see --help)");
    }
    if (action == "list" && !operands.empty()) {
        return Fail(kCommand, "list takes no operands");
    }
    if (action == "import" && operands.size() != 1) {
        return Fail(kCommand, "import needs exactly one file to import");
    }
    if (action == "write" && (out.empty() || !operands.empty())) {
        return Fail(kCommand, "write needs --out OUT.ini and nothing else");
    }
    if (file.empty()) {
        file = DefaultCalibrationPath();
    }

    std::FILE* probe = std::fopen(file.c_str(), "rb");
    const bool exists = probe != nullptr;
    const int openError = errno;
    if (exists) {
        std::fclose(probe);
    } else if (action != "import" || openError != ENOENT) {
        return Fail(kCommand,
                    "cannot open the calibration file '" + file + "': " + std::strerror(openError));
    }
    CountingPrompt prompt(answer);
    CalibrationStore store(file, prompt);
    if (!store.LoadError().empty()) {
        return Fail(kCommand, store.LoadError());
    }
    if (action == "import") {
        if (!exists) {
            std::fprintf(stderr, "orvtool calib: %s does not exist yet; it will be created\n",
                         file.c_str());
        }
        return Import(store, prompt, operands[0]);
    }
    PrintWarnings(store.Warnings());
    if (action == "list") {
        return List(store);
    }
    if (action == "show") {
        return Show(store, operands);
    }
    std::string error;
    if (!store.Save(out, error)) {
        return Fail(kCommand, error);
    }
    return 0;
}

const bool kRegistered =
    RegisterCommand({kCommand, "list, show, import or rewrite calibration files", &Run});

}  // namespace

}  // namespace orv::tool
