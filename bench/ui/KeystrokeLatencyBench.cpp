// What the picker adds to keystrokes: the time from an XTEST key press to its arrival in a client
// window, on a virtual X server of its own,
//   - without the program (the server's own latency, the baseline),
//   - with the program running and no search (ordinary typing: the key is not held),
//   - with the program in inline searches: the trigger and the query letters while the panel shows
//     and its results are rebuilt on every letter (the popup delay set to 0),
//   - with a key the program holds (Super-BackSpace in a search that has no query yet: it waits for
//     the picker's answer, then reaches the client),
// and the time from the third query letter to the panel being mapped (popup delay 0). Then ";",
// ordinary letters and letters typed while the panel shows, with the program (and another build of
// it), with a bare observer of raw key events and with neither in one X server, in alternating
// rounds: see keysBesideOrdinaryKeys.
// The time per iteration is the mean; p50, p90, p99 and max are in microseconds. Needs Xvfb and the
// built program; skips (with a message) without them.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "FocusedClientWindow.hpp"
#include "e2e/RunningProgram.hpp"
#include "support/XSession.hpp"

namespace {

using mosaiko::MemoryDefaults;
using mosaiko::testing::RunningProgram;
using mosaiko::testing::XSession;
using Clock = std::chrono::steady_clock;

enum class Setup { withoutProgram, programIdle, programSearching, programHeldKey };

double percentile(std::vector<double> samples, double p) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(samples.size() - 1) + 0.5);
    return samples[index];
}

void keystrokeLatency(benchmark::State& state, Setup setup) {
    if (!mosaiko::testing::hasProgram("Xvfb")) return state.SkipWithError("Xvfb is not installed");
    if (setup != Setup::withoutProgram && !std::filesystem::exists(RunningProgram::program()))
        return state.SkipWithError("the program is not built");
    XSession::Options options;
    options.windowManager = false;  // focus is set directly; nothing else moves it
    XSession session(options);
    if (!session.ok()) return state.SkipWithError(session.error().c_str());

    std::unique_ptr<RunningProgram> program;
    if (setup != Setup::withoutProgram) {
        MemoryDefaults user = RunningProgram::returningUser();
        user.set("popupDelayMs", std::int64_t{0});
        RunningProgram::writeDefaults(session, user);
        program = std::make_unique<RunningProgram>(session);
        if (!program->waitForKeyTap()) return state.SkipWithError("the program's key tap did not start");
    }
    mosaiko::FocusedClientWindow client(session.display());
    if (!client.ok()) return state.SkipWithError("no client window");

    Display* typist = session.connection();
    auto keycode = [&](KeySym keysym) { return static_cast<unsigned>(XKeysymToKeycode(typist, keysym)); };
    // The keys typed in turn; the measured ones reach the client. In a search, Escape closes the
    // shown panel (it is swallowed) before the next ";" starts the next search.
    struct Key {
        unsigned keycode;
        bool measured;
        unsigned modifier = 0;  // held down around the key
    };
    std::vector<Key> cycle;
    if (setup == Setup::programSearching) {
        cycle.push_back({keycode(XK_semicolon), true});
        for (KeySym letter : {XK_s, XK_m, XK_i, XK_l, XK_e, XK_y}) cycle.push_back({keycode(letter), true});
        cycle.push_back({keycode(XK_Escape), false});
    } else if (setup == Setup::programHeldKey) {
        cycle.push_back({keycode(XK_semicolon), false});
        cycle.push_back({keycode(XK_BackSpace), true, keycode(XK_Super_L)});
    } else {
        for (KeySym letter : {XK_a, XK_s, XK_d, XK_f, XK_j, XK_k, XK_l})
            cycle.push_back({keycode(letter), true});
    }

    auto strike = [&](unsigned code, bool press) {
        XTestFakeKeyEvent(typist, code, press ? True : False, CurrentTime);
        XFlush(typist);
    };
    std::vector<double> samples;
    std::size_t next = 0;
    for (auto _ : state) {
        Key key = cycle[next++ % cycle.size()];
        while (!key.measured) {
            strike(key.keycode, true);
            strike(key.keycode, false);
            client.waitFor(KeyRelease, key.keycode, 2);
            // The program holds the next key once it has seen this one.
            if (setup == Setup::programHeldKey) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            key = cycle[next++ % cycle.size()];
        }
        if (key.modifier) {
            strike(key.modifier, true);
            client.waitFor(KeyPress, key.modifier, 2);
        }
        const auto start = Clock::now();
        strike(key.keycode, true);
        if (!client.waitFor(KeyPress, key.keycode, 5))
            return state.SkipWithError("a key press never arrived");
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        samples.push_back(seconds * 1e6);
        strike(key.keycode, false);
        client.waitFor(KeyRelease, key.keycode, 2);
        if (key.modifier) {
            strike(key.modifier, false);
            client.waitFor(KeyRelease, key.modifier, 2);
        }
    }
    state.counters["p50_us"] = percentile(samples, 0.5);
    state.counters["p90_us"] = percentile(samples, 0.9);
    state.counters["p99_us"] = percentile(samples, 0.99);
    state.counters["max_us"] = percentile(samples, 1.0);
}

