#pragma once
// The command line orvtool and orvsim share: subcommands that register themselves and are
// parsed with CLI11, one help layout, --version, and one convention for messages and exit
// statuses:
//
//   0  the command did its work, or printed the help or version asked for
//   1  the command failed, or its command line is wrong; one line on stderr that names the
//      option, e.g. "orvsim gps: --port: '300' is not a whole number from 0 to 255 (see --help)"
//   2  no command or an unknown one, or a command given nothing to work on (orvtool info without
//      a session file): the help goes to stderr
//
// A command may add statuses of its own (orvtool render: 3, too little data to draw).

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#ifndef ORV_VERSION
#define ORV_VERSION "0"
#endif

namespace orv::cmdline {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsage = 2;

struct Command
{
    const char* name;
    const char* summary;  // one line: the program's list of commands and the head of its help
    // Adds the command's options to its CLI11 app and returns what runs the command once the
    // command line is parsed; that returns the exit status.
    std::function<int()> (*define)(CLI::App& command);
};

// The program's commands by name. A command file adds its own with
// `const bool kRegistered = RegisterCommand({...});`, so a new command needs nothing but its file.
inline std::vector<Command>& Commands()
{
    static std::vector<Command> commands;
    return commands;
}

inline bool RegisterCommand(const Command& command)
{
    auto& commands = Commands();
    const auto at = std::find_if(commands.begin(), commands.end(), [&](const Command& c) {
        return std::string_view(c.name) > command.name;
    });
    commands.insert(at, command);
    return true;
}

// Prints "<program> <command>: <message>" to stderr and returns kFailure.
inline int Fail(std::string_view program, std::string_view command, std::string_view message)
{
    std::fprintf(stderr, "%.*s %.*s: %.*s\n", int(program.size()), program.data(),
                 int(command.size()), command.data(), int(message.size()), message.data());
    return kFailure;
}

// The help of a command, headed by its whole name ("orvtool config set").
inline std::string HelpText(const CLI::App& command)
{
    std::string path;
    for (const CLI::App* p = command.get_parent(); p != nullptr; p = p->get_parent()) {
        path = p->get_name() + (path.empty() ? "" : " " + path);
    }
    return command.help(path);
}

// The help of `command` on stderr, for a command line that names nothing to work on.
inline int UsageError(const CLI::App& command)
{
    std::fputs(HelpText(command).c_str(), stderr);
    return kUsage;
}

// A whole number written in decimal, as strtol reads it. CLI11's own conversion would take
// "010" for octal 8 and "0x10" for hex, which no port number or count means.
inline bool ParseWhole(const std::string& text, long long min, long long max, long long& out)
{
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < min || v > max) {
        return false;
    }
    out = v;
    return true;
}

// A finite number from min to max. CLI11 reads "nan" and "inf" as numbers, and NaN passes every
// range check.
inline bool ParseReal(const std::string& text, double min, double max, double& out)
{
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(v) || v < min || v > max) {
        return false;
    }
    out = v;
    return true;
}

inline std::string NumberText(double v)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", v);
    return buffer;
}

inline std::string RangeText(long long min, long long max)
{
    return max == std::numeric_limits<long long>::max()
               ? "of at least " + std::to_string(min)
               : "from " + std::to_string(min) + " to " + std::to_string(max);
}

// For ->transform(): a whole number from min to max. The text is rewritten to the plain decimal
// number, so that CLI11 converts the value that was checked.
inline CLI::Validator Whole(long long min, long long max)
{
    return CLI::Validator(
        [min, max](std::string& text) {
            long long v = 0;
            if (!ParseWhole(text, min, max, v)) {
                return "'" + text + "' is not a whole number " + RangeText(min, max);
            }
            text = std::to_string(v);
            return std::string();
        },
        "");
}

// For ->check(): a number from min to max; with `positive`, above min.
inline CLI::Validator Real(double min, double max, bool positive = false)
{
    const bool bounded = max < std::numeric_limits<double>::max();
    std::string range = (positive  ? "above "
                         : bounded ? "from "
                                   : "of at least ") +
                        NumberText(min);
    if (bounded) {
        range += (positive ? ", up to " : " to ") + NumberText(max);
    }
    return CLI::Validator(
        [min, max, positive, range](std::string& text) {
            double v = 0.0;
            if (!ParseReal(text, min, max, v) || (positive && !(v > min))) {
                return "'" + text + "' is not a number " + range;
            }
            return std::string();
        },
        "");
}

