// orvtool battery: the instrument's battery voltage, printed as JSON.

#include "Command.h"
#include "Json.h"
#include "HeadlessProgram.h"
#include "base/TickClock.h"
#include "config/Configuration.h"
#include "config/ProgramPaths.h"
#include "instrument/InstrumentDevice.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace orv::tool {

namespace {

constexpr const char* kHelp =
    "Usage: orvtool battery [--port N] [OPTIONS]\n"
    "Reads the battery voltage of the instrument on port N and prints it as JSON:\n"
    "{\"centivolts\":1250,\"volts\":12.5}. Nothing is saved.\n\n"
    "Options:\n"
    "  --port N          port number, opened as the path ORVCONTROL_PORT_PATTERN gives\n"
    "                    (default /dev/rfcomm%u; default N: the program's setting)\n"
    "  --timeout MS      give up after MS milliseconds without a reply (default 40000)\n"
    "  --settings FILE   settings file (default: the program's own)\n";

int Run(const std::vector<std::string>& args)
{
    if (WantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    std::string settingsPath = SettingsFilePath();
    long port = -1;
    long timeout = 40000;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a != "--port" && a != "--timeout" && a != "--settings") {
            return Fail("battery", "unknown option '" + a + "' (see --help)");
        }
        if (i + 1 >= args.size()) {
            return Fail("battery", a + " needs a value");
        }
        const std::string& value = args[++i];
        if (a == "--settings") {
            settingsPath = value;
            continue;
        }
        char* end = nullptr;
        errno = 0;
        const long n = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || errno != 0 || n < 0 ||
            n > (a == "--port" ? 65535 : 3600000)) {
            return Fail("battery", "bad value '" + value + "' for " + a);
        }
        (a == "--port" ? port : timeout) = n;
    }

    // Read only; the calibration plays no part in a battery reading.
    HeadlessProgram program(settingsPath, "", uint32_t(timeout));
    Configuration& config = program.Core().Config();
    if (port >= 0) {
        config.BluetoothInboundPort = int(port);
    }
    InstrumentDevice& device = program.Core().Device();
    uint32_t centivolts = 0;
    if (!device.Connect()) {
        return Fail("battery", device.LastError());
    }
    if (!device.ReadBattery(centivolts)) {
        return Fail("battery", "cannot read the battery: " + device.LastError());
    }
    std::printf("%s\n", JsonObject()
                            .Integer("centivolts", centivolts)
                            .Number("volts", centivolts * 0.01)
                            .Str()
                            .c_str());
    return 0;
}

const bool kRegistered =
    RegisterCommand({"battery", "read the instrument's battery voltage", &Run});

}  // namespace

}  // namespace orv::tool
