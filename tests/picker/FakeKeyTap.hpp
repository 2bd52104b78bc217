#pragma once

#include <memory>
#include <vector>

#include "picker/GlobalKeyTap.hpp"
#include "platform/KeyTapPort.hpp"

namespace mosaiko::testing {

// The display server's side of the key tap: creates ports (or refuses to), and lets a test type
// events into the installed one, reporting whether the tap dropped each.
class FakeKeyTapSystem {
  public:
    struct PortState {
        std::uint64_t eventMask = 0;
        KeyTapPort::Callback callback;
        bool attached = false;
        bool enabled = false;
        int enableCalls = 0;
        bool destroyed = false;
    };

    bool refuseCreation = false;
    std::vector<std::shared_ptr<PortState>> ports;  // every port ever created, oldest first

    GlobalKeyTap::Dependencies dependencies() {
        return GlobalKeyTap::Dependencies::overPorts(
            [this](std::uint64_t mask, KeyTapPort::Callback callback) -> std::unique_ptr<KeyTapPort> {
                if (refuseCreation) return nullptr;
                auto state = std::make_shared<PortState>();
                state->eventMask = mask;
                state->callback = std::move(callback);
                ports.push_back(state);
                return std::make_unique<Port>(state);
            });
    }

    // Ports that are attached to the main loop and not destroyed.
    std::vector<std::shared_ptr<PortState>> livePorts() const {
        std::vector<std::shared_ptr<PortState>> result;
        for (const auto& p : ports)
            if (p->attached && !p->destroyed) result.push_back(p);
        return result;
    }

    // Delivers an event as the display server would: only an attached, enabled tap sees it.
    // Answers true when the event was dropped.
    bool type(const KeyEvent& event) {
        for (const auto& p : livePorts())
            if (p->enabled && p->callback(event)) return true;
        return false;
    }

    // The display server gave up waiting for the tap and disabled it.
    void disableByTimeout() {
        for (const auto& p : livePorts()) {
            p->enabled = false;
            KeyEvent notice;
            notice.type = KeyEvent::Type::tapDisabledByTimeout;
            p->callback(notice);
        }
    }

  private:
    class Port final : public KeyTapPort {
      public:
        explicit Port(std::shared_ptr<PortState> state) : state_(std::move(state)) {}
        ~Port() override { state_->destroyed = true; }
        void attachToMainLoop() override { state_->attached = true; }
        void detachFromMainLoop() override { state_->attached = false; }
        void setEnabled(bool enabled) override {
            state_->enabled = enabled;
            ++state_->enableCalls;
        }

      private:
        std::shared_ptr<PortState> state_;
    };
};

}  // namespace mosaiko::testing
