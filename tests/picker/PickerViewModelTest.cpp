#include "picker/PickerViewModel.hpp"

#include <gtest/gtest.h>

#include "picker/PickerHarness.hpp"
#include "support/MemoryStores.hpp"

namespace mosaiko {
namespace {

using testing::makeEntry;
using Scope = PickerViewModel::Scope;
using Origin = PickerViewModel::SelectionOrigin;
using Ids = std::vector<std::string>;

constexpr SkinTone kTones[] = {SkinTone::light, SkinTone::mediumLight, SkinTone::medium, SkinTone::mediumDark,
                               SkinTone::dark};

// Two people: untoned, five one-tone and twenty mixed options; texts name their tones.
EmojiEntry handshake() {
    EmojiEntry e = makeEntry("handshake", "🤝", "handshake");
    std::vector<EmojiEntry::Variants::Option> options{{"🤝", {}, {}}};
    for (SkinTone a : kTones) {
        const std::string an(skin_tone::rawValue(a));
        options.push_back({"🤝-" + an, {a}, {}});
        for (SkinTone b : kTones)
            if (a != b)
                options.push_back({"🤝-" + an + "-" + std::string(skin_tone::rawValue(b)), {a, b}, {}});
    }
    e.variants = EmojiEntry::Variants(options);
    return e;
}

// Entries "<prefix>0", "<prefix>1", ... named "<name> 0", "<name> 1", ...
std::vector<EmojiEntry> numbered(const std::string& prefix, const std::string& name, int count,
                                 const std::string& category = "Objects") {
    std::vector<EmojiEntry> result;
    for (int i = 0; i < count; ++i) {
        const auto n = std::to_string(i);
        result.push_back(makeEntry(prefix + n, "<" + prefix + n + ">", name + " " + n, {}, {}, category));
    }
    return result;
}

Ids ids(const std::vector<EmojiEntry>& entries) {
    Ids result;
    for (const auto& e : entries) result.push_back(e.id);
    return result;
}

struct ModelHarness : testing::MemoryStores {
    explicit ModelHarness(std::vector<EmojiEntry> base, std::vector<EmojiEntry> extra = {})
        : db(std::move(base), std::move(extra), OperatingSystemVersion{99, 0, 0}),
          model(db, prefs, usage, collections, loop) {
        subscription = model.uiActionSubject.subscribe([this](const auto& a) { sent.push_back(a); });
    }
    int index(const std::string& emoji) const {
        const auto& options = model.activeOptions();
        for (std::size_t i = 0; i < options.size(); ++i)
            if (options[i].emoji == emoji) return static_cast<int>(i);
        return -1;
    }
    std::string variant() const {
        return model.activeOptions().at(std::size_t(model.selectedVariantIndex())).emoji;
    }
    void pin(std::initializer_list<const char*> idsToToggle) {
        for (const char* id : idsToToggle) collections.togglePinned(id);
        loop.runPending();  // store changes rebuild once they are stored
    }

