#pragma once
// CRC-32 (IEEE 802.3, the reflected polynomial 0xEDB88320) of bytes, from zlib. The journal uses
// it to recognise its records and the session file it continues; `crc` chains a previous result,
// so Crc32(b, Crc32(a)) equals the CRC of a followed by b.

#include <cstdint>
#include <span>
#include <zlib.h>

namespace orv {

[[nodiscard]] inline uint32_t Crc32(std::span<const uint8_t> bytes, uint32_t crc = 0)
{
    return static_cast<uint32_t>(::crc32_z(crc, bytes.data(), bytes.size()));
}

}  // namespace orv
