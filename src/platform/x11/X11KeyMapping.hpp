#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace mosaiko {

// How X keysyms and modifier state become the fields of a KeyEvent, and back. No display needed.
class X11KeyMapping {
  public:
    // The core modifier bits (Mod1..Mod5) that stand for Option (Alt, Meta, AltGr) and Command
    // (Super, Hyper) on the current keyboard; Shift, Lock and Control have fixed bits.
    struct ModifierMasks {
        unsigned option = 0;
        unsigned command = 0;
        bool operator==(const ModifierMasks&) const = default;
    };

    // The virtual key code of a key whose unshifted keysym is `keysym`; nullopt for keysyms the
    // desktop table does not know.
    static std::optional<std::uint16_t> virtualKeyCode(unsigned long keysym);
    // The code for a key without a known keysym: distinct per X keycode and beyond the table.
    static std::uint16_t unknownKeyCode(unsigned keycode) {
        return static_cast<std::uint16_t>(0x100 + keycode);
    }
    // The keysym that types the key with this virtual key code; 0 when there is none.
    static unsigned long keysymForVirtualKeyCode(std::uint16_t keyCode);

    // Shift, Control, Alt, Super, Caps Lock, AltGr and their relatives: keys whose press is a
    // modifier change rather than a character.
    static bool isModifierKeysym(unsigned long keysym);
    // The KeyEvent modifier flags of an X event state.
    static std::uint64_t modifierFlags(unsigned state, ModifierMasks masks);
    // The option and command masks, given the keysyms bound to each of Mod1..Mod5.
    static ModifierMasks classifyModifier(unsigned long keysym, unsigned modBit, ModifierMasks masks);

    // The text a keysym types, UTF-8; with `control`, letters and @[\]^_ become control characters.
    // Caret, editing and function keys (arrows, Home, Delete, F1, Menu…) give a private-use character
    // of their own (U+F700 and up), with or without modifiers.
    static std::string characters(unsigned long keysym, bool control);
    // Whether a scalar is one of those characters of a caret, editing or function key: a key that
    // acts rather than types.
    static bool isFunctionKeyCharacter(char32_t scalar) { return scalar >= 0xF700 && scalar <= 0xF8FF; }
    // The accent a dead key types on its own (a dead key pressed twice, or before a space); empty
    // for any other keysym.
    static std::string deadKeyAccent(unsigned long keysym);

    // The keysym that types one Unicode scalar on a key of its own.
    static unsigned long keysymForCodePoint(char32_t codePoint);
};

}  // namespace mosaiko
