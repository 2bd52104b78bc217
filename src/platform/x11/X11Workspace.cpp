#include "platform/x11/X11Workspace.hpp"

// Qt's headers come before Xlib's, whose macros (Bool, Status, None) clash with them.
#include <QMetaObject>
#include <QSocketNotifier>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "platform/BuildInfo.hpp"
#include "platform/x11/X11Display.hpp"

namespace mosaiko {

struct X11Workspace::Atoms {
    Atom activeWindow, clientList, pid, supportingWmCheck, gtkApplicationId, kdeDesktopFile, utf8String,
        wmState;
};

namespace {

// The raw items of a window property of format 8 (bytes) or 32 (longs).
template <class T>
std::vector<T> property(Display* display, Window window, Atom name, Atom type) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    X11ErrorTrap trap;
    const int status = XGetWindowProperty(display, window, name, 0, 1 << 20, False, type, &actualType,
                                          &format, &count, &after, &data);
    std::vector<T> items;
    if (status == Success && data && actualType != None && format == (sizeof(T) == 1 ? 8 : 32)) {
        const T* begin = reinterpret_cast<const T*>(data);
        items.assign(begin, begin + count);
    }
    if (data) XFree(data);
    return items;
}

std::string stringProperty(Display* display, Window window, Atom name, Atom type) {
    const auto bytes = property<unsigned char>(display, window, name, type);
    std::string text(bytes.begin(), bytes.end());
    if (auto nul = text.find('\0'); nul != std::string::npos) text.erase(nul);
    return text;
}

std::string hex(unsigned long window) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%lx", window);
    return buffer;
}

bool windowExists(Display* display, Window window) {
    if (window == None) return false;
    X11ErrorTrap trap;
    XWindowAttributes attributes;
    const Status status = XGetWindowAttributes(display, window, &attributes);
    XSync(display, False);
    return status != 0 && trap.empty();
}

