// orvsim: an ORV instrument or a GPS receiver on a pseudo-terminal, linked where the port
// pattern says the port lives, for trying and testing OrvControl without hardware.

#include "SimCommand.h"

#include <cstdio>
#include <string>
#include <vector>

namespace orv::sim {

namespace {

std::vector<Command>& Registry()
{
    static std::vector<Command> commands;
    return commands;
}

void PrintUsage(std::FILE* out)
{
    std::fprintf(out,
                 "Usage: orvsim COMMAND [OPTIONS]...\nSimulators for OrvControl.\n\nCommands:\n");
    for (const Command& c : Registry()) {
        std::fprintf(out, "  %-12s %s\n", c.name, c.summary);
    }
    std::fprintf(out, "\n'orvsim COMMAND --help' describes a command.\n");
}

}  // namespace

bool RegisterCommand(const Command& command)
{
    Registry().push_back(command);
    return true;
}

}  // namespace orv::sim

int main(int argc, char** argv)
{
    using namespace orv::sim;
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    const std::string name = argv[1];
    if (name == "-h" || name == "--help" || name == "help") {
        PrintUsage(stdout);
        return 0;
    }
    for (const Command& c : Registry()) {
        if (name == c.name) {
            return c.run(std::vector<std::string>(argv + 1, argv + argc));
        }
    }
    std::fprintf(stderr, "orvsim: unknown command '%s'\n", name.c_str());
    PrintUsage(stderr);
    return 2;
}