// The third query letter of a search to the panel on the screen: ";sm" is typed, then the clock runs
// from the press of "i" to the panel's MapNotify; Escape closes the panel before the next search.
// The panel on the screen or gone, seen by a connection of its own.
class PanelWatcher {
  public:
    explicit PanelWatcher(const std::string& displayName) : display_(XOpenDisplay(displayName.c_str())) {
        if (!display_) return;
        XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
        XSync(display_, False);
    }
    ~PanelWatcher() {
        if (display_) XCloseDisplay(display_);
    }
    bool ok() const { return display_ != nullptr; }
    // Waits for a window to be mapped (or unmapped); false when none was within `seconds`.
    bool waitFor(int type, double seconds) {
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < deadline) {
            while (XPending(display_) > 0) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type == type) return true;
            }
            pollfd p{ConnectionNumber(display_), POLLIN, 0};
            ::poll(&p, 1, 20);
        }
        return false;
    }

  private:
    Display* display_;
};

void panelLatency(benchmark::State& state) {
    if (!mosaiko::testing::hasProgram("Xvfb")) return state.SkipWithError("Xvfb is not installed");
    if (!std::filesystem::exists(RunningProgram::program()))
        return state.SkipWithError("the program is not built");
    XSession session;
    if (!session.ok()) return state.SkipWithError(session.error().c_str());
    MemoryDefaults user = RunningProgram::returningUser();
    user.set("popupDelayMs", std::int64_t{0});
    RunningProgram::writeDefaults(session, user);
    RunningProgram program(session);
    if (!program.waitForKeyTap()) return state.SkipWithError("the program's key tap did not start");
    mosaiko::FocusedClientWindow client(session.display());
    PanelWatcher panel(session.display());
    if (!client.ok() || !panel.ok()) return state.SkipWithError("no client window");

    Display* typist = session.connection();
    auto type = [&](KeySym keysym) {
        const unsigned code = XKeysymToKeycode(typist, keysym);
        XTestFakeKeyEvent(typist, code, True, CurrentTime);
        XTestFakeKeyEvent(typist, code, False, CurrentTime);
        XFlush(typist);
        return code;
    };
    std::vector<double> samples;
    for (auto _ : state) {
        for (KeySym keysym : {XK_semicolon, XK_s, XK_m}) client.waitFor(KeyRelease, type(keysym), 2);
        const auto start = Clock::now();
        type(XK_i);
        if (!panel.waitFor(MapNotify, 5)) return state.SkipWithError("the panel never showed");
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        samples.push_back(seconds * 1e6);
        type(XK_Escape);
        if (!panel.waitFor(UnmapNotify, 5)) return state.SkipWithError("the panel never closed");
    }
    state.counters["p50_us"] = percentile(samples, 0.5);
    state.counters["p99_us"] = percentile(samples, 0.99);
    state.counters["max_us"] = percentile(samples, 1.0);
}

