#include "platform/x11/X11KeyTap.hpp"

#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <limits>
#include <thread>

#include "KeyEventPrinter.hpp"
#include "platform/MainLoop.hpp"
#include "platform/x11/X11EventPoster.hpp"
#include "support/TextClient.hpp"

namespace mosaiko {
namespace {

using testing::TextClient;
using testing::waitFor;
using testing::waitUntil;
using testing::XSession;

// The callback's view of the keyboard: every event it received, and a rule for dropping keys.
struct Recorder {
    std::vector<KeyEvent> events;
    std::function<bool(const KeyEvent&)> drop = [](const KeyEvent&) { return false; };

    KeyTapPort::Callback callback() {
        return [this](const KeyEvent& event) {
            events.push_back(event);
            return drop(event);
        };
    }
    std::vector<KeyEvent> ofType(KeyEvent::Type type) const {
        std::vector<KeyEvent> result;
        for (const auto& e : events) {
            if (e.type == type) result.push_back(e);
        }
        return result;
    }
    std::size_t keyDownCount(std::uint16_t keyCode) const {
        std::size_t count = 0;
        for (const auto& e : events) count += e.type == KeyEvent::Type::keyDown && e.keyCode == keyCode;
        return count;
    }
};

// True when another client holds the passive grab of the key with exactly these modifiers.
bool grabbedElsewhere(Display* display, KeySym keysym, unsigned modifiers) {
    static bool refused = false;
    refused = false;
    XSync(display, False);
    auto previous = XSetErrorHandler([](Display*, XErrorEvent* e) {
        if (e->error_code == BadAccess) refused = true;
        return 0;
    });
    const ::KeyCode code = XKeysymToKeycode(display, keysym);
    const Window root = DefaultRootWindow(display);
    XGrabKey(display, code, modifiers, root, False, GrabModeAsync, GrabModeAsync);
    XSync(display, False);
    if (!refused) XUngrabKey(display, code, modifiers, root);
    XSync(display, False);
    XSetErrorHandler(previous);
    return refused;
}

KeyEvent keyDown(std::uint16_t code, std::string chars, std::string plain, std::uint64_t flags = 0,
                 bool held = false) {
    return KeyEvent{KeyEvent::Type::keyDown, code, flags, std::move(chars), std::move(plain), 0, held};
}

KeyEvent flagsChanged(std::uint16_t code, std::uint64_t flags) {
    return KeyEvent{KeyEvent::Type::flagsChanged, code, flags, "", "", 0, false};
}

KeyHolds everyKey() {
    KeyHolds holds;
    holds.everyKey = true;
    return holds;
}

class X11KeyTapTest : public ::testing::Test {
  protected:
    // Tests call these through ASSERT_NO_FATAL_FAILURE: a harness failure must end the test.
    void start(KeyHolds holds, XSession::Options options = {},
               std::function<bool(Display*)> readyForTap = {}) {
        ASSERT_NO_FATAL_FAILURE(startSession(options));
        if (readyForTap) {
            ASSERT_TRUE(waitUntil([&] { return readyForTap(session->connection()); }));
        }
        ASSERT_NO_FATAL_FAILURE(startTap(holds));
    }
    void startSession(XSession::Options options = {}) {
        session = std::make_unique<XSession>(options);
        ASSERT_TRUE(session->ok()) << session->error();
        client = std::make_unique<TextClient>(*session);
        ASSERT_TRUE(client->ok()) << client->error();
        ASSERT_TRUE(client->focus());
    }
    void startTap(const KeyHolds& holds, double answerDelaySeconds = 0) {
        X11KeyTap::Options options{session->display(), nullptr, 0.1};
        options.answerDelaySeconds = answerDelaySeconds;
        tap = X11KeyTap::create(recorder.callback(), options);
        ASSERT_NE(tap, nullptr);
        tap->hold(holds);
        tap->attachToMainLoop();
    }
    void TearDown() override {
        tap.reset();
        client.reset();
        session.reset();
    }

    unsigned keycode(KeySym keysym) const {
        return static_cast<unsigned>(XKeysymToKeycode(session->connection(), keysym));
    }

