#include "platform/x11/X11KeyTapRetype.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <vector>

namespace mosaiko {

void typeKeyAgain(Display* display, unsigned keycode, unsigned state) {
    constexpr unsigned kHeld = ShiftMask | ControlMask | Mod1Mask | Mod3Mask | Mod4Mask | Mod5Mask;
    std::vector<unsigned> modifiers;  // one key per modifier bit, from the current modifier map
    if (state & kHeld) {
        if (XModifierKeymap* map = XGetModifierMapping(display)) {
            for (int mod = 0; mod < 8; ++mod) {
                if (!(state & kHeld & (1u << mod))) continue;
                for (int i = 0; i < map->max_keypermod; ++i) {
                    const unsigned modifier = map->modifiermap[mod * map->max_keypermod + i];
                    if (modifier == 0) continue;
                    modifiers.push_back(modifier);
                    break;
                }
            }
            XFreeModifiermap(map);
        }
    }
    for (unsigned modifier : modifiers) XTestFakeKeyEvent(display, modifier, True, CurrentTime);
    XTestFakeKeyEvent(display, keycode, True, CurrentTime);
    XTestFakeKeyEvent(display, keycode, False, CurrentTime);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
        XTestFakeKeyEvent(display, *it, False, CurrentTime);
    XSync(display, False);
}

}  // namespace mosaiko
