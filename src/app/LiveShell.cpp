#include "app/LiveShell.hpp"

#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <cstdlib>
#include <thread>

#include "content/CollectionsStore.hpp"
#include "content/CustomContentStore.hpp"
#include "content/ContentCoordinator.hpp"
#include "content/CustomContentStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmojiUsageStore.hpp"
#include "picker/ui/PickerAssembly.hpp"
#include "platform/BuildInfo.hpp"
#include "platform/x11/X11AccessibilityTrust.hpp"
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

}  // namespace

// The permission services of the running program.
PermissionsManager& PermissionsManager::shared() {
    static PermissionsManager manager(
        // The display server shows no prompt of its own: the argument changes nothing.
        [](bool) { return X11AccessibilityTrust().isTrusted(); },
        [] { return std::optional<std::string>(buildinfo::kAppIdentifier); }, resetUnavailable(),
        [](std::function<void()> work, std::function<void()> then) {
            std::thread([work = std::move(work), then = std::move(then)]() mutable {
                work();
                // Queued onto the main thread's event loop.
                QMetaObject::invokeMethod(qApp, std::move(then), Qt::QueuedConnection);
            }).detach();
        });
    return manager;
}

LiveShell::LiveShell(std::vector<std::string> arguments)
    : arguments_(std::move(arguments)),
      registry_(InstanceRegistry::standardDirectory(buildinfo::kAppIdentifier),
                InstanceRegistry::displayKey(std::getenv("DISPLAY"))),
      workspace_(createX11Workspace()),
      poster_(createX11EventPoster()) {
    if (!workspace_) workspace_ = std::make_unique<NoWorkspace>();
    // Without a poster every event counts as impossible to make, so nothing is half typed.
    EmojiInserter::EventPoster post = [](const SyntheticKeyEvent&) {};
    EmojiInserter::KeyboardEventFactory factory = [](std::uint16_t, bool) { return std::nullopt; };
    if (poster_) {
        post = [poster = poster_](const SyntheticKeyEvent& event) { poster->post(event); };
        factory = EmojiInserter::plainEventFactory();
    }
    inserter_ = std::make_shared<EmojiInserter>(post, factory);

    picker_ = PickerAssembly::build({EmojiDatabase::shared(),
                                     PreferencesStore::shared(),
                                     EmojiUsageStore::shared(),
                                     CollectionsStore::shared(),
                                     mainLoop_,
                                     SystemClock::shared(),
                                     screens_,
                                     workspace_.get(),
                                     [](std::uint64_t, KeyTapPort::Callback callback) {
                                         return createX11KeyTapPort(std::move(callback));
                                     },
                                     post,
                                     {}})
                  .controller;

    // Registered before the older copies are looked up, so copies started at the same moment see
    // each other and only the newest survives.
    registry_.registerCurrentProcess();
}

LiveShell::~LiveShell() = default;

void LiveShell::runDuplicateInstanceAlert(const std::string& message, const std::string& informativeText) {
    QMessageBox alert(QMessageBox::Information, QStringLiteral("Mosaiko"), QString::fromStdString(message));
    alert.setInformativeText(QString::fromStdString(informativeText));
    alert.setTextFormat(Qt::PlainText);
    alert.addButton(QStringLiteral("Continue"), QMessageBox::AcceptRole);
    alert.setWindowFlag(Qt::WindowStaysOnTopHint);
    alert.exec();
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

    d.singleInstance.bundleIdentifier = [] { return std::optional<std::string>(buildinfo::kAppIdentifier); };
    d.singleInstance.currentProcessIdentifier = [] { return static_cast<long>(::getpid()); };
    d.singleInstance.runningInstances = [this] { return registry_.olderInstances(); };
    d.singleInstance.requestTermination = [this](const RunningInstance& i) {
        registry_.requestTermination(i);
    };
    d.singleInstance.forceTermination = [this](const RunningInstance& i) { registry_.forceTermination(i); };
    d.singleInstance.showAlert = &LiveShell::runDuplicateInstanceAlert;
    d.singleInstance.uptime = [] { return SystemClock::shared().uptime(); };
    d.singleInstance.sleep = [](double seconds) { ::usleep(static_cast<useconds_t>(seconds * 1e6)); };

    d.startContent = [] { ContentCoordinator::shared().start(); };
    d.prefs = &PreferencesStore::shared();
    d.collections = &CollectionsStore::shared();
    d.custom = &CustomContentStore::shared();
    d.db = &EmojiDatabase::shared();
    d.usage = &EmojiUsageStore::shared();
    d.permissions = &PermissionsManager::shared();
    d.autoStart = &AutoStartManager::shared();
    // This platform has no update framework: the update state reads "Updater unavailable".
    d.updaterFactory = nullptr;
    d.picker = AppDelegate::PickerHooks::over(*picker_);

    d.isTerminated = [workspace = workspace_.get()](const RunningApp& app) {
        return !workspace->isRunning(app);
    };
    d.libraryEffects.textWriter = [](const std::string& text) {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(QString::fromStdString(text));
    };
    d.libraryEffects.emojiInsertHandler = [inserter = inserter_](const std::string& text, int deleteCount) {
        return inserter->insert(text, deleteCount);
    };
    d.libraryEffects.usageRecorder = [](const std::string& text) {
        EmojiUsageStore::shared().recordUsed(text);
    };
    d.libraryEffects.delayExecutor = [this](double seconds, std::function<void()> block) {
        mainLoop_.postDelayed(seconds, std::move(block));
    };
    d.libraryEffects.targetActivator = [workspace = workspace_.get()](const RunningApp& app) {
        workspace->activate(app);
    };

    d.systemTrayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    d.terminate = [] { QCoreApplication::quit(); };
    return d;
}

}  // namespace mosaiko
