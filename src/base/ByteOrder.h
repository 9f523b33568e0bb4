#pragma once
// Byte order of stored and sent numbers. Session files and settings blobs are little-endian;
// the instrument's 24-bit readings are big-endian two's complement. Each byte is widened to the
// unsigned result before it is shifted.

#include <bit>
#include <cstdint>
#include <cstring>

namespace orv {

namespace little_endian {

constexpr uint16_t Load16(const uint8_t* p)
{
    return uint16_t(uint16_t{p[0]} | uint16_t{p[1]} << 8);
}

constexpr uint32_t Load32(const uint8_t* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

constexpr void Store16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

constexpr void Store32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

inline float LoadFloat(const uint8_t* p) { return std::bit_cast<float>(Load32(p)); }
inline void StoreFloat(uint8_t* p, float v) { Store32(p, std::bit_cast<uint32_t>(v)); }

inline double LoadDouble(const uint8_t* p)
{
    const uint64_t v = uint64_t{Load32(p)} | uint64_t{Load32(p + 4)} << 32;
    return std::bit_cast<double>(v);
}

inline void StoreDouble(uint8_t* p, double d)
{
    const auto v = std::bit_cast<uint64_t>(d);
    Store32(p, uint32_t(v));
    Store32(p + 4, uint32_t(v >> 32));
}

}  // namespace little_endian

namespace big_endian {

constexpr uint16_t Load16(const uint8_t* p)
{
    return uint16_t(uint16_t{p[0]} << 8 | uint16_t{p[1]});
}

constexpr uint32_t Load24(const uint8_t* p)
{
    return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | uint32_t{p[2]};
}

constexpr void Store24(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v >> 16);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v);
}

}  // namespace big_endian

// The instrument's 24-bit values are two's complement.
constexpr int32_t SignExtend24(uint32_t v) { return int32_t(v << 8) >> 8; }

}  // namespace orv
