// The whole program under a virtual X server: what it shows at launch, what it writes, how it
// ends on a signal, and how a new copy replaces a running one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kAppId = "io.github.mosaiko.Mosaiko";

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
            int outputFd = -1) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        bool replaced = false;
        for (const auto& extra : extraEnvironment) {
            if (entry.substr(0, entry.find('=') + 1) == extra.substr(0, extra.find('=') + 1)) replaced = true;
        }
        if (!replaced) env.push_back(entry);
    }
    env.insert(env.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (auto& a : args) argp.push_back(a.data());
    argp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (outputFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, outputFd, STDERR_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

// The exit status of `pid` once it has ended within `seconds`; nothing when it still runs.
std::optional<int> waitForExit(pid_t pid, double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}

void stop(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

bool hasProgram(const char* name) {
    for (const char* dir : {"/usr/bin/", "/bin/", "/usr/local/bin/"}) {
        if (::access((std::string(dir) + name).c_str(), X_OK) == 0) return true;
    }
    return false;
}

struct WindowInfo {
    Window id = 0;
    std::string name;
    std::string instance;
    std::string className;
    long pid = 0;
};

class EndToEnd : public testing::Test {
  protected:
    void SetUp() override {
        program_ = fs::path(MOSAIKO_BINARY_DIR) / "mosaiko";
        if (!fs::exists(program_)) GTEST_SKIP() << "the program is not built";
        if (!hasProgram("Xvfb") || !hasProgram("openbox") || !hasProgram("xdotool")) {
            GTEST_SKIP() << "Xvfb, openbox and xdotool are needed";
        }
        root_ = fs::temp_directory_path() / ("mosaiko-e2e-" + std::to_string(::getpid()) + "-" +
                                             testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "config");
        fs::create_directories(root_ / "runtime");
        fs::permissions(root_ / "runtime", fs::perms::owner_all, fs::perm_options::replace);

        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        xvfb_ = spawn(
            {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x800x24", "-nolisten", "tcp"},
            {});
        ::close(fds[1]);
        std::string number;
        char c;
        while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(fds[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        display_ = ":" + number;
        x_ = XOpenDisplay(display_.c_str());
        ASSERT_NE(x_, nullptr);
        windowManager_ = spawn({"openbox"}, {"DISPLAY=" + display_});
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }

    void TearDown() override {
        for (pid_t pid : programs_) stop(pid);
        stop(windowManager_);
        if (x_) XCloseDisplay(x_);
        stop(xvfb_);
        if (!root_.empty()) fs::remove_all(root_);
    }

    std::vector<std::string> environment() const {
        return {"DISPLAY=" + display_, "XDG_CONFIG_HOME=" + (root_ / "config").string(),
                "XDG_RUNTIME_DIR=" + (root_ / "runtime").string(), "QT_QPA_PLATFORM=xcb"};
    }

    pid_t launch() {
        const pid_t pid = spawn({program_.string()}, environment());
        programs_.push_back(pid);
        return pid;
    }

    std::vector<WindowInfo> windows() {
        std::vector<WindowInfo> found;
        std::function<void(Window)> walk = [&](Window w) {
            WindowInfo info;
            info.id = w;
            char* name = nullptr;
            if (XFetchName(x_, w, &name) && name) {
                info.name = name;
                XFree(name);
            }
            XClassHint hint{};
            if (XGetClassHint(x_, w, &hint)) {
                info.instance = hint.res_name ? hint.res_name : "";
                info.className = hint.res_class ? hint.res_class : "";
                if (hint.res_name) XFree(hint.res_name);
                if (hint.res_class) XFree(hint.res_class);
            }
            Atom type;
            int format;
            unsigned long count, after;
            unsigned char* data = nullptr;
            const Atom pidAtom = XInternAtom(x_, "_NET_WM_PID", False);
            if (XGetWindowProperty(x_, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                                   &data) == Success &&
                data) {
                if (count == 1) info.pid = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
                XFree(data);
            }
            if (!info.className.empty()) found.push_back(info);
            Window rootReturn, parent;
            Window* children = nullptr;
            unsigned int n = 0;
            if (XQueryTree(x_, w, &rootReturn, &parent, &children, &n)) {
                for (unsigned i = 0; i < n; ++i) walk(children[i]);
                if (children) XFree(children);
            }
        };
        walk(DefaultRootWindow(x_));
        return found;
    }

    std::optional<WindowInfo> waitForWindow(const std::function<bool(const WindowInfo&)>& matches,
                                            double seconds) {
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < deadline) {
            for (const auto& w : windows()) {
                if (matches(w)) return w;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return std::nullopt;
    }

    std::optional<WindowInfo> waitForTitled(const std::string& title, long pid, double seconds = 10) {
        return waitForWindow([&](const WindowInfo& w) { return w.name == title && w.pid == pid; }, seconds);
    }

    fs::path root_;
    fs::path program_;
    std::string display_;
    Display* x_ = nullptr;
    pid_t xvfb_ = -1;
    pid_t windowManager_ = -1;
    std::vector<pid_t> programs_;
};

TEST_F(EndToEnd, FirstLaunchShowsTheGuideRegistersAtLoginAndEndsCleanlyOnSignals) {
    const pid_t first = launch();
    const auto guide = waitForTitled("Mosaiko Guide", first);
    ASSERT_TRUE(guide) << "no guide window";
    EXPECT_EQ(guide->className, kAppId);  // the window class names the program

    const fs::path autostart = root_ / "config" / "autostart" / (kAppId + ".desktop");
    std::ifstream entry(autostart);
    std::stringstream text;
    text << entry.rdbuf();
    EXPECT_NE(text.str().find("Exec=\"" + program_.string() + "\""), std::string::npos) << text.str();
    const fs::path registry = root_ / "runtime" / kAppId;
    EXPECT_FALSE(fs::is_empty(registry));

    ::kill(first, SIGTERM);
    EXPECT_EQ(waitForExit(first, 5), 0);
    EXPECT_TRUE(fs::is_empty(registry));  // the copy took itself off the registry

    const pid_t second = launch();
    ASSERT_TRUE(waitForTitled("Mosaiko Guide", second));
    ::kill(second, SIGINT);
    EXPECT_EQ(waitForExit(second, 5), 0);
}

TEST_F(EndToEnd, ANewCopyTellsTheUserAndReplacesTheRunningOne) {
    const pid_t older = launch();
    ASSERT_TRUE(waitForTitled("Mosaiko Guide", older));

    const pid_t newer = launch();
    const auto alert = waitForWindow(
        [&](const WindowInfo& w) { return w.pid == newer && w.className == kAppId && w.name == "Mosaiko"; },
        10);
    ASSERT_TRUE(alert) << "no alert";
    EXPECT_EQ(waitForExit(older, 0.5), std::nullopt);  // nothing happens before the user continues

    const std::string window = std::to_string(alert->id);
    const pid_t key =
        spawn({"xdotool", "windowactivate", "--sync", window, "key", "--clearmodifiers", "Return"},
              {"DISPLAY=" + display_});
    waitForExit(key, 5);

    EXPECT_EQ(waitForExit(older, 5), 0);  // asked politely, it shut down by itself
    ASSERT_TRUE(waitForTitled("Mosaiko Guide", newer));
    EXPECT_EQ(waitForExit(newer, 0.2), std::nullopt);
}

}  // namespace
