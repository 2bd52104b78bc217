#include "app/logic/SingleInstance.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "platform/fake/ManualMainLoop.hpp"

namespace mosaiko {
namespace {

constexpr long kSelf = 500;

// Copies of the program on a virtual clock: each older copy quits a given time after it was asked
// to (never, when it hangs), and force always works.
class FakeInstances {
  public:
    explicit FakeInstances(ManualMainLoop& clock) : clock_(clock) {}

    void add(long pid, std::optional<double> quitsAfter) {
        instances_.push_back({pid, static_cast<unsigned long long>(pid), "/usr/bin/mosaiko"});
        quitDelay_[pid] = quitsAfter;
    }

    SingleInstance::Dependencies dependencies(std::optional<std::string> identifier = "io.example.App") {
        SingleInstance::Dependencies d;
        d.bundleIdentifier = [identifier] { return identifier; };
        d.currentProcessIdentifier = [] { return kSelf; };
        d.runningInstances = [this] {
            ++listings;
            auto all = alive();
            all.push_back({kSelf, 999, "/usr/bin/mosaiko"});
            return all;
        };
        d.requestTermination = [this](const RunningInstance& i) {
            requested.push_back(i.processIdentifier);
            if (auto delay = quitDelay_[i.processIdentifier])
                quitAt_[i.processIdentifier] = clock_.uptime() + *delay;
        };
        d.forceTermination = [this](const RunningInstance& i) {
            forced.push_back(i.processIdentifier);
            gone_.push_back(i.processIdentifier);
        };
        d.showAlert = [this](const std::string& message, const std::string& info) {
            alerts.push_back({message, info});
        };
        d.uptime = [this] { return clock_.uptime(); };
        d.sleep = [this](double seconds) {
            ++sleeps;
            clock_.advance(seconds);
        };
        return d;
    }

    std::vector<RunningInstance> alive() const {
        std::vector<RunningInstance> result;
        for (const auto& i : instances_) {
            const long pid = i.processIdentifier;
            if (std::find(gone_.begin(), gone_.end(), pid) != gone_.end()) continue;
            auto quit = quitAt_.find(pid);
            if (quit != quitAt_.end() && clock_.uptime() >= quit->second) continue;
            result.push_back(i);
        }
        return result;
    }

    std::vector<long> requested;
    std::vector<long> forced;
    std::vector<std::pair<std::string, std::string>> alerts;
    int sleeps = 0;
    int listings = 0;

  private:
    ManualMainLoop& clock_;
    std::vector<RunningInstance> instances_;
    std::map<long, std::optional<double>> quitDelay_;
    std::map<long, double> quitAt_;
    std::vector<long> gone_;
};

TEST(SingleInstance, InformativeTextCountsTheOtherInstances) {
    EXPECT_EQ(SingleInstance::duplicateInstanceInformativeText(1),
              "Closing the already running instance now.");
    EXPECT_EQ(SingleInstance::duplicateInstanceInformativeText(2),
              "Closing the 2 already running instances now.");
    EXPECT_EQ(SingleInstance::duplicateInstanceInformativeText(12),
              "Closing the 12 already running instances now.");
}

TEST(SingleInstance, ALoneInstanceShowsNothingAndSignalsNobody) {
    ManualMainLoop clock;
    FakeInstances fake(clock);
    SingleInstance(fake.dependencies()).resolveOtherRunningInstancesIfNeeded();
    EXPECT_TRUE(fake.alerts.empty());
    EXPECT_TRUE(fake.requested.empty());
    EXPECT_TRUE(fake.forced.empty());
}

TEST(SingleInstance, WithoutAnIdentifierNothingIsChecked) {
    ManualMainLoop clock;
    FakeInstances fake(clock);
    fake.add(100, 0.0);
    SingleInstance(fake.dependencies(std::nullopt)).resolveOtherRunningInstancesIfNeeded();
    EXPECT_EQ(fake.listings, 0);
    EXPECT_TRUE(fake.alerts.empty());
}

TEST(SingleInstance, AnOlderInstanceThatQuitsAtOnceEndsTheWaitAtTheFirstPoll) {
    ManualMainLoop clock;
    FakeInstances fake(clock);
    fake.add(100, 0.0);
    SingleInstance(fake.dependencies()).resolveOtherRunningInstancesIfNeeded();
    ASSERT_EQ(fake.alerts.size(), 1u);
    EXPECT_EQ(fake.alerts[0].first, "Mosaiko is already running.");
    EXPECT_EQ(fake.alerts[0].second, "Closing the already running instance now.");
    EXPECT_EQ(fake.requested, std::vector<long>{100});
    EXPECT_EQ(fake.sleeps, 0);
    EXPECT_TRUE(fake.forced.empty());
}

TEST(SingleInstance, PollsEveryFiftyMillisecondsUntilTheOthersAreGone) {
    ManualMainLoop clock;
    FakeInstances fake(clock);
    fake.add(100, 0.12);
    fake.add(101, 0.27);
    const double start = clock.uptime();
    SingleInstance(fake.dependencies()).resolveOtherRunningInstancesIfNeeded();
    EXPECT_EQ(fake.alerts[0].second, "Closing the 2 already running instances now.");
    EXPECT_EQ(fake.requested, (std::vector<long>{100, 101}));
    EXPECT_TRUE(fake.forced.empty());
    EXPECT_EQ(fake.sleeps, 6);
    EXPECT_NEAR(clock.uptime() - start, 0.30, 1e-9);
}

TEST(SingleInstance, AHangingInstanceIsForcedAfterTheWaitLimit) {
    ManualMainLoop clock;
    FakeInstances fake(clock);
    fake.add(100, 0.05);
    fake.add(101, std::nullopt);
    const double start = clock.uptime();
    SingleInstance(fake.dependencies()).resolveOtherRunningInstancesIfNeeded();
    EXPECT_EQ(fake.forced, std::vector<long>{101});
    EXPECT_GE(clock.uptime() - start, SingleInstance::kWaitLimit - 1e-9);
    EXPECT_LE(clock.uptime() - start, SingleInstance::kWaitLimit + SingleInstance::kPollInterval + 1e-9);
}

}  // namespace
}  // namespace mosaiko
