#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/KeyEvent.hpp"
#include "platform/KeyTapPort.hpp"
#include "platform/Wiring.hpp"

namespace mosaiko {

// Observes keyboard input system-wide: every key-down and modifier change goes to one handler, in
// order. The presses the handler has asked to hold (hold()) reach it before the focused application
// sees them and are dropped when it answers swallow; the others reach it afterwards, marked as not
// held. Notices of the tap (a mark, the tap disabled) reach the handler too, which must let them
// pass. The key tap knows nothing of triggers or sessions; every decision is the handler's.
class GlobalKeyTap {
  public:
    enum class Decision { passThrough = 0, swallow = 1 };
    using Handler = std::function<Decision(const KeyEvent&)>;

    // The platform calls, injected so the key tap runs against a fake in tests.
    struct Dependencies {
        // Installs a system-wide tap for the event mask that reports to the callback; null when
        // the display server refuses (no permission, no extension).
        std::function<std::unique_ptr<KeyTapPort>(std::uint64_t eventMask, KeyTapPort::Callback callback)>
            createTap;
        std::function<void(KeyTapPort&)> attachToMainLoop;
        std::function<void(KeyTapPort&)> detachFromMainLoop;
        std::function<void(KeyTapPort&, bool enabled)> enableTap;
        std::function<void(KeyTapPort&, const KeyHolds&)> holdKeys;
        std::function<void(KeyTapPort&, std::int64_t token)> markKeys;
        // Optional: a port without it places its holds as it is told.
        std::function<void(KeyTapPort&, std::function<void()>)> whenHeld;

        Wiring wiring() const;

        // Fills the three port operations with the port's own methods around the given factory.
        static Dependencies overPorts(
            std::function<std::unique_ptr<KeyTapPort>(std::uint64_t, KeyTapPort::Callback)> createTap);
    };

    explicit GlobalKeyTap(Dependencies dependencies);
    // Stops the tap, so a destroyed key tap never leaves a tap on the main loop that reports to it.
    ~GlobalKeyTap();
    GlobalKeyTap(const GlobalKeyTap&) = delete;
    GlobalKeyTap& operator=(const GlobalKeyTap&) = delete;

    // Installs the tap and routes events to `handler`; a second start replaces the first tap. When
    // the tap cannot be created nothing is reported and nothing retries.
    void start(Handler handler);
    // Removes the tap; does nothing when none is installed.
    void stop();

    bool isInstalled() const { return port_ != nullptr; }

    // The keys the handler may swallow from now on (the tap holds only these); kept across
    // restarts.
    void hold(KeyHolds holds);
    // Asks for an event of type mark with `token` once the keys before the holds asked for so far
    // have all reached the handler (KeyTapPort::mark).
    void mark(std::int64_t token);
    // Calls `then` once the holds given so far are in place (at once when no tap is installed).
    void whenHeld(std::function<void()> then);

    // The per-event logic the port's callback runs: true drops the event.
    bool handleEvent(const KeyEvent& event);

  private:
    bool callHandler(const KeyEvent& event);

    Dependencies dependencies_;
    std::unique_ptr<KeyTapPort> port_;
    std::shared_ptr<const Handler> handler_;
    KeyHolds holds_;
};

}  // namespace mosaiko
