#pragma once
// The keys of a desktop or tablet that stand in for the handheld's hardware keys. The window
// translates a key press into the handheld code of its binding and routes that (KeyRouter.h);
// the Help menu and the README list the same table.
//
//   Page Up      0xC1  previous page            Space, F10   0xC5, 0x79  Start
//   Page Down    0xC4  next page                + / -        0xC3, 0xC2  higher / lower frequency
//   arrows       0x25..0x28                     Enter        0x0D        OK

#include <cstdint>
#include <optional>
#include <span>

namespace orv {

enum class DesktopKey {
    PageUp,
    PageDown,
    Space,
    F10,
    Plus,
    Minus,
    Left,
    Up,
    Right,
    Down,
    Enter,
};

struct KeyBinding
{
    DesktopKey key;
    uint32_t handheldCode;
    int descriptionId;  // string table
};

std::span<const KeyBinding> HandheldKeyBindings();
std::optional<uint32_t> HandheldCodeFor(DesktopKey key);

}  // namespace orv
