#include "platform/Published.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mosaiko {
namespace {

TEST(Published, AnnouncesBeforeStoringAndGreetsNewSubscribers) {
    Published<int> value(1);
    std::vector<std::pair<int, int>> seen;  // (announced, stored at the time)
    auto subscription = value.subscribe([&](const int& v) { seen.emplace_back(v, value.value()); });
    value.set(2);
    value.set(2);
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{1, 1}, {2, 1}, {2, 2}}));
    EXPECT_EQ(value.value(), 2);

    std::vector<int> observed;
    auto observer = value.observe([&](const int& v) { observed.push_back(v); });
    value.set(3);
    EXPECT_EQ(observed, std::vector<int>{3});
}

TEST(Published, CancellingStopsDeliveryIncludingFromInsideANotification) {
    Published<int> value(0);
    std::vector<std::string> log;
    Cancellable second;
    auto first = value.observe([&](const int& v) {
        log.push_back("first " + std::to_string(v));
        second.cancel();
    });
    second = value.observe([&](const int& v) { log.push_back("second " + std::to_string(v)); });
    value.set(1);
    EXPECT_EQ(log, std::vector<std::string>{"first 1"});

    first.cancel();
    value.set(2);
    EXPECT_EQ(log.size(), 1u);

    {
        auto scoped = value.observe([&](const int& v) { log.push_back("scoped " + std::to_string(v)); });
    }
    value.set(3);
    EXPECT_EQ(log.size(), 1u);
}

TEST(Published, ReassignmentInsideANotificationIsTheNewestValue) {
    Published<int> value(0);
    std::vector<int> firstSaw, secondSaw;
    auto normalizer = value.observe([&](const int& v) {
        firstSaw.push_back(v);
        if (v < 0) value.set(0);  // clamp, as normalizing setters do
    });
    auto watcher = value.observe([&](const int& v) { secondSaw.push_back(v); });
    value.set(-5);
    EXPECT_EQ(value.value(), 0);
    EXPECT_EQ(firstSaw, (std::vector<int>{-5, 0}));
    // The outer assignment is stale once the inner one has been announced.
    EXPECT_EQ(secondSaw, std::vector<int>{0});
}

TEST(Published, SubscribingInsideANotificationStartsWithTheNextChange) {
    Published<int> value(0);
    std::vector<int> late;
    Cancellable lateSubscription;
    auto first = value.observe([&](const int&) {
        if (!lateSubscription.isActive()) {
            lateSubscription = value.observe([&](const int& v) { late.push_back(v); });
        }
    });
    value.set(1);
    value.set(2);
    EXPECT_EQ(late, std::vector<int>{2});
}

TEST(Subject, DeliversOnlyWhatIsSentAfterSubscribing) {
    Subject<std::string> subject;
    subject.send("before");
    std::vector<std::string> got;
    auto subscription = subject.subscribe([&](const std::string& s) { got.push_back(s); });
    subject.send("after");
    subscription.cancel();
    subject.send("gone");
    EXPECT_EQ(got, std::vector<std::string>{"after"});
}

TEST(Cancellable, MoveAssignmentCancelsWhatItReplaces) {
    int cancelled = 0;
    Cancellable a([&] { ++cancelled; });
    a = Cancellable([&] { cancelled += 10; });
    EXPECT_EQ(cancelled, 1);
    Cancellable b(std::move(a));
    EXPECT_FALSE(a.isActive());
    b.cancel();
    b.cancel();
    EXPECT_EQ(cancelled, 11);
}

}  // namespace
}  // namespace mosaiko