    Recorder recorder;
    std::unique_ptr<XSession> session;
    std::unique_ptr<TextClient> client;
    std::unique_ptr<X11KeyTap> tap;
};

// Every key is reported, in order: those the tap holds (Return, Escape) before the application
// gets them, the others afterwards.
TEST_F(X11KeyTapTest, ReportsKeysWithTheirCodesCharactersAndFlags) {
    ASSERT_NO_FATAL_FAILURE(
        start(KeyHolds{false, {KeyHold::key(KeyCode::returnKey), KeyHold::key(KeyCode::escape)}}));
    ASSERT_EQ(session->xdotool({"key", "--delay", "10", "a", "shift+b", "semicolon", "Return", "BackSpace",
                                "Escape", "Tab", "space", "5"}),
              0);
    // Everything passed, so the text view got it (BackSpace erasing the newline before it).
    EXPECT_TRUE(client->waitForText("aB;\t 5")) << client->text();
    ASSERT_EQ(session->xdotool({"key", "--delay", "10", "Left", "Right", "Down", "Up", "KP_Enter", "ctrl+c",
                                "alt+x", "super+e", "F1"}),
              0);
    ASSERT_TRUE(waitUntil([&] { return recorder.keyDownCount(122) == 1; }));

    const std::vector<KeyEvent> expected = {
        keyDown(0, "a", "a"),
        keyDown(11, "B", "B", ModifierFlag::shift),
        keyDown(41, ";", ";"),
        keyDown(36, "\r", "\r", 0, true),
        keyDown(51, "\b", "\b"),
        keyDown(53, "\x1b", "\x1b", 0, true),
        keyDown(48, "\t", "\t"),
        keyDown(49, " ", " "),
        keyDown(23, "5", "5"),
        keyDown(123, "\uF702", "\uF702"),
        keyDown(124, "\uF703", "\uF703"),
        keyDown(125, "\uF701", "\uF701"),
        keyDown(126, "\uF700", "\uF700"),
        keyDown(76, "\r", "\r"),
        keyDown(8, "\x03", "c", ModifierFlag::control),
        keyDown(7, "x", "x", ModifierFlag::option),
        keyDown(14, "e", "e", ModifierFlag::command),
        keyDown(122, "\uF704", "\uF704"),
    };
    EXPECT_EQ(recorder.ofType(KeyEvent::Type::keyDown), expected);
}

// hold() returns at once; what waits for the holds runs on the main loop once their grabs are in
// place (those of later holds may be too), in the order asked, and at once when they are already.
TEST_F(X11KeyTapTest, WhatWaitsForHoldsRunsOnceTheirGrabsAreInPlace) {
    ASSERT_NO_FATAL_FAILURE(start({}));
    std::vector<std::string> seen;
    auto note = [&](const std::string& name, std::vector<KeySym> needed) {
        return [&, name, needed] {
            const bool held = std::all_of(needed.begin(), needed.end(), [&](KeySym keysym) {
                return session->keyIsGrabbedElsewhere(keycode(keysym), 0);
            });
            seen.push_back(name + (held ? " held" : " not held"));
        };
    };
    tap->hold(KeyHolds{false, {KeyHold::key(KeyCode::leftArrow)}});
    tap->whenHeld(note("first", {XK_Left}));
    tap->hold(KeyHolds{false, {KeyHold::key(KeyCode::leftArrow), KeyHold::key(KeyCode::escape)}});
    tap->whenHeld(note("second", {XK_Left, XK_Escape}));
    ASSERT_TRUE(waitUntil([&] { return seen.size() == 2; }));
    tap->whenHeld(note("third", {XK_Left, XK_Escape}));
    EXPECT_EQ(seen, (std::vector<std::string>{"first held", "second held", "third held"}));
}

TEST_F(X11KeyTapTest, ModifierKeysAloneArriveAsFlagsChanges) {
    ASSERT_NO_FATAL_FAILURE(start({}));
    ASSERT_EQ(session->xdotool({"key", "--delay", "10", "Shift_L", "Control_L", "Super_L", "Alt_L",
                                "Caps_Lock", "Caps_Lock", "shift+a"}),
              0);
    const std::vector<KeyEvent> expected = {
        flagsChanged(56, ModifierFlag::shift),
        flagsChanged(56, 0),
        flagsChanged(59, ModifierFlag::control),
        flagsChanged(59, 0),
        flagsChanged(55, ModifierFlag::command),
        flagsChanged(55, 0),
        flagsChanged(58, ModifierFlag::option),
        flagsChanged(58, 0),
        flagsChanged(57, ModifierFlag::capsLock),
        flagsChanged(57, 0),
        flagsChanged(56, ModifierFlag::shift),
        keyDown(0, "A", "A", ModifierFlag::shift),
        flagsChanged(56, 0),
    };
    ASSERT_TRUE(waitUntil([&] { return recorder.events.size() >= expected.size(); }));
    waitFor(0.1);  // and nothing more
    EXPECT_EQ(recorder.events, expected);
}

// Only the held key can be dropped; everything else arrives intact, and other clients can still
// take every combination the tap does not hold.
TEST_F(X11KeyTapTest, DroppedKeysNeverReachTheApplicationWhileOrdinaryTypingIsUnchanged) {
    ASSERT_NO_FATAL_FAILURE(
        start(KeyHolds{false, {KeyHold::typing("b", std::numeric_limits<double>::infinity())}}));
    recorder.drop = [](const KeyEvent& e) { return e.characters == "b" || e.characters == "x"; };
    EXPECT_TRUE(session->keyIsGrabbedElsewhere(keycode(XK_b), ShiftMask));
    EXPECT_FALSE(session->keyIsGrabbedElsewhere(keycode(XK_t), ControlMask | Mod1Mask));
    ASSERT_EQ(session->xdotool({"type", "--delay", "15", "abcab"}), 0);
    ASSERT_TRUE(client->waitForText("aca")) << client->text();

    // Shifted letters, fast typing and a burst of one key all arrive intact, each press once.
    ASSERT_EQ(session->xdotool({"type", "--delay", "4", "Hello World"}), 0);
    ASSERT_EQ(session->xdotool({"key", "--repeat", "40", "--delay", "1", "x"}), 0);
    EXPECT_TRUE(client->waitForText("acaHello World" + std::string(40, 'x'))) << client->text();
    // Keys that are not held are reported after the application has them.
    EXPECT_TRUE(waitUntil([&] { return recorder.keyDownCount(7) == 40; })) << recorder.keyDownCount(7);
    EXPECT_EQ(recorder.keyDownCount(11), 2u);  // both b presses were offered before being dropped
}

// A press the grabs on the root let go just as the holds moved to the focused window (the program
// starts typing) is taken again by the grabs there: it goes on as decided, asked about once, or it
// would be typed again after the program's text.
TEST_F(X11KeyTapTest, APressLetGoAsTheHoldsMoveToTheFocusedWindowIsAskedAboutOnce) {
    XSession::Options options;
    options.windowManager = true;
    ASSERT_NO_FATAL_FAILURE(start(everyKey(), options));
    KeyHolds inFocusedWindow = everyKey();
    inFocusedWindow.inFocusedWindow = true;
    recorder.drop = [&](const KeyEvent&) {
        tap->hold(inFocusedWindow);
        return false;
    };
    ASSERT_EQ(session->xdotool({"type", "--delay", "20", "ab"}), 0);
    EXPECT_TRUE(client->waitForText("ab")) << client->text();
    EXPECT_EQ(recorder.keyDownCount(0), 1u);
    EXPECT_EQ(recorder.keyDownCount(11), 1u);
}

// Keys held only in the focused window (as while the program types into it) wait there: GTK, which
// focuses a window inside its top-level, is told of no focus change as each is taken. Held on the
// root window, each took the focus from the top-level for a moment, and some applications lose or
// reorder keys around that.
TEST_F(X11KeyTapTest, KeysHeldInTheFocusedWindowLeaveItsTopLevelFocused) {
    XSession::Options options;
    options.windowManager = true;
    KeyHolds holds = everyKey();
    holds.inFocusedWindow = true;
    ASSERT_NO_FATAL_FAILURE(start(holds, options));
    Display* display = session->connection();
    XSelectInput(display, client->window(), FocusChangeMask);
    XSync(display, False);
    ASSERT_EQ(session->xdotool({"type", "--delay", "10", "abc"}), 0);
    EXPECT_TRUE(client->waitForText("abc")) << client->text();
    const auto held = recorder.ofType(KeyEvent::Type::keyDown);
    EXPECT_EQ(std::count_if(held.begin(), held.end(), [](const KeyEvent& e) { return e.held; }), 3);
    int focusLost = 0;
    XSync(display, False);
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        // Moves within the window, which toolkits ignore, do not count.
        focusLost += event.type == FocusOut && event.xfocus.window == client->window() &&
                     event.xfocus.detail != NotifyInferior && event.xfocus.detail != NotifyPointer;
    }
    EXPECT_EQ(focusLost, 0);
}

TEST_F(X11KeyTapTest, WindowManagerShortcutsStayWithTheWindowManager) {
    XSession::Options options;
    options.windowManager = true;
    const std::string marker = "/tmp/mosaiko-shortcut-" + std::to_string(getpid());
    std::filesystem::remove(marker);
    options.windowManagerKeyBindings = "<keybind key=\"W-F1\"><action name=\"Execute\"><command>touch " +
                                       marker + "</command></action></keybind>";
    // The window manager grabs its shortcuts some time after it announces itself; a tap started
    // before that would hold the combination itself.
    ASSERT_NO_FATAL_FAILURE(
        start(everyKey(), options, [](Display* d) { return grabbedElsewhere(d, XK_F1, Mod4Mask); }));
    recorder.drop = [](const KeyEvent&) { return true; };  // even a tap that drops every key it holds

    ASSERT_EQ(session->xdotool({"key", "super+F1"}), 0);
    EXPECT_TRUE(waitUntil([&] { return std::filesystem::exists(marker); }));
    std::filesystem::remove(marker);
    auto heldF1 = [&] {
        return std::count_if(recorder.events.begin(), recorder.events.end(),
                             [](const KeyEvent& e) { return e.keyCode == 122 && e.held; });
    };
    EXPECT_EQ(heldF1(), 0);  // F1 with Super belongs to the window manager

    recorder.drop = [](const KeyEvent&) { return false; };
    ASSERT_EQ(session->xdotool({"key", "F1", "k"}), 0);
    EXPECT_TRUE(client->waitForText("k")) << client->text();
    EXPECT_EQ(heldF1(), 1);  // F1 alone is ours
}

// A combination another client holds costs the tap only that combination, also after a toolkit
// opening an Xlib connection of its own has put in its error handler (one that ignores every error,
// as Qt's does): Left is held in every other state while Control-Alt-Left stays with its owner.
TEST_F(X11KeyTapTest, AKeyWhoseCombinationIsHeldElsewhereIsHeldInEveryOtherState) {
    ASSERT_NO_FATAL_FAILURE(startSession());
    Display* owner = session->connection();
    XGrabKey(owner, static_cast<int>(keycode(XK_Left)), ControlMask | Mod1Mask, DefaultRootWindow(owner),
             False, GrabModeAsync, GrabModeAsync);
    XSync(owner, False);
    X11Display::initialize();
    const XErrorHandler before = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    ASSERT_NO_FATAL_FAILURE(startTap(KeyHolds{false, {KeyHold::key(KeyCode::leftArrow)}}));
    XSetErrorHandler(before);

    ASSERT_EQ(session->xdotool({"key", "--delay", "10", "Left", "ctrl+alt+Left", "shift+Left"}), 0);
    ASSERT_TRUE(waitUntil([&] { return recorder.keyDownCount(KeyCode::leftArrow) == 3; }));
    std::vector<bool> held;
    for (const auto& e : recorder.ofType(KeyEvent::Type::keyDown)) held.push_back(e.held);
    EXPECT_EQ(held, (std::vector<bool>{true, false, true}));
}

TEST_F(X11KeyTapTest, AStalledMainLoopDoesNotFreezeTheKeyboard) {
    ASSERT_NO_FATAL_FAILURE(start(everyKey()));
    recorder.drop = [this](const KeyEvent& e) {
        if (e.type == KeyEvent::Type::tapDisabledByTimeout) tap->setEnabled(true);
        return e.type == KeyEvent::Type::keyDown && e.characters == "z";  // would drop z if asked in time
    };
    testing::ChildProcess typing = session->start({"xdotool", "key", "--delay", "50", "z", "q"});

    // The main thread is busy until the keys arrive (ten seconds at most, for a loaded machine where
    // starting xdotool alone can take seconds): nobody answers the tap, yet the keys arrive.
    const auto stallStart = std::chrono::steady_clock::now();
    bool typedDuringStall = false;
    while (std::chrono::steady_clock::now() - stallStart < std::chrono::seconds(10)) {
        if (client->text() == "zq") {
            typedDuringStall = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(typedDuringStall) << client->text();
    EXPECT_EQ(typing.waitForExit(15), 0);

    // Once the loop runs again, the callback hears of the press it could not answer in time (as a
    // key that was not held), then of the timeout, not of the keys that passed unasked meanwhile;
    // it re-enables the tap, which then asks about keys again.
    ASSERT_TRUE(waitUntil([&] { return recorder.events.size() >= 2; }));
    waitFor(0.1);
    auto describe = [&] {
        std::string out;
        for (const auto& e : recorder.events)
            out += std::to_string(static_cast<unsigned>(e.type)) + ":" + std::to_string(e.keyCode) + ":" +
                   e.characters + ":" + std::to_string(e.userData) + " ";
        return out;
    };
    ASSERT_EQ(recorder.events.size(), 2u) << describe();
    EXPECT_EQ(recorder.events[0], keyDown(6, "z", "z"));
    EXPECT_EQ(recorder.events[1].type, KeyEvent::Type::tapDisabledByTimeout);
    ASSERT_EQ(session->xdotool({"key", "z", "w"}), 0);
    EXPECT_TRUE(client->waitForText("zqw")) << client->text();
    EXPECT_EQ(recorder.keyDownCount(6), 2u);
}

// A tap too slow to let held presses go before the server's repeat delay (here 0.1 s): a press
// typed while the keyboard waited for another has its release waiting behind it, and the repeat
// the server makes of it meanwhile comes after that release. It never reaches the application,
// which gets each key once, and the key is up afterwards: no press without a release.
TEST_F(X11KeyTapTest, APressLetGoAfterTheRepeatDelayIsNeverRepeatedPastItsRelease) {
    ASSERT_NO_FATAL_FAILURE(startSession());
    Display* d = session->connection();
    ASSERT_TRUE(XkbSetAutoRepeatRate(d, XkbUseCoreKbd, 100, 40));
    ASSERT_NO_FATAL_FAILURE(startTap(
        KeyHolds{false, {KeyHold::key(0), KeyHold::typing(";", std::numeric_limits<double>::infinity())}},
        0.4));
    // The semicolon's hold ends the moment it is pressed: the key stays held until its press goes on.
    recorder.drop = [this](const KeyEvent& e) {
        if (e.characters == ";") tap->hold(KeyHolds{false, {KeyHold::key(0)}});
        return false;
    };
    const unsigned a = keycode(XK_a), semicolon = keycode(XK_semicolon);
    for (const auto& [key, down] : {std::pair{a, True}, {semicolon, True}, {semicolon, False}, {a, False}})
        XTestFakeKeyEvent(d, key, down, CurrentTime);
    XSync(d, False);
    ASSERT_EQ(session->xdotool({"key", "x"}), 0);
    ASSERT_TRUE(client->waitForText("a;x")) << client->text();
    // Typed once that repeat has come: it waits behind it.
    ASSERT_EQ(session->xdotool({"key", "y"}), 0);
    EXPECT_TRUE(client->waitForText("a;xy")) << client->text();
    EXPECT_TRUE(waitUntil([&] {
        char down[32];
        XQueryKeymap(d, down);
        return !(down[semicolon / 8] & (1 << semicolon % 8));
    })) << "the key was left down";
    XTestFakeKeyEvent(d, semicolon, False, CurrentTime);
    XSync(d, False);
}

TEST_F(X11KeyTapTest, ADisabledOrDetachedTapLetsEverythingThroughUnasked) {
    ASSERT_NO_FATAL_FAILURE(start(everyKey()));
    recorder.drop = [](const KeyEvent&) { return true; };
    tap->setEnabled(false);
    ASSERT_EQ(session->xdotool({"key", "a"}), 0);
    EXPECT_TRUE(client->waitForText("a"));

    tap->setEnabled(true);
    tap->detachFromMainLoop();
    ASSERT_EQ(session->xdotool({"key", "b"}), 0);
    EXPECT_TRUE(client->waitForText("ab"));
    EXPECT_TRUE(recorder.events.empty());

    // Attached again, once: each press is offered exactly once, and dropped.
    tap->attachToMainLoop();
    tap->attachToMainLoop();
    ASSERT_EQ(session->xdotool({"key", "c", "d"}), 0);
    ASSERT_TRUE(waitUntil([&] { return recorder.events.size() >= 2; }));
    waitFor(0.2);
    EXPECT_EQ(recorder.events.size(), 2u) << ::testing::PrintToString(recorder.events);
    recorder.drop = [](const KeyEvent&) { return false; };
    ASSERT_EQ(session->xdotool({"key", "e"}), 0);
    EXPECT_TRUE(client->waitForText("abe")) << client->text();
}

// A mark asked for after new holds comes after every key typed before them, timed by the server,
// and before the first key they hold.
TEST_F(X11KeyTapTest, AMarkComesBetweenTheKeysBeforeTheHoldsAndThoseTheyHold) {
    ASSERT_NO_FATAL_FAILURE(start({}));
    ASSERT_EQ(session->xdotool({"key", "--delay", "0", "a", "b"}), 0);
    tap->hold(everyKey());
    tap->mark(5);
    // The holds are placed on the tap's thread: a key typed before the mark comes may pass unheld.
    ASSERT_TRUE(waitUntil([&] { return recorder.ofType(KeyEvent::Type::mark).size() == 1; }));
    ASSERT_EQ(session->xdotool({"key", "c"}), 0);
    ASSERT_TRUE(waitUntil([&] { return recorder.keyDownCount(8) == 1; }));
    KeyEvent mark;
    mark.type = KeyEvent::Type::mark;
    mark.userData = 5;
    mark.held = false;
    const std::vector<KeyEvent> expected = {keyDown(0, "a", "a"), keyDown(11, "b", "b"), mark,
                                            keyDown(8, "c", "c", 0, true)};
    EXPECT_EQ(recorder.events, expected);
    EXPECT_GT(recorder.events[0].serverTime, 0);
    EXPECT_GE(recorder.events[1].serverTime, recorder.events[0].serverTime);
}

// The characters come from the layout group in force; held keys are found by what they type in
// any group.
TEST_F(X11KeyTapTest, TwoLayoutsSwitchedByGroup) {
    ASSERT_NO_FATAL_FAILURE(startSession());
    if (session->run({"setxkbmap", "-layout", "us,ru"}) != 0) GTEST_SKIP() << "setxkbmap is needed";
    ASSERT_NO_FATAL_FAILURE(
        startTap(KeyHolds{false, {KeyHold::typing("а", std::numeric_limits<double>::infinity())}}));
    recorder.drop = [](const KeyEvent& e) { return e.characters == "а"; };  // Cyrillic a, on the F key

    Display* d = session->connection();
    const unsigned f = keycode(XK_f);
    for (unsigned group : {1u, 0u}) {
        XkbLockGroup(d, XkbUseCoreKbd, group);
        XTestFakeKeyEvent(d, f, True, CurrentTime);
        XTestFakeKeyEvent(d, f, False, CurrentTime);
        XSync(d, False);
    }
    EXPECT_TRUE(client->waitForText("f")) << client->text();
    ASSERT_TRUE(waitUntil([&] { return recorder.ofType(KeyEvent::Type::keyDown).size() == 2; }));
    EXPECT_EQ(recorder.ofType(KeyEvent::Type::keyDown),
              (std::vector{keyDown(3, "а", "а", 0, true), keyDown(3, "f", "f", 0, false)}))
        << "the same key typing what no hold names goes on unasked";
}

// A tool that switches the layout group by a request, types a key there and switches back (as
// auto-type tools do) while the keyboard waits for a held press: the server handles the key only
// afterwards, in the group switched back to, yet it is reported, and reaches the application, as
// what it was typed for.
TEST_F(X11KeyTapTest, AKeyTypedWhileTheKeyboardWaitsKeepsItsGroup) {
    ASSERT_NO_FATAL_FAILURE(startSession());
    if (session->run({"setxkbmap", "-layout", "us,ru"}) != 0) GTEST_SKIP() << "setxkbmap is needed";
    ASSERT_NO_FATAL_FAILURE(startTap(everyKey(), 0.2));  // each held press waits 0.2 s
    const auto poster = X11EventPoster::create({session->display(), PostedKeyLedger::shared(), 0, 10, {}});
    ASSERT_NE(poster, nullptr);
    Display* d = session->connection();
    XTestFakeKeyEvent(d, keycode(XK_x), True, CurrentTime);
    XTestFakeKeyEvent(d, keycode(XK_x), False, CurrentTime);
    XkbLockGroup(d, XkbUseCoreKbd, 1);
    XTestFakeKeyEvent(d, keycode(XK_f), True, CurrentTime);
    XTestFakeKeyEvent(d, keycode(XK_f), False, CurrentTime);
    XkbLockGroup(d, XkbUseCoreKbd, 0);
    XSync(d, False);
    ASSERT_TRUE(waitUntil([&] { return recorder.ofType(KeyEvent::Type::keyDown).size() == 2; }));
    EXPECT_EQ(recorder.ofType(KeyEvent::Type::keyDown),
              (std::vector{keyDown(7, "x", "x", 0, true), keyDown(3, "а", "а", 0, true)}));
    EXPECT_TRUE(client->waitForText("xа")) << client->text();
}

// A tool that types a character off the keyboard maps a spare key to it, presses it and maps it to
// the next character, or to nothing, at once. Read late (each held press waits 0.2 s here, as on a
// busy machine), every such press is still reported, and reaches the application, as what it typed.
TEST_F(X11KeyTapTest, KeysAToolRemapsForAMomentKeepWhatTheyTyped) {
    ASSERT_NO_FATAL_FAILURE(startSession());
    ASSERT_NO_FATAL_FAILURE(startTap(everyKey(), 0.2));
    const auto poster = X11EventPoster::create({session->display(), PostedKeyLedger::shared(), 0, 10, {}});
    ASSERT_NE(poster, nullptr);
    Display* d = session->connection();
    int first = 0, last = 0;
    XDisplayKeycodes(d, &first, &last);
    auto spare = static_cast<unsigned>(first);
    while (XkbKeycodeToKeysym(d, static_cast<::KeyCode>(spare), 0, 0) != NoSymbol) ++spare;
    auto typeOnSpare = [&](KeySym keysym) {
        KeySym both[] = {keysym, keysym};
        XChangeKeyboardMapping(d, static_cast<int>(spare), 2, both, 1);
        XTestFakeKeyEvent(d, spare, True, CurrentTime);
        XTestFakeKeyEvent(d, spare, False, CurrentTime);
    };
    XTestFakeKeyEvent(d, keycode(XK_x), True, CurrentTime);
    XTestFakeKeyEvent(d, keycode(XK_x), False, CurrentTime);
    for (const KeySym keysym : std::vector<KeySym>{XK_eacute, XK_udiaeresis, NoSymbol}) typeOnSpare(keysym);
    XSync(d, False);
    ASSERT_TRUE(waitUntil([&] { return recorder.ofType(KeyEvent::Type::keyDown).size() == 4; }));
    std::vector<std::string> typed;
    for (const KeyEvent& e : recorder.ofType(KeyEvent::Type::keyDown)) typed.push_back(e.characters);
    EXPECT_EQ(typed, (std::vector<std::string>{"x", "é", "ü", ""}));
    EXPECT_TRUE(client->waitForText("xéü")) << client->text();
}

// The server drops a press of a key that is down, and a modifier the user holds changes what a key
// types: from such a press of the program's text on, the tap withholds the text's characters, so
// that the poster types them again in order; what the user types comes as typed.
TEST_F(X11KeyTapTest, FromAPressLostOrMistypedTheProgramsTextIsWithheld) {
    ASSERT_NO_FATAL_FAILURE(start(everyKey()));
    Display* d = session->connection();
    const auto ledger = PostedKeyLedger::shared();
    const struct {
        KeySym held;
        std::vector<unsigned long> withheld;
    } cases[] = {{XK_o, {XK_o, XK_b}}, {XK_Shift_L, {XK_a, XK_o, XK_b}}};
    for (const auto& c : cases) {
        XTestFakeKeyEvent(d, keycode(c.held), True, CurrentTime);  // the user's
        for (const KeySym keysym : {XK_a, XK_o, XK_b}) {
            ledger->expect(keycode(keysym), kEventMarker, SystemClock::shared().uptime(), keysym, false);
            XTestFakeKeyEvent(d, keycode(keysym), True, CurrentTime);
            XTestFakeKeyEvent(d, keycode(keysym), False, CurrentTime);
        }
        XTestFakeKeyEvent(d, keycode(c.held), False, CurrentTime);
        XSync(d, False);
        ASSERT_TRUE(waitUntil([&] { return ledger->pendingCount() == 0; }));
        EXPECT_EQ(ledger->takeWithheld(), c.withheld) << XKeysymToString(c.held);
    }
    XTestFakeKeyEvent(d, keycode(XK_c), True, CurrentTime);
    XTestFakeKeyEvent(d, keycode(XK_c), False, CurrentTime);
    XSync(d, False);
    EXPECT_TRUE(client->waitForText("oac")) << client->text();
}

// A keyboard's press is the user's even when the program is about to type the same key: only the
// virtual keyboard the program types through can be its own.
TEST_F(X11KeyTapTest, AKeyboardsPressIsNeverTakenForTheProgramsOwn) {
    ASSERT_NO_FATAL_FAILURE(start(everyKey()));
    Display* d = session->connection();
    const int keyboard = session->keyboardDevice();
    if (keyboard < 0) GTEST_SKIP() << "the server has no keyboard of its own";
    XDevice* device = XOpenDevice(d, static_cast<XID>(keyboard));
    ASSERT_NE(device, nullptr);
    PostedKeyLedger::shared()->expect(keycode(XK_a), kEventMarker, SystemClock::shared().uptime(), XK_a,
                                      false);
    XTestFakeDeviceKeyEvent(d, device, keycode(XK_a), True, nullptr, 0, CurrentTime);
    XTestFakeDeviceKeyEvent(d, device, keycode(XK_a), False, nullptr, 0, CurrentTime);
    XTestFakeKeyEvent(d, keycode(XK_a), True, CurrentTime);  // the program's
    XTestFakeKeyEvent(d, keycode(XK_a), False, CurrentTime);
    XSync(d, False);
    ASSERT_TRUE(waitUntil([&] { return recorder.ofType(KeyEvent::Type::keyDown).size() == 2; }));
    const auto presses = recorder.ofType(KeyEvent::Type::keyDown);
    EXPECT_EQ(presses[0].userData, 0);
    EXPECT_EQ(presses[1].userData, kEventMarker);
    XCloseDevice(d, device);
}

TEST_F(X11KeyTapTest, ATapOutlivingItsServerStaysQuiet) {
    ASSERT_NO_FATAL_FAILURE(start({}));
    session.reset();  // the X server goes away under the attached tap
    waitFor(0.2);
    tap->setEnabled(true);
    tap.reset();  // and tearing the tap down neither hangs nor ends the process
    SUCCEED();
}

}  // namespace
}  // namespace mosaiko