// For ->transform(): one of the names of `choices`, rewritten to its number for CLI11 to convert
// into the enum or int the option is bound to. `listed` names the choices in the message.
// (CLI::CheckedTransformer would also take the numbers themselves.)
inline CLI::Validator Choice(std::string listed, std::vector<std::pair<std::string, int>> choices,
                             bool ignoreCase = false)
{
    return CLI::Validator(
        [listed, choices, ignoreCase](std::string& text) {
            std::string key = text;
            if (ignoreCase) {
                for (char& c : key) {
                    c = char(std::tolower(static_cast<unsigned char>(c)));
                }
            }
            for (const auto& [name, value] : choices) {
                if (name == key) {
                    text = std::to_string(value);
                    return std::string();
                }
            }
            return "'" + text + "' is not " + listed;
        },
        "");
}

// A compound value ("20x10") that does not read: a usage error that names the option and what
// it takes.
[[noreturn]] inline void BadValue(const std::string& option, const std::string& value,
                                  const std::string& expected)
{
    throw CLI::ValidationError(option, "'" + value + "' is not " + expected);
}

// "20x10", "1.5,2", "9@3": the text before the first of `separators` and, when there is one,
// the text after it.
inline std::pair<std::string, std::optional<std::string>> SplitPair(const std::string& text,
                                                                    const char* separators)
{
    const size_t at = text.find_first_of(separators);
    if (at == std::string::npos) {
        return {text, std::nullopt};
    }
    return {text.substr(0, at), text.substr(at + 1)};
}

namespace detail {

// The command (or action) whose help the line asks for with -h or --help anywhere on it. The help
// wins over whatever else is wrong with the line, as CLI11 alone would not do for a bad value.
inline const CLI::App* HelpAskedFor(const CLI::App& app, int argc, char** argv)
{
    const CLI::App* current = &app;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "-h" || word == "--help") {
            return current;
        }
        if (word == "--") {
            break;
        }
        const auto named = current->get_subcommands(
            [&](const CLI::App* command) { return command->check_name(word); });
        if (!named.empty()) {
            current = named.front();
        }
    }
    return nullptr;
}

// Says an unexpected word the way a user reads it; other messages are CLI11's.
inline std::string Explain(const CLI::ParseError& error, const CLI::App& command)
{
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        const std::vector<std::string> extras = command.remaining(true);
        if (!extras.empty()) {
            const std::string& word = extras.front();
            return (word.size() > 1 && word[0] == '-' ? "unknown option '"
                                                      : "unexpected argument '") +
                   word + "' (see --help)";
        }
    }
    return error.what() + std::string(" (see --help)");
}

}  // namespace detail

// Parses the command line against the registered commands and runs the chosen one; returns the
// exit status. The command comes first: `program COMMAND [OPTIONS]...`.
inline int Run(const std::string& program, const std::string& description, int argc, char** argv)
{
    CLI::App app(description, program);
    // Wide enough for "--calibration FILE"; subcommands share the formatter.
    app.get_formatter()->column_width(24);
    app.get_formatter()->label("SUBCOMMAND", "COMMAND");
    // An option given twice takes its last value; repeatable ones (--set) are vectors.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.set_version_flag("--version", program + " " + ORV_VERSION);
    std::vector<std::pair<const CLI::App*, std::function<int()>>> runs;
    for (const Command& c : Commands()) {
        CLI::App* command = app.add_subcommand(c.name, c.summary);
        command->group("Commands");
        runs.emplace_back(command, c.define(*command));
    }
    app.require_subcommand(1);
    // After the commands, which would inherit it.
    app.footer("'" + program + " COMMAND --help' describes a command.");

    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "help") {
        std::fputs(app.help().c_str(), stdout);
        return kSuccess;
    }
    const bool known = first == "-h" || first == "--help" || first == "--version" ||
                       std::any_of(runs.begin(), runs.end(),
                                   [&](const auto& r) { return r.first->check_name(first); });
    if (!known) {
        if (argc > 1) {
            std::fprintf(stderr, "%s: unknown command '%s'\n", program.c_str(), first.c_str());
        }
        std::fputs(app.help().c_str(), stderr);
        return kUsage;
    }
    if (const CLI::App* asked = detail::HelpAskedFor(app, argc, argv)) {
        std::fputs(HelpText(*asked).c_str(), stdout);
        return kSuccess;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForVersion& version) {
        std::printf("%s\n", version.what());
        return kSuccess;
    } catch (const CLI::ParseError& error) {
        const std::vector<CLI::App*> chosen = app.get_subcommands();
        if (chosen.empty()) {
            std::fprintf(stderr, "%s: %s\n", program.c_str(), error.what());
            std::fputs(app.help().c_str(), stderr);
            return kUsage;
        }
        return Fail(program, chosen.front()->get_name(), detail::Explain(error, *chosen.front()));
    }
    for (const auto& [command, run] : runs) {
        if (command->parsed()) {
            return run();
        }
    }
    return UsageError(app);
}

}  // namespace orv::cmdline
