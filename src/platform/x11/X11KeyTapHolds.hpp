#pragma once

#include <map>
#include <optional>
#include <utility>

#include "platform/KeyHolds.hpp"
#include "platform/x11/X11KeyTapGrabs.hpp"

typedef struct _XDisplay Display;

namespace mosaiko {

class PostedKeyLedger;
class X11KeyTapModifiers;
class X11KeyTapPresses;
class X11KeyTranslator;

// What the key tap holds and how it lets a held press go. The passive grabs for the holds
// (X11KeyTapGrabs), every key while a modifier they name is in effect, and the grabs that make the
// repeats of each key down come as held presses; the grabbed press the keyboard waits for, which
// goes on to the application (replayed) or is dropped; and the key kept grabbed in every state
// until it goes up. Reads which keys are down and the modifiers in effect from the tap's records.
// Used on the tap's thread only.
class X11KeyTapHolds {
  public:
    X11KeyTapHolds(Display* display, const X11KeyTranslator& translator, PostedKeyLedger& ledger,
                   const X11KeyTapModifiers& modifiers, const X11KeyTapPresses& presses,
                   double answerDelaySeconds);

    // The holds asked for last; set() takes new ones, which place() puts in place.
    const KeyHolds& current() const { return holds_; }
    void set(const KeyHolds& holds) { holds_ = holds; }

    // Places the grabs for the holds; every key while a modifier they name is in effect, or when
    // `everyKey`.
    void place(bool everyKey);
    // Grabs the keys down for their repeats again: placing may have replaced a key's grabs, ours
    // for its repeats among them.
    void regrabRepeats();
    // Whether a modifier the holds name has come into effect, or gone, since the grabs were placed.
    bool everyKeyByModifiersChanged() const { return everyKeyByModifiers() != everyKeyByModifiersPlaced_; }

    // The server repeats a key held down without any raw event, so while the holds ask for repeats
    // each key that is down (and not held anyway) is grabbed with the modifiers in effect: its
    // repeats then come here as held presses. No round trip: a combination another client holds
    // stays with it, and its repeats go there, not to the application.
    void placeRepeatGrabs();

    // Reads the keyboard's table again, after a mapping change; place() again then.
    void refreshMapping() { grabs_.refreshMapping(); }
    // Gives up every grab.
    void releaseAll() { grabs_.releaseAll(); }
    // Whether some grab of ours is on the keycode.
    bool grabs(unsigned keycode) const { return grabs_.grabs(keycode); }

    // The key whose grabbed press the keyboard waits for.
    std::optional<unsigned> frozen() const { return frozen_; }

    // The keyboard waits for a grabbed press of this key. The server started repeating it when it
    // took the press; its release may already wait behind it (typed while the keyboard waited for
    // an earlier press). Should the press be let go only after the server's repeat delay, a repeat
    // comes after that release: the key stays grabbed in every state until the press goes on, so
    // that such a repeat comes here (and is dropped) whatever the holds become meanwhile. A key
    // still down then stays so until it goes up: giving that grab back and grabbing the key again
    // for its repeats takes a round trip, during which a repeat would reach the application unseen.
    void holdKeyGrabbed(unsigned keycode, unsigned long time);
    // Whether this is the grabbed press let go to the application last (until another is grabbed):
    // a grab on a window inside the one that let it go takes it again.
    bool replayedLast(unsigned keycode, unsigned long time) const {
        return replayed_ == std::pair<unsigned, unsigned long>(keycode, time);
    }
    // Lets the press the keyboard waits for go on to the application (`replayIt`) or drops it.
    void letGo(bool replayIt);
    // Drops the repeat of a key let up, which the application must never get (a press without a
    // release, which the server would repeat without end), and lets the key up in the server.
    void letUp(unsigned keycode);
    // The key went up, as observed: a key kept grabbed goes back to the holds' grabs, unless its
    // press still waits.
    void keyUp(unsigned keycode);

  private:
    bool everyKeyByModifiers() const;
    // The key kept grabbed in every state goes back to the grabs the holds want.
    void stopKeeping();
    void grabRepeats(unsigned keycode, unsigned state);

    Display* d_;
    const X11KeyTranslator& translator_;
    PostedKeyLedger& ledger_;
    const X11KeyTapModifiers& modifiers_;
    const X11KeyTapPresses& presses_;
    double answerDelay_ = 0;
    X11KeyTapGrabs grabs_;
    KeyHolds holds_;
    std::optional<unsigned> frozen_;  // the key whose grabbed press the keyboard waits for
    // The time of the grabbed press the keyboard waits for (frozen_ is its key), and the grabbed
    // press let go to the application last, until another is grabbed.
    unsigned long frozenAt_ = 0;  // an X server time
    std::optional<std::pair<unsigned, unsigned long>> replayed_;
    std::optional<unsigned> keptUntilUp_;       // the key grabbed in every state until it goes up
    std::map<unsigned, unsigned> repeatGrabs_;  // keycode: modifier state
    bool everyKeyByModifiersPlaced_ = false;
};

}  // namespace mosaiko
