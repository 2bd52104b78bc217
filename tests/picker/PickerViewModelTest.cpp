#include "picker/PickerViewModel.hpp"

#include <gtest/gtest.h>

#include <set>

#include "picker/PickerHarness.hpp"

namespace mosaiko {
namespace {

using testing::makeEntry;
using Scope = PickerViewModel::Scope;
using FocusRow = PickerViewModel::FocusRow;
using Origin = PickerViewModel::SelectionOrigin;
using Option = EmojiEntry::Variants::Option;

constexpr SkinTone kTones[] = {SkinTone::light, SkinTone::mediumLight, SkinTone::medium, SkinTone::mediumDark,
                               SkinTone::dark};

std::string toneName(SkinTone t) {
    return std::string(skin_tone::rawValue(t));
}

// Two people: an untoned form, five one-tone forms and twenty mixed forms.
EmojiEntry handshake() {
    EmojiEntry e = makeEntry("handshake", "🤝", "handshake", {"handshake"}, {"deal"}, "People & Body");
    std::vector<Option> options{{"🤝", {}, {}}};
    for (SkinTone a : kTones) {
        options.push_back({"🤝-" + toneName(a), {a}, {}});
        for (SkinTone b : kTones)
            if (a != b) options.push_back({"🤝-" + toneName(a) + "-" + toneName(b), {a, b}, {}});
    }
    e.variants = EmojiEntry::Variants(options);
    return e;
}

// Three people: mixed forms, but no two-position matrix.
EmojiEntry family() {
    EmojiEntry e = makeEntry("family", "👪", "family", {"family"});
    e.variants = EmojiEntry::Variants({{"👪", {}, {}},
                                       {"👪-l", {SkinTone::light}, {}},
                                       {"👪-l-d-l", {SkinTone::light, SkinTone::dark, SkinTone::light}, {}}});
    return e;
}

std::vector<std::string> ids(const std::vector<EmojiEntry>& entries) {
    std::vector<std::string> result;
    for (const auto& e : entries) result.push_back(e.id);
    return result;
}

struct ModelHarness {
    explicit ModelHarness(std::vector<EmojiEntry> base, std::vector<EmojiEntry> extra = {})
        : db(std::move(base), std::move(extra), OperatingSystemVersion{99, 0, 0}),
          model(db, prefs, usage, collections, loop) {}

    int optionIndex(const std::string& emoji) const {
        const auto& options = model.activeOptions();
        for (std::size_t i = 0; i < options.size(); ++i)
            if (options[i].emoji == emoji) return static_cast<int>(i);
        return -1;
    }
    std::string selectedVariant() const {
        return model.activeOptions().at(static_cast<std::size_t>(model.selectedVariantIndex())).emoji;
    }

