#include "content/CollectionsStore.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <unordered_set>

#include "content/DecodingError.hpp"
#include "platform/Json.hpp"
#include "platform/JsonReader.hpp"
#include "platform/Text.hpp"

namespace mosaiko {

namespace {

constexpr std::size_t kNoPosition = SIZE_MAX;

struct Stored {
    std::vector<std::string> pinnedIDs;
    std::map<std::string, std::string> pinAliasesByID;
    std::vector<EmojiCollection> collections;
};

// The state as the program writes it, read straight from its text (10,000 pins in about a
// millisecond); the general reader decides on any other text.
std::optional<Stored> readWrittenState(std::string_view bytes) {
    JsonReader reader(bytes);
    Stored stored;
    const bool read =
        reader.object({{"pinnedIDs", [&] { return reader.readStringArray(stored.pinnedIDs); }, false},
                       {"pinAliasesByID", [&] { return reader.readStringMap(stored.pinAliasesByID); }, false},
                       {"collections",
                        [&] {
                            return reader.array([&] {
                                return EmojiCollection::read(reader, stored.collections.emplace_back());
                            });
                        },
                        false}});
    if (!read || !reader.atEnd()) return std::nullopt;
    return stored;
}

// Every key is optional (null counts as missing); a present key of the wrong shape makes the whole
// state undecodable.
std::optional<Stored> decodeStored(const std::string& bytes) {
    if (auto stored = readWrittenState(bytes)) return stored;
    auto json = json::parse(bytes);
    if (!json || !json->is_object()) return std::nullopt;
    Stored stored;
    if (auto it = json->find("pinnedIDs"); it != json->end() && !it->is_null()) {
        auto ids = json::stringArray(*it);
        if (!ids) return std::nullopt;
        stored.pinnedIDs = std::move(*ids);
    }
    if (auto it = json->find("pinAliasesByID"); it != json->end() && !it->is_null()) {
        auto aliases = json::stringMap(*it);
        if (!aliases) return std::nullopt;
        stored.pinAliasesByID = std::move(*aliases);
    }
    if (auto it = json->find("collections"); it != json->end() && !it->is_null()) {
        if (!it->is_array()) return std::nullopt;
        try {
            for (const auto& element : *it) stored.collections.push_back(EmojiCollection::fromJson(element));
        } catch (const DecodingError&) {
            return std::nullopt;
        }
    }
    return stored;
}

// The ids of a list met so far, by their positions in an open-addressed table: a set that made a
// node of each of a user's 10,000 pins cost more than the rest of reading them at start.
class SeenIDs {
  public:
    explicit SeenIDs(const std::vector<std::string>& ids)
        : ids_(ids), mask_(std::bit_ceil(ids.size() * 2 + 1) - 1), positions_(mask_ + 1, kNoPosition) {}

    // Whether the id at `i` came earlier in the list; noted as met when not.
    bool metBefore(std::size_t i) {
        std::size_t slot = std::hash<std::string>{}(ids_[i]) & mask_;
        while (positions_[slot] != kNoPosition && ids_[positions_[slot]] != ids_[i])
            slot = (slot + 1) & mask_;
        if (positions_[slot] != kNoPosition) return true;
        positions_[slot] = i;
        return false;
    }

  private:
    const std::vector<std::string>& ids_;
    std::size_t mask_;
    std::vector<std::size_t> positions_;
};

}  // namespace

CollectionsStore::CollectionsStore(DefaultsDatabase& defaults, std::string storageKey)
    : defaults_(defaults), storageKey_(std::move(storageKey)) {
    std::optional<Stored> stored;
    if (auto bytes = defaults_.data(storageKey_)) stored = decodeStored(*bytes);
    // State read whole and already normal is left as it is: writing it back would change nothing the
    // user has, yet wrote all of a user's 10,000 pins twice before the keyboard was listened to.
    bool normal = false;
    if (stored) {
        normal = normalizedAlready(stored->pinnedIDs, stored->pinAliasesByID) &&
                 std::all_of(stored->collections.begin(), stored->collections.end(),
                             [](const EmojiCollection& collection) {
                                 return normalizedAlready(collection.itemIDs, collection.itemAliasesByID);
                             });
        // Nobody is subscribed yet and the hooks are not installed: this only fills in the values.
        pinnedIDs.set(std::move(stored->pinnedIDs));
        pinAliasesByID.set(std::move(stored->pinAliasesByID));
        collections.set(std::move(stored->collections));
    } else {
        // Normalizing writes the empty state over whatever is there; keep unreadable state aside.
        defaults_.preserveUndecodable(storageKey_);
    }
    pinnedIDs.setDidSet([this](const auto&) { persist(); });
    pinAliasesByID.setDidSet([this](const auto&) { persist(); });
    collections.setDidSet([this](const auto&) { persist(); });
    if (!normal) normalize();
}

void CollectionsStore::persist() {
    // The text the JSON writer makes of the state (its keys in order), written without copying the
    // pins into a tree first: a start with 10,000 pins wrote them twice before the keyboard was
    // listened to.
    std::string text = "{\"collections\":[";
    for (const auto& collection : collections()) {
        if (text.back() != '[') text += ',';
        text += json::dump(collection.toJson());
    }
    text += "],\"pinAliasesByID\":{";
    for (const auto& [id, alias] : pinAliasesByID()) {
        if (text.back() != '{') text += ',';
        json::appendString(text, id);
        text += ':';
        json::appendString(text, alias);
    }
    text += "},\"pinnedIDs\":[";
    for (const auto& id : pinnedIDs()) {
        if (text.back() != '[') text += ',';
        json::appendString(text, id);
    }
    text += "]}";
    defaults_.set(storageKey_, DefaultsData{std::move(text)});
}

std::vector<std::string> CollectionsStore::unique(const std::vector<std::string>& ids) {
    SeenIDs seen(ids);
    std::vector<std::string> result;
    result.reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (!seen.metBefore(i)) result.push_back(ids[i]);
    }
    return result;
}

