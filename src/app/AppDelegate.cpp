#include "app/AppDelegate.hpp"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTextDocument>
#include <iostream>
#include <stdexcept>

#include "app/AppMenuBuilder.hpp"
#include "app/StatusBarIcon.hpp"
#include "app/logic/LibraryKeyHandler.hpp"
#include "library/ui/LibraryView.hpp"
#include "picker/ui/PickerPanelController.hpp"
#include "platform/qt/WindowMemory.hpp"

namespace mosaiko {

Wiring AppDelegate::PickerHooks::wiring() const {
    return Wiring()
        .require("start", start)
        .require("stop", stop)
        .require("openQuickFind", openQuickFind)
        .require("setOpenLibraryHandler", setOpenLibraryHandler)
        .require("setShellServices", setShellServices);
}

Wiring AppDelegate::Dependencies::wiring() const {
    return Wiring()
        .require("mainLoop", mainLoop)
        .require("workspace", workspace)
        .require("bundle", bundle)
        .include("singleInstance", singleInstance.wiring())
        .require("startContent", startContent)
        .require("loadStores", loadStores)
        .require("permissions", permissions)
        .require("autoStart", autoStart)
        .include("picker", picker.wiring())
        .require("isTerminated", isTerminated)
        .include("libraryEffects", libraryEffects.wiring())
        .require("systemTrayAvailable", systemTrayAvailable)
        .require("launcher", launcher)
        .require("terminate", terminate);
}

// Checked before anything is built on it.
AppDelegate::Dependencies AppDelegate::checked(Dependencies dependencies) {
    dependencies.wiring().check("AppDelegate");
    return dependencies;
}

AppDelegate::AppDelegate(Dependencies dependencies)
    : dependencies_(checked(std::move(dependencies))), updates_(*dependencies_.mainLoop) {
    LibraryInsertion::Dependencies insertion;
    insertion.workspace = dependencies_.workspace;
    insertion.currentProcessIdentifier = dependencies_.currentProcessIdentifier;
    insertion.currentBundleIdentifier = dependencies_.bundleIdentifier;
    insertion.isTerminated = dependencies_.isTerminated;
    insertion.effects = dependencies_.libraryEffects;
    insertion.window.ensure = [this] { ensureLibraryWindow(); };
    insertion.window.setInsertionTargetName = [this](const std::optional<std::string>& name) {
        libraryInsertionTargetName_ = name;
        if (libraryViewModel_) libraryViewModel_->setInsertionTargetName(name);
    };
    insertion.window.orderFrontRegardless = [this] {
        if (libraryWindow_) libraryWindow_->orderFrontRegardless();
    };
    insertion.window.orderOut = [this] {
        if (libraryWindow_) libraryWindow_->orderOut();
    };
    libraryInsertion_ = std::make_unique<LibraryInsertion>(std::move(insertion));
    dependencies_.picker.setShellServices(this);
}

AppDelegate::~AppDelegate() {
    dependencies_.picker.setShellServices(nullptr);
    cancellables_.clear();
    // Windows first: the library window's view and key handler refer to its view model.
    onboardingWindow_.reset();
    libraryWindow_.reset();
    libraryViewModel_.reset();
    statsWindow_.reset();
    prefsWindow_.reset();
    delete statusItem_;
    delete statusMenu_;
}

AppDelegate::PickerHooks AppDelegate::PickerHooks::overLater(
    const std::unique_ptr<PickerController>& picker) {
    PickerHooks hooks;
    hooks.start = [&picker] {
        if (picker) picker->start();
    };
    hooks.stop = [&picker] {
        if (picker) picker->stop();
    };
    hooks.openQuickFind = [&picker] {
        if (picker) picker->openQuickFind();
    };
    hooks.setOpenLibraryHandler = [&picker](std::function<void(const LibraryOpenRequest&)> handler) {
        if (picker) picker->openLibraryHandler = std::move(handler);
    };
    hooks.setLibraryShortcutSuspended = [&picker](bool suspended) {
        if (picker) picker->setLibraryShortcutSuspended(suspended);
    };
    hooks.observeKeysWhileLibraryShortcutSuspended =
        [&picker](std::function<void(const KeyEvent&)> observer) {
            if (picker) picker->keyDownWhileLibraryShortcutSuspended = std::move(observer);
        };
    return hooks;
}

// ---------------------------------------------------------------- launch and shut-down

LaunchInputs AppDelegate::readLaunchInputs() const {
    LaunchInputs inputs;
    // No build of this program carries a setting that forbids automatic downloads.
    inputs.allowsAutomaticUpdates = true;
    inputs.launchAtLoginEnabled = stores_.prefs->launchAtLoginEnabled();
    inputs.arguments = std::set<std::string>(dependencies_.arguments.begin(), dependencies_.arguments.end());
    inputs.hasCompletedOnboarding = stores_.prefs->defaults().boolValue("hasCompletedOnboarding");
    inputs.isTrusted = dependencies_.permissions->trustChecker(false);
    return inputs;
}

bool AppDelegate::resolveOtherInstances() {
    switch (SingleInstance(dependencies_.singleInstance).resolveOtherRunningInstancesIfNeeded()) {
        case SingleInstance::Outcome::goOn:
            return true;
        case SingleInstance::Outcome::newerCopyRuns:
            std::cerr << "Mosaiko: another copy, started at the same time, is the one that runs; this one "
                         "ends.\n";
            break;
        case SingleInstance::Outcome::runsOnAnotherMachine: {
            std::string hosts;
            for (const auto& host : dependencies_.singleInstance.copiesOnOtherMachines())
                hosts += (hosts.empty() ? "" : ", ") + host;
            std::cerr << "Mosaiko: a copy on another machine (" << hosts
                      << ") runs with this configuration folder and cannot be ended from here; quit it "
                         "there to use Mosaiko here. This one ends.\n";
            break;
        }
        case SingleInstance::Outcome::endRequested:
            break;
    }
    if (dependencies_.terminate) dependencies_.terminate();
    return false;
}

void AppDelegate::applicationDidFinishLaunching() {
    if (launched_) return;
    launched_ = true;
    QPointer<AppDelegate> weak(this);

    LaunchSequence::Steps steps;
    steps.resolveOtherInstances = [this] { return resolveOtherInstances(); };
    steps.loadStores = [this] {
        stores_ = dependencies_.loadStores();
        if (!stores_.prefs) throw std::invalid_argument("AppDelegate: loadStores gave no preferences store");
    };
    steps.startContent = [this] { dependencies_.startContent(); };
    steps.readLaunchInputs = [this] { return readLaunchInputs(); };
    steps.setUpUpdater = [this](const LaunchInputs& inputs) {
        updates_.setUpAtLaunch(dependencies_.updaterFactory, inputs.allowsAutomaticUpdates);
    };
    steps.installAppMenu = [this] { installAppMenu(); };
    steps.setUpStatusItem = [this] { setUpStatusItem(); };
    steps.installWorkspaceActivationObserver = [this] {
        libraryInsertion_->installWorkspaceActivationObserver();
    };
    steps.bindLaunchAtLogin = [this] {
        cancellables_.push_back(
            dependencies_.autoStart->bind(stores_.prefs->launchAtLoginEnabled, *dependencies_.mainLoop));
    };
    steps.postUpdaterStatus = [this] { updates_.postStatusDidChange(); };
    steps.installLibraryOpenHandler = [this, weak] {
        dependencies_.picker.setOpenLibraryHandler([weak](const LibraryOpenRequest& request) {
            if (!weak) return;
            if (request.pickerScope) {
                weak->openLibraryWindow(*request.pickerScope, std::nullopt,
                                        request.deletingCharsBeforeInsertion);
            } else {
                weak->openLibraryWindow(std::nullopt, request.deletingCharsBeforeInsertion);
            }
        });
    };
    steps.registerLoginItem = [this] { dependencies_.autoStart->registerNow(); };
    steps.showOnboarding = [this](OnboardingPage page) { showOnboarding(page); };
    steps.startKeyTap = [this] { dependencies_.picker.start(); };
    steps.later = dependencies_.afterKeyTap;
    LaunchSequence::run(steps);
}

void AppDelegate::applicationWillTerminate() {
    if (terminated_) return;
    terminated_ = true;
    dependencies_.picker.stop();
}

// ---------------------------------------------------------------- menus and tray

std::string AppDelegate::quitMenuItemTitle() const {
    return mosaiko::quitMenuItemTitle(dependencies_.shortVersionString);
}

void AppDelegate::installAppMenu() {
    appMainMenu_.reset(AppMenuBuilder::makeAppMainMenu(canCheckForUpdates(), quitMenuItemTitle(),
                                                       [this](MenuAction a) { perform(a); }));
}

void AppDelegate::setUpStatusItem() {
    statusMenu_ = AppMenuBuilder::makeStatusMenu(canCheckForUpdates(), quitMenuItemTitle(),
                                                 [this](MenuAction a) { perform(a); });
    statusItem_ = new QSystemTrayIcon(
        StatusBarIcon::make(dependencies_.bundle->resourcePath("MenuBarIcon", "svg")), this);
    showSaveProblem(std::nullopt);
    statusItem_->setContextMenu(statusMenu_);
    if (dependencies_.watchSaving) {
        QPointer<AppDelegate> weak(this);
        dependencies_.watchSaving([weak](const std::optional<std::string>& problem) {
            if (weak) weak->showSaveProblem(problem);
        });
    }
    // A click opens the menu as the right button does, as a menu-bar item would. A click soon after
    // the one that chose from the menu counts as a double click, and is a click all the same.
    connect(statusItem_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        const bool click = reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick;
        if (click && !statusMenu_->isVisible()) statusMenu_->popup(QCursor::pos());
    });
    if (!dependencies_.systemTrayAvailable()) {
        std::cerr << "Mosaiko: this desktop offers no system tray, so there is no Mosaiko icon; the keyboard "
                     "features work without it.\n";
    }
    statusItem_->show();
}

