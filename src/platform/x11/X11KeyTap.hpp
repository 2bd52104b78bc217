#pragma once

#include <memory>
#include <string>
#include <thread>

#include "platform/KeyTapPort.hpp"
#include "platform/x11/PostedKeyLedger.hpp"
#include "platform/x11/X11Display.hpp"

namespace mosaiko {

class X11KeyTapMailbox;

// The system-wide key tap on X11. It holds only the keys it is told to (hold()): synchronous
// passive grabs on the root window, so that each such press freezes the keyboard until the callback
// has answered; it is replayed to the focused window unchanged (pass) or dropped (the keyboard grab
// is released at once, so that the key's release and the keys we post ourselves reach the
// application). A combination another client holds stays with its owner. Every other key is
// observed without being held (XInput2 raw key events, read on the grabs' own connection so that
// the order of events is kept): it reaches the application at once and is reported to the callback
// afterwards, with `held` false. The server repeats a key held down without any raw event: when
// told to, the tap grabs each key while it is down, so that its repeats are held presses too.
// Modifier presses and releases are reported as flags-changed events; the layout group in force
// gives the characters. While keys may wait behind a held one (every key held, or the panel's keys),
// a press on a key a tool remaps for a moment is reported as what it typed under the mapping it was
// pressed with (X11KeymapRecorder), however late the tap reads it; otherwise nothing holds the press
// up, and the tap reads it under the mapping of the moment, as the application does.
//
// A thread of the tap owns its connection; it reads the server's events and carries out
// KeyTapRules: a held press the callback (on the main thread) has not answered within the timeout
// passes, and the tap disables itself and reports tapDisabledByTimeout until setEnabled(true), so
// the keyboard never stays frozen. Presses this program posts (the ledger knows them) pass at once;
// while the program types, every key is held, so that what the user types meanwhile lands after the
// program's text (the ledger's retyper types it again). The connection, and with it every grab,
// ends with the process. Needs a QCoreApplication.
//
// A held press let go only after the server's repeat delay (on a machine too busy to run the tap)
// may have its release waiting behind it, typed while the keyboard waited for an earlier press:
// the repeat the server made of it meanwhile then comes after that release, a press without a
// release that the server would repeat without end. Its key stays grabbed in every state until the
// press goes on, whatever the holds become, so that such a repeat comes to the tap, which drops it
// and lets the key up.
class X11KeyTap final : public KeyTapPort {
  public:
    struct Options {
        std::string displayName;                  // $DISPLAY when empty
        std::shared_ptr<PostedKeyLedger> ledger;  // PostedKeyLedger::shared() when empty
        // Long enough for a loaded machine to get round to the main thread (at a tenth of a second
        // a busy desktop let Return through to the application during a search), short enough that
        // a stalled program delays one held key at most noticeably, not the keyboard.
        double answerTimeoutSeconds = 0.5;
        // How long the tap's thread takes to let a held press go: a machine too busy to run it at
        // once, for tests.
        double answerDelaySeconds = 0;
    };

    // nullptr when the display cannot be opened, lacks XInput 2.2, or no application object exists.
    // A `display` given is used instead of opening one.
    static std::unique_ptr<X11KeyTap> create(Callback callback, Options options,
                                             std::unique_ptr<X11Display> display = nullptr);
    ~X11KeyTap() override;

    // Starts observing and places the grabs; returns once they are in place.
    void attachToMainLoop() override;
    // Removes the grabs and stops observing; a press waiting meanwhile passes.
    void detachFromMainLoop() override;
    void setEnabled(bool enabled) override;
    // The tap's thread places the grabs: hold() returns at once, and whenHeld() tells when they
    // are in place.
    void hold(const KeyHolds& holds) override;
    void mark(std::int64_t token) override;
    void whenHeld(std::function<void()> then) override;

  private:
    X11KeyTap(std::unique_ptr<X11Display> display, std::shared_ptr<X11KeyTapMailbox> shared, Options options);
    void run();

    std::unique_ptr<X11Display> display_;
    std::shared_ptr<X11KeyTapMailbox> shared_;
    Options options_;
    std::thread thread_;
};

// The live tap on $DISPLAY (over `display` when given), sharing PostedKeyLedger::shared() with the
// live poster; nullptr when there is no X display.
std::unique_ptr<KeyTapPort> createX11KeyTapPort(KeyTapPort::Callback callback,
                                                std::unique_ptr<X11Display> display = nullptr);

}  // namespace mosaiko
