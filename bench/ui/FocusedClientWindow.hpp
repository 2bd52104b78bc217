#pragma once

#include <poll.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <map>
#include <string>

namespace mosaiko {

// A window of the bench that holds the keyboard focus, as the application a user types into, on a
// connection of its own.
class FocusedClientWindow {
  public:
    explicit FocusedClientWindow(const std::string& displayName)
        : display_(XOpenDisplay(displayName.c_str())) {
        if (!display_) return;
        window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 300, 100, 0, 0, 0);
        XClassHint hint{const_cast<char*>("bench"), const_cast<char*>("mosaiko-bench-client")};
        XSetClassHint(display_, window_, &hint);
        // It answers pings, as GTK and Qt windows do: the program knows from the answer that the
        // window has read every key it typed before, and may give their keycodes other characters.
        wmProtocols_ = XInternAtom(display_, "WM_PROTOCOLS", False);
        Atom ping = XInternAtom(display_, "_NET_WM_PING", False);
        XSetWMProtocols(display_, window_, &ping, 1);
        XSelectInput(display_, window_, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
        XMapWindow(display_, window_);
        XEvent event;
        do XNextEvent(display_, &event);
        while (event.type != MapNotify);
        XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
        XSync(display_, False);
    }
    ~FocusedClientWindow() {
        if (display_) XCloseDisplay(display_);
    }
    FocusedClientWindow(const FocusedClientWindow&) = delete;
    FocusedClientWindow& operator=(const FocusedClientWindow&) = delete;

    bool ok() const { return display_ != nullptr; }

    // Waits for the key event of this type and keycode; false when none came within `seconds`.
    bool waitFor(int type, unsigned keycode, double seconds) {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (true) {
            while (XPending(display_) > 0) {
                XEvent event;
                XNextEvent(display_, &event);
                count(event);
                if (event.type == type && event.xkey.keycode == keycode) return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return false;
            pollfd p{ConnectionNumber(display_), POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(left.count()));
        }
    }

    // Key presses of keys that are not modifiers that reached the window so far.
    int characterPresses() {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            count(event);
        }
        return characterPresses_;
    }

    // Key presses of `keycode` that reached the window so far.
    int presses(unsigned keycode) {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            count(event);
        }
        return presses_[keycode];
    }

  private:
    void count(XEvent& event) {
        if (event.type == MappingNotify) XRefreshKeyboardMapping(&event.xmapping);
        if (event.type == ClientMessage && event.xclient.message_type == wmProtocols_) {
            event.xclient.window = DefaultRootWindow(display_);
            XSendEvent(display_, event.xclient.window, False,
                       SubstructureNotifyMask | SubstructureRedirectMask, &event);
            XFlush(display_);
        }
        if (event.type != KeyPress) return;
        ++presses_[event.xkey.keycode];
        if (!IsModifierKey(XLookupKeysym(&event.xkey, 0))) ++characterPresses_;
    }

    Display* display_ = nullptr;
    Window window_ = 0;
    Atom wmProtocols_ = None;
    std::map<unsigned, int> presses_;  // by keycode
    int characterPresses_ = 0;
};

}  // namespace mosaiko
