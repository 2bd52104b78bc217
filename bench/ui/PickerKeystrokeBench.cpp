// What a keystroke costs the user in the picker panel, on Qt's offscreen platform over the shipped
// data (emoji, glyphs, emoticons): from the query change to the panel's results painted, beside a
// plain line edit echoing a key in a window of the same size (the floor of any Qt window). Also
// from opening the panel on a query to its results painted, and moving the selection by one.
// Prints each time (the fastest of five repetitions) as a multiple of the line edit's echo.
// Then the first use after a fresh start, as a user meets it (a new process per figure, on a
// virtual X server with a window manager, Qt's xcb platform): the panel's first opening, its first
// letter until the results are painted beside a line edit's first echo, and both again after the
// session was given back (as the program does a moment after the panel hides).
// Usage: PickerKeystrokeBench [--first-use-rounds=N] [--first-use-only] [benchmark flags]   (7 rounds)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ManySnippets.hpp"
#include "RatioReporter.hpp"
#include "ShippedContent.hpp"
#include "content/CollectionsStore.hpp"
#include "content/ContentCoordinator.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmojiUsageStore.hpp"
#include "content/EmoticonCatalog.hpp"
#include "content/PreferencesStore.hpp"
#include "picker/PickerViewModel.hpp"
#include "picker/ui/MainRowView.hpp"
#include "picker/ui/PickerPanel.hpp"
#include "picker/ui/PickerPanelController.hpp"
#include "picker/ui/PickerView.hpp"
#include "platform/MemoryDefaults.hpp"
#include "platform/fake/FakeScreenInfo.hpp"
#include "platform/fake/ManualMainLoop.hpp"
#include "platform/qt/QtMainLoop.hpp"
#include "platform/qt/SymbolImage.hpp"
#include "platform/qt/WindowMemory.hpp"
#include "support/MemoryStores.hpp"

// Last: the X headers' macros would clash with names of the headers above.
#include "FirstUse.hpp"

namespace mosaiko {
namespace {

// The picker's parts over the shipped data and `Stores`, its panel on a screen of 1440 by 900.
template <class Stores>
struct PickerParts : Stores {
    PickerParts() {
        bench::pinFavourites(this->collections);
        model =
            std::make_unique<PickerViewModel>(db, this->prefs, this->usage, this->collections, this->loop);
        screens.screenList = {{{0, 0, 1440, 900}, {0, 0, 1440, 875}}};
        screens.pointer = {700, 500};
        panel = std::make_unique<PickerPanelController>(*model, this->prefs, this->collections, screens, [] {
            return ScreenInfo::Rect{0, 0, 1440, 900};
        });
    }

    bench::ShippedDatabase db;
    FakeScreenInfo screens;
    std::unique_ptr<PickerViewModel> model;
    std::unique_ptr<PickerPanelController> panel;
};

struct Picker : PickerParts<testing::MemoryStores> {
    // The model's deferred work and the views' refreshes, then what they marked for drawing drawn
    // (as the window system's next frame would show it).
    void paint() {
        loop.runPending();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    }
};

// Built on first use and torn down by main() while the application still exists: its widgets
// must not outlive it.
std::unique_ptr<Picker>& pickerSlot() {
    static std::unique_ptr<Picker> slot;
    return slot;
}

Picker& picker() {
    if (!pickerSlot()) pickerSlot() = std::make_unique<Picker>();
    return *pickerSlot();
}

// What a user types, one letter at a time, then erases: each step is one more or one less letter.
const std::vector<std::string>& keystrokes() {
    static const std::vector<std::string> typed = [] {
        std::vector<std::string> queries;
        for (const std::string word : {"smiling face", "red heart", "flag"}) {
            for (std::size_t n = 1; n <= word.size(); ++n) queries.push_back(word.substr(0, n));
            for (std::size_t n = word.size() - 1; n > 0; --n) queries.push_back(word.substr(0, n));
        }
        return queries;
    }();
    return typed;
}

// The floor: a line edit in a window as large as the panel echoes a typed letter, or erases one.
void BM_LineEditEcho(benchmark::State& state) {
    QWidget window;
    window.resize(640, 170);
    auto* edit = new QLineEdit(&window);
    (new QVBoxLayout(&window))->addWidget(edit);
    window.show();
    edit->setFocus();
    QCoreApplication::processEvents();
    bool erase = false;
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, erase ? Qt::Key_Backspace : Qt::Key_S, Qt::NoModifier,
                        erase ? QString() : QStringLiteral("s"));
        QApplication::sendEvent(edit, &press);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        erase = !erase;
    }
}

