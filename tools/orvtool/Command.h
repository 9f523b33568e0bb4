#pragma once
// orvtool's subcommands. Each command file registers itself with a static RegisterCommand call,
// so a new subcommand needs nothing but its own file (see common/CommandLine.h).

#include "common/CommandLine.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::tool {

using cmdline::Command;
using cmdline::RegisterCommand;

// Prints the message to stderr prefixed with "orvtool <command>: " and returns 1.
inline int Fail(std::string_view command, std::string_view message)
{
    return cmdline::Fail("orvtool", command, message);
}

// The options several commands share, worded once.

inline void AddSettingsOption(CLI::App& command, std::string& path)
{
    command
        .add_option("--settings", path, "settings file (default: the program's own); never written")
        ->type_name("FILE");
}

inline void AddCalibrationOption(CLI::App& command, std::string& path)
{
    command.add_option("--calibration", path, "calibration file (default: the program's own)")
        ->type_name("FILE");
}

// --set Field=Value, repeatable: a configuration field changed for this run.
inline void AddSetOption(CLI::App& command, std::vector<std::string>& settings,
                         const std::string& help)
{
    command.add_option("--set", settings, help)->type_name("Field=Value")->allow_extra_args(false);
}

// --port N of the commands that talk to the instrument; without it, the program's setting.
inline void AddPortOption(CLI::App& command, std::optional<int>& port)
{
    command
        .add_option("--port", port,
                    "port number, opened as the path ORVCONTROL_PORT_PATTERN gives\n"
                    "(default /dev/rfcomm%u; default N: the program's setting)")
        ->type_name("N")
        ->transform(cmdline::Whole(0, 65535));
}

}  // namespace orv::tool
