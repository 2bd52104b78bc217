#include "app/LiveShell.hpp"

#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <csignal>
#include <cstdlib>
#include <future>
#include <iostream>
#include <thread>
#include <utility>

#include "app/TerminationSignals.hpp"
#include "content/CollectionsStore.hpp"
#include "content/ContentCoordinator.hpp"
#include "content/CustomContentStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmojiDatabaseLoader.hpp"
#include "content/EmojiUsageStore.hpp"
#include "picker/ui/PickerAssembly.hpp"
#include "picker/ui/PickerPanelController.hpp"
#include "platform/BuildInfo.hpp"
#include "platform/linux/ExecutablePath.hpp"
#include "platform/linux/FileAppendLog.hpp"
#include "platform/linux/FileDefaults.hpp"
#include "platform/linux/FreeMemory.hpp"
#include "platform/linux/XdgAutostartService.hpp"
#include "platform/qt/Typography.hpp"
#include "platform/qt/WindowMemory.hpp"
#include "platform/x11/X11AccessibilityTrust.hpp"
#include "platform/x11/X11DisplaysAhead.hpp"
#include "platform/x11/X11EventPoster.hpp"
#include "platform/x11/X11KeyTap.hpp"
#include "platform/x11/X11Workspace.hpp"

namespace mosaiko {

namespace {

// The workspace when no X display can be reached: no applications, so the library puts chosen
// entries on the clipboard instead of typing them.
class NoWorkspace final : public Workspace {
  public:
    std::optional<RunningApp> frontmostApplication() const override { return std::nullopt; }
    std::vector<RunningApp> runningApplications() const override { return {}; }
    bool activate(const RunningApp&) override { return false; }
    Cancellable observeActivations(std::function<void(const RunningApp&)>) override { return {}; }
};

// The permission services of the running program.
PermissionsManager livePermissions() {
    return PermissionsManager(
        // The display server shows no prompt of its own: the argument changes nothing.
        [](bool) { return X11AccessibilityTrust().isTrusted(); },
        [] { return std::optional<std::string>(buildinfo::kAppIdentifier); },
        PermissionsManager::resetUnavailable(),
        [](std::function<void()> work, std::function<void()> then) {
            std::thread([work = std::move(work), then = std::move(then)]() mutable {
                work();
                // Queued onto the main thread's event loop.
                QMetaObject::invokeMethod(qApp, std::move(then), Qt::QueuedConnection);
            }).detach();
        },
        [] { return X11AccessibilityTrust().reason(); });
}

// The login item follows the preference only while the user's settings are known: where they
// could not be read, the default would be taken for the user's choice.
class LoginItemWhileSettingsKnown final : public LoginItemService {
  public:
    LoginItemWhileSettingsKnown(LoginItemService& service, std::function<bool()> settingsKnown)
        : service_(service), settingsKnown_(std::move(settingsKnown)) {}
    std::optional<std::string> registerLoginItem() override {
        return settingsKnown_() ? service_.registerLoginItem() : std::nullopt;
    }
    std::optional<std::string> unregisterLoginItem() override {
        return settingsKnown_() ? service_.unregisterLoginItem() : std::nullopt;
    }
    std::optional<std::string> unavailableReason() const override { return service_.unavailableReason(); }

  private:
    LoginItemService& service_;
    std::function<bool()> settingsKnown_;
};

}  // namespace

LiveShell::LiveShell(std::vector<std::string> arguments, X11DisplaysAhead& displays,
                     std::shared_future<OperatingSystemVersion> emojiSystemVersion)
    : arguments_(std::move(arguments)),
      displays_(displays),
      permissions_(livePermissions()),
      loginItems_(std::make_unique<LoginItemWhileSettingsKnown>(XdgAutostartService::shared(),
                                                                [this] { return settingsKnown(); })),
      autoStart_(*loginItems_),
      // One copy per configuration folder, whichever display, session or runtime folder it runs
      // with: two would write their own state over each other's files.
      registry_(InstanceRegistry::configurationDirectory(FileDefaults::standardPath().parent_path()),
                InstanceRegistry::configurationKey(FileDefaults::standardPath().parent_path())),
      emojiSystemVersion_(std::move(emojiSystemVersion)),
      workspace_(createX11Workspace(displays_.take())) {
    if (!workspace_) workspace_ = std::make_unique<NoWorkspace>();
    // Once registered, a newer copy may ask this one to stop typing before the request's handler is
    // in place: nothing is typed yet, and the request must not end the process.
    std::signal(InstanceRegistry::kStopTypingSignal, SIG_IGN);
    // Registered before the older copies are looked up, so copies started at the same moment see
    // each other and only the newest survives.
    registry_.registerCurrentProcess();
}

struct LiveShell::Content {
    Content(MainLoop& mainLoop, EmojiDatabaseLoader::VersionSource emojiSystemVersion)
        : defaults(FileDefaults::standardPath()),
          prefs(defaults),
          collections(defaults),
          historyLog(defaults.path().parent_path() / "usage-history.jsonl"),
          usage(defaults, SystemClock::shared(), {}, &historyLog),
          custom(defaults),
          db(EmojiDatabase::DataFileToCome{}),
          // The loading thread's scratch (the parsed file, the first copies) is given back at once.
          loader(db, mainLoop, AppBundle::main(), std::move(emojiSystemVersion), releaseFreeMemory),
          coordinator(db, custom, prefs) {}

