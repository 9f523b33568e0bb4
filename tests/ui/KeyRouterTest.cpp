#include "ui/KeyRouter.h"

#include "ui/KeyBindings.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

TEST(KeyRouter, RoutesKeysAsTheHandheldDid)
{
    using M = KeyMessage;
    using R = KeyRoute;
    const struct
    {
        const char* legend;
        KeyInput input;
        bool mainActive;
        KeyRoute route;
    } cases[] = {
        {"0xC1 on a setup page: previous page", {M::KeyDown, 0xC1, false}, false, R::PreviousPage},
        {"0xC4 on the Main page: next page", {M::KeyDown, 0xC4, false}, true, R::NextPage},
        {"0xC4 as a system key", {M::SystemKeyDown, 0xC4, false}, false, R::NextPage},
        {"held arrow on the Main page repeats", {M::KeyDown, 0x26, true}, true, R::ToMainPage},
        {"system key on the Main page", {M::SystemKeyDown, 0x41, false}, true, R::ToMainPage},
        {"character on the Main page", {M::Character, 'a', false}, true, R::ToMainPage},
        {"auto-repeated character on the Main page", {M::Character, 'a', true}, true, R::Consumed},
        {"Enter on a setup page never closes the sheet",
         {M::KeyDown, 0x0D, false},
         false,
         R::Consumed},
        {"Enter on the Main page goes to the page", {M::KeyDown, 0x0D, false}, true, R::ToMainPage},
        {"arrow on a setup page moves in the list", {M::KeyDown, 0x28, false}, false, R::Normal},
        {"character on a setup page is typed", {M::Character, '7', false}, false, R::Normal},
        // Characters that share their code with a command key must not command.
        {"'y' (0x79, as F10) does not start a measurement",
         {M::Character, 'y', false},
         true,
         R::Consumed},
        {"'(' (0x28, as Down) does not move", {M::Character, '(', false}, true, R::Consumed},
        {"Latin-1 0xC4 does not switch pages", {M::Character, 0xC4, false}, false, R::Normal},
        {"Latin-1 0xC1 on the Main page is swallowed",
         {M::Character, 0xC1, false},
         true,
         R::Consumed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        const KeyDecision d = RouteKey(c.input, c.mainActive);
        EXPECT_EQ(d.route, c.route);
        if (d.route == R::ToMainPage) {
            EXPECT_EQ(d.code, c.input.code);
            EXPECT_EQ(d.repeat, c.input.repeat);
        }
    }
}

TEST(KeyRouter, EveryHandheldKeyHasOneDesktopKey)
{
    // The keys Parts of the program act on: page switching, Start, frequency steps, arrows, OK.
    const uint32_t wanted[] = {0xC1, 0xC4, 0x79, 0xC5, 0xC2, 0xC3, 0x25, 0x26, 0x27, 0x28, 0x0D};
    for (const uint32_t code : wanted) {
        SCOPED_TRACE(code);
        int bound = 0;
        for (const KeyBinding& b : HandheldKeyBindings()) {
            bound += b.handheldCode == code ? 1 : 0;
            EXPECT_NE(b.descriptionId, 0);
        }
        EXPECT_EQ(bound, 1);
    }
    EXPECT_EQ(HandheldCodeFor(DesktopKey::PageDown), 0xC4u);
}

}  // namespace
}  // namespace orv