// Whether the event tells that the focus left `followed`, the top-level window that had it.
bool leavesFollowedWindow(const XEvent& event, Window followed) {
    if (followed == None || event.xany.window != followed) return false;
    switch (event.type) {
        case FocusOut:
            // A keyboard grab (ours among them, while a key is held) moves no focus; nor does a move
            // inside the window.
            return event.xfocus.mode != NotifyGrab && event.xfocus.mode != NotifyUngrab &&
                   event.xfocus.detail != NotifyInferior;
        case UnmapNotify:
        case DestroyNotify:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::unique_ptr<X11Workspace> X11Workspace::create(Options options, std::unique_ptr<X11Display> display) {
    if (!display) display = X11Display::open(options.displayName);
    if (!display) return nullptr;
    return std::unique_ptr<X11Workspace>(new X11Workspace(std::move(display), std::move(options)));
}

X11Workspace::X11Workspace(std::unique_ptr<X11Display> display, Options options)
    : display_(std::move(display)),
      ownProcessId_(options.ownProcessId ? options.ownProcessId : static_cast<long>(getpid())),
      desktopEntries_(options.dataDirectories.empty() ? DesktopEntryIndex::defaultDataDirectories()
                                                      : options.dataDirectories,
                      options.locale.value_or(DesktopEntryIndex::defaultLocale())) {
    // Read ahead, on the index's own thread: the first lookup may come while a key waits.
    desktopEntries_.prepare();
    // Nothing here waits for the server, which is busiest while the program starts: the atoms
    // are asked for when first needed, and the frontmost application when activations are first
    // followed.
    Display* d = display_->get();
    XSelectInput(d, DefaultRootWindow(d), PropertyChangeMask);
    XFlush(d);
    notifier_ = std::make_unique<QSocketNotifier>(display_->fileDescriptor(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { handleEvents(); });
}

const X11Workspace::Atoms& X11Workspace::atoms() const {
    if (atoms_) return *atoms_;
    // Asked all at once: one round trip instead of one per atom.
    char* names[] = {const_cast<char*>("_NET_ACTIVE_WINDOW"),  const_cast<char*>("_NET_CLIENT_LIST"),
                     const_cast<char*>("_NET_WM_PID"),         const_cast<char*>("_NET_SUPPORTING_WM_CHECK"),
                     const_cast<char*>("_GTK_APPLICATION_ID"), const_cast<char*>("_KDE_NET_WM_DESKTOP_FILE"),
                     const_cast<char*>("UTF8_STRING"),         const_cast<char*>("WM_STATE")};
    Atom atoms[std::size(names)] = {};
    XInternAtoms(display_->get(), names, static_cast<int>(std::size(names)), False, atoms);
    atoms_ = std::make_unique<Atoms>(
        Atoms{atoms[0], atoms[1], atoms[2], atoms[3], atoms[4], atoms[5], atoms[6], atoms[7]});
    return *atoms_;
}

X11Workspace::~X11Workspace() {
    notifier_.reset();
}

void X11Workspace::drainLater() const {
    // Replies read events into Xlib's queue without making the socket readable again.
    if (display_->isConnected() && (XQLength(display_->get()) > 0 || activationPending_)) {
        QMetaObject::invokeMethod(
            notifier_.get(), [this] { const_cast<X11Workspace*>(this)->handleEvents(); },
            Qt::QueuedConnection);
    }
}

bool X11Workspace::takeEvents() const {
    Display* d = display_->get();
    bool changed = false;
    while (XPending(d) > 0) {
        XEvent event;
        XNextEvent(d, &event);
        if (leavesFollowedWindow(event, followed_)) {
            frontmost_.reset();
            continue;
        }
        if (event.type != PropertyNotify) continue;
        if (event.xproperty.atom == atoms().supportingWmCheck) windowManagerKnown_.reset();
        if (event.xproperty.atom == atoms().activeWindow || event.xproperty.atom == atoms().supportingWmCheck)
            changed = true;
    }
    if (changed) {
        frontmost_.reset();
        activationPending_ = true;
    }
    return changed;
}

void X11Workspace::handleEvents() {
    if (!display_->isConnected()) {
        notifier_->setEnabled(false);
        return;
    }
    takeEvents();
    if (!activationPending_) return;
    activationPending_ = false;
    auto app = frontmostApplication();
    // Without a baseline nobody follows activations yet: this one becomes it.
    const bool changed = frontmostFollowed_ && app &&
                         (!lastFrontmost_ || app->processIdentifier != lastFrontmost_->processIdentifier ||
                          app->bundleIdentifier != lastFrontmost_->bundleIdentifier);
    lastFrontmost_ = app;
    frontmostFollowed_ = true;
    if (changed) activations_.send(*app);
}

bool X11Workspace::hasWindowManager() const {
    if (windowManagerKnown_) return *windowManagerKnown_;
    Display* d = display_->get();
    const auto check = property<long>(d, DefaultRootWindow(d), atoms().supportingWmCheck, XA_WINDOW);
    const auto self = check.empty() ? std::vector<long>{}
                                    : property<long>(d, static_cast<Window>(check[0]),
                                                     atoms().supportingWmCheck, XA_WINDOW);
    windowManagerKnown_ = !self.empty() && self[0] == check[0];
    return *windowManagerKnown_;
}

bool X11Workspace::followFocusOf(unsigned long window) const {
    if (window == followed_) return true;
    Display* d = display_->get();
    X11ErrorTrap trap;
    if (followed_ != None) XSelectInput(d, followed_, NoEventMask);  // it may be gone
    followed_ = None;
    const unsigned long selection = NextRequest(d);
    XSelectInput(d, window, FocusChangeMask | StructureNotifyMask);
    // The focus may have left between the first look and the selection, unannounced: look again.
    bool followsPointer = false;
    const bool stillThere =
        activeWindow(&followsPointer) == window &&
        std::none_of(trap.errors().begin(), trap.errors().end(),
                     [&](const X11ErrorTrap::Error& error) { return error.serial == selection; });
    if (stillThere) followed_ = window;
    return stillThere;
}

unsigned long X11Workspace::activeWindow(bool* followsPointer) const {
    Display* d = display_->get();
    if (hasWindowManager()) {
        const auto active = property<long>(d, DefaultRootWindow(d), atoms().activeWindow, XA_WINDOW);
        return active.empty() ? None : static_cast<Window>(active[0]);
    }
    Window focus = None;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    if (followsPointer) *followsPointer = focus == PointerRoot;
    if (focus == PointerRoot) {
        Window root = None, child = None;
        int rx = 0, ry = 0, wx = 0, wy = 0;
        unsigned mask = 0;
        XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rx, &ry, &wx, &wy, &mask);
        focus = child;
    }
    if (focus == None || focus == DefaultRootWindow(d)) return None;
    return topLevelOf(d, focus);
}

std::vector<unsigned long> X11Workspace::clientWindows() const {
    Display* d = display_->get();
    std::vector<unsigned long> windows;
    if (hasWindowManager()) {
        for (long window : property<long>(d, DefaultRootWindow(d), atoms().clientList, XA_WINDOW)) {
            windows.push_back(static_cast<Window>(window));
        }
        return windows;
    }
    X11ErrorTrap trap;
    Window root = None, parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) return windows;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        XClassHint hint{};
        if (!XGetWindowAttributes(d, children[i], &attributes) || attributes.map_state != IsViewable ||
            attributes.override_redirect) {
            continue;
        }
        if (XGetClassHint(d, children[i], &hint)) {
            windows.push_back(children[i]);
            if (hint.res_name) XFree(hint.res_name);
            if (hint.res_class) XFree(hint.res_class);
        }
    }
    if (children) XFree(children);
    return windows;
}

