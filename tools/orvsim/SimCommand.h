#pragma once
// orvsim's subcommands register themselves like orvtool's (see common/CommandLine.h).

#include "common/CommandLine.h"

#include <string_view>

namespace orv::sim {

using cmdline::Command;
using cmdline::RegisterCommand;

// Prints "orvsim <command>: <message>" to stderr and returns 1.
inline int Fail(std::string_view command, std::string_view message)
{
    return cmdline::Fail("orvsim", command, message);
}

}  // namespace orv::sim