    EmojiDatabase db;
    PickerViewModel model;
    std::vector<PickerViewModel::UIAction> sent;
    Cancellable subscription;
};

TEST(PickerViewModelResults, EmptyQueryListsRecentsThenTheFirstBaseEntries) {
    auto base = numbered("e", "thing", 50);
    base.insert(base.begin(), testing::thumbsUp());
    ModelHarness h(base);
    h.model.resetForNewSession("");
    EXPECT_EQ(h.model.results().size(), 40u);
    EXPECT_EQ(h.model.results()[39].id, "e38");

    // Newest first the recents read: a toned thumbs up, an unknown text, another tone of the thumbs
    // up, then e30, e31, ... e52.
    for (int i = 52; i >= 30; --i) h.usage.recordUsed("<e" + std::to_string(i) + ">");
    h.usage.recordUsed("👍🏿");
    h.usage.recordUsed("unknown");
    h.usage.recordUsed("👍🏽");
    h.model.resetForNewSession("");
    const auto& r = h.model.results();
    EXPECT_EQ(r[0].id, "thumbsup");
    EXPECT_EQ((std::vector<std::string>{r[1].id, r[1].emoji, r[1].name, r[1].category}),
              (std::vector<std::string>{"recent-unknown", "unknown", "Recent", "Recents"}));
    EXPECT_EQ(r[2].id, "e30") << "two tones of one emoji list it once";
    EXPECT_EQ(r[18].id, "e46") << "only the first 20 recents count";
    EXPECT_EQ(r[19].id, "e0");
    EXPECT_EQ(r.size(), 49u) << "the first 40 base entries without those already listed";
}

TEST(PickerViewModelResults, EmptyQueryInATabListsTheWholeTab) {
    ModelHarness h(
        numbered("e", "thing", 5),
        {makeEntry("snippet-a", "A", "a"), makeEntry("glyph-c", "→", "c"), makeEntry("snippet-d", "D", "d")});
    h.pin({"e3", "gone", "e1"});
    h.model.setScope(Scope::pinned);
    EXPECT_EQ(ids(h.model.results()), (Ids{"e3", "e1"})) << "unknown pins are left out";
    h.model.setScope(Scope::shortcodes);
    EXPECT_EQ(ids(h.model.results()), (Ids{"snippet-a", "snippet-d"}));
}

TEST(PickerViewModelResults, SearchLimitsAndTabWords) {
    auto base = numbered("x", "xy", 130);
    base.push_back(makeEntry("masks", "🎭", "masks", {}, {"emotion"}));
    base.push_back(makeEntry("a", "🅰", "letter a"));
    base.push_back(makeEntry("b", "🅱", "letter b"));
    auto extra = numbered("emoticon-", "face", 130, "Text Faces");
    auto pins = numbered("p", "pin", 100);
    base.insert(base.end(), pins.begin(), pins.end());
    ModelHarness h(base, extra);

    h.model.resetForNewSession("xy");
    EXPECT_EQ(h.model.resultCount(), 120) << "two letters name no tab: capped";
    h.model.updateQuery("emo");
    ASSERT_EQ(h.model.resultCount(), 131) << "the hit, then the whole emoticon tab, uncapped";
    h.model.showResultsThrough(130);
    ASSERT_EQ(h.model.results().size(), 131u);
    EXPECT_EQ(h.model.results()[0].id, "masks");
    EXPECT_EQ(h.model.results()[130].id, "emoticon-129");
    h.model.updateQuery("pin");
    EXPECT_EQ(h.model.resultCount(), 100) << "no pins: the tab does not count, limit 240";
    h.pin({"b", "a"});
    h.model.updateQuery("pin");
    EXPECT_EQ(h.model.resultCount(), 62) << "60 hits and the pins tab";
    EXPECT_EQ(ids({h.model.results().begin(), h.model.results().begin() + 3}), (Ids{"b", "a", "p0"}))
        << "pins first";
}

TEST(PickerViewModelResults, ScopesFilterHitsAndCategories) {
    ModelHarness h({makeEntry("smile", "😄", "smile", {"smile"}), makeEntry("heart", "❤️", "heart")},
                   {makeEntry("glyph-smile", "ツ", "smile glyph", {}, {}, "Glyphs")});
    h.model.resetForNewSession("smile");
    EXPECT_EQ(ids(h.model.results()), (Ids{"smile", "glyph-smile", "heart"}))
        << "hits, then the named category";
    h.model.setScope(Scope::glyphs);
    EXPECT_EQ(ids(h.model.results()), Ids{"glyph-smile"});
}

TEST(PickerViewModelResults, EntriesAreCopiedOutAsTheStripOrTheSelectionReachesThem) {
    ModelHarness h({makeEntry("heart", "❤️", "heart")}, numbered("cat", "cat", 200));
    h.model.resetForNewSession("cat");
    ASSERT_EQ(h.model.resultCount(), 120);
    EXPECT_LT(h.model.results().size(), 60u) << "a few pages of the strip";
    h.model.moveSelection(-1);
    ASSERT_EQ(h.model.selectedIndex(), 119) << "wraps over the whole list";
    ASSERT_NE(h.model.activeEntry(), nullptr);

    h.model.updateQuery("cat");
    h.model.moveSelection(100);
    const std::string selected = h.model.activeEntry()->id;
    h.pin({"cat5"});
    EXPECT_EQ(h.model.selectedIndex(), 101) << "the pin went first";
    ASSERT_NE(h.model.activeEntry(), nullptr);
    EXPECT_EQ(h.model.activeEntry()->id, selected);

    // The rows named entries of the old list: none is copied out of the new one before the rebuild.
    h.model.updateQuery("cat");
    const auto held = h.model.results().size();
    h.db.setExtraEmojis({});
    h.model.showResultsThrough(119);
    EXPECT_EQ(h.model.results().size(), held);
    h.loop.runPending();
    EXPECT_EQ(h.model.resultCount(), 0);
}

TEST(PickerViewModelResults, PinsInGlobalSearchResults) {
    const std::vector<EmojiEntry> list = {makeEntry("A", "a", "a"), makeEntry("x", "x", "x"),
                                          makeEntry("B", "b", "b")};
    auto order = [&](bool pinsFirst, bool pinSorting) {
        return ids(PickerViewModel::orderedGlobalSearchEntries(list, {"B", "A"}, pinsFirst, pinSorting));
    };
    EXPECT_EQ(order(true, true), (Ids{"B", "A", "x"}));
    EXPECT_EQ(order(false, true), (Ids{"B", "x", "A"}));
    EXPECT_EQ(order(true, false), (Ids{"A", "B", "x"}));
    EXPECT_EQ(order(false, false), (Ids{"A", "x", "B"}));
}

// The pins are looked up as rows once per change: when entries come before them, or the pins
// change, the rows are looked up again.
TEST(PickerViewModelResults, PinsFollowTheirEntriesWhenTheListChanges) {
    ModelHarness h({makeEntry("heart", "❤️", "heart")}, numbered("n", "note", 4));
    h.pin({"n2"});
    h.model.resetForNewSession("note");
    EXPECT_EQ(h.model.results().front().id, "n2");
    auto shifted = numbered("m", "memo", 3);
    for (auto& entry : numbered("n", "note", 4)) shifted.push_back(std::move(entry));
    h.db.setExtraEmojis(shifted);
    h.loop.runPending();
    h.model.updateQuery("note");
    EXPECT_EQ(h.model.results().front().id, "n2");
    h.model.updateQuery("");
    h.model.setScope(Scope::pinned);
    EXPECT_EQ(ids(h.model.results()), Ids{"n2"});
    h.pin({"n2", "m0"});
    EXPECT_EQ(ids(h.model.results()), Ids{"m0"});
    h.model.setScope(Scope::all);
    h.model.updateQuery("memo");
    EXPECT_EQ(ids(h.model.results()), (Ids{"m0", "m1", "m2"}));
}

TEST(PickerViewModelResults, SelectionFollowsItsEntryThroughStoreChanges) {
    ModelHarness h(numbered("e", "cat", 5));
    h.model.resetForNewSession("cat");
    h.model.moveSelection(3);
    h.collections.togglePinned("e4");
    EXPECT_EQ(h.model.results()[0].id, "e0") << "the rebuild waits until the pin is stored";
    h.loop.runPending();
    EXPECT_EQ(h.model.results()[0].id, "e4");
    EXPECT_EQ(h.model.activeEntry()->id, "e3");
    h.model.updateQuery("cat");
    EXPECT_EQ(h.model.selectedIndex(), 0) << "a query change starts on the first result";

    h.model.updateQuery("");
    h.model.setScope(Scope::pinned);
    h.pin({"e1", "e2"});
    h.model.moveSelection(-1);
    h.pin({"e2"});
    EXPECT_EQ(h.model.activeEntry()->id, "e1") << "the list shrank below the selection";
    h.pin({"e1", "e4"});
    EXPECT_EQ(h.model.selectedIndex(), 0);
    EXPECT_EQ(h.model.activeEntry(), nullptr);
}

TEST(PickerViewModelSelection, MainRowWrapsAndGatesHover) {
    ModelHarness h(numbered("e", "cat", 5));
    h.model.resetForNewSession("cat");
    h.model.moveSelection(-1);
    EXPECT_EQ(h.model.selectedIndex(), 4);
    h.model.moveSelection(1);
    EXPECT_EQ(h.model.selectedIndex(), 0);
    h.model.selectMain(7, Origin::mouseClick);
    h.model.selectMain(2, Origin::mouseHover);
    EXPECT_EQ(h.model.selectedIndex(), 0) << "out of range; then the pointer has not moved yet";
    h.model.unlockHoverSelection();
    h.model.selectMain(2, Origin::mouseHover);
    EXPECT_EQ(h.model.selectedIndex(), 2);
}

TEST(PickerViewModelSelection, QuickVariantsThenTheMixButton) {
    ModelHarness h({handshake()});
    h.model.resetForNewSession("handshake");
    EXPECT_EQ(h.model.activeQuickVariantIndices(), (std::vector{0, 1, 2, 3, 4, 5}));
    h.model.moveVariantHorizontally(-1);
    EXPECT_TRUE(h.model.isMixButtonFocused());
    h.model.moveVariantHorizontally(1);
    EXPECT_EQ(h.variant(), "🤝");
    EXPECT_FALSE(h.model.isMixButtonFocused());
    h.model.moveVariantHorizontally(-1);
    h.model.moveVariantHorizontally(-1);
    EXPECT_EQ(h.variant(), "🤝-dark") << "left of the mix button: the last quick variant";

    // A remembered mixed variant: after Down and Up the mix button is not focused, Left still starts there.
    h.prefs.setRememberedEmojiVariantsByEntryID({{"handshake", "🤝-light-dark"}});
    EXPECT_TRUE(h.model.isMixButtonFocused());
    h.model.moveVariantVertically(1);
    h.model.moveVariantVertically(-1);
    EXPECT_FALSE(h.model.isMixButtonFocused());
    h.model.moveVariantHorizontally(-1);
    EXPECT_EQ(h.variant(), "🤝-dark");
}

TEST(PickerViewModelSelection, MixedToneMatrix) {
    ModelHarness h({handshake()});
    h.model.resetForNewSession("handshake");
    h.model.selectVariant(h.index("🤝-light-dark"), Origin::keyboard);
    h.model.activateVariantSelection(false);  // Return on the mix button opens the matrix
    EXPECT_TRUE(h.model.isShowingMixedTonePopover());
    h.model.moveVariantVertically(-1);
    h.model.moveVariantHorizontally(1);
    EXPECT_EQ(h.variant(), "🤝-light-dark") << "row 0, column 4: the matrix does not wrap";
    h.model.moveVariantVertically(1);
    EXPECT_EQ(h.variant(), "🤝-mediumLight-dark");
    h.model.activateVariantSelection(true);
    EXPECT_FALSE(h.model.isShowingMixedTonePopover());
    ASSERT_EQ(h.sent.size(), 1u);
    EXPECT_EQ(h.sent[0], (PickerViewModel::UIAction::InsertVariant{h.index("🤝-mediumLight-dark"), true}));

    // Opened from the untoned variant with no default tone, and from one-tone medium: medium/medium.
    for (const char* from : {"🤝", "🤝-medium"}) {
        h.model.updateQuery("handshake");
        h.model.selectVariant(h.index(from), Origin::keyboard);
        h.model.focusMixButton(Origin::keyboard);
        h.model.activateVariantSelection(false);
        EXPECT_EQ(h.variant(), "🤝-medium") << from;
    }
    h.model.moveVariantHorizontally(1);
    EXPECT_EQ(h.variant(), "🤝-medium-mediumDark");
}

TEST(PickerViewModelSelection, NoMatrixForThreePeople) {
    EmojiEntry family = makeEntry("family", "👪", "family");
    family.variants = EmojiEntry::Variants(
        {{"👪", {}, {}}, {"👪-ldl", {SkinTone::light, SkinTone::dark, SkinTone::light}, {}}});
    ModelHarness h({family});
    h.model.resetForNewSession("family");
    h.model.selectVariant(1, Origin::keyboard);
    EXPECT_TRUE(h.model.isMixButtonFocused());
    h.model.activateVariantSelection(false);
    EXPECT_TRUE(h.sent.empty());
    EXPECT_FALSE(h.model.isShowingMixedTonePopover());
}

TEST(PickerViewModelSelection, TextToInsert) {
    ModelHarness h({testing::thumbsUp()});
    h.model.resetForNewSession("thumbs");
    EXPECT_EQ(h.model.selectedEmojiForInsertion(), "👍");
    h.prefs.setDefaultSkinTone(SkinTone::dark);
    EXPECT_EQ(h.variant(), "👍🏿") << "the variants row follows the new default at once";
    h.prefs.setRememberedEmojiVariantsByEntryID({{"thumbsup", "no longer an option"}});
    EXPECT_EQ(h.variant(), "👍🏿");
    EXPECT_EQ(h.model.selectedEmojiForInsertion(), "👍🏿");

    h.model.selectVariant(2, Origin::mouseClick);  // remembered: the main row starts on it and inserts it
    h.model.selectVariant(4, Origin::keyboard);    // not remembered
    h.model.resetForNewSession("thumbs");
    EXPECT_EQ(h.variant(), "👍🏼");
    EXPECT_EQ(h.model.selectedEmojiForInsertion(), "👍🏼");
    h.model.updateQuery("nothing matches this");
    EXPECT_EQ(h.model.selectedEmojiForInsertion(), std::nullopt);
}

TEST(PickerViewModelSelection, VariantBeyondTheOptionsInsertsTheLastOption) {
    // A store change that drops the selected entry moves the selection onto one with fewer options
    // while the variants row keeps its index.
    EmojiEntry wave = makeEntry("wave", "👋", "wave");
    wave.variants = EmojiEntry::Variants({{"👋", {}, {}}, {"👋🏿", {SkinTone::dark}, {}}});
    ModelHarness h({testing::thumbsUp(), wave});
    h.pin({"thumbsup", "wave"});
    h.model.setScope(Scope::pinned);
    h.model.selectVariant(4, Origin::keyboard);
    h.pin({"thumbsup"});
    ASSERT_EQ(h.model.activeEntry()->id, "wave");
    EXPECT_EQ(h.model.selectedEmojiForInsertion(), "👋🏿");
}

}  // namespace
}  // namespace mosaiko
