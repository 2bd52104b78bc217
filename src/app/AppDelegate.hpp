#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/WindowControllers.hpp"
#include "app/logic/AppMenus.hpp"
#include "app/logic/AutoStartManager.hpp"
#include "app/logic/LaunchSequence.hpp"
#include "app/logic/LibraryInsertion.hpp"
#include "app/logic/PermissionsManager.hpp"
#include "app/logic/SingleInstance.hpp"
#include "app/logic/UpdateManager.hpp"
#include "content/PreferencesStore.hpp"
#include "library/LibraryViewModel.hpp"
#include "onboarding/OnboardingPage.hpp"
#include "picker/PickerController.hpp"
#include "picker/PickerShellServices.hpp"
#include "platform/AppBundle.hpp"
#include "platform/MainLoop.hpp"
#include "platform/ProcessLauncher.hpp"
#include "platform/Published.hpp"
#include "platform/Workspace.hpp"

class QMenu;
class QMenuBar;
class QSystemTrayIcon;

namespace mosaiko {

class CollectionsStore;
class CustomContentStore;
class EmojiDatabase;
class EmojiUsageStore;
class PickerPanelController;

// The spine of the program: runs the launch sequence, owns the tray and its menu, the windows,
// the update state and the library insertion state, and stops the picker at shut-down. While it
// exists it is also what the picker's views ask of the shell (the panel's settings button).
class AppDelegate final : public QObject, public PickerShellServices {
    Q_OBJECT

  public:
    using UpdaterStatusSnapshot = UpdateManager::UpdaterStatusSnapshot;

    using LibraryOpenRequest = PickerController::LibraryOpenRequest;

    // What the shell drives of the picker controller.
    struct PickerHooks {
        std::function<void()> start;
        std::function<void()> stop;
        std::function<void()> openQuickFind;
        std::function<void(std::function<void(const LibraryOpenRequest&)>)> setOpenLibraryHandler;
        // Where the picker's settings buttons go; none when the delegate is gone.
        std::function<void(PickerShellServices*)> setShellServices;
        // While the settings window records a new library shortcut.
        std::function<void(bool suspended)> setLibraryShortcutSuspended;
        std::function<void(std::function<void(const KeyEvent&)>)> observeKeysWhileLibraryShortcutSuspended;

        Wiring wiring() const;

        // The hooks of a picker that is built later (with the stores); until then they do nothing.
        // The shell services hook is the builder's to fill.
        static PickerHooks overLater(const std::unique_ptr<PickerController>& picker);
    };

    // The stores the shell reads and hands to its windows.
    struct Stores {
        PreferencesStore* prefs = nullptr;
        // What the settings window's content tabs edit; a tab without its store stays empty.
        CollectionsStore* collections = nullptr;
        CustomContentStore* custom = nullptr;
        EmojiDatabase* db = nullptr;
        // The statistics window's numbers. The library window shows all of these and cannot open
        // without them.
        EmojiUsageStore* usage = nullptr;
    };

    struct Dependencies {
        MainLoop* mainLoop = nullptr;
        Workspace* workspace = nullptr;
        // The program's resources, identifier and version text.
        const AppBundle* bundle = nullptr;
        std::optional<std::string> bundleIdentifier;
        std::optional<std::string> shortVersionString;
        long currentProcessIdentifier = 0;
        std::vector<std::string> arguments;

        SingleInstance::Dependencies singleInstance;
        // Loads the stores and builds what rests on them (the picker). Called by the launch once the
        // older copies are gone: they save on their way out.
        std::function<Stores()> loadStores;
        std::function<void()> startContent;
        // Hands the tray a way to say that settings cannot be saved (a reason) or can again
        // (nothing); called on the main thread. Unset: nothing is said there.
        std::function<void(std::function<void(const std::optional<std::string>& problem)>)> watchSaving;
        PermissionsManager* permissions = nullptr;
        AutoStartManager* autoStart = nullptr;
        UpdateManager::UpdaterFactory updaterFactory;
        PickerHooks picker;

        // Whether an application seen earlier has quit since.
        std::function<bool(const RunningApp&)> isTerminated;
        LibraryInsertion::Effects libraryEffects;

        std::function<bool()> systemTrayAvailable;
        // The guide's relaunch: the program to start again (empty when unknown) and what starts it.
        std::string executablePath;
        ProcessLauncher* launcher = nullptr;
        // Ends the event loop (the shut-down then follows from it).
        std::function<void()> terminate;
        // Runs the launch's steps after the key tap's start (tray, menus, guide) once the event
        // loop runs, so that the keyboard is answered first. Unset: they run at once.
        std::function<void(std::function<void()>)> afterKeyTap;

