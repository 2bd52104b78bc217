// What a user meets when the program starts: the time from starting it until its key tap listens (the
// pair of ";;" it first heard was typed), until that pair has opened the panel and until the panel shows its
// results, beside the time a bare Qt window takes to appear when started the same way; and the resident
// memory of each once shown. Each round starts a fresh process on a virtual X server of its own (no window
// manager); the figures are medians over the rounds, with the ratios to the bare window. Needs Xvfb and the
// built program. Usage: ColdStartBench [rounds] [other-program] [--pinned-snippets=N] [--no-memory]
// [--searches=N]
// (default 15 rounds); another build of the program (with its resources beside it) is measured in the
// same rounds, for before/after figures, and each program also with N snippets, all pinned, if asked.
//
// Then the memory a user's day leaves behind, under a window manager (openbox): the resident memory of
// the program at rest, after 200 searches in the picker (";;", a query, Escape), and after the library,
// settings, statistics and guide windows have been opened and closed again, beside the bare Qt window's
// (medians of at most 3 rounds, each program in a fresh process), unless --no-memory. --searches=N
// goes on searching to N before the windows, for memory that should stay flat.
#include <poll.h>
#include <unistd.h>

#include <QApplication>
#include <QWidget>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "FocusedClientWindow.hpp"
#include "ManySnippets.hpp"
#include "content/CollectionsStore.hpp"
#include "content/ContentCoordinator.hpp"
#include "content/CustomContentStore.hpp"
#include "content/PreferencesStore.hpp"
#include "e2e/RunningProgram.hpp"
#include "platform/linux/FileDefaults.hpp"
#include "support/XSession.hpp"

namespace {

using mosaiko::FocusedClientWindow;
using mosaiko::testing::ChildProcess;
using mosaiko::testing::RunningProgram;
using mosaiko::testing::XSession;
using Clock = std::chrono::steady_clock;

constexpr const char* kBareWindowArgument = "--bare-qt-window";

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Kilobytes resident (VmRSS) of a running process; 0 when it cannot be read.
long residentKilobytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

// Polls `condition` every half millisecond until it holds or `seconds` pass; whether it held.
bool pollUntil(const std::function<bool()>& condition, double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return condition();
}

// Watches the root window for top-level windows being mapped, on a connection of its own.
class MapWatcher {
  public:
    explicit MapWatcher(const std::string& displayName) : display_(XOpenDisplay(displayName.c_str())) {
        if (!display_) return;
        XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
        XSync(display_, False);
    }
    ~MapWatcher() {
        if (display_) XCloseDisplay(display_);
    }
    bool ok() const { return display_ != nullptr; }
    Display* display() const { return display_; }

    // Forgets the events seen so far.
    void drain() {
        XSync(display_, False);
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
        }
    }

    // The first window mapped from now on that `matches` accepts; none within `seconds`.
    std::optional<Window> waitForMap(const std::function<bool(Window)>& matches, double seconds) {
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (true) {
            while (XPending(display_) > 0) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type == MapNotify && matches(event.xmap.window)) return event.xmap.window;
            }
            // Rounded up: the wait of a millisecond between the typed pairs, rounded down to none,
            // spun the benchmark on a processor all through the program's start (and not the bare
            // window's), which slowed the start being measured.
            const auto left = deadline - Clock::now();
            if (left <= Clock::duration::zero()) return std::nullopt;
            pollfd p{ConnectionNumber(display_), POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count()));
        }
    }

    std::string name(Window window) const {
        char* text = nullptr;
        std::string result;
        if (XFetchName(display_, window, &text) && text) {
            result = text;
            XFree(text);
        }
        return result;
    }

    // How many pixels of the window are clearly coloured (emoji are; the panel's chrome is grey).
    int colouredPixels(Window window) const {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display_, window, &attributes) || attributes.map_state != IsViewable)
            return 0;
        // The panel may be moved or hidden meanwhile, which fails the request (BadMatch) and, left to
        // the default handler, ended the benchmark: it then counts as nothing shown yet.
        XSync(display_, False);
        const auto handler = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        XImage* image = XGetImage(display_, window, 0, 0, static_cast<unsigned>(attributes.width),
                                  static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
        XSync(display_, False);
        XSetErrorHandler(handler);
        if (!image) return 0;
        int count = 0;
        for (int y = 0; y < image->height; y += 2) {
            for (int x = 0; x < image->width; x += 2) {
                const unsigned long pixel = XGetPixel(image, x, y);
                const int r = static_cast<int>((pixel >> 16) & 0xff),
                          g = static_cast<int>((pixel >> 8) & 0xff), b = static_cast<int>(pixel & 0xff);
                if (std::max({r, g, b}) - std::min({r, g, b}) > 80) ++count;
            }
        }
        XDestroyImage(image);
        return count;
    }

  private:
    Display* display_ = nullptr;
};

