#include "app/logic/LibraryInsertion.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/FakeWorkspace.hpp"
#include "platform/fake/ManualMainLoop.hpp"

namespace mosaiko {
namespace {

constexpr long kSelfPid = 10;
const std::string kSelfId = "io.github.mosaiko.Mosaiko";

RunningApp app(long pid, std::optional<std::string> id, std::optional<std::string> name) {
    return RunningApp{std::move(id), std::move(name), pid, ""};
}

const RunningApp editor = app(200, "org.example.Editor", "Editor");
const RunningApp terminal = app(300, "org.example.Terminal", "Terminal");
const RunningApp self = app(kSelfPid, kSelfId, "Mosaiko");

TEST(LibraryInsertionWiring, AnIncompleteRecordFailsConstructionNamingEveryMissingPart) {
    FakeWorkspace workspace;
    LibraryInsertion::Dependencies d;
    d.workspace = &workspace;
    d.effects.textWriter = [](const std::string&) {};
    d.window.ensure = [] {};
    EXPECT_THAT(
        [&] { LibraryInsertion insertion(d); },
        ::testing::ThrowsMessage<std::invalid_argument>(::testing::StrEq(
            "LibraryInsertion is wired incompletely; missing: isTerminated effects.emojiInsertHandler "
            "effects.usageRecorder effects.delayExecutor effects.targetActivator "
            "window.setInsertionTargetName window.orderFrontRegardless window.orderOut")));
}

class LibraryInsertionTest : public testing::Test {
  protected:
    LibraryInsertionTest() {
        workspace.running = {editor, terminal, self};
        LibraryInsertion::Dependencies d;
        d.workspace = &workspace;
        d.currentProcessIdentifier = kSelfPid;
        d.currentBundleIdentifier = kSelfId;
        d.isTerminated = [this](const RunningApp& a) { return !workspace.isRunning(a); };
        d.effects.textWriter = [this](const std::string& t) { log.push_back("clipboard " + t); };
        d.effects.emojiInsertHandler = [this](const std::string& t, int count) {
            log.push_back("type " + std::to_string(count) + " " + t + " into " +
                          (workspace.frontmost ? *workspace.frontmost->localizedName : "nothing"));
            return inserterWorks;
        };
        d.effects.usageRecorder = [this](const std::string& t) { log.push_back("used " + t); };
        d.effects.delayExecutor = [this](double s, std::function<void()> block) {
            log.push_back("wait " + std::to_string(static_cast<int>(s * 1000)));
            loop.postDelayed(s, std::move(block));
        };
        d.effects.targetActivator = [this](const RunningApp& a) {
            log.push_back("activate " + *a.localizedName);
            workspace.bringToFront(a);
        };
        d.window.ensure = [this] { ++ensureCalls; };
        d.window.setInsertionTargetName = [this](const std::optional<std::string>& n) { targetName = n; };
        d.window.orderFrontRegardless = [this] {
            log.push_back("library front");
            libraryVisible = true;
        };
        d.window.orderOut = [this] {
            log.push_back("library out");
            libraryVisible = false;
        };
        insertion = std::make_unique<LibraryInsertion>(std::move(d));
    }

    // The user works in `app`, then the library window takes the focus (as a click on it would).
    void userWorksIn(const RunningApp& a) { workspace.bringToFront(a); }
    void libraryTakesFocus() { workspace.bringToFront(self); }

