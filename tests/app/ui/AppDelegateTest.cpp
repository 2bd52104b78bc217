#include "app/AppDelegate.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSystemTrayIcon>

#include "app/FakeWorkspace.hpp"
#include "content/CollectionsStore.hpp"
#include "content/CustomContentStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmojiUsageStore.hpp"
#include "onboarding/ui/OnboardingView.hpp"
#include "onboarding/ui/StatsView.hpp"
#include "platform/MemoryDefaults.hpp"
#include "platform/fake/FakeLoginItemService.hpp"
#include "platform/fake/FakeProcessLauncher.hpp"
#include "platform/fake/ManualMainLoop.hpp"

namespace mosaiko {
namespace {

const std::string kAppId = "io.github.mosaiko.Mosaiko";
constexpr long kPid = 4242;

class AppDelegateTest : public testing::Test {
  protected:
    AppDelegateTest()
        : bundle(std::filesystem::path(MOSAIKO_SOURCE_DIR) / "resources"),
          permissions(
              [this](bool prompt) {
                  trustPrompts.push_back(prompt);
                  return trusted;
              },
              [] { return std::optional<std::string>(kAppId); }, PermissionsManager::resetUnavailable(),
              [](std::function<void()> work, std::function<void()> then) {
                  work();
                  then();
              }),
          autoStart(loginItems) {
        workspace.running = {editor};
    }

    AppDelegate::Dependencies dependencies() {
        AppDelegate::Dependencies d;
        d.mainLoop = &loop;
        d.workspace = &workspace;
        d.bundle = &bundle;
        d.bundleIdentifier = kAppId;
        d.shortVersionString = " 0.1.0 ";
        d.currentProcessIdentifier = kPid;
        d.arguments = arguments;
        d.singleInstance.bundleIdentifier = [] { return std::optional<std::string>(kAppId); };
        d.singleInstance.currentProcessIdentifier = [] { return kPid; };
        d.singleInstance.runningInstances = [this] {
            log.push_back("list instances");
            return std::vector<RunningInstance>{};
        };
        // No other copy runs, so nothing is asked to quit or waited for.
        d.singleInstance.requestTermination = [](const RunningInstance&) {};
        d.singleInstance.forceTermination = [](const RunningInstance&) {};
        d.singleInstance.showAlert = [](const std::string&, const std::string&) {};
        d.singleInstance.uptime = [this] { return loop.uptime(); };
        d.singleInstance.sleep = [](double) {};
        d.startContent = [this] { log.push_back("start content"); };
        d.loadStores = [this] {
            log.push_back("load stores");
            AppDelegate::Stores stores;
            stores.prefs = &prefs;
            stores.db = &db;
            stores.usage = &usage;
            stores.collections = &collections;
            stores.custom = &custom;
            return stores;
        };
        d.permissions = &permissions;
        d.autoStart = &autoStart;
        d.picker.start = [this] { log.push_back("start key tap"); };
        d.picker.stop = [this] { log.push_back("stop picker"); };
        d.picker.openQuickFind = [this] { log.push_back("quick find"); };
        d.picker.setOpenLibraryHandler =
            [this](std::function<void(const AppDelegate::LibraryOpenRequest&)> h) {
                libraryHandler = std::move(h);
            };
        d.picker.setShellServices = [this](PickerShellServices* s) { pickerShell = s; };
        d.isTerminated = [this](const RunningApp& a) { return !workspace.isRunning(a); };
        d.libraryEffects.textWriter = [this](const std::string& t) { log.push_back("clipboard " + t); };
        d.libraryEffects.emojiInsertHandler = [this](const std::string& t, int n) {
            log.push_back("type " + std::to_string(n) + " " + t);
            return true;
        };
        d.libraryEffects.usageRecorder = [this](const std::string& t) { log.push_back("used " + t); };
        d.libraryEffects.delayExecutor = [this](double s, std::function<void()> b) {
            loop.postDelayed(s, std::move(b));
        };
        d.libraryEffects.targetActivator = [this](const RunningApp& a) { workspace.bringToFront(a); };
        d.watchSaving = [this](std::function<void(const std::optional<std::string>&)> show) {
            showSaveProblem = std::move(show);
        };
        d.systemTrayAvailable = [] { return false; };
        d.executablePath = "/usr/bin/mosaiko";
        d.launcher = &launcher;
        d.terminate = [this] { log.push_back("terminate"); };
        if (deferAfterKeyTap)
            d.afterKeyTap = [this](std::function<void()> rest) { loop.post(std::move(rest)); };
        return d;
    }