        // Everything is required but the identity texts, the updater factory (none: this build
        // has no updater) and the deferral of the launch's last steps.
        Wiring wiring() const;
    };

    explicit AppDelegate(Dependencies dependencies);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    void applicationWillTerminate();

    // Menu actions.
    void perform(MenuAction action);
    void openPicker();
    void openLibrary();
    void openSettings() override;
    void openStats();
    void openTipps();
    void openOnboarding();
    void checkForUpdates();
    void quit();

    void showOnboarding(OnboardingPage startPage);

    // The library on its "all" section, or on the tab of a picker scope.
    void openLibraryWindow(const std::optional<RunningApp>& preferredTargetApp,
                           int deletingTypedCharactersBeforeInsertion);
    void openLibraryWindow(PickerViewModel::Scope pickerScope,
                           const std::optional<RunningApp>& preferredTargetApp,
                           int deletingTypedCharactersBeforeInsertion);
    // The library view model's insert and copy requests.
    void insertFromLibrary(const std::string& text, bool keepWindowOpen);
    void copyFromLibrary(const std::string& text);

    // Update state, for the menus and the settings window.
    bool canCheckForUpdates() const { return updates_.canCheckForUpdates(); }
    UpdaterStatusSnapshot currentUpdaterStatus(const std::string& currentVersion) const {
        return updates_.currentUpdaterStatus(currentVersion);
    }
    void setAutomaticallyChecksForUpdates(bool enabled) {
        updates_.setAutomaticallyChecksForUpdates(enabled);
    }
    void setAutomaticallyDownloadsUpdates(bool enabled) {
        updates_.setAutomaticallyDownloadsUpdates(enabled);
    }
    UpdateManager& updates() { return updates_; }

    std::string quitMenuItemTitle() const;

    // What the delegate holds, for the windows' own code and for tests.
    QSystemTrayIcon* statusItem() const { return statusItem_; }
    QMenu* statusMenu() const { return statusMenu_; }
    QMenuBar* appMainMenu() const { return appMainMenu_.get(); }
    PreferencesWindowController* prefsWindow() const { return prefsWindow_.get(); }
    StatsWindowController* statsWindow() const { return statsWindow_.get(); }
    LibraryWindowController* libraryWindow() const { return libraryWindow_.get(); }
    LibraryViewModel* libraryViewModel() const { return libraryViewModel_.get(); }
    OnboardingWindowController* onboardingWindow() const { return onboardingWindow_.get(); }
    LibraryInsertion& libraryInsertion() { return *libraryInsertion_; }
    const std::optional<std::string>& libraryInsertionTargetName() const {
        return libraryInsertionTargetName_;
    }

  private:
    static Dependencies checked(Dependencies dependencies);
    void setUpStatusItem();
    // Fills the settings window with its view (AppDelegateSettings.cpp).
    void installSettingsView(WindowController& controller);
    void installAppMenu();
    void ensureLibraryWindow();
    void prepareWindow(WindowController& controller);
    template <class Controller>
    void discardWhenClosed(std::unique_ptr<Controller>& slot);
    // Shows one of the program's windows in front and focused, above the library when it shows.
    void showInFront(WindowController& controller);
    void libraryWindowHidden();
    void openLibrary(const std::optional<RunningApp>& preferredTargetApp, int deleting,
                     const std::function<void()>& navigate);
    LaunchInputs readLaunchInputs() const;
    bool resolveOtherInstances();
    void showSaveProblem(const std::optional<std::string>& problem);
    OnboardingViewModel::Dependencies guideDependencies();

    Dependencies dependencies_;
    Stores stores_;  // once the launch has loaded them
    UpdateManager updates_;
    std::unique_ptr<LibraryInsertion> libraryInsertion_;
    std::unique_ptr<LibraryViewModel> libraryViewModel_;
    std::optional<std::string> libraryInsertionTargetName_;

    QSystemTrayIcon* statusItem_ = nullptr;
    QMenu* statusMenu_ = nullptr;
    std::unique_ptr<QMenuBar> appMainMenu_;
    std::unique_ptr<PreferencesWindowController> prefsWindow_;
    std::unique_ptr<StatsWindowController> statsWindow_;
    StatsRange statsRange_ = StatsRange::allTime;  // the statistics window's range, across its rebuilds
    std::unique_ptr<LibraryWindowController> libraryWindow_;
    std::unique_ptr<OnboardingWindowController> onboardingWindow_;

    std::vector<Cancellable> cancellables_;
    bool launched_ = false;
    bool terminated_ = false;
};

}  // namespace mosaiko
