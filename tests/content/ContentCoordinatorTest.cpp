#include <gtest/gtest.h>

#include <memory>

#include "content/ContentCoordinator.hpp"
#include "content/EmoticonCatalog.hpp"
#include "content/GlyphCatalog.hpp"
#include "content/SearchTestSupport.hpp"
#include "platform/MemoryDefaults.hpp"

namespace mosaiko {
namespace {

using namespace testing_support;
using Ids = std::vector<std::string>;

class ContentCoordinatorTest : public ::testing::Test {
  protected:
    // The list the stores' current values should give.
    std::vector<EmojiEntry> expectedExtras() const {
        auto entries = GlyphCatalog::entries();
        const auto emoticons =
            EmoticonCatalog::orderedEntries(prefs.emoticonOrder(), prefs.hiddenEmoticonIDs());
        entries.insert(entries.end(), emoticons.begin(), emoticons.end());
        const auto snippets = custom.allEmojiEntries();
        entries.insert(entries.end(), snippets.begin(), snippets.end());
        return entries;
    }

    Ids idsWithPrefix(const std::string& prefix) const {
        Ids result;
        for (const auto& entry : db.emojis()) {
            if (entry.id.starts_with(prefix)) result.push_back(entry.id);
        }
        return result;
    }

    MemoryDefaults defaults;
    PreferencesStore prefs{defaults};
    CustomContentStore custom{defaults};
    EmojiDatabase db{AppBundle(std::nullopt), kSystem14};
    std::unique_ptr<ContentCoordinator> coordinator = std::make_unique<ContentCoordinator>(db, custom, prefs);
};

TEST_F(ContentCoordinatorTest, StartingAddsGlyphsThenTheVisibleEmoticonsThenSnippetsAfterTheDataFile) {
    custom.addSnippet("Signature", "Kind regards", {"sig"}, {});
    EXPECT_EQ(db.emojis().size(), 3u);
    coordinator->start();
    EXPECT_EQ(listOf(db.extraEmojis()), expectedExtras());
    EXPECT_EQ(db.extraEmojis().size(),
              GlyphCatalog::entries().size() + EmoticonCatalog::allEntries().size() + 1);
    EXPECT_EQ(db.emojis().front().id, "grinning");
    EXPECT_TRUE(db.emojis()[3].id.starts_with("glyph-"));
    EXPECT_EQ(db.emojis().back().id, "snippet-" + custom.snippets().front().id);
    EXPECT_EQ(idsWithPrefix("emoticon-"), EmoticonCatalog::defaultOrder());
}

TEST_F(ContentCoordinatorTest, EveryChangeReachesTheDatabaseBeforeTheChangeReturns) {
    coordinator->start();

    custom.addSnippet("Signature", "Kind regards", {"sig"}, {"farewell"});
    const auto first = "snippet-" + custom.snippets().front().id;
    EXPECT_EQ(ids(db.search("farewell", 5)), Ids{first});
    custom.addSnippet("Address", "1 Main Street", {"addr"}, {});
    const auto second = "snippet-" + custom.snippets().front().id;
    EXPECT_EQ(idsWithPrefix("snippet-"), (Ids{second, first}));
    EXPECT_EQ(listOf(db.extraEmojis()), expectedExtras());

    const auto order = EmoticonCatalog::defaultOrder();
    const auto hidden = order[1];
    prefs.setHiddenEmoticonIDs({hidden});
    EXPECT_FALSE(db.entryForID(hidden));
    prefs.setHiddenEmoticonIDs({});
    EXPECT_EQ(idsWithPrefix("emoticon-"), order);

    auto moved = order;
    std::swap(moved[0], moved[1]);
    prefs.setEmoticonOrder(moved);
    EXPECT_EQ(idsWithPrefix("emoticon-"), moved);
    EXPECT_EQ(listOf(db.extraEmojis()), expectedExtras());

    // Snippets that share an id give one entry, the first; removing them all leaves the rest.
    auto twins = custom.snippets();
    twins[1].id = twins[0].id;
    custom.snippets.set(twins);
    EXPECT_EQ(idsWithPrefix("snippet-"), Ids{second});
    EXPECT_EQ(db.entryForID(second)->name, "Address");
    custom.snippets.set({});
    EXPECT_TRUE(idsWithPrefix("snippet-").empty());
    EXPECT_EQ(listOf(db.extraEmojis()), expectedExtras());
}

TEST_F(ContentCoordinatorTest, StartingAgainReplacesTheSubscriptionsAndNothingFollowsOnceItIsGone) {
    int publications = 0;
    auto counting = db.observeEmojis([&](const std::vector<EmojiEntry>&) { ++publications; });
    coordinator->start();
    coordinator->start();
    publications = 0;
    prefs.setHiddenEmoticonIDs({EmoticonCatalog::defaultOrder().front()});
    EXPECT_EQ(publications, 1);
    custom.addSnippet("Signature", "Kind regards", {"sig"}, {});
    EXPECT_EQ(publications, 2);

    coordinator.reset();
    const auto before = db.emojis();
    custom.addSnippet("Address", "1 Main Street", {"addr"}, {});
    prefs.setHiddenEmoticonIDs({});
    EXPECT_EQ(publications, 2);
    EXPECT_EQ(db.emojis(), before);
}

}  // namespace
}  // namespace mosaiko
