#include "app/logic/SingleInstance.hpp"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <utility>
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
        d.askToStopTyping = [this](const RunningInstance& i) {
            askedToStopTyping.push_back({i.processIdentifier, alerts.size()});
        };
        d.showAlert = [this](const std::string& message, const std::string& info) {
            alerts.push_back({message, info});
            if (signalDuringAlert) endRequested = true;
        };
        d.uptime = [this] { return clock_.uptime(); };
        d.sleep = [this](double seconds) {
            ++sleeps;
            clock_.advance(seconds);
        };
        if (lockHolder) {
            d.takeLock = [this] { return takeLock(); };
            d.endRequested = [this] { return endRequested; };
        }
        d.copiesOnOtherMachines = [this] { return otherMachines; };
        return d;
    }

    // The copy's lock: held by `lockHolder` (kSelf once this copy has it) until that copy is gone;
    // a copy that is not listed is a newer one and never goes. `nextHolder` is a newer copy that
    // takes the lock the moment it is free.
    bool takeLock() {
        if (*lockHolder != kSelf && !(holderLetsGoAt && clock_.uptime() >= *holderLetsGoAt)) {
            const auto running = alive();
            const bool listed =
                std::any_of(instances_.begin(), instances_.end(),
                            [&](const RunningInstance& i) { return i.processIdentifier == *lockHolder; });
            const bool holderRuns =
                !listed || std::any_of(running.begin(), running.end(), [&](const RunningInstance& i) {
                    return i.processIdentifier == *lockHolder;
                });
            if (holderRuns) return false;
            if (nextHolder) {
                lockHolder = std::exchange(nextHolder, std::nullopt);
                return false;
            }
        }
        lockHolder = kSelf;
        return true;
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

    std::optional<long> lockHolder;  // nothing: the copies go by the list alone
    std::optional<long> nextHolder;
    std::optional<double> holderLetsGoAt;    // whatever the list says
    std::vector<std::string> otherMachines;  // listed, whether or not they run
    bool signalDuringAlert = false;
    bool endRequested = false;
    std::vector<long> requested;
    std::vector<std::pair<long, std::size_t>> askedToStopTyping;  // and the alerts shown before
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
    EXPECT_TRUE(fake.askedToStopTyping.empty());
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

// A copy typing a long text went on into the new copy's alert, which had taken the focus.
TEST(SingleInstance, PollsEveryFiftyMillisecondsUntilTheOthersAreGone) {
    ManualMainLoop clock;
    FakeInstances fake(clock);
    fake.add(100, 0.12);
    fake.add(101, 0.27);
    const double start = clock.uptime();
    SingleInstance(fake.dependencies()).resolveOtherRunningInstancesIfNeeded();
    EXPECT_EQ(fake.askedToStopTyping, (std::vector<std::pair<long, std::size_t>>{{100, 0}, {101, 0}}));
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

// With the lock, a copy goes on only once it holds it, so of copies started together exactly one
// survives; a copy asked to end while its alert is up ends alone.
TEST(SingleInstance, ACopyGoesOnOnlyWhenItHoldsTheLock) {
    using Outcome = SingleInstance::Outcome;
    struct Case {
        const char* name;
        std::optional<double> olderQuitsAfter;  // the older copy 100, when there is one
        long holder;                            // who holds the lock at start (kSelf: nobody else)
        std::optional<long> nextHolder;
        bool signalDuringAlert;
        Outcome outcome;
        std::size_t alerts;
        std::vector<long> requested;
        std::vector<long> forced;
        std::optional<double> holderLetsGoAfter = std::nullopt;
        std::vector<std::string> otherMachines = {};
    };
    const std::vector<Case> cases = {
        {"free lock", std::nullopt, kSelf, {}, false, Outcome::goOn, 0, {}, {}},
        {"a newer copy got there first", std::nullopt, 600, {}, false, Outcome::newerCopyRuns, 0, {}, {}},
        {"the older holder quits", 0.12, 100, {}, false, Outcome::goOn, 1, {100}, {}},
        {"the older holder hangs", std::nullopt, 100, {}, false, Outcome::goOn, 1, {100}, {100}},
        {"a newer copy takes over from the older one",
         0.12,
         100,
         600,
         false,
         Outcome::newerCopyRuns,
         1,
         {100},
         {}},
        {"signalled while the alert is up", 0.12, 100, {}, true, Outcome::endRequested, 1, {}, {}},
        {"older holder unlisted, lets go", std::nullopt, 600, {}, false, Outcome::goOn, 0, {}, {}, 0.2},
        {"newer holder stays", std::nullopt, 600, {}, false, Outcome::newerCopyRuns, 0, {}, {}, 1.6},
        // A configuration folder shared by machines: a copy there cannot be ended from here.
        {"held elsewhere", {}, 600, {}, false, Outcome::runsOnAnotherMachine, 0, {}, {}, {}, {"far"}},
        {"listed elsewhere, lock free", {}, kSelf, {}, false, Outcome::goOn, 0, {}, {}, {}, {"far"}},
    };
    for (const auto& c : cases) {
        ManualMainLoop clock;
        FakeInstances fake(clock);
        if (c.olderQuitsAfter || c.holder == 100) fake.add(100, c.olderQuitsAfter);
        fake.lockHolder = c.holder;
        fake.nextHolder = c.nextHolder;
        fake.signalDuringAlert = c.signalDuringAlert;
        fake.otherMachines = c.otherMachines;
        if (c.holderLetsGoAfter) fake.holderLetsGoAt = clock.uptime() + *c.holderLetsGoAfter;
        EXPECT_EQ(SingleInstance(fake.dependencies()).resolveOtherRunningInstancesIfNeeded(), c.outcome)
            << c.name;
        EXPECT_EQ(fake.alerts.size(), c.alerts) << c.name;
        EXPECT_EQ(fake.requested, c.requested) << c.name;
        EXPECT_EQ(fake.forced, c.forced) << c.name;
        EXPECT_EQ(fake.lockHolder == kSelf, c.outcome == Outcome::goOn) << c.name;
    }
}

volatile sig_atomic_t childSignalled = 0;

// How long a copy takes to start up before it registers, and from there to resolving.
struct StartUp {
    int registerAfterMs;
    int resolveAfterMs;
};

// One copy of the program as far as starting goes: it registers, resolves the other copies over
// the real registry and lock, and, when it goes on, marks itself running and runs until it is
// asked to end.
[[noreturn]] void runCopy(const std::filesystem::path& directory, StartUp startUp) {
    struct sigaction action {};
    action.sa_handler = [](int) { childSignalled = 1; };
    ::sigaction(SIGTERM, &action, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(startUp.registerAfterMs));
    int status = 0;
    {
        InstanceRegistry registry(directory, ":7");
        registry.registerCurrentProcess();
        std::this_thread::sleep_for(std::chrono::milliseconds(startUp.resolveAfterMs));
        SingleInstance::Dependencies d;
        d.bundleIdentifier = [] { return std::optional<std::string>("io.example.App"); };
        d.currentProcessIdentifier = [] { return static_cast<long>(::getpid()); };
        d.runningInstances = [&] { return registry.olderInstances(); };
        d.requestTermination = [&](const RunningInstance& i) { registry.requestTermination(i); };
        d.forceTermination = [&](const RunningInstance& i) { registry.forceTermination(i); };
        d.showAlert = [](const std::string&, const std::string&) {};
        d.uptime = [] {
            return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
        };
        d.sleep = [](double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); };
        d.takeLock = [&] { return registry.tryLock() != InstanceRegistry::LockAttempt::heldByAnother; };
        d.endRequested = [] { return childSignalled != 0; };
        if (SingleInstance(d).resolveOtherRunningInstancesIfNeeded() == SingleInstance::Outcome::goOn) {
            std::ofstream(directory / ("running." + std::to_string(::getpid())));
            while (!childSignalled) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } else {
            status = 3;
        }
    }
    ::_exit(status);
}

// Copies started at the same moment, some while one already runs: whichever registers or locks
// first, exactly one keeps running (two running copies would both hold the keyboard).
TEST(SingleInstance, OfCopiesStartedTogetherExactlyOneRuns) {
    namespace fs = std::filesystem;
    struct Round {
        bool oneRunsAlready;
        std::vector<StartUp> copies;  // in the order they start
    };
    const std::vector<Round> rounds = {
        {false, {{0, 0}, {0, 0}}},           {false, {{60, 0}, {0, 0}}},  // the newer copy registers and
                                                                          // looks before the older registers
        {false, {{0, 60}, {0, 0}}},          {true, {{60, 0}, {0, 0}}},  {true, {{0, 0}, {0, 0}, {0, 0}}},
        {false, {{60, 0}, {30, 0}, {0, 0}}},
    };
    const fs::path directory = fs::temp_directory_path() / ("mosaiko-race-" + std::to_string(::getpid()));
    fs::remove_all(directory);
    for (std::size_t round = 0; round < rounds.size(); ++round) {
        std::vector<pid_t> copies;
        auto start = [&](const std::vector<StartUp>& startUps) {
            for (const StartUp& startUp : startUps) {
                const pid_t pid = ::fork();
                ASSERT_GE(pid, 0);
                if (pid == 0) runCopy(directory, startUp);
                copies.push_back(pid);
                // Start times count in clock ticks: a tick apart, the start order is the age order.
                std::this_thread::sleep_for(std::chrono::milliseconds(15));
            }
        };
        auto alive = [&] {
            std::vector<pid_t> result;
            for (pid_t pid : copies) {
                if (::waitpid(pid, nullptr, WNOHANG) == 0) result.push_back(pid);
            }
            copies = result;
            return result;
        };
        auto settled = [&] {
            for (int i = 0; i < 1000; ++i) {
                const auto running = alive();
                if (running.size() == 1 && fs::exists(directory / ("running." + std::to_string(running[0]))))
                    return true;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            return false;
        };
        if (rounds[round].oneRunsAlready) {
            start({{0, 0}});
            ASSERT_TRUE(settled()) << "round " << round;
        }
        start(rounds[round].copies);
        EXPECT_TRUE(settled()) << "round " << round << ": " << alive().size() << " copies left";
        for (pid_t pid : alive()) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }
    fs::remove_all(directory);
}

}  // namespace
}  // namespace mosaiko
