// The library window over the shipped data (emoji, glyphs, emoticons): what each keystroke in its
// search field costs (the search and rebuild of the visible entries, then the redraw of the window)
// and how long the window takes to show the first time (building the view model and the views)
// and again, warm, on Qt's offscreen platform, what redrawing its scroll bar costs, and the
// statistics window's opening, warm, empty and full. Then the windows' first use after a fresh
// start, as a user meets it (a new process per figure, on a virtual X server with a window
// manager, Qt's xcb platform): the library's first opening beside the settings window's, its first
// letter typed until the results are painted beside a line edit's echo (and both again, once
// opened before), letters never typed before in the process beside a line edit's next echo, and
// the statistics window opened on a full history of 5,000 events beside the same window empty,
// until first painted and until every row is in place.
// Usage: LibraryBench [--first-use-rounds=N] [--first-use-only] [--first-use-beside=OTHER-BENCH]
//                     [--first-use-empty-cache] [benchmark flags]
// (7 rounds; the other build's bench runs the same scenarios beside; without the cache folder, each
// scenario meets the program's first start, with no emoji drawn in an earlier run)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "app/FakeWorkspace.hpp"
#include "app/WindowControllers.hpp"

#include "ShippedContent.hpp"
#include "content/CollectionsStore.hpp"
#include "content/ContentCoordinator.hpp"
#include "content/CustomContentStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmojiUsageStore.hpp"
#include "content/EmoticonCatalog.hpp"
#include "content/PreferencesStore.hpp"
#include "library/LibraryViewModel.hpp"
#include "library/ui/LibraryEntryGrid.hpp"
#include "library/ui/LibraryView.hpp"
#include "onboarding/ui/StatsView.hpp"
#include "picker/PickerViewModel.hpp"
#include "picker/ui/PickerPanelController.hpp"
#include "platform/Json.hpp"
#include "platform/MemoryDefaults.hpp"
#include "platform/Text.hpp"
#include "platform/fake/FakeScreenInfo.hpp"
#include "platform/fake/ManualMainLoop.hpp"
#include "platform/qt/BandedScrollBarStyle.hpp"
#include "platform/qt/QtMainLoop.hpp"
#include "platform/qt/SymbolImage.hpp"
#include "platform/qt/Typography.hpp"
#include "platform/x11/QtKeyEventReader.hpp"
#include "settings/ui/SettingsView.hpp"
#include "support/MemoryStores.hpp"

// Last: the X headers' macros would clash with names of the headers above.
#include <X11/keysym.h>

#include "FirstUse.hpp"