bool CollectionsStore::normalizedAlready(const std::vector<std::string>& ids,
                                         const std::map<std::string, std::string>& aliases) {
    SeenIDs seen(ids);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (seen.metBefore(i)) return false;
    }
    return aliases.empty() || normalizedAliases(aliases, ids) == aliases;
}

std::map<std::string, std::string> CollectionsStore::normalizedAliases(
    const std::map<std::string, std::string>& aliases, const std::vector<std::string>& allowedIDs) {
    std::map<std::string, std::string> result;
    if (aliases.empty()) return result;
    const std::unordered_set<std::string_view> allowed(allowedIDs.begin(), allowedIDs.end());
    for (const auto& [id, alias] : aliases) {
        if (!allowed.contains(id)) continue;
        auto trimmedAlias = text::trimmed(alias);
        if (!trimmedAlias.empty()) result.emplace(id, std::move(trimmedAlias));
    }
    return result;
}

void CollectionsStore::normalize() {
    pinnedIDs.set(unique(pinnedIDs()));
    pinAliasesByID.set(normalizedAliases(pinAliasesByID(), pinnedIDs()));
    for (std::size_t i = 0; i < collections().size(); ++i) {
        auto withUniqueItems = collections();
        withUniqueItems[i].itemIDs = unique(withUniqueItems[i].itemIDs);
        collections.set(std::move(withUniqueItems));
        if (i >= collections().size()) break;  // a subscriber replaced the list meanwhile
        auto withAliases = collections();
        withAliases[i].itemAliasesByID =
            normalizedAliases(withAliases[i].itemAliasesByID, withAliases[i].itemIDs);
        collections.set(std::move(withAliases));
    }
}

void CollectionsStore::togglePinned(const std::string& id) {
    auto pins = pinnedIDs();
    if (auto it = std::find(pins.begin(), pins.end(), id); it != pins.end()) {
        pins.erase(it);
        pinnedIDs.set(std::move(pins));
        auto aliases = pinAliasesByID();
        aliases.erase(id);
        pinAliasesByID.set(std::move(aliases));
    } else {
        pins.push_back(id);
        pinnedIDs.set(std::move(pins));
    }
    normalize();
}

void CollectionsStore::setPinnedAlias(const std::string& alias, const std::string& id) {
    const auto& pins = pinnedIDs();
    if (std::find(pins.begin(), pins.end(), id) == pins.end()) return;
    auto aliases = pinAliasesByID();
    if (auto trimmedAlias = text::trimmed(alias); !trimmedAlias.empty()) {
        aliases.insert_or_assign(id, std::move(trimmedAlias));
    } else {
        aliases.erase(id);
    }
    pinAliasesByID.set(std::move(aliases));
    normalize();
}

void CollectionsStore::movePinned(const std::string& id, std::int64_t offset) {
    auto pins = pinnedIDs();
    auto it = std::find(pins.begin(), pins.end(), id);
    if (it == pins.end()) return;
    const auto from = static_cast<std::int64_t>(it - pins.begin());
    const auto count = static_cast<std::int64_t>(pins.size());
    // Compared without forming from + offset, which could overflow for extreme offsets.
    if (offset < -from || offset >= count - from) return;
    pins.erase(it);
    pinnedIDs.set(std::move(pins));
    // Inserted into the list as it now stands (a subscriber may have assigned another one).
    auto shortened = pinnedIDs();
    const auto to = std::min<std::int64_t>(from + offset, static_cast<std::int64_t>(shortened.size()));
    shortened.insert(shortened.begin() + to, id);
    pinnedIDs.set(std::move(shortened));
    normalize();
}

std::map<std::string, std::vector<std::string>> CollectionsStore::extraSearchTermsByItemID() const {
    std::map<std::string, std::vector<std::string>> terms;
    const auto& aliases = pinAliasesByID();
    for (const auto& id : pinnedIDs()) {
        auto alias = aliases.find(id);
        if (alias == aliases.end() || alias->second.empty()) continue;
        auto& list = terms[id];
        if (std::find(list.begin(), list.end(), alias->second) == list.end()) list.push_back(alias->second);
    }
    return terms;
}

}  // namespace mosaiko