RunningApp X11Workspace::appForWindow(unsigned long window) const {
    Display* d = display_->get();
    RunningApp app;
    app.windowId = hex(window);
    const auto pid = property<long>(d, window, atoms().pid, XA_CARDINAL);
    app.processIdentifier = pid.empty() ? 0 : pid[0];

    std::string instance, windowClass;
    {
        X11ErrorTrap trap;
        XClassHint hint{};
        if (XGetClassHint(d, window, &hint)) {
            if (hint.res_name) instance = hint.res_name;
            if (hint.res_class) windowClass = hint.res_class;
            if (hint.res_name) XFree(hint.res_name);
            if (hint.res_class) XFree(hint.res_class);
        }
    }

    std::optional<std::string> id;
    if ((app.processIdentifier != 0 && app.processIdentifier == ownProcessId_) ||
        windowClass == buildinfo::kAppIdentifier) {
        id = buildinfo::kAppIdentifier;
    }
    if (!id) {
        const std::string gtkId = stringProperty(d, window, atoms().gtkApplicationId, atoms().utf8String);
        if (!gtkId.empty()) id = gtkId;
    }
    if (!id) {
        std::string file = stringProperty(d, window, atoms().kdeDesktopFile, atoms().utf8String);
        if (auto slash = file.rfind('/'); slash != std::string::npos) file.erase(0, slash + 1);
        const std::string suffix = ".desktop";
        if (file.size() > suffix.size() &&
            file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0) {
            file.erase(file.size() - suffix.size());
        }
        if (!file.empty()) id = file;
    }
    std::optional<DesktopEntryIndex::Entry> entry;
    if (id) {
        entry = desktopEntries_.entryWithId(*id);
    } else {
        entry = desktopEntries_.entryForWindowClass(windowClass);
        if (!entry) entry = desktopEntries_.entryForWindowClass(instance);
        if (entry) id = entry->id;
    }
    if (!id && !windowClass.empty()) id = windowClass;
    app.bundleIdentifier = id;
    if (entry && !entry->name.empty()) {
        app.localizedName = entry->name;
    } else if (!windowClass.empty()) {
        app.localizedName = windowClass;
    }
    return app;
}

