// Added latency per keystroke through the key tap: the time from an XTEST key press to its arrival
// in a client window, without the tap, with the tap observing the key (not held: what ordinary typing
// meets) and with the tap holding it (the callback on the main thread answers pass). Starts its own
// Xvfb; needs Xvfb on the PATH. KeystrokeLatencyBench measures the same through the whole program.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/x11/X11KeyTap.hpp"
#include "support/XSession.hpp"

namespace {

using Clock = std::chrono::steady_clock;

std::string displayName;

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

void pressThroughTap(benchmark::State& state, bool held) {
    auto tap = mosaiko::X11KeyTap::create([](const mosaiko::KeyEvent&) { return false; },
                                          {displayName, nullptr, 0.1});
    mosaiko::KeyHolds holds;
    holds.everyKey = held;
    tap->hold(holds);
    tap->attachToMainLoop();
    pressAndWait(state);
}

void BM_PressToClient_TapObserving(benchmark::State& state) {
    pressThroughTap(state, false);
}

void BM_PressToClient_TapHolding(benchmark::State& state) {
    pressThroughTap(state, true);
}

BENCHMARK(BM_PressToClient_WithoutTap)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_PressToClient_TapObserving)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_PressToClient_TapHolding)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    mosaiko::testing::XSession session;
    if (!session.ok()) {
        std::fprintf(stderr, "%s\n", session.error().c_str());
        return 1;
    }
    displayName = session.display();
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
    return 0;
}