struct Round {
    double tapLive = 0;       // ms from start until the tap heard ";;": when the pair it heard was typed
    double panelShown = 0;    // ms from start until ";;" has mapped the panel (bare: its window)
    double resultsShown = 0;  // ms from start until the panel shows coloured results
    long residentKb = 0;      // once the panel has shown its results for a while
};

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::optional<Round> bareWindowRound(const XSession& session, MapWatcher& watcher, const std::string& self) {
    watcher.drain();
    const auto start = Clock::now();
    ChildProcess child = session.start({self, kBareWindowArgument});
    const auto window = watcher.waitForMap([&](Window w) { return watcher.name(w) == "bare"; }, 20);
    if (!window) return std::nullopt;
    Round round;
    round.tapLive = round.panelShown = round.resultsShown = millisecondsSince(start);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    round.residentKb = residentKilobytes(child.pid());
    return round;
}

std::optional<Round> programRound(XSession& session, MapWatcher& watcher,
                                  const std::filesystem::path& executable) {
    FocusedClientWindow client(session.display());
    if (!client.ok()) return std::nullopt;
    Display* typist = session.connection();
    const auto semicolon = static_cast<unsigned>(XKeysymToKeycode(typist, XK_semicolon));
    const auto escape = static_cast<unsigned>(XKeysymToKeycode(typist, XK_Escape));
    auto isPanel = [&](Window w) { return watcher.name(w) == "Quick Find"; };
    watcher.drain();

    const auto start = Clock::now();
    RunningProgram program(session, {}, executable);
    auto failed = [&](const char* what) {
        std::fprintf(stderr, "%s\n%s", what, program.output().c_str());
        return std::nullopt;
    };
    // ";;" is typed from the start, as an impatient user would, again once both keys have reached
    // the focused window: until the tap listens nothing holds them. The first pair it hears opens
    // the panel, and its second key never reaches the window. (Probing the tap's grabs instead could
    // take a combination from it while it grabs.) The pairs are paced: typed back to back they kept
    // the server busy with keys, which slowed the very start being measured by several milliseconds
    // (the bare window starts without any).
    constexpr auto kAttemptInterval = std::chrono::milliseconds(2);
    std::optional<Window> panel;
    auto typedAt = start;
    const auto deadline = start + std::chrono::seconds(30);
    while (!panel && Clock::now() < deadline) {
        const int before = client.presses(semicolon);
        typedAt = Clock::now();
        // Escape first: a lone ";" that the tap heard of an earlier pair started a search, which
        // the next pair would otherwise open and close again.
        for (const unsigned key : {escape, semicolon, semicolon}) {
            XTestFakeKeyEvent(typist, key, True, CurrentTime);
            XTestFakeKeyEvent(typist, key, False, CurrentTime);
        }
        XFlush(typist);
        while (!panel && Clock::now() < deadline && client.presses(semicolon) < before + 2)
            panel = watcher.waitForMap(isPanel, 0.001);
        while (!panel && Clock::now() < typedAt + kAttemptInterval)
            panel = watcher.waitForMap(isPanel, 0.001);
    }
    if (!panel) return failed("\";;\" never opened the panel");
    Round round;
    // The pair before was not heard: the tap went live between the two (at most kAttemptInterval
    // apart), at this one at the latest.
    round.tapLive = std::chrono::duration<double, std::milli>(typedAt - start).count();
    round.panelShown = millisecondsSince(start);
    if (!pollUntil([&] { return watcher.colouredPixels(*panel) > 50; }, 20))
        return failed("the panel never showed results");
    round.resultsShown = millisecondsSince(start);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    round.residentKb = residentKilobytes(program.pid());
    return round;
}

// ---------------------------------------------------------------- memory after use

