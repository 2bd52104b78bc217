#pragma once

#include <bitset>
#include <cstdint>
#include <string>

#include "platform/KeyEvent.hpp"
#include "platform/x11/X11KeyMapping.hpp"

typedef struct _XDisplay Display;

namespace mosaiko {

// Turns key presses on one connection into KeyEvents, following the connection's current keyboard
// mapping and layout group. Refresh it whenever the server announces a new mapping.
class X11KeyTranslator {
  public:
    explicit X11KeyTranslator(Display* display);

    // Re-reads the modifier map (which Mod bits are Alt and Super, which keycodes set which bits).
    void refresh();

    // The event for a press of `keycode` with the server's modifier and group `state` just before
    // it: a flags-changed event for modifier keys (with the flags after the press), else a key-down.
    KeyEvent press(unsigned keycode, unsigned state) const;
    bool isModifierKeycode(unsigned keycode) const;
    // The flags-changed event for the release of the modifier key `keycode`, given the effective
    // core modifiers after the release.
    KeyEvent modifierRelease(unsigned keycode, unsigned modsAfter) const;

    X11KeyMapping::ModifierMasks masks() const { return masks_; }
    // The core modifier bits some key sets; no event carries any other.
    unsigned usedModifiers() const;
    // The core modifier bits the keys `down` set while they are down.
    unsigned modifiersOf(const std::bitset<256>& down) const;

    // The virtual key code the key's events carry.
    std::uint16_t virtualKeyCode(unsigned keycode) const;
    // Whether the key types `character` in some layout group at some level.
    bool types(unsigned keycode, const std::string& character) const;

    // The keysym the key types in this state.
    unsigned long keysymAt(unsigned keycode, unsigned state) const;

  private:
    Display* display_;
    X11KeyMapping::ModifierMasks masks_;
    unsigned char modBitsOfKeycode_[256] = {};
};

}  // namespace mosaiko
