// orvtool calib: lists, shows, imports and rewrites calibration files.

#include "Command.h"
#include "Json.h"
#include "ToolPrompt.h"
#include "calibration/CalibrationStore.h"
#include "config/ProgramPaths.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orv::tool {

// Named rather than anonymous: the commands are compiled together in batches.
namespace calib_command {

constexpr const char* kCommand = "calib";

constexpr const char* kAbout =
    "Comments are read and written in the code page ORVCONTROL_CODEPAGE names (1251, 1252,\n"
    "866, koi8-r, utf-8, ...; default windows-1251).\n";

struct Options
{
    std::string file;
    std::string out;  // of write
    Answer answer = Answer::No;
    int serial = 0;     // of show
    std::string date;   // of show
    std::string other;  // of import
};

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

int Show(const CalibrationStore& store, int serial, const std::string& date)
{
    CalibrationId wanted{static_cast<uint16_t>(serial), 65535, 255, 255};
    if (!date.empty()) {
        const auto day = ParseDate(date);
        if (!day) {
            return Fail(kCommand, "'" + date + "' is not a date of the form dd/mm/yyyy");
        }
        wanted.Year = day->Year;
        wanted.Month = day->Month;
        wanted.Day = day->Day;
    }
    CalibrationId id = wanted;
    CalibrationRecord record;
    if (store.Count() > 0) {
        store.Select(id, record);
    }
    if (store.Count() == 0 || id.Serial != wanted.Serial) {
        return Fail(kCommand, "the file holds no calibration of ORV " + std::to_string(serial));
    }
    if (!date.empty() && id != wanted) {
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

int Run(const CLI::App& command, const Options& options)
{
    const bool import = command.got_subcommand("import");
    const bool write = command.got_subcommand("write");
    if (!import && !write && !command.got_subcommand("list") && !command.got_subcommand("show")) {
        return Fail(kCommand, "say list, show, import or write (see --help)");
    }
    if (write && options.out.empty()) {
        return Fail(kCommand, "write needs --out OUT.ini");
    }
    const std::string file = options.file.empty() ? DefaultCalibrationPath() : options.file;

    std::FILE* probe = std::fopen(file.c_str(), "rb");
    const bool exists = probe != nullptr;
    const int openError = errno;
    if (exists) {
        std::fclose(probe);
    } else if (!import || openError != ENOENT) {
        return Fail(kCommand,
                    "cannot open the calibration file '" + file + "': " + std::strerror(openError));
    }
    CountingPrompt prompt(options.answer);
    CalibrationStore store(file, prompt);
    if (!store.LoadError().empty()) {
        return Fail(kCommand, store.LoadError());
    }
    if (import) {
        if (!exists) {
            std::fprintf(stderr, "orvtool calib: %s does not exist yet; it will be created\n",
                         file.c_str());
        }
        return Import(store, prompt, options.other);
    }
    PrintWarnings(store.Warnings());
    if (command.got_subcommand("list")) {
        return List(store);
    }
    if (!write) {
        return Show(store, options.serial, options.date);
    }
    std::string error;
    if (!store.Save(options.out, error)) {
        return Fail(kCommand, error);
    }
    return 0;
}

std::function<int()> Define(CLI::App& command)
{
    auto options = std::make_shared<Options>();
    command.footer(kAbout);
    command
        .add_option("--file", options->file,
                    "calibration file (default: the program's own, or\n"
                    "ORVCONTROL_CALIBRATION)")
        ->type_name("INI");
    command.add_option("--out", options->out, "where write puts the file")->type_name("OUT.ini");
    AddAnswerOption(command, options->answer,
                    "answer to \"... already exists. Overwrite it?\" when an imported\n"
                    "calibration differs from a stored one of the same instrument and\n"
                    "date (default: no); cancel stops the import there");
    command.require_subcommand(0, 1);
    // The options above may also follow the action and its operands.
    command
        .add_subcommand("list",
                        "one line per calibration: serial, date (dd/mm/yyyy) and comment,\n"
                        "tab-separated, in the order of the file")
        ->fallthrough();
    CLI::App* show = command.add_subcommand(
        "show",
        "one calibration as JSON, keyed by the record's field names; without\n"
        "DATE the latest of that instrument, with DATE (dd/mm/yyyy) the one the\n"
        "program would use for a survey of that day");
    show->fallthrough();
    show->add_option("SERIAL", options->serial, "the instrument's serial number, 1..65535")
        ->type_name("")
        ->required()
        ->transform(cmdline::Whole(1, 65535));
    show->add_option("DATE", options->date, "the day of the survey, dd/mm/yyyy")->type_name("");
    CLI::App* import =
        command.add_subcommand("import", "merge the calibrations of another file in and save");
    import->fallthrough();
    import->add_option("OTHER.ini", options->other, "the file to import")
        ->type_name("")
        ->required();
    command
        .add_subcommand("write", "read the file and write it out again in the program's own form")
        ->fallthrough();
    return [options, &command] { return Run(command, *options); };
}

const bool kRegistered =
    RegisterCommand({kCommand, "list, show, import or rewrite calibration files", &Define});

}  // namespace calib_command

}  // namespace orv::tool
