#include <unordered_set>

#include "../content/SearchTestSupport.hpp"
#include "content/ContentCoordinator.hpp"
#include "content/EmoticonCatalog.hpp"
#include "content/GlyphCatalog.hpp"
#include "library/LibraryHarness.hpp"
#include "platform/Text.hpp"
#include "support/MemoryStores.hpp"

namespace mosaiko::testing {
namespace {

using Filter = LibraryViewModel::ContentFilter;
using Section = LibraryViewModel::BrowseSection;

// The visible entries as the library's rules state them, built from copies of the entries.
std::vector<EmojiEntry> listByTheRules(const LibraryViewModel& m) {
    const EmojiDatabase& db = m.db();
    const auto key = [](std::string_view s) { return text::lowercased(text::trimmed(s)); };
    const auto prefixed = [&](std::string_view prefix) {
        std::vector<EmojiEntry> r;
        for (const auto& e : db.emojis())
            if (e.id.starts_with(prefix)) r.push_back(e);
        return r;
    };
    std::vector<EmojiEntry> list;
    std::unordered_set<std::string> taken;
    const auto once = [&](const std::optional<EmojiEntry>& e) {
        if (e && taken.insert(e->id).second) list.push_back(*e);
    };
    const Section& section = m.browseSection();
    if (section.kind == Section::Kind::emojiCategory) {
        for (const auto& e : db.baseEmojis())
            if (key(e.category) == key(section.name)) list.push_back(e);
    } else if (section.kind == Section::Kind::glyphCategory) {
        for (const auto& e : prefixed("glyph-"))
            if (GlyphCatalog::libraryCategory(e) == section.name) list.push_back(e);
    } else if (section.kind == Section::Kind::recent) {
        for (const auto& text : m.usage().recents()) once(db.entryForEmoji(text));
    } else if (m.contentFilter() == Filter::all) {
        for (const auto& e : db.baseEmojis()) once(e);
        for (const auto& e : db.emojis()) once(e);
    } else if (m.contentFilter() == Filter::emoji) {
        list.assign(db.baseEmojis().begin(), db.baseEmojis().end());
    } else if (m.contentFilter() == Filter::pins) {
        for (const auto& id : m.collections().pinnedIDs()) once(db.entryForID(id));
    } else {
        list = prefixed(m.contentFilter() == Filter::shortcodes  ? "snippet-"
                        : m.contentFilter() == Filter::emoticons ? "emoticon-"
                                                                 : "glyph-");
    }
    if (!text::trimmed(m.searchQuery()).empty()) {
        std::unordered_set<std::string> ids;
        for (const auto& e : list) ids.insert(e.id);
        const int limit = std::max(static_cast<int>(db.emojis().size()) + 128, 256);
        list = db.search(m.searchQuery(), limit, m.prefs().searchSortPriority(), {},
                         m.collections().extraSearchTermsByItemID());
        std::erase_if(list, [&](const EmojiEntry& e) { return !ids.contains(e.id); });
    }
    const auto& pinned = m.collections().pinnedIDs();
    std::erase_if(list, [&](const EmojiEntry& e) {
        switch (m.contentFilter()) {
            case Filter::all:
                return false;
            case Filter::emoji:
                return e.id.starts_with("glyph-") || e.id.starts_with("snippet-") ||
                       e.id.starts_with("emoticon-");
            case Filter::pins:
                return std::find(pinned.begin(), pinned.end(), e.id) == pinned.end();
            case Filter::shortcodes:
                return !e.id.starts_with("snippet-");
            case Filter::emoticons:
                return !e.id.starts_with("emoticon-");
            case Filter::glyphs:
                return !e.id.starts_with("glyph-");
        }
        return false;
    });
    return list;
}

// The stores of a library over given entries.
struct Library : MemoryStores {
    Library(std::vector<EmojiEntry> base, std::vector<EmojiEntry> extra)
        : db(std::move(base), std::move(extra), OperatingSystemVersion{99, 0, 0}) {}
    EmojiDatabase db;
    LibraryViewModel model{db, prefs, usage, collections, loop};
};

std::vector<EmojiEntry> shown(const LibraryViewModel& m) {
    return {m.visibleEntries().begin(), m.visibleEntries().end()};
}

// Every tab, some of its sections and a few searches give the list the rules give: over the
// shipped data, and over a base list that repeats an id (which the database keeps apart).
TEST(LibraryVisibleEntriesTest, EveryListIsTheOneTheRulesGive) {
    const EmojiDatabase shipped(testing_support::shippedBundle(), {99, 0, 0});
    auto base = std::vector<EmojiEntry>(shipped.baseEmojis().begin(), shipped.baseEmojis().begin() + 300);
    base.push_back(entry("grinning", "🙂", "another grinning", "Smileys & Emotion", {"other"}));
    const auto extras = ContentCoordinator::extraEntries({{"s1", "Sign-off", "Best regards", {"bye"}, {}}},
                                                         EmoticonCatalog::defaultOrder(), {});
    for (const bool apart : {false, true}) {
        Library h(
            apart ? base : std::vector<EmojiEntry>(shipped.baseEmojis().begin(), shipped.baseEmojis().end()),
            extras);
        ASSERT_EQ(h.db.baseEmojis().data() == h.db.emojis().data(), !apart);
        for (const char* id : {"thumbsup", "fire", "snippet-s1", "glyph-arrow-right", "heart", "fire"})
            h.collections.togglePinned(id);
        h.collections.setPinnedAlias("blaze", "fire");
        for (const char* text : {"🔥", "👍🏽", ":-)", "😀", "no entry"}) h.usage.recordUsed(text);
        h.loop.runPending();
        LibraryViewModel& m = h.model;
        for (const Filter filter : LibraryViewModel::allContentFilters) {
            m.setContentFilter(filter);
            auto sections = m.sidebarSections();
            if (sections.size() > 3) sections.erase(sections.begin() + 2, sections.end() - 1);
            if (sections.empty()) sections.push_back(Section::all());
            for (const Section& section : sections) {
                m.setBrowseSection(section);
                for (const char* query : {"", "t", " face ", "blaze", "arrow", "zzzz"}) {
                    m.setSearchQuery(query);
                    const auto expected = listByTheRules(m);
                    const std::string where = LibraryViewModel::rawValue(filter) + " / " + section.id() +
                                              " / '" + query + "'" + (apart ? " (apart)" : "");
                    ASSERT_EQ(testing_support::ids(shown(m)), testing_support::ids(expected)) << where;
                    ASSERT_TRUE(shown(m) == expected) << where;
                }
            }
        }
    }
}

// The database replaces its lists: the entries shown stay readable until the next rebuild.
TEST_F(LibraryHarness, EntriesShownOutliveTheListsTheyWereReadFrom) {
    const auto before = visibleIDs();
    db.setExtraEmojis({entry("glyph-star", "★", "star", "Glyphs", {"star"})});
    EXPECT_EQ(visibleIDs(), before);
    EXPECT_EQ(model.visibleEntries()[5].emoji, "→");
    settle();
    EXPECT_EQ(visibleIDs(),
              (std::vector<std::string>{"grinning", "smile", "cat", "thumbsup", "wave", "glyph-star"}));
}

}  // namespace
}  // namespace mosaiko::testing
