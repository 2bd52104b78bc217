#include "platform/x11/X11DisplaysAhead.hpp"

#include <utility>

namespace mosaiko {

X11DisplaysAhead::X11DisplaysAhead(std::string name, std::unique_ptr<X11Display> first, std::size_t count)
    : name_(std::move(name)), first_(std::move(first)) {
    X11Display::initialize();  // here, before the opening thread uses Xlib
    std::vector<std::promise<std::unique_ptr<X11Display>>> promises(count);
    for (auto& promise : promises) pending_.push_back(promise.get_future());
    opener_ = std::thread([name = name_, promises = std::move(promises)]() mutable {
        for (auto& promise : promises) promise.set_value(X11Display::open(name));
    });
}

X11DisplaysAhead::~X11DisplaysAhead() {
    if (opener_.joinable()) opener_.join();
}

std::unique_ptr<X11Display> X11DisplaysAhead::take() {
    std::lock_guard lock(mutex_);
    if (first_) return std::move(first_);
    if (next_ < pending_.size()) return pending_[next_++].get();
    return X11Display::open(name_);
}

}  // namespace mosaiko
