#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "platform/KeyEvent.hpp"

namespace mosaiko {

// One kind of key press the key tap holds until its handler has answered.
struct KeyHold {
    // The key by its virtual key code, or, when `character` is set, any key that types it.
    std::uint16_t keyCode = 0;
    std::string character;
    // Exactly these modifier flags (the shortcut bits: Shift, Control, Option, Command); any
    // modifiers when unset.
    std::optional<std::uint64_t> modifiers;
    // Uptime seconds after which the hold is no longer needed.
    double until = std::numeric_limits<double>::infinity();
    // When set, the key is held only right after a press that typed this (at most `afterWithin`
    // seconds before it): until then it reaches the application at once, as a key not held does.
    std::string after;
    double afterWithin = 0;

    // Whether the hold is in force after a press that typed `typedBefore`, `secondsSince` ago.
    bool followsTyped(const std::string& typedBefore, double secondsSince) const;

    static KeyHold key(std::uint16_t keyCode, std::optional<std::uint64_t> modifiers = std::nullopt) {
        return KeyHold{keyCode, {}, modifiers, std::numeric_limits<double>::infinity(), {}, 0};
    }
    static KeyHold typing(std::string character, double until) {
        return KeyHold{0, std::move(character), {}, until, {}, 0};
    }
    static KeyHold typingRightAfter(std::string character, std::string after, double within, double until) {
        return KeyHold{0, std::move(character), {}, until, std::move(after), within};
    }

    bool operator==(const KeyHold&) const = default;
};

// The key presses a handler may swallow in its current state. The key tap holds exactly these, each
// press waiting for the answer, and lets every other key reach the application at once (reporting
// it to the handler afterwards, with `held` false): a key that is held freezes the keyboard until
// it is answered, and a display server lets only one client hold each combination.
struct KeyHolds {
    bool everyKey = false;  // every key that is not a modifier, with any modifiers
    std::vector<KeyHold> keys;
    // Every key that is not a modifier while one of these modifier flags is in effect.
    std::uint64_t everyKeyWith = 0;
    // The presses a key that is held down repeats (the display server's auto-repeat), of every key
    // that is not a modifier: none of them is observed otherwise.
    bool repeats = false;
    // Only presses that go to the window with the keyboard focus now need holding (the program
    // types into it): the holds then wait there, not on the whole screen, where taking each key
    // tells a toolkit that its window lost the focus.
    bool inFocusedWindow = false;

    bool empty() const { return !everyKey && keys.empty() && everyKeyWith == 0 && !repeats; }
    // Whether a press like `event` is among the held keys (times are not looked at).
    bool covers(const KeyEvent& event) const;
    // Whether the press waits for an answer, given what the press before it typed and how many
    // seconds lie between them (see KeyHold::after).
    bool asksAbout(const KeyEvent& event, const std::string& typedBefore, double secondsSince) const;

    bool operator==(const KeyHolds&) const = default;
};

}  // namespace mosaiko
