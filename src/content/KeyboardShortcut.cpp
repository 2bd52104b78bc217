#include "content/KeyboardShortcut.hpp"

#include <limits>

#include "content/JsonDecoding.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

using namespace json_decoding;

std::string KeyboardShortcut::displayString() const {
    std::string out;
    // Always in this order, whatever the order of the bits.
    if (modifierFlagsRawValue & ModifierFlag::control) out += "\u2303";
    if (modifierFlagsRawValue & ModifierFlag::option) out += "\u2325";
    if (modifierFlagsRawValue & ModifierFlag::shift) out += "\u21E7";
    if (modifierFlagsRawValue & ModifierFlag::command) out += "\u2318";
    out += keyEquivalent == " " ? std::string("Space") : text::uppercased(keyEquivalent);
    return out;
}

std::optional<std::string> KeyboardShortcut::keyEquivalentFrom(const KeyEvent& event) {
    const std::string& typed =
        event.charactersIgnoringModifiers.empty() ? event.characters : event.charactersIgnoringModifiers;
    if (text::characterCount(typed) != 1) return std::nullopt;
    // Return, Tab, Escape, Delete and the like are no key equivalents.
    if (text::isControl(text::scalars(typed).front())) return std::nullopt;
    return text::lowercased(typed);
}

std::optional<KeyboardShortcut> KeyboardShortcut::recorded(const KeyEvent& event) {
    constexpr std::uint64_t commandLike =
        ModifierFlag::control | ModifierFlag::option | ModifierFlag::command;
    if ((event.modifierFlags & commandLike) == 0) return std::nullopt;  // Shift alone is not enough
    auto key = keyEquivalentFrom(event);
    if (!key) return std::nullopt;
    return KeyboardShortcut{event.keyCode, event.modifierFlags & ModifierFlag::shortcutMask, std::move(*key)};
}

bool KeyboardShortcut::matches(const KeyEvent& event) const {
    return event.keyCode == keyCode &&
           (event.modifierFlags & ModifierFlag::shortcutMask) == modifierFlagsRawValue;
}

KeyboardShortcut KeyboardShortcut::fromJson(const Json& json) {
    requireObject(json, "keyboard shortcut");
    // Numbers must fit their fields exactly: a key code of 65 536 is not key code 0.
    auto keyCode = json::unsignedInteger(json, "keyCode", std::numeric_limits<std::uint16_t>::max());
    if (!keyCode) throw DecodingError("\"keyCode\" is missing or not a 16-bit unsigned integer");
    auto flags =
        json::unsignedInteger(json, "modifierFlagsRawValue", std::numeric_limits<std::uint64_t>::max());
    if (!flags) throw DecodingError("\"modifierFlagsRawValue\" is missing or not a 64-bit unsigned integer");
    return KeyboardShortcut{static_cast<std::uint16_t>(*keyCode), *flags,
                            requiredString(json, "keyEquivalent")};
}

Json KeyboardShortcut::toJson() const {
    return Json{{"keyCode", keyCode},
                {"modifierFlagsRawValue", modifierFlagsRawValue},
                {"keyEquivalent", keyEquivalent}};
}

}  // namespace mosaiko
