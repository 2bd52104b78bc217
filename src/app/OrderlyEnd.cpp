#include "app/OrderlyEnd.hpp"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace mosaiko {

namespace {

// The armed object, for the exit handler, which takes no argument.
std::atomic<OrderlyEnd*> armed{nullptr};

}  // namespace

OrderlyEnd::OrderlyEnd(std::function<void()> lastSteps)
    : lastSteps_(std::move(lastSteps)), mainThread_(std::this_thread::get_id()) {}

OrderlyEnd::~OrderlyEnd() {
    OrderlyEnd* self = this;
    armed.compare_exchange_strong(self, nullptr);
}

void OrderlyEnd::arm() {
    armed = this;
    if (!registered_) registered_ = std::atexit(&OrderlyEnd::onExit) == 0;
}

void OrderlyEnd::run() {
    if (ran_) return;
    ran_ = true;
    if (lastSteps_) lastSteps_();
}

void OrderlyEnd::onExit() {
    OrderlyEnd* self = armed.load();
    if (!self) return;  // main() has returned: the ordinary end
    if (std::this_thread::get_id() != self->mainThread_) {
        // The main thread is still at work: it ends the process in order, this thread never goes on.
        ::kill(::getpid(), SIGTERM);
        while (true) ::pause();
    }
    armed = nullptr;
    self->run();
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(kDisplayGoneStatus);
}

}  // namespace mosaiko
