#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace mosaiko {

// One bound for several caches of drawn images and measurements: each cache charges what it keeps
// (in bytes) to the budget, and whenever the budget is exceeded, the entry used longest ago goes,
// in whichever cache it is. Main thread only.
class CacheBudget {
  public:
    // What a cache offers the budget.
    class Member {
      public:
        // When the entry used longest ago was last used; none when the cache is empty.
        virtual std::optional<std::uint64_t> oldestUse() const = 0;
        // Drops that entry, returning what it cost.
        virtual std::size_t dropOldest() = 0;

      protected:
        ~Member() = default;
    };

    explicit CacheBudget(std::size_t limitBytes) : limit_(limitBytes) {}
    CacheBudget(const CacheBudget&) = delete;
    CacheBudget& operator=(const CacheBudget&) = delete;

    std::size_t limit() const { return limit_; }
    std::size_t used() const { return used_; }

    // Drops entries, oldest use first, until at most `bytes` are kept.
    void trim(std::size_t bytes) {
        while (used_ > bytes) {
            Member* oldest = nullptr;
            std::uint64_t when = UINT64_MAX;
            for (Member* member : members_) {
                const auto use = member->oldestUse();
                if (use && *use < when) when = *use, oldest = member;
            }
            if (!oldest) break;
            release(oldest->dropOldest());
        }
    }

    // For the caches.
    void join(Member* member) { members_.push_back(member); }
    void leave(Member* member) { std::erase(members_, member); }
    std::uint64_t nextUse() { return ++clock_; }
    void charge(std::size_t bytes) {
        used_ += bytes;
        trim(limit_);
    }
    void release(std::size_t bytes) { used_ -= std::min(bytes, used_); }

  private:
    std::size_t limit_;
    std::size_t used_ = 0;
    std::uint64_t clock_ = 0;
    std::vector<Member*> members_;
};

// A cache whose entries count against a CacheBudget; the entry used longest ago is dropped first.
template <class Key, class Value, class Hash = std::hash<Key>>
class BudgetedCache final : private CacheBudget::Member {
  public:
    explicit BudgetedCache(CacheBudget& budget) : budget_(budget) { budget_.join(this); }
    ~BudgetedCache() {
        clear();
        budget_.leave(this);
    }
    BudgetedCache(const BudgetedCache&) = delete;
    BudgetedCache& operator=(const BudgetedCache&) = delete;

    // The entry of `key`, now counted as used; none when it is not kept.
    const Value* find(const Key& key) {
        const auto found = index_.find(key);
        if (found == index_.end()) return nullptr;
        entries_.splice(entries_.begin(), entries_, found->second);
        found->second->lastUse = budget_.nextUse();
        return &found->second->value;
    }

    // Keeps `value` under `key` (replacing what was kept there); none when it costs more than the
    // whole budget, so it could not be kept.
    const Value* insert(const Key& key, Value value, std::size_t cost) {
        remove(key);
        if (cost > budget_.limit()) return nullptr;
        entries_.push_front(Entry{key, std::move(value), cost, budget_.nextUse()});
        index_.emplace(key, entries_.begin());
        budget_.charge(cost);  // may drop older entries, never this one
        return &entries_.front().value;
    }

    void remove(const Key& key) {
        const auto found = index_.find(key);
        if (found == index_.end()) return;
        budget_.release(found->second->cost);
        entries_.erase(found->second);
        index_.erase(found);
    }

    void clear() {
        while (!entries_.empty()) budget_.release(dropOldest());
    }

    std::size_t size() const { return entries_.size(); }

  private:
    struct Entry {
        Key key;
        Value value;
        std::size_t cost;
        std::uint64_t lastUse;
    };

    std::optional<std::uint64_t> oldestUse() const override {
        if (entries_.empty()) return std::nullopt;
        return entries_.back().lastUse;
    }

    std::size_t dropOldest() override {
        const Entry& oldest = entries_.back();
        const std::size_t cost = oldest.cost;
        index_.erase(oldest.key);
        entries_.pop_back();
        return cost;
    }

    CacheBudget& budget_;
    std::list<Entry> entries_;  // most recently used first
    std::unordered_map<Key, typename std::list<Entry>::iterator, Hash> index_;
};

}  // namespace mosaiko
