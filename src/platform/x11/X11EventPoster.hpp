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
#include "platform/x11/TypingPace.hpp"
#include "platform/x11/X11Display.hpp"

namespace mosaiko {

// Types synthetic key events into the focused X11 application through XTEST. A key event presses or
// releases the key with that virtual key code (Delete is BackSpace). A text event types its whole
// text on its key-down (its key-up has nothing left to do), a batch of keys at a time: each scalar
// the keyboard types in its current layout and modifier state on its own key (with Shift where it
// needs it), newlines as Return and tabs as Tab, and every other scalar on a spare keycode that is
// mapped to the scalar's keysym for the purpose, all the spare keycodes a batch needs at once. A
// client takes a changed mapping from the notice that precedes the keys in its event stream, but
// may look the mapping up again later (a stopped or busy client, seconds later), so a spare keycode
// keeps its character until quit, and is given another, the least recently used first, only once
// the focused client has read its last key (it answered a ping sent after it), or long after that
// key for a client that cannot be asked; the lowest free keycode is left to other tools. A
// text with more distinct such scalars than there are spare keycodes goes in several rounds.
// Nothing waits between a remapping and the keys: keys the user types after the one that asked for
// the text must not overtake it. A key the user holds down (the Return that chose a snippet) would
// not go down again: it is typed on a spare keycode too. The modifier flags of the events are not
// applied: the keys the user holds still count, so while a key tap follows the ledger they are
// looked at before every key (the tap knows them as typed, before the server has handled them),
// and a key the user presses or lets go starts a new batch. While the user holds a modifier, which
// would change what the keys type or turn them into shortcuts, typing waits (up to a second) for it
// to be let go, then goes on on spare keycodes. While a key tap follows the ledger, typing keeps at
// most a few hundred keys ahead of it, so that a stop takes effect at once.
//
// Every remapping is recorded first (RemappedKeycodes), and a poster made after a run that was
// killed restores the keycodes that run left remapped, where they still hold what it put there;
// without that, a few killed runs use up every spare keycode for good.
//
// post() returns at once; a thread with its own connection does the typing in order, so the waiting
// never stalls the main loop or the key tap. Every press is recorded in the ledger first, so the
// key tap knows it for ours. The poster is also the ledger's retyper: presses of the user's that
// the key tap held back while it typed go into the same queue, so they land after the text posted
// before them and before the text posted after them; those that typed a character without Control,
// Alt or Super type it on a spare keycode, since the user may hold their key down again. Destroying
// the poster finishes what was posted and restores the mapping, unless it was stopped.
class X11EventPoster {
  public:
    struct Options {
        std::string displayName;                  // $DISPLAY when empty
        std::shared_ptr<PostedKeyLedger> ledger;  // PostedKeyLedger::shared() when empty
        double settleSeconds = 0;                 // from remapping keycodes to typing on them
        // From the last key on a spare keycode to giving it another character when the client
        // cannot tell that it has read the key: a client may read a key's meaning seconds after
        // the press (a stopped or busy one).
        double reuseAfterSeconds = 10;
        // The private folder where remapped keycodes are recorded; no record when empty.
        std::filesystem::path recordDirectory;
    };

    // nullptr when the display cannot be opened or lacks XTEST. A `display` given is used instead of
    // opening one.
    static std::unique_ptr<X11EventPoster> create(Options options,
                                                  std::unique_ptr<X11Display> display = nullptr);
    ~X11EventPoster();
    X11EventPoster(const X11EventPoster&) = delete;
    X11EventPoster& operator=(const X11EventPoster&) = delete;

    void post(const SyntheticKeyEvent& event);

    // Ends the typing at once, for a quit: what is still to be typed is dropped (presses of the
    // user's held back meanwhile are still typed again), the remapped keycodes are given back a
    // moment after the last key and their record goes, and the thread ends. Returns within a
    // quarter of a second; nothing is typed afterwards. The destructor finishes the typing instead.
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
    };
    struct Slot {
        unsigned keycode = 0;
        unsigned long keysym = 0;  // 0 while unmapped
        double lastUsed = -1e9;
    };

