#include "settings/EmoticonEditorRules.hpp"

#include <algorithm>
#include <map>

#include "content/EmoticonCatalog.hpp"
#include "content/PreferencesStore.hpp"

namespace mosaiko {

std::vector<EmojiEntry> EmoticonEditorRules::editableEntries(const std::vector<std::string>& emoticonOrder) {
    std::map<std::string, const EmojiEntry*> byID;
    for (const auto& entry : EmoticonCatalog::allEntries()) byID.emplace(entry.id, &entry);
    std::vector<EmojiEntry> entries;
    for (const auto& id : EmoticonCatalog::normalizedOrder(emoticonOrder)) {
        if (const auto it = byID.find(id); it != byID.end()) entries.push_back(*it->second);
    }
    return entries;
}

std::set<std::string> EmoticonEditorRules::knownHiddenIDs(const std::set<std::string>& hiddenIDs) {
    std::set<std::string> known;
    for (const auto& id : hiddenIDs) {
        if (EmoticonCatalog::isKnownID(id)) known.insert(id);
    }
    return known;
}

std::vector<EmoticonEditorRules::Row> EmoticonEditorRules::rows(const std::vector<std::string>& emoticonOrder,
                                                                const std::set<std::string>& hiddenIDs) {
    const auto entries = editableEntries(emoticonOrder);
    const auto hidden = knownHiddenIDs(hiddenIDs);
    const auto count = static_cast<std::int64_t>(entries.size());
    std::vector<Row> result;
    result.reserve(entries.size());
    for (std::int64_t i = 0; i < count; ++i) {
        const EmojiEntry& entry = entries[static_cast<std::size_t>(i)];
        result.push_back(
            {entry, i + 1, primaryShortcode(entry), hidden.contains(entry.id), i > 0, i < count - 1});
    }
    return result;
}

std::string EmoticonEditorRules::primaryShortcode(const EmojiEntry& entry) {
    if (!entry.shortcodes.empty()) return entry.shortcodes.front();
    std::string id = entry.id;
    const std::string prefix = "emoticon-";
    for (auto at = id.find(prefix); at != std::string::npos; at = id.find(prefix, at))
        id.erase(at, prefix.size());
    return id;
}

std::int64_t EmoticonEditorRules::visibleCount(const std::vector<EmojiEntry>& entries,
                                               const std::set<std::string>& hiddenIDs) {
    return std::count_if(entries.begin(), entries.end(),
                         [&](const EmojiEntry& entry) { return !hiddenIDs.contains(entry.id); });
}

std::int64_t EmoticonEditorRules::hiddenCount(const std::vector<EmojiEntry>& entries,
                                              const std::set<std::string>& hiddenIDs) {
    return static_cast<std::int64_t>(entries.size()) - visibleCount(entries, hiddenIDs);
}

std::vector<std::string> EmoticonEditorRules::reorderedIDs(const std::vector<std::string>& ids,
                                                           const std::string& movingID, std::int64_t delta) {
    const auto found = std::find(ids.begin(), ids.end(), movingID);
    if (found == ids.end()) return ids;
    const auto from = found - ids.begin();
    const auto to = from + delta;
    if (to < 0 || to >= static_cast<std::int64_t>(ids.size())) return ids;
    auto result = ids;
    std::swap(result[static_cast<std::size_t>(from)], result[static_cast<std::size_t>(to)]);
    return result;
}

void EmoticonEditorRules::moveEmoticon(PreferencesStore& prefs, const std::string& id, std::int64_t delta) {
    prefs.setEmoticonOrder(reorderedIDs(EmoticonCatalog::normalizedOrder(prefs.emoticonOrder()), id, delta));
}

void EmoticonEditorRules::toggleHidden(PreferencesStore& prefs, const std::string& id) {
    auto hidden = knownHiddenIDs(prefs.hiddenEmoticonIDs());
    if (!hidden.erase(id)) hidden.insert(id);
    prefs.setHiddenEmoticonIDs(std::move(hidden));
}

}  // namespace mosaiko
