#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/KeyEvent.hpp"
#include "platform/KeyHolds.hpp"

namespace mosaiko {

// A system-wide tap installed in the display server: it sees every key-down and modifier change,
// and may drop the presses it holds before the focused application gets them. The key tap
// (picker/GlobalKeyTap) drives it through its Dependencies record; the live implementation is X11,
// tests use a fake.
class KeyTapPort {
  public:
    // Returns true to drop the event, false to let it through. Also called with the
    // tapDisabledByTimeout type when an event had to pass unanswered (the callback's answer is then
    // ignored), so the owner can re-enable the tap. Events that are not held (`held` false) are
    // reported after they passed, and their answer is ignored as well: keys outside the holds,
    // events this program posted itself (their userData carries kEventMarker), modifier changes.
    using Callback = std::function<bool(const KeyEvent&)>;

    virtual ~KeyTapPort() = default;

    // Starts (or stops) delivering events to the callback on the main loop.
    virtual void attachToMainLoop() = 0;
    virtual void detachFromMainLoop() = 0;
    // An enabled tap hands events to the callback; a disabled one passes everything through.
    virtual void setEnabled(bool enabled) = 0;
    // The keys whose presses wait for the callback's answer from now on; every other key reaches
    // the application at once and is reported to the callback with `held` false. A port that holds
    // every key anyway needs no list.
    virtual void hold(const KeyHolds& holds) { (void)holds; }
    // Reports an event of type mark carrying `token` once the holds asked for before it are in
    // place and every key that came before them has been reported: a key reported after the mark
    // met those holds. A port that cannot tell reports nothing.
    virtual void mark(std::int64_t token) { (void)token; }
    // Calls `then` on the main loop once the holds given so far are in place (at once for a port
    // that places them as it is told): something the user answers with a held key, such as the
    // panel, shows only then.
    virtual void whenHeld(std::function<void()> then) { then(); }
};

// The event mask of the key tap: bit 10 (key down) and bit 12 (modifier flags changed).
inline constexpr unsigned long long kKeyTapEventMask = 0x1400;

}  // namespace mosaiko
