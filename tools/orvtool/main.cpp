// orvtool: session files, calibration files, settings and instrument exchanges from the
// command line. Output goes to stdout as JSON or CSV, errors to stderr with a non-zero status.

#include <cstdio>
#include <string>
#include <vector>

#include "Command.h"

namespace orv::tool {

namespace {

std::vector<Command>& Registry()
{
    static std::vector<Command> commands;
    return commands;
}

void PrintUsage(std::FILE* out)
{
    std::fprintf(out,
                 "Usage: orvtool COMMAND [OPTIONS]...\n"
                 "Field controller tools for the ORV sounding instrument.\n\nCommands:\n");
    for (const Command& c : Commands()) {
        std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
    }
    std::fprintf(out, "\n'orvtool COMMAND --help' describes a command.\n");
}

}  // namespace

bool RegisterCommand(const Command& command)
{
    auto& commands = Registry();
    auto it = commands.begin();
    while (it != commands.end() && std::string(it->name) < command.name) {
        ++it;
    }
    commands.insert(it, command);
    return true;
}

const std::vector<Command>& Commands() { return Registry(); }

int Fail(std::string_view command, std::string_view message)
{
    std::fprintf(stderr, "orvtool %.*s: %.*s\n", int(command.size()), command.data(),
                 int(message.size()), message.data());
    return 1;
}

bool WantsHelp(const std::vector<std::string>& args)
{
    for (const auto& a : args) {
        if (a == "-h" || a == "--help") {
            return true;
        }
    }
    return false;
}

}  // namespace orv::tool

int main(int argc, char** argv)
{
    using namespace orv::tool;
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    const std::string name = argv[1];
    if (name == "-h" || name == "--help" || name == "help") {
        PrintUsage(stdout);
        return 0;
    }
    for (const Command& c : Commands()) {
        if (name == c.name) {
            std::vector<std::string> args(argv + 1, argv + argc);
            return c.run(args);
        }
    }
    std::fprintf(stderr, "orvtool: unknown command '%s'\n", name.c_str());
    PrintUsage(stderr);
    return 2;
}