namespace mosaiko {
namespace {

struct Stores : testing::MemoryStores {
    Stores() { bench::pinFavourites(collections); }
    CustomContentStore custom{defaults};
    bench::ShippedDatabase db;
};

Stores& stores() {
    static Stores shared;
    return shared;
}

// What a user types, one keystroke at a time, then erases.
const std::vector<std::string>& keystrokes() {
    static const std::vector<std::string> typed = [] {
        const std::string word = "thumbs up";
        std::vector<std::string> queries;
        for (std::size_t n = 1; n <= word.size(); ++n) queries.push_back(word.substr(0, n));
        for (std::size_t n = word.size(); n-- > 0;) queries.push_back(word.substr(0, n));
        return queries;
    }();
    return typed;
}

void settle() {
    for (int i = 0; i < 3; ++i) {
        stores().loop.runPending();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// The view model alone: the search and rebuild of the visible entries, per keystroke.
void BM_ModelKeystroke(benchmark::State& state) {
    Stores& s = stores();
    LibraryViewModel model(s.db, s.prefs, s.usage, s.collections, s.loop);
    model.setContentFilter(static_cast<LibraryViewModel::ContentFilter>(state.range(0)));
    std::size_t i = 0;
    for (auto _ : state) {
        model.setSearchQuery(keystrokes()[i++ % keystrokes().size()]);
        benchmark::DoNotOptimize(model.visibleEntries().size());
    }
    state.SetLabel(LibraryViewModel::rawValue(model.contentFilter()) + " tab");
}
BENCHMARK(BM_ModelKeystroke)
    ->Arg(static_cast<int>(LibraryViewModel::ContentFilter::all))
    ->Arg(static_cast<int>(LibraryViewModel::ContentFilter::emoji))
    ->Arg(static_cast<int>(LibraryViewModel::ContentFilter::pins))
    ->Unit(benchmark::kMicrosecond);

// Switching tabs rebuilds the whole list from the stores.
void BM_ModelTabSwitch(benchmark::State& state) {
    Stores& s = stores();
    LibraryViewModel model(s.db, s.prefs, s.usage, s.collections, s.loop);
    bool all = false;
    for (auto _ : state) {
        model.setContentFilter((all = !all) ? LibraryViewModel::ContentFilter::all
                                            : LibraryViewModel::ContentFilter::glyphs);
        benchmark::DoNotOptimize(model.visibleEntries().size());
    }
    state.SetLabel("all <-> glyphs");
}
BENCHMARK(BM_ModelTabSwitch)->Unit(benchmark::kMicrosecond);

// The library window over the shared stores, shown and drawn.
struct ShownLibrary {
    ShownLibrary() {
        view.resize(1280, 780);
        view.show();
        settle();
    }
    LibraryViewModel model{stores().db, stores().prefs, stores().usage, stores().collections, stores().loop};
    LibraryView view{model, stores().custom};
};

// A keystroke as the user sees it: the search, the rebuild and the redraw of the window.
void BM_WindowKeystroke(benchmark::State& state) {
    ShownLibrary shown;
    auto& [model, view] = shown;
    std::size_t i = 0;
    for (auto _ : state) {
        model.setSearchQuery(keystrokes()[i++ % keystrokes().size()]);
        view.refreshNow();
        view.repaint();
    }
}
BENCHMARK(BM_WindowKeystroke)->Unit(benchmark::kMillisecond);

// The first opening: the view model, the views, laying them out and drawing them.
void BM_ShowFirstTime(benchmark::State& state) {
    Stores& s = stores();
    for (auto _ : state) {
        auto model = std::make_unique<LibraryViewModel>(s.db, s.prefs, s.usage, s.collections, s.loop);
        auto view = std::make_unique<LibraryView>(*model, s.custom);
        view->resize(1280, 780);
        view->show();
        view->repaint();
        state.PauseTiming();
        view.reset();
        model.reset();
        settle();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ShowFirstTime)->Unit(benchmark::kMillisecond);

// Opening it again: the kept window is shown and drawn.
void BM_ShowAgain(benchmark::State& state) {
    ShownLibrary shown;
    auto& [model, view] = shown;
    for (auto _ : state) {
        state.PauseTiming();
        view.hide();
        settle();
        state.ResumeTiming();
        model.navigate(LibraryViewModel::BrowseSection::all());
        view.show();
        view.refreshNow();
        view.repaint();
    }
}
BENCHMARK(BM_ShowAgain)->Unit(benchmark::kMillisecond);

// The grid's scroll bar redrawn after its list changed (as after every letter typed), drawn by the
// application's style alone (0) and in bands (1).
void BM_ScrollBarRedraw(benchmark::State& state) {
    QScrollBar bar(Qt::Vertical);
    if (state.range(0) == 1) BandedScrollBarStyle::apply(bar);
    bar.resize(14, 663);
    bar.setPageStep(663);
    QImage target(bar.size(), QImage::Format_ARGB32_Premultiplied);
    int letters = 0;
    for (auto _ : state) {
        bar.setRange(0, 5000 + (++letters * 37) % 5000);
        bar.render(&target);
    }
    state.SetLabel(state.range(0) == 1 ? "in bands" : "application style");
}
BENCHMARK(BM_ScrollBarRedraw)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------- first use after a fresh start

// The stores a window of the running program reads, with the program's own main loop.
struct LiveStores {
    explicit LiveStores(std::size_t historyEvents = 0) {
        bench::pinFavourites(collections);
        if (historyEvents > 0) seedHistory(historyEvents);
        usage = std::make_unique<EmojiUsageStore>(defaults, clock);
        // What the program builds as it starts, before any window opens: the picker's panel
        // (hidden until a search), with the fonts and styles it loads.
        picker = std::make_unique<PickerViewModel>(db, prefs, *usage, collections, loop);
        screens.screenList = {{{0, 0, 1440, 900}, {0, 0, 1440, 875}}};
        panel = std::make_unique<PickerPanelController>(*picker, prefs, collections, screens, [] {
            return ScreenInfo::Rect{0, 0, 1440, 900};
        });
        panel->prepare();
        Typography::warmUp();
        QCoreApplication::processEvents();
    }

    // A history as a long-standing user has it: `events` insertions ten minutes apart (the last
    // five weeks) of 240 texts, emoji with and without skin tones, emoticons and a few longer
    // texts, the most used ones far more often.
    void seedHistory(std::size_t events) {
        std::vector<std::string> texts;
        for (char32_t c = 0x1F600; c < 0x1F600 + 80; ++c) texts.push_back(text::fromScalar(c));
        for (char32_t c = 0x1F330; c < 0x1F330 + 100; ++c) texts.push_back(text::fromScalar(c));
        for (char32_t c = 0x1F466; c < 0x1F466 + 10; ++c) {
            for (char32_t tone = 0x1F3FB; tone <= 0x1F3FF; ++tone)
                texts.push_back(text::fromScalars(std::u32string{c, tone}));
        }
        for (const char* t : {":-)", ";-)", ":D", "¯\\_(ツ)_/¯", "(╯°□°)╯︵ ┻━┻", "( ͡° ͜ʖ ͡°)", "ಠ_ಠ", "→", "✓",
                              "😀😀", "see you\nsoon", "ok 👍"})
            texts.push_back(t);
        Json history = Json::array();
        Json counts = Json::object();
        const double now = clock.now();
        for (std::size_t i = 0; i < events; ++i) {
            // Squared: the first texts take most uses.
            const std::size_t pick = (i * 7919 % 1000) * (i * 7919 % 1000) * texts.size() / 1000000;
            const std::string& t = texts[std::min(pick, texts.size() - 1)];
            history.push_back(Json{{"emoji", t}, {"timestamp", now - static_cast<double>(i) * 600.0}});
            counts[t] = counts.value(t, 0) + 1;
        }
        Json recents = Json::array();
        for (std::size_t i = 0; i < 30; ++i) recents.push_back(texts[i]);
        defaults.set("emojiUsageHistory", DefaultsData{json::dump(history)});
        defaults.set("emojiUsageCounts", DefaultsData{json::dump(counts)});
        defaults.set("emojiUsageRecents", DefaultsData{json::dump(recents)});
    }

    QtMainLoop loop;
    SystemClock clock;
    MemoryDefaults defaults;
    PreferencesStore prefs{defaults};
    CollectionsStore collections{defaults};
    CustomContentStore custom{defaults};
    std::unique_ptr<EmojiUsageStore> usage;
    bench::ShippedDatabase db;
    FakeScreenInfo screens;
    std::unique_ptr<PickerViewModel> picker;
    std::unique_ptr<PickerPanelController> panel;
};

// The library as the program opens it (in front, not focused), its first letter typed once the
// user has clicked into its search field; then closed, opened again and the same letter typed.
// The statistics window built, shown and drawn, warm, on an empty history (0) and a full one (1).
// The stores of the statistics benchmarks, empty and full, made on first use. Torn down by main()
// while the application still exists: the picker's panel among them must not outlive it.
std::map<std::size_t, std::unique_ptr<LiveStores>>& statsStores() {
    static std::map<std::size_t, std::unique_ptr<LiveStores>> stores;
    return stores;
}

void BM_StatsOpen(benchmark::State& state) {
    const std::size_t events = state.range(0) == 1 ? 5000 : 0;
    auto& slot = statsStores()[events];
    if (!slot) slot = std::make_unique<LiveStores>(events);
    LiveStores& s = *slot;
    for (auto _ : state) {
        StatsView view(*s.usage);
        view.show();
        view.repaint();
        state.PauseTiming();
        view.hide();
        state.ResumeTiming();
    }
    state.SetLabel(state.range(0) == 1 ? "5,000 events" : "empty");
}
BENCHMARK(BM_StatsOpen)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The letters the library scenario types after "t", each the first of its kind in the process.
const std::vector<std::pair<KeySym, char>> kNewLetters = {
    {XK_a, 'a'}, {XK_s, 's'}, {XK_m, 'm'}, {XK_c, 'c'}, {XK_h, 'h'}};

int libraryScenario() {
    LiveStores s;
    bench::idle(50);
    QElapsedTimer clock;
    clock.start();
    LibraryViewModel model(s.db, s.prefs, *s.usage, s.collections, s.loop);
    LibraryWindowController controller(model, s.custom);
    LibraryView* view = controller.view();
    QWidget* grid = view->grid()->viewport();
    {
        bench::PaintWatch painted(grid, {});
        controller.orderFrontRegardless();
        bench::report("library_open", bench::untilPainted(clock, grid, painted));
    }
    for (const char* round : {"first", "again"}) {
        if (std::strcmp(round, "again") == 0) {
            controller.orderOut();
            bench::idle(bench::kPauseMs);
            model.setSearchQuery("");
            bench::idle(50);
            bench::PaintWatch painted(grid, {});
            clock.restart();
            model.navigate(LibraryViewModel::BrowseSection::all());
            controller.orderFrontRegardless();
            bench::report("library_open_again", bench::untilPainted(clock, grid, painted));
        }
        if (!bench::focus(view->searchField())) return 1;
        bench::idle(bench::kPauseMs);
        bench::PaintWatch results(grid, [&] { return model.searchQuery() == "t"; });
        clock.restart();
        bench::typeKey(XK_t);
        bench::report(std::string("library_letter_") + round, bench::untilPainted(clock, grid, results));
    }
    // Letters never typed before in this process, each into the emptied field, as a user starts
    // another search.
    for (std::size_t i = 0; i < kNewLetters.size(); ++i) {
        view->searchField()->clear();
        bench::idle(bench::kPauseMs);
        const std::string letter(1, kNewLetters[i].second);
        bench::PaintWatch results(grid, [&] { return model.searchQuery() == letter; });
        clock.restart();
        bench::typeKey(kNewLetters[i].first);
        bench::report("library_letter_new_" + std::to_string(i), bench::untilPainted(clock, grid, results));
    }
    return 0;
}

// The settings window as the program opens it.
int settingsScenario() {
    LiveStores s;
    FakeWorkspace workspace;
    bench::idle(50);
    QElapsedTimer clock;
    clock.start();
    PreferencesWindowController controller;
    SettingsView::Dependencies d;
    d.prefs = &s.prefs;
    d.collections = &s.collections;
    d.custom = &s.custom;
    d.db = &s.db;
    d.workspace = &workspace;
    d.keyEventOf = &QtKeyEventReader::read;
    d.versionText = "1.0 (1)";
    d.companyURL = d.issuesURL = d.featureRequestsURL = "https://example.org/";
    // A shell that does nothing: the opening is measured, not what its controls reach.
    const auto nothing = [](auto&&...) {};
    d.shell.showOnboarding = nothing;
    d.shell.setLibraryShortcutSuspended = nothing;
    d.shell.openUrl = nothing;
    d.shell.observeKeysWhileLibraryShortcutSuspended = nothing;
    d.shell.observeUpdaterStatus = [](auto&&...) { return Cancellable(); };
    auto* layout = new QVBoxLayout(controller.contentHost());
    layout->setContentsMargins(0, 0, 0, 0);
    auto* view = new SettingsView(std::move(d), controller.contentHost());
    layout->addWidget(view);
    bench::PaintWatch painted(view, {});
    controller.showWindow();
    bench::report("settings_open", bench::untilPainted(clock, view, painted));
    return 0;
}

// The statistics window as the program opens it, over a history of `events`.
int statsScenario(std::size_t events) {
    LiveStores s(events);
    bench::idle(50);
    QElapsedTimer clock;
    clock.start();
    StatsRange range = StatsRange::allTime;
    StatsWindowController controller(*s.usage, range);
    bench::PaintWatch painted(controller.view(), {});
    controller.showWindow();
    const std::string kind = events > 0 ? "full" : "empty";
    bench::report("stats_open_" + kind, bench::untilPainted(clock, controller.view(), painted));
    // Settled: every row of the list in place, laid out and drawn.
    StatsView& view = *controller.view();
    const auto rows = StatsViewModel::rankedItems(view.model().items()).size();
    // (Rows are 40 pixels high.)
    if (!bench::runUntil([&] { return view.list()->sizeHint().height() >= static_cast<int>(rows) * 40; }))
        return 1;
    QCoreApplication::processEvents();
    bench::syncWithServer();
    bench::report("stats_settled_" + kind, static_cast<double>(clock.nsecsElapsed()) / 1e6);
    return 0;
}

int runScenario(const std::string& name) {
    if (name == "echo") return bench::echoScenario();
    if (name == "library") return libraryScenario();
    if (name == "settings") return settingsScenario();
    if (name == "stats_empty") return statsScenario(0);
    if (name == "stats_full") return statsScenario(5000);
    std::fprintf(stderr, "no scenario %s\n", name.c_str());
    return 2;
}

void printTable(const bench::Figures& figures) {
    const auto m = [&](const char* name) { return figures.median(name); };
    std::vector<std::string> newLetters;
    for (std::size_t i = 0; i < kNewLetters.size(); ++i)
        newLetters.push_back("library_letter_new_" + std::to_string(i));
    bench::printRow("library: first letter -> results painted", m("library_letter_first"), "ms",
                    "line edit: first letter echoed", m("echo_first"), "target <= 4x");
    bench::printRow("library: a letter never typed before", figures.median(newLetters), "ms",
                    "line edit: next letter echoed", m("echo_again"), "target <= 4x");
    bench::printRow("library opened before: letter -> painted", m("library_letter_again"), "ms",
                    "line edit: next letter echoed", m("echo_again"), "target <= 2x");
    bench::printRow("library: first opening -> painted", m("library_open"), "ms", "settings: first opening",
                    m("settings_open"), "target <= 50 ms");
    bench::printRow("library: opening again -> painted", m("library_open_again"), "ms",
                    "window with a line edit opened", m("echo_window_open"), "");
    bench::printRow("statistics: opening, 5,000 events", m("stats_open_full"), "ms",
                    "statistics: opening, empty", m("stats_open_empty"), "target <= 2x");
    bench::printRow("statistics: settled, 5,000 events", m("stats_settled_full"), "ms",
                    "statistics: settled, empty", m("stats_settled_empty"), "target <= 2x");
    std::fflush(stdout);
}

int firstUseTable(const bench::CommandLine& line) {
    const auto figures = bench::runRoundsBeside({"echo", "library", "settings", "stats_empty", "stats_full"},
                                                line.rounds, line.beside, line.emptyCache);
    if (!figures) return 1;
    printTable(figures->first);
    if (!line.beside.empty()) {
        std::printf("beside it, %s:\n", line.beside.c_str());
        printTable(figures->second);
    }
    return 0;
}

}  // namespace
}  // namespace mosaiko

int main(int argc, char** argv) {
    if (const auto scenario = mosaiko::bench::scenarioOf(argc, argv)) {
        QApplication app(argc, argv);
        mosaiko::SymbolImage::setResourceDirectory(QStringLiteral(MOSAIKO_BINARY_DIR "/resources"));
        return mosaiko::runScenario(*scenario);
    }
    mosaiko::bench::CommandLine line(argc, argv);
    if (!line.firstUseOnly) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        QApplication app(line.argc(), line.argv());
        mosaiko::SymbolImage::setResourceDirectory(QStringLiteral(MOSAIKO_BINARY_DIR "/resources"));
        benchmark::Initialize(&line.argc(), line.argv());
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        mosaiko::statsStores().clear();
    }
    return mosaiko::firstUseTable(line);
}