    std::unique_ptr<AppDelegate> launch() {
        defaults.set("hasCompletedOnboarding", onboardingCompleted);
        auto delegate = std::make_unique<AppDelegate>(dependencies());
        testing::internal::CaptureStderr();
        delegate->applicationDidFinishLaunching();
        stderrText = testing::internal::GetCapturedStderr();
        return delegate;
    }

    const RunningApp editor{"org.example.Editor", "Editor", 200, ""};
    ManualMainLoop loop;
    FakeWorkspace workspace;
    AppBundle bundle;
    bool trusted = true;
    bool onboardingCompleted = true;
    bool deferAfterKeyTap = false;
    std::vector<bool> trustPrompts;
    PermissionsManager permissions;
    FakeLoginItemService loginItems;
    AutoStartManager autoStart;
    MemoryDefaults defaults;
    PreferencesStore prefs{defaults};
    EmojiDatabase db{{EmojiEntry{"fox", "🦊", "fox", "Animals & Nature", {"fox"}, {}, {}, {}}},
                     {},
                     OperatingSystemVersion{99, 0, 0}};
    EmojiUsageStore usage{defaults, loop};
    CollectionsStore collections{defaults};
    CustomContentStore custom{defaults};
    FakeProcessLauncher launcher;
    std::vector<std::string> arguments{"/usr/bin/mosaiko"};
    std::vector<std::string> log;
    std::function<void(const AppDelegate::LibraryOpenRequest&)> libraryHandler;
    PickerShellServices* pickerShell = nullptr;
    std::function<void(const std::optional<std::string>&)> showSaveProblem;
    std::string stderrText;
};

TEST_F(AppDelegateTest, TheTraySaysWhileSettingsCannotBeSaved) {
    auto delegate = launch();
    ASSERT_TRUE(showSaveProblem);
    showSaveProblem("Cannot write <defaults.json>: No space left on device");
    const QString tip = delegate->statusItem()->toolTip();
    EXPECT_TRUE(tip.contains(QStringLiteral("Settings cannot be saved"))) << tip.toStdString();
    EXPECT_TRUE(tip.contains(QStringLiteral("&lt;defaults.json&gt;"))) << tip.toStdString();  // not markup
    showSaveProblem(std::nullopt);
    EXPECT_EQ(delegate->statusItem()->toolTip(), QStringLiteral("Mosaiko"));
}

TEST_F(AppDelegateTest, LaunchStartsTheKeyTapOnceAndBuildsTheTrayAndMenus) {
    auto delegate = launch();
    // The stores are read only once the older copies are gone, from what they saved on their way out.
    EXPECT_EQ(log,
              (std::vector<std::string>{"list instances", "load stores", "start content", "start key tap"}));
    EXPECT_EQ(trustPrompts, std::vector<bool>{false});

    ASSERT_NE(delegate->statusItem(), nullptr);
    EXPECT_EQ(delegate->statusItem()->contextMenu(), delegate->statusMenu());
    const auto items = delegate->statusMenu()->actions();
    EXPECT_EQ(items.last()->text(), QStringLiteral("Quit Mosaiko 0.1.0"));
    EXPECT_FALSE(items[7]->isEnabled());  // no updater in this build
    EXPECT_EQ(delegate->updates().updaterState().statusText, "Updater unavailable in this build");
    ASSERT_NE(delegate->appMainMenu(), nullptr);
    EXPECT_EQ(delegate->appMainMenu()->actions().size(), 2);

    // Without a tray the program says so, once.
    EXPECT_NE(stderrText.find("no system tray"), std::string::npos);
    delegate->applicationDidFinishLaunching();
    EXPECT_EQ(std::count(log.begin(), log.end(), "start key tap"), 1);
}

// The keyboard is answered before the tray and guide exist: what a key reaches is in place already.
TEST_F(AppDelegateTest, KeysHeardBeforeTheTrayIsBuiltReachTheLibrary) {
    deferAfterKeyTap = true;
    onboardingCompleted = false;
    auto delegate = launch();
    EXPECT_EQ(log.back(), "start key tap");
    EXPECT_EQ(delegate->statusItem(), nullptr);
    workspace.bringToFront(editor);
    ASSERT_TRUE(libraryHandler);
    libraryHandler({PickerViewModel::Scope::pinned, 0});
    ASSERT_NE(delegate->libraryWindow(), nullptr);
    EXPECT_TRUE(delegate->libraryWindow()->window()->isVisible());

    loop.runPending();
    EXPECT_NE(delegate->statusItem(), nullptr);
    ASSERT_NE(delegate->onboardingWindow(), nullptr);
    EXPECT_TRUE(delegate->onboardingWindow()->window()->isVisible());
}

TEST_F(AppDelegateTest, LaunchAtLoginRegistersNowAndAgainFromTheBinding) {
    auto delegate = launch();
    EXPECT_EQ(loginItems.calls, std::vector<std::string>{"register"});
    loop.runPending();
    EXPECT_EQ(loginItems.calls, (std::vector<std::string>{"register", "register"}));
    prefs.setLaunchAtLoginEnabled(false);
    loop.runPending();
    EXPECT_EQ(loginItems.calls.back(), "unregister");
}

TEST_F(AppDelegateTest, LaunchWithLoginDisabledOnlyUnregistersFromTheBinding) {
    prefs.setLaunchAtLoginEnabled(false);
    auto delegate = launch();
    EXPECT_TRUE(loginItems.calls.empty());
    loop.runPending();
    EXPECT_EQ(loginItems.calls, std::vector<std::string>{"unregister"});
}

TEST_F(AppDelegateTest, GuideOpensOnThePageTheLaunchChose) {
    trusted = false;
    auto delegate = launch();
    ASSERT_NE(delegate->onboardingWindow(), nullptr);
    EXPECT_EQ(delegate->onboardingWindow()->startPage(), OnboardingPage::permissions);
    EXPECT_TRUE(delegate->onboardingWindow()->window()->isVisible());
}

TEST_F(AppDelegateTest, SettingsAreReusedAndEveryGuideIsNew) {
    auto delegate = launch();
    delegate->perform(MenuAction::openSettings);
    auto* settings = delegate->prefsWindow();
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(settings->window()->isVisible());
    settings->close();
    delegate->perform(MenuAction::openSettings);
    EXPECT_EQ(delegate->prefsWindow(), settings);
    EXPECT_TRUE(settings->window()->isVisible());

    delegate->perform(MenuAction::openStats);
    EXPECT_EQ(delegate->statsWindow()->window()->windowTitle(), QStringLiteral("Mosaiko Statistics"));

    delegate->perform(MenuAction::openTipps);
    auto* first = delegate->onboardingWindow();
    EXPECT_EQ(first->startPage(), OnboardingPage::welcome);
    delegate->perform(MenuAction::openOnboarding);
    EXPECT_NE(delegate->onboardingWindow(), first);
    EXPECT_EQ(delegate->onboardingWindow()->startPage(), OnboardingPage::permissions);

    // The windows answer the application menu's key equivalents.
    EXPECT_FALSE(settings->window()->actions().isEmpty());
}

// A closed window gives back what it holds: the statistics window and the guide go whole and are
// built anew at the next opening; the settings window keeps its view, and its native window and
// picture are made anew when it shows again, where it was.
TEST_F(AppDelegateTest, ClosedWindowsGiveBackWhatTheyHoldAndOpenAgain) {
    auto delegate = launch();
    auto runLoop = [] {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    };
    delegate->perform(MenuAction::openStats);
    delegate->perform(MenuAction::openTipps);
    delegate->statsWindow()->view()->model().setRange(StatsRange::days7);
    QPointer<QWidget> stats = delegate->statsWindow()->window();
    QPointer<QWidget> guide = delegate->onboardingWindow()->window();
    delegate->statsWindow()->close();
    delegate->onboardingWindow()->close();
    runLoop();
    EXPECT_FALSE(stats);
    EXPECT_FALSE(guide);
    EXPECT_EQ(delegate->statsWindow(), nullptr);
    EXPECT_EQ(delegate->onboardingWindow(), nullptr);
    delegate->perform(MenuAction::openStats);
    ASSERT_NE(delegate->statsWindow(), nullptr);
    EXPECT_TRUE(delegate->statsWindow()->window()->isVisible());
    // A rebuilt window still shows the range the user chose.
    EXPECT_EQ(delegate->statsWindow()->view()->model().range(), StatsRange::days7);

    delegate->perform(MenuAction::openSettings);
    QWidget* settings = delegate->prefsWindow()->window();
    runLoop();
    const QRect geometry = settings->geometry();
    ASSERT_NE(settings->windowHandle(), nullptr);
    delegate->prefsWindow()->close();
    runLoop();
    EXPECT_EQ(settings->windowHandle(), nullptr);
    delegate->perform(MenuAction::openSettings);
    runLoop();
    EXPECT_TRUE(settings->isVisible());
    EXPECT_NE(settings->windowHandle(), nullptr);
    EXPECT_EQ(settings->geometry(), geometry);
}

TEST_F(AppDelegateTest, AGuideThatOpensANewGuideFromItsOwnButtonOutlivesTheCall) {
    auto delegate = launch();
    delegate->perform(MenuAction::openOnboarding);
    QPointer<QWidget> oldWindow = delegate->onboardingWindow()->window();
    QPushButton* oldButton = delegate->onboardingWindow()->view()->trailingButton();
    bool stillThere = false;
    QObject::connect(oldButton, &QPushButton::clicked, [&] {
        delegate->showOnboarding(OnboardingPage::welcome);
        // Still inside the old guide's handler: its widgets must be alive.
        stillThere = oldWindow && !oldWindow->isVisible() && oldButton->isEnabled();
    });
    oldButton->click();
    EXPECT_TRUE(stillThere);
    EXPECT_EQ(delegate->onboardingWindow()->startPage(), OnboardingPage::welcome);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(oldWindow);
}

TEST_F(AppDelegateTest, FinishingTheGuideRecordsCompletionAndRefreshRelaunches) {
    onboardingCompleted = false;
    auto delegate = launch();
    ASSERT_NE(delegate->onboardingWindow(), nullptr);
    OnboardingView* guide = delegate->onboardingWindow()->view();
    guide->model().selectPage(OnboardingPage::permissions);
    guide->trailingButton()->click();
    EXPECT_TRUE(defaults.boolValue("hasCompletedOnboarding"));
    EXPECT_FALSE(delegate->onboardingWindow()->window()->isVisible());

    log.clear();
    delegate->perform(MenuAction::openOnboarding);
    delegate->onboardingWindow()->view()->model().relaunchAppForRestart();
    ASSERT_EQ(launcher.invocations.size(), 1u);
    EXPECT_EQ(launcher.invocations[0].executable, "/usr/bin/mosaiko");
    EXPECT_EQ(log, std::vector<std::string>{"terminate"});
}

TEST_F(AppDelegateTest, ThePickersSettingsButtonReachesTheDelegateWhileItExists) {
    auto delegate = launch();
    ASSERT_EQ(pickerShell, delegate.get());
    pickerShell->openSettings();
    ASSERT_NE(delegate->prefsWindow(), nullptr);
    EXPECT_TRUE(delegate->prefsWindow()->window()->isVisible());

    delegate.reset();
    EXPECT_EQ(pickerShell, nullptr);
}

TEST_F(AppDelegateTest, MenuCommandsReachThePickerTheUpdaterAndTheExit) {
    auto delegate = launch();
    log.clear();
    int posts = 0;
    auto observation =
        delegate->updates().updaterStatusDidChange.subscribe([&](const UpdateManager*) { ++posts; });
    delegate->perform(MenuAction::openPicker);
    delegate->perform(MenuAction::checkForUpdates);
    delegate->perform(MenuAction::quit);
    EXPECT_EQ(log, (std::vector<std::string>{"quick find", "terminate"}));
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(delegate->currentUpdaterStatus("0.1.0").statusText, "Updater unavailable in this build");

    delegate->applicationWillTerminate();
    delegate->applicationWillTerminate();
    EXPECT_EQ(std::count(log.begin(), log.end(), "stop picker"), 1);
}

TEST_F(AppDelegateTest, PickerRequestOpensTheLibraryAndTheNextInsertionErasesTheQuery) {
    auto delegate = launch();
    workspace.bringToFront(editor);
    ASSERT_TRUE(libraryHandler);
    libraryHandler({PickerViewModel::Scope::pinned, 4});
    ASSERT_NE(delegate->libraryWindow(), nullptr);
    EXPECT_TRUE(delegate->libraryWindow()->window()->isVisible());
    EXPECT_EQ(delegate->libraryInsertionTargetName(), "Editor");

    log.clear();
    delegate->insertFromLibrary("🦊", true);
    EXPECT_FALSE(delegate->libraryWindow()->window()->isVisible());
    loop.advance(0.12);
    EXPECT_EQ(log, (std::vector<std::string>{"type 4 🦊", "used 🦊"}));
    EXPECT_TRUE(delegate->libraryWindow()->window()->isVisible());

    delegate->copyFromLibrary("📎");
    EXPECT_EQ(log.back(), "clipboard 📎");
}

TEST_F(AppDelegateTest, LibraryFromTheMenuTargetsTheFrontmostApplication) {
    auto delegate = launch();
    workspace.bringToFront(editor);
    delegate->perform(MenuAction::openLibrary);
    EXPECT_EQ(delegate->libraryInsertion().libraryInsertionTargetApp(), editor);
    EXPECT_EQ(delegate->libraryInsertion().pendingLibraryInsertionDeletionCount(), 0);
}

TEST_F(AppDelegateTest, EscapeClosesTheLibraryWindow) {
    auto delegate = launch();
    delegate->perform(MenuAction::openLibrary);
    auto* window = delegate->libraryWindow()->libraryWindow();
    ASSERT_TRUE(window->isVisible());
    KeyEvent escape;
    escape.keyCode = KeyCode::escape;
    EXPECT_TRUE(window->onKeyDown(escape));
    EXPECT_FALSE(window->isVisible());
    escape.modifierFlags = ModifierFlag::command;
    EXPECT_FALSE(window->onKeyDown(escape));
}

// The library floats over every window; what is asked for while it shows floats too, so that it can
// come in front of it, and goes back to an ordinary window once the library is gone.
TEST_F(AppDelegateTest, WindowsOpenedOverTheLibraryFloatUntilItCloses) {
    auto delegate = launch();
    delegate->perform(MenuAction::openSettings);
    EXPECT_FALSE(delegate->prefsWindow()->isKeptAbove());
    delegate->perform(MenuAction::openLibrary);
    for (MenuAction action : {MenuAction::openSettings, MenuAction::openStats, MenuAction::openTipps})
        delegate->perform(action);
    const std::vector<WindowController*> windows{delegate->prefsWindow(), delegate->statsWindow(),
                                                 delegate->onboardingWindow()};
    for (WindowController* window : windows) EXPECT_TRUE(window->isKeptAbove());
    delegate->libraryWindow()->close();
    for (WindowController* window : windows) {
        EXPECT_FALSE(window->isKeptAbove());
        EXPECT_TRUE(window->window()->isVisible());
    }
}

}  // namespace
}  // namespace mosaiko
