#pragma once
// One stored measurement: the instrument's 176-byte reply as received, followed by the 32-bit
// tick stamp the exchange adds (little-endian), 180 bytes in all; the unit of storage in surveys
// and session files. The reply holds 14 frequency blocks of four big-endian 24-bit values
// (signal re/im, current re/im), the present mask at 168..169 (little-endian, 14 bits) and the
// instrument's serial number at 175.

#include "base/ByteOrder.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

namespace orv {

constexpr size_t kReplySize = 176;
constexpr size_t kSlotSize = 180;
constexpr size_t kBlockSize = 12;
constexpr size_t kMaskOffset = 168;
constexpr size_t kSerialOffset = 175;
constexpr size_t kTickOffset = 176;

struct MeasurementSlot
{
    std::array<uint8_t, kSlotSize> bytes{};

    // Clears the mask, the serial number and the tick stamp; the blocks stay as they are.
    void Clear()
    {
        bytes[kMaskOffset] = 0;
        bytes[kMaskOffset + 1] = 0;
        bytes[kSerialOffset] = 0;
        SetTickStamp(0);
    }
    [[nodiscard]] bool IsEmpty() const
    {
        return bytes[kMaskOffset] == 0 && (bytes[kMaskOffset + 1] & 0x3F) == 0;
    }
    [[nodiscard]] bool IsFrequencyMissing(int i) const
    {
        if (i < 8) {
            return (bytes[kMaskOffset] & (1u << i)) == 0;
        }
        return (bytes[kMaskOffset + 1] & (1u << (i - 8))) == 0;
    }
    // 14-bit mask of the frequencies that hold data.
    [[nodiscard]] uint16_t PresentMask() const
    {
        return uint16_t(little_endian::Load16(&bytes[kMaskOffset]) & 0x3FFF);
    }
    [[nodiscard]] uint8_t SerialNumber() const { return IsEmpty() ? 0 : bytes[kSerialOffset]; }
    [[nodiscard]] uint32_t TickStamp() const { return little_endian::Load32(&bytes[kTickOffset]); }
    void SetTickStamp(uint32_t tick) { little_endian::Store32(&bytes[kTickOffset], tick); }

    // Copies the reply (not the tick stamp); true when the result is not empty.
    bool AssignReply(std::span<const uint8_t, kReplySize> reply)
    {
        std::copy(reply.begin(), reply.end(), bytes.begin());
        return !IsEmpty();
    }
    // One sample of a tracer series: block i of the reply becomes block 0, present mask 1.
    bool AssignSingle(std::span<const uint8_t, kReplySize> reply, int i)
    {
        std::fill(bytes.begin(), bytes.begin() + kReplySize, uint8_t{0});
        if (i >= 0 && i <= 13) {
            const auto block = reply.subspan(kBlockSize * size_t(i), kBlockSize);
            std::copy(block.begin(), block.end(), bytes.begin());
            bytes[kMaskOffset] = 1;
        }
        return !IsEmpty();
    }

    // Receiver values are delivered shifted right arithmetically by 7 bits (floor of / 128);
    // current values unscaled.
    [[nodiscard]] int32_t SignalRe(int i) const { return Value(i, 0) >> 7; }
    [[nodiscard]] int32_t SignalIm(int i) const { return Value(i, 3) >> 7; }
    [[nodiscard]] int32_t CurrentRe(int i) const { return Value(i, 6); }
    [[nodiscard]] int32_t CurrentIm(int i) const { return Value(i, 9); }

    // The raw 24-bit value at `offset` (0, 3, 6, 9) of block i.
    [[nodiscard]] int32_t Value(int i, size_t offset) const
    {
        return SignExtend24(big_endian::Load24(&bytes[kBlockSize * size_t(i) + offset]));
    }
};

static_assert(kSlotSize == 180 && kReplySize + 4 == kSlotSize);

}  // namespace orv
