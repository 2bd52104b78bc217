#include "platform/x11/X11Display.hpp"

#include <X11/Xlib.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <set>

namespace mosaiko {

namespace {

thread_local X11ErrorTrap* currentTrap = nullptr;

std::mutex registryMutex;
std::multiset<Display*>& ourDisplays() {
    // A multiset: a closed connection's address may be reused by one opened meanwhile.
    static std::multiset<Display*> displays;
    return displays;
}

bool isOurs(Display* display) {
    std::lock_guard lock(registryMutex);
    return ourDisplays().count(display) != 0;
}

// Where errors on connections that are not ours go: set on the main thread, read by handlers on
// any thread.
std::atomic<XErrorHandler> previousErrorHandler = nullptr;
std::atomic<XIOErrorHandler> previousIOErrorHandler = nullptr;

}  // namespace

struct X11ErrorTrapAccess {
    static int handleError(Display* display, XErrorEvent* event) {
        if (currentTrap) {
            currentTrap->errors_.push_back({event->serial, event->error_code, event->request_code});
            return 0;
        }
        const XErrorHandler previous = previousErrorHandler.load();
        if (isOurs(display) || !previous) return 0;
        return previous(display, event);
    }

    // A library that opens an Xlib connection of its own after ours may put in its own error
    // handler (the toolkit's ignores every error), after which no trap would hear of a refused
    // grab: a trap takes the handler back, passing other connections' errors on to that one.
    static void takeBackErrorHandler() {
        const XErrorHandler current = XSetErrorHandler(&handleError);
        if (current != &handleError) previousErrorHandler = current;
    }

    static int handleIOError(Display* display) {
        // For our connections the exit handler marks the connection broken and Xlib carries on.
        const XIOErrorHandler previous = previousIOErrorHandler.load();
        if (isOurs(display) || !previous) return 0;
        return previous(display);
    }
};

X11ErrorTrap::X11ErrorTrap() : previous_(currentTrap) {
    currentTrap = this;
    X11ErrorTrapAccess::takeBackErrorHandler();
}

X11ErrorTrap::~X11ErrorTrap() {
    currentTrap = previous_;
}

void X11Display::initialize() {
    static std::once_flag once;
    std::call_once(once, [] {
        XInitThreads();
        previousErrorHandler = XSetErrorHandler(&X11ErrorTrapAccess::handleError);
        previousIOErrorHandler = XSetIOErrorHandler(&X11ErrorTrapAccess::handleIOError);
    });
}

void X11Display::takeBackErrorHandlers() {
    initialize();
    X11ErrorTrapAccess::takeBackErrorHandler();
    const XIOErrorHandler io = XSetIOErrorHandler(&X11ErrorTrapAccess::handleIOError);
    if (io != &X11ErrorTrapAccess::handleIOError) previousIOErrorHandler = io;
}

std::unique_ptr<X11Display> X11Display::open(const std::string& name) {
    initialize();
    Display* display = XOpenDisplay(name.empty() ? nullptr : name.c_str());
    if (!display) return nullptr;
    return std::unique_ptr<X11Display>(new X11Display(display));
}

X11Display::X11Display(Display* display) : display_(display) {
    {
        std::lock_guard lock(registryMutex);
        ourDisplays().insert(display_);
    }
    XSetIOErrorExitHandler(display_, &X11Display::markBroken, this);
}

X11Display::~X11Display() {
    if (broken_) {
        // Xlib cannot close a connection that failed (it would wait forever for its lock); the
        // descriptor is all there is to release.
        close(ConnectionNumber(display_));
    } else {
        XCloseDisplay(display_);
    }
    std::lock_guard lock(registryMutex);
    if (auto it = ourDisplays().find(display_); it != ourDisplays().end()) ourDisplays().erase(it);
}

int X11Display::fileDescriptor() const {
    return ConnectionNumber(display_);
}

void X11Display::markBroken(Display*, void* self) {
    static_cast<X11Display*>(self)->broken_ = true;
}

unsigned long topLevelOf(Display* display, unsigned long window) {
    X11ErrorTrap trap;  // the window may go at any moment
    const Window root = DefaultRootWindow(display);
    while (window != None && window != root) {
        Window rootReturn = None, parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, window, &rootReturn, &parent, &children, &count)) return None;
        if (children) XFree(children);
        if (parent == root) return window;
        window = parent;
    }
    return None;
}

}  // namespace mosaiko
