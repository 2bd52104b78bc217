#include "platform/x11/X11AccessibilityTrust.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <cstdlib>

#include "platform/x11/X11Display.hpp"

namespace mosaiko {

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Whether this client may hold keys: a grab on a window of our own, where no other client's grab
// can be in the way (not even our own key tap's on the root window), is refused only when the
// server denies this client grabs altogether.
bool canGrabKeys(Display* display) {
    const Window window = XCreateWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, InputOnly,
                                        CopyFromParent, 0, nullptr);
    X11ErrorTrap trap;
    int minKeycode = 0, maxKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    XGrabKey(display, maxKeycode, ControlMask, window, False, GrabModeAsync, GrabModeSync);
    XSync(display, False);
    const bool granted = trap.empty();
    XDestroyWindow(display, window);  // with its grab
    XSync(display, False);
    return granted;
}

// Whether the server reports every key press, whoever holds it (XInput 2.1 raw events and later).
bool hasRawKeyEvents(Display* display) {
    int opcode = 0, event = 0, error = 0;
    if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &error)) return false;
    int major = 2, minor = 2;
    return XIQueryVersion(display, &major, &minor) == Success && (major > 2 || (major == 2 && minor >= 1));
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
    if (!hasRawKeyEvents(display->get())) {
        return "The X11 display does not offer XInput 2.1 or later, so Mosaiko cannot watch the keyboard.";
    }
    if (!canGrabKeys(display->get())) {
        return "The X11 display does not let Mosaiko watch the keyboard (key grabs are refused).";
    }
    return {};
}

}  // namespace mosaiko
