#pragma once
// A desktop session of a test's own, for tests and benchmarks that need a real X server: a private
// Xvfb display, optionally a window manager (openbox) and a system tray (trayer), a fresh home and
// XDG folders, and the processes the test starts in it. Every process ends with the object that
// started it, also when a test fails, and the kernel ends the children should the test process die
// first. Nothing depends on the developer's display, session bus or home.
//
// Waiting keeps a Qt event loop of the test process running (QtTestMain.cpp sees to that), so that
// code under test that answers on the main thread goes on answering.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

extern char** environ;

namespace mosaiko::testing {

namespace fs = std::filesystem;

// What waiting does between two looks: it lets a few milliseconds pass. A test main with an event
// loop replaces it with one that runs the loop meanwhile.
inline std::function<void()>& idleWhileWaiting() {
    static std::function<void()> idle = [] { std::this_thread::sleep_for(std::chrono::milliseconds(2)); };
    return idle;
}

// Asks `condition` until it holds or `seconds` have passed; its last answer. The default deadline is
// generous: a loaded two-core machine can take seconds where a quick one takes milliseconds, and a
// condition that holds ends the wait at once.
template <class Condition>
bool waitUntil(Condition&& condition, double seconds = 15) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (true) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return condition();
        idleWhileWaiting()();
    }
}

// Lets `seconds` pass, the Qt event loop running.
inline void waitFor(double seconds) {
    waitUntil([] { return false; }, seconds);
}

inline bool hasProgram(std::string_view name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (!dir.empty() && ::access((fs::path(dir) / name).c_str(), X_OK) == 0) return true;
    }
    return false;
}

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Stops a process (SIGSTOP) and returns once every thread of it has stopped: only the thread that
// takes the signal stops the others, and a loaded machine may put that off while they go on (the key
// tap's thread, for one, went on reading keys for 11 ms). False when they had not stopped within
// `seconds`.
inline bool suspendProcess(pid_t pid, double seconds = 10) {
    if (pid <= 0 || ::kill(pid, SIGSTOP) != 0) return false;
    const fs::path tasks = fs::path("/proc") / std::to_string(pid) / "task";
    return waitUntil(
        [&] {
            std::error_code error;
            for (const auto& task : fs::directory_iterator(tasks, error)) {
                std::ifstream stat(task.path() / "stat");
                std::string line;
                std::getline(stat, line);
                // The state follows the command's name, which is in parentheses and may hold any
                // character; a thread that has ended meanwhile counts as stopped.
                const auto close = line.rfind(')');
                const char state =
                    close != std::string::npos && close + 2 < line.size() ? line[close + 2] : 'X';
                if (state != 'T' && state != 't' && state != 'Z' && state != 'X') return false;
            }
            return !error;
        },
        seconds);
}

// A child process in a process group of its own. It is told to end (SIGTERM, then SIGKILL after a
// short grace) and reaped when the object goes.
class ChildProcess {
  public:
    ChildProcess() = default;

