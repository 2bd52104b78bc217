#include "onboarding/StatsViewModel.hpp"

#include "platform/Text.hpp"

namespace mosaiko {

void StatsViewModel::setRange(StatsRange value) {
    if (value != range()) range.set(value);
}

std::vector<StatItem> StatsViewModel::items() const {
    return items(usage_, range());
}

std::vector<StatItem> StatsViewModel::items(const EmojiUsageStore& usage, StatsRange range) {
    std::vector<StatItem> items;
    if (range == StatsRange::allTime) {
        for (auto& row : usage.topEmojis(kLimit))
            items.push_back({std::move(row.emoji), row.count, std::nullopt});
        return items;
    }
    for (auto& row : usage.topEmojisWithTrend(kLimit, window(range))) {
        items.push_back({std::move(row.emoji), row.count, row.delta});
    }
    return items;
}

bool StatsViewModel::canReset() const {
    return !usage_.counts().empty() || !usage_.recents().empty() || !usage_.history().empty();
}

void StatsViewModel::reset() {
    usage_.resetAll();
}

std::string_view StatsViewModel::rawValue(StatsRange range) {
    switch (range) {
        case StatsRange::allTime:
            return "All time";
        case StatsRange::days7:
            return "7 days";
        case StatsRange::days30:
            break;
    }
    return "30 days";
}

std::optional<StatsRange> StatsViewModel::fromRawValue(std::string_view raw) {
    for (const StatsRange range : allRanges) {
        if (rawValue(range) == raw) return range;
    }
    return std::nullopt;
}

double StatsViewModel::window(StatsRange range) {
    constexpr double kDay = 86400;
    return range == StatsRange::days7 ? 7 * kDay : 30 * kDay;
}

std::vector<RankedStatItem> StatsViewModel::rankedItems(const std::vector<StatItem>& items) {
    std::vector<RankedStatItem> ranked;
    ranked.reserve(items.size());
    for (const auto& item : items) {
        std::int64_t rank = 1;
        if (!ranked.empty()) {
            const auto& before = ranked.back();
            rank = item.count == before.item.count ? before.rank : before.rank + 1;
        }
        ranked.push_back({rank, item});
    }
    return ranked;
}

bool StatsViewModel::usesEmojiPreviewStyle(std::string_view text) {
    const auto characters = text::characters(text);
    if (characters.size() > 2) return false;
    for (const auto& character : characters) {
        // A character is blank when it starts with a White_Space scalar ("\r\n" is one character).
        if (text::isWhitespace(text::firstScalar(character))) return false;
    }
    return true;
}

std::string StatsViewModel::usageCountLabel(std::int64_t count) {
    return std::to_string(count) + (count == 1 ? " use" : " uses");
}

std::string StatsViewModel::deltaText(std::optional<std::int64_t> delta) {
    if (!delta || *delta == 0) return {};
    return (*delta > 0 ? "+" : "") + std::to_string(*delta);
}

}  // namespace mosaiko
