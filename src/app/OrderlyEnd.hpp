#pragma once

#include <functional>
#include <thread>

namespace mosaiko {

// The program's last steps (saving every store, then giving up its place as the running copy) run
// once, on the main thread, however the end comes. The ordinary end comes through the event loop
// (Quit, a termination signal) and calls run() after it. The other comes through exit() called
// inside a library: Qt's X11 platform calls exit(1) on the main thread when its connection to the
// X server breaks (the session ended, the server went away). While armed, such an exit runs the
// last steps and ends the process with kDisplayGoneStatus at once, without the static destructors
// that would otherwise run while the toolkit and other threads are still at work. An exit() on
// another thread stops that thread and asks the main thread to end as on SIGTERM.
class OrderlyEnd {
  public:
    static constexpr int kDisplayGoneStatus = 0;

    // `lastSteps` must not need the display, nor the toolkit: both may be gone when it runs. To be
    // made on the main thread.
    explicit OrderlyEnd(std::function<void()> lastSteps);
    // Disarms.
    ~OrderlyEnd();
    OrderlyEnd(const OrderlyEnd&) = delete;
    OrderlyEnd& operator=(const OrderlyEnd&) = delete;

    // From now on an exit() runs the last steps. Only one object is armed at a time.
    void arm();
    // Runs the last steps now unless they ran already.
    void run();

  private:
    static void onExit();

    std::function<void()> lastSteps_;
    std::thread::id mainThread_;
    bool ran_ = false;
    bool registered_ = false;
};

}  // namespace mosaiko
