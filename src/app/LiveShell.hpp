#pragma once

#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/AppDelegate.hpp"
#include "picker/EmojiInserter.hpp"
#include "picker/PickerController.hpp"
#include "platform/OperatingSystemVersion.hpp"
#include "platform/linux/InstanceRegistry.hpp"
#include "platform/linux/PosixProcessLauncher.hpp"
#include "platform/qt/QtMainLoop.hpp"
#include "platform/qt/QtScreenInfo.hpp"

namespace mosaiko {

class X11EventPoster;
class X11DisplaysAhead;

// The live platform behind the application delegate, for one run of the program: the Qt main
// loop, the X11 workspace, key tap and event poster, the picker built over them, and the registry
// of running copies. The stores, and everything that rests on them, are made only when the launch
// asks for them, after the older copies are gone.
class LiveShell {
  public:
    // The X connections come from `displays`, which outlives the shell; `emojiSystemVersion` is
    // detectEmojiSystemVersion(), deferred (the shell runs it on a thread of its own once the key
    // tap listens) or under way.
    LiveShell(std::vector<std::string> arguments, X11DisplaysAhead& displays,
              std::shared_future<OperatingSystemVersion> emojiSystemVersion);
    ~LiveShell();
    LiveShell(const LiveShell&) = delete;
    LiveShell& operator=(const LiveShell&) = delete;

    AppDelegate::Dependencies dependencies();

    // The last steps of a run, once the picker has stopped or the display has gone: every store is
    // saved and closed (nothing is saved after this), and only then does this copy give up its
    // place as the running one (its registry entry and lock), so that a copy taking over reads
    // what this one saved. Needs neither the display nor the toolkit. Once; later calls do nothing.
    void close();
    // Runs between the saving and the giving up of the place (tests hold the copy there).
    std::function<void()> afterSavingBeforeLettingGo;

    // Drops what is still to be typed, at once (a newer copy's alert is about to take the focus),
    // and types what comes later as before; only when a copy of the program asked for it. Called on
    // any thread.
    void stopTyping();

    // The "already running" alert: a modal message with one "Continue" button, above every window.
    static void runDuplicateInstanceAlert(const std::string& message, const std::string& informativeText);

  private:
    AppDelegate::Stores loadStores();
    // False once the user's settings file turned out unreadable: their choices are not known.
    bool settingsKnown() const;
    // Runs `task` on the main loop after keys waiting there and after the tasks handed in before,
    // one at a time.
    void afterKeys(std::function<void()> task);
    void runNextAfterKeys();
    SingleInstance::Dependencies singleInstance();
    void stopPoster();

    std::vector<std::string> arguments_;
    X11DisplaysAhead& displays_;
    PermissionsManager permissions_;
    // The login item, left alone while the user's settings could not be read.
    std::unique_ptr<LoginItemService> loginItems_;
    AutoStartManager autoStart_;
    QtMainLoop mainLoop_;
    QtScreenInfo screens_;
    InstanceRegistry registry_;
    PosixProcessLauncher launcher_;
    std::shared_future<OperatingSystemVersion> emojiSystemVersion_;
    std::future<void> emojiSystemVersionRun_;  // the thread that runs it, once the key tap listens
    std::unique_ptr<Workspace> workspace_;
    // The stores, the database and the content coordinator over this user's defaults file; made
    // by loadStores().
    struct Content;
    std::unique_ptr<Content> content_;
    // One poster for the picker and the library: it owns the keycodes it remaps for typing. Its
    // typing is cancelled also from the thread that hears a newer copy, so every use holds
    // posterMutex_.
    std::mutex posterMutex_;
    std::shared_ptr<X11EventPoster> poster_;
    std::shared_ptr<EmojiInserter> inserter_;
    std::unique_ptr<PickerController> picker_;
    PickerPanelController* pickerPanel_ = nullptr;  // owned by the controller's effects
    Cancellable pickerHidden_;
    Cancellable pickerRelease_;
    // Where the panel's settings buttons go, kept for a panel built after the delegate said so.
    PickerShellServices* pickerShell_ = nullptr;
    std::deque<std::function<void()>> waitingForKeys_;
    bool afterKeysPosted_ = false;
    bool closed_ = false;
};

}  // namespace mosaiko
