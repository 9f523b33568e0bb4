// Instrument replies as hostile input: the decoder's accessors on any 176 bytes, and the whole
// exchange with the bytes arriving in arbitrary pieces and pauses.
//
// Input: byte 0 seeds the piece sizes and pauses; the rest is what the instrument sends.

#include "FakePrompt.h"
#include "FakeSerialPort.h"
#include "FakeSettingsStore.h"
#include "FakeTickClock.h"
#include "base/MeasurementSlot.h"
#include "config/Configuration.h"
#include "instrument/InstrumentDevice.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using namespace orv;

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

int64_t Touch(const MeasurementSlot& slot)
{
    int64_t sum = slot.SerialNumber() + slot.PresentMask() + slot.TickStamp();
    for (int i = 0; i < kFrequencyCount; ++i) {
        sum += slot.IsFrequencyMissing(i) ? 1 : 0;
        sum += slot.SignalRe(i) + slot.SignalIm(i) + slot.CurrentRe(i) + slot.CurrentIm(i);
        // The receiver scaling is a floor division by 128.
        Check(slot.SignalRe(i) ==
              (slot.Value(i, 0) - (((slot.Value(i, 0) % 128) + 128) % 128)) / 128);
    }
    return sum;
}

void DecodeDirectly(const uint8_t* data, size_t size)
{
    if (size < kReplySize) {
        return;
    }
    std::span<const uint8_t, kReplySize> reply(data, kReplySize);
    MeasurementSlot slot;
    const bool filled = slot.AssignReply(reply);
    Check(filled == !slot.IsEmpty());
    Touch(slot);
    for (int i = -1; i <= kFrequencyCount; ++i) {
        MeasurementSlot single;
        single.AssignSingle(reply, i);
        Check(single.SerialNumber() == 0);
        Check(single.PresentMask() == ((i >= 0 && i < kFrequencyCount) ? 1 : 0));
        Touch(single);
    }
    slot.Clear();
    Check(slot.IsEmpty() && slot.TickStamp() == 0);
}

struct Link
{
    FakeSettingsStore store;
    FakePrompt prompt;
    Configuration config{store, "/nonexistent/OrvCalibration.ini", prompt};
};

void Exchange(const uint8_t* data, size_t size)
{
    if (size < 1) {
        return;
    }
    static Link link;
    uint32_t seed = data[0] * 2654435761u + 1;
    const std::vector<uint8_t> bytes(data + 1, data + size);

    for (int kind = 0; kind < 3; ++kind) {
        FakeTickClock clock(seed);
        FakeSerialPort port(&clock);
        FakeSerialPort gps(&clock);
        InstrumentDevice device(link.config, port, gps, clock, link.prompt, nullptr, nullptr);
        if (!device.Connect()) {
            std::abort();
        }
        size_t at = 0;
        while (at < bytes.size()) {
            seed = seed * 1103515245u + 12345u;
            if ((seed >> 28) == 0) {
                port.Queue({});  // a pause
            }
            const size_t n = std::min(bytes.size() - at, size_t((seed >> 16) % 97) + 1);
            port.Queue(
                std::vector<uint8_t>(bytes.begin() + long(at), bytes.begin() + long(at + n)));
            at += n;
        }
        if (kind == 0) {
            MeasurementSlot slot;
            slot.bytes.fill(0xA5);
            const MeasurementSlot before = slot;
            const bool ok = device.Measure(slot);
            if (bytes.size() < kReplySize) {
                Check(!ok);
            }
            if (ok) {
                Check(!slot.IsEmpty());
                Check(std::equal(bytes.begin(), bytes.begin() + long(kReplySize),
                                 slot.bytes.begin()));
            } else {
                Check(slot.bytes == before.bytes);
            }
            Touch(slot);
        } else if (kind == 1) {
            std::array<MeasurementSlot, kFrequencyCount> slots{};
            const bool ok = device.MeasureSeries(slots);
            Check(ok == (bytes.size() >= kReplySize));
            for (const MeasurementSlot& s : slots) {
                Touch(s);
            }
        } else {
            uint32_t centivolts = 0;
            const bool ok = device.ReadBattery(centivolts);
            Check(ok == (bytes.size() >= 2));
            Check(centivolts <= 0xFFFF);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DecodeDirectly(data, size);
    Exchange(data, size);
    return 0;
}
