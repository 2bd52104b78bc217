#pragma once

#include <cstdint>
#include <string>

namespace mosaiko {

// Virtual key codes, numbered as the picker's key handling expects them (the classic desktop
// layout-independent codes); the X11 adapter translates keysyms into these.
namespace KeyCode {
inline constexpr std::uint16_t a = 0;
inline constexpr std::uint16_t returnKey = 36;
inline constexpr std::uint16_t tab = 48;
inline constexpr std::uint16_t space = 49;
inline constexpr std::uint16_t deleteKey = 51;  // backspace
inline constexpr std::uint16_t escape = 53;
inline constexpr std::uint16_t command = 55;
inline constexpr std::uint16_t shift = 56;
inline constexpr std::uint16_t capsLock = 57;
inline constexpr std::uint16_t option = 58;
inline constexpr std::uint16_t control = 59;
inline constexpr std::uint16_t rightShift = 60;
inline constexpr std::uint16_t rightOption = 61;
inline constexpr std::uint16_t rightControl = 62;
inline constexpr std::uint16_t keypadEnter = 76;
inline constexpr std::uint16_t forwardDelete = 117;
inline constexpr std::uint16_t leftArrow = 123;
inline constexpr std::uint16_t rightArrow = 124;
inline constexpr std::uint16_t downArrow = 125;
inline constexpr std::uint16_t upArrow = 126;
}  // namespace KeyCode

namespace ModifierFlag {
inline constexpr std::uint64_t capsLock = 0x10000;
inline constexpr std::uint64_t shift = 0x20000;
inline constexpr std::uint64_t control = 0x40000;
inline constexpr std::uint64_t option = 0x80000;
inline constexpr std::uint64_t command = 0x100000;
// The four bits shortcuts store and compare.
inline constexpr std::uint64_t shortcutMask = 0x1E0000;
}  // namespace ModifierFlag

// Written into the user-data field of every key event this program synthesizes ("MSKO").
inline constexpr std::int64_t kEventMarker = 0x4D534B4F;
// Carried by a press of the user's that the key tap held back while the program typed, and that the
// program typed again after its own text ("MSKR"): the handler has had it already.
inline constexpr std::int64_t kRetypedEventMarker = 0x4D534B52;
// Carried by the press of a key no keyboard has that the program posts just before such a press
// ("MSKA"): the press of that key after it is the program's, whereas one before it is a press of the
// user's of the same key, typed meanwhile. The key tap drops it.
inline constexpr std::int64_t kRetypeAnnouncementMarker = 0x4D534B41;
// Carried by a press of the program's text that the key tap withholds ("MSKW"): a press before it in
// the same text was lost, and the text is typed again from there. The key tap drops it.
inline constexpr std::int64_t kWithheldEventMarker = 0x4D534B57;

// One keyboard event as the key tap hands it to its handler.
struct KeyEvent {
    enum class Type : std::uint32_t {
        keyDown = 10,
        flagsChanged = 12,
        // Reported when the keys asked for a mark (KeyTapPort::mark) have come: userData carries it.
        mark = 0xFFFFFFF0,
        tapDisabledByTimeout = 0xFFFFFFFE,
        tapDisabledByUserInput = 0xFFFFFFFF,
    };

    Type type = Type::keyDown;
    std::uint16_t keyCode = 0;
    std::uint64_t modifierFlags = 0;
    std::string characters;                   // UTF-8, as typed with the modifiers held
    std::string charactersIgnoringModifiers;  // UTF-8, as typed without modifiers
    std::int64_t userData = 0;                // "field 42": kEventMarker on our own events
    // Whether the key waits for the handler's answer. A key outside the keys the tap holds (see
    // KeyHolds) has reached the application already and can no longer be dropped.
    bool held = true;
    // When the display server saw the key, in seconds of its own clock; 0 when unknown. A handler
    // that gets round to keys late (a program stopped for a while) times them by this.
    double serverTime = 0;

    // What the key is; its time is left out.
    bool operator==(const KeyEvent& other) const {
        return type == other.type && keyCode == other.keyCode && modifierFlags == other.modifierFlags &&
               characters == other.characters &&
               charactersIgnoringModifiers == other.charactersIgnoringModifiers &&
               userData == other.userData && held == other.held;
    }
};

}  // namespace mosaiko
