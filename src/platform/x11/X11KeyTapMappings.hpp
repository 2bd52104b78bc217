#pragma once

#include <array>
#include <bitset>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "platform/KeyEvent.hpp"
#include "platform/KeyHolds.hpp"
#include "platform/x11/X11KeymapRecorder.hpp"

typedef struct _XDisplay Display;

namespace mosaiko {

class PostedKeyLedger;
class X11KeyTranslator;

// The keyboard-mapping changes the server announced to the key tap, and what a press on a key a
// client remapped typed. A tool that maps a spare key for a moment (auto-type tools do) gives it
// back soon after typing on it, maybe before the tap has come to the press; by then the server's
// mapping says nothing of what the press typed. So the keys a mapping change names are read as soon
// as its announcement is seen, and taken in when the announcement's turn comes, before the keys
// that came after it; where RECORD is offered, the recorder tells the mapping each press was typed
// under. Used on the tap's thread only.
class X11KeyTapMappings {
  public:
    X11KeyTapMappings(Display* display, const X11KeyTranslator& translator, PostedKeyLedger& ledger);

    // Takes in the recorder, made meanwhile (none without RECORD), for `holds` and after.
    void takeRecorder(std::unique_ptr<X11KeymapRecorder> recorder, const KeyHolds& holds,
                      unsigned long serverTime);
    // Before the grabs that may keep presses waiting: what a tool typed on a key it remapped for the
    // moment may come out of the wait under another mapping. `serverTime` is the latest seen.
    void recordPresses(const KeyHolds& holds, unsigned long serverTime);

    // Reads what the keys of every mapping change announced in the queue, and not read yet, are
    // mapped to now.
    void readAnnounced();
    // What the keys of a mapping change were mapped to when its announcement was first seen.
    void takeAnnounced(int request, int firstKeycode, int count);

    // What the keycode held when the press came, in the server's order, where a change of its
    // mapping has been seen since the start: a new keymap may have taken a spare keycode's character
    // off it just before a press of the program's text.
    std::optional<unsigned long> heldNow(unsigned keycode) const;

    // A press on a key a client remapped: the characters of the mapping it was typed under go into
    // `event` where the key means something else now. Returns whether it does (the press would
    // type something else in the application, or nothing), or none where the recorder cannot tell.
    std::optional<bool> typedAsRecorded(unsigned keycode, unsigned long time, unsigned state,
                                        KeyEvent& event);

    // A press whose key the server's mapping no longer names types what the key was mapped to.
    // Returns whether the mapping was given back before the press came: the application too has
    // been told of that first, and the press types nothing there.
    bool fillInCharacters(unsigned keycode, KeyEvent& event) const;

  private:
    // Whether the holds keep keys typed in the normal course waiting (every key, or one in every
    // modifier state: the panel's keys while it shows), rather than rare combinations.
    static bool makesKeysWait(const KeyHolds& holds);
    std::vector<unsigned long> mappedKeysyms(int first, int count);

    Display* d_;
    const X11KeyTranslator& translator_;
    PostedKeyLedger& ledger_;
    // What presses on keys that tools remap for a moment were typed as; none without RECORD, and
    // none until takeRecorder().
    std::unique_ptr<X11KeymapRecorder> recorder_;
    // How long a press waits for the recorder's report of it, which comes on its own connection.
    static constexpr double kRecorderWaitSeconds = 0.25;
    std::bitset<256> remappedByTools_;  // keys a change of part of the keyboard named since the start
    // Keysyms read for announced mapping changes not taken in yet, in order, and for each keycode
    // what the last change taken in mapped it to.
    std::deque<std::vector<unsigned long>> announcedMappings_;  // of the keyboard announcements queued
    std::array<unsigned long, 256> announcedKeysyms_{};
    std::bitset<256> announced_;  // the keycodes a change taken in named
    // For each keycode, what a mapping given back last took off it, and when; what a press that
    // waited behind a held one typed. Long enough for the longest wait of a held press.
    struct GivenBack {
        unsigned long keysym = 0;  // NoSymbol
        double at = 0;
    };
    static constexpr double kGivenBackLifetime = 2.0;
    std::array<GivenBack, 256> givenBack_{};
};

}  // namespace mosaiko
