#include "library/LibraryHarness.hpp"

namespace mosaiko::testing {
namespace {

using Filter = LibraryViewModel::ContentFilter;
using Section = LibraryViewModel::BrowseSection;
using Direction = LibraryViewModel::KeyboardNavigationDirection;
using Origin = LibraryViewModel::SelectionOrigin;
using IDs = std::vector<std::string>;

class LibraryViewModelTest : public LibraryHarness {};

TEST_F(LibraryViewModelTest, TabsAndSectionsFollowTheirRules) {
    EXPECT_EQ(visibleIDs(), (IDs{"grinning", "smile", "cat", "thumbsup", "wave", "glyph-arrow-right",
                                 "emoticon-smile", "snippet-s1"}));
    EXPECT_EQ(selected(), "grinning");

    // Categories that differ in surrounding spaces are one section; letter case makes another,
    // which selects the same entries.
    model.setContentFilter(Filter::emoji);
    EXPECT_EQ(model.sidebarSections(),
              (std::vector<Section>{Section::all(), Section::emojiCategory("Smileys & Emotion"),
                                    Section::emojiCategory("smileys & emotion"),
                                    Section::emojiCategory("People & Body")}));
    model.setBrowseSection(Section::emojiCategory("smileys & emotion"));
    EXPECT_EQ(visibleIDs(), (IDs{"grinning", "smile", "cat"}));
    EXPECT_EQ(model.mainTitle(), "smileys & emotion");

    struct Step {
        std::function<void()> act;
        Filter filter;
        Section section;
        const char* title;
    };
    const Step steps[] = {
        {[&] { model.setContentFilter(Filter::glyphs); }, Filter::glyphs, Section::all(), "All Glyphs"},
        {[&] { model.navigate(Section::recent()); }, Filter::all, Section::recent(), "Recent"},
        {[&] { model.setContentFilter(Filter::all); }, Filter::all, Section::recent(), "Recent"},
        {[&] { model.setContentFilter(Filter::pins); }, Filter::pins, Section::all(), "Pins"},
        {[&] { model.navigate(Section::emojiCategory("People & Body")); }, Filter::emoji,
         Section::emojiCategory("People & Body"), "People & Body"},
        {[&] { model.navigate(Section::all()); }, Filter::emoji, Section::all(), "All Emoji"},
        {[&] { model.navigate(PickerViewModel::Scope::pinned); }, Filter::pins, Section::all(), "Pins"},
        {[&] { model.navigate(PickerViewModel::Scope::emoticons); }, Filter::emoticons, Section::all(),
         "Emoticons"},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(model.contentFilter(), step.filter) << step.title;
        EXPECT_EQ(model.browseSection(), step.section) << step.title;
        EXPECT_EQ(model.mainTitle(), step.title);
    }
    EXPECT_EQ(visibleIDs(), (IDs{"emoticon-smile"}));
    EXPECT_TRUE(model.sidebarSections().empty());
}

TEST_F(LibraryViewModelTest, SearchFollowsTheSearchOrderAndTheHeaderQuotesTheQuery) {
    model.setSearchQuery("   ");
    EXPECT_EQ(model.visibleEntries().size(), 8u);
    EXPECT_EQ(model.resultsSummary(), "8 entries");

    model.setContentFilter(Filter::emoji);
    model.setBrowseSection(Section::emojiCategory("Smileys & Emotion"));
    model.setSearchQuery(" face");
    // The search's order (equal scores by name), not the section's.
    EXPECT_EQ(visibleIDs(), (IDs{"cat", "grinning", "smile"}));
    EXPECT_EQ(model.resultsSummary(), "3 entries matching \u201Cface\u201D");
    model.setSearchQuery("cat");
    EXPECT_EQ(model.resultsSummary(), "1 entry matching \u201Ccat\u201D");
    model.setSearchQuery("zzz");
    EXPECT_EQ(model.resultsSummary(), "No matches");
    EXPECT_EQ(selected(), "<none>");
    model.setSearchQuery("");
    model.setContentFilter(Filter::pins);
    EXPECT_EQ(model.resultsSummary(), "No entries yet.");
}

// The search is not cut at a fixed count: every entry that matches is shown.
TEST(LibrarySearchLimitTest, ShowsEveryMatch) {
    std::vector<EmojiEntry> many;
    for (int i = 0; i < 400; ++i)
        many.push_back(
            entry("e" + std::to_string(i), "x" + std::to_string(i), "star " + std::to_string(i), "Symbols"));
    MemoryStores s;
    EmojiDatabase db(many, {}, OperatingSystemVersion{99, 0, 0});
    LibraryViewModel model(db, s.prefs, s.usage, s.collections, s.loop);
    model.setSearchQuery("star");
    EXPECT_EQ(model.visibleEntries().size(), 400u);
}

TEST_F(LibraryViewModelTest, RecentShowsEachUsedEntryOnce) {
    for (const char* text : {"😀", "unknown", "👍🏽", "👍", "😀"}) usage.recordUsed(text);
    model.navigate(Section::recent());
    settle();
    EXPECT_EQ(visibleIDs(), (IDs{"grinning", "thumbsup"}));
}

TEST_F(LibraryViewModelTest, RebuildsKeepTheSelectionWhileItIsVisible) {
    model.selectEntry("cat", Origin::mouse);
    model.setSearchQuery("face");
    EXPECT_EQ(selected(), "cat");
    model.setSearchQuery("wave");
    EXPECT_EQ(selected(), "wave");
    EXPECT_EQ(model.lastSelectionOrigin(), Origin::programmatic);

    // Moving the selected pin keeps it selected, though the store takes it out on the way.
    for (const char* id : {"smile", "cat", "wave"}) collections.togglePinned(id);
    model.setSearchQuery("");
    model.setContentFilter(Filter::pins);
    settle();
    model.selectEntry("cat", Origin::mouse);
    collections.movePinned("cat", 1);
    settle();
    EXPECT_EQ(visibleIDs(), (IDs{"smile", "wave", "cat"}));
    EXPECT_EQ(selected(), "cat");

    // Unpinning on the pins tab removes the entry at once.
    model.togglePinnedSelection();
    settle();
    EXPECT_EQ(visibleIDs(), (IDs{"smile", "wave"}));
    EXPECT_EQ(selected(), "smile");
}

TEST_F(LibraryViewModelTest, ArrowKeysMoveThroughTheGrid) {
    struct Case {
        const char* start;  // nullptr: no selection
        int columns;
        Direction direction;
        bool moved;
        const char* end;
    };
    // Visible: grinning smile cat thumbsup wave glyph emoticon snippet (8).
    const Case cases[] = {
        {nullptr, 3, Direction::right, true, "smile"},
        {nullptr, 3, Direction::down, true, "thumbsup"},
        {nullptr, 3, Direction::left, true, "grinning"},
        {nullptr, 3, Direction::up, true, "grinning"},
        {"grinning", 3, Direction::left, false, "grinning"},
        {"smile", 3, Direction::up, true, "grinning"},
        {"wave", 3, Direction::down, true, "snippet-s1"},
        {"snippet-s1", 3, Direction::down, false, "snippet-s1"},
        {"smile", 1, Direction::right, false, "smile"},
        {"smile", 0, Direction::down, true, "cat"},
    };
    for (const Case& c : cases) {
        model.selectEntry(c.start ? std::optional<std::string>(c.start) : std::nullopt, Origin::mouse);
        model.setKeyboardColumnCount(c.columns);
        EXPECT_EQ(model.moveSelection(c.direction), c.moved) << (c.start ? c.start : "none");
        EXPECT_EQ(selected(), c.end) << (c.start ? c.start : "none");
        if (c.moved) {
            EXPECT_EQ(model.lastSelectionOrigin(), Origin::keyboard);
        }
    }

    // Emoticons are laid out in columns, but the keys move one entry at a time.
    model.setContentFilter(Filter::emoticons);
    model.setKeyboardColumnCount(4);
    EXPECT_FALSE(model.moveSelection(Direction::right));
    model.setSearchQuery("nothing-matches");
    EXPECT_FALSE(model.moveSelection(Direction::down));
}

TEST_F(LibraryViewModelTest, VariantFollowsTheRememberedOptionThenTheDefaultTone) {
    prefs.setDefaultSkinTone(SkinTone::medium);
    model.selectEntry("thumbsup", Origin::mouse);
    EXPECT_EQ(model.selectedVariantIndex(), 3);

    // A remembered text that is no longer an option falls back to the default tone.
    prefs.setRememberedEmojiVariantsByEntryID({{"thumbsup", "🤚"}});
    EXPECT_EQ(model.selectedVariantIndex(), 3);
    prefs.setDefaultSkinTone(SkinTone::dark);
    EXPECT_EQ(model.selectedVariantIndex(), 5);

    // Previewing remembers nothing; clicking remembers, and a later tone change keeps it.
    model.previewVariant(1);
    EXPECT_EQ(model.selectedTextForInsertion(), "👍🏻");
    model.selectEntry("thumbsup", Origin::mouse);
    EXPECT_EQ(model.selectedVariantIndex(), 5);
    model.selectVariant(2, true);
    model.selectVariant(9, true);
    prefs.setDefaultSkinTone(SkinTone::light);
    EXPECT_EQ(model.selectedVariantIndex(), 2);
    EXPECT_EQ(prefs.rememberedEmojiVariantsByEntryID().at("thumbsup"), "👍🏼");

    model.selectEntry("wave", Origin::mouse);
    EXPECT_EQ(model.selectedVariantIndex(), 0);
    EXPECT_EQ(model.selectedTextForInsertion(), "👋");
}

TEST_F(LibraryViewModelTest, InsertAndCopyCarryTheChosenVariant) {
    model.selectEntry("thumbsup", Origin::mouse);
    model.previewVariant(4);

    // Without a captured target only Copy works.
    EXPECT_FALSE(model.canInsertSelection());
    EXPECT_FALSE(model.insertSelectionFromKeyboard());
    EXPECT_EQ(model.insertionStatusText(), "No target app captured. Copy still works.");
    model.copySelection();
    EXPECT_EQ(copied, (IDs{"👍🏾"}));
    EXPECT_TRUE(inserted.empty());

    // An empty name counts as captured; Return inserts the chosen variant and remembers it.
    model.setInsertionTargetName("");
    EXPECT_EQ(model.insertionStatusText(), "No target app captured. Copy still works.");
    model.previewVariant(1);
    EXPECT_TRUE(model.insertSelectionFromKeyboard());
    EXPECT_EQ(inserted, (IDs{"👍🏻"}));
    EXPECT_TRUE(keptOpen);
    EXPECT_EQ(prefs.rememberedEmojiVariantsByEntryID().at("thumbsup"), "👍🏻");

    // A double click inserts the entry's preferred text, whatever the strip previews.
    model.setInsertionTargetName("Editor");
    EXPECT_EQ(model.insertionStatusText(), "Insert into Editor");
    model.previewVariant(5);
    model.requestInsert(thumbsUpEntry(), true);
    EXPECT_EQ(inserted.back(), "👍🏻");

    model.setSearchQuery("nothing-matches");
    EXPECT_FALSE(model.insertSelectionFromKeyboard());
    model.insertSelection();
    model.copySelection();
    EXPECT_EQ(inserted.size(), 2u);
    EXPECT_EQ(copied.size(), 1u);
}

TEST_F(LibraryViewModelTest, PinMovesStayInsideThePinList) {
    for (const char* id : {"smile", "cat", "wave"}) collections.togglePinned(id);
    struct Case {
        const char* id;
        int offset;
        bool allowed;
    };
    for (const Case& c : {Case{"smile", -1, false}, Case{"smile", 1, true}, Case{"wave", 1, false},
                          Case{"wave", -2, true}, Case{"cat", 2, false}, Case{"grinning", 0, false}}) {
        EXPECT_EQ(model.canMovePinned(c.id, c.offset), c.allowed) << c.id << " " << c.offset;
    }
    model.removePinned("grinning");
    model.selectEntry(std::nullopt, Origin::mouse);
    model.togglePinnedSelection();
    EXPECT_EQ(collections.pinnedIDs(), (IDs{"smile", "cat", "wave"}));
    model.removePinned("cat");
    EXPECT_EQ(collections.pinnedIDs(), (IDs{"smile", "wave"}));
}

TEST(LibraryTextEntryTest, KindAndCategoryDecideWhetherAnEntryIsShownAsText) {
    const std::pair<EmojiEntry, bool> cases[] = {
        {entry("emoticon-x", ":)", "smile", "Smileys & Emotion"), true},
        {entry("a", "x", "a", " Snippets "), true},
        {entry("b", "x", "b", "EMOTICONS"), true},
        {entry("c", "x", "c", "\tGlyphs\n"), true},
        {entry("d", "x", "d", "Glyph"), false},
        {entry("e", "x", "e", "Smileys & Emotion"), false},
        {entry("f", "x", "f", "\uFF27lyphs"), false},
        {entry("g", "x", "g", "   "), false},
    };
    for (const auto& [e, text] : cases) EXPECT_EQ(LibraryViewModel::isTextEntry(e), text) << e.category;
}

}  // namespace
}  // namespace mosaiko::testing
