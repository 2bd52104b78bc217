#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Workspace.hpp"
#include "platform/x11/DesktopEntryIndex.hpp"
#include "platform/x11/X11Display.hpp"

class QSocketNotifier;

namespace mosaiko {

// Frontmost and running applications from the window manager's EWMH properties (the active
// window, the client list, each window's class, process and application id); without a window
// manager, the window that has the keyboard focus. An application's bundle identifier is its
// desktop-entry id where its window names one (_GTK_APPLICATION_ID, _KDE_NET_WM_DESKTOP_FILE, or
// a desktop entry whose StartupWMClass equals the window class), else its window class; windows
// of this process, or of our window class, report this application's identifier. Activation
// notifications need a window manager (they follow _NET_ACTIVE_WINDOW) and arrive on the Qt main
// loop. With a window manager the frontmost application is kept from one change of the active
// window to the next, without one until the focus leaves its window, so asking for it costs no round
// trip to the server. Main thread only.
class X11Workspace final : public Workspace {
  public:
    struct Options {
        std::string displayName;                   // $DISPLAY when empty
        std::vector<std::string> dataDirectories;  // DesktopEntryIndex::defaultDataDirectories() when empty
        std::optional<std::string> locale;         // DesktopEntryIndex::defaultLocale() when unset
        long ownProcessId = 0;                     // this process when 0
    };

    // nullptr when the display cannot be opened. A `display` given is used instead of opening one.
    static std::unique_ptr<X11Workspace> create(Options options,
                                                std::unique_ptr<X11Display> display = nullptr);
    ~X11Workspace() override;

    std::optional<RunningApp> frontmostApplication() const override;
    std::vector<RunningApp> runningApplications() const override;
    // One round trip while the app's window exists, else one per client window: callers on the
    // key path must not list every application.
    bool isRunning(const RunningApp& app) const override;
    bool activate(const RunningApp& app) override;
    [[nodiscard]] Cancellable observeActivations(std::function<void(const RunningApp&)> handler) override;

  private:
    struct Atoms;
    X11Workspace(std::unique_ptr<X11Display> display, Options options);
    const Atoms& atoms() const;
    void handleEvents();
    // Reads the events that have arrived without waiting; true when the active window or the
    // window manager changed.
    bool takeEvents() const;
    void drainLater() const;
    bool hasWindowManager() const;
    // The active window; `followsPointer` tells whether the keyboard goes to whatever window is
    // under the pointer (no window manager, focus on PointerRoot).
    unsigned long activeWindow(bool* followsPointer = nullptr) const;
    // Without a window manager: hears from now on when the focus leaves `window`, which has it;
    // false when it no longer has it.
    bool followFocusOf(unsigned long window) const;
    std::vector<unsigned long> clientWindows() const;
    RunningApp appForWindow(unsigned long window) const;

    std::unique_ptr<X11Display> display_;
    mutable std::unique_ptr<Atoms> atoms_;  // interned when first needed
    long ownProcessId_;
    mutable DesktopEntryIndex desktopEntries_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::optional<RunningApp> lastFrontmost_;
    bool frontmostFollowed_ = false;  // lastFrontmost_ holds the baseline of activations
    mutable std::optional<std::optional<RunningApp>> frontmost_;  // known until the active window changes
    mutable unsigned long followed_ = 0;  // without a window manager, the window whose focus is followed
    mutable std::optional<bool> windowManagerKnown_;
    mutable bool activationPending_ = false;
    Subject<RunningApp> activations_;
};

// The live workspace on $DISPLAY (over `display` when given); nullptr when there is no X display.
std::unique_ptr<Workspace> createX11Workspace(std::unique_ptr<X11Display> display = nullptr);

}  // namespace mosaiko
