#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "content/DecodingError.hpp"
#include "platform/Json.hpp"
#include "platform/KeyEvent.hpp"

namespace mosaiko {

// A global keyboard shortcut (the library's).
struct KeyboardShortcut {
    std::uint16_t keyCode = 0;
    std::uint64_t modifierFlagsRawValue = 0;  // only the bits of ModifierFlag::shortcutMask
    std::string keyEquivalent;                // one character, lowercased; " " for the space bar

    // As Linux desktops write it: "Ctrl+Alt+Shift+Super+K", "Alt+Space", "Super+F12".
    std::string displayString() const;
    // The shortcut a key-down event records, when it holds Ctrl, Alt or Super and a key.
    static std::optional<KeyboardShortcut> recorded(const KeyEvent& event);
    // The event's key code equals keyCode and its flags, masked, equal the stored flags exactly.
    bool matches(const KeyEvent& event) const;

    // Throws DecodingError on a missing key, a wrong type, or a number that does not fit its width.
    static KeyboardShortcut fromJson(const Json& json);
    Json toJson() const;

    bool operator==(const KeyboardShortcut&) const = default;

  private:
    static std::optional<std::string> keyEquivalentFrom(const KeyEvent& event);
};

}  // namespace mosaiko