void AppDelegate::showSaveProblem(const std::optional<std::string>& problem) {
    if (!statusItem_) return;
    if (!problem) {
        statusItem_->setToolTip(QStringLiteral("Mosaiko"));
        return;
    }
    // Rich text made from the plain text, so that nothing in the reason is taken for markup.
    statusItem_->setToolTip(Qt::convertFromPlainText(
        QStringLiteral("Mosaiko\nSettings cannot be saved: ") + QString::fromStdString(*problem),
        Qt::WhiteSpaceNormal));
}

void AppDelegate::perform(MenuAction action) {
    switch (action) {
        case MenuAction::openPicker:
            return openPicker();
        case MenuAction::openLibrary:
            return openLibrary();
        case MenuAction::openSettings:
            return openSettings();
        case MenuAction::openStats:
            return openStats();
        case MenuAction::openTipps:
            return openTipps();
        case MenuAction::openOnboarding:
            return openOnboarding();
        case MenuAction::checkForUpdates:
            return checkForUpdates();
        case MenuAction::quit:
            return quit();
    }
}

void AppDelegate::openPicker() {
    dependencies_.picker.openQuickFind();
}

void AppDelegate::openLibrary() {
    openLibraryWindow(libraryInsertion_->currentExternalFrontmostApplication(), 0);
}