struct MemoryRound {
    long restKb = 0;          // the key tap listening, nothing opened yet
    long searchesKb = 0;      // after 200 searches in the picker
    long moreSearchesKb = 0;  // after all the searches asked for, when more than 200
    long windowsKb = 0;       // after the four windows were opened and closed
};

// `count` queries of two to four letters over 50 words, so that the searches show many different entries.
std::vector<std::string> searchQueries(std::size_t count) {
    const char* words[] = {"smile", "heart", "cat",   "dog",   "tree",  "car",   "sun",  "moon",   "star",
                           "fire",  "water", "hand",  "face",  "food",  "fruit", "ball", "music",  "book",
                           "flag",  "clock", "house", "train", "plane", "ship",  "bird", "fish",   "flower",
                           "leaf",  "snow",  "rain",  "cloud", "party", "gift",  "cake", "coffee", "tea",
                           "wine",  "beer",  "money", "phone", "light", "key",   "lock", "tool",   "sport",
                           "game",  "baby",  "woman", "man",   "family"};
    std::vector<std::string> queries;
    for (int i = 0; queries.size() < count; ++i) {
        const std::string word = words[i % 50];
        const std::size_t length =
            std::min<std::size_t>(word.size(), 2 + static_cast<std::size_t>(i / 50) % 3);
        queries.push_back(word.substr(0, length));
    }
    return queries;
}

