#pragma once
// The instrument's command frames. The controller is always the master: it sends one frame and
// reads a reply of fixed length, counting bytes; the reply has no framing and no checksum.
//
//   byte  0     1     2     3          4     5      6..       last
//         STX   0xF1  code  payload n  0x00  check  payload   ETX
//
//   Measure        02 F1 02 02 00 F5 <mask high> <mask low> 03   reply 176 bytes
//   MeasureSeries  02 F1 0A 02 00 F5 FF FF 03                    reply 176 bytes
//   ReadBattery    02 F1 07 01 00 F9 00 03                       reply 2 bytes
//
// The check byte is a constant per command. For codes 0x02 and 0x07 it is the low byte of the
// sum of bytes 1 to 4; the series command still sends 0xF5, and instruments expect exactly that.
// The command's frequency mask goes high byte first, while the reply's mask is little-endian.

#include "base/Frequencies.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace orv::wire {

constexpr uint8_t kStx = 0x02;
constexpr uint8_t kFixed1 = 0xF1;
constexpr uint8_t kEtx = 0x03;

constexpr uint8_t kMeasureCode = 0x02;
constexpr uint8_t kSeriesCode = 0x0A;
constexpr uint8_t kBatteryCode = 0x07;

constexpr size_t kMeasureFrameSize = 9;  // also the series frame
constexpr size_t kBatteryFrameSize = 8;
constexpr size_t kBatteryReplySize = 2;

// Every frequency of a 14-bit mask.
constexpr uint16_t kAllFrequencies = 0x3FFF;

using MeasureFrame = std::array<uint8_t, kMeasureFrameSize>;
using BatteryFrame = std::array<uint8_t, kBatteryFrameSize>;

// Bit i set when entry i of `usedFrequencies` is non-zero; bits 14 and 15 stay 0.
constexpr uint16_t FrequencyMask(std::span<const int, kFrequencyCount> usedFrequencies)
{
    uint16_t mask = 0;
    for (int i = 0; i < kFrequencyCount; ++i) {
        if (usedFrequencies[size_t(i)] != 0) {
            mask = uint16_t(mask | (1u << i));
        }
    }
    return mask;
}

constexpr MeasureFrame MeasureCommand(uint16_t mask)
{
    return {kStx, kFixed1, kMeasureCode, 0x02, 0x00, 0xF5, uint8_t(mask >> 8), uint8_t(mask), kEtx};
}

constexpr MeasureFrame SeriesCommand()
{
    return {kStx, kFixed1, kSeriesCode, 0x02, 0x00, 0xF5, 0xFF, 0xFF, kEtx};
}

constexpr BatteryFrame BatteryCommand()
{
    return {kStx, kFixed1, kBatteryCode, 0x01, 0x00, 0xF9, 0x00, kEtx};
}

// The battery reply: a big-endian unsigned 16-bit value in hundredths of a volt.
constexpr uint32_t BatteryCentivolts(std::span<const uint8_t, kBatteryReplySize> reply)
{
    return uint32_t{reply[0]} << 8 | uint32_t{reply[1]};
}

}  // namespace orv::wire
