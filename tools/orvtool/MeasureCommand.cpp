// orvtool measure: one measurement (or one tracer series) from the instrument, printed as JSON.

#include "Command.h"
#include "HeadlessProgram.h"
#include "Json.h"
#include "base/PortNamer.h"
#include "base/TickClock.h"
#include "config/Configuration.h"
#include "config/ProgramPaths.h"
#include "instrument/InstrumentDevice.h"
#include "instrument/WireProtocol.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"

#include <QCoreApplication>

#include <array>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orv::tool {

// Named rather than anonymous: the commands are compiled together in batches.
namespace measure_command {

constexpr const char* kAbout =
    "Takes one measurement from the instrument on port N and prints it as JSON: the\n"
    "serial number, the present mask and frequency numbers, the tick stamp, per present\n"
    "frequency the four readings (receiver values after the instrument's 7-bit scaling,\n"
    "current values as sent), the reply bytes in hex, and the calibration the serial\n"
    "number selects. Nothing is saved.\n";

struct Options
{
    std::string settingsPath = SettingsFilePath();
    std::string calibrationPath = DefaultCalibrationPath();
    std::optional<int> port;
    long timeout = 40000;
    bool series = false;
    std::vector<int> mask;  // frequency numbers 1..14
};

std::string Hex(std::span<const uint8_t> bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

std::string SlotJson(const MeasurementSlot& slot)
{
    std::string numbers = "[";
    std::string blocks = "[";
    for (int i = 0; i < kFrequencyCount; ++i) {
        if (slot.IsFrequencyMissing(i)) {
            continue;
        }
        const bool first = numbers.size() == 1;
        numbers += (first ? "" : ",") + std::to_string(i + 1);
        blocks += (first ? "" : ",") + JsonObject()
                                           .Integer("frequency", i + 1)
                                           .Integer("signalRe", slot.SignalRe(i))
                                           .Integer("signalIm", slot.SignalIm(i))
                                           .Integer("currentRe", slot.CurrentRe(i))
                                           .Integer("currentIm", slot.CurrentIm(i))
                                           .Str();
    }
    return JsonObject()
        .Integer("serial", slot.SerialNumber())
        .Integer("presentMask", slot.PresentMask())
        .Raw("frequencies", numbers + "]")
        .Integer("tickStamp", slot.TickStamp())
        .Raw("blocks", blocks + "]")
        .Text("reply", Hex(std::span(slot.bytes).first(kReplySize)))
        .Str();
}

std::string CalibrationJson(const Configuration& config)
{
    char date[16];
    std::snprintf(date, sizeof date, "%02u/%02u/%u", unsigned(config.CalibrationKey.Day),
                  unsigned(config.CalibrationKey.Month), unsigned(config.CalibrationKey.Year));
    return JsonObject()
        .Integer("serial", config.CalibrationKey.Serial)
        .Text("date", date)
        .Text("comment", config.ActiveCalibration.Comment)
        .Str();
}

int Run(const Options& options)
{
    const long timeout = options.timeout;
    // The program's settings are read, never written: this command changes nothing stored.
    HeadlessProgram program(options.settingsPath, options.calibrationPath, uint32_t(timeout));
    Configuration& config = program.Core().Config();
    if (options.port) {
        config.BluetoothInboundPort = *options.port;
    }
    if (!options.mask.empty()) {
        config.UsedFrequencies = {};
        for (const int n : options.mask) {
            config.UsedFrequencies[size_t(n - 1)] = 1;
        }
    }
    if (!options.series && wire::FrequencyMask(config.UsedFrequencies) == 0) {
        return Fail("measure", "no frequency is active (give --mask)");
    }

    InstrumentDevice& device = program.Core().Device();
    if (!device.Connect()) {
        return Fail("measure", device.LastError());
    }
    std::fprintf(stderr, "waiting for the instrument on %s (at most %ld ms)...\n",
                 DevicePathForPort(unsigned(config.BluetoothInboundPort)).c_str(), timeout);
    std::string json;
    if (options.series) {
        std::array<MeasurementSlot, kFrequencyCount> slots{};
        if (!device.MeasureSeries(slots)) {
            return Fail("measure", "the series failed: " + device.LastError());
        }
        std::string list = "[";
        for (size_t i = 0; i < slots.size(); ++i) {
            list += (i == 0 ? "" : ",") + SlotJson(slots[i]);
        }
        json = JsonObject()
                   .Raw("series", list + "]")
                   .Raw("calibration", CalibrationJson(config))
                   .Str();
    } else {
        MeasurementSlot slot;
        if (!device.Measure(slot)) {
            return Fail("measure", "the measurement failed: " + device.LastError());
        }
        json = JsonObject()
                   .Raw("measurement", SlotJson(slot))
                   .Raw("calibration", CalibrationJson(config))
                   .Str();
    }
    std::printf("%s\n", json.c_str());
    return 0;
}

std::function<int()> Define(CLI::App& command)
{
    auto options = std::make_shared<Options>();
    command.footer(kAbout);
    AddPortOption(command, options->port);
    command.add_flag("--series", options->series,
                     "a tracer series: 14 samples of the first frequency");
    command
        .add_option("--mask", options->mask,
                    "frequencies to measure, numbers 1..14 (e.g. 1,2,5; default:\n"
                    "the program's active frequencies)")
        ->type_name("LIST")
        ->delimiter(',')
        ->allow_extra_args(false)
        ->transform(cmdline::Whole(1, kFrequencyCount));
    command
        .add_option("--timeout", options->timeout,
                    "give up after MS milliseconds without a whole reply\n"
                    "(default 40000)")
        ->type_name("MS")
        ->transform(cmdline::Whole(0, 3600000));
    AddSettingsOption(command, options->settingsPath);
    AddCalibrationOption(command, options->calibrationPath);
    return [options] { return Run(*options); };
}

const bool kRegistered =
    RegisterCommand({"measure", "take one measurement from the instrument", &Define});

}  // namespace measure_command

}  // namespace orv::tool
