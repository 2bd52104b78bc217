#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "picker/GlobalKeyTap.hpp"
#include "platform/KeyTapPort.hpp"

namespace mosaiko::testing {

// The display server's side of the key tap: creates ports (or refuses to) and lets a test type into
// the installed ones, answering whether the event was dropped.
class FakeKeyTapSystem {
  public:
    struct PortState {
        std::uint64_t eventMask = 0;
        KeyTapPort::Callback callback;
        bool attached = false, enabled = false, destroyed = false;
        KeyHolds holds{};
        std::vector<std::int64_t> marks{};  // asked for, not reported yet
        // While holds come late: what the port was told to hold, and what waits for it.
        std::optional<KeyHolds> toHold{};
        std::vector<std::function<void()>> whenHeld{};
    };

    bool refuseCreation = false;
    // Like the display server's tap: keys outside the port's holds reach the application before the
    // callback hears of them (`held` false), and cannot be dropped. Otherwise every key is held.
    bool holdOnlyWhatIsAsked = false;
    // Holds are placed only when placeHolds() says so (a tap running late).
    bool holdsLate = false;
    // Keys the callback wanted to drop though they were not held.
    int unheldSwallows = 0;
    std::vector<std::shared_ptr<PortState>> ports;  // every port ever created

    GlobalKeyTap::Dependencies dependencies() {
        return GlobalKeyTap::Dependencies::overPorts(
            [this](std::uint64_t mask, KeyTapPort::Callback callback) -> std::unique_ptr<KeyTapPort> {
                if (refuseCreation) return nullptr;
                ports.push_back(std::make_shared<PortState>(PortState{mask, std::move(callback)}));
                return std::make_unique<Port>(ports.back(), holdsLate);
            });
    }

    std::vector<std::shared_ptr<PortState>> livePorts() const {
        std::vector<std::shared_ptr<PortState>> live;
        for (const auto& p : ports)
            if (p->attached && !p->destroyed) live.push_back(p);
        return live;
    }

    // The late holds are in place now.
    void placeHolds() {
        for (const auto& p : ports) {
            if (p->toHold) p->holds = *std::exchange(p->toHold, std::nullopt);
            for (auto& then : std::exchange(p->whenHeld, {})) then();
        }
    }

    // Only an attached, enabled tap sees the event; true when it was dropped.
    bool type(const KeyEvent& event) {
        for (const auto& p : livePorts()) {
            if (!p->enabled) continue;
            KeyEvent offered = event;
            offered.held = !holdOnlyWhatIsAsked || p->holds.covers(event);
            if (!p->callback(offered)) continue;
            if (offered.held) return true;
            ++unheldSwallows;
        }
        return false;
    }

    // Reports the marks asked for so far, as a tap does once the keys before them have come.
    void reportMarks() {
        for (const auto& p : livePorts()) {
            for (const std::int64_t token : std::exchange(p->marks, {})) {
                KeyEvent notice;
                notice.type = KeyEvent::Type::mark;
                notice.userData = token;
                notice.held = false;
                p->callback(notice);
            }
        }
    }

  private:
    struct Port final : KeyTapPort {
        Port(std::shared_ptr<PortState> s, const bool& late) : state(std::move(s)), late(late) {}
        ~Port() override { state->destroyed = true; }
        void attachToMainLoop() override { state->attached = true; }
        void detachFromMainLoop() override { state->attached = false; }
        void setEnabled(bool enabled) override { state->enabled = enabled; }
        void hold(const KeyHolds& holds) override {
            if (late) {
                state->toHold = holds;
            } else {
                state->holds = holds;
            }
        }
        void mark(std::int64_t token) override { state->marks.push_back(token); }
        void whenHeld(std::function<void()> then) override {
            if (state->toHold) {
                state->whenHeld.push_back(std::move(then));
            } else {
                then();
            }
        }
        std::shared_ptr<PortState> state;
        const bool& late;  // the system's
    };
};

}  // namespace mosaiko::testing
