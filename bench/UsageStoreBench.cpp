// Cost of recording one insertion in the usage store once its history is full (1,000, 5,000 and
// 20,000 events), over the file-backed defaults database and history log. "CPU" is the main
// thread's cost per recording (the defaults file is saved on its own thread). Counters:
//   log_bytes_per_use      bytes appended to (or, when compacting, rewritten in) the history log
//   defaults_file_bytes    size of the defaults file, rewritten at most once per save (so at most
//                          this much per use when uses are far apart)
//   written_per_use_ratio  the two together over the bytes of one history line
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "content/EmojiUsageStore.hpp"
#include "platform/Json.hpp"
#include "platform/Text.hpp"
#include "platform/linux/FileAppendLog.hpp"
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

// Counts what reaches the file.
class CountingLog final : public AppendLog {
  public:
    explicit CountingLog(AppendLog& inner) : inner_(inner) {}
    std::optional<std::string> read() override { return inner_.read(); }
    bool append(std::string_view b) override { return written += b.size(), inner_.append(b); }
    bool replace(std::string_view b) override { return written += b.size(), inner_.replace(b); }
    std::optional<std::string> keepAside() override { return inner_.keepAside(); }
    void remove() override { inner_.remove(); }
    std::size_t written = 0;

  private:
    AppendLog& inner_;
};

// A full history as an earlier version stored it: under its key in the defaults database, which
// the store moves to the log when created.
void seedFullHistory(FileDefaults& defaults, const std::vector<std::string>& texts, std::size_t events,
                     double now) {
    Json history = Json::array();
    Json counts = Json::object();
    for (std::size_t i = 0; i < events; ++i) {
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
    const auto events = static_cast<std::size_t>(state.range(0));
    const auto dir = std::filesystem::temp_directory_path() /
                     ("mosaiko-usage-bench-" + std::to_string(getpid()) + "-" + std::to_string(events));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const auto file = dir / "defaults.json";
    {
        FileDefaults defaults(file);
        FileAppendLog fileLog(dir / "usage-history.jsonl");
        CountingLog log(fileLog);
        const auto texts = sampleTexts();
        seedFullHistory(defaults, texts, events, SystemClock::shared().now());
        EmojiUsageStore::Settings settings;
        settings.maxHistoryEvents = events;
        EmojiUsageStore store(defaults, SystemClock::shared(), settings, &log);
        if (store.history().size() != events) state.SkipWithError("history was not loaded");
        defaults.flush();
        log.written = 0;

        std::size_t i = 0;
        for (auto _ : state) store.recordUsed(texts[(i++ * 13) % texts.size()]);

        defaults.flush();
        const double uses = static_cast<double>(state.iterations());
        const double logPerUse = static_cast<double>(log.written) / uses;
        const double defaultsBytes = static_cast<double>(std::filesystem::file_size(file));
        const double oneLine = static_cast<double>(
            std::string_view(R"({"emoji":"😀","timestamp":1700000000.123456})").size() + 1);
        state.counters["history_events"] = static_cast<double>(store.history().size());
        state.counters["log_bytes_per_use"] = logPerUse;
        state.counters["defaults_file_bytes"] = defaultsBytes;
        state.counters["written_per_use_ratio"] = (logPerUse + defaultsBytes) / oneLine;
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_RecordUsedWithFullHistory)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
