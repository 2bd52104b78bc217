#pragma once

#include <memory>
#include <string>
#include <thread>

#include "platform/KeyTapPort.hpp"
#include "platform/x11/PostedKeyLedger.hpp"

namespace mosaiko {

class X11Display;

// The system-wide key tap on X11. While attached it holds synchronous passive grabs on the root
// window for every key and modifier combination that no other client holds (window-manager
// shortcuts stay with their owner), so each key press freezes the keyboard until the tap answers:
// it is replayed to the focused window unchanged (pass) or dropped (the keyboard grab is released
// at once, so that the key's release and the keys we post ourselves reach the application).
// Modifier presses arrive as flags-changed events; modifier releases are reported as flags-changed
// events too, after the fact (the answer is ignored).
//
// A thread of the tap owns its own X connection: it reads the presses, hands each to the callback
// on the main thread and waits for the answer. When no answer comes within the timeout (a stalled
// main loop), the press passes, the tap disables itself and the callback receives a
// tapDisabledByTimeout event; presses pass unasked until setEnabled(true). The keyboard therefore
// never stays frozen. The connection, and with it every grab, ends with the process.
//
// Presses recorded in the ledger by our own poster pass at once; the callback still receives them,
// with their user data (the marker), and its answer is ignored. A press the user types while the
// program is still typing (the ledger says so) would overtake the program's text: when the
// callback lets it pass, it is dropped and handed to the ledger's retyper (the poster), which types
// it again after the text, so that what the user types after choosing an entry lands after it.
// Presses it typed again pass unasked. Needs a QCoreApplication.
class X11KeyTap final : public KeyTapPort {
  public:
    struct Options {
        std::string displayName;                  // $DISPLAY when empty
        std::shared_ptr<PostedKeyLedger> ledger;  // PostedKeyLedger::shared() when empty
        double answerTimeoutSeconds = 0.1;
    };

    // nullptr when the display cannot be opened or no application object exists.
    static std::unique_ptr<X11KeyTap> create(Callback callback, Options options);
    ~X11KeyTap() override;

    // Places the grabs and starts delivering; returns once the grabs are in place.
    void attachToMainLoop() override;
    // Removes the grabs; presses caught meanwhile pass.
    void detachFromMainLoop() override;
    void setEnabled(bool enabled) override;

    struct Shared;

  private:
    X11KeyTap(std::unique_ptr<X11Display> display, std::shared_ptr<Shared> shared, Options options);
    void run();

    std::unique_ptr<X11Display> display_;
    std::shared_ptr<Shared> shared_;
    Options options_;
    int wakeFd_ = -1;
    std::thread thread_;
};

// The live tap on $DISPLAY, sharing PostedKeyLedger::shared() with the live poster; nullptr when
// there is no X display.
std::unique_ptr<KeyTapPort> createX11KeyTapPort(KeyTapPort::Callback callback);

}  // namespace mosaiko
