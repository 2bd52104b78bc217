#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "content/CollectionsStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmojiUsageStore.hpp"
#include "content/PreferencesStore.hpp"
#include "picker/FakeEventPoster.hpp"
#include "picker/FakeKeyTap.hpp"
#include "picker/PickerController.hpp"
#include "picker/PickerPanelPresenting.hpp"
#include "platform/MemoryDefaults.hpp"
#include "platform/fake/ManualMainLoop.hpp"
#include "support/TestEntries.hpp"

namespace mosaiko::testing {

inline EmojiEntry makeEntry(std::string id, std::string emoji, std::string name,
                            std::vector<std::string> shortcodes = {}, std::vector<std::string> keywords = {},
                            std::string category = "Smileys & Emotion") {
    return EmojiEntry{std::move(id),         std::move(emoji),    std::move(name), std::move(category),
                      std::move(shortcodes), std::move(keywords), std::nullopt,    std::nullopt};
}

inline EmojiEntry thumbsUp() {
    EmojiEntry e = makeEntry("thumbsup", "👍", "thumbs up", {"+1", "thumbsup"}, {"approve"}, "People & Body");
    e.variants = thumbsUpVariants();
    return e;
}

// What a user types, as key events. Characters type themselves (capitals with Shift); these stand
// for keys: ⏎ Return, ⌤ keypad Enter, ⇥ Tab, ⌫ Delete, ⎋ Escape, ← → ↓ ↑ arrows.
inline std::vector<KeyEvent> keystrokes(const std::string& typed, std::uint64_t modifiers = 0) {
    static const std::map<std::string, std::pair<std::uint16_t, std::string>> keys = {
        {"⏎", {KeyCode::returnKey, "\r"}}, {"⌤", {KeyCode::keypadEnter, "\x03"}},
        {"⇥", {KeyCode::tab, "\t"}},       {"⌫", {KeyCode::deleteKey, "\x7f"}},
        {"⎋", {KeyCode::escape, "\x1b"}},  {"←", {KeyCode::leftArrow, ""}},
        {"→", {KeyCode::rightArrow, ""}},  {"↓", {KeyCode::downArrow, ""}},
        {"↑", {KeyCode::upArrow, ""}},     {" ", {KeyCode::space, " "}}};
    std::vector<KeyEvent> events;
    for (const auto& c : text::characters(typed)) {
        const auto it = keys.find(c);
        KeyEvent e;
        e.keyCode = it != keys.end() ? it->second.first : 0;
        e.characters = it != keys.end() ? it->second.second : c;
        e.charactersIgnoringModifiers = text::lowercased(e.characters);
        e.modifierFlags =
            modifiers | (e.characters != e.charactersIgnoringModifiers ? ModifierFlag::shift : 0);
        events.push_back(e);
    }
    return events;
}

// The panel: shows and hides, marking the model as the real one does.
struct FakePanel final : PickerPanelPresenting {
    explicit FakePanel(PickerViewModel& m) : model(m) {}
    void showNearPointer() override { ++showCount, visible = true, model.setPanelVisible(true); }
    void hide() override { visible = false, model.setPanelVisible(false); }
    bool isVisible() const override { return visible; }
    PickerViewModel& model;
    int showCount = 0;
    bool visible = false;
};

// A picker wired to fakes: a key tap the test types into, a recording event poster, virtual time,
// real stores over an in-memory defaults database, and a small entry database.
class PickerHarness {
  public:
    static constexpr const char* kOwnID = "io.github.mosaiko.Mosaiko";

    static std::vector<EmojiEntry> baseEntries() {
        return {makeEntry("smile", "😄", "grinning face with smiling eyes", {"smile"}, {"happy"}),
                makeEntry("smiley", "😃", "grinning face with big eyes", {"smiley"}, {"happy"}),
                makeEntry("heart", "❤️", "red heart", {"heart"}, {"love"}), thumbsUp()};
    }
    static std::vector<EmojiEntry> extraEntries() {
        return {makeEntry("emoticon-shrug", "¯\\_(ツ)_/¯", "shrug", {"shrug"}, {}, "Emoticons"),
                makeEntry("snippet-sig", "Kind regards", "signature", {"sig"}, {}, "Snippets")};
    }

