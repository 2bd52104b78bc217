#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "content/EmojiUsageStore.hpp"
#include "platform/Published.hpp"

namespace mosaiko {

// The ranges the statistics list, in the order of the range picker.
enum class StatsRange { allTime, days7, days30 };

// One row of the statistics: a text, its uses in the range and, for the day ranges, the change
// against the window before.
struct StatItem {
    std::string emoji;
    std::int64_t count = 0;
    std::optional<std::int64_t> delta;
    bool operator==(const StatItem&) const = default;
};

struct RankedStatItem {
    std::int64_t rank = 0;
    StatItem item;
    bool operator==(const RankedStatItem&) const = default;
};

// The rules of the statistics window: the items of the selected range, their ranks and texts, and
// the reset. It keeps nothing but the range; every list is computed from the usage store on demand.
class StatsViewModel {
  public:
    static constexpr std::size_t kLimit = 100;
    static constexpr std::array<StatsRange, 3> allRanges = {StatsRange::allTime, StatsRange::days7,
                                                            StatsRange::days30};

    explicit StatsViewModel(EmojiUsageStore& usage) : usage_(usage) {}

    OwnedPublished<StatsRange, StatsViewModel> range{StatsRange::allTime};
    void setRange(StatsRange range);

    EmojiUsageStore& usage() const { return usage_; }
    // The items of the selected range, in the store's order.
    std::vector<StatItem> items() const;
    static std::vector<StatItem> items(const EmojiUsageStore& usage, StatsRange range);
    // Whether there is any usage data to delete.
    bool canReset() const;
    void reset();

    // "All time", "7 days", "30 days"; and back, exactly.
    static std::string_view rawValue(StatsRange range);
    static std::optional<StatsRange> fromRawValue(std::string_view raw);
    // The window of a day range, in seconds.
    static double window(StatsRange range);

    // Dense ranks: equal counts share a rank, the next count takes the next rank.
    static std::vector<RankedStatItem> rankedItems(const std::vector<StatItem>& items);
    // Shown large, as an emoji: at most two characters, none of them blank or a line break.
    static bool usesEmojiPreviewStyle(std::string_view text);
    // "1 use", "0 uses", "12 uses".
    static std::string usageCountLabel(std::int64_t count);
    // "+3", "-2"; empty for no trend or none to show.
    static std::string deltaText(std::optional<std::int64_t> delta);

  private:
    EmojiUsageStore& usage_;
};

}  // namespace mosaiko
