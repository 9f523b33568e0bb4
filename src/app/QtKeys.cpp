#include "app/QtKeys.h"

#include <QKeyEvent>
#include <QKeySequence>

namespace orv {

namespace {

struct QtBinding
{
    DesktopKey key;
    Qt::Key qtKey;
};

constexpr QtBinding kQtKeys[] = {
    {DesktopKey::PageUp, Qt::Key_PageUp}, {DesktopKey::PageDown, Qt::Key_PageDown},
    {DesktopKey::Space, Qt::Key_Space},   {DesktopKey::F10, Qt::Key_F10},
    {DesktopKey::Plus, Qt::Key_Plus},     {DesktopKey::Minus, Qt::Key_Minus},
    {DesktopKey::Left, Qt::Key_Left},     {DesktopKey::Up, Qt::Key_Up},
    {DesktopKey::Right, Qt::Key_Right},   {DesktopKey::Down, Qt::Key_Down},
    {DesktopKey::Enter, Qt::Key_Return},
};

}  // namespace

std::optional<DesktopKey> DesktopKeyFor(int qtKey)
{
    if (qtKey == Qt::Key_Enter) {  // the keypad's Enter
        return DesktopKey::Enter;
    }
    for (const QtBinding& b : kQtKeys) {
        if (b.qtKey == qtKey) {
            return b.key;
        }
    }
    return std::nullopt;
}

int QtKeyFor(DesktopKey key)
{
    for (const QtBinding& b : kQtKeys) {
        if (b.key == key) {
            return b.qtKey;
        }
    }
    return 0;
}

QString DesktopKeyName(DesktopKey key)
{
    return QKeySequence(QtKeyFor(key)).toString(QKeySequence::NativeText);
}

std::vector<KeyInput> TranslateKeyEvent(const QKeyEvent& event)
{
    constexpr auto kShortcutModifiers = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if ((event.modifiers() & kShortcutModifiers) != 0) {
        return {};
    }
    const bool repeat = event.isAutoRepeat();
    const int qtKey = event.key();
    if (const auto bound = DesktopKeyFor(qtKey)) {
        if (const auto code = HandheldCodeFor(*bound)) {
            return {KeyInput{KeyMessage::KeyDown, *code, repeat}};
        }
    }
    switch (qtKey) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_Meta:
        case Qt::Key_AltGr:
        case Qt::Key_CapsLock:
            return {};
        default:
            break;
    }
    uint32_t code = 0;
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) {
        code = static_cast<uint32_t>(qtKey);
    }
    std::vector<KeyInput> messages{KeyInput{KeyMessage::KeyDown, code, repeat}};
    const QString text = event.text();
    if (!text.isEmpty() && text.at(0).isPrint()) {
        messages.push_back(KeyInput{KeyMessage::Character, text.at(0).unicode(), repeat});
    }
    return messages;
}

}  // namespace orv
