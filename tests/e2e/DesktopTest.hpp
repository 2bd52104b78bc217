#pragma once
// The base of the end-to-end tests: a fresh desktop session per test, the built program in it, and
// real clients to type into. Tests are skipped on machines without the X tools; everything they
// start ends with the test.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <X11/XKBlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "e2e/PickerOracle.hpp"
#include "e2e/RunningProgram.hpp"
#include "platform/Text.hpp"
#include "support/TextClient.hpp"
#include "support/XSession.hpp"

namespace mosaiko::testing {

class DesktopTest : public ::testing::Test {
  protected:
    // Starts the session, with a window manager unless told otherwise; skips the test when this
    // machine lacks a program it needs.
    void startSession(XSession::Options options = withWindowManager()) {
        if (!fs::exists(RunningProgram::program())) GTEST_SKIP() << "the program is not built";
        std::vector<std::string> tools{"Xvfb", "xdotool"};
        if (options.windowManager) tools.push_back("openbox");
        if (options.tray) tools.push_back("trayer");
        for (const auto& tool : tools) {
            if (!hasProgram(tool)) GTEST_SKIP() << tool << " is needed";
        }
        session_ = std::make_unique<XSession>(options);
        ASSERT_TRUE(session_->ok()) << session_->error();
    }

    static XSession::Options withWindowManager() {
        XSession::Options options;
        options.windowManager = true;
        return options;
    }

    // A window manager and a system tray.
    static XSession::Options withTray() {
        XSession::Options options = withWindowManager();
        options.tray = true;
        return options;
    }

    // The window manager with its stock key bindings, as on a desktop.
    static XSession::Options withStockWindowManager() {
        XSession::Options options = withWindowManager();
        options.stockWindowManager = true;
        return options;
    }

    XSession& session() { return *session_; }

    // Starts the program for `user` and waits until every key goes through its key tap.
    RunningProgram& startProgram(const MemoryDefaults& user = RunningProgram::returningUser()) {
        RunningProgram::writeDefaults(*session_, user);
        program_ = std::make_unique<RunningProgram>(*session_);
        if (!program_->waitForKeyTap())
            ADD_FAILURE() << "the key tap never took the keyboard: " << program_->keyTapDiagnosis() << "\n"
                          << program_->output();
        return *program_;
    }

    RunningProgram& program() { return *program_; }

    // Starts the program for `user`, then a client of `kind` with the keyboard focus; null when
    // either failed or the client cannot run here (the test is then skipped).
    TextClient* startProgramAndClient(TextClient::Kind kind,
                                      const MemoryDefaults& user = RunningProgram::returningUser()) {
        startProgram(user);
        TextClient* client = startClient(kind);
        return HasFailure() ? nullptr : client;
    }

    // Starts a client and gives it the keyboard focus; skips when it cannot run here.
    TextClient* startClient(TextClient::Kind kind) {
        if (const auto missing = TextClient::missingPrerequisite(kind); !missing.empty()) {
            [&] { GTEST_SKIP() << missing; }();
            return nullptr;
        }
        clients_.push_back(std::make_unique<TextClient>(*session_, kind));
        TextClient* client = clients_.back().get();
        EXPECT_TRUE(client->ok()) << client->error();
        EXPECT_TRUE(client->ok() && client->focus()) << "cannot focus " << TextClient::kindName(kind);
        return client;
    }

    // Types `text` as a user would, `delayMs` between keys.
    void type(const std::string& text, int delayMs = 50) {
        ASSERT_EQ(session_->xdotool({"type", "--delay", std::to_string(delayMs), text}), 0);
    }

    // Moves the pointer to a point and clicks there, as a user does. xdotool's --sync waits for the
    // pointer to move, for 15 seconds in vain when it is there already.
    void click(int x, int y) {
        std::vector<std::string> arguments{"mousemove"};
        if (session_->pointer() != std::pair{x, y}) arguments.push_back("--sync");
        arguments.insert(arguments.end(), {std::to_string(x), std::to_string(y), "click", "1"});
        ASSERT_EQ(session_->xdotool(arguments), 0);
    }

