#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

typedef struct _XDisplay Display;

namespace mosaiko {

class PostedKeyLedger;

// The key tap's records of presses, by keycode: the last raw events of each key (a repeat the
// server makes after the key's release is told by them), the presses reported as not held, what
// each key's last press typed, and which keys are down: as observed, for the user, for the program,
// and as the keyboards typed them. Which keys the user holds goes to the ledger for the poster.
// Used on the tap's thread only.
class X11KeyTapPresses {
  public:
    explicit X11KeyTapPresses(PostedKeyLedger& ledger);

    // Finds the virtual keyboards the program's presses (and any tool's) come from.
    void findPosterKeyboards(Display* display);
    // The raw event being handled came from device `sourceId`.
    void noteSource(int sourceId);
    // Whether the raw event being handled came from one of those keyboards.
    bool posterMayHaveTyped() const { return posterMayHaveTyped_; }

    // Records a raw event of the key as the server handled it.
    void noteRaw(unsigned keycode, unsigned long time, bool isPress);
    // Whether a grabbed press that no press of the user's observed is the server's repeat of a key
    // already let up: its last raw event at the press's time was a release.
    bool isRepeatAfterRelease(unsigned keycode, unsigned long time) const;

    // A press reported as not held, with whether it would type otherwise in the application.
    void notePassedUnheld(unsigned keycode, unsigned long time, bool typedOtherwise);
    // Takes the record of a press reported as not held, by its time: whether it would type
    // otherwise; none when there is no such press.
    std::optional<bool> takePassedUnheld(unsigned keycode, unsigned long time);

    // What the key's last press typed.
    const std::string& typed(unsigned keycode) const { return typed_[keycode & 0xFF]; }
    void setTyped(unsigned keycode, std::string characters) {
        typed_[keycode & 0xFF] = std::move(characters);
    }

    // Keys down now, as observed.
    const std::set<unsigned>& down() const { return down_; }
    void noteObservedDown(unsigned keycode) { down_.insert(keycode); }
    // A press of the key as the server handled it, the program's own (`own`) or the user's.
    void notePressed(unsigned keycode, bool own);
    // A release of the key as the server handled it.
    void noteReleased(unsigned keycode);
    // Whether the user holds the key, in the server's order; whether the program pressed it last.
    bool userDown(unsigned keycode) const { return userDown_.test(keycode); }
    bool ownDown(unsigned keycode) const { return ownDown_.test(keycode); }
    // The keys the user holds, in the server's order or as typed.
    std::bitset<256> userKeysDown() const { return userDown_ | typedDown_; }

    // Which keys the user holds as typed, before the server handles them: the server handles
    // every key in the order typed, so a press of the program's typed after one of the user's on
    // the same key, before its release, meets that key down and is lost; and the program's keys
    // typed while the user holds Shift are shifted. While the keyboard waits for a held press, the
    // server's order comes to the tap many keys late.
    void noteTypedDown(unsigned keycode, bool isPress);

  private:
    // Which keys the user holds, told from the program's own by the ledger in the server's order
    // (`own`; none for a release), for the poster.
    void noteDown(unsigned keycode, std::optional<bool> own);
    void publishUserKeysDown();

    PostedKeyLedger& ledger_;
    static constexpr std::size_t kRawHistory = 8;
    // By keycode: the server times of presses reported as not held, with whether each would type
    // otherwise in the application, and the last raw events.
    std::array<std::vector<std::pair<unsigned long, bool>>, 256> passedUnheld_;
    std::array<std::deque<std::pair<unsigned long, bool>>, 256> rawHistory_;
    std::array<std::string, 256> typed_;  // what each key's last press typed
    std::set<unsigned> down_;             // keys down now, as observed
    std::bitset<256> userDown_;           // those of them the user holds
    std::bitset<256> ownDown_;            // those the program pressed last, until released
    std::bitset<256> typedDown_;          // keys the user holds as typed (noteTypedDown)
    std::set<int> posterKeyboards_;       // the devices the program's presses come from
    bool posterMayHaveTyped_ = true;      // the raw event being handled came from one of them
};

}  // namespace mosaiko
