#include "platform/x11/X11AccessibilityTrust.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdlib>

#include "platform/x11/X11Display.hpp"

namespace mosaiko {

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Whether this client may grab keys on the root window: tries a few combinations nobody is likely
// to hold (a conflict with another client's grab is no refusal) and releases them at once.
bool canGrabKeys(Display* display) {
    int minKeycode = 0, maxKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    const Window root = DefaultRootWindow(display);
    const unsigned modifiers = Mod3Mask | Mod5Mask | LockMask | ControlMask;
    for (int keycode = maxKeycode; keycode >= minKeycode && keycode > maxKeycode - 8; --keycode) {
        X11ErrorTrap trap;
        XGrabKey(display, keycode, modifiers, root, False, GrabModeAsync, GrabModeSync);
        XSync(display, False);
        if (trap.empty()) {
            XUngrabKey(display, keycode, modifiers, root);
            XSync(display, False);
            return true;
        }
    }
    return false;
}

}  // namespace

std::string X11AccessibilityTrust::reason() const {
    const bool hasDisplay = !displayName_.empty() || isSet("DISPLAY");
    if (!hasDisplay) {
        if (isSet("WAYLAND_DISPLAY")) {
            return "This is a Wayland session without X11 support (Xwayland), so Mosaiko cannot see or type "
                   "keys.";
        }
        return "No X11 display is available (DISPLAY is not set), so Mosaiko cannot see or type keys.";
    }
    auto display = X11Display::open(displayName_);
    if (!display) {
        const char* name = displayName_.empty() ? std::getenv("DISPLAY") : displayName_.c_str();
        return std::string("Mosaiko cannot connect to the X11 display \"") + (name ? name : "") + "\".";
    }
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display->get(), &eventBase, &errorBase, &major, &minor)) {
        return "The X11 display does not offer the XTEST extension, so Mosaiko cannot type into other "
               "applications.";
    }
    if (!canGrabKeys(display->get())) {
        return "The X11 display does not let Mosaiko watch the keyboard (key grabs are refused).";
    }
    return {};
}

}  // namespace mosaiko
