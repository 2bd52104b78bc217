#include "platform/KeyTapRules.hpp"

#include <algorithm>
#include <limits>
#include <utility>

namespace mosaiko {

namespace {

// How often the end of the program's typing is looked for while every key is held for it.
constexpr double kTypingCheckInterval = 0.02;
// The handler times presses when it gets round to them, which may be later for the one before: a
// press held only right after another is asked about also this much beyond its own bound.
constexpr double kHandlerClockSlack = 0.25;

}  // namespace

KeyTapRules::KeyTapRules(Server& server, OwnKeys ownKeys, Deliver deliver, double answerBound,
                         Withdraw withdraw)
    : server_(server),
      ownKeys_(std::move(ownKeys)),
      deliver_(std::move(deliver)),
      answerBound_(answerBound),
      withdraw_(std::move(withdraw)) {}

void KeyTapRules::press(unsigned keycode, KeyEvent event, double now, unsigned state, bool unobserved,
                        bool typesNothing) {
    // A repeat of a key held down is never ours: the program lets go of each key it presses at once.
    const auto own = unobserved ? std::nullopt : ownKeys_.claim(keycode, now);
    // The keyboard waits for one press at a time: a new held press means the last one went on.
    if (event.held) waiting_.reset();
    if (own && (*own == kRetypeAnnouncementMarker || *own == kWithheldEventMarker)) {
        // Nothing for the application: a key no keyboard has, or a character typed again later.
        if (event.held) server_.drop();
        refreshHolds(now);
        return;
    }
    if (own && *own == kRetypedEventMarker) {
        if (event.held) server_.replay();  // the handler has had this press already
        refreshHolds(now);
        return;
    }
    if (own) event.userData = *own;
    if (!enabled_ || own) {
        // Disabled, the tap asks nothing; a press of the user's still comes after the program's
        // text and after the presses typed again before it.
        if (event.held && (own || !ownKeys_.isTyping(now) || !retypeInstead(keycode, state, now)))
            server_.replay();
        if (own) {
            event.held = false;
            if (enabled_) deliver_(0, event, false);
            refreshHolds(now);  // this may have been the last key of the program's text
        }
        return;
    }
    const Typed before = std::exchange(lastTyped_, Typed{event.characters, now});
    if (event.held && !unobserved && placed_ &&
        !placed_->asksAbout(event, before.characters, now - before.at - kHandlerClockSlack)) {
        // Held for what may come right after another key, or on a key some hold shares: no
        // answer can be wanted, so it goes on at once (as its characters, when it would type none).
        if (!typesNothing || !retypeInstead(keycode, state, now)) server_.replay();
        event.held = false;
    }
    if (!event.held) {
        deliver_(0, event, false);
    } else {
        const bool overtakes = typesNothing || ownKeys_.isTyping(now);
        waiting_ = Waiting{++lastId_,          keycode, state,          overtakes,          now,
                           now + answerBound_, false,   windowChanges_, requested_.everyKey};
        deliver_(waiting_->id, event, true);
    }
    refreshHolds(now);  // a key held only right after this one is held from now on
}

void KeyTapRules::modifiersChanged(const KeyEvent& event) {
    if (enabled_) deliver_(0, event, false);
}

void KeyTapRules::answer(std::uint64_t id, bool drop, double now) {
    if (!waiting_ || waiting_->id != id) return;
    const Waiting press = *waiting_;
    waiting_.reset();
    // Should the program be typing now (this press asked for text), every key is held before the
    // keyboard moves on.
    refreshHolds(now);
    if (typedForAnotherWindow(press)) {
        server_.dropTypedForAnotherWindow();
    } else if (drop) {
        server_.drop();
    } else if (!overtakes(press, now) || !retypeInstead(press.keycode, press.state, now)) {
        server_.replay();
    }
}

bool KeyTapRules::overtakes(const Waiting& press, double now) const {
    // Text asked for while the press waited (at a mark the handler heard of before it) is posted
    // behind the press, yet the handler took the press for one that comes after that text.
    return press.overtakes || ownKeys_.isTyping(now);
}

bool KeyTapRules::retypeInstead(unsigned keycode, unsigned state, double now) {
    if (!ownKeys_.retypeLater(keycode, state)) return false;
    refreshHolds(now);  // every key held while it is typed, before the keyboard goes on
    server_.drop();
    return true;
}

void KeyTapRules::setHolds(KeyHolds holds, double now) {
    requested_ = std::move(holds);
    refreshHolds(now);
}

void KeyTapRules::tick(double now) {
    if (waiting_ && now >= waiting_->deadline) settleOverdue(now);
    refreshHolds(now);
}

void KeyTapRules::settleOverdue(double now) {
    Waiting& press = *waiting_;
    const double limit = press.askedAt + takenUpBound;
    if (!press.decided && withdraw_) {
        switch (withdraw_(press.id, now < limit)) {
            case Progress::deciding:
                press.decided = true;
                press.deadline = now + takenUpBound;
                return;
            case Progress::catchingUp:
                press.deadline = std::min(now + answerBound_, limit);
                return;
            case Progress::idle:
                break;
        }
    }
    const bool elsewhere = typedForAnotherWindow(press);
    waiting_.reset();
    if (elsewhere) {
        server_.dropTypedForAnotherWindow();
    } else if (!overtakes(press, now) || !retypeInstead(press.keycode, press.state, now)) {
        server_.replay();  // as if let pass; one typed while the program types lands after its text
    }
    enabled_ = false;
    KeyEvent notice;
    notice.type = KeyEvent::Type::tapDisabledByTimeout;
    notice.held = false;
    deliver_(0, notice, false);
}

std::optional<double> KeyTapRules::nextDeadline() const {
    std::optional<double> next = typingCheckAt_;
    auto consider = [&](double at) { next = next ? std::min(*next, at) : at; };
    if (waiting_) consider(waiting_->deadline);
    if (placed_) {
        for (const KeyHold& hold : placed_->keys) {
            if (hold.until != std::numeric_limits<double>::infinity()) consider(hold.until);
            if (!hold.after.empty()) consider(lastTyped_.at + hold.afterWithin + kHandlerClockSlack);
        }
    }
    return next;
}

void KeyTapRules::windDown(double now) {
    enabled_ = false;
    if (!waiting_) return;
    const Waiting press = *waiting_;
    waiting_.reset();
    if (!press.overtakes || !retypeInstead(press.keycode, press.state, now)) server_.replay();
}

void KeyTapRules::stop() {
    if (waiting_) {
        waiting_.reset();
        server_.replay();
    }
    requested_ = {};
    if (placed_ && !placed_->empty()) server_.hold({});
    placed_ = KeyHolds{};
    typingCheckAt_.reset();
}

void KeyTapRules::refreshHolds(double now) {
    KeyHolds holds = requested_;
    std::erase_if(holds.keys, [&](const KeyHold& hold) {
        return hold.until <= now ||
               !hold.followsTyped(lastTyped_.characters, now - lastTyped_.at - kHandlerClockSlack);
    });
    // Keys the user types while the program types are held back and typed again after its text:
    // those typed into the window it types into, unless a session holds every key anyway.
    const bool typing = ownKeys_.isTyping(now);
    if (typing) {
        holds.inFocusedWindow = !holds.everyKey;
        holds.everyKey = true;
    }
    typingCheckAt_ = typing ? std::optional<double>(now + kTypingCheckInterval) : std::nullopt;
    if (placed_ == holds) return;
    placed_ = holds;
    server_.hold(holds);
}

}  // namespace mosaiko
