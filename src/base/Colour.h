#pragma once
// A colour word laid out 0x00BBGGRR: red in the lowest byte, green next, blue in the third byte,
// the top byte 0. kNoColour stands for no colour at all.

#include <cstdint>

namespace orv {

using Colour = uint32_t;

constexpr Colour kNoColour = 0xFFFFFFFFu;

constexpr Colour MakeColour(uint32_t red, uint32_t green, uint32_t blue)
{
    return (red & 0xFFu) | (green & 0xFFu) << 8 | (blue & 0xFFu) << 16;
}
constexpr uint32_t RedOf(Colour c) { return c & 0xFFu; }
constexpr uint32_t GreenOf(Colour c) { return (c >> 8) & 0xFFu; }
constexpr uint32_t BlueOf(Colour c) { return (c >> 16) & 0xFFu; }

}  // namespace orv