    ManualMainLoop loop;
    FakeWorkspace workspace;
    std::unique_ptr<LibraryInsertion> insertion;
    std::vector<std::string> log;
    std::optional<std::string> targetName;
    int ensureCalls = 0;
    bool libraryVisible = false;
    bool inserterWorks = true;
};

TEST_F(LibraryInsertionTest, PickerRequestErasesTheTypedQueryInTheSameApplication) {
    insertion->installWorkspaceActivationObserver();
    userWorksIn(editor);
    bool navigated = false;
    insertion->openLibraryWindow(std::nullopt, 4, [&] { navigated = true; });
    EXPECT_TRUE(navigated);
    EXPECT_EQ(ensureCalls, 1);
    EXPECT_EQ(targetName, "Editor");
    EXPECT_EQ(insertion->pendingLibraryInsertionDeletionCount(), 4);
    libraryTakesFocus();

    log.clear();
    insertion->insertFromLibrary("😀", true);
    EXPECT_EQ(log, (std::vector<std::string>{"library out", "activate Editor", "wait 120"}));
    loop.advance(0.11);
    EXPECT_EQ(log.size(), 3u);
    loop.advance(0.01);
    EXPECT_EQ(log, (std::vector<std::string>{"library out", "activate Editor", "wait 120",
                                             "type 4 😀 into Editor", "used 😀", "library front"}));
    EXPECT_EQ(insertion->pendingLibraryInsertionDeletionCount(), 0);

    // The pending count was used up.
    log.clear();
    libraryTakesFocus();
    insertion->insertFromLibrary("👍", false);
    loop.advance(0.2);
    EXPECT_EQ(log, (std::vector<std::string>{"library out", "activate Editor", "wait 120",
                                             "type 0 👍 into Editor", "used 👍"}));
    EXPECT_FALSE(libraryVisible);
}

TEST_F(LibraryInsertionTest, SwitchingApplicationsBeforeInsertingErasesNothing) {
    insertion->installWorkspaceActivationObserver();
    userWorksIn(editor);
    insertion->openLibraryWindow(std::nullopt, 4, nullptr);
    userWorksIn(terminal);
    insertion->insertFromLibrary("x", false);
    loop.advance(0.2);
    EXPECT_EQ(log.back(), "used x");
    EXPECT_EQ(log[log.size() - 2], "type 0 x into Terminal");
    EXPECT_EQ(insertion->libraryInsertionTargetApp(), terminal);
}

TEST_F(LibraryInsertionTest, MenuOpeningErasesNothingAndNegativeCountsAreZero) {
    userWorksIn(editor);
    insertion->openLibraryWindow(insertion->currentExternalFrontmostApplication(), 0, nullptr);
    EXPECT_EQ(insertion->pendingLibraryInsertionDeletionTargetApp(), std::nullopt);
    insertion->openLibraryWindow(std::nullopt, -3, nullptr);
    EXPECT_EQ(insertion->pendingLibraryInsertionDeletionCount(), 0);
    EXPECT_EQ(insertion->pendingLibraryInsertionDeletionTargetApp(), std::nullopt);
}

TEST_F(LibraryInsertionTest, WithoutAnyUsableApplicationTheTextGoesToTheClipboard) {
    insertion->installWorkspaceActivationObserver();
    libraryTakesFocus();
    insertion->openLibraryWindow(std::nullopt, 2, nullptr);
    EXPECT_EQ(targetName, std::nullopt);
    log.clear();
    insertion->insertFromLibrary("🎉", true);
    loop.advance(1);
    EXPECT_EQ(log, std::vector<std::string>{"clipboard 🎉"});  // library untouched, no keys, no use
    EXPECT_EQ(insertion->pendingLibraryInsertionDeletionCount(), 0);
}

TEST_F(LibraryInsertionTest, RememberedApplicationThatQuitIsNoLongerATarget) {
    insertion->installWorkspaceActivationObserver();
    userWorksIn(editor);
    insertion->openLibraryWindow(std::nullopt, 0, nullptr);
    libraryTakesFocus();
    workspace.quit(editor);
    log.clear();
    insertion->insertFromLibrary("a", false);
    EXPECT_EQ(log, std::vector<std::string>{"clipboard a"});
}

TEST_F(LibraryInsertionTest, TargetThatLosesFocusDuringTheWaitGetsNoKeys) {
    insertion->installWorkspaceActivationObserver();
    userWorksIn(editor);
    insertion->openLibraryWindow(std::nullopt, 4, nullptr);
    libraryTakesFocus();
    insertion->insertFromLibrary("🙂", true);
    loop.advance(0.05);
    userWorksIn(terminal);  // the user clicks elsewhere before the keys are posted
    log.clear();
    loop.advance(0.1);
    EXPECT_EQ(log, (std::vector<std::string>{"clipboard 🙂", "library front"}));
}

TEST_F(LibraryInsertionTest, TargetThatQuitsDuringTheWaitGetsNoKeys) {
    insertion->installWorkspaceActivationObserver();
    userWorksIn(editor);
    insertion->openLibraryWindow(std::nullopt, 0, nullptr);
    libraryTakesFocus();
    insertion->insertFromLibrary("🙂", false);
    workspace.quit(editor);
    log.clear();
    loop.advance(0.2);
    EXPECT_EQ(log, std::vector<std::string>{"clipboard 🙂"});
}

TEST_F(LibraryInsertionTest, TextThatCouldNotBeTypedGoesToTheClipboardAndIsNotCounted) {
    inserterWorks = false;
    userWorksIn(editor);
    insertion->openLibraryWindow(std::nullopt, 0, nullptr);
    log.clear();
    insertion->insertFromLibrary("🙂", false);
    loop.advance(0.2);
    EXPECT_EQ(log.back(), "clipboard 🙂");
    EXPECT_EQ(std::count(log.begin(), log.end(), "used 🙂"), 0);
}

TEST_F(LibraryInsertionTest, CandidatesAreFrontmostPreferredLastActiveThenPreviousTarget) {
    using Identity = LibraryInsertion::ExternalApplicationIdentity;
    const Identity mine{kSelfId, "Mosaiko", kSelfPid, false};
    const Identity quit{"org.example.Gone", "Gone", 77, true};
    const Identity anonymous{std::nullopt, "xterm", 88, false};
    const Identity sameIdOtherPid{kSelfId, "Mosaiko", 99, false};
    EXPECT_EQ(LibraryInsertion::preferredExternalApplicationIndex({mine, std::nullopt, quit, anonymous},
                                                                  kSelfPid, kSelfId),
              3u);
    EXPECT_EQ(LibraryInsertion::preferredExternalApplicationIndex({sameIdOtherPid}, kSelfPid, kSelfId),
              std::nullopt);
    // Without an identifier of our own, applications without one count as this program.
    EXPECT_EQ(LibraryInsertion::preferredExternalApplicationIndex({anonymous}, kSelfPid, std::nullopt),
              std::nullopt);
    EXPECT_EQ(LibraryInsertion::preferredExternalApplicationIndex({}, kSelfPid, kSelfId), std::nullopt);
}

TEST_F(LibraryInsertionTest, FrontmostWithoutIdentifierIsUsable) {
    const RunningApp xterm = app(400, std::nullopt, "xterm");
    workspace.running.push_back(xterm);
    userWorksIn(xterm);
    EXPECT_EQ(insertion->currentExternalFrontmostApplication(), xterm);
    EXPECT_EQ(insertion->lastExternalActiveApplication(), xterm);
}

TEST_F(LibraryInsertionTest, ActivationsOfThisProgramAreNotRemembered) {
    insertion->installWorkspaceActivationObserver();
    userWorksIn(terminal);
    libraryTakesFocus();
    EXPECT_EQ(insertion->lastExternalActiveApplication(), terminal);
    EXPECT_EQ(insertion->currentExternalFrontmostApplication(), std::nullopt);
    EXPECT_EQ(insertion->lastExternalActiveApplication(), terminal);
}

TEST_F(LibraryInsertionTest, DisplayNameIsTheNameUnlessBlank) {
    EXPECT_EQ(LibraryInsertion::displayName(app(1, "a", " Text Edit ")), " Text Edit ");
    EXPECT_EQ(LibraryInsertion::displayName(app(1, "a", " \n")), std::nullopt);
    EXPECT_EQ(LibraryInsertion::displayName(app(1, "a", std::nullopt)), std::nullopt);
    EXPECT_EQ(LibraryInsertion::displayName(std::nullopt), std::nullopt);
}

}  // namespace
}  // namespace mosaiko
