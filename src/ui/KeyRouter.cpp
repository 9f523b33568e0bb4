#include "ui/KeyRouter.h"

namespace orv {

bool IsCommandKeyCode(uint32_t code)
{
    switch (code) {
        case handheld_key::kEnter:
        case handheld_key::kLeft:
        case handheld_key::kUp:
        case handheld_key::kRight:
        case handheld_key::kDown:
        case handheld_key::kStartF10:
            return true;
        default:
            return code >= handheld_key::kPreviousPage && code <= handheld_key::kStart2;
    }
}

KeyDecision RouteKey(const KeyInput& input, bool mainPageActive)
{
    const bool isCharacter = input.message == KeyMessage::Character;
    if (!isCharacter) {
        if (input.code == handheld_key::kPreviousPage) {
            return {KeyRoute::PreviousPage, input.code, input.repeat};
        }
        if (input.code == handheld_key::kNextPage) {
            return {KeyRoute::NextPage, input.code, input.repeat};
        }
    }
    if (mainPageActive) {
        if (!isCharacter) {
            return {KeyRoute::ToMainPage, input.code, input.repeat};
        }
        if (input.repeat || IsCommandKeyCode(input.code)) {
            return {KeyRoute::Consumed, input.code, input.repeat};
        }
        return {KeyRoute::ToMainPage, input.code, false};
    }
    if (input.message == KeyMessage::KeyDown && input.code == handheld_key::kEnter) {
        return {KeyRoute::Consumed, input.code, input.repeat};
    }
    return {KeyRoute::Normal, input.code, input.repeat};
}

}  // namespace orv
