#include "platform/x11/X11KeymapRecorder.hpp"

#include <gtest/gtest.h>
#include <poll.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <vector>

#include "support/XSession.hpp"

namespace mosaiko {
namespace {

using testing::XSession;

// A tool maps a spare key to a character, presses it and maps it to the next one, while presses are
// recorded and the recorder's thread leaves its connection unread: each press asked about is read
// then, in time for the key tap's wait, as what it typed. An ordinary key is not answered for.
TEST(X11KeymapRecorderTest, PressesAskedAboutAreReadAsTheyWereTyped) {
    XSession session;
    ASSERT_TRUE(session.ok()) << session.error();
    Display* d = session.connection();
    auto recorder = X11KeymapRecorder::start(session.display());
    ASSERT_NE(recorder, nullptr);
    // The server time of each press, from raw events on a connection of its own.
    Display* observer = XOpenDisplay(session.display().c_str());
    ASSERT_NE(observer, nullptr);
    int xiOpcode = 0, event = 0, error = 0;
    ASSERT_TRUE(XQueryExtension(observer, "XInputExtension", &xiOpcode, &event, &error));
    unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(mask, XI_RawKeyPress);
    XIEventMask events{XIAllMasterDevices, sizeof mask, mask};
    XISelectEvents(observer, DefaultRootWindow(observer), &events, 1);
    XSync(observer, False);
    recorder->recordPresses(true, 0);

    int first = 0, last = 0;
    XDisplayKeycodes(d, &first, &last);
    auto spare = static_cast<unsigned>(first);
    while (XkbKeycodeToKeysym(d, static_cast<::KeyCode>(spare), 0, 0) != NoSymbol) ++spare;
    const unsigned plain = XKeysymToKeycode(d, XK_a);
    struct Press {
        unsigned keycode;
        KeySym mappedTo;  // NoSymbol: not remapped
    };
    const std::vector<Press> presses{{spare, XK_eacute}, {plain, NoSymbol}, {spare, XK_udiaeresis}};
    for (const Press& press : presses) {
        if (press.mappedTo != NoSymbol) {
            KeySym both[] = {press.mappedTo, press.mappedTo};
            XChangeKeyboardMapping(d, static_cast<int>(spare), 2, both, 1);
        }
        XTestFakeKeyEvent(d, press.keycode, True, CurrentTime);
        XTestFakeKeyEvent(d, press.keycode, False, CurrentTime);
    }
    KeySym none[] = {NoSymbol, NoSymbol};
    XChangeKeyboardMapping(d, static_cast<int>(spare), 2, none, 1);
    XSync(d, False);

    std::vector<Time> times;
    while (times.size() < presses.size()) {
        pollfd p{ConnectionNumber(observer), POLLIN, 0};
        if (XPending(observer) == 0 && ::poll(&p, 1, 5000) <= 0) break;
        XEvent e;
        XNextEvent(observer, &e);
        if (!XGetEventData(observer, &e.xcookie)) continue;
        if (e.xcookie.extension == xiOpcode)
            times.push_back(static_cast<const XIRawEvent*>(e.xcookie.data)->time);
        XFreeEventData(observer, &e.xcookie);
    }
    ASSERT_EQ(times.size(), presses.size());
    for (std::size_t i = 0; i < presses.size(); ++i) {
        SCOPED_TRACE(i);
        const auto typed = recorder->typed(presses[i].keycode, times[i], 0.25);
        if (presses[i].mappedTo == NoSymbol) {
            EXPECT_FALSE(typed.has_value());
            continue;
        }
        ASSERT_TRUE(typed.has_value());
        ASSERT_FALSE(typed->keysyms.empty());
        EXPECT_EQ(typed->keysyms[0], presses[i].mappedTo);
        EXPECT_TRUE(typed->remappedSince);
    }
    XCloseDisplay(observer);
    recorder.reset();  // ends without waiting for the unattended reading
}

}  // namespace
}  // namespace mosaiko
