// What the picker's view model costs per keystroke: its rebuild of the results (search, category and
// tab lists, scope filter, pin order, the list the views are given) beside the floor of any search,
// one pass over every row's lowercase texts with a substring test. On the shipped data (emoji,
// glyphs, emoticons, four pins) and on eight times the emoji, where the cost should grow no faster
// than the floor's. Prints each rebuild as a multiple of its floor (the fastest of five repetitions
// of each).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ManySnippets.hpp"
#include "RatioReporter.hpp"
#include "content/CollectionsStore.hpp"
#include "content/ContentCoordinator.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmojiUsageStore.hpp"
#include "content/EmoticonCatalog.hpp"
#include "content/PreferencesStore.hpp"
#include "picker/PickerViewModel.hpp"
#include "platform/MemoryDefaults.hpp"
#include "platform/Text.hpp"
#include "platform/fake/ManualMainLoop.hpp"
#include "support/MemoryStores.hpp"

namespace mosaiko {
namespace {

constexpr OperatingSystemVersion kSystem{99, 0, 0};

std::vector<EmojiEntry> shippedEmoji() {
    static const EmojiDatabase shipped(AppBundle(std::filesystem::path(MOSAIKO_SOURCE_DIR) / "resources"),
                                       kSystem);
    const auto base = shipped.baseEmojis();
    return {base.begin(), base.end()};
}

// The data file's entries `copies` times over, each copy under ids of its own.
std::vector<EmojiEntry> emojiTimes(int copies) {
    const auto once = shippedEmoji();
    std::vector<EmojiEntry> entries;
    for (int copy = 0; copy < copies; ++copy) {
        for (auto entry : once) {
            if (copy > 0) entry.id += "-" + std::to_string(copy);
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

// The user's own content beside the shipped data: snippets, perhaps all pinned.
struct Snippets {
    int count = 0;
    bool pinned = false;
    auto operator<=>(const Snippets&) const = default;
};

struct Picker : testing::MemoryStores {
    explicit Picker(int copies, Snippets own = {})
        : db(emojiTimes(copies),
             ContentCoordinator::extraEntries(bench::manySnippets(own.count), EmoticonCatalog::defaultOrder(),
                                              {}),
             kSystem) {
        for (const char* id : {"thumbsup", "heart", "fire", "tada"}) collections.togglePinned(id);
        if (own.pinned) bench::pinAll(collections, bench::manySnippets(own.count));
        model = std::make_unique<PickerViewModel>(db, prefs, usage, collections, loop);
        loop.runPending();
        for (const auto& entry : db.emojis()) {
            std::vector<std::string> texts{text::lowercased(entry.name)};
            for (const auto& shortcode : entry.shortcodes) texts.push_back(text::lowercased(shortcode));
            for (const auto& keyword : entry.keywords) texts.push_back(text::lowercased(keyword));
            lowercaseTexts.push_back(std::move(texts));
        }
    }

    EmojiDatabase db;
    std::unique_ptr<PickerViewModel> model;
    std::vector<std::vector<std::string>> lowercaseTexts;
};

Picker& picker(int copies, Snippets own = {}) {
    static std::map<std::pair<int, Snippets>, std::unique_ptr<Picker>> pickers;
    auto& slot = pickers[{copies, own}];
    if (!slot) slot = std::make_unique<Picker>(copies, own);
    return *slot;
}

// Each letter of a word typed in turn, then erased: the rebuild per letter, with the user's
// snippets (pinned or not) beside the shipped data.
void letters(benchmark::State& state, Snippets own) {
    Picker& p = picker(1, own);
    const std::string word = "smile";
    std::vector<std::string> typed;
    for (std::size_t n = 1; n <= word.size(); ++n) typed.push_back(word.substr(0, n));
    for (std::size_t n = word.size() - 1; n > 0; --n) typed.push_back(word.substr(0, n));
    std::size_t i = 0;
    for (auto _ : state) {
        p.model->updateQuery(typed[i++ % typed.size()]);
        benchmark::DoNotOptimize(p.model->results().data());
    }
}

// The view model's answer to a query change.
void rebuild(benchmark::State& state, std::string query, int copies) {
    Picker& p = picker(copies);
    for (auto _ : state) {
        p.model->updateQuery(query);
        benchmark::DoNotOptimize(p.model->results().data());
    }
    state.counters["results"] = static_cast<double>(p.model->results().size());
}

// The floor: every row's texts, lowercased beforehand, tested for the query as a substring.
void substringFloor(benchmark::State& state, std::string query, int copies) {
    Picker& p = picker(copies);
    const std::string q = text::lowercased(query);
    std::size_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (const auto& texts : p.lowercaseTexts) {
            for (const auto& text : texts) {
                if (text.find(q) != std::string::npos) {
                    ++found;
                    break;
                }
            }
        }
        benchmark::DoNotOptimize(found);
    }
    state.counters["rows_found"] = static_cast<double>(found);
}

}  // namespace
}  // namespace mosaiko

int main(int argc, char** argv) {
    using namespace mosaiko;
    benchmark::Initialize(&argc, argv);
    for (const int copies : {1, 8}) {
        for (const std::string query : {"s", "smi", "fla", "red heart"}) {
            const std::string label = query + (copies == 1 ? "" : " x" + std::to_string(copies));
            benchmark::RegisterBenchmark(("Rebuild/" + label).c_str(), rebuild, query, copies)
                ->Unit(benchmark::kMicrosecond)
                ->Repetitions(5);
            benchmark::RegisterBenchmark(("Floor/" + label).c_str(), substringFloor, query, copies)
                ->Unit(benchmark::kMicrosecond)
                ->Repetitions(5);
        }
    }
    const std::pair<const char*, Snippets> pins[] = {
        {"none", {}}, {"10000 snippets", {10000, false}}, {"10000 pinned", {10000, true}}};
    for (const auto& [label, own] : pins) {
        benchmark::RegisterBenchmark((std::string("Letter/") + label).c_str(), letters, own)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(5);
    }
    // Every database built, and each searched once, before anything is timed.
    for (const int copies : {1, 8}) picker(copies).model->updateQuery("s");
    for (const auto& [label, own] : pins) picker(1, own).model->updateQuery("s");
    RatioReporter reporter(
        "Rebuild as a multiple of one substring pass over the same rows' texts, a letter "
        "with the user's snippets as a multiple of one with none",
        "base", [](const std::string& name) -> std::optional<std::string> {
            if (name.rfind("Letter/", 0) == 0) return "Letter/none";
            return RatioReporter::byPrefix("Rebuild/", "Floor/")(name);
        });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