    ManualMainLoop loop;
    MemoryDefaults defaults;
    PreferencesStore prefs{defaults};
    CollectionsStore collections{defaults};
    EmojiUsageStore usage{defaults, loop};
    EmojiDatabase db;
    PickerViewModel model;
};

std::vector<EmojiEntry> numbered(const std::string& prefix, const std::string& name, int count,
                                 const std::string& category = "Objects") {
    std::vector<EmojiEntry> result;
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        result.push_back(makeEntry(prefix + n, "<" + prefix + n + ">", name + " " + n, {}, {}, category));
    }
    return result;
}

// ------------------------------------------------------------------ results

TEST(PickerViewModelResults, EmptyQueryListsRecentsThenTheFirstBaseEntries) {
    auto base = numbered("e", "thing", 50);
    base.insert(base.begin(), testing::PickerHarness::defaultBaseEntries()[3]);  // thumbs up, with tones
    ModelHarness h(base);
    h.model.resetForNewSession("");
    EXPECT_EQ(h.model.results().size(), 40u);
    EXPECT_EQ(h.model.results()[0].id, "thumbsup");
    EXPECT_EQ(h.model.results()[39].id, "e38");

    // Recorded oldest first, so the recents read: toned thumbs up, an unknown text, e30, e31, ... e52.
    std::vector<std::string> recorded;
    for (int i = 52; i >= 30; --i) recorded.push_back("<e" + std::to_string(i) + ">");
    recorded.push_back("a text no entry knows");
    recorded.push_back("👍🏽");
    for (const auto& t : recorded) h.usage.recordUsed(t);
    ASSERT_EQ(h.usage.recents().size(), 25u);

    h.model.resetForNewSession("");
    const auto& results = h.model.results();
    EXPECT_EQ(results[0].id, "thumbsup") << "a skin-toned text stands for its entry";
    EXPECT_EQ(results[1].id, "recent-a text no entry knows");
    EXPECT_EQ(results[1].emoji, "a text no entry knows");
    EXPECT_EQ(results[1].name, "Recent");
    EXPECT_EQ(results[1].category, "Recents");
    EXPECT_EQ(results[2].id, "e30");
    EXPECT_EQ(results[19].id, "e47");
    EXPECT_EQ(results[20].id, "e0") << "then the base entries not listed yet";
    EXPECT_EQ(results.size(), 20u + 30u);
    const auto all = ids(results);
    EXPECT_EQ(std::set<std::string>(all.begin(), all.end()).size(), all.size());
    EXPECT_EQ(std::count(all.begin(), all.end(), "e48"), 0) << "only the first 20 recents count";
}

TEST(PickerViewModelResults, EmptyQueryInATabListsTheWholeTab) {
    ModelHarness h(numbered("e", "thing", 5),
                   {makeEntry("snippet-a", "A", "a"), makeEntry("emoticon-b", ":)", "b"),
                    makeEntry("glyph-c", "→", "c"), makeEntry("snippet-d", "D", "d")});
    h.collections.togglePinned("e3");
    h.collections.togglePinned("gone");
    h.collections.togglePinned("e1");
    h.loop.runPending();
    h.model.resetForNewSession("");

    h.model.setScope(Scope::pinned);
    EXPECT_EQ(ids(h.model.results()), (std::vector<std::string>{"e3", "e1"})) << "unknown pins are left out";
    h.model.setScope(Scope::shortcodes);
    EXPECT_EQ(ids(h.model.results()), (std::vector<std::string>{"snippet-a", "snippet-d"}));
    h.model.setScope(Scope::glyphs);
    EXPECT_EQ(ids(h.model.results()), (std::vector<std::string>{"glyph-c"}));
}

TEST(PickerViewModelResults, QueriesNamingATabKeepTheWholeTab) {
    auto base = numbered("x", "xy", 130);
    base.push_back(makeEntry("feelings", "🎭", "masks", {}, {"emotion"}));
    auto emoticons = numbered("emoticon-", "face", 130, "Text Faces");
    ModelHarness h(base, emoticons);
    h.model.resetForNewSession("");

    h.model.updateQuery("xy");
    EXPECT_EQ(h.model.results().size(), 120u) << "two letters name no tab: capped";

    h.model.updateQuery("emo");
    const auto& results = h.model.results();
    ASSERT_EQ(results.size(), 131u) << "the search hit, then every emoticon, uncapped";
    EXPECT_EQ(results[0].id, "feelings");
    EXPECT_EQ(results[1].id, "emoticon-0");
    EXPECT_EQ(results[130].id, "emoticon-129");
}

TEST(PickerViewModelResults, AnEmptyTabIsNoMatch) {
    auto base = numbered("p", "pin", 130);
    base.push_back(makeEntry("a", "🅰", "letter a"));
    base.push_back(makeEntry("b", "🅱", "letter b"));
    ModelHarness h(base);
    h.model.resetForNewSession("");
    h.model.updateQuery("pin");
    EXPECT_EQ(h.model.results().size(), 120u) << "no pins: the search limit and the cap apply";

    h.collections.togglePinned("b");
    h.collections.togglePinned("a");
    h.loop.runPending();
    h.model.updateQuery("pin");
    EXPECT_EQ(h.model.results().size(), 62u) << "60 hits and the pins tab, pins first";
    EXPECT_EQ(h.model.results()[0].id, "b");
    EXPECT_EQ(h.model.results()[1].id, "a");
}

TEST(PickerViewModelResults, ScopesFilterHitsAndCategories) {
    ModelHarness h({makeEntry("smile", "😄", "smile", {"smile"}), makeEntry("heart", "❤️", "heart")},
                   {makeEntry("glyph-smile", "ツ", "smile glyph", {}, {}, "Glyphs"),
                    makeEntry("emoticon-smile", ":)", "smile face", {}, {}, "Emoticons")});
    h.model.resetForNewSession("smile");
    EXPECT_EQ(ids(h.model.results()),
              (std::vector<std::string>{"smile", "emoticon-smile", "glyph-smile", "heart"}))
        << "three hits, then the rest of the category the query names";
    h.model.setScope(Scope::glyphs);
    EXPECT_EQ(ids(h.model.results()), std::vector<std::string>{"glyph-smile"});
    h.model.updateQuery("glyphs");
    EXPECT_EQ(ids(h.model.results()), std::vector<std::string>{"glyph-smile"});
}

TEST(PickerViewModelResults, PinsInGlobalSearchResults) {
    const std::vector<EmojiEntry> list = {makeEntry("A", "a", "a"), makeEntry("x", "x", "x"),
                                          makeEntry("B", "b", "b")};
    const std::vector<std::string> pins = {"B", "A"};
    auto order = [&](bool pinsFirst, bool pinSorting) {
        return ids(PickerViewModel::orderedGlobalSearchEntries(list, pins, pinsFirst, pinSorting));
    };
    EXPECT_EQ(order(true, true), (std::vector<std::string>{"B", "A", "x"}));
    EXPECT_EQ(order(false, true), (std::vector<std::string>{"B", "x", "A"}));
    EXPECT_EQ(order(true, false), (std::vector<std::string>{"A", "B", "x"}));
    EXPECT_EQ(order(false, false), (std::vector<std::string>{"A", "x", "B"}));

    // And through a search: pinned hits first, in pin order.
    ModelHarness h(numbered("e", "cat", 5));
    h.collections.togglePinned("e4");
    h.collections.togglePinned("e2");
    h.loop.runPending();
    h.model.resetForNewSession("cat");
    EXPECT_EQ(ids(h.model.results()), (std::vector<std::string>{"e4", "e2", "e0", "e1", "e3"}));
}

TEST(PickerViewModelResults, SelectionFollowsItsEntryThroughStoreChanges) {
    ModelHarness h(numbered("e", "cat", 5));
    h.model.resetForNewSession("cat");
    h.model.moveSelection(3);
    ASSERT_EQ(h.model.activeEntry()->id, "e3");

    h.collections.togglePinned("e4");
    EXPECT_EQ(h.model.results()[0].id, "e0") << "the rebuild waits until the pin is stored";
    h.loop.runPending();
    EXPECT_EQ(h.model.results()[0].id, "e4");
    EXPECT_EQ(h.model.activeEntry()->id, "e3");
    EXPECT_EQ(h.model.selectedIndex(), 4);
    EXPECT_EQ(h.model.lastMainSelectionOrigin, Origin::programmatic);

    h.model.updateQuery("cat 1");
    h.model.updateQuery("cat");
    EXPECT_EQ(h.model.selectedIndex(), 0) << "a query change starts on the first result";

    h.model.setScope(Scope::pinned);
    h.collections.togglePinned("e1");
    h.collections.togglePinned("e2");
    h.loop.runPending();
    h.model.moveSelection(-1);
    ASSERT_EQ(h.model.activeEntry()->id, "e2");
    h.collections.togglePinned("e2");
    h.loop.runPending();
    EXPECT_EQ(h.model.selectedIndex(), 1) << "the list shrank below the selection";
    h.collections.togglePinned("e1");
    h.collections.togglePinned("e4");
    h.loop.runPending();
    EXPECT_TRUE(h.model.results().empty());
    EXPECT_EQ(h.model.selectedIndex(), 0);
    EXPECT_EQ(h.model.activeEntry(), nullptr);
}

// ------------------------------------------------------------------ selection

TEST(PickerViewModelSelection, MainRowWrapsAndGatesHover) {
    ModelHarness h(numbered("e", "cat", 5));
    h.model.resetForNewSession("cat");
    h.model.moveSelection(-1);
    EXPECT_EQ(h.model.selectedIndex(), 4);
    EXPECT_EQ(h.model.lastMainSelectionOrigin, Origin::keyboard);
    h.model.moveSelection(1);
    EXPECT_EQ(h.model.selectedIndex(), 0);

    h.model.selectMain(7, Origin::mouseClick);
    EXPECT_EQ(h.model.selectedIndex(), 0);
    h.model.selectMain(2, Origin::mouseHover);
    EXPECT_EQ(h.model.selectedIndex(), 0) << "the pointer has not moved since the panel opened";
    h.model.acceptsMouseHoverSelection.set(true);
    h.model.selectMain(2, Origin::mouseHover);
    EXPECT_EQ(h.model.selectedIndex(), 2);

    h.model.updateQuery("nothing matches this");
    h.model.moveSelection(1);
    EXPECT_EQ(h.model.selectedIndex(), 0);
}

TEST(PickerViewModelSelection, HorizontalTargetsAreQuickVariantsThenTheMixButton) {
    ModelHarness h({handshake()});
    h.model.resetForNewSession("handshake");
    ASSERT_EQ(h.model.activeOptions().size(), 26u);
    EXPECT_EQ(h.model.activeQuickVariantIndices(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(h.model.selectedVariantIndex(), 0);

    h.model.moveVariantHorizontally(-1);
    EXPECT_TRUE(h.model.isMixButtonFocused());
    EXPECT_EQ(h.model.focusRow(), FocusRow::variants);
    h.model.moveVariantHorizontally(1);
    EXPECT_FALSE(h.model.isMixButtonFocused());
    EXPECT_EQ(h.model.selectedVariantIndex(), 0);
    h.model.moveVariantHorizontally(-1);
    h.model.moveVariantHorizontally(-1);
    EXPECT_EQ(h.selectedVariant(), "🤝-dark");

    // A remembered mixed variant: Down and Up leave the mix button unfocused, Left still starts there.
    h.prefs.setRememberedEmojiVariantsByEntryID({{"handshake", "🤝-light-dark"}});
    EXPECT_EQ(h.selectedVariant(), "🤝-light-dark");
    EXPECT_TRUE(h.model.isMixButtonFocused());
    h.model.moveVariantVertically(1);
    h.model.moveVariantVertically(-1);
    EXPECT_FALSE(h.model.isMixButtonFocused());
    h.model.moveVariantHorizontally(-1);
    EXPECT_EQ(h.selectedVariant(), "🤝-dark");
}

TEST(PickerViewModelSelection, MixedToneMatrix) {
    ModelHarness h({handshake()});
    std::vector<PickerViewModel::UIAction> sent;
    auto subscription = h.model.uiActionSubject.subscribe([&](const auto& a) { sent.push_back(a); });
    h.model.resetForNewSession("handshake");

    // Return on the mix button opens the matrix on the current pair: light/dark, row 0, column 4.
    h.model.selectVariant(h.optionIndex("🤝-light-dark"), Origin::keyboard);
    EXPECT_TRUE(h.model.isMixButtonFocused());
    h.model.activateVariantSelection(false);
    EXPECT_TRUE(h.model.isShowingMixedTonePopover());
    EXPECT_TRUE(sent.empty());
    h.model.moveVariantVertically(-1);
    h.model.moveVariantHorizontally(1);
    EXPECT_EQ(h.selectedVariant(), "🤝-light-dark") << "the matrix does not wrap";
    h.model.moveVariantVertically(1);
    EXPECT_EQ(h.selectedVariant(), "🤝-mediumLight-dark");

    // Return in the matrix closes it and inserts the selected mixed variant.
    h.model.activateVariantSelection(true);
    EXPECT_FALSE(h.model.isShowingMixedTonePopover());
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0],
              (PickerViewModel::UIAction::InsertVariant{h.optionIndex("🤝-mediumLight-dark"), true}));

    // From the one-tone medium variant the matrix starts on medium/medium, which is that variant.
    h.model.selectVariant(h.optionIndex("🤝-medium"), Origin::keyboard);
    h.model.focusMixButton(Origin::keyboard);
    h.model.activateVariantSelection(false);
    EXPECT_EQ(h.selectedVariant(), "🤝-medium");
    h.model.moveVariantHorizontally(1);
    EXPECT_EQ(h.selectedVariant(), "🤝-medium-mediumDark");
    EXPECT_TRUE(h.model.isMixButtonFocused());

    // From the untoned variant with no default tone set, on the medium pair too.
    h.model.updateQuery("handshake");
    ASSERT_EQ(h.selectedVariant(), "🤝");
    h.model.focusMixButton(Origin::keyboard);
    h.model.activateVariantSelection(false);
    EXPECT_EQ(h.selectedVariant(), "🤝-medium");
}

TEST(PickerViewModelSelection, NoMatrixForThreePeople) {
    ModelHarness h({family()});
    std::vector<PickerViewModel::UIAction> sent;
    auto subscription = h.model.uiActionSubject.subscribe([&](const auto& a) { sent.push_back(a); });
    h.model.resetForNewSession("family");
    h.model.selectVariant(h.optionIndex("👪-l-d-l"), Origin::keyboard);
    EXPECT_TRUE(h.model.isMixButtonFocused());
    h.model.activateVariantSelection(false);
    EXPECT_TRUE(sent.empty()) << "Return on a mix button without a matrix does nothing";
    EXPECT_FALSE(h.model.isShowingMixedTonePopover());
    EXPECT_EQ(h.model.activeQuickVariantIndices(), (std::vector<int>{0, 1}));
}

TEST(PickerViewModelSelection, TextToInsert) {
    ModelHarness h({testing::PickerHarness::defaultBaseEntries()[3]});
    h.model.resetForNewSession("thumbs");
    EXPECT_EQ(h.model.selectedEmojiForInsertion(), "👍");

    h.prefs.setDefaultSkinTone(SkinTone::dark);
    EXPECT_EQ(h.selectedVariant(), "👍🏿") << "the variants row follows the new default at once";
    EXPECT_EQ(h.model.selectedEmojiForInsertion(), "👍🏿");

    h.prefs.setRememberedEmojiVariantsByEntryID({{"thumbsup", "no longer an option"}});
    EXPECT_EQ(h.selectedVariant(), "👍🏿");
    EXPECT_EQ(h.model.selectedEmojiForInsertion(), "👍🏿");

    h.model.focusRow.set(FocusRow::variants);
    h.model.selectedVariantIndex.set(99);
    EXPECT_EQ(h.model.selectedEmojiForInsertion(), "👍🏿") << "the last option";
    h.model.selectedVariantIndex.set(1);
    EXPECT_EQ(h.model.selectedEmojiForInsertion(), "👍🏻");

    // A clicked variant is remembered: the main row starts on it and inserts it from then on.
    h.model.selectVariant(2, Origin::mouseClick);
    EXPECT_EQ(h.prefs.rememberedEmojiVariantsByEntryID().at("thumbsup"), "👍🏼");
    EXPECT_EQ(h.model.lastVariantSelectionOrigin, Origin::programmatic);
    h.model.resetForNewSession("thumbs");
    EXPECT_EQ(h.selectedVariant(), "👍🏼");
    EXPECT_EQ(h.model.focusRow(), FocusRow::main);
    EXPECT_EQ(h.model.selectedEmojiForInsertion(), "👍🏼");

    h.model.selectVariant(4, Origin::keyboard);
    EXPECT_EQ(h.prefs.rememberedEmojiVariantsByEntryID().at("thumbsup"), "👍🏼")
        << "keyboard choices are not kept";

    h.model.updateQuery("nothing matches this");
    EXPECT_EQ(h.model.selectedEmojiForInsertion(), std::nullopt);
}

}  // namespace
}  // namespace mosaiko
