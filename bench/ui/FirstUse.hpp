#pragma once
// First use after a fresh start, measured where a user meets it: the bench starts itself again with
// a scenario's name in a desktop session of its own (Xvfb with openbox, Qt's xcb platform), so that
// every figure is taken in a new process that has drawn nothing yet (no font loaded, no glyph
// decoded, no image cached). The scenarios of one table run interleaved, round by round, so that
// they meet the same machine load; the table gives the medians beside their anchors.
//
// In a scenario's process, a time ends when what the user waits for is painted and the X server
// has taken the picture (the paint's flush, then a round trip).
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QObject>
#include <QVBoxLayout>
#include <QWidget>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/XSession.hpp"

namespace mosaiko::bench {

using mosaiko::testing::XSession;

// ---------------------------------------------------------------- in a scenario's process

inline constexpr const char* kScenarioArgument = "--first-use";

// The scenario this process was started for, if any.
inline std::optional<std::string> scenarioOf(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == kScenarioArgument) return std::string(argv[2]);
    return std::nullopt;
}

// One figure of the scenario, for the parent to collect.
inline void report(const std::string& name, double value) {
    std::printf("figure %s %.4f\n", name.c_str(), value);
    std::fflush(stdout);
}

inline Display* qtDisplay() {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

// Waits until the X server has handled everything this process sent it (the painted pictures).
inline void syncWithServer() {
    if (Display* display = qtDisplay()) XSync(display, False);
}

// Counts the paints of a widget that happen while a condition holds.
class PaintWatch final : public QObject {
  public:
    PaintWatch(QWidget* widget, std::function<bool()> condition)
        : widget_(widget), condition_(std::move(condition)) {
        widget_->installEventFilter(this);
    }
    ~PaintWatch() override { widget_->removeEventFilter(this); }
    int count() const { return count_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == widget_ && event->type() == QEvent::Paint && (!condition_ || condition_())) ++count_;
        return false;
    }

  private:
    QWidget* widget_;
    std::function<bool()> condition_;
    int count_ = 0;
};

// Runs the event loop until `done` holds (checked after each batch of events) or `seconds` pass;
// whether it held.
inline bool runUntil(const std::function<bool()>& done, double seconds = 20) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > seconds * 1000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Lets `milliseconds` pass with the event loop running, as a user's pause would.
inline void idle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Milliseconds from `start` until `widget` has been painted while `condition` held (the picture
// flushed and taken by the server); -1 when that never happened.
inline double untilPainted(const QElapsedTimer& start, QWidget* widget, PaintWatch& watch) {
    const int before = watch.count();
    (void)widget;
    if (!runUntil([&] { return watch.count() > before; })) return -1;
    // The paint and its flush run within one turn of the loop: the next turn finds them done.
    QCoreApplication::processEvents();
    syncWithServer();
    return static_cast<double>(start.nsecsElapsed()) / 1e6;
}

// Types a key the way a keyboard does: through the X server, to the focused window.
inline void typeKey(KeySym keysym) {
    Display* display = qtDisplay();
    if (!display) return;
    const auto keycode = XKeysymToKeycode(display, keysym);
    XTestFakeKeyEvent(display, keycode, True, CurrentTime);
    XTestFakeKeyEvent(display, keycode, False, CurrentTime);
    XFlush(display);
}

// Waits until `widget`'s window is active (the window manager gave it the focus) and `widget` has
// the keyboard focus.
inline bool focus(QWidget* widget) {
    widget->window()->activateWindow();
    widget->setFocus();
    return runUntil([&] { return widget->window()->isActiveWindow() && widget->hasFocus(); }, 10);
}

// How long a user takes between seeing a window and typing into it.
inline constexpr int kPauseMs = 300;

// The anchor of the keystrokes: the floor of any Qt window. One as large as the library, holding a
// line edit, opened; a letter typed into the edit until its echo is painted; then another letter.
inline int echoScenario() {
    QElapsedTimer clock;
    clock.start();
    QWidget window;
    window.resize(1280, 780);
    auto* edit = new QLineEdit(&window);
    (new QVBoxLayout(&window))->addWidget(edit);
    PaintWatch painted(edit, {});
    window.show();
    report("echo_window_open", untilPainted(clock, edit, painted));
    if (!focus(edit)) return 1;
    for (const auto& [name, key] : {std::pair{"echo_first", XK_t}, std::pair{"echo_again", XK_h}}) {
        idle(kPauseMs);
        const auto length = edit->text().size();
        PaintWatch echoed(edit, [&] { return edit->text().size() > length; });
        clock.restart();
        typeKey(key);
        report(name, untilPainted(clock, edit, echoed));
    }
    return 0;
}

// ---------------------------------------------------------------- in the bench's own process

// The figures of every round, by name.
class Figures {
  public:
    void add(const std::map<std::string, double>& round) {
        for (const auto& [name, value] : round) values_[name].push_back(value);
    }
    bool has(const std::string& name) const { return values_.count(name) > 0; }
    double median(const std::string& name) const { return median(std::vector<std::string>{name}); }
    // The median of the figures of all `names` together.
    double median(const std::vector<std::string>& names) const {
        std::vector<double> sorted;
        for (const auto& name : names) {
            if (auto found = values_.find(name); found != values_.end())
                sorted.insert(sorted.end(), found->second.begin(), found->second.end());
        }
        if (sorted.empty()) return 0;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }

  private:
    std::map<std::string, std::vector<double>> values_;
};

// Starts scenarios of this program in a session with a window manager.
class ScenarioRunner {
  public:
    explicit ScenarioRunner(const std::string& self) : self_(self), session_(withWindowManager()) {}

    bool ok() const { return session_.ok(); }
    const std::string& error() const { return session_.error(); }
    XSession& session() { return session_; }

    // Runs one scenario to its end; its figures, none when it failed (its output then goes to stderr).
    std::optional<std::map<std::string, double>> run(const std::string& scenario,
                                                     const std::vector<std::string>& environment = {},
                                                     const std::string& program = {}) {
        const auto output = session_.scratchDirectory() / ("scenario-" + std::to_string(++runs_) + ".log");
        auto child = session_.start({program.empty() ? self_ : program, kScenarioArgument, scenario},
                                    environment, output);
        const auto status = child.waitForExit(120);
        const std::string text = mosaiko::testing::readFile(output);
        std::map<std::string, double> figures;
        std::istringstream lines(text);
        std::string word, name;
        double value = 0;
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            if (fields >> word >> name >> value && word == "figure") figures[name] = value;
        }
        if (!status || *status != 0 || figures.empty()) {
            std::fprintf(stderr, "scenario %s failed:\n%s\n", scenario.c_str(), text.c_str());
            return std::nullopt;
        }
        return figures;
    }

  private:
    static XSession::Options withWindowManager() {
        XSession::Options options;
        options.windowManager = true;
        return options;
    }

    std::string self_;
    XSession session_;
    int runs_ = 0;
};

