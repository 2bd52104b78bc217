// What the picker adds to keystrokes: the time from an XTEST key press to its arrival in a client
// window, on a virtual X server of its own,
//   - without the program (the server's own latency, the baseline),
//   - with the program running and no search (ordinary typing: the key is not held),
//   - with the program in inline searches: the trigger and the query letters while the panel shows
//     and its results are rebuilt on every letter (the popup delay set to 0),
//   - with a key the program holds (Super-BackSpace in a search that has no query yet: it waits for
//     the picker's answer, then reaches the client),
// and the time from the third query letter to the panel being mapped (popup delay 0). Then ";" beside
// ordinary letters with and without the program in one X server, in alternating rounds: see
// semicolonBesideOrdinaryKeys.
// The time per iteration is the mean; p50, p90, p99 and max are in microseconds. Needs Xvfb and the
// built program; skips (with a message) without them.
#include <benchmark/benchmark.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
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
    Display* watcher = XOpenDisplay(session.display().c_str());
    if (!client.ok() || !watcher) return state.SkipWithError("no client window");
    XSelectInput(watcher, DefaultRootWindow(watcher), SubstructureNotifyMask);
    XSync(watcher, False);
    auto waitForMap = [&](int type) {
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < deadline) {
            while (XPending(watcher) > 0) {
                XEvent event;
                XNextEvent(watcher, &event);
                if (event.type == type) return true;
            }
            pollfd p{ConnectionNumber(watcher), POLLIN, 0};
            ::poll(&p, 1, 50);
        }
        return false;
    };

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
        if (!waitForMap(MapNotify)) return state.SkipWithError("the panel never showed");
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        samples.push_back(seconds * 1e6);
        type(XK_Escape);
        if (!waitForMap(UnmapNotify)) return state.SkipWithError("the panel never closed");
    }
    XCloseDisplay(watcher);
    state.counters["p50_us"] = percentile(samples, 0.5);
    state.counters["p99_us"] = percentile(samples, 0.99);
    state.counters["max_us"] = percentile(samples, 1.0);
}

// ";" (held at all times: it completes the instant-open sequence, and it starts an inline search)
// beside ordinary letters, with the program idle and without it, in one X server: rounds alternate
// between the program running and no program (each round starts it anew, the order turning round
// by round), and every round types the same cycle ";", space (which ends the search), a, s, d, the
// time of each press to its arrival in the client. Prints p50 and p99 of ";" and of the other keys
// for both, and the ratios of ";" with the program to an ordinary key with it and without it.
void semicolonBesideOrdinaryKeys(benchmark::State& state) {
    if (!mosaiko::testing::hasProgram("Xvfb")) return state.SkipWithError("Xvfb is not installed");
    if (!std::filesystem::exists(RunningProgram::program()))
        return state.SkipWithError("the program is not built");
    XSession session;
    if (!session.ok()) return state.SkipWithError(session.error().c_str());
    RunningProgram::writeDefaults(session, RunningProgram::returningUser());
    mosaiko::FocusedClientWindow client(session.display());
    if (!client.ok()) return state.SkipWithError("no client window");
    Display* typist = session.connection();
    auto keycode = [&](KeySym keysym) { return static_cast<unsigned>(XKeysymToKeycode(typist, keysym)); };
    const unsigned semicolon = keycode(XK_semicolon);
    const std::vector<unsigned> cycle{semicolon, keycode(XK_space), keycode(XK_a), keycode(XK_s),
                                      keycode(XK_d)};
    constexpr int kRounds = 6, kCyclesPerRound = 60;

    // Samples in microseconds: [with program][";" or not].
    std::vector<double> samples[2][2];
    auto typeRound = [&](bool withProgram) {
        for (int i = 0; i < kCyclesPerRound; ++i) {
            for (unsigned code : cycle) {
                const auto start = Clock::now();
                XTestFakeKeyEvent(typist, code, True, CurrentTime);
                XFlush(typist);
                if (!client.waitFor(KeyPress, code, 5)) return false;
                const double us = std::chrono::duration<double>(Clock::now() - start).count() * 1e6;
                samples[withProgram][code == semicolon].push_back(us);
                XTestFakeKeyEvent(typist, code, False, CurrentTime);
                XFlush(typist);
                client.waitFor(KeyRelease, code, 2);
            }
        }
        return true;
    };
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            for (const bool withProgram : {round % 2 == 0, round % 2 != 0}) {
                std::unique_ptr<RunningProgram> program;
                if (withProgram) {
                    program = std::make_unique<RunningProgram>(session);
                    if (!program->waitForKeyTap()) return state.SkipWithError("the key tap did not start");
                    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // its start settles
                }
                if (!typeRound(withProgram)) return state.SkipWithError("a key press never arrived");
            }
        }
    }
    const char* names[2][2] = {{"other keys, without the program", "\";\", without the program"},
                               {"other keys, with the program", "\";\", with the program"}};
    std::printf("\n\";\" beside ordinary keys, %d alternating rounds in one X server (microseconds):\n",
                kRounds);
    for (int with = 1; with >= 0; --with) {
        for (int semi = 1; semi >= 0; --semi) {
            std::printf("  %-34s p50 %8.1f   p99 %8.1f   (%zu keys)\n", names[with][semi],
                        percentile(samples[with][semi], 0.5), percentile(samples[with][semi], 0.99),
                        samples[with][semi].size());
        }
    }
    for (const double p : {0.5, 0.99}) {
        const double semi = percentile(samples[1][1], p);
        std::printf(
            "  p%-2.0f ratio of \";\" with the program: %5.2f to other keys with it, %5.2f to other keys "
            "without it, %5.2f to \";\" without it\n",
            p * 100, semi / percentile(samples[1][0], p), semi / percentile(samples[0][0], p),
            semi / percentile(samples[0][1], p));
    }
    state.counters["semicolon_p50_us"] = percentile(samples[1][1], 0.5);
    state.counters["semicolon_p99_us"] = percentile(samples[1][1], 0.99);
    state.counters["plain_p50_us"] = percentile(samples[0][0], 0.5);
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
BENCHMARK(semicolonBesideOrdinaryKeys)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
