#include "platform/x11/PostedKeyLedger.hpp"

#include <X11/X.h>

#include <algorithm>
#include <chrono>
#include <utility>

namespace mosaiko {

const std::shared_ptr<PostedKeyLedger>& PostedKeyLedger::shared() {
    static const std::shared_ptr<PostedKeyLedger> ledger = std::make_shared<PostedKeyLedger>();
    return ledger;
}

void PostedKeyLedger::popFront() {
    records_.pop_front();
    if (typedAhead_ > 0) --typedAhead_;
    claimed_.notify_all();
}

void PostedKeyLedger::dropLapsed(double now) {
    while (!records_.empty() && now - records_.front().time > lifetime_) popFront();
}

namespace {

// Whether server time `a` comes before `b` (milliseconds, which wrap around).
bool typedBefore(unsigned long a, unsigned long b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a - b)) < 0;
}

// Whether a press of ours came in modifiers that make it type something else than meant: a text is
// typed with no modifier but the Shift of its own keys (whose locks are taken into account).
bool mistyped(std::optional<bool> shifted, unsigned modifiers) {
    if ((modifiers & (ControlMask | Mod1Mask | Mod4Mask | Mod5Mask)) != 0) return true;
    return shifted && ((modifiers & ShiftMask) != 0) != *shifted;
}

}  // namespace

void PostedKeyLedger::expect(unsigned keycode, std::int64_t userData, double now, unsigned long keysym,
                             std::optional<bool> shifted) {
    std::lock_guard lock(mutex_);
    dropLapsed(now);
    records_.push_back({keycode, userData, now, keysym, shifted, lastTyped_});
}

void PostedKeyLedger::noteTyped(unsigned long serverTime) {
    std::lock_guard lock(mutex_);
    if (!lastTyped_ || typedBefore(*lastTyped_, serverTime)) lastTyped_ = serverTime;
}

std::optional<std::int64_t> PostedKeyLedger::claim(unsigned keycode, double now, bool lost,
                                                   std::optional<unsigned> modifiers,
                                                   std::optional<unsigned long> keysym,
                                                   std::optional<unsigned long> typedAt) {
    std::lock_guard lock(mutex_);
    dropLapsed(now);
    // Our presses come back in the order they were posted, and every one of them comes back: a
    // press that is not the next one due is somebody else's, though ours of the same key may follow
    // (a tool typing the same letters as our text, between our keys).
    if (records_.empty() || records_.front().keycode != keycode) return std::nullopt;
    const auto& after = records_.front().typedAfter;
    if (typedAt && after && typedBefore(*typedAt, *after)) return std::nullopt;
    const Record record = records_.front();
    popFront();
    ++claimedNotLetGo_;
    if (modifiers && record.keysym != 0) lost = lost || mistyped(record.shifted, *modifiers);
    // On a spare keycode (typed either way), the press types what the keycode holds.
    if (keysym && record.keysym != 0 && !record.shifted) lost = lost || *keysym != record.keysym;
    if (record.keysym == 0 || (!lost && withheld_.empty())) return record.userData;
    withheld_.push_back(record.keysym);
    return withheldUserData;
}

std::vector<unsigned long> PostedKeyLedger::takeWithheld() {
    std::lock_guard lock(mutex_);
    if (!withheld_.empty()) awaiting_ = false;
    return std::exchange(withheld_, {});
}

void PostedKeyLedger::awaitTheTap() {
    std::lock_guard lock(mutex_);
    awaiting_ = true;
}

bool PostedKeyLedger::claimTyped(unsigned keycode, double now) {
    std::lock_guard lock(mutex_);
    dropLapsed(now);
    if (typedAhead_ >= records_.size() || records_[typedAhead_].keycode != keycode) return false;
    ++typedAhead_;
    return true;
}

std::size_t PostedKeyLedger::pendingCount() const {
    std::lock_guard lock(mutex_);
    return records_.size();
}

bool PostedKeyLedger::awaitPendingAtMost(std::size_t count, double seconds) const {
    std::unique_lock lock(mutex_);
    return claimed_.wait_for(lock, std::chrono::duration<double>(std::max(seconds, 0.0)),
                             [&] { return records_.size() + claimedNotLetGo_ <= count; });
}

void PostedKeyLedger::letGo() {
    std::lock_guard lock(mutex_);
    if (std::exchange(claimedNotLetGo_, 0) > 0) claimed_.notify_all();
}

void PostedKeyLedger::markOwnKeycodes(const std::vector<unsigned>& keycodes) {
    std::lock_guard lock(mutex_);
    ownKeycodes_.insert(keycodes.begin(), keycodes.end());
}

std::set<unsigned> PostedKeyLedger::ownKeycodes() const {
    std::lock_guard lock(mutex_);
    return ownKeycodes_;
}

void PostedKeyLedger::setUserKeysDown(const std::bitset<256>& keys) {
    std::lock_guard lock(mutex_);
    userKeysDown_ = keys;
}

std::bitset<256> PostedKeyLedger::userKeysDown() const {
    std::lock_guard lock(mutex_);
    return userKeysDown_;
}

void PostedKeyLedger::beginPosting() {
    std::lock_guard lock(mutex_);
    if (posting_++ == 0 && typingListener_) typingListener_();
}

void PostedKeyLedger::setTypingListener(const void* owner, std::function<void()> listener) {
    std::lock_guard lock(mutex_);
    listenerOwner_ = owner;
    typingListener_ = std::move(listener);
}

void PostedKeyLedger::removeTypingListener(const void* owner) {
    std::lock_guard lock(mutex_);
    if (listenerOwner_ != owner) return;
    listenerOwner_ = nullptr;
    typingListener_ = nullptr;
}

bool PostedKeyLedger::isFollowed() const {
    std::lock_guard lock(mutex_);
    return static_cast<bool>(typingListener_);
}

void PostedKeyLedger::endPosting() {
    std::lock_guard lock(mutex_);
    if (posting_ > 0) --posting_;
    awaiting_ = false;
}

bool PostedKeyLedger::isTyping(double now) {
    std::lock_guard lock(mutex_);
    dropLapsed(now);
    return posting_ > (awaiting_ ? 1 : 0) || !records_.empty() || !withheld_.empty();
}

void PostedKeyLedger::setRetyper(const void* owner, Retyper retyper) {
    std::lock_guard lock(mutex_);
    retyperOwner_ = owner;
    retyper_ = std::move(retyper);
}

void PostedKeyLedger::removeRetyper(const void* owner) {
    std::lock_guard lock(mutex_);
    if (retyperOwner_ != owner) return;
    retyperOwner_ = nullptr;
    retyper_ = nullptr;
}

bool PostedKeyLedger::retypeLater(unsigned keycode, unsigned state, const std::string& characters,
                                  unsigned long window) {
    // Called under the lock, so that the retyper cannot go away meanwhile.
    std::lock_guard lock(mutex_);
    if (!retyper_) return false;
    ++posting_;
    retyper_(keycode, state, characters, window);
    return true;
}

}  // namespace mosaiko