std::optional<RunningApp> X11Workspace::frontmostApplication() const {
    if (!display_->isConnected()) return std::nullopt;
    // A change that has arrived but not been handled yet counts now; its notification follows.
    if (takeEvents()) drainLater();
    if (frontmost_) return *frontmost_;
    bool followsPointer = false;
    const unsigned long window = activeWindow(&followsPointer);
    std::optional<RunningApp> app;
    if (window != None) app = appForWindow(window);
    // With a window manager every change of the active window is announced, so the answer holds
    // until then: asking costs no round trip on the key path. Without one, the window that has the
    // focus announces that the focus left it, unless the focus follows the pointer.
    if (hasWindowManager() || (window != None && !followsPointer && followFocusOf(window))) frontmost_ = app;
    drainLater();
    return app;
}

std::vector<RunningApp> X11Workspace::runningApplications() const {
    std::vector<RunningApp> apps;
    if (!display_->isConnected()) return apps;
    for (unsigned long window : clientWindows()) {
        RunningApp app = appForWindow(window);
        const bool known = std::any_of(apps.begin(), apps.end(), [&](const RunningApp& other) {
            return other.processIdentifier == app.processIdentifier &&
                   other.bundleIdentifier == app.bundleIdentifier;
        });
        if (!known) apps.push_back(std::move(app));
    }
    drainLater();
    return apps;
}

bool X11Workspace::isRunning(const RunningApp& app) const {
    if (!display_->isConnected()) return false;
    Display* d = display_->get();
    const Window window =
        app.windowId.empty() ? None : static_cast<Window>(std::strtoul(app.windowId.c_str(), nullptr, 16));
    // A window lives no longer than its client.
    bool running = windowExists(d, window);
    if (!running && app.processIdentifier != 0) {
        for (unsigned long candidate : clientWindows()) {
            const auto pid = property<long>(d, candidate, atoms().pid, XA_CARDINAL);
            if (!pid.empty() && pid[0] == app.processIdentifier) {
                running = true;
                break;
            }
        }
    }
    drainLater();
    return running;
}

bool X11Workspace::activate(const RunningApp& app) {
    if (!display_->isConnected()) return false;
    Display* d = display_->get();
    Window window =
        app.windowId.empty() ? None : static_cast<Window>(std::strtoul(app.windowId.c_str(), nullptr, 16));
    if (!windowExists(d, window)) {
        window = None;
        for (unsigned long candidate : clientWindows()) {
            const RunningApp other = appForWindow(candidate);
            if (other.processIdentifier == app.processIdentifier &&
                other.bundleIdentifier == app.bundleIdentifier) {
                window = candidate;
                break;
            }
        }
    }
    bool done = false;
    if (window != None && hasWindowManager()) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = atoms().activeWindow;
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2;  // on behalf of the user, like a pager
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
        XFlush(d);
        done = true;
    } else if (window != None) {
        X11ErrorTrap trap;
        XRaiseWindow(d, window);
        XSetInputFocus(d, window, RevertToParent, CurrentTime);
        XSync(d, False);
        done = trap.empty();
    }
    drainLater();
    return done;
}

Cancellable X11Workspace::observeActivations(std::function<void(const RunningApp&)> handler) {
    // Activations are changes from the application frontmost when they were first followed.
    if (!frontmostFollowed_) {
        lastFrontmost_ = frontmostApplication();
        frontmostFollowed_ = true;
    }
    return activations_.subscribe(std::move(handler));
}

std::unique_ptr<Workspace> createX11Workspace(std::unique_ptr<X11Display> display) {
    return X11Workspace::create({}, std::move(display));
}

}  // namespace mosaiko
