#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "content/EmojiEntry.hpp"

namespace mosaiko {

// The built-in text emoticons ("¯\_(ツ)_/¯" and friends): constant rows, their default display
// order, and the rule that turns a user's stored order and hidden set into the visible list.
// Every entry has an id starting with "emoticon-", the category "Emoticons" and no variants.
class EmoticonCatalog {
  public:
    EmoticonCatalog() = delete;

    // Every row, in catalog order.
    static const std::vector<EmojiEntry>& allEntries();
    // Every row id, in the order shown when the user has not rearranged anything.
    static const std::vector<std::string>& defaultOrder();

    // True when a row has exactly this id (case-sensitive).
    static bool isKnownID(std::string_view id);
    // Every row id exactly once: the known ids of `order` in their order (first occurrence wins),
    // then the rest in default order.
    static std::vector<std::string> normalizedOrder(const std::vector<std::string>& order);
    // The visible rows in display order: the normalized order without the hidden ids.
    static std::vector<EmojiEntry> orderedEntries(const std::vector<std::string>& preferredOrder,
                                                  const std::set<std::string>& hiddenIDs);
};

}  // namespace mosaiko
