#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "content/CollectionsStore.hpp"
#include "content/EmojiDatabase.hpp"
#include "content/EmojiEntry.hpp"
#include "content/EmojiUsageStore.hpp"
#include "content/PreferencesStore.hpp"
#include "picker/EmojiInserter.hpp"
#include "picker/FakeEventPoster.hpp"
#include "picker/FakeKeyTap.hpp"
#include "picker/GlobalKeyTap.hpp"
#include "picker/PickerController.hpp"
#include "picker/PickerPanelPresenting.hpp"
#include "picker/PickerViewModel.hpp"
#include "platform/KeyEvent.hpp"
#include "platform/MemoryDefaults.hpp"
#include "platform/Text.hpp"
#include "platform/fake/ManualMainLoop.hpp"

namespace mosaiko::testing {

inline EmojiEntry makeEntry(std::string id, std::string emoji, std::string name,
                            std::vector<std::string> shortcodes = {}, std::vector<std::string> keywords = {},
                            std::string category = "Smileys & Emotion") {
    EmojiEntry e;
    e.id = std::move(id);
    e.emoji = std::move(emoji);
    e.name = std::move(name);
    e.category = std::move(category);
    e.shortcodes = std::move(shortcodes);
    e.keywords = std::move(keywords);
    return e;
}

// Turns what a user types into key events. Plain characters type themselves (upper case with Shift);
// these stand for keys: ⏎ Return, ⌤ keypad Enter, ⇥ Tab, ⌫ Delete, ⎋ Escape, ← → ↓ ↑ arrows.
inline std::vector<KeyEvent> keystrokes(const std::string& typed, std::uint64_t modifiers = 0) {
    std::vector<KeyEvent> events;
    for (const auto& c : text::characters(typed)) {
        KeyEvent e;
        e.modifierFlags = modifiers;
        struct Special {
            const char* symbol;
            std::uint16_t keyCode;
            const char* characters;
        };
        static const Special specials[] = {
            {"⏎", KeyCode::returnKey, "\r"}, {"⌤", KeyCode::keypadEnter, "\x03"},
            {"⇥", KeyCode::tab, "\t"},       {"⌫", KeyCode::deleteKey, "\x7f"},
            {"⎋", KeyCode::escape, "\x1b"},  {"←", KeyCode::leftArrow, ""},
            {"→", KeyCode::rightArrow, ""},  {"↓", KeyCode::downArrow, ""},
            {"↑", KeyCode::upArrow, ""},
        };
        bool special = false;
        for (const auto& s : specials) {
            if (c == s.symbol) {
                e.keyCode = s.keyCode;
                e.characters = s.characters;
                e.charactersIgnoringModifiers = s.characters;
                special = true;
            }
        }
        if (!special) {
            e.keyCode = c == " " ? KeyCode::space : 0;
            e.characters = c;
            e.charactersIgnoringModifiers = text::lowercased(c);
            if (c != e.charactersIgnoringModifiers) e.modifierFlags |= ModifierFlag::shift;
        }
        events.push_back(e);
    }
    return events;
}

// The panel as the controller sees it: shows and hides, marking the model as the real one does.
class FakePanel final : public PickerPanelPresenting {
  public:
    explicit FakePanel(PickerViewModel& model) : model_(model) {}
    void showNearPointer() override {
        ++showCount;
        visible = true;
        model_.isVisible.set(true);
    }
    void hide() override {
        ++hideCount;
        visible = false;
        model_.isVisible.set(false);
    }
    bool isVisible() const override { return visible; }

    int showCount = 0;
    int hideCount = 0;
    bool visible = false;

  private:
    PickerViewModel& model_;
};

// A picker wired to fakes: a key tap the test types into, a recording event poster, virtual time,
// real stores over an in-memory defaults database, and a small entry database.
class PickerHarness {
  public:
    static std::vector<EmojiEntry> defaultBaseEntries() {
        std::vector<EmojiEntry> base = {
            makeEntry("smile", "😄", "grinning face with smiling eyes", {"smile"}, {"happy"}),
            makeEntry("smiley", "😃", "grinning face with big eyes", {"smiley"}, {"happy"}),
            makeEntry("heart", "❤️", "red heart", {"heart"}, {"love"}),
        };
        EmojiEntry thumbs =
            makeEntry("thumbsup", "👍", "thumbs up", {"+1", "thumbsup"}, {"approve"}, "People & Body");
        thumbs.variants = EmojiEntry::Variants({{"👍", {}, {}},
                                                {"👍🏻", {SkinTone::light}, {}},
                                                {"👍🏼", {SkinTone::mediumLight}, {}},
                                                {"👍🏽", {SkinTone::medium}, {}},
                                                {"👍🏾", {SkinTone::mediumDark}, {}},
                                                {"👍🏿", {SkinTone::dark}, {}}});
        base.push_back(thumbs);
        return base;
    }
    static std::vector<EmojiEntry> defaultExtraEntries() {
        return {makeEntry("emoticon-shrug", "¯\\_(ツ)_/¯", "shrug", {"shrug"}, {}, "Emoticons"),
                makeEntry("snippet-sig", "Kind regards", "signature", {"sig"}, {}, "Snippets")};
    }

