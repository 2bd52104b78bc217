#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace mosaiko {

// Ends a subscription when destroyed (or when cancel() is called). Move-only.
class Cancellable {
  public:
    Cancellable() = default;
    explicit Cancellable(std::function<void()> onCancel) : onCancel_(std::move(onCancel)) {}
    Cancellable(Cancellable&& other) noexcept : onCancel_(std::exchange(other.onCancel_, nullptr)) {}
    Cancellable& operator=(Cancellable&& other) noexcept {
        if (this != &other) {
            cancel();
            onCancel_ = std::exchange(other.onCancel_, nullptr);
        }
        return *this;
    }
    Cancellable(const Cancellable&) = delete;
    Cancellable& operator=(const Cancellable&) = delete;
    ~Cancellable() { cancel(); }

    void cancel() {
        if (auto f = std::exchange(onCancel_, nullptr)) f();
    }
    bool isActive() const { return static_cast<bool>(onCancel_); }

  private:
    std::function<void()> onCancel_;
};

namespace detail {

// The subscriber list shared by Subject and Published. Delivery walks a snapshot, so handlers may
// subscribe, cancel (themselves or others) and send again while being notified; a subscriber
// cancelled during a delivery receives nothing more from it.
template <class T>
class SubscriberList {
  public:
    using Handler = std::function<void(const T&)>;

    Cancellable add(Handler handler) {
        auto slot = std::make_shared<Slot>(Slot{std::move(handler), std::make_shared<bool>(true)});
        slots_->push_back(slot);
        std::weak_ptr<std::vector<std::shared_ptr<Slot>>> weakSlots = slots_;
        std::weak_ptr<Slot> weakSlot = slot;
        return Cancellable([weakSlots, weakSlot] {
            auto s = weakSlot.lock();
            if (!s) return;
            *s->live = false;
            if (auto list = weakSlots.lock()) std::erase(*list, s);
        });
    }

    // Calls every live subscriber with the value; stops early when `keepGoing` answers false.
    template <class KeepGoing>
    void deliver(const T& value, KeepGoing keepGoing) const {
        auto snapshot = *slots_;
        for (const auto& slot : snapshot) {
            if (!keepGoing()) return;
            if (*slot->live) slot->handler(value);
        }
    }

    bool empty() const { return slots_->empty(); }

  private:
    struct Slot {
        Handler handler;
        std::shared_ptr<bool> live;
    };
    std::shared_ptr<std::vector<std::shared_ptr<Slot>>> slots_ =
        std::make_shared<std::vector<std::shared_ptr<Slot>>>();
};

}  // namespace detail

// A stream of values with no current value: subscribers receive what is sent after they subscribe.
template <class T>
class Subject {
  public:
    using Handler = std::function<void(const T&)>;

    [[nodiscard]] Cancellable subscribe(Handler handler) { return subscribers_.add(std::move(handler)); }
    void send(const T& value) const {
        subscribers_.deliver(value, [] { return true; });
    }

  private:
    detail::SubscriberList<T> subscribers_;
};

// A value that announces every assignment to its subscribers before storing it, so a subscriber
// that reads the value while being notified still sees the previous one. A new subscriber receives
// the current value at once.
//
// An assignment made from inside a notification is the newest one: it is delivered to everybody
// and stored, and the outer assignment neither reaches the remaining subscribers nor overwrites it.
template <class T>
class Published {
  public:
    using Handler = std::function<void(const T&)>;

    Published() = default;
    explicit Published(T initial) : value_(std::move(initial)) {}
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    const T& value() const { return value_; }
    const T& operator()() const { return value_; }

    void set(T newValue) {
        const std::uint64_t generation = ++generation_;
        subscribers_.deliver(newValue, [&] { return generation_ == generation; });
        if (generation_ != generation) return;
        value_ = std::move(newValue);
        if (didSet_) didSet_(value_);
    }

    // Changes the stored value in place, then announces it like an assignment (subscribers already
    // read the new value). For large values that one step changes a little: nothing is copied.
    template <class Change>
    void modify(Change change) {
        const std::uint64_t generation = ++generation_;
        change(value_);
        subscribers_.deliver(value_, [&] { return generation_ == generation; });
        if (generation_ == generation && didSet_) didSet_(value_);
    }

    // Runs `action` after every assignment has been announced and stored (not for one superseded
    // from inside a notification: the newer assignment runs it). Stores write their values through
    // this way, so a direct assignment persists like one made by the store's own operations.
    void setDidSet(Handler action) { didSet_ = std::move(action); }

    // Receives the current value now, then every assigned value.
    [[nodiscard]] Cancellable subscribe(Handler handler) {
        auto cancellable = subscribers_.add(handler);
        handler(value_);
        return cancellable;
    }

    // Receives only values assigned from now on.
    [[nodiscard]] Cancellable observe(Handler handler) { return subscribers_.add(std::move(handler)); }

  private:
    T value_{};
    std::uint64_t generation_ = 0;
    detail::SubscriberList<T> subscribers_;
    Handler didSet_;
};

// A published value that only `Owner` assigns; everybody else reads it and subscribes to it. For
// state whose every change must go through the owner's operations (which keep its rules and write
// it through).
template <class T, class Owner>
class OwnedPublished {
  public:
    using Handler = typename Published<T>::Handler;

    OwnedPublished() = default;
    explicit OwnedPublished(T initial) : published_(std::move(initial)) {}

    const T& value() const { return published_.value(); }
    const T& operator()() const { return published_.value(); }
    // Receives the current value now, then every assigned value.
    [[nodiscard]] Cancellable subscribe(Handler handler) { return published_.subscribe(std::move(handler)); }
    // Receives only values assigned from now on.
    [[nodiscard]] Cancellable observe(Handler handler) { return published_.observe(std::move(handler)); }

  private:
    friend Owner;
    void set(T newValue) { published_.set(std::move(newValue)); }
    template <class Change>
    void modify(Change change) {
        published_.modify(std::move(change));
    }

    Published<T> published_;
};

}  // namespace mosaiko
