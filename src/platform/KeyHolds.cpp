#include "platform/KeyHolds.hpp"

#include <algorithm>

#include "platform/Text.hpp"

namespace mosaiko {

bool KeyHolds::covers(const KeyEvent& event) const {
    if (event.type != KeyEvent::Type::keyDown) return false;
    if (everyKey || (event.modifierFlags & everyKeyWith) != 0) return true;
    const std::uint64_t flags = event.modifierFlags & ModifierFlag::shortcutMask;
    return std::any_of(keys.begin(), keys.end(), [&](const KeyHold& hold) {
        if (hold.modifiers && *hold.modifiers != flags) return false;
        if (hold.character.empty()) return hold.keyCode == event.keyCode;
        return hold.character == event.characters || text::canonicallyEqual(hold.character, event.characters);
    });
}

}  // namespace mosaiko
