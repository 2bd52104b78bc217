// The library window over the shipped data (emoji, glyphs, emoticons): what each keystroke in its
// search field costs (the search and rebuild of the visible entries, then the redraw of the window)
// and how long the window takes to show the first time (building the view model and the views)
// and again. Runs on Qt's offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <filesystem>
#include <memory>
#include <string>

#include "content/CollectionsStore.hpp"
#include "content/ContentCoordinator.hpp"
#include "content/CustomContentStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmojiUsageStore.hpp"
#include "content/EmoticonCatalog.hpp"
#include "content/PreferencesStore.hpp"
#include "library/LibraryViewModel.hpp"
#include "library/ui/LibraryView.hpp"
#include "platform/MemoryDefaults.hpp"
#include "platform/fake/ManualMainLoop.hpp"
#include "platform/qt/SymbolImage.hpp"

namespace mosaiko {
namespace {

struct Stores {
    Stores()
        : db(AppBundle(std::filesystem::path(MOSAIKO_BINARY_DIR) / "resources"),
             OperatingSystemVersion{99, 0, 0}) {
        db.setExtraEmojis(ContentCoordinator::extraEntries({}, EmoticonCatalog::defaultOrder(), {}));
        for (const char* id : {"thumbsup", "heart", "fire", "tada"}) collections.togglePinned(id);
    }
    ManualMainLoop loop;
    MemoryDefaults defaults;
    PreferencesStore prefs{defaults};
    CollectionsStore collections{defaults};
    EmojiUsageStore usage{defaults, loop};
    CustomContentStore custom{defaults};
    EmojiDatabase db;
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

// A keystroke as the user sees it: the search, the rebuild and the redraw of the window.
void BM_WindowKeystroke(benchmark::State& state) {
    Stores& s = stores();
    LibraryViewModel model(s.db, s.prefs, s.usage, s.collections, s.loop);
    LibraryView view(model, s.custom);
    view.resize(1280, 780);
    view.show();
    settle();
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
    Stores& s = stores();
    LibraryViewModel model(s.db, s.prefs, s.usage, s.collections, s.loop);
    LibraryView view(model, s.custom);
    view.resize(1280, 780);
    view.show();
    settle();
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

}  // namespace
}  // namespace mosaiko

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    mosaiko::SymbolImage::setResourceDirectory(QStringLiteral(MOSAIKO_BINARY_DIR "/resources"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