    X11EventPoster(std::unique_ptr<X11Display> display, Options options);
    void run();
    void perform(const Job& job);
    // Types a text, then again whatever of it the key tap withheld after a lost key.
    void typeText(const Job& job);
    void typeBatches(const Job& job);
    void typeKey(const Job& job);
    void retype(const Job& job);
    // Waits until Control, Alt and Super are up (a second at most), then learns the keyboard's
    // state; false once stopped.
    bool prepareBatch();
    // Reads what the server sent: mapping changes, answers to pings.
    void readEvents();
    // Whether the job's insertion may go on: its window still has the keyboard focus. Once another
    // has it, nothing more of that insertion is typed.
    bool stillFocused(const Job& job);
    // Whether the keyboard focus is on `window` or inside it; true for None (no window known).
    bool focusIsWithin(unsigned long window) const;
    // Waits until the focused client has read every key typed so far (it answers a ping sent
    // after them) or until `deadline`; false when it did not answer by then or cannot be asked.
    bool awaitTheClient(double deadline);
    // Before a text, where the pace asks for it: lets the focused client take the keys typed so
    // far (it answers a ping sent after them, or does not within TypingPace's longest wait), then
    // waits as long as the pace says.
    void letTheClientCatchUp();
    // The focused client's window that answers pings; None when there is none.
    unsigned long focusedClient() const;
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
    // A press and release of a spare keycode that types nothing, where TypingPace breaks a text.
    void typeKeyOfNoCharacter(const Job& job);
    // Waits `seconds` unless stopped meanwhile; false once stopped.
    bool pause(double seconds);
    // Waits while the key tap is more than `keysAhead` keys behind with the keys typed so far.
    void keepPaceWithTheTap(std::size_t keysAhead);
    void restoreKeycodes(const std::vector<unsigned>& keycodes);
    std::vector<unsigned> spareKeycodes();
    // Those of the spare keycodes the poster takes: all but the lowest.
    std::vector<unsigned> ownSpareKeycodes(const std::vector<unsigned>& spare) const;
    bool discoverSlots();
    bool mapOntoSlots(const std::vector<unsigned long>& keysyms);
    unsigned keycodeOnSlot(unsigned long keysym) const;
    bool keycodeIsSlot(unsigned keycode) const;
    void restoreSlots();
    bool hasMappedSlots() const;
    // Records the mapped slots, and `alsoHeld` (mappings about to be replaced).
    void recordMappedSlots(std::vector<RemappedKeycodes::Entry> alsoHeld = {});
    std::size_t freeKeycodes();
    // The main thread's own connection, opened when first needed; null when it cannot be.
    Display* queryDisplay();

    std::unique_ptr<X11Display> display_;
    Options options_;
    std::vector<Slot> slots_;
    std::unique_ptr<RemappedKeycodes> record_;
    std::atomic<std::size_t> usableSlots_{0};   // spare keycodes the typing thread holds now
    std::unique_ptr<X11Display> queryDisplay_;  // the main thread's own connection
    // The main thread's: the insertion posted last, and the window it is for.
    std::uint64_t insertions_ = 0;
    unsigned long target_ = 0;
    std::uint64_t abandoned_ = 0;  // the typing thread's: the insertion whose window lost the focus
    bool saidNoSpareKeycode_ = false;
    double lastKeyTime_ = 0;
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
    std::atomic<bool> stopNow_{false};
    unsigned long wmProtocols_ = 0, netWmPing_ = 0;  // atoms
    unsigned long lastPingSent_ = 0, lastPingAnswered_ = 0;
    // The spare keycode whose press announces a press typed again; 0 when there is none to spare.
    std::atomic<unsigned> announcementKeycode_{0};

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::thread thread_;
};

// The live poster on $DISPLAY, sharing PostedKeyLedger::shared() with the live key tap, recording
// its remapped keycodes in the runtime folder of the program `identifier`; over `display` when given.
std::unique_ptr<X11EventPoster> createX11EventPoster(const std::string& identifier,
                                                     std::unique_ptr<X11Display> display = nullptr);

}  // namespace mosaiko