void AppDelegate::openTipps() {
    showOnboarding(OnboardingPage::welcome);
}

void AppDelegate::openOnboarding() {
    showOnboarding(OnboardingPage::permissions);
}

void AppDelegate::checkForUpdates() {
    // Brings the program forward for whatever the updater shows; this build has no window to raise.
    updates_.checkForUpdates();
}

void AppDelegate::quit() {
    dependencies_.terminate();
}

// ---------------------------------------------------------------- windows

void AppDelegate::showInFront(WindowController& controller) {
    // The library floats above every other window: a window asked for while it shows must float
    // too, or it would open under it (with the keyboard going to it all the same).
    controller.setKeptAbove(libraryWindow_ && libraryWindow_->window()->isVisible());
    controller.showWindow();
}

void AppDelegate::libraryWindowHidden() {
    for (WindowController* controller : {static_cast<WindowController*>(prefsWindow_.get()),
                                         static_cast<WindowController*>(statsWindow_.get()),
                                         static_cast<WindowController*>(onboardingWindow_.get())}) {
        if (controller) controller->setKeptAbove(false);
    }
}

void AppDelegate::prepareWindow(WindowController& controller) {
    if (appMainMenu_ && !appMainMenu_->actions().isEmpty()) {
        if (QMenu* commands = appMainMenu_->actions().first()->menu())
            controller.addMenuActions(commands->actions());
    }
}

void AppDelegate::openSettings() {
    if (!prefsWindow_) {
        prefsWindow_ = std::make_unique<PreferencesWindowController>();
        prepareWindow(*prefsWindow_);
        installSettingsView(*prefsWindow_);
    }
    showInFront(*prefsWindow_);
}

// A closed statistics window or guide holds nothing: the next opening builds it anew (the guide is
// built anew at every opening anyway).
template <class Controller>
void AppDelegate::discardWhenClosed(std::unique_ptr<Controller>& slot) {
    Controller* controller = slot.get();
    WindowMemory::whenClosed(controller->window(), [this, &slot, controller] {
        if (slot.get() != controller) return;
        QObject* old = slot.release();
        old->setParent(this);
        connect(old, &QObject::destroyed, [] { WindowMemory::releaseShared(); });
        old->deleteLater();
    });
}

