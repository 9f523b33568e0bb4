// orvtool measure: one measurement (or one tracer series) from the instrument, printed as JSON.

#include "Command.h"
#include "Json.h"
#include "HeadlessProgram.h"
#include "base/TickClock.h"
#include "config/Configuration.h"
#include "config/ProgramPaths.h"
#include "instrument/InstrumentDevice.h"
#include "base/PortNamer.h"
#include "instrument/WireProtocol.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"

#include <QCoreApplication>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace orv::tool {

namespace {

constexpr const char* kHelp =
    "Usage: orvtool measure [--port N] [--series] [--mask LIST] [OPTIONS]\n"
    "Takes one measurement from the instrument on port N and prints it as JSON: the\n"
    "serial number, the present mask and frequency numbers, the tick stamp, per present\n"
    "frequency the four readings (receiver values after the instrument's 7-bit scaling,\n"
    "current values as sent), the reply bytes in hex, and the calibration the serial\n"
    "number selects. Nothing is saved.\n\n"
    "Options:\n"
    "  --port N             port number, opened as the path ORVCONTROL_PORT_PATTERN gives\n"
    "                       (default /dev/rfcomm%u; default N: the program's setting)\n"
    "  --series             a tracer series: 14 samples of the first frequency\n"
    "  --mask LIST          frequencies to measure, numbers 1..14 (e.g. 1,2,5; default:\n"
    "                       the program's active frequencies)\n"
    "  --timeout MS         give up after MS milliseconds without a whole reply\n"
    "                       (default 40000)\n"
    "  --settings FILE      settings file (default: the program's own)\n"
    "  --calibration FILE   calibration file (default: the program's own)\n";

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

// "1,2,5" into UsedFrequencies; false when a number is not 1..14.
bool ParseMask(const std::string& text, std::array<int, kFrequencyCount>& used)
{
    std::array<int, kFrequencyCount> result{};
    size_t start = 0;
    bool any = false;
    while (start <= text.size()) {
        const size_t comma = text.find(',', start);
        const std::string item =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        char* end = nullptr;
        const long n = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || n < 1 || n > kFrequencyCount) {
            return false;
        }
        result[size_t(n - 1)] = 1;
        any = true;
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    used = result;
    return any;
}

int Run(const std::vector<std::string>& args)
{
    if (WantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    std::string settingsPath = SettingsFilePath();
    std::string calibrationPath = DefaultCalibrationPath();
    long port = -1;
    long timeout = 40000;
    bool series = false;
    std::string mask;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--series") {
            series = true;
            continue;
        }
        if (a != "--port" && a != "--mask" && a != "--timeout" && a != "--settings" &&
            a != "--calibration") {
            return Fail("measure", "unknown option '" + a + "' (see --help)");
        }
        if (i + 1 >= args.size()) {
            return Fail("measure", a + " needs a value");
        }
        const std::string& value = args[++i];
        char* end = nullptr;
        if (a == "--port" || a == "--timeout") {
            errno = 0;
            const long n = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || errno != 0 || n < 0 ||
                n > (a == "--port" ? 65535 : 3600000)) {
                return Fail("measure", "bad value '" + value + "' for " + a);
            }
            (a == "--port" ? port : timeout) = n;
        } else if (a == "--mask") {
            mask = value;
        } else if (a == "--settings") {
            settingsPath = value;
        } else {
            calibrationPath = value;
        }
    }

    // The program's settings are read, never written: this command changes nothing stored.
    HeadlessProgram program(settingsPath, calibrationPath, uint32_t(timeout));
    Configuration& config = program.Core().Config();
    if (port >= 0) {
        config.BluetoothInboundPort = int(port);
    }
    if (!mask.empty() && !ParseMask(mask, config.UsedFrequencies)) {
        return Fail("measure", "--mask takes frequency numbers 1..14 separated by commas");
    }
    if (!series && wire::FrequencyMask(config.UsedFrequencies) == 0) {
        return Fail("measure", "no frequency is active (give --mask)");
    }

    InstrumentDevice& device = program.Core().Device();
    if (!device.Connect()) {
        return Fail("measure", device.LastError());
    }
    std::fprintf(stderr, "waiting for the instrument on %s (at most %ld ms)...\n",
                 DevicePathForPort(unsigned(config.BluetoothInboundPort)).c_str(), timeout);
    std::string json;
    if (series) {
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

const bool kRegistered =
    RegisterCommand({"measure", "take one measurement from the instrument", &Run});

}  // namespace

}  // namespace orv::tool
