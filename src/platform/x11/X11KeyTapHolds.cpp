#include "platform/x11/X11KeyTapHolds.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <set>
#include <thread>
#include <utility>

#include "platform/x11/PostedKeyLedger.hpp"
#include "platform/x11/X11KeyTapModifiers.hpp"
#include "platform/x11/X11KeyTapPresses.hpp"
#include "platform/x11/X11KeyTranslator.hpp"

namespace mosaiko {

X11KeyTapHolds::X11KeyTapHolds(Display* display, const X11KeyTranslator& translator, PostedKeyLedger& ledger,
                               const X11KeyTapModifiers& modifiers, const X11KeyTapPresses& presses,
                               double answerDelaySeconds)
    : d_(display),
      translator_(translator),
      ledger_(ledger),
      modifiers_(modifiers),
      presses_(presses),
      answerDelay_(answerDelaySeconds),
      grabs_(display, translator) {}

void X11KeyTapHolds::place(bool everyKey) {
    KeyHolds holds = holds_;
    everyKeyByModifiersPlaced_ = everyKeyByModifiers();
    holds.everyKey |= everyKeyByModifiersPlaced_ || everyKey;
    grabs_.place(holds);
}

void X11KeyTapHolds::regrabRepeats() {
    for (const auto& [keycode, state] : repeatGrabs_) grabRepeats(keycode, state);
}

bool X11KeyTapHolds::everyKeyByModifiers() const {
    return (modifiers_.flags() & holds_.everyKeyWith) != 0;
}

void X11KeyTapHolds::placeRepeatGrabs() {
    std::map<unsigned, unsigned> wanted;
    if (holds_.repeats) {
        const unsigned state = modifiers_.mods() & 0xFF;
        const std::set<unsigned> own = presses_.down().empty() ? std::set<unsigned>{} : ledger_.ownKeycodes();
        for (unsigned keycode : presses_.down()) {
            if (own.count(keycode) || translator_.isModifierKeycode(keycode)) continue;
            if (!grabs_.grabs(keycode, state)) wanted[keycode] = state;
        }
    }
    if (wanted == repeatGrabs_) return;
    const Window root = DefaultRootWindow(d_);
    for (const auto& [keycode, state] : repeatGrabs_) {
        const auto will = wanted.find(keycode);
        if (will != wanted.end() && will->second == state) continue;
        if (!grabs_.grabs(keycode, state)) XUngrabKey(d_, static_cast<int>(keycode), state, root);
    }
    for (const auto& [keycode, state] : wanted) {
        const auto was = repeatGrabs_.find(keycode);
        if (was == repeatGrabs_.end() || was->second != state) grabRepeats(keycode, state);
    }
    repeatGrabs_ = std::move(wanted);
    XFlush(d_);
}

void X11KeyTapHolds::grabRepeats(unsigned keycode, unsigned state) {
    if (grabs_.grabs(keycode, state)) return;
    XGrabKey(d_, static_cast<int>(keycode), state, DefaultRootWindow(d_), False, GrabModeAsync, GrabModeSync);
}

void X11KeyTapHolds::holdKeyGrabbed(unsigned keycode, unsigned long time) {
    frozen_ = keycode;
    frozenAt_ = time;
    replayed_.reset();
    if (translator_.isModifierKeycode(keycode)) return;  // modifiers never repeat
    grabs_.keep(keycode);
    keptUntilUp_ = keycode;
}

void X11KeyTapHolds::stopKeeping() {
    const auto key = std::exchange(keptUntilUp_, std::nullopt);
    grabs_.keep(std::nullopt);
    if (!key) return;
    if (const auto it = repeatGrabs_.find(*key); it != repeatGrabs_.end()) grabRepeats(*key, it->second);
}

void X11KeyTapHolds::letGo(bool replayIt) {
    if (answerDelay_ > 0 && frozen_) std::this_thread::sleep_for(std::chrono::duration<double>(answerDelay_));
    if (replayIt) {
        XAllowEvents(d_, ReplayKeyboard, CurrentTime);
        if (frozen_) replayed_.emplace(*frozen_, frozenAt_);
    } else {
        // Ending the grab now, rather than when the key goes up, lets the release and whatever
        // we post next reach the application instead of us.
        XUngrabKeyboard(d_, CurrentTime);
    }
    // The server replays what waited behind the press before it reads the next request: a
    // repeat after the key's release has met the kept grab by then.
    if (const auto key = std::exchange(frozen_, std::nullopt)) {
        if (keptUntilUp_ == *key && !presses_.down().count(*key)) stopKeeping();
        placeRepeatGrabs();
    }
    XFlush(d_);
}

void X11KeyTapHolds::letUp(unsigned keycode) {
    letGo(false);
    XTestFakeKeyEvent(d_, keycode, False, CurrentTime);
    XFlush(d_);
}

void X11KeyTapHolds::keyUp(unsigned keycode) {
    if (keptUntilUp_ == keycode && frozen_ != keycode) stopKeeping();
    placeRepeatGrabs();
}

}  // namespace mosaiko