void AppDelegate::openStats() {
    if (!statsWindow_) {
        if (!stores_.usage) throw std::invalid_argument("AppDelegate: loadStores gave no usage store");
        statsWindow_ = std::make_unique<StatsWindowController>(*stores_.usage, statsRange_);
        prepareWindow(*statsWindow_);
        discardWhenClosed(statsWindow_);
    }
    showInFront(*statsWindow_);
}

void AppDelegate::showOnboarding(OnboardingPage startPage) {
    if (onboardingWindow_) {
        onboardingWindow_->close();
        // The old guide may be the one asking (from inside one of its own handlers): it goes once
        // control is back in the event loop, and with this object at the latest.
        WindowController* old = onboardingWindow_.release();
        old->setParent(this);
        old->deleteLater();
    }
    onboardingWindow_ =
        std::make_unique<OnboardingWindowController>(startPage, *stores_.prefs, guideDependencies());
    prepareWindow(*onboardingWindow_);
    discardWhenClosed(onboardingWindow_);
    showInFront(*onboardingWindow_);
}

OnboardingViewModel::Dependencies AppDelegate::guideDependencies() {
    PermissionsManager& permissions = *dependencies_.permissions;
    OnboardingViewModel::Dependencies d;
    d.trustChecker = [&permissions](bool prompt) { return permissions.trustChecker(prompt); };
    d.untrustedReason = [&permissions] {
        return permissions.untrustedReason ? permissions.untrustedReason() : std::string();
    };
    d.resetRequiredPermissions = [&permissions](std::function<void(PermissionResetSummary)> done) {
        permissions.resetRequiredPermissions(std::move(done));
    };
    d.recordCompletion = [&prefs = *stores_.prefs] { prefs.defaults().set("hasCompletedOnboarding", true); };
    d.executablePath = dependencies_.executablePath;
    d.launcher = dependencies_.launcher;
    d.terminate = [this] { quit(); };
    return d;
}

void AppDelegate::ensureLibraryWindow() {
    if (!libraryViewModel_) {
        const Stores& stores = stores_;
        for (auto [store, name] : {std::pair<const void*, const char*>{stores.prefs, "prefs"},
                                   {stores.db, "db"},
                                   {stores.usage, "usage"},
                                   {stores.collections, "collections"},
                                   {stores.custom, "custom"}}) {
            if (!store)
                throw std::invalid_argument(std::string("AppDelegate: the library needs stores.") + name);
        }
        libraryViewModel_ = std::make_unique<LibraryViewModel>(*stores.db, *stores.prefs, *stores.usage,
                                                               *stores.collections, *dependencies_.mainLoop);
        QPointer<AppDelegate> weak(this);
        libraryViewModel_->onInsertRequested = [weak](const std::string& text, bool keepWindowOpen) {
            if (weak) weak->insertFromLibrary(text, keepWindowOpen);
        };
        libraryViewModel_->onCopyRequested = [weak](const std::string& text) {
            if (weak) weak->copyFromLibrary(text);
        };
        libraryViewModel_->setInsertionTargetName(libraryInsertionTargetName_);
    }
    if (libraryWindow_) return;
    libraryWindow_ = std::make_unique<LibraryWindowController>(*libraryViewModel_, *stores_.custom);
    prepareWindow(*libraryWindow_);
    QPointer<AppDelegate> weak(this);
    libraryWindow_->view()->onOpenSettings = [weak] {
        if (weak) weak->openSettings();
    };
    connect(libraryWindow_->libraryWindow(), &LibraryWindow::hidden, this, &AppDelegate::libraryWindowHidden);
}

void AppDelegate::openLibrary(const std::optional<RunningApp>& preferredTargetApp, int deleting,
                              const std::function<void()>& navigate) {
    libraryInsertion_->openLibraryWindow(preferredTargetApp, deleting, navigate);
}

void AppDelegate::openLibraryWindow(const std::optional<RunningApp>& preferredTargetApp, int deleting) {
    openLibrary(preferredTargetApp, deleting, [this] {
        if (libraryViewModel_) libraryViewModel_->navigate(LibraryViewModel::BrowseSection::all());
    });
}

void AppDelegate::openLibraryWindow(PickerViewModel::Scope pickerScope,
                                    const std::optional<RunningApp>& preferredTargetApp, int deleting) {
    openLibrary(preferredTargetApp, deleting, [this, pickerScope] {
        if (libraryViewModel_) libraryViewModel_->navigate(pickerScope);
    });
}

void AppDelegate::insertFromLibrary(const std::string& text, bool keepWindowOpen) {
    libraryInsertion_->insertFromLibrary(text, keepWindowOpen);
}

void AppDelegate::copyFromLibrary(const std::string& text) {
    libraryInsertion_->copyFromLibrary(text);
}

}  // namespace mosaiko
