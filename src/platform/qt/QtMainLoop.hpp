#pragma once

#include <functional>
#include <memory>

#include "platform/MainLoop.hpp"

class QObject;

namespace mosaiko {

// The main loop over Qt's event loop. Create it on the main thread, after the application object.
// post() may be called from any thread; the timers only from the main thread. Tasks that are still
// waiting when the loop is destroyed never run. An exception thrown by a task ends that task only.
class QtMainLoop final : public MainLoop {
  public:
    QtMainLoop();
    ~QtMainLoop() override;
    QtMainLoop(const QtMainLoop&) = delete;
    QtMainLoop& operator=(const QtMainLoop&) = delete;

    void post(std::function<void()> task) override;
    // Like post(), but the task gives way: tasks and events posted after it that are waiting when
    // its turn comes (keys heard meanwhile) run first. For work that can wait without anyone
    // waiting on it. Any thread.
    void postGivingWay(std::function<void()> task);
    [[nodiscard]] Cancellable scheduleTimer(double delaySeconds, std::function<void()> task) override;
    void postDelayed(double delaySeconds, std::function<void()> task) override;

  private:
    std::unique_ptr<QObject> context_;
};

}  // namespace mosaiko