    explicit PickerHarness(std::vector<EmojiEntry> base = defaultBaseEntries(),
                           std::vector<EmojiEntry> extra = defaultExtraEntries())
        : db(std::move(base), std::move(extra), OperatingSystemVersion{99, 0, 0}) {
        auto modelOwner = std::make_unique<PickerViewModel>(db, prefs, usage, collections, loop);
        model = modelOwner.get();
        panel = std::make_shared<FakePanel>(*model);
        keyTap = std::make_shared<GlobalKeyTap>(tapSystem.dependencies());

        PickerController::Dependencies d;
        d.now = [this] { return loop.uptime(); };
        d.insertEmoji = [this](const std::string& text, int deleteCount) {
            return inserter.insert(text, deleteCount);
        };
        d.recordUsedEmoji = [this](const std::string& text) { usage.recordUsed(text); };
        d.pinnedIDs = [this] { return collections.pinnedIDs(); };
        d.hasEmoticons = [this] { return hasEntryWithPrefix("emoticon-"); };
        d.hasGlyphs = [this] { return hasEntryWithPrefix("glyph-"); };
        d.frontmostApp = [this] { return frontmost; };
        d.ownBundleID = std::string(kOwnID);
        d.bindPanelAndKeyTap(panel, keyTap);
        controller = std::make_unique<PickerController>(prefs, std::move(modelOwner), std::move(d), loop);
        controller->start();
    }

    // Types the keys into the system, `gap` seconds apart, running what the main loop has to do
    // after each. Answers one letter per key: p passed on to the application, s swallowed.
    std::string type(const std::string& keys, std::uint64_t modifiers = 0, double gap = 0.05) {
        std::string decisions;
        bool first = true;
        for (const auto& event : keystrokes(keys, modifiers)) {
            if (!first) loop.advance(gap);
            first = false;
            decisions += deliver(event) ? 's' : 'p';
        }
        return decisions;
    }

    // One event through the system's tap; true when it was dropped.
    bool deliver(const KeyEvent& event) {
        const bool dropped = tapSystem.type(event);
        loop.runPending();
        return dropped;
    }

    // Sends what the inserter posted back through the tap, as the display server would.
    std::string echoPostedEvents() {
        std::string decisions;
        for (const auto& posted : poster.posted) {
            if (!posted.keyDown) continue;
            KeyEvent e;
            e.keyCode = posted.keyCode;
            e.characters = posted.keyCode == EmojiInserter::kDeleteKeyCode
                               ? "\x7f"
                               : text::fromUtf16(posted.unicodeString);
            e.charactersIgnoringModifiers = e.characters;
            e.userData = posted.userData;
            decisions += deliver(e) ? 's' : 'p';
        }
        return decisions;
    }

    void wait(double seconds) { loop.advance(seconds); }

    bool hasEntryWithPrefix(const std::string& prefix) const {
        for (const auto& e : db.emojis())
            if (e.id.rfind(prefix, 0) == 0) return true;
        return false;
    }

    const std::optional<PickerController::Session>& session() const { return controller->session(); }
    std::string shownQuery() const { return model->query(); }

    static constexpr const char* kOwnID = "io.github.mosaiko.Mosaiko";

    ManualMainLoop loop;
    MemoryDefaults defaults;
    PreferencesStore prefs{defaults};
    CollectionsStore collections{defaults};
    EmojiUsageStore usage{defaults, loop};
    EmojiDatabase db;
    FakeEventPoster poster;
    EmojiInserter inserter = poster.makeInserter();
    FakeKeyTapSystem tapSystem;
    PickerController::Dependencies::FrontmostApp frontmost{"org.example.Editor", "Editor"};

    PickerViewModel* model = nullptr;
    std::shared_ptr<FakePanel> panel;
    std::shared_ptr<GlobalKeyTap> keyTap;
    std::unique_ptr<PickerController> controller;
};

}  // namespace mosaiko::testing
