#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/KeyEvent.hpp"
#include "platform/KeyHolds.hpp"

namespace mosaiko {

// The rules of a key tap that holds only some keys, apart from the display server that carries
// them out. A held press freezes the keyboard until it is answered, so:
// - a held press of the user's goes to the handler and waits for its answer at most `answerBound`
//   seconds (or `takenUpBound` once the handler is working on it); without an answer it goes on to
//   the application, and the tap disables itself (the handler hears of that and enables it again)
//   so that a stalled handler never stalls typing;
// - a press this program typed itself passes at once (the handler hears of it, with its marker); a
//   press of the user's that the program typed again after its own text passes unheard;
// - a press of the user's typed while the program types would overtake the program's text: when the
//   handler lets it pass it is dropped and typed again after the text instead. While the program
//   types every key is held, and that hold is in place before the press that started the typing
//   lets the keyboard go on, so keys typed meanwhile cannot slip past;
// - keys that are not held reach the application at once and are reported afterwards (`held`
//   false); the handler's holds that run out (`KeyHold::until`) are released.
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
    };

    // What this program types, as its poster records it.
    struct OwnKeys {
        // The marker of this program's own pending press of the key, which it takes off the
        // record; none for a press of the user's.
        std::function<std::optional<std::int64_t>(unsigned keycode, double now)> claim;
        // Whether the program is typing now.
        std::function<bool(double now)> isTyping;
        // Has a press of the user's typed again after the program's text; false when that cannot be.
        std::function<bool(unsigned keycode)> retypeLater;
    };

    // Hands an event to the handler; when `asks`, the answer comes back through answer(id, …).
    using Deliver = std::function<void(std::uint64_t id, const KeyEvent& event, bool asks)>;
    // Withdraws the question about press `id` once its time is up; false when the handler has
    // already taken it up (it is deciding now), so that its answer still counts: a press must not
    // both go on and be acted upon.
    using Withdraw = std::function<bool(std::uint64_t id)>;

    // How long an answer the handler is already working on may take before the press goes on.
    static constexpr double takenUpBound = 1.0;

    KeyTapRules(Server& server, OwnKeys ownKeys, Deliver deliver, double answerBound,
                Withdraw withdraw = nullptr);

    // A key press the server reports; `event.held` when the keyboard waits for it.
    void press(unsigned keycode, KeyEvent event, double now);
    // A modifier change (never held).
    void modifiersChanged(const KeyEvent& event);
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
    // Lets a waiting press go on and holds nothing more.
    void stop();

  private:
    struct Waiting {
        std::uint64_t id = 0;
        unsigned keycode = 0;
        bool overtakes = false;
        double deadline = 0;
        bool takenUp = false;
    };
    void refreshHolds(double now);

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
};

}  // namespace mosaiko
