#pragma once
// orvsim's subcommands register themselves like orvtool's.

#include <string>
#include <vector>

namespace orv::sim {

struct Command
{
    const char* name;
    const char* summary;
    int (*run)(const std::vector<std::string>& args);  // args[0] is the command name
};

bool RegisterCommand(const Command& command);

}  // namespace orv::sim
