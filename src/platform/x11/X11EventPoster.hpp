#pragma once

#include <atomic>
#include <bitset>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/SyntheticKeyEvent.hpp"
#include "platform/linux/RemappedKeycodes.hpp"
#include "platform/x11/PostedKeyLedger.hpp"
#include "platform/x11/SpareKeyReaders.hpp"
#include "platform/x11/TypingPace.hpp"
#include "platform/x11/X11ClientSigns.hpp"
#include "platform/x11/X11Display.hpp"
#include "platform/x11/X11SpareKeycodes.hpp"

namespace mosaiko {

// Types synthetic key events into the focused X11 application through XTEST. A key event presses or
// releases the key with that virtual key code (Delete is BackSpace). A text event types its whole
// text on its key-down (its key-up has nothing left to do), a batch of keys at a time: each scalar
// the keyboard types in its current layout and modifier state on its own key (with Shift where it
// needs it), newlines as Return and tabs as Tab, and every other scalar on a spare keycode
// (X11SpareKeycodes) that is mapped to the scalar's keysym for the purpose, all the spare keycodes
// a batch needs at once. A client looks a keycode's meaning up only when it gets round to the key,
// which for a busy or stopped client may be long after the press: a spare keycode keeps its
// character until every client that was sent a key on it has shown that it read it
// (X11ClientSigns), however late, and is then given another, those read first, the least recently
// used first. A text with more distinct such scalars than there are spare keycodes goes in rounds.
// A new keymap (setxkbmap) takes every character off the spare keycodes: the poster notices and maps
// them again, and the key tap withholds the presses of ours that met a keycode emptied, to be
// typed again. Nothing waits between a remapping and the keys: keys the user types after the one
// that asked for the text must not overtake it. A key the user holds down (the Return that chose a
// snippet) would not go down again: it is typed on a spare keycode too. The modifier flags of the
// events are not applied: the keys the user holds still count, so while a key tap follows the
// ledger they are looked at before every key (the tap knows them as typed, before the server has
// handled them), and a key the user presses or lets go starts a new batch. While the user holds a
// modifier, which would change what the keys type or turn them into shortcuts, typing waits (up to
// a second) for it to be let go, then goes on on spare keycodes.
//
// A text goes only to the window that had the focus when it was chosen: while a key tap follows
// the ledger, typing keeps at most two presses ahead of it, and looks for the window losing the
// focus before every key, so that at most two characters can reach a window the user switched to.
//
// post() returns at once; a thread with its own connection does the typing in order, so the waiting
// never stalls the main loop or the key tap. Every press is recorded in the ledger first, so the
// key tap knows it for ours. The poster is also the ledger's retyper: presses of the user's that
// the key tap held back while it typed go into the same queue, so they land after the text posted
// before them and before the text posted after them, into the window they were typed into; those
// that typed a character without Control, Alt or Super type it on a spare keycode, since the user
// may hold their key down again; editing, caret and function keys are pressed again as keys.
// cancel() drops what is being typed (for a newer copy of the program); stop() (a quit) does too
// and ends the poster: both still type the presses of the user's held back meanwhile. Destroying
// the poster finishes what was posted. At the end the spare keycodes are given back once their
// clients have read them, for kEndWaitSeconds at most; what a client has not read by then (a
// stopped one) keeps its character, recorded, until the next start gives it back.
class X11EventPoster {
  public:
    struct Options {
        std::string displayName;                  // $DISPLAY when empty
        std::shared_ptr<PostedKeyLedger> ledger;  // PostedKeyLedger::shared() when empty
        double settleSeconds = 0;                 // from remapping keycodes to typing on them
        // From the last key on a spare keycode to giving it another character, for a client that
        // cannot show that it has read the key (one on another machine).
        double reuseAfterSeconds = 10;
        // The private folder where remapped keycodes are recorded; no record when empty.
        std::filesystem::path recordDirectory;
    };

    // How long the end of the poster waits for clients to read what they were sent.
    static constexpr double kEndWaitSeconds = 2.0;

    // nullptr when the display cannot be opened or lacks XTEST. A `display` given is used instead of
    // opening one.
    static std::unique_ptr<X11EventPoster> create(Options options,
                                                  std::unique_ptr<X11Display> display = nullptr);
    ~X11EventPoster();
    X11EventPoster(const X11EventPoster&) = delete;
    X11EventPoster& operator=(const X11EventPoster&) = delete;

    void post(const SyntheticKeyEvent& event);

