#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace mosaiko {

class EmojiDatabase;

// The rules behind the pins management screen: what each pin row shows and how tall the list is.
struct CollectionsManageRules {
    // What one pin row shows.
    struct PinItemState {
        std::string itemID;
        std::string emoji;  // "•" when no entry carries the id
        std::string name;   // the id itself when no entry carries it
        std::string alias;  // "" without an alias
        std::int64_t index = 0;
        std::int64_t totalCount = 0;

        bool canMoveUp() const { return index >= 1; }
        bool canMoveDown() const { return index < totalCount - 1; }
        bool operator==(const PinItemState&) const = default;
    };

    static constexpr double standaloneListHeight = 380;
    static constexpr double standaloneWidth = 700;
    static constexpr double standaloneHeight = 600;

    // One state per pinned id, in pin order; none is skipped.
    static std::vector<PinItemState> pinItemStates(const std::vector<std::string>& pinnedIDs,
                                                   const std::map<std::string, std::string>& aliasesByID,
                                                   const EmojiDatabase& db);
    // The embedded list's height for the height available to the screen: never below 320.
    static double embeddedListHeight(double availableHeight);
    // The embedded content's minimum height: the available height less the padding above and below.
    static double embeddedContentMinimumHeight(double availableHeight);
};

}  // namespace mosaiko
