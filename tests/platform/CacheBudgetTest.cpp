#include "platform/CacheBudget.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mosaiko {
namespace {

// Two caches on one budget of 100 bytes; each step inserts ("+key:cost"), looks up ("?key") or
// trims ("trim:bytes"); afterwards the keys each cache still holds are compared.
struct Step {
    char cache;  // 'a' or 'b'; '-' for the budget
    std::string op;
};

struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<std::string> keptA, keptB;
    std::size_t used;
};

TEST(CacheBudget, TheEntryUsedLongestAgoGoesFirstWhicheverCacheHoldsIt) {
    const std::vector<Case> cases = {
        {"within the budget nothing goes", {{'a', "+1:40"}, {'b', "+2:40"}}, {"1"}, {"2"}, 80},
        {"the oldest goes, in the other cache",
         {{'a', "+1:40"}, {'b', "+2:40"}, {'a', "+3:40"}},
         {"3"},
         {"2"},
         80},
        {"a lookup keeps an entry",
         {{'a', "+1:40"}, {'b', "+2:40"}, {'a', "?1"}, {'a', "+3:40"}},
         {"1", "3"},
         {},
         80},
        {"one large entry drops several",
         {{'a', "+1:30"}, {'b', "+2:30"}, {'a', "+3:30"}, {'b', "+4:90"}},
         {},
         {"4"},
         90},
        {"larger than the whole budget is not kept", {{'a', "+1:40"}, {'b', "+2:101"}}, {"1"}, {}, 40},
        {"replacing a key charges the new cost only", {{'a', "+1:40"}, {'a', "+1:50"}}, {"1"}, {}, 50},
        {"trimming drops the oldest down to the size",
         {{'a', "+1:30"}, {'b', "+2:30"}, {'a', "+3:30"}, {'-', "trim:40"}},
         {"3"},
         {},
         30},
    };
    for (const Case& c : cases) {
        CacheBudget budget(100);
        BudgetedCache<std::string, int> a(budget), b(budget);
        for (const Step& step : c.steps) {
            if (step.cache == '-') {
                budget.trim(std::stoul(step.op.substr(5)));
                continue;
            }
            auto& cache = step.cache == 'a' ? a : b;
            if (step.op[0] == '?') {
                EXPECT_NE(cache.find(step.op.substr(1)), nullptr) << c.name;
            } else {
                const auto colon = step.op.find(':');
                cache.insert(step.op.substr(1, colon - 1), 0, std::stoul(step.op.substr(colon + 1)));
            }
        }
        auto kept = [](BudgetedCache<std::string, int>& cache) {
            std::vector<std::string> keys;
            for (const char* key : {"1", "2", "3", "4"}) {
                if (cache.find(key)) keys.push_back(key);
            }
            return keys;
        };
        EXPECT_EQ(kept(a), c.keptA) << c.name;
        EXPECT_EQ(kept(b), c.keptB) << c.name;
        EXPECT_EQ(budget.used(), c.used) << c.name;
    }
}

TEST(CacheBudget, ACacheThatGoesGivesItsShareBack) {
    CacheBudget budget(100);
    BudgetedCache<int, int> kept(budget);
    kept.insert(1, 1, 30);
    {
        BudgetedCache<int, int> gone(budget);
        gone.insert(2, 2, 50);
        EXPECT_EQ(budget.used(), 80u);
    }
    EXPECT_EQ(budget.used(), 30u);
    kept.insert(3, 3, 70);  // room again, without dropping from the cache that went
    EXPECT_NE(kept.find(1), nullptr);
    kept.clear();
    EXPECT_EQ(budget.used(), 0u);
}

}  // namespace
}  // namespace mosaiko
