#include "onboarding/OnboardingViewModel.hpp"

#include <gtest/gtest.h>

#include "platform/fake/FakeProcessLauncher.hpp"

namespace mosaiko {
namespace {

using Page = OnboardingPage;

class OnboardingViewModelTest : public testing::Test {
  protected:
    std::unique_ptr<OnboardingViewModel> make(Page start) {
        OnboardingViewModel::Dependencies d;
        d.trustChecker = [this](bool prompt) {
            checks.push_back(prompt);
            return trusted;
        };
        d.untrustedReason = [this] { return reason; };
        d.resetRequiredPermissions = [this](std::function<void(PermissionResetSummary)> done) {
            pendingReset = std::move(done);
        };
        d.recordCompletion = [this] { log.push_back("completed"); };
        d.dismiss = [this] { log.push_back("dismiss"); };
        d.executablePath = executable;
        d.launcher = &launcher;
        d.terminate = [this] { log.push_back("terminate"); };
        return std::make_unique<OnboardingViewModel>(start, std::move(d));
    }

    bool trusted = true;
    std::string reason = "The X11 display does not offer the XTEST extension.";
    std::vector<bool> checks;
    std::vector<std::string> log;
    std::function<void(PermissionResetSummary)> pendingReset;
    std::string executable = "/opt/it's mine/bin/mosaiko";
    FakeProcessLauncher launcher;
};

TEST_F(OnboardingViewModelTest, ButtonsWalkThePagesAndOnlyFinishRecordsCompletion) {
    auto model = make(Page::welcome);
    // Page, leading title, trailing title (before the first check), step counter.
    EXPECT_EQ(model->leadingButtonTitle(), "Close");
    EXPECT_EQ(model->stepCounterText(), "Step 1 of 3");
    model->handleTrailingButton();
    EXPECT_EQ(model->currentPage(), Page::tipps);
    EXPECT_EQ(model->leadingButtonTitle(), "Back");
    EXPECT_EQ(model->trailingButtonTitle(), "Next");
    EXPECT_EQ(model->stepCounterText(), "Step 2 of 3");
    model->handleLeadingButton();
    EXPECT_EQ(model->currentPage(), Page::welcome);
    model->handleLeadingButton();  // Close
    EXPECT_EQ(log, std::vector<std::string>{"dismiss"});

    model->selectPage(Page::permissions);
    EXPECT_EQ(model->stepCounterText(), "Step 3 of 3");
    EXPECT_EQ(model->trailingButtonTitle(), "Finish");
    trusted = false;
    model->selectPage(Page::tipps);
    model->handleTrailingButton();
    EXPECT_EQ(model->trailingButtonTitle(), "Finish Anyway");
    model->handleTrailingButton();
    EXPECT_EQ(log, (std::vector<std::string>{"dismiss", "completed", "dismiss"}));
}

TEST_F(OnboardingViewModelTest, TrustIsCheckedOnFirstAppearanceAndOnEnteringThePermissionsPage) {
    auto model = make(Page::permissions);
    EXPECT_EQ(model->accessibilityStatus(), PermissionStatus::unknown);
    EXPECT_EQ(model->trailingButtonTitle(), "Finish Anyway");
    EXPECT_EQ(OnboardingViewModel::badgeText(model->accessibilityStatus()), "NOT REQUESTED");
    model->appeared();
    model->appeared();
    EXPECT_EQ(checks, std::vector<bool>{false});
    EXPECT_EQ(model->accessibilityStatus(), PermissionStatus::granted);

    model->selectPage(Page::permissions);  // no change, no check
    model->selectPage(Page::welcome);
    EXPECT_EQ(checks.size(), 1u);
    trusted = false;
    model->selectPage(Page::permissions);
    EXPECT_EQ(checks, (std::vector<bool>{false, false}));
    EXPECT_EQ(OnboardingViewModel::badgeText(model->accessibilityStatus()), "NOT GRANTED");
    EXPECT_EQ(model->untrustedReason(), reason);

    // Grant checks again, letting the platform ask; the reason goes once trusted.
    trusted = true;
    model->grant();
    EXPECT_EQ(checks.back(), true);
    EXPECT_EQ(OnboardingViewModel::badgeText(model->accessibilityStatus()), "GRANTED");
    EXPECT_EQ(model->untrustedReason(), "");
}

TEST_F(OnboardingViewModelTest, ResetReportsEveryFailedServiceAndKeepsRunning) {
    auto model = make(Page::permissions);
    model->resetPermissions();
    EXPECT_TRUE(model->isResettingPermissions());
    model->resetPermissions();  // ignored while one runs
    pendingReset({{}, {{"BundleID", "Missing bundle identifier for this build."}, {"Accessibility", "no"}}});
    EXPECT_FALSE(model->isResettingPermissions());
    EXPECT_EQ(checks, std::vector<bool>{false});
    EXPECT_EQ(model->resetErrorMessage(),
              "BundleID: Missing bundle identifier for this build.\nAccessibility: no");
    EXPECT_TRUE(model->showingResetError());
    EXPECT_TRUE(launcher.invocations.empty());
    EXPECT_TRUE(log.empty());

    model->setShowingResetError(true);
    EXPECT_TRUE(model->showingResetError());
    model->setShowingResetError(false);
    EXPECT_EQ(model->resetErrorMessage(), std::nullopt);
}

TEST_F(OnboardingViewModelTest, ResetWithoutFailuresRelaunchesEvenWithNothingSucceeded) {
    auto model = make(Page::permissions);
    model->resetPermissions();
    pendingReset({});
    ASSERT_EQ(launcher.invocations.size(), 1u);
    EXPECT_EQ(log, std::vector<std::string>{"terminate"});
}

TEST_F(OnboardingViewModelTest, RelaunchStartsTheProgramAsOneWordAndQuitsOnlyOnceItStarted) {
    struct Case {
        std::string executable;
        std::optional<std::string> launchError;
        bool quits;
    };
    for (const Case& c :
         {Case{"/opt/it's mine/bin/mosaiko", std::nullopt, true},
          Case{"/opt/$(rm -rf ~) `x`/mosaiko", std::nullopt, true},
          Case{"/gone/mosaiko", "No such file or directory", false}, Case{"", std::nullopt, false}}) {
        executable = c.executable;
        launcher = FakeProcessLauncher();
        launcher.launchError = c.launchError;
        log.clear();
        auto model = make(Page::permissions);
        model->relaunchAppForRestart();
        if (!c.executable.empty()) {
            EXPECT_EQ(launcher.invocations, (std::vector<FakeProcessLauncher::Invocation>{
                                                {c.executable, {"--open-permissions-dialog"}}}));
        } else {
            EXPECT_TRUE(launcher.invocations.empty());
        }
        EXPECT_EQ(log, c.quits ? std::vector<std::string>{"terminate"} : std::vector<std::string>{})
            << c.executable;
        EXPECT_EQ(model->resetErrorMessage(),
                  c.quits ? std::nullopt
                          : std::optional<std::string>(
                                "Could not relaunch automatically. Please restart the app."));
    }
}

TEST_F(OnboardingViewModelTest, AResetAnsweringAfterTheGuideClosedChangesNothing) {
    auto model = make(Page::permissions);
    model->resetPermissions();
    model.reset();
    pendingReset({});
    EXPECT_TRUE(checks.empty());
    EXPECT_TRUE(launcher.invocations.empty());
}

TEST(OnboardingTexts, FollowTheInlineTriggerAndTheInstantOpenSequence) {
    using M = OnboardingViewModel;
    EXPECT_EQ(M::welcomeHeadline(";;"), "Type ;;. Search. Hit enter. Keep moving.");
    EXPECT_EQ(M::welcomeHeadline(""), "Inline search is off. Use instant open and keep moving.");
    EXPECT_EQ(M::inlineTriggerInsightBody(" "),
              "The picker appears after   and follows your keyboard flow instead of pulling you into a "
              "separate browser.");
    EXPECT_EQ(M::inlineTriggerInsightBody(""),
              "Inline search is currently disabled, so Mosaiko stays out of the way until you open it "
              "explicitly.");
    EXPECT_EQ(M::accessibilitySubtitle(";"),
              "Mosaiko uses it only to backspace the typed ;query and insert the chosen emoji into the "
              "current app.");
    EXPECT_EQ(M::accessibilitySubtitle(""),
              "Mosaiko uses Accessibility only to insert the chosen emoji into the current app.");
    EXPECT_EQ(M::inlineTriggerChipLabel(""), "Off");
    EXPECT_EQ(M::inlineTriggerChipLabel(" "), " ");
    EXPECT_EQ(M::exampleQuery(""), ";love hand");
    EXPECT_EQ(M::exampleQuery(">>"), ">>love hand");

    EXPECT_EQ(M::quickOpenExample(QuickOpenShortcut::disabled), "Off");
    EXPECT_EQ(M::quickOpenShortcutDetail(QuickOpenShortcut::disabled), "Instant open is currently disabled.");
    EXPECT_EQ(M::quickOpenExample(QuickOpenShortcut::doubleComma), ",,");
    EXPECT_EQ(M::quickOpenShortcutDetail(QuickOpenShortcut::doubleComma),
              "Typing ,, opens the picker immediately with an empty search instead of waiting for inline "
              "search.");
}

}  // namespace
}  // namespace mosaiko
