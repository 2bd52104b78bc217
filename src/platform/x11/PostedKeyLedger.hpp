#pragma once

#include <bitset>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/KeyEvent.hpp"

namespace mosaiko {

// What this program is about to type, so that the key tap can tell its own presses from the user's:
// X key events carry no user data, and our synthetic events come from the same virtual device as
// any other tool's. The poster records each press just before it sends it; the tap takes the
// oldest record when a press of its key arrives. Records that no press claimed within `lifetime`
// seconds lapse, so a press that never reached the tap cannot mark a later one of the user's.
// It also knows whether the program is typing, and where to send a press of the user's that the
// tap held back meanwhile, so that it is typed again after the program's text. Thread-safe.
class PostedKeyLedger {
  public:
    // The user data of a press the key tap held back and the poster typed again.
    static constexpr std::int64_t retypedUserData = kRetypedEventMarker;
    static constexpr std::int64_t announcementUserData = kRetypeAnnouncementMarker;
    static constexpr std::int64_t withheldUserData = kWithheldEventMarker;
    // Types a held-back press (an X keycode, with the X modifier state it was typed in, the
    // characters it typed then, and the window it was typed into, None when unknown) again, after
    // whatever the poster has taken on so far. Called with the ledger locked: it must not call the
    // ledger.
    using Retyper = std::function<void(unsigned keycode, unsigned state, const std::string& characters,
                                       unsigned long window)>;

    explicit PostedKeyLedger(double lifetimeSeconds = 2.0) : lifetime_(lifetimeSeconds) {}

    // The ledger shared by the live key tap and the live poster.
    static const std::shared_ptr<PostedKeyLedger>& shared();

    // Records a press of X keycode `keycode` at `now` (monotonic seconds), carrying `userData`;
    // `keysym` is the character it types in a text (none for other keys), with Shift (`shifted`) or
    // without, or either way on a spare keycode (none).
    void expect(unsigned keycode, std::int64_t userData, double now, unsigned long keysym = 0,
                std::optional<bool> shifted = std::nullopt);
    // The user data of the oldest live record when it is for a press of `keycode`, which it
    // removes; nullopt when the press is not ours. Every press we post comes back, in the order
    // posted: a press of a key whose record is not the next one due is somebody else's (another
    // tool typing the same letters between our keys, or the user typing again a key of ours that
    // is typed again after an announcement, see kRetypeAnnouncementMarker).
    //
    // `lost`: the press came while the user held its key down, and the server dropped it (it drops
    // a press of a key that is down, whoever pressed it). `modifiers`: the X modifier state it came
    // in, when known; a modifier the user pressed meanwhile makes it type something else (a capital,
    // a shortcut). `keysym`: what the keycode held when the press came, where that is known: a press
    // of ours on a spare keycode whose character a new keymap took off types nothing, or something
    // else. From a character of a text lost or mistyped on, every character of ours is
    // withheld: claimed as withheldUserData, for the key tap to drop, and kept for takeWithheld(), so
    // that the text goes on in order from there.
    //
    // `typedAt`: the server time the press was typed at, where known. A press typed before a key
    // the key tap had seen typed when the record was made went down before ours was posted: it is
    // somebody else's, however it matches (a tool's press of the same key that waited behind a held
    // one while the program posted its own).
    std::optional<std::int64_t> claim(unsigned keycode, double now, bool lost = false,
                                      std::optional<unsigned> modifiers = std::nullopt,
                                      std::optional<unsigned long> keysym = std::nullopt,
                                      std::optional<unsigned long> typedAt = std::nullopt);
    // A key was typed on a keyboard device at server time `serverTime` (milliseconds), as the key
    // tap saw it come, before the server handled it: every press posted from now on comes later.
    void noteTyped(unsigned long serverTime);
    // The characters (keysyms) lost or withheld since the last call, in the order typed; it ends
    // the withholding.
    std::vector<unsigned long> takeWithheld();
    // The poster has sent its keys and waits for the key tap to see them, to learn whether any was
    // lost: unless one was, that is no typing. Until the end of the events taken on, or until it
    // takes withheld characters to type again.
    void awaitTheTap();
    // The same for a press as a keyboard device typed it, which comes before the server handles it
    // (long before while the keyboard waits for a held press): whether it is the next of ours to be
    // typed, which it marks so; the record stays for claim(). Our presses are typed in the order
    // posted too.
    bool claimTyped(unsigned keycode, double now);

    std::size_t pendingCount() const;
    // Waits until at most `count` presses of ours are still to come past the key tap, or on their
    // way through it (claimed, not yet let go: a press the tap holds reaches the application only
    // once it lets it go), for `seconds` at most; whether they are.
    bool awaitPendingAtMost(std::size_t count, double seconds) const;
    // The key tap has let go of every press it claimed so far (and sent that to the server).
    void letGo();

    // The spare keycodes the poster maps to type its text on: keys no keyboard has, which the key
    // tap leaves alone also while it holds every key. Once marked, a keycode stays ours.
    void markOwnKeycodes(const std::vector<unsigned>& keycodes);
    std::set<unsigned> ownKeycodes() const;

    // The keys the user holds down, as the key tap last saw them, without the program's own
    // presses: those the server has handled and those typed that it has yet to handle, which go
    // down before any press of ours posted after them. The poster types a character on its own key
    // only while the user does not hold that key, nor a modifier.
    void setUserKeysDown(const std::bitset<256>& keys);
    std::bitset<256> userKeysDown() const;

    // The poster has taken on events to type (one end for every begin, once they are typed).
    void beginPosting();
    void endPosting();
    // Whether the program is typing at `now`: events taken on and not typed yet, or presses sent
    // that have not come past the key tap.
    bool isTyping(double now);

    // Told (with the ledger locked: it must not call the ledger) when the program starts typing, so
    // that the key tap holds the user's keys meanwhile; `owner` identifies it for the removal.
    void setTypingListener(const void* owner, std::function<void()> listener);
    void removeTypingListener(const void* owner);
    // Whether a key tap follows the records (a typing listener is set): only then are they claimed.
    bool isFollowed() const;

    // The poster that types held-back presses again; `owner` identifies it for the removal.
    void setRetyper(const void* owner, Retyper retyper);
    void removeRetyper(const void* owner);
    // Hands a held-back press to the retyper, as events taken on (the retyper ends them once
    // typed); false when there is no retyper.
    bool retypeLater(unsigned keycode, unsigned state, const std::string& characters = {},
                     unsigned long window = 0);

  private:
    struct Record {
        unsigned keycode;
        std::int64_t userData;
        double time;
        unsigned long keysym;
        std::optional<bool> shifted;
        std::optional<unsigned long> typedAfter;  // the latest key seen typed when it was made
    };
    void popFront();
    void dropLapsed(double now);

    const double lifetime_;
    mutable std::mutex mutex_;
    mutable std::condition_variable claimed_;  // a record went
    std::deque<Record> records_;
    std::optional<unsigned long> lastTyped_;  // server time of the latest key seen typed
    std::size_t typedAhead_ = 0;              // the records at the front that claimTyped() has marked
    std::size_t claimedNotLetGo_ = 0;
    std::vector<unsigned long> withheld_;  // characters lost, and those withheld after them
    std::set<unsigned> ownKeycodes_;
    std::bitset<256> userKeysDown_;
    int posting_ = 0;
    bool awaiting_ = false;  // the poster waits for the tap (awaitTheTap())
    const void* retyperOwner_ = nullptr;
    Retyper retyper_;
    const void* listenerOwner_ = nullptr;
    std::function<void()> typingListener_;
};

}  // namespace mosaiko
