#include "ui/KeyBindings.h"

#include "resources/ResourceIds.h"
#include "ui/KeyRouter.h"

namespace orv {

namespace {

constexpr KeyBinding kBindings[] = {
    {DesktopKey::PageUp, handheld_key::kPreviousPage, string_id::kKeyPreviousPage},
    {DesktopKey::PageDown, handheld_key::kNextPage, string_id::kKeyNextPage},
    {DesktopKey::Space, handheld_key::kStart1, string_id::kKeyStart},
    {DesktopKey::F10, handheld_key::kStartF10, string_id::kKeyStart},
    {DesktopKey::Plus, handheld_key::kFrequencyUp, string_id::kKeyHigherFrequency},
    {DesktopKey::Minus, handheld_key::kFrequencyDown, string_id::kKeyLowerFrequency},
    {DesktopKey::Left, handheld_key::kLeft, string_id::kKeyArrows},
    {DesktopKey::Up, handheld_key::kUp, string_id::kKeyArrows},
    {DesktopKey::Right, handheld_key::kRight, string_id::kKeyArrows},
    {DesktopKey::Down, handheld_key::kDown, string_id::kKeyArrows},
    {DesktopKey::Enter, handheld_key::kEnter, string_id::kKeyEnter},
};

}  // namespace

std::span<const KeyBinding> HandheldKeyBindings() { return kBindings; }

std::optional<uint32_t> HandheldCodeFor(DesktopKey key)
{
    for (const KeyBinding& b : kBindings) {
        if (b.key == key) {
            return b.handheldCode;
        }
    }
    return std::nullopt;
}

}  // namespace orv
