// Added latency per keystroke through the key tap: the time from an XTEST key press to its arrival
// in a client window, without the tap and with it (callback on the main thread, answering pass).
// Starts its own Xvfb; needs Xvfb on the PATH.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/x11/X11KeyTap.hpp"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string displayName;
pid_t serverPid = -1;

bool startServer() {
    int fds[2];
    if (pipe(fds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 63);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const char* argv[] = {"Xvfb", "-displayfd", "63", "-nolisten", "tcp", "-noreset", nullptr};
    if (posix_spawnp(&serverPid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) != 0)
        return false;
    close(fds[1]);
    char buffer[16] = {};
    std::string number;
    while (number.find('\n') == std::string::npos) {
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0) return false;
        number.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    displayName = ":" + number.substr(0, number.find('\n'));
    return true;
}

// A window with the keyboard focus that notes when each key press reaches it.
class Receiver {
  public:
    Receiver() : display_(XOpenDisplay(displayName.c_str())) {
        window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 200, 200, 0, 0, 0);
        XSelectInput(display_, window_, KeyPressMask | StructureNotifyMask);
        XMapWindow(display_, window_);
        for (XEvent e; XNextEvent(display_, &e), e.type != MapNotify;) {
        }
        XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
        XSync(display_, False);
        thread_ = std::thread([this] {
            while (true) {
                XEvent e;
                XNextEvent(display_, &e);
                if (e.type == KeyPress) {
                    if (e.xkey.keycode == quitKeycode_) return;
                    received_.fetch_add(1);
                }
            }
        });
    }
    ~Receiver() { thread_.join(); }
    unsigned long received() const { return received_.load(); }
    void stopWith(unsigned keycode) { quitKeycode_ = keycode; }

  private:
    Display* display_;
    Window window_;
    std::atomic<unsigned long> received_{0};
    std::atomic<unsigned> quitKeycode_{0};
    std::thread thread_;
};

Receiver* receiver = nullptr;
Display* sender = nullptr;
unsigned keycode = 0;

void pressAndWait(benchmark::State& state) {
    for (auto _ : state) {
        const unsigned long before = receiver->received();
        const auto start = Clock::now();
        XTestFakeKeyEvent(sender, keycode, True, CurrentTime);
        XTestFakeKeyEvent(sender, keycode, False, CurrentTime);
        XFlush(sender);
        while (receiver->received() == before) QCoreApplication::processEvents();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
}

void BM_PressToClient_WithoutTap(benchmark::State& state) {
    pressAndWait(state);
}

void BM_PressToClient_WithTap(benchmark::State& state) {
    auto tap = mosaiko::X11KeyTap::create([](const mosaiko::KeyEvent&) { return false; },
                                          {displayName, nullptr, 0.1});
    tap->attachToMainLoop();
    pressAndWait(state);
}

BENCHMARK(BM_PressToClient_WithoutTap)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_PressToClient_WithTap)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!startServer()) {
        std::fprintf(stderr, "cannot start Xvfb\n");
        return 1;
    }
    sender = XOpenDisplay(displayName.c_str());
    keycode = XKeysymToKeycode(sender, XK_a);
    {
        Receiver r;
        receiver = &r;
        benchmark::RunSpecifiedBenchmarks();
        const unsigned quit = XKeysymToKeycode(sender, XK_q);
        r.stopWith(quit);
        XTestFakeKeyEvent(sender, quit, True, CurrentTime);
        XTestFakeKeyEvent(sender, quit, False, CurrentTime);
        XFlush(sender);
    }
    XCloseDisplay(sender);
    kill(serverPid, SIGTERM);
    waitpid(serverPid, nullptr, 0);
    return 0;
}
