// Cost of recording one insertion in the usage store once its history is full (5,000 events),
// over the file-backed defaults database. "CPU" is the main thread's cost per recording (the
// database saves the file on its own thread); the counters give the size of the written file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "content/EmojiUsageStore.hpp"
#include "platform/Json.hpp"
#include "platform/Text.hpp"
#include "platform/linux/FileDefaults.hpp"

namespace {

using namespace mosaiko;

// 200 distinct texts: plain emoji and skin-toned ones.
std::vector<std::string> sampleTexts() {
    std::vector<std::string> texts;
    for (char32_t c = 0x1F600; c < 0x1F600 + 100; ++c) texts.push_back(text::fromScalar(c));
    for (char32_t c = 0x1F466; c < 0x1F466 + 20; ++c) {
        for (char32_t tone = 0x1F3FB; tone <= 0x1F3FF; ++tone)
            texts.push_back(text::fromScalars(std::u32string{c, tone}));
    }
    return texts;
}

void seedFullHistory(FileDefaults& defaults, const std::vector<std::string>& texts, double now) {
    Json history = Json::array();
    Json counts = Json::object();
    for (std::size_t i = 0; i < 5000; ++i) {
        const auto& t = texts[(i * 7) % texts.size()];
        history.push_back(Json{{"emoji", t}, {"timestamp", now - static_cast<double>(i) * 60.0}});
        counts[t] = counts.value(t, 0) + 1;
    }
    Json recents = Json::array();
    for (std::size_t i = 0; i < 50; ++i) recents.push_back(texts[i]);
    defaults.set("emojiUsageHistory", DefaultsData{json::dump(history)});
    defaults.set("emojiUsageCounts", DefaultsData{json::dump(counts)});
    defaults.set("emojiUsageRecents", DefaultsData{json::dump(recents)});
}

void BM_RecordUsedWithFullHistory(benchmark::State& state) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("mosaiko-usage-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const auto file = dir / "defaults.json";
    {
        FileDefaults defaults(file);
        const auto texts = sampleTexts();
        seedFullHistory(defaults, texts, SystemClock::shared().now());
        EmojiUsageStore store(defaults, SystemClock::shared());
        if (store.history().size() != 5000) state.SkipWithError("history was not loaded");

        std::size_t i = 0;
        for (auto _ : state) {
            store.recordUsed(texts[(i++ * 13) % texts.size()]);
        }

        defaults.flush();
        state.counters["history_events"] = static_cast<double>(store.history().size());
        state.counters["history_json_bytes"] =
            static_cast<double>(defaults.data("emojiUsageHistory").value_or("").size());
        state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(file));
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_RecordUsedWithFullHistory)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
