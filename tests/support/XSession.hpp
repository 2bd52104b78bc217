#pragma once
// A fresh desktop session for tests that need a real X server: a private Xvfb display, optionally
// a window manager (openbox) and a system tray (trayer), a fresh home and XDG folders, and the
// children the test starts in it. Every process it starts ends with it, also when a test fails;
// children are killed by the kernel should the test process die first. Nothing depends on the
// developer's display, session bus or home.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

extern char** environ;

namespace mosaiko::testing {

namespace fs = std::filesystem;

// Asks `condition` every 20 ms until it holds or `seconds` have passed; the last answer.
template <class Condition>
bool waitUntil(Condition&& condition, double seconds = 5) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (true) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
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
            ::execvpe(argp[0], argp.data(), envp.data());
            ::_exit(127);
        }
        ChildProcess child;
        child.pid_ = pid;
        return child;
    }

    ChildProcess(ChildProcess&& other) noexcept
        : pid_(std::exchange(other.pid_, -1)), status_(other.status_) {}
    ChildProcess& operator=(ChildProcess&& other) noexcept {
        if (this != &other) {
            stop();
            pid_ = std::exchange(other.pid_, -1);
            status_ = other.status_;
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
        if (status_) return status_;
        if (pid_ <= 0) return std::nullopt;
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
    }

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// One top-level or embedded window as the server describes it.
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
        bool windowManager = true;  // openbox, with our own small configuration
        bool tray = false;          // trayer at the top right
        // Key bindings added to the window manager's configuration (openbox's keybind elements).
        std::string windowManagerKeyBindings;
    };

    explicit XSession(Options options) {
        static int sequence = 0;
        root_ = fs::temp_directory_path() /
                ("mosaiko-session-" + std::to_string(::getpid()) + "-" + std::to_string(++sequence));
        fs::remove_all(root_);
        for (const char* dir : {"home", "config", "runtime", "cache", "data"})
            fs::create_directories(root_ / dir);
        fs::permissions(root_ / "runtime", fs::perms::owner_all, fs::perm_options::replace);

        if (!hasProgram("Xvfb")) {
            error_ = "Xvfb is not installed";
            return;
        }
        int fds[2];
        if (::pipe(fds) != 0) {
            error_ = "no pipe";
            return;
        }
        xvfb_ = ChildProcess::start(
            {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x800x24", "-nolisten", "tcp"},
            {}, root_ / "xvfb.log", fds[1]);
        ::close(fds[1]);
        std::string number;
        readLine(fds[0], number);
        ::close(fds[0]);
        if (number.empty()) {
            error_ = "Xvfb did not start: " + readFile(root_ / "xvfb.log");
            return;
        }
        displayName_ = ":" + number;
        display_ = XOpenDisplay(displayName_.c_str());
        if (!display_) {
            error_ = "cannot connect to " + displayName_;
            return;
        }
        previousErrorHandler_ = XSetErrorHandler(&XSession::recordError);

        if (options.windowManager) {
            if (!hasProgram("openbox")) {
                error_ = "openbox is not installed";
                return;
            }
            const fs::path config = root_ / "openbox.xml";
            std::ofstream(config) << "<?xml version=\"1.0\"?>\n"
                                     "<openbox_config xmlns=\"http://openbox.org/3.4/rc\">\n"
                                     "<desktops><number>1</number></desktops>\n"
                                     "<keyboard>"
                                  << options.windowManagerKeyBindings << "</keyboard>\n</openbox_config>\n";
            windowManager_ = ChildProcess::start({"openbox", "--config-file", config.string()}, environment(),
                                                 root_ / "openbox.log");
            // The manager announces itself on the root window once it manages the screen.
            if (!waitUntil([&] { return rootWindowProperty("_NET_SUPPORTING_WM_CHECK") != 0; }, 10)) {
                error_ = "openbox did not start: " + readFile(root_ / "openbox.log");
                return;
            }
        }
        if (options.tray) {
            if (!hasProgram("trayer")) {
                error_ = "trayer is not installed";
                return;
            }
            tray_ = ChildProcess::start({"trayer", "--edge", "top", "--align", "right", "--widthtype",
                                         "request", "--height", "24", "--SetDockType", "true"},
                                        environment(), root_ / "trayer.log");
            const Atom selection = XInternAtom(display_, "_NET_SYSTEM_TRAY_S0", False);
            if (!waitUntil([&] { return XGetSelectionOwner(display_, selection) != 0; }, 10)) {
                error_ = "trayer did not start: " + readFile(root_ / "trayer.log");
                return;
            }
        }
    }

    ~XSession() {
        // Clients first, the server last.
        for (auto it = children_.rbegin(); it != children_.rend(); ++it) it->stop();
        tray_.stop();
        windowManager_.stop();
        if (display_) {
            XSetErrorHandler(previousErrorHandler_);
            XCloseDisplay(display_);
        }
        xvfb_.stop();
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& displayName() const { return displayName_; }
    Display* display() const { return display_; }
    // The session's scratch folder; home, config, runtime, cache and data are inside it.
    const fs::path& root() const { return root_; }
    fs::path configHome() const { return root_ / "config"; }
    fs::path runtimeDir() const { return root_ / "runtime"; }

    // What every process of the session sees: this display, the fresh home and XDG folders, X11
    // for Qt and GTK, no session bus and no accessibility bus of the developer's desktop.
    std::vector<std::string> environment() const {
        return {"DISPLAY=" + displayName_,
                "HOME=" + (root_ / "home").string(),
                "XDG_CONFIG_HOME=" + (root_ / "config").string(),
                "XDG_RUNTIME_DIR=" + (root_ / "runtime").string(),
                "XDG_CACHE_HOME=" + (root_ / "cache").string(),
                "XDG_DATA_HOME=" + (root_ / "data").string(),
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

    // Starts a client of the session; it ends with the session at the latest.
    ChildProcess& spawn(const std::vector<std::string>& argv,
                        const std::vector<std::string>& extraEnvironment = {}, const fs::path& output = {}) {
        auto env = environment();
        env.insert(env.end(), extraEnvironment.begin(), extraEnvironment.end());
        children_.push_back(ChildProcess::start(argv, env, output));
        return children_.back();
    }

    // Runs a command of the session to its end; its exit status (nothing when it outlived `seconds`).
    std::optional<int> run(const std::vector<std::string>& argv, double seconds = 10) {
        ChildProcess child = ChildProcess::start(argv, environment(), root_ / "commands.log");
        return child.waitForExit(seconds);
    }

    // xdotool, as a user's keyboard and mouse; true when it succeeded.
    bool xdotool(const std::vector<std::string>& arguments, double seconds = 20) {
        std::vector<std::string> argv{"xdotool"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return run(argv, seconds) == 0;
    }

    std::vector<WindowInfo> windows() {
        std::vector<WindowInfo> found;
        std::function<void(Window)> walk = [&](Window w) {
            if (auto info = describe(w); info && !info->className.empty()) found.push_back(*info);
            Window rootReturn, parent;
            Window* children = nullptr;
            unsigned int n = 0;
            if (XQueryTree(display_, w, &rootReturn, &parent, &children, &n)) {
                for (unsigned i = 0; i < n; ++i) walk(children[i]);
                if (children) XFree(children);
            }
        };
        walk(DefaultRootWindow(display_));
        return found;
    }

    std::optional<WindowInfo> findWindow(const std::function<bool(const WindowInfo&)>& matches) {
        for (const auto& w : windows()) {
            if (matches(w)) return w;
        }
        return std::nullopt;
    }

    std::optional<WindowInfo> waitForWindow(const std::function<bool(const WindowInfo&)>& matches,
                                            double seconds = 10) {
        std::optional<WindowInfo> found;
        waitUntil([&] { return (found = findWindow(matches)).has_value(); }, seconds);
        return found;
    }

    // The window holding the keyboard focus.
    Window focusedWindow() const {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display_, &focus, &revert);
        return focus;
    }

    // Whether `window` is `ancestor` or lies inside it.
    bool isWithin(Window window, Window ancestor) const {
        while (window != 0 && window != PointerRoot) {
            if (window == ancestor) return true;
            Window rootReturn, parent = 0;
            Window* children = nullptr;
            unsigned int n = 0;
            if (!XQueryTree(display_, window, &rootReturn, &parent, &children, &n)) return false;
            if (children) XFree(children);
            if (window == rootReturn) return false;
            window = parent;
        }
        return false;
    }

    // Activates `window` through the window manager, as a click would, and waits until it has the
    // keyboard focus.
    bool focus(Window window) {
        return waitUntil(
            [&] {
                if (isWithin(focusedWindow(), window)) return true;
                xdotool({"windowactivate", "--sync", std::to_string(window)}, 5);
                return isWithin(focusedWindow(), window);
            },
            10);
    }

    bool hasFocus(Window window) const { return isWithin(focusedWindow(), window); }

    // A CARDINAL or WINDOW property of the root window; 0 when it is not set.
    unsigned long rootWindowProperty(const char* name) const {
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        unsigned long value = 0;
        if (XGetWindowProperty(display_, DefaultRootWindow(display_), XInternAtom(display_, name, False), 0,
                               1, False, AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
            data) {
            if (count == 1 && format == 32) value = *reinterpret_cast<unsigned long*>(data);
            XFree(data);
        }
        return value;
    }

    // Whether some other client holds a passive grab of this key combination on the root window:
    // a grab of our own fails exactly then. A grab that succeeds is given up at once.
    bool keyIsGrabbedElsewhere(unsigned keycode, unsigned modifiers) {
        const unsigned long serial = NextRequest(display_);
        errors().clear();
        XGrabKey(display_, static_cast<int>(keycode), modifiers, DefaultRootWindow(display_), False,
                 GrabModeAsync, GrabModeAsync);
        XSync(display_, False);
        bool refused = false;
        for (const auto& [errorSerial, code] : errors())
            refused |= errorSerial == serial && code == BadAccess;
        if (!refused) {
            XUngrabKey(display_, static_cast<int>(keycode), modifiers, DefaultRootWindow(display_));
            XSync(display_, False);
        }
        errors().clear();
        return refused;
    }

    int maxKeycode() const {
        int minKeycode = 0, maxKeycode = 0;
        XDisplayKeycodes(display_, &minKeycode, &maxKeycode);
        return maxKeycode;
    }

  private:
    static void readLine(int fd, std::string& line) {
        // Xvfb writes its display number and a newline once it accepts connections.
        char c;
        waitUntil(
            [&] {
                pollfd p{fd, POLLIN, 0};
                while (::poll(&p, 1, 0) > 0) {
                    if (::read(fd, &c, 1) != 1) return true;
                    if (c == '\n') return true;
                    line += c;
                }
                return false;
            },
            10);
    }

    std::optional<WindowInfo> describe(Window w) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display_, w, &attributes)) return std::nullopt;
        WindowInfo info;
        info.id = w;
        info.viewable = attributes.map_state == IsViewable;
        info.overrideRedirect = attributes.override_redirect;
        info.width = attributes.width;
        info.height = attributes.height;
        Window child;
        XTranslateCoordinates(display_, w, DefaultRootWindow(display_), 0, 0, &info.x, &info.y, &child);
        info.name = utf8Property(w, "_NET_WM_NAME");
        if (info.name.empty()) {
            char* name = nullptr;
            if (XFetchName(display_, w, &name) && name) {
                info.name = name;
                XFree(name);
            }
        }
        XClassHint hint{};
        if (XGetClassHint(display_, w, &hint)) {
            info.instance = hint.res_name ? hint.res_name : "";
            info.className = hint.res_class ? hint.res_class : "";
            if (hint.res_name) XFree(hint.res_name);
            if (hint.res_class) XFree(hint.res_class);
        }
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display_, w, XInternAtom(display_, "_NET_WM_PID", False), 0, 1, False,
                               XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
            data) {
            if (count == 1) info.pid = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
            XFree(data);
        }
        return info;
    }

    std::string utf8Property(Window w, const char* name) {
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        std::string value;
        if (XGetWindowProperty(display_, w, XInternAtom(display_, name, False), 0, 1024, False,
                               XInternAtom(display_, "UTF8_STRING", False), &type, &format, &count, &after,
                               &data) == Success &&
            data) {
            if (format == 8) value.assign(reinterpret_cast<const char*>(data), count);
            XFree(data);
        }
        return value;
    }

    // Protocol errors on the test's own connection (a window that went away while we looked) are
    // expected; they are kept for the grab probe and otherwise ignored.
    static std::vector<std::pair<unsigned long, int>>& errors() {
        static std::vector<std::pair<unsigned long, int>> list;
        return list;
    }
    static int recordError(Display*, XErrorEvent* event) {
        errors().emplace_back(event->serial, event->error_code);
        return 0;
    }

    fs::path root_;
    std::string error_;
    std::string displayName_;
    Display* display_ = nullptr;
    XErrorHandler previousErrorHandler_ = nullptr;
    ChildProcess xvfb_;
    ChildProcess windowManager_;
    ChildProcess tray_;
    std::deque<ChildProcess> children_;  // a deque keeps the references spawn() hands out valid
};

}  // namespace mosaiko::testing
