#pragma once

#include <functional>

#include "platform/Published.hpp"

namespace mosaiko {

// The main thread's run loop: everything of the program runs on it.
class MainLoop {
  public:
    virtual ~MainLoop() = default;

    // Runs `task` on the main loop after the work in progress has completed.
    virtual void post(std::function<void()> task) = 0;
    // Runs `task` once after `delaySeconds`; destroying or cancelling the result prevents it.
    [[nodiscard]] virtual Cancellable scheduleTimer(double delaySeconds, std::function<void()> task) = 0;
    // Runs `task` once after `delaySeconds`; it cannot be cancelled.
    virtual void postDelayed(double delaySeconds, std::function<void()> task) = 0;
};

// Time as the program reads it.
class Clock {
  public:
    virtual ~Clock() = default;
    // Seconds since an arbitrary start that never jumps (system uptime).
    virtual double uptime() const = 0;
    // Seconds since 1970-01-01 UTC.
    virtual double now() const = 0;
};

// CLOCK_MONOTONIC and the wall clock.
class SystemClock final : public Clock {
  public:
    double uptime() const override;
    double now() const override;
    static SystemClock& shared();
};

}  // namespace mosaiko
