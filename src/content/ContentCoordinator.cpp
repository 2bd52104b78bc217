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
    auto entries = GlyphCatalog::entries();
    const auto emoticons = EmoticonCatalog::orderedEntries(emoticonOrder, hiddenEmoticonIDs);
    entries.insert(entries.end(), emoticons.begin(), emoticons.end());
    auto snippetEntries = CustomContentStore::emojiEntries(snippets);
    entries.insert(entries.end(), std::make_move_iterator(snippetEntries.begin()),
                   std::make_move_iterator(snippetEntries.end()));
    return entries;
}

}  // namespace mosaiko