    // Drops what was posted so far and the rest of the text being typed; presses of the user's held
    // back meanwhile are still typed again, and what is posted later is typed. Returns once no key
    // of the dropped texts goes out any more and those presses are typed (within `waitSeconds`),
    // and the server has them.
    void cancel(double waitSeconds = 0.4);
    // Ends the poster, for a quit: as cancel(), then nothing more is typed; the spare keycodes are
    // given back once their clients have read them (kEndWaitSeconds at most) and the thread ends.
    void stop();

    // Whether `text` can be typed now; asked on the main thread before anything of an insertion is
    // posted, so an insertion that cannot be typed erases nothing either. False only when the text
    // needs a spare keycode and none can be had; why is said once on stderr.
    bool canType(const std::u16string& text);

  private:
    struct Job {
        std::vector<unsigned long> keysyms;  // one key each; a text when `text` is set
        bool text = false;
        bool keyDown = true;
        std::int64_t userData = 0;
        unsigned retypedKeycode = 0;  // a press of the user's that the key tap held back
        unsigned retypedState = 0;    // and the modifiers it was typed with
        std::string retypedText;      // and what it typed
        bool onSpareKeys = false;     // a text typed on spare keycodes only
        // The window that had the keyboard focus when its insertion was posted, which alone gets
        // it (None: wherever the focus is), and which insertion it belongs to; for a press typed
        // again, the window it was typed into.
        unsigned long target = 0;
        std::uint64_t insertion = 0;
        std::uint64_t sequence = 0;  // in the order posted; 0 for a press typed again
    };

    X11EventPoster(std::unique_ptr<X11Display> display, Options options);
    void run();
    // Gives the spare keycodes back at the end, once their clients have read them.
    void finish();
    void perform(const Job& job);
    // Whether the job was cancelled: what is left of it is not typed.
    bool cancelled(const Job& job) const;
    // Types a text, then again whatever of it the key tap withheld after a lost key.
    void typeText(const Job& job);
    void typeBatches(const Job& job);
    void typeKey(const Job& job);
    void retype(const Job& job);
    // Presses and lets go of a key of the text; false, with nothing typed, when the text is not to
    // go on.
    bool typeTextKey(const Job& job, unsigned keycode, unsigned long keysym, std::optional<bool> shift);
    // Before a key of a text: waits until the key tap is at most two presses behind, and looks for
    // the window losing the focus; false when the text is not to go on.
    bool roomAhead(const Job& job);
    // Waits until Control, Alt and Super are up (a second at most), then learns the keyboard's
    // state; false once the job is not to go on.
    bool prepareBatch(const Job& job);
    // Reads what the server sent: mapping changes, answers to pings, windows gone, focus moving.
    void readEvents();
    // After somebody else changed the keyboard's mapping: which spare keycodes still hold what
    // they were given; after a new keymap, the focused client has loaded it. False when the job is
    // not to go on.
    bool verifySpareKeycodes(const Job* job);
    // Wakes the typing thread, also from its wait for work.
    void wakeUp();
    // Waits for a job, or for news from the server, which it takes in.
    void waitForWork();
    // Whether the job's insertion may go on: its window still has the keyboard focus. Once another
    // has it, nothing more of that insertion is typed.
    bool stillFocused(const Job& job);
    // Whether the keyboard focus is within `window`'s top-level; true for None (no window known).
    bool focusIsWithin(unsigned long window) const;
    // Waits until every client sent a key on one of `keycodes` has read it, or, for one that cannot
    // tell, until the keycode's last use is long past; false when `job` is not to go on meanwhile,
    // or at `deadline`.
    bool awaitRead(const std::vector<unsigned>& keycodes, const Job* job, double deadline);
    // Waits until the focused client has read every key typed so far or until `deadline` (or until
    // `job` is not to go on); false when it did not by then or cannot tell.
    bool awaitTheClient(double deadline, const Job* job = nullptr);
    // Before a text, where the pace asks for it: lets the focused client take the keys typed so
    // far and do what they ask (it answers for them, then waits for input with nothing left to
    // do), within TypingPace's longest wait.
    void letTheClientCatchUp(const Job& job);
    void rebuildKeyboard(unsigned state);
    // The keys the user holds down now (not the program's own on their way).
    std::bitset<256> userKeysDown();
    // The key that types `keysym` now, with or without Shift; none when it is not on the keyboard.
    struct KeyboardKey {
        unsigned keycode = 0;
        bool shift = false;
    };
    std::optional<KeyboardKey> keyboardKey(unsigned long keysym) const;
    // The key that types `keysym` in this job; none when it goes on a spare keycode.
    std::optional<KeyboardKey> keyFor(bool onSpareKeys, unsigned long keysym) const;
    void setShift(bool down);
    // Waits `seconds` unless stopped meanwhile; false once stopped.
    bool pause(double seconds);
    // Waits while the key tap is more than `keysAhead` keys behind with the keys typed so far.
    void keepPaceWithTheTap(std::size_t keysAhead, const Job* job = nullptr);
    // Whether the spare keycodes give the batch's characters; false when it is not to go on.
    bool mapOntoSpareKeycodes(const std::set<unsigned long>& keysyms, const Job& job);
    // Adds `mask` to the events the poster hears of on `window`.
    void listen(unsigned long window, long mask);
    std::size_t freeKeycodes();
    // The main thread's own connection, opened when first needed; null when it cannot be.
    Display* queryDisplay();