    PickerHarness() : PickerHarness(false) {}
    // A picker whose database is still to get its entries: finishLoading() hands them over, as the
    // loading thread does in the program.
    struct IndexToCome {};
    explicit PickerHarness(IndexToCome) : PickerHarness(true) {}

    void finishLoading() {
        const auto extras = db.pendingExtras();
        auto entries = baseEntries();
        entries.insert(entries.end(), extras.entries->begin(), extras.entries->end());
        EmojiDatabase::Loaded loaded{OperatingSystemVersion{99, 0, 0},
                                     baseEntries(),
                                     *extras.entries,
                                     std::move(entries),
                                     {},
                                     extras.generation};
        loaded.index = SearchIndex(loaded.emojis);
        db.finishLoading(std::move(loaded));
        loop.runPending();
    }

  private:
    explicit PickerHarness(bool indexToCome)
        : db(indexToCome ? EmojiDatabase(EmojiDatabase::DataFileToCome{})
                         : EmojiDatabase(baseEntries(), extraEntries(), OperatingSystemVersion{99, 0, 0})) {
        auto owned = std::make_unique<PickerViewModel>(db, prefs, usage, collections, loop);
        model = owned.get();
        panel = std::make_shared<FakePanel>(*model);
        keyTap = std::make_shared<GlobalKeyTap>(tapSystem.dependencies());
        PickerController::Dependencies d;
        d.now = [this] { return loop.uptime() + clockOffset; };
        d.insertEmoji = [this](const std::string& text, int n) { return inserter.insert(text, n); };
        d.recordUsedEmoji = [this](const std::string& text) { usage.recordUsed(text); };
        d.pinnedIDs = [this] { return collections.pinnedIDs(); };
        d.hasEmoticons = [] { return true; };
        d.hasGlyphs = [] { return false; };
        d.contentReady = [this] { return db.isLoaded(); };
        d.frontmostApp = [this] {
            ++frontmostLookups;
            return frontmost;
        };
        d.ownBundleID = std::string(kOwnID);
        d.bindPanelAndKeyTap(panel, keyTap);
        controller = std::make_unique<PickerController>(prefs, std::move(owned), std::move(d), loop);
        tapSystem.holdOnlyWhatIsAsked = true;
        controller->start();
    }

  public:
    // Every key the controller swallowed was among the keys it had the tap hold.
    ~PickerHarness() { EXPECT_EQ(tapSystem.unheldSwallows, 0) << "a key was swallowed that was not held"; }

    // Types the keys `gap` seconds apart, running what the main loop has to do after each. One
    // letter per key: p passed on to the application, s swallowed.
    std::string type(const std::string& keys, std::uint64_t modifiers = 0, double gap = 0.05) {
        std::string decisions;
        for (const auto& event : keystrokes(keys, modifiers)) {
            if (!decisions.empty()) loop.advance(gap);
            decisions += deliver(event) ? 's' : 'p';
        }
        return decisions;
    }
    bool deliver(const KeyEvent& event) {
        const bool dropped = tapSystem.type(event);
        loop.runPending();
        return dropped;
    }
    void wait(double seconds) { loop.advance(seconds); }
    const std::optional<PickerController::Session>& session() const { return controller->session(); }

    ManualMainLoop loop;
    double clockOffset = 0;  // how far the controller's clock runs ahead of the loop's timers
    MemoryDefaults defaults;
    PreferencesStore prefs{defaults};
    CollectionsStore collections{defaults};
    EmojiUsageStore usage{defaults, loop};
    EmojiDatabase db;
    FakeEventPoster poster;
    EmojiInserter inserter = poster.makeInserter();
    FakeKeyTapSystem tapSystem;
    PickerController::Dependencies::FrontmostApp frontmost{"org.example.Editor", "Editor", {}};
    int frontmostLookups = 0;
    PickerViewModel* model = nullptr;
    std::shared_ptr<FakePanel> panel;
    std::shared_ptr<GlobalKeyTap> keyTap;
    std::unique_ptr<PickerController> controller;
};

}  // namespace mosaiko::testing