// The CPU time all threads of process `pid` have used so far, in microseconds (0 when unknown).
double processCpuMicroseconds(pid_t pid) {
    double total = 0;
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::FILE* file = std::fopen((task.path() / "schedstat").c_str(), "r");
        if (!file) continue;
        unsigned long long nanoseconds = 0;
        if (std::fscanf(file, "%llu", &nanoseconds) == 1) total += static_cast<double>(nanoseconds) / 1e3;
        std::fclose(file);
    }
    return total;
}

// The same, the program beside another build of it (MOSAIKO_BENCH_BEFORE names its executable) in
// one X server: rounds alternate between the two, each starting its program anew, the order turning
// round by round. Prints p50 and p90 of each and their ratio, and the CPU time the program spends
// on a search (from ";" to the panel closed again).
void panelLatencyBesideBefore(benchmark::State& state) {
    if (!mosaiko::testing::hasProgram("Xvfb")) return state.SkipWithError("Xvfb is not installed");
    const char* before = std::getenv("MOSAIKO_BENCH_BEFORE");
    if (!before) return state.SkipWithError("MOSAIKO_BENCH_BEFORE names no build to compare with");
    if (!std::filesystem::exists(RunningProgram::program()) || !std::filesystem::exists(before))
        return state.SkipWithError("a program is not built");
    XSession session;
    if (!session.ok()) return state.SkipWithError(session.error().c_str());
    MemoryDefaults user = RunningProgram::returningUser();
    user.set("popupDelayMs", std::int64_t{0});
    RunningProgram::writeDefaults(session, user);
    mosaiko::FocusedClientWindow client(session.display());
    PanelWatcher panel(session.display());
    if (!client.ok() || !panel.ok()) return state.SkipWithError("no client window");
    Display* typist = session.connection();
    auto type = [&](KeySym keysym) {
        const unsigned code = XKeysymToKeycode(typist, keysym);
        XTestFakeKeyEvent(typist, code, True, CurrentTime);
        XTestFakeKeyEvent(typist, code, False, CurrentTime);
        XFlush(typist);
        return code;
    };
    constexpr int kRounds = 8, kSearchesPerRound = 12;
    std::vector<double> samples[2];  // this build, the other; microseconds
    double cpu[2] = {0, 0};          // microseconds, over the searches measured
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            for (int turn = 0; turn < 2; ++turn) {
                const int build = (round + turn) % 2;
                auto running = build == 0 ? std::make_unique<RunningProgram>(session)
                                          : std::make_unique<RunningProgram>(
                                                session, std::vector<std::string>{}, before);
                if (!running->waitForKeyTap()) return state.SkipWithError("the key tap did not start");
                std::this_thread::sleep_for(std::chrono::milliseconds(300));  // settles
                double cpuBefore = 0;
                for (int i = 0; i < kSearchesPerRound; ++i) {
                    if (i == 1) cpuBefore = processCpuMicroseconds(running->pid());
                    for (KeySym keysym : {XK_semicolon, XK_s, XK_m})
                        client.waitFor(KeyRelease, type(keysym), 2);
                    const auto start = Clock::now();
                    type(XK_i);
                    if (!panel.waitFor(MapNotify, 5)) return state.SkipWithError("the panel never showed");
                    // The first search of a program builds the panel: not what a show costs.
                    if (i > 0)
                        samples[build].push_back(std::chrono::duration<double>(Clock::now() - start).count() *
                                                 1e6);
                    type(XK_Escape);
                    if (!panel.waitFor(UnmapNotify, 5)) return state.SkipWithError("the panel never closed");
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the last search's work done
                cpu[build] += processCpuMicroseconds(running->pid()) - cpuBefore;
            }
        }
    }
    std::printf(
        "\nThe third letter to the panel shown, %d alternating rounds in one X server (microseconds):\n",
        kRounds);
    const char* names[] = {"this build", "the build before"};
    for (int build = 0; build < 2; ++build) {
        std::printf("  %-18s p50 %8.1f (%4.2fx)   p90 %8.1f (%4.2fx)   (%zu shows)\n", names[build],
                    percentile(samples[build], 0.5),
                    percentile(samples[build], 0.5) / percentile(samples[1], 0.5),
                    percentile(samples[build], 0.9),
                    percentile(samples[build], 0.9) / percentile(samples[1], 0.9), samples[build].size());
    }
    for (int build = 0; build < 2; ++build) {
        const double perSearch = cpu[build] / static_cast<double>(samples[build].size());
        std::printf("  %-18s CPU of the program per search %8.1f us (%4.2fx)\n", names[build], perSearch,
                    perSearch / (cpu[1] / static_cast<double>(samples[1].size())));
    }
}