    std::unique_ptr<X11Display> display_;
    Options options_;
    std::unique_ptr<RemappedKeycodes> record_;
    std::unique_ptr<X11SpareKeycodes> spare_;
    SpareKeyReaders readers_;
    std::unique_ptr<X11ClientSigns> signs_;
    std::map<unsigned long, long> listening_;  // the event masks selected on windows
    std::uint64_t keysTyped_ = 0;              // presses typed so far
    SpareKeyReaders::Reader reader_ = 0;       // the client the text typed now goes to
    unsigned long watchedTarget_ = 0;          // the window whose losing the focus is looked for
    bool focusMoved_ = false;                  // it lost the focus, by what was read
    bool mappingChanged_ = false;              // by somebody else, since the spare keys were verified
    bool verifying_ = false;                   // verifySpareKeycodes() runs
    std::atomic<std::size_t> usableSlots_{0};  // spare keycodes the typing thread holds now
    std::atomic<unsigned> announcementKeycode_{0};
    std::unique_ptr<X11Display> queryDisplay_;  // the main thread's own connection
    // The main thread's: the insertion posted last, and the window it is for.
    std::uint64_t insertions_ = 0;
    unsigned long target_ = 0;
    std::uint64_t abandoned_ = 0;  // the typing thread's: the insertion whose window lost the focus
    bool saidNoSpareKeycode_ = false;
    TypingPace pace_;
    std::set<unsigned long> strokedOnSlot_;  // keys whose key-down typed a whole stroke on a slot
    // The characters the keyboard types now, on their own keys: for the state and the keys down it
    // was made for, from the keyboard description (fetched anew after a mapping change).
    std::map<char32_t, KeyboardKey> keyboard_;
    std::optional<unsigned> keyboardState_;
    // The keys the user holds, as the batch typed now found them, and those the keyboard was
    // made for; whether one of them is a modifier.
    std::bitset<256> userKeys_, keyboardKeysDown_;
    bool userHoldsModifier_ = false;
    std::bitset<256> modifierKeys_;        // the keycodes the modifier map names
    void* keyboardDescription_ = nullptr;  // XkbDescPtr
    unsigned shiftKeycode_ = 0;
    bool shiftDown_ = false;
    unsigned returnKeycode_ = 0, tabKeycode_ = 0;  // free to press now; 0 when not

    std::mutex mutex_;
    std::condition_variable wake_;
    int wakeFd_ = -1;  // written to wake the thread from its wait for work
    std::deque<Job> jobs_;
    std::atomic<std::uint64_t> posted_{0};            // jobs posted so far
    std::atomic<std::uint64_t> cancelledThrough_{0};  // the last job cancelled
    std::uint64_t performing_ = 0;                    // the job being typed; 0 when none
    std::size_t retypesDue_ = 0;                      // presses of the user's to type again
    std::condition_variable performed_;               // a job ended
    bool stopping_ = false;                           // the thread ends once the queue is empty
    std::atomic<bool> stopNow_{false};                // it ends at once, for a quit
    std::thread thread_;
};

// The live poster on $DISPLAY, sharing PostedKeyLedger::shared() with the live key tap, recording
// its remapped keycodes in the runtime folder of the program `identifier`; over `display` when given.
std::unique_ptr<X11EventPoster> createX11EventPoster(const std::string& identifier,
                                                     std::unique_ptr<X11Display> display = nullptr);

}  // namespace mosaiko