// The panel opens on a query; the window system's answer (the window exposed) comes with the
// paint.
void showPanel(Picker& p, const std::string& query) {
    p.model->resetForNewSession(query);
    p.panel->show(p.screens.pointer);
    QCoreApplication::processEvents();
    p.paint();
}

// One more (or one less) letter: the search, the rebuild and the results painted.
void BM_OneMoreLetter(benchmark::State& state) {
    Picker& p = picker();
    showPanel(p, "s");
    std::size_t i = 0;
    std::size_t results = 0;
    for (auto _ : state) {
        p.model->updateQuery(keystrokes()[i++ % keystrokes().size()]);
        p.paint();
        results += p.model->results().size();
    }
    state.counters["results"] = static_cast<double>(results) / static_cast<double>(state.iterations());
    p.panel->hide();
}

// The panel opens on a query: the rebuild, the views and the results painted.
void BM_OpenOnQuery(benchmark::State& state, std::string query) {
    Picker& p = picker();
    for (auto _ : state) {
        showPanel(p, query);
        state.PauseTiming();
        p.panel->hide();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

// An arrow key: the selection moves one result on and the panel is drawn again.
void BM_ArrowKey(benchmark::State& state) {
    Picker& p = picker();
    showPanel(p, "smi");
    for (auto _ : state) {
        p.model->moveSelection(1);
        p.paint();
    }
    state.counters["tiles_painted"] = static_cast<double>(p.panel->view().mainRow()->paintedCells().size());
    p.panel->hide();
}

// ---------------------------------------------------------------- first use after a fresh start

// The stores as the program has them, on its own main loop.
struct LiveStores {
    QtMainLoop loop;
    SystemClock clock;
    MemoryDefaults defaults;
    PreferencesStore prefs{defaults};
    CollectionsStore collections{defaults};
    EmojiUsageStore usage{defaults, clock};
};

// The picker's parts as the program has them.
using LivePicker = PickerParts<LiveStores>;

// The panel opened with an empty query (";;"), then a letter: the results painted; then the panel
// hidden, its session given back, and the same again, with one more letter and a BackSpace after
// it. With `pinnedSnippets`, the user has that many snippets, all pinned.
int pickerScenario(int pinnedSnippets = 0) {
    LivePicker p;
    if (pinnedSnippets > 0) {
        const auto snippets = bench::manySnippets(pinnedSnippets);
        p.db.setExtraEmojis(ContentCoordinator::extraEntries(snippets, EmoticonCatalog::defaultOrder(), {}));
        bench::pinAll(p.collections, snippets);
    }
    bench::idle(50);
    const std::string prefix = pinnedSnippets > 0 ? "pinned_" : "picker_";
    QWidget* row = p.panel->view().mainRow();
    QElapsedTimer clock;
    for (const char* round : {"first", "again"}) {
        if (std::string(round) == "again") {
            p.panel->hide();
            bench::idle(bench::kPauseMs);
            WindowMemory::releaseAfterSession();
            bench::idle(50);
        }
        {
            bench::PaintWatch painted(row, {});
            clock.restart();
            p.model->resetForNewSession("");
            p.panel->show(p.screens.pointer);
            bench::report(prefix + "open_" + round, bench::untilPainted(clock, row, painted));
        }
        bench::idle(bench::kPauseMs);
        bench::PaintWatch results(row, [&] { return p.model->query() == "s"; });
        clock.restart();
        p.model->updateQuery("s");
        bench::report(prefix + "letter_" + round, bench::untilPainted(clock, row, results));
    }
    for (const auto& [name, query] : {std::pair{"next_letter", "sm"}, std::pair{"backspace", "s"}}) {
        bench::idle(bench::kPauseMs);
        bench::PaintWatch results(row, [&] { return p.model->query() == query; });
        clock.restart();
        p.model->updateQuery(query);
        bench::report(prefix + name, bench::untilPainted(clock, row, results));
    }
    return 0;
}

void printTable(const bench::Figures& figures) {
    const auto m = [&](const char* name) { return figures.median(name); };
    bench::printRow("picker: first letter -> results painted", m("picker_letter_first"), "ms",
                    "line edit: first letter echoed", m("echo_first"), "");
    bench::printRow("picker: letter in a later session", m("picker_letter_again"), "ms",
                    "line edit: next letter echoed", m("echo_again"), "");
    bench::printRow("picker: first opening -> painted", m("picker_open_first"), "ms",
                    "window with a line edit opened", m("echo_window_open"), "");
    bench::printRow("picker: opening in a later session", m("picker_open_again"), "ms",
                    "window with a line edit opened", m("echo_window_open"), "");
    bench::printRow("picker: one more letter -> painted", m("picker_next_letter"), "ms",
                    "line edit: next letter echoed", m("echo_again"), "");
    bench::printRow("picker: BackSpace -> painted", m("picker_backspace"), "ms",
                    "line edit: next letter echoed", m("echo_again"), "");
    bench::printRow("10,000 pinned snippets: one more letter", m("pinned_next_letter"), "ms",
                    "no snippets: one more letter", m("picker_next_letter"), "target <= 2x");
    bench::printRow("10,000 pinned snippets: BackSpace", m("pinned_backspace"), "ms",
                    "no snippets: BackSpace", m("picker_backspace"), "target <= 2x");
    std::fflush(stdout);
}

int firstUseTable(int rounds, const std::string& beside) {
    const auto figures = bench::runRoundsBeside({"echo", "picker", "picker_pinned"}, rounds, beside);
    if (!figures) return 1;
    printTable(figures->first);
    if (!beside.empty()) {
        std::printf("beside it, %s:\n", beside.c_str());
        printTable(figures->second);
    }
    return 0;
}

}  // namespace
}  // namespace mosaiko

