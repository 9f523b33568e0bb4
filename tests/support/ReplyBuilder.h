#pragma once
// Instrument replies for tests, built byte by byte as the instrument sends them.

#include "base/ByteOrder.h"
#include "base/MeasurementSlot.h"

#include <array>
#include <cstdint>
#include <vector>

namespace orv::test {

inline std::vector<uint8_t> Reply(uint16_t mask, uint8_t serial, uint8_t fill = 0)
{
    std::vector<uint8_t> reply(kReplySize, fill);
    for (size_t i = 0; i < kMaskOffset; ++i) {
        reply[i] = uint8_t(i + fill);  // every block different, so a misplaced copy shows
    }
    reply[kMaskOffset] = uint8_t(mask);
    reply[kMaskOffset + 1] = uint8_t(mask >> 8);
    reply[kSerialOffset] = serial;
    return reply;
}

inline std::vector<uint8_t> Head(const std::vector<uint8_t>& bytes, size_t n)
{
    return {bytes.begin(), bytes.begin() + long(n)};
}

inline std::vector<uint8_t> Tail(const std::vector<uint8_t>& bytes, size_t from)
{
    return {bytes.begin() + long(from), bytes.end()};
}

inline std::vector<uint8_t> ReplyOf(const MeasurementSlot& slot)
{
    return {slot.bytes.begin(), slot.bytes.begin() + long(kReplySize)};
}

}  // namespace orv::test
