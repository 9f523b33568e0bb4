#pragma once
// orvtool's subcommands. Each command file registers itself with a static RegisterCommand call,
// so a new subcommand needs nothing but its own file.

#include <string>
#include <string_view>
#include <vector>

namespace orv::tool {

struct Command
{
    const char* name;
    const char* summary;  // one line for `orvtool --help`
    // argv[0] is the command name. Returns the process exit status.
    int (*run)(const std::vector<std::string>& args);
};

bool RegisterCommand(const Command& command);
const std::vector<Command>& Commands();

// Prints the message to stderr prefixed with "orvtool <command>: " and returns 1.
int Fail(std::string_view command, std::string_view message);
// True when args holds -h or --help.
bool WantsHelp(const std::vector<std::string>& args);

}  // namespace orv::tool
