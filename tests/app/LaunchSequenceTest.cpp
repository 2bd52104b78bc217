#include "app/logic/LaunchSequence.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace mosaiko {
namespace {

struct RecordedLaunch {
    std::vector<std::string> calls;
    std::optional<OnboardingPage> guide;
    bool goesOn = true;

    LaunchSequence::Steps steps(LaunchInputs inputs) {
        auto record = [this](const char* name) { return [this, name] { calls.emplace_back(name); }; };
        LaunchSequence::Steps s;
        s.resolveOtherInstances = [this] {
            calls.emplace_back("resolveOtherInstances");
            return goesOn;
        };
        s.loadStores = record("loadStores");
        s.startContent = record("startContent");
        s.readLaunchInputs = [this, inputs] {
            calls.emplace_back("readLaunchInputs");
            return inputs;
        };
        s.setUpUpdater = [this](const LaunchInputs&) { calls.emplace_back("setUpUpdater"); };
        s.installAppMenu = record("installAppMenu");
        s.setUpStatusItem = record("setUpStatusItem");
        s.installWorkspaceActivationObserver = record("installWorkspaceActivationObserver");
        s.bindLaunchAtLogin = record("bindLaunchAtLogin");
        s.postUpdaterStatus = record("postUpdaterStatus");
        s.installLibraryOpenHandler = record("installLibraryOpenHandler");
        s.registerLoginItem = record("registerLoginItem");
        s.showOnboarding = [this](OnboardingPage page) {
            calls.emplace_back("showOnboarding");
            guide = page;
        };
        s.startKeyTap = record("startKeyTap");
        return s;
    }
};

LaunchInputs settledInputs() {
    LaunchInputs inputs;
    inputs.hasCompletedOnboarding = true;
    inputs.isTrusted = true;
    return inputs;
}

TEST(LaunchSequence, RunsEveryStepInOrderAndListensOnceThePickerCanBeReached) {
    RecordedLaunch launch;
    auto inputs = settledInputs();
    inputs.launchAtLoginEnabled = true;
    inputs.hasCompletedOnboarding = false;
    LaunchSequence::run(launch.steps(inputs));
    const std::vector<std::string> expected{"resolveOtherInstances", "loadStores",
                                            "startContent",          "installLibraryOpenHandler",
                                            "startKeyTap",           "readLaunchInputs",
                                            "setUpUpdater",          "installAppMenu",
                                            "setUpStatusItem",       "installWorkspaceActivationObserver",
                                            "bindLaunchAtLogin",     "postUpdaterStatus",
                                            "registerLoginItem",     "showOnboarding"};
    EXPECT_EQ(launch.calls, expected);
}

// Deferred, the tray, menus and guide come once the event loop runs, after the key tap's start, in
// their order.
TEST(LaunchSequence, WhatFollowsTheKeyTapCanWaitForTheEventLoop) {
    RecordedLaunch atOnce, deferred;
    auto inputs = settledInputs();
    inputs.launchAtLoginEnabled = true;
    inputs.isTrusted = false;
    LaunchSequence::run(atOnce.steps(inputs));

    std::deque<std::function<void()>> loop;
    auto steps = deferred.steps(inputs);
    steps.later = [&loop](std::function<void()> turn) { loop.push_back(std::move(turn)); };
    LaunchSequence::run(steps);
    EXPECT_EQ(deferred.calls.back(), "startKeyTap");
    while (!loop.empty()) {
        auto turn = std::move(loop.front());
        loop.pop_front();
        turn();
    }
    EXPECT_EQ(deferred.calls, atOnce.calls);
    EXPECT_EQ(deferred.guide, OnboardingPage::permissions);
}

// A copy that does not take over must neither read the stores nor start anything.
TEST(LaunchSequence, ACopyThatDoesNotTakeOverStopsAfterTheFirstStep) {
    RecordedLaunch launch;
    launch.goesOn = false;
    LaunchSequence::run(launch.steps(settledInputs()));
    EXPECT_EQ(launch.calls, std::vector<std::string>{"resolveOtherInstances"});
}

TEST(LaunchSequence, RegistersTheLoginItemAtOnceOnlyWhenEnabledAtLaunch) {
    RecordedLaunch off;
    LaunchSequence::run(off.steps(settledInputs()));
    EXPECT_EQ(std::count(off.calls.begin(), off.calls.end(), "registerLoginItem"), 0);
    EXPECT_EQ(std::count(off.calls.begin(), off.calls.end(), "bindLaunchAtLogin"), 1);
    EXPECT_FALSE(off.guide.has_value());
}

TEST(LaunchSequence, GuideStartPageFollowsArgumentsThenOnboardingThenTrust) {
    struct Case {
        bool argument;
        bool completed;
        bool trusted;
        std::optional<OnboardingPage> page;
    };
    const std::vector<Case> cases{
        {true, false, false, OnboardingPage::permissions},  // the argument beats incomplete onboarding
        {true, true, true, OnboardingPage::permissions},
        {false, false, true, OnboardingPage::welcome},
        {false, false, false, OnboardingPage::welcome},
        {false, true, false, OnboardingPage::permissions},
        {false, true, true, std::nullopt},
    };
    for (const auto& c : cases) {
        LaunchInputs inputs;
        if (c.argument) inputs.arguments = {"/usr/bin/mosaiko", "--open-permissions-dialog"};
        inputs.hasCompletedOnboarding = c.completed;
        inputs.isTrusted = c.trusted;
        RecordedLaunch launch;
        LaunchSequence::run(launch.steps(inputs));
        EXPECT_EQ(launch.guide, c.page) << c.argument << c.completed << c.trusted;
    }
}

TEST(LaunchSequence, ASimilarArgumentDoesNotOpenThePermissionsPage) {
    LaunchInputs inputs = settledInputs();
    inputs.arguments = {"--open-permissions-dialog=1", "open-permissions-dialog"};
    EXPECT_EQ(LaunchSequence::guideStartPage(inputs), std::nullopt);
}

}  // namespace
}  // namespace mosaiko
