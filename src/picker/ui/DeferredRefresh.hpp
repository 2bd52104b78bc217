#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <vector>

#include "platform/Published.hpp"

namespace mosaiko {

// Redraws a view once after any number of changes of what it watches. Published values announce a
// change before they store it, so the view reads the new state from the Qt event loop, after the
// change (and whatever else the same operation changed) has been stored.
class DeferredRefresh {
  public:
    DeferredRefresh(QObject* owner, std::function<void()> refresh)
        : owner_(owner), refresh_(std::move(refresh)) {}
    DeferredRefresh(const DeferredRefresh&) = delete;
    DeferredRefresh& operator=(const DeferredRefresh&) = delete;

    template <class Observable>
    void watch(Observable& observable) {
        subscriptions_.push_back(observable.observe([this](const auto&) { schedule(); }));
    }
    void keep(Cancellable subscription) { subscriptions_.push_back(std::move(subscription)); }

    void schedule() {
        if (*pending_) return;
        *pending_ = true;
        auto pending = pending_;
        QMetaObject::invokeMethod(
            owner_,
            [this, pending] {
                if (!*pending) return;
                *pending = false;
                refresh_();
            },
            Qt::QueuedConnection);
    }

    ~DeferredRefresh() { *pending_ = false; }

  private:
    QObject* owner_;
    std::function<void()> refresh_;
    std::shared_ptr<bool> pending_ = std::make_shared<bool>(false);
    std::vector<Cancellable> subscriptions_;
};

}  // namespace mosaiko
