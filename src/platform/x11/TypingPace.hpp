#pragma once

#include <cstddef>

namespace mosaiko {

// When typing lets the client catch up before a text: after a run of the program's editing keys
// (the BackSpaces that erase a search). Some clients take keys in two ways that overtake each
// other: LibreOffice Writer with its GTK 3 backend works through a run of BackSpaces after the
// keys that follow, so typed back to back the text came before the last BackSpaces. The poster
// then waits for the client's signs that it has applied them (see X11EventPoster). The wait comes
// before the text's first key only, before the keys the user holds are read for it: a pause inside
// a text would let a key the user presses meanwhile go down before the program's press of the same
// key, which the server would then drop.
class TypingPace {
  public:
    // Notes an editing key (BackSpace, Return, Tab) pressed.
    void edited();
    // Notes a text about to be typed. Returns whether the client is to catch up before its first
    // key: whether editing keys went since the last text.
    bool beforeText();

    // Whether a key that types nothing goes between two characters of a text: before a character
    // beyond the basic plane that follows one of it. Writer with its GTK 3 backend sets characters
    // of the basic plane aside while more keys wait to be read, and inserts one beyond it (composed
    // text) at once, ahead of them: typed back to back, "☕🍰" came as "🍰☕", and a family's joiners
    // after its people. A key that is no character makes it insert what it set aside first; a wait
    // would do too, but would let a key the user types meanwhile go down before the program's
    // press of the same key, which the server would then drop.
    static bool breaksBetween(char32_t previous, char32_t next);

    // The longest wait for the client's signs: one that gives none in time (a busy one, or one
    // stopped) gets the text all the same.
    static constexpr double kLongestSeconds = 1.0;

  private:
    bool edited_ = false;  // editing keys pressed since the last text
};

}  // namespace mosaiko
