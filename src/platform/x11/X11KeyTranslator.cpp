#include "platform/x11/X11KeyTranslator.hpp"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>

namespace mosaiko {

namespace {

constexpr unsigned kGroupBits = 0x6000;  // the layout group in an event state (bits 13 and 14)

}  // namespace

X11KeyTranslator::X11KeyTranslator(Display* display) : display_(display) {
    refresh();
}

void X11KeyTranslator::refresh() {
    masks_ = {};
    std::fill(std::begin(modBitsOfKeycode_), std::end(modBitsOfKeycode_), 0);
    XModifierKeymap* map = XGetModifierMapping(display_);
    if (!map) return;
    for (int mod = 0; mod < 8; ++mod) {
        for (int i = 0; i < map->max_keypermod; ++i) {
            const ::KeyCode keycode = map->modifiermap[mod * map->max_keypermod + i];
            if (keycode == 0) continue;
            modBitsOfKeycode_[keycode] |= static_cast<unsigned char>(1u << mod);
            if (mod < 3) continue;  // Shift, Lock and Control have fixed meanings
            for (int level = 0; level < 2; ++level) {
                const KeySym keysym = XkbKeycodeToKeysym(display_, keycode, 0, level);
                masks_ = X11KeyMapping::classifyModifier(keysym, 1u << mod, masks_);
            }
        }
    }
    XFreeModifiermap(map);
}

unsigned long X11KeyTranslator::keysymAt(unsigned keycode, unsigned state) const {
    XKeyEvent event{};
    event.type = KeyPress;
    event.display = display_;
    event.keycode = keycode;
    event.state = state;
    char buffer[16];
    KeySym keysym = NoSymbol;
    XLookupString(&event, buffer, sizeof buffer, &keysym, nullptr);
    return keysym;
}

std::uint16_t X11KeyTranslator::virtualKeyCode(unsigned keycode) const {
    // The key's plain symbol in any group names it, else its shifted one (digits on some layouts).
    for (int level = 0; level < 2; ++level) {
        for (int group = 0; group < 4; ++group) {
            const KeySym keysym = XkbKeycodeToKeysym(display_, static_cast<::KeyCode>(keycode), group, level);
            if (keysym == NoSymbol) continue;
            if (auto code = X11KeyMapping::virtualKeyCode(keysym)) return *code;
        }
    }
    return X11KeyMapping::unknownKeyCode(keycode);
}

bool X11KeyTranslator::types(unsigned keycode, const std::string& character) const {
    for (int group = 0; group < 4; ++group) {
        for (int level = 0; level < 4; ++level) {
            const KeySym keysym = XkbKeycodeToKeysym(display_, static_cast<::KeyCode>(keycode), group, level);
            if (keysym != NoSymbol && X11KeyMapping::characters(keysym, false) == character) return true;
        }
    }
    return false;
}

unsigned X11KeyTranslator::modifiersOf(const std::bitset<256>& down) const {
    unsigned mods = 0;
    for (unsigned keycode = 0; keycode < 256; ++keycode) {
        if (down.test(keycode)) mods |= modBitsOfKeycode_[keycode];
    }
    return mods;
}

unsigned X11KeyTranslator::usedModifiers() const {
    unsigned used = 0;
    for (unsigned char bits : modBitsOfKeycode_) used |= bits;
    return used;
}

bool X11KeyTranslator::isModifierKeycode(unsigned keycode) const {
    return keycode < 256 && X11KeyMapping::isModifierKeysym(XkbKeycodeToKeysym(display_, keycode, 0, 0));
}

KeyEvent X11KeyTranslator::press(unsigned keycode, unsigned state) const {
    KeyEvent event;
    event.keyCode = virtualKeyCode(keycode);
    const KeySym keysym = keysymAt(keycode, state);
    if (X11KeyMapping::isModifierKeysym(keysym) && keycode < 256) {
        event.type = KeyEvent::Type::flagsChanged;
        unsigned after = state | modBitsOfKeycode_[keycode];
        if (modBitsOfKeycode_[keycode] & LockMask) after = (state & LockMask) ? (after & ~LockMask) : after;
        event.modifierFlags = X11KeyMapping::modifierFlags(after, masks_);
        return event;
    }
    event.type = KeyEvent::Type::keyDown;
    event.modifierFlags = X11KeyMapping::modifierFlags(state, masks_);
    event.characters = X11KeyMapping::characters(keysym, (state & ControlMask) != 0);
    const unsigned plainState = state & (ShiftMask | kGroupBits);
    event.charactersIgnoringModifiers = X11KeyMapping::characters(keysymAt(keycode, plainState), false);
    return event;
}

KeyEvent X11KeyTranslator::modifierRelease(unsigned keycode, unsigned modsAfter) const {
    KeyEvent event;
    event.type = KeyEvent::Type::flagsChanged;
    event.keyCode = virtualKeyCode(keycode);
    event.modifierFlags = X11KeyMapping::modifierFlags(modsAfter, masks_);
    return event;
}

}  // namespace mosaiko
