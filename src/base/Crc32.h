#pragma once
// CRC-32 (IEEE 802.3, the reflected polynomial 0xEDB88320) of bytes, the CRC of zlib's crc32. The
// journal uses it to recognise its records and the session file it continues; `crc` chains a
// previous result, so Crc32(b, Crc32(a)) equals the CRC of a followed by b.

#include <cstdint>
#include <span>

namespace orv {

[[nodiscard]] uint32_t Crc32(std::span<const uint8_t> bytes, uint32_t crc = 0);

}  // namespace orv