// What every observer of the keyboard costs: a connection of its own that asks for XInput2 raw key
// events on the root window and reads them on a thread of its own, doing nothing else (as the
// program's key tap does, before any work of its own).
class BareKeyObserver {
  public:
    explicit BareKeyObserver(const std::string& displayName) : display_(XOpenDisplay(displayName.c_str())) {
        if (!display_) return;
        int opcode = 0, event = 0, error = 0, major = 2, minor = 2;
        if (!XQueryExtension(display_, "XInputExtension", &opcode, &event, &error) ||
            XIQueryVersion(display_, &major, &minor) != Success)
            return;
        unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(mask, XI_RawKeyPress);
        XISetMask(mask, XI_RawKeyRelease);
        XIEventMask events{XIAllMasterDevices, sizeof mask, mask};
        XISelectEvents(display_, DefaultRootWindow(display_), &events, 1);
        XSync(display_, False);
        if (::pipe(stop_) != 0) return;
        thread_ = std::thread([this] {
            while (true) {
                while (XPending(display_) > 0) {
                    XEvent e;
                    XNextEvent(display_, &e);
                    if (XGetEventData(display_, &e.xcookie)) XFreeEventData(display_, &e.xcookie);
                }
                pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {stop_[0], POLLIN, 0}};
                ::poll(fds, 2, -1);
                if (fds[1].revents) return;
            }
        });
    }
    ~BareKeyObserver() {
        if (thread_.joinable()) {
            [[maybe_unused]] const auto written = ::write(stop_[1], "x", 1);
            thread_.join();
        }
        for (int fd : stop_)
            if (fd >= 0) ::close(fd);
        if (display_) XCloseDisplay(display_);
    }
    bool ok() const { return thread_.joinable(); }

  private:
    Display* display_;
    int stop_[2] = {-1, -1};
    std::thread thread_;
};