// Runs `scenarios` interleaved, round by round, `rounds` times, and heads their table; the figures,
// none when there is no X session or a scenario failed (said on stderr). With `other` (the same
// bench of another build), each scenario of a round is run by both in turn, in the same X server,
// the first of the two alternating from round to round; the other's figures are the second. With
// `emptyCache`, each scenario starts without the user's cache folder, as on a first start.
inline std::optional<std::pair<Figures, Figures>> runRoundsBeside(const std::vector<std::string>& scenarios,
                                                                  int rounds, const std::string& other,
                                                                  bool emptyCache = false) {
    ScenarioRunner runner(std::filesystem::canonical("/proc/self/exe").string());
    if (!runner.ok()) {
        std::fprintf(stderr, "no X session: %s\n", runner.error().c_str());
        return std::nullopt;
    }
    std::pair<Figures, Figures> figures;
    for (int i = 0; i < rounds; ++i) {
        for (const auto& scenario : scenarios) {
            for (int turn = 0; turn < (other.empty() ? 1 : 2); ++turn) {
                const bool theOther = (turn + i) % 2 == 1 && !other.empty();
                if (emptyCache) std::filesystem::remove_all(runner.session().scratchDirectory() / "cache");
                const auto round = runner.run(scenario, {}, theOther ? other : std::string());
                if (!round) return std::nullopt;
                (theOther ? figures.second : figures.first).add(*round);
            }
        }
    }
    std::printf(
        "\nFirst use after a fresh start: Xvfb + openbox, Qt xcb, a new process per figure; median of %d "
        "rounds, interleaved%s%s\n",
        rounds, other.empty() ? "" : (", beside " + other).c_str(), emptyCache ? ", no cache folder" : "");
    return figures;
}

inline std::optional<Figures> runRounds(const std::vector<std::string>& scenarios, int rounds) {
    auto figures = runRoundsBeside(scenarios, rounds, {});
    if (!figures) return std::nullopt;
    return std::move(figures->first);
}

// The bench's command line: the first-use options taken out of it, the rest (program name first)
// left for Qt and the benchmark library.
class CommandLine {
  public:
    CommandLine(int argc, char** argv) {
        for (int i = 0; i < argc; ++i) {
            if (std::strncmp(argv[i], "--first-use-rounds=", 19) == 0)
                rounds = std::max(1, std::atoi(argv[i] + 19));
            else if (std::strcmp(argv[i], "--first-use-only") == 0)
                firstUseOnly = true;
            else if (std::strncmp(argv[i], "--first-use-beside=", 19) == 0)
                beside = argv[i] + 19;
            else if (std::strcmp(argv[i], "--first-use-empty-cache") == 0)
                emptyCache = true;
            else
                rest_.push_back(argv[i]);
        }
        argc_ = static_cast<int>(rest_.size());
        rest_.push_back(nullptr);
    }

    int rounds = 7;
    bool firstUseOnly = false;
    // The same bench of another build, whose scenarios run beside these (before and after figures).
    std::string beside;
    // Every scenario without the user's cache folder (what the program keeps there is not there).
    bool emptyCache = false;

    // What is left, as main() received it; both stay valid while the object lives.
    int& argc() { return argc_; }
    char** argv() { return rest_.data(); }

  private:
    std::vector<char*> rest_;
    int argc_ = 0;
};

// "  what                               12.3 ms   anchor  4.5 ms   ratio 2.73 (target)"
inline void printRow(const char* what, double value, const char* unit, const char* anchor, double anchorValue,
                     const char* target) {
    std::printf("  %-46s %8.1f %-3s | %-30s %8.1f %-3s | ratio %5.2f  %s\n", what, value, unit, anchor,
                anchorValue, unit, anchorValue > 0 ? value / anchorValue : 0.0, target);
}

}  // namespace mosaiko::bench

// What the X headers define that would clash with Qt's names in the code that includes this.
#undef KeyPress
#undef KeyRelease
#undef FocusIn
#undef FocusOut
#undef Expose
#undef None
#undef Bool
#undef Status
#undef Unsorted
#undef Always
