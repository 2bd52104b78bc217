#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>

#include "platform/KeyEvent.hpp"
#include "platform/KeyHolds.hpp"

namespace mosaiko {

// The rules of a key tap that holds only some keys, apart from the display server that carries
// them out. A held press freezes the keyboard until it is answered, so:
// - a held press of the user's goes to the handler and waits for its answer; when the handler has
//   not moved for `answerBound` seconds the press goes on to the application, and the tap disables
//   itself (the handler hears of that and enables it again), so that a stalled handler never stalls
//   typing. A handler that is still busy with the keys typed just before (which do not wait) or that
//   is deciding the press gets up to `takenUpBound` seconds;
// - a press this program typed itself passes at once (the handler hears of it, with its marker); a
//   press of the user's that the program typed again after its own text passes unheard, and the
//   press that announces it (on a key no keyboard has) is dropped;
// - a press of the user's typed while the program types would overtake the program's text: when the
//   handler lets it pass it is dropped and typed again after the text instead. While the program
//   types every key is held, and that hold is in place before the press that started the typing
//   lets the keyboard go on, so keys typed meanwhile cannot slip past;
// - keys that are not held reach the application at once and are reported afterwards (`held`
//   false); so does a held press no hold asks about (one held only right after another key, see
//   KeyHold::after, or sharing its key with a held character); the handler's holds that run out
//   (`KeyHold::until`) are released;
// - while the handler asks for every key (a search that keeps its keys to itself), a press typed
//   before another window became the active one is dropped rather than sent on to that window,
//   whenever it goes on (the keyboard delivers a waiting press to the window active by then), and
//   the server drops the presses that waited behind it, typed before the change too.
// Single-threaded: the tap's own thread calls everything, and the handler's answers and holds reach
// it from there.
class KeyTapRules {
  public:
    // The display server's side.
    class Server {
      public:
        virtual ~Server() = default;
        // The waiting press goes on to the application unchanged.
        virtual void replay() = 0;
        // The waiting press is dropped; its release and whatever is typed next reach the application.
        virtual void drop() = 0;
        // Holds exactly these keys from now on.
        virtual void hold(const KeyHolds& holds) = 0;
        // The waiting press is dropped, typed for a window that is no longer the active one: so
        // are the presses typed before the change that waited behind it.
        virtual void dropTypedForAnotherWindow() { drop(); }
    };

    // What this program types, as its poster records it.
    struct OwnKeys {
        // The marker of this program's own pending press of the key, which it takes off the
        // record; none for a press of the user's.
        std::function<std::optional<std::int64_t>(unsigned keycode, double now)> claim;
        // Whether the program is typing now.
        std::function<bool(double now)> isTyping;
        // Has a press of the user's typed again after the program's text, with the modifiers and
        // layout group of `state` (the server's state of the press); false when that cannot be.
        std::function<bool(unsigned keycode, unsigned state)> retypeLater;
    };

    // Hands an event to the handler; when `asks`, the answer comes back through answer(id, …).
    using Deliver = std::function<void(std::uint64_t id, const KeyEvent& event, bool asks)>;
    // Where the handler stands with press `id` once its time is up.
    enum class Progress {
        idle,        // it has not moved since the press was asked about: the question is withdrawn
        catchingUp,  // it is still busy with events that came before the press
        deciding,    // it has taken the press up: its answer will count
    };
    // Called when the time of press `id` is up; `mayWait` is false once the longest wait is over,
    // and then only `deciding` keeps the press waiting. `idle` must withdraw the question for good,
    // so that a press never both goes on and is acted upon.
    using Withdraw = std::function<Progress(std::uint64_t id, bool mayWait)>;

    // The longest a press waits while the handler catches up with earlier events or decides it.
    static constexpr double takenUpBound = 1.0;

    KeyTapRules(Server& server, OwnKeys ownKeys, Deliver deliver, double answerBound,
                Withdraw withdraw = nullptr);

    // A key press the server reports, in the server's modifier and group `state`; `event.held` when
    // the keyboard waits for it. A held press `unobserved` but for its hold (a key held down that
    // the server repeats) is asked about whatever the holds say of its key. A press that
    // `typesNothing` in the application as it was typed (its key's mapping was given back while it
    // waited, or the layout group it was typed in was switched back) is typed again, as its
    // characters, instead of going on.
    void press(unsigned keycode, KeyEvent event, double now, unsigned state = 0, bool unobserved = false,
               bool typesNothing = false);
    // A modifier change (never held).
    void modifiersChanged(const KeyEvent& event);
    // Another window became the active one, in the server's order with the presses.
    void activeWindowChanged() { ++windowChanges_; }
    std::uint64_t windowChanges() const { return windowChanges_; }
    // Whether the handler asks for every key.
    bool asksForEveryKey() const { return requested_.everyKey; }
    // The handler's answer for press `id`; an answer that comes too late does nothing.
    void answer(std::uint64_t id, bool drop, double now);
    // The keys the handler may swallow from now on.
    void setHolds(KeyHolds holds, double now);
    void setEnabled(bool enabled) { enabled_ = enabled; }
    bool isEnabled() const { return enabled_; }
    // Lets time pass: the answer bound, holds that run out, the end of the program's typing.
    void tick(double now);
    // When tick() next has something to do.
    std::optional<double> nextDeadline() const;
    // The id of the press that waits for an answer; 0 when none does.
    std::uint64_t waitingPress() const { return waiting_ ? waiting_->id : 0; }
    // Told to stop: nothing is asked any more (nobody would answer), and the press waiting for an
    // answer goes on as if let pass, after the program's text when it would overtake it. The holds
    // stay while the program types, so that keys typed meanwhile follow the text in order.
    void windDown(double now);
    // Lets a waiting press go on and holds nothing more.
    void stop();

  private:
    struct Waiting {
        std::uint64_t id = 0;
        unsigned keycode = 0;
        unsigned state = 0;
        bool overtakes = false;  // typed again after the program's text, or as its characters
        double askedAt = 0;
        double deadline = 0;
        bool decided = false;        // the handler took it up: only its answer settles it
        std::uint64_t windowAt = 0;  // windowChanges_ when it was typed
        bool everyKeyAsked = false;  // while the handler asked for every key
    };
    // Whether the press was typed for a window that is no longer the active one, in a search that
    // keeps every key: it must not go on to another.
    bool typedForAnotherWindow(const Waiting& press) const {
        return press.everyKeyAsked && press.windowAt != windowChanges_;
    }
    void refreshHolds(double now);
    // Whether the press, let go now, would come before text of the program's that it must follow.
    bool overtakes(const Waiting& press, double now) const;
    // Drops the press the keyboard waits for, to be typed again after what the program types;
    // false when it cannot be.
    bool retypeInstead(unsigned keycode, unsigned state, double now);
    void settleOverdue(double now);

    Server& server_;
    OwnKeys ownKeys_;
    Deliver deliver_;
    double answerBound_;
    Withdraw withdraw_;
    bool enabled_ = true;
    std::optional<Waiting> waiting_;
    std::uint64_t lastId_ = 0;
    KeyHolds requested_;
    std::optional<KeyHolds> placed_ = KeyHolds{};
    std::optional<double> typingCheckAt_;
    std::uint64_t windowChanges_ = 0;
    // The last press of the user's: what it typed, and when.
    struct Typed {
        std::string characters;
        double at = -std::numeric_limits<double>::infinity();
    };
    Typed lastTyped_;
};

}  // namespace mosaiko