int main(int argc, char** argv) {
    using namespace mosaiko;
    if (const auto scenario = bench::scenarioOf(argc, argv)) {
        QApplication app(argc, argv);
        SymbolImage::setResourceDirectory(QStringLiteral(MOSAIKO_BINARY_DIR "/resources"));
        if (*scenario == "echo") return bench::echoScenario();
        if (*scenario == "picker") return pickerScenario();
        if (*scenario == "picker_pinned") return pickerScenario(10000);
        return 2;
    }
    bench::CommandLine line(argc, argv);
    if (line.firstUseOnly) return firstUseTable(line.rounds, line.beside);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The offscreen platform says on every show that it cannot raise a window: keep the table legible.
    static const QtMessageHandler previous = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (!message.contains(QLatin1String("does not support raise()"))) previous(type, context, message);
    });
    QApplication app(line.argc(), line.argv());
    SymbolImage::setResourceDirectory(QStringLiteral(MOSAIKO_BINARY_DIR "/resources"));
    benchmark::Initialize(&line.argc(), line.argv());
    benchmark::RegisterBenchmark("LineEditEcho", BM_LineEditEcho)
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(5);
    benchmark::RegisterBenchmark("OneMoreLetter", BM_OneMoreLetter)
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(5);
    benchmark::RegisterBenchmark("OpenOnQuery/smi", BM_OpenOnQuery, std::string("smi"))
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(5);
    benchmark::RegisterBenchmark("OpenOnQuery/empty", BM_OpenOnQuery, std::string())
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(5);
    benchmark::RegisterBenchmark("ArrowKey", BM_ArrowKey)->Unit(benchmark::kMicrosecond)->Repetitions(5);
    RatioReporter reporter("Time as a multiple of a line edit's echo", "echo",
                           [](const std::string&) { return std::optional<std::string>("LineEditEcho"); });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    pickerSlot().reset();
    benchmark::Shutdown();
    return firstUseTable(line.rounds, line.beside);
}
