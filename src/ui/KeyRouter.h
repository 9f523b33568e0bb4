#pragma once
// What the main sheet does with a key message before any page sees it. The codes are the
// handheld's virtual-key codes; on a desktop the window first translates its keys with
// HandheldKeyBindings().
//
//   1. 0xC1 (key down or system key down): previous page; 0xC4: next page. Consumed.
//   2. Main page active: key down and system key down go to that page as key down with the same
//      code and repeat flag; a character goes to it as key down only when it is not an
//      auto-repeat (bit 30 of the key data clear). All consumed.
//   3. Otherwise a key down of Enter (0x0D) is consumed (handed to the window system, which has
//      nothing to do with it here: Enter never closes the sheet).
//   4. Anything else gets the normal processing of the focused control.
//
// A character message carries a character code, not a key code, and several characters share
// their code with a command key ('y' is 0x79, the Start key F10; '%' to '(' are the arrows;
// 0xC1..0xC6 are letters of Latin-1). Such a character is consumed on the Main page without
// reaching it, and never switches pages, so typing cannot start a measurement or move the cursor.

#include <cstdint>

namespace orv {

namespace handheld_key {
constexpr uint32_t kEnter = 0x0D;
constexpr uint32_t kLeft = 0x25;
constexpr uint32_t kUp = 0x26;
constexpr uint32_t kRight = 0x27;
constexpr uint32_t kDown = 0x28;
constexpr uint32_t kStartF10 = 0x79;
constexpr uint32_t kPreviousPage = 0xC1;
constexpr uint32_t kFrequencyDown = 0xC2;  // frequency step with delta +1: next lower
constexpr uint32_t kFrequencyUp = 0xC3;    // frequency step with delta -1: next higher
constexpr uint32_t kNextPage = 0xC4;
constexpr uint32_t kStart1 = 0xC5;
constexpr uint32_t kStart2 = 0xC6;
}  // namespace handheld_key

enum class KeyMessage { KeyDown, Character, SystemKeyDown };

struct KeyInput
{
    KeyMessage message = KeyMessage::KeyDown;
    uint32_t code = 0;
    // Bit 30 of the key data: the key was already down (an auto-repeat).
    bool repeat = false;
};

enum class KeyRoute {
    PreviousPage,
    NextPage,
    ToMainPage,  // deliver KeyDecision::code as a key down to the Main page
    Consumed,    // swallowed, nothing else happens
    Normal,      // the focused control's own processing
};

struct KeyDecision
{
    KeyRoute route = KeyRoute::Normal;
    uint32_t code = 0;
    bool repeat = false;
};

KeyDecision RouteKey(const KeyInput& input, bool mainPageActive);

// True for the codes that command the sheet or the Main pages.
bool IsCommandKeyCode(uint32_t code);

}  // namespace orv