// Keys beside the same keys typed with nothing else running, in one X server: rounds alternate
// between the program, the program of another build when MOSAIKO_BENCH_BEFORE names its
// executable (for before and after figures), a bare observer of raw key events (BareKeyObserver:
// what observing the keyboard costs by itself) and neither, each round starting the program or
// the observer anew, the order turning round by round. Every round types
//   - the cycle ";" (it starts an inline search; the key completing the instant-open sequence is
//     held only right after the sequence's first character), space (which ends the search), a, s, d;
//   - searches ";smi" (the popup delay set to 0), and once the panel shows (with a program) l, e, y
//     while it shows, then Escape, which closes it. Every setup types l, e, y the same pause after
//     the search's last key (the panel shows well within it): typed back to back after the search
//     without a program, and after the wait for the panel with one, the keys would meet processors
//     busy in one case and idle in the other, and on a virtual machine waking an idle one costs tens
//     of microseconds, which is the machine's, not the program's;
// the time of each press to its arrival in the client. Prints p50 and p99 of ";", of the other keys
// of the cycle and of the keys typed while the panel shows, and their ratios to the same keys
// without either; and the program's CPU time per cycle and per search.
void keysBesideOrdinaryKeys(benchmark::State& state) {
    if (!mosaiko::testing::hasProgram("Xvfb")) return state.SkipWithError("Xvfb is not installed");
    if (!std::filesystem::exists(RunningProgram::program()))
        return state.SkipWithError("the program is not built");
    const char* before = std::getenv("MOSAIKO_BENCH_BEFORE");
    if (before && !std::filesystem::exists(before))
        return state.SkipWithError("MOSAIKO_BENCH_BEFORE names no program");
    XSession session;
    if (!session.ok()) return state.SkipWithError(session.error().c_str());
    MemoryDefaults user = RunningProgram::returningUser();
    user.set("popupDelayMs", std::int64_t{0});
    RunningProgram::writeDefaults(session, user);
    mosaiko::FocusedClientWindow client(session.display());
    PanelWatcher panel(session.display());
    if (!client.ok() || !panel.ok()) return state.SkipWithError("no client window");
    Display* typist = session.connection();
    auto keycode = [&](KeySym keysym) { return static_cast<unsigned>(XKeysymToKeycode(typist, keysym)); };
    const std::vector<unsigned> cycle{keycode(XK_semicolon), keycode(XK_space), keycode(XK_a), keycode(XK_s),
                                      keycode(XK_d)};
    const std::vector<unsigned> search{keycode(XK_semicolon), keycode(XK_s), keycode(XK_m), keycode(XK_i)};
    const std::vector<unsigned> whileShown{keycode(XK_l), keycode(XK_e), keycode(XK_y)};
    const unsigned escape = keycode(XK_Escape);
    constexpr int kRounds = 6, kCyclesPerRound = 60, kSearchesPerRound = 15;
    constexpr auto kPauseBeforeShownKeys = std::chrono::milliseconds(50);
    int latePanels = 0;  // panels that showed only after the pause
    enum Setup { program, programBefore, observer, neither, kSetups };
    const char* setupNames[] = {"with the program", "with the program before", "with a bare observer",
                                "without either"};
    enum Kind { semicolon, other, panelShown, kKinds };
    const char* kindNames[] = {"\";\"", "other keys", "keys while the panel shows"};

    std::vector<double> samples[kSetups][kKinds];  // microseconds
    // Presses the key and waits for it in the client; its time when `kind` is set.
    auto strike = [&](unsigned code, Setup setup, std::optional<Kind> kind) {
        const auto start = Clock::now();
        XTestFakeKeyEvent(typist, code, True, CurrentTime);
        XFlush(typist);
        const bool arrived = client.waitFor(KeyPress, code, 5);
        if (arrived && kind)
            samples[setup][*kind].push_back(std::chrono::duration<double>(Clock::now() - start).count() *
                                            1e6);
        XTestFakeKeyEvent(typist, code, False, CurrentTime);
        XFlush(typist);
        client.waitFor(KeyRelease, code, 2);
        return arrived;
    };
    // The program's CPU time over the cycles and over the searches, microseconds.
    double cyclesCpu[kSetups] = {}, searchesCpu[kSetups] = {};
    auto typeRound = [&](Setup setup, pid_t pid) {
        const double atStart = pid > 0 ? processCpuMicroseconds(pid) : 0;
        for (int i = 0; i < kCyclesPerRound; ++i) {
            for (std::size_t k = 0; k < cycle.size(); ++k) {
                if (!strike(cycle[k], setup, k == 0 ? semicolon : other)) return false;
            }
        }
        const double afterCycles = pid > 0 ? processCpuMicroseconds(pid) : 0;
        cyclesCpu[setup] += afterCycles - atStart;
        const bool withPanel = setup == program || setup == programBefore;
        for (int i = 0; i < kSearchesPerRound; ++i) {
            for (unsigned code : search) {
                if (!strike(code, setup, std::nullopt)) return false;
            }
            const auto searched = Clock::now();
            if (withPanel && !panel.waitFor(MapNotify, 5)) return false;
            if (Clock::now() > searched + kPauseBeforeShownKeys) ++latePanels;
            std::this_thread::sleep_until(searched + kPauseBeforeShownKeys);
            for (unsigned code : whileShown) {
                if (!strike(code, setup, panelShown)) return false;
            }
            XTestFakeKeyEvent(typist, escape, True, CurrentTime);
            XTestFakeKeyEvent(typist, escape, False, CurrentTime);
            XFlush(typist);
            if (withPanel ? !panel.waitFor(UnmapNotify, 5) : !client.waitFor(KeyRelease, escape, 2))
                return false;
        }
        if (pid > 0) searchesCpu[setup] += processCpuMicroseconds(pid) - afterCycles;
        return true;
    };
    const int setups = before ? 4 : 3;
    const std::vector<Setup> order = before ? std::vector{program, programBefore, observer, neither}
                                            : std::vector{program, observer, neither};
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            for (int turn = 0; turn < setups; ++turn) {
                const Setup setup = order[static_cast<std::size_t>((round + turn) % setups)];
                std::unique_ptr<RunningProgram> running;
                std::unique_ptr<BareKeyObserver> observing;
                if (setup == program || setup == programBefore) {
                    running = setup == program ? std::make_unique<RunningProgram>(session)
                                               : std::make_unique<RunningProgram>(
                                                     session, std::vector<std::string>{}, before);
                    if (!running->waitForKeyTap()) return state.SkipWithError("the key tap did not start");
                } else if (setup == observer) {
                    observing = std::make_unique<BareKeyObserver>(session.display());
                    if (!observing->ok()) return state.SkipWithError("no raw key events");
                }
                if (setup != neither) std::this_thread::sleep_for(std::chrono::milliseconds(300));  // settles
                if (!typeRound(setup, running ? running->pid() : -1))
                    return state.SkipWithError("a key press or the panel never arrived");
            }
        }
    }
    std::printf(
        "\nKeys beside the same keys without either, %d alternating rounds in one X server "
        "(microseconds):\n",
        kRounds);
    for (const Setup setup : order) {
        for (int kind = 0; kind < kKinds; ++kind) {
            const auto& all = samples[setup][kind];
            const double p50 = percentile(all, 0.5), p99 = percentile(all, 0.99);
            std::printf("  %-28s %-25s p50 %8.1f (%4.2fx)   p99 %8.1f (%4.2fx)   (%zu keys)\n",
                        kindNames[kind], setupNames[setup], p50,
                        p50 / percentile(samples[neither][kind], 0.5), p99,
                        p99 / percentile(samples[neither][kind], 0.99), all.size());
        }
    }
    for (const Setup setup : {program, programBefore}) {
        if (setup == programBefore && !before) continue;
        std::printf("  CPU of %-25s per cycle (\";\", space, a, s, d) %7.1f us, per search %7.1f us\n",
                    setupNames[setup], cyclesCpu[setup] / (kRounds * kCyclesPerRound),
                    searchesCpu[setup] / (kRounds * kSearchesPerRound));
    }
    // The first key comes after the pause; the next ones right after the key before it, while
    // the program answers that one.
    for (const Setup setup : order) {
        std::printf("  keys while the panel shows, %-25s p50 by position:", setupNames[setup]);
        const auto& all = samples[setup][panelShown];
        for (std::size_t position = 0; position < whileShown.size(); ++position) {
            std::vector<double> at;
            for (std::size_t i = position; i < all.size(); i += whileShown.size()) at.push_back(all[i]);
            std::printf(" %8.1f", percentile(at, 0.5));
        }
        std::printf("\n");
    }
    if (latePanels > 0)
        std::printf("  %d panels showed only after the pause: their keys came at once after them\n",
                    latePanels);
    state.counters["semicolon_p50_us"] = percentile(samples[program][semicolon], 0.5);
    state.counters["panel_shown_p50_us"] = percentile(samples[program][panelShown], 0.5);
    state.counters["plain_p50_us"] = percentile(samples[neither][other], 0.5);
}

BENCHMARK_CAPTURE(keystrokeLatency, without_program, Setup::withoutProgram)
    ->UseManualTime()
    ->Iterations(700)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(keystrokeLatency, program_idle, Setup::programIdle)
    ->UseManualTime()
    ->Iterations(700)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(keystrokeLatency, program_in_search, Setup::programSearching)
    ->UseManualTime()
    ->Iterations(700)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(keystrokeLatency, program_held_key, Setup::programHeldKey)
    ->UseManualTime()
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(panelLatency)->UseManualTime()->Iterations(60)->Unit(benchmark::kMillisecond);
BENCHMARK(keysBesideOrdinaryKeys)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(panelLatencyBesideBefore)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