    // The emoji data is read and indexed on the loader's thread, with the extra entries that the
    // coordinator hands over first; the keyboard is answered meanwhile. Both begin once the key tap
    // listens: the loader's thread would compete with the tap's start for the processor, and the
    // entries of a user's 10,000 snippets took milliseconds the keyboard waited for, while nothing
    // reads them before the loader.
    void startLoading() {
        coordinator.start();
        loader.start();
    }

    FileDefaults defaults;  // this user's, read now, after the older copy saved on its way out
    PreferencesStore prefs;
    CollectionsStore collections;
    FileAppendLog historyLog;  // the usage history, beside the defaults file
    EmojiUsageStore usage;
    CustomContentStore custom;
    EmojiDatabase db;
    EmojiDatabaseLoader loader;
    ContentCoordinator coordinator;
};

bool LiveShell::settingsKnown() const {
    return !content_ || !content_->defaults.leftUnread();
}

AppDelegate::Stores LiveShell::loadStores() {
    // The poster is made while the stores are read: making it mostly waits on the server. (Still
    // after the older copy has gone: the keycodes a killed copy left remapped are given back.)
    auto poster = std::async(std::launch::async, [display = displays_.take()]() mutable {
        return createX11EventPoster(buildinfo::kAppIdentifier, std::move(display));
    });
    content_ =
        std::make_unique<Content>(mainLoop_, [version = emojiSystemVersion_] { return version.get(); });
    Content& content = *content_;

    {
        std::lock_guard lock(posterMutex_);
        poster_ = poster.get();
    }
    // Without a poster nothing can be typed: the inserters fail instead of pretending, so no use is
    // recorded and the picker's session ends with the user's text left as it was.
    EmojiInserter::EventPoster post;
    EmojiInserter::TextCheck canType;
    if (poster_) {
        // Through the shell, whose poster is replaced when the typing is stopped.
        post = [this](const SyntheticKeyEvent& event) {
            std::lock_guard lock(posterMutex_);
            if (poster_) poster_->post(event);
        };
        canType = [this](const std::u16string& text) {
            std::lock_guard lock(posterMutex_);
            return poster_ && poster_->canType(text);
        };
        inserter_ = std::make_shared<EmojiInserter>(post, EmojiInserter::plainEventFactory(), canType);
    } else {
        const std::string reason = X11AccessibilityTrust().reason();
        std::cerr << "Mosaiko: nothing can be typed into other applications: "
                  << (reason.empty() ? "the X display cannot be used for typing" : reason) << "\n";
        inserter_ = std::make_shared<EmojiInserter>(
            [](const SyntheticKeyEvent&) {},
            EmojiInserter::KeyboardEventFactory([](std::uint16_t, bool) { return std::nullopt; }));
    }

    auto createTap = [this](std::uint64_t, KeyTapPort::Callback callback) {
        auto tap = createX11KeyTapPort(std::move(callback), displays_.take());
        if (!tap)
            std::cerr << "Mosaiko: the keyboard cannot be watched (the X display refused a connection or "
                         "has no XInput 2.1), so nothing opens as you type\n";
        return tap;
    };
    PickerAssembly::Parts parts{content.db,
                                content.prefs,
                                content.usage,
                                content.collections,
                                mainLoop_,
                                SystemClock::shared(),
                                screens_,
                                workspace_.get(),
                                createTap,
                                post,
                                {},
                                canType};
    auto picker = PickerAssembly::build(std::move(parts));
    picker_ = std::move(picker.controller);
    pickerPanel_ = picker.panel;
    pickerPanel_->setShellServices(pickerShell_);
    // Qt's font database reads fontconfig's configuration too: once the thread begun with the key
    // tap has, not at the same time.
    pickerPanel_->beforeBuilding = [version = emojiSystemVersion_] { version.wait(); };
    // What a session allocated for its results and drawing is given back once the panel is gone
    // (the images the next session shows at once are kept).
    pickerHidden_ = picker_->model().isVisible.observe([this](bool visible) {
        // A moment later, so that a user who opens the panel again at once keeps what it uses.
        pickerRelease_ = visible ? Cancellable()
                                 : mainLoop_.scheduleTimer(WindowMemory::kSessionReleaseDelaySeconds,
                                                           &WindowMemory::releaseAfterSession);
    });
    return {&content.prefs, &content.collections, &content.custom, &content.db, &content.usage};
}

LiveShell::~LiveShell() {
    close();
}

void LiveShell::close() {
    if (closed_) return;
    closed_ = true;
    // Whatever is still being typed ends at once, and the keycodes remapped for it are given back.
    stopPoster();
    if (content_) {
        // Nothing is told to the tray any more, which may be gone.
        content_->defaults.setSaveProblemHandler(nullptr);
        content_->defaults.close();
        content_->historyLog.close();
    }
    if (afterSavingBeforeLettingGo) afterSavingBeforeLettingGo();
    registry_.release();
}

void LiveShell::stopPoster() {
    std::lock_guard lock(posterMutex_);
    if (poster_) poster_->stop();
}

void LiveShell::stopTyping() {
    // Only a copy of this program asks, and it leaves its request in the folder both use first: a
    // stray signal from elsewhere cuts no text short.
    if (!registry_.isAskedToStopTyping()) return;
    {
        std::lock_guard lock(posterMutex_);
        if (poster_) poster_->cancel();
    }
    // The poster has sent its last key of the text, and the server has it.
    registry_.confirmTypingStopped();
}

void LiveShell::runDuplicateInstanceAlert(const std::string& message, const std::string& informativeText) {
    QMessageBox alert(QMessageBox::Information, QStringLiteral("Mosaiko"), QString::fromStdString(message));
    alert.setInformativeText(QString::fromStdString(informativeText));
    alert.setTextFormat(Qt::PlainText);
    alert.addButton(QStringLiteral("Continue"), QMessageBox::AcceptRole);
    alert.setWindowFlag(Qt::WindowStaysOnTopHint);
    alert.exec();
}

void LiveShell::afterKeys(std::function<void()> task) {
    waitingForKeys_.push_back(std::move(task));
    if (!afterKeysPosted_) runNextAfterKeys();
}

void LiveShell::runNextAfterKeys() {
    // Posted only once the task before has run: the keys heard while it ran are queued by then, and
    // come first.
    afterKeysPosted_ = true;
    mainLoop_.postGivingWay([this] {
        auto task = std::move(waitingForKeys_.front());
        waitingForKeys_.pop_front();
        try {
            task();
        } catch (...) {
            // A failing task ends only itself; the next one follows.
        }
        afterKeysPosted_ = false;
        if (!waitingForKeys_.empty()) runNextAfterKeys();
    });
}

SingleInstance::Dependencies LiveShell::singleInstance() {
    SingleInstance::Dependencies d;
    d.bundleIdentifier = [] { return std::optional<std::string>(buildinfo::kAppIdentifier); };
    d.currentProcessIdentifier = [] { return static_cast<long>(::getpid()); };
    d.runningInstances = [this] { return registry_.olderInstances(); };
    d.requestTermination = [this](const RunningInstance& i) { registry_.requestTermination(i); };
    d.forceTermination = [this](const RunningInstance& i) { registry_.forceTermination(i); };
    d.askToStopTyping = [this](const RunningInstance& i) { registry_.askToStopTyping(i); };
    d.showAlert = &LiveShell::runDuplicateInstanceAlert;
    d.uptime = [] { return SystemClock::shared().uptime(); };
    d.sleep = [](double seconds) { ::usleep(static_cast<useconds_t>(seconds * 1e6)); };
    // Without a usable registry folder there is no lock to hold (the registry says so on stderr): the
    // copies go by the list alone.
    d.takeLock = [this] { return registry_.tryLock() != InstanceRegistry::LockAttempt::heldByAnother; };
    d.endRequested = [] { return TerminationSignals::received(); };
    d.copiesOnOtherMachines = [this] { return registry_.copiesOnOtherMachines(); };
    return d;
}

AppDelegate::Dependencies LiveShell::dependencies() {
    AppDelegate::Dependencies d;
    d.mainLoop = &mainLoop_;
    d.workspace = workspace_.get();
    d.bundle = &AppBundle::main();
    d.bundleIdentifier = buildinfo::kAppIdentifier;
    d.shortVersionString = buildinfo::kShortVersion;
    d.currentProcessIdentifier = static_cast<long>(::getpid());
    d.arguments = arguments_;

    d.singleInstance = singleInstance();
    d.loadStores = [this] { return loadStores(); };
    // The content starts with the key tap (below).
    d.startContent = [] {};
    d.watchSaving = [this](std::function<void(const std::optional<std::string>&)> show) {
        if (!content_) return;
        FileDefaults& defaults = content_->defaults;
        defaults.setSaveProblemHandler([show](const std::optional<std::string>& problem) {
            // Told on the saving thread; the tray lives on the main thread.
            if (QCoreApplication* app = QCoreApplication::instance())
                QMetaObject::invokeMethod(
                    app, [show, problem] { show(problem); }, Qt::QueuedConnection);
        });
        if (const auto problem = defaults.saveProblem()) show(problem);
    };
    d.permissions = &permissions_;
    d.autoStart = &autoStart_;
    // This platform has no update framework: the update state reads "Updater unavailable".
    d.updaterFactory = nullptr;
    // The picker exists once the stores are loaded; a copy that ends before has none to drive.
    d.picker = AppDelegate::PickerHooks::overLater(picker_);
    // The panel's widgets are built as soon as the keyboard is listened to, ahead of the tray and
    // windows, so that the first show only places them; a key that asks for the panel sooner builds
    // it then. Both wait for keys heard meanwhile, which the key tap may be holding.
    d.picker.start = [this, start = std::move(d.picker.start)] {
        start();
        emojiSystemVersionRun_ =
            std::async(std::launch::async, [version = emojiSystemVersion_] { version.wait(); });
        content_->startLoading();
        afterKeys([this] {
            if (pickerPanel_) pickerPanel_->prepare();
        });
        afterKeys(&Typography::warmUp);
    };
    // Quitting ends whatever is still being typed at once (a long snippet takes a while): the keys
    // the user typed meanwhile, held back until now, come right after what went out, in the order
    // typed; the key tap, stopping, holds the keys behind them until then (this thread answers no
    // key tap while it waits, so it waits there, not here). The keycodes remapped for the text are
    // given back once the tap no longer holds the keys.
    d.picker.stop = [this, stop = std::move(d.picker.stop)] {
        {
            std::lock_guard lock(posterMutex_);
            if (poster_) poster_->cancel(0);
        }
        stop();
        stopPoster();
    };
    d.afterKeyTap = [this](std::function<void()> rest) { afterKeys(std::move(rest)); };
    d.picker.setShellServices = [this](PickerShellServices* shell) {
        pickerShell_ = shell;
        if (pickerPanel_) pickerPanel_->setShellServices(shell);
    };

    d.isTerminated = [workspace = workspace_.get()](const RunningApp& app) {
        return !workspace->isRunning(app);
    };
    d.libraryEffects.textWriter = [](const std::string& text) {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(QString::fromStdString(text));
    };
    d.libraryEffects.emojiInsertHandler = [this](const std::string& text, int deleteCount) {
        return inserter_ && inserter_->insert(text, deleteCount);
    };
    d.libraryEffects.usageRecorder = [this](const std::string& text) { content_->usage.recordUsed(text); };
    d.libraryEffects.delayExecutor = [this](double seconds, std::function<void()> block) {
        mainLoop_.postDelayed(seconds, std::move(block));
    };
    d.libraryEffects.targetActivator = [workspace = workspace_.get()](const RunningApp& app) {
        workspace->activate(app);
    };

    d.systemTrayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    d.executablePath = currentExecutablePath().string();
    d.launcher = &launcher_;
    // Queued: asked during the launch, before the event loop runs, a direct quit would be ignored.
    d.terminate = [] { QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection); };
    return d;
}

}  // namespace mosaiko