// Asks a window to close, as its close button does.
void askToClose(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

// Resident memory a moment after the program has given back what a session took.
long restedKilobytes(const RunningProgram& program) {
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    return residentKilobytes(program.pid());
}

std::optional<MemoryRound> memoryRound(XSession& session, const std::filesystem::path& executable,
                                       std::size_t searches) {
    FocusedClientWindow client(session.display());
    if (!client.ok()) return std::nullopt;
    RunningProgram program(session, {}, executable);
    auto failed = [&](const std::string& what) {
        std::fprintf(stderr, "%s\n%s", what.c_str(), program.output().c_str());
        return std::nullopt;
    };
    if (!program.waitForKeyTap()) return failed("the key tap never listened");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    MemoryRound round;
    round.restKb = residentKilobytes(program.pid());

    const auto queries = searchQueries(std::max<std::size_t>(searches, 200));
    for (std::size_t i = 0; i < queries.size(); ++i) {
        const std::string& query = queries[i];
        if (i == 200) round.searchesKb = restedKilobytes(program);
        // Typed again should the pair have met a moment in which the tap was not listening.
        bool opened = false;
        for (int attempt = 0; attempt < 5 && !opened; ++attempt) {
            session.xdotool({"key", "--delay", "1", "Escape", "semicolon", "semicolon"});
            opened = program.waitForPanel(true, 2);
        }
        if (!opened) return failed("\";;\" opened no panel");
        session.xdotool({"type", "--delay", "1", query});
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        session.xdotool({"key", "Escape"});
        if (!program.waitForPanel(false, 5)) return failed("Escape left the panel open");
    }
    (queries.size() > 200 ? round.moreSearchesKb : round.searchesKb) = restedKilobytes(program);

    auto ours = [&](const char* title) {
        return [&program, title](const mosaiko::testing::WindowInfo& w) {
            return w.viewable && w.pid == program.pid() && w.name == title;
        };
    };
    // The library by its shortcut, then each window from the one before by the application's keys.
    session.xdotool({"key", "ctrl+alt+shift+super+F12"});
    std::vector<Window> opened;
    const std::pair<const char*, const char*> steps[] = {{"Emoji Library", "ctrl+comma"},
                                                         {"Mosaiko Settings", "ctrl+s"},
                                                         {"Mosaiko Statistics", "ctrl+t"},
                                                         {"Mosaiko Guide", nullptr}};
    for (const auto& [title, next] : steps) {
        const auto window = session.waitForWindow(ours(title), 20);
        if (!window) return failed(std::string("no window ") + title);
        opened.push_back(window->id);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // drawn
        if (!next) break;
        if (!session.focus(window->id)) return failed(std::string("no focus in ") + title);
        session.xdotool({"key", next});
    }
    for (const Window window : opened) askToClose(session.connection(), window);
    for (const auto& [title, next] : steps) {
        if (!mosaiko::testing::waitUntil([&] { return !session.findWindow(ours(title)); }, 10))
            return failed(std::string("the window stayed open: ") + title);
    }
    round.windowsKb = restedKilobytes(program);
    return round;
}

// The memory table: at most three rounds, the bare window and each program alternating.
int memoryTable(int rounds, const std::vector<std::filesystem::path>& programs, const std::string& self,
                std::size_t searches) {
    XSession::Options options;
    options.windowManager = true;
    XSession session(options);
    if (!session.ok()) {
        std::fprintf(stderr, "no X session with a window manager: %s\n", session.error().c_str());
        return 1;
    }
    RunningProgram::writeDefaults(session, RunningProgram::returningUser());
    std::vector<double> bare;
    std::vector<std::vector<MemoryRound>> measured(programs.size());
    for (int i = 0; i < rounds; ++i) {
        {
            ChildProcess child = session.start({self, kBareWindowArgument});
            if (!session.waitForWindow([](const auto& w) { return w.viewable && w.name == "bare"; }, 20)) {
                std::fprintf(stderr, "the bare window never showed\n");
                return 1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            bare.push_back(static_cast<double>(residentKilobytes(child.pid())) / 1024.0);
        }
        for (std::size_t k = 0; k < programs.size(); ++k) {
            const auto m = memoryRound(session, programs[k], searches);
            if (!m) {
                std::fprintf(stderr, "memory round %d failed (%s)\n", i, programs[k].c_str());
                return 1;
            }
            measured[k].push_back(*m);
        }
    }
    const double bareMb = median(bare);
    std::printf("resident memory after use, openbox, median of %d rounds (MB)\n", rounds);
    std::printf("  bare Qt window                                    %8.1f\n", bareMb);
    for (std::size_t k = 0; k < programs.size(); ++k) {
        if (programs.size() > 1) std::printf("  %s\n", programs[k].c_str());
        auto mb = [&](long MemoryRound::*field) {
            std::vector<double> values;
            for (const auto& round : measured[k])
                values.push_back(static_cast<double>(round.*field) / 1024.0);
            return median(values);
        };
        std::printf("  program at rest                                   %8.1f   ratio %.2f\n",
                    mb(&MemoryRound::restKb), mb(&MemoryRound::restKb) / bareMb);
        std::printf("  after 200 searches                                %8.1f   ratio %.2f   target <= 2x\n",
                    mb(&MemoryRound::searchesKb), mb(&MemoryRound::searchesKb) / bareMb);
        if (searches > 200)
            std::printf("  after %-6zu searches                             %8.1f   ratio %.2f\n", searches,
                        mb(&MemoryRound::moreSearchesKb), mb(&MemoryRound::moreSearchesKb) / bareMb);
        std::printf(
            "  after library, settings, statistics, guide closed %8.1f   ratio %.2f   target <= 2.5x\n",
            mb(&MemoryRound::windowsKb), mb(&MemoryRound::windowsKb) / bareMb);
    }
    return 0;
}

int bareWindow(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.resize(300, 100);
    window.show();
    return app.exec();
}

// The returning user's defaults, and with `count` snippets all pinned.
mosaiko::MemoryDefaults userDefaults(int pinnedSnippets) {
    mosaiko::MemoryDefaults user = RunningProgram::returningUser();
    if (pinnedSnippets > 0) {
        const auto snippets = mosaiko::bench::manySnippets(pinnedSnippets);
        mosaiko::CustomContentStore(user).snippets.set(snippets);
        mosaiko::CollectionsStore collections(user);
        mosaiko::bench::pinAll(collections, snippets);
    }
    return user;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == kBareWindowArgument) return bareWindow(argc, argv);
    // --pinned-snippets=N: each program is also started with N snippets, all pinned.
    int pinnedSnippets = 0;
    bool memory = true;
    std::size_t searches = 200;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--pinned-snippets=", 18) == 0)
            pinnedSnippets = std::max(0, std::atoi(argv[i] + 18));
        else if (std::strcmp(argv[i], "--no-memory") == 0)
            memory = false;
        else if (std::strncmp(argv[i], "--searches=", 11) == 0)
            searches = static_cast<std::size_t>(std::max(0, std::atoi(argv[i] + 11)));
        else
            positional.emplace_back(argv[i]);
    }
    const int rounds = !positional.empty() ? std::max(1, std::atoi(positional[0].c_str())) : 15;
    std::vector<std::filesystem::path> programs{RunningProgram::program()};
    if (positional.size() > 1) programs.emplace_back(positional[1]);
    for (const auto& path : programs) {
        if (!std::filesystem::exists(path)) {
            std::fprintf(stderr, "the program is not built: %s\n", path.c_str());
            return 1;
        }
    }
    XSession session;
    if (!session.ok()) {
        std::fprintf(stderr, "no X session: %s\n", session.error().c_str());
        return 1;
    }
    // Each program with each user's defaults, written before each start.
    struct Variant {
        std::filesystem::path program;
        const mosaiko::MemoryDefaults* defaults;
        std::string label;
    };
    const mosaiko::MemoryDefaults plainUser = userDefaults(0);
    const mosaiko::MemoryDefaults pinningUser = userDefaults(pinnedSnippets);
    std::vector<Variant> variants;
    for (const auto& program : programs) {
        variants.push_back({program, &plainUser, program.string()});
        if (pinnedSnippets > 0)
            variants.push_back(
                {program, &pinningUser,
                 program.string() + ", " + std::to_string(pinnedSnippets) + " pinned snippets"});
    }
    MapWatcher watcher(session.display());
    if (!watcher.ok()) return 1;
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();

    std::vector<Round> bare;
    std::vector<std::vector<Round>> measured(variants.size());
    for (int i = 0; i < rounds; ++i) {
        // Alternating, so that all meet the same machine load.
        const auto b = bareWindowRound(session, watcher, self);
        if (!b) {
            std::fprintf(stderr, "round %d failed (bare window)\n", i);
            return 1;
        }
        bare.push_back(*b);
        // Each variant takes each place in turn: a start right after the program's own shut-down
        // (rather than the bare window's) was measured slower.
        for (std::size_t j = 0; j < variants.size(); ++j) {
            const std::size_t k = (j + static_cast<std::size_t>(i)) % variants.size();
            // The user's whole file, not added to the one the last start left.
            std::filesystem::remove(RunningProgram::defaultsFile(session));
            RunningProgram::writeDefaults(session, *variants[k].defaults);
            const auto p = programRound(session, watcher, variants[k].program);
            if (!p) {
                std::fprintf(stderr, "round %d failed (%s)\n", i, variants[k].label.c_str());
                return 1;
            }
            measured[k].push_back(*p);
        }
    }
    std::filesystem::remove(RunningProgram::defaultsFile(session));
    RunningProgram::writeDefaults(session, plainUser);

    auto column = [](const std::vector<Round>& list, double Round::*field) {
        std::vector<double> values;
        for (const auto& round : list) values.push_back(round.*field);
        return median(values);
    };
    auto rss = [](const std::vector<Round>& list) {
        std::vector<double> values;
        for (const auto& round : list) values.push_back(static_cast<double>(round.residentKb) / 1024.0);
        return median(values);
    };
    const double bareMap = column(bare, &Round::panelShown);
    std::printf("cold start, median of %d rounds (ms from start)\n", rounds);
    std::printf("  bare Qt window mapped           %8.1f\n", bareMap);
    for (std::size_t k = 0; k < variants.size(); ++k) {
        const auto& program = measured[k];
        if (variants.size() > 1) std::printf("  %s\n", variants[k].label.c_str());
        std::printf("  program: key tap live           %8.1f   ratio %.2f\n",
                    column(program, &Round::tapLive), column(program, &Round::tapLive) / bareMap);
        std::printf("  program: \";;\" opened the panel  %8.1f   ratio %.2f\n",
                    column(program, &Round::panelShown), column(program, &Round::panelShown) / bareMap);
        std::printf("  program: results painted        %8.1f   ratio %.2f\n",
                    column(program, &Round::resultsShown), column(program, &Round::resultsShown) / bareMap);
    }
    std::printf("resident memory once shown, median (MB)\n");
    std::printf("  bare Qt window                  %8.1f\n", rss(bare));
    for (std::size_t k = 0; k < variants.size(); ++k) {
        if (variants.size() > 1) std::printf("  %s\n", variants[k].label.c_str());
        std::printf("  program, panel with results     %8.1f   ratio %.2f\n", rss(measured[k]),
                    rss(measured[k]) / rss(bare));
    }
    std::fflush(stdout);
    return memory ? memoryTable(std::min(rounds, 3), programs, self, searches) : 0;
}
