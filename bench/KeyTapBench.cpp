// Cost of the key tap's handler per keystroke, on the main thread inside the system's tap callback:
// while no search runs (ordinary typing), and during an inline search whose results are rebuilt over
// the full emoji data on every typed character. "time_per_key" is the time of one keystroke, in seconds
// with SI prefixes (u = microseconds).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "content/CollectionsStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmojiUsageStore.hpp"
#include "content/EmoticonCatalog.hpp"
#include "content/GlyphCatalog.hpp"
#include "content/PreferencesStore.hpp"
#include "picker/EmojiInserter.hpp"
#include "picker/GlobalKeyTap.hpp"
#include "picker/PickerController.hpp"
#include "picker/PickerViewModel.hpp"
#include "platform/AppBundle.hpp"
#include "platform/KeyEvent.hpp"
#include "platform/MemoryDefaults.hpp"
#include "platform/Text.hpp"
#include "platform/fake/ManualMainLoop.hpp"
#include "support/MemoryStores.hpp"

namespace {

using namespace mosaiko;

class BenchPort final : public KeyTapPort {
  public:
    void attachToMainLoop() override {}
    void detachFromMainLoop() override {}
    void setEnabled(bool) override {}
};

KeyEvent key(const std::string& c, std::uint16_t keyCode = 0) {
    KeyEvent e;
    e.keyCode = keyCode;
    e.characters = c;
    e.charactersIgnoringModifiers = c;
    return e;
}

std::vector<KeyEvent> typing(const std::string& s) {
    std::vector<KeyEvent> events;
    for (const auto& c : text::characters(s)) events.push_back(key(c, c == " " ? KeyCode::space : 0));
    return events;
}

// The picker over the full data file and the built-in catalogs, fed by a key tap whose port the
// benchmark types into.
struct Picker : testing::MemoryStores {
    Picker()
        : db(AppBundle(std::filesystem::path(MOSAIKO_SOURCE_DIR) / "resources"),
             OperatingSystemVersion{99, 0, 0}) {
        std::vector<EmojiEntry> extra = EmoticonCatalog::allEntries();
        const auto& glyphs = GlyphCatalog::entries();
        extra.insert(extra.end(), glyphs.begin(), glyphs.end());
        db.setExtraEmojis(extra);
        prefs.setPopupDelayMs(0);  // the panel shows, and results rebuild, from the third character on

        keyTap = std::make_shared<GlobalKeyTap>(GlobalKeyTap::Dependencies::overPorts(
            [this](std::uint64_t, KeyTapPort::Callback callback) -> std::unique_ptr<KeyTapPort> {
                portCallback = std::move(callback);
                return std::make_unique<BenchPort>();
            }));
        PickerController::Dependencies d;
        d.now = [this] { return loop.uptime(); };
        d.insertEmoji = [this](const std::string& t, int n) { return inserter.insert(t, n); };
        d.recordUsedEmoji = [](const std::string&) {};
        d.pinnedIDs = [this] { return collections.pinnedIDs(); };
        d.hasEmoticons = [] { return true; };
        d.hasGlyphs = [] { return true; };
        d.frontmostApp = [] {
            return PickerController::Dependencies::FrontmostApp{"org.example.Editor", "Editor", {}};
        };
        d.startKeyTap = [this](GlobalKeyTap::Handler h) { keyTap->start(std::move(h)); };
        d.stopKeyTap = [this] { keyTap->stop(); };
        d.showPanelNearMouse = [] {};
        d.hidePanel = [] {};
        d.ownBundleID = "io.github.mosaiko.Mosaiko";
        auto model = std::make_unique<PickerViewModel>(db, prefs, usage, collections, loop);
        viewModel = model.get();
        controller = std::make_unique<PickerController>(prefs, std::move(model), std::move(d), loop);
        controller->start();
    }

    bool type(const KeyEvent& e) { return portCallback(e); }

    EmojiDatabase db;
    EmojiInserter inserter{[](const SyntheticKeyEvent&) {}};
    KeyTapPort::Callback portCallback;
    std::shared_ptr<GlobalKeyTap> keyTap;
    PickerViewModel* viewModel = nullptr;
    std::unique_ptr<PickerController> controller;
};

void perKey(benchmark::State& state, std::size_t keysPerIteration) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * keysPerIteration));
    state.counters["time_per_key"] =
        benchmark::Counter(static_cast<double>(state.iterations() * keysPerIteration),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_KeystrokeWhileIdle(benchmark::State& state) {
    Picker picker;
    const auto keys = typing("the quick brown fox jumps over the lazy dog, again and again. ");
    for (auto _ : state) {
        for (const auto& e : keys) benchmark::DoNotOptimize(picker.type(e));
    }
    if (picker.controller->session()) state.SkipWithError("ordinary typing started a session");
    perKey(state, keys.size());
    state.counters["entries"] = static_cast<double>(picker.db.emojis().size());
}
BENCHMARK(BM_KeystrokeWhileIdle)->Unit(benchmark::kMicrosecond);

// One inline search per iteration: trigger, query, Escape; results rebuild on every character once
// the query has three.
void BM_KeystrokeInSession(benchmark::State& state, const std::string& query) {
    Picker picker;
    auto keys = typing(";" + query);
    keys.push_back(key("\x1b", KeyCode::escape));
    std::size_t results = 0;
    for (auto _ : state) {
        for (const auto& e : keys) benchmark::DoNotOptimize(picker.type(e));
        results += picker.viewModel->results().size();
        picker.loop.runPending();
    }
    if (results == 0) state.SkipWithError("the search found nothing");
    perKey(state, keys.size());
    state.counters["results"] = static_cast<double>(results) / static_cast<double>(state.iterations());
}
BENCHMARK_CAPTURE(BM_KeystrokeInSession, smiling_face, std::string("smiling face"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_KeystrokeInSession, heart, std::string("heart"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_KeystrokeInSession, food_category, std::string("food"))->Unit(benchmark::kMicrosecond);

// The instant-open sequence: the panel opens on the empty-query list, then one letter is typed.
void BM_InstantOpenAndFirstLetter(benchmark::State& state) {
    Picker picker;
    auto keys = typing(";;h");
    keys.push_back(key("\x1b", KeyCode::escape));
    for (auto _ : state) {
        for (const auto& e : keys) benchmark::DoNotOptimize(picker.type(e));
        picker.loop.advance(1.0);  // keeps the next ";;" from following the last Escape too closely
    }
    perKey(state, keys.size());
}
BENCHMARK(BM_InstantOpenAndFirstLetter)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
