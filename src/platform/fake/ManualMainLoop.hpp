#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/MainLoop.hpp"

namespace mosaiko {

// A main loop and clock for tests: nothing runs until the test drives it, and time moves only when
// the test advances it.
class ManualMainLoop final : public MainLoop, public Clock {
  public:
    void post(std::function<void()> task) override;
    [[nodiscard]] Cancellable scheduleTimer(double delaySeconds, std::function<void()> task) override;
    void postDelayed(double delaySeconds, std::function<void()> task) override;

    double uptime() const override { return now_; }
    double now() const override { return wallClockOffset_ + now_; }
    void setWallClock(double secondsSince1970) { wallClockOffset_ = secondsSince1970 - now_; }

    // Runs posted tasks (and tasks they post) until none is left.
    void runPending();
    // Moves time forward, firing due timers in order of their due time, running posted tasks after each.
    void advance(double seconds);
    std::size_t pendingTimerCount() const { return timers_.size(); }

  private:
    struct Timer {
        double due;
        std::function<void()> task;
    };
    double now_ = 1000.0;
    double wallClockOffset_ = 1'700'000'000.0;
    std::vector<std::function<void()>> posted_;
    std::multimap<std::pair<double, std::uint64_t>, std::function<void()>> timers_;
    std::uint64_t nextTimerId_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace mosaiko
