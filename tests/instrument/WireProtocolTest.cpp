#include "instrument/WireProtocol.h"

#include "base/MeasurementSlot.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace {

using namespace orv;

std::array<int, kFrequencyCount> Active(std::initializer_list<int> numbers)
{
    std::array<int, kFrequencyCount> used{};
    for (const int n : numbers) {
        used[size_t(n - 1)] = 1;
    }
    return used;
}

TEST(WireProtocol, FramesCarryTheMaskHighByteFirst)
{
    const std::array<uint8_t, 9> firstSecondLast = {0x02, 0xF1, 0x02, 0x02, 0x00,
                                                    0xF5, 0x20, 0x03, 0x03};
    EXPECT_EQ(wire::MeasureCommand(wire::FrequencyMask(Active({1, 2, 14}))), firstSecondLast);
    std::array<int, kFrequencyCount> all{};
    all.fill(7);  // any non-zero entry is active
    const auto allFrame = wire::MeasureCommand(wire::FrequencyMask(all));
    EXPECT_EQ(allFrame[6], 0x3F);
    EXPECT_EQ(allFrame[7], 0xFF);
    // The series command keeps the constant check byte 0xF5, not the sum 0xFD.
    const std::array<uint8_t, 9> series = {0x02, 0xF1, 0x0A, 0x02, 0x00, 0xF5, 0xFF, 0xFF, 0x03};
    EXPECT_EQ(wire::SeriesCommand(), series);
    const std::array<uint8_t, 8> battery = {0x02, 0xF1, 0x07, 0x01, 0x00, 0xF9, 0x00, 0x03};
    EXPECT_EQ(wire::BatteryCommand(), battery);
    const std::array<uint8_t, 2> volts = {0x04, 0xE2};
    EXPECT_EQ(wire::BatteryCentivolts(volts), 1250u);
}

TEST(MeasurementSlot, DecodesSignedBigEndianReadingsAndScalesTheReceiver)
{
    struct Case
    {
        const char* legend;
        std::array<uint8_t, 3> bytes;
        int32_t raw;
        int32_t scaled;  // receiver value after the 7-bit arithmetic shift
    };
    const Case cases[] = {
        {"most negative", {0x80, 0x00, 0x00}, -8388608, -65536},
        {"minus one rounds down", {0xFF, 0xFF, 0xFF}, -1, -1},
        {"255 is one step", {0x00, 0x00, 0xFF}, 255, 1},
        {"-129 rounds down to -2", {0xFF, 0xFF, 0x7F}, -129, -2},
        {"largest", {0x7F, 0xFF, 0xFF}, 8388607, 65535},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        MeasurementSlot slot;
        // Frequency 13 (the last block): signal re at 156, im at 159, current re at 162, im 165.
        for (size_t field = 0; field < 4; ++field) {
            std::memcpy(&slot.bytes[156 + 3 * field], c.bytes.data(), 3);
        }
        EXPECT_EQ(slot.SignalRe(13), c.scaled);
        EXPECT_EQ(slot.SignalIm(13), c.scaled);
        EXPECT_EQ(slot.CurrentRe(13), c.raw);
        EXPECT_EQ(slot.CurrentIm(13), c.raw);
    }
}

TEST(MeasurementSlot, MaskBitsDecideEmptinessAndSerial)
{
    MeasurementSlot slot;
    slot.bytes[kSerialOffset] = 42;
    slot.bytes[kMaskOffset + 1] = 0xC0;  // bits 6 and 7 of the high byte do not count
    EXPECT_TRUE(slot.IsEmpty());
    EXPECT_EQ(slot.SerialNumber(), 0);
    slot.bytes[kMaskOffset + 1] = 0xE0;  // bit 5: frequency 13
    EXPECT_FALSE(slot.IsEmpty());
    EXPECT_FALSE(slot.IsFrequencyMissing(13));
    EXPECT_TRUE(slot.IsFrequencyMissing(12));
    EXPECT_EQ(slot.PresentMask(), 0x2000);
    EXPECT_EQ(slot.SerialNumber(), 42);
    slot.SetTickStamp(0xA1B2C3D4);
    EXPECT_EQ(slot.bytes[176], 0xD4);  // little-endian after the reply
    slot.Clear();
    EXPECT_TRUE(slot.IsEmpty());
    EXPECT_EQ(slot.TickStamp(), 0u);
}

}  // namespace
