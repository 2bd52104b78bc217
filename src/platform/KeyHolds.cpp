#include "platform/KeyHolds.hpp"

#include <algorithm>

#include "platform/Text.hpp"

namespace mosaiko {

namespace {

bool sameText(const std::string& a, const std::string& b) {
    return a == b || text::canonicallyEqual(a, b);
}

bool holdCovers(const KeyHold& hold, const KeyEvent& event) {
    const std::uint64_t flags = event.modifierFlags & ModifierFlag::shortcutMask;
    if (hold.modifiers && *hold.modifiers != flags) return false;
    if (hold.character.empty()) return hold.keyCode == event.keyCode;
    return sameText(hold.character, event.characters);
}

}  // namespace

bool KeyHold::followsTyped(const std::string& typedBefore, double secondsSince) const {
    return after.empty() || (secondsSince <= afterWithin && sameText(after, typedBefore));
}

bool KeyHolds::covers(const KeyEvent& event) const {
    if (event.type != KeyEvent::Type::keyDown) return false;
    if (everyKey || (event.modifierFlags & everyKeyWith) != 0) return true;
    return std::any_of(keys.begin(), keys.end(),
                       [&](const KeyHold& hold) { return holdCovers(hold, event); });
}

bool KeyHolds::asksAbout(const KeyEvent& event, const std::string& typedBefore, double secondsSince) const {
    if (event.type != KeyEvent::Type::keyDown) return false;
    if (everyKey || (event.modifierFlags & everyKeyWith) != 0) return true;
    return std::any_of(keys.begin(), keys.end(), [&](const KeyHold& hold) {
        return holdCovers(hold, event) && hold.followsTyped(typedBefore, secondsSince);
    });
}

}  // namespace mosaiko
