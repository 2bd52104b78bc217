#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "content/EmojiCollection.hpp"
#include "platform/DefaultsDatabase.hpp"
#include "platform/Published.hpp"

namespace mosaiko {

// The user's pins (ordered ids with an optional search alias each) and named collections, kept
// normalized and written through as one JSON object on every assignment.
//
// Every assignment of a published property, including one made directly by a caller, is announced,
// stored and then written. Every operation ends with normalize(), which assigns each property once
// more (2 + 2 * collections writes) whether or not anything changed. A direct assignment is
// normalized only by the next operation or start.
class CollectionsStore {
  public:
    static constexpr const char* defaultStorageKey = "emojiCollectionsV1";

    // Loads the stored state (missing or undecodable state starts empty; undecodable bytes are kept
    // aside first), then normalizes, which writes the state back, unless the state read is already
    // normal: then nothing is written.
    explicit CollectionsStore(DefaultsDatabase& defaults, std::string storageKey = defaultStorageKey);
    CollectionsStore(const CollectionsStore&) = delete;
    CollectionsStore& operator=(const CollectionsStore&) = delete;

    Published<std::vector<std::string>> pinnedIDs;
    Published<std::map<std::string, std::string>> pinAliasesByID;
    Published<std::vector<EmojiCollection>> collections;

    // Pins an unpinned id at the end, or unpins a pinned id together with its alias.
    void togglePinned(const std::string& id);
    // Sets (trimmed) or, for a blank alias, clears the alias of a pinned id; ignores unpinned ids.
    void setPinnedAlias(const std::string& alias, const std::string& id);
    // Moves a pinned id by `offset` places; a move past either end is ignored, not clamped.
    void movePinned(const std::string& id, std::int64_t offset);
    // Each pinned id with an alias, mapped to its alias (the search scores it like a shortcode).
    std::map<std::string, std::vector<std::string>> extraSearchTermsByItemID() const;

    const std::string& storageKey() const { return storageKey_; }

  private:
    void persist();
    void normalize();
    static std::vector<std::string> unique(const std::vector<std::string>& ids);
    // Whether normalizing would leave these ids and their aliases as they are.
    static bool normalizedAlready(const std::vector<std::string>& ids,
                                  const std::map<std::string, std::string>& aliases);
    static std::map<std::string, std::string> normalizedAliases(
        const std::map<std::string, std::string>& aliases, const std::vector<std::string>& allowedIDs);

    DefaultsDatabase& defaults_;
    std::string storageKey_;
};

}  // namespace mosaiko
