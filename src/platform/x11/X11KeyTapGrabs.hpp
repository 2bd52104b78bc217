#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/KeyHolds.hpp"

typedef struct _XDisplay Display;

namespace mosaiko {

class X11KeyTranslator;

// The key tap's passive grabs: the key combinations that wait for its answer. They lie on the root
// window, or, for holds needed only in the focused window, on that window's parent: a grab that
// takes a key moves the focus to its window for the moment, and every window between the focused
// one and the grab's is told it lost the focus. On the parent, only windows inside the client's own
// top-level see that (GTK focuses a child of it, and ignores focus moving within); on the root, the
// top-level sees it too, and with it the application, which some take for the user leaving.
// What each keycode is (a modifier, its virtual key code, the characters it types, whether it
// carries any symbol) is read into a table once per keyboard-mapping change, so that a change of
// holds only compares. Only the grabs that differ from those in place are changed. A combination
// another client holds (a window manager's Control-Alt-Left) stays with its owner and costs only
// that combination: a key whose grab with any modifiers is refused is grabbed state by state, each
// checked on its own. Used on the tap's thread only.
class X11KeyTapGrabs {
  public:
    X11KeyTapGrabs(Display* display, const X11KeyTranslator& translator);

    // Reads the table again; call after the server announced a new mapping (and the translator was
    // refreshed), then place() again. Grabs in place stay until then: one may be holding a press
    // right now, which giving it up would lose.
    void refreshMapping();

    // Grabs exactly what `holds` need. A hold of every key takes every keycode that is not a
    // modifier, also those without any symbol now: another program may map one for a moment and
    // type a character on it at once (auto-type tools do), too soon for a grab placed afterwards.
    // A hold of every key with some modifiers (KeyHolds::everyKeyWith) takes the keys of those
    // modifiers: the tap places the grabs of every key while one is pressed, before the keyboard
    // goes on to a key typed with it in the same instant.
    void place(const KeyHolds& holds);
    // Keeps `keycode` grabbed in every state whatever the holds, until keep() names another key or
    // none; the key's grabs are then what the holds want again.
    void keep(std::optional<unsigned> keycode);
    // Gives up every grab.
    void releaseAll();
    // The window the grabs lie on now.
    unsigned long window() const { return window_; }

    // Whether some grab of ours is on the keycode.
    bool grabs(unsigned keycode) const { return placed_.count(keycode) != 0; }
    // Whether the grab of the key in this core modifier state is ours.
    bool grabs(unsigned keycode, unsigned state) const;
    // How many combinations another client holds among those we wanted; for tests and benchmarks.
    std::size_t refusedCount() const;

  private:
    static constexpr unsigned kAnyModifier = 1u << 15;     // Xlib's AnyModifier
    using Grabs = std::map<unsigned, std::set<unsigned>>;  // keycode: core states, or kAnyModifier

    struct Key {
        bool modifier = false;
        bool symbolless = true;
        std::uint16_t virtualKeyCode = 0;
        std::uint64_t modifierFlags = 0;      // of a modifier key: the shortcut flags it sets
        std::vector<std::string> characters;  // what it types in any group at any level
    };

    Grabs wanted(const KeyHolds& holds) const;
    // Where holds go: the root, or the parent of the focused window (the root when there is none).
    unsigned long windowFor(const KeyHolds& holds) const;
    // Makes `window` the one grabs go on; returns the window whose grabs are still to be given up
    // (None when there are none, or the window stays).
    unsigned long moveTo(unsigned long window);
    // Places the grabs `holds` need on the window they go on, changing only those that differ.
    void placeOnWindow(const KeyHolds& holds);
    // Grabs these combinations (keycode, state), noting those another client holds.
    void grab(const std::vector<std::pair<unsigned, unsigned>>& combinations);
    // Replaces the key's grabs by these states (none: no grab).
    void regrab(unsigned keycode, const std::set<unsigned>& states);

    Display* display_;
    const X11KeyTranslator& translator_;
    unsigned long window_ = 0;  // the root, or the parent of the focused window
    int minKeycode_ = 8, maxKeycode_ = 255;
    std::vector<Key> keys_;  // by keycode
    // The core states (the eight modifier bits) the keyboard can produce, and those among them whose
    // shortcut flags are i (flags >> 17).
    std::vector<unsigned> possibleStates_;
    std::array<std::vector<unsigned>, 16> statesWithFlags_;
    Grabs placed_;
    Grabs wanted_;  // what the holds want, without the kept key
    std::optional<unsigned> kept_;
    // Keys with some combination held elsewhere: grabbed state by state, without the refused ones.
    std::map<unsigned, std::set<unsigned>> refused_;
};

}  // namespace mosaiko
