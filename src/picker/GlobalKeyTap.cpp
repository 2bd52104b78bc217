#include "picker/GlobalKeyTap.hpp"

#include <utility>

namespace mosaiko {

GlobalKeyTap::Dependencies GlobalKeyTap::Dependencies::overPorts(
    std::function<std::unique_ptr<KeyTapPort>(std::uint64_t, KeyTapPort::Callback)> createTap) {
    Dependencies d;
    d.createTap = std::move(createTap);
    d.attachToMainLoop = [](KeyTapPort& port) { port.attachToMainLoop(); };
    d.detachFromMainLoop = [](KeyTapPort& port) { port.detachFromMainLoop(); };
    d.enableTap = [](KeyTapPort& port, bool enabled) { port.setEnabled(enabled); };
    d.holdKeys = [](KeyTapPort& port, const KeyHolds& holds) { port.hold(holds); };
    d.markKeys = [](KeyTapPort& port, std::int64_t token) { port.mark(token); };
    d.whenHeld = [](KeyTapPort& port, std::function<void()> then) { port.whenHeld(std::move(then)); };
    return d;
}

Wiring GlobalKeyTap::Dependencies::wiring() const {
    return Wiring()
        .require("createTap", createTap)
        .require("attachToMainLoop", attachToMainLoop)
        .require("detachFromMainLoop", detachFromMainLoop)
        .require("enableTap", enableTap);
}

GlobalKeyTap::GlobalKeyTap(Dependencies dependencies) : dependencies_(std::move(dependencies)) {
    dependencies_.wiring().check("GlobalKeyTap");
}

GlobalKeyTap::~GlobalKeyTap() {
    stop();
}

void GlobalKeyTap::start(Handler handler) {
    stop();
    handler_ = std::make_shared<const Handler>(std::move(handler));
    // The callback does not own the key tap: the key tap owns the port and stops it before it goes.
    auto port = dependencies_.createTap(kKeyTapEventMask,
                                        [this](const KeyEvent& event) { return handleEvent(event); });
    if (!port) return;
    port_ = std::move(port);
    dependencies_.holdKeys(*port_, holds_);
    dependencies_.attachToMainLoop(*port_);
    dependencies_.enableTap(*port_, true);
}

void GlobalKeyTap::stop() {
    if (port_) dependencies_.detachFromMainLoop(*port_);
    port_.reset();
    handler_.reset();
}

void GlobalKeyTap::hold(KeyHolds holds) {
    holds_ = std::move(holds);
    if (port_) dependencies_.holdKeys(*port_, holds_);
}

void GlobalKeyTap::mark(std::int64_t token) {
    if (port_ && dependencies_.markKeys) dependencies_.markKeys(*port_, token);
}

void GlobalKeyTap::whenHeld(std::function<void()> then) {
    if (port_ && dependencies_.whenHeld) {
        dependencies_.whenHeld(*port_, std::move(then));
    } else {
        then();
    }
}

bool GlobalKeyTap::handleEvent(const KeyEvent& event) {
    switch (event.type) {
        case KeyEvent::Type::tapDisabledByTimeout:
        case KeyEvent::Type::tapDisabledByUserInput:
            // The display server gave up waiting for us; enabling again keeps the picker working.
            // The handler hears of it: keys passed meanwhile without reaching it.
            if (port_) dependencies_.enableTap(*port_, true);
            callHandler(event);
            return false;
        case KeyEvent::Type::mark:
            callHandler(event);
            return false;
        case KeyEvent::Type::keyDown:
        case KeyEvent::Type::flagsChanged:
            return callHandler(event);
    }
    return false;
}

bool GlobalKeyTap::callHandler(const KeyEvent& event) {
    // Hold the handler for the duration of the call: it may stop or restart the key tap.
    auto handler = handler_;
    if (!handler || !*handler) return false;
    try {
        return (*handler)(event) == Decision::swallow;
    } catch (...) {
        return false;  // a failing handler must never eat the user's typing
    }
}

}  // namespace mosaiko
