#pragma once

#include <set>
#include <string>
#include <vector>

#include "content/CustomContentStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/PreferencesStore.hpp"
#include "platform/Published.hpp"

namespace mosaiko {

// Feeds everything that is not in the emoji data file into the database: the glyphs, the visible
// emoticons in the user's order, and the user's snippets, in that order. Once started it builds
// that list again, and hands it over, whenever the snippets, the emoticon order or the hidden
// emoticons change, before the change returns to whoever made it.
class ContentCoordinator {
  public:
    ContentCoordinator(EmojiDatabase& db, CustomContentStore& custom, PreferencesStore& prefs);
    ContentCoordinator(const ContentCoordinator&) = delete;
    ContentCoordinator& operator=(const ContentCoordinator&) = delete;

    // Follows the three changes (replacing the subscriptions of an earlier start) and builds the
    // extra entries once.
    void start();

    // The extra entries in the order the database takes them: glyphs, the visible emoticons in
    // `emoticonOrder`, then the snippets.
    static std::vector<EmojiEntry> extraEntries(const std::vector<CustomSnippet>& snippets,
                                                const std::vector<std::string>& emoticonOrder,
                                                const std::set<std::string>& hiddenEmoticonIDs);

  private:
    // The stores announce a change before they hold it, so each build takes the changed value as
    // delivered and the other two from the stores.
    void refresh(const std::vector<CustomSnippet>& snippets, const std::vector<std::string>& emoticonOrder,
                 const std::set<std::string>& hiddenEmoticonIDs);

    EmojiDatabase& db_;
    CustomContentStore& custom_;
    PreferencesStore& prefs_;
    // Last, so that the subscriptions end before anything they use goes away.
    std::vector<Cancellable> cancellables_;
};

}  // namespace mosaiko