    // Runs `argv` (looked up on PATH) with this process's environment changed by `environment`:
    // "NAME=value" sets a variable, a bare "NAME" removes it. Standard input reads nothing; output
    // and errors go to `output`, or nowhere when it is empty. `keepFd` stays open in the child.
    static ChildProcess start(const std::vector<std::string>& argv,
                              const std::vector<std::string>& environment, const fs::path& output = {},
                              int keepFd = -1) {
        std::vector<std::string> env;
        auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
        for (char** e = environ; *e; ++e) {
            const std::string entry(*e);
            bool overridden = false;
            for (const auto& change : environment) overridden |= nameOf(change) == nameOf(entry);
            if (!overridden) env.push_back(entry);
        }
        for (const auto& change : environment) {
            if (change.find('=') != std::string::npos) env.push_back(change);
        }
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        std::vector<std::string> args = argv;
        std::vector<char*> argp;
        for (auto& a : args) argp.push_back(a.data());
        argp.push_back(nullptr);
        const std::string outputPath = output.empty() ? "/dev/null" : output.string();
        const pid_t parent = ::getpid();

        // Only async-signal-safe calls between fork and exec: everything is prepared above.
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setpgid(0, 0);
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent) ::_exit(127);
            const int in = ::open("/dev/null", O_RDONLY);
            const int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            if (in < 0 || out < 0) ::_exit(127);
            ::dup2(in, STDIN_FILENO);
            ::dup2(out, STDOUT_FILENO);
            ::dup2(out, STDERR_FILENO);
            for (int fd = 3; fd < 1024; ++fd) {
                if (fd != keepFd) ::close(fd);
            }
            if (keepFd >= 0) ::fcntl(keepFd, F_SETFD, 0);
            ::execvpe(argp[0], argp.data(), envp.data());
            ::_exit(127);
        }
        ChildProcess child;
        child.pid_ = pid;
        return child;
    }

    ChildProcess(ChildProcess&& other) noexcept
        : pid_(std::exchange(other.pid_, -1)), status_(std::exchange(other.status_, std::nullopt)) {}
    ChildProcess& operator=(ChildProcess&& other) noexcept {
        if (this != &other) {
            stop();
            pid_ = std::exchange(other.pid_, -1);
            status_ = std::exchange(other.status_, std::nullopt);
        }
        return *this;
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() { stop(); }

    pid_t pid() const { return pid_; }
    bool started() const { return pid_ > 0; }

    // The exit status once the process has ended within `seconds` (128 + the signal when a signal
    // ended it); nothing while it runs.
    std::optional<int> waitForExit(double seconds) {
        if (status_ || pid_ <= 0) return status_;
        waitUntil(
            [&] {
                int status = 0;
                if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
                // A traced child also reports its stops here; only an end counts.
                if (WIFEXITED(status)) status_ = WEXITSTATUS(status);
                if (WIFSIGNALED(status)) status_ = 128 + WTERMSIG(status);
                return status_.has_value();
            },
            seconds);
        return status_;
    }

    bool running() { return started() && !waitForExit(0); }

    void signal(int signalNumber) const {
        if (pid_ > 0 && !status_) ::kill(pid_, signalNumber);
    }

    void stop() {
        if (pid_ <= 0) return;
        if (!status_) {
            ::kill(pid_, SIGCONT);  // a stopped process could not act on the request
            ::kill(pid_, SIGTERM);
            if (!waitForExit(1.0)) {
                ::kill(-pid_, SIGKILL);
                ::kill(pid_, SIGKILL);
                waitForExit(5.0);
            }
        }
        ::kill(-pid_, SIGKILL);  // whatever it left behind in its group
        pid_ = -1;
        status_.reset();
    }

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// One window as the server describes it.
struct WindowInfo {
    Window id = 0;
    std::string name;  // _NET_WM_NAME, else WM_NAME
    std::string instance;
    std::string className;
    long pid = 0;
    bool viewable = false;
    bool overrideRedirect = false;
    int x = 0, y = 0, width = 0, height = 0;  // in root coordinates
};

class XSession {
  public:
    struct Options {
        bool windowManager = false;  // openbox, with a small configuration of our own
        bool tray = false;           // trayer at the top right
        // Key bindings for the window manager (openbox's <keybind> elements).
        std::string windowManagerKeyBindings;
        // The window manager with its stock configuration instead (its own rc.xml: Control-Alt-
        // arrows, Alt-Tab, Super-e, Print and more), as a desktop has it; the session is ready once
        // those bindings are in place.
        bool stockWindowManager = false;
        std::vector<std::string> serverArguments;  // for Xvfb
    };

    XSession() : XSession(Options{}) {}

    explicit XSession(Options options) {
        char scratch[] = "/tmp/mosaiko-session-XXXXXX";
        if (!::mkdtemp(scratch)) {
            error_ = "cannot create a scratch directory";
            return;
        }
        scratch_ = scratch;
        for (const char* dir : {"home", "config", "runtime", "cache", "data"})
            fs::create_directories(scratch_ / dir);
        fs::permissions(scratch_ / "runtime", fs::perms::owner_all, fs::perm_options::replace);
        if (!startServer(options.serverArguments)) return;

        if (options.windowManager) {
            if (!hasProgram("openbox")) {
                error_ = "openbox is not installed";
                return;
            }
            fs::path config = scratch_ / "openbox.xml";
            if (options.stockWindowManager) {
                config = kStockOpenboxConfiguration;
                if (!fs::exists(config)) {
                    error_ = "openbox's stock configuration is missing";
                    return;
                }
            } else {
                std::ofstream(config)
                    << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<openbox_config xmlns=\"http://openbox.org/3.4/rc\">\n"
                       "<focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>\n"
                       // A minimised window's frame goes at once, not after an
                       // animation that still covers what lies beneath.
                       "<theme><animateIconify>no</animateIconify></theme>\n"
                       "<desktops><number>1</number></desktops>\n"
                       "<keyboard>"
                    << options.windowManagerKeyBindings << "</keyboard>\n</openbox_config>\n";
            }
            windowManager_ = start({"openbox", "--sm-disable", "--config-file", config.string()}, {},
                                   scratch_ / "openbox.log");
            // The manager announces itself on the root window once it manages the screen.
            if (!waitUntil([&] { return windowManagerRunning(); }, 15)) {
                error_ = "openbox did not start: " + readFile(scratch_ / "openbox.log");
                return;
            }
            // It takes its key bindings some time after it announces itself. Probed with Caps Lock
            // and Num Lock on, so that a probe racing it can only take a variant no test types, and
            // in two such variants: the one a probe took from it stays the probe's.
            const unsigned left = XKeysymToKeycode(connection_, XK_Left);
            const unsigned probed = ControlMask | Mod1Mask | LockMask;
            if (options.stockWindowManager && !waitUntil(
                                                  [&] {
                                                      return keyIsGrabbedElsewhere(left, probed | Mod2Mask) ||
                                                             keyIsGrabbedElsewhere(left, probed);
                                                  },
                                                  15)) {
                error_ = "openbox did not take its key bindings";
                return;
            }
        }
        if (options.tray) {
            if (!hasProgram("trayer")) {
                error_ = "trayer is not installed";
                return;
            }
            tray_ = start({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                           "--height", "24", "--SetDockType", "true"},
                          {}, scratch_ / "trayer.log");
            const Atom selection = XInternAtom(connection_, "_NET_SYSTEM_TRAY_S0", False);
            if (!waitUntil([&] { return XGetSelectionOwner(connection_, selection) != 0; }, 15)) {
                error_ = "trayer did not start: " + readFile(scratch_ / "trayer.log");
                return;
            }
        }
    }

    ~XSession() {
        tray_.stop();
        windowManager_.stop();
        if (connection_) {
            {
                std::lock_guard lock(connectionsMutex());
                sessionConnections().erase(connection_);
            }
            // Xlib ends the process when a call finds the server gone.
            if (serverKilled_)
                ::close(ConnectionNumber(connection_));
            else
                XCloseDisplay(connection_);
        }
        {
            ServerLock lock;
            server_.stop();
        }
        std::error_code ignored;
        if (!scratch_.empty()) fs::remove_all(scratch_, ignored);
    }

    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    // The display's name (":3").
    const std::string& display() const { return display_; }
    // The session's own connection to it.
    Display* connection() const { return connection_; }
    // The id of the server's own keyboard device, through which XTEST types as a keyboard does rather
    // than as the virtual keyboard every tool types through; -1 when there is none.
    int keyboardDevice() const {
        int count = 0, id = -1;
        XIDeviceInfo* devices = XIQueryDevice(connection_, XIAllDevices, &count);
        for (int i = 0; i < count; ++i) {
            if (std::string_view(devices[i].name) == "Xvfb keyboard") id = devices[i].deviceid;
        }
        if (devices) XIFreeDeviceInfo(devices);
        return id;
    }
    // The session's scratch folder; the fresh home, config, runtime, cache and data folders are in it.
    const fs::path& scratchDirectory() const { return scratch_; }
    fs::path configHome() const { return scratch_ / "config"; }
    fs::path runtimeDir() const { return scratch_ / "runtime"; }

    // What every process of the session sees: this display, the fresh home and XDG folders, X11
    // for Qt and GTK, no session bus, accessibility bus or input method of the developer's desktop.
    std::vector<std::string> environment() const {
        return {"DISPLAY=" + display_,
                "HOME=" + (scratch_ / "home").string(),
                "XDG_CONFIG_HOME=" + (scratch_ / "config").string(),
                "XDG_RUNTIME_DIR=" + (scratch_ / "runtime").string(),
                "XDG_CACHE_HOME=" + (scratch_ / "cache").string(),
                "XDG_DATA_HOME=" + (scratch_ / "data").string(),
                "LANG=C.UTF-8",
                "LC_ALL=C.UTF-8",
                "QT_QPA_PLATFORM=xcb",
                "GDK_BACKEND=x11",
                "NO_AT_BRIDGE=1",
                "XAUTHORITY",
                "WAYLAND_DISPLAY",
                "DBUS_SESSION_BUS_ADDRESS",
                "XDG_SESSION_TYPE",
                "XDG_CURRENT_DESKTOP",
                "QT_IM_MODULE",
                "GTK_IM_MODULE",
                "XMODIFIERS"};
    }

    // Starts a client of the session, with `extraEnvironment` on top of the session's environment.
    ChildProcess start(const std::vector<std::string>& argv,
                       const std::vector<std::string>& extraEnvironment = {},
                       const fs::path& output = {}) const {
        auto env = environment();
        env.insert(env.end(), extraEnvironment.begin(), extraEnvironment.end());
        return ChildProcess::start(argv, env, output);
    }

    // Runs a command of the session to its end; its exit status, -1 when it outlived `seconds`.
    int run(const std::vector<std::string>& argv, double seconds = 20) const {
        ChildProcess child = start(argv, {}, scratch_ / "commands.log");
        return child.waitForExit(seconds).value_or(-1);
    }

    // xdotool, as a user's keyboard and mouse; its exit status.
    int xdotool(const std::vector<std::string>& arguments, double seconds = 20) const {
        std::vector<std::string> argv{"xdotool"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return run(argv, seconds);
    }

    // Ends the X server at once (SIGKILL), as when the session ends under its clients. Nothing of
    // the session that needs the server may be used after this.
    void killServer() {
        serverKilled_ = true;
        server_.signal(SIGKILL);
        server_.waitForExit(10);
    }

    bool windowManagerRunning() const { return rootWindowProperty("_NET_SUPPORTING_WM_CHECK") != 0; }

    // Every window that has a class, in stacking order from the root down.
    std::vector<WindowInfo> windows() const {
        std::vector<WindowInfo> found;
        std::function<void(Window)> walk = [&](Window w) {
            if (auto info = describe(w); info && !info->className.empty()) found.push_back(*info);
            Window rootReturn, parent;
            Window* children = nullptr;
            unsigned int n = 0;
            if (XQueryTree(connection_, w, &rootReturn, &parent, &children, &n)) {
                for (unsigned i = 0; i < n; ++i) walk(children[i]);
                if (children) XFree(children);
            }
        };
        walk(DefaultRootWindow(connection_));
        return found;
    }

    std::optional<WindowInfo> findWindow(const std::function<bool(const WindowInfo&)>& matches) const {
        for (const auto& w : windows()) {
            if (matches(w)) return w;
        }
        return std::nullopt;
    }

    std::optional<WindowInfo> waitForWindow(const std::function<bool(const WindowInfo&)>& matches,
                                            double seconds = 10) const {
        std::optional<WindowInfo> found;
        waitUntil([&] { return (found = findWindow(matches)).has_value(); }, seconds);
        return found;
    }

    // Where the pointer is, in root coordinates.
    std::pair<int, int> pointer() const {
        Window root = 0, child = 0;
        int x = 0, y = 0, windowX = 0, windowY = 0;
        unsigned int buttons = 0;
        XQueryPointer(connection_, DefaultRootWindow(connection_), &root, &child, &x, &y, &windowX, &windowY,
                      &buttons);
        return {x, y};
    }

    // The innermost window shown at a point of the screen.
    Window windowAt(int x, int y) const {
        const Window root = DefaultRootWindow(connection_);
        Window window = root, child = 0;
        int childX = 0, childY = 0;
        while (XTranslateCoordinates(connection_, root, window, x, y, &childX, &childY, &child) && child)
            window = child;
        return window;
    }

    // The window holding the keyboard focus.
    Window focusedWindow() const {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(connection_, &focus, &revert);
        return focus;
    }

    // The window `window` lies in; none for the root, or when it is gone.
    Window parentOf(Window window) const {
        Window rootReturn = 0, parent = 0;
        Window* children = nullptr;
        unsigned int n = 0;
        if (!XQueryTree(connection_, window, &rootReturn, &parent, &children, &n)) return 0;
        if (children) XFree(children);
        return parent;
    }

    // Whether `window` is `ancestor` or lies inside it.
    bool isWithin(Window window, Window ancestor) const {
        for (; window != 0 && window != PointerRoot; window = parentOf(window)) {
            if (window == ancestor) return true;
        }
        return false;
    }

    bool hasFocus(Window window) const { return isWithin(focusedWindow(), window); }

    // Gives `window` the keyboard focus as a user would (activating it through the window manager
    // when one runs) and waits until it has it, and until the window manager names it the active
    // window: a user sees that (and types) when the manager is done, and programs that follow the
    // active window learn of it from that name, which the manager may set after the focus.
    bool focus(Window window) const {
        const bool managed = windowManagerRunning();
        const char* command = managed ? "windowactivate" : "windowfocus";
        const auto focused = [&] { return hasFocus(window) && (!managed || isActive(window)); };
        return waitUntil(
            [&] {
                if (focused()) return true;
                xdotool({command, "--sync", std::to_string(window)}, 5);
                return focused();
            },
            10);
    }

    // Whether the window manager names `window` (or a window inside it, or its frame) the active one.
    bool isActive(Window window) const {
        const auto active = static_cast<Window>(rootWindowProperty("_NET_ACTIVE_WINDOW"));
        return active != 0 && (isWithin(active, window) || isWithin(window, active));
    }

    // A 32-bit property (CARDINAL, WINDOW) of the root window; 0 when it is not set.
    unsigned long rootWindowProperty(const char* name) const {
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        unsigned long value = 0;
        if (XGetWindowProperty(connection_, DefaultRootWindow(connection_),
                               XInternAtom(connection_, name, False), 0, 1, False, AnyPropertyType, &type,
                               &format, &count, &after, &data) == Success &&
            data) {
            if (count == 1 && format == 32) value = *reinterpret_cast<unsigned long*>(data);
            XFree(data);
        }
        return value;
    }

    // Whether some other client holds a passive grab of this key combination on `window` (the root
    // window when none): a grab of our own fails exactly then. A grab that succeeds is given up at once.
    bool keyIsGrabbedElsewhere(unsigned keycode, unsigned modifiers, Window window = 0) const {
        if (!window) window = DefaultRootWindow(connection_);
        const unsigned long serial = NextRequest(connection_);
        errors().clear();
        XGrabKey(connection_, static_cast<int>(keycode), modifiers, window, False, GrabModeAsync,
                 GrabModeAsync);
        XSync(connection_, False);
        bool refused = false;
        for (const auto& [errorSerial, code] : errors())
            refused |= errorSerial == serial && code == BadAccess;
        if (!refused) {
            XUngrabKey(connection_, static_cast<int>(keycode), modifiers, window);
            XSync(connection_, False);
        }
        errors().clear();
        return refused;
    }

    // Every keysym of every keycode, to see what the keyboard types.
    std::vector<unsigned long> keyboardMapping() const {
        int minKeycode = 0, maxKeycode = 0, perKeycode = 0;
        XDisplayKeycodes(connection_, &minKeycode, &maxKeycode);
        KeySym* map = XGetKeyboardMapping(connection_, static_cast<::KeyCode>(minKeycode),
                                          maxKeycode - minKeycode + 1, &perKeycode);
        if (!map) return {};
        std::vector<unsigned long> result(map, map + (maxKeycode - minKeycode + 1) * perKeycode);
        XFree(map);
        return result;
    }

    int maxKeycode() const {
        int minKeycode = 0, maxKeycode = 0;
        XDisplayKeycodes(connection_, &minKeycode, &maxKeycode);
        return maxKeycode;
    }

    static constexpr const char* kStockOpenboxConfiguration = "/etc/xdg/openbox/rc.xml";

  private:
    // X servers start and stop one at a time across test processes: a server starting while
    // another one shuts down can share its display number for a moment.
    class ServerLock {
      public:
        ServerLock() : fd_(::open("/tmp/mosaiko-xvfb-test.lock", O_CREAT | O_RDWR | O_CLOEXEC, 0666)) {
            if (fd_ >= 0) ::flock(fd_, LOCK_EX);
        }
        ~ServerLock() {
            if (fd_ >= 0) ::close(fd_);
        }

      private:
        int fd_;
    };

    bool startServer(const std::vector<std::string>& serverArguments) {
        if (!hasProgram("Xvfb")) {
            error_ = "Xvfb is not installed";
            return false;
        }
        ServerLock lock;
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            error_ = "no pipe";
            return false;
        }
        // Xvfb picks a free display number itself and writes it to the descriptor we give it. It
        // must not reset when its last client goes.
        std::vector<std::string> argv{"Xvfb",      "-displayfd", std::to_string(fds[1]),
                                      "-screen",   "0",          "1440x900x24",
                                      "-nolisten", "tcp",        "-noreset"};
        argv.insert(argv.end(), serverArguments.begin(), serverArguments.end());
        server_ = ChildProcess::start(argv, {}, scratch_ / "xvfb.log", fds[1]);
        ::close(fds[1]);
        std::string number;
        waitUntil(
            [&] {
                pollfd p{fds[0], POLLIN, 0};
                char c;
                while (::poll(&p, 1, 0) > 0) {
                    if (::read(fds[0], &c, 1) != 1 || c == '\n') return true;
                    number += c;
                }
                return false;
            },
            15);
        ::close(fds[0]);
        if (number.empty()) {
            error_ = "Xvfb did not start: " + readFile(scratch_ / "xvfb.log");
            return false;
        }
        display_ = ":" + number;
        connection_ = XOpenDisplay(display_.c_str());
        if (!connection_) {
            error_ = "cannot connect to " + display_;
            return false;
        }
        installErrorHandler();
        std::lock_guard connectionsLock(connectionsMutex());
        sessionConnections().insert(connection_);
        return true;
    }

    std::optional<WindowInfo> describe(Window w) const {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(connection_, w, &attributes)) return std::nullopt;
        WindowInfo info;
        info.id = w;
        info.viewable = attributes.map_state == IsViewable;
        info.overrideRedirect = attributes.override_redirect;
        info.width = attributes.width;
        info.height = attributes.height;
        Window child;
        XTranslateCoordinates(connection_, w, DefaultRootWindow(connection_), 0, 0, &info.x, &info.y, &child);
        info.name = utf8Property(w, "_NET_WM_NAME");
        if (info.name.empty()) {
            char* name = nullptr;
            if (XFetchName(connection_, w, &name) && name) {
                info.name = name;
                XFree(name);
            }
        }
        XClassHint hint{};
        if (XGetClassHint(connection_, w, &hint)) {
            info.instance = hint.res_name ? hint.res_name : "";
            info.className = hint.res_class ? hint.res_class : "";
            if (hint.res_name) XFree(hint.res_name);
            if (hint.res_class) XFree(hint.res_class);
        }
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(connection_, w, XInternAtom(connection_, "_NET_WM_PID", False), 0, 1, False,
                               XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
            data) {
            if (count == 1) info.pid = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
            XFree(data);
        }
        return info;
    }

    std::string utf8Property(Window w, const char* name) const {
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        std::string value;
        if (XGetWindowProperty(connection_, w, XInternAtom(connection_, name, False), 0, 1024, False,
                               XInternAtom(connection_, "UTF8_STRING", False), &type, &format, &count, &after,
                               &data) == Success &&
            data) {
            if (format == 8) value.assign(reinterpret_cast<const char*>(data), count);
            XFree(data);
        }
        return value;
    }

    // Protocol errors on a session's own connection (a window that went away while we looked, a
    // refused grab) are expected: they are kept for the grab probe and otherwise ignored. Errors
    // on other connections go to whichever handler was there before, which is never restored:
    // code under test may have chained its own handler to ours meanwhile.
    static std::mutex& connectionsMutex() {
        static std::mutex mutex;
        return mutex;
    }
    static std::set<Display*>& sessionConnections() {
        static std::set<Display*> connections;
        return connections;
    }
    static bool isSessionConnection(Display* display) {
        std::lock_guard lock(connectionsMutex());
        return sessionConnections().count(display) != 0;
    }
    static std::vector<std::pair<unsigned long, int>>& errors() {
        static std::vector<std::pair<unsigned long, int>> list;
        return list;
    }
    static XErrorHandler& previousHandler() {
        static XErrorHandler handler = nullptr;
        return handler;
    }
    static int handleError(Display* display, XErrorEvent* event) {
        if (isSessionConnection(display)) {
            errors().emplace_back(event->serial, event->error_code);
            return 0;
        }
        return previousHandler() ? previousHandler()(display, event) : 0;
    }
    static void installErrorHandler() {
        static std::once_flag once;
        std::call_once(once, [] { previousHandler() = XSetErrorHandler(&XSession::handleError); });
    }

    fs::path scratch_;
    std::string error_;
    std::string display_;
    Display* connection_ = nullptr;
    bool serverKilled_ = false;
    ChildProcess server_;
    ChildProcess windowManager_;
    ChildProcess tray_;
};

}  // namespace mosaiko::testing
