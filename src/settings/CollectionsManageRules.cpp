#include "settings/CollectionsManageRules.hpp"

#include <algorithm>

#include "content/EmojiDatabase.hpp"

namespace mosaiko {

std::vector<CollectionsManageRules::PinItemState> CollectionsManageRules::pinItemStates(
    const std::vector<std::string>& pinnedIDs, const std::map<std::string, std::string>& aliasesByID,
    const EmojiDatabase& db) {
    std::vector<PinItemState> states;
    states.reserve(pinnedIDs.size());
    const auto count = static_cast<std::int64_t>(pinnedIDs.size());
    for (std::int64_t i = 0; i < count; ++i) {
        const std::string& id = pinnedIDs[static_cast<std::size_t>(i)];
        PinItemState state{id, "\u2022", id, "", i, count};
        if (const auto entry = db.entryForID(id)) {
            state.emoji = entry->emoji;
            state.name = entry->name;
        }
        if (const auto alias = aliasesByID.find(id); alias != aliasesByID.end()) state.alias = alias->second;
        states.push_back(std::move(state));
    }
    return states;
}

double CollectionsManageRules::embeddedListHeight(double availableHeight) {
    return std::max(availableHeight - 245, 320.0);
}

double CollectionsManageRules::embeddedContentMinimumHeight(double availableHeight) {
    return std::max(availableHeight - 32, 0.0);
}

}  // namespace mosaiko
