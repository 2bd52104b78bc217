#pragma once

#include <QObject>

#include "platform/MainLoop.hpp"

namespace mosaiko {

// The main loop over Qt's event loop, for the shell until the platform's own Qt main loop is
// available to it. post() may be called from any thread.
class ShellMainLoop final : public MainLoop {
  public:
    ShellMainLoop();
    ~ShellMainLoop() override;

    void post(std::function<void()> task) override;
    [[nodiscard]] Cancellable scheduleTimer(double delaySeconds, std::function<void()> task) override;
    void postDelayed(double delaySeconds, std::function<void()> task) override;

  private:
    QObject context_;
};

}  // namespace mosaiko
