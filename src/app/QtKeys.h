#pragma once
// Qt's keys as the handheld's key messages. A bound key (KeyBindings.h) becomes one key down
// with the handheld code of its binding; any other key becomes a key down (letters and digits
// keep their code, other keys give 0) followed, when it types a character, by a character
// message, as the handheld's window system delivered them. Keys held with Ctrl, Alt or Meta are
// the menus' shortcuts and give nothing here.

#include "ui/KeyBindings.h"
#include "ui/KeyRouter.h"

#include <QString>

#include <optional>
#include <vector>

class QKeyEvent;

namespace orv {

std::optional<DesktopKey> DesktopKeyFor(int qtKey);
int QtKeyFor(DesktopKey key);
// The key's name as the operator's keyboard shows it.
QString DesktopKeyName(DesktopKey key);

std::vector<KeyInput> TranslateKeyEvent(const QKeyEvent& event);

}  // namespace orv
