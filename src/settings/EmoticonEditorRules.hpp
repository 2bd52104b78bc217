#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "content/EmojiEntry.hpp"

namespace mosaiko {

class PreferencesStore;

// The rules behind the Emoticon tab: every catalog emoticon in the user's order, each with its
// rank, its shortcode, whether it is hidden and where it can move; moving and hiding write the
// preferences at once.
struct EmoticonEditorRules {
    struct Row {
        EmojiEntry entry;
        std::int64_t rank = 0;  // 1-based
        std::string primaryShortcode;
        bool isHidden = false;
        bool canMoveUp = false;
        bool canMoveDown = false;
    };

    // Every catalog emoticon exactly once, in the normalized stored order.
    static std::vector<EmojiEntry> editableEntries(const std::vector<std::string>& emoticonOrder);
    // The stored hidden ids the catalog knows.
    static std::set<std::string> knownHiddenIDs(const std::set<std::string>& hiddenIDs);
    static std::vector<Row> rows(const std::vector<std::string>& emoticonOrder,
                                 const std::set<std::string>& hiddenIDs);
    // The first shortcode, else the id without "emoticon-".
    static std::string primaryShortcode(const EmojiEntry& entry);

    static std::int64_t visibleCount(const std::vector<EmojiEntry>& entries,
                                     const std::set<std::string>& hiddenIDs);
    static std::int64_t hiddenCount(const std::vector<EmojiEntry>& entries,
                                    const std::set<std::string>& hiddenIDs);

    // `ids` with the first `movingID` swapped with the id `delta` places away; unchanged when it is
    // missing or the other place lies outside the list.
    static std::vector<std::string> reorderedIDs(const std::vector<std::string>& ids,
                                                 const std::string& movingID, std::int64_t delta);

    // Writes the complete normalized order with the move applied (also when nothing moved).
    static void moveEmoticon(PreferencesStore& prefs, const std::string& id, std::int64_t delta);
    // Hides a shown emoticon or shows a hidden one; hidden ids the catalog does not know are dropped.
    static void toggleHidden(PreferencesStore& prefs, const std::string& id);
};

}  // namespace mosaiko
