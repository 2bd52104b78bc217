#include "content/ContentCoordinator.hpp"

#include <iterator>

#include "content/EmoticonCatalog.hpp"
#include "content/GlyphCatalog.hpp"

namespace mosaiko {

ContentCoordinator::ContentCoordinator(EmojiDatabase& db, CustomContentStore& custom, PreferencesStore& prefs)
    : db_(db), custom_(custom), prefs_(prefs) {}

void ContentCoordinator::start() {
    cancellables_.clear();
    cancellables_.push_back(custom_.snippets.observe([this](const std::vector<CustomSnippet>& snippets) {
        refresh(snippets, prefs_.emoticonOrder(), prefs_.hiddenEmoticonIDs());
    }));
    cancellables_.push_back(prefs_.emoticonOrder.observe([this](const std::vector<std::string>& order) {
        refresh(custom_.snippets(), order, prefs_.hiddenEmoticonIDs());
    }));
    cancellables_.push_back(prefs_.hiddenEmoticonIDs.observe([this](const std::set<std::string>& hidden) {
        refresh(custom_.snippets(), prefs_.emoticonOrder(), hidden);
    }));
    refresh(custom_.snippets(), prefs_.emoticonOrder(), prefs_.hiddenEmoticonIDs());
}

void ContentCoordinator::refresh(const std::vector<CustomSnippet>& snippets,
                                 const std::vector<std::string>& emoticonOrder,
                                 const std::set<std::string>& hiddenEmoticonIDs) {
    db_.setExtraEmojis(extraEntries(snippets, emoticonOrder, hiddenEmoticonIDs));
}

std::vector<EmojiEntry> ContentCoordinator::extraEntries(const std::vector<CustomSnippet>& snippets,
                                                         const std::vector<std::string>& emoticonOrder,
                                                         const std::set<std::string>& hiddenEmoticonIDs) {
    const auto& glyphs = GlyphCatalog::entries();
    auto emoticons = EmoticonCatalog::orderedEntries(emoticonOrder, hiddenEmoticonIDs);
    // Made in place: a user's 10,000 snippets are megabytes of entries, which moving them into
    // the list from one of their own cost as much as making them.
    std::vector<EmojiEntry> entries;
    entries.reserve(glyphs.size() + emoticons.size() + snippets.size());
    entries.insert(entries.end(), glyphs.begin(), glyphs.end());
    entries.insert(entries.end(), std::make_move_iterator(emoticons.begin()),
                   std::make_move_iterator(emoticons.end()));
    CustomContentStore::appendEmojiEntries(snippets, entries);
    return entries;
}

}  // namespace mosaiko
