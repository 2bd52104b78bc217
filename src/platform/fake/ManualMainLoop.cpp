#include "platform/fake/ManualMainLoop.hpp"

namespace mosaiko {

void ManualMainLoop::post(std::function<void()> task) {
    posted_.push_back(std::move(task));
}

Cancellable ManualMainLoop::scheduleTimer(double delaySeconds, std::function<void()> task) {
    const auto key = std::make_pair(now_ + std::max(0.0, delaySeconds), nextTimerId_++);
    timers_.emplace(key, std::move(task));
    std::weak_ptr<bool> alive = alive_;
    return Cancellable([this, alive, key] {
        if (alive.lock()) timers_.erase(key);
    });
}

void ManualMainLoop::postDelayed(double delaySeconds, std::function<void()> task) {
    const auto key = std::make_pair(now_ + std::max(0.0, delaySeconds), nextTimerId_++);
    timers_.emplace(key, std::move(task));
}

void ManualMainLoop::runPending() {
    while (!posted_.empty()) {
        auto batch = std::exchange(posted_, {});
        for (auto& task : batch) task();
    }
}

void ManualMainLoop::advance(double seconds) {
    const double target = now_ + seconds;
    runPending();
    while (!timers_.empty() && timers_.begin()->first.first <= target) {
        auto node = timers_.extract(timers_.begin());
        now_ = std::max(now_, node.key().first);
        node.mapped()();
        runPending();
    }
    now_ = target;
}

}  // namespace mosaiko