    // Types `keys` as a user would and tells `oracle` the same; whether the picker's panel shows
    // once the search has settled.
    bool typeSearch(PickerOracle& oracle, const std::string& keys) {
        type(keys);
        oracle.type(keys);
        oracle.wait(0.4);
        return program_->waitForPanel(true);
    }

    // Types `text` (printable ASCII, whose keysyms are its characters) on the keyboard device, with
    // its left Shift where the layout puts the character on the shifted level.
    void typeOnKeyboard(const std::string& text, int delayMs) {
        std::vector<std::string> keys;
        for (const char c : text) keys.push_back(c == ' ' ? "space" : std::string(1, c));
        pressOnKeyboard(keys, delayMs);
    }

    // Presses keys by their X names ("Home", "ctrl+a", "A") on the keyboard device, with Control
    // where asked and the left Shift where the layout puts the keysym on the shifted level.
    void pressOnKeyboard(const std::vector<std::string>& keys, int delayMs) {
        Display* d = session().connection();
        const int keyboard = session().keyboardDevice();
        ASSERT_GE(keyboard, 0) << "the server has no keyboard of its own";
        XDevice* device = XOpenDevice(d, static_cast<XID>(keyboard));
        ASSERT_NE(device, nullptr);
        auto key = [&](unsigned keycode, bool down) {
            XTestFakeDeviceKeyEvent(d, device, keycode, down ? True : False, nullptr, 0, CurrentTime);
        };
        for (std::string name : keys) {
            const bool control = name.starts_with("ctrl+");
            if (control) name.erase(0, 5);
            const KeySym keysym = name.size() == 1 ? static_cast<KeySym>(static_cast<unsigned char>(name[0]))
                                                   : XStringToKeysym(name.c_str());
            const unsigned keycode = XKeysymToKeycode(d, keysym);
            ASSERT_NE(keycode, 0u) << name;
            const bool shifted = XkbKeycodeToKeysym(d, static_cast<::KeyCode>(keycode), 0, 0) != keysym;
            std::vector<unsigned> modifiers;
            if (control) modifiers.push_back(XKeysymToKeycode(d, XK_Control_L));
            if (shifted) modifiers.push_back(XKeysymToKeycode(d, XK_Shift_L));
            for (unsigned modifier : modifiers) key(modifier, true);
            key(keycode, true);
            key(keycode, false);
            for (unsigned modifier : modifiers) key(modifier, false);
            XSync(d, False);
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        }
        XCloseDevice(d, device);
    }

    // Presses keys by their X names ("Return", "ctrl+u").
    void press(const std::vector<std::string>& keys) {
        std::vector<std::string> arguments{"key", "--delay", "50"};
        arguments.insert(arguments.end(), keys.begin(), keys.end());
        ASSERT_EQ(session_->xdotool(arguments), 0);
    }

    // Declared first: the session ends last, after every process the test started in it.
    std::unique_ptr<XSession> session_;
    std::unique_ptr<RunningProgram> program_;
    std::vector<std::unique_ptr<TextClient>> clients_;
};

// Describes a text for failure messages, with its code points.
inline std::string described(const std::string& text) {
    std::string out = "\"" + text + "\" (";
    for (char32_t c : text::scalars(text)) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%s%X", out.back() == '(' ? "" : " ", static_cast<unsigned>(c));
        out += hex;
    }
    return out + ")";
}

// Whether `client` comes to hold `expected`; if not, both texts with their code points.
inline ::testing::AssertionResult holdsText(const TextClient& client, const std::string& expected,
                                            double seconds = 15) {
    if (client.waitForText(expected, seconds)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << described(client.text()) << " instead of " << described(expected);
}

// Names a test by its client: "xterm", "GtkEntry"…
inline std::string clientName(const ::testing::TestParamInfo<TextClient::Kind>& info) {
    return TextClient::kindName(info.param);
}

}  // namespace mosaiko::testing
