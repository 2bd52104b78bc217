// Search on the shipped emoji data (plus whatever extra entries the program adds): loading, the index
// rebuild, and keystroke-sized queries beside a bare case-insensitive substring scan of the same
// rows' names, shortcodes and keywords. Prints each search's time as a multiple of that scan's.
// The picker asks for its best hundred; the library (all tab, all section) for every match, and
// its figure is the whole rebuild of its visible entries for a letter typed into an empty field.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "RatioReporter.hpp"
#include "content/ContentCoordinator.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmoticonCatalog.hpp"
#include "library/LibraryViewModel.hpp"
#include "platform/Text.hpp"
#include "support/MemoryStores.hpp"

namespace mosaiko {
namespace {

const AppBundle& bundle() {
    static const AppBundle shipped(std::filesystem::path(MOSAIKO_SOURCE_DIR) / "resources");
    return shipped;
}

constexpr OperatingSystemVersion kSystem{99, 0, 0};
constexpr int kLimit = 100;

EmojiDatabase& database() {
    static EmojiDatabase db(bundle(), kSystem);
    static const bool withExtras = [] {
        db.setExtraEmojis(ContentCoordinator::extraEntries({}, EmoticonCatalog::defaultOrder(), {}));
        return true;
    }();
    (void)withExtras;
    return db;
}

// The rows' searchable texts, lowercased once.
struct BaselineRow {
    std::vector<std::string> texts;
};

const std::vector<BaselineRow>& baselineRows() {
    static const auto rows = [] {
        std::vector<BaselineRow> result;
        for (const auto& entry : database().emojis()) {
            BaselineRow row;
            row.texts.push_back(text::lowercased(entry.name));
            for (const auto& shortcode : entry.shortcodes) row.texts.push_back(text::lowercased(shortcode));
            for (const auto& keyword : entry.keywords) row.texts.push_back(text::lowercased(keyword));
            result.push_back(std::move(row));
        }
        return result;
    }();
    return rows;
}

std::vector<std::size_t> baselineSearch(std::string_view query) {
    const auto q = text::lowercased(text::trimmed(query));
    std::vector<std::size_t> found;
    const auto& rows = baselineRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        for (const auto& text : rows[i].texts) {
            if (text.find(q) != std::string::npos) {
                found.push_back(i);
                break;
            }
        }
    }
    return found;
}

void loadDataFile(benchmark::State& state) {
    for (auto _ : state) {
        EmojiDatabase db(bundle(), kSystem);
        benchmark::DoNotOptimize(db.entryAtRow(0));
    }
}

// Every row built afresh, without reading the file.
void buildIndex(benchmark::State& state) {
    const auto shipped = database().baseEmojis();
    const std::vector<EmojiEntry> base(shipped.begin(), shipped.end());
    const auto extras = ContentCoordinator::extraEntries({}, EmoticonCatalog::defaultOrder(), {});
    for (auto _ : state) {
        EmojiDatabase db(base, extras, kSystem);
        benchmark::DoNotOptimize(db.entryAtRow(0));
    }
}

// What a change of the snippets or emoticon preferences costs: the rows of unchanged entries stay.
void rebuildIndex(benchmark::State& state) {
    auto& db = database();
    auto extras = ContentCoordinator::extraEntries({}, EmoticonCatalog::defaultOrder(), {});
    for (auto _ : state) {
        db.setExtraEmojis(extras);
        benchmark::DoNotOptimize(db.entryAtRow(0));
    }
    state.counters["rows"] = static_cast<double>(db.index().size());
}

void search(benchmark::State& state, std::string query) {
    auto& db = database();
    std::size_t results = 0;
    for (auto _ : state) {
        const auto found = db.search(query, kLimit);
        results = found.size();
        benchmark::DoNotOptimize(found.data());
    }
    state.counters["results"] = static_cast<double>(results);
}

// The field emptied (not timed), then `query` typed into it: one rebuild of the visible entries.
void library(benchmark::State& state, std::string query) {
    testing::MemoryStores stores;
    for (const char* id : {"thumbsup", "heart", "fire", "tada"}) stores.collections.togglePinned(id);
    LibraryViewModel model(database(), stores.prefs, stores.usage, stores.collections, stores.loop);
    for (auto _ : state) {
        state.PauseTiming();
        model.setSearchQuery("");
        state.ResumeTiming();
        model.setSearchQuery(query);
    }
    state.counters["results"] = static_cast<double>(model.visibleEntries().size());
}

void baseline(benchmark::State& state, std::string query) {
    std::size_t results = 0;
    for (auto _ : state) {
        const auto found = baselineSearch(query);
        results = found.size();
        benchmark::DoNotOptimize(found.data());
    }
    state.counters["results"] = static_cast<double>(results);
}

}  // namespace
}  // namespace mosaiko

int main(int argc, char** argv) {
    using namespace mosaiko;
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("Load/file+index", loadDataFile)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Load/index", buildIndex)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Load/rebuild", rebuildIndex)->Unit(benchmark::kMillisecond);
    const std::vector<std::pair<std::string, std::string>> queries{{"1char", "s"},
                                                                   {"3chars", "smi"},
                                                                   {"6chars", "smilin"},
                                                                   {"two_words", "red heart"},
                                                                   {"no_match", "qzxwv"}};
    for (const auto& [label, query] : queries) {
        benchmark::RegisterBenchmark(("Search/" + label).c_str(), search, query)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("Baseline/" + label).c_str(), baseline, query)
            ->Unit(benchmark::kMicrosecond);
    }
    for (const std::string query : {"t", "th"}) {
        benchmark::RegisterBenchmark(("Library/" + query).c_str(), library, query)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("Baseline/" + query).c_str(), baseline, query)
            ->Unit(benchmark::kMicrosecond);
    }
    const auto searchBaseline = RatioReporter::byPrefix("Search/", "Baseline/");
    const auto libraryBaseline = RatioReporter::byPrefix("Library/", "Baseline/");
    RatioReporter reporter("Search time as a multiple of the substring scan (same rows, same query)",
                           "baseline", [&](const std::string& name) {
                               const auto base = searchBaseline(name);
                               return base ? base : libraryBaseline(name);
                           });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
