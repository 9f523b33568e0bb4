#pragma once
// The instrument and GPS ports are numbered as on the handheld ("COM%u:"). A port number maps to
// a device path through a printf pattern with one %u: by default "/dev/rfcomm%u" on Linux and
// "COM%u" on Windows; the environment variable ORVCONTROL_PORT_PATTERN overrides it. The
// simulators put a symbolic link at the path the pattern gives.

#include <string>

namespace orv {

// The handheld's own name of port n, "COM%u:".
std::string HandheldPortName(unsigned n);
// The device path of port n on this platform.
std::string DevicePathForPort(unsigned n);
// The pattern in force (environment or default).
std::string PortPattern();

}  // namespace orv
