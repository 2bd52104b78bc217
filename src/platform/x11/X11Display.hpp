#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

// Xlib's display type, declared here so that Xlib's macros stay out of our headers.
typedef struct _XDisplay Display;

namespace mosaiko {

// One Xlib connection of ours. X protocol errors on it never end the process: they are recorded
// by an X11ErrorTrap active on the thread that reads them, and ignored otherwise. When the server
// goes away the connection is marked broken instead of exiting. Use a connection from one thread
// at a time.
class X11Display {
  public:
    // Opens the named display ($DISPLAY when the name is empty); nullptr when that fails.
    static std::unique_ptr<X11Display> open(const std::string& name = {});
    // Readies Xlib for connections used on several threads; open() does it on its first call, which
    // must come before any other thread uses Xlib.
    static void initialize();
    // Takes Xlib's error handlers back after a toolkit set its own. Qt's X11 platform does so when it
    // connects, and its I/O error handler ends the process with exit(1) on whichever thread notices a
    // broken connection first, ours among them. Afterwards our connections are again only marked
    // broken; the toolkit's own errors still go to its handlers.
    static void takeBackErrorHandlers();
    ~X11Display();
    X11Display(const X11Display&) = delete;
    X11Display& operator=(const X11Display&) = delete;

    Display* get() const { return display_; }
    // False once the connection to the server broke; every later call does nothing.
    bool isConnected() const { return !broken_.load(); }
    // The file descriptor of the connection, to wait on.
    int fileDescriptor() const;

  private:
    explicit X11Display(Display* display);
    static void markBroken(Display* display, void* self);

    Display* display_;
    std::atomic<bool> broken_{false};
};

// Records the X protocol errors that arrive on this thread while it exists, instead of ignoring
// them. Errors come in when a reply or XSync reads them, so sync before asking.
class X11ErrorTrap {
  public:
    struct Error {
        unsigned long serial = 0;
        unsigned char errorCode = 0;
        unsigned char requestCode = 0;
    };

    X11ErrorTrap();
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    const std::vector<Error>& errors() const { return errors_; }
    bool empty() const { return errors_.empty(); }
    void clear() { errors_.clear(); }

  private:
    friend struct X11ErrorTrapAccess;
    std::vector<Error> errors_;
    X11ErrorTrap* previous_;
};

// The top-level window that holds `window` (the child of the root on its way up: the window itself,
// or the frame a window manager put around it); None (0) for the root, or when the window is gone.
unsigned long topLevelOf(Display* display, unsigned long window);

}  // namespace mosaiko
