#include "content/KeyboardShortcut.hpp"

#include <limits>

#include "content/JsonDecoding.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

using namespace json_decoding;

namespace {

// The names Linux desktops give the keys that type no text of their own. The key tap reports them
// with the private-use characters of the classic desktop's function keys.
std::optional<std::string> functionKeyName(char32_t c) {
    if (c >= 0xF704 && c <= 0xF726) return "F" + std::to_string(c - 0xF704 + 1);
    switch (c) {
        case 0xF700:
            return "Up";
        case 0xF701:
            return "Down";
        case 0xF702:
            return "Left";
        case 0xF703:
            return "Right";
        case 0xF727:
            return "Insert";
        case 0xF728:
            return "Delete";
        case 0xF729:
            return "Home";
        case 0xF72A:
            return "Begin";
        case 0xF72B:
            return "End";
        case 0xF72C:
            return "Page Up";
        case 0xF72D:
            return "Page Down";
        case 0xF72E:
            return "Print";
        case 0xF72F:
            return "Scroll Lock";
        case 0xF730:
            return "Pause";
        case 0xF731:
            return "SysRq";
        case 0xF732:
            return "Break";
        case 0xF735:
            return "Menu";
        case 0xF739:
            return "Clear";
        case 0xF741:
            return "Select";
        case 0xF742:
            return "Execute";
        case 0xF743:
            return "Undo";
        case 0xF744:
            return "Redo";
        case 0xF745:
            return "Find";
        case 0xF746:
            return "Help";
        default:
            return std::nullopt;
    }
}

std::string keyName(const std::string& keyEquivalent) {
    if (keyEquivalent == " ") return "Space";
    const std::u32string scalars = text::scalars(keyEquivalent);
    if (scalars.size() == 1) {
        if (auto name = functionKeyName(scalars.front())) return *name;
    }
    return text::uppercased(keyEquivalent);
}

}  // namespace

std::string KeyboardShortcut::displayString() const {
    std::string out;
    const auto add = [&out](const std::string& part) {
        if (!out.empty()) out += '+';
        out += part;
    };
    // Always in this order, whatever the order of the bits; the stored bits keep their old names
    // (Control, Option, Shift, Command), the desktop's keys are Ctrl, Alt, Shift and Super.
    if (modifierFlagsRawValue & ModifierFlag::control) add("Ctrl");
    if (modifierFlagsRawValue & ModifierFlag::option) add("Alt");
    if (modifierFlagsRawValue & ModifierFlag::shift) add("Shift");
    if (modifierFlagsRawValue & ModifierFlag::command) add("Super");
    if (!keyEquivalent.empty()) add(keyName(keyEquivalent));
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
