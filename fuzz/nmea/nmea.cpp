// Fuzzes the NMEA parser as the reader thread drives it: the input is cut into chunks of
// varying size (taken from the first byte), fed through the parser, and every fix it yields
// goes to the matcher with a queued request, so interpolation sees hostile values too.

#include "base/MessagePoster.h"
#include "base/TickClock.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"
#include "gps/NmeaStream.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

namespace {

class StepClock final : public orv::TickClock
{
public:
    uint32_t Now() override { return now += 97; }
    void Sleep(uint32_t ms) override { now += ms; }
    uint32_t now = 0xFFFF0000u;  // wraps during a long input
};

// Every position the matcher posts must be a finite place.
class Sink final : public orv::MessagePoster
{
public:
    void Post(const orv::ProgramMessage& message) override
    {
        if (message.fix &&
            (!std::isfinite(message.fix->latitude) || !std::isfinite(message.fix->longitude))) {
            __builtin_trap();
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const size_t chunk = size_t{data[0]} + 1;
    const std::span<const uint8_t> bytes(data + 1, size - 1);

    StepClock clock;
    orv::NmeaParser parser(clock);
    orv::GpsMatcher matcher(clock);
    Sink sink;
    orv::NmeaStream stream;
    for (size_t offset = 0; offset < bytes.size(); offset += chunk) {
        const size_t n = chunk < bytes.size() - offset ? chunk : bytes.size() - offset;
        matcher.RequestPosition({&sink, uint32_t(offset), clock.now});
        const auto step = stream.Process(parser, bytes.subspan(offset, n), clock.Now());
        if (step.fix) {
            matcher.AddFix(*step.fix);
        }
    }
    orv::GpsStatus status;
    parser.Snapshot(status);
    return 0;
}
