// orvtool battery: the instrument's battery voltage, printed as JSON.

#include "Command.h"
#include "HeadlessProgram.h"
#include "Json.h"
#include "base/TickClock.h"
#include "config/Configuration.h"
#include "config/ProgramPaths.h"
#include "instrument/InstrumentDevice.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"

#include <QCoreApplication>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orv::tool {

// Named rather than anonymous: the commands are compiled together in batches.
namespace battery_command {

constexpr const char* kAbout =
    "Reads the battery voltage of the instrument on port N and prints it as JSON:\n"
    "{\"centivolts\":1250,\"volts\":12.5}. Nothing is saved.\n";

struct Options
{
    std::string settingsPath = SettingsFilePath();
    std::optional<int> port;
    long timeout = 40000;
};

int Run(const Options& options)
{
    // Read only; the calibration plays no part in a battery reading.
    HeadlessProgram program(options.settingsPath, "", uint32_t(options.timeout));
    Configuration& config = program.Core().Config();
    if (options.port) {
        config.BluetoothInboundPort = *options.port;
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

std::function<int()> Define(CLI::App& command)
{
    auto options = std::make_shared<Options>();
    command.footer(kAbout);
    AddPortOption(command, options->port);
    command
        .add_option("--timeout", options->timeout,
                    "give up after MS milliseconds without a reply (default 40000)")
        ->type_name("MS")
        ->transform(cmdline::Whole(0, 3600000));
    AddSettingsOption(command, options->settingsPath);
    return [options] { return Run(*options); };
}

const bool kRegistered =
    RegisterCommand({"battery", "read the instrument's battery voltage", &Define});

}  // namespace battery_command

}  // namespace orv::tool
